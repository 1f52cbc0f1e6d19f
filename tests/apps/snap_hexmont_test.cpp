// snap_hexmont_test.cpp - Hexmont's Snap Shot and continuous Snap through the frame on the
// recording capture library: the frames counted and where each card's sequence lies, the 16-bit
// count limit, the notice; Snap on and off per card with the ring offsets and a failing start;
// the callback's conversion, stride and drawing into the card's cell, a slot outside the ring,
// the restart of the rings on a resize, and closing the frame while snapping.
#include <QImage>
#include <string>
#include <vector>

#include "hexmont_app.h"
#include "hexmont_layout.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

using ::testing::ElementsAre;

using Harness = FrameworkHarness<CHexmontApp>;

class HexmontSnapTest : public ::testing::Test {
 protected:
  // Starts Hexmont with `cards` recording cards placed on an 800 x 600 rectangle at the screen's
  // corner (with two cards each output is 396 x 576), or with `onView` on the view itself so
  // that what the callback draws lands inside it.
  void Start(int cards, bool onView = false) {
    quarnfake::SetCardCount(cards);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    HexmontFrameProbe::ScreenWidth(frame()) = 1280;
    HexmontFrameProbe::ScreenHeight(frame()) = 1024;
    if (onView) {
      h_->SendMessage(WM_SIZE, 0, 0);
    } else {
      frame().PlaceVideo(RECT{0, 0, 800, 600});
    }
    quarnfake::ClearCalls();
  }
  // Sets a card's format and scan mode in the library and in its record, as the commands would.
  void SetFormat(int index, int format, int scanMode) {
    CGridCard& record = cards_().Cell(index);
    ASSERT_EQ(QuarnSetVideoFormat(record.card.GetHandle(), format), QUARN_OK);
    ASSERT_EQ(QuarnSetScanMode(record.card.GetHandle(), scanMode), QUARN_OK);
    hexmonttest::SetRecordValue(record.card, &VideoParameterSet::format,
                                static_cast<int32_t>(format));
    hexmonttest::SetRecordValue(record.card, &VideoParameterSet::scanMode,
                                static_cast<int32_t>(scanMode));
    quarnfake::ClearCalls();
  }
  int OutWidth(int index) {
    const RECT& out = cards_().Cell(index).OutputRect();
    return out.right - out.left;
  }
  int OutHeight(int index) {
    const RECT& out = cards_().Cell(index).OutputRect();
    return out.bottom - out.top;
  }
  const BITMAPINFOHEADER& Header(int index) {
    return cards_().Cell(index).card.Picture().Header()->bmiHeader;
  }
  std::vector<uint8_t> Buffer(int index, size_t bytes) {
    const uint8_t* data = cards_().Cell(index).card.Picture().Buffer();
    return {data, data + bytes};
  }
  QImage ViewPicture() {
    QImage copy;
    h_->view()->GetBackingStore().Read([&copy](const QImage& image) { copy = image.copy(); });
    return copy;
  }
  POINT CellOrigin(int index) {
    POINT origin{cards_().Cell(index).cellRect.left, cards_().Cell(index).cellRect.top};
    h_->view()->ScreenToClient(&origin);
    return origin;
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& cards_() { return frame().Grid(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

// ---- Snap Shot ----------------------------------------------------------------------------------

// One card, then two: N = total / D with D one frame of every card together; card 0's N frames
// come first, card 1's sequence starts N x F(0) later (a fault here overlaps the sequences).
TEST_F(HexmontSnapTest, SnapShotCountsFramesOfAllCardsTogetherAndStoresCardZerosFirst) {
  Start(2);
  // Card 0 in a field mode stores half-height 32-bit frames, card 1 full-height 8-bit ones.
  SetFormat(0, QUARN_FORMAT_RGB8888, QUARN_SCAN_FIELD);
  SetFormat(1, QUARN_FORMAT_ALL8, QUARN_SCAN_FRAME);
  ASSERT_EQ(OutWidth(0), 396);
  ASSERT_EQ(OutHeight(0), 576);
  const uint64_t f0 = 4ull * 396 * 288;
  const uint64_t f1 = 1ull * 396 * 576;
  // Room for three frames of both cards and most of a fourth.
  quarnfake::SetStaticMemPages(static_cast<int>((4 * (f0 + f1) - 1000) / QUARN_PAGE_SIZE));

  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
  h().Key(Qt::Key_4, Qt::ControlModifier);
  EXPECT_THAT(quarnfake::Calls("QuarnSnapShot").Texts(),
              ElementsAre("QuarnSnapShot(h1, 0, 0, 1, 3)",
                          "QuarnSnapShot(h2, " + std::to_string(3 * f0) + ", 0, 1, 3)"));
  EXPECT_EQ(HexmontFrameProbe::StoredFrames(frame()), 3);
  EXPECT_EQ(cards_().Cell(1).snapOffset, 3 * f0);
  EXPECT_EQ(Header(0).biWidth, 396);
  EXPECT_EQ(Header(0).biHeight, 288);
  EXPECT_EQ(Header(0).biBitCount, 24);
  EXPECT_EQ(Header(1).biHeight, 576);
  EXPECT_EQ(Header(1).biBitCount, 8);
  const auto box = boxes().last();
  EXPECT_EQ(box.text, "Snap shot 3 images totally to memory ");
  EXPECT_EQ(box.caption, "Notice");
  EXPECT_EQ(box.owner, &frame());
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_STEP));
  EXPECT_TRUE(h().IsEnabled(ID_PLAYBACK_CIRCLE));

  // One card alone takes all the room for itself.
  h_.reset();
  quarnfake::Reset();
  Start(1);
  const uint64_t frame1 = 4ull * OutWidth(0) * OutHeight(0);
  quarnfake::SetStaticMemPages(static_cast<int>(5 * frame1 / QUARN_PAGE_SIZE) + 1);
  h().Send(ID_VIEW_SNAP_SHOT);
  EXPECT_THAT(quarnfake::Calls("QuarnSnapShot").Texts(),
              ElementsAre("QuarnSnapShot(h1, 0, 0, 1, 5)"));
}

TEST_F(HexmontSnapTest, WhenOneFrameOfEveryCardDoesNotFitNothingIsStoredAndPlaybackStaysOff) {
  Start(2);
  quarnfake::SetStaticMemPages(1);
  h().Send(ID_VIEW_SNAP_SHOT);
  // The library is still asked, with a count of 0.
  EXPECT_THAT(quarnfake::Calls("QuarnSnapShot").Texts(),
              ElementsAre("QuarnSnapShot(h1, 0, 0, 1, 0)", "QuarnSnapShot(h2, 0, 0, 1, 0)"));
  EXPECT_EQ(boxes().last().text, "Snap shot 0 images totally to memory ");
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_CIRCLE));
  EXPECT_FALSE(h().Send(ID_PLAYBACK_STEP));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
}

