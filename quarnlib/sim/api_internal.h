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
