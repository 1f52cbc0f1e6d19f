// snap_solvane_test.cpp - Solvane's continuous Snap through its frame, on the offscreen platform
// and the recording capture library: opening, the white ring and the start, closing, the rule,
// frames drawn and counted with the frame-rate title, slots outside the ring, the restart of the
// ring on a resize (rate restarted) and a scroll (rate kept), failing open and start (and Snap
// Shot without static memory), and closing the window while snapping.
#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"
#include "solvane_test_support.h"
#include "static_claims.h"

namespace {

using ::testing::ElementsAre;

class SolvaneSnapTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    quarnfake::Name(static_cast<CVideoWnd*>(&frame()), "frame");
    SizeClient(400, 300);
    clock().SetTick(5000);
  }

  // Snap on, with the queued repaint of the view done, and an empty log.
  void StartSnap() {
    ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
    ASSERT_EQ(card().GetState(), CardState::kSnap);
    h().ProcessEvents();
    quarnfake::ClearCalls();
  }
  // One frame of a single colour (0x00RRGGBB) stored in `slot`, as the card does in the 32-bit
  // format the display depth chose.
  int Deliver(uint32_t slot, uint32_t rgb) {
    const uint8_t pixel[4] = {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                              static_cast<uint8_t>(rgb >> 16), 0};
    return quarnfake::DeliverSnapFrame(1, slot, std::span<const uint8_t>(pixel, 4));
  }
  std::vector<std::string> Ops() {
    std::vector<std::string> ops;
    for (const quarnfake::Call& call : quarnfake::Calls()) ops.emplace_back(call.op);
    return ops;
  }

  quarnfake::ScopedFake fake_;  // before the harness: the program's calls land in a clean log
};

// ---- On and off
// ----------------------------------------------------------------------------------

TEST_F(SolvaneSnapTest, SnapOpensFillsTheRingWhiteAndStartsIt) {
  ASSERT_EQ(card().GetVideoFormat(), kFormatRgb8888);  // from the 32-bit display
  const uint64_t frameBytes = 400 * 300 * 4;
  std::span<uint8_t> ring = quarnfake::StaticMemory(0, 2 * frameBytes);
  std::fill(ring.begin(), ring.end(), 0x00);
  card().GetDisplayBuffer()[0] = 0x12;
  frame().imageCount = 5;
  frame().bmpSequence = 1;
  frame().frameCounter = 9;
  quarnfake::ClearCalls();

  h().Key(Qt::Key_3, Qt::ControlModifier);

  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), 4u) << calls;
  EXPECT_EQ(calls[0].op, "QuarnOpenSnapEx");
  EXPECT_EQ(calls[0].Pointer(1), reinterpret_cast<const void*>(&SnapFrameCallback));
  EXPECT_EQ(apptest::SnapTarget<CVideoWnd>(calls[0].Pointer(2)), static_cast<CVideoWnd*>(&frame()));
  EXPECT_EQ(calls[1].op, "QuarnStaticMemLock");
  EXPECT_EQ(calls[1].Unsigned(0), 0u);
  EXPECT_EQ(calls[1].Unsigned(1), 2 * frameBytes);
  EXPECT_EQ(calls[2].op, "QuarnStaticMemUnlock");
  EXPECT_EQ(calls[3].Text(), "QuarnStartSnapEx(h1, 0, 1, 2)");
  EXPECT_TRUE(std::all_of(ring.begin(), ring.end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(card().GetDisplayBuffer()[0], 0xFF);  // cleared
  EXPECT_EQ(card().GetState(), CardState::kSnap);
  EXPECT_EQ(h().Checked(ID_VIEW_SNAP), 1);
  EXPECT_EQ(frame().startTick, 5000u);
  EXPECT_EQ(frame().frameCounter, 0u);
  // A stored sequence cannot be played any more: the ring overwrote it.
  EXPECT_EQ(frame().imageCount, 0);
  EXPECT_EQ(frame().bmpSequence, 0);
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));

  quarnfake::ClearCalls();
  h().Key(Qt::Key_3, Qt::ControlModifier);
  // The close stops the snap itself; no separate stop is sent first.
  EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("QuarnCloseSnapEx(h1)"));
  EXPECT_EQ(card().GetState(), CardState::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_SNAP), 0);
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(SolvaneSnapTest, SnapIsAllowedWhenIdleOrSnappingWithoutPlayback) {
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP));
  frame().playing = 1;
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_SNAP));
  frame().playing = 0;
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_FALSE(h().Send(ID_VIEW_SNAP));
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  StartSnap();
  // While snapping, the commands that need an idle card are refused.
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
}

