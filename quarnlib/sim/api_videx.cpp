// api_videx.cpp - the C entry points of libQuarnVidEx.so. Each forwards to libQuarnVideo.so,
// where the cards live (api_internal.h).
#include "QuarnVidEx.h"
#include "api_internal.h"

extern "C" {

int QuarnCaptureEx(QUARN_HANDLE handle, const QuarnHostWindow* window, int on) {
  return quarnsim::api::CaptureEx(handle, window, on);
}

int QuarnOpenSnapEx(QUARN_HANDLE handle, QuarnSnapCallback callback, void* context) {
  return quarnsim::api::OpenSnapEx(handle, callback, context);
}

int QuarnCloseSnapEx(QUARN_HANDLE handle) {
  return quarnsim::api::CloseSnapEx(handle);
}

int QuarnStartSnapEx(QUARN_HANDLE handle, uint64_t offset, int interline, uint16_t slots) {
  return quarnsim::api::StartSnapEx(handle, offset, interline, slots);
}

int QuarnStopSnapEx(QUARN_HANDLE handle) {
  return quarnsim::api::StopSnapEx(handle);
}

int QuarnGetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height,
                        uint16_t* bitCount, void* pixels) {
  return quarnsim::api::GetDisplayBits(dc, x, y, width, height, bitCount, pixels);
}

int QuarnDataTransform(void* destination, const void* source, int width, int height,
                       int bitsPerPixel, int mode) {
  return quarnsim::api::DataTransform(destination, source, width, height, bitsPerPixel, mode);
}

const char* quarnsim_videx_identity(void) {
  return "libQuarnVidEx.so, simulated cards";
}

}  // extern "C"
