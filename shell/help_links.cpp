// help_links.cpp - the Help menu's links.
#include "help_links.h"

void OpenShellLink(const char* address, const char* failureText) {
  const auto& shell = Services().shell;
  // Without a shell service nothing can open the address: the same as a refusal.
  const intptr_t result = shell ? shell->Open(address) : 0;
  if (result <= 32) AfxMessageBox(failureText, MB_ICONEXCLAMATION);
}

void RegisterHelpLinks(CCmdTarget& frame, UINT websiteId, UINT contactId) {
  frame.On(websiteId, [] { OpenShellLink(kUpdateWebAddress, kWebFailureText); });
  frame.On(contactId, [] { OpenShellLink(kSupportMailAddress, kMailFailureText); });
}
