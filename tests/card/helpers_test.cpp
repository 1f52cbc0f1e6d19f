// helpers_test.cpp - the card layer's pure helpers and display pieces: format and depth tables,
// the flat source index, image sizes, the grey palette, the display header and display buffer,
// and the parameter set's initial values.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "card_helpers.h"
#include "display.h"
#include "video_parameter_set.h"

namespace {

TEST(CardHelpers, BitsForFormatTable) {
  const std::vector<std::pair<int, int>> table = {{0, 16}, {1, 24}, {2, 16}, {3, 15}, {4, 32},
                                                  {5, 8},  {6, 8},  {7, 0},  {-1, 0}, {100, 0}};
  for (const auto& [format, bits] : table) EXPECT_EQ(BitsForFormat(format), bits) << format;
}

TEST(CardHelpers, FormatForDepthTable) {
  const std::vector<std::pair<int, int>> table = {{8, 6},  {15, 3}, {16, 2}, {24, 1},
                                                  {32, 4}, {0, -1}, {4, -1}, {30, -1}};
  for (const auto& [depth, format] : table) EXPECT_EQ(FormatForDepth(depth), format) << depth;
}

TEST(CardHelpers, IndexToSourceTable) {
  const std::vector<std::tuple<int, int, int>> table = {{0, 0, 0}, {5, 0, 5}, {6, 1, 0},
                                                        {8, 1, 2}, {9, 2, 0}, {10, 2, 1}};
  for (const auto& [index, type, number] : table) {
    int32_t gotType = -9;
    int32_t gotNumber = -9;
    EXPECT_TRUE(IndexToSource(index, gotType, gotNumber)) << index;
    EXPECT_EQ(gotType, type) << index;
    EXPECT_EQ(gotNumber, number) << index;
  }
}

// An ini value above 10 must not reset the pair to some default: the caller keeps its source.
TEST(CardHelpers, IndexToSourceOutsideRangeChangesNothing) {
  for (int index : {11, 12, 1000, -1}) {
    int32_t type = 1;
    int32_t number = 2;
    EXPECT_FALSE(IndexToSource(index, type, number)) << index;
    EXPECT_EQ(type, 1);
    EXPECT_EQ(number, 2);
  }
}

TEST(CardHelpers, SourceToIndexInvertsIndexToSource) {
  for (int index = 0; index <= kMaxSourceIndex; ++index) {
    int32_t type = 0;
    int32_t number = 0;
    ASSERT_TRUE(IndexToSource(index, type, number));
    EXPECT_EQ(SourceToIndex(type, number), index);
  }
  EXPECT_EQ(SourceToIndex(3, 0), -1);
  EXPECT_EQ(SourceToIndex(-1, 0), -1);
}

TEST(CardHelpers, ImageSizeOfStandard) {
  EXPECT_EQ(ImageSizeOf(kStandardPal), (ImageSize{768, 576}));
  EXPECT_EQ(ImageSizeOf(kStandardNtsc), (ImageSize{640, 480}));
  // Any non-zero standard (an ini value of 2, say) gives the NTSC size, not PAL.
  EXPECT_EQ(ImageSizeOf(2), (ImageSize{640, 480}));
  EXPECT_EQ(ImageSizeOf(-1), (ImageSize{640, 480}));
}

TEST(ParameterSet, InitialValuesAreTheCardObjectsOnes) {
  const VideoParameterSet p;
  EXPECT_EQ(p.scanMode, 0);
  EXPECT_EQ(p.format, 1);
  EXPECT_EQ(p.standard, 0);
  EXPECT_EQ(p.sourceType, 0);
  EXPECT_EQ(p.sourceNumber, 0);
  EXPECT_EQ(p.crystal, 0);
  EXPECT_EQ(p.hue, 128);
  EXPECT_EQ(p.brightness, 128);
  EXPECT_EQ(p.contrast, 128);
  EXPECT_EQ(p.saturation, 128);
  EXPECT_EQ(p.pll, 245);
  EXPECT_EQ(p.inputWindow, (VideoWindow{0, 0, 768, 576}));
  EXPECT_EQ(p.outputWindow, (VideoWindow{0, 0, 768, 576}));
  EXPECT_EQ(p.xDelay, 0);
  EXPECT_EQ(p.yDelay, 0);
  EXPECT_EQ(p.mirrorHorizontal, 0);
  EXPECT_EQ(p.mirrorVertical, 0);
  EXPECT_EQ(p.chromaTrap, 1);
  EXPECT_EQ(p.maskEnabled, 0);
}

TEST(ParameterSet, LabelsFollowTheCodes) {
  EXPECT_EQ(kFormatLabels[kFormatLimited8], "Limmited 8 bit");
  EXPECT_EQ(kFormatLabels[kFormatRgb565], "RGB565");
  EXPECT_EQ(kSourceLabels[6], "S-Video 1");
  EXPECT_EQ(kSourceLabels[10], "YCbCr2");
  EXPECT_EQ(kScanModeLabels[kScanField1], "Field1");
  EXPECT_EQ(kCrystalLabels[kCrystal28M], "28M");
}

// ---- Display pieces ----

TEST(DisplayPieces, GreyPaletteIsShiftedByTen) {
  const auto palette = CreateGreyPalette();
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(palette->version(), 0x300);
  ASSERT_EQ(palette->entries().size(), 256u);
  for (int i = 0; i < 256; ++i) {
    const PALETTEENTRY& e = palette->entries()[static_cast<size_t>(i)];
    const int grey = (i + 10) % 256;  // entry 246 wraps to 0, entry 0 is 10
    EXPECT_EQ(e.peRed, grey) << i;
    EXPECT_EQ(e.peGreen, grey) << i;
    EXPECT_EQ(e.peBlue, grey) << i;
    EXPECT_EQ(e.peFlags, 0) << i;
  }
}

// Refilling must clear what stored frames left in the header (bit count, width, height).
TEST(DisplayPieces, HeaderIsFreshWithGreyTable) {
  DisplayHeaderStorage storage;
  storage.info.bmiHeader.biBitCount = 24;
  storage.info.bmiHeader.biWidth = 384;
  storage.info.bmiHeader.biHeight = 288;
  storage.info.bmiHeader.biSizeImage = 77;
  BITMAPINFO* info = FillDisplayHeader(storage);
  ASSERT_EQ(info, &storage.info);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biWidth, 0);
  EXPECT_EQ(h.biHeight, 0);
  EXPECT_EQ(h.biBitCount, 0);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 0u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
  for (int j = 0; j < 256; ++j) {
    const RGBQUAD& c = info->bmiColors[j];
    EXPECT_EQ(c.rgbBlue, j);
    EXPECT_EQ(c.rgbGreen, j);
    EXPECT_EQ(c.rgbRed, j);
    EXPECT_EQ(c.rgbReserved, 0);
  }
}

