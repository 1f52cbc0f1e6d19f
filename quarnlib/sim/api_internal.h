// api_internal.h - entry points that libQuarnVideo.so exports for libQuarnVidEx.so, so that all
// card state lives once, in libQuarnVideo.so. Not part of the public interface.
#pragma once

#include <cstdint>

#include "QuarnVidEx.h"

#define QUARNSIM_INTERNAL_API __attribute__((visibility("default")))

namespace quarnsim::api {

// One per QuarnVidEx.h operation, same arguments and statuses; never throw.
QUARNSIM_INTERNAL_API int CaptureEx(QUARN_HANDLE handle, const QuarnHostWindow* window,
                                    int on) noexcept;
QUARNSIM_INTERNAL_API int OpenSnapEx(QUARN_HANDLE handle, QuarnSnapCallback callback,
                                     void* context) noexcept;
QUARNSIM_INTERNAL_API int CloseSnapEx(QUARN_HANDLE handle) noexcept;
QUARNSIM_INTERNAL_API int StartSnapEx(QUARN_HANDLE handle, uint64_t offset, int interline,
                                      uint16_t slots) noexcept;
QUARNSIM_INTERNAL_API int StopSnapEx(QUARN_HANDLE handle) noexcept;
QUARNSIM_INTERNAL_API int GetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height,
                                         uint16_t* bitCount, void* pixels) noexcept;
QUARNSIM_INTERNAL_API int DataTransform(void* destination, const void* source, int width,
                                        int height, int bitsPerPixel, int mode) noexcept;

}  // namespace quarnsim::api

// The simulated cards' marks, one in each library: tools that run the contract checks look both
// up by name (dlsym) to tell that the QUARN_SIM_* settings and the test picture apply. Not part
// of the capture library's interface; a card maker's library has neither. Each returns a
// constant text naming the library.
extern "C" QUARNSIM_INTERNAL_API const char* quarnsim_video_identity(void);
extern "C" QUARNSIM_INTERNAL_API const char* quarnsim_videx_identity(void);
