// main_frm.h - Solvane's main frame, over the video window: the help links, the Capture command
// (live video on and off), the title paint, the view's painting and erasing, and stopping
// acquisition when it closes.
#pragma once

#include <string>

#include "video_wnd.h"
#include "view_painter.h"

class CMainFrame : public CVideoWnd, public CViewPainter {
 public:
  CMainFrame();

  // Capture (32821): live video on (state 0) or off (state 2). Starting clears the display
  // buffer and invalidates the frame; stopping freezes the last picture and reads it back into
  // the display buffer. A failure shows its "Error message" box (no owner) and keeps the state.
  void OnCapture();
  // Enabled when the card is idle or live and playback is off; checked while live.
  void OnUpdateCapture(CCmdUI& ui);

  // The frame's paint (WM_PAINT): nothing is drawn; the title shows the card's output size.
  void OnPaint();
  // "Quarn Performance [<output width> x <output height>]".
  std::string PerformanceTitle() const;

  // The view's picture: the display buffer while idle or during playback (scaled by the
  // printer's resolution over 96 when printing); nothing during live video and snap.
  void PaintView(CDC* dc) override;
  // During live video the background is left to the video (the mask's two rectangles are filled
  // with the background colour when the mask is on) and reported erased; else the default.
  BOOL EraseView(CDC* dc) override;

  // Stops live video or the snap (through their commands) or Circle playback, then closes.
  void OnClose() override;
  // The title is the program's name alone (the document has none).
  void OnUpdateFrameTitle() override;

  // Qt paints of the frame window reach OnPaint as WM_PAINT.
  void AfterQtEvent(QEvent* event) override;
};

// The two rectangles the demonstration mask excludes from the video (x, y, width, height), filled
// with the context's background colour where live video does not show and before a read-back.
void FillMaskRectangles(CDC& dc);
