// command_rules.cpp - the acquisition commands' menu-state rules (see command_rules.h).
#include "command_rules.h"

void ApplyMenuRule(CCmdUI& ui, const MenuRule& rule) {
  if (rule.check) ui.SetCheck(*rule.check);
  ui.Enable(rule.enabled);
}

namespace {

int Checked(bool on) {
  return on ? 1 : 0;
}

}  // namespace

namespace hexmont {

using Mode = AcquisitionMode;

MenuRule CaptureRule(const HexmontFrameState& s) {
  return {s.mode == Mode::kIdle || s.mode == Mode::kLive, Checked(s.mode == Mode::kLive)};
}

MenuRule IdleOnlyRule(const HexmontFrameState& s) {
  return {s.mode == Mode::kIdle, {}};
}

MenuRule SnapRule(const HexmontFrameState& s) {
  return {s.mode == Mode::kIdle || s.mode == Mode::kSnap, Checked(s.mode == Mode::kSnap)};
}

MenuRule MaskRule(const HexmontFrameState& s) {
  return {s.mode == Mode::kIdle, Checked(s.mask != 0)};
}

MenuRule ClipRule(const HexmontFrameState& s) {
  return {true, Checked(s.clip == 1)};
}

MenuRule ScaleRule(const HexmontFrameState& s) {
  return {true, Checked(s.clip == 0)};
}

MenuRule StepRule(const HexmontFrameState& s) {
  return {s.storedImages > 0, Checked(s.stepFlag != 0 && s.mode == Mode::kPlayback)};
}

MenuRule CircleRule(const HexmontFrameState& s) {
  return {s.storedImages > 0, Checked(s.stepFlag == 0 && s.mode == Mode::kPlayback)};
}

MenuRule StopRule(const HexmontFrameState& s) {
  return {s.mode == Mode::kPlayback, {}};
}

MenuRule SaveSerialsRule(const HexmontFrameState& s) {
  return {s.storedImages > 0, {}};
}

}  // namespace hexmont

namespace solvane {

using State = CardState;

MenuRule CaptureRule(const SolvaneFrameState& s) {
  return {(s.state == State::kIdle || s.state == State::kLive) && !s.playing,
          Checked(s.state == State::kLive)};
}

MenuRule IdleOnlyRule(const SolvaneFrameState& s) {
  return {s.state == State::kIdle && !s.playing, {}};
}

MenuRule SnapRule(const SolvaneFrameState& s) {
  return {(s.state == State::kIdle || s.state == State::kSnap) && !s.playing,
          Checked(s.state == State::kSnap)};
}

MenuRule MaskRule(const SolvaneFrameState& s) {
  return {s.state == State::kIdle, Checked(s.maskEnabled != 0)};
}

MenuRule ClipRule(const SolvaneFrameState& s) {
  return {true, Checked(s.clip == 1)};
}

MenuRule ScaleRule(const SolvaneFrameState& s) {
  return {true, Checked(s.clip == 0)};
}

MenuRule StepRule(const SolvaneFrameState& s) {
  return {s.imageCount > 0 || s.bmpSequence, Checked(s.stepFlag != 0 && s.playing)};
}

MenuRule CircleRule(const SolvaneFrameState& s) {
  return {s.imageCount > 0 || s.bmpSequence, Checked(s.stepFlag == 0 && s.playing)};
}

MenuRule StopRule(const SolvaneFrameState& s) {
  return {s.playing, {}};
}

MenuRule SaveSerialsRule(const SolvaneFrameState& s) {
  return {s.imageCount > 0 && !s.playing, {}};
}

}  // namespace solvane
