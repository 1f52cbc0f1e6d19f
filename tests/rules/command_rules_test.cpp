// command_rules_test.cpp - which acquisition command may run in which state, and its check mark,
// for both programs: one table per program over the states that decide.
#include "command_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Mode = AcquisitionMode;

// A rule's answer as "e" (enabled) or "-" (disabled), then the check mark (0/1, "." for none).
std::string Show(const MenuRule& rule) {
  std::string text = rule.enabled ? "e" : "-";
  text += rule.check ? std::to_string(*rule.check) : ".";
  return text;
}

// Hexmont: a frame state and what each rule says about it, in the order
// Capture, Shot/Snap Shot, Snap, Mask, Clip, Scale, Step, Circle, Stop, Save Serials.
TEST(HexmontRules, EachModeEnablesAndChecksItsCommands) {
  struct Case {
    HexmontFrameState state;
    std::vector<std::string> expected;
  };
  const auto state = [](Mode mode, int stored, int step, int clip = 1, int mask = 0) {
    HexmontFrameState s;
    s.mode = mode;
    s.storedImages = stored;
    s.stepFlag = step;
    s.clip = clip;
    s.mask = mask;
    return s;
  };
  const Case cases[] = {
      {state(Mode::kIdle, 0, 1), {"e0", "e.", "e0", "e0", "e1", "e0", "-0", "-0", "-.", "-."}},
      {state(Mode::kIdle, 3, 1, 0, 1),
       {"e0", "e.", "e0", "e1", "e0", "e1", "e0", "e0", "-.", "e."}},
      {state(Mode::kLive, 3, 1), {"e1", "-.", "-0", "-0", "e1", "e0", "e0", "e0", "-.", "e."}},
      {state(Mode::kSnap, 0, 1), {"-0", "-.", "e1", "-0", "e1", "e0", "-0", "-0", "-.", "-."}},
      {state(Mode::kPlayback, 3, 1), {"-0", "-.", "-0", "-0", "e1", "e0", "e1", "e0", "e.", "e."}},
      {state(Mode::kPlayback, 3, 0), {"-0", "-.", "-0", "-0", "e1", "e0", "e0", "e1", "e.", "e."}},
  };
  for (const Case& c : cases) {
    const HexmontFrameState& s = c.state;
    const std::vector<std::string> shown = {
        Show(hexmont::CaptureRule(s)), Show(hexmont::IdleOnlyRule(s)),
        Show(hexmont::SnapRule(s)),    Show(hexmont::MaskRule(s)),
        Show(hexmont::ClipRule(s)),    Show(hexmont::ScaleRule(s)),
        Show(hexmont::StepRule(s)),    Show(hexmont::CircleRule(s)),
        Show(hexmont::StopRule(s)),    Show(hexmont::SaveSerialsRule(s))};
    EXPECT_EQ(shown, c.expected) << "mode " << ToInt(s.mode) << ", " << s.storedImages
                                 << " stored, step " << s.stepFlag;
  }
}

// Solvane: the card's state and the frame's playback decide, in the order Capture,
// Shot/Snap Shot/Open Serials, Snap, Mask, Step, Circle, Stop, Save Serials, Open... (which the
// running snap alone disables).
TEST(SolvaneRules, EachStateAndPlaybackEnableAndCheckTheirCommands) {
  struct Case {
    SolvaneFrameState state;
    std::vector<std::string> expected;
  };
  const auto state = [](CardState card, bool playing, int step, int images, bool bmp = false,
                        int mask = 0) {
    SolvaneFrameState s;
    s.state = card;
    s.playing = playing;
    s.stepFlag = step;
    s.imageCount = images;
    s.bmpSequence = bmp;
    s.maskEnabled = mask;
    return s;
  };
  const Case cases[] = {
      {state(CardState::kIdle, false, 1, 0),
       {"e0", "e.", "e0", "e0", "-0", "-0", "-.", "-.", "e."}},
      {state(CardState::kIdle, false, 1, 2, false, 1),
       {"e0", "e.", "e0", "e1", "e0", "e0", "-.", "e.", "e."}},
      {state(CardState::kIdle, false, 1, 0, true),
       {"e0", "e.", "e0", "e0", "e0", "e0", "-.", "-.", "e."}},
      {state(CardState::kLive, false, 1, 2),
       {"e1", "-.", "-0", "-0", "e0", "e0", "-.", "e.", "e."}},
      {state(CardState::kSnap, false, 1, 0),
       {"-0", "-.", "e1", "-0", "-0", "-0", "-.", "-.", "-."}},
      {state(CardState::kIdle, true, 1, 2), {"-0", "-.", "-0", "e0", "e1", "e0", "e.", "-.", "e."}},
      {state(CardState::kIdle, true, 0, 2), {"-0", "-.", "-0", "e0", "e0", "e1", "e.", "-.", "e."}},
  };
  for (const Case& c : cases) {
    const SolvaneFrameState& s = c.state;
    const std::vector<std::string> shown = {
        Show(solvane::CaptureRule(s)), Show(solvane::IdleOnlyRule(s)),
        Show(solvane::SnapRule(s)),    Show(solvane::MaskRule(s)),
        Show(solvane::StepRule(s)),    Show(solvane::CircleRule(s)),
        Show(solvane::StopRule(s)),    Show(solvane::SaveSerialsRule(s)),
        Show(solvane::OpenBmpRule(s))};
    EXPECT_EQ(shown, c.expected) << "state " << ToInt(s.state) << (s.playing ? ", playing" : "")
                                 << ", step " << s.stepFlag << ", " << s.imageCount << " images";
  }
}

