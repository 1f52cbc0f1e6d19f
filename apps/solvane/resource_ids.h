// resource_ids.h - Solvane's command ids that differ from Hexmont's.
#pragma once

#include "afx_types.h"

namespace solvane {
inline constexpr UINT ID_SCAN_FIELD1 = 32828;
inline constexpr UINT ID_HELP_UPDATE_WEBSITE = 32826;
inline constexpr UINT ID_HELP_CONTACT = 32827;

// The program's single-instance lock name.
inline constexpr const char* kMutexName = "{6F607EE4-9B08-4b0d-99AC-313B62028D24}";
}  // namespace solvane
