// stretch_dibits_test.cpp - StretchDIBits on a view's backing store: the bitmap layouts the
// programs draw (8-bit with a colour table, 24 and 32 bits, bottom-up, padded rows), 1:1 and
// stretched copies, and clipping at the client area's edges.
#include <gtest/gtest.h>

#include <array>

#include "gdi_test_util.h"

namespace {

constexpr uint32_t kGrey = 0x808080;

// --- Layouts --------------------------------------------------------------------------------

// A 3 x 2 picture at 24 bits: rows of 9 bytes padded to 12. Catches a top-down reading of a
// bottom-up bitmap and a row stride that ignores the padding (the second row would shift).
TEST(StretchDIBitsLayout, TwentyFourBitBottomUpWithPaddedRows) {
  // clang-format off
  const std::array<uint8_t, 24> bits = {
      // stored first: the BOTTOM row of the picture: blue, green, red (B G R each)
      0xFF, 0x00, 0x00,  0x00, 0xFF, 0x00,  0x00, 0x00, 0xFF,  0xEE, 0xEE, 0xEE,
      // then the top row: white, black, (R 0x12 G 0x34 B 0x56)
      0xFF, 0xFF, 0xFF,  0x00, 0x00, 0x00,  0x56, 0x34, 0x12,  0xEE, 0xEE, 0xEE};
  // clang-format on
  const BITMAPINFO info = MakeInfo(3, 2, 24);
  TestSurface s(4, 3);
  s.Fill(kGrey);
  CClientDC dc(s.host);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 3, 2, 0, 0, 3, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
            2);
  EXPECT_EQ(s.At(0, 0), 0xFFFFFFu);
  EXPECT_EQ(s.At(1, 0), 0x000000u);
  EXPECT_EQ(s.At(2, 0), 0x123456u);
  EXPECT_EQ(s.At(0, 1), 0x0000FFu);
  EXPECT_EQ(s.At(1, 1), 0x00FF00u);
  EXPECT_EQ(s.At(2, 1), 0xFF0000u);
  EXPECT_EQ(s.At(3, 0), kGrey) << "drawn past the destination";
  EXPECT_EQ(s.At(0, 2), kGrey) << "drawn past the destination";
}

