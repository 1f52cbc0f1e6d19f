// wait_cursor.cpp - the busy pointer over a blocking command (see wait_cursor.h).
#include "wait_cursor.h"

#include <QApplication>
#include <QCursor>

namespace {
int g_depth = 0;  // UI thread only
}  // namespace

CWaitCursor::CWaitCursor() {
  ++g_depth;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
}

CWaitCursor::~CWaitCursor() {
  --g_depth;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    QApplication::restoreOverrideCursor();
  }
}

int CWaitCursor::Depth() {
  return g_depth;
}
