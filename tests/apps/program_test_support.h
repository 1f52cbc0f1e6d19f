// program_test_support.h - what both programs' tests share: the recording capture library reset
// around each test, a harness for the program, the menu bar as text lines, a recorder of the
// commands and messages that reach the main frame, and the accelerator keys of the shared table.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "acquisition_state.h"
#include "afx.h"
#include "command_ids.h"
#include "harness.h"
#include "quarnfake.h"
#include "snap_context.h"

// Modes and states in test messages by their numbers.
inline std::ostream& operator<<(std::ostream& out, AcquisitionMode mode) {
  return out << ToInt(mode);
}
inline std::ostream& operator<<(std::ostream& out, CardState state) {
  return out << ToInt(state);
}

namespace apptest {

// What a snap context handed to the library leads to (null once detached).
template <typename Target>
Target* SnapTarget(const void* context) {
  Target* target = nullptr;
  static_cast<CSnapContext*>(const_cast<void*>(context))->VisitAs<Target>([&](Target& t) {
    target = &t;
  });
  return target;
}

// The menu bar as lines: "&View/Playback/Step = 32803", separators as "&File/-".
inline void MenuLines(const QList<QAction*>& actions, const std::string& prefix,
                      std::vector<std::string>& out) {
  for (QAction* action : actions) {
    if (action->isSeparator()) {
      out.push_back(prefix + "-");
    } else if (QMenu* menu = action->menu()) {
      MenuLines(menu->actions(), prefix + menu->title().toStdString() + "/", out);
    } else {
      out.push_back(prefix + action->text().toStdString() + " = " +
                    std::to_string(action->data().toUInt()));
    }
  }
}

inline std::vector<std::string> MenuBarLines(CFrameWnd& frame) {
  std::vector<std::string> lines;
  MenuLines(frame.GetMenuBar()->actions(), "", lines);
  return lines;
}

// A key of the accelerator table and the command it must send.
struct AccelKey {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  UINT id;
};

// The accelerator table both programs carry, as the user presses it; Ctrl+O and Ctrl+S, which
// each program gives commands of its own, are left to the programs' tests.
inline std::vector<AccelKey> SharedAcceleratorKeys() {
  return {
      {Qt::Key_1, Qt::ControlModifier, ID_VIEW_CAPTURE},
      {Qt::Key_2, Qt::ControlModifier, ID_VIEW_CAPTURE_SHOT},
      {Qt::Key_3, Qt::ControlModifier, ID_VIEW_SNAP},
      {Qt::Key_4, Qt::ControlModifier, ID_VIEW_SNAP_SHOT},
      {Qt::Key_N, Qt::ControlModifier, ID_FILE_NEW},
      {Qt::Key_C, Qt::ControlModifier, ID_EDIT_COPY},
      {Qt::Key_Insert, Qt::ControlModifier, ID_EDIT_COPY},
      {Qt::Key_X, Qt::ControlModifier, ID_EDIT_CUT},
      {Qt::Key_Delete, Qt::ShiftModifier, ID_EDIT_CUT},
      {Qt::Key_V, Qt::ControlModifier, ID_EDIT_PASTE},
      {Qt::Key_Insert, Qt::ShiftModifier, ID_EDIT_PASTE},
      {Qt::Key_Z, Qt::ControlModifier, ID_EDIT_UNDO},
      {Qt::Key_Backspace, Qt::AltModifier, ID_EDIT_UNDO},
      {Qt::Key_F6, Qt::NoModifier, ID_NEXT_PANE},
      {Qt::Key_F6, Qt::ShiftModifier, ID_PREV_PANE},
  };
}

// Records the given commands when they reach the frame (the frame handles them before the
// document and the application), and the messages a view sends it.
class FrameProbe {
 public:
  void Commands(CFrameWnd& frame, const std::vector<UINT>& ids) {
    for (UINT id : ids) frame.On(id, [this, id] { commands.push_back(id); });
  }
  void Message(CFrameWnd& frame, UINT message) {
    frame.OnMessage(message, [this, message](WPARAM w, LPARAM l) -> LRESULT {
      messages.push_back({message, w, l});
      return 0;
    });
  }
  struct Sent {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Sent&) const = default;
  };
  std::vector<UINT> commands;
  std::vector<Sent> messages;
};

inline void PrintTo(const FrameProbe::Sent& s, std::ostream* os) {
  *os << "{" << s.message << ", " << s.wParam << ", " << s.lParam << "}";
}

}  // namespace apptest
