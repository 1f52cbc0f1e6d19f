// printer_scale.cpp - the printed coordinate's truncation (see printer_scale.h).
#include "printer_scale.h"

#include <cmath>

int TruncateToPrinterCoordinate(float value) {
  constexpr auto kMax = static_cast<float>(kMaxPrinterCoordinate);  // exact: a power of two
  if (std::isnan(value)) return 0;
  if (value >= kMax) return kMaxPrinterCoordinate;
  if (value <= -kMax) return -kMaxPrinterCoordinate;
  return static_cast<int>(value);
}
