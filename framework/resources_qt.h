// resources_qt.h - turns resource tables into Qt objects: menu bars of QActions whose state
// comes from the command router when a menu opens, and accelerator keys as key sequences.
#pragma once

#include <QIcon>
#include <QKeySequence>
#include <functional>

#include "cmd_target.h"
#include "resources.h"

class QMenuBar;
class QAction;

// The key sequence of an accelerator entry (an empty sequence for a key it does not know).
QKeySequence AccelKeySequence(const AccelEntry& entry);

// Fills `bar` from `menu`. Each command action keeps its id in QAction::data(); triggering it
// calls `dispatch(id)`; each time a popup opens its actions are refreshed from `query(id)`.
void BuildMenuBar(QMenuBar* bar, const MenuTemplate& menu, std::function<void(UINT)> dispatch,
                  std::function<CommandState(UINT)> query);

// Icon resource `id`: every size its entry names; a null icon when it names none or no file
// can be read.
QIcon ResourceIcon(UINT id);

// The first action with command id `id` under `bar` (null when none).
QAction* FindMenuAction(QMenuBar* bar, UINT id);
