// card_helpers.h - the small functions both programs share around the capture library: bits per
// pixel of a format, the format for a display depth, source detection on one card, and the warning
// box that shows a failing status.
#pragma once

#include <cstdint>
#include <string>

#include "QuarnVideo.h"
#include "video_parameter_set.h"

// Bits per pixel of a stored-frame format: 0 and 2 give 16, 1 gives 24, 3 gives 15, 4 gives 32,
// 5 and 6 give 8, any other code 0.
int BitsForFormat(int format);

// The stored-frame format that matches a display depth: 8 -> 6, 15 -> 3, 16 -> 2, 24 -> 1,
// 32 -> 4, any other depth -1.
int FormatForDepth(int depth);

// Finds an input with a signal: for each index 0..10 selects it (writing type and number), waits
// 1 ms and asks for a signal; stops at the first input with one or when the card answers
// QUARN_ERR_STOP_PROBING, and skips inputs whose query fails otherwise. With no signal found the
// source becomes "Video 1" and is sent again. Statuses are not reported. Runs whatever the handle
// (Hexmont probes a card that failed to open too; its calls fail on their own).
void DetectSignalSource(QUARN_HANDLE handle, int32_t& sourceType, int32_t& sourceNumber);

// The library's text for a status (QuarnGetErrorString).
std::string StatusText(int status);

// Shows a modal warning box, no owner, caption "Error message", text QuarnGetErrorString(status).
void ShowStatusBox(int status);

// Shows a modal box with no owner and the given text, caption and style.
void ShowMessageBox(const std::string& text, const std::string& caption, unsigned style);
