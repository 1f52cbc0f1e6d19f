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
  if (cards_.mode == AcquisitionMode::kPlayback) {
    if (cards_.stepFlag != 0) return;  // already stepping
    // From Circle: the timer stops and frame 0 shows at once.
    cards_.stepFlag = 1;
    cards_.playbackIndex = 0;
    KillTimer(kPlaybackTimerId);
    SendMessage(WM_LBUTTONDOWN, 0, 0);
  } else if (cards_.mode == AcquisitionMode::kIdle) {
    cards_.stepFlag = 1;
    cards_.playbackIndex = 0;
    cards_.mode = AcquisitionMode::kPlayback;
    SendMessage(WM_LBUTTONDOWN, 0, 0);
  }
}

void CMainFrame::OnPlaybackCircle() {
  if (cards_.mode == AcquisitionMode::kPlayback) {
    if (cards_.stepFlag == 0) return;  // already circling
    cards_.stepFlag = 0;
    cards_.playbackIndex = 0;
    SetTimer(kPlaybackTimerId, kPlaybackPeriodMs);
  } else if (cards_.mode == AcquisitionMode::kIdle) {
    // The first frame shows when the timer first fires.
    cards_.stepFlag = 0;
    cards_.playbackIndex = 0;
    cards_.mode = AcquisitionMode::kPlayback;
    SetTimer(kPlaybackTimerId, kPlaybackPeriodMs);
  }
}

void CMainFrame::OnPlaybackStop() {
  cards_.playbackIndex = 0;
  // The frames stay in static memory but a new Snap Shot is needed to play them again.
  cards_.storedImages = 0;
  cards_.mode = AcquisitionMode::kIdle;
  if (cards_.stepFlag == 0) KillTimer(kPlaybackTimerId);
}

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id == kPlaybackTimerId) ShowNextFrame();
  CFrameWnd::OnTimer(id);
}

void CMainFrame::OnLButtonDown(UINT flags, CPoint point) {
  if (cards_.stepFlag != 0 && cards_.mode == AcquisitionMode::kPlayback) ShowNextFrame();
  CFrameWnd::OnLButtonDown(flags, point);
}

void CMainFrame::ShowNextFrame() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CClientDC dc(view->HostWindow());
  dc.SetStretchBltMode(COLORONCOLOR);
  for (CardRecord& record : cards_.Records()) {
    // Checked before each card; the index moves only after every card is drawn.
    if (cards_.playbackIndex >= cards_.storedImages) cards_.playbackIndex = 0;
    // A card whose snap shot failed has no frames in static memory.
    if (!record.framesStored) continue;
    CDisplayPicture& picture = record.picture;
    const BITMAPINFOHEADER& info = picture.Description();
    const uint64_t frameBytes = StoredFrameBytes(record.params.format, info.biWidth, info.biHeight);
    // A failed lock leaves the buffer as it was; the old picture is drawn again.
    picture.ConvertStoredFrame(
        record.snapOffset + frameBytes * static_cast<uint64_t>(cards_.playbackIndex), frameBytes,
        record.params.format);
    POINT origin{record.cellRect.left, record.cellRect.top};
    view->ScreenToClient(&origin);
    // Shrunk to the output window when larger, never enlarged.
    const RECT dest =
        hexmont::PaintDestination(origin, info.biWidth, info.biHeight, record.outputRect);
    picture.Draw(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0,
                 info.biWidth, info.biHeight);
  }
  ++cards_.playbackIndex;
}
