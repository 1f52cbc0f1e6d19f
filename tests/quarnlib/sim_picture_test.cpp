// sim_picture_test.cpp - the simulated card's picture generator: each acquisition parameter
// changes the delivered picture the way a card would (checked on pixels, never against a stored
// copy of a picture), the picture names its card and input at its top-left corner, frames fit
// their buffers in every format, and the pixel mask.
#include <QuarnVideo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <string_view>
#include <vector>

#include "font.h"
#include "picture.h"
#include "pixels.h"

namespace {

using quarnsim::Lines;
using quarnsim::PictureGenerator;
using quarnsim::PictureParams;
using quarnsim::PixelMask;

constexpr int kW = QUARN_PAL_WIDTH;
constexpr int kH = QUARN_PAL_HEIGHT;
// A row of the PAL (and NTSC) picture that certainly holds the colour bars and nothing else
// (below the card's name at the top-left corner, above the moving box), the first row the moving
// box can reach, and the width of each of the eight bars.
constexpr int kBarRow = 50;
constexpr int kBoxTop = kH * 15 / 100;
constexpr int kBarWidth = kW / 8;
// The bars band ends a little above the middle of the picture.
constexpr int kBarsEnd = kH / 2;

struct Bgr {
  int b = 0, g = 0, r = 0;
  bool operator==(const Bgr&) const = default;
  int Luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

// A delivered frame in 24-bit B G R, top row first.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> bytes;
  Bgr At(int x, int y) const {
    const uint8_t* p = &bytes[(static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 3];
    return {p[0], p[1], p[2]};
  }
  bool RowAll(int y, Bgr c) const {
    for (int x = 0; x < width; ++x) {
      if (!(At(x, y) == c)) return false;
    }
    return true;
  }
  double MeanLuma() const {
    double sum = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) sum += At(x, y).Luma();
    }
    return sum / (static_cast<double>(width) * height);
  }
  bool operator==(const Image&) const = default;
};

int Rows(const PictureParams& p, Lines lines) {
  return lines == Lines::kAll ? p.outputHeight : p.outputHeight / 2;
}

// Renders in the format of `p` and returns the raw stored bytes.
std::vector<uint8_t> RenderRaw(const PictureParams& p, uint32_t frame = 0,
                               Lines lines = Lines::kAll, const PixelMask* mask = nullptr) {
  PictureGenerator generator;
  generator.Configure(p);
  std::vector<uint8_t> out(quarnsim::PackedFrameBytes(p.format, p.outputWidth, Rows(p, lines)));
  EXPECT_EQ(generator.Render(frame, lines, mask, out.data()), out.size());
  return out;
}

// Renders as RGB888, the format whose bytes are the colours themselves.
Image Render(PictureParams p, uint32_t frame = 0, Lines lines = Lines::kAll,
             const PixelMask* mask = nullptr) {
  p.format = QUARN_FORMAT_RGB888;
  return {p.outputWidth, Rows(p, lines), RenderRaw(p, frame, lines, mask)};
}

// Columns where row y changes colour.
std::vector<int> Edges(const Image& image, int y) {
  std::vector<int> edges;
  for (int x = 1; x < image.width; ++x) {
    if (!(image.At(x, y) == image.At(x - 1, y))) edges.push_back(x);
  }
  return edges;
}

PictureParams Ntsc() {
  PictureParams p;
  p.standard = QUARN_STANDARD_NTSC;
  p.crystal = QUARN_CRYSTAL_28M;
  p.inputWidth = p.outputWidth = QUARN_NTSC_WIDTH;
  p.inputHeight = p.outputHeight = QUARN_NTSC_HEIGHT;
  return p;
}

constexpr Bgr kBlank{0, 0, 0};

// ---- Pixel mask ---------------------------------------------------------------------------

TEST(PixelMaskTest, SetGetAndRowFlags) {
  PixelMask mask;
  EXPECT_FALSE(mask.Get(5, 7));
  EXPECT_FALSE(mask.RowHasMasked(7));
  EXPECT_TRUE(mask.Set(5, 7, true));
  EXPECT_TRUE(mask.Get(5, 7));
  EXPECT_FALSE(mask.Get(6, 7));
  EXPECT_TRUE(mask.RowHasMasked(7));
  EXPECT_FALSE(mask.RowHasMasked(6));
  EXPECT_EQ(mask.RowBits(7)[0], uint64_t{1} << 5);
  EXPECT_TRUE(mask.Set(767, 575, true));
  EXPECT_EQ(mask.RowBits(575)[PixelMask::kWordsPerRow - 1], uint64_t{1} << 63);
}

TEST(PixelMaskTest, MaskingTwiceThenClearingOnceLeavesTheRowClear) {
  // Catches a per-row count that counts calls instead of masked pixels: the renderer would
  // then keep visiting a row with nothing masked, or skip one that has masked pixels.
  PixelMask mask;
  mask.Set(10, 3, true);
  mask.Set(10, 3, true);
  mask.Set(10, 3, false);
  EXPECT_FALSE(mask.RowHasMasked(3));
  mask.Set(11, 3, false);
  EXPECT_FALSE(mask.RowHasMasked(3));
  mask.Set(12, 3, true);
  EXPECT_TRUE(mask.RowHasMasked(3));
}

TEST(PixelMaskTest, OutsideTheMaskIsRefusedAndChangesNothing) {
  PixelMask mask;
  EXPECT_FALSE(mask.Set(-1, 0, true));
  EXPECT_FALSE(mask.Set(768, 0, true));
  EXPECT_FALSE(mask.Set(0, -1, true));
  EXPECT_FALSE(mask.Set(0, 576, true));
  EXPECT_FALSE(mask.Get(768, 0));
  EXPECT_FALSE(mask.RowHasMasked(576));
  for (int y = 0; y < quarnsim::kMaxHeight; ++y) ASSERT_FALSE(mask.RowHasMasked(y));
}

// ---- Formats and buffer sizes ---------------------------------------------------------------

TEST(FrameFormats, SizesOfEveryFormat) {
  const std::map<int, std::pair<int, int>> expected = {
      {QUARN_FORMAT_YUV422, {2, 16}},  {QUARN_FORMAT_RGB888, {3, 24}},
      {QUARN_FORMAT_RGB565, {2, 16}},  {QUARN_FORMAT_RGB555, {2, 15}},
      {QUARN_FORMAT_RGB8888, {4, 32}}, {QUARN_FORMAT_ALL8, {1, 8}},
      {QUARN_FORMAT_LIMITED8, {1, 8}}};
  for (const auto& [format, sizes] : expected) {
    EXPECT_EQ(quarnsim::BytesPerPixel(format), sizes.first) << format;
    EXPECT_EQ(quarnsim::BitsPerPixel(format), sizes.second) << format;
    EXPECT_EQ(quarnsim::PackedFrameBytes(format, 5, 3), static_cast<size_t>(15 * sizes.first));
  }
  EXPECT_EQ(quarnsim::BytesPerPixel(7), 0);
  EXPECT_EQ(quarnsim::BitsPerPixel(-1), 0);
  EXPECT_EQ(quarnsim::PackedFrameBytes(QUARN_FORMAT_RGB888, 0, 3), 0u);
  EXPECT_EQ(quarnsim::PackedFrameBytes(QUARN_FORMAT_RGB888, 3, -1), 0u);
}

