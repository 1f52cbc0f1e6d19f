// pixels.cpp - pixel conversions of the simulated card, on libyuv's converters: stored frames into
// bottom-up device-independent bitmaps and into the host's xxRRGGBB words, and the host's words
// into bitmaps at the display depth.
//
// YUV422 and the 16-bit RGB formats go into 24-bit B G R in one pass of our own (AVX2 when the
// processor has it, with a scalar twin that gives the same bytes): libyuv only offers these
// through 32-bit pixels, and that second pass made them cost over three times a memcpy. Live
// video's YUV422 rows are ours too, on the same arithmetic, so that a frame shows in the colours
// its stored copy converts to.
#include "pixels.h"

#include <QuarnVideo.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUARN_HAVE_AVX2_ROWS 1
#endif

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <vector>

namespace quarnsim {

size_t DibStride(int width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  return (static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32 * 4;
}

namespace {

// Largest width or height converted; beyond it strides would leave libyuv's int range.
constexpr int kMaxSide = 1 << 16;
bool SizeOk(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

// Whether the processor runs the AVX2 rows.
[[maybe_unused]] bool HaveAvx2() {
#ifdef QUARN_HAVE_AVX2_ROWS
  static const bool avx2 = [] {
    __builtin_cpu_init();  // needed when the first conversion runs before main()
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
#else
  return false;
#endif
}

// Converts `rows` stored rows of `format` (RGB565 or RGB555) into 32-bit rows B G R A.
void StoredToArgb(int format, const uint8_t* src, int srcStride, int width, int rows, uint8_t* argb,
                  int argbStride) {
  switch (format) {
    case QUARN_FORMAT_RGB565:
      libyuv::RGB565ToARGB(src, srcStride, argb, argbStride, width, rows);
      break;
    case QUARN_FORMAT_RGB555:
      libyuv::ARGB1555ToARGB(src, srcStride, argb, argbStride, width, rows);
      break;
    default:
      break;
  }
}

// ---- One-pass rows into 24-bit B G R ------------------------------------------------------
//
// YUV422 is BT.601 studio range (Y 16..235, U and V 16..240). Fixed point with 6 fraction bits:
// luma term = ((Y * 256) * kYScale >> 16) - kYOffset (this keeps white at exactly 255), chroma
// terms in whole 64ths. The vector code and the scalar code compute the same bytes.
constexpr int kYScale = 19077;  // 1.164384 * 64 * 256
constexpr int kYOffset = 1160;  // 16 * 1.164384 * 64, less 32 for rounding
constexpr int kVToR = 102;      // 1.596027 * 64
constexpr int kUToG = 25;       // 0.391762 * 64
constexpr int kVToG = 52;       // 0.812968 * 64
constexpr int kUToB = 129;      // 2.017232 * 64

inline uint8_t Clamp6(int value) {
  return static_cast<uint8_t>(std::clamp(value >> 6, 0, 255));
}

inline void YuvToBgr(int y, int u, int v, uint8_t* out) {
  const int luma = ((y << 8) * kYScale >> 16) - kYOffset;
  const int du = u - 128, dv = v - 128;
  out[0] = Clamp6(luma + kUToB * du);
  out[1] = Clamp6(luma - kUToG * du - kVToG * dv);
  out[2] = Clamp6(luma + kVToR * dv);
}

// Pixels [x, width) of a YUV422 row. The lone last pixel of an odd width is stored as Y U and
// borrows V from the pair before it (neutral chroma when there is none).
void Yuv422RowScalar(const uint8_t* src, uint8_t* dst, int x, int width) {
  for (; x + 1 < width; x += 2) {
    const uint8_t* p = src + static_cast<size_t>(x) * 2;
    YuvToBgr(p[0], p[1], p[3], dst + static_cast<size_t>(x) * 3);
    YuvToBgr(p[2], p[1], p[3], dst + static_cast<size_t>(x) * 3 + 3);
  }
  if (x < width) {
    const uint8_t* p = src + static_cast<size_t>(x) * 2;
    YuvToBgr(p[0], p[1], width >= 3 ? p[-1] : 128, dst + static_cast<size_t>(x) * 3);
  }
}

inline uint32_t YuvToXrgb(int y, int u, int v) {
  uint8_t bgr[3];
  YuvToBgr(y, u, v, bgr);
  return 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

// Pixels [x, width) of a YUV422 row (x even) into opaque FFRRGGBB words, in the colours
// Yuv422RowScalar gives, so that live video shows a frame as its stored copy is converted.
void Yuv422XrgbRowScalar(const uint8_t* src, uint32_t* out, int x, int width) {
  for (; x + 1 < width; x += 2) {
    const uint8_t* p = src + static_cast<size_t>(x) * 2;
    out[x] = YuvToXrgb(p[0], p[1], p[3]);
    out[x + 1] = YuvToXrgb(p[2], p[1], p[3]);
  }
  if (x < width) {
    const uint8_t* p = src + static_cast<size_t>(x) * 2;
    out[x] = YuvToXrgb(p[0], p[1], width >= 3 ? p[-1] : 128);
  }
}

// Pixels [x, width) of a little-endian 16-bit row; the 5- and 6-bit fields are widened by
// repeating their top bits (31 -> 255, 63 -> 255).
void Rgb16RowScalar(const uint8_t* src, uint8_t* dst, int x, int width, bool is565) {
  for (; x < width; ++x) {
    const unsigned w = src[x * 2] | (static_cast<unsigned>(src[x * 2 + 1]) << 8);
    const unsigned b = w & 0x1F;
    const unsigned g = is565 ? (w >> 5) & 0x3F : (w >> 5) & 0x1F;
    const unsigned r = is565 ? w >> 11 : (w >> 10) & 0x1F;
    uint8_t* out = dst + static_cast<size_t>(x) * 3;
    out[0] = static_cast<uint8_t>((b << 3) | (b >> 2));
    out[1] = static_cast<uint8_t>(is565 ? (g << 2) | (g >> 4) : (g << 3) | (g >> 2));
    out[2] = static_cast<uint8_t>((r << 3) | (r >> 2));
  }
}

#ifdef QUARN_HAVE_AVX2_ROWS
// Pixels before the first 32-byte boundary of `out` (all of them when fewer), so that the vector
// stores after them never split a cache line of the host's picture.
int PixelsToAlign(const uint32_t* out, int count) {
  const auto misaligned = static_cast<int>((reinterpret_cast<uintptr_t>(out) & 31) / 4);
  return std::min(count, misaligned == 0 ? 0 : 8 - misaligned);
}

// pshufb masks that interleave 16 B, 16 G and 16 R bytes of one 128-bit lane into the 48 bytes
// B G R B G R ...: mask [part][channel] selects that channel's bytes of output bytes
// 16 * part .. 16 * part + 15 (0x80 = leave zero). Both lanes use the same pattern.
constexpr std::array<std::array<std::array<int8_t, 32>, 3>, 3> MakeInterleaveMasks() {
  std::array<std::array<std::array<int8_t, 32>, 3>, 3> masks{};
  for (int part = 0; part < 3; ++part) {
    for (int channel = 0; channel < 3; ++channel) {
      for (int i = 0; i < 32; ++i) {
        const int j = part * 16 + i % 16;
        masks[static_cast<size_t>(part)][static_cast<size_t>(channel)][static_cast<size_t>(i)] =
            static_cast<int8_t>(j % 3 == channel ? j / 3 : -128);
      }
    }
  }
  return masks;
}
alignas(32) constexpr auto kInterleave = MakeInterleaveMasks();

__attribute__((target("avx2"))) inline __m256i LoadMask(int part, int channel) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(
      kInterleave[static_cast<size_t>(part)][static_cast<size_t>(channel)].data()));
}

// Bytes 16 * kPart .. 16 * kPart + 15 of each lane's 48 interleaved bytes.
template <int kPart>
__attribute__((target("avx2"))) inline __m256i Interleave(__m256i b, __m256i g, __m256i r) {
  return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(b, LoadMask(kPart, 0)),
                                         _mm256_shuffle_epi8(g, LoadMask(kPart, 1))),
                         _mm256_shuffle_epi8(r, LoadMask(kPart, 2)));
}

// Stores 32 pixels given as 16-bit B, G, R values 0..255: (b0, g0, r0) pixels 0..15 and
// (b1, g1, r1) pixels 16..31, as 96 bytes B G R.
__attribute__((target("avx2"))) inline void StoreBgr32(uint8_t* dst, __m256i b0, __m256i g0,
                                                       __m256i r0, __m256i b1, __m256i g1,
                                                       __m256i r1) {
  // Packing interleaves the lanes of its two sources; the permute puts pixels 0..15 in the low
  // lane and 16..31 in the high lane.
  const __m256i b = _mm256_permute4x64_epi64(_mm256_packus_epi16(b0, b1), 0xD8);
  const __m256i g = _mm256_permute4x64_epi64(_mm256_packus_epi16(g0, g1), 0xD8);
  const __m256i r = _mm256_permute4x64_epi64(_mm256_packus_epi16(r0, r1), 0xD8);
  const __m256i part0 = Interleave<0>(b, g, r);
  const __m256i part1 = Interleave<1>(b, g, r);
  const __m256i part2 = Interleave<2>(b, g, r);
  // Low lane: bytes 0..47 of the output, high lane: bytes 48..95.
  auto* out = reinterpret_cast<__m256i*>(dst);
  _mm256_storeu_si256(out, _mm256_permute2x128_si256(part0, part1, 0x20));
  _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(part2, part0, 0x30));
  _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(part1, part2, 0x31));
}

