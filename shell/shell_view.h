// shell_view.h - CShellView, the plain view both programs use (Solvane's with scroll bars): it
// forwards left clicks to the main frame, lays the frame out again after print preview, and
// leaves the drawing of pictures to the frame.
#pragma once

#include "afx.h"

class CShellView : public CView {
 public:
  // `style`: 0, or WS_HSCROLL | WS_VSCROLL for a view with scroll bars.
  explicit CShellView(DWORD style = 0) : CView(style) {}

  // The display buffers are painted by the main frame (CViewPainter); the view holds no state.
  void OnDraw(CDC* dc) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  // Every click reaches the main frame as WM_LBUTTONDOWN with both parameters 0 (it advances
  // step playback), then the default handling runs.
  void OnLButtonDown(UINT flags, CPoint point) override;
  // The scroll bars' notifications go to the main frame (CViewPainter::OnViewScroll), then the
  // default handling runs.
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override;
  void OnVScroll(UINT code, UINT pos, CScrollBar* bar) override;

  BOOL OnPreparePrinting(CPrintInfo* info) override;
  void OnBeginPrinting(CDC* dc, CPrintInfo* info) override;
  void OnEndPrinting(CDC* dc, CPrintInfo* info) override;
  // The framework's end of preview, then WM_SIZE 0, 0 to the main frame so it places its video
  // output again.
  void OnEndPrintPreview(CDC* dc, CPrintInfo* info) override;

 private:
  CWnd* MainFrame() const;
};
