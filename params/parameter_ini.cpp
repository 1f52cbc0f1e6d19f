// parameter_ini.cpp - the keys of the parameter sections, their defaults and write order.
#include "parameter_ini.h"

std::string HexmontSectionName(int index) {
  return std::string(kParameterSection) + std::to_string(index);
}

CPrivateProfile OpenParameterFile() {
  return CPrivateProfile(ProfilePath(kParameterFileName));
}

StoredParameters ReadStoredParameters(const CPrivateProfile& profile, std::string_view section,
                                      ParameterKeys keys) {
  StoredParameters v;
  const auto read = [&](std::string_view key, int32_t& field) {
    field = profile.GetInt(section, key, field);
  };
  read("Standard", v.standard);
  read("Scan", v.scanMode);
  read("Source", v.sourceIndex);
  read("Brightness", v.brightness);
  read("Contrast", v.contrast);
  read("Hue", v.hue);
  read("Saturation", v.saturation);
  read("PLL", v.pll);
  read("CryOsc", v.crystal);
  if (keys == ParameterKeys::kSolvane) {
    read("Horizon", v.mirrorHorizontal);
    read("Vertical", v.mirrorVertical);
    read("Chroma", v.chromaTrap);
    read("Mask", v.maskEnabled);
    read("Clip", v.clip);
    read("Interline", v.interline);
    read("XDelay", v.xDelay);
    read("YDelay", v.yDelay);
  }
  return v;
}

void WriteStoredParameters(CPrivateProfile& profile, std::string_view section,
                           const StoredParameters& v, ParameterKeys keys) {
  const auto write = [&](std::string_view key, int32_t value) {
    profile.SetInt(section, key, value);
  };
  write("Standard", v.standard);
  write("Source", v.sourceIndex);
  write("Scan", v.scanMode);
  write("Brightness", v.brightness);
  write("Contrast", v.contrast);
  write("Hue", v.hue);
  write("Saturation", v.saturation);
  write("PLL", v.pll);
  write("CryOsc", v.crystal);
  if (keys == ParameterKeys::kSolvane) {
    write("XDelay", v.xDelay);
    write("YDelay", v.yDelay);
    write("Horizon", v.mirrorHorizontal);
    write("Vertical", v.mirrorVertical);
    write("Chroma", v.chromaTrap);
    write("Clip", v.clip);
    write("Interline", v.interline);
    write("Mask", v.maskEnabled);
  }
}

StoredParameters StoredFromSet(const VideoParameterSet& set) {
  StoredParameters v;
  v.standard = set.standard;
  v.scanMode = set.scanMode;
  v.sourceIndex = SourceToIndex(set.sourceType, set.sourceNumber);
  v.brightness = set.brightness;
  v.contrast = set.contrast;
  v.hue = set.hue;
  v.saturation = set.saturation;
  v.pll = set.pll;
  v.crystal = set.crystal;
  v.mirrorHorizontal = set.mirrorHorizontal;
  v.mirrorVertical = set.mirrorVertical;
  v.chromaTrap = set.chromaTrap;
  v.maskEnabled = set.maskEnabled;
  v.xDelay = set.xDelay;
  v.yDelay = set.yDelay;
  return v;
}

VideoParameterSet SetFromStored(const StoredParameters& v, VideoParameterSet set) {
  set.standard = v.standard;
  set.scanMode = v.scanMode;
  IndexToSource(v.sourceIndex, set.sourceType, set.sourceNumber);
  set.brightness = LowByte(v.brightness);
  set.contrast = LowByte(v.contrast);
  set.hue = LowByte(v.hue);
  set.saturation = LowByte(v.saturation);
  set.pll = LowByte(v.pll);
  set.crystal = v.crystal;
  set.mirrorHorizontal = v.mirrorHorizontal;
  set.mirrorVertical = v.mirrorVertical;
  set.chromaTrap = LowByte(v.chromaTrap);
  set.maskEnabled = v.maskEnabled;
  set.xDelay = v.xDelay;
  set.yDelay = v.yDelay;
  const ImageSize size = ImageSizeOf(set.standard);
  set.inputWindow = VideoWindow{0, 0, size.width, size.height};
  return set;
}
