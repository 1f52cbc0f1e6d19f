// fake_pixels.cpp - the recording library's display read-back pattern and frame conversion.
#include "fake_pixels.h"

#include <algorithm>
#include <cstring>

#include "QuarnVideo.h"

namespace quarnfake::internal {

namespace {

uint8_t Clamp255(int v) {
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// BT.601 studio range to B G R, in 8-bit fixed point.
void YuvToBgr(int y, int u, int v, uint8_t* bgr) {
  const int c = 298 * (y - 16);
  const int d = u - 128;
  const int e = v - 128;
  bgr[0] = Clamp255((c + 516 * d + 128) >> 8);
  bgr[1] = Clamp255((c - 100 * d - 208 * e + 128) >> 8);
  bgr[2] = Clamp255((c + 409 * e + 128) >> 8);
}

uint8_t Expand5(unsigned v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}
uint8_t Expand6(unsigned v) {
  return static_cast<uint8_t>((v << 2) | (v >> 4));
}

// One row of `format` into 24-bit B G R or 8 bit.
void ConvertRow(uint8_t* dst, const uint8_t* src, int width, int format) {
  switch (format) {
    case QUARN_FORMAT_YUV422:
      for (int x = 0; x < width; x += 2) {
        const uint8_t* p = src + 2 * x;
        const int y0 = p[0];
        const int u = p[1];
        // An odd last pixel has no V byte of its own: its chroma is taken as neutral.
        const bool pair = x + 1 < width;
        const int v = pair ? p[3] : 128;
        YuvToBgr(y0, u, v, dst + 3 * x);
        if (pair) YuvToBgr(p[2], u, v, dst + 3 * (x + 1));
      }
      break;
    case QUARN_FORMAT_RGB888:
      std::memcpy(dst, src, static_cast<size_t>(width) * 3);
      break;
    case QUARN_FORMAT_RGB565:
      for (int x = 0; x < width; ++x) {
        const unsigned w = src[2 * x] | (static_cast<unsigned>(src[2 * x + 1]) << 8);
        dst[3 * x] = Expand5(w & 0x1F);
        dst[3 * x + 1] = Expand6((w >> 5) & 0x3F);
        dst[3 * x + 2] = Expand5((w >> 11) & 0x1F);
      }
      break;
    case QUARN_FORMAT_RGB555:
      for (int x = 0; x < width; ++x) {
        const unsigned w = src[2 * x] | (static_cast<unsigned>(src[2 * x + 1]) << 8);
        dst[3 * x] = Expand5(w & 0x1F);
        dst[3 * x + 1] = Expand5((w >> 5) & 0x1F);
        dst[3 * x + 2] = Expand5((w >> 10) & 0x1F);
      }
      break;
    case QUARN_FORMAT_RGB8888:
      for (int x = 0; x < width; ++x) {
        dst[3 * x] = src[4 * x];
        dst[3 * x + 1] = src[4 * x + 1];
        dst[3 * x + 2] = src[4 * x + 2];
      }
      break;
    case QUARN_FORMAT_ALL8:
    case QUARN_FORMAT_LIMITED8:
      // Both 8-bit formats keep the stored luma, as the simulated cards do.
      std::memcpy(dst, src, static_cast<size_t>(width));
      break;
    default:
      break;
  }
}

}  // namespace

int FormatBits(int format) {
  switch (format) {
    case QUARN_FORMAT_YUV422:
      return 16;
    case QUARN_FORMAT_RGB888:
      return 24;
    case QUARN_FORMAT_RGB565:
      return 16;
    case QUARN_FORMAT_RGB555:
      return 15;
    case QUARN_FORMAT_RGB8888:
      return 32;
    case QUARN_FORMAT_ALL8:
      return 8;
    case QUARN_FORMAT_LIMITED8:
      return 8;
    default:
      return 0;
  }
}

int FormatBytes(int format) {
  return (FormatBits(format) + 7) / 8;
}

size_t Stride(int width, int bitsPerPixel) {
  if (width < 1 || bitsPerPixel < 1) return 0;
  return (static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32 * 4;
}

bool DisplayDepthSupported(int depth) {
  return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

void FillDisplayPattern(uint8_t* dst, int x, int y, int width, int height, int depth,
                        uint8_t seed) {
  const size_t stride = Stride(width, depth);
  std::memset(dst, 0, stride * static_cast<size_t>(height));
  for (int row = 0; row < height; ++row) {
    // Bottom-up: the top row of the rectangle is the last row of the bitmap.
    uint8_t* out = dst + stride * static_cast<size_t>(height - 1 - row);
    const unsigned g = static_cast<unsigned>(y + row) & 0xFF;
    for (int col = 0; col < width; ++col) {
      const unsigned r = static_cast<unsigned>(x + col) & 0xFF;
      const unsigned b = seed;
      switch (depth) {
        case 32:
          out[4 * col] = static_cast<uint8_t>(b);
          out[4 * col + 1] = static_cast<uint8_t>(g);
          out[4 * col + 2] = static_cast<uint8_t>(r);
          out[4 * col + 3] = 0;
          break;
        case 24:
          out[3 * col] = static_cast<uint8_t>(b);
          out[3 * col + 1] = static_cast<uint8_t>(g);
          out[3 * col + 2] = static_cast<uint8_t>(r);
          break;
        case 16: {
          const unsigned w = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
          out[2 * col] = static_cast<uint8_t>(w & 0xFF);
          out[2 * col + 1] = static_cast<uint8_t>(w >> 8);
          break;
        }
        case 15: {
          const unsigned w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
          out[2 * col] = static_cast<uint8_t>(w & 0xFF);
          out[2 * col + 1] = static_cast<uint8_t>(w >> 8);
          break;
        }
        default:  // 8
          out[col] = static_cast<uint8_t>((77 * r + 150 * g + 29 * b + 128) >> 8);
          break;
      }
    }
  }
}

size_t TransformedBytes(int width, int height, int format) {
  const int bits = FormatBits(format);
  if (bits == 0 || width < 1 || height < 1) return 0;
  return Stride(width, bits == 8 ? 8 : 24) * static_cast<size_t>(height);
}

bool TransformFrame(uint8_t* dst, const uint8_t* src, int width, int height, int format) {
  const int bits = FormatBits(format);
  if (bits == 0 || width < 1 || height < 1) return false;
  const size_t srcRow = static_cast<size_t>(width) * static_cast<size_t>(FormatBytes(format));
  const size_t dstRow = Stride(width, bits == 8 ? 8 : 24);
  const size_t used = static_cast<size_t>(width) * (bits == 8 ? 1 : 3);
  for (int row = 0; row < height; ++row) {
    uint8_t* out = dst + dstRow * static_cast<size_t>(height - 1 - row);
    ConvertRow(out, src + srcRow * static_cast<size_t>(row), width, format);
    std::memset(out + used, 0, dstRow - used);
  }
  return true;
}

}  // namespace quarnfake::internal
