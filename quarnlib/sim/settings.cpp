// settings.cpp - parsing of the QUARN_SIM_* environment variables into Settings.
#include "settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "QuarnVideo.h"

namespace quarnsim {
namespace {

constexpr std::array<std::string_view, 33> kOperations = {
    "QuarnGetCardTotal",     "BeginQuarnCard",       "EndQuarnCard",
    "QuarnGetCardType",      "QuarnSetVideoSource",  "QuarnVideoPresent",
    "QuarnSetVideoStandard", "QuarnSetVideoFormat",  "QuarnSetScanMode",
    "QuarnSelectCryOSC",     "QuarnAdjustVideo",     "QuarnSetPLLFrequency",
    "QuarnSetInputWindow",   "QuarnSetOutputWindow", "QuarnEnableMask",
    "QuarnSetPixelMask",     "QuarnSetDelay",        "QuarnEnableVideoMirror",
    "QuarnLumaControl",      "QuarnCaptureShot",     "QuarnSnapShot",
    "QuarnGetStaticMem",     "QuarnSetStaticMem",    "QuarnStaticMemLock",
    "QuarnStaticMemUnlock",  "QuarnCaptureEx",       "QuarnOpenSnapEx",
    "QuarnCloseSnapEx",      "QuarnStartSnapEx",     "QuarnStopSnapEx",
    "QuarnGetDisplayBits",   "QuarnDataTransform",   "QuarnGetErrorString",
};

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// Whole-text decimal integer (optional sign); nothing else may follow.
std::optional<int> ParseInt(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  return parts;
}

void Warn(std::vector<std::string>* warnings, std::string line) {
  if (warnings != nullptr) warnings->push_back(std::move(line));
}

void ParseCards(const char* text, Settings& settings, std::vector<std::string>* warnings) {
  if (text == nullptr) return;
  const auto value = ParseInt(text);
  if (!value || *value < 0) {
    Warn(warnings, "QUARN_SIM_CARDS=" + std::string(text) + " is not a card count; using " +
                       std::to_string(kDefaultCards));
    return;
  }
  if (*value > kMaxCards) {
    Warn(warnings,
         "QUARN_SIM_CARDS=" + std::string(text) + " capped to " + std::to_string(kMaxCards));
  }
  settings.cardCount = std::min(*value, kMaxCards);
}

void ParseTypes(const char* text, Settings& settings, std::vector<std::string>* warnings) {
  if (text == nullptr) return;
  std::vector<int> types;
  for (const auto part : Split(text, ',')) {
    const auto value = ParseInt(part);
    if (!value || *value < 0 || *value > 2) {
      Warn(warnings, "QUARN_SIM_CARD_TYPES: skipping \"" + std::string(part) +
                         "\" (card types are 0, 1 and 2)");
      continue;
    }
    types.push_back(*value);
  }
  if (!types.empty()) settings.cardTypes = std::move(types);
}

void ParseSignals(const char* text, Settings& settings, std::vector<std::string>* warnings) {
  if (text == nullptr) return;
  std::vector<uint16_t> masks;
  for (const auto entry : Split(text, ';')) {
    uint16_t mask = 0;
    if (Trim(entry) != "none") {
      for (const auto part : Split(entry, ',')) {
        if (Trim(part).empty()) continue;
        const auto value = ParseInt(part);
        if (!value || *value < 0 || *value >= kInputCount) {
          Warn(warnings,
               "QUARN_SIM_SIGNALS: skipping \"" + std::string(part) + "\" (inputs are 0..10)");
          continue;
        }
        mask = static_cast<uint16_t>(mask | (1u << *value));
      }
    }
    masks.push_back(mask);
  }
  settings.signalMasks = std::move(masks);
}

void ParsePacing(const char* text, Settings& settings, std::vector<std::string>* warnings) {
  if (text == nullptr) return;
  const auto value = ParseInt(text);
  if (!value || (*value != 0 && *value != 1)) {
    Warn(warnings, "QUARN_SIM_PACING=" + std::string(text) + " is neither 0 nor 1; pacing on");
    return;
  }
  settings.pacing = *value == 1;
}

void ParseFaults(const char* text, Settings& settings, std::vector<std::string>* warnings) {
  if (text == nullptr) return;
  for (const auto item : Split(text, ',')) {
    if (Trim(item).empty()) continue;
    const auto equals = item.find('=');
    if (equals == std::string_view::npos) {
      Warn(warnings, "QUARN_SIM_FAIL: skipping \"" + std::string(item) + "\" (no =status)");
      continue;
    }
    Fault fault;
    std::string_view name = Trim(item.substr(0, equals));
    const auto at = name.find('@');
    if (at != std::string_view::npos) {
      const auto card = ParseInt(name.substr(at + 1));
      if (!card || *card < 1) {
        Warn(warnings,
             "QUARN_SIM_FAIL: skipping \"" + std::string(item) + "\" (card numbers start at 1)");
        continue;
      }
      fault.card = *card;
      name = Trim(name.substr(0, at));
    }
    const auto status = ParseInt(item.substr(equals + 1));
    if (!status || *status == 0) {
      Warn(warnings, "QUARN_SIM_FAIL: skipping \"" + std::string(item) +
                         "\" (the status must be a non-zero integer)");
      continue;
    }
    if (name == "QuarnGetErrorString" || !IsPublicOperation(name)) {
      Warn(warnings, "QUARN_SIM_FAIL: skipping \"" + std::string(item) +
                         "\" (not an operation that returns a status)");
      continue;
    }
    fault.operation = std::string(name);
    fault.status = *status;
    settings.faults.push_back(std::move(fault));
  }
}

// Entries past the end of a per-card list repeat its last value.
template <typename T>
T PerCard(const std::vector<T>& values, int cardNumber, T fallback) {
  if (values.empty()) return fallback;
  const auto index = static_cast<size_t>(std::max(cardNumber, 1) - 1);
  return values[std::min(index, values.size() - 1)];
}

}  // namespace

int Settings::CardType(int cardNumber) const {
  return PerCard(cardTypes, cardNumber, 1);
}

bool Settings::HasSignal(int cardNumber, int input) const {
  if (input < 0 || input >= kInputCount) return false;
  const uint16_t mask = PerCard<uint16_t>(signalMasks, cardNumber, 1);
  return (mask >> input) & 1u;
}

std::optional<int> Settings::FaultFor(std::string_view operation, int cardNumber) const {
  for (const auto& fault : faults) {
    if (fault.operation == operation && (fault.card == 0 || fault.card == cardNumber)) {
      return fault.status;
    }
  }
  return std::nullopt;
}

Settings ParseSettings(const char* cards, const char* types, const char* signals,
                       const char* pacing, const char* fail, std::vector<std::string>* warnings) {
  Settings settings;
  ParseCards(cards, settings, warnings);
  ParseTypes(types, settings, warnings);
  ParseSignals(signals, settings, warnings);
  ParsePacing(pacing, settings, warnings);
  ParseFaults(fail, settings, warnings);
  return settings;
}

Settings ReadSettings(std::string* lastWarnings) {
  std::vector<std::string> warnings;
  Settings settings =
      ParseSettings(std::getenv("QUARN_SIM_CARDS"), std::getenv("QUARN_SIM_CARD_TYPES"),
                    std::getenv("QUARN_SIM_SIGNALS"), std::getenv("QUARN_SIM_PACING"),
                    std::getenv("QUARN_SIM_FAIL"), &warnings);
  const char* stats = std::getenv("QUARN_SIM_STATS");
  settings.stats = stats != nullptr && std::string_view(stats) == "1";
  std::string text;
  for (const auto& line : warnings) text += "quarn-sim: " + line + "\n";
  if (lastWarnings == nullptr || text != *lastWarnings) {
    std::fputs(text.c_str(), stderr);
    if (lastWarnings != nullptr) *lastWarnings = text;
  }
  return settings;
}

int InputIndex(int sourceType, int sourceNumber) {
  constexpr std::array<int, 3> kCount = {QUARN_VIDEO_SOURCES, QUARN_SVIDEO_SOURCES,
                                         QUARN_YCBCR_SOURCES};
  constexpr std::array<int, 3> kFirst = {0, kCount[0], kCount[0] + kCount[1]};
  if (sourceType < 0 || sourceType > 2) return -1;
  const auto type = static_cast<size_t>(sourceType);
  if (sourceNumber < 0 || sourceNumber >= kCount[type]) return -1;
  return kFirst[type] + sourceNumber;
}

bool IsPublicOperation(std::string_view name) {
  return std::find(kOperations.begin(), kOperations.end(), name) != kOperations.end();
}

}  // namespace quarnsim
