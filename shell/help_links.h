// help_links.h - the Help menu's two links to the card maker (update web site, support mail),
// handled by each program's main frame and always enabled.
#pragma once

#include "afx.h"

inline constexpr const char* kUpdateWebAddress = "https://quarn.example/update";
inline constexpr const char* kSupportMailAddress = "mailto:Quarn Support <support@quarn.example>";
inline constexpr const char* kWebFailureText = "Sorry: cannot access web location";
inline constexpr const char* kMailFailureText = "Sorry: cannot access email";

// Asks the shell to open `address`; when it reports failure (32 or less) shows `failureText`
// with the exclamation icon and the program's name as caption.
void OpenShellLink(const char* address, const char* failureText);

// Registers the two link commands on `frame` under the program's command ids.
void RegisterHelpLinks(CCmdTarget& frame, UINT websiteId, UINT contactId);
