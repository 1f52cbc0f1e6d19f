// picture.cpp - the simulated card's test picture: colour bars, the card's number and input name
// (small at the top-left corner and large below the bars), a grey staircase, a moving box and a
// frame counter, shaped by every acquisition parameter and written straight into the stored-frame
// format.
//
// How it stays cheap: the picture ("content") is a stack of rows that repeat, so it is kept as a
// few distinct rows of palette indices ("inks") plus a table from content row to distinct row.
// Configure() turns the parameters into an ink palette already in the output format (colour
// adjustments, chroma leak), a column map (mirror, input window, delay, PLL) and a row map
// (mirror, input window, delay), and pre-renders every distinct row once per line phase in the
// output format. Render() then copies one pre-rendered row per delivered line and draws the few
// things that change per frame (roll, moving box, counter, mask) on top.
#include "picture.h"

#include <QuarnVideo.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <string_view>

#include "font.h"

namespace quarnsim {

int BytesPerPixel(int format) {
  switch (format) {
    case QUARN_FORMAT_YUV422:
      return 2;
    case QUARN_FORMAT_RGB888:
      return 3;
    case QUARN_FORMAT_RGB565:
      return 2;
    case QUARN_FORMAT_RGB555:
      return 2;
    case QUARN_FORMAT_RGB8888:
      return 4;
    case QUARN_FORMAT_ALL8:
      return 1;
    case QUARN_FORMAT_LIMITED8:
      return 1;
    default:
      return 0;
  }
}

int BitsPerPixel(int format) {
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

size_t PackedFrameBytes(int format, int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<size_t>(width) * static_cast<size_t>(height) *
         static_cast<size_t>(BytesPerPixel(format));
}

// ---- PixelMask ----------------------------------------------------------------------------

bool PixelMask::Set(int x, int y, bool masked) {
  if (x < 0 || x >= kMaxWidth || y < 0 || y >= kMaxHeight) return false;
  uint64_t& word = bits_[static_cast<size_t>(y) * kWordsPerRow + static_cast<size_t>(x / 64)];
  const uint64_t bit = uint64_t{1} << (x % 64);
  const bool was = (word & bit) != 0;
  if (masked && !was) {
    word |= bit;
    ++rowCounts_[static_cast<size_t>(y)];
  } else if (!masked && was) {
    word &= ~bit;
    --rowCounts_[static_cast<size_t>(y)];
  }
  return true;
}

bool PixelMask::Get(int x, int y) const {
  if (x < 0 || x >= kMaxWidth || y < 0 || y >= kMaxHeight) return false;
  const uint64_t word = bits_[static_cast<size_t>(y) * kWordsPerRow + static_cast<size_t>(x / 64)];
  return ((word >> (x % 64)) & 1) != 0;
}

bool PixelMask::RowHasMasked(int y) const {
  if (y < 0 || y >= kMaxHeight) return false;
  return rowCounts_[static_cast<size_t>(y)] != 0;
}

// ---- Colours ------------------------------------------------------------------------------

namespace {

struct Rgb {
  int r, g, b;
};

// Palette indices of everything the picture shows.
enum Ink : uint8_t {
  kBlank = 0,  // blanking black: outside the sampled picture, the roll bar, delay margins, mask
  kBarFirst,   // 8 bars: white, yellow, cyan, green, magenta, red, blue, black
  kBackground = kBarFirst + 8,  // label and counter bands (dark blue on the no-signal picture)
  kLabelText,
  kCardTag,
  kRampFirst,  // 8 grey steps from black to white
  kBoxEdge = kRampFirst + 8,
  kBoxFill,
  kCounterText,
  kInkCount
};

constexpr int kBars = 8;
constexpr int kRampSteps = 8;
constexpr Rgb kBarColours[kBars] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                    {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};

// BT.601 studio-range YUV of a full-range RGB colour.
struct Yuv {
  double y, u, v;
};

Yuv ToYuv(Rgb c) {
  return {16.0 + 0.256788 * c.r + 0.504129 * c.g + 0.097906 * c.b,
          128.0 - 0.148223 * c.r - 0.290993 * c.g + 0.439216 * c.b,
          128.0 + 0.439216 * c.r - 0.367788 * c.g - 0.071427 * c.b};
}

uint8_t ClampByte(double v, double lo = 0.0, double hi = 255.0) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, lo, hi)));
}