// The count is 16-bit: 65,536 frames or more would wrap (to 0 here) and the notice and playback
// would claim frames never stored.
TEST_F(HexmontSnapTest, MoreThan65535FramesFittingStoresAndReportsExactly65535) {
  Start(1);
  // Tiny 8 x 8 frames in the largest reservation: over 19 million would fit.
  CGridCard& record = cards_().Cell(0);
  hexmonttest::SetOutputRect(record.card, RECT{0, 0, 8, 8});
  ASSERT_EQ(QuarnSetOutputWindow(record.card.GetHandle(), 0, 0, 8, 8), QUARN_OK);
  quarnfake::SetStaticMemPages(quarnfake::kMaxStaticMemPages);
  quarnfake::ClearCalls();
  h().Send(ID_VIEW_SNAP_SHOT);
  EXPECT_THAT(quarnfake::Calls("QuarnSnapShot").Texts(),
              ElementsAre("QuarnSnapShot(h1, 0, 0, 1, 65535)"));
  EXPECT_EQ(HexmontFrameProbe::StoredFrames(frame()), 65535);
  EXPECT_EQ(boxes().last().text, "Snap shot 65535 images totally to memory ");
}

// A reservation that cannot be read stores nothing and says why (it used to say nothing).
TEST_F(HexmontSnapTest, SnapShotWithoutStaticMemoryStoresNothingAndShowsTheStatus) {
  Start(1);
  quarnfake::Script("QuarnGetStaticMem").Returns(QUARN_ERR_STATIC_MEM);
  h().Send(ID_VIEW_SNAP_SHOT);
  EXPECT_TRUE(quarnfake::Calls("QuarnSnapShot").empty());
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, quarnfake::ErrorText(QUARN_ERR_STATIC_MEM));
  EXPECT_EQ(boxes().last().caption, "Error message");
}