// 8 bits: indices through the colour table, 5 pixels wide (rows padded from 5 to 8 bytes).
TEST(StretchDIBitsLayout, EightBitThroughColourTable) {
  BITMAPINFO info = MakeInfo(5, 2, 8);
  info.bmiColors[0] = RGBQUAD{0x00, 0x00, 0x00, 0};  // B G R
  info.bmiColors[1] = RGBQUAD{0x10, 0x20, 0x30, 0};
  info.bmiColors[2] = RGBQUAD{0xFF, 0x00, 0x00, 0};
  info.bmiColors[255] = RGBQUAD{0x01, 0x02, 0x03, 0};
  // clang-format off
  const std::array<uint8_t, 16> bits = {
      2, 2, 2, 2, 255,  0xEE, 0xEE, 0xEE,  // bottom row
      1, 0, 2, 255, 1,  0xEE, 0xEE, 0xEE}; // top row
  // clang-format on
  TestSurface s(5, 2);
  CClientDC dc(s.host);
  ASSERT_EQ(dc.StretchDIBits(0, 0, 5, 2, 0, 0, 5, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
            2);
  EXPECT_EQ(s.At(0, 0), 0x302010u);
  EXPECT_EQ(s.At(1, 0), 0x000000u);
  EXPECT_EQ(s.At(2, 0), 0x0000FFu);
  EXPECT_EQ(s.At(3, 0), 0x030201u);
  EXPECT_EQ(s.At(4, 0), 0x302010u);
  EXPECT_EQ(s.At(0, 1), 0x0000FFu);
  EXPECT_EQ(s.At(4, 1), 0x030201u);
}

// A colour table shorter than 256 entries (biClrUsed): an index past it must not read beyond
// the table (a bitmap loaded from a file carries only its own entries).
TEST(StretchDIBitsLayout, EightBitIndexPastShortTableIsBlack) {
  BITMAPINFO info = MakeInfo(2, 1, 8);
  info.bmiHeader.biClrUsed = 2;
  info.bmiColors[1] = RGBQUAD{0x33, 0x22, 0x11, 0};
  info.bmiColors[7] = RGBQUAD{0xFF, 0xFF, 0xFF, 0};  // beyond the table: never used
  const std::array<uint8_t, 4> bits = {1, 7, 0, 0};
  TestSurface s(2, 1);
  s.Fill(kGrey);
  CClientDC dc(s.host);
  dc.StretchDIBits(0, 0, 2, 1, 0, 0, 2, 1, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(s.At(0, 0), 0x112233u);
  EXPECT_EQ(s.At(1, 0), 0x000000u);
}

// 32 bits B G R x: the fourth byte is not colour, and what is shown has its top byte clear.
TEST(StretchDIBitsLayout, ThirtyTwoBitIgnoresFourthByte) {
  // clang-format off
  const std::array<uint8_t, 16> bits = {
      0x01, 0x02, 0x03, 0x00,  0x04, 0x05, 0x06, 0x7F,   // bottom row
      0x07, 0x08, 0x09, 0xFF,  0x0A, 0x0B, 0x0C, 0x00};  // top row
  // clang-format on
  const BITMAPINFO info = MakeInfo(2, 2, 32);
  TestSurface s(2, 2);
  CClientDC dc(s.host);
  dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(s.At(0, 0), 0x090807u);
  EXPECT_EQ(s.At(1, 0), 0x0C0B0Au);
  EXPECT_EQ(s.At(0, 1), 0x030201u);
  EXPECT_EQ(s.At(1, 1), 0x060504u);
}

// The display depths the library's read-back can produce: 16 bits is 5-6-5, 15 bits 5-5-5.
TEST(StretchDIBitsLayout, SixteenAndFifteenBitComponents) {
  // One row of 3 pixels (6 bytes, padded to 8): red, green, white at full intensity.
  const std::array<uint8_t, 8> rgb565 = {0x00, 0xF8, 0xE0, 0x07, 0xFF, 0xFF, 0, 0};
  const std::array<uint8_t, 8> rgb555 = {0x00, 0x7C, 0xE0, 0x03, 0xFF, 0x7F, 0, 0};
  for (const auto& [bitCount, bits] : {std::pair{16, rgb565}, std::pair{15, rgb555}}) {
    SCOPED_TRACE(bitCount);
    const BITMAPINFO info = MakeInfo(3, 1, bitCount);
    TestSurface s(3, 1);
    CClientDC dc(s.host);
    ASSERT_EQ(dc.StretchDIBits(0, 0, 3, 1, 0, 0, 3, 1, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
              1);
    EXPECT_EQ(s.At(0, 0), 0xFF0000u);
    EXPECT_EQ(s.At(1, 0), 0x00FF00u);
    EXPECT_EQ(s.At(2, 0), 0xFFFFFFu);
  }
}

// A negative height is a top-down bitmap: stored rows in the order shown.
TEST(StretchDIBitsLayout, NegativeHeightIsTopDown) {
  const std::array<uint32_t, 2> bits = {0x111111, 0x222222};  // top row first
  const BITMAPINFO info = MakeInfo(1, -2, 32);
  TestSurface s(1, 2);
  CClientDC dc(s.host);
  EXPECT_EQ(dc.StretchDIBits(0, 0, 1, 2, 0, 0, 1, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
            2);
  EXPECT_EQ(s.At(0, 0), 0x111111u);
  EXPECT_EQ(s.At(0, 1), 0x222222u);
}

// 24-bit rows 1:1 of every length the row converter splits differently (blocks of 32 and of 8
// pixels, single pixels before the image's aligned part and after the last block), drawn at
// several destination columns and from several source columns, bottom-up and top-down: every
// pixel lands where it belongs with its own colour, and nothing beside the destination changes.
TEST(StretchDIBitsLayout, TwentyFourBitRowsOfEveryLengthAndPlace) {
  struct Case {
    int width;  // pixels drawn
    int x;      // destination column
    int sx;     // source column
  };
  const Case cases[] = {{1, 0, 0},   {7, 3, 0},   {8, 0, 0},   {9, 1, 2},  {31, 2, 0},
                        {32, 0, 0},  {33, 5, 1},  {40, 7, 3},  {71, 1, 0}, {100, 4, 13},
                        {768, 0, 0}, {768, 3, 0}, {767, 1, 1}, {65, 6, 31}};
  constexpr int kHeight = 3;
  for (const bool bottomUp : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "width " << c.width << " at " << c.x << " from " << c.sx
                                      << (bottomUp ? ", bottom-up" : ", top-down"));
      const int pictureWidth = c.sx + c.width;
      const size_t stride = (static_cast<size_t>(pictureWidth) * 3 + 3) / 4 * 4;
      std::vector<uint8_t> bits(stride * kHeight, 0xEE);
      const auto colour = [](int x, int y) {
        return (static_cast<uint32_t>((x * 7 + y * 101) & 0xFF) << 16) |
               (static_cast<uint32_t>((x * 13 + y * 3 + 1) & 0xFF) << 8) |
               static_cast<uint32_t>((255 - x + y * 57) & 0xFF);
      };
      for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = bits.data() + stride * static_cast<size_t>(bottomUp ? kHeight - 1 - y : y);
        for (int x = 0; x < pictureWidth; ++x) {
          const uint32_t rgb = colour(x, y);
          row[3 * x] = static_cast<uint8_t>(rgb);
          row[3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
          row[3 * x + 2] = static_cast<uint8_t>(rgb >> 16);
        }
      }
      const BITMAPINFO info = MakeInfo(pictureWidth, bottomUp ? kHeight : -kHeight, 24);
      const int surfaceWidth = c.x + c.width + 2;
      TestSurface s(surfaceWidth, kHeight + 2);
      s.Fill(kGrey);
      CClientDC dc(s.host);
      ASSERT_EQ(dc.StretchDIBits(c.x, 1, c.width, kHeight, c.sx, 0, c.width, kHeight, bits.data(),
                                 &info, DIB_RGB_COLORS, SRCCOPY),
                kHeight);
      std::vector<uint32_t> shown(static_cast<size_t>(surfaceWidth * (kHeight + 2)));
      ASSERT_EQ(s.host.ReadPixels(0, 0, surfaceWidth, kHeight + 2, shown.data(),
                                  static_cast<size_t>(surfaceWidth) * 4),
                0);
      int wrong = 0;
      for (int y = 0; y < kHeight + 2; ++y) {
        for (int x = 0; x < surfaceWidth; ++x) {
          const bool inside = x >= c.x && x < c.x + c.width && y >= 1 && y <= kHeight;
          const uint32_t expected = inside ? colour(c.sx + x - c.x, y - 1) : kGrey;
          const uint32_t got = shown[static_cast<size_t>(y * surfaceWidth + x)];
          if (got != expected && ++wrong <= 5) {
            ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got << " instead of "
                          << expected;
          }
        }
      }
      EXPECT_EQ(wrong, 0);
    }
  }
}

// --- Rectangles -----------------------------------------------------------------------------

// The source origin is the top-left of the picture as shown, not the first stored row.
TEST(StretchDIBitsRects, SourceOriginIsTopLeftOfPicture) {
  const CoordinateDib dib(4, 3);
  TestSurface s(6, 6);
  s.Fill(kGrey);
  CClientDC dc(s.host);
  EXPECT_EQ(
      dc.StretchDIBits(2, 3, 2, 1, 1, 0, 2, 1, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY),
      1);
  EXPECT_EQ(s.At(2, 3), CoordinateDib::Expected(1, 0));
  EXPECT_EQ(s.At(3, 3), CoordinateDib::Expected(2, 0));
  EXPECT_EQ(s.At(1, 3), kGrey);
  EXPECT_EQ(s.At(2, 2), kGrey);
  EXPECT_EQ(s.At(2, 4), kGrey);
}

// COLORONCOLOR halving deletes every other row and column: each shown pixel is a source pixel
// (never a blend), and a picture stays upright.
TEST(StretchDIBitsRects, ColorOnColorShrinkDropsRowsAndColumns) {
  const CoordinateDib dib(8, 6);
  TestSurface s(4, 3);
  CClientDC dc(s.host);
  dc.SetStretchBltMode(COLORONCOLOR);
  EXPECT_EQ(
      dc.StretchDIBits(0, 0, 4, 3, 0, 0, 8, 6, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY),
      6);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(x, y), CoordinateDib::Expected(2 * x, 2 * y));
  }
}

