// hexmont_app.h - Hexmont's application, document and view classes.
#pragma once

#include <memory>

#include "shell_app.h"
#include "shell_doc.h"
#include "shell_view.h"

class CHexmontDoc : public CShellDoc {};

class CHexmontView : public CShellView {
 public:
  CHexmontView() : CShellView(0) {}
};

class CHexmontApp : public CShellApp {
 public:
  CHexmontApp();

 protected:
  std::unique_ptr<CDocTemplate> CreateDocTemplate() override;
};
