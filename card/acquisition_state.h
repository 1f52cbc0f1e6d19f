// acquisition_state.h - what a card or a frame is acquiring. The numbers are those the programs
// have always used for them (0 idle, 2 live video, 4 snap open, 5 playback), kept where they are
// compared or stored.
#pragma once

#include <cstdint>

// Hexmont's main frame: one mode for all cards.
enum class AcquisitionMode : int32_t {
  kIdle = 0,
  kLive = 2,
  kSnap = 4,
  kPlayback = 5,
};

// Solvane's card object; playback is a separate flag of its frame.
enum class CardState : int32_t {
  kIdle = 0,
  kLive = 2,
  kSnap = 4,
};

// The number, for messages and test output.
constexpr int32_t ToInt(AcquisitionMode mode) {
  return static_cast<int32_t>(mode);
}
constexpr int32_t ToInt(CardState state) {
  return static_cast<int32_t>(state);
}