// The inverse of ToYuv, clamped to 0..255.
Rgb FromYuv(double y, double u, double v) {
  const double luma = 1.164384 * (y - 16.0);
  return {ClampByte(luma + 1.596027 * (v - 128.0)),
          ClampByte(luma - 0.391762 * (u - 128.0) - 0.812968 * (v - 128.0)),
          ClampByte(luma + 2.017232 * (u - 128.0))};
}

Rgb FromHue(int degrees, double value) {
  // Fully saturated colour of hue `degrees` at brightness `value` (0..1).
  const double h = (degrees % 360) / 60.0;
  const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(h)) {
    case 0:
      r = 1;
      g = x;
      break;
    case 1:
      r = x;
      g = 1;
      break;
    case 2:
      g = 1;
      b = x;
      break;
    case 3:
      g = x;
      b = 1;
      break;
    case 4:
      r = x;
      b = 1;
      break;
    default:
      r = 1;
      b = x;
      break;
  }
  return {ClampByte(r * value * 255), ClampByte(g * value * 255), ClampByte(b * value * 255)};
}

// One palette entry in the output format. The chroma trap off lets chroma leak into luma as a
// subcarrier that advances a quarter turn per pixel and half a turn per line, so each entry has
// one value per subcarrier phase (0..3); with the trap on all four are the same.
struct InkPixels {
  uint8_t y[4];      // YUV422 luma per phase
  uint8_t u, v;      // YUV422 chroma
  uint8_t px[4][4];  // other formats: the packed bytes per phase
};

void PackRgb(int format, Rgb c, double studioLuma, uint8_t* out) {
  out[0] = out[1] = out[2] = out[3] = 0;
  const auto r = static_cast<unsigned>(c.r);
  const auto g = static_cast<unsigned>(c.g);
  const auto b = static_cast<unsigned>(c.b);
  switch (format) {
    case QUARN_FORMAT_RGB888:
    case QUARN_FORMAT_RGB8888:  // B G R, and X = 0 for the 32-bit format
      out[0] = static_cast<uint8_t>(b);
      out[1] = static_cast<uint8_t>(g);
      out[2] = static_cast<uint8_t>(r);
      break;
    case QUARN_FORMAT_RGB565: {
      const unsigned w = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      out[0] = static_cast<uint8_t>(w & 0xFF);
      out[1] = static_cast<uint8_t>(w >> 8);
      break;
    }
    case QUARN_FORMAT_RGB555: {
      const unsigned w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      out[0] = static_cast<uint8_t>(w & 0xFF);
      out[1] = static_cast<uint8_t>(w >> 8);
      break;
    }
    case QUARN_FORMAT_ALL8:
      out[0] = ClampByte((studioLuma - 16.0) * 255.0 / 219.0);
      break;
    case QUARN_FORMAT_LIMITED8:
      out[0] = ClampByte(studioLuma, 16.0, 235.0);
      break;
    default:
      break;
  }
}

// Black as the card delivers it in each format (also what masked pixels show).
InkPixels BlankInk(int format) {
  InkPixels ink{};
  for (int p = 0; p < 4; ++p) {
    ink.y[p] = 16;
    PackRgb(format, {0, 0, 0}, 16.0, ink.px[p]);
  }
  ink.u = ink.v = 128;
  return ink;
}

// The colour adjustments of the decoder, applied to one content colour.
struct Adjust {
  bool enabled = false;   // false: the colour passes unchanged (the no-signal picture)
  double brightness = 0;  // added to luma
  double contrast = 1;    // luma gain above black
  double saturation = 1;  // chroma gain
  double hueCos = 1, hueSin = 0;
  bool leak = false;  // chroma trap off
};

InkPixels MakeInk(int format, Rgb colour, const Adjust& adjust) {
  const Yuv in = ToYuv(colour);
  double y = in.y, u = in.u - 128.0, v = in.v - 128.0;
  if (adjust.enabled) {
    y = 16.0 + (y - 16.0) * adjust.contrast + adjust.brightness;
    const double ru = u * adjust.hueCos - v * adjust.hueSin;
    const double rv = u * adjust.hueSin + v * adjust.hueCos;
    u = ru * adjust.saturation;
    v = rv * adjust.saturation;
  }
  const double uc = std::clamp(u, -112.0, 112.0);
  const double vc = std::clamp(v, -112.0, 112.0);
  InkPixels ink{};
  ink.u = ClampByte(128.0 + uc);
  ink.v = ClampByte(128.0 + vc);
  for (int p = 0; p < 4; ++p) {
    // Subcarrier at phase p: cos/sin of p quarter turns are 1, 0, -1, 0 and 0, 1, 0, -1.
    double leak = 0;
    if (adjust.leak) {
      constexpr double kLeakGain = 0.45;
      const int cosine = p == 0 ? 1 : (p == 2 ? -1 : 0);
      const int sine = p == 1 ? 1 : (p == 3 ? -1 : 0);
      leak = kLeakGain * (uc * cosine + vc * sine);
    }
    const double luma = std::clamp(y + leak, 16.0, 235.0);
    ink.y[p] = ClampByte(luma);
    PackRgb(format, FromYuv(ink.y[p], ink.u, ink.v), ink.y[p], ink.px[p]);
  }
  return ink;
}