TEST(FrameFormats, RenderWritesExactlyTheFrame) {
  // Every format, frame and both fields, an odd width and height, with parameters that move
  // the picture about: the generator writes the whole frame and not one byte more.
  for (int format = QUARN_FORMAT_YUV422; format <= QUARN_FORMAT_LIMITED8; ++format) {
    for (Lines lines : {Lines::kAll, Lines::kEven, Lines::kOdd}) {
      PictureParams p;
      p.format = format;
      p.outputWidth = 333;
      p.outputHeight = 201;
      p.chromaTrap = 0;
      p.crystal = QUARN_CRYSTAL_28M;
      p.mirrorHorizontal = true;
      p.delayX = -7;
      p.maskEnabled = true;
      PixelMask mask;
      for (int x = 300; x < 768; ++x) mask.Set(x, 99, true);
      PictureGenerator generator;
      generator.Configure(p);
      const size_t bytes = quarnsim::PackedFrameBytes(format, 333, Rows(p, lines));
      std::vector<uint8_t> out(bytes + 64, 0xA5);
      ASSERT_EQ(generator.Render(12, lines, &mask, out.data()), bytes);
      EXPECT_TRUE(std::all_of(out.begin() + static_cast<ptrdiff_t>(bytes), out.end(),
                              [](uint8_t b) { return b == 0xA5; }))
          << "format " << format;
    }
  }
}

TEST(FrameFormats, UnusableParametersRenderNothing) {
  for (auto change :
       {+[](PictureParams& p) { p.format = 7; }, +[](PictureParams& p) { p.outputWidth = 0; },
        +[](PictureParams& p) { p.outputHeight = 577; },
        +[](PictureParams& p) { p.outputWidth = 769; }}) {
    PictureParams p;
    change(p);
    PictureGenerator generator;
    generator.Configure(p);
    std::vector<uint8_t> out(16, 0x11);
    EXPECT_EQ(generator.Render(0, Lines::kAll, nullptr, out.data()), 0u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0x11; }));
  }
  PictureGenerator generator;
  EXPECT_EQ(generator.Render(0, Lines::kAll, nullptr, nullptr), 0u);
}

TEST(FrameFormats, ExtremeParametersStayInsideTheFrame) {
  // Under the address sanitizer this catches any read or write outside the generator's tables.
  PictureParams p;
  p.inputX = -5000;
  p.inputY = 100000;
  p.inputWidth = 1;
  p.inputHeight = 1 << 30;
  p.delayX = std::numeric_limits<int>::max();
  p.delayY = std::numeric_limits<int>::min();
  p.pll = 0;
  p.outputWidth = 1;
  p.outputHeight = 1;
  for (int format = QUARN_FORMAT_YUV422; format <= QUARN_FORMAT_LIMITED8; ++format) {
    p.format = format;
    EXPECT_EQ(RenderRaw(p, std::numeric_limits<uint32_t>::max()).size(),
              static_cast<size_t>(quarnsim::BytesPerPixel(format)));
  }
  PictureParams q;
  q.pll = 255;
  q.hue = 0;
  q.saturation = 255;
  q.contrast = 255;
  q.brightness = 255;
  q.cardNumber = 1000000;
  q.sourceType = 9;
  EXPECT_EQ(Render(q, 4000000000u).bytes.size(), static_cast<size_t>(kW * kH * 3));
}

TEST(FrameFormats, EveryFormatShowsTheSamePicture) {
  // Catches a format whose bytes are packed in the wrong order or with the wrong channel: after
  // conversion to 24-bit colour each format must look like the 24-bit frame (within the
  // precision of the format).
  PictureParams p;
  p.format = QUARN_FORMAT_RGB888;
  const std::vector<uint8_t> reference = RenderRaw(p, 33);
  const Image ref{kW, kH, reference};
  for (int format : {QUARN_FORMAT_YUV422, QUARN_FORMAT_RGB565, QUARN_FORMAT_RGB555,
                     QUARN_FORMAT_RGB8888, QUARN_FORMAT_ALL8, QUARN_FORMAT_LIMITED8}) {
    SCOPED_TRACE(format);
    p.format = format;
    const std::vector<uint8_t> raw = RenderRaw(p, 33);
    const bool eightBit = quarnsim::BitsPerPixel(format) == 8;
    std::vector<uint8_t> dib(quarnsim::DibStride(kW, eightBit ? 8 : 24) * kH);
    ASSERT_TRUE(quarnsim::TransformFrame(dib.data(), raw.data(), kW, kH, format));
    double difference = 0;
    for (int y = 0; y < kH; ++y) {
      const uint8_t* row = &dib[quarnsim::DibStride(kW, eightBit ? 8 : 24) * (kH - 1 - y)];
      for (int x = 0; x < kW; ++x) {
        const Bgr want = ref.At(x, y);
        if (format == QUARN_FORMAT_ALL8) {
          difference += std::abs(row[x] - want.Luma());
        } else if (format == QUARN_FORMAT_LIMITED8) {
          difference += std::abs(row[x] - (16 + want.Luma() * 219 / 255));
        } else {
          difference += std::abs(row[x * 3] - want.b) + std::abs(row[x * 3 + 1] - want.g) +
                        std::abs(row[x * 3 + 2] - want.r);
        }
      }
    }
    EXPECT_LT(difference / (kW * kH), 4.0);
  }
}

// ---- What the picture shows --------------------------------------------------------------

TEST(PictureContent, SeventyFivePercentColourBarsLeftToRight) {
  const Image image = Render(PictureParams{});
  // Grey, yellow, cyan, green, magenta, red, blue, black: which channels are lit in each bar.
  const bool lit[8][3] = {{1, 1, 1}, {0, 1, 1}, {1, 1, 0}, {0, 1, 0},
                          {1, 0, 1}, {0, 0, 1}, {1, 0, 0}, {0, 0, 0}};
  for (int bar = 0; bar < 8; ++bar) {
    const Bgr c = image.At(bar * kBarWidth + kBarWidth / 2, kBarRow);
    const int channels[3] = {c.b, c.g, c.r};
    for (int i = 0; i < 3; ++i) {
      if (lit[bar][i]) {
        EXPECT_NEAR(channels[i], 191, 3) << "bar " << bar << " channel " << i;
      } else {
        EXPECT_LE(channels[i], 3) << "bar " << bar << " channel " << i;
      }
    }
  }
  const std::vector<int> edges = Edges(image, kBarRow);
  EXPECT_EQ(edges, (std::vector<int>{96, 192, 288, 384, 480, 576, 672}));
}

