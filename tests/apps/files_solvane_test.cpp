// files_solvane_test.cpp - Solvane's image files through the frame on the recording capture
// library and the recording file dialog: Save As and Open of one picture (also through Ctrl+S
// and Ctrl+O), a Save As past the file-size limit, Save Serials of the stored frames, and Open
// Serials playing a numbered sequence back in Step (files 1, 2, 3, the kept picture when file 4
// is missing, then file 1 again).
#include <sys/resource.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "program_test_support.h"
#include "solvane_test_support.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

class SolvaneFilesTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    SizeClient(64, 48);
  }
  RecordingFileDialog& dialogs() { return *h().services().fileDialog; }
  std::string In(const std::string& name) const {
    return dir_.filePath(name.c_str()).toStdString();
  }
  // A 64 x 48 32-bit picture of one colour in the card's buffer.
  void Paint(uint8_t value) {
    card().GetDisplayHeader()->bmiHeader = BITMAPINFOHEADER{40, 64, 48, 1, 32};
    std::fill_n(card().GetDisplayBuffer(), 64 * 48 * 4, value);
  }

  quarnfake::ScopedFake fake_;
  QTemporaryDir dir_;
};

// Save As writes the picture to the chosen path unchanged; Open reads it back and repaints; a
// cancelled dialog changes nothing.
TEST_F(SolvaneFilesTest, SaveAsAndOpenRoundTripThePicture) {
  Paint(0x33);
  dialogs().ScriptPath(In("shot.bmp"));
  ASSERT_TRUE(h().Send(ID_FILE_SAVE_BMP));
  EXPECT_EQ(fs::file_size(In("shot.bmp")), 54u + 64u * 48u * 4u);
  EXPECT_EQ(dialogs().last().filter, "Bitmap Files(*.bmp)|*.bmp");
  EXPECT_EQ(dialogs().last().owner, static_cast<CWnd*>(&frame()));

  Paint(0x99);
  dialogs().ScriptCancel();
  ASSERT_TRUE(h().Send(ID_FILE_OPEN_BMP));
  EXPECT_EQ(card().GetDisplayBuffer()[0], 0x99);
  dialogs().ScriptPath(In("shot.bmp"));
  ASSERT_TRUE(h().Send(ID_FILE_OPEN_BMP));
  EXPECT_FALSE(dialogs().last().save);
  EXPECT_EQ(card().GetDisplayBuffer()[0], 0x33);
  h().ProcessEvents();
  EXPECT_EQ(PixelAt(10, 10), 0x333333u);
}

// Ctrl+S is Save As ...: chosen over an existing file, it writes the picture there as a BMP file
// (the stock document save used to leave it empty); Ctrl+O is Open... and reads it back.
TEST_F(SolvaneFilesTest, CtrlSSavesThePictureOverAnExistingFileAndCtrlOReadsItBack) {
  const fs::path old = In("old.bmp");
  std::ofstream(old) << "old contents";
  Paint(0x5A);
  dialogs().ScriptPath(old.string());
  h().Key(Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(dialogs().count(), 1u);
  EXPECT_TRUE(dialogs().last().save);
  EXPECT_EQ(dialogs().last().filter, "Bitmap Files(*.bmp)|*.bmp");
  ASSERT_EQ(fs::file_size(old), 54u + 64u * 48u * 4u);

  Paint(0x11);
  dialogs().ScriptPath(old.string());
  h().Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(dialogs().count(), 2u);
  EXPECT_FALSE(dialogs().last().save);
  EXPECT_EQ(dialogs().last().filter, "Bitmap Files(*.bmp)|*.bmp");
  EXPECT_EQ(card().GetDisplayBuffer()[0], 0x5A);
}

// A file-size limit for the test's own process, lifted again when it goes out of scope.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limited = old_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~ScopedFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit old_{};
};

// Under a file-size limit below the picture's file, Save As fails like any failed write: the
// program goes on (SIGXFSZ would end it), leaves no file behind, and saves once the limit is gone.
TEST_F(SolvaneFilesTest, SaveAsPastTheFileSizeLimitLeavesNoFileAndTheProgramGoesOn) {
  Paint(0x44);
  dialogs().ScriptPath(In("shot.bmp"));
  {
    const ScopedFileSizeLimit limit(4096);
    ASSERT_TRUE(h().Send(ID_FILE_SAVE_BMP));
  }
  EXPECT_TRUE(fs::is_empty(dir_.path().toStdString()));
  dialogs().ScriptPath(In("shot.bmp"));
  ASSERT_TRUE(h().Send(ID_FILE_SAVE_BMP));
  EXPECT_EQ(fs::file_size(In("shot.bmp")), 54u + 64u * 48u * 4u);
}

// Open Serials on seq1.bmp plays seq1, seq2, seq3 step by step; with no seq4 the picture stays and
// the next step shows seq1 again; Stop ends the sequence.
TEST_F(SolvaneFilesTest, OpenSerialsStepsThroughTheFilesAndWrapsAfterAMissingOne) {
  for (int i = 1; i <= 3; ++i) {
    Paint(static_cast<uint8_t>(0x10 * i));
    ASSERT_TRUE(card().WriteBmpFile(In("seq" + std::to_string(i) + ".bmp")));
  }
  Paint(0);
  dialogs().ScriptPath(In("seq1.bmp"));
  ASSERT_TRUE(h().Send(ID_VIEW_OPEN_SERIALS));
  EXPECT_EQ(frame().sequencePrefix, In("seq"));
  EXPECT_EQ(frame().playing, 1);
  std::vector<int> shown{card().GetDisplayBuffer()[0]};  // Step shows file 1 at once
  for (int click = 0; click < 4; ++click) {
    h().SendMessage(WM_LBUTTONDOWN);
    shown.push_back(card().GetDisplayBuffer()[0]);
  }
  EXPECT_THAT(shown, ElementsAre(0x10, 0x20, 0x30, 0x30, 0x10));
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_CIRCLE));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_OPEN_SERIALS)) << "not while playing";
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STOP));
  EXPECT_EQ(frame().bmpSequence, 0);
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));
}

// Save Serials writes each stored frame, converted from static memory, as <base><n>.bmp.
TEST_F(SolvaneFilesTest, SaveSerialsWritesTheStoredFramesInOrder) {
  quarnfake::SetStaticMemPages(static_cast<int>(3ull * 64 * 48 * 4 / QUARN_PAGE_SIZE) + 1);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
  ASSERT_EQ(frame().imageCount, 3);
  dialogs().ScriptPath(In("run.bmp"));
  ASSERT_TRUE(h().Send(ID_VIEW_SAVE_SERIALS));
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(fs::exists(In("run" + std::to_string(i) + ".bmp"))) << i;
  EXPECT_FALSE(fs::exists(In("run4.bmp")));
  // Each frame into its file, then the last one into the picture the window shows.
  EXPECT_EQ(quarnfake::CallCount("QuarnDataTransform"), 4u);
}

}  // namespace
