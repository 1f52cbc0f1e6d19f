// main_frm_playback.cpp - Hexmont's main frame: playback of the sequence Snap Shot stored, one
// frame per click (Step) or every 100 ms on the playback timer (Circle), until Stop.
#include "card_helpers.h"
#include "command_ids.h"
#include "hexmont_layout.h"
#include "main_frm.h"
#include "static_frames.h"

namespace {

constexpr UINT kPlaybackPeriodMs = 100;

}  // namespace

void CMainFrame::RegisterPlaybackCommands() {
  On(ID_PLAYBACK_STEP, [this] {
    OnPlaybackStep();
  }).Rule(ID_PLAYBACK_STEP, RuleOf<hexmont::StepRule>());
  On(ID_PLAYBACK_CIRCLE, [this] {
    OnPlaybackCircle();
  }).Rule(ID_PLAYBACK_CIRCLE, RuleOf<hexmont::CircleRule>());
  On(ID_PLAYBACK_STOP, [this] {
    OnPlaybackStop();
  }).Rule(ID_PLAYBACK_STOP, RuleOf<hexmont::StopRule>());
}

void CMainFrame::OnPlaybackStep() {
  if (mode_ == AcquisitionMode::kPlayback) {
    if (stepping_) return;  // already stepping
    // From Circle: the timer stops and frame 0 shows at once.
    stepping_ = true;
    playbackIndex_ = 0;
    KillTimer(kPlaybackTimerId);
    SendMessage(WM_LBUTTONDOWN, 0, 0);
  } else if (mode_ == AcquisitionMode::kIdle) {
    stepping_ = true;
    playbackIndex_ = 0;
    mode_ = AcquisitionMode::kPlayback;
    SendMessage(WM_LBUTTONDOWN, 0, 0);
  }
}

void CMainFrame::OnPlaybackCircle() {
  if (mode_ == AcquisitionMode::kPlayback) {
    if (!stepping_) return;  // already circling
    stepping_ = false;
    playbackIndex_ = 0;
    SetTimer(kPlaybackTimerId, kPlaybackPeriodMs);
  } else if (mode_ == AcquisitionMode::kIdle) {
    // The first frame shows when the timer first fires.
    stepping_ = false;
    playbackIndex_ = 0;
    mode_ = AcquisitionMode::kPlayback;
    SetTimer(kPlaybackTimerId, kPlaybackPeriodMs);
  }
}

void CMainFrame::OnPlaybackStop() {
  playbackIndex_ = 0;
  // The frames stay in static memory but a new Snap Shot is needed to play them again.
  storedFrames_ = 0;
  mode_ = AcquisitionMode::kIdle;
  if (!stepping_) KillTimer(kPlaybackTimerId);
}

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id == kPlaybackTimerId) ShowNextFrame();
  CFrameWnd::OnTimer(id);
}

void CMainFrame::OnLButtonDown(UINT flags, CPoint point) {
  if (stepping_ && mode_ == AcquisitionMode::kPlayback) ShowNextFrame();
  CFrameWnd::OnLButtonDown(flags, point);
}

void CMainFrame::ShowNextFrame() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CClientDC dc(view->HostWindow());
  dc.SetStretchBltMode(COLORONCOLOR);
  for (const auto& cell : grid_.Cells()) {
    // Checked before each card; the index moves only after every card is drawn.
    if (playbackIndex_ >= storedFrames_) playbackIndex_ = 0;
    // A card whose snap shot failed has no frames in static memory.
    if (!cell->framesStored) continue;
    CVideoCard& card = cell->card;
    CDisplayPicture& picture = card.Picture();
    const BITMAPINFOHEADER& info = picture.Description();
    // A failed lock leaves the buffer as it was; the old picture is drawn again.
    // The frame as it was stored, whatever format or window the card has now.
    card.TransformStoredFrame(static_cast<uint32_t>(playbackIndex_));
    POINT origin{cell->cellRect.left, cell->cellRect.top};
    view->ScreenToClient(&origin);
    // Shrunk to the output window when larger, never enlarged.
    const RECT dest =
        hexmont::PaintDestination(origin, info.biWidth, info.biHeight, cell->OutputRect());
    picture.Draw(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0,
                 info.biWidth, info.biHeight);
  }
  ++playbackIndex_;
}
