// static_frames.cpp - frames in static memory (see static_frames.h).
#include "static_frames.h"

#include <algorithm>

#include "card_helpers.h"

int BytesPerPixelOf(int format) { return (BitsForFormat(format) + 7) / 8; }

uint16_t FramesThatFit(uint64_t available, uint64_t frameBytes) {
  if (frameBytes == 0) return 0;
  return static_cast<uint16_t>(std::min<uint64_t>(available / frameBytes, kMaxFrameCount));
}