// ---- Layout of the content ----------------------------------------------------------------

struct Layout {
  int width = 0, height = 0;
  int labelScale = 1;  // font pixel size of the card and input names
  // The corner tag: the card and input named on a dark plate at the top-left corner, where a
  // window that shows only the top-left part of the picture at 1:1 still sees it.
  int tagScale = 1;        // font pixel size of the corner tag
  int tagX = 0, tagY = 0;  // top-left corner of the plate
  int barsEnd = 0, labelEnd = 0, rampEnd = 0;
  int boxTop = 0, boxSize = 1, boxStep = 1, boxEdge = 1;
  int counterX = 0, counterY = 0, counterScale = 1;
};

Layout MakeLayout(int width, int height) {
  Layout l;
  l.width = width;
  l.height = height;
  l.labelScale = std::max(1, height / 96);
  l.barsEnd = height * 55 / 100;
  l.labelEnd = height * 80 / 100;
  l.rampEnd = height * 88 / 100;
  l.boxSize = std::max(4, height / 8);
  l.boxTop = height * 15 / 100;
  l.boxStep = std::max(1, width / 96);
  l.boxEdge = std::max(1, l.boxSize / 8);
  l.counterScale = std::max(1, height / 192);
  l.tagScale = std::max(1, height / 192);
  l.tagX = l.tagScale;
  l.tagY = l.tagScale;
  l.counterX = width / 16;
  l.counterY = l.rampEnd + (height - l.rampEnd - font::kGlyphHeight * l.counterScale) / 2;
  return l;
}

// The corner tag's text, e.g. "CARD 3 VIDEO 1".
std::string CornerTag(int cardNumber, const std::string& source) {
  std::string tag = "CARD " + std::to_string(cardNumber) + " " + source;
  for (char& ch : tag) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return tag;
}

std::string SourceName(int type, int number) {
  const std::string n = std::to_string(number + 1);
  switch (type) {
    case QUARN_SOURCE_VIDEO:
      return "Video " + n;
    case QUARN_SOURCE_SVIDEO:
      return "S-Video " + n;
    case QUARN_SOURCE_YCBCR:
      return "YCbCr" + n;
    default:
      return "Input " + n;
  }
}

Rgb SourceTextColour(int type) {
  switch (type) {
    case QUARN_SOURCE_SVIDEO:
      return {235, 235, 40};
    case QUARN_SOURCE_YCBCR:
      return {40, 235, 235};
    default:
      return {235, 235, 235};
  }
}

// Sets the inks of content row `row` where `text` (top-left corner at x, y, font pixels of
// `scale` x `scale`) crosses it.
void DrawTextRow(uint8_t* inks, int width, int row, std::string_view text, int x, int y, int scale,
                 uint8_t ink) {
  if (row < y || row >= y + font::kGlyphHeight * scale) return;
  const int glyphRow = (row - y) / scale;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t bits = font::GlyphRow(text[i], glyphRow);
    if (bits == 0) continue;
    for (int column = 0; column < font::kGlyphWidth; ++column) {
      if (((bits >> (font::kGlyphWidth - 1 - column)) & 1) == 0) continue;
      const int x0 = x + (static_cast<int>(i) * font::kAdvance + column) * scale;
      const int x1 = std::min(width, x0 + scale);
      for (int cx = std::max(0, x0); cx < x1; ++cx) inks[cx] = ink;
    }
  }
}

// What the content depends on; the rows are rebuilt only when one of these changes.
struct ContentKey {
  bool signal = true;
  int width = 0, height = 0;
  int cardNumber = 0, sourceType = 0, sourceNumber = 0;
  bool operator==(const ContentKey&) const = default;
};

// Bytes of the pre-rendered rows are padded so that each one starts 64-byte aligned.
constexpr size_t kRowAlign = 64;

}  // namespace

// ---- Generator state ------------------------------------------------------------------------

namespace render {

// Everything Configure() prepares for Render().
struct State {
  bool valid = false;
  int format = 0, bpp = 0;
  int outW = 0, outH = 0;
  size_t rowBytes = 0;   // packed bytes of one delivered row
  size_t rowStride = 0;  // bytes between pre-rendered rows (aligned)