// ---- Snap on and off ----------------------------------------------------------------------------

TEST_F(HexmontSnapTest, SnapOpensAndStartsATwoSlotRingPerCardAndAFailingCardTakesNoRoom) {
  Start(3);
  SetFormat(1, QUARN_FORMAT_LIMITED8, QUARN_SCAN_FRAME);
  HexmontFrameProbe::StoredFrames(frame()) = 7;  // a sequence of Snap Shot
  quarnfake::Script("QuarnStartSnapEx", 1).ReturnsNext(QUARN_ERR_NO_SIGNAL);
  h().Key(Qt::Key_3, Qt::ControlModifier);

  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kSnap);
  EXPECT_EQ(h().Checked(ID_VIEW_SNAP), 1);
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_SNAP));
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_SNAP_SHOT));
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));  // the sequence is forgotten
  // Each card's context leads to its record; the failed card 1 takes no room, so card 2's ring
  // starts at 0 and card 3's after card 2's (8-bit: one byte a pixel).
  const auto opens = quarnfake::Calls("QuarnOpenSnapEx");
  ASSERT_EQ(opens.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(apptest::SnapTarget<CGridCard>(opens[i].Pointer(2)), &cards_().Cell(i)) << i;
  }
  const uint64_t ring2 = 2ull * OutWidth(1) * OutHeight(1);
  EXPECT_THAT(quarnfake::Calls("QuarnStartSnapEx").Lines(),
              ElementsAre("QuarnStartSnapEx(h1, 0, 1, 2) -> " + std::to_string(QUARN_ERR_NO_SIGNAL),
                          "QuarnStartSnapEx(h2, 0, 1, 2)",
                          "QuarnStartSnapEx(h3, " + std::to_string(ring2) + ", 1, 2)"));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, quarnfake::ErrorText(QUARN_ERR_NO_SIGNAL));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(Header(1).biBitCount, 8);
  EXPECT_EQ(Header(2).biBitCount, 24);

  quarnfake::ClearCalls();
  h().Key(Qt::Key_3, Qt::ControlModifier);
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("QuarnCloseSnapEx(h1)", "QuarnCloseSnapEx(h2)", "QuarnCloseSnapEx(h3)"));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_SNAP), 0);
  EXPECT_FALSE(quarnfake::Card(2).snapOpen);
}

TEST_F(HexmontSnapTest, ClosingTheFrameWhileSnappingClosesEverySnapBeforeTheCardsEnd) {
  Start(2);
  h().Send(ID_VIEW_SNAP);
  quarnfake::ClearCalls();
  frame().SendMessage(WM_CLOSE);
  // The cards end later, with the frame object.
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("QuarnCloseSnapEx(h1)", "QuarnCloseSnapEx(h2)"));
  EXPECT_FALSE(quarnfake::Card(1).snapOpen);
  EXPECT_FALSE(quarnfake::Card(2).snapOpen);
  EXPECT_EQ(h().app().m_pMainWnd, nullptr);
}

// ---- The callback -------------------------------------------------------------------------------

