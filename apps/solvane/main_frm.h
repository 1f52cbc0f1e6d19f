// main_frm.h - Solvane's main frame, over the video window: the help links, the Capture command
// (live video on and off), Snap and Snap Shot with playback, the title paint, the view's painting
// and erasing, and stopping acquisition when it closes.
#pragma once

#include <string>

#include "command_rules.h"
#include "video_wnd.h"
#include "view_painter.h"

class CMainFrame : public CVideoWnd, public CViewPainter {
 public:
  CMainFrame();

  // What the menu-state rules look at.
  SolvaneFrameState FrameState() const;

  // Capture (32821): live video on (state 0) or off (state 2). Starting clears the display
  // buffer and invalidates the frame; stopping freezes the last picture and reads it back into
  // the display buffer. A failure shows its "Error message" box (no owner) and keeps the state.
  void OnCapture();

  // Capture Shot (32786, main_frm_shot_mask.cpp): clears the display buffer to white, invalidates
  // the frame, then freezes and reads back the card's picture; a failing freeze shows its
  // "Error message" box (no owner) and the picture is still read back.
  void OnCaptureShot();
  // The freeze and read-back shared by Capture Shot and the stop of live video: card CaptureShot
  // (its failure boxed only when `reportFreezeFailure`), the mask's two rectangles filled with
  // the background when the mask is on, then GetDisplayBits through `dc`. Returns the freeze's
  // status.
  int FreezeAndReadBack(CView& view, CDC& dc, bool reportFreezeFailure);
  // Mask (32795, main_frm_shot_mask.cpp), enabled when the card is idle, checked while the card's
  // mask flag is on: switched on, loads the demonstration pattern (half the picture height in the
  // field modes); then EnableMask with the new flag. Failures are not reported.
  void OnMask();

  // Snap (32822, main_frm_snap.cpp), a toggle. On: clears the display buffer, opens the snap
  // with SnapFrameCallback and this frame, fills the ring white and starts it (a failing start
  // shows its "Error message" box); the frame rate counts from now and a stored sequence is
  // forgotten. Off: closes the snap. Enabled when the card is idle or snapping and playback is
  // off; checked while snapping.
  void OnSnap();
  // Snap Shot (32787, main_frm_snap.cpp; the rule of Capture Shot): as many frames as static
  // memory holds (65,535 at most), filled white first, stored in one call; a failure shows its
  // "Error message" box, success keeps the count and tells it in a "Notice" owned by the frame.
  void OnSnapShot();

  // Playback of the stored frames (main_frm_playback.cpp). Step (32803) shows frame 0 at once and
  // one frame per click; Circle (32804) one frame per tick of the playback timer (100 ms); each
  // switch starts again from frame 0. Stop (32805) ends playback and forgets the sequence.
  void OnPlaybackStep();
  void OnPlaybackCircle();
  void OnPlaybackStop();
  // The next stored frame (wrapping after the last) through the display buffer into the view.
  void ShowNextFrame();
  // The playback timer shows the next frame (Circle); a click does while stepping.
  void OnTimer(UINT_PTR id) override;
  void OnLButtonDown(UINT flags, CPoint point) override;

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

  // Clip (32798) and Scale (32799), main_frm_display.cpp: SetClipMode(1) or (0) every time,
  // even when the mode is already in force. Always enabled; the check mark is on the current
  // mode.
  void OnDisplayClip();
  void OnDisplayScale();
  // The view's scroll bars pan the cropped picture: the bar's new position (steps of 4 across and
  // 2 down; a released thumb snaps toward zero to a multiple of the step; dragging and the end of
  // a scroll move nothing) becomes the input window's origin through ApplyWindows.
  // (main_frm_display.cpp)
  void OnViewScroll(int bar, UINT code, UINT pos) override;

  // Stops live video or the snap (through their commands) or Circle playback, then closes.
  void OnClose() override;
  // The title is the program's name alone (the document has none).
  void OnUpdateFrameTitle() override;

