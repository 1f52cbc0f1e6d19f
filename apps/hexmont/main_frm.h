// main_frm.h - Hexmont's main frame: it owns every installed card (opened in its constructor, set
// up when its window is created, ended in its destructor), runs live video over the view with the
// cards in a grid, keeps each card's video placed on its cell as the window moves, paints the
// display buffers into the view when nothing runs, and stops acquisition when it closes.
#pragma once

#include "QuarnVidEx.h"
#include "afx.h"
#include "card_grid.h"
#include "command_rules.h"
#include "view_painter.h"

class CMainFrame : public CFrameWnd, public CViewPainter {
 public:
  // The title the frame's paint sets.
  static constexpr const char* kPaintTitle = "Quarn Multi Performance";

  // Counts the cards and opens each one (a failure shows its box and the next card follows).
  CMainFrame();
  // Ends every card, frees the display buffers and deletes the palette.
  ~CMainFrame() override;

  CCardGrid& Grid() { return grid_; }
  const CCardGrid& Grid() const { return grid_; }
  // What the menu-state rules look at.
  HexmontFrameState FrameState() const;

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

  // Capture Shot (32786, main_frm_shot_mask.cpp), enabled when idle: with the frame's palette
  // selected into the view, freezes and reads back every card (a failing freeze shows its own
  // "Error message" box with no owner and the card is still read back); then the view repaints
  // from the display buffers.
  void OnCaptureShot();
  // One card's freeze and read-back, shared by Capture Shot and the stop of live video:
  // QuarnCaptureShot (its failure boxed only when `reportFreezeFailure`), then QuarnGetDisplayBits
  // of the output size (half height in the field modes) from the cell's top-left corner in the
  // view through `dc`; on success the header takes that size.
  void FreezeAndReadBack(CGridCard& cell, CView& view, CDC& dc, bool reportFreezeFailure);
  // Mask (32795, main_frm_shot_mask.cpp), enabled when idle, checked while on: inverts the mask
  // flag; switched on, loads the demonstration pattern into every card (half the picture height
  // in the field modes); then QuarnEnableMask with the flag on every card. Statuses are ignored.
  void OnMask();

  // Clip (32798) and Scale (32799), main_frm_display.cpp: set the clip flag (1 crops each card's
  // picture 1:1, 0 scales the whole picture into its output) and place the video again when it
  // changes. Always enabled; the check mark is on the current mode.
  void OnDisplayClip();
  void OnDisplayScale();

  // Live video follows the window.
  void OnMove(int x, int y) override;
  void OnSize(UINT type, int cx, int cy) override;
  // Keeps the frame on the screen unless it is maximised; sizes are never changed.
  void OnWindowPosChanging(WINDOWPOS* pos) override;
  // The frame's client area includes the view: invalidating the frame redraws the view too.
  void Invalidate(BOOL erase = 1) override;

  // CViewPainter: the display buffers in idle and playback mode, nothing otherwise.
  void PaintView(CDC* dc) override;

  // Snap Shot (32787, main_frm_snap.cpp), enabled when idle: as many frames of every card as fit
  // into static memory together (at most 65,535), card 0's sequence first; then the notice.
  void OnSnapShot();
  // Snap (32822, main_frm_snap.cpp), enabled when idle or snapping, checked while snapping:
  // opens and starts a two-slot ring per card, or closes every card's snap.
  void OnSnap();
  // The snap callback, on the library's thread: the context is the card's snap context, which
  // leads to its record while the frame has it; converts the filled slot into the card's picture
  // and draws it 1:1 into the card's cell. Returns 1.
  static int SnapFrameCallback(QuarnSnapInfo* info);
  // The callback's work for one card (library thread).
  static void DrawSnapFrame(CGridCard& cell, uint32_t slot);
  // Playback (main_frm_playback.cpp): Step (32803), Circle (32804), Stop (32805).
  void OnPlaybackStep();
  void OnPlaybackCircle();
  void OnPlaybackStop();
  // Draws stored frame `playbackIndex` of every card into its cell, then moves the index on
  // (back to 0 after the last frame).
  void ShowNextFrame();
  // The playback timer shows the next frame in Circle; a click steps in Step.
  void OnTimer(UINT_PTR id) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  // A frame destroyed with the snap still open (without OnClose) closes it first; then every
  // card's snap callback is cut off from its record, so nothing draws into the view or a record
  // while they go.
  void OnDestroy() override;