// In frame mode with interline off the card stores half-height frames: the callback reads slot 1
// at the half-height stride (a full-height stride reads past the ring) and draws the picture 1:1
// at the card's cell.
TEST_F(HexmontSnapTest, TheCallbackConvertsTheFilledSlotAndDrawsItIntoItsCell) {
  Start(2, /*onView=*/true);
  SetFormat(1, QUARN_FORMAT_RGB888, QUARN_SCAN_FRAME);
  cards_().Cell(1).interline = 0;
  h().Send(ID_VIEW_SNAP);
  const int width = OutWidth(1);
  const int lines = OutHeight(1) / 2;
  const uint64_t frameBytes = 3ull * width * lines;
  ASSERT_EQ(quarnfake::Card(2).snapFrameBytes, frameBytes);
  const std::vector<uint8_t> bgr{0x10, 0x80, 0xF0};  // B G R
  ASSERT_EQ(quarnfake::DeliverSnapFrame(2, 1, bgr), 1);

  EXPECT_EQ(Header(1).biWidth, width);
  EXPECT_EQ(Header(1).biHeight, lines);
  EXPECT_EQ(Header(1).biBitCount, 24);
  const auto slot = quarnfake::SnapSlot(2, 1);
  const auto expected = quarnfake::ExpectedTransform(slot, width, lines, QUARN_FORMAT_RGB888);
  EXPECT_EQ(Buffer(1, expected.size()), expected);
  const auto lock = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(lock.size(), 1u);
  EXPECT_EQ(lock[0].Unsigned(0), cards_().Cell(1).snapOffset + frameBytes);
  EXPECT_EQ(quarnfake::OpenLocks(), 0u);

  const QImage picture = ViewPicture();
  const POINT at = CellOrigin(1);
  EXPECT_EQ(picture.pixel(at.x, at.y) & 0xFFFFFF, 0xF08010u);
  EXPECT_EQ(picture.pixel(at.x + width - 1, at.y + lines - 1) & 0xFFFFFF, 0xF08010u);
  // Nothing below the half-height picture, nothing in card 0's cell.
  EXPECT_NE(picture.pixel(at.x, at.y + lines + 1) & 0xFFFFFF, 0xF08010u);
  const POINT first = CellOrigin(0);
  EXPECT_NE(picture.pixel(first.x, first.y) & 0xFFFFFF, 0xF08010u);
  h().Send(ID_VIEW_SNAP);
}

TEST_F(HexmontSnapTest, ASlotOutsideTheRingIsIgnored) {
  Start(1);
  h().Send(ID_VIEW_SNAP);
  quarnfake::ClearCalls();
  const std::vector<uint8_t> before = Buffer(0, 4096);
  QuarnSnapInfo info{};
  info.cardNumber = 1;
  info.slot = 2;
  info.context = &cards_().Cell(0);
  EXPECT_EQ(CMainFrame::SnapFrameCallback(&info), 1);
  EXPECT_TRUE(quarnfake::Calls("QuarnStaticMemLock").empty());
  EXPECT_EQ(Buffer(0, 4096), before);
  h().Send(ID_VIEW_SNAP);
}

// A resize while snapping: every card stops before any window or ring changes (a card's new
// ring may cover the old ring of the next card, still being filled otherwise), then each starts
// again on its moved ring; the next frame has the new size.
TEST_F(HexmontSnapTest, AResizeWhileSnappingStopsEveryCardMovesTheRingsAndRestarts) {
  Start(2);
  h().Send(ID_VIEW_SNAP);
  quarnfake::ClearCalls();
  frame().PlaceVideo(RECT{0, 0, 600, 400});  // cells of 300 x 400
  const uint64_t ring1 = 2ull * 4 * 296 * 398;
  EXPECT_THAT(
      quarnfake::Calls().Texts(),
      ElementsAre(
          "QuarnStopSnapEx(h1)", "QuarnStopSnapEx(h2)", "QuarnSetInputWindow(h1, 0, 0, 296, 398)",
          "QuarnSetOutputWindow(h1, 0, 0, 296, 398)", "QuarnStartSnapEx(h1, 0, 1, 2)",
          "QuarnSetInputWindow(h2, 0, 0, 296, 398)", "QuarnSetOutputWindow(h2, 300, 0, 296, 398)",
          "QuarnStartSnapEx(h2, " + std::to_string(ring1) + ", 1, 2)"));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kSnap);
  ASSERT_EQ(quarnfake::DeliverSnapFrame(2, 0), 1);
  EXPECT_EQ(Header(1).biWidth, 296);
  EXPECT_EQ(Header(1).biHeight, 398);
  EXPECT_EQ(quarnfake::Calls("QuarnStaticMemLock").back().Unsigned(0), ring1);
  h().Send(ID_VIEW_SNAP);
}