// 16 YUV422 pixels (32 bytes) into 16-bit B, G, R.
__attribute__((target("avx2"))) inline void Yuv16(__m256i s, __m256i* b, __m256i* g, __m256i* r) {
  const __m256i luma =
      _mm256_sub_epi16(_mm256_mulhi_epu16(_mm256_slli_epi16(s, 8), _mm256_set1_epi16(kYScale)),
                       _mm256_set1_epi16(kYOffset));
  // Each pixel gets its pair's U, V as signed bytes (value - 128).
  const __m256i pairChroma = _mm256_setr_epi8(1, 3, 1, 3, 5, 7, 5, 7, 9, 11, 9, 11, 13, 15, 13, 15,
                                              1, 3, 1, 3, 5, 7, 5, 7, 9, 11, 9, 11, 13, 15, 13, 15);
  const __m256i uv = _mm256_xor_si256(_mm256_shuffle_epi8(s, pairChroma), _mm256_set1_epi8(-128));
  // maddubs: unsigned coefficient bytes (for U, for V) times the signed U, V bytes, summed.
  const __m256i toR = _mm256_maddubs_epi16(_mm256_set1_epi16(kVToR << 8), uv);
  const __m256i toG = _mm256_maddubs_epi16(_mm256_set1_epi16((kVToG << 8) | kUToG), uv);
  const __m256i toB = _mm256_maddubs_epi16(_mm256_set1_epi16(kUToB), uv);
  *b = _mm256_srai_epi16(_mm256_adds_epi16(luma, toB), 6);
  *g = _mm256_srai_epi16(_mm256_subs_epi16(luma, toG), 6);
  *r = _mm256_srai_epi16(_mm256_adds_epi16(luma, toR), 6);
}

