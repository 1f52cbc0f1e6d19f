// shot_mask_solvane_test.cpp - Solvane's Capture Shot and Mask through the frame on the recording
// capture library: the rules, the white buffer before the read-back, the read-back sizes and
// arguments in frame and field modes, the failure box, the mask's rectangles in the background
// colour before the read-back, the demonstration mask's library calls (count, order, values) in
// frame and field modes and for NTSC, the card's rectangle loader stopping at its first failure,
// the start-up load at full height, and the mask flag kept on 0 and -7 only.
#include <algorithm>
#include <string>
#include <vector>

#include "dc.h"
#include "main_frm.h"
#include "pixel_mask.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"
#include "solvane_test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// One QuarnSetPixelMask call as (x, y, value); Solvane has one card.
struct MaskCall {
  int x;
  int y;
  int value;
  bool operator==(const MaskCall&) const = default;
};

// Equal call lists, or where the first difference lies (the lists are too long to print).
::testing::AssertionResult SameCalls(const std::vector<MaskCall>& got,
                                     const std::vector<MaskCall>& want) {
  const size_t common = std::min(got.size(), want.size());
  for (size_t i = 0; i < common; ++i) {
    if (!(got[i] == want[i])) {
      return ::testing::AssertionFailure()
             << "call " << i << " is (" << got[i].x << ", " << got[i].y << ") = " << got[i].value
             << ", expected (" << want[i].x << ", " << want[i].y << ") = " << want[i].value;
    }
  }
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << got.size() << " calls, expected " << want.size();
  }
  return ::testing::AssertionSuccess();
}

// The calls that load the demonstration pattern for a width x height picture: each rectangle in
// table order, column by column, each column top to bottom.
std::vector<MaskCall> PatternCalls(int width, int height) {
  std::vector<MaskCall> calls;
  for (const MaskRect& rect : DemonstrationMask(width, height)) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) {
      for (int y = rect.y; y < rect.y + rect.height; ++y) calls.push_back({x, y, rect.value});
    }
  }
  return calls;
}

std::vector<MaskCall> RecordedMaskCalls() {
  std::vector<MaskCall> calls;
  for (const quarnfake::Call& call : quarnfake::Calls("QuarnSetPixelMask")) {
    EXPECT_EQ(call.handle, quarnfake::HandleOf(1));
    calls.push_back({static_cast<int>(call.Int(1)), static_cast<int>(call.Int(2)),
                     static_cast<int>(call.Int(3))});
  }
  return calls;
}

class SolvaneShotMaskTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    quarnfake::Name(view().HostWindow().Contract(), "wnd");
  }

  // Mask commands go through the command path; the calls of one switch are left in the log.
  void SendMask() {
    quarnfake::ClearCalls();
    ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  }

  quarnfake::ScopedFake fake_;
};

// ---- Capture Shot -------------------------------------------------------------------------------

TEST_F(SolvaneShotMaskTest, CaptureShotNeedsAnIdleCardAndNoPlayback) {
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
  frame().playing = 1;
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
  quarnfake::ClearCalls();
  EXPECT_FALSE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  frame().playing = 0;
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(card().GetState(), CardState::kLive);
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
  quarnfake::ClearCalls();
  EXPECT_FALSE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
}

TEST_F(SolvaneShotMaskTest, CtrlTwoFreezesAndReadsTheOutputWindowFromTheViewsCorner) {
  SizeClient(400, 300);
  quarnfake::SetDisplaySeed(23);
  quarnfake::ClearCalls();
  h().Key(Qt::Key_2, Qt::ControlModifier);

  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), 2u) << calls;
  EXPECT_EQ(calls[0].Text(), "QuarnCaptureShot(h1)");
  const quarnfake::Call& read = calls[1];
  EXPECT_EQ(read.op, "QuarnGetDisplayBits");
  EXPECT_EQ(read.Int(1), 0);
  EXPECT_EQ(read.Int(2), 0);
  EXPECT_EQ(read.Int(3), 400);
  EXPECT_EQ(read.Int(4), 300);
  EXPECT_EQ(read.Pointer(5), &card().GetDisplayHeader()->bmiHeader.biBitCount);
  EXPECT_EQ(read.Pointer(6), card().GetDisplayBuffer());

  const BITMAPINFOHEADER& header = card().GetDisplayHeader()->bmiHeader;
  EXPECT_EQ(header.biWidth, 400);
  EXPECT_EQ(header.biHeight, 300);
  EXPECT_EQ(header.biBitCount, 32);
  const std::vector<uint8_t> expected = quarnfake::ExpectedDisplayBits(0, 0, 400, 300);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card().GetDisplayBuffer()));
  EXPECT_EQ(card().GetState(), CardState::kIdle);  // no mode change
  EXPECT_EQ(quarnfake::Card(1).captureShots, 1);

  // The repaint the shot asked for draws the frozen picture (red = x, green = y, blue = seed).
  h().ProcessEvents();
  EXPECT_EQ(PixelAt(10, 20), 0x0A1417u);
  EXPECT_EQ(PixelAt(399, 299), 0x8F2B17u);
}