// ---- Failures that leave a card delivering
// ------------------------------------------------------

// A card whose stop fails is still delivering: its windows and ring stay as they are (the
// callback reads them), and the other cards' rings are laid out after it.
TEST_F(HexmontSnapTest, AStopThatFailsLeavesThatCardsWindowsAndRingAlone) {
  Start(2);
  h().Send(ID_VIEW_SNAP);
  const RECT before = cards_().Cell(0).OutputRect();
  const uint64_t ring0 = 2ull * 4 * OutWidth(0) * OutHeight(0);
  quarnfake::Script("QuarnStopSnapEx", 1).ReturnsNext(QUARN_ERR_BUSY);
  quarnfake::ClearCalls();
  frame().PlaceVideo(RECT{0, 0, 600, 400});
  EXPECT_EQ(CRect(cards_().Cell(0).OutputRect()), CRect(before));
  EXPECT_EQ(cards_().Cell(0).snapOffset, 0u);
  EXPECT_THAT(quarnfake::Calls().Card(1).Texts(), ElementsAre("QuarnStopSnapEx(h1)"));
  EXPECT_THAT(quarnfake::Calls("QuarnStartSnapEx").Texts(),
              ElementsAre("QuarnStartSnapEx(h2, " + std::to_string(ring0) + ", 1, 2)"));
  h().Send(ID_VIEW_SNAP);
}

// A close that fails leaves the frame in Snap with that card open; Snap again closes it.
TEST_F(HexmontSnapTest, ACloseThatFailsKeepsSnapOnUntilEveryCardClosed) {
  Start(2);
  h().Send(ID_VIEW_SNAP);
  quarnfake::Script("QuarnCloseSnapEx", 2).ReturnsNext(QUARN_ERR_BUSY);
  h().Send(ID_VIEW_SNAP);
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kSnap);
  EXPECT_EQ(h().Checked(ID_VIEW_SNAP), 1);
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE_SHOT));
  quarnfake::ClearCalls();
  h().Send(ID_VIEW_SNAP);
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_TRUE(quarnfake::Card(2).snapOpen == false);
}

// With the close and the end failing, the card goes on calling back after the frame and its
// records are gone; the callback reaches nothing (no use of freed memory under ASan).
TEST_F(HexmontSnapTest, ACallbackAfterTheFrameWentReachesNothing) {
  Start(1, true);
  h().Send(ID_VIEW_SNAP);
  quarnfake::Script("QuarnCloseSnapEx").Returns(QUARN_ERR_BUSY);
  quarnfake::Script("EndQuarnCard").Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_APP_EXIT));
  EXPECT_EQ(h().Exit(), 0);
  h_.reset();
  quarnfake::ClearCalls();
  EXPECT_EQ(quarnfake::DeliverSnapFrame(1, 0), 1);
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u) << "nothing converted";
}

// A card whose snap shot fails shows its box and is not played back; the others are. With no
// card's frames stored there is no notice and nothing to play.
TEST_F(HexmontSnapTest, AFailedSnapShotIsReportedAndThatCardIsNotPlayedBack) {
  Start(2);
  quarnfake::Script("QuarnSnapShot", 2).ReturnsNext(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
  ASSERT_EQ(boxes().count(), 2u);
  EXPECT_EQ(boxes().calls()[0].caption, "Error message");
  EXPECT_EQ(boxes().calls()[0].text, QuarnGetErrorString(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().calls()[1].caption, "Notice");
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_PLAYBACK_STEP));
  const auto locks = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(locks.size(), 1u) << "card 1 only";
  EXPECT_EQ(locks[0].Unsigned(0), cards_().Cell(0).snapOffset);
  h().Send(ID_PLAYBACK_STOP);

  quarnfake::Script("QuarnSnapShot").ReturnsNext(QUARN_ERR_BUSY, 2);
  ASSERT_TRUE(h().Send(ID_VIEW_SNAP_SHOT));
  EXPECT_EQ(boxes().count(), 4u);
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_FALSE(h().IsEnabled(ID_PLAYBACK_STEP));
}

}  // namespace
