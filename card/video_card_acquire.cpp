// video_card_acquire.cpp - CVideoCard's live video, frozen-frame read-back, painting of the
// display buffer, the continuous snap, snap shots and frames in static memory (see video_card.h).
#include <cstring>

#include "QuarnVidEx.h"
#include "dc.h"
#include "static_frames.h"
#include "video_card.h"

namespace {

bool IsEightBitFormat(int format) {
  return format == kFormatAll8 || format == kFormatLimited8;
}

// The palette step before live video and Capture Shot: only the 8-bit formats use the card's
// palette. Idle selects it into the window (keeping the displaced one in the card), live video
// selects the kept one back.
void PaletteStep(CVideoCard& card, CHostWindow& window) {
  CPalette* palette = card.GetPalette();
  if (palette == nullptr || !IsEightBitFormat(card.GetVideoFormat())) return;
  if (card.GetState() == CVideoCard::kStateIdle) {
    CClientDC dc(window);
    card.SetDisplacedPalette(dc.SelectPalette(palette, FALSE));
    dc.RealizePalette();
  } else if (card.GetState() == CVideoCard::kStateLive) {
    CClientDC dc(window);
    dc.SelectPalette(card.GetDisplacedPalette(), FALSE);
    dc.RealizePalette();
  }
}

// The palette rule of every painting routine: an 8-bit picture is drawn with the card's palette
// selected (foreground) and the displaced one selected back afterwards.
class ScopedPictureObjects {
 public:
  ScopedPictureObjects(CVideoCard& card, CDC& dc) : card_(card), dc_(dc) {
    const BITMAPINFO* header = card.GetDisplayHeader();
    eightBit_ = header != nullptr && header->bmiHeader.biBitCount == 8;
    if (eightBit_ && card.GetPalette() != nullptr) {
      card.SetDisplacedPalette(dc.SelectPalette(card.GetPalette(), FALSE));
      dc.RealizePalette();
    }
  }
  ~ScopedPictureObjects() {
    if (eightBit_ && card_.GetDisplacedPalette() != nullptr) {
      dc_.SelectPalette(card_.GetDisplacedPalette(), FALSE);
      dc_.RealizePalette();
    }
  }
  ScopedPictureObjects(const ScopedPictureObjects&) = delete;
  ScopedPictureObjects& operator=(const ScopedPictureObjects&) = delete;

 private:
  CVideoCard& card_;
  CDC& dc_;
  bool eightBit_ = false;
};

}  // namespace

int CVideoCard::Capture(CHostWindow& window, int on) {
  PaletteStep(*this, window);
  const int status = QuarnCaptureEx(handle_, window.Contract(), on);
  if (status == QUARN_OK) state_ = on != 0 ? kStateLive : kStateIdle;
  return status;
}

int CVideoCard::CaptureShot(CHostWindow& window) {
  PaletteStep(*this, window);
  return QuarnCaptureShot(handle_);
}

int CVideoCard::GetDisplayBits(CDC* dc) {
  if (dc == nullptr || displayHeader_ == nullptr || displayBuffer_.empty()) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  const int width = params_.outputWindow.width;
  int height = params_.outputWindow.height;
  if (params_.scanMode != kScanFrame) height /= 2;
  BITMAPINFOHEADER& header = displayHeader_->bmiHeader;
  const int status = QuarnGetDisplayBits(dc->GetSafeHdc(), 0, 0, width, height, &header.biBitCount,
                                         displayBuffer_.data());
  if (status == QUARN_OK) {
    header.biWidth = width;
    header.biHeight = height;
  }
  return status;
}

int CVideoCard::Draw(CDC* dc) {
  if (dc == nullptr || displayBuffer_.empty() || displayHeader_ == nullptr) return 0;
  const int width = displayHeader_->bmiHeader.biWidth;
  const int height = displayHeader_->bmiHeader.biHeight;
  ScopedPictureObjects objects(*this, *dc);
  return dc->StretchDIBits(0, 0, width, height, 0, 0, width, height, displayBuffer_.data(),
                           displayHeader_, DIB_RGB_COLORS, SRCCOPY);
}