TEST_F(SolvaneSnapTest, AFailingStartShowsItsBoxAndTheSnapStaysOpen) {
  quarnfake::Script("QuarnStartSnapEx").Returns(QUARN_ERR_STATIC_MEM);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_STATIC_MEM));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(card().GetState(), CardState::kSnap);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));  // and Snap closes it
  EXPECT_EQ(card().GetState(), CardState::kIdle);
}

// A GStreamer pipeline (another owner, here in the same process) holds the first byte of the
// ring: neither Snap nor Snap Shot writes into its frames, not even the white fill; each shows the
// busy status and leaves the program as a failing start does.
TEST_F(SolvaneSnapTest, MemoryAnotherOwnerHoldsIsRefusedAsBusyAndLeftAlone) {
  struct Case {
    UINT command;
    const char* op;
    CardState state;  // after the command
  };
  const Case cases[] = {
      {ID_VIEW_SNAP, "QuarnStartSnapEx", CardState::kSnap},
      {ID_VIEW_SNAP_SHOT, "QuarnSnapShot", CardState::kIdle},
  };
  static const int pipeline = 0;
  std::unique_ptr<CClaim> held;
  ASSERT_EQ(ClaimStaticMem(&pipeline, 0, 1, held), QUARN_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    std::span<uint8_t> first = quarnfake::StaticMemory(0, 1);
    first[0] = 0x12;
    frame().imageCount = 3;
    boxes().Clear();
    quarnfake::ClearCalls();

    ASSERT_TRUE(h().Send(c.command));

    ASSERT_EQ(boxes().count(), 1u);
    EXPECT_EQ(boxes().last().text, quarnfake::ErrorText(QUARN_ERR_BUSY));
    EXPECT_EQ(boxes().last().caption, "Error message");
    EXPECT_EQ(quarnfake::CallCount(c.op), 0u);
    EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u);
    EXPECT_EQ(first[0], 0x12);
    EXPECT_EQ(card().GetState(), c.state);
    if (c.state == CardState::kSnap) {
      ASSERT_TRUE(h().Send(ID_VIEW_SNAP));  // Snap closes it again
      EXPECT_EQ(card().GetState(), CardState::kIdle);
    } else {
      EXPECT_EQ(frame().imageCount, 3) << "the stored sequence can still be played";
    }
  }
}

