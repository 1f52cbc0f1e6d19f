// broken_videx.cpp - a libQuarnVidEx.so with one deliberate fault, for the compliance tool's own
// tests: it forwards every operation to the simulated cards' libQuarnVideo.so (as the simulated
// libQuarnVidEx.so does) except the one that QUARN_BROKEN_SLOT, QUARN_BROKEN_STOP,
// QUARN_BROKEN_CRASH or QUARN_BROKEN_HANG breaks.
// It carries no simulator mark, so the tool treats the pair as a card maker's library.
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "QuarnVidEx.h"
#include "api_internal.h"

namespace {

#if defined(QUARN_BROKEN_SLOT)
// What the program gave QuarnOpenSnapEx; the library calls WrongSlot with it instead.
struct Registration {
  QuarnSnapCallback callback;
  void* context;
};

// Every registration stays until the process ends: a late callback may still reach one.
std::mutex registrationsMutex;  // protects registrations
std::vector<std::unique_ptr<Registration>> registrations;

// Fault: reports the slot after the one just filled, so a program reads a frame still being
// written (or past the ring).
int WrongSlot(QuarnSnapInfo* info) {
  const auto* registration = static_cast<const Registration*>(info->context);
  QuarnSnapInfo shown = *info;
  shown.slot = info->slot + 1;
  shown.context = registration->context;
  return registration->callback(&shown);
}
#endif

}  // namespace

extern "C" {

int QuarnCaptureEx(QUARN_HANDLE handle, const QuarnHostWindow* window, int on) {
#if defined(QUARN_BROKEN_CRASH) || defined(QUARN_BROKEN_HANG)
  // Fault: the process dies, or the call never returns, when live video starts on a usable
  // window.
  if (on == 1 && window != nullptr && window->size >= QUARN_HOST_WINDOW_SIZE_1 &&
      window->GetClientRect != nullptr && window->DrawPixels != nullptr) {
#if defined(QUARN_BROKEN_CRASH)
    std::abort();
#else
    for (;;) pause();
#endif
  }
#endif
  return quarnsim::api::CaptureEx(handle, window, on);
}

int QuarnOpenSnapEx(QUARN_HANDLE handle, QuarnSnapCallback callback, void* context) {
#if defined(QUARN_BROKEN_SLOT)
  if (callback != nullptr) {
    std::lock_guard lock(registrationsMutex);
    registrations.push_back(std::make_unique<Registration>(Registration{callback, context}));
    return quarnsim::api::OpenSnapEx(handle, &WrongSlot, registrations.back().get());
  }
#endif
  return quarnsim::api::OpenSnapEx(handle, callback, context);
}

int QuarnCloseSnapEx(QUARN_HANDLE handle) {
  return quarnsim::api::CloseSnapEx(handle);
}

int QuarnStartSnapEx(QUARN_HANDLE handle, uint64_t offset, int interline, uint16_t slots) {
  return quarnsim::api::StartSnapEx(handle, offset, interline, slots);
}

int QuarnStopSnapEx(QUARN_HANDLE handle) {
#if defined(QUARN_BROKEN_STOP)
  // Fault: says the snap stopped and leaves it running, so callbacks keep coming after the stop.
  static_cast<void>(handle);
  return QUARN_OK;
#else
  return quarnsim::api::StopSnapEx(handle);
#endif
}

int QuarnGetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height,
                        uint16_t* bitCount, void* pixels) {
  return quarnsim::api::GetDisplayBits(dc, x, y, width, height, bitCount, pixels);
}

int QuarnDataTransform(void* destination, const void* source, int width, int height,
                       int bitsPerPixel, int mode) {
  return quarnsim::api::DataTransform(destination, source, width, height, bitsPerPixel, mode);
}

}  // extern "C"
