// display_picture.cpp - one card's picture: description, buffer, palette and the steps on them
// (see display_picture.h).
#include "display_picture.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "QuarnVidEx.h"
#include "bmp_file.h"
#include "card_helpers.h"
#include "dc.h"
#include "static_frames.h"

namespace {

// Save Serials transforms a stored frame into a scratch buffer of about this size at a time and
// writes it from there: small enough to stay in the processor's cache between the transform and
// the write, large enough to keep the writes few.
constexpr size_t kStoredFrameBandBytes = 128 * 1024;

// Whether QuarnDataTransform turns a frame of `format` into its bitmap by reversing the order of
// its rows alone (and padding them): a frame of 2 rows of 4 pixels of distinct bytes, the format
// named, must come out as those rows in reverse order. Such frames can go into a file straight
// from static memory, row by row. Only formats whose stored pixels are as deep as the bitmap's
// (RGB888, the 8-bit formats) can; the library's answer does not change while it is loaded, so
// it is asked once per format.
bool TransformOnlyReversesRows(int format) {
  if (format < kFormatYuv422 || format > kFormatLimited8) return false;
  const int bytes = BytesPerPixelOf(format);
  if (bytes * 8 != StoredFrameBitCount(format)) return false;
  static std::array<std::atomic<int>, kFormatLimited8 + 1> answers{};  // 0 not asked, 1 yes, 2 no
  std::atomic<int>& answer = answers[static_cast<size_t>(format)];
  if (answer.load() == 0) {
    constexpr int kPixels = 4;
    const auto row = static_cast<size_t>(kPixels * bytes);  // a multiple of 4: no padding
    std::array<uint8_t, 2 * kPixels * 3> source{};
    std::array<uint8_t, 2 * kPixels * 3> bitmap{};
    for (size_t i = 0; i < 2 * row; ++i) source[i] = static_cast<uint8_t>(i * 37 + 11);
    const bool reversed =
        QuarnDataTransform(bitmap.data(), source.data(), kPixels, 2, BitsForFormat(format),
                           QUARN_TRANSFORM_FORMAT(format)) == QUARN_OK &&
        std::equal(source.begin(), source.begin() + static_cast<ptrdiff_t>(row),
                   bitmap.begin() + static_cast<ptrdiff_t>(row)) &&
        std::equal(source.begin() + static_cast<ptrdiff_t>(row),
                   source.begin() + static_cast<ptrdiff_t>(2 * row), bitmap.begin());
    answer.store(reversed ? 1 : 2);
  }
  return answer.load() == 1;
}

// Bytes of `rows` rows of `width` pixels of `bitCount` bits, each row padded to 4 bytes; 64-bit
// throughout (a width of 2^31 at 65535 bits per pixel still fits), saturating where the product
// of the row and the rows would not.
uint64_t PaddedBytes(uint64_t width, uint64_t bitCount, uint64_t rows) {
  const uint64_t row = (width * bitCount + 31) / 32 * 4;
  if (row != 0 && rows > std::numeric_limits<uint64_t>::max() / row) {
    return std::numeric_limits<uint64_t>::max();
  }
  return row * rows;
}

}  // namespace

bool CDisplayPicture::SetUp(uint8_t fill) {
  palette_ = CreateGreyPalette();
  FillDisplayHeader(storage_);
  setUp_ = true;
  return buffer_.Allocate(fill);
}

void CDisplayPicture::Release() {
  buffer_.Free();
  palette_.reset();
}

void CDisplayPicture::Describe(int width, int height, int bitCount) {
  BITMAPINFOHEADER& header = FillDisplayHeader(storage_)->bmiHeader;
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = static_cast<WORD>(bitCount);
}

uint64_t CDisplayPicture::BitmapBytes(const BITMAPINFOHEADER& header) {
  if (header.biWidth < 0) return std::numeric_limits<uint64_t>::max();
  const auto rows = static_cast<uint64_t>(std::llabs(static_cast<long long>(header.biHeight)));
  // 15-bit pixels are stored (and drawn) as 16-bit words.
  const uint64_t bits = header.biBitCount == 15 ? 16 : header.biBitCount;
  return PaddedBytes(static_cast<uint64_t>(header.biWidth), bits, rows);
}

bool CDisplayPicture::DescriptionFits() const {
  const BITMAPINFOHEADER& header = storage_.info.bmiHeader;
  if (!setUp_ || buffer_.empty() || header.biWidth == 0 || header.biHeight == 0) return false;
  return BitmapBytes(header) <= buffer_.size();
}

int CDisplayPicture::ConvertStoredFrame(uint64_t offset, uint64_t frameBytes, int format) {
  const BITMAPINFOHEADER& header = storage_.info.bmiHeader;
  return Convert(offset, frameBytes, format, header.biWidth, header.biHeight, false);
}

int CDisplayPicture::ConvertStoredFrame(const StoredFrames& frames, uint32_t index) {
  if (index >= frames.count) return QUARN_ERR_BAD_PARAMETER;
  return Convert(frames.FrameOffset(index), frames.frameBytes, frames.format, frames.width,
                 frames.height, true);
}

