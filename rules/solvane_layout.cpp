// solvane_layout.cpp - Solvane's window rules (see solvane_layout.h).
#include "solvane_layout.h"

#include "printer_scale.h"

namespace solvane {

namespace {

// One axis of the position rule. `origin` and `extent` are the frame's position and outer size
// on that axis, `near`/`far` the borders before and after the client area, `screen` the screen's
// extent, `maximum` the largest client extent and `step` the client area's alignment.
void ConstrainAxis(int& origin, int& extent, int nearBorder, int farBorder, int screen, int maximum,
                   int step) {
  if (origin + nearBorder < 0) origin = -nearBorder;
  if (origin - farBorder + extent > screen) origin = screen - extent + farBorder;
  // Signed remainder: for a negative sum it is negative, so the origin moves by -r + step.
  const int r = (origin + nearBorder) % step;
  if (r != 0) origin = origin - r + step;
  if (extent - nearBorder - farBorder > maximum) extent = nearBorder + farBorder + maximum;
  extent -= (extent - nearBorder - farBorder) % step;
}

}  // namespace

ImageSize MaxClientSize(int standard, int scanMode) {
  ImageSize size = ImageSizeOf(standard);
  if (scanMode != kScanFrame) size.height /= 2;
  return size;
}

void ConstrainFramePosition(WINDOWPOS& pos, const PositionContext& context, int& restorePending) {
  const Borders& b = context.borders;
  if (context.minimized) {
    restorePending = 1;
    return;
  }
  if (context.maximized) {
    pos.cx = b.left + b.right + context.maxClient.width;
    pos.cy = b.top + b.bottom + context.maxClient.height;
  }
  if (restorePending != 0) {
    restorePending = 0;
    return;
  }
  ConstrainAxis(pos.x, pos.cx, b.left, b.right, context.screenWidth, context.maxClient.width, 4);
  ConstrainAxis(pos.y, pos.cy, b.top, b.bottom, context.screenHeight, context.maxClient.height, 2);
}

ScrollSettings ClipScrollSettings(ImageSize image, int viewWidth, int viewHeight, int scanMode) {
  ScrollSettings s;
  s.horizontal.max = image.width - viewWidth;
  s.horizontal.page = 4;
  s.vertical.max = image.height - (IsFieldScan(scanMode) ? 2 * viewHeight : viewHeight);
  s.vertical.page = 2;
  return s;
}

VideoRects PlaceRects(const RECT& view, int clip, int scanMode, ImageSize image) {
  VideoRects rects;
  rects.output = view;
  const bool field = IsFieldScan(scanMode);
  if (clip != 0) {
    const LONG width = view.right - view.left;
    const LONG height = view.bottom - view.top;
    rects.input = RECT{0, 0, width, field ? 2 * height : height};
  } else {
    rects.input = RECT{0, 0, image.width, image.height};
  }
  if (field) rects.output.bottom = view.top + 2 * (view.bottom - view.top);
  return rects;
}

int PrintedLength(int pixels, int logPixels) {
  return TruncateToPrinterCoordinate(static_cast<float>(pixels) * static_cast<float>(logPixels) *
                                     kPerScreenPixel);
}

}  // namespace solvane