  // Content: distinct rows of inks (content width each) and the distinct row of each content row.
  bool haveContent = false;
  ContentKey key;
  Layout layout;
  std::vector<uint8_t> rowInks;     // distinct rows x width; row 0 is all kBlank
  std::vector<uint16_t> rowOfLine;  // content row -> distinct row

  // Geometry: output column -> content column, output row -> picture row (-1: blanking).
  std::vector<int> columnMap;
  std::vector<int> rowMap;
  bool rolling = false;
  int rollPeriod = 1;     // content rows plus the blanking bar
  int rollStep = 0;       // rows the picture moves per frame
  bool animated = false;  // moving box and counter (not on the no-signal picture)

  InkPixels inks[kInkCount]{};
  bool leak = false;
  // Pre-rendered rows: for distinct row d and line phase p at (d * 2 + p) * rowStride, in the
  // generator's scratch buffer.
};

}  // namespace render

struct PictureGenerator::Cache : render::State {};

namespace {

using render::State;

// Output columns that WriteSegment really writes for [o0, o1).
void WrittenRange(const State& c, int* o0, int* o1) {
  if (c.format == QUARN_FORMAT_YUV422) {
    *o0 &= ~1;
    *o1 = std::min(c.outW, (*o1 + 1) & ~1);
  }
}

// Writes output pixels [o0, o1) of one row from `inkAt(ox)`; the line phase `phase` (0/1) sets
// the chroma leak's subcarrier phase. For YUV422 the range is widened to whole pixel pairs,
// because both pixels of a pair share their chroma.
template <typename InkAt>
void WriteSegment(const State& c, uint8_t* row, int o0, int o1, int phase, InkAt inkAt) {
  const int pix = phase * 2;
  if (c.format == QUARN_FORMAT_YUV422) {
    WrittenRange(c, &o0, &o1);
    for (int ox = o0; ox < o1; ox += 2) {
      const InkPixels& a = c.inks[inkAt(ox)];
      uint8_t* out = row + static_cast<size_t>(ox) * 2;
      out[0] = a.y[(ox + pix) & 3];
      if (ox + 1 < c.outW) {
        const InkPixels& b = c.inks[inkAt(ox + 1)];
        out[1] = static_cast<uint8_t>((a.u + b.u + 1) / 2);
        out[2] = b.y[(ox + 1 + pix) & 3];
        out[3] = static_cast<uint8_t>((a.v + b.v + 1) / 2);
      } else {
        out[1] = a.u;  // a lone last pixel of an odd width keeps Y and U
      }
    }
    return;
  }
  const auto bpp = static_cast<size_t>(c.bpp);
  for (int ox = o0; ox < o1; ++ox) {
    std::memcpy(row + static_cast<size_t>(ox) * bpp, c.inks[inkAt(ox)].px[(ox + pix) & 3], bpp);
  }
}

// The last delivered row an overlay was drawn on, and what decided its pixels there; a later
// row with the same key gets a copy of those bytes instead of being drawn pixel by pixel.
struct OverlayMemo {
  int64_t key = -1;
  const uint8_t* row = nullptr;
};

template <typename InkAt>
void DrawOverlay(const State& c, uint8_t* out, int o0, int o1, int phase, int64_t key,
                 OverlayMemo& memo, InkAt inkAt) {
  if (memo.key == key) {
    int w0 = o0, w1 = o1;
    WrittenRange(c, &w0, &w1);
    const auto bpp = static_cast<size_t>(c.bpp);
    std::memcpy(out + static_cast<size_t>(w0) * bpp, memo.row + static_cast<size_t>(w0) * bpp,
                static_cast<size_t>(w1 - w0) * bpp);
    return;
  }
  WriteSegment(c, out, o0, o1, phase, inkAt);
  memo = {key, out};
}

// Content ink at content column cx of content row cy (cx, cy inside the content).
inline uint8_t BaseInk(const State& c, int cx, int cy) {
  return c.rowInks[static_cast<size_t>(c.rowOfLine[static_cast<size_t>(cy)]) *
                       static_cast<size_t>(c.layout.width) +
                   static_cast<size_t>(cx)];
}

// Output columns [first, last) whose content column lies in [x0, x1); first == last if none.
void OutputSpan(const State& c, int x0, int x1, int* first, int* last) {
  *first = c.outW;
  *last = 0;
  for (int ox = 0; ox < c.outW; ++ox) {
    const int cx = c.columnMap[static_cast<size_t>(ox)];
    if (cx >= x0 && cx < x1) {
      *first = std::min(*first, ox);
      *last = ox + 1;
    }
  }
  if (*first >= *last) *first = *last = 0;
}

void BuildContent(State& c, const ContentKey& key) {
  const Layout l = MakeLayout(key.width, key.height);
  const int w = key.width;
  c.layout = l;
  c.rowInks.assign(static_cast<size_t>(w), kBlank);  // distinct row 0: blanking
  c.rowOfLine.assign(static_cast<size_t>(key.height), 0);
  std::vector<uint8_t> row(static_cast<size_t>(w));

  const std::string card = "Card " + std::to_string(key.cardNumber);
  const std::string source = SourceName(key.sourceType, key.sourceNumber);
  const int s = l.labelScale;
  const int lineHeight = font::kGlyphHeight * s;
  // The corner tag's plate: the text with one font pixel of margin all round.
  const std::string tag = CornerTag(key.cardNumber, source);
  const int ts = l.tagScale;
  const int plateRight = std::min(w, l.tagX + (font::TextWidth(tag) + 2) * ts);
  const int plateBottom = l.tagY + (font::kGlyphHeight + 2) * ts;

  for (int cy = 0; cy < key.height; ++cy) {
    uint8_t* inks = row.data();
    if (!key.signal) {
      // Flat dark picture with the reason in the middle and the card and input below it.
      std::fill(row.begin(), row.end(), kBackground);
      const int big = s + s / 2;
      const std::string_view title = "NO SIGNAL";
      const int titleY = key.height * 36 / 100;
      DrawTextRow(inks, w, cy, title, (w - font::TextWidth(title) * big) / 2, titleY, big,
                  kLabelText);
      const int cardY = titleY + font::kGlyphHeight * big + 3 * s;
      DrawTextRow(inks, w, cy, card, (w - font::TextWidth(card) * s) / 2, cardY, s, kLabelText);
      DrawTextRow(inks, w, cy, source, (w - font::TextWidth(source) * s) / 2,
                  cardY + lineHeight + 2 * s, s, kLabelText);
    } else if (cy < l.barsEnd) {
      for (int cx = 0; cx < w; ++cx) inks[cx] = static_cast<uint8_t>(kBarFirst + cx * kBars / w);
    } else if (cy < l.labelEnd) {
      std::fill(row.begin(), row.end(), kBackground);
      // A block in the card's own colour at the right, so cards differ at a glance.
      if (cy >= l.barsEnd + 2 * s && cy < l.labelEnd - 2 * s) {
        std::fill(inks + w - w / 4, inks + w - w / 16, kCardTag);
      }
      const int firstLine = l.barsEnd + 2 * s;
      DrawTextRow(inks, w, cy, card, w / 16, firstLine, s, kLabelText);
      DrawTextRow(inks, w, cy, source, w / 16, firstLine + lineHeight + 2 * s, s, kLabelText);
    } else if (cy < l.rampEnd) {
      for (int cx = 0; cx < w; ++cx) {
        inks[cx] = static_cast<uint8_t>(kRampFirst + cx * kRampSteps / w);
      }
    } else {
      std::fill(row.begin(), row.end(), kBackground);
      const std::string_view standard = key.height == QUARN_PAL_HEIGHT ? "PAL" : "NTSC";
      const int sc = l.counterScale;
      DrawTextRow(inks, w, cy, standard, w - w / 16 - font::TextWidth(standard) * sc, l.counterY,
                  sc, kLabelText);
    }
    if (cy >= l.tagY && cy < plateBottom) {
      std::fill(inks + l.tagX, inks + plateRight, kBackground);
      DrawTextRow(inks, w, cy, tag, l.tagX + ts, l.tagY + ts, ts, kLabelText);
    }
    // Consecutive equal rows share one distinct row.
    const size_t last = c.rowInks.size() / static_cast<size_t>(w) - 1;
    if (cy > 0 && last > 0 && std::equal(row.begin(), row.end(), c.rowInks.end() - w)) {
      c.rowOfLine[static_cast<size_t>(cy)] = static_cast<uint16_t>(last);
    } else {
      c.rowInks.insert(c.rowInks.end(), row.begin(), row.end());
      c.rowOfLine[static_cast<size_t>(cy)] = static_cast<uint16_t>(last + 1);
    }
  }
  c.key = key;
  c.haveContent = true;
}

void BuildInks(State& c, const PictureParams& p, const ContentKey& key) {
  Adjust adjust;
  adjust.enabled = key.signal;
  if (key.signal) {
    adjust.brightness = p.brightness - 128.0;
    adjust.contrast = p.contrast / 128.0;
    adjust.saturation = p.saturation / 128.0;
    const double angle = (p.hue - 128.0) * std::numbers::pi / 128.0;
    adjust.hueCos = std::cos(angle);
    adjust.hueSin = std::sin(angle);
    adjust.leak = p.chromaTrap == 0;
  }
  c.leak = adjust.leak;
  const int f = c.format;
  c.inks[kBlank] = BlankInk(f);
  for (int i = 0; i < kBars; ++i) c.inks[kBarFirst + i] = MakeInk(f, kBarColours[i], adjust);
  if (key.signal) {
    c.inks[kBackground] = MakeInk(f, {16, 16, 16}, adjust);
    c.inks[kLabelText] = MakeInk(f, SourceTextColour(key.sourceType), adjust);
  } else {
    c.inks[kBackground] = MakeInk(f, {16, 24, 112}, adjust);
    c.inks[kLabelText] = MakeInk(f, {200, 200, 200}, adjust);
  }
  c.inks[kCardTag] = MakeInk(f, FromHue((key.cardNumber - 1) * 67, 0.85), adjust);
  for (int i = 0; i < kRampSteps; ++i) {
    const int v = i * 255 / (kRampSteps - 1);
    c.inks[kRampFirst + i] = MakeInk(f, {v, v, v}, adjust);
  }
  c.inks[kBoxEdge] = MakeInk(f, {0, 0, 0}, adjust);
  c.inks[kBoxFill] = MakeInk(f, {255, 255, 255}, adjust);
  c.inks[kCounterText] = MakeInk(f, {235, 235, 235}, adjust);
}

}  // namespace