// Printing enlarges: each source pixel covers a block of the destination.
TEST(StretchDIBitsRects, EnlargeRepeatsPixels) {
  const CoordinateDib dib(2, 2);
  TestSurface s(6, 4);
  CClientDC dc(s.host);
  dc.StretchDIBits(0, 0, 6, 4, 0, 0, 2, 2, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(s.At(x, y), CoordinateDib::Expected(x / 3, y / 2));
  }
}

// A picture hanging over the client area's top-left and bottom-right edges: the visible part
// lands in place and nothing is written outside the image (AddressSanitizer watches).
TEST(StretchDIBitsRects, ClipsAtEveryEdge) {
  const CoordinateDib dib(4, 4);
  TestSurface s(5, 5);
  s.Fill(kGrey);
  CClientDC dc(s.host);
  EXPECT_EQ(dc.StretchDIBits(-2, -1, 4, 4, 0, 0, 4, 4, dib.bits.data(), &dib.info, DIB_RGB_COLORS,
                             SRCCOPY),
            4);
  EXPECT_EQ(s.At(0, 0), CoordinateDib::Expected(2, 1));
  EXPECT_EQ(s.At(1, 2), CoordinateDib::Expected(3, 3));
  EXPECT_EQ(s.At(2, 0), kGrey);
  EXPECT_EQ(s.At(0, 3), kGrey);

  dc.StretchDIBits(3, 3, 4, 4, 0, 0, 4, 4, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(s.At(3, 3), CoordinateDib::Expected(0, 0));
  EXPECT_EQ(s.At(4, 4), CoordinateDib::Expected(1, 1));

  // Stretched and clipped: the mapping still starts at the unclipped destination origin.
  s.Fill(kGrey);
  dc.StretchDIBits(-2, 0, 8, 2, 0, 0, 4, 1, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(s.At(0, 0), CoordinateDib::Expected(1, 0));
  EXPECT_EQ(s.At(2, 1), CoordinateDib::Expected(2, 0));
  // Entirely outside: nothing drawn, and still the source lines reported.
  s.Fill(kGrey);
  EXPECT_EQ(dc.StretchDIBits(50, 50, 4, 4, 0, 0, 4, 4, dib.bits.data(), &dib.info, DIB_RGB_COLORS,
                             SRCCOPY),
            4);
  EXPECT_EQ(s.At(4, 4), kGrey);
}

// A source rectangle reaching past the picture draws only the picture's part.
TEST(StretchDIBitsRects, SourcePastPictureDrawsOnlyPicture) {
  const CoordinateDib dib(2, 2);
  TestSurface s(4, 4);
  s.Fill(kGrey);
  CClientDC dc(s.host);
  EXPECT_EQ(
      dc.StretchDIBits(0, 0, 4, 4, 0, 0, 4, 4, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY),
      2);
  EXPECT_EQ(s.At(1, 1), CoordinateDib::Expected(1, 1));
  EXPECT_EQ(s.At(2, 1), kGrey);
  EXPECT_EQ(s.At(1, 2), kGrey);
}

// The view learns which part changed, so the repaint covers exactly the drawn area.
TEST(StretchDIBitsRects, ReportsClippedDestinationAsChanged) {
  const CoordinateDib dib(4, 4);
  TestSurface s(10, 10);
  std::vector<QRect> changed;
  s.store.SetChangedHandler([&](const QRect& r) { changed.push_back(r); });
  CClientDC dc(s.host);
  dc.StretchDIBits(7, -2, 4, 4, 0, 0, 4, 4, dib.bits.data(), &dib.info, DIB_RGB_COLORS, SRCCOPY);
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], QRect(7, 0, 3, 2));
}

