// shell_doc.h - CShellDoc, the document both programs use: it holds no data, so new documents
// are the framework's and serialisation stores and loads nothing.
#pragma once

#include "afx.h"

class CShellDoc : public CDocument {
 public:
  void Serialize(CArchive& ar) override;
};