// In the field modes the output window is twice the view's height; the card delivers half.
TEST_F(SolvaneShotMaskTest, InAFieldModeTheReadBackIsHalfTheOutputHeight) {
  for (int scan : {kScanField, kScanField1}) {
    SCOPED_TRACE(scan);
    ASSERT_EQ(card().SetScanMode(scan), QUARN_OK);
    SizeClient(400, 280);
    ASSERT_EQ(card().GetOutputWindow().height, 560);
    quarnfake::ClearCalls();
    ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
    const quarnfake::Call read = quarnfake::Calls("QuarnGetDisplayBits").back();
    EXPECT_EQ(read.Int(3), 400);
    EXPECT_EQ(read.Int(4), 280);
    EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biWidth, 400);
    EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biHeight, 280);
  }
}

// The buffer is cleared to white first: a failed read-back leaves white, not the old picture,
// and the header keeps its old size. Neither is reported.
TEST_F(SolvaneShotMaskTest, AFailedReadBackLeavesAWhiteBufferAndTheOldSize) {
  SizeClient(400, 300);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  ASSERT_NE(card().GetDisplayBuffer()[4], 0xFF);
  SizeClient(320, 240);
  quarnfake::Script("QuarnGetDisplayBits").Returns(QUARN_ERR_NO_WINDOW);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biWidth, 400);
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biHeight, 300);
  const uint8_t* buffer = card().GetDisplayBuffer();
  EXPECT_TRUE(std::all_of(buffer, buffer + card().GetDisplayBufferSize(),
                          [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(SolvaneShotMaskTest, AFailingFreezeShowsItsBoxWithNoOwnerAndStillReadsBack) {
  quarnfake::Script("QuarnCaptureShot").Returns(QUARN_ERR_BAD_HANDLE);
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_BAD_HANDLE));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(quarnfake::CallCount("QuarnGetDisplayBits"), 1u);
}

// With the mask on, the square and the line are filled with the view's background colour before
// the picture is read back, so the grabbed picture shows them; with it off nothing is filled.
TEST_F(SolvaneShotMaskTest, WithTheMaskOnTheTwoRectanglesAreFilledBeforeTheReadBack) {
  SizeClient(400, 300);
  auto paintRed = [&] {
    CClientDC dc(&view());
    dc.FillSolidRect(0, 0, 400, 300, RGB(255, 0, 0));
  };
  paintRed();
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_EQ(PixelAt(60, 60), 0xFF0000u);  // mask off: nothing filled

  ASSERT_EQ(card().EnableMask(1), QUARN_OK);
  h().ProcessEvents();
  paintRed();
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  // Before the repaint: what the read-back saw.
  EXPECT_EQ(PixelAt(50, 50), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(99, 99), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(100, 100), 0xFF0000u);
  EXPECT_EQ(PixelAt(100, 150), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(199, 150), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(150, 151), 0xFF0000u);
  EXPECT_EQ(PixelAt(200, 150), 0xFF0000u);
  EXPECT_EQ(PixelAt(10, 10), 0xFF0000u);
}

// ---- Mask ---------------------------------------------------------------------------------------

TEST_F(SolvaneShotMaskTest, MaskIsEnabledOnlyForAnIdleCardAndCheckedByTheCardsFlag) {
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_MASK));
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 0);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_MASK));
  quarnfake::ClearCalls();
  EXPECT_FALSE(h().Send(ID_VIEW_MASK));
  EXPECT_EQ(quarnfake::CallCount("QuarnSetPixelMask"), 0u);
  EXPECT_EQ(card().IsMaskEnabled(), 0);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(card().EnableMask(1), QUARN_OK);
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 1);
}

// PAL frame mode: 768 x 576 kept, then the square and the line masked, then the mask switched on.
TEST_F(SolvaneShotMaskTest, MaskOnLoadsThePalPatternInTableOrderThenEnables) {
  SendMask();
  const std::vector<MaskCall> expected = PatternCalls(768, 576);
  ASSERT_EQ(expected.size(), 444968u);
  const std::vector<MaskCall> recorded = RecordedMaskCalls();
  ASSERT_EQ(recorded.size(), expected.size());
  EXPECT_TRUE(SameCalls(recorded, expected));
  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), expected.size() + 1);
  EXPECT_EQ(calls.back().Text(), "QuarnEnableMask(h1, 1)");
  EXPECT_EQ(card().IsMaskEnabled(), 1);
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 1);
  EXPECT_EQ(quarnfake::Card(1).maskedPixels, 2600);
  EXPECT_TRUE(quarnfake::PixelMasked(1, 75, 75));
  EXPECT_FALSE(quarnfake::PixelMasked(1, 10, 10));
}

