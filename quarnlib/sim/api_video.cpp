// api_video.cpp - the C entry points of libQuarnVideo.so and the internal entry points it exports
// for libQuarnVidEx.so: argument and handle checks, injected faults (QUARN_SIM_FAIL), and no
// exception ever crossing the C interface.
#include <memory>
#include <new>
#include <optional>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"
#include "acquisition.h"
#include "api_internal.h"
#include "cards.h"
#include "errors.h"
#include "picture.h"
#include "pixels.h"
#include "staticmem.h"

namespace {

using quarnsim::Card;

template <typename Operation>
int Guarded(Operation&& operation) noexcept {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    return QUARN_ERR_NO_MEMORY;
  } catch (...) {
    return QUARN_ERR_GENERAL;
  }
}

// An injected status for an operation that names no card.
std::optional<int> FaultFor(const char* operation) {
  return quarnsim::CurrentSettings(false)->FaultFor(operation, 0);
}

// A per-card operation: a handle that names no open card gives QUARN_ERR_BAD_HANDLE, then an
// injected fault replaces the operation.
template <typename Operation>
int OnCard(const char* name, QUARN_HANDLE handle, Operation&& operation) noexcept {
  return Guarded([&] {
    const std::shared_ptr<Card> card = quarnsim::FindCard(handle);
    if (card == nullptr) return QUARN_ERR_BAD_HANDLE;
    if (const auto fault = card->settings().FaultFor(name, card->number())) return *fault;
    return operation(card);
  });
}

// A parameter setter: like OnCard, except that an injected QUARN_ERR_NOT_APPLIED still applies a
// valid value (the card accepted it and reports that it applies it later).
template <typename Operation>
int SetOnCard(const char* name, QUARN_HANDLE handle, Operation&& operation) noexcept {
  return Guarded([&] {
    const std::shared_ptr<Card> card = quarnsim::FindCard(handle);
    if (card == nullptr) return QUARN_ERR_BAD_HANDLE;
    const auto fault = card->settings().FaultFor(name, card->number());
    if (fault && *fault != QUARN_ERR_NOT_APPLIED) return *fault;
    const int status = operation(*card);
    return status == QUARN_OK && fault ? QUARN_ERR_NOT_APPLIED : status;
  });
}

// The stored format that a frame of `bitsPerPixel` bits outside static memory is read as.
int FormatForBits(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 16:
      return QUARN_FORMAT_YUV422;
    case 15:
      return QUARN_FORMAT_RGB555;
    case 24:
      return QUARN_FORMAT_RGB888;
    case 32:
      return QUARN_FORMAT_RGB8888;
    case 8:
      return QUARN_FORMAT_ALL8;
    default:
      return -1;
  }
}

}  // namespace

