// app.h - CWinApp: instance start and exit around the Qt event loop, the document template,
// shell-command processing for an empty command line, the application's stock commands, and
// AfxMessageBox with the application name as caption.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cmd_target.h"
#include "document.h"
#include "instance_lock.h"

class CWnd;
class CFrameWnd;

// Error value the platform gives for a named object that already exists.
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;

class CWinApp : public CCmdTarget {
 public:
  CWinApp();
  ~CWinApp() override;

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // InitInstance; when it succeeds, the Qt event loop until the main frame is destroyed; then
  // ExitInstance (also after a failed InitInstance). Returns ExitInstance's exit code.
  virtual int Run();

  void SetRegistryKey(const std::string& key) { registryKey_ = key; }
  const std::string& GetRegistryKey() const { return registryKey_; }
  void AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate);
  // Destroys the templates with their documents, frames and views (the frames' destructors run
  // now, not when the application object goes).
  void CloseDocTemplates();
  CDocTemplate* GetFirstDocTemplate() const;
  // Empty command line: the stock "new file" (document, frame from the template, view).
  BOOL ProcessShellCommand();

  // Stock commands.
  void OnFileNew();
  void OnFileOpen();
  void OnFilePrintSetup();
  void OnAppExit();
  virtual void OnAppAbout() {}

  // The application's title: string 57344.
  std::string GetAppName() const;

  // Called by the main frame when its window is destroyed: ends the event loop.
  void OnMainWindowDestroyed(CFrameWnd* frame);
  bool quitRequested() const { return quitRequested_; }

  CWnd* m_pMainWnd = nullptr;
  int m_nCmdShow = 5;  // SW_SHOW
  int m_exitCode = 0;

 private:
  std::string registryKey_;
  std::vector<std::unique_ptr<CDocTemplate>> templates_;
  bool quitRequested_ = false;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The application's name (the caption of boxes that name none), also before the application
// object exists.
std::string AfxGetAppName();
// A message box with the application name as caption and no owner.
int AfxMessageBox(const std::string& text, UINT style = 0);
