// picture.h - the simulated card's frame generator: a moving, recognisable test picture per card
// and input that reacts to every acquisition parameter, rendered straight into a stored-frame
// format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quarnsim {

// Largest picture the card can deliver (PAL image size); masks and windows are bounded by it.
inline constexpr int kMaxWidth = 768;
inline constexpr int kMaxHeight = 576;

// Which lines of the full output frame a delivered frame holds.
enum class Lines {
  kAll,   // every line: outputHeight lines
  kEven,  // first field: lines 0, 2, 4, ...: outputHeight / 2 lines
  kOdd,   // second field: lines 1, 3, 5, ...: outputHeight / 2 lines
};

// Per-pixel mask in delivered-picture coordinates (x < kMaxWidth, y < kMaxHeight).
class PixelMask {
 public:
  // Returns false (and changes nothing) for a pixel outside the mask's area.
  bool Set(int x, int y, bool masked);
  bool Get(int x, int y) const;
  // True when at least one pixel of row y is masked (cheap: rows without masked pixels are
  // skipped while rendering).
  bool RowHasMasked(int y) const;

  // Words of one mask row: bit (x % 64) of word (x / 64) is pixel x.
  static constexpr int kWordsPerRow = kMaxWidth / 64;
  // The kWordsPerRow words of row y (0 <= y < kMaxHeight), for renderers that walk runs of
  // masked pixels instead of asking pixel by pixel.
  const uint64_t* RowBits(int y) const { return &bits_[static_cast<size_t>(y) * kWordsPerRow]; }

 private:
  std::array<uint64_t, kWordsPerRow * kMaxHeight> bits_{};
  std::array<uint16_t, kMaxHeight> rowCounts_{};
};

// Everything the picture depends on, as last accepted by the card.
struct PictureParams {
  int cardNumber = 1;  // from 1; shown in the picture
  int sourceType = 0;  // QUARN_SOURCE_*
  int sourceNumber = 0;
  bool signal = true;  // false: a flat "no signal" picture
  int standard = 0;    // QUARN_STANDARD_*: image 768 x 576 or 640 x 480
  int format = 1;      // QUARN_FORMAT_*
  int crystal = 0;     // QUARN_CRYSTAL_*; the wrong one for the standard makes the picture roll
  uint8_t brightness = 128;
  uint8_t contrast = 128;
  uint8_t hue = 128;
  uint8_t saturation = 128;
  uint8_t pll = 245;  // off 245 the picture is stretched or squeezed horizontally
  int inputX = 0, inputY = 0, inputWidth = 768, inputHeight = 576;  // image pixels
  int outputWidth = 768, outputHeight = 576;                        // full (frame) output size
  int delayX = 0, delayY = 0;                                       // shift the sampled picture
  bool mirrorHorizontal = false;
  bool mirrorVertical = false;
  uint8_t chromaTrap = 1;  // 0: chroma leaks into luma as a fine dot pattern
  bool maskEnabled = false;
};

// Bytes per pixel of a stored frame in `format` ((bits + 7) / 8); 0 for an unknown format.
int BytesPerPixel(int format);
// Bits per pixel of `format` as the programs count them (16, 24, 16, 15, 32, 8, 8); 0 if unknown.
int BitsPerPixel(int format);
// Bytes of one packed stored frame (no row padding).
size_t PackedFrameBytes(int format, int width, int height);

// Renders frames for one card. Configure() does the per-parameter work once (colour tables, row
// templates, coordinate maps) so that Render() costs about as much as writing the frame.
// Not thread-safe: one generator per card, used by one thread at a time.
class PictureGenerator {
 public:
  PictureGenerator();
  ~PictureGenerator();
  PictureGenerator(const PictureGenerator&) = delete;
  PictureGenerator& operator=(const PictureGenerator&) = delete;

  void Configure(const PictureParams& params);
  const PictureParams& params() const { return params_; }

  // Renders frame number `frameNumber` (it drives the moving element, the frame counter and,
  // with the wrong crystal, the roll) as packed rows in params().format, top row first, into
  // dst, which holds at least PackedFrameBytes(format, outputWidth, lines) bytes where lines is
  // outputHeight for Lines::kAll and outputHeight / 2 otherwise. Masked pixels are black while
  // the mask is enabled. Returns the bytes written.
  size_t Render(uint32_t frameNumber, Lines lines, const PixelMask* mask, uint8_t* dst);

 private:
  struct Cache;
  PictureParams params_;
  std::vector<uint8_t> scratch_;
  std::unique_ptr<Cache> cache_;  // see picture.cpp (kept opaque so the header stays small)
};

}  // namespace quarnsim
