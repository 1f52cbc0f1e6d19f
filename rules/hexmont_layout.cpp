// hexmont_layout.cpp - Hexmont's placement rules (see hexmont_layout.h).
#include "hexmont_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "printer_scale.h"
#include "static_frames.h"

namespace hexmont {

namespace {

// Raises `value` to the next multiple of `step` when it is not one: value - r + step with r the
// signed remainder (so a negative value goes up by more than the remainder, as the card's
// placement has always done).
LONG RaiseToStep(LONG value, int step) {
  const LONG r = value % step;
  return r != 0 ? value - r + step : value;
}

// Lowers `value` by its signed remainder (a negative value thus moves towards 0).
LONG LowerToStep(LONG value, int step) {
  return value - value % step;
}

}  // namespace

RECT GridCell(const RECT& view, int index, int count, const RECT& previous) {
  if (count < 1 || index < 0 || index > count) return previous;
  const int rows = static_cast<int>(std::sqrt(static_cast<double>(count)) + 0.5);
  const int columns = (rows + count - 1) / rows;
  const LONG cellWidth = (view.right - view.left) / columns;
  const LONG cellHeight = (view.bottom - view.top) / rows;
  RECT cell;
  cell.left = view.left + cellWidth * (index % columns);
  cell.top = view.top + cellHeight * (index / columns);
  cell.right = cell.left + cellWidth - 1;
  cell.bottom = cell.top + cellHeight - 1;
  return cell;
}

RECT FitOutputRect(const RECT& cell, int minX, int minY, int screenWidth, int screenHeight,
                   int imageWidth, int imageHeight, int xStep, int yStep) {
  RECT out = cell;
  if (out.left < minX) out.left = minX;
  if (out.right < minX) out.right = minX;
  if (out.top < minY) out.top = minY;
  if (out.bottom < minY) out.bottom = minY;
  if (out.right > screenWidth || out.right - out.left > imageWidth) {
    out.right = out.left + imageWidth;
  }
  if (out.bottom > screenHeight || out.bottom - out.top > imageHeight) {
    out.bottom = out.top + imageHeight;
  }
  out.left = RaiseToStep(out.left, xStep);
  out.top = RaiseToStep(out.top, yStep);
  out.right = LowerToStep(out.right, xStep);
  out.bottom = LowerToStep(out.bottom, yStep);
  return out;
}

RECT InputWindowFor(bool clip, const RECT& output, int imageWidth, int imageHeight) {
  if (clip) return RECT{0, 0, output.right - output.left, output.bottom - output.top};
  return RECT{0, 0, imageWidth, imageHeight};
}

uint64_t SnapRingBytes(int format, int outputWidth, int outputHeight) {
  return 2 * StoredFrameBytes(format, outputWidth, outputHeight);
}

void ConstrainFramePosition(WINDOWPOS& pos, bool maximised, int screenWidth, int screenHeight) {
  if (maximised) return;
  if (pos.x < 0) pos.x = 0;
  if (pos.y < 0) pos.y = 0;
  if (pos.x + pos.cx > screenWidth) pos.x = screenWidth - pos.cx;
  if (pos.y + pos.cy > screenHeight) pos.y = screenHeight - pos.cy;
}

RECT PaintDestination(POINT cellOrigin, int bitmapWidth, int bitmapHeight, const RECT& output) {
  const LONG width = std::min<LONG>(bitmapWidth, output.right - output.left);
  const LONG height = std::min<LONG>(bitmapHeight, output.bottom - output.top);
  return RECT{cellOrigin.x, cellOrigin.y, cellOrigin.x + width, cellOrigin.y + height};
}

int ScaleForPrinter(int coordinate, int logPixels) {
  // The product in 64 bits: in int it could overflow before it is scaled down.
  const int64_t product = int64_t{logPixels} * coordinate;
  return TruncateToPrinterCoordinate(static_cast<float>(product) * kPerScreenPixel);
}

}  // namespace hexmont
