// parameter_ini.h - the parameter set as QuarnCard.ini keeps it: the file and section names, the
// keys with their read defaults, and one section read into or written from plain numbers in the
// programs' write order. The programs map these numbers to their card records or card object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "private_profile.h"
#include "video_parameter_set.h"

inline constexpr std::string_view kParameterFileName = "QuarnCard.ini";
// Solvane's one section; Hexmont's sections add the card index: "Video Parameter0", ...
inline constexpr std::string_view kParameterSection = "Video Parameter";

// Hexmont's section of card `index` (from 0).
std::string HexmontSectionName(int index);
// The profile both programs read and write: QuarnCard.ini in the configuration folder.
CPrivateProfile OpenParameterFile();

// One section's values as the file holds them: the source as the flat index, byte fields as the
// whole number read (the programs keep its low 8 bits). Initial values are the read defaults.
struct StoredParameters {
  // Both programs.
  int32_t standard = 0;
  int32_t scanMode = 0;
  int32_t sourceIndex = 0;
  int32_t brightness = 128;
  int32_t contrast = 128;
  int32_t hue = 128;
  int32_t saturation = 128;
  int32_t pll = 245;
  int32_t crystal = 0;
  // Solvane only.
  int32_t mirrorHorizontal = 0;
  int32_t mirrorVertical = 0;
  int32_t chromaTrap = 1;
  int32_t maskEnabled = 0;
  int32_t clip = 1;
  int32_t interline = 1;
  int32_t xDelay = 0;
  int32_t yDelay = 0;

  friend bool operator==(const StoredParameters&, const StoredParameters&) = default;
};

// The one pair of conversions between a card's parameter set and its stored form. Clip and
// interline are Solvane's window flags, not the card's: the caller puts them in and takes them out.
//
// Stored from the set: the source as its flat index, byte fields 0..255, the rest as they are.
StoredParameters StoredFromSet(const VideoParameterSet& set);
// The set a section describes, starting from `base` for what the file does not say: byte fields
// keep the low 8 bits of the number read; a source index outside 0..10 leaves base's source; the
// input window covers the image of the standard read. The format is never stored.
VideoParameterSet SetFromStored(const StoredParameters& stored, VideoParameterSet base);

// Which keys a section carries: Hexmont's nine, or Solvane's seventeen.
enum class ParameterKeys { kHexmont, kSolvane };

// Reads a section's keys; a missing key (or empty value) keeps the default. Keys the program does
// not carry keep their defaults too.
StoredParameters ReadStoredParameters(const CPrivateProfile& profile, std::string_view section,
                                      ParameterKeys keys);
// Writes a section's keys in the program's write order: "Standard", "Source", "Scan",
// "Brightness", "Contrast", "Hue", "Saturation", "PLL", "CryOsc"; Solvane then "XDelay",
// "YDelay", "Horizon", "Vertical", "Chroma", "Clip", "Interline", "Mask". Byte fields are given
// already as 0..255, delays as signed numbers; all are written as signed decimals.
void WriteStoredParameters(CPrivateProfile& profile, std::string_view section,
                           const StoredParameters& values, ParameterKeys keys);
