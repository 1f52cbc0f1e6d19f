// resource_ids.h - Hexmont's command ids that differ from Solvane's.
#pragma once

#include "afx_types.h"

namespace hexmont {
inline constexpr UINT ID_PARAM_SELECT_CARD = 32827;
inline constexpr UINT ID_SCAN_FIELD1 = 32830;
inline constexpr UINT ID_HELP_UPDATE_WEBSITE = 32828;
inline constexpr UINT ID_HELP_CONTACT = 32829;

// The program's single-instance lock name.
inline constexpr const char* kMutexName = "{B6355E5C-AB38-4331-97AF-C32CE5399961}";
}  // namespace hexmont
