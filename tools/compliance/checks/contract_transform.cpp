// contract_transform.cpp - QuarnDataTransform against hand-built frames: every stored format
// into the bottom-up bitmap with exact expected bytes, row padding and row order, odd widths,
// the wide-row path against the narrow-row path, and bad arguments that must write nothing.
#include <QuarnVidEx.h>
#include <QuarnVideo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr uint8_t kGuard = 0xCD;  // what the destination holds before the call
constexpr size_t kGuardBytes = 16;

struct Bgr {
  uint8_t b, g, r;
  bool operator==(const Bgr&) const = default;
};

// BT.601 studio-range codes of full-intensity colours, as a YUV422 pixel pair shares them.
struct Yuv {
  uint8_t y, u, v;
};
constexpr Yuv kYuvBlack{16, 128, 128};
constexpr Yuv kYuvWhite{235, 128, 128};
constexpr Yuv kYuvRed{81, 90, 240};
constexpr Yuv kYuvGreen{145, 54, 34};
constexpr Yuv kYuvBlue{41, 240, 110};
// Their colours by the BT.601 equations, rounded to the nearest value and clamped to 0..255.
constexpr Bgr kBlack{0, 0, 0};
constexpr Bgr kWhite{255, 255, 255};
constexpr Bgr kRed{0, 0, 254};
constexpr Bgr kGreen{1, 255, 0};
constexpr Bgr kBlue{255, 0, 0};

size_t Stride(int width, int bits) {
  return (static_cast<size_t>(width) * bits + 31) / 32 * 4;
}

// A destination of `bytes` plus guard bytes, all pre-filled, so that both the zero padding and
// any write past the end show.
struct Destination {
  explicit Destination(size_t bytes) : size(bytes), data(bytes + kGuardBytes, kGuard) {}
  uint8_t* get() { return data.data(); }
  bool GuardIntact() const {
    return std::all_of(data.begin() + static_cast<ptrdiff_t>(size), data.end(),
                       [](uint8_t b) { return b == kGuard; });
  }
  bool Untouched() const {
    return std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == kGuard; });
  }
  size_t size;
  std::vector<uint8_t> data;
};

// Pixel (x, y) of a top-row-first picture read from a bottom-up 24-bit bitmap.
Bgr PixelAt(const Destination& dib, int width, int height, int x, int y) {
  const uint8_t* p = dib.data.data() + Stride(width, 24) * static_cast<size_t>(height - 1 - y) +
                     static_cast<size_t>(x) * 3;
  return {p[0], p[1], p[2]};
}

// Padding bytes of every row of a bottom-up bitmap are zero.
bool PaddingZero(const Destination& dib, int width, int height, int bits) {
  const size_t used = static_cast<size_t>(width) * static_cast<size_t>(bits / 8);
  const size_t stride = Stride(width, bits);
  for (int row = 0; row < height; ++row) {
    for (size_t i = used; i < stride; ++i) {
      if (dib.data[static_cast<size_t>(row) * stride + i] != 0) return false;
    }
  }
  return true;
}

int Transform(Destination& dib, const std::vector<uint8_t>& src, int width, int height, int format,
              int bits) {
  return QuarnDataTransform(dib.get(), src.data(), width, height, bits,
                            QUARN_TRANSFORM_FORMAT(format));
}

void Put16(std::vector<uint8_t>& frame, uint16_t word) {
  frame.push_back(static_cast<uint8_t>(word & 0xFF));
  frame.push_back(static_cast<uint8_t>(word >> 8));
}

// One YUV422 pixel pair of colour c: Y0 U Y1 V.
void PutPair(std::vector<uint8_t>& frame, Yuv c) {
  frame.insert(frame.end(), {c.y, c.u, c.y, c.v});
}

// ---- Known pixels, one format at a time ---------------------------------------------------