// The parameter items read the shown card's values for their marks; the items that change the
// stored frames' shape need the idle mode (and Interline the frame scan mode), the others are
// always available. Order: Format(2), Format(1), NTSC, PAL, Field, Frame, 28M, Horizon, vertical,
// Chroma, Interline.
TEST(HexmontRules, ParameterItemsShowTheShownCardAndLockWhatChangesTheFrames) {
  ShownParameters shown{2, 1, 1, 1, 1, 0, 1, 1};
  const auto row = [&](Mode mode, int scan) {
    HexmontFrameState s;
    s.mode = mode;
    s.shown = shown;
    s.shown.scanMode = scan;
    return std::vector<std::string>{
        Show(hexmont::FormatItemRule(s, 2)),   Show(hexmont::FormatItemRule(s, 1)),
        Show(hexmont::StandardItemRule(s, 1)), Show(hexmont::StandardItemRule(s, 0)),
        Show(hexmont::ScanItemRule(s, 1)),     Show(hexmont::ScanItemRule(s, 0)),
        Show(hexmont::CrystalItemRule(s, 1)),  Show(hexmont::MirrorItemRule(s, 0)),
        Show(hexmont::MirrorItemRule(s, 1)),   Show(hexmont::ChromaTrapRule(s)),
        Show(hexmont::InterlineRule(s))};
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(row(Mode::kIdle, 1),
            (V{"e1", "e0", "e1", "e0", "e1", "e0", "e1", "e1", "e0", "e1", "-1"}));
  EXPECT_EQ(row(Mode::kIdle, 0),
            (V{"e1", "e0", "e1", "e0", "e0", "e1", "e1", "e1", "e0", "e1", "e1"}));
  EXPECT_EQ(row(Mode::kLive, 0),
            (V{"-1", "-0", "-1", "-0", "-0", "-1", "e1", "e1", "e0", "e1", "-1"}));
  EXPECT_EQ(row(Mode::kSnap, 0),
            (V{"-1", "-0", "-1", "-0", "-0", "-1", "e1", "e1", "e0", "e1", "-1"}));
}

// Solvane's card-type items by type; a failed query (no type) greys them without a mark.
// Order: 35M, 28M, Horizon, vertical, Chroma.
TEST(SolvaneRules, TheCardTypeItemsFollowTheTypeAndAFailedQueryLeavesTheirMarks) {
  const auto row = [](std::optional<int> type) {
    SolvaneFrameState s;
    s.shown.crystal = 1;
    s.shown.mirrorVertical = 1;
    s.shown.chromaTrap = 1;
    s.cardType = type;
    return std::vector<std::string>{
        Show(solvane::CrystalItemRule(s, 0)), Show(solvane::CrystalItemRule(s, 1)),
        Show(solvane::MirrorItemRule(s, 0)), Show(solvane::MirrorItemRule(s, 1)),
        Show(solvane::ChromaTrapRule(s))};
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(row(0), (V{"e0", "e1", "-.", "-.", "-."}));
  EXPECT_EQ(row(1), (V{"-.", "-.", "e0", "e1", "e1"}));
  EXPECT_EQ(row(2), (V{"-.", "-.", "e0", "e1", "e1"}));
  EXPECT_EQ(row(3), (V{"-.", "-.", "-.", "-.", "-."}));
  EXPECT_EQ(row(std::nullopt), (V{"-.", "-.", "-.", "-.", "-."}));
}

// The framework is told the check mark first and then the enabled state; a rule without a
// check mark leaves the mark alone.
TEST(MenuRules, ApplyingARuleSetsTheCheckOnlyWhenItHasOne) {
  CCmdUI ui(1);
  ui.SetCheck(1);
  ApplyMenuRule(ui, MenuRule{false, std::nullopt});
  EXPECT_FALSE(ui.enabled());
  EXPECT_EQ(ui.check(), 1);
  ApplyMenuRule(ui, MenuRule{true, 0});
  EXPECT_TRUE(ui.enabled());
  EXPECT_EQ(ui.check(), 0);
}

}  // namespace
