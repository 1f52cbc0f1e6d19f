// shell_doc.cpp - the empty document.
#include "shell_doc.h"

// Nothing to store and nothing to load: a saved document is a file of zero bytes.
void CShellDoc::Serialize(CArchive&) {}
