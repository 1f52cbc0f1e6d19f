// printer_scale.h - screen pixels in printer pixels, as both programs print their pictures: the
// screen has 96 pixels per inch, so a length is scaled by the printer's pixels per inch x 1/96 (a
// single-precision constant) and truncated towards zero.
#pragma once

// The largest printed coordinate or length, either way: far beyond any page (2^30 pixels are
// some 22 km at 1,200 dpi), and small enough that the difference of two coordinates, a printed
// width, still fits an int.
inline constexpr int kMaxPrinterCoordinate = 1 << 30;

// 1/96 as the programs have always written it.
inline constexpr float kPerScreenPixel = 0.010416667f;

// `value` truncated towards zero, held to +-kMaxPrinterCoordinate, so that a picture scaled for a
// printer of very many pixels per inch (or a picture of a size no file should give it) never
// converts a float beyond the range of an int.
int TruncateToPrinterCoordinate(float value);
