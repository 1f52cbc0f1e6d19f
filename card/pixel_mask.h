// pixel_mask.h - the demonstration pixel mask both programs load into a card: its three
// rectangles, the per-pixel loaders (Hexmont's free function on a handle, Solvane's on the card
// object) and the whole-pattern loads each program makes.
#pragma once

#include <array>

#include "QuarnVideo.h"

class CVideoCard;

// One rectangle of a pixel mask in picture pixels; value 1 masks its pixels, 0 keeps them.
struct MaskRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int value = 0;
  bool operator==(const MaskRect&) const = default;
};

// The two rectangles the demonstration mask excludes from the video: a 50 x 50 square at (50, 50)
// and a 100-pixel line at (100, 150). The view fills the same areas with its background colour.
inline constexpr MaskRect kMaskSquare{50, 50, 50, 50, 1};
inline constexpr MaskRect kMaskLine{100, 150, 100, 1, 1};

// The demonstration pattern in loading order: the whole picture (width x height) kept, then the
// square and the line masked. Loading the whole picture first clears what an earlier pattern of
// another height left.
constexpr std::array<MaskRect, 3> DemonstrationMask(int width, int height) {
  return {MaskRect{0, 0, width, height, 0}, kMaskSquare, kMaskLine};
}

// Hexmont: QuarnSetPixelMask(handle, column, row, value) for every pixel of the rectangle,
// column by column (outer loop) and row by row within a column; statuses are ignored.
void SetPixelMaskRect(QUARN_HANDLE handle, int x, int y, int width, int height, int value);

// Hexmont: loads the demonstration pattern for a picture of width x height into one card.
void LoadDemonstrationMask(QUARN_HANDLE handle, int width, int height);

// Solvane: loads the demonstration pattern into the card object's card through
// CVideoCard::SetPixelMaskRect, the whole picture being the card's image size with its height
// halved when `halveInFieldModes` is set and the scan mode is not 0 (the Mask command halves; the
// start-up load, after the saved mask flag was read back on, does not). A failing rectangle stops
// where it failed; the following ones are still loaded. Statuses are not reported.
void LoadDemonstrationMask(CVideoCard& card, bool halveInFieldModes);