PictureGenerator::PictureGenerator() : cache_(std::make_unique<Cache>()) {
  Configure(params_);
}

PictureGenerator::~PictureGenerator() = default;

void PictureGenerator::Configure(const PictureParams& params) {
  params_ = params;
  Cache& c = *cache_;
  c.valid = false;
  const PictureParams& p = params_;
  c.format = p.format;
  c.bpp = BytesPerPixel(p.format);
  if (c.bpp == 0 || p.outputWidth < 1 || p.outputWidth > kMaxWidth || p.outputHeight < 1 ||
      p.outputHeight > kMaxHeight) {
    return;  // Render() delivers nothing until the parameters make sense
  }
  c.outW = p.outputWidth;
  c.outH = p.outputHeight;
  c.rowBytes = static_cast<size_t>(c.outW) * static_cast<size_t>(c.bpp);
  c.rowStride = (c.rowBytes + kRowAlign - 1) / kRowAlign * kRowAlign;

  const bool ntsc = p.standard == QUARN_STANDARD_NTSC;
  ContentKey key;
  key.signal = p.signal;
  key.width = ntsc ? QUARN_NTSC_WIDTH : QUARN_PAL_WIDTH;
  key.height = ntsc ? QUARN_NTSC_HEIGHT : QUARN_PAL_HEIGHT;
  key.cardNumber = p.cardNumber;
  key.sourceType = p.sourceType;
  key.sourceNumber = p.sourceNumber;
  if (!c.haveContent || !(c.key == key)) BuildContent(c, key);
  BuildInks(c, p, key);

  // Geometry, followed backwards from a delivered pixel: the delivered picture may be mirrored;
  // it is the input window scaled to the output size; the window looks at the sampled picture
  // shifted by the delay; the sampling clock (PLL) stretches or squeezes the content. The
  // no-signal picture is made after all that, so it only follows the output size.
  const int width = key.width, height = key.height;
  int inX = 0, inY = 0, inW = width, inH = height, delayX = 0, delayY = 0;
  bool mirrorH = false, mirrorV = false;
  double stretch = 1.0;
  if (p.signal) {
    constexpr int kFar = 1 << 16;  // beyond any picture; keeps the arithmetic far from overflow
    inX = std::clamp(p.inputX, -kFar, kFar);
    inY = std::clamp(p.inputY, -kFar, kFar);
    inW = std::clamp(p.inputWidth, 1, kFar);
    inH = std::clamp(p.inputHeight, 1, kFar);
    delayX = std::clamp(p.delayX, -kFar, kFar);
    delayY = std::clamp(p.delayY, -kFar, kFar);
    mirrorH = p.mirrorHorizontal;
    mirrorV = p.mirrorVertical;
    // 245 samples the line at the right rate; each 48 steps off doubles or halves the width.
    stretch = std::exp2((p.pll - 245) / 48.0);
  }
  c.columnMap.resize(static_cast<size_t>(c.outW));
  for (int ox = 0; ox < c.outW; ++ox) {
    const int ux = mirrorH ? c.outW - 1 - ox : ox;
    const int px = inX + static_cast<int>(int64_t{ux} * inW / c.outW) - delayX;
    int cx = -1;
    if (px >= 0 && px < width) {
      cx = static_cast<int>(std::floor(px / stretch));
      if (cx >= width) cx = -1;
    }
    c.columnMap[static_cast<size_t>(ox)] = cx;
  }
  c.rowMap.resize(static_cast<size_t>(c.outH));
  for (int oy = 0; oy < c.outH; ++oy) {
    const int uy = mirrorV ? c.outH - 1 - oy : oy;
    const int py = inY + static_cast<int>(int64_t{uy} * inH / c.outH) - delayY;
    c.rowMap[static_cast<size_t>(oy)] = py >= 0 && py < height ? py : -1;
  }
  // The wrong crystal for the standard: the picture never locks vertically and rolls, showing
  // the vertical blanking as a black bar.
  const int rightCrystal = ntsc ? QUARN_CRYSTAL_28M : QUARN_CRYSTAL_35M;
  c.rolling = p.signal && p.crystal != rightCrystal;
  c.rollPeriod = height + height / 12;
  c.rollStep = std::max(1, height / 48);
  c.animated = p.signal;

  // Pre-render every distinct content row in both line phases.
  const size_t distinct = c.rowInks.size() / static_cast<size_t>(width);
  scratch_.resize(distinct * 2 * c.rowStride);
  for (size_t d = 0; d < distinct; ++d) {
    const uint8_t* inks = c.rowInks.data() + d * static_cast<size_t>(width);
    for (int phase = 0; phase < 2; ++phase) {
      uint8_t* out = scratch_.data() + (d * 2 + static_cast<size_t>(phase)) * c.rowStride;
      WriteSegment(c, out, 0, c.outW, phase, [&](int ox) -> uint8_t {
        const int cx = c.columnMap[static_cast<size_t>(ox)];
        return cx < 0 ? uint8_t{kBlank} : inks[cx];
      });
    }
  }
  c.valid = true;
}