// Width 5: 15 bytes of B G R per row and one zero padding byte; two rows so that a top-down
// copy (the stored order) instead of the bitmap's bottom-up order shows.
TEST(TransformKnownPixels, Yuv422PrimariesPaddingAndRowOrder) {
  constexpr int kWidth = 5, kHeight = 2;
  std::vector<uint8_t> src;
  PutPair(src, kYuvRed);
  PutPair(src, kYuvWhite);
  src.insert(src.end(), {kYuvBlack.y, kYuvBlack.u});  // lone last pixel: Y U
  PutPair(src, kYuvBlue);
  PutPair(src, kYuvGreen);
  src.insert(src.end(), {kYuvWhite.y, kYuvWhite.u});
  Destination dib(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(dib, src, kWidth, kHeight, QUARN_FORMAT_YUV422, 16), QUARN_OK);

  const Bgr top[kWidth] = {kRed, kRed, kWhite, kWhite, kBlack};
  const Bgr bottom[kWidth] = {kBlue, kBlue, kGreen, kGreen, kWhite};
  for (int x = 0; x < kWidth; ++x) {
    EXPECT_EQ(PixelAt(dib, kWidth, kHeight, x, 0), top[x]) << "top row, x " << x;
  }
  // The lone pixel of the green row borrows the green pair's V (34), so it is not plain white;
  // the other pixels are exact.
  for (int x = 0; x < kWidth - 1; ++x) {
    EXPECT_EQ(PixelAt(dib, kWidth, kHeight, x, 1), bottom[x]) << "bottom row, x " << x;
  }
  EXPECT_TRUE(PaddingZero(dib, kWidth, kHeight, 24));
  EXPECT_TRUE(dib.GuardIntact());
}

TEST(TransformKnownPixels, Yuv422PairKeepsItsTwoLumas) {
  // Catches Y0 and Y1 swapped, or one luma used for both pixels of a pair.
  std::vector<uint8_t> src = {16, 128, 235, 128};
  Destination dib(Stride(2, 24));
  ASSERT_EQ(Transform(dib, src, 2, 1, QUARN_FORMAT_YUV422, 16), QUARN_OK);
  EXPECT_EQ(PixelAt(dib, 2, 1, 0, 0), kBlack);
  EXPECT_EQ(PixelAt(dib, 2, 1, 1, 0), kWhite);
  EXPECT_TRUE(dib.GuardIntact());
}

TEST(TransformKnownPixels, Yuv422LonePixelBorrowsThePrecedingChroma) {
  // An odd width stores its last pixel as Y U only; it takes V from the pair before it, so a
  // red pair followed by a lone red pixel gives three red pixels. One pixel alone is neutral.
  std::vector<uint8_t> src;
  PutPair(src, kYuvRed);
  src.insert(src.end(), {kYuvRed.y, kYuvRed.u});
  Destination dib(Stride(3, 24));
  ASSERT_EQ(Transform(dib, src, 3, 1, QUARN_FORMAT_YUV422, 16), QUARN_OK);
  EXPECT_EQ(PixelAt(dib, 3, 1, 2, 0), kRed);

  std::vector<uint8_t> single = {kYuvWhite.y, kYuvWhite.u};
  Destination one(Stride(1, 24));
  ASSERT_EQ(Transform(one, single, 1, 1, QUARN_FORMAT_YUV422, 16), QUARN_OK);
  EXPECT_EQ(PixelAt(one, 1, 1, 0, 0), kWhite);
  EXPECT_TRUE(PaddingZero(one, 1, 1, 24));
  EXPECT_TRUE(one.GuardIntact());
}

TEST(TransformKnownPixels, Rgb888CopiesBgrBottomUp) {
  constexpr int kWidth = 3, kHeight = 2;  // 9 bytes a row, 3 padding bytes
  std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  Destination dib(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(dib, src, kWidth, kHeight, QUARN_FORMAT_RGB888, 24), QUARN_OK);
  const std::vector<uint8_t> expected = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0,
                                         1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dib.data.begin()));
  EXPECT_TRUE(dib.GuardIntact());
}