extern "C" {

int QuarnGetCardTotal(int* count) {
  if (count == nullptr) return QUARN_ERR_BAD_PARAMETER;
  return Guarded([&] {
    const auto settings = quarnsim::CurrentSettings(true);
    *count = settings->cardCount;
    return settings->FaultFor("QuarnGetCardTotal", 0).value_or(QUARN_OK);
  });
}

int BeginQuarnCard(int cardNumber, QUARN_HANDLE* handle) {
  if (handle == nullptr) return QUARN_ERR_BAD_PARAMETER;
  return Guarded([&] {
    const auto settings = quarnsim::CurrentSettings(true);
    if (const auto fault = settings->FaultFor("BeginQuarnCard", cardNumber)) return *fault;
    int status = QUARN_OK;
    quarnsim::OpenCard(cardNumber, handle, &status);
    return status;
  });
}

int EndQuarnCard(QUARN_HANDLE handle) {
  return OnCard("EndQuarnCard", handle,
                [&](const std::shared_ptr<Card>&) { return quarnsim::EndCard(handle); });
}

const char* QuarnGetErrorString(int status) {
  return quarnsim::ErrorText(status);
}

int QuarnGetCardType(QUARN_HANDLE handle, int* type) {
  return OnCard("QuarnGetCardType", handle, [&](const std::shared_ptr<Card>& card) {
    if (type == nullptr) return QUARN_ERR_BAD_PARAMETER;
    *type = card->type();
    return QUARN_OK;
  });
}

int QuarnSetVideoSource(QUARN_HANDLE handle, int type, int number) {
  return SetOnCard("QuarnSetVideoSource", handle,
                   [&](Card& card) { return card.SetVideoSource(type, number); });
}

int QuarnVideoPresent(QUARN_HANDLE handle, int* present) {
  return OnCard("QuarnVideoPresent", handle,
                [&](const std::shared_ptr<Card>& card) { return card->VideoPresent(present); });
}

int QuarnSetVideoStandard(QUARN_HANDLE handle, int standard) {
  return SetOnCard("QuarnSetVideoStandard", handle,
                   [&](Card& card) { return card.SetVideoStandard(standard); });
}

int QuarnSetVideoFormat(QUARN_HANDLE handle, int format) {
  return SetOnCard("QuarnSetVideoFormat", handle,
                   [&](Card& card) { return card.SetVideoFormat(format); });
}

int QuarnSetScanMode(QUARN_HANDLE handle, int scanMode) {
  return SetOnCard("QuarnSetScanMode", handle,
                   [&](Card& card) { return card.SetScanMode(scanMode); });
}

int QuarnSelectCryOSC(QUARN_HANDLE handle, int crystal) {
  return SetOnCard("QuarnSelectCryOSC", handle,
                   [&](Card& card) { return card.SelectCrystal(crystal); });
}

int QuarnAdjustVideo(QUARN_HANDLE handle, int item, uint8_t value) {
  return SetOnCard("QuarnAdjustVideo", handle,
                   [&](Card& card) { return card.AdjustVideo(item, value); });
}

int QuarnSetPLLFrequency(QUARN_HANDLE handle, uint8_t value) {
  return SetOnCard("QuarnSetPLLFrequency", handle,
                   [&](Card& card) { return card.SetPllFrequency(value); });
}

int QuarnSetInputWindow(QUARN_HANDLE handle, int x, int y, int width, int height) {
  return SetOnCard("QuarnSetInputWindow", handle,
                   [&](Card& card) { return card.SetInputWindow(x, y, width, height); });
}

int QuarnSetOutputWindow(QUARN_HANDLE handle, int x, int y, int width, int height) {
  return SetOnCard("QuarnSetOutputWindow", handle,
                   [&](Card& card) { return card.SetOutputWindow(x, y, width, height); });
}

int QuarnEnableMask(QUARN_HANDLE handle, int enable) {
  return SetOnCard("QuarnEnableMask", handle, [&](Card& card) { return card.EnableMask(enable); });
}

int QuarnSetPixelMask(QUARN_HANDLE handle, int x, int y, int masked) {
  return SetOnCard("QuarnSetPixelMask", handle,
                   [&](Card& card) { return card.SetPixelMask(x, y, masked); });
}

int QuarnSetDelay(QUARN_HANDLE handle, int xDelay, int yDelay) {
  return SetOnCard("QuarnSetDelay", handle,
                   [&](Card& card) { return card.SetDelay(xDelay, yDelay); });
}

int QuarnEnableVideoMirror(QUARN_HANDLE handle, int direction, int enable) {
  return SetOnCard("QuarnEnableVideoMirror", handle,
                   [&](Card& card) { return card.EnableVideoMirror(direction, enable); });
}

int QuarnLumaControl(QUARN_HANDLE handle, int item, uint8_t value) {
  return SetOnCard("QuarnLumaControl", handle,
                   [&](Card& card) { return card.LumaControl(item, value); });
}

int QuarnCaptureShot(QUARN_HANDLE handle) {
  return OnCard("QuarnCaptureShot", handle,
                [&](const std::shared_ptr<Card>& card) { return quarnsim::CaptureShot(*card); });
}

int QuarnSnapShot(QUARN_HANDLE handle, uint64_t offset, uint32_t /*reserved*/, int interline,
                  uint16_t count) {
  return OnCard("QuarnSnapShot", handle, [&](const std::shared_ptr<Card>& card) {
    return quarnsim::SnapShot(*card, offset, interline, count);
  });
}

int QuarnGetStaticMem(int* pages) {
  if (pages == nullptr) return QUARN_ERR_BAD_PARAMETER;
  return Guarded([&] {
    if (const auto fault = FaultFor("QuarnGetStaticMem")) return *fault;
    return quarnsim::StaticMemGetPages(pages);
  });
}

int QuarnSetStaticMem(int pages) {
  return Guarded([&] {
    if (const auto fault = FaultFor("QuarnSetStaticMem")) return *fault;
    return quarnsim::StaticMemSetPages(pages);
  });
}

int QuarnStaticMemLock(uint64_t offset, uint64_t size, QUARN_MEMLOCK* lock, void** address) {
  if (lock == nullptr || address == nullptr) return QUARN_ERR_BAD_PARAMETER;
  return Guarded([&] {
    if (const auto fault = FaultFor("QuarnStaticMemLock")) return *fault;
    return quarnsim::StaticMemLock(offset, size, lock, address);
  });
}

int QuarnStaticMemUnlock(QUARN_MEMLOCK lock) {
  return Guarded([&] {
    if (const auto fault = FaultFor("QuarnStaticMemUnlock")) return *fault;
    return quarnsim::StaticMemUnlock(lock);
  });
}

const char* quarnsim_video_identity(void) {
  return "libQuarnVideo.so, simulated cards";
}

}  // extern "C"

