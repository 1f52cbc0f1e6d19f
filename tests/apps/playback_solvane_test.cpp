// playback_solvane_test.cpp - Solvane's Snap Shot and playback through its frame, on the
// offscreen platform and the recording capture library: the frame count and the notice, nothing
// fitting, the 16-bit limit, failures; Step, Circle and Stop with clicks, timer ticks, their rules
// and check marks, wrapping after the last frame and switching between the modes.
#include <QTest>
#include <algorithm>
#include <span>

#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"
#include "solvane_test_support.h"

namespace {

constexpr uint64_t kPage = 4096;
constexpr uint64_t kFrameBytes = 400 * 300 * 4;  // a 400 x 300 view at 32 bits

class SolvanePlaybackTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    SizeClient(400, 300);
    ASSERT_EQ(card().FrameBytes(), static_cast<int64_t>(kFrameBytes));
  }

  // Snap Shot into a reservation of `pages`; then frame k of the sequence is painted in
  // Colour(k), as the card would have stored it (32 bits, B G R X).
  void SnapShot(int pages) {
    quarnfake::SetStaticMemPages(pages);
    h().Key(Qt::Key_4, Qt::ControlModifier);
    for (int k = 0; k < frame().imageCount; ++k) {
      const uint32_t rgb = Colour(k);
      std::span<uint8_t> bytes = quarnfake::StaticMemory(k * kFrameBytes, kFrameBytes);
      for (size_t i = 0; i < bytes.size(); i += 4) {
        bytes[i] = static_cast<uint8_t>(rgb);
        bytes[i + 1] = static_cast<uint8_t>(rgb >> 8);
        bytes[i + 2] = static_cast<uint8_t>(rgb >> 16);
      }
    }
    boxes().Clear();
    quarnfake::ClearCalls();
  }
  static uint32_t Colour(int k) { return 0x102030u * static_cast<uint32_t>(k + 1); }
  uint32_t Shown() {
    uint32_t rgb = 0;
    view().GetBackingStore().Read(
        [&](const QImage& image) { rgb = image.pixel(200, 150) & 0xFFFFFFu; });
    return rgb;
  }
  void Click() { h().SendMessage(WM_LBUTTONDOWN, 0, 0); }
  void Tick() { h().SendMessage(WM_TIMER, kPlaybackTimerId, 0); }

  quarnfake::ScopedFake fake_;
};

// ---- Snap Shot
// -----------------------------------------------------------------------------------

// 3.5 frames' worth of static memory: 3 frames are stored, the memory for them filled white first.
TEST_F(SolvanePlaybackTest, SnapShotStoresTheFramesThatFitAndTellsTheCount) {
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));
  const int pages = static_cast<int>(kFrameBytes * 7 / 2 / kPage);
  quarnfake::SetStaticMemPages(pages);
  quarnfake::ClearCalls();

  h().Key(Qt::Key_4, Qt::ControlModifier);

  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), 4u) << calls;
  EXPECT_EQ(calls[0].op, "QuarnGetStaticMem");
  EXPECT_EQ(calls[1].op, "QuarnStaticMemLock");
  EXPECT_EQ(calls[1].Unsigned(0), 0u);
  EXPECT_EQ(calls[1].Unsigned(1), 3 * kFrameBytes);
  EXPECT_EQ(calls[2].op, "QuarnStaticMemUnlock");
  EXPECT_EQ(calls[3].Text(), "QuarnSnapShot(h1, 0, 0, 1, 3)");
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, "Snap shot 3 images totally to memory ");
  EXPECT_EQ(boxes().last().caption, "Notice");
  EXPECT_EQ(boxes().last().style, MB_OK);
  EXPECT_EQ(boxes().last().owner, &frame());
  EXPECT_EQ(frame().imageCount, 3);
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_STEP));
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_CIRCLE));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STOP));
}

TEST_F(SolvanePlaybackTest, WhenNoFrameFitsTheNoticeSaysZeroAndPlaybackStaysDisabled) {
  quarnfake::SetStaticMemPages(static_cast<int>(kFrameBytes / kPage));  // just under one frame
  h().Key(Qt::Key_4, Qt::ControlModifier);
  EXPECT_EQ(quarnfake::Calls("QuarnSnapShot").back().Text(), "QuarnSnapShot(h1, 0, 0, 1, 0)");
  EXPECT_EQ(boxes().last().text, "Snap shot 0 images totally to memory ");
  EXPECT_EQ(frame().imageCount, 0);
  EXPECT_FALSE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_FALSE(h().Send(ID_PLAYBACK_CIRCLE));
  EXPECT_EQ(frame().playing, 0);
}

// 8-byte frames in 800 KB: 102,400 would fit, but the library's count is 16-bit; a wrapped count
// (36,864) would store far fewer frames than the notice claims.
TEST_F(SolvanePlaybackTest, TheCountIsLimitedToWhatTheLibraryCanStore) {
  ASSERT_EQ(card().SetVideoFormat(kFormatAll8), QUARN_OK);
  ASSERT_EQ(card().SetOutputWindow(0, 0, 4, 2), QUARN_OK);
  quarnfake::SetStaticMemPages(200);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
  EXPECT_EQ(quarnfake::Calls("QuarnSnapShot").back().Text(), "QuarnSnapShot(h1, 0, 0, 1, 65535)");
  EXPECT_EQ(boxes().last().text, "Snap shot 65535 images totally to memory ");
  EXPECT_EQ(frame().imageCount, 65535);
}

