// snap_threads_hexmont_test.cpp - Hexmont's continuous Snap on the simulated cards, whose worker
// threads call the snap callback for real: many cycles of Snap on, resizes while frames arrive
// and Snap off, with 2 and 4 cards. Run under ThreadSanitizer it shows that the callback and the
// user-interface thread share the records, display buffers and view without a race, and that
// stopping a card before its windows change really quiesces its callback. QUARN_SOAK_CYCLES sets
// the cycles of both tests together (scripts/tsan_soak.sh).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "afx.h"
#include "command_ids.h"
#include "harness.h"
#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "resources.h"
#include "soak_cycles.h"

namespace {

using Harness = FrameworkHarness<CHexmontApp>;

class HexmontSnapThreadsTest : public ::testing::Test {
 protected:
  // The simulator's static memory and reservation record live in a folder of this suite's own.
  static void SetUpTestSuite() {
    stateDir_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(stateDir_->isValid());
    setenv("QUARN_SIM_STATE_DIR", stateDir_->path().toLocal8Bit().constData(), 1);
    setenv("QUARN_SIM_BOOT_ID", "snap-threads-test", 1);
    setenv("QUARN_SIM_PACING", "0", 1);
  }
  static void TearDownTestSuite() { stateDir_.reset(); }

  void TearDown() override {
    apptest::ReportSoakCycles(apptest::TestName(), cyclesDone_, cyclesPlanned_);
  }

  void Start(int cards) {
    // Read by the simulator when the first card opens.
    setenv("QUARN_SIM_CARDS", std::to_string(cards).c_str(), 1);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    ASSERT_EQ(frame().Grid().CardCount(), cards);
    // The view's own painting into its backing store runs as usual; only Qt's copy of the
    // backing store to the (offscreen) screen is left out: Qt converts that image on pooled
    // threads of its own, which ThreadSanitizer cannot follow, so every frame drawn afterwards
    // would be checked against them at great cost.
    h_->view()->GetClientWidget()->setUpdatesEnabled(false);
    h_->SendMessage(WM_SIZE, 0, 0);
  }

  // Whether every card's picture area in the view is mostly painted (not the white of an erased
  // view): the callbacks have drawn since the last erase. Reads the backing store under its lock.
  bool EveryCellPainted() {
    QImage picture;
    h_->view()->GetBackingStore().Read([&picture](const QImage& image) { picture = image.copy(); });
    for (const auto& cell : frame().Grid().Cells()) {
      const CGridCard& record = *cell;
      POINT origin{record.cellRect.left, record.cellRect.top};
      h_->view()->ScreenToClient(&origin);
      const int width = record.OutputRect().right - record.OutputRect().left;
      const int height = (record.OutputRect().bottom - record.OutputRect().top) / 2;
      int painted = 0;
      int total = 0;
      for (int y = origin.y; y < origin.y + height; y += 7) {
        for (int x = origin.x; x < origin.x + width; x += 7) {
          if (!picture.rect().contains(x, y)) continue;
          ++total;
          if ((picture.pixel(x, y) & 0xFFFFFF) != 0xFFFFFFu) ++painted;
        }
      }
      if (total == 0 || painted * 2 < total) return false;
    }
    return true;
  }

  // Lets the user-interface thread run (repaints, geometry) until every cell shows a picture.
  bool WaitForPictures() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
      h_->ProcessEvents();
      if (EveryCellPainted()) {
        // A few more frames arrive while the user-interface thread repaints.
        const qint64 seen = timer.elapsed();
        while (timer.elapsed() < seen + 30) h_->ProcessEvents();
        return true;
      }
    }
    return false;
  }

  void RunCycles(int cycles) {
    cyclesPlanned_ = cycles;
    const RECT sizes[] = {
        {40, 30, 40 + 640, 30 + 480}, {10, 10, 10 + 500, 10 + 420}, {60, 50, 60 + 720, 50 + 560}};
    for (int cycle = 0; cycle < cycles; ++cycle) {
      SCOPED_TRACE(cycle);
      ASSERT_TRUE(h_->Send(ID_VIEW_SNAP));
      ASSERT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kSnap);
      ASSERT_TRUE(WaitForPictures());
      // Each resize stops every card, moves its rectangles and ring, and starts it again while
      // the other cards keep delivering.
      for (int r = 0; r < 2; ++r) {
        const RECT& s = sizes[(cycle + r) % 3];
        frame().MoveWindow(s.left, s.top, s.right - s.left, s.bottom - s.top);
        h_->ProcessEvents();
        ASSERT_TRUE(WaitForPictures());
      }
      ASSERT_TRUE(h_->Send(ID_VIEW_SNAP));
      ASSERT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
      // Quiesced: the headers describe the last frame each card's callback converted, at the
      // card's present output size.
      for (const auto& cell : frame().Grid().Cells()) {
        const CGridCard& record = *cell;
        ASSERT_EQ(record.card.Picture().Header()->bmiHeader.biWidth,
                  record.OutputRect().right - record.OutputRect().left);
      }
      h_->ProcessEvents();
      ++cyclesDone_;
      apptest::ReportSoakProgress(apptest::TestName(), cyclesDone_, cyclesPlanned_);
    }
  }

  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }

  static std::unique_ptr<QTemporaryDir> stateDir_;
  std::unique_ptr<Harness> h_;
  int cyclesDone_ = 0;
  int cyclesPlanned_ = 0;
};

std::unique_ptr<QTemporaryDir> HexmontSnapThreadsTest::stateDir_;

TEST_F(HexmontSnapThreadsTest, TwoCardsSnapOnAndOffWithResizesWhileFramesArrive) {
  Start(2);
  RunCycles(apptest::SoakCycles(12, 0, 2));
}

// The last cycle leaves the snap on: closing the frame closes every card's snap first.
TEST_F(HexmontSnapThreadsTest, FourCardsSnapThroughResizesAndTheFrameClosesWhileSnapping) {
  Start(4);
  RunCycles(apptest::SoakCycles(6, 1, 2));
  ASSERT_TRUE(h_->Send(ID_VIEW_SNAP));
  ASSERT_TRUE(WaitForPictures());
  frame().SendMessage(WM_CLOSE);
  EXPECT_EQ(h_->app().m_pMainWnd, nullptr);
}

}  // namespace