  void AfterQtEvent(QEvent* event) override;

 protected:
  // Reads every card's section of QuarnCard.ini into its record (main_frm_params.cpp).
  void LoadParameterSets();
  // Writes every card's section of QuarnCard.ini, cards in index order (main_frm_params.cpp).
  virtual void SaveParameterSets();

 private:
  // The frame's paint: nothing is drawn; the title becomes kPaintTitle.
  void OnPaint();
  // Registers Clip and Scale with their rules (main_frm_display.cpp).
  void RegisterDisplayCommands();
  // Registers Capture Shot and Mask with their rules (main_frm_shot_mask.cpp).
  void RegisterShotMaskCommands();
  // Registers Snap Shot and Snap (main_frm_snap.cpp), Step, Circle and Stop
  // (main_frm_playback.cpp) with their rules.
  void RegisterSnapCommands();
  void RegisterPlaybackCommands();
  // Closes every card's open snap; the frame becomes idle when every close succeeded (a card whose
  // close failed stays open and delivering). Returns whether all are closed.
  bool CloseAllSnaps();
  // A command's rule for the router, as a function of FrameState() (and of the item's value).
  template <MenuRule (*Rule)(const HexmontFrameState&)>
  std::function<void(CCmdUI&)> RuleOf() {
    return [this](CCmdUI& ui) { ApplyMenuRule(ui, Rule(FrameState())); };
  }
  template <MenuRule (*Rule)(const HexmontFrameState&, int)>
  std::function<void(CCmdUI&)> RuleOf(int value) {
    return [this, value](CCmdUI& ui) { ApplyMenuRule(ui, Rule(FrameState(), value)); };
  }

  // ---- Image files (main_frm_files.cpp) ----
  void RegisterFileCommands();
  // Save Serials (32812): in the save dialog's folder and name, every card's stored frames as
  // <base><card>_<frame>.bmp, each converted from static memory first; a card whose snap shot
  // failed writes nothing; a failed write is not reported. Busy pointer meanwhile.
  void OnSaveSerials();

  // ---- Parameter menu (main_frm_param_commands.cpp) ----
  // Registers the value items, the toggles and the dialogs' WM_APPLY_ messages.
  void RegisterParameterCommands();
  // Gives `value` to every target card through `set`; a card that answers 0 keeps the value, one
  // that refuses keeps its own.
  void SetOnTargets(int (CVideoCard::*set)(int), int value);
  // Flips the flag of every target card, tells the card, and keeps the flipped flag only when
  // the card took it.
  void ToggleMirror(int direction);
  void ToggleChromaTrap();
  // Flips every target card's interline flag (no library call).
  void ToggleInterline();
  // Select card... (32827): the dialog with the selection and the card count; OK keeps its choice.
  void OnSelectCard();
  // Video Source... (32801) and Adjust... (32800): the dialog on the target cards, opening on the
  // shown card's values; it switches the cards (and so their records) as the user clicks or
  // scrolls, and puts each back on its own values when cancelled.
  void OnVideoSource();
  void OnAdjust();

  // Tests put the frame into a state directly (tests/apps/hexmont_test_support.h).
  friend struct HexmontFrameProbe;

  CCardGrid grid_;
  bool titlePainted_ = false;  // the frame's paint has set its title

  // ---- The frame's acquisition and display state (one for all cards) ----
  AcquisitionMode mode_ = AcquisitionMode::kIdle;
  bool clipped_ = true;  // Clip (each picture cropped 1:1) rather than Scale
  bool maskOn_ = false;  // the demonstration mask is switched on in every card
  int screenWidth_ = 0;  // of the screen the frame is on, kept at window creation
  int screenHeight_ = 0;
  std::unique_ptr<CPalette> palette_;     // the grey palette selected around live video
  CPalette* displacedPalette_ = nullptr;  // borrowed: the palette selecting ours replaced
  int storedFrames_ = 0;   // frames per card the last Snap Shot stored (0: nothing to play)
  int playbackIndex_ = 0;  // the stored frame playback shows next
  bool stepping_ = true;   // playback steps on a click (true) or circles on the timer
};
