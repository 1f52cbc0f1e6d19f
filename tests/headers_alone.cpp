// The capture library's public headers compile alone as C++, and the snap record keeps the
// layout the programs read (slot index at byte offset 8, context pointer at byte offset 12), and
// the host structs' oldest contracts end where their first optional member would begin.
#include <cstddef>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"

static_assert(sizeof(QUARN_HANDLE) == 4, "the card handle is an opaque 32-bit value");
static_assert(offsetof(QuarnSnapInfo, slot) == 8);
static_assert(offsetof(QuarnSnapInfo, context) == 12);
static_assert(offsetof(QuarnHostWindow, size) == 0 && offsetof(QuarnHostDC, size) == 0);
static_assert(QUARN_HOST_WINDOW_SIZE_1 == offsetof(QuarnHostWindow, WritePixels));
static_assert(QUARN_HOST_DC_SIZE_1 == sizeof(QuarnHostDC));
static_assert(QUARN_ERR_STOP_PROBING == -5 && QUARN_ERR_NOT_APPLIED == -7 &&
              QUARN_ERR_NO_CARD == -8);

int quarn_header_check_cpp() {
  return QUARN_OK;
}
