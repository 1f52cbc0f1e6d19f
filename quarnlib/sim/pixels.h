// pixels.h - pixel conversions of the simulated card: stored frames into device-independent
// bitmaps (QuarnDataTransform), stored frames into the host's xxRRGGBB pixels (live video), and
// the host's pixels into a bitmap at the display depth (QuarnGetDisplayBits).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarnsim {

// Bytes of one row of a device-independent bitmap: rows are padded to 4 bytes.
size_t DibStride(int width, int bitsPerPixel);

// Converts one packed stored frame (top row first) in `format` into a bottom-up bitmap with rows
// padded to 4 bytes: 24-bit B G R for the formats that are not 8-bit, 8-bit for the two that are.
// Returns false for an unknown format or a size that is not positive. Padding bytes are zero.
// Also false (nothing written) for null pointers or a side above 65536. A YUV422 row of odd
// width ends in a lone pixel stored as Y U; it takes V from the pair before it.
bool TransformFrame(uint8_t* dst, const uint8_t* src, int width, int height, int format);

// Converts one packed stored frame (top row first) in `format` into opaque FFRRGGBB words, top
// row first, rows `dstStride` bytes apart. 8-bit formats give grey.
bool FrameToXrgb(const uint8_t* src, int format, int width, int height, uint32_t* dst,
                 size_t dstStride);

// A packed stored frame (top row first) offered to a host window's WritePixels.
struct XrgbSource {
  const uint8_t* frame = nullptr;
  int format = 0;
  int width = 0;
  int height = 0;
};

// A QuarnPixelWriter over an XrgbSource (`source`): converts the part of the frame from pixel
// (x, y), `width` x `height` pixels, into opaque FFRRGGBB words, rows `stride` bytes apart. The
// part is converted exactly as the whole frame would be (a YUV422 pixel keeps its pair's
// chroma). A part that does not lie inside the frame is not written.
void WriteXrgbPart(void* source, int32_t x, int32_t y, int32_t width, int32_t height,
                   uint32_t* pixels, size_t stride);

// Converts xxRRGGBB words (top row first, the top byte ignored) into a bottom-up bitmap at `depth`
// bits per pixel (8: grey luma, 15: 0RRRRRGGGGGBBBBB, 16: RRRRRGGGGGGBBBBB, 24: B G R, 32: B G R
// 0), rows padded to 4 bytes. Returns false for another depth.
bool XrgbToDib(const uint32_t* src, size_t srcStride, int width, int height, int depth,
               uint8_t* dst);

}  // namespace quarnsim
