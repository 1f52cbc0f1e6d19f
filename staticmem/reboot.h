// reboot.h - the machine restart the Allocate Memory dialog offers after changing the
// reservation, through the platform's restart service.
#pragma once

class CWnd;

// The text shown when this user may not restart the machine.
inline constexpr const char* kRebootRefusedText =
    "Current proccess can't apply for the reboot priviledge!";

// Asks the restart service whether this user may restart the machine now; when not, shows the
// refusal box (owned by `owner`, which may be null; application name as caption, OK, no icon)
// and returns. Otherwise requests the restart; its result is not examined.
void RebootSystem(CWnd* owner);
