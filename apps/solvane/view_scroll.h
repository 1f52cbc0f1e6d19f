// view_scroll.h - the rule that turns a notification of one of Solvane's view scroll bars into
// the bar's new position, which is the input window's origin on that axis.
#pragma once

#include "afx.h"

namespace solvane {

// Steps of the view's bars: the horizontal origin moves on multiples of 4, the vertical on 2.
inline constexpr int kHorizontalScrollStep = 4;
inline constexpr int kVerticalScrollStep = 2;

// The new position for notification `code` (SB_ codes) from the current origin `origin`, with
// step `step` and the bar's scroll information `info` (range and page). `thumb` is the position
// a released thumb carries: it is rounded toward zero to a multiple of the step. Dragging
// (SB_THUMBTRACK), the end of a scroll and unknown codes keep the origin.
int ScrollPosition(UINT code, int origin, int step, const SCROLLINFO& info, UINT thumb);

}  // namespace solvane
