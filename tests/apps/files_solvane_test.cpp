// files_solvane_test.cpp - Solvane's image files through the frame on the recording capture
// library and the recording file dialog: Save As and Open of one picture, Save Serials of the
// stored frames, and Open Serials playing a numbered sequence back in Step (files 1, 2, 3, the
// kept picture when file 4 is missing, then file 1 again).
#include <QTemporaryDir>
#include <filesystem>

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
