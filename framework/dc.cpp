// dc.cpp - device contexts on a view's backing store or a painter: bitmap decoding and
// nearest-neighbour stretching, palettes, fills and device capabilities.
#include "dc.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "libyuv/convert_argb.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUARN_HAVE_AVX2_ROWS 1
#endif

namespace {

// A validated device-independent bitmap: where each row of the picture as shown starts.
struct Dib {
  const uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  bool bottomUp = true;
  int bitCount = 0;
  size_t stride = 0;
  const RGBQUAD* table = nullptr;
  int tableSize = 0;

  // Row `y` of the picture counted from its top: bottom-up bitmaps store the bottom row first.
  const uint8_t* Row(int y) const {
    const int stored = bottomUp ? height - 1 - y : y;
    return bits + static_cast<size_t>(stored) * stride;
  }
};

std::optional<Dib> ParseDib(const void* bits, const BITMAPINFO* info) {
  if (bits == nullptr || info == nullptr) return std::nullopt;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biCompression != BI_RGB) {
    return std::nullopt;
  }
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) {
    return std::nullopt;
  }
  const int bitCount = header.biBitCount;
  if (bitCount != 8 && bitCount != 15 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
    return std::nullopt;
  }
  Dib dib;
  dib.bits = static_cast<const uint8_t*>(bits);
  dib.width = header.biWidth;
  dib.bottomUp = header.biHeight > 0;
  dib.height = dib.bottomUp ? header.biHeight : -header.biHeight;
  dib.bitCount = bitCount;
  const int storedBits = bitCount == 15 ? 16 : bitCount;
  dib.stride = (static_cast<size_t>(dib.width) * static_cast<size_t>(storedBits) + 31) / 32 * 4;
  if (bitCount == 8) {
    // The colour table follows a 40-byte header (BITMAPINFO's room for 256 entries). A longer
    // header would put it beyond what the caller is known to hold, so such a bitmap is refused.
    if (header.biSize != sizeof(BITMAPINFOHEADER)) return std::nullopt;
    dib.table = info->bmiColors;
    dib.tableSize =
        header.biClrUsed == 0 ? 256 : static_cast<int>(std::min<DWORD>(header.biClrUsed, 256));
  }
  return dib;
}

constexpr uint32_t kOpaque = 0xFF000000u;

constexpr uint32_t Expand5(uint32_t v) {
  return (v << 3) | (v >> 2);
}
constexpr uint32_t Expand6(uint32_t v) {
  return (v << 2) | (v >> 4);
}

// One pixel of a row as the image's 0xFFRRGGBB.
template <int BitCount>
inline uint32_t PixelAt(const Dib& dib, const uint8_t* row, int x) {
  if constexpr (BitCount == 8) {
    const int index = row[x];
    // An index past a short colour table has no colour: black, never memory past the table.
    if (index >= dib.tableSize) return kOpaque;
    const RGBQUAD& c = dib.table[index];
    return kOpaque | (uint32_t{c.rgbRed} << 16) | (uint32_t{c.rgbGreen} << 8) | c.rgbBlue;
  } else if constexpr (BitCount == 15 || BitCount == 16) {
    const uint32_t w = row[2 * x] | (uint32_t{row[2 * x + 1]} << 8);
    uint32_t r;
    uint32_t g;
    if constexpr (BitCount == 16) {
      r = Expand5(w >> 11);
      g = Expand6((w >> 5) & 0x3F);
    } else {
      r = Expand5((w >> 10) & 0x1F);
      g = Expand5((w >> 5) & 0x1F);
    }
    const uint32_t b = Expand5(w & 0x1F);
    return kOpaque | (r << 16) | (g << 8) | b;
  } else if constexpr (BitCount == 24) {
    const uint8_t* p = row + 3 * static_cast<size_t>(x);
    return kOpaque | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  } else {
    const uint8_t* p = row + 4 * static_cast<size_t>(x);
    return kOpaque | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }
}

// ---- 24-bit rows into the image -------------------------------------------------------------
//
// Every 24-bit snap frame and playback step is drawn 1:1, so this row is nearly all the draw
// costs. libyuv's converter does it with 16-byte stores on this processor and checks the
// processor on every call (once per row here); the AVX2 row below writes 32 bytes a store,
// aligned to the image (bench/snap_callback_bench).

