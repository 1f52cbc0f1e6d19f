// errors.cpp - the constant English texts of the capture library's statuses.
#include "errors.h"

#include "QuarnVideo.h"

namespace quarnsim {

const char* UnknownErrorText() {
  return "Unknown status of the capture library.";
}

const char* ErrorText(int status) {
  switch (status) {
    case QUARN_OK:
      return "The operation completed successfully.";
    case QUARN_ERR_GENERAL:
      return "The capture card reported a general failure.";
    case QUARN_ERR_BAD_PARAMETER:
      return "An argument is out of range or a required pointer is missing.";
    case QUARN_ERR_BAD_HANDLE:
      return "The card handle is not valid: the card is not open.";
    case QUARN_ERR_CARD_NUMBER:
      return "There is no capture card with that number.";
    case QUARN_ERR_STOP_PROBING:
      return "The card cannot detect signals on further sources.";
    case QUARN_ERR_BUSY:
      return "The capture card is busy with another acquisition.";
    case QUARN_ERR_NOT_APPLIED:
      return "The setting was accepted but the card has not applied it yet.";
    case QUARN_ERR_NO_CARD:
      return "No capture card was found. Check that the card is installed and its driver loaded.";
    case QUARN_ERR_STATIC_MEM:
      return "Static memory is not available, or the range lies outside the reservation.";
    case QUARN_ERR_NO_MEMORY:
      return "Not enough memory to carry out the operation.";
    case QUARN_ERR_NO_SIGNAL:
      return "The selected video source carries no signal.";
    case QUARN_ERR_SNAP_STATE:
      return "Snap operations were called in the wrong order.";
    case QUARN_ERR_NO_WINDOW:
      return "There is no window or device context to draw on or read from.";
    default:
      return UnknownErrorText();
  }
}

}  // namespace quarnsim
