// shell_app.h - CShellApp, the application class logic both programs share: the start-up steps
// (single-instance lock, document template, shell command, show), the exit step that releases
// the lock, and the About command.
#pragma once

#include <memory>
#include <string>

#include "afx.h"

// The framework's registry root. The programs keep nothing in the registry themselves.
inline constexpr const char* kRegistryRoot = "Local AppWizard-Generated Applications";
// The text of the box a second instance of the same program shows before it ends.
inline constexpr const char* kAlreadyRunningText = "The program is running!";

// Three-dimensional dialog controls for the statically linked framework. Qt draws every control
// in the platform's style already, so there is nothing to switch on.
void Enable3dControlsStatic();

class CShellApp : public CWinApp {
 public:
  // `mutexName`: the program's single-instance lock name (a GUID).
  explicit CShellApp(std::string mutexName);
  ~CShellApp() override;

  // Start-up: SIGXFSZ ignored (a write past the file-size limit fails, the program goes on), 3D
  // controls, registry root, the named lock (a second instance shows kAlreadyRunningText and
  // fails), the document template, the shell command (document, frame, view; the frame opens the
  // cards), show and paint the main window, then OnMainWindowShown.
  BOOL InitInstance() override;
  // Releases the lock, then the framework's exit; also runs after a failed start-up.
  int ExitInstance() override;
  // Runs the About box (dialog template 100) modally.
  void OnAppAbout() override;

  const std::string& MutexName() const { return mutexName_; }

  // Kept open for the life of the process, also in an instance that refuses to start.
  NamedMutexHandle m_hMutex;

 protected:
  // The program's single-document template (id 128: its document, main frame and view).
  virtual std::unique_ptr<CDocTemplate> CreateDocTemplate() = 0;
  // After the main window is shown (Solvane lays its frame out once more here).
  virtual void OnMainWindowShown() {}

 private:
  std::string mutexName_;
};
