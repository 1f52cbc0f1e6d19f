// main.cpp - Hexmont's entry point: the Qt application, the real services, the resources, and
// the application object's run; the exit code is that of its exit step.
#include <QApplication>

#include "hexmont_app.h"
#include "resources.h"

int main(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  // The program ends when its main frame is destroyed, not when some window (a box shown before
  // the frame exists) is the last one to close.
  QApplication::setQuitOnLastWindowClosed(false);
  // Ties the windows to the installed menu entry (and so to its icon) on desktops that ask.
  QGuiApplication::setDesktopFileName("example.quarn.hexmont");
  InstallQtServices();
  AfxSetResources(HexmontResources());
  CHexmontApp app;
  return app.Run();
}
