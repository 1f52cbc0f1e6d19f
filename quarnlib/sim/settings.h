// settings.h - the simulated cards' settings, read from QUARN_SIM_* environment variables: card
// count, card types, inputs with a signal, frame pacing and injected faults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarnsim {

// Number of inputs of every card: 0..5 "Video 1".."Video 6", 6..8 "S-Video 1".."S-Video 3",
// 9..10 "YCbCr1", "YCbCr2".
inline constexpr int kInputCount = 11;
// Upper bound of QUARN_SIM_CARDS; larger values are capped to it.
inline constexpr int kMaxCards = 1024;
inline constexpr int kDefaultCards = 4;

// One entry of QUARN_SIM_FAIL: `operation` (for card `card` only, when it is not 0) returns
// `status` without acting.
struct Fault {
  std::string operation;
  int card = 0;
  int status = 0;
};

struct Settings {
  int cardCount = kDefaultCards;
  std::vector<int> cardTypes{1};         // per card from card 1; the last value repeats
  std::vector<uint16_t> signalMasks{1};  // per card, bit i = input i has a signal; last repeats
  bool pacing = true;                    // false: acquisitions run as fast as possible
  std::vector<Fault> faults;
  bool stats = false;  // QUARN_SIM_STATS=1: each worker reports its frame rate when it stops

  int CardType(int cardNumber) const;
  bool HasSignal(int cardNumber, int input) const;
  // The injected status for `operation` on card `cardNumber` (0 for operations without a card).
  // An entry with a card number matches only that card.
  std::optional<int> FaultFor(std::string_view operation, int cardNumber) const;
};

// Parses the raw variable values (null: the variable is unset). Malformed parts are skipped and
// described in `warnings` (one line each), so a typo never silently changes the cards.
Settings ParseSettings(const char* cards, const char* types, const char* signals,
                       const char* pacing, const char* fail, std::vector<std::string>* warnings);

// Reads the environment now. Warnings are written to stderr prefixed "quarn-sim: ", unless they
// are the same as `*lastWarnings` (the settings are re-read often); that is then updated.
Settings ReadSettings(std::string* lastWarnings);

// Flat input index of a source type and number, or -1 when the pair names no input.
int InputIndex(int sourceType, int sourceNumber);

// True for the names of the operations of QuarnVideo.h and QuarnVidEx.h.
bool IsPublicOperation(std::string_view name);

}  // namespace quarnsim
