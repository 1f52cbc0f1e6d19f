// files_hexmont_test.cpp - Hexmont's Save Serials through the frame on the recording capture
// library and the recording file dialog: the dialog asked, the file names in order (card 1's
// frames first), each frame converted before it is written, a card whose snap shot failed left
// out, Cancel writing nothing; and the busy pointer while frames are stored and written.
#include <QTemporaryDir>
#include <filesystem>

#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CHexmontApp>;

class HexmontFilesTest : public ::testing::Test {
 protected:
  // Two cards, each with three frames stored.
  void SetUp() override {
    quarnfake::SetCardCount(2);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    frame().PlaceVideo(RECT{0, 0, 200, 100});  // two cells of 100 x 100
    const uint64_t frameBytes = 4ull * 100 * 100;
    quarnfake::SetStaticMemPages(static_cast<int>(6 * frameBytes / QUARN_PAGE_SIZE) + 1);
    ASSERT_TRUE(h_->Send(ID_VIEW_SNAP_SHOT));
    ASSERT_EQ(HexmontFrameProbe::StoredFrames(frame()), 3);
    quarnfake::ClearCalls();
  }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& frame_cards() { return frame().Grid(); }
  RecordingFileDialog& dialogs() { return *h_->services().fileDialog; }
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path().toStdString())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string In(const std::string& name) const {
    return dir_.filePath(name.c_str()).toStdString();
  }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
  QTemporaryDir dir_;
};

// Two cards, three frames, "a.bmp" chosen: a1_1 .. a1_3 then a2_1 .. a2_3, each a 24-bit picture
// of the card's output size converted from its place in static memory.
TEST_F(HexmontFilesTest, SaveSerialsWritesEveryCardsFramesUnderNumberedNames) {
  dialogs().ScriptPath(In("a.bmp"));
  int busyDuringWrites = 0;
  quarnfake::OnCall("QuarnDataTransform", [&] { busyDuringWrites += CWaitCursor::Depth(); });
  ASSERT_TRUE(h_->Send(ID_VIEW_SAVE_SERIALS));
  const RecordingFileDialog::Call call = dialogs().last();
  EXPECT_TRUE(call.save);
  EXPECT_EQ(call.owner, &frame());
  EXPECT_EQ(call.filter, "Bitmap Files(*.bmp)|*.bmp");
  EXPECT_EQ(call.defaultExt, "*.bmp");
  EXPECT_THAT(Written(),
              ElementsAre("a1_1.bmp", "a1_2.bmp", "a1_3.bmp", "a2_1.bmp", "a2_2.bmp", "a2_3.bmp"));
  const RECT out = frame_cards().Cell(1).OutputRect();
  const uint64_t width = out.right - out.left;
  const uint64_t height = out.bottom - out.top;
  EXPECT_EQ(fs::file_size(In("a2_3.bmp")), 54u + (width * 3 + 3) / 4 * 4 * height);
  // Each card's three frames go from static memory into their files, then its last frame into
  // the picture the view shows.
  const auto locks = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(locks.size(), 8u);
  EXPECT_EQ(locks[1].Unsigned(0), 4 * width * height);  // card 1's frame 2
  EXPECT_EQ(locks[3].Unsigned(0), locks[2].Unsigned(0));
  EXPECT_EQ(locks[4].Unsigned(0), frame_cards().Cell(1).snapOffset);
  EXPECT_EQ(busyDuringWrites, 8) << "the busy pointer is up for every frame";
  EXPECT_EQ(CWaitCursor::Depth(), 0);
}

// Cancel writes nothing; a name without ".bmp" is used whole; a card whose snap shot failed has
// no frames to write.
TEST_F(HexmontFilesTest, CancelWritesNothingAndAFailedCardIsLeftOut) {
  dialogs().ScriptCancel();
  ASSERT_TRUE(h_->Send(ID_VIEW_SAVE_SERIALS));
  EXPECT_THAT(Written(), IsEmpty());
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());

  quarnfake::Script("QuarnSnapShot", 2).ReturnsNext(QUARN_ERR_BUSY);
  ASSERT_TRUE(h_->Send(ID_VIEW_SNAP_SHOT));
  dialogs().ScriptPath(In("seq.BMP"));
  ASSERT_TRUE(h_->Send(ID_VIEW_SAVE_SERIALS));
  EXPECT_THAT(Written(), ElementsAre("seq.BMP1_1.bmp", "seq.BMP1_2.bmp", "seq.BMP1_3.bmp"));
}

// Stop forgets the stored frames: Save Serials is no longer available.
TEST_F(HexmontFilesTest, SaveSerialsNeedsStoredFrames) {
  EXPECT_TRUE(h_->IsEnabled(ID_VIEW_SAVE_SERIALS));
  ASSERT_TRUE(h_->Send(ID_PLAYBACK_STEP));
  EXPECT_TRUE(h_->IsEnabled(ID_VIEW_SAVE_SERIALS));
  ASSERT_TRUE(h_->Send(ID_PLAYBACK_STOP));
  EXPECT_FALSE(h_->IsEnabled(ID_VIEW_SAVE_SERIALS));
}

}  // namespace
