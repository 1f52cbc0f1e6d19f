// bmp_read_test.cpp - ReadBmpFile: written files read back alike, every rejection leaving the
// description and buffer as they were, the palette region kept inside the palette area, the
// pixel data's start at each depth, and short files leaving what they do not reach.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "bmp_file.h"
#include "bmp_test_util.h"

namespace {

using namespace bmptest;

constexpr uint8_t kOldByte = 0xEE;

void Put32(Bytes& file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The file header and 40-byte header of a picture, followed by `tail`.
Bytes MakeFile(int32_t width, int32_t height, uint16_t bits, uint32_t offset, const Bytes& tail) {
  Bytes file(54 + tail.size(), 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, static_cast<uint32_t>(54 + tail.size()));
  Put32(file, 10, offset);
  Put32(file, 14, 40);
  Put32(file, 18, static_cast<uint32_t>(width));
  Put32(file, 22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = static_cast<uint8_t>(bits);
  file[29] = static_cast<uint8_t>(bits >> 8);
  std::copy(tail.begin(), tail.end(), file.begin() + 54);
  return file;
}

// The picture a card held before the read: not the file's in any byte.
BITMAPINFO OldDescription() {
  BITMAPINFO info = Description(16, 8, 32);
  for (int i = 0; i < 256; ++i) info.bmiColors[i] = {7, 7, static_cast<uint8_t>(i), 7};
  return info;
}

TEST(ReadBmpFile, ReadsBackWhatWasWritten) {
  const std::vector<std::tuple<int32_t, int32_t, uint16_t>> table = {
      {13, 5, 1},  {13, 5, 4},  {13, 5, 8},   {13, 5, 15},   {13, 5, 16},
      {13, 5, 24}, {13, 5, 32}, {766, 2, 24}, {768, 576, 32}};
  for (const auto& [width, height, bits] : table) {
    TempFolder folder;
    BITMAPINFO written = Description(width, height, bits);
    written.bmiHeader.biYPelsPerMeter = 3780;
    for (int i = 0; i < 256; ++i) written.bmiColors[i] = {static_cast<uint8_t>(i), 1, 2, 0};
    const Bytes pixels = Pattern(kDisplayBytes, 3);
    ASSERT_TRUE(WriteBmpFile(folder / "f.bmp", written, pixels));

    BITMAPINFO read = OldDescription();
    const BITMAPINFO old = read;
    Bytes buffer(kDisplayBytes, kOldByte);
    ASSERT_TRUE(ReadBmpFile(folder / "f.bmp", read, buffer)) << width << "x" << bits;
    EXPECT_EQ(std::memcmp(&read.bmiHeader, &written.bmiHeader, 40), 0) << bits;
    // Deeper pictures carry no palette: the old one stays.
    const BITMAPINFO& palette = bits <= 8 ? written : old;
    EXPECT_EQ(std::memcmp(read.bmiColors, palette.bmiColors, 1024), 0) << bits;
    const auto pixelBytes = static_cast<std::ptrdiff_t>(*BmpPixelBytes(written.bmiHeader));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + pixelBytes, pixels.begin())) << bits;
    EXPECT_TRUE(std::all_of(buffer.begin() + pixelBytes, buffer.end(), [](uint8_t b) {
      return b == kOldByte;
    })) << bits;
  }
}

// Each of these is refused before anything of the description or buffer changes, so the window
// never draws the buffer with a header that describes more than it holds. The sizes are those
// the file names, computed without overflow.
TEST(ReadBmpFile, RejectionsLeaveDescriptionAndBufferUnchanged) {
  const Bytes rows = Pattern(4000);
  const Bytes good = MakeFile(13, 5, 24, 54, rows);
  const auto edited = [&good](const std::function<void(Bytes&)>& edit) {
    Bytes file = good;
    edit(file);
    return file;
  };
  const auto sized = [&rows](int32_t w, int32_t h, uint16_t bits) {
    return MakeFile(w, h, bits, 54, rows);
  };
  const std::vector<std::pair<const char*, Bytes>> table = {
      {"empty file", {}},
      {"one byte", {'B'}},
      {"MB", edited([](Bytes& f) { std::swap(f[0], f[1]); })},
      {"BA", edited([](Bytes& f) { f[1] = 'A'; })},
      {"top-down", sized(13, -5, 24)},
      {"negative width", sized(-13, 5, 24)},
      {"both negative, positive products", sized(-768, -576, 24)},
      {"one row past the buffer", sized(768, 577, 32)},
      {"32-bit product wraps to 0", sized(65536, 65536, 8)},
      {"32-bit S wraps to a small value", sized(65536, 32769, 32)},
      {"huge 65535-bit", sized(INT32_MAX, INT32_MAX, 65535)},
      {"whole bytes a pixel too many, S fits", sized(4096, 512, 1)},
      {"S too many, whole bytes a pixel fit", sized(1, 500000, 24)},
      {"15-bit rows as drawn too long", sized(17, 49153, 15)},
      {"bit count 0 with a size", sized(13, 5, 0)},
      {"bit count 0, a width only", sized(INT32_MAX, 0, 0)},
      {"bit count 0, a height only", sized(0, 1, 0)},
  };
  for (const auto& [what, file] : table) {
    TempFolder folder;
    WriteAll(folder / "f.bmp", file);
    BITMAPINFO info = OldDescription();
    Bytes buffer(kDisplayBytes, kOldByte);
    EXPECT_FALSE(ReadBmpFile(folder / "f.bmp", info, buffer)) << what;
    EXPECT_EQ(BytesOf(info), BytesOf(OldDescription())) << what;
    EXPECT_EQ(buffer, Bytes(kDisplayBytes, kOldByte)) << what;
  }
}

TEST(ReadBmpFile, FailsOnWhatIsNoFileToRead) {
  TempFolder folder;
  WriteAll(folder / "f.bmp", MakeFile(13, 5, 24, 54, Pattern(200)));
  fs::create_directory(folder / "dir.bmp");
  ASSERT_EQ(::mkfifo((folder / "fifo.bmp").c_str(), 0600), 0);  // must not wait for a writer
  const std::vector<std::pair<fs::path, size_t>> table = {{"", kDisplayBytes},
                                                          {folder / "missing.bmp", kDisplayBytes},
                                                          {folder / "dir.bmp", kDisplayBytes},
                                                          {folder / "fifo.bmp", kDisplayBytes},
                                                          {folder / "f.bmp", 0}};
  for (const auto& [path, bytes] : table) {
    BITMAPINFO info = OldDescription();
    Bytes buffer(bytes, kOldByte);
    EXPECT_FALSE(ReadBmpFile(path, info, buffer)) << path << " " << bytes;
    EXPECT_EQ(BytesOf(info), BytesOf(OldDescription())) << path;
  }
}

// The bytes between the headers and the pixel data go to the palette area, never more than its
// 1,024 bytes and nothing for an offset inside the headers; the pixel data follow what was read,
// or start at the offset when it lies past the palette area. A deeper picture takes its pixel
// data from byte 54 whatever the offset says.
TEST(ReadBmpFile, PaletteRegionStaysInsideThePaletteArea) {
  struct Guarded {  // the description as a card stores it, with room after it
    BITMAPINFO info;
    uint8_t after[1024];
  };
  const Bytes tail = Pattern(1600 + 80, 5);
  constexpr size_t kNone = SIZE_MAX;  // the file ends before the pixel data: the buffer stays
  // {bits, offset, palette bytes read, where in the tail the pixel data start}
  const std::vector<std::tuple<uint16_t, uint32_t, size_t, size_t>> table = {
      {8, 0, 0, 0},
      {8, 20, 0, 0},
      {8, 53, 0, 0},
      {8, 54, 0, 0},
      {8, 62, 8, 8},
      {8, 1077, 1023, 1023},
      {8, 1078, 1024, 1024},
      {8, 1079, 1024, 1025},
      {8, 1578, 1024, 1524},
      {8, 1654 + 54, 1024, 1654},  // 26 of the 80 pixel bytes left in the file
      {8, 0xFFFFFFFF, 1024, kNone},
      {4, 1578, 1024, 1524},
      {1, 1102, 1024, 1048},
      {24, 1078, 0, 0},
      {24, 0, 0, 0}};
  for (const auto& [bits, offset, paletteBytes, pixelStart] : table) {
    Guarded stored{};
    stored.info = OldDescription();
    std::memset(stored.after, 0xCD, sizeof stored.after);
    const Guarded old = stored;
    const Bytes file = MakeFile(13, 5, bits, offset, tail);
    Bytes buffer(kDisplayBytes, kOldByte);
    ASSERT_TRUE(ReadBmpBytes(file, stored.info, buffer)) << bits << " " << offset;

    const auto* palette = reinterpret_cast<const uint8_t*>(stored.info.bmiColors);
    const auto* oldPalette = reinterpret_cast<const uint8_t*>(old.info.bmiColors);
    EXPECT_TRUE(std::equal(palette, palette + paletteBytes, tail.begin())) << offset;
    EXPECT_TRUE(std::equal(palette + paletteBytes, palette + 1024, oldPalette + paletteBytes))
        << offset;
    EXPECT_EQ(std::memcmp(stored.after, old.after, sizeof stored.after), 0) << offset;
    // The pixel bytes the file holds from their start on, then what the buffer held.
    Bytes expected(kDisplayBytes, kOldByte);
    const size_t pixelBytes = *BmpPixelBytes(stored.info.bmiHeader);
    if (pixelStart != kNone) {
      const size_t held = std::min(pixelBytes, tail.size() - pixelStart);
      std::copy_n(tail.begin() + static_cast<std::ptrdiff_t>(pixelStart), held, expected.begin());
    }
    EXPECT_EQ(buffer, expected) << bits << " " << offset;
  }
}

// A short file is not refused: what it does not reach - header fields, palette entries, buffer
// bytes - keeps its value, so the description still describes no more than the buffer holds.
TEST(ReadBmpFile, ShortFilesLeaveWhatTheyDoNotReach) {
  const Bytes full = MakeFile(13, 5, 24, 54, Pattern(200, 4));  // S = 200
  for (const size_t length :
       {size_t{2}, size_t{14}, size_t{30}, size_t{54}, size_t{150}, size_t{253}}) {
    const Bytes file(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
    BITMAPINFO info = OldDescription();
    Bytes buffer(kDisplayBytes, kOldByte);
    ASSERT_TRUE(ReadBmpBytes(file, info, buffer)) << length;

    Bytes expectedInfo = BytesOf(OldDescription());
    for (size_t i = 14; i < std::min<size_t>(length, 54); ++i) expectedInfo[i - 14] = file[i];
    EXPECT_EQ(BytesOf(info), expectedInfo) << length;
    Bytes expectedBuffer(kDisplayBytes, kOldByte);
    for (size_t i = 54; i < length; ++i) expectedBuffer[i - 54] = file[i];
    EXPECT_EQ(buffer, expectedBuffer) << length;
  }
}

}  // namespace