int CVideoCard::DrawStretched(CDC* dc, int x, int y, int width, int height, int sourceX,
                              int sourceY, int sourceWidth, int sourceHeight) {
  if (dc == nullptr || displayBuffer_.empty() || displayHeader_ == nullptr) return 0;
  dc->SetStretchBltMode(COLORONCOLOR);
  ScopedPictureObjects objects(*this, *dc);
  return dc->StretchDIBits(x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight,
                           displayBuffer_.data(), displayHeader_, DIB_RGB_COLORS, SRCCOPY);
}

int CVideoCard::FillStaticMem(uint64_t offset, uint64_t size, uint8_t value) {
  StaticMemLock lock(offset, size);
  if (lock.status() != QUARN_OK) return lock.status();
  std::memset(lock.address(), value, size);
  return QUARN_OK;
}

// ---- Continuous snap and frames in static memory ----

int CVideoCard::OpenSnap(QuarnSnapCallback callback, void* context) {
  if (state_ != kStateIdle) return QUARN_OK;
  const int status = QuarnOpenSnapEx(handle_, callback, context);
  if (status == QUARN_OK) state_ = kStateSnap;
  return status;
}

int CVideoCard::CloseSnap() {
  if (state_ != kStateSnap) return QUARN_OK;
  const int status = QuarnCloseSnapEx(handle_);
  if (status == QUARN_OK) state_ = kStateIdle;
  return status;
}

int CVideoCard::StartSnap(uint64_t offset, int interline, uint16_t count) {
  if (state_ != kStateSnap) return QUARN_OK;
  // The callback reads the header from the first frame on, so it is set while nothing runs.
  const BITMAPINFOHEADER before = headerStorage_.info.bmiHeader;
  SetFrameHeader(interline);
  const int status = QuarnStartSnapEx(handle_, offset, interline, count);
  if (status != QUARN_OK) headerStorage_.info.bmiHeader = before;
  return status;
}

int CVideoCard::StopSnap() {
  if (state_ != kStateSnap) return QUARN_OK;
  return QuarnStopSnapEx(handle_);
}

int CVideoCard::SnapShot(uint64_t offset, uint32_t reserved, int interline, uint16_t count) {
  if (state_ != kStateIdle) return QUARN_OK;
  const int status = QuarnSnapShot(handle_, offset, reserved, interline, count);
  if (status == QUARN_OK) SetFrameHeader(interline);
  return status;
}

int CVideoCard::TransformFromStaticMem(uint64_t offset, uint32_t index) {
  if (displayBuffer_.empty() || displayHeader_ == nullptr) return QUARN_OK;
  const BITMAPINFOHEADER& header = displayHeader_->bmiHeader;
  const int bits = BitsForFormat(params_.format);
  const int64_t width = header.biWidth;
  const int64_t height = header.biHeight;
  // The bitmap the transform writes (8 bits for the 8-bit formats, else 24; rows padded to 4
  // bytes) must fit the buffer.
  const int64_t bitmapRow = (width * (bits == 8 ? 8 : 24) + 31) / 32 * 4;
  if (width <= 0 || height <= 0 ||
      bitmapRow * height > static_cast<int64_t>(displayBuffer_.size())) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  // Stored frames are counted with padded rows: R = the row of biWidth pixels rounded up to a
  // multiple of 4 bytes.
  const int64_t row = (BytesPerPixelOf(params_.format) * width * 8 + 31) / 32 * 4;
  const uint64_t frameBytes = static_cast<uint64_t>(row * height);
  StaticMemLock lock(offset + frameBytes * index, frameBytes);
  if (!lock.ok()) return lock.status();
  return QuarnDataTransform(displayBuffer_.data(), lock.address(), header.biWidth, header.biHeight,
                            bits, QUARN_TRANSFORM_STORED);
}