TEST(DisplayPieces, BufferAllocatesFilledAndFrees) {
  DisplayBuffer buffer;
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.size(), 0u);
  ASSERT_TRUE(buffer.Allocate(0xFF));
  ASSERT_EQ(buffer.size(), 1769472u);
  EXPECT_TRUE(std::all_of(buffer.data(), buffer.data() + buffer.size(),
                          [](uint8_t b) { return b == 0xFF; }));
  buffer.Fill(0x12);
  EXPECT_EQ(buffer.data()[buffer.size() - 1], 0x12);

  // A move hands the block over and leaves the source truly empty (size too).
  DisplayBuffer other = std::move(buffer);
  EXPECT_EQ(other.size(), 1769472u);
  EXPECT_TRUE(buffer.empty());  // NOLINT(bugprone-use-after-move): checked on purpose
  EXPECT_EQ(buffer.size(), 0u);
  other.Free();
  EXPECT_TRUE(other.empty());
  EXPECT_EQ(other.size(), 0u);
  other.Fill(0);  // nothing to fill: must not touch memory
}

std::unique_ptr<uint8_t[]> NoMemory(size_t) {
  return nullptr;
}

TEST(DisplayPieces, FailedAllocationLeavesBufferEmpty) {
  DisplayBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(0));
  const DisplayBufferAllocator previous = SetDisplayBufferAllocator(&NoMemory);
  // The old block goes; no half-state with a stale size survives the failure.
  EXPECT_FALSE(buffer.Allocate(0xFF));
  SetDisplayBufferAllocator(previous);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_TRUE(buffer.Allocate(0));
}

}  // namespace