// --- Refusals -------------------------------------------------------------------------------

// Each bad call returns 0 and leaves the picture alone.
TEST(StretchDIBitsErrors, BadArgumentsDrawNothing) {
  const CoordinateDib dib(2, 2);
  TestSurface s(2, 2);
  s.Fill(kGrey);
  CClientDC dc(s.host);
  const auto draw = [&](const void* bits, const BITMAPINFO* info, int dw = 2, int sw = 2,
                        UINT usage = DIB_RGB_COLORS, DWORD rop = SRCCOPY) {
    return dc.StretchDIBits(0, 0, dw, 2, 0, 0, sw, 2, bits, info, usage, rop);
  };
  EXPECT_EQ(draw(nullptr, &dib.info), 0);
  EXPECT_EQ(draw(dib.bits.data(), nullptr), 0);
  EXPECT_EQ(draw(dib.bits.data(), &dib.info, 0), 0);
  EXPECT_EQ(draw(dib.bits.data(), &dib.info, 2, 0), 0);
  EXPECT_EQ(draw(dib.bits.data(), &dib.info, 2, 2, DIB_PAL_COLORS), 0);
  EXPECT_EQ(draw(dib.bits.data(), &dib.info, 2, 2, DIB_RGB_COLORS, 0x00EE0086), 0);
  for (const auto& mutate : std::initializer_list<void (*)(BITMAPINFO&)>{
           [](BITMAPINFO& i) { i.bmiHeader.biBitCount = 4; },
           [](BITMAPINFO& i) { i.bmiHeader.biSize = 0; },
           [](BITMAPINFO& i) { i.bmiHeader.biCompression = 3; },
           [](BITMAPINFO& i) { i.bmiHeader.biWidth = 0; },
           [](BITMAPINFO& i) { i.bmiHeader.biHeight = 0; },
           // An 8-bit colour table behind a longer header would lie beyond BITMAPINFO.
           [](BITMAPINFO& i) {
             i.bmiHeader.biBitCount = 8;
             i.bmiHeader.biSize = 1100;
           }}) {
    BITMAPINFO info = dib.info;
    mutate(info);
    EXPECT_EQ(draw(dib.bits.data(), &info), 0);
  }
  EXPECT_EQ(s.At(0, 0), kGrey);
  EXPECT_EQ(s.At(1, 1), kGrey);
}

}  // namespace
