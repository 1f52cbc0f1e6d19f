// scroll_step.h - where a parameter dialog's scroll bar goes for one notification: a line is 1,
// a page 10, the thumb codes take the thumb's position, each kept within the bar's range; the
// other codes (end of scroll, the ends) leave the bar where it is.
#pragma once

#include <algorithm>
#include <optional>

#include "afx_types.h"

inline constexpr int kParamScrollLine = 1;
inline constexpr int kParamScrollPage = 10;

// The bar's new position for `code`, from its position `position` and the decoded thumb
// position `thumb`; none when the code leaves the bar. A thumb position outside the range (the
// toolkit's, or a forged message's) is kept within it too.
inline std::optional<int> ScrolledPosition(UINT code, int position, int thumb, int minPos,
                                           int maxPos) {
  int next = position;
  switch (code) {
    case SB_LINELEFT:
      next = position - kParamScrollLine;
      break;
    case SB_LINERIGHT:
      next = position + kParamScrollLine;
      break;
    case SB_PAGELEFT:
      next = position - kParamScrollPage;
      break;
    case SB_PAGERIGHT:
      next = position + kParamScrollPage;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      next = thumb;
      break;
    default:
      return std::nullopt;
  }
  return std::clamp(next, minPos, maxPos);
}
