// display_picture.cpp - one card's picture: description, buffer, palette and the steps on them
// (see display_picture.h).
#include "display_picture.h"

#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "QuarnVidEx.h"
#include "bmp_file.h"
#include "card_helpers.h"
#include "dc.h"
#include "static_frames.h"

namespace {

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
  if (written > buffer_.size()) return QUARN_ERR_BAD_PARAMETER;
  const StaticMemLock lock(offset, frameBytes);
  if (!lock.ok()) return lock.status();
  const std::lock_guard frame(frameMutex_);
  if (describe) Describe(width, height, bitCount);
  return QuarnDataTransform(buffer_.data(), lock.address(), width, height, BitsForFormat(format),
                            QUARN_TRANSFORM_STORED);
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