// The whole picture is 768 x 288 in both field modes and 640 x 480 (240 in a field mode) for
// NTSC; a field pattern loaded over a frame one keeps only what the smaller area clears.
TEST_F(SolvaneShotMaskTest, MaskOnUsesTheStandardsSizeHalvedInTheFieldModes) {
  struct Case {
    int standard;
    int scan;
    int width;
    int height;
  } const cases[] = {{kStandardPal, kScanField, 768, 288},
                     {kStandardPal, kScanField1, 768, 288},
                     {kStandardNtsc, kScanFrame, 640, 480},
                     {kStandardNtsc, kScanField, 640, 240}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.standard) + "/" + std::to_string(c.scan));
    ASSERT_EQ(card().SetVideoStandard(c.standard), QUARN_OK);
    ASSERT_EQ(card().SetScanMode(c.scan), QUARN_OK);
    SendMask();
    EXPECT_TRUE(SameCalls(RecordedMaskCalls(), PatternCalls(c.width, c.height)));
    EXPECT_EQ(quarnfake::Calls().back().Text(), "QuarnEnableMask(h1, 1)");
    SendMask();  // off again: only the switch
    EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("QuarnEnableMask(h1, 0)"));
    EXPECT_EQ(card().IsMaskEnabled(), 0);
  }
}

// The start-up load after the saved flag was read back on never halves the height.
TEST_F(SolvaneShotMaskTest, TheStartUpLoadUsesTheFullHeightInAFieldMode) {
  ASSERT_EQ(card().SetScanMode(kScanField), QUARN_OK);
  quarnfake::ClearCalls();
  LoadDemonstrationMask(card(), false);
  EXPECT_TRUE(SameCalls(RecordedMaskCalls(), PatternCalls(768, 576)));
  EXPECT_EQ(quarnfake::CallCount("QuarnEnableMask"), 0u);  // loading does not switch it on
}

// "Not applied yet" (-7) is an accepted switch: the flag and the check mark follow. Any other
// failure leaves both on the old state, and nothing is reported.
TEST_F(SolvaneShotMaskTest, TheFlagFollowsAnEnableOfZeroOrMinusSevenOnly) {
  quarnfake::Script("QuarnEnableMask").Returns(QUARN_ERR_NOT_APPLIED);
  SendMask();
  EXPECT_EQ(card().IsMaskEnabled(), 1);
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 1);

  quarnfake::Script("QuarnEnableMask").Returns(QUARN_ERR_GENERAL);
  SendMask();
  EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("QuarnEnableMask(h1, 0)"));
  EXPECT_EQ(card().IsMaskEnabled(), 1);  // still on
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 1);

  quarnfake::Script("QuarnEnableMask").Returns(QUARN_OK);
  SendMask();
  EXPECT_EQ(card().IsMaskEnabled(), 0);

  // Switching on with a failing enable still loads the pattern, but the flag stays off.
  for (int status : {QUARN_ERR_GENERAL, QUARN_ERR_BUSY, QUARN_ERR_BAD_HANDLE}) {
    SCOPED_TRACE(status);
    quarnfake::Script("QuarnEnableMask").Returns(status);
    SendMask();
    EXPECT_EQ(quarnfake::CallCount("QuarnSetPixelMask"), 444968u);
    EXPECT_EQ(card().IsMaskEnabled(), 0);
    EXPECT_EQ(h().Checked(ID_VIEW_MASK), 0);
  }
  EXPECT_EQ(boxes().count(), 0u);
}

// A failing pixel ends its rectangle; the next rectangles are still loaded.
TEST_F(SolvaneShotMaskTest, AFailingPixelEndsItsRectangleButNotThePattern) {
  // The third pixel of the whole picture fails.
  quarnfake::Script("QuarnSetPixelMask").ReturnsNext(QUARN_OK, 2).ReturnsNext(QUARN_ERR_GENERAL);
  SendMask();
  std::vector<MaskCall> expected = {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}};
  for (const MaskCall& call : PatternCalls(0, 0)) expected.push_back(call);
  EXPECT_TRUE(SameCalls(RecordedMaskCalls(), expected));
  EXPECT_EQ(quarnfake::Calls().back().Text(), "QuarnEnableMask(h1, 1)");
  EXPECT_EQ(card().IsMaskEnabled(), 1);
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(SolvaneShotMaskTest, TheCardsRectangleLoaderReturnsTheFirstFailureAndStopsThere) {
  quarnfake::ClearCalls();
  EXPECT_EQ(card().SetPixelMaskRect(10, 20, 2, 2, 1), QUARN_OK);
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("QuarnSetPixelMask(h1, 10, 20, 1)", "QuarnSetPixelMask(h1, 10, 21, 1)",
                          "QuarnSetPixelMask(h1, 11, 20, 1)", "QuarnSetPixelMask(h1, 11, 21, 1)"));
  quarnfake::ClearCalls();
  // The third pixel is below the PAL picture: the library refuses it and the loop ends.
  EXPECT_EQ(card().SetPixelMaskRect(767, 574, 3, 3, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(quarnfake::CallCount("QuarnSetPixelMask"), 3u);
  // Nothing to load is a success without a call.
  quarnfake::ClearCalls();
  EXPECT_EQ(card().SetPixelMaskRect(0, 0, 0, 5, 1), QUARN_OK);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
}

}  // namespace
