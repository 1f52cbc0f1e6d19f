// parameter_items.h - the value items of both programs' "&Paramter" menu: each item's command id
// and the value it sets. The Field1 item's id differs between the programs, so the scan items
// are made with it.
#pragma once

#include <array>

#include "command_ids.h"
#include "video_parameter_set.h"

struct ParameterValueItem {
  UINT id;
  int value;
};

inline constexpr std::array<ParameterValueItem, 7> kFormatItems = {{
    {ID_FORMAT_YUV422, kFormatYuv422},
    {ID_FORMAT_RGB555, kFormatRgb555},
    {ID_FORMAT_RGB565, kFormatRgb565},
    {ID_FORMAT_RGB888, kFormatRgb888},
    {ID_FORMAT_RGB8888, kFormatRgb8888},
    {ID_FORMAT_ALL8, kFormatAll8},
    {ID_FORMAT_LIMITED8, kFormatLimited8},
}};
inline constexpr std::array<ParameterValueItem, 2> kStandardItems = {{
    {ID_STANDARD_PAL, kStandardPal},
    {ID_STANDARD_NTSC, kStandardNtsc},
}};
inline constexpr std::array<ParameterValueItem, 2> kCrystalItems = {{
    {ID_CRYSTAL_35M, kCrystal35M},
    {ID_CRYSTAL_28M, kCrystal28M},
}};
constexpr std::array<ParameterValueItem, 3> ScanItems(UINT field1Id) {
  return {{{ID_SCAN_FRAME, kScanFrame}, {ID_SCAN_FIELD, kScanField}, {field1Id, kScanField1}}};
}
