// app.cpp - the application object and its stock commands.
#include "app.h"

#include <QApplication>
#include <QCoreApplication>

#include "frame.h"
#include "qt_services.h"
#include "resources.h"
#include "services.h"
#include "view.h"

namespace {
CWinApp* g_app = nullptr;  // the one application object (UI thread only)
}

CWinApp* AfxGetApp() {
  return g_app;
}
CWnd* AfxGetMainWnd() {
  return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

std::string AfxGetAppName() {
  return g_app != nullptr ? g_app->GetAppName() : AfxLoadString(AFX_IDS_APP_TITLE);
}

int AfxMessageBox(const std::string& text, UINT style) {
  auto& box = Services().messageBox;
  if (!box) return IDOK;
  return box->Show(nullptr, text, AfxGetAppName(), style);
}

CWinApp::CWinApp() {
  g_app = this;
  // Boxes and dialogs shown for a framework window are owned by its widget.
  SetOwnerWidgetResolver([](CWnd* wnd) { return wnd != nullptr ? wnd->GetWidget() : nullptr; });
  On(ID_APP_ABOUT, [this] { OnAppAbout(); });
  On(ID_FILE_NEW, [this] { OnFileNew(); });
  On(ID_FILE_OPEN, [this] { OnFileOpen(); });
  On(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
  On(ID_APP_EXIT, [this] { OnAppExit(); });
}

CWinApp::~CWinApp() {
  // Frames (owned by the templates) go before the application pointer does.
  templates_.clear();
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
  return 1;
}
int CWinApp::ExitInstance() {
  return m_exitCode;
}

int CWinApp::Run() {
  if (InitInstance() && !quitRequested_ && m_pMainWnd != nullptr) {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::exec();
  }
  return ExitInstance();
}

void CWinApp::AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate) {
  templates_.push_back(std::move(docTemplate));
}

void CWinApp::CloseDocTemplates() {
  m_pMainWnd = nullptr;
  templates_.clear();
  // Widgets whose deletion was deferred go with their owners.
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

CDocTemplate* CWinApp::GetFirstDocTemplate() const {
  return templates_.empty() ? nullptr : templates_.front().get();
}

BOOL CWinApp::ProcessShellCommand() {
  CDocTemplate* t = GetFirstDocTemplate();
  if (t == nullptr) return 0;
  return t->OpenDocumentFile(nullptr) != nullptr ? 1 : 0;
}

void CWinApp::OnFileNew() {
  if (CDocTemplate* t = GetFirstDocTemplate()) t->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen() {
  auto* t = dynamic_cast<CSingleDocTemplate*>(GetFirstDocTemplate());
  if (t != nullptr && t->GetDocument() != nullptr) t->GetDocument()->OnFileOpen();
}

void CWinApp::OnFilePrintSetup() {
  QWidget* parent = m_pMainWnd != nullptr ? m_pMainWnd->GetWidget() : nullptr;
  AfxGetPrintUi().PageSetupDialog(parent, AfxGetPrinter());
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd != nullptr) m_pMainWnd->SendMessage(WM_CLOSE);
}

std::string CWinApp::GetAppName() const {
  return AfxLoadString(AFX_IDS_APP_TITLE);
}

void CWinApp::OnMainWindowDestroyed(CFrameWnd* frame) {
  if (m_pMainWnd != frame) return;
  m_pMainWnd = nullptr;
  quitRequested_ = true;
  QCoreApplication::exit(m_exitCode);
}
