// shot_mask_hexmont_test.cpp - Hexmont's Capture Shot and Mask through the frame on the recording
// capture library: the rules, the read-back sizes and arguments per card in frame and field modes,
// a failing card's own box with the others still captured, the palette around the read-back, the
// repaint from the display buffers, and the demonstration mask's library calls (count, order,
// values) in frame and field modes and for NTSC cards.
#include <QImage>
#include <string>
#include <vector>

#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "pixel_mask.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CHexmontApp>;

// One QuarnSetPixelMask call as (card, x, y, value).
struct MaskCall {
  int card;
  int x;
  int y;
  int value;
  bool operator==(const MaskCall&) const = default;
};

void PrintTo(const MaskCall& c, std::ostream* os) {
  *os << "card " << c.card << " (" << c.x << ", " << c.y << ") = " << c.value;
}

// The calls that load `rect` into `card`: column by column, each column top to bottom.
void AppendRect(std::vector<MaskCall>& out, int card, const MaskRect& rect) {
  for (int x = rect.x; x < rect.x + rect.width; ++x) {
    for (int y = rect.y; y < rect.y + rect.height; ++y) out.push_back({card, x, y, rect.value});
  }
}

// Every QuarnSetPixelMask call of the log, in order.
std::vector<MaskCall> RecordedMaskCalls() {
  std::vector<MaskCall> calls;
  for (const quarnfake::Call& call : quarnfake::Calls("QuarnSetPixelMask")) {
    calls.push_back({call.card, static_cast<int>(call.Int(1)), static_cast<int>(call.Int(2)),
                     static_cast<int>(call.Int(3))});
  }
  return calls;
}

// The operations of the log in order, with runs of QuarnSetPixelMask on one card folded into
// "QuarnSetPixelMask xN (hC)", so the order of loads and enables reads at a glance.
std::vector<std::string> FoldedOps() {
  std::vector<std::string> ops;
  int run = 0;
  int runCard = 0;
  auto flush = [&] {
    if (run > 0) {
      ops.push_back("QuarnSetPixelMask x" + std::to_string(run) + " (h" + std::to_string(runCard) +
                    ")");
    }
    run = 0;
  };
  for (const quarnfake::Call& call : quarnfake::Calls()) {
    if (call.op == "QuarnSetPixelMask") {
      if (run > 0 && call.card != runCard) flush();
      runCard = call.card;
      ++run;
      continue;
    }
    flush();
    ops.push_back(call.Text());
  }
  flush();
  return ops;
}

class HexmontShotMaskTest : public ::testing::Test {
 protected:
  void Start(int cards) {
    quarnfake::SetCardCount(cards);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    // Places the video on the view's final rectangle (see the live video tests).
    h_->SendMessage(WM_SIZE, 0, 0);
    quarnfake::Name(view().HostWindow().Contract(), "wnd");
    quarnfake::ClearCalls();
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& cards() { return frame().Grid(); }
  CView& view() { return *h_->view(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }
  POINT CellOrigin(int index) {
    POINT origin{cards().Cell(index).cellRect.left, cards().Cell(index).cellRect.top};
    view().ScreenToClient(&origin);
    return origin;
  }
  QImage ViewPicture() {
    QImage copy;
    view().GetBackingStore().Read([&copy](const QImage& image) { copy = image.copy(); });
    return copy;
  }
  // Makes record `index` an NTSC card as the parameter reader would.
  void MakeNtsc(int index) {
    CGridCard& record = cards().Cell(index);
    hexmonttest::SetRecordValue(record.card, &VideoParameterSet::standard,
                                static_cast<int32_t>(kStandardNtsc));
  }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

// ---- Capture Shot -------------------------------------------------------------------------------

TEST_F(HexmontShotMaskTest, CaptureShotAndMaskAreEnabledOnlyWhenIdle) {
  Start(2);
  for (AcquisitionMode mode :
       {AcquisitionMode::kLive, AcquisitionMode::kSnap, AcquisitionMode::kPlayback}) {
    HexmontFrameProbe::Mode(frame()) = mode;
    EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT)) << mode;
    EXPECT_FALSE(h().IsEnabled(ID_VIEW_MASK)) << mode;
    // A disabled command does not run: nothing reaches the cards.
    EXPECT_FALSE(h().Send(ID_VIEW_CAPTURE_SHOT)) << mode;
    EXPECT_FALSE(h().Send(ID_VIEW_MASK)) << mode;
  }
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(frame().FrameState().mask, 0);
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kIdle;
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_MASK));
}