namespace quarnsim::api {

int CaptureEx(QUARN_HANDLE handle, const QuarnHostWindow* window, int on) noexcept {
  return OnCard("QuarnCaptureEx", handle, [&](const std::shared_ptr<Card>& card) {
    return quarnsim::CaptureEx(card, window, on);
  });
}

int OpenSnapEx(QUARN_HANDLE handle, QuarnSnapCallback callback, void* context) noexcept {
  return OnCard("QuarnOpenSnapEx", handle, [&](const std::shared_ptr<Card>& card) {
    return quarnsim::OpenSnap(*card, callback, context);
  });
}

int CloseSnapEx(QUARN_HANDLE handle) noexcept {
  return OnCard("QuarnCloseSnapEx", handle,
                [&](const std::shared_ptr<Card>& card) { return quarnsim::CloseSnap(*card); });
}

int StartSnapEx(QUARN_HANDLE handle, uint64_t offset, int interline, uint16_t slots) noexcept {
  return OnCard("QuarnStartSnapEx", handle, [&](const std::shared_ptr<Card>& card) {
    return quarnsim::StartSnap(card, offset, interline, slots);
  });
}

int StopSnapEx(QUARN_HANDLE handle) noexcept {
  return OnCard("QuarnStopSnapEx", handle,
                [&](const std::shared_ptr<Card>& card) { return quarnsim::StopSnap(*card); });
}

int GetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height, uint16_t* bitCount,
                   void* pixels) noexcept {
  return Guarded([&] {
    if (const auto fault = FaultFor("QuarnGetDisplayBits")) return *fault;
    return quarnsim::GetDisplayBits(dc, x, y, width, height, bitCount, pixels);
  });
}

int DataTransform(void* destination, const void* source, int width, int height, int bitsPerPixel,
                  int mode) noexcept {
  if (destination == nullptr || source == nullptr || width < 1 || height < 1) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  return Guarded([&] {
    if (const auto fault = FaultFor("QuarnDataTransform")) return *fault;
    int format = -1;
    if (mode == QUARN_TRANSFORM_STORED) {
      // A frame the card stored knows its format (16 bits may be YUV422 or RGB565); anything
      // else is read in the format its bit count names first.
      int tagged = -1;
      if (StaticMemFormatAt(source, &tagged) && BitsPerPixel(tagged) == bitsPerPixel) {
        format = tagged;
      } else {
        format = FormatForBits(bitsPerPixel);
      }
    } else if ((mode & ~0xFF) == QUARN_TRANSFORM_FORMAT(0) &&
               (mode & 0xFF) <= QUARN_FORMAT_LIMITED8) {
      format = mode & 0xFF;
      if (BitsPerPixel(format) != bitsPerPixel) return QUARN_ERR_BAD_PARAMETER;
    }
    if (format < 0) return QUARN_ERR_BAD_PARAMETER;
    return TransformFrame(static_cast<uint8_t*>(destination), static_cast<const uint8_t*>(source),
                          width, height, format)
               ? QUARN_OK
               : QUARN_ERR_BAD_PARAMETER;
  });
}

}  // namespace quarnsim::api
