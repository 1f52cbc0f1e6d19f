// bmp_corpus.cpp - the seed files: small pictures written with WriteBmpFile, then copies of them
// with header fields changed or the end cut off.
#include "bmp_corpus.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "bmp_file.h"

namespace {

namespace fs = std::filesystem;

// File offsets of the fields the broken files change.
constexpr size_t kPixelOffsetAt = 10;
constexpr size_t kWidthAt = 18;
constexpr size_t kHeightAt = 22;
constexpr size_t kBitCountAt = 28;
constexpr size_t kCompressionAt = 30;

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;

using Bytes = std::vector<uint8_t>;

BITMAPINFO Description(int32_t width, int32_t height, uint16_t bitCount) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biBitCount = bitCount;
  for (int i = 0; i < 256; ++i) {
    // Not the grey ramp of a fresh description, so that a palette read shows.
    const auto v = static_cast<uint8_t>(255 - i);
    info.bmiColors[i] = {v, static_cast<uint8_t>(i), v, 0};
  }
  return info;
}

void Put32(Bytes& file, size_t at, uint32_t value) {
  if (file.size() < at + 4) file.resize(at + 4);
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Put16(Bytes& file, size_t at, uint16_t value) {
  if (file.size() < at + 2) file.resize(at + 2);
  file[at] = static_cast<uint8_t>(value);
  file[at + 1] = static_cast<uint8_t>(value >> 8);
}

class CorpusWriter {
 public:
  explicit CorpusWriter(fs::path folder) : folder_(std::move(folder)) {}

  // A picture as WriteBmpFile writes it, with a pattern in its pixels; empty on failure.
  Bytes Written(const std::string& name, int32_t width, int32_t height, uint16_t bitCount,
                bool accepted = true) {
    const BITMAPINFO info = Description(width, height, bitCount);
    const std::optional<uint64_t> size = BmpPixelBytes(info.bmiHeader);
    Bytes pixels(size.value_or(0));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / 97);
    const fs::path path = folder_ / name;
    if (!WriteBmpFile(path, info, pixels)) {
      ok_ = false;
      return {};
    }
    std::ifstream in(path, std::ios::binary);
    Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    seeds_.push_back({name, accepted});
    return file;
  }

  void Add(const std::string& name, const Bytes& file, bool accepted) {
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) ok_ = false;
    seeds_.push_back({name, accepted});
  }

  // A copy of `file` changed by `edit`.
  void AddEdited(const std::string& name, Bytes file, const std::function<void(Bytes&)>& edit,
                 bool accepted) {
    edit(file);
    Add(name, file, accepted);
  }

  std::vector<BmpSeed> Result() const { return ok_ ? seeds_ : std::vector<BmpSeed>{}; }

 private:
  fs::path folder_;
  std::vector<BmpSeed> seeds_;
  bool ok_ = true;
};

}  // namespace