TEST(TransformKnownPixels, Rgb565WidensEveryField) {
  constexpr int kWidth = 3, kHeight = 2;
  std::vector<uint8_t> src;
  for (uint16_t w : {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410}) Put16(src, w);
  Destination dib(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(dib, src, kWidth, kHeight, QUARN_FORMAT_RGB565, 16), QUARN_OK);
  // Field values widened by repeating their top bits: 5 bits 16 -> 132, 6 bits 32 -> 130.
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 0, 0), (Bgr{0, 0, 255}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 1, 0), (Bgr{0, 255, 0}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 2, 0), (Bgr{255, 0, 0}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 0, 1), kWhite);
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 1, 1), kBlack);
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 2, 1), (Bgr{132, 130, 132}));
  EXPECT_TRUE(PaddingZero(dib, kWidth, kHeight, 24));
  EXPECT_TRUE(dib.GuardIntact());
}

TEST(TransformKnownPixels, Rgb555WidensFieldsAndIgnoresTheTopBit) {
  constexpr int kWidth = 3, kHeight = 2;
  std::vector<uint8_t> src;
  // 0xFC00: red with the unused top bit set, which must not leak into red or green.
  for (uint16_t w : {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0xFC00, 0x4210}) Put16(src, w);
  Destination dib(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(dib, src, kWidth, kHeight, QUARN_FORMAT_RGB555, 15), QUARN_OK);
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 0, 0), (Bgr{0, 0, 255}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 1, 0), (Bgr{0, 255, 0}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 2, 0), (Bgr{255, 0, 0}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 0, 1), kWhite);
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 1, 1), (Bgr{0, 0, 255}));
  EXPECT_EQ(PixelAt(dib, kWidth, kHeight, 2, 1), (Bgr{132, 132, 132}));
  EXPECT_TRUE(PaddingZero(dib, kWidth, kHeight, 24));
  EXPECT_TRUE(dib.GuardIntact());
}

TEST(TransformKnownPixels, Rgb8888DropsTheFourthByte) {
  constexpr int kWidth = 3, kHeight = 2;
  std::vector<uint8_t> src = {1,  2,  3,  0xAB, 4,  5,  6,  0xFF, 7,  8,  9,  0x00,
                              11, 12, 13, 0x12, 14, 15, 16, 0x34, 17, 18, 19, 0x56};
  Destination dib(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(dib, src, kWidth, kHeight, QUARN_FORMAT_RGB8888, 32), QUARN_OK);
  const std::vector<uint8_t> expected = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0,
                                         1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dib.data.begin()));
  EXPECT_TRUE(dib.GuardIntact());
}

TEST(TransformKnownPixels, EightBitFormatsCopyBytesBottomUp) {
  // Both 8-bit formats stay 8-bit; limited-range values are not stretched.
  for (int format : {QUARN_FORMAT_ALL8, QUARN_FORMAT_LIMITED8}) {
    SCOPED_TRACE(format);
    constexpr int kWidth = 5, kHeight = 2;  // 5 bytes a row, 3 padding bytes
    std::vector<uint8_t> src = {0, 16, 128, 235, 255, 1, 2, 3, 4, 5};
    Destination dib(Stride(kWidth, 8) * kHeight);
    ASSERT_EQ(Transform(dib, src, kWidth, kHeight, format, 8), QUARN_OK);
    const std::vector<uint8_t> expected = {1, 2, 3, 4, 5, 0, 0, 0, 0, 16, 128, 235, 255, 0, 0, 0};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dib.data.begin()));
    EXPECT_TRUE(dib.GuardIntact());
  }
}

