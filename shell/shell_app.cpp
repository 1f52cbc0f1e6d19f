// shell_app.cpp - start-up and exit of both programs.
#include "shell_app.h"

#include <csignal>
#include <utility>

#include "about_dlg.h"

void Enable3dControlsStatic() {}

CShellApp::CShellApp(std::string mutexName) : mutexName_(std::move(mutexName)) {}

CShellApp::~CShellApp() = default;

BOOL CShellApp::InitInstance() {
  // A write past the file-size limit (ulimit -f, as a quota or a small stick sets one) then
  // fails with EFBIG like any other failed write, which the file writers handle, instead of
  // ending the program with SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);
  Enable3dControlsStatic();
  SetRegistryKey(kRegistryRoot);

  // The handle is kept whatever happens next; only "already exists" stops the start. A lock
  // that could not be created at all lets the program run.
  m_hMutex = CreateNamedMutex(mutexName_);
  if (m_hMutex.alreadyExists()) {
    // No main window exists yet, so the box has no owner; its caption is the program's name.
    AfxMessageBox(kAlreadyRunningText, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }

  AddDocTemplate(CreateDocTemplate());
  if (!ProcessShellCommand()) return 0;
  if (m_pMainWnd == nullptr) return 0;

  m_pMainWnd->ShowWindow(SW_SHOW);
  m_pMainWnd->UpdateWindow();
  OnMainWindowShown();
  return 1;
}

int CShellApp::ExitInstance() {
  // The frames end their cards in their destructors: that happens here, while the lock is still
  // held, so a second instance never opens a card this one still holds.
  CloseDocTemplates();
  m_hMutex.Close();
  return CWinApp::ExitInstance();
}

void CShellApp::OnAppAbout() {
  CAboutDlg about;
  about.DoModal();
}
