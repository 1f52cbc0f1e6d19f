// solvane_app.cpp - Solvane's application: its lock name, document template and the layout
// step after the window is shown.
#include "solvane_app.h"

#include "command_ids.h"
#include "main_frm.h"
#include "resource_ids.h"

CSolvaneApp::CSolvaneApp() : CShellApp(solvane::kMutexName) {}

std::unique_ptr<CDocTemplate> CSolvaneApp::CreateDocTemplate() {
  return std::make_unique<CSingleDocTemplate>(
      IDR_MAINFRAME, [] { return std::make_unique<CSolvaneDoc>(); },
      [] { return std::make_unique<CMainFrame>(); },
      [] { return std::make_unique<CSolvaneView>(); });
}

void CSolvaneApp::OnMainWindowShown() {
  if (auto* frame = dynamic_cast<CVideoWnd*>(m_pMainWnd)) {
    frame->ComputeBorders();
    frame->Relayout();
  }
}