// Card 1 in frame mode, card 2 in a field mode, card 3 in the other field mode: each reads its
// own cell's corner, its output width, and its output height halved only in the field modes. The
// parameter commands' card selection does not limit Capture Shot.
TEST_F(HexmontShotMaskTest, CtrlTwoFreezesEveryCardAndReadsItsCellAtItsSize) {
  Start(3);
  hexmonttest::SetRecordValue(cards().Cell(1).card, &VideoParameterSet::scanMode,
                              static_cast<int32_t>(kScanField));
  hexmonttest::SetRecordValue(cards().Cell(2).card, &VideoParameterSet::scanMode,
                              static_cast<int32_t>(kScanField1));
  cards().SelectCard(0);
  quarnfake::SetDisplaySeed(41);
  h().Key(Qt::Key_2, Qt::ControlModifier);

  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), 6u) << calls;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const CGridCard& record = cards().Cell(i);
    const int width = record.OutputRect().right - record.OutputRect().left;
    const int fullHeight = record.OutputRect().bottom - record.OutputRect().top;
    const int height = i == 0 ? fullHeight : fullHeight / 2;
    ASSERT_GT(width, 0);
    ASSERT_GT(fullHeight, 1);
    const POINT origin = CellOrigin(i);
    EXPECT_EQ(calls[static_cast<size_t>(2 * i)].Text(),
              "QuarnCaptureShot(h" + std::to_string(i + 1) + ")");
    const quarnfake::Call& read = calls[static_cast<size_t>(2 * i + 1)];
    EXPECT_EQ(read.op, "QuarnGetDisplayBits");
    EXPECT_EQ(read.Int(1), origin.x);
    EXPECT_EQ(read.Int(2), origin.y);
    EXPECT_EQ(read.Int(3), width);
    EXPECT_EQ(read.Int(4), height);
    EXPECT_EQ(read.Pointer(5), &record.card.Picture().Header()->bmiHeader.biBitCount);
    EXPECT_EQ(read.Pointer(6), record.card.Picture().Buffer());
    EXPECT_EQ(record.card.Picture().Header()->bmiHeader.biWidth, width);
    EXPECT_EQ(record.card.Picture().Header()->bmiHeader.biHeight, height);
    EXPECT_EQ(record.card.Picture().Header()->bmiHeader.biBitCount, 32);
    const std::vector<uint8_t> expected =
        quarnfake::ExpectedDisplayBits(origin.x, origin.y, width, height);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), record.card.Picture().Buffer()));
    EXPECT_EQ(quarnfake::Card(i + 1).captureShots, 1);
  }
  // Capture Shot changes no mode.
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(HexmontShotMaskTest, AFailingCardShowsItsOwnBoxWithNoOwnerAndTheOthersAreStillCaptured) {
  Start(3);
  quarnfake::Script("QuarnCaptureShot", 2).Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONWARNING);
  // Card 3 is still frozen after card 2 failed, and every card (card 2 too) is read back.
  EXPECT_EQ(quarnfake::Card(1).captureShots, 1);
  EXPECT_EQ(quarnfake::Card(3).captureShots, 1);
  EXPECT_EQ(quarnfake::Calls("QuarnCaptureShot").size(), 3u);
  EXPECT_EQ(quarnfake::Calls("QuarnGetDisplayBits").size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_GT(cards().Cell(i).card.Picture().Header()->bmiHeader.biWidth, 0) << i;

  // Every failing card has a box of its own.
  boxes().Clear();
  quarnfake::Script("QuarnCaptureShot").Returns(QUARN_ERR_GENERAL);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_EQ(boxes().count(), 3u);
}

