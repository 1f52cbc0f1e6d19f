// playback_hexmont_test.cpp - Hexmont's playback of a Snap Shot sequence through the frame on the
// recording capture library: Step and clicks show the stored frames in order and wrap to frame 0,
// Circle runs on the playback timer, switching between them restarts from frame 0, Stop forgets
// the sequence; the rules and check marks of the three commands.
#include <string>
#include <vector>

#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

using Harness = FrameworkHarness<CHexmontApp>;

class HexmontPlaybackTest : public ::testing::Test {
 protected:
  // Hexmont with two cards on the view and a Snap Shot of three frames each; frame k of card i
  // is filled with the byte 10 x (i + 1) + k, so every frame of every card differs.
  void SetUp() override {
    quarnfake::SetCardCount(2);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    h_->SendMessage(WM_SIZE, 0, 0);
    uint64_t together = 0;
    for (int i = 0; i < 2; ++i) together += FrameBytes(i);
    quarnfake::SetStaticMemPages(static_cast<int>(3 * together / QUARN_PAGE_SIZE) + 1);
    h_->Send(ID_VIEW_SNAP_SHOT);
    ASSERT_EQ(HexmontFrameProbe::StoredFrames(frame()), 3);
    for (int i = 0; i < 2; ++i) {
      for (int k = 0; k < 3; ++k) {
        auto bytes =
            quarnfake::StaticMemory(cards().Cell(i).snapOffset + k * FrameBytes(i), FrameBytes(i));
        ASSERT_EQ(bytes.size(), FrameBytes(i));
        std::fill(bytes.begin(), bytes.end(), static_cast<uint8_t>(10 * (i + 1) + k));
      }
    }
    quarnfake::ClearCalls();
  }

  uint64_t FrameBytes(int index) {
    const RECT& out = cards().Cell(index).OutputRect();
    return 4ull * (out.right - out.left) * (out.bottom - out.top);  // 32-bit offscreen screen
  }
  // What the display buffer of card `index` must hold when stored frame `k` is shown.
  std::vector<uint8_t> ExpectedPicture(int index, int k) {
    const BITMAPINFOHEADER& info = cards().Cell(index).card.Picture().Header()->bmiHeader;
    const auto stored = quarnfake::StaticMemory(
        cards().Cell(index).snapOffset + k * FrameBytes(index), FrameBytes(index));
    return quarnfake::ExpectedTransform(stored, info.biWidth, info.biHeight, QUARN_FORMAT_RGB8888);
  }
  std::vector<uint8_t> Picture(int index, size_t bytes) {
    const uint8_t* data = cards().Cell(index).card.Picture().Buffer();
    return {data, data + bytes};
  }
  // Whether every card's display buffer shows its stored frame `k`.
  bool Shows(int k) {
    for (int i = 0; i < 2; ++i) {
      const auto expected = ExpectedPicture(i, k);
      if (Picture(i, expected.size()) != expected) return false;
    }
    return true;
  }
  void Click() { h_->view()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0); }
  void Tick() { h_->SendMessage(WM_TIMER, kPlaybackTimerId, 0); }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& cards() { return frame().Grid(); }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

// Step shows frame 0 at once; each click in the view shows the next; after the last stored frame
// the next click shows frame 0 again (a fault reads past the sequence into the next card's).
TEST_F(HexmontPlaybackTest, StepAndClicksShowTheStoredFramesInOrderAndWrapToFrameZero) {
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_STEP));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STOP));
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kPlayback);
  EXPECT_EQ(h().Checked(ID_PLAYBACK_STEP), 1);
  EXPECT_EQ(h().Checked(ID_PLAYBACK_CIRCLE), 0);
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_STOP));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
  EXPECT_TRUE(Shows(0));
  Click();
  EXPECT_TRUE(Shows(1));
  Click();
  EXPECT_TRUE(Shows(2));
  Click();
  EXPECT_TRUE(Shows(0));
  // Every lock taken was given back; card 1 read its own sequence.
  EXPECT_EQ(quarnfake::OpenLocks(), 0u);
  const auto locks = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(locks.size(), 8u);
  EXPECT_EQ(locks[5].Unsigned(0), cards().Cell(1).snapOffset + 2 * FrameBytes(1));
}

TEST_F(HexmontPlaybackTest, CircleRunsOnTheTimerAndStepStopsItShowingFrameZeroAtOnce) {
  const std::vector<uint8_t> before = Picture(0, 64);
  ASSERT_TRUE(h().Send(ID_PLAYBACK_CIRCLE));
  EXPECT_TRUE(frame().HasTimer(kPlaybackTimerId));
  EXPECT_EQ(h().Checked(ID_PLAYBACK_CIRCLE), 1);
  EXPECT_EQ(h().Checked(ID_PLAYBACK_STEP), 0);
  // Nothing until the timer fires; clicks do not step in Circle.
  EXPECT_EQ(Picture(0, 64), before);
  Click();
  EXPECT_EQ(Picture(0, 64), before);
  Tick();
  EXPECT_TRUE(Shows(0));
  Tick();
  EXPECT_TRUE(Shows(1));

  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_FALSE(frame().HasTimer(kPlaybackTimerId));
  EXPECT_TRUE(Shows(0));
  EXPECT_EQ(h().Checked(ID_PLAYBACK_STEP), 1);
  // Step again while stepping changes nothing.
  h().Send(ID_PLAYBACK_STEP);
  EXPECT_TRUE(Shows(0));

  // Back to Circle: the timer restarts from frame 0.
  Click();
  ASSERT_TRUE(h().Send(ID_PLAYBACK_CIRCLE));
  EXPECT_TRUE(frame().HasTimer(kPlaybackTimerId));
  Tick();
  EXPECT_TRUE(Shows(0));
}

TEST_F(HexmontPlaybackTest, StopEndsPlaybackAndForgetsTheSequenceSoStepIsImpossible) {
  h().Send(ID_PLAYBACK_CIRCLE);
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STOP));
  EXPECT_FALSE(frame().HasTimer(kPlaybackTimerId));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_CIRCLE));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STOP));
  EXPECT_FALSE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
}

}  // namespace
