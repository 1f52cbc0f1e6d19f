// view_painter.h - what a main frame implements to paint into its view: the views hold no state,
// so the view's drawing and erasing are the frame's (the display buffers live in the frame's
// card records or card object).
#pragma once

#include "afx.h"

class CViewPainter {
 public:
  virtual ~CViewPainter() = default;
  // Paints the view's picture (screen, printer or preview context).
  virtual void PaintView(CDC* dc) = 0;
  // Erases the view's background; returns FALSE to let the framework erase as usual, TRUE when
  // the frame erased it (or reports it erased without drawing).
  virtual BOOL EraseView(CDC* /*dc*/) { return FALSE; }
  // A notification of one of the view's scroll bars (SB_HORZ or SB_VERT, the SB_ code and the
  // thumb position it carries); the view's default handling follows.
  virtual void OnViewScroll(int /*bar*/, UINT /*code*/, UINT /*pos*/) {}
};