TEST_F(HexmontShotMaskTest, AFailedReadBackLeavesThatHeaderAloneSilently) {
  Start(2);
  quarnfake::Script("QuarnGetDisplayBits").ReturnsNext(QUARN_OK).ReturnsNext(QUARN_ERR_NO_WINDOW);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_GT(cards().Cell(0).card.Picture().Header()->bmiHeader.biWidth, 0);
  EXPECT_EQ(cards().Cell(1).card.Picture().Header()->bmiHeader.biWidth, 0);
  EXPECT_EQ(cards().Cell(1).card.Picture().Header()->bmiHeader.biHeight, 0);
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(HexmontShotMaskTest, TheFramesPaletteIsSelectedForTheShotAndTheOldOnePutBack) {
  Start(1);
  CHostWindow& window = view().HostWindow();
  CPalette* before = window.SelectedPalette();
  const int realized = window.RealizeCount();
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  EXPECT_EQ(window.SelectedPalette(), before);
  EXPECT_EQ(window.RealizeCount(), realized + 2);  // ours, then the old one
}

// The shot invalidates the view; its repaint draws every card's new picture into its cell.
TEST_F(HexmontShotMaskTest, TheRepaintAfterTheShotShowsEachCardsFrozenPicture) {
  Start(2);
  hexmonttest::SetRecordValue(cards().Cell(1).card, &VideoParameterSet::scanMode,
                              static_cast<int32_t>(kScanField));
  quarnfake::SetDisplaySeed(99);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE_SHOT));
  h().ProcessEvents();
  const QImage picture = ViewPicture();
  ASSERT_FALSE(picture.isNull());
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const POINT origin = CellOrigin(i);
    const BITMAPINFOHEADER& info = cards().Cell(i).card.Picture().Header()->bmiHeader;
    const QPoint p(origin.x + info.biWidth / 2, origin.y + info.biHeight - 1);
    EXPECT_EQ(qRed(picture.pixel(p)), p.x() & 0xFF);
    EXPECT_EQ(qGreen(picture.pixel(p)), p.y() & 0xFF);
    EXPECT_EQ(qBlue(picture.pixel(p)), 99);
  }
}

// ---- Mask ---------------------------------------------------------------------------------------

TEST(HexmontPixelMaskRect, LoadsColumnByColumnAndGoesOnPastFailures) {
  quarnfake::ScopedFake fake;
  QUARN_HANDLE handle = 0;
  ASSERT_EQ(BeginQuarnCard(1, &handle), QUARN_OK);
  quarnfake::ClearCalls();
  // The second pixel fails; Hexmont ignores statuses, so the rest is still loaded.
  quarnfake::Script("QuarnSetPixelMask").ReturnsNext(QUARN_OK).ReturnsNext(QUARN_ERR_GENERAL);
  SetPixelMaskRect(handle, 10, 20, 2, 3, 1);
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("QuarnSetPixelMask(h1, 10, 20, 1)", "QuarnSetPixelMask(h1, 10, 21, 1)",
                          "QuarnSetPixelMask(h1, 10, 22, 1)", "QuarnSetPixelMask(h1, 11, 20, 1)",
                          "QuarnSetPixelMask(h1, 11, 21, 1)", "QuarnSetPixelMask(h1, 11, 22, 1)"));
  quarnfake::ClearCalls();
  SetPixelMaskRect(handle, 5, 5, 0, 4, 1);  // an empty rectangle makes no call
  SetPixelMaskRect(handle, 5, 5, 4, 0, 1);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
}

