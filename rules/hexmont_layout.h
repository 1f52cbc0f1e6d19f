// hexmont_layout.h - Hexmont's placement rules as plain functions of their inputs: the grid cell of
// each card in the view, the output rectangle fitted into a cell, the input window, the bytes of a
// card's snap ring, the frame's position limits and the destination a display buffer is painted
// to (with the printer's scale).
#pragma once

#include <cstdint>

#include "afx_types.h"
#include "gdi_types.h"

namespace hexmont {

// The cell of card `index` of `count` in `view` (screen coordinates). The grid has
// rows = int(sqrt(count) + 0.5) and columns = (rows + count - 1) / rows; cells are
// view width / columns by view height / rows (integer divisions), laid out row by row from the
// view's top-left corner; right and bottom are inclusive (left + width - 1). An index below 0 or
// above `count`, or a count below 1, returns `previous` unchanged.
RECT GridCell(const RECT& view, int index, int count, const RECT& previous);

// The output rectangle (left, top, right, bottom; screen pixels) of a card whose cell is `cell`.
// Edges below the minimum become the minimum; a right edge beyond the screen width or a cell
// wider than the image gives right = left + image width, likewise bottom with the screen height
// and image height; then left and top are raised and right and bottom lowered to multiples of
// `xStep` and `yStep` (each only when not one already), the remainders being those of signed
// integer division.
RECT FitOutputRect(const RECT& cell, int minX, int minY, int screenWidth, int screenHeight,
                   int imageWidth, int imageHeight, int xStep, int yStep);

// The input window sent with an output rectangle: in clip mode the top-left part of the image at
// 1:1, (0, 0, output width, output height); in scale mode the whole image.
RECT InputWindowFor(bool clip, const RECT& output, int imageWidth, int imageHeight);

// Static-memory bytes of one card's two-slot snap ring: 2 x bytes per pixel of `format` x the
// output size. The next card's ring starts that far after this one.
uint64_t SnapRingBytes(int format, int outputWidth, int outputHeight);

// The position-changing rule of the main frame. A maximised frame keeps `pos`; otherwise x and y
// below 0 become 0, and a frame reaching past the right or bottom screen edge is moved back to
// end on it. The size is never changed.
void ConstrainFramePosition(WINDOWPOS& pos, bool maximised, int screenWidth, int screenHeight);

// Where a card's display buffer is painted: from the cell's top-left corner in view client
// coordinates, min(bitmap width, output width) wide and min(bitmap height, output height) high.
RECT PaintDestination(POINT cellOrigin, int bitmapWidth, int bitmapHeight, const RECT& output);

// One coordinate on a printer: truncate(logPixels x coordinate x 0.010416667f), 1/96 as a
// single-precision constant (the screen has 96 pixels per inch), held to
// +-kMaxPrinterCoordinate (printer_scale.h).
int ScaleForPrinter(int coordinate, int logPixels);

}  // namespace hexmont