// One pixel B G R as a 0xFFRRGGBB word.
inline uint32_t Rgb24Pixel(const uint8_t* p) {
  return 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

// Whether the processor runs the AVX2 row.
[[maybe_unused]] bool HaveAvx2() {
#ifdef QUARN_HAVE_AVX2_ROWS
  static const bool avx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
#else
  return false;
#endif
}

#ifdef QUARN_HAVE_AVX2_ROWS
// Eight pixels B G R (24 bytes at `p`) as 0xFFRRGGBB words. Each 128-bit lane takes four pixels
// (12 bytes) of a 16-byte load and spreads them to four words with one byte shuffle; the high
// lane's load starts 8 bytes on, so its pixels sit at bytes 4..15 and nothing past the 24 bytes
// is read.
__attribute__((target("avx2"))) inline __m256i EightRgb24(const uint8_t* p) {
  const __m256i spread =
      _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128,  //
                       4, 5, 6, -128, 7, 8, 9, -128, 10, 11, 12, -128, 13, 14, 15, -128);
  const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8),
                                            reinterpret_cast<const __m128i*>(p));
  return _mm256_or_si256(_mm256_shuffle_epi8(bytes, spread),
                         _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}

__attribute__((target("avx2"))) void Rgb24RowAvx2(const uint8_t* in, uint32_t* out, int count) {
  int x = 0;
  // Single pixels up to a 32-byte boundary of the image, so that no store splits a cache line.
  for (; x < count && (reinterpret_cast<uintptr_t>(out + x) & 31) != 0; ++x) {
    out[x] = Rgb24Pixel(in + static_cast<size_t>(x) * 3);
  }
  for (; x + 32 <= count; x += 32) {
    const uint8_t* p = in + static_cast<size_t>(x) * 3;
    const __m256i a = EightRgb24(p);
    const __m256i b = EightRgb24(p + 24);
    const __m256i c = EightRgb24(p + 48);
    const __m256i d = EightRgb24(p + 72);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 8), b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 16), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 24), d);
  }
  for (; x + 8 <= count; x += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                        EightRgb24(in + static_cast<size_t>(x) * 3));
  }
  // The pixels left over go in one more block of eight ending at the row's end, over pixels
  // already written (with the same words).
  if (x < count && count >= 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + count - 8),
                        EightRgb24(in + static_cast<size_t>(count - 8) * 3));
    x = count;
  }
  for (; x < count; ++x) out[x] = Rgb24Pixel(in + static_cast<size_t>(x) * 3);
}
#endif

// `count` pixels B G R into 0xFFRRGGBB words; libyuv's converter where AVX2 is missing.
void Rgb24Row(const uint8_t* in, uint32_t* out, int count) {
#ifdef QUARN_HAVE_AVX2_ROWS
  if (HaveAvx2()) return Rgb24RowAvx2(in, out, count);
#endif
  libyuv::RGB24ToARGB(in, 0, reinterpret_cast<uint8_t*>(out), 0, count, 1);
}

// The request in one place: destination and source rectangles.
struct Blit {
  int x, y, dw, dh;
  int sx, sy, sw, sh;

  // Source column or row of a destination offset: the nearest source pixel, which drops
  // (shrinking) or repeats (growing) whole columns and rows.
  int SourceX(int64_t offset) const { return static_cast<int>(sx + offset * sw / dw); }
  int SourceY(int64_t offset) const { return static_cast<int>(sy + offset * sh / dh); }
};