std::vector<BmpSeed> WriteBmpSeedCorpus(const fs::path& folder) {
  CorpusWriter corpus(folder);

  // Every depth the writer makes; odd widths pad their rows.
  const Bytes eight = corpus.Written("ok-8bit-13x5.bmp", 13, 5, 8);
  corpus.Written("ok-8bit-16x8.bmp", 16, 8, 8);
  corpus.Written("ok-1bit-13x5.bmp", 13, 5, 1);
  corpus.Written("ok-4bit-13x5.bmp", 13, 5, 4);
  corpus.Written("ok-15bit-13x5.bmp", 13, 5, 15);
  corpus.Written("ok-16bit-13x5.bmp", 13, 5, 16);
  const Bytes twentyFour = corpus.Written("ok-24bit-13x5.bmp", 13, 5, 24);
  corpus.Written("ok-32bit-13x5.bmp", 13, 5, 32);
  corpus.Written("ok-24bit-766x2.bmp", 766, 2, 24);
  corpus.Written("ok-24bit-768x3.bmp", 768, 3, 24);
  if (eight.size() < 1078 || twentyFour.size() < 54) return {};

  // Top-down (negative height) and negative widths count as too large.
  const auto setSize = [](int32_t width, int32_t height) {
    return [=](Bytes& f) {
      Put32(f, kWidthAt, static_cast<uint32_t>(width));
      Put32(f, kHeightAt, static_cast<uint32_t>(height));
    };
  };
  corpus.AddEdited("bad-topdown-24bit.bmp", twentyFour, setSize(13, -5), false);
  corpus.AddEdited("bad-topdown-8bit.bmp", eight, setSize(13, -5), false);
  corpus.AddEdited("bad-negative-width.bmp", twentyFour, setSize(-13, 5), false);
  corpus.AddEdited("bad-both-negative.bmp", twentyFour, setSize(-768, -576), false);
  corpus.AddEdited("bad-height-int-min.bmp", twentyFour, setSize(13, INT32_MIN), false);

  // Compressed and odd depths: read as they are; the drawing code refuses them.
  const auto setDepth = [](uint16_t bitCount, uint32_t compression) {
    return [=](Bytes& f) {
      Put16(f, kBitCountAt, bitCount);
      Put32(f, kCompressionAt, compression);
    };
  };
  corpus.AddEdited("ok-rle8.bmp", eight, setDepth(8, kRle8), true);
  corpus.AddEdited("ok-rle4.bmp", eight, setDepth(4, kRle4), true);
  // Depth 0: refused with a size (no pixel data to check it against), read at 0 x 0.
  corpus.AddEdited("bad-0bit.bmp", twentyFour, setDepth(0, 0), false);
  corpus.AddEdited(
      "ok-0bit-0x0.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(0, 0)(f);
        setDepth(0, 0)(f);
      },
      true);
  corpus.AddEdited("ok-7bit.bmp", twentyFour, setDepth(7, 0), true);
  corpus.AddEdited("ok-64bit.bmp", twentyFour, setDepth(64, 0), true);
  corpus.AddEdited(
      "ok-65535bit-1x1.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(1, 1)(f);
        setDepth(65535, 0)(f);
      },
      true);

  // Cut at each boundary: the file header, the info header, the palette. Only a file without
  // its "BM" is refused; the fields a short file does not reach keep their values.
  for (const size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{14}, size_t{30}, size_t{54},
                              size_t{54 + 1024}, size_t{54 + 1024 + 20}}) {
    const Bytes cut(eight.begin(), eight.begin() + static_cast<std::ptrdiff_t>(length));
    corpus.Add("cut-8bit-at-" + std::to_string(length) + ".bmp", cut, length >= 2);
  }
  corpus.Add("cut-24bit-at-54.bmp", Bytes(twentyFour.begin(), twentyFour.begin() + 54), true);
  corpus.AddEdited(
      "bad-magic-MB.bmp", eight, [](Bytes& f) { std::swap(f[0], f[1]); }, false);
  corpus.AddEdited(
      "bad-magic-BA.bmp", eight, [](Bytes& f) { f[1] = 'A'; }, false);

  // Huge dimensions, whose sizes overflow 32 bits (or 64) or just miss the buffer.
  corpus.AddEdited(
      "bad-huge-32bit.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(INT32_MAX, INT32_MAX)(f);
        setDepth(32, 0)(f);
      },
      false);
  corpus.AddEdited("bad-wraps-32-bits.bmp", eight, setSize(65536, 65536), false);
  corpus.AddEdited(
      "bad-65535bit-huge.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(INT32_MAX, INT32_MAX)(f);
        setDepth(65535, 0)(f);
      },
      false);
  corpus.AddEdited(
      "bad-one-row-too-many.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(768, 577)(f);
        setDepth(32, 0)(f);
      },
      false);
  corpus.AddEdited(
      "ok-pal-32bit-header-only.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(768, 576)(f);
        setDepth(32, 0)(f);
      },
      true);
  // 15-bit rows as drawn (16 bits a pixel) are 2 bytes longer than S says for odd widths.
  corpus.AddEdited(
      "bad-15bit-drawn-rows-too-long.bmp", twentyFour,
      [&](Bytes& f) {
        setSize(17, 49153)(f);
        setDepth(15, 0)(f);
      },
      false);

  // Pixel offsets: inside the headers, at their end, partway into the palette, past it.
  const auto setOffset = [](uint32_t offset) {
    return [=](Bytes& f) { Put32(f, kPixelOffsetAt, offset); };
  };
  for (const uint32_t offset : {0u, 20u, 54u, 62u, 1078u + 500u, 0xFFFFFFFFu}) {
    corpus.AddEdited("offset-8bit-" + std::to_string(offset) + ".bmp", eight, setOffset(offset),
                     true);
  }
  corpus.AddEdited("offset-24bit-1078.bmp", twentyFour, setOffset(1078), true);
  return corpus.Result();
}
