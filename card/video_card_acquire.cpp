// video_card_acquire.cpp - CVideoCard's live video, frozen-frame read-back, painting of the
// display buffer, the continuous snap, snap shots and frames in static memory (see video_card.h).
#include <algorithm>
#include <cstring>

#include "QuarnVidEx.h"
#include "bmp_file.h"
#include "dc.h"
#include "static_frames.h"
#include "video_card.h"

namespace {

bool IsEightBitFormat(int format) {
  return format == kFormatAll8 || format == kFormatLimited8;
}

// The palette step before live video and Capture Shot: only the 8-bit formats use the card's
// palette. Idle selects it into the window and keeps it selected while live video runs (keeping
// the displaced one in the card); live video selects the kept one back. The selection spans
// commands, so it is not a scoped one.
void PaletteStep(CVideoCard& card, CHostWindow& window) {
  // A frame that owns the palette selects it once for all its cards.
  if (card.Policy().palette != PaletteOwner::kCard) return;
  CPalette* palette = card.GetPalette();
  if (palette == nullptr || !IsEightBitFormat(card.GetVideoFormat())) return;
  if (card.GetState() == CardState::kIdle) {
    CClientDC dc(window);
    card.SetDisplacedPalette(dc.SelectPalette(palette, FALSE));
    dc.RealizePalette();
  } else if (card.GetState() == CardState::kLive) {
    CClientDC dc(window);
    dc.SelectPalette(card.GetDisplacedPalette(), FALSE);
    dc.RealizePalette();
  }
}

}  // namespace

int CVideoCard::Capture(CHostWindow& window, int on) {
  PaletteStep(*this, window);
  const int status = QuarnCaptureEx(handle_, window.Contract(), on);
  if (status == QUARN_OK) state_ = on != 0 ? CardState::kLive : CardState::kIdle;
  return status;
}

int CVideoCard::CaptureShot(CHostWindow& window) {
  PaletteStep(*this, window);
  return QuarnCaptureShot(handle_);
}

int CVideoCard::GetDisplayBits(CDC* dc) {
  if (dc == nullptr) return QUARN_ERR_BAD_PARAMETER;
  return ReadBack(*dc, 0, 0);
}

int CVideoCard::ReadBack(CDC& dc, int x, int y) {
  // The field modes deliver every other line only.
  return picture_.ReadBack(dc, x, y, params_.outputWindow.width,
                           SnapShotLines(params_.outputWindow.height, params_.scanMode));
}

int CVideoCard::Draw(CDC* dc) {
  if (dc == nullptr) return 0;
  return picture_.Draw(*dc, 0, 0);
}

int CVideoCard::DrawStretched(CDC* dc, int x, int y, int width, int height, int sourceX,
                              int sourceY, int sourceWidth, int sourceHeight) {
  if (dc == nullptr || !picture_.HasBuffer()) return 0;
  dc->SetStretchBltMode(COLORONCOLOR);
  return picture_.Draw(*dc, x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight);
}

int CVideoCard::FillStaticMem(uint64_t offset, uint64_t size, uint8_t value, ClaimOwner owner) {
  // Held while writing, so nobody else's frames are overwritten and nobody claims the range
  // meanwhile.
  std::unique_ptr<CClaim> claim;
  if (const int status = ClaimStaticMem(owner, offset, size, claim); status != QUARN_OK) {
    return status;
  }
  StaticMemLock lock(offset, size);
  if (lock.status() != QUARN_OK) return lock.status();
  std::memset(lock.address(), value, size);
  return QUARN_OK;
}

// ---- Continuous snap and frames in static memory ----

int CVideoCard::OpenSnap(QuarnSnapCallback callback, void* target) {
  if (policy_.guardsSnapByState && state_ != CardState::kIdle) return QUARN_OK;
  const bool heldBefore = snapContext_.Given();
  CSnapContext* context = snapContext_.Give(target);
  const int status = QuarnOpenSnapEx(handle_, callback, context);
  if (status == QUARN_OK) {
    state_ = CardState::kSnap;
  } else if (!heldBefore) {
    snapContext_.Confirm();  // the library refused it: nothing will come with it
  }
  return status;
}

int CVideoCard::CloseSnap() {
  if (policy_.guardsSnapByState && state_ != CardState::kSnap) return QUARN_OK;
  const int status = QuarnCloseSnapEx(handle_);
  if (status == QUARN_OK) {
    state_ = CardState::kIdle;
    snapContext_.Confirm();
    ringClaim_.reset();
  }
  return status;
}