// Draws the request into `image`, limited to `area` (already inside the destination rectangle
// and the image).
template <int BitCount>
void DrawInto(const Dib& dib, const Blit& b, QImage& image, const QRect& area) {
  if (b.dw == b.sw && b.dh == b.sh) {
    // 1:1, the path of every video frame: straight row conversion into the image.
    const int left = std::max(area.left(), b.x - b.sx);
    const int right = std::min(area.right() + 1, b.x - b.sx + dib.width);  // exclusive
    if (left >= right) return;
    uchar* const bits = image.bits();
    const auto bytesPerLine = static_cast<size_t>(image.bytesPerLine());
    // Rows in the bitmap's memory order (a bottom-up bitmap from the picture's bottom row up).
    // A frame just converted into the bitmap is read from its last-written rows first, which are
    // still in the cache, and the image's rows a paint copies out first are the last written.
    const int first = dib.bottomUp ? area.bottom() : area.top();
    const int step = dib.bottomUp ? -1 : 1;
    for (int i = 0, y = first; i < area.height(); ++i, y += step) {
      const int srcY = b.sy + (y - b.y);
      if (srcY < 0 || srcY >= dib.height) continue;
      const uint8_t* row = dib.Row(srcY);
      auto* out = reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(y) * bytesPerLine);
      const int shift = b.sx - b.x;
      if constexpr (BitCount == 32) {
        const uint8_t* in = row + 4 * static_cast<size_t>(left + shift);
        for (int x = left; x < right; ++x, in += 4) {
          uint32_t value;
          std::memcpy(&value, in, sizeof value);  // B G R x in memory: 0xxxRRGGBB
          out[x] = value | kOpaque;
        }
      } else if constexpr (BitCount == 24) {
        Rgb24Row(row + 3 * static_cast<size_t>(left + shift), out + left, right - left);
      } else {
        for (int x = left; x < right; ++x) out[x] = PixelAt<BitCount>(dib, row, x + shift);
      }
    }
    return;
  }
  std::vector<int> columns(static_cast<size_t>(area.width()));
  for (int x = area.left(); x <= area.right(); ++x) {
    columns[static_cast<size_t>(x - area.left())] = b.SourceX(x - b.x);
  }
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const int srcY = b.SourceY(y - b.y);
    if (srcY < 0 || srcY >= dib.height) continue;
    const uint8_t* row = dib.Row(srcY);
    auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      const int srcX = columns[static_cast<size_t>(x - area.left())];
      if (srcX >= 0 && srcX < dib.width) out[x] = PixelAt<BitCount>(dib, row, srcX);
    }
  }
}

void DrawDib(const Dib& dib, const Blit& b, QImage& image, const QRect& area) {
  switch (dib.bitCount) {
    case 8:
      DrawInto<8>(dib, b, image, area);
      break;
    case 15:
      DrawInto<15>(dib, b, image, area);
      break;
    case 16:
      DrawInto<16>(dib, b, image, area);
      break;
    case 24:
      DrawInto<24>(dib, b, image, area);
      break;
    default:
      DrawInto<32>(dib, b, image, area);
      break;
  }
}

// The part of a rectangle inside 0..limitW x 0..limitH, in 64 bits so nothing overflows.
QRect Clip(int64_t x, int64_t y, int64_t w, int64_t h, int64_t limitW, int64_t limitH) {
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(x + w, limitW);
  const int64_t bottom = std::min<int64_t>(y + h, limitH);
  if (right <= left || bottom <= top) return {};
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
               static_cast<int>(bottom - top));
}

QColor ToColor(COLORREF color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

}  // namespace

CDC::CDC(CHostWindow& window) : window_(&window), bkColor_(window.BackgroundColor()) {
  hostDC_.size = sizeof(QuarnHostDC);
  hostDC_.context = this;
  hostDC_.window = window.Contract();
  hostDC_.GetDepth = [](void* context) {
    return static_cast<const CDC*>(context)->GetDeviceCaps(BITSPIXEL);
  };
  hostDC_.ReadPixels = [](void* context, int32_t x, int32_t y, int32_t w, int32_t h,
                          uint32_t* pixels, size_t stride) {
    return static_cast<const CDC*>(context)->window_->ReadPixels(x, y, w, h, pixels, stride);
  };
}

CDC::CDC(QPainter& painter, bool printing)
    : painter_(&painter), printing_(printing), palette_(StockDefaultPalette()) {
  hostDC_.size = sizeof(QuarnHostDC);
  hostDC_.context = this;
  hostDC_.window = nullptr;
  hostDC_.GetDepth = [](void* context) {
    return static_cast<const CDC*>(context)->GetDeviceCaps(BITSPIXEL);
  };
  // Nothing can be read back from a printer page.
  hostDC_.ReadPixels = [](void*, int32_t, int32_t, int32_t, int32_t, uint32_t*, size_t) {
    return -1;
  };
}

