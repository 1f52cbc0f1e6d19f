/* The capture library's public headers compile alone as C. */
#include "QuarnVidEx.h"
#include "QuarnVideo.h"

int quarn_header_check_c(void) {
  return QUARN_OK + (int)sizeof(QuarnSnapInfo);
}