TEST(PictureContent, CardsAndInputsLookDifferent) {
  // Another card or input changes the picture (its name and colours); the same card and input
  // give the same picture again.
  PictureParams p;
  p.cardNumber = 3;
  const Image card3 = Render(p, 5);
  EXPECT_EQ(Render(p, 5), card3);
  p.cardNumber = 4;
  EXPECT_NE(Render(p, 5), card3);
  p.cardNumber = 3;
  for (int type : {QUARN_SOURCE_VIDEO, QUARN_SOURCE_SVIDEO, QUARN_SOURCE_YCBCR}) {
    for (int number : {0, 1}) {
      if (type == QUARN_SOURCE_VIDEO && number == 0) continue;
      p.sourceType = type;
      p.sourceNumber = number;
      EXPECT_NE(Render(p, 5), card3) << type << " " << number;
    }
  }
}

// True when `text` is written at (x, y) of `image` in the simulator's font at `scale`: the lit
// font pixels all in one colour, every other pixel of the text's cells in another.
bool ReadsAt(const Image& image, std::string_view text, int x, int y, int scale) {
  namespace font = quarnsim::font;
  const int width = font::TextWidth(text);
  if (x + width * scale > image.width || y + font::kGlyphHeight * scale > image.height) {
    return false;
  }
  const Bgr none{-1, -1, -1};
  Bgr ink = none, paper = none;
  for (int fy = 0; fy < font::kGlyphHeight; ++fy) {
    for (int fx = 0; fx < width; ++fx) {
      const bool lit =
          font::GlyphPixel(text[static_cast<size_t>(fx / font::kAdvance)], fx % font::kAdvance, fy);
      Bgr& want = lit ? ink : paper;
      for (int sy = 0; sy < scale; ++sy) {
        for (int sx = 0; sx < scale; ++sx) {
          const Bgr got = image.At(x + fx * scale + sx, y + fy * scale + sy);
          if (want == none) want = got;
          if (!(got == want)) return false;
        }
      }
    }
  }
  return !(ink == paper);
}

// True when `text` is written near the top-left corner of `image` (within 12 pixels of it, font
// pixels of 1 to 4 pixels).
bool ReadsAtTopLeft(const Image& image, std::string_view text) {
  for (int scale = 1; scale <= 4; ++scale) {
    for (int y = 0; y <= 12; ++y) {
      for (int x = 0; x <= 12; ++x) {
        if (ReadsAt(image, text, x, y, scale)) return true;
      }
    }
  }
  return false;
}

TEST(PictureContent, TheTopLeftCornerNamesCardAndInput) {
  // A window that shows only the top-left part of the picture at 1:1 still tells which card and
  // input it shows.
  PictureParams p;
  p.cardNumber = 3;
  p.inputWidth = p.outputWidth = 320;
  p.inputHeight = p.outputHeight = 40;
  const Image corner = Render(p, 7);
  EXPECT_TRUE(ReadsAtTopLeft(corner, "CARD 3 VIDEO 1"));
  EXPECT_FALSE(ReadsAtTopLeft(corner, "CARD 4 VIDEO 1"));
  EXPECT_FALSE(ReadsAtTopLeft(corner, "CARD 3 VIDEO 2"));
  EXPECT_EQ(Render(p, 70), corner);  // it stays put while the picture moves

  p.cardNumber = 12;
  p.sourceType = QUARN_SOURCE_SVIDEO;
  p.sourceNumber = 1;
  EXPECT_TRUE(ReadsAtTopLeft(Render(p), "CARD 12 S-VIDEO 2"));
  p.sourceType = QUARN_SOURCE_YCBCR;
  p.sourceNumber = 0;
  EXPECT_TRUE(ReadsAtTopLeft(Render(p), "CARD 12 YCBCR1"));

  PictureParams ntsc = Ntsc();
  ntsc.cardNumber = 2;
  ntsc.sourceNumber = 5;
  EXPECT_TRUE(ReadsAtTopLeft(Render(ntsc), "CARD 2 VIDEO 6"));

  PictureParams dark;
  dark.signal = false;
  dark.cardNumber = 9;
  EXPECT_TRUE(ReadsAtTopLeft(Render(dark), "CARD 9 VIDEO 1"));
}

TEST(PictureContent, TheBoxMovesRightFromFrameToFrame) {
  // The only pure white in the bars band is the moving box's inside (the bars are at 75%).
  const auto boxCentre = [](const Image& image) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < kBarsEnd; ++y) {
      for (int x = 0; x < image.width; ++x) {
        if (image.At(x, y) == Bgr{255, 255, 255}) sum += x, ++count;
      }
    }
    return count > 0 ? sum / count : -1.0;
  };
  const double at20 = boxCentre(Render(PictureParams{}, 20));
  const double at30 = boxCentre(Render(PictureParams{}, 30));
  ASSERT_GT(at20, 0);
  ASSERT_GT(at30, 0);
  EXPECT_GT(at30 - at20, 40.0);   // several pixels a frame
  EXPECT_LT(at30 - at20, 200.0);  // and not jumping about
}

TEST(PictureContent, TheFrameCounterChangesOnlyTheCounter) {
  // Frames 100 and 101 differ (the counter), but the top of the bars band above the box is the
  // same.
  const Image a = Render(PictureParams{}, 100);
  const Image b = Render(PictureParams{}, 101);
  EXPECT_NE(a, b);
  int lowerRowsDiffering = 0;
  for (int y = 0; y < kH; ++y) {
    bool same = true;
    for (int x = 0; x < kW && same; ++x) same = a.At(x, y) == b.At(x, y);
    if (y < kBoxTop) {
      EXPECT_TRUE(same) << "row " << y;
    }
    if (!same && y > kH * 85 / 100) ++lowerRowsDiffering;
  }
  EXPECT_GT(lowerRowsDiffering, 0);
}

