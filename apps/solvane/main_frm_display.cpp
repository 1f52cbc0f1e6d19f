// main_frm_display.cpp - Solvane's display modes and panning: Clip and Scale through
// SetClipMode, the view's scroll bars moving the card's input window, and ApplyWindows, which
// sends new windows to the card around a running snap.
#include <algorithm>

#include "QuarnVidEx.h"
#include "command_ids.h"
#include "main_frm.h"
#include "view_scroll.h"

namespace solvane {

int ScrollPosition(UINT code, int origin, int step, const SCROLLINFO& info, UINT thumb) {
  const int page = static_cast<int>(info.nPage);
  switch (code) {
    case SB_LINELEFT:
      return std::max(origin - step, info.nMin);
    case SB_LINERIGHT:
      return std::min(origin + step, info.nMax);
    case SB_PAGELEFT:
      return std::max(origin - page, info.nMin);
    case SB_PAGERIGHT:
      return std::min(origin + page, info.nMax);
    case SB_THUMBPOSITION:
      // Integer division truncates toward zero.
      return static_cast<int>(thumb) / step * step;
    case SB_LEFT:
      return info.nMin;
    case SB_RIGHT:
      return info.nMax;
    default:  // SB_THUMBTRACK, SB_ENDSCROLL: nothing moves while the thumb is dragged
      return origin;
  }
}

}  // namespace solvane

int CVideoWnd::ApplyWindows(const RECT& input, const RECT& output) {
  CVideoCard& card = Card();
  // The snap must not run while its windows change: the stop returns only when no callback
  // runs, so the callback never sees the windows (or the header) half changed. A stop that fails
  // leaves the snap delivering with the windows it has, so nothing is changed then. Statuses
  // are not reported here.
  const bool snapping = card.GetState() == CardState::kSnap;
  if (snapping && card.StopSnap() != QUARN_OK) return 1;
  card.SetInputRect(input);
  card.SetOutputRect(output);
  if (snapping) {
    // The ring is refilled white, so slots not yet written at the new size show nothing stale.
    const int64_t bytes = card.FrameBytes() * ringCount;
    CVideoCard::FillStaticMem(snapStartOffset, static_cast<uint64_t>(bytes), 0xFF);
    card.StartSnap(snapStartOffset, interline, ringCount);
  }
  return 1;
}

void CMainFrame::RegisterDisplayCommands() {
  On(ID_DISPLAY_CLIP, [this] {
    OnDisplayClip();
  }).Rule(ID_DISPLAY_CLIP, RuleOf<solvane::ClipRule>());
  On(ID_DISPLAY_SCALE, [this] {
    OnDisplayScale();
  }).Rule(ID_DISPLAY_SCALE, RuleOf<solvane::ScaleRule>());
}

void CMainFrame::OnDisplayClip() {
  SetClipMode(1);
}

void CMainFrame::OnDisplayScale() {
  SetClipMode(0);
}

void CMainFrame::OnViewScroll(int bar, UINT code, UINT pos) {
  CView* view = GetActiveView();
  if (view == nullptr || (bar != SB_HORZ && bar != SB_VERT)) return;
  const bool horizontal = bar == SB_HORZ;
  RECT input = Card().GetInputRect();
  const RECT output = Card().GetOutputRect();
  SCROLLINFO info;
  view->GetScrollInfo(bar, &info, SIF_ALL);

  const int origin = horizontal ? input.left : input.top;
  const int step = horizontal ? solvane::kHorizontalScrollStep : solvane::kVerticalScrollStep;
  const int position = solvane::ScrollPosition(code, origin, step, info, pos);
  view->SetScrollPos(bar, position, 1);

  // The input window keeps its size; its origin on this axis follows the bar.
  if (horizontal) {
    input.right += position - input.left;
    input.left = position;
  } else {
    input.bottom += position - input.top;
    input.top = position;
  }
  ApplyWindows(input, output);
}