// The cards' full widths (PAL 768, NTSC 640 pixels) take their own row copy at 8 bits: every byte
// of every row must land in the mirrored row, and nothing past the bitmap, whatever the height
// (odd heights included). Widths next to them take the general path and are checked alike.
TEST(TransformKnownPixels, EightBitFullWidthRowsLandInTheMirroredRow) {
  struct Case {
    int width, height;
  };
  const Case cases[] = {{768, 576}, {768, 3}, {640, 480}, {640, 1}, {767, 5}, {641, 2}, {896, 4}};
  std::mt19937 random(11);
  for (int format : {QUARN_FORMAT_ALL8, QUARN_FORMAT_LIMITED8}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << "format " << format << ", " << c.width << " x " << c.height);
      std::vector<uint8_t> src(static_cast<size_t>(c.width) * static_cast<size_t>(c.height));
      for (uint8_t& b : src) b = static_cast<uint8_t>(random());
      const size_t stride = Stride(c.width, 8);
      Destination dib(stride * static_cast<size_t>(c.height));
      ASSERT_EQ(Transform(dib, src, c.width, c.height, format, 8), QUARN_OK);
      for (int y = 0; y < c.height; ++y) {
        const auto* in = src.data() + static_cast<size_t>(y) * static_cast<size_t>(c.width);
        const auto* out = dib.data.data() + static_cast<size_t>(c.height - 1 - y) * stride;
        ASSERT_TRUE(std::equal(in, in + c.width, out)) << "row " << y;
      }
      EXPECT_TRUE(PaddingZero(dib, c.width, c.height, 8));
      EXPECT_TRUE(dib.GuardIntact());
    }
  }
}

// ---- Stored mode for a source outside static memory: the format the bit count names -------

TEST(TransformStoredMode, BitCountNamesTheFormat) {
  // 16 bits are YUV422 (not RGB565), 15 bits RGB555.
  std::vector<uint8_t> yuv;
  PutPair(yuv, kYuvRed);
  Destination fromYuv(Stride(2, 24));
  ASSERT_EQ(QuarnDataTransform(fromYuv.get(), yuv.data(), 2, 1, 16, QUARN_TRANSFORM_STORED),
            QUARN_OK);
  EXPECT_EQ(PixelAt(fromYuv, 2, 1, 0, 0), kRed);

  std::vector<uint8_t> rgb15;
  Put16(rgb15, 0x03E0);
  Destination from15(Stride(1, 24));
  ASSERT_EQ(QuarnDataTransform(from15.get(), rgb15.data(), 1, 1, 15, QUARN_TRANSFORM_STORED),
            QUARN_OK);
  EXPECT_EQ(PixelAt(from15, 1, 1, 0, 0), (Bgr{0, 255, 0}));
  EXPECT_TRUE(from15.GuardIntact());
}

// ---- The wide-row path against the narrow-row path ---------------------------------------

// Rows are converted many pixels at a time with a per-pixel path for what is left over; each
// pixel of a wide frame must come out exactly as it does alone in a one-pixel (or one-pair)
// frame, wherever it sits in the row. Width 70: two blocks of 32 and a tail of 6.
TEST(TransformWideRows, SixteenBitFormatsMatchPixelByPixel) {
  constexpr int kWidth = 70, kHeight = 2;
  std::mt19937 random(7);
  for (int format : {QUARN_FORMAT_RGB565, QUARN_FORMAT_RGB555}) {
    SCOPED_TRACE(format);
    const int bits = format == QUARN_FORMAT_RGB565 ? 16 : 15;
    std::vector<uint8_t> src(kWidth * kHeight * 2);
    for (uint8_t& b : src) b = static_cast<uint8_t>(random());
    Destination wide(Stride(kWidth, 24) * kHeight);
    ASSERT_EQ(Transform(wide, src, kWidth, kHeight, format, bits), QUARN_OK);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 2;
        std::vector<uint8_t> one(src.begin() + static_cast<ptrdiff_t>(at),
                                 src.begin() + static_cast<ptrdiff_t>(at) + 2);
        Destination alone(Stride(1, 24));
        ASSERT_EQ(Transform(alone, one, 1, 1, format, bits), QUARN_OK);
        ASSERT_EQ(PixelAt(wide, kWidth, kHeight, x, y), PixelAt(alone, 1, 1, 0, 0))
            << "x " << x << " y " << y;
      }
    }
    EXPECT_TRUE(wide.GuardIntact());
  }
}