__attribute__((target("avx2"))) void Yuv422RowAvx2(const uint8_t* src, uint8_t* dst, int width) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const uint8_t* p = src + static_cast<size_t>(x) * 2;
    __m256i b0, g0, r0, b1, g1, r1;
    Yuv16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), &b0, &g0, &r0);
    Yuv16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), &b1, &g1, &r1);
    StoreBgr32(dst + static_cast<size_t>(x) * 3, b0, g0, r0, b1, g1, r1);
  }
  Yuv422RowScalar(src, dst, x, width);
}

// Stores 32 pixels given as 16-bit B, G, R values (b0, g0, r0 pixels 0..15 and b1, g1, r1
// pixels 16..31, each lane holding 8 pixels in order) as opaque FFRRGGBB words. Values outside
// 0..255 saturate, as Clamp6 does.
__attribute__((target("avx2"))) inline void StoreXrgb32(uint32_t* out, __m256i b0, __m256i g0,
                                                        __m256i r0, __m256i b1, __m256i g1,
                                                        __m256i r1) {
  // Packing puts pixels 0..7 and 16..23 in the low lane, 8..15 and 24..31 in the high lane.
  const __m256i b = _mm256_packus_epi16(b0, b1);
  const __m256i g = _mm256_packus_epi16(g0, g1);
  const __m256i r = _mm256_packus_epi16(r0, r1);
  const __m256i a = _mm256_set1_epi8(-1);
  const __m256i bgLow = _mm256_unpacklo_epi8(b, g);   // pixels 0..7 | 8..15
  const __m256i bgHigh = _mm256_unpackhi_epi8(b, g);  // pixels 16..23 | 24..31
  const __m256i raLow = _mm256_unpacklo_epi8(r, a);
  const __m256i raHigh = _mm256_unpackhi_epi8(r, a);
  const __m256i w0 = _mm256_unpacklo_epi16(bgLow, raLow);    // pixels 0..3 | 8..11
  const __m256i w1 = _mm256_unpackhi_epi16(bgLow, raLow);    // pixels 4..7 | 12..15
  const __m256i w2 = _mm256_unpacklo_epi16(bgHigh, raHigh);  // pixels 16..19 | 24..27
  const __m256i w3 = _mm256_unpackhi_epi16(bgHigh, raHigh);  // pixels 20..23 | 28..31
  auto* o = reinterpret_cast<__m256i*>(out);
  _mm256_storeu_si256(o, _mm256_permute2x128_si256(w0, w1, 0x20));
  _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(w0, w1, 0x31));
  _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(w2, w3, 0x20));
  _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(w2, w3, 0x31));
}

