// solvane_layout.h - Solvane's window rules as small functions of their inputs: the limits put on
// the frame's position and size, the scroll ranges of the view in clip mode, the input and
// output windows for a view rectangle, and the picture's printed size. The frame (CVideoWnd) wires
// them to the card and the view.
#pragma once

#include "afx_types.h"
#include "gdi_types.h"
#include "video_parameter_set.h"

namespace solvane {

// Widths between the frame's outer edges and the view's client area (screen pixels).
struct Borders {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// True in the two field scan modes (1 and 2), where the card delivers half-height pictures.
inline bool IsFieldScan(int scanMode) {
  return scanMode == kScanField || scanMode == kScanField1;
}

// The largest view client area the frame may have: the image size of the standard, the height
// halved (integer division) whenever the scan mode is not 0.
ImageSize MaxClientSize(int standard, int scanMode);

// What the position-changing rule needs to know about the frame besides the rectangle.
struct PositionContext {
  bool minimized = false;
  bool maximized = false;
  Borders borders;
  int screenWidth = 0;
  int screenHeight = 0;
  ImageSize maxClient;  // MaxClientSize of the card
};

// Corrects the frame's proposed outer rectangle `pos` (x, y, cx, cy):
//  - minimised: sets `restorePending` and changes nothing;
//  - maximised: the size becomes borders + maxClient (then the rules below still apply unless a
//    restore is pending);
//  - restore pending: clears it and changes nothing more (the first change after a restore from
//    the minimised state is left alone);
//  - otherwise the client area is kept on the screen, its left edge on a multiple of 4 and its
//    top on an even line, its width a multiple of 4 and its height even, never above maxClient.
// Remainders are those of signed integer division, so a negative sum moves by a negative amount.
void ConstrainFramePosition(WINDOWPOS& pos, const PositionContext& context, int& restorePending);

// The range one scroll bar gets in clip mode: 0 .. max with the given page; arrows enabled only
// when max is above 0 (range and page are then set, else only the arrows are disabled).
struct ScrollSetting {
  int max = 0;
  UINT page = 0;
  bool enabled() const { return max > 0; }
};
struct ScrollSettings {
  ScrollSetting horizontal;
  ScrollSetting vertical;
};
// Horizontal: image width - view width, page 4. Vertical: image height - view height, or image
// height - 2 x view height in scan modes 1 and 2; page 2.
ScrollSettings ClipScrollSettings(ImageSize image, int viewWidth, int viewHeight, int scanMode);

// The card's windows for a view rectangle in screen coordinates. Input (image pixels): the view's
// size from (0, 0) in clip mode, the height doubled in scan modes 1 and 2; the whole image in
// scale mode. Output (screen): the view rectangle, twice as tall in scan modes 1 and 2 so that
// the half-height field picture fills the view.
struct VideoRects {
  RECT input;
  RECT output;
};
VideoRects PlaceRects(const RECT& view, int clip, int scanMode, ImageSize image);

// A picture's width or height on a printer: truncate(pixels x logPixels x 0.010416667f), each
// factor a float, held to kMaxPrinterCoordinate (printer_scale.h).
int PrintedLength(int pixels, int logPixels);

}  // namespace solvane