int CVideoCard::StartSnap(uint64_t offset, int interline, uint16_t count) {
  if (policy_.guardsSnapByState && state_ != CardState::kSnap) return QUARN_OK;
  // The ring's slots are frames as SetFrameHeader describes them, back to back.
  const uint64_t frameBytes =
      StoredFrameBytes(params_.format, params_.outputWindow.width,
                       SnapLines(params_.outputWindow.height, params_.scanMode, interline));
  std::unique_ptr<CClaim> claim;
  if (const int status = ClaimStaticMem(claimOwner_, offset, frameBytes * count, claim);
      status != QUARN_OK) {
    return status;
  }
  // The callback reads the header from the first frame on, so it is set while nothing runs.
  const BITMAPINFOHEADER before = picture_.Description();
  SetFrameHeader(interline);
  const int status = QuarnStartSnapEx(handle_, offset, interline, count);
  if (status != QUARN_OK) {
    picture_.Description() = before;
  } else {
    storedFrames_ = StoredFrames{};
    storedClaim_.reset();
    ringClaim_ = std::move(claim);
  }
  return status;
}

int CVideoCard::StopSnap() {
  if (policy_.guardsSnapByState && state_ != CardState::kSnap) return QUARN_OK;
  const int status = QuarnStopSnapEx(handle_);
  if (status == QUARN_OK) ringClaim_.reset();
  return status;
}

int CVideoCard::ConvertSnapSlot(uint64_t ringOffset, uint32_t slot) {
  const BITMAPINFOHEADER& header = picture_.Description();
  // Slots lie back to back, rows not padded, each of the size the header describes.
  const uint64_t frameBytes = StoredFrameBytes(params_.format, header.biWidth, header.biHeight);
  return picture_.ConvertStoredFrame(ringOffset + frameBytes * slot, frameBytes, params_.format);
}

int CVideoCard::SnapShot(uint64_t offset, uint32_t reserved, int interline, uint16_t count) {
  if (policy_.guardsSnapByState && state_ != CardState::kIdle) return QUARN_OK;
  // The card writes unpadded frames; the program reads them back with the policy's rows, which
  // may be padded. Claim whichever reaches further.
  const int width = params_.outputWindow.width;
  const int lines = SnapLines(params_.outputWindow.height, params_.scanMode, interline);
  const uint64_t frameBytes = std::max(StoredFrameBytes(params_.format, width, lines),
                                       PaddedFrameBytes(params_.format, width, lines));
  std::unique_ptr<CClaim> claim;
  if (const int status = ClaimStaticMem(claimOwner_, offset, frameBytes * count, claim);
      status != QUARN_OK) {
    return status;
  }
  const int status = QuarnSnapShot(handle_, offset, reserved, interline, count);
  if (status == QUARN_OK) {
    storedClaim_ = std::move(claim);
    SetFrameHeader(interline);
    const BITMAPINFOHEADER& header = picture_.Description();
    storedFrames_ = StoredFrames{
        .offset = offset,
        .frameBytes = policy_.storedRowsPadded
                          ? PaddedFrameBytes(params_.format, header.biWidth, header.biHeight)
                          : StoredFrameBytes(params_.format, header.biWidth, header.biHeight),
        .count = count,
        .format = params_.format,
        .width = header.biWidth,
        .height = header.biHeight,
    };
  }
  return status;
}

int CVideoCard::TransformStoredFrame(uint32_t index) {
  if (!picture_.HasBuffer() || picture_.Header() == nullptr) return QUARN_OK;
  return picture_.ConvertStoredFrame(storedFrames_, index);
}

bool CVideoCard::WriteStoredFrame(uint32_t index, const std::string& path) const {
  if (!picture_.HasBuffer() || picture_.Header() == nullptr) return false;
  return picture_.WriteStoredFrame(storedFrames_, index, path);
}

int CVideoCard::TransformFromStaticMem(uint64_t offset, uint32_t index) {
  if (!picture_.HasBuffer() || picture_.Header() == nullptr) return QUARN_OK;
  const BITMAPINFOHEADER& header = picture_.Description();
  if (header.biWidth <= 0 || header.biHeight <= 0) return QUARN_ERR_BAD_PARAMETER;
  // Stored frames are counted with padded rows: R = the row of biWidth pixels rounded up to a
  // multiple of 4 bytes.
  const uint64_t frameBytes = PaddedFrameBytes(params_.format, header.biWidth, header.biHeight);
  return picture_.ConvertStoredFrame(offset + frameBytes * index, frameBytes, params_.format);
}

// ---- Image files ----

bool CVideoCard::WriteBmpFile(const std::string& path) const {
  return picture_.WriteBmpFile(path);
}

bool CVideoCard::ReadBmpFile(const std::string& path) {
  // The snap callback converts frames into the picture by its description meanwhile.
  if (state_ == CardState::kSnap) return false;
  if (path.empty() || !picture_.HasBuffer() || picture_.Header() == nullptr) return false;
  return ::ReadBmpFile(path, *picture_.Header(),
                       std::span<uint8_t>(picture_.Buffer(), picture_.BufferSize()));
}