int CDisplayPicture::Convert(uint64_t offset, uint64_t frameBytes, int format, int width,
                             int height, bool describe) {
  if (buffer_.empty() || width <= 0 || height <= 0) return QUARN_ERR_BAD_PARAMETER;
  // What the transform writes: width x height at 8 bits for the 8-bit formats, else 24.
  const int bitCount = StoredFrameBitCount(format);
  const uint64_t written = PaddedBytes(
      static_cast<uint64_t>(width), static_cast<uint64_t>(bitCount), static_cast<uint64_t>(height));
  // Neither more than the buffer holds, nor more than is locked.
  if (written > buffer_.size() || StoredFrameBytes(format, width, height) > frameBytes) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  const StaticMemLock lock(offset, frameBytes);
  if (!lock.ok()) return lock.status();
  const std::lock_guard frame(frameMutex_);
  if (describe) Describe(width, height, bitCount);
  return QuarnDataTransform(buffer_.data(), lock.address(), width, height, BitsForFormat(format),
                            QUARN_TRANSFORM_STORED);
}

bool CDisplayPicture::WriteStoredFrame(const StoredFrames& frames, uint32_t index,
                                       const std::filesystem::path& path) const {
  if (path.empty() || index >= frames.count || frames.width <= 0 || frames.height <= 0 ||
      StoredFrameBytes(frames.format, frames.width, frames.height) > frames.frameBytes) {
    return false;
  }
  const StaticMemLock lock(frames.FrameOffset(index), frames.frameBytes);
  // Nothing of the frame can be had: the file gets the picture as it is.
  if (!lock.ok()) return WriteBmpFile(path);

  DisplayHeaderStorage description;
  BITMAPINFOHEADER& header = FillDisplayHeader(description)->bmiHeader;
  header.biWidth = frames.width;
  header.biHeight = frames.height;
  header.biBitCount = static_cast<WORD>(frames.BitCount());
  // The stored frame's rows are packed, top row first; the file's go bottom up.
  const uint64_t sourceRow =
      static_cast<uint64_t>(BytesPerPixelOf(frames.format)) * static_cast<uint64_t>(frames.width);
  const auto* source = static_cast<const uint8_t*>(lock.address());
  const auto height = static_cast<uint32_t>(frames.height);
  if (TransformOnlyReversesRows(frames.format)) {
    // No transform needed: the frame's rows go into the file from static memory, bottom first.
    std::vector<const uint8_t*> rows(height);
    for (uint32_t i = 0; i < height; ++i) rows[i] = source + sourceRow * (height - 1 - i);
    return WriteBmpFileFromRows(path, description.info, rows);
  }
  // The file's rows [first, first + lines) are the frame's rows [height - first - lines,
  // height - first) from the top, which the transform turns bottom up: a band of rows is itself
  // a stored frame.
  bool transformed = true;
  const auto transform = [&](uint32_t first, uint32_t lines, std::span<uint8_t> out) {
    const uint8_t* top = source + sourceRow * (height - first - lines);
    transformed =
        QuarnDataTransform(out.data(), top, frames.width, static_cast<int>(lines),
                           BitsForFormat(frames.format), QUARN_TRANSFORM_STORED) == QUARN_OK;
    return transformed;
  };
  if (WriteBmpFileInBands(path, description.info, kStoredFrameBandBytes, transform)) return true;
  // A frame the library would not transform gives the file the picture as it is; a write that
  // failed is not tried again.
  return !transformed && WriteBmpFile(path);
}

bool CDisplayPicture::WriteBmpFile(const std::filesystem::path& path) const {
  if (path.empty() || !setUp_ || buffer_.empty()) return false;
  BITMAPINFO description;
  std::vector<uint8_t> pixels;
  {
    const std::lock_guard frame(frameMutex_);
    description = storage_.info;
    const std::optional<uint64_t> bytes = BmpPixelBytes(description.bmiHeader);
    if (!bytes || *bytes == 0 || *bytes > buffer_.size()) return false;
    pixels.assign(buffer_.data(), buffer_.data() + *bytes);
  }
  return ::WriteBmpFile(path, description, pixels);
}

int CDisplayPicture::Draw(CDC& dc, int x, int y, int width, int height, int sx, int sy, int sw,
                          int sh) {
  if (!DescriptionFits()) return 0;
  const CScopedPalette palette(dc, palette_.get(), storage_.info.bmiHeader.biBitCount == 8);
  return dc.StretchDIBits(x, y, width, height, sx, sy, sw, sh, buffer_.data(), &storage_.info,
                          DIB_RGB_COLORS, SRCCOPY);
}

int CDisplayPicture::Draw(CDC& dc, int x, int y) {
  const BITMAPINFOHEADER& header = storage_.info.bmiHeader;
  return Draw(dc, x, y, header.biWidth, header.biHeight, 0, 0, header.biWidth, header.biHeight);
}

int CDisplayPicture::ReadBack(CDC& dc, int x, int y, int width, int height) {
  if (!setUp_ || buffer_.empty() || width < 0 || height < 0 ||
      PaddedBytes(static_cast<uint64_t>(width), 32, static_cast<uint64_t>(height)) >
          buffer_.size()) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  BITMAPINFOHEADER& header = storage_.info.bmiHeader;
  // The library writes the depth into the description itself; the rest of the description is
  // then written afresh around it.
  const int status =
      QuarnGetDisplayBits(dc.GetSafeHdc(), x, y, width, height, &header.biBitCount, buffer_.data());
  if (status == QUARN_OK) Describe(width, height, header.biBitCount);
  return status;
}