// Pixels x .. x + 31 of a YUV422 row (x even) into opaque FFRRGGBB words.
__attribute__((target("avx2"))) inline void Yuv422XrgbBlock(const uint8_t* src, uint32_t* out,
                                                            int x) {
  const uint8_t* p = src + static_cast<size_t>(x) * 2;
  __m256i b0, g0, r0, b1, g1, r1;
  Yuv16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), &b0, &g0, &r0);
  Yuv16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), &b1, &g1, &r1);
  StoreXrgb32(out + x, b0, g0, r0, b1, g1, r1);
}

// A YUV422 row into opaque FFRRGGBB words, the same colours as Yuv422RowAvx2 (the vector code
// that converts stored frames) and as Yuv422XrgbRowScalar.
__attribute__((target("avx2"))) void Yuv422XrgbRowAvx2(const uint8_t* src, uint32_t* out,
                                                       int width) {
  const int pairs = width & ~1;  // pixels in whole pairs
  if (pairs < 32) return Yuv422XrgbRowScalar(src, out, 0, width);
  // Whole pairs up to a 32-byte boundary of `out` (a pixel short of it when the boundary falls
  // inside a pair).
  int x = PixelsToAlign(out, width) & ~1;
  Yuv422XrgbRowScalar(src, out, 0, x);
  for (; x + 32 <= pairs; x += 32) Yuv422XrgbBlock(src, out, x);
  // The pairs left over go in one more block ending where they end, over pixels already written
  // (with the same words).
  if (x < pairs) Yuv422XrgbBlock(src, out, pairs - 32);
  Yuv422XrgbRowScalar(src, out, pairs, width);
}

// 16 pixels of 16-bit RGB into 16-bit B, G, R. A field masked in place (bits at the top for B
// after the shift) times a constant, high half kept, is the field with its top bits repeated.
template <bool kIs565>
__attribute__((target("avx2"))) inline void Rgb16(__m256i w, __m256i* b, __m256i* g, __m256i* r) {
  const __m256i fiveBits = _mm256_set1_epi16(264);  // x * 8.25 for a 5-bit field at the top
  *b = _mm256_mulhi_epu16(_mm256_slli_epi16(w, 11), fiveBits);
  if constexpr (kIs565) {
    *g = _mm256_mulhi_epu16(_mm256_and_si256(w, _mm256_set1_epi16(0x07E0)),
                            _mm256_set1_epi16(8320));  // (g << 5) * 8320 >> 16 = g * 4.0625
    *r = _mm256_mulhi_epu16(_mm256_and_si256(w, _mm256_set1_epi16(static_cast<short>(0xF800))),
                            fiveBits);
  } else {
    *g = _mm256_mulhi_epu16(_mm256_and_si256(w, _mm256_set1_epi16(0x03E0)),
                            _mm256_set1_epi16(16896));  // (g << 5) * 16896 >> 16 = g * 8.25
    *r = _mm256_mulhi_epu16(_mm256_and_si256(w, _mm256_set1_epi16(0x7C00)),
                            _mm256_set1_epi16(528));  // (r << 10) * 528 >> 16 = r * 8.25
  }
}

template <bool kIs565>
__attribute__((target("avx2"))) void Rgb16RowAvx2(const uint8_t* src, uint8_t* dst, int width) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const uint8_t* p = src + static_cast<size_t>(x) * 2;
    __m256i b0, g0, r0, b1, g1, r1;
    Rgb16<kIs565>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), &b0, &g0, &r0);
    Rgb16<kIs565>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), &b1, &g1, &r1);
    StoreBgr32(dst + static_cast<size_t>(x) * 3, b0, g0, r0, b1, g1, r1);
  }
  Rgb16RowScalar(src, dst, x, width, kIs565);
}