  // Qt paints of the frame window reach OnPaint as WM_PAINT.
  void AfterQtEvent(QEvent* event) override;

  // The video window's creation (card opened with the saved parameters); when the saved mask
  // flag is on, the demonstration pattern is loaded at full picture height (main_frm_params.cpp).
  int OnCreate(LPCREATESTRUCT create) override;

 private:
  // Registers Clip and Scale with their rules (main_frm_display.cpp).
  void RegisterDisplayCommands();
  // Registers Capture Shot and Mask with their rules (main_frm_shot_mask.cpp).
  void RegisterShotMaskCommands();
  // Registers Snap and Snap Shot (main_frm_snap.cpp), and Step, Circle and Stop
  // (main_frm_playback.cpp), with their rules.
  void RegisterSnapCommands();
  void RegisterPlaybackCommands();
  // A command's rule for the router, as a function of FrameState() (and of the item's value).
  template <MenuRule (*Rule)(const SolvaneFrameState&)>
  std::function<void(CCmdUI&)> RuleOf() {
    return [this](CCmdUI& ui) { ApplyMenuRule(ui, Rule(FrameState())); };
  }
  template <MenuRule (*Rule)(const SolvaneFrameState&, int)>
  std::function<void(CCmdUI&)> RuleOf(int value) {
    return [this, value](CCmdUI& ui) { ApplyMenuRule(ui, Rule(FrameState(), value)); };
  }
  // The same for the card-type items, which ask the card its type at each update.
  template <MenuRule (*Rule)(const SolvaneFrameState&, int)>
  std::function<void(CCmdUI&)> CardTypeRuleOf(int value) {
    return [this, value](CCmdUI& ui) { ApplyMenuRule(ui, Rule(FrameStateWithCardType(), value)); };
  }
  // FrameState() with the card's type asked anew (none when the query fails).
  SolvaneFrameState FrameStateWithCardType() const;

  // ---- Image files (main_frm_files.cpp) ----
  void RegisterFileCommands();
  // Open... (32808): the open dialog, then the chosen file read into the picture (a failure shows
  // nothing) and the window repainted. Disabled while the snap runs.
  void OnOpenBmp();
  // Save As ... (32809): the save dialog, then the picture written to the chosen path; during
  // Snap, the last whole frame converted.
  void OnSaveBmp();
  // Save Serials (32812): the stored frames as <base><frame>.bmp, each converted from static
  // memory straight into its file; the picture then shows the last one. Busy pointer meanwhile.
  void OnSaveSerials();
  // Open Serials (32811): the prefix of the chosen sequence file, the sequence flag, then Step.
  void OnOpenSerials();
  // The frame and its view repaint (with erase).
  void InvalidateAll();

  // ---- Parameter menu (main_frm_param_commands.cpp) ----
  void RegisterParameterCommands();
  // PAL/NTSC: the standard setter; on 0 the frame lays itself out for the new image.
  void OnStandard(int standard);
  // Frame/Field/Field1: the scan-mode setter; on 0 the mask is rebuilt for the new height (Mask
  // sent twice when it is on) and the frame lays itself out.
  void OnScanMode(int scanMode);
  // Horizon/vertical: the mirror setter with the flag flipped; failures are silent.
  void OnMirror(int direction);
  // Chroma Trap in the Luma: the setter with the flag flipped; a failure shows its box.
  void OnChromaTrap();
};

// The two rectangles the demonstration mask excludes from the video (x, y, width, height), filled
// with the context's background colour where live video does not show and before a read-back.
void FillMaskRectangles(CDC& dc);

// The snap callback given to the library (any thread): the record's context is the card's snap
// context, which leads to the frame (as a CVideoWnd) while it has the snap; calls its OnSnapFrame
// with the filled slot. Returns 1.
int SnapFrameCallback(QuarnSnapInfo* info);
