// afx.h - everything a program of the framework includes: application, document, frame, view,
// dialogs, command routing, resources, messages, device contexts and services.
#pragma once

#include "afx_types.h"
#include "app.h"
#include "cmd_target.h"
#include "dc.h"
#include "dialog.h"
#include "document.h"
#include "frame.h"
#include "instance_lock.h"
#include "resources.h"
#include "services.h"
#include "view.h"
#include "wait_cursor.h"
#include "wnd.h"