TEST(TransformWideRows, Yuv422MatchesPairByPair) {
  constexpr int kWidth = 70, kHeight = 2;
  std::mt19937 random(11);
  std::vector<uint8_t> src(kWidth * kHeight * 2);
  for (uint8_t& b : src) b = static_cast<uint8_t>(random());
  Destination wide(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(wide, src, kWidth, kHeight, QUARN_FORMAT_YUV422, 16), QUARN_OK);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; x += 2) {
      const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 2;
      std::vector<uint8_t> pair(src.begin() + static_cast<ptrdiff_t>(at),
                                src.begin() + static_cast<ptrdiff_t>(at) + 4);
      Destination alone(Stride(2, 24));
      ASSERT_EQ(Transform(alone, pair, 2, 1, QUARN_FORMAT_YUV422, 16), QUARN_OK);
      ASSERT_EQ(PixelAt(wide, kWidth, kHeight, x, y), PixelAt(alone, 2, 1, 0, 0)) << x;
      ASSERT_EQ(PixelAt(wide, kWidth, kHeight, x + 1, y), PixelAt(alone, 2, 1, 1, 0)) << x;
    }
  }
}

TEST(TransformWideRows, Yuv422FollowsTheBt601EquationsWithinOne) {
  // Catches a wrong or swapped coefficient anywhere in the row, which the primaries alone might
  // miss: every pixel of a random frame within one step of the equations.
  constexpr int kWidth = 96, kHeight = 4;
  std::mt19937 random(3);
  std::vector<uint8_t> src(kWidth * kHeight * 2);
  for (uint8_t& b : src) b = static_cast<uint8_t>(random());
  Destination dib(Stride(kWidth, 24) * kHeight);
  ASSERT_EQ(Transform(dib, src, kWidth, kHeight, QUARN_FORMAT_YUV422, 16), QUARN_OK);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* pair =
          &src[(static_cast<size_t>(y) * kWidth + static_cast<size_t>(x & ~1)) * 2];
      const double luma = 1.164384 * (pair[(x & 1) * 2] - 16);
      const double u = pair[1] - 128.0, v = pair[3] - 128.0;
      const double expected[3] = {luma + 2.017232 * u, luma - 0.391762 * u - 0.812968 * v,
                                  luma + 1.596027 * v};
      const Bgr got = PixelAt(dib, kWidth, kHeight, x, y);
      const uint8_t channels[3] = {got.b, got.g, got.r};
      for (int c = 0; c < 3; ++c) {
        ASSERT_LE(std::fabs(std::clamp(expected[c], 0.0, 255.0) - channels[c]), 1.0)
            << "x " << x << " y " << y << " channel " << c;
      }
    }
  }
}

// ---- Bad arguments: a status, and not one byte written -----------------------------------

TEST(TransformBadArguments, RejectedWithoutWriting) {
  std::vector<uint8_t> src(64 * 2, 0x80);
  Destination dib(Stride(8, 24) * 8);
  const int format16 = QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_YUV422);
  EXPECT_EQ(QuarnDataTransform(nullptr, src.data(), 8, 8, 16, format16), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), nullptr, 8, 8, 16, format16), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 0, 8, 16, format16), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), -3, 8, 16, format16),
            QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, 0, 16, format16), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, -1, 16, format16),
            QUARN_ERR_BAD_PARAMETER);
  // Unknown format, a bit count that does not fit the named format, unknown modes.
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, 8, 16, QUARN_TRANSFORM_FORMAT(7)),
            QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, 8, 24, format16), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, 8, 12, QUARN_TRANSFORM_STORED),
            QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, 8, 16, 0), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.get(), src.data(), 8, 8, 16, 2), QUARN_ERR_BAD_PARAMETER);
  EXPECT_TRUE(dib.Untouched());
}

}  // namespace