TEST_F(SolvanePlaybackTest, AFailingSnapShotShowsItsBoxAndKeepsNoCount) {
  quarnfake::Script("QuarnSnapShot").Returns(QUARN_ERR_NO_SIGNAL);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_NO_SIGNAL));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(frame().imageCount, 0);
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));
}

// ---- Step, Circle, Stop
// ------------------------------------------------------------------------------

// Step shows frame 0 at once, each click the next; the (N+1)-th shows frame 0 again.
TEST_F(SolvanePlaybackTest, StepShowsFrameZeroAtOnceAndEachClickTheNextWrappingAtTheEnd) {
  SnapShot(static_cast<int>(kFrameBytes * 3 / kPage) + 1);
  ASSERT_EQ(frame().imageCount, 3);
  ASSERT_TRUE(h().Menu(ID_PLAYBACK_STEP));
  EXPECT_EQ(Shown(), Colour(0));
  EXPECT_EQ(h().Checked(ID_PLAYBACK_STEP), 1);
  EXPECT_EQ(h().Checked(ID_PLAYBACK_CIRCLE), 0);
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_STOP));
  // Playback holds the display: no acquisition may start.
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_SNAP));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE));

  // A click in the picture reaches the frame and steps.
  QTest::mouseClick(view().GetClientWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(Shown(), Colour(1));
  Click();
  EXPECT_EQ(Shown(), Colour(2));
  Click();
  EXPECT_EQ(Shown(), Colour(0));
  // The frames were read 400 x 300 x 4 bytes apart (rows of 1,600 bytes need no padding).
  const quarnfake::CallList locks = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(locks.size(), 4u);
  EXPECT_EQ(locks[1].Unsigned(0), kFrameBytes);
  EXPECT_EQ(locks[2].Unsigned(0), 2 * kFrameBytes);
  EXPECT_EQ(locks[3].Unsigned(0), 0u);
  // The view's own painting shows the same frame during playback.
  view().Invalidate(1);
  view().FlushPaint();
  EXPECT_EQ(Shown(), Colour(0));
  // Step again while stepping changes nothing.
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_EQ(frame().playbackIndex, 1);
}

// Circle shows its first frame only at the first tick; Step then stops the timer and shows frame
// 0 at once; Circle again starts from frame 0.
TEST_F(SolvanePlaybackTest, CircleRunsOnTheTimerAndSwitchingModesRestartsFromFrameZero) {
  SnapShot(static_cast<int>(kFrameBytes * 3 / kPage) + 1);
  ASSERT_TRUE(h().Send(ID_PLAYBACK_CIRCLE));
  EXPECT_TRUE(frame().HasTimer(kPlaybackTimerId));
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u);
  EXPECT_EQ(Shown(), 0xFFFFFFu);  // the cleared buffer until the first tick
  EXPECT_EQ(h().Checked(ID_PLAYBACK_CIRCLE), 1);
  EXPECT_EQ(h().Checked(ID_PLAYBACK_STEP), 0);
  Tick();
  EXPECT_EQ(Shown(), Colour(0));
  Tick();
  EXPECT_EQ(Shown(), Colour(1));
  Click();  // clicks do not step while circling
  EXPECT_EQ(Shown(), Colour(1));
  h().SendMessage(WM_TIMER, 12345, 0);  // another timer
  EXPECT_EQ(Shown(), Colour(1));

  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_FALSE(frame().HasTimer(kPlaybackTimerId));
  EXPECT_EQ(Shown(), Colour(0));
  Click();
  EXPECT_EQ(Shown(), Colour(1));

  ASSERT_TRUE(h().Send(ID_PLAYBACK_CIRCLE));
  EXPECT_TRUE(frame().HasTimer(kPlaybackTimerId));
  Tick();
  EXPECT_EQ(Shown(), Colour(0));
}

// Stop forgets the sequence: Step is impossible until the next Snap Shot.
TEST_F(SolvanePlaybackTest, StopEndsPlaybackAndForgetsTheFrames) {
  SnapShot(static_cast<int>(kFrameBytes * 2 / kPage) + 1);
  ASSERT_TRUE(h().Send(ID_PLAYBACK_CIRCLE));
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STOP));
  EXPECT_FALSE(frame().HasTimer(kPlaybackTimerId));
  EXPECT_EQ(frame().playing, 0);
  EXPECT_EQ(frame().imageCount, 0);
  EXPECT_EQ(frame().playbackIndex, 0);
  EXPECT_FALSE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_FALSE(h().Send(ID_PLAYBACK_CIRCLE));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STOP));
  EXPECT_EQ(h().Checked(ID_PLAYBACK_CIRCLE), 0);
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP_SHOT));

  Click();  // no playback: a click shows nothing
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u);
}

// The BMP-sequence flag alone allows playback; its files are not loaded yet, so the steps show
// the buffer as it is and read no static memory.
TEST_F(SolvanePlaybackTest, ABmpSequenceAllowsPlaybackWithoutReadingStaticMemory) {
  frame().bmpSequence = 1;
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_STEP));
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  Click();
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u);
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STOP));
  EXPECT_EQ(frame().bmpSequence, 0);
}

}  // namespace
