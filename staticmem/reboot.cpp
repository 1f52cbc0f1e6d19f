// reboot.cpp - the machine restart through the restart service (see reboot.h).
#include "reboot.h"

#include "app.h"
#include "services.h"

void RebootSystem(CWnd* owner) {
  // There is one restart path on Linux: the service's permission check stands for enabling the
  // shutdown privilege in the process token. (Systems without such a privilege step, which restart
  // straight away, do not exist here.)
  const auto& restart = Services().restart;
  if (!restart) return;
  if (!restart->CanRestart()) {
    if (const auto& box = Services().messageBox) {
      box->Show(owner, kRebootRefusedText, AfxGetAppName(), MB_OK);
    }
    return;
  }
  restart->Restart();
}