// A PAL card in frame mode: the whole 768 x 576 picture kept, then the square and the line masked,
// each column by column, then the mask switched on. A wrong order would let the whole-picture pass
// clear the square; a wrong height would leave stale masked pixels of an earlier field pattern.
TEST_F(HexmontShotMaskTest, MaskOnLoadsTheWholePalPictureThenTheSquareAndTheLineThenEnables) {
  Start(1);
  ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  EXPECT_EQ(frame().FrameState().mask, 1);
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 1);

  std::vector<MaskCall> expected;
  for (const MaskRect& rect : DemonstrationMask(768, 576)) AppendRect(expected, 1, rect);
  ASSERT_EQ(expected.size(), 768u * 576u + 2500u + 100u);
  const std::vector<MaskCall> recorded = RecordedMaskCalls();
  ASSERT_EQ(recorded.size(), expected.size());
  EXPECT_TRUE(recorded == expected);
  EXPECT_EQ(recorded.front(), (MaskCall{1, 0, 0, 0}));
  EXPECT_EQ(recorded[1], (MaskCall{1, 0, 1, 0}));  // down the first column first
  EXPECT_EQ(recorded.back(), (MaskCall{1, 199, 150, 1}));
  EXPECT_THAT(FoldedOps(), ElementsAre("QuarnSetPixelMask x444968 (h1)", "QuarnEnableMask(h1, 1)"));

  // The card now masks exactly the square and the line.
  EXPECT_TRUE(quarnfake::Card(1).maskEnabled);
  EXPECT_EQ(quarnfake::Card(1).maskedPixels, 2600);
  EXPECT_TRUE(quarnfake::PixelMasked(1, 50, 50));
  EXPECT_TRUE(quarnfake::PixelMasked(1, 99, 99));
  EXPECT_FALSE(quarnfake::PixelMasked(1, 100, 100));
  EXPECT_TRUE(quarnfake::PixelMasked(1, 199, 150));
  EXPECT_FALSE(quarnfake::PixelMasked(1, 150, 151));
}

// Two cards: PAL in a field mode (768 x 288) and NTSC in frame mode (640 x 480). Every pattern is
// loaded before any card's mask is switched on.
TEST_F(HexmontShotMaskTest, MaskOnUsesEachCardsPictureSizeHalvedInTheFieldModes) {
  Start(2);
  hexmonttest::SetRecordValue(cards().Cell(0).card, &VideoParameterSet::scanMode,
                              static_cast<int32_t>(kScanField1));
  MakeNtsc(1);
  ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  std::vector<MaskCall> expected;
  for (const MaskRect& rect : DemonstrationMask(768, 288)) AppendRect(expected, 1, rect);
  for (const MaskRect& rect : DemonstrationMask(640, 480)) AppendRect(expected, 2, rect);
  EXPECT_TRUE(RecordedMaskCalls() == expected);
  EXPECT_THAT(FoldedOps(),
              ElementsAre("QuarnSetPixelMask x" + std::to_string(768 * 288 + 2600) + " (h1)",
                          "QuarnSetPixelMask x" + std::to_string(640 * 480 + 2600) + " (h2)",
                          "QuarnEnableMask(h1, 1)", "QuarnEnableMask(h2, 1)"));
}

TEST_F(HexmontShotMaskTest, MaskOffOnlySwitchesEveryCardsMaskOffAndLeavesThePatternInTheCard) {
  Start(2);
  ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  EXPECT_EQ(frame().FrameState().mask, 0);
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 0);
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("QuarnEnableMask(h1, 0)", "QuarnEnableMask(h2, 0)"));
  EXPECT_FALSE(quarnfake::Card(1).maskEnabled);
  EXPECT_EQ(quarnfake::Card(1).maskedPixels, 2600);
}

// Hexmont reports no mask failure and never stops loading or switching for one.
TEST_F(HexmontShotMaskTest, MaskFailuresAreIgnoredAndTheFlagStillFlips) {
  Start(2);
  quarnfake::Script("QuarnSetPixelMask", 1).Returns(QUARN_ERR_GENERAL);
  quarnfake::Script("QuarnEnableMask").Returns(QUARN_ERR_GENERAL);
  ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  EXPECT_EQ(frame().FrameState().mask, 1);
  EXPECT_EQ(h().Checked(ID_VIEW_MASK), 1);
  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_EQ(quarnfake::Calls("QuarnSetPixelMask").Card(1).size(), 768u * 576u + 2600u);
  EXPECT_EQ(quarnfake::Calls("QuarnEnableMask").size(), 2u);
}

}  // namespace