namespace {

// Index of the first set bit at or after x in a mask row, or `limit` when there is none.
int NextBit(const uint64_t* words, int x, int limit, bool set) {
  while (x < limit) {
    const int word = x / 64;
    uint64_t bits = words[word];
    if (!set) bits = ~bits;
    bits &= ~uint64_t{0} << (x % 64);
    if (bits != 0) return std::min(limit, word * 64 + std::countr_zero(bits));
    x = (word + 1) * 64;
  }
  return limit;
}

}  // namespace

size_t PictureGenerator::Render(uint32_t frameNumber, Lines lines, const PixelMask* mask,
                                uint8_t* dst) {
  const Cache& c = *cache_;
  if (!c.valid || dst == nullptr) return 0;
  const int count = lines == Lines::kAll ? c.outH : c.outH / 2;
  const int firstLine = lines == Lines::kOdd ? 1 : 0;
  const int lineStep = lines == Lines::kAll ? 1 : 2;
  const Layout& l = c.layout;
  const size_t blankRow = 0;  // distinct row 0 is all blanking

  // Per-frame elements in content coordinates, and the output columns they cover.
  const int roll =
      c.rolling ? static_cast<int>(uint64_t{frameNumber} * static_cast<uint64_t>(c.rollStep) %
                                   static_cast<uint64_t>(c.rollPeriod))
                : 0;
  const int boxTravel = l.width + l.boxSize;
  const int boxX = static_cast<int>(uint64_t{frameNumber} * static_cast<uint64_t>(l.boxStep) %
                                    static_cast<uint64_t>(boxTravel)) -
                   l.boxSize;
  int boxFirst = 0, boxLast = 0;
  char counterText[24] = "Frame ";
  const auto counted =
      std::to_chars(counterText + 6, counterText + sizeof counterText, frameNumber);
  const std::string_view counter(counterText, static_cast<size_t>(counted.ptr - counterText));
  const int counterW = font::TextWidth(counter) * l.counterScale;
  int counterFirst = 0, counterLast = 0;
  if (c.animated) {
    OutputSpan(c, boxX, boxX + l.boxSize, &boxFirst, &boxLast);
    OutputSpan(c, l.counterX, l.counterX + counterW, &counterFirst, &counterLast);
  }
  const uint8_t* blackRow = scratch_.data() + blankRow * c.rowStride;
  const bool masking = params_.maskEnabled && mask != nullptr;
  // One memo per line phase: consecutive lines alternate phases when chroma leaks into luma.
  OverlayMemo boxMemo[2], counterMemo[2];
  const int phaseMask = c.leak ? 1 : 0;

  for (int k = 0; k < count; ++k) {
    const int oy = firstLine + k * lineStep;
    const int phase = oy & phaseMask;
    int cy = c.rowMap[static_cast<size_t>(oy)];
    if (cy >= 0 && c.rolling) {
      cy = (cy + roll) % c.rollPeriod;
      if (cy >= l.height) cy = -1;
    }
    uint8_t* out = dst + static_cast<size_t>(k) * c.rowBytes;
    const size_t distinct = cy < 0 ? blankRow : c.rowOfLine[static_cast<size_t>(cy)];
    std::memcpy(out, scratch_.data() + (distinct * 2 + static_cast<size_t>(phase)) * c.rowStride,
                c.rowBytes);

    if (cy >= 0 && boxFirst < boxLast && cy >= l.boxTop && cy < l.boxTop + l.boxSize) {
      // The moving box: a white square with a black edge, travelling left to right.
      const int by = cy - l.boxTop;
      const bool edgeRow = by < l.boxEdge || by >= l.boxSize - l.boxEdge;
      const int64_t key = (static_cast<int64_t>(distinct) * 2 + (edgeRow ? 1 : 0)) * 2 + phase;
      DrawOverlay(c, out, boxFirst, boxLast, phase, key, boxMemo[phase], [&](int ox) -> uint8_t {
        const int cx = c.columnMap[static_cast<size_t>(ox)];
        if (cx < 0) return kBlank;
        const int bx = cx - boxX;
        if (bx < 0 || bx >= l.boxSize) return BaseInk(c, cx, cy);
        const bool edge = edgeRow || bx < l.boxEdge || bx >= l.boxSize - l.boxEdge;
        return edge ? uint8_t{kBoxEdge} : uint8_t{kBoxFill};
      });
    }
    if (cy >= 0 && counterFirst < counterLast && cy >= l.counterY &&
        cy < l.counterY + font::kGlyphHeight * l.counterScale) {
      const int glyphRow = (cy - l.counterY) / l.counterScale;
      const int64_t key =
          (static_cast<int64_t>(distinct) * font::kGlyphHeight + glyphRow) * 2 + phase;
      DrawOverlay(c, out, counterFirst, counterLast, phase, key, counterMemo[phase],
                  [&](int ox) -> uint8_t {
                    const int cx = c.columnMap[static_cast<size_t>(ox)];
                    if (cx < 0) return kBlank;
                    const int fx = (cx - l.counterX) / l.counterScale;
                    if (cx < l.counterX || fx >= font::TextWidth(counter))
                      return BaseInk(c, cx, cy);
                    const char ch = counter[static_cast<size_t>(fx / font::kAdvance)];
                    return font::GlyphPixel(ch, fx % font::kAdvance, glyphRow)
                               ? uint8_t{kCounterText}
                               : BaseInk(c, cx, cy);
                  });
    }
    if (masking && k < kMaxHeight && mask->RowHasMasked(k)) {
      // Masked pixels are black; in YUV422 a pair with a masked pixel loses its chroma, since
      // the black pixel would otherwise take on its neighbour's colour.
      const uint64_t* bits = mask->RowBits(k);
      const auto bpp = static_cast<size_t>(c.bpp);
      // This row is no longer a clean copy of its overlays.
      for (OverlayMemo* memo : {&boxMemo[phase], &counterMemo[phase]}) {
        if (memo->row == out) memo->key = -1;
      }
      for (int x0 = NextBit(bits, 0, c.outW, true); x0 < c.outW;) {
        const int x1 = NextBit(bits, x0, c.outW, false);
        std::memcpy(out + static_cast<size_t>(x0) * bpp, blackRow + static_cast<size_t>(x0) * bpp,
                    static_cast<size_t>(x1 - x0) * bpp);
        if (c.format == QUARN_FORMAT_YUV422) {
          if ((x0 & 1) != 0) out[static_cast<size_t>(x0 - 1) * 2 + 1] = 128;
          if ((x1 & 1) != 0 && x1 < c.outW) out[static_cast<size_t>(x1 - 1) * 2 + 3] = 128;
        }
        x0 = NextBit(bits, x1, c.outW, true);
      }
    }
  }
  return static_cast<size_t>(count) * c.rowBytes;
}

}  // namespace quarnsim
