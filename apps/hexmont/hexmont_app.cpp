// hexmont_app.cpp - Hexmont's application: its lock name and document template.
#include "hexmont_app.h"

#include "command_ids.h"
#include "main_frm.h"
#include "resource_ids.h"

CHexmontApp::CHexmontApp() : CShellApp(hexmont::kMutexName) {}

std::unique_ptr<CDocTemplate> CHexmontApp::CreateDocTemplate() {
  return std::make_unique<CSingleDocTemplate>(
      IDR_MAINFRAME, [] { return std::make_unique<CHexmontDoc>(); },
      [] { return std::make_unique<CMainFrame>(); },
      [] { return std::make_unique<CHexmontView>(); });
}
