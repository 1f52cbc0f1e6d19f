// apply_messages.h - the private messages through which Hexmont's parameter dialogs switch the
// target cards live; the main frame handles them and returns 1.
#pragma once

#include "afx_types.h"

// wParam: source type, lParam: connector number within the type.
inline constexpr UINT WM_APPLY_SOURCE = WM_USER + 100;
// wParam: adjust item (1 brightness, 2 contrast, 3 hue, 4 saturation), lParam: value 0..255.
inline constexpr UINT WM_APPLY_ADJUST = WM_USER + 101;
// wParam: PLL value 0..255, lParam: 0.
inline constexpr UINT WM_APPLY_PLL = WM_USER + 102;
