// wait_cursor.h - CWaitCursor: the busy pointer for the length of a scope, while a command blocks
// the window for a long time (writing many files, storing many frames). Nests; UI thread only.
#pragma once

class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

  // How many wait cursors are in force now (tests).
  static int Depth();
};
