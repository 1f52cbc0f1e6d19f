// cmd_target.h - command targets and the command router: each target keeps its own map of
// command handlers (id -> action) and menu-state rules (id -> CCmdUI& update); a route is the
// ordered list of targets a command travels (active view, frame, document, application).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "afx_types.h"

// What a menu-state rule may say about a command.
class CCmdUI {
 public:
  explicit CCmdUI(UINT id) : m_nID(id) {}
  void Enable(bool on = true) { enabled_ = on; }
  void SetCheck(int check = 1) {
    check_ = check;
    checkSet_ = true;
  }
  void SetRadio(bool on = true) { SetCheck(on ? 1 : 0); }
  void SetText(const std::string& text) {
    text_ = text;
    hasText_ = true;
  }

  bool enabled() const { return enabled_; }
  int check() const { return check_; }
  // Whether the rule said anything about the check mark; a menu leaves the mark as it is
  // otherwise.
  bool checkSet() const { return checkSet_; }
  bool hasText() const { return hasText_; }
  const std::string& text() const { return text_; }

  UINT m_nID;

 private:
  bool enabled_ = true;  // a rule that says nothing leaves the command enabled
  int check_ = 0;
  bool checkSet_ = false;
  bool hasText_ = false;
  std::string text_;
};

// The result of asking the route about a command.
struct CommandState {
  bool enabled = false;
  int check = 0;
  bool checkSet = false;  // the rule set the check mark (else the menu keeps its own)
  bool hasHandler = false;
  bool hasRule = false;
  std::string text;  // set only when a rule gave a text
};

class CCmdTarget {
 public:
  using Handler = std::function<void()>;
  using RangeHandler = std::function<void(UINT id)>;

  CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;
  virtual ~CCmdTarget() = default;

  // Message-map style registration, usually in a constructor:
  //   On(ID_VIEW_CAPTURE, [this] { OnCapture(); }).Rule(ID_VIEW_CAPTURE, [this](CCmdUI& ui) {...});
  CCmdTarget& On(UINT id, Handler handler);
  CCmdTarget& OnRange(UINT first, UINT last, RangeHandler handler);
  CCmdTarget& Rule(UINT id, std::function<void(CCmdUI&)> rule);
  CCmdTarget& RuleRange(UINT first, UINT last, std::function<void(CCmdUI&)> rule);

  bool HasHandler(UINT id) const;
  bool HasRule(UINT id) const;
  // Runs this target's own handler; false when it has none.
  bool RunHandler(UINT id);
  // Runs this target's own rule; false when it has none.
  bool RunRule(CCmdUI& ui);

 private:
  struct Range {
    UINT first;
    UINT last;
    RangeHandler handler;
    std::function<void(CCmdUI&)> rule;
  };
  std::map<UINT, Handler> handlers_;
  std::map<UINT, std::function<void(CCmdUI&)>> rules_;
  std::vector<Range> rangeHandlers_;
  std::vector<Range> rangeRules_;
};

// An ordered list of targets (nulls are skipped). The first target with a rule decides the
// state; the first target with a handler runs it. A command nobody handles is disabled.
class CommandRoute {
 public:
  explicit CommandRoute(std::vector<CCmdTarget*> targets);
  CommandState Query(UINT id) const;
  // Asks the rule first; a disabled command never runs. Returns whether a handler ran.
  bool Dispatch(UINT id) const;

 private:
  std::vector<CCmdTarget*> targets_;
};
