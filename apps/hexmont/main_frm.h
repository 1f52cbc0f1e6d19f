// main_frm.h - Hexmont's main frame: it owns every installed card (opened in its constructor, set
// up when its window is created, ended in its destructor), runs live video over the view with the
// cards in a grid, keeps each card's video placed on its cell as the window moves, paints the
// display buffers into the view when nothing runs, and stops acquisition when it closes.
#pragma once

#include "afx.h"
#include "card_set.h"
#include "view_painter.h"

class CMainFrame : public CFrameWnd, public CViewPainter {
 public:
  // The title the frame's paint sets.
  static constexpr const char* kPaintTitle = "Quarn Multi Performance";

  // Counts the cards and opens each one (a failure shows its box and the next card follows).
  CMainFrame();
  // Ends every card, frees the display buffers and deletes the palette.
  ~CMainFrame() override;

  CCardSet& Cards() { return cards_; }
  const CCardSet& Cards() const { return cards_; }

  // The framework's creation (menu, view), then every card's parameters, source detection,
  // display set-up from the screen and applying the parameters.
  int OnCreate(LPCREATESTRUCT create) override;
  // Saves the parameters, stops live video, snap or Circle playback, then closes the frame.
  void OnClose() override;
  // Before the frame's first paint the program's name; afterwards the paint's title stays.
  void OnUpdateFrameTitle() override;

  // Capture (32821): starts live video on every card when idle, stops it (freezing and reading
  // back each card's last picture into its display buffer) when live.
  void OnCapture();
  // Computes and sends every card's input and output windows for the view's client rectangle
  // `view` (screen coordinates); nothing without an active view.
  void PlaceVideo(const RECT& view);
  // The view's client rectangle in screen coordinates; false without an active view.
  bool ViewScreenRect(RECT* rect) const;

  // Live video follows the window.
  void OnMove(int x, int y) override;
  void OnSize(UINT type, int cx, int cy) override;
  // Keeps the frame on the screen unless it is maximised; sizes are never changed.
  void OnWindowPosChanging(WINDOWPOS* pos) override;
  // The frame's client area includes the view: invalidating the frame redraws the view too.
  void Invalidate(BOOL erase = 1) override;

  // CViewPainter: the display buffers in idle and playback mode, nothing otherwise.
  void PaintView(CDC* dc) override;

  void AfterQtEvent(QEvent* event) override;

 protected:
  // Writes every card's parameter set on close; nothing is written yet.
  virtual void SaveParameterSets() {}

 private:
  // The frame's paint: nothing is drawn; the title becomes kPaintTitle.
  void OnPaint();

  CCardSet cards_;
  bool titlePainted_ = false;  // the frame's paint has set its title
};
