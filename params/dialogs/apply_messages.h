// apply_messages.h - the private messages by which Hexmont's Video Source and Adjust dialogs ask
// the main frame to apply a value to its target cards at once. They are sent, not posted; the
// frame calls the library for every target card, ignores the statuses, changes no card record
// (the dialog's result is stored only when it ends with OK) and returns 1.
#pragma once

#include "afx_types.h"

// wParam: source type (0 Video, 1 S-Video, 2 YCbCr); lParam: connector number within the type.
inline constexpr UINT WM_APPLY_SOURCE = WM_USER + 100;
// wParam: AdjustItem (1 brightness, 2 contrast, 3 hue, 4 saturation); lParam: value 0..255.
inline constexpr UINT WM_APPLY_ADJUST = WM_USER + 101;
// wParam: PLL frequency value 0..255; lParam: 0.
inline constexpr UINT WM_APPLY_PLL = WM_USER + 102;