// Copies one row of kBytes bytes, a whole number of 128-byte blocks, in straight-line code: the
// rows of an 8-bit bitmap run the other way from the stored rows, and a copy of fixed length per
// row comes much closer to a plain memcpy of the frame than memcpy called per row does.
template <size_t kBytes>
__attribute__((target("avx2"))) void CopyFixedRowAvx2(uint8_t* out, const uint8_t* in) {
  static_assert(kBytes % 128 == 0);
  for (size_t x = 0; x < kBytes; x += 128) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x + 32));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x + 64));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x + 96));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), a);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 32), b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 64), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 96), d);
  }
}

template <size_t kBytes>
__attribute__((target("avx2"))) void CopyRowsUpFixedAvx2(uint8_t* bottom, ptrdiff_t stride,
                                                         const uint8_t* src, int height) {
  for (int y = 0; y < height; ++y) {
    CopyFixedRowAvx2<kBytes>(bottom - static_cast<ptrdiff_t>(y) * stride,
                             src + static_cast<size_t>(y) * kBytes);
  }
}

#endif  // QUARN_HAVE_AVX2_ROWS

// Copies `height` packed rows of `rowBytes` bytes (top row first) into a bottom-up bitmap with
// rows `stride` bytes apart, zeroing each row's padding: the formats whose stored pixels are
// already the bitmap's pixels. The 8-bit rows of the cards' full widths (PAL 768, NTSC 640
// pixels) take a copy of fixed length.
void CopyRowsBottomUp(uint8_t* dst, size_t stride, const uint8_t* src, size_t rowBytes,
                      int height) {
  uint8_t* bottom = dst + static_cast<size_t>(height - 1) * stride;
  const auto step = static_cast<ptrdiff_t>(stride);
#ifdef QUARN_HAVE_AVX2_ROWS
  if (HaveAvx2() && rowBytes == stride) {
    if (rowBytes == 768) return CopyRowsUpFixedAvx2<768>(bottom, step, src, height);
    if (rowBytes == 640) return CopyRowsUpFixedAvx2<640>(bottom, step, src, height);
  }
#endif
  for (int y = 0; y < height; ++y) {
    uint8_t* out = bottom - static_cast<ptrdiff_t>(y) * step;
    std::memcpy(out, src + static_cast<size_t>(y) * rowBytes, rowBytes);
    if (stride != rowBytes) std::memset(out + rowBytes, 0, stride - rowBytes);
  }
}

void Yuv422RowPlain(const uint8_t* src, uint8_t* dst, int width) {
  Yuv422RowScalar(src, dst, 0, width);
}
void Rgb565RowPlain(const uint8_t* src, uint8_t* dst, int width) {
  Rgb16RowScalar(src, dst, 0, width, true);
}
void Rgb555RowPlain(const uint8_t* src, uint8_t* dst, int width) {
  Rgb16RowScalar(src, dst, 0, width, false);
}

using RowToBgr = void (*)(const uint8_t* src, uint8_t* dst, int width);

// The row converter of a 16-bit format for this processor.
RowToBgr RowConverter(int format) {
#ifdef QUARN_HAVE_AVX2_ROWS
  if (HaveAvx2()) {
    switch (format) {
      case QUARN_FORMAT_YUV422:
        return Yuv422RowAvx2;
      case QUARN_FORMAT_RGB565:
        return Rgb16RowAvx2<true>;
      default:
        return Rgb16RowAvx2<false>;
    }
  }
#endif
  switch (format) {
    case QUARN_FORMAT_YUV422:
      return Yuv422RowPlain;
    case QUARN_FORMAT_RGB565:
      return Rgb565RowPlain;
    default:
      return Rgb555RowPlain;
  }
}

void ZeroPadding(uint8_t* bottomRow, ptrdiff_t stride, int height, size_t used, size_t padded) {
  if (used == padded) return;
  for (int y = 0; y < height; ++y) {
    std::memset(bottomRow + y * stride + static_cast<ptrdiff_t>(used), 0, padded - used);
  }
}

}  // namespace

