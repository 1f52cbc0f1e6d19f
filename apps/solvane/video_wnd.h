// video_wnd.h - CVideoWnd, Solvane's frame base: it owns the one card object (card 1), opens the
// card when its window is created and closes it when the window is destroyed, and lays the
// frame out around the view (borders, relayout).
#pragma once

#include <memory>

#include "afx.h"
#include "video_card.h"

class CVideoWnd : public CFrameWnd {
 public:
  // Creates the card object for card 1 (not opened yet).
  CVideoWnd();
  // Deletes the card object (which releases the card if it is still open).
  ~CVideoWnd() override;

  CVideoCard& Card() { return *card_; }
  const CVideoCard& Card() const { return *card_; }

  // The framework's creation (menu, view); then the screen size and depth, the video format
  // from the depth, the card's parameters, and opening the card (a failure shows its box;
  // creation succeeds either way).
  int OnCreate(LPCREATESTRUCT create) override;
  // Closes the card, then saves its parameters.
  void OnDestroy() override;

  // The offsets between the frame's outer rectangle and the view's client area (screen pixels);
  // nothing without an active view.
  virtual void ComputeBorders();
  // Moves the frame to its own rectangle (so the position rules apply to it), then places the
  // video for the view's client rectangle.
  virtual void Relayout();

  // Screen size in pixels, taken when the window is created.
  int screenWidth = 0;
  int screenHeight = 0;
  // Border widths between the frame's outer edges and the view's client area.
  int borderLeft = 0;
  int borderTop = 0;
  int borderRight = 0;
  int borderBottom = 0;
  // Playback: on or off, and Step (1) or Circle (0).
  int playing = 0;
  int stepFlag = 1;

 protected:
  // Places the video output for the view's client rectangle in screen coordinates (scroll bars,
  // input and output windows). Nothing is placed yet: live video brings the placement.
  virtual void PlaceVideoForView(const RECT& viewScreenRect);
  // Reads the card's parameter set before it is opened; none is read yet (the card's initial
  // values stand).
  virtual void LoadParameters(CVideoCard&) {}
  // Writes the card's parameter set after it is closed; nothing is written yet.
  virtual void SaveParameters(const CVideoCard&) {}

 private:
  std::unique_ptr<CVideoCard> card_;
};