// Snap whose open fails, and Snap Shot without static memory, used to end without a word: the
// user pressed a key and nothing happened. Each shows the library's text for the status, and
// goes no further: the card stays idle, static memory is not touched and a stored sequence can
// still be played.
TEST_F(SolvaneSnapTest, ACallTheCommandCannotGoOnWithoutShowsItsStatus) {
  struct Case {
    UINT command;
    const char* op;
    int status;
  };
  const Case cases[] = {
      {ID_VIEW_SNAP, "QuarnOpenSnapEx", QUARN_ERR_BUSY},
      {ID_VIEW_SNAP_SHOT, "QuarnGetStaticMem", QUARN_ERR_STATIC_MEM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    quarnfake::Script(c.op).ReturnsNext(c.status);
    frame().imageCount = 3;
    boxes().Clear();
    quarnfake::ClearCalls();

    ASSERT_TRUE(h().Send(c.command));

    ASSERT_EQ(boxes().count(), 1u);
    EXPECT_EQ(boxes().last().text, quarnfake::ErrorText(c.status));
    EXPECT_EQ(boxes().last().caption, "Error message");
    EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(boxes().last().owner, nullptr);
    EXPECT_THAT(Ops(), ElementsAre(c.op, "QuarnGetErrorString"));
    EXPECT_EQ(card().GetState(), CardState::kIdle);
    EXPECT_EQ(h().Checked(ID_VIEW_SNAP), 0);
    EXPECT_EQ(frame().imageCount, 3);
  }
}

TEST_F(SolvaneSnapTest, ClosingTheWindowWhileSnappingClosesTheSnapFirst) {
  StartSnap();
  h().SendMessage(WM_CLOSE);
  const std::vector<std::string> ops = Ops();
  const auto close = std::find(ops.begin(), ops.end(), "QuarnCloseSnapEx");
  const auto end = std::find(ops.begin(), ops.end(), "EndQuarnCard");
  ASSERT_NE(close, ops.end());
  EXPECT_LT(close, end);
}

// ---- Frames
// ----------------------------------------------------------------------------------------

// The first frame comes at the start tick: the elapsed time plus one millisecond gives 1000 fps
// rather than a division by zero.
TEST_F(SolvaneSnapTest, EachFrameIsDrawnCountedAndShownAsTheAverageRateInTheTitle) {
  StartSnap();
  ASSERT_EQ(Deliver(1, 0x306090), 1);
  EXPECT_EQ(PixelAt(0, 0), 0x306090u);
  EXPECT_EQ(PixelAt(399, 299), 0x306090u);
  EXPECT_EQ(frame().frameCounter, 1u);
  const quarnfake::CallList lock = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(lock.size(), 1u);
  EXPECT_EQ(lock[0].Unsigned(0), 400u * 300 * 4);  // slot 1 of the ring
  h().ProcessEvents();
  EXPECT_EQ(frame().GetWindowText(), "Quarn Performance [400 x 300]  1000.000000(fps) ");

  clock().Advance(999);
  ASSERT_EQ(Deliver(0, 0x102030), 1);
  EXPECT_EQ(PixelAt(200, 150), 0x102030u);
  h().ProcessEvents();
  EXPECT_EQ(frame().GetWindowText(), "Quarn Performance [400 x 300]  2.000000(fps) ");
}

// A start tick reset just after a frame read the clock makes the elapsed time wrap to 2^32 - 1;
// adding the one millisecond in 32 bits would then divide by zero.
TEST_F(SolvaneSnapTest, AWrappedElapsedTimeNeverDividesByZero) {
  StartSnap();
  frame().startTick = 5001;
  ASSERT_EQ(Deliver(0, 0), 1);
  h().ProcessEvents();
  EXPECT_EQ(frame().GetWindowText(), "Quarn Performance [400 x 300]  0.000000(fps) ");
}

TEST_F(SolvaneSnapTest, ASlotOutsideTheRingIsIgnored) {
  StartSnap();
  QuarnSnapInfo info{1, 0, 2, quarnfake::Card(1).context};
  EXPECT_EQ(SnapFrameCallback(&info), 1);
  info.slot = 0xFFFFFFFFu;
  EXPECT_EQ(SnapFrameCallback(&info), 1);
  EXPECT_EQ(frame().frameCounter, 0u);
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u);
}

// ---- Restart of the ring when the windows change
// ---------------------------------------------------

// A new size stops the snap, sends the windows, refills the ring at the new frame size and
// starts again; the frames then read back at the new size, and the rate counts from now.
TEST_F(SolvaneSnapTest, AResizeRestartsTheRingAndTheRate) {
  StartSnap();
  ASSERT_EQ(Deliver(0, 0x111111), 1);
  ASSERT_EQ(Deliver(1, 0x111111), 1);
  quarnfake::ClearCalls();
  clock().Advance(700);

  SizeClient(320, 240);

  const std::vector<std::string> ops = Ops();
  ASSERT_FALSE(ops.empty());
  // Every placement (the move and the size may each place the video) is one whole restart.
  const std::vector<std::string> restart = {"QuarnStopSnapEx",      "QuarnSetInputWindow",
                                            "QuarnSetOutputWindow", "QuarnStaticMemLock",
                                            "QuarnStaticMemUnlock", "QuarnStartSnapEx"};
  ASSERT_EQ(ops.size() % restart.size(), 0u) << quarnfake::Calls();
  for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(ops[i], restart[i % restart.size()]) << i;
  const quarnfake::Call fill = quarnfake::Calls("QuarnStaticMemLock").back();
  EXPECT_EQ(fill.Unsigned(1), 2u * 320 * 240 * 4);
  EXPECT_EQ(quarnfake::Calls("QuarnStartSnapEx").back().Text(), "QuarnStartSnapEx(h1, 0, 1, 2)");
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biWidth, 320);
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biHeight, 240);
  EXPECT_EQ(frame().frameCounter, 0u);
  EXPECT_EQ(frame().startTick, 5700u);
  EXPECT_EQ(card().GetState(), CardState::kSnap);
}