bool TransformFrame(uint8_t* dst, const uint8_t* src, int width, int height, int format) {
  if (dst == nullptr || src == nullptr || !SizeOk(width, height)) return false;
  const auto w = static_cast<size_t>(width);
  switch (format) {
    case QUARN_FORMAT_RGB888:
    case QUARN_FORMAT_ALL8:
    case QUARN_FORMAT_LIMITED8: {
      // Same pixel layout: the rows only change order and gain padding.
      const size_t rowBytes = w * (format == QUARN_FORMAT_RGB888 ? 3 : 1);
      const size_t stride = DibStride(width, format == QUARN_FORMAT_RGB888 ? 24 : 8);
      CopyRowsBottomUp(dst, stride, src, rowBytes, height);
      return true;
    }
    case QUARN_FORMAT_RGB8888: {
      const auto stride = static_cast<ptrdiff_t>(DibStride(width, 24));
      uint8_t* top = dst + (height - 1) * stride;
      libyuv::ARGBToRGB24(src, width * 4, top, static_cast<int>(-stride), width, height);
      ZeroPadding(dst, stride, height, w * 3, static_cast<size_t>(stride));
      return true;
    }
    case QUARN_FORMAT_YUV422:
    case QUARN_FORMAT_RGB565:
    case QUARN_FORMAT_RGB555: {
      const size_t stride = DibStride(width, 24);
      const RowToBgr convert = RowConverter(format);
      for (int y = 0; y < height; ++y) {
        uint8_t* out = dst + static_cast<size_t>(height - 1 - y) * stride;
        convert(src + static_cast<size_t>(y) * w * 2, out, width);
        if (stride != w * 3) std::memset(out + w * 3, 0, stride - w * 3);
      }
      return true;
    }
    default:
      return false;
  }
}

namespace {

// Bytes per stored pixel of a format FrameToXrgb knows; 0 for another.
int StoredPixelBytes(int format) {
  switch (format) {
    case QUARN_FORMAT_YUV422:
    case QUARN_FORMAT_RGB565:
    case QUARN_FORMAT_RGB555:
      return 2;
    case QUARN_FORMAT_RGB888:
      return 3;
    case QUARN_FORMAT_RGB8888:
      return 4;
    case QUARN_FORMAT_ALL8:
    case QUARN_FORMAT_LIMITED8:
      return 1;
    default:
      return 0;
  }
}

// Copies `count` 32-bit pixels B G R X, making each opaque.
void CopyOpaqueRowPlain(const uint8_t* in, uint32_t* out, int count) {
  for (int x = 0; x < count; ++x) {
    uint32_t value;
    std::memcpy(&value, in + static_cast<size_t>(x) * 4, sizeof value);
    out[x] = value | 0xFF000000u;
  }
}

// Converts `count` pixels B G R into opaque FFRRGGBB words.
void Rgb24ToXrgbRowPlain(const uint8_t* in, uint32_t* out, int count) {
  for (int x = 0; x < count; ++x) {
    const uint8_t* p = in + static_cast<size_t>(x) * 3;
    out[x] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }
}

#ifdef QUARN_HAVE_AVX2_ROWS
__attribute__((target("avx2"))) void CopyOpaqueRowAvx2(const uint8_t* in, uint32_t* out,
                                                       int count) {
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  int x = PixelsToAlign(out, count);
  CopyOpaqueRowPlain(in, out, x);
  for (; x + 16 <= count; x += 16) {
    const uint8_t* p = in + static_cast<size_t>(x) * 4;
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_or_si256(a, opaque));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 8), _mm256_or_si256(b, opaque));
  }
  // The pixels left over go in blocks of eight, the last ending at the row's end over pixels
  // already written (with the same words; `in` may be `out`).
  if (count < 8) return CopyOpaqueRowPlain(in + static_cast<size_t>(x) * 4, out + x, count - x);
  for (; x < count; x += 8) {
    const int at = std::min(x, count - 8);
    const __m256i a =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + static_cast<size_t>(at) * 4));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), _mm256_or_si256(a, opaque));
  }
}

// Eight pixels B G R (24 bytes at `p`) as opaque FFRRGGBB words. Each 128-bit lane takes four
// pixels (12 bytes) of a 16-byte load and spreads them to four words with one byte shuffle; the
// high lane's load starts 8 bytes on, so its pixels sit at bytes 4..15 and nothing past the 24
// bytes is read.
__attribute__((target("avx2"))) inline __m256i EightRgb24(const uint8_t* p) {
  const __m256i spread =
      _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128,  //
                       4, 5, 6, -128, 7, 8, 9, -128, 10, 11, 12, -128, 13, 14, 15, -128);
  const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8),
                                            reinterpret_cast<const __m128i*>(p));
  return _mm256_or_si256(_mm256_shuffle_epi8(bytes, spread),
                         _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}

// `count` pixels B G R into opaque FFRRGGBB words, 32 bytes a store from the first 32-byte
// boundary of `out` (libyuv's converter stores 16 bytes at a time on this processor).
__attribute__((target("avx2"))) void Rgb24ToXrgbRowAvx2(const uint8_t* in, uint32_t* out,
                                                        int count) {
  int x = PixelsToAlign(out, count);
  Rgb24ToXrgbRowPlain(in, out, x);
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
  Rgb24ToXrgbRowPlain(in + static_cast<size_t>(x) * 3, out + x, count - x);
}
#endif

