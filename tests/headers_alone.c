/* The capture library's public headers compile alone as C. */
#include "QuarnVidEx.h"
#include "QuarnVideo.h"

int quarn_header_check_c(void) {
  QuarnHostWindow window = {0};
  window.size = sizeof window;
  return QUARN_OK + (int)sizeof(QuarnSnapInfo) + (int)QUARN_HOST_WINDOW_SIZE_1 +
         (int)QUARN_HOST_DC_SIZE_1 + QUARN_HOST_COVERS(&window, QuarnHostWindow, WritePixels);
}