TEST_F(SolvaneSnapTest, AScrollRestartsTheRingButKeepsTheRate) {
  StartSnap();
  ASSERT_EQ(Deliver(0, 0x111111), 1);
  ASSERT_EQ(Deliver(1, 0x111111), 1);
  quarnfake::ClearCalls();
  clock().Advance(700);

  frame().OnViewScroll(SB_HORZ, SB_LINERIGHT, 0);

  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), 6u) << calls;
  EXPECT_EQ(calls[0].Text(), "QuarnStopSnapEx(h1)");
  EXPECT_EQ(calls[1].Text(), "QuarnSetInputWindow(h1, 4, 0, 400, 300)");
  EXPECT_EQ(calls[2].Text(), "QuarnSetOutputWindow(h1, 100, 100, 400, 300)");
  EXPECT_EQ(calls[3].op, "QuarnStaticMemLock");
  EXPECT_EQ(calls[3].Unsigned(1), 2u * 400 * 300 * 4);
  EXPECT_EQ(calls[5].Text(), "QuarnStartSnapEx(h1, 0, 1, 2)");
  EXPECT_EQ(frame().frameCounter, 2u);
  EXPECT_EQ(frame().startTick, 5000u);
}

// ---- Failures that leave the card delivering
// ----------------------------------------------------

// A stop that fails leaves the snap delivering, so its windows (which the callback reads) are not
// changed and nothing is restarted.
TEST_F(SolvaneSnapTest, AStopThatFailsLeavesTheWindowsAlone) {
  StartSnap();
  const VideoWindow output = card().GetOutputWindow();
  quarnfake::Script("QuarnStopSnapEx").Returns(QUARN_ERR_BUSY);
  SizeClient(320, 240);
  quarnfake::Script("QuarnStopSnapEx").Clear();
  EXPECT_EQ(card().GetOutputWindow(), output);
  EXPECT_EQ(quarnfake::CallCount("QuarnSetOutputWindow"), 0u);
  EXPECT_EQ(quarnfake::CallCount("QuarnStartSnapEx"), 0u);
  EXPECT_EQ(card().GetState(), CardState::kSnap);
}

// With the close and the end failing, the card goes on calling back after the frame and its card
// object are gone; the callback reaches nothing (no use of freed memory under ASan).
TEST_F(SolvaneSnapTest, ACallbackAfterTheFrameWentReachesNothing) {
  StartSnap();
  quarnfake::Script("QuarnCloseSnapEx").Returns(QUARN_ERR_BUSY);
  quarnfake::Script("EndQuarnCard").Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_APP_EXIT));
  EXPECT_EQ(h().Exit(), 0);
  h_.reset();
  quarnfake::ClearCalls();
  EXPECT_EQ(Deliver(0, 0x123456), 1);
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u) << "nothing converted";
}

// The count and the start tick are reset before the snap starts: a frame that arrives while the
// start call is still running counts, against the new start tick.
TEST_F(SolvaneSnapTest, TheRateIsResetBeforeTheSnapStarts) {
  frame().frameCounter = 9;
  frame().startTick = 1;
  clock().SetTick(7000);
  uint32_t countAtStart = 99;
  uint32_t tickAtStart = 0;
  quarnfake::OnCall("QuarnStartSnapEx", [&] {
    countAtStart = frame().frameCounter;
    tickAtStart = frame().startTick;
  });
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  quarnfake::OnCall("QuarnStartSnapEx", {});
  EXPECT_EQ(countAtStart, 0u);
  EXPECT_EQ(tickAtStart, 7000u);
}

}  // namespace