// `rows` stored rows of `width` pixels, `srcStride` bytes apart, into opaque FFRRGGBB words
// `dstStride` bytes apart. Every pixel is converted on its own except YUV422's pairs: its rows
// must start on a pair and end where the frame's rows end, or on a pair's end.
//
// The rows go from the last up, except YUV422's. The frame was rendered top row first just
// before, so its last rows are the ones still in the cache; and the host's paint copies its
// picture out top row first, so the rows it reads first are the ones written last. YUV422 rows,
// whose arithmetic is heavier, went a fifth slower that way with nothing gained in the paint
// (bench/live_draw_bench), so they go top row first.
void RowsToXrgb(const uint8_t* src, size_t srcStride, int format, int width, int rows, uint8_t* dst,
                size_t dstStride) {
  const auto inStep = -static_cast<ptrdiff_t>(srcStride);
  const auto outStep = -static_cast<ptrdiff_t>(dstStride);
  const uint8_t* in = src + static_cast<size_t>(rows - 1) * srcStride;
  uint8_t* out = dst + static_cast<size_t>(rows - 1) * dstStride;
  // libyuv takes negative strides as rows running backwards.
  const auto inStride = static_cast<int>(inStep);
  const auto outStride = static_cast<int>(outStep);
  auto opaque = CopyOpaqueRowPlain;
#ifdef QUARN_HAVE_AVX2_ROWS
  if (HaveAvx2()) opaque = CopyOpaqueRowAvx2;
#endif
  switch (format) {
    case QUARN_FORMAT_YUV422: {
      auto yuv = +[](const uint8_t* row, uint32_t* words, int count) {
        Yuv422XrgbRowScalar(row, words, 0, count);
      };
#ifdef QUARN_HAVE_AVX2_ROWS
      if (HaveAvx2()) yuv = Yuv422XrgbRowAvx2;
#endif
      for (int y = 0; y < rows; ++y) {
        yuv(src + static_cast<size_t>(y) * srcStride,
            reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(y) * dstStride), width);
      }
      break;
    }
    case QUARN_FORMAT_RGB565:
      StoredToArgb(format, in, inStride, width, rows, out, outStride);
      break;
    case QUARN_FORMAT_RGB555:
      // The converter takes the unused top bit for alpha: each row is made opaque while it is
      // still in the cache.
      for (int y = 0; y < rows; ++y) {
        uint8_t* row = out + y * outStep;
        StoredToArgb(format, in + y * inStep, inStride, width, 1, row, outStride);
        opaque(row, reinterpret_cast<uint32_t*>(row), width);
      }
      break;
    case QUARN_FORMAT_RGB888:
#ifdef QUARN_HAVE_AVX2_ROWS
      if (HaveAvx2()) {
        for (int y = 0; y < rows; ++y) {
          Rgb24ToXrgbRowAvx2(in + y * inStep, reinterpret_cast<uint32_t*>(out + y * outStep),
                             width);
        }
        break;
      }
#endif
      libyuv::RGB24ToARGB(in, inStride, out, outStride, width, rows);
      break;
    case QUARN_FORMAT_RGB8888:
      for (int y = 0; y < rows; ++y) {
        opaque(in + y * inStep, reinterpret_cast<uint32_t*>(out + y * outStep), width);
      }
      break;
    case QUARN_FORMAT_ALL8:
      libyuv::J400ToARGB(in, inStride, out, outStride, width, rows);
      break;
    case QUARN_FORMAT_LIMITED8:
      // Studio-range luma 16..235 is shown stretched to black .. white.
      libyuv::I400ToARGB(in, inStride, out, outStride, width, rows);
      break;
    default:
      break;
  }
}

}  // namespace

bool FrameToXrgb(const uint8_t* src, int format, int width, int height, uint32_t* dst,
                 size_t dstStride) {
  if (src == nullptr || dst == nullptr || !SizeOk(width, height)) return false;
  if (dstStride < static_cast<size_t>(width) * 4 || dstStride > INT_MAX || dstStride % 4 != 0) {
    return false;
  }
  const int pixelBytes = StoredPixelBytes(format);
  if (pixelBytes == 0) return false;
  RowsToXrgb(src, static_cast<size_t>(width) * static_cast<size_t>(pixelBytes), format, width,
             height, reinterpret_cast<uint8_t*>(dst), dstStride);
  return true;
}