TEST(PictureContent, NoSignalIsFlatStillAndInTheRequestedFormat) {
  PictureParams p;
  p.signal = false;
  p.cardNumber = 2;
  const Image image = Render(p, 0);
  std::map<int, int> counts;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const Bgr c = image.At(x, y);
      ++counts[(c.r << 16) | (c.g << 8) | c.b];
    }
  }
  const int most = std::max_element(counts.begin(), counts.end(), [](auto& l, auto& r) {
                     return l.second < r.second;
                   })->second;
  EXPECT_GT(most, kW * kH * 8 / 10);           // mostly one flat colour (the rest is its text)
  EXPECT_EQ(Render(p, 77), image);             // nothing moves
  EXPECT_TRUE(Edges(image, kBarRow).empty());  // no bars
  // The text names the card: another card gives another picture.
  p.cardNumber = 3;
  EXPECT_NE(Render(p, 0), image);
  // Still the requested format and size.
  p.format = QUARN_FORMAT_YUV422;
  p.outputWidth = 320;
  p.outputHeight = 240;
  EXPECT_EQ(RenderRaw(p).size(), 320u * 240u * 2u);
}

// ---- Colour adjustments (128 is neutral for all four) ------------------------------------

TEST(PictureAdjustments, BrightnessRaisesLuma) {
  PictureParams p;
  p.brightness = 64;
  const double dark = Render(p).MeanLuma();
  p.brightness = 128;
  const double neutral = Render(p).MeanLuma();
  p.brightness = 192;
  const double bright = Render(p).MeanLuma();
  EXPECT_LT(dark + 20, neutral);
  EXPECT_LT(neutral + 20, bright);
}

TEST(PictureAdjustments, ContrastSpreadsLuma) {
  const auto spread = [](uint8_t contrast) {
    PictureParams p;
    p.contrast = contrast;
    const Image image = Render(p);
    return image.At(kBarWidth / 2, kBarRow).Luma() - image.At(kW - kBarWidth / 2, kBarRow).Luma();
  };
  EXPECT_LT(spread(64) + 40, spread(128));
  EXPECT_LT(spread(128) + 20, spread(200));
}

TEST(PictureAdjustments, SaturationScalesColourNotLuma) {
  const auto colourfulness = [](const Image& image) {
    int sum = 0;
    for (int bar = 0; bar < 8; ++bar) {
      const Bgr c = image.At(bar * kBarWidth + kBarWidth / 2, kBarRow);
      sum += std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
    }
    return sum;
  };
  PictureParams p;
  p.saturation = 0;
  const Image grey = Render(p);
  EXPECT_LE(colourfulness(grey), 8);  // every bar grey
  p.saturation = 128;
  const Image normal = Render(p);
  p.saturation = 200;
  const Image vivid = Render(p);
  EXPECT_LT(colourfulness(grey) + 500, colourfulness(normal));
  EXPECT_LT(colourfulness(normal) + 100, colourfulness(vivid));
  // The green bar keeps its luma when it loses its colour.
  EXPECT_NEAR(grey.At(3 * kBarWidth + 48, kBarRow).Luma(),
              normal.At(3 * kBarWidth + 48, kBarRow).Luma(), 12);
}

TEST(PictureAdjustments, HueTurnsColoursAround) {
  PictureParams p;
  const Bgr red = Render(p).At(5 * kBarWidth + kBarWidth / 2, kBarRow);
  EXPECT_GT(red.r, red.g + 100);
  // A half turn makes the red bar the opposite colour (cyan-ish: green and blue above red).
  p.hue = 0;
  const Bgr turned = Render(p).At(5 * kBarWidth + kBarWidth / 2, kBarRow);
  EXPECT_GT(turned.g, turned.r + 40);
  EXPECT_GT(turned.b, turned.r + 40);
  // A quarter turn either way gives two different colours, both different from red.
  p.hue = 64;
  const Bgr quarterBack = Render(p).At(5 * kBarWidth + kBarWidth / 2, kBarRow);
  p.hue = 192;
  const Bgr quarterOn = Render(p).At(5 * kBarWidth + kBarWidth / 2, kBarRow);
  EXPECT_NE(quarterBack, red);
  EXPECT_NE(quarterOn, red);
  EXPECT_NE(quarterBack, quarterOn);
  // The grey bar has no colour to turn.
  EXPECT_EQ(Render(p).At(kBarWidth / 2, kBarRow),
            Render(PictureParams{}).At(kBarWidth / 2, kBarRow));
}

TEST(PictureAdjustments, HueTurnKeepsTheAmountOfColour) {
  // A turn of the chroma plane changes the direction of U, V, never their length; catches a
  // rotation that drops or mixes up a term. Measured on the green bar, whose chroma stays clear
  // of the U, V limits at every angle.
  const auto chromaLength = [](uint8_t hue) {
    PictureParams p;
    p.format = QUARN_FORMAT_YUV422;
    p.hue = hue;
    const std::vector<uint8_t> yuv = RenderRaw(p);
    const size_t pair = (static_cast<size_t>(kBarRow) * kW + 3 * kBarWidth + kBarWidth / 2) * 2;
    return std::hypot(yuv[pair + 1] - 128.0, yuv[pair + 3] - 128.0);
  };
  const double neutral = chromaLength(128);
  EXPECT_GT(neutral, 60.0);
  for (uint8_t hue : {0, 32, 64, 100, 160, 192, 255}) {
    EXPECT_NEAR(chromaLength(hue), neutral, 1.5) << int{hue};
  }
}

TEST(PictureAdjustments, ChromaTrapOffPutsDotsOnColourOnly) {
  PictureParams p;
  p.format = QUARN_FORMAT_YUV422;
  const auto lumaSteps = [](const std::vector<uint8_t>& yuv, int y, int x0, int x1) {
    int steps = 0;
    for (int x = x0 + 1; x < x1; ++x) {
      const size_t at = (static_cast<size_t>(y) * kW + static_cast<size_t>(x)) * 2;
      steps += yuv[at] != yuv[at - 2];
    }
    return steps;
  };
  const int redX0 = 5 * kBarWidth + 8, redX1 = 6 * kBarWidth - 8;
  const int greyX0 = 8, greyX1 = kBarWidth - 8;
  const std::vector<uint8_t> clean = RenderRaw(p);
  EXPECT_EQ(lumaSteps(clean, kBarRow, redX0, redX1), 0);
  p.chromaTrap = 0;
  const std::vector<uint8_t> dotted = RenderRaw(p);
  EXPECT_GT(lumaSteps(dotted, kBarRow, redX0, redX1), (redX1 - redX0) / 2);
  EXPECT_EQ(lumaSteps(dotted, kBarRow, greyX0, greyX1), 0);
  // The pattern shifts from one line to the next (a crosshatch, not vertical stripes).
  const size_t at = (static_cast<size_t>(kBarRow) * kW + static_cast<size_t>(redX0)) * 2;
  EXPECT_NE(dotted[at], dotted[at + static_cast<size_t>(kW) * 2]);
}

// ---- Geometry ------------------------------------------------------------------------------

