// cmd_target.cpp - command maps of the command targets and the routing of one command.
#include "cmd_target.h"

#include <utility>

CCmdTarget& CCmdTarget::On(UINT id, Handler handler) {
  handlers_[id] = std::move(handler);
  return *this;
}

CCmdTarget& CCmdTarget::OnRange(UINT first, UINT last, RangeHandler handler) {
  rangeHandlers_.push_back(Range{first, last, std::move(handler), {}});
  return *this;
}

CCmdTarget& CCmdTarget::Rule(UINT id, std::function<void(CCmdUI&)> rule) {
  rules_[id] = std::move(rule);
  return *this;
}

CCmdTarget& CCmdTarget::RuleRange(UINT first, UINT last, std::function<void(CCmdUI&)> rule) {
  rangeRules_.push_back(Range{first, last, {}, std::move(rule)});
  return *this;
}

bool CCmdTarget::HasHandler(UINT id) const {
  if (handlers_.count(id) != 0) return true;
  for (const Range& r : rangeHandlers_)
    if (id >= r.first && id <= r.last) return true;
  return false;
}

bool CCmdTarget::HasRule(UINT id) const {
  if (rules_.count(id) != 0) return true;
  for (const Range& r : rangeRules_)
    if (id >= r.first && id <= r.last) return true;
  return false;
}

bool CCmdTarget::RunHandler(UINT id) {
  if (auto it = handlers_.find(id); it != handlers_.end()) {
    // Copy: the handler may re-register commands of this target while it runs.
    Handler h = it->second;
    h();
    return true;
  }
  for (const Range& r : rangeHandlers_) {
    if (id >= r.first && id <= r.last) {
      RangeHandler h = r.handler;
      h(id);
      return true;
    }
  }
  return false;
}

bool CCmdTarget::RunRule(CCmdUI& ui) {
  if (auto it = rules_.find(ui.m_nID); it != rules_.end()) {
    auto rule = it->second;
    rule(ui);
    return true;
  }
  for (const Range& r : rangeRules_) {
    if (ui.m_nID >= r.first && ui.m_nID <= r.last) {
      auto rule = r.rule;
      rule(ui);
      return true;
    }
  }
  return false;
}

CommandRoute::CommandRoute(std::vector<CCmdTarget*> targets) {
  for (CCmdTarget* t : targets)
    if (t != nullptr) targets_.push_back(t);
}

CommandState CommandRoute::Query(UINT id) const {
  CommandState state;
  CCmdUI ui(id);
  for (CCmdTarget* t : targets_) {
    if (t->RunRule(ui)) {
      state.hasRule = true;
      break;
    }
  }
  for (CCmdTarget* t : targets_) {
    if (t->HasHandler(id)) {
      state.hasHandler = true;
      break;
    }
  }
  state.enabled = state.hasHandler && ui.enabled();
  state.check = ui.check();
  state.checkSet = ui.checkSet();
  if (ui.hasText()) state.text = ui.text();
  return state;
}

bool CommandRoute::Dispatch(UINT id) const {
  if (!Query(id).enabled) return false;
  for (CCmdTarget* t : targets_)
    if (t->RunHandler(id)) return true;
  return false;
}