int CDC::StretchDIBits(int x, int y, int dw, int dh, int sx, int sy, int sw, int sh,
                       const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (usage != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return 0;
  const std::optional<Dib> dib = ParseDib(bits, info);
  if (!dib) return 0;
  const Blit blit{x, y, dw, dh, sx, sy, sw, sh};
  const QRect source = Clip(sx, sy, sw, sh, dib->width, dib->height);
  const int lines = source.height();

  if (window_ != nullptr) {
    window_->Draw(
        [&](QImage& image) {
          const QRect area = Clip(x, y, dw, dh, image.width(), image.height());
          if (!area.isEmpty()) DrawDib(*dib, blit, image, area);
        },
        Clip(x, y, dw, dh, INT32_MAX, INT32_MAX));
    return lines;
  }

  // A painter: decode the visible source part and let the painter scale it without smoothing
  // (nearest pixel), so a printer gets the picture at its own resolution.
  if (source.isEmpty()) return lines;
  QImage picture(source.size(), QImage::Format_RGB32);
  if (picture.isNull()) return 0;
  const Blit copy{0,          0,          source.width(), source.height(),
                  source.x(), source.y(), source.width(), source.height()};
  DrawDib(*dib, copy, picture, picture.rect());
  const double scaleX = static_cast<double>(dw) / sw;
  const double scaleY = static_cast<double>(dh) / sh;
  const QRectF target(x + (source.x() - sx) * scaleX, y + (source.y() - sy) * scaleY,
                      source.width() * scaleX, source.height() * scaleY);
  painter_->save();
  painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_->drawImage(target, picture);
  painter_->restore();
  return lines;
}

int CDC::SetStretchBltMode(int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return std::exchange(stretchMode_, mode);
}

CPalette* CDC::SelectPalette(CPalette* palette, BOOL forceBackground) {
  if (palette == nullptr) return nullptr;
  if (window_ != nullptr) return window_->SelectPalette(palette, forceBackground != 0);
  return std::exchange(palette_, palette);
}

CScopedPalette::CScopedPalette(CDC& dc, CPalette* palette, bool when) : dc_(dc) {
  if (!when || palette == nullptr) return;
  displaced_ = dc_.SelectPalette(palette, FALSE);
  dc_.RealizePalette();
}

CScopedPalette::~CScopedPalette() {
  if (displaced_ == nullptr) return;
  dc_.SelectPalette(displaced_, FALSE);
  dc_.RealizePalette();
}

UINT CDC::RealizePalette() {
  if (window_ != nullptr) return window_->RealizePalette();
  return static_cast<UINT>(palette_->entries().size());
}

COLORREF CDC::SetBkColor(COLORREF color) {
  return std::exchange(bkColor_, color);
}

void CDC::FillColor(const QRect& rect, COLORREF color) {
  if (rect.isEmpty()) return;
  if (window_ != nullptr) {
    const QRgb value = ToColor(color).rgb();
    window_->Draw(
        [&](QImage& image) {
          const QRect area = rect.intersected(image.rect());
          for (int row = area.top(); row <= area.bottom(); ++row) {
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
            std::fill(out + area.left(), out + area.left() + area.width(), value);
          }
        },
        rect);
    return;
  }
  painter_->fillRect(rect, ToColor(color));
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  bkColor_ = color;
  FillColor(Clip(x, y, cx, cy, INT32_MAX, INT32_MAX), color);
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
  FillSolidRect(rect.left, rect.top, rect.Width(), rect.Height(), color);
}

void CDC::FillBackground(const RECT& rect) {
  const COLORREF color = window_ != nullptr ? window_->BackgroundColor() : RGB(255, 255, 255);
  FillColor(Clip(rect.left, rect.top, rect.Width(), rect.Height(), INT32_MAX, INT32_MAX), color);
}

int CDC::GetDeviceCaps(int index) const {
  if (window_ != nullptr) {
    const HostGeometry geometry = window_->Geometry();
    switch (index) {
      case HORZRES:
        return geometry.screenSize.width();
      case VERTRES:
        return geometry.screenSize.height();
      case BITSPIXEL:
        return geometry.depth;
      case PLANES:
        return 1;
      case LOGPIXELSX:
      case LOGPIXELSY:
        return 96;  // the screen's logical resolution
      default:
        return 0;
    }
  }
  const QPaintDevice* device = painter_->device();
  if (device == nullptr) return 0;
  switch (index) {
    case HORZRES:
      return device->width();
    case VERTRES:
      return device->height();
    case BITSPIXEL:
      return device->depth();
    case PLANES:
      return 1;
    case LOGPIXELSX:
      return device->logicalDpiX();
    case LOGPIXELSY:
      return device->logicalDpiY();
    default:
      return 0;
  }
}
