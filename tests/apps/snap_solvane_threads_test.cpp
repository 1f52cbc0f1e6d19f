// snap_solvane_threads_test.cpp - Solvane's continuous Snap on the simulated card, whose worker
// thread calls the snap callback while the UI thread switches the snap on and off, resizes the
// window and scrolls the view: meant to run under ThreadSanitizer, which reports any access the
// callback and the UI thread share without a hand-over; and Save As (with Open refused) while
// frames arrive. Frames arrive unpaced (as fast as the
// card can make them); static memory lives in a private folder. QUARN_SOAK_CYCLES sets the
// number of cycles (scripts/tsan_soak.sh).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "command_ids.h"
#include "harness.h"
#include "main_frm.h"
#include "resources.h"
#include "soak_cycles.h"
#include "solvane_app.h"
#include "solvane_test_support.h"

namespace {

// A private state folder for the simulated cards' static memory, one card, no pacing; set before
// any test calls the library.
class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string dir = (std::filesystem::temp_directory_path() / "quarn-snap-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    dir_ = dir;
    setenv("QUARN_SIM_STATE_DIR", dir_.c_str(), 1);
    setenv("QUARN_SIM_BOOT_ID", "snap-threads", 1);
    setenv("QUARN_SIM_PACING", "0", 1);
    setenv("QUARN_SIM_CARDS", "1", 1);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

 private:
  std::string dir_;
};

[[maybe_unused]] ::testing::Environment* const kSimulator =
    ::testing::AddGlobalTestEnvironment(new SimulatorEnvironment);

class SolvaneSnapThreadsTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartProgram()); }
  void TearDown() override {
    apptest::ReportSoakCycles(apptest::TestName(), cyclesDone_, cyclesPlanned_);
    SolvaneFrameTest::TearDown();
  }

  // Runs the UI thread's events until the frame counter reaches `count` (frames keep arriving on
  // the card's thread meanwhile); false if it never does. Notes whether the title showed a rate.
  bool RunUntilCounted(uint32_t count) {
    static const std::regex kRateTitle(
        R"(Quarn Performance \[[0-9]+ x [0-9]+\]  [0-9]+\.[0-9]{6}\(fps\) )");
    for (int i = 0; i < 200000; ++i) {
      h().ProcessEvents();
      if (std::regex_match(frame().GetWindowText(), kRateTitle)) rateShown_ = true;
      if (frame().frameCounter.load() >= count) return true;
    }
    return false;
  }

  bool rateShown_ = false;
  int cyclesDone_ = 0;
  int cyclesPlanned_ = 0;
};

TEST_F(SolvaneSnapThreadsTest, SnapOnAndOffWithResizesAndScrollsWhileFramesArrive) {
  SizeClient(400, 300);
  cyclesPlanned_ = apptest::SoakCycles(12);
  for (int cycle = 0; cycle < cyclesPlanned_; ++cycle) {
    SCOPED_TRACE(cycle);
    ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
    ASSERT_EQ(frame().Card().GetState(), CardState::kSnap);
    ASSERT_TRUE(RunUntilCounted(3));

    // A new size restarts the ring and the count.
    const bool small = cycle % 2 == 0;
    SizeClient(small ? 320 : 400, small ? 240 : 300);
    ASSERT_TRUE(RunUntilCounted(2));

    // Scrolling restarts the ring and keeps the count.
    const uint32_t counted = frame().frameCounter.load();
    frame().OnViewScroll(SB_HORZ, SB_LINERIGHT, 0);
    frame().OnViewScroll(SB_VERT, SB_LINEDOWN, 0);
    ASSERT_GE(frame().frameCounter.load(), counted);
    ASSERT_TRUE(RunUntilCounted(counted + 2));

    ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
    ASSERT_EQ(frame().Card().GetState(), CardState::kIdle);
    // Closed: no frame is counted any more.
    const uint32_t closed = frame().frameCounter.load();
    h().ProcessEvents();
    ASSERT_EQ(frame().frameCounter.load(), closed);
    ++cyclesDone_;
    apptest::ReportSoakProgress(apptest::TestName(), cyclesDone_, cyclesPlanned_);
  }
  EXPECT_TRUE(rateShown_);
}

// Closing the window while frames arrive: the snap is closed before the card and the view go.
TEST_F(SolvaneSnapThreadsTest, ClosingTheWindowWhileSnapping) {
  SizeClient(320, 240);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  ASSERT_TRUE(RunUntilCounted(5));
  h().SendMessage(WM_CLOSE);
  h().ProcessEvents();
  EXPECT_EQ(h().app().m_pMainWnd, nullptr);
}

// Save As while frames arrive: the callback's conversion into the picture and the copy the save
// takes of it never interleave, so each file holds one whole frame of the ring's size; Open...
// and the card's own read are refused meanwhile, since the callback converts by the picture's
// description. The saves follow each other closely, so that many of them fall on a conversion.
TEST_F(SolvaneSnapThreadsTest, SavingAndOpeningFilesWhileFramesArrive) {
  SizeClient(640, 480);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  ASSERT_TRUE(RunUntilCounted(2));
  QTemporaryDir dir;
  RecordingFileDialog& dialogs = *h().services().fileDialog;
  std::vector<std::string> saved;
  for (int i = 0; i < 60; ++i) {
    SCOPED_TRACE(i);
    saved.push_back(dir.filePath(QString("snap%1.bmp").arg(i)).toStdString());
    dialogs.ScriptPath(saved.back());
    ASSERT_TRUE(h().Send(ID_FILE_SAVE_BMP));
    ASSERT_FALSE(h().Send(ID_FILE_OPEN_BMP));
    ASSERT_FALSE(frame().Card().ReadBmpFile(saved.front()));
    if (i % 10 == 9) {
      ASSERT_TRUE(RunUntilCounted(frame().frameCounter.load() + 1));
    }
  }
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP));
  EXPECT_EQ(dialogs.count(), saved.size()) << "an Open... dialog was shown";

  std::vector<uint8_t> pixels(640 * 480 * 3);
  for (const std::string& path : saved) {
    BITMAPINFO info{};
    ASSERT_TRUE(ReadBmpFile(path, info, pixels)) << path;
    EXPECT_EQ(info.bmiHeader.biWidth, 640) << path;
    EXPECT_EQ(info.bmiHeader.biHeight, 480) << path;
    EXPECT_EQ(info.bmiHeader.biBitCount, 24) << path;
    EXPECT_EQ(std::filesystem::file_size(path), 54u + pixels.size()) << path;
  }
}

}  // namespace
