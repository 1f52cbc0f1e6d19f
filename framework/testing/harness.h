// harness.h - builds a program's application, document, frame and view on Qt's offscreen
// platform with the service doubles and a recording print UI, and drives it the way the user's
// menus and keys would: commands through the menu (rules asked on opening), accelerator keys,
// sent messages; asks the router for a command's enabled and checked state. Header-only; a test
// using it links Qt6::Test.
#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "afx.h"
#include "recording_services.h"
#include "resources_qt.h"

// Print dialogs that never show: they record what was asked and print to a PDF file.
class RecordingPrintUi : public PrintUi {
 public:
  explicit RecordingPrintUi(std::string pdfPath) : pdfPath_(std::move(pdfPath)) {}
  bool PrintDialog(QWidget*, QPrinter& printer) override {
    ++printDialogs;
    Direct(printer);
    return printAnswer;
  }
  bool PageSetupDialog(QWidget*, QPrinter&) override {
    ++setupDialogs;
    return true;
  }
  void Preview(QWidget*, QPrinter& printer, const std::function<void(QPrinter*)>& paint) override {
    ++previews;
    Direct(printer);
    paint(&printer);
  }
  int printDialogs = 0;
  int setupDialogs = 0;
  int previews = 0;
  bool printAnswer = true;  // what the print dialog answers (false: cancelled)

 private:
  void Direct(QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdfPath_));
  }
  std::string pdfPath_;
};

template <class App>
class FrameworkHarness {
 public:
  explicit FrameworkHarness(std::shared_ptr<const ResourceSet> resources) {
    AfxSetResources(std::move(resources));
    printUi_ = std::make_shared<RecordingPrintUi>(dir_.filePath("print.pdf").toStdString());
    AfxSetPrintUi(printUi_);
    // Direct printing uses the application's printer: keep it off real printers too.
    AfxGetPrinter().setOutputFormat(QPrinter::PdfFormat);
    AfxGetPrinter().setOutputFileName(dir_.filePath("print.pdf"));
    // Dialogs do not block: by default they close with Cancel right after initialisation.
    CDialog::SetModalDriver([this](CDialog& dialog) {
      dialogs.push_back(dialog.GetTemplateId());
      if (dialogDriver) dialogDriver(dialog);
    });
    app_ = std::make_unique<App>();
  }

  ~FrameworkHarness() {
    app_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CDialog::SetModalDriver({});
    AfxSetPrintUi(nullptr);
    AfxSetResources(nullptr);
  }

  FrameworkHarness(const FrameworkHarness&) = delete;
  FrameworkHarness& operator=(const FrameworkHarness&) = delete;

  // Runs InitInstance (which normally creates document, frame and view and shows the frame).
  bool Start() {
    started_ = app_->InitInstance() != 0;
    ProcessEvents();
    return started_;
  }
  // ExitInstance's exit code.
  int Exit() { return app_->ExitInstance(); }

  App& app() { return *app_; }
  CFrameWnd* frame() const { return dynamic_cast<CFrameWnd*>(app_->m_pMainWnd); }
  template <class Frame>
  Frame* frameAs() const {
    return dynamic_cast<Frame*>(frame());
  }
  CView* view() const { return frame() != nullptr ? frame()->GetActiveView() : nullptr; }
  template <class View>
  View* viewAs() const {
    return dynamic_cast<View*>(view());
  }
  CDocument* document() const {
    return frame() != nullptr ? frame()->GetActiveDocument() : nullptr;
  }
  TestServices& services() { return const_cast<TestServices&>(services_.doubles()); }
  RecordingPrintUi& printUi() { return *printUi_; }

  // The router's answer for a command, as a menu would show it.
  CommandState State(UINT id) { return frame()->QueryCommand(id); }
  bool IsEnabled(UINT id) { return State(id).enabled; }
  int Checked(UINT id) { return State(id).check; }

  // As a WM_COMMAND sent to the frame (the rule is asked first). Returns whether a handler ran.
  bool Send(UINT id) { return frame()->SendMessage(WM_COMMAND, id, 0) != 0; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return frame()->SendMessage(message, wParam, lParam);
  }

  // As the user choosing a menu item: its popup opens (rules refresh the actions), then the
  // item is triggered if it is enabled. Returns false when there is no such item or it is
  // disabled.
  bool Menu(UINT id) {
    QAction* action = OpenMenuOf(id);
    if (action == nullptr || !action->isEnabled()) return false;
    action->trigger();
    ProcessEvents();
    return true;
  }
  // Opens the popup(s) holding the item, so the rules refresh it, and returns its action.
  QAction* OpenMenuOf(UINT id) {
    QAction* action = FindMenuAction(frame()->GetMenuBar(), id);
    if (action == nullptr) return nullptr;
    for (QObject* p = action->parent(); p != nullptr; p = p->parent())
      if (auto* menu = qobject_cast<QMenu*>(p)) emit menu->aboutToShow();
    return action;
  }
  QAction* MenuAction(UINT id) { return FindMenuAction(frame()->GetMenuBar(), id); }

  // As the user pressing a key combination on the frame (accelerators).
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* w = frame()->GetWidget();
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    QTest::keyClick(w, key, modifiers);
    ProcessEvents();
  }

  void ProcessEvents() { QCoreApplication::processEvents(); }

  // Template ids of the dialogs run so far, in order; the driver runs inside each one.
  std::vector<UINT> dialogs;
  std::function<void(CDialog&)> dialogDriver;

 private:
  QTemporaryDir dir_;
  ScopedTestServices services_;
  std::shared_ptr<RecordingPrintUi> printUi_;
  std::unique_ptr<App> app_;
  bool started_ = false;
};
