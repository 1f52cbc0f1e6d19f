// solvane_app.h - Solvane's application, document and view classes.
#pragma once

#include <memory>

#include "shell_app.h"
#include "shell_doc.h"
#include "shell_view.h"

class CSolvaneDoc : public CShellDoc {};

// The view has a pair of scroll bars for panning over the picture in clip mode.
class CSolvaneView : public CShellView {
 public:
  CSolvaneView() : CShellView(WS_HSCROLL | WS_VSCROLL) {}
};

class CSolvaneApp : public CShellApp {
 public:
  CSolvaneApp();

 protected:
  std::unique_ptr<CDocTemplate> CreateDocTemplate() override;
  // Once the window is visible its borders are known: compute them and lay the frame out.
  void OnMainWindowShown() override;
};