TEST(PictureGeometry, PllOffTheRightValueStretchesOrSqueezes) {
  const auto firstEdge = [](uint8_t pll) {
    PictureParams p;
    p.pll = pll;
    return Edges(Render(p), kBarRow).front();
  };
  EXPECT_EQ(firstEdge(245), kBarWidth);
  EXPECT_LT(firstEdge(200), kBarWidth - 20);
  EXPECT_GT(firstEdge(255), kBarWidth + 5);
  // Squeezed: the right end of each line has nothing sampled (blanking black).
  PictureParams p;
  p.pll = 200;
  const Image squeezed = Render(p);
  for (int y : {kBarRow, kH / 2, kH - 5}) EXPECT_EQ(squeezed.At(kW - 1, y), kBlank);
}

TEST(PictureGeometry, WrongCrystalRollsWithABlankBar) {
  const auto blankRows = [](const Image& image) {
    std::vector<int> rows;
    for (int y = 0; y < image.height; ++y) {
      if (image.RowAll(y, kBlank)) rows.push_back(y);
    }
    return rows;
  };
  PictureParams pal;
  EXPECT_TRUE(blankRows(Render(pal, 10)).empty());
  EXPECT_EQ(Render(pal, 10).At(kBarWidth / 2, 0), Render(pal, 11).At(kBarWidth / 2, 0));

  pal.crystal = QUARN_CRYSTAL_28M;
  const std::vector<int> at10 = blankRows(Render(pal, 10));
  const std::vector<int> at14 = blankRows(Render(pal, 14));
  ASSERT_GT(at10.size(), 10u);
  ASSERT_EQ(at10.size(), at14.size());
  EXPECT_NE(at10.front(), at14.front());  // the bar moves from frame to frame

  // NTSC wants the other crystal.
  PictureParams ntsc = Ntsc();
  EXPECT_TRUE(blankRows(Render(ntsc, 10)).empty());
  ntsc.crystal = QUARN_CRYSTAL_35M;
  EXPECT_FALSE(blankRows(Render(ntsc, 10)).empty());
}

TEST(PictureGeometry, MirrorsFlipThePicture) {
  PictureParams p;
  const Image normal = Render(p, 40);
  p.mirrorHorizontal = true;
  const Image flippedH = Render(p, 40);
  p.mirrorHorizontal = false;
  p.mirrorVertical = true;
  const Image flippedV = Render(p, 40);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      ASSERT_EQ(flippedH.At(x, y), normal.At(kW - 1 - x, y)) << x << "," << y;
      ASSERT_EQ(flippedV.At(x, y), normal.At(x, kH - 1 - y)) << x << "," << y;
    }
  }
  // The asymmetric bars: grey on the left normally, black on the left when mirrored.
  EXPECT_GT(normal.At(10, kBarRow).Luma(), 150);
  EXPECT_LT(flippedH.At(10, kBarRow).Luma(), 10);
}

TEST(PictureGeometry, DelayShiftsThePictureAndBlanksTheNewArea) {
  PictureParams p;
  const Image normal = Render(p, 3);
  p.delayX = 100;
  p.delayY = 50;
  const Image shifted = Render(p, 3);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (x < 100 || y < 50) {
        ASSERT_EQ(shifted.At(x, y), kBlank) << x << "," << y;
      } else {
        ASSERT_EQ(shifted.At(x, y), normal.At(x - 100, y - 50)) << x << "," << y;
      }
    }
  }
  p.delayX = -30;
  p.delayY = 0;
  const Image left = Render(p, 3);
  EXPECT_EQ(left.At(0, kBarRow), normal.At(30, kBarRow));
  EXPECT_EQ(left.At(kW - 1, kBarRow), kBlank);
}

TEST(PictureGeometry, InputWindowCropsOrScales) {
  const Image full = Render(PictureParams{}, 2);
  {
    SCOPED_TRACE("same size: a 1:1 crop");
    PictureParams p;
    p.inputX = 100;
    p.inputY = 50;
    p.inputWidth = p.outputWidth = 384;
    p.inputHeight = p.outputHeight = 288;
    const Image crop = Render(p, 2);
    for (int y = 0; y < 288; y += 7) {
      for (int x = 0; x < 384; x += 3) ASSERT_EQ(crop.At(x, y), full.At(100 + x, 50 + y));
    }
  }
  {
    SCOPED_TRACE("whole image into half the size: every other pixel");
    PictureParams p;
    p.outputWidth = 384;
    p.outputHeight = 288;
    const Image half = Render(p, 2);
    for (int y = 0; y < 288; y += 5) {
      for (int x = 0; x < 384; x += 3) ASSERT_EQ(half.At(x, y), full.At(2 * x, 2 * y));
    }
  }
  {
    SCOPED_TRACE("a quarter of the image into the full size: each pixel twice");
    PictureParams p;
    p.inputWidth = 384;
    p.inputHeight = 288;
    const Image zoom = Render(p, 2);
    for (int y = 0; y < kH; y += 5) {
      for (int x = 0; x < kW; x += 3) ASSERT_EQ(zoom.At(x, y), full.At(x / 2, y / 2));
    }
  }
  {
    SCOPED_TRACE("a window reaching past the image: black outside");
    PictureParams p;
    p.inputX = 600;
    p.inputY = 400;
    p.inputWidth = p.outputWidth = 300;
    p.inputHeight = p.outputHeight = 300;
    const Image edge = Render(p, 2);
    for (int y = 0; y < 300; y += 3) {
      for (int x = 0; x < 300; x += 3) {
        if (600 + x >= kW || 400 + y >= kH) {
          ASSERT_EQ(edge.At(x, y), kBlank) << x << "," << y;
        } else {
          ASSERT_EQ(edge.At(x, y), full.At(600 + x, 400 + y)) << x << "," << y;
        }
      }
    }
  }
}

TEST(PictureGeometry, NtscIsItsOwnSmallerImage) {
  const Image ntsc = Render(Ntsc(), 1);
  EXPECT_EQ(ntsc.height, QUARN_NTSC_HEIGHT);
  EXPECT_EQ(Edges(ntsc, kBarRow).front(), QUARN_NTSC_WIDTH / 8);
  // No black margin: the label band reaches the right edge.
  EXPECT_NE(ntsc.At(QUARN_NTSC_WIDTH - 1, QUARN_NTSC_HEIGHT * 70 / 100), kBlank);
  // The PAL-sized default window on NTSC reaches past the image: black there.
  PictureParams p = Ntsc();
  p.inputWidth = kW;
  p.inputHeight = kH;
  p.outputWidth = kW;
  p.outputHeight = kH;
  const Image beyond = Render(p, 1);
  EXPECT_TRUE(beyond.RowAll(kH - 1, kBlank));
  EXPECT_EQ(beyond.At(kW - 1, kBarRow), kBlank);
}

