// static_frames.cpp - frames in static memory (see static_frames.h).
#include "static_frames.h"

#include <algorithm>

#include "card_helpers.h"

int BytesPerPixelOf(int format) {
  return (BitsForFormat(format) + 7) / 8;
}

uint64_t StoredFrameBytes(int format, int width, int height) {
  return static_cast<uint64_t>(BytesPerPixelOf(format)) *
         static_cast<uint64_t>(std::max(width, 0)) * static_cast<uint64_t>(std::max(height, 0));
}

uint64_t PaddedFrameBytes(int format, int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const uint64_t row =
      (static_cast<uint64_t>(BytesPerPixelOf(format)) * static_cast<uint64_t>(width) * 8 + 31) /
      32 * 4;
  return row * static_cast<uint64_t>(height);
}

int StoredFrames::BitCount() const {
  return StoredFrameBitCount(format);
}

int SnapShotLines(int outputHeight, int scanMode) {
  return scanMode == kScanField || scanMode == kScanField1 ? outputHeight / 2 : outputHeight;
}

int SnapLines(int outputHeight, int scanMode, int interline) {
  return scanMode == kScanFrame && interline != 0 ? outputHeight : outputHeight / 2;
}

int StoredFrameBitCount(int format) {
  return BitsForFormat(format) == 8 ? 8 : 24;
}

uint16_t FramesThatFit(uint64_t available, uint64_t frameBytes) {
  if (frameBytes == 0) return 0;
  return static_cast<uint16_t>(std::min<uint64_t>(available / frameBytes, kMaxFrameCount));
}
