// main_frm_playback.cpp - Solvane's main frame: playback of the frames Snap Shot stored, one per
// click (Step) or one per tick of the playback timer (Circle), until Stop.
#include "command_ids.h"
#include "dc.h"
#include "main_frm.h"
#include "sequence_names.h"

namespace {

// Circle shows one frame per tick.
constexpr UINT kPlaybackPeriodMs = 100;

}  // namespace

void CMainFrame::RegisterPlaybackCommands() {
  On(ID_PLAYBACK_STEP, [this] {
    OnPlaybackStep();
  }).Rule(ID_PLAYBACK_STEP, RuleOf<solvane::StepRule>());
  On(ID_PLAYBACK_CIRCLE, [this] {
    OnPlaybackCircle();
  }).Rule(ID_PLAYBACK_CIRCLE, RuleOf<solvane::CircleRule>());
  On(ID_PLAYBACK_STOP, [this] {
    OnPlaybackStop();
  }).Rule(ID_PLAYBACK_STOP, RuleOf<solvane::StopRule>());
}

void CMainFrame::OnPlaybackStep() {
  if (playing != 0) {
    // From Circle: the timer stops and frame 0 shows at once. Already stepping: nothing.
    if (stepFlag == 0) {
      stepFlag = 1;
      playbackIndex = 0;
      KillTimer(kPlaybackTimerId);
      SendMessage(WM_LBUTTONDOWN, 0, 0);
    }
    return;
  }
  Card().ClearDisplayBuffer();
  Invalidate(1);
  if (CView* view = GetActiveView()) view->Invalidate(1);
  stepFlag = 1;
  playing = 1;
  playbackIndex = 0;
  SendMessage(WM_LBUTTONDOWN, 0, 0);
}

void CMainFrame::OnPlaybackCircle() {
  if (playing != 0) {
    // From Step: the timer starts from frame 0. Already circling: nothing.
    if (stepFlag != 0) {
      stepFlag = 0;
      playbackIndex = 0;
      SetTimer(kPlaybackTimerId, kPlaybackPeriodMs);
    }
    return;
  }
  Card().ClearDisplayBuffer();
  Invalidate(1);
  if (CView* view = GetActiveView()) view->Invalidate(1);
  stepFlag = 0;
  playing = 1;
  playbackIndex = 0;
  SetTimer(kPlaybackTimerId, kPlaybackPeriodMs);
}

void CMainFrame::OnPlaybackStop() {
  // The frames stay in static memory but are forgotten: a new Snap Shot is needed.
  playbackIndex = 0;
  imageCount = 0;
  playing = 0;
  if (stepFlag == 0) KillTimer(kPlaybackTimerId);
  bmpSequence = 0;
}

void CMainFrame::ShowNextFrame() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CClientDC dc(view);
  if (bmpSequence != 0) {
    // The next file of the sequence; a missing or unreadable one keeps the picture shown and the
    // next step starts again at file 1.
    if (Card().ReadBmpFile(FrameFileName(sequencePrefix, playbackIndex + 1))) {
      ++playbackIndex;
    } else {
      playbackIndex = 0;
    }
  } else {
    if (playbackIndex >= imageCount) playbackIndex = 0;
    // The frame as Snap Shot stored it, whatever format or windows are in force now. A failed
    // lock leaves the buffer as it was; the old picture is drawn again.
    Card().TransformStoredFrame(static_cast<uint32_t>(playbackIndex));
    ++playbackIndex;
  }
  Card().Draw(&dc);
}

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id == kPlaybackTimerId) ShowNextFrame();
  CVideoWnd::OnTimer(id);
}

void CMainFrame::OnLButtonDown(UINT flags, CPoint point) {
  if (stepFlag != 0 && playing != 0) ShowNextFrame();
  CVideoWnd::OnLButtonDown(flags, point);
}
