// card_helpers.cpp - the shared helpers of the card layer (see card_helpers.h).
#include "card_helpers.h"

#include "services.h"

int BitsForFormat(int format) {
  switch (format) {
    case kFormatYuv422:
    case kFormatRgb565:
      return 16;
    case kFormatRgb888:
      return 24;
    case kFormatRgb555:
      return 15;
    case kFormatRgb8888:
      return 32;
    case kFormatAll8:
    case kFormatLimited8:
      return 8;
    default:
      return 0;
  }
}

int FormatForDepth(int depth) {
  switch (depth) {
    case 8:
      return kFormatLimited8;
    case 15:
      return kFormatRgb555;
    case 16:
      return kFormatRgb565;
    case 24:
      return kFormatRgb888;
    case 32:
      return kFormatRgb8888;
    default:
      return -1;
  }
}

void DetectSignalSource(QUARN_HANDLE handle, int32_t& sourceType, int32_t& sourceNumber) {
  // One flag across all inputs: the library writes it only when its query succeeds.
  int present = 0;
  for (int index = 0; index <= kMaxSourceIndex; ++index) {
    IndexToSource(index, sourceType, sourceNumber);
    QuarnSetVideoSource(handle, sourceType, sourceNumber);
    // The card needs a moment on the new input before it can tell whether a signal is there.
    if (const auto& clock = Services().clock) clock->Sleep(1);
    const int status = QuarnVideoPresent(handle, &present);
    if (status == QUARN_OK && present != 0) break;
    if (status == QUARN_ERR_STOP_PROBING) break;
  }
  if (present == 0) {
    IndexToSource(0, sourceType, sourceNumber);
    QuarnSetVideoSource(handle, sourceType, sourceNumber);
  }
}

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  if (const auto& box = Services().messageBox) box->Show(nullptr, text, caption, style);
}

std::string StatusText(int status) {
  return QuarnGetErrorString(status);
}

void ShowStatusBox(int status) {
  ShowMessageBox(QuarnGetErrorString(status), "Error message", MB_OK | MB_ICONWARNING);
}