void WriteXrgbPart(void* source, int32_t x, int32_t y, int32_t width, int32_t height,
                   uint32_t* pixels, size_t stride) {
  const auto* frame = static_cast<const XrgbSource*>(source);
  if (frame == nullptr || frame->frame == nullptr || pixels == nullptr) return;
  if (!SizeOk(frame->width, frame->height) || width <= 0 || height <= 0 || x < 0 || y < 0 ||
      x > frame->width - width || y > frame->height - height) {
    return;
  }
  if (stride < static_cast<size_t>(width) * 4 || stride > INT_MAX || stride % 4 != 0) return;
  const int pixelBytes = StoredPixelBytes(frame->format);
  if (pixelBytes == 0) return;
  const size_t rowBytes = static_cast<size_t>(frame->width) * static_cast<size_t>(pixelBytes);
  const uint8_t* top = frame->frame + static_cast<size_t>(y) * rowBytes;
  auto* out = reinterpret_cast<uint8_t*>(pixels);
  // A YUV422 part converts on its own when it starts on a pair and ends on a pair's end, or at
  // the frame's lone last pixel with the pair before it in the part (or no pair before it).
  const bool pairs = frame->format == QUARN_FORMAT_YUV422;
  const bool endsOnPair = width % 2 == 0 || (x + width == frame->width && (x == 0 || width >= 3));
  if (!pairs || (x % 2 == 0 && endsOnPair)) {
    RowsToXrgb(top + static_cast<size_t>(x) * static_cast<size_t>(pixelBytes), rowBytes,
               frame->format, width, height, out, stride);
    return;
  }
  // A YUV422 part that cuts a pixel pair: each whole row goes through a row of scratch, so that
  // every pixel gets the chroma it has in the whole frame.
  std::vector<uint32_t> row(static_cast<size_t>(frame->width));
  for (int r = 0; r < height; ++r) {
    RowsToXrgb(top + static_cast<size_t>(r) * rowBytes, rowBytes, frame->format, frame->width, 1,
               reinterpret_cast<uint8_t*>(row.data()), rowBytes * 2);
    std::memcpy(out + static_cast<size_t>(r) * stride, row.data() + x,
                static_cast<size_t>(width) * sizeof(uint32_t));
  }
}

bool XrgbToDib(const uint32_t* src, size_t srcStride, int width, int height, int depth,
               uint8_t* dst) {
  if (src == nullptr || dst == nullptr || !SizeOk(width, height)) return false;
  if (srcStride < static_cast<size_t>(width) * 4 || srcStride > INT_MAX) return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  const auto* in = reinterpret_cast<const uint8_t*>(src);
  const int inStride = static_cast<int>(srcStride);
  const auto stride = static_cast<ptrdiff_t>(DibStride(width, depth));
  uint8_t* top = dst + (height - 1) * stride;
  const int down = static_cast<int>(-stride);
  const auto w = static_cast<size_t>(width);
  switch (depth) {
    case 32:
      for (int y = 0; y < height; ++y) {
        const uint8_t* row = in + static_cast<ptrdiff_t>(y) * inStride;
        uint8_t* o = top - y * stride;
        for (size_t x = 0; x < w; ++x) {
          o[x * 4 + 0] = row[x * 4 + 0];
          o[x * 4 + 1] = row[x * 4 + 1];
          o[x * 4 + 2] = row[x * 4 + 2];
          o[x * 4 + 3] = 0;
        }
      }
      return true;
    case 24:
      libyuv::ARGBToRGB24(in, inStride, top, down, width, height);
      ZeroPadding(dst, stride, height, w * 3, static_cast<size_t>(stride));
      return true;
    case 16:
      libyuv::ARGBToRGB565(in, inStride, top, down, width, height);
      ZeroPadding(dst, stride, height, w * 2, static_cast<size_t>(stride));
      return true;
    case 15:
      libyuv::ARGBToARGB1555(in, inStride, top, down, width, height);
      // The top bit is unused at 15 bits, whatever the host left in its top byte.
      for (int y = 0; y < height; ++y) {
        uint8_t* o = dst + y * stride;
        for (size_t x = 0; x < w; ++x) o[x * 2 + 1] &= 0x7F;
      }
      ZeroPadding(dst, stride, height, w * 2, static_cast<size_t>(stride));
      return true;
    default:  // 8: full-range grey luma
      libyuv::ARGBToJ400(in, inStride, top, down, width, height);
      ZeroPadding(dst, stride, height, w, static_cast<size_t>(stride));
      return true;
  }
}

}  // namespace quarnsim
