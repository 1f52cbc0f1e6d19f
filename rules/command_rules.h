// command_rules.h - the menu-state rules of the acquisition and parameter commands as plain
// functions of the frame's state: whether a command may run (a disabled one never does) and its
// check mark. The frames register each next to its handler (RuleOf in the frame), and tests ask
// them as tables. The rules of the parameter items take the item's value as a second argument.
#pragma once

#include <optional>

#include "acquisition_state.h"
#include "cmd_target.h"

// What a rule says about a command: whether it may run, and its check mark (none: the mark is
// left as the menu shows it).
struct MenuRule {
  bool enabled = true;
  std::optional<int> check;
  friend bool operator==(const MenuRule&, const MenuRule&) = default;
};

// Gives the rule to the framework: the check mark first, then the enabled state.
void ApplyMenuRule(CCmdUI& ui, const MenuRule& rule);

// The parameter values a menu shows as check marks: those of Hexmont's shown card (the selected
// one, card 0 when all are selected; all 0 without a card) or of Solvane's card.
struct ShownParameters {
  int format = 0;
  int standard = 0;
  int scanMode = 0;
  int crystal = 0;
  int mirrorHorizontal = 0;
  int mirrorVertical = 0;
  int chromaTrap = 0;
  int interline = 0;
};

// Hexmont's main frame, as its rules see it.
struct HexmontFrameState {
  AcquisitionMode mode = AcquisitionMode::kIdle;
  int clip = 1;
  int mask = 0;
  int storedImages = 0;  // frames Snap Shot stored (0: nothing to play or save)
  int stepFlag = 1;      // playback steps (1) or circles (0)
  ShownParameters shown;
};

// Solvane's main frame and card, as its rules see them.
struct SolvaneFrameState {
  CardState state = CardState::kIdle;
  bool playing = false;
  int stepFlag = 1;
  int imageCount = 0;        // frames Snap Shot stored
  bool bmpSequence = false;  // playback reads a numbered BMP sequence instead
  int clip = 1;
  int maskEnabled = 0;
  ShownParameters shown;  // the card's values and the frame's interline flag
  // The card's type as asked anew for this menu update; none when the query failed (or was not
  // made: only the card-type items ask).
  std::optional<int> cardType;
};

namespace hexmont {

MenuRule CaptureRule(const HexmontFrameState& s);      // idle or live; checked while live
MenuRule IdleOnlyRule(const HexmontFrameState& s);     // Capture Shot, Snap Shot
MenuRule SnapRule(const HexmontFrameState& s);         // idle or snapping; checked while snapping
MenuRule MaskRule(const HexmontFrameState& s);         // idle; checked while the mask is on
MenuRule ClipRule(const HexmontFrameState& s);         // always; checked in clip mode
MenuRule ScaleRule(const HexmontFrameState& s);        // always; checked in scale mode
MenuRule StepRule(const HexmontFrameState& s);         // frames stored; checked while stepping
MenuRule CircleRule(const HexmontFrameState& s);       // frames stored; checked while circling
MenuRule StopRule(const HexmontFrameState& s);         // during playback
MenuRule SaveSerialsRule(const HexmontFrameState& s);  // frames stored

// Parameter items: the check mark is the shown card's value; format, standard and scan items
// need the idle mode, crystal, mirror and chroma trap are always enabled, Interline needs the
// idle mode and the frame scan mode.
MenuRule FormatItemRule(const HexmontFrameState& s, int format);
MenuRule StandardItemRule(const HexmontFrameState& s, int standard);
MenuRule ScanItemRule(const HexmontFrameState& s, int scanMode);
MenuRule CrystalItemRule(const HexmontFrameState& s, int crystal);
MenuRule MirrorItemRule(const HexmontFrameState& s, int direction);
MenuRule ChromaTrapRule(const HexmontFrameState& s);
MenuRule InterlineRule(const HexmontFrameState& s);

}  // namespace hexmont

namespace solvane {

// Capture: idle or live, playback off; checked while live.
MenuRule CaptureRule(const SolvaneFrameState& s);
// Capture Shot, Snap Shot and Open Serials: idle and playback off.
MenuRule IdleOnlyRule(const SolvaneFrameState& s);
// Snap: idle or snapping, playback off; checked while snapping.
MenuRule SnapRule(const SolvaneFrameState& s);
// Mask: idle; checked while the card's mask is on.
MenuRule MaskRule(const SolvaneFrameState& s);
MenuRule ClipRule(const SolvaneFrameState& s);
MenuRule ScaleRule(const SolvaneFrameState& s);
// Step and Circle: frames stored or a BMP sequence chosen; checked in their sub-mode of playback.
MenuRule StepRule(const SolvaneFrameState& s);
MenuRule CircleRule(const SolvaneFrameState& s);
MenuRule StopRule(const SolvaneFrameState& s);
// Save Serials: frames stored and playback off.
MenuRule SaveSerialsRule(const SolvaneFrameState& s);
// Open...: not while the snap runs, whose callback converts each frame into the picture (by its
// description) that a file read would replace under it.
MenuRule OpenBmpRule(const SolvaneFrameState& s);

// Parameter items: the check mark is the card's value; format, standard and scan items need an
// idle card. The crystal items are enabled only for a card of type 0, mirror and chroma trap only
// for types 1 and 2; a failed card-type query disables all five and leaves their marks alone.
// Interline needs an idle card in the frame scan mode.
MenuRule FormatItemRule(const SolvaneFrameState& s, int format);
MenuRule StandardItemRule(const SolvaneFrameState& s, int standard);
MenuRule ScanItemRule(const SolvaneFrameState& s, int scanMode);
MenuRule CrystalItemRule(const SolvaneFrameState& s, int crystal);
MenuRule MirrorItemRule(const SolvaneFrameState& s, int direction);
MenuRule ChromaTrapRule(const SolvaneFrameState& s);
MenuRule InterlineRule(const SolvaneFrameState& s);

}  // namespace solvane