TEST(PictureGeometry, FieldsDeliverEveryOtherLine) {
  for (int height : {576, 201}) {
    PictureParams p;
    p.outputHeight = height;
    p.chromaTrap = 0;  // the dot pattern depends on the line, so fields must keep it
    const Image frame = Render(p, 9);
    const Image even = Render(p, 9, Lines::kEven);
    const Image odd = Render(p, 9, Lines::kOdd);
    ASSERT_EQ(even.height, height / 2);
    ASSERT_EQ(odd.height, height / 2);
    for (int k = 0; k < height / 2; ++k) {
      for (int x = 0; x < kW; x += 5) {
        ASSERT_EQ(even.At(x, k), frame.At(x, 2 * k)) << "line " << k;
        ASSERT_EQ(odd.At(x, k), frame.At(x, 2 * k + 1)) << "line " << k;
      }
    }
  }
}

// ---- Mask ----------------------------------------------------------------------------------

// A mask with a rectangle, a one-pixel line and single pixels at odd and even columns.
PixelMask TestMask() {
  PixelMask mask;
  for (int y = 50; y < 100; ++y) {
    for (int x = 50; x < 100; ++x) mask.Set(x, y, true);
  }
  for (int x = 100; x < 200; ++x) mask.Set(x, 150, true);
  for (int x : {0, 7, 64, 65, 383, 767}) mask.Set(x, 200, true);
  mask.Set(767, 575, true);
  return mask;
}

TEST(PictureMask, MaskedPixelsAndOnlyThoseAreBlack) {
  const PixelMask mask = TestMask();
  PictureParams p;
  p.maskEnabled = true;
  const Image plain = Render(PictureParams{}, 4);
  const Image masked = Render(p, 4, Lines::kAll, &mask);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (mask.Get(x, y)) {
        ASSERT_EQ(masked.At(x, y), kBlank) << x << "," << y;
      } else {
        ASSERT_EQ(masked.At(x, y), plain.At(x, y)) << x << "," << y;
      }
    }
  }
  // Not enabled, or no mask given: no effect.
  p.maskEnabled = false;
  EXPECT_EQ(Render(p, 4, Lines::kAll, &mask), plain);
  p.maskEnabled = true;
  EXPECT_EQ(Render(p, 4, Lines::kAll, nullptr), plain);
}

TEST(PictureMask, FieldsUseDeliveredLineNumbers) {
  // Mask row k masks delivered line k of a field, not frame line k.
  PixelMask mask;
  for (int x = 0; x < kW; ++x) mask.Set(x, 10, true);
  PictureParams p;
  p.maskEnabled = true;
  const Image field = Render(p, 0, Lines::kOdd, &mask);
  EXPECT_TRUE(field.RowAll(10, kBlank));
  EXPECT_FALSE(field.RowAll(9, kBlank));
  EXPECT_FALSE(field.RowAll(5, kBlank));
}

TEST(PictureMask, BlackInEveryFormat) {
  const PixelMask mask = TestMask();
  PictureParams p;
  p.maskEnabled = true;
  p.format = QUARN_FORMAT_YUV422;
  const std::vector<uint8_t> yuv = RenderRaw(p, 4, Lines::kAll, &mask);
  p.maskEnabled = false;
  const std::vector<uint8_t> yuvPlain = RenderRaw(p, 4);
  for (int y : {50, 150, 200}) {
    for (int x = 0; x < kW; ++x) {
      const size_t at = (static_cast<size_t>(y) * kW + static_cast<size_t>(x)) * 2;
      const size_t pair = (static_cast<size_t>(y) * kW + static_cast<size_t>(x & ~1)) * 2;
      if (mask.Get(x, y)) {
        ASSERT_EQ(yuv[at], 16) << x << "," << y;
      } else {
        ASSERT_EQ(yuv[at], yuvPlain[at]) << x << "," << y;  // the neighbour keeps its luma
      }
      // A pair with a masked pixel has no colour, so the black pixel really is black.
      if (mask.Get(x & ~1, y) || mask.Get(x | 1, y)) {
        ASSERT_EQ(yuv[pair + 1], 128) << x << "," << y;
        ASSERT_EQ(yuv[pair + 3], 128) << x << "," << y;
      }
    }
  }
  const std::map<int, std::vector<uint8_t>> black = {{QUARN_FORMAT_RGB565, {0, 0}},
                                                     {QUARN_FORMAT_RGB555, {0, 0}},
                                                     {QUARN_FORMAT_RGB8888, {0, 0, 0, 0}},
                                                     {QUARN_FORMAT_ALL8, {0}},
                                                     {QUARN_FORMAT_LIMITED8, {16}}};
  for (const auto& [format, bytes] : black) {
    SCOPED_TRACE(format);
    p.format = format;
    p.maskEnabled = true;
    const std::vector<uint8_t> raw = RenderRaw(p, 4, Lines::kAll, &mask);
    const size_t bpp = bytes.size();
    for (int x : {50, 99, 7, 65, 767}) {
      const int y = x == 767 ? 575 : (x < 100 && x >= 50 ? 60 : 200);
      const size_t at = (static_cast<size_t>(y) * kW + static_cast<size_t>(x)) * bpp;
      ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), raw.begin() + static_cast<ptrdiff_t>(at)))
          << x << "," << y;
    }
  }
}

TEST(PictureMask, AfterAMaskedRowTheNextRowsAreStillRight) {
  // Rows of the moving box are drawn once and copied to the rows below that look the same; a
  // masked row must not become the copy's source. Every other row is masked, on both parities,
  // so that the first row of each part of the box is masked once.
  const Image plain = Render(PictureParams{}, 30);
  for (int parity : {0, 1}) {
    SCOPED_TRACE(parity);
    PixelMask mask;
    for (int y = 80 + parity; y < 200; y += 2) {
      for (int x = 0; x < kW; ++x) mask.Set(x, y, true);
    }
    PictureParams p;
    p.maskEnabled = true;
    const Image masked = Render(p, 30, Lines::kAll, &mask);
    for (int y = 81 - parity; y < 200; y += 2) {
      for (int x = 0; x < kW; ++x) ASSERT_EQ(masked.At(x, y), plain.At(x, y)) << x << "," << y;
    }
  }
}

// ---- Host pixels: stored frames into 0x00RRGGBB words, words into display bitmaps -----------

