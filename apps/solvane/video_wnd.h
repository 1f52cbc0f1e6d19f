// video_wnd.h - CVideoWnd, Solvane's frame base: it owns the one card object (card 1), opens the
// card when its window is created and closes it when the window is destroyed, and lays the
// frame out around the view: borders, relayout, scroll bars, the card's input and output windows
// on every move and size, and the limits on the frame's position and size.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

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
  // Closes the card, then saves its parameters; a snap callback the card could not stop is cut
  // off from the frame before it goes.
  void OnDestroy() override;

  // The offsets between the frame's outer rectangle and the view's client area (screen pixels);
  // nothing without an active view.
  virtual void ComputeBorders();
  // Moves the frame to its own rectangle with repaint (so the position rules apply to it), then,
  // with an active view, sets the scroll bars and places the video for the view's client
  // rectangle in screen coordinates.
  virtual void Relayout();
  // Clip mode: the scroll ranges of the view (image size minus view size; page 4 across, 2 down;
  // a bar whose maximum is not above 0 gets its arrows disabled). Scale mode: both bars hidden.
  void UpdateScrollBars(CView* view, const RECT& viewScreenRect);
  // Sends the card its input and output windows for the view rectangle (screen coordinates); a
  // running snap is stopped around the change and restarted on a ring filled with 0xFF.
  void PlaceVideo(const RECT& viewScreenRect);
  // Sends the card the input and output windows (SetInputRect, then SetOutputRect); while the
  // snap is open it is stopped first and started again on its ring, refilled with 0xFF, after.
  // Returns 1. (main_frm_display.cpp)
  int ApplyWindows(const RECT& input, const RECT& output);
  // Clip (1) or scale (0): stores the flag, shows or hides the view's scroll bars, then
  // ComputeBorders and Relayout. Nothing without an active view.
  void SetClipMode(int on);

  // Size: scroll bars and placement for the new view rectangle, and the frame-rate count starts
  // again. Move: placement (live video follows the window).
  void OnSize(UINT type, int cx, int cy) override;
  void OnMove(int x, int y) override;
  // Keeps the view's client area on the screen, aligned (x on 4, y on 2, width a multiple of 4,
  // even height) and never larger than the picture; see ConstrainFramePosition.
  void OnWindowPosChanging(WINDOWPOS* pos) override;

  // Screen size in pixels, taken when the window is created.
  int screenWidth = 0;
  int screenHeight = 0;
  // Border widths between the frame's outer edges and the view's client area.
  int borderLeft = 0;
  int borderTop = 0;
  int borderRight = 0;
  int borderBottom = 0;
  // Clip (1): the card crops the picture 1:1 and the view scrolls over it; scale (0).
  int clip = 1;
  // Set while minimised: the first position change after the restore is left alone.
  int restorePending = 0;
  // Playback: on or off, and Step (1) or Circle (0); the next frame to show; the frames Snap
  // Shot stored (0: nothing to play); set while a numbered BMP sequence is played instead.
  int playing = 0;
  int stepFlag = 1;
  int playbackIndex = 0;
  int imageCount = 0;
  int bmpSequence = 0;
  // The numbered BMP sequence played while bmpSequence is set: files <prefix>1.bmp, 2, ...
  std::string sequencePrefix;
  // Snap ring: static-memory start offset, interline flag and slot count.
  uint64_t snapStartOffset = 0;
  int interline = 1;
  uint16_t ringCount = 2;
  // The view's host window the snap callback draws into (borrowed), fixed before the snap opens.
  CHostWindow* snapWindow = nullptr;
  // Frame-rate display: frames counted since startTick (milliseconds since system start). The
  // snap callback counts and reads them on the library's thread while the UI thread resets them.
  std::atomic<uint32_t> frameCounter{0};
  std::atomic<uint32_t> startTick{0};

  // One snap frame has been stored in ring slot `slot` (library thread): converts it into the
  // display buffer, draws it 1:1 into the view, counts it and hands the frame-rate title over.
  // A slot outside the ring is ignored. Returns 1. (main_frm_snap.cpp)
  virtual int OnSnapFrame(uint32_t slot);

 protected:
  // Reads section "Video Parameter" of QuarnCard.ini before the card is opened, each value
  // through its card setter, plus `clip` and `interline` (main_frm_params.cpp).
  virtual void LoadParameters(CVideoCard& card);
  // Writes the section after the card is closed (main_frm_params.cpp).
  virtual void SaveParameters(const CVideoCard& card);

 private:
  std::unique_ptr<CVideoCard> card_;
};
