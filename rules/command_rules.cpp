// command_rules.cpp - the acquisition and parameter commands' menu-state rules (see
// command_rules.h).
#include "command_rules.h"

void ApplyMenuRule(CCmdUI& ui, const MenuRule& rule) {
  if (rule.check) ui.SetCheck(*rule.check);
  ui.Enable(rule.enabled);
}

namespace {

int Checked(bool on) {
  return on ? 1 : 0;
}

int Flag(const ShownParameters& shown, int direction) {
  return direction == 0 ? shown.mirrorHorizontal : shown.mirrorVertical;
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

MenuRule FormatItemRule(const HexmontFrameState& s, int format) {
  return {s.mode == Mode::kIdle, Checked(s.shown.format == format)};
}

MenuRule StandardItemRule(const HexmontFrameState& s, int standard) {
  return {s.mode == Mode::kIdle, Checked(s.shown.standard == standard)};
}

MenuRule ScanItemRule(const HexmontFrameState& s, int scanMode) {
  return {s.mode == Mode::kIdle, Checked(s.shown.scanMode == scanMode)};
}

MenuRule CrystalItemRule(const HexmontFrameState& s, int crystal) {
  return {true, Checked(s.shown.crystal == crystal)};
}

MenuRule MirrorItemRule(const HexmontFrameState& s, int direction) {
  return {true, Checked(Flag(s.shown, direction) != 0)};
}

MenuRule ChromaTrapRule(const HexmontFrameState& s) {
  return {true, Checked(s.shown.chromaTrap != 0)};
}

MenuRule InterlineRule(const HexmontFrameState& s) {
  return {s.shown.scanMode == 0 && s.mode == Mode::kIdle, Checked(s.shown.interline != 0)};
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

MenuRule OpenBmpRule(const SolvaneFrameState& s) {
  return {s.state != State::kSnap, {}};
}

MenuRule FormatItemRule(const SolvaneFrameState& s, int format) {
  return {s.state == State::kIdle, Checked(s.shown.format == format)};
}

MenuRule StandardItemRule(const SolvaneFrameState& s, int standard) {
  return {s.state == State::kIdle, Checked(s.shown.standard == standard)};
}

MenuRule ScanItemRule(const SolvaneFrameState& s, int scanMode) {
  return {s.state == State::kIdle, Checked(s.shown.scanMode == scanMode)};
}

MenuRule CrystalItemRule(const SolvaneFrameState& s, int crystal) {
  if (!s.cardType || *s.cardType != 0) return {false, {}};
  return {true, Checked(s.shown.crystal == crystal)};
}

MenuRule MirrorItemRule(const SolvaneFrameState& s, int direction) {
  if (!s.cardType || (*s.cardType != 1 && *s.cardType != 2)) return {false, {}};
  return {true, Checked(Flag(s.shown, direction) != 0)};
}

MenuRule ChromaTrapRule(const SolvaneFrameState& s) {
  if (!s.cardType || (*s.cardType != 1 && *s.cardType != 2)) return {false, {}};
  return {true, Checked(s.shown.chromaTrap != 0)};
}

MenuRule InterlineRule(const SolvaneFrameState& s) {
  return {s.shown.scanMode == 0 && s.state == State::kIdle, Checked(s.shown.interline != 0)};
}

}  // namespace solvane