TEST(HostPixels, FramesBecomeZeroTopBytePixels) {
  // Width 3 with a stride of 4 words: the fourth word of each row belongs to the host.
  constexpr uint32_t kHostWord = 0xDEADBEEF;
  const auto convert = [&](int format, std::vector<uint8_t> src) {
    std::vector<uint32_t> out(4 * 2, kHostWord);
    EXPECT_TRUE(quarnsim::FrameToXrgb(src.data(), format, 3, 2, out.data(), 16));
    EXPECT_EQ(out[3], kHostWord);
    EXPECT_EQ(out[7], kHostWord);
    // The top byte carries nothing across the host contract; compare the colours.
    for (size_t i : {0, 1, 2, 4, 5, 6}) out[i] &= 0x00FFFFFFu;
    return out;
  };
  std::vector<uint32_t> out =
      convert(QUARN_FORMAT_RGB888, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
  EXPECT_EQ(out[0], 0x00030201u);
  EXPECT_EQ(out[2], 0x00090807u);
  EXPECT_EQ(out[4], 0x000C0B0Au);  // rows stay top first
  out = convert(QUARN_FORMAT_RGB8888, std::vector<uint8_t>(24, 0xFF));
  EXPECT_EQ(out[0], 0x00FFFFFFu);
  out = convert(QUARN_FORMAT_RGB565, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0, 0, 0, 0});
  EXPECT_EQ(out[0], 0x00FF0000u);
  EXPECT_EQ(out[1], 0x0000FF00u);
  EXPECT_EQ(out[2], 0x000000FFu);
  EXPECT_EQ(out[4], 0x00FFFFFFu);
  out = convert(QUARN_FORMAT_RGB555, {0x00, 0xFC, 0xE0, 0x03, 0x1F, 0x80, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(out[0], 0x00FF0000u);  // the unused top bit does not leak into red
  EXPECT_EQ(out[1], 0x0000FF00u);
  EXPECT_EQ(out[2], 0x000000FFu);
  out = convert(QUARN_FORMAT_ALL8, {0, 100, 255, 1, 2, 3});
  EXPECT_EQ(out[0], 0x00000000u);
  EXPECT_EQ(out[1], 0x00646464u);
  EXPECT_EQ(out[2], 0x00FFFFFFu);
  out = convert(QUARN_FORMAT_LIMITED8, {16, 126, 235, 1, 2, 3});
  EXPECT_EQ(out[0], 0x00000000u);  // studio black and white are shown as black and white
  EXPECT_EQ(out[2], 0x00FFFFFFu);
  EXPECT_NEAR(static_cast<int>(out[1] & 0xFF), 128, 2);
  // YUV422, odd width: a red pair and a lone red pixel that borrows the pair's V.
  out = convert(QUARN_FORMAT_YUV422, {81, 90, 81, 240, 81, 90, 16, 128, 235, 128, 16, 128});
  for (int x = 0; x < 3; ++x) {
    EXPECT_GE((out[x] >> 16) & 0xFF, 250u) << x;
    EXPECT_LE((out[x] >> 8) & 0xFF, 3u) << x;
    EXPECT_LE(out[x] & 0xFF, 3u) << x;
  }
  EXPECT_EQ(out[4], 0x00000000u);
  EXPECT_EQ(out[5], 0x00FFFFFFu);
}

// Live video through a host's WritePixels converts only the part the host shows. Every part must
// hold what the whole frame holds there (a YUV422 pixel keeps its pair's chroma, also when the
// part cuts the pair or ends on the first pixel of one), opaque, and nothing beyond the part.
TEST(HostPixels, PartsAreWrittenAsTheWholeFrameWouldBe) {
  constexpr int kFrameW = 7, kFrameH = 3;
  constexpr uint32_t kHostWord = 0x12345678;
  struct Part {
    int x, y, width, height;
  };
  const Part parts[] = {{0, 0, 7, 3}, {1, 0, 5, 2}, {2, 1, 3, 2}, {3, 0, 4, 3},
                        {0, 2, 7, 1}, {6, 0, 1, 3}, {0, 0, 1, 1}, {2, 0, 2, 3}};
  for (int format :
       {QUARN_FORMAT_YUV422, QUARN_FORMAT_RGB888, QUARN_FORMAT_RGB565, QUARN_FORMAT_RGB555,
        QUARN_FORMAT_RGB8888, QUARN_FORMAT_ALL8, QUARN_FORMAT_LIMITED8}) {
    // Varied bytes, so that every pixel and every chroma pair differs from its neighbours (the
    // top byte of RGB8888 pixels included, which must not show).
    std::vector<uint8_t> frame(quarnsim::PackedFrameBytes(format, kFrameW, kFrameH));
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint32_t> whole(kFrameW * kFrameH);
    ASSERT_TRUE(
        quarnsim::FrameToXrgb(frame.data(), format, kFrameW, kFrameH, whole.data(), kFrameW * 4));
    for (uint32_t word : whole) EXPECT_EQ(word >> 24, 0xFFu) << "format " << format;
    quarnsim::XrgbSource source{frame.data(), format, kFrameW, kFrameH};
    for (const Part& part : parts) {
      // Two spare words a row and a spare row: the host's picture around the part.
      const int stride = part.width + 2;
      std::vector<uint32_t> out(static_cast<size_t>(stride * (part.height + 1)), kHostWord);
      quarnsim::WriteXrgbPart(&source, part.x, part.y, part.width, part.height, out.data(),
                              static_cast<size_t>(stride) * 4);
      for (int y = 0; y <= part.height; ++y) {
        for (int x = 0; x < stride; ++x) {
          const uint32_t expected =
              x < part.width && y < part.height
                  ? whole[static_cast<size_t>((part.y + y) * kFrameW + part.x + x)]
                  : kHostWord;
          EXPECT_EQ(out[static_cast<size_t>(y * stride + x)], expected)
              << "format " << format << ", part " << part.x << "," << part.y << " " << part.width
              << "x" << part.height << ", pixel " << x << "," << y;
        }
      }
    }
    // A part that does not lie inside the frame is not written.
    std::vector<uint32_t> out(16, kHostWord);
    for (const Part& outside : {Part{-1, 0, 2, 1}, Part{6, 0, 2, 1}, Part{0, 2, 1, 2},
                                Part{0, 0, 0, 1}, Part{0, 3, 1, 1}}) {
      quarnsim::WriteXrgbPart(&source, outside.x, outside.y, outside.width, outside.height,
                              out.data(), 16);
    }
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint32_t w) { return w == kHostWord; }));
  }
}

