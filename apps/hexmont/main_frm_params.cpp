// main_frm_params.cpp - Hexmont's parameter sets and QuarnCard.ini: every card's section read
// into its record when the window is created, and written back first thing on close.
#include "card_helpers.h"
#include "main_frm.h"
#include "parameter_ini.h"

namespace {

uint8_t LowByte(int32_t value) {
  return static_cast<uint8_t>(value & 0xFF);
}

void ReadRecord(const CPrivateProfile& profile, int index, CardRecord& record) {
  const StoredParameters v =
      ReadStoredParameters(profile, HexmontSectionName(index), ParameterKeys::kHexmont);
  record.standard = v.standard;
  record.scanMode = v.scanMode;
  // An index above 10 names no source: the record keeps its own until detection sets it.
  IndexToSource(v.sourceIndex, record.sourceType, record.sourceNumber);
  record.brightness = LowByte(v.brightness);
  record.contrast = LowByte(v.contrast);
  record.hue = LowByte(v.hue);
  record.saturation = LowByte(v.saturation);
  record.pll = LowByte(v.pll);
  record.crystal = v.crystal;
  const ImageSize size = ImageSizeOf(record.standard);
  record.imageWidth = size.width;
  record.imageHeight = size.height;
  record.inputRect = RECT{0, 0, size.width, size.height};
}

StoredParameters StoredFrom(const CardRecord& record) {
  StoredParameters v;
  v.standard = record.standard;
  v.scanMode = record.scanMode;
  v.sourceIndex = SourceToIndex(record.sourceType, record.sourceNumber);
  v.brightness = record.brightness;
  v.contrast = record.contrast;
  v.hue = record.hue;
  v.saturation = record.saturation;
  v.pll = LowByte(record.pll);
  v.crystal = record.crystal;
  return v;
}

}  // namespace

void CMainFrame::LoadParameterSets() {
  CPrivateProfile profile = OpenParameterFile();
  profile.Load();  // an unreadable file reads as an empty one: every card gets the defaults
  for (int i = 0; i < cards_.CardCount(); ++i) ReadRecord(profile, i, cards_.Record(i));
}

void CMainFrame::SaveParameterSets() {
  // Read afresh, so sections written meanwhile (by Solvane) are kept; write errors are not
  // reported.
  CPrivateProfile profile = OpenParameterFile();
  if (!profile.Load()) return;
  for (int i = 0; i < cards_.CardCount(); ++i) {
    WriteStoredParameters(profile, HexmontSectionName(i), StoredFrom(cards_.Record(i)),
                          ParameterKeys::kHexmont);
  }
  profile.Save();
}
