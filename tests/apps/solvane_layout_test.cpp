// solvane_layout_test.cpp - Solvane's window rules on their own: the position-changing rule (on
// the screen, aligned, never larger than the picture, the minimised and maximised cases), the
// clip-mode scroll ranges and the input and output windows for a view rectangle.
#include "solvane_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using solvane::Borders;
using solvane::ClipScrollSettings;
using solvane::ConstrainFramePosition;
using solvane::MaxClientSize;
using solvane::PlaceRects;
using solvane::PositionContext;

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Text(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// A frame like the real one: 1280 x 1024 screen, borders 3/38/19/21 (menu bar above, scroll bars
// on the right and bottom), PAL frame mode.
PositionContext Context() {
  PositionContext c;
  c.borders = Borders{3, 38, 19, 21};
  c.screenWidth = 1280;
  c.screenHeight = 1024;
  c.maxClient = MaxClientSize(kStandardPal, kScanFrame);
  return c;
}

WINDOWPOS Pos(int x, int y, int cx, int cy) {
  return WINDOWPOS{x, y, cx, cy, 0};
}

// ---- Position rule ------------------------------------------------------------------------------

TEST(SolvanePositionRule, AnAlignedFrameOnTheScreenIsLeftAlone) {
  int restore = 0;
  // Client area at (100, 100), 400 x 300.
  WINDOWPOS pos = Pos(97, 62, 3 + 19 + 400, 38 + 21 + 300);
  ConstrainFramePosition(pos, Context(), restore);
  EXPECT_EQ(pos.x, 97);
  EXPECT_EQ(pos.y, 62);
  EXPECT_EQ(pos.cx, 422);
  EXPECT_EQ(pos.cy, 359);
  EXPECT_EQ(restore, 0);
}

TEST(SolvanePositionRule, ClientOriginIsRaisedToTheNextMultipleOf4AndEvenLine) {
  int restore = 0;
  WINDOWPOS pos = Pos(98, 63, 422, 359);  // client at 101, 101
  ConstrainFramePosition(pos, Context(), restore);
  EXPECT_EQ(pos.x + 3, 104);
  EXPECT_EQ(pos.y + 38, 102);
}

// A fault that computes the remainder with a floor or unsigned division moves a frame that lies
// partly off the left or top edge by the wrong amount; the rule uses signed remainders.
TEST(SolvanePositionRule, NegativeSumsUseSignedRemainders) {
  PositionContext c = Context();
  c.borders = Borders{-9, -5, 0, 0};  // borders that let the sum stay negative after the clamp
  int restore = 0;
  // x + left = 20 - 9 = 11 -> r = 3 -> x = 20 - 3 + 4 = 21.
  WINDOWPOS pos = Pos(20, 10, 400, 300);
  ConstrainFramePosition(pos, c, restore);
  EXPECT_EQ(pos.x, 21);
  EXPECT_EQ(pos.y, 11);  // 10 - 5 = 5 -> r = 1 -> 10 - 1 + 2

  // A frame wider than the screen: the right clamp puts x + left below 0, x = 1280 - 1400 + 0
  // = -120, sum -129: r = -1 (signed), so x = -120 + 1 + 4 = -115 (a floored remainder of 3
  // would give -119).
  c = Context();
  c.borders = Borders{-9, 0, 0, 0};
  c.maxClient = {2000, 2000};
  pos = Pos(0, 0, 1400, 300);
  ConstrainFramePosition(pos, c, restore);
  EXPECT_EQ(pos.x, -115);
  EXPECT_EQ(pos.x + c.borders.left, -124);  // -129 - (-1) + 4
}

TEST(SolvanePositionRule, NegativePositionIsPulledBackSoTheClientAreaStartsOnTheScreen) {
  int restore = 0;
  WINDOWPOS pos = Pos(-50, -70, 422, 359);
  ConstrainFramePosition(pos, Context(), restore);
  EXPECT_EQ(pos.x, -3);   // client left 0
  EXPECT_EQ(pos.y, -38);  // client top 0 (the menu bar may leave the screen)
}

TEST(SolvanePositionRule, FramePastTheRightAndBottomEdgesIsPulledBack) {
  int restore = 0;
  WINDOWPOS pos = Pos(1000, 900, 422, 359);
  ConstrainFramePosition(pos, Context(), restore);
  // x = 1280 - 422 + 19 = 877, client left 880 (already a multiple of 4).
  EXPECT_EQ(pos.x, 877);
  // y = 1024 - 359 + 21 = 686, client top 724 (even).
  EXPECT_EQ(pos.y, 686);
}

TEST(SolvanePositionRule, SizeIsCappedAtThePictureAndAlignedTo4By2) {
  int restore = 0;
  WINDOWPOS pos = Pos(-3, -38, 3 + 19 + 1000, 38 + 21 + 900);
  ConstrainFramePosition(pos, Context(), restore);
  EXPECT_EQ(pos.cx - 3 - 19, 768);
  EXPECT_EQ(pos.cy - 38 - 21, 576);

  pos = Pos(-3, -38, 3 + 19 + 401, 38 + 21 + 299);
  ConstrainFramePosition(pos, Context(), restore);
  EXPECT_EQ(pos.cx - 3 - 19, 400);
  EXPECT_EQ(pos.cy - 38 - 21, 298);
}

TEST(SolvanePositionRule, FieldModeHalvesTheMaximumHeightAndNtscIsSmaller) {
  EXPECT_EQ(MaxClientSize(kStandardPal, kScanFrame), (ImageSize{768, 576}));
  EXPECT_EQ(MaxClientSize(kStandardPal, kScanField), (ImageSize{768, 288}));
  EXPECT_EQ(MaxClientSize(kStandardPal, kScanField1), (ImageSize{768, 288}));
  EXPECT_EQ(MaxClientSize(kStandardNtsc, kScanField), (ImageSize{640, 240}));
  EXPECT_EQ(MaxClientSize(kStandardNtsc, kScanFrame), (ImageSize{640, 480}));
}

TEST(SolvanePositionRule, MaximisedFrameGetsThePictureSizedClientArea) {
  PositionContext c = Context();
  c.maximized = true;
  c.maxClient = MaxClientSize(kStandardPal, kScanField);
  int restore = 0;
  WINDOWPOS pos = Pos(0, 0, 1280, 1024);  // what maximising asks for
  ConstrainFramePosition(pos, c, restore);
  EXPECT_EQ(pos.cx - 3 - 19, 768);
  EXPECT_EQ(pos.cy - 38 - 21, 288);
  // Then aligned like any other position (x 0 + 3 is not a multiple of 4).
  EXPECT_EQ((pos.x + 3) % 4, 0);
  EXPECT_EQ((pos.y + 38) % 2, 0);
}

TEST(SolvanePositionRule, MinimisedChangesNothingAndTheFirstChangeAfterRestoreIsFree) {
  PositionContext c = Context();
  c.minimized = true;
  int restore = 0;
  WINDOWPOS pos = Pos(-501, -703, 5000, 5000);
  ConstrainFramePosition(pos, c, restore);
  EXPECT_EQ(restore, 1);
  EXPECT_EQ(pos.x, -501);
  EXPECT_EQ(pos.cx, 5000);

  c.minimized = false;  // restored: this change passes unconstrained and clears the flag
  ConstrainFramePosition(pos, c, restore);
  EXPECT_EQ(restore, 0);
  EXPECT_EQ(pos.x, -501);
  EXPECT_EQ(pos.y, -703);
  EXPECT_EQ(pos.cx, 5000);
  EXPECT_EQ(pos.cy, 5000);

  ConstrainFramePosition(pos, c, restore);  // the next one is constrained again
  EXPECT_EQ(pos.cx - 3 - 19, 768);
}

TEST(SolvanePositionRule, MaximisedWithARestorePendingTakesTheSizeButSkipsTheRest) {
  PositionContext c = Context();
  c.maximized = true;
  int restore = 1;
  WINDOWPOS pos = Pos(-501, 0, 1280, 1024);
  ConstrainFramePosition(pos, c, restore);
  EXPECT_EQ(restore, 0);
  EXPECT_EQ(pos.cx, 3 + 19 + 768);
  EXPECT_EQ(pos.x, -501);  // not clamped
}

// ---- Scroll ranges ----------------------------------------------------------------------------

TEST(SolvaneScrollRanges, PalViewOf400By300InFrameMode) {
  const auto s = ClipScrollSettings({768, 576}, 400, 300, kScanFrame);
  EXPECT_EQ(s.horizontal.max, 368);
  EXPECT_EQ(s.horizontal.page, 4u);
  EXPECT_EQ(s.vertical.max, 276);
  EXPECT_EQ(s.vertical.page, 2u);
  EXPECT_TRUE(s.horizontal.enabled());
  EXPECT_TRUE(s.vertical.enabled());
}

TEST(SolvaneScrollRanges, FieldModesCountTheViewTwiceVertically) {
  EXPECT_EQ(ClipScrollSettings({768, 576}, 400, 280, kScanField).vertical.max, 16);
  EXPECT_EQ(ClipScrollSettings({768, 576}, 400, 280, kScanField1).vertical.max, 16);
  EXPECT_EQ(ClipScrollSettings({768, 576}, 400, 280, kScanFrame).vertical.max, 296);
}

TEST(SolvaneScrollRanges, AMaximumOfZeroOrLessDisablesTheBar) {
  const auto full = ClipScrollSettings({768, 576}, 768, 576, kScanFrame);
  EXPECT_EQ(full.horizontal.max, 0);
  EXPECT_FALSE(full.horizontal.enabled());
  EXPECT_FALSE(full.vertical.enabled());
  const auto wider = ClipScrollSettings({640, 480}, 700, 100, kScanFrame);
  EXPECT_EQ(wider.horizontal.max, -60);
  EXPECT_FALSE(wider.horizontal.enabled());
  EXPECT_TRUE(wider.vertical.enabled());
}

// ---- Input and output windows -------------------------------------------------------------------

TEST(SolvanePlaceRects, ClipTakesTheViewSizeFromTheOrigin) {
  const RECT view{100, 140, 500, 440};
  const auto r = PlaceRects(view, 1, kScanFrame, {768, 576});
  EXPECT_TRUE(SameRect(r.input, RECT{0, 0, 400, 300})) << Text(r.input);
  EXPECT_TRUE(SameRect(r.output, view)) << Text(r.output);
}

TEST(SolvanePlaceRects, ScaleTakesTheWholePicture) {
  const RECT view{100, 140, 500, 440};
  EXPECT_TRUE(SameRect(PlaceRects(view, 0, kScanFrame, {768, 576}).input, RECT{0, 0, 768, 576}));
  EXPECT_TRUE(SameRect(PlaceRects(view, 0, kScanFrame, {640, 480}).input, RECT{0, 0, 640, 480}));
  EXPECT_TRUE(SameRect(PlaceRects(view, 0, kScanFrame, {640, 480}).output, view));
}

// In field modes the card delivers half-height pictures: the output is twice the view's height
// (so the field fills the view) and, in clip mode, the input is twice as tall as well.
TEST(SolvanePlaceRects, FieldModesDoubleTheHeights) {
  const RECT view{100, 140, 500, 440};
  for (int mode : {kScanField, kScanField1}) {
    const auto clip = PlaceRects(view, 1, mode, {768, 576});
    EXPECT_TRUE(SameRect(clip.input, RECT{0, 0, 400, 600})) << Text(clip.input);
    EXPECT_TRUE(SameRect(clip.output, RECT{100, 140, 500, 740})) << Text(clip.output);
    const auto scale = PlaceRects(view, 0, mode, {768, 576});
    EXPECT_TRUE(SameRect(scale.input, RECT{0, 0, 768, 576})) << Text(scale.input);
    EXPECT_TRUE(SameRect(scale.output, RECT{100, 140, 500, 740})) << Text(scale.output);
  }
}

}  // namespace
