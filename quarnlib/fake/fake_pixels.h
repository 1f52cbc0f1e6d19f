// fake_pixels.h - the recording library's pixel work: the documented display read-back pattern
// and the frame conversion QuarnDataTransform performs (see quarnfake.h for both definitions).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarnfake::internal {

int FormatBits(int format);   // 16, 24, 16, 15, 32, 8, 8; 0 for an unknown format
int FormatBytes(int format);  // (bits + 7) / 8; 0 for an unknown format
size_t Stride(int width, int bitsPerPixel);
bool DisplayDepthSupported(int depth);

// Writes the display pattern for client rectangle (x, y, width, height) at `depth` (supported,
// width and height >= 1) into `dst`, Stride(width, depth) x height bytes.
void FillDisplayPattern(uint8_t* dst, int x, int y, int width, int height, int depth, uint8_t seed);

// Converts a packed frame of `format` (top row first) into a bottom-up bitmap, 24-bit B G R for
// the formats that are not 8-bit, 8-bit for the two that are. False for an unknown format or a
// size below 1 (nothing written).
bool TransformFrame(uint8_t* dst, const uint8_t* src, int width, int height, int format);
// Bytes TransformFrame writes.
size_t TransformedBytes(int width, int height, int format);

}  // namespace quarnfake::internal