// Live video shows a frame in the colours a stored frame of it is converted to: for every format
// with a 24-bit bitmap, each host word is the bitmap's pixel, opaque. The widths split the rows
// differently (vector blocks of 8, 16 and 32 pixels, YUV422's lone last pixel, single pixels
// before the host's picture reaches a 32-byte boundary and after the last block), and the host's
// rows start off that boundary by a few words.
TEST(HostPixels, LiveFramesShowWhatStoredFramesShow) {
  constexpr int kRows = 3;
  constexpr uint32_t kHostWord = 0x12345678;
  for (int format : {QUARN_FORMAT_YUV422, QUARN_FORMAT_RGB565, QUARN_FORMAT_RGB555,
                     QUARN_FORMAT_RGB888, QUARN_FORMAT_RGB8888}) {
    for (int width : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 95, 97, 768}) {
      for (int offset : {0, 1, 5}) {
        SCOPED_TRACE(testing::Message() << "format " << format << ", width " << width
                                        << ", host offset " << offset << " words");
        // Bytes from a small generator, so that every chroma pair and component differs.
        std::vector<uint8_t> frame(quarnsim::PackedFrameBytes(format, width, kRows));
        uint32_t seed = 12345;
        for (uint8_t& byte : frame) {
          seed = seed * 1103515245u + 12345u;
          byte = static_cast<uint8_t>(seed >> 16);
        }
        const size_t dibStride = quarnsim::DibStride(width, 24);
        std::vector<uint8_t> dib(dibStride * kRows);
        ASSERT_TRUE(quarnsim::TransformFrame(dib.data(), frame.data(), width, kRows, format));
        const size_t hostStride = static_cast<size_t>(width + offset + 1);
        std::vector<uint32_t> host(hostStride * kRows + 8, kHostWord);
        // A host picture starting on a 32-byte boundary, then `offset` words on.
        uint32_t* aligned =
            host.data() + (8 - reinterpret_cast<uintptr_t>(host.data()) % 32 / 4) % 8;
        uint32_t* first = aligned + offset;
        ASSERT_TRUE(
            quarnsim::FrameToXrgb(frame.data(), format, width, kRows, first, hostStride * 4));
        int wrong = 0;
        for (int y = 0; y < kRows; ++y) {
          const uint8_t* bgr = dib.data() + dibStride * static_cast<size_t>(kRows - 1 - y);
          for (int x = 0; x < width; ++x) {
            const uint32_t expected = 0xFF000000u | (uint32_t{bgr[3 * x + 2]} << 16) |
                                      (uint32_t{bgr[3 * x + 1]} << 8) | bgr[3 * x];
            const uint32_t got =
                first[static_cast<size_t>(y) * hostStride + static_cast<size_t>(x)];
            if (got != expected && ++wrong <= 3) {
              ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got
                            << " instead of " << expected;
            }
          }
          EXPECT_EQ(first[static_cast<size_t>(y) * hostStride + static_cast<size_t>(width)],
                    kHostWord)
              << "written past row " << y;
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(std::all_of(host.data(), first, [](uint32_t w) { return w == kHostWord; }));
      }
    }
  }
}

TEST(HostPixels, BadFramesAreRefused) {
  std::vector<uint8_t> src(64, 0);
  std::vector<uint32_t> out(16, 7);
  EXPECT_FALSE(quarnsim::FrameToXrgb(nullptr, QUARN_FORMAT_RGB888, 2, 2, out.data(), 8));
  EXPECT_FALSE(quarnsim::FrameToXrgb(src.data(), QUARN_FORMAT_RGB888, 2, 2, nullptr, 8));
  EXPECT_FALSE(quarnsim::FrameToXrgb(src.data(), QUARN_FORMAT_RGB888, 0, 2, out.data(), 8));
  EXPECT_FALSE(quarnsim::FrameToXrgb(src.data(), QUARN_FORMAT_RGB888, 2, -2, out.data(), 8));
  EXPECT_FALSE(quarnsim::FrameToXrgb(src.data(), QUARN_FORMAT_RGB888, 3, 2, out.data(), 8));
  EXPECT_FALSE(quarnsim::FrameToXrgb(src.data(), 7, 2, 2, out.data(), 8));
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint32_t w) { return w == 7; }));
}

TEST(HostPixels, WordsBecomeBitmapsAtEveryDepth) {
  // Two rows of three words, the top byte set as a careless host might leave it; row order
  // must flip (bitmaps are bottom-up) and padding must be zero.
  const std::vector<uint32_t> words = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                       0xFFFFFFFF, 0xFF000000, 0xFF808080};
  const auto convert = [&](int depth) {
    const size_t bytes = quarnsim::DibStride(3, depth) * 2;
    std::vector<uint8_t> out(bytes + 8, 0xCD);
    EXPECT_TRUE(quarnsim::XrgbToDib(words.data(), 12, 3, 2, depth, out.data()));
    EXPECT_TRUE(std::all_of(out.begin() + static_cast<ptrdiff_t>(bytes), out.end(),
                            [](uint8_t b) { return b == 0xCD; }));
    return out;
  };
  std::vector<uint8_t> d = convert(32);
  EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 12),
            (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 0, 128, 128, 128, 0}));
  EXPECT_EQ(std::vector<uint8_t>(d.begin() + 12, d.begin() + 24),
            (std::vector<uint8_t>{0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}));
  d = convert(24);
  EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 24),
            (std::vector<uint8_t>{255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0,
                                  0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0}));
  d = convert(16);
  EXPECT_EQ(std::vector<uint8_t>(d.begin() + 8, d.begin() + 16),
            (std::vector<uint8_t>{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}));
  d = convert(15);
  EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 16),
            (std::vector<uint8_t>{0xFF, 0x7F, 0x00, 0x00, 0x10, 0x42, 0, 0, 0x00, 0x7C, 0xE0, 0x03,
                                  0x1F, 0x00, 0, 0}));
  d = convert(8);
  EXPECT_EQ(d[0], 255);
  EXPECT_EQ(d[1], 0);
  EXPECT_NEAR(d[2], 128, 1);
  EXPECT_EQ(d[3], 0);         // padding
  EXPECT_NEAR(d[4], 76, 2);   // red: 0.299 of white
  EXPECT_NEAR(d[5], 150, 2);  // green: 0.587
  EXPECT_NEAR(d[6], 29, 2);   // blue: 0.114
}

TEST(HostPixels, UnknownDepthWritesNothing) {
  const std::vector<uint32_t> words(4, 0x00FFFFFF);
  std::vector<uint8_t> out(32, 0xCD);
  for (int depth : {0, 1, 4, 12, 48}) {
    EXPECT_FALSE(quarnsim::XrgbToDib(words.data(), 8, 2, 2, depth, out.data())) << depth;
  }
  EXPECT_FALSE(quarnsim::XrgbToDib(words.data(), 4, 2, 2, 24, out.data()));  // stride too small
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xCD; }));
}

TEST(HostPixels, DibRowsArePaddedToFourBytes) {
  EXPECT_EQ(quarnsim::DibStride(1, 24), 4u);
  EXPECT_EQ(quarnsim::DibStride(3, 24), 12u);
  EXPECT_EQ(quarnsim::DibStride(5, 24), 16u);
  EXPECT_EQ(quarnsim::DibStride(5, 8), 8u);
  EXPECT_EQ(quarnsim::DibStride(3, 15), 8u);
  EXPECT_EQ(quarnsim::DibStride(768, 32), 3072u);
  EXPECT_EQ(quarnsim::DibStride(0, 24), 0u);
}

}  // namespace
