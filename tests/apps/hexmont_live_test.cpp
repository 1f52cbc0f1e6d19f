// hexmont_live_test.cpp - Hexmont's live video: the grid and output-rectangle rules, the input
// window, the frame's position limits and the printer scale as plain functions; then through the
// frame on the recording capture library: Capture with failing cards, stopping with the freeze and
// read-back into the display buffers, placement on move and size (also during snap), painting of
// the display buffers, the title and closing while live.
#include <QImage>
#include <QPainter>
#include <set>
#include <tuple>

#include "hexmont_app.h"
#include "hexmont_layout.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "printer_scale.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CHexmontApp>;

// ---- Grid cells
// ----------------------------------------------------------------------------------

struct GridShape {
  int cards;
  int rows;
  int columns;
};

// The grids the card counts give: 1 x 1, one row of 2, 2 x 2 for 3 and 4, 2 rows of 3 for 5 and
// 6, 3 x 3 for 7 to 9, 3 rows of 4 for 10.
const GridShape kGridShapes[] = {{1, 1, 1}, {2, 1, 2}, {3, 2, 2}, {4, 2, 2}, {5, 2, 3},
                                 {6, 2, 3}, {7, 3, 3}, {8, 3, 3}, {9, 3, 3}, {10, 3, 4}};

TEST(HexmontGrid, CardCountsGiveTheirRowsAndColumnsOfEqualCellsInRowOrder) {
  // An odd-sized view partly off the screen's top-left corner.
  const RECT view{-37, -5, 966, 710};  // 1003 x 715
  for (const GridShape& shape : kGridShapes) {
    SCOPED_TRACE(shape.cards);
    const LONG cellWidth = 1003 / shape.columns;
    const LONG cellHeight = 715 / shape.rows;
    std::set<LONG> lefts, tops;
    for (int i = 0; i < shape.cards; ++i) {
      const RECT cell = hexmont::GridCell(view, i, shape.cards, RECT{});
      // Right and bottom are inclusive.
      EXPECT_EQ(cell.right - cell.left + 1, cellWidth) << i;
      EXPECT_EQ(cell.bottom - cell.top + 1, cellHeight) << i;
      // Row by row from the view's top-left corner.
      EXPECT_EQ(cell.left, view.left + cellWidth * (i % shape.columns)) << i;
      EXPECT_EQ(cell.top, view.top + cellHeight * (i / shape.columns)) << i;
      EXPECT_LT(cell.right, view.right) << i;
      EXPECT_LT(cell.bottom, view.bottom) << i;
      lefts.insert(cell.left);
      tops.insert(cell.top);
    }
    EXPECT_EQ(static_cast<int>(tops.size()), shape.rows);
    EXPECT_EQ(static_cast<int>(lefts.size()), std::min(shape.cards, shape.columns));
  }
}

TEST(HexmontGrid, ThreeCardsLeaveTheFourthCellOfTheirTwoByTwoGridEmpty) {
  const RECT view{0, 0, 800, 600};
  const RECT first = hexmont::GridCell(view, 0, 3, RECT{});
  const RECT second = hexmont::GridCell(view, 1, 3, RECT{});
  const RECT third = hexmont::GridCell(view, 2, 3, RECT{});
  EXPECT_EQ(CRect(first), CRect(0, 0, 399, 299));
  EXPECT_EQ(CRect(second), CRect(400, 0, 799, 299));
  EXPECT_EQ(CRect(third), CRect(0, 300, 399, 599));
  // Nothing covers the bottom-right quarter.
  for (const RECT& cell : {first, second, third}) {
    EXPECT_FALSE(cell.left >= 400 && cell.top >= 300);
  }
}

TEST(HexmontGrid, AnIndexOutsideTheCardsKeepsTheCellItHad) {
  const RECT view{0, 0, 800, 600};
  const RECT previous{11, 22, 33, 44};
  EXPECT_EQ(CRect(hexmont::GridCell(view, -1, 4, previous)), CRect(previous));
  EXPECT_EQ(CRect(hexmont::GridCell(view, 5, 4, previous)), CRect(previous));
  // No card at all: no grid, and no division by a zero row count.
  EXPECT_EQ(CRect(hexmont::GridCell(view, 0, 0, previous)), CRect(previous));
}

// ---- Output rectangles
// ---------------------------------------------------------------------------

RECT Fit(const RECT& cell, int imageWidth = 768, int imageHeight = 576, int screenWidth = 1280,
         int screenHeight = 1024) {
  return hexmont::FitOutputRect(cell, 0, 0, screenWidth, screenHeight, imageWidth, imageHeight, 4,
                                2);
}

TEST(HexmontOutput, EveryCellOfOddAndNegativeViewsFitsTheImageOnStepsOfFourAndTwo) {
  const RECT views[] = {{-37, -5, 966, 710},
                        {-601, -333, 679, 691},
                        {3, 1, 1280, 1024},
                        {13, 27, 2011, 1571},
                        {-5, 19, 402, 318}};
  const std::pair<int, int> images[] = {{768, 576}, {640, 480}};
  for (const RECT& view : views) {
    for (const GridShape& shape : kGridShapes) {
      for (const auto& [imageWidth, imageHeight] : images) {
        for (int i = 0; i < shape.cards; ++i) {
          SCOPED_TRACE(::testing::Message()
                       << "view " << view.left << "," << view.top << " cards " << shape.cards
                       << " card " << i << " image " << imageWidth);
          const RECT cell = hexmont::GridCell(view, i, shape.cards, RECT{});
          const RECT out = Fit(cell, imageWidth, imageHeight);
          EXPECT_LE(out.right - out.left, imageWidth);
          EXPECT_LE(out.bottom - out.top, imageHeight);
          // A cell wholly off the screen's left or top collapses onto 0; any other keeps a size.
          if (cell.right >= 8) {
            EXPECT_GT(out.right - out.left, 0);
          }
          if (cell.bottom >= 4) {
            EXPECT_GT(out.bottom - out.top, 0);
          }
          EXPECT_EQ(out.left % 4, 0);
          EXPECT_EQ(out.right % 4, 0);
          EXPECT_EQ(out.top % 2, 0);
          EXPECT_EQ(out.bottom % 2, 0);
          EXPECT_GE(out.left, 0);
          EXPECT_GE(out.top, 0);
          // Rounding goes inwards: a cell on the screen and within the image is never exceeded.
          if (cell.right >= 0 && cell.right <= 1280 && cell.right - cell.left <= imageWidth) {
            EXPECT_GE(out.left, cell.left);
            EXPECT_LE(out.right, cell.right);
          }
          if (cell.bottom >= 0 && cell.bottom <= 1024 && cell.bottom - cell.top <= imageHeight) {
            EXPECT_GE(out.top, cell.top);
            EXPECT_LE(out.bottom, cell.bottom);
          }
        }
      }
    }
  }
}

TEST(HexmontOutput, EdgesAreClampedAtZeroAndRoundedInwards) {
  // Left and top off the screen become 0; 13 rises to 14, 463 falls to 460, 369 to 368.
  EXPECT_EQ(CRect(Fit({-37, 13, 463, 369})), CRect(0, 14, 460, 368));
  // A cell wholly left of and above the screen collapses onto 0.
  EXPECT_EQ(CRect(Fit({-300, -200, -100, -50})), CRect(0, 0, 0, 0));
}

TEST(HexmontOutput, ACellLargerThanTheImageGetsTheImageSizeFromItsLeftAndTop) {
  // 10 + 768 = 778 -> 776 after 10 rises to 12; 10 + 576 = 586 is even.
  EXPECT_EQ(CRect(Fit({10, 10, 1000, 700})), CRect(12, 10, 776, 586));
  // NTSC: 640 x 480.
  EXPECT_EQ(CRect(Fit({0, 0, 1000, 700}, 640, 480)), CRect(0, 0, 640, 480));
}

TEST(HexmontOutput, ACellReachingPastTheScreenEdgeTakesTheImageSize) {
  // Right edge 1299 lies beyond the 1280-pixel screen: right = left + image width, as the card
  // expects a whole picture there (the card clips what is off the screen).
  EXPECT_EQ(CRect(Fit({1000, 0, 1299, 299})), CRect(1000, 0, 1768, 298));
  // Likewise at the bottom.
  EXPECT_EQ(CRect(Fit({0, 1000, 299, 1099})), CRect(0, 1000, 296, 1576));
}

TEST(HexmontOutput, RemaindersOfNegativeEdgesAreThoseOfSignedDivision) {
  // With a minimum below 0 negative edges remain. Signed remainders: -7 % 4 = -3, so left
  // becomes -7 + 3 + 4 = 0 (a floored remainder would give -4); right -1 - (-1) = 0; top
  // -3 + 1 + 2 = 0; bottom -1 + 1 = 0.
  const RECT out = hexmont::FitOutputRect({-7, -3, -1, -1}, -100, -100, 1280, 1024, 768, 576, 4, 2);
  EXPECT_EQ(CRect(out), CRect(0, 0, 0, 0));
  // Edges already on a step are left alone, negative or not.
  const RECT kept =
      hexmont::FitOutputRect({-8, -4, -4, -2}, -100, -100, 1280, 1024, 768, 576, 4, 2);
  EXPECT_EQ(CRect(kept), CRect(-8, -4, -4, -2));
}

// ---- Input windows, snap rings, position, painting ----------------------------------------------

TEST(HexmontInputWindow, ClipTakesTheOutputSizeFromTheImageCornerAndScaleTheWholeImage) {
  const RECT out{100, 40, 560, 394};
  EXPECT_EQ(CRect(hexmont::InputWindowFor(true, out, 768, 576)), CRect(0, 0, 460, 354));
  EXPECT_EQ(CRect(hexmont::InputWindowFor(false, out, 768, 576)), CRect(0, 0, 768, 576));
  EXPECT_EQ(CRect(hexmont::InputWindowFor(false, out, 640, 480)), CRect(0, 0, 640, 480));
}

TEST(HexmontSnapRing, TwoFramesOfTheFormatsBytesPerPixel) {
  EXPECT_EQ(hexmont::SnapRingBytes(4, 460, 354), 2u * 4 * 460 * 354);  // 32 bits
  EXPECT_EQ(hexmont::SnapRingBytes(1, 460, 354), 2u * 3 * 460 * 354);  // 24 bits
  EXPECT_EQ(hexmont::SnapRingBytes(3, 460, 354), 2u * 2 * 460 * 354);  // 15 bits round up to 2
  EXPECT_EQ(hexmont::SnapRingBytes(6, 460, 354), 2u * 1 * 460 * 354);  // 8 bits
}

TEST(HexmontPosition, NegativePositionsBecomeZeroAndFarEdgesComeBackOnTheScreen) {
  WINDOWPOS pos{-40, -25, 300, 200, 0};
  hexmont::ConstrainFramePosition(pos, false, 1280, 1024);
  EXPECT_EQ(pos.x, 0);
  EXPECT_EQ(pos.y, 0);
  EXPECT_EQ(pos.cx, 300);
  EXPECT_EQ(pos.cy, 200);

  pos = {1100, 900, 300, 200, 0};
  hexmont::ConstrainFramePosition(pos, false, 1280, 1024);
  EXPECT_EQ(pos.x, 980);
  EXPECT_EQ(pos.y, 824);
  EXPECT_EQ(pos.cx, 300);  // sizes are never changed
  EXPECT_EQ(pos.cy, 200);

  // Wider than the screen: the right-edge rule comes last, so the frame starts left of 0.
  pos = {-10, 0, 1400, 200, 0};
  hexmont::ConstrainFramePosition(pos, false, 1280, 1024);
  EXPECT_EQ(pos.x, -120);
  EXPECT_EQ(pos.cx, 1400);
}

TEST(HexmontPosition, AMaximisedFrameIsLeftAlone) {
  WINDOWPOS pos{-4, -4, 1288, 1032, 0};
  hexmont::ConstrainFramePosition(pos, true, 1280, 1024);
  EXPECT_EQ(pos.x, -4);
  EXPECT_EQ(pos.y, -4);
  EXPECT_EQ(pos.cx, 1288);
  EXPECT_EQ(pos.cy, 1032);
}

TEST(HexmontPaintRules, DestinationIsTheSmallerOfPictureAndOutputFromTheCellCorner) {
  const RECT out{0, 0, 316, 226};
  // A picture larger than its output is shrunk into it; a smaller one keeps its size.
  EXPECT_EQ(CRect(hexmont::PaintDestination({320, 5}, 768, 576, out)), CRect(320, 5, 636, 231));
  EXPECT_EQ(CRect(hexmont::PaintDestination({320, 5}, 100, 50, out)), CRect(320, 5, 420, 55));
}

// Coordinates whose product with the printer's pixels per inch leaves the range of an int are
// held to 2^30 either way, so the width of two of them still fits.
TEST(HexmontPaintRules, PrinterScaleTruncatesTowardsZeroAndHoldsToTheLargestCoordinate) {
  // {coordinate, pixels per inch, printed coordinate}
  const std::vector<std::tuple<int, int, int>> table = {
      {96, 600, 600},
      {7, 600, 43},      // 43.75: truncated, not rounded
      {-50, 600, -312},  // -312.5: towards zero, not floored
      {316, 96, 316},
      {1 << 20, 4800, 52428800},
      {2000000, 1200, 25000000},  // the product is past the range of an int
      {INT32_MAX, 1200, kMaxPrinterCoordinate},
      {INT32_MIN, 1200, -kMaxPrinterCoordinate},
      {100, INT32_MAX, kMaxPrinterCoordinate},
  };
  for (const auto& [coordinate, dpi, printed] : table) {
    EXPECT_EQ(hexmont::ScaleForPrinter(coordinate, dpi), printed) << coordinate << " " << dpi;
  }
}

// ---- Through the frame
// ---------------------------------------------------------------------------

class HexmontLiveTest : public ::testing::Test {
 protected:
  // Starts Hexmont with `cards` recording cards; the view's host window shows as "wnd".
  void Start(int cards) {
    quarnfake::SetCardCount(cards);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    // The offscreen platform shifts the shown window by its frame margins without a move
    // message; a size message places the video on the view's final rectangle.
    h_->SendMessage(WM_SIZE, 0, 0);
    quarnfake::Name(Window(), "wnd");
    quarnfake::ClearCalls();
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& cards() { return frame().Grid(); }
  CView& view() { return *h_->view(); }
  const QuarnHostWindow* Window() { return view().HostWindow().Contract(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }
  CRect ViewClient() {
    CRect client;
    view().GetClientRect(&client);
    return client;
  }
  // The view's picture as it would reach the screen.
  QImage ViewPicture() {
    QImage copy;
    view().GetBackingStore().Read([&copy](const QImage& image) { copy = image.copy(); });
    return copy;
  }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

TEST_F(HexmontLiveTest, CaptureIsEnabledIdleOrLiveAndCheckedOnlyLive) {
  Start(2);
  struct {
    AcquisitionMode mode;
    bool enabled;
    int checked;
  } const cases[] = {{AcquisitionMode::kIdle, true, 0},
                     {AcquisitionMode::kLive, true, 1},
                     {AcquisitionMode::kSnap, false, 0},
                     {AcquisitionMode::kPlayback, false, 0}};
  for (const auto& c : cases) {
    HexmontFrameProbe::Mode(frame()) = c.mode;
    EXPECT_EQ(h().IsEnabled(ID_VIEW_CAPTURE), c.enabled) << c.mode;
    EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), c.checked) << c.mode;
  }
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kIdle;
}

TEST_F(HexmontLiveTest, CtrlOneStartsEveryCardOverTheViewThenStopsThem) {
  Start(3);
  h().Key(Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kLive);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 1);
  EXPECT_THAT(quarnfake::Calls("QuarnCaptureEx").Texts(),
              ElementsAre("QuarnCaptureEx(h1, wnd, 1)", "QuarnCaptureEx(h2, wnd, 1)",
                          "QuarnCaptureEx(h3, wnd, 1)"));
  for (int card = 1; card <= 3; ++card) EXPECT_TRUE(quarnfake::Card(card).live) << card;
  EXPECT_EQ(boxes().count(), 0u);

  quarnfake::ClearCalls();
  h().Key(Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 0);
  EXPECT_THAT(quarnfake::Calls("QuarnCaptureEx").Texts(),
              ElementsAre("QuarnCaptureEx(h1, wnd, 0)", "QuarnCaptureEx(h2, wnd, 0)",
                          "QuarnCaptureEx(h3, wnd, 0)"));
  for (int card = 1; card <= 3; ++card) EXPECT_FALSE(quarnfake::Card(card).live) << card;
}

TEST_F(HexmontLiveTest, ACardThatFailsToStartShowsItsBoxOwnedByTheFrameAndTheOthersStart) {
  Start(3);
  quarnfake::Script("QuarnCaptureEx", 2).Returns(QUARN_ERR_BUSY);
  EXPECT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, &frame());
  EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONWARNING);
  // The failure does not stop the loop: card 3 is asked after card 2 failed.
  EXPECT_THAT(quarnfake::Calls("QuarnCaptureEx").Texts(),
              ElementsAre("QuarnCaptureEx(h1, wnd, 1)", "QuarnCaptureEx(h2, wnd, 1)",
                          "QuarnCaptureEx(h3, wnd, 1)"));
  EXPECT_TRUE(quarnfake::Card(1).live);
  EXPECT_FALSE(quarnfake::Card(2).live);
  EXPECT_TRUE(quarnfake::Card(3).live);
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kLive);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 1);
}

TEST_F(HexmontLiveTest, WhenEveryCardFailsLiveVideoStaysIdleAndUnchecked) {
  Start(2);
  quarnfake::Script("QuarnCaptureEx").Returns(QUARN_ERR_GENERAL);
  EXPECT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(boxes().count(), 2u);  // one box per card
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 0);
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE));
}

TEST_F(HexmontLiveTest, WithNoCardCaptureStaysIdleAndUnchecked) {
  quarnfake::SetCardCount(0);
  Start(0);
  boxes().Clear();  // the start-up's "no card" box
  EXPECT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 0);
  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
}

TEST_F(HexmontLiveTest, StartSelectsTheFramesPaletteIntoTheViewAndStopPutsTheOldOneBack) {
  Start(1);
  CHostWindow& window = view().HostWindow();
  CPalette* before = window.SelectedPalette();
  const int realized = window.RealizeCount();
  h().Send(ID_VIEW_CAPTURE);
  EXPECT_EQ(window.SelectedPalette(), HexmontFrameProbe::Palette(frame()));
  EXPECT_FALSE(window.PaletteInBackground());
  EXPECT_EQ(window.RealizeCount(), realized + 1);
  EXPECT_EQ(HexmontFrameProbe::DisplacedPalette(frame()), before);
  h().Send(ID_VIEW_CAPTURE);
  EXPECT_EQ(window.SelectedPalette(), before);
  EXPECT_EQ(window.RealizeCount(), realized + 2);
}

TEST_F(HexmontLiveTest, StopFreezesEachCardAndReadsItsCellBackIntoTheDisplayBuffer) {
  Start(2);
  hexmonttest::SetRecordValue(
      cards().Cell(1).card, &VideoParameterSet::scanMode,
      static_cast<int32_t>(1));  // card 2 in a field mode: half the output height
  quarnfake::SetDisplaySeed(77);
  h().Send(ID_VIEW_CAPTURE);
  quarnfake::ClearCalls();
  h().Send(ID_VIEW_CAPTURE);

  // Two cards share one row: card 2's cell starts half the view's width to the right.
  const CRect client = ViewClient();
  const POINT origins[] = {{0, 0}, {client.Width() / 2, 0}};
  const auto calls = quarnfake::Calls();
  std::vector<std::string> ops;
  for (const auto& call : calls) ops.emplace_back(call.op);
  EXPECT_THAT(ops, ElementsAre("QuarnCaptureEx", "QuarnCaptureShot", "QuarnGetDisplayBits",
                               "QuarnCaptureEx", "QuarnCaptureShot", "QuarnGetDisplayBits"));
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const CGridCard& record = cards().Cell(i);
    const int width = record.OutputRect().right - record.OutputRect().left;
    const int fullHeight = record.OutputRect().bottom - record.OutputRect().top;
    const int height = i == 1 ? fullHeight / 2 : fullHeight;
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    EXPECT_EQ(calls[static_cast<size_t>(3 * i)].Text(),
              "QuarnCaptureEx(h" + std::to_string(i + 1) + ", wnd, 0)");
    EXPECT_EQ(calls[static_cast<size_t>(3 * i + 1)].handle, quarnfake::HandleOf(i + 1));
    const auto& bits = calls[static_cast<size_t>(3 * i + 2)];
    EXPECT_EQ(bits.Int(1), origins[i].x);
    EXPECT_EQ(bits.Int(2), origins[i].y);
    EXPECT_EQ(bits.Int(3), width);
    EXPECT_EQ(bits.Int(4), height);
    EXPECT_EQ(bits.Pointer(5), &record.card.Picture().Header()->bmiHeader.biBitCount);
    EXPECT_EQ(bits.Pointer(6), record.card.Picture().Buffer());
    // The header describes what was read; the buffer holds it.
    EXPECT_EQ(record.card.Picture().Header()->bmiHeader.biWidth, width);
    EXPECT_EQ(record.card.Picture().Header()->bmiHeader.biHeight, height);
    EXPECT_EQ(record.card.Picture().Header()->bmiHeader.biBitCount, 32);
    const std::vector<uint8_t> expected =
        quarnfake::ExpectedDisplayBits(origins[i].x, origins[i].y, width, height);
    ASSERT_LE(expected.size(), record.card.Picture().BufferSize());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), record.card.Picture().Buffer()));
  }
  EXPECT_EQ(quarnfake::Card(1).captureShots, 1);
  EXPECT_EQ(quarnfake::Card(2).captureShots, 1);
}

TEST_F(HexmontLiveTest, AFailedReadBackLeavesTheHeaderSizeAndAFailedStopSkipsTheCard) {
  Start(3);
  h().Send(ID_VIEW_CAPTURE);
  quarnfake::ClearCalls();
  quarnfake::Script("QuarnCaptureEx", 2).Returns(QUARN_ERR_GENERAL);
  quarnfake::Script("QuarnGetDisplayBits").ReturnsNext(QUARN_ERR_GENERAL);  // card 1's
  h().Send(ID_VIEW_CAPTURE);
  EXPECT_EQ(cards().Cell(0).card.Picture().Header()->bmiHeader.biWidth, 0);
  EXPECT_EQ(cards().Cell(0).card.Picture().Header()->bmiHeader.biHeight, 0);
  EXPECT_EQ(cards().Cell(1).card.Picture().Header()->bmiHeader.biWidth,
            0);  // not stopped, not read
  EXPECT_GT(cards().Cell(2).card.Picture().Header()->bmiHeader.biWidth, 0);
  EXPECT_EQ(quarnfake::CallCount("QuarnCaptureShot"), 2u);
  EXPECT_EQ(quarnfake::Calls("QuarnCaptureShot").Card(2).size(), 0u);
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().owner, &frame());
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
}

TEST_F(HexmontLiveTest, AfterStoppingTheViewShowsTheLastPictureOfEveryCell) {
  Start(2);
  hexmonttest::SetRecordValue(cards().Cell(1).card, &VideoParameterSet::scanMode,
                              static_cast<int32_t>(2));
  quarnfake::SetDisplaySeed(77);
  h().Send(ID_VIEW_CAPTURE);
  h().Send(ID_VIEW_CAPTURE);
  h().ProcessEvents();  // the repaint the stop asked for
  const QImage picture = ViewPicture();
  ASSERT_FALSE(picture.isNull());
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const CGridCard& record = cards().Cell(i);
    const BITMAPINFOHEADER& info = record.card.Picture().Header()->bmiHeader;
    POINT origin{record.cellRect.left, record.cellRect.top};
    view().ScreenToClient(&origin);
    // The recording library reads back red = x, green = y, blue = the seed of each client point,
    // so a picture painted back where it was read shows exactly that pattern.
    for (const QPoint p : {QPoint(origin.x + 3, origin.y + 2),
                           QPoint(origin.x + info.biWidth - 1, origin.y + info.biHeight - 1),
                           QPoint(origin.x + info.biWidth / 2, origin.y + info.biHeight / 3)}) {
      const QRgb pixel = picture.pixel(p);
      EXPECT_EQ(qRed(pixel), p.x() & 0xFF) << p.x() << "," << p.y();
      EXPECT_EQ(qGreen(pixel), p.y() & 0xFF) << p.x() << "," << p.y();
      EXPECT_EQ(qBlue(pixel), 77) << p.x() << "," << p.y();
    }
  }
  // Card 2 read half its output height (field mode); below that the view is erased (white).
  const CGridCard& second = cards().Cell(1);
  POINT below{second.cellRect.left + 5, second.cellRect.top};
  view().ScreenToClient(&below);
  below.y += second.card.Picture().Header()->bmiHeader.biHeight + 4;
  EXPECT_EQ(picture.pixel(below.x, below.y) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(HexmontLiveTest, CloseWhileLiveStopsLiveVideoThroughCaptureFirst) {
  Start(2);
  h().Send(ID_VIEW_CAPTURE);
  quarnfake::ClearCalls();
  frame().SendMessage(WM_CLOSE);
  const auto calls = quarnfake::Calls().Texts();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "QuarnCaptureEx(h1, wnd, 0)");
  EXPECT_THAT(quarnfake::Calls("QuarnCaptureEx").Texts(),
              ElementsAre("QuarnCaptureEx(h1, wnd, 0)", "QuarnCaptureEx(h2, wnd, 0)"));
  EXPECT_FALSE(quarnfake::Card(1).live);
  EXPECT_FALSE(quarnfake::Card(2).live);
  EXPECT_EQ(h().app().m_pMainWnd, nullptr);  // then the frame closed
}

// ---- Placement
// ------------------------------------------------------------------------------------

TEST_F(HexmontLiveTest, PlaceVideoPutsThreeCardsInAGridOfFourAndLeavesTheLastCellEmpty) {
  Start(3);
  HexmontFrameProbe::ScreenWidth(frame()) = 1280;
  HexmontFrameProbe::ScreenHeight(frame()) = 1024;
  frame().PlaceVideo(RECT{-37, 13, 966, 728});  // 1003 x 715: cells of 501 x 357
  EXPECT_THAT(
      quarnfake::Calls().Texts(),
      ElementsAre(
          "QuarnSetInputWindow(h1, 0, 0, 460, 354)", "QuarnSetOutputWindow(h1, 0, 14, 460, 354)",
          "QuarnSetInputWindow(h2, 0, 0, 500, 354)", "QuarnSetOutputWindow(h2, 464, 14, 500, 354)",
          "QuarnSetInputWindow(h3, 0, 0, 460, 356)", "QuarnSetOutputWindow(h3, 0, 370, 460, 356)"));
  // Remembered for the read-back and painting.
  EXPECT_EQ(cards().Cell(1).cellRect, CRect(464, 13, 964, 369));
  EXPECT_EQ(cards().Cell(1).OutputRect(), CRect(464, 14, 964, 368));
  EXPECT_EQ(cards().Cell(2).card.GetInputRect(), CRect(0, 0, 460, 356));
}

TEST_F(HexmontLiveTest, PlaceVideoInScaleModeSendsEachCardsWholeImage) {
  Start(2);
  HexmontFrameProbe::ScreenWidth(frame()) = 1280;
  HexmontFrameProbe::ScreenHeight(frame()) = 1024;
  HexmontFrameProbe::Clipped(frame()) = false;
  // An NTSC card.
  hexmonttest::SetRecordValue(cards().Cell(1).card, &VideoParameterSet::standard,
                              static_cast<int32_t>(kStandardNtsc));
  frame().PlaceVideo(RECT{0, 0, 1000, 400});
  EXPECT_THAT(quarnfake::Calls("QuarnSetInputWindow").Texts(),
              ElementsAre("QuarnSetInputWindow(h1, 0, 0, 768, 576)",
                          "QuarnSetInputWindow(h2, 0, 0, 640, 480)"));
  EXPECT_THAT(quarnfake::Calls("QuarnSetOutputWindow").Texts(),
              ElementsAre("QuarnSetOutputWindow(h1, 0, 0, 496, 398)",
                          "QuarnSetOutputWindow(h2, 500, 0, 496, 398)"));
}

// Live video that cannot follow the window says so, once per placement (it used to say
// nothing); idle, the same refusal goes unreported, as the grid keeps its windows anyway.
TEST_F(HexmontLiveTest, ALiveCardThatRefusesItsOutputWindowShowsTheStatus) {
  Start(2);
  quarnfake::Script("QuarnSetOutputWindow", 2).Returns(QUARN_ERR_BUSY);
  frame().PlaceVideo(RECT{0, 0, 1000, 400});
  EXPECT_EQ(boxes().count(), 0u);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  frame().PlaceVideo(RECT{0, 0, 1000, 400});
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, quarnfake::ErrorText(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().last().caption, "Error message");
}

TEST_F(HexmontLiveTest, PlaceVideoDuringSnapStopsAndRestartsEachRingAfterThePreviousOne) {
  Start(3);
  HexmontFrameProbe::ScreenWidth(frame()) = 1280;
  HexmontFrameProbe::ScreenHeight(frame()) = 1024;
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kSnap;
  cards().Cell(1).interline = 0;
  frame().PlaceVideo(RECT{-37, 13, 966, 728});
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kIdle;
  // Format 4 (32 bits, from the offscreen screen): 4 bytes a pixel, two frames a ring.
  const uint64_t second = 2ull * 4 * 460 * 354;
  const uint64_t third = second + 2ull * 4 * 500 * 354;
  EXPECT_THAT(
      quarnfake::Calls().Texts(),
      ElementsAreArray(std::vector<std::string>{
          "QuarnStopSnapEx(h1)", "QuarnStopSnapEx(h2)", "QuarnStopSnapEx(h3)",
          "QuarnSetInputWindow(h1, 0, 0, 460, 354)", "QuarnSetOutputWindow(h1, 0, 14, 460, 354)",
          "QuarnStartSnapEx(h1, 0, 1, 2)", "QuarnSetInputWindow(h2, 0, 0, 500, 354)",
          "QuarnSetOutputWindow(h2, 464, 14, 500, 354)",
          "QuarnStartSnapEx(h2, " + std::to_string(second) + ", 0, 2)",
          "QuarnSetInputWindow(h3, 0, 0, 460, 356)", "QuarnSetOutputWindow(h3, 0, 370, 460, 356)",
          "QuarnStartSnapEx(h3, " + std::to_string(third) + ", 1, 2)"}));
  EXPECT_EQ(cards().Cell(0).snapOffset, 0u);
  EXPECT_EQ(cards().Cell(1).snapOffset, second);
  EXPECT_EQ(cards().Cell(2).snapOffset, third);
}

TEST_F(HexmontLiveTest, MovingOrSizingTheFramePlacesTheVideoOnTheViewsNewRectangle) {
  Start(1);
  for (const CRect& target :
       {CRect(13, 21, 13 + 401, 21 + 333), CRect(50, 60, 50 + 300, 60 + 250)}) {
    quarnfake::ClearCalls();
    frame().MoveWindow(target.left, target.top, target.Width(), target.Height());
    h().ProcessEvents();
    CRect client;
    view().GetClientRect(&client);
    view().ClientToScreen(&client);
    // One card: its cell is the whole view; the output rounds inwards onto steps of 4 and 2.
    const auto up = [](LONG v, int step) { return v % step != 0 ? v - v % step + step : v; };
    const auto down = [](LONG v, int step) { return v - v % step; };
    const LONG left = up(client.left, 4), top = up(client.top, 2);
    const LONG right = down(client.right - 1, 4), bottom = down(client.bottom - 1, 2);
    ASSERT_FALSE(quarnfake::Calls("QuarnSetOutputWindow").empty());
    EXPECT_EQ(quarnfake::Calls("QuarnSetOutputWindow").back().Text(),
              "QuarnSetOutputWindow(h1, " + std::to_string(left) + ", " + std::to_string(top) +
                  ", " + std::to_string(right - left) + ", " + std::to_string(bottom - top) + ")");
  }
}

TEST_F(HexmontLiveTest, TheFrameIsKeptOnTheScreenButNeverResized) {
  Start(1);
  const int screenWidth = HexmontFrameProbe::ScreenWidth(frame());
  const int screenHeight = HexmontFrameProbe::ScreenHeight(frame());
  ASSERT_GT(screenWidth, 300);
  frame().MoveWindow(-40, -25, 300, 200);
  CRect rect;
  frame().GetWindowRect(&rect);
  EXPECT_EQ(rect, CRect(0, 0, 300, 200));
  frame().MoveWindow(screenWidth - 100, screenHeight - 50, 300, 200);
  frame().GetWindowRect(&rect);
  EXPECT_EQ(rect, CRect(screenWidth - 300, screenHeight - 200, screenWidth, screenHeight));
}

TEST_F(HexmontLiveTest, AMaximisedFrameIsNotConstrained) {
  Start(1);
  frame().GetWidget()->setWindowState(Qt::WindowMaximized);
  ASSERT_TRUE(frame().IsZoomed());
  WINDOWPOS pos{-4, -4, HexmontFrameProbe::ScreenWidth(frame()) + 8,
                HexmontFrameProbe::ScreenHeight(frame()) + 8, 0};
  frame().OnWindowPosChanging(&pos);
  EXPECT_EQ(pos.x, -4);
  EXPECT_EQ(pos.y, -4);
}

// ---- Title and painting ------------------------------------------------------------------------

TEST_F(HexmontLiveTest, TheFramesPaintSetsItsTitleAndANewDocumentDoesNotUndoIt) {
  Start(1);
  EXPECT_EQ(frame().GetWindowText(), "Quarn Multi Performance");
  h().Key(Qt::Key_N, Qt::ControlModifier);  // the framework updates the title
  h().ProcessEvents();
  EXPECT_EQ(frame().GetWindowText(), "Quarn Multi Performance");
}

// A context on a 600 x 400 image of a known colour, screen-like or as a printer page.
struct ImageContext {
  explicit ImageContext(bool printing, int dpiX = 96, int dpiY = 96)
      : image(600, 400, QImage::Format_RGB32) {
    image.fill(QColor(1, 2, 3));
    image.setDotsPerMeterX(static_cast<int>(dpiX / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpiY / 0.0254 + 0.5));
    painter = std::make_unique<QPainter>(&image);
    dc = std::make_unique<CDC>(*painter, printing);
  }
  QRgb At(int x, int y) {
    painter->end();
    const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
    painter->begin(&image);
    return pixel;
  }
  QImage image;
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<CDC> dc;
};

// Gives card `index` a solid 32-bit picture of `w` x `h` in colour 0x00RRGGBB, a cell whose
// corner is at client point `corner` and an output of `outW` x `outH`.
void SetPicture(CMainFrame& frame, int index, uint32_t xrgb, int w, int h, POINT corner, int outW,
                int outH) {
  CGridCard& record = frame.Grid().Cell(index);
  BITMAPINFOHEADER& info = record.card.Picture().Header()->bmiHeader;
  info.biWidth = w;
  info.biHeight = h;
  info.biBitCount = 32;
  auto* pixels = reinterpret_cast<uint32_t*>(record.card.Picture().Buffer());
  std::fill(pixels, pixels + static_cast<ptrdiff_t>(w) * h, xrgb);
  POINT screen = corner;
  frame.GetActiveView()->ClientToScreen(&screen);
  record.cellRect = RECT{screen.x, screen.y, screen.x + outW - 1, screen.y + outH - 1};
  hexmonttest::SetOutputRect(record.card,
                             RECT{screen.x, screen.y, screen.x + outW, screen.y + outH});
}

TEST_F(HexmontLiveTest, PaintingDrawsTheDisplayBuffersOnlyWhenIdleOrInPlayback) {
  Start(2);
  SetPicture(frame(), 0, 0xFF0000, 50, 40, {10, 20}, 100, 80);
  SetPicture(frame(), 1, 0x00FF00, 50, 40, {300, 20}, 100, 80);
  for (AcquisitionMode mode : {AcquisitionMode::kLive, AcquisitionMode::kSnap}) {
    ImageContext target(false);
    HexmontFrameProbe::Mode(frame()) = mode;
    frame().PaintView(target.dc.get());
    EXPECT_EQ(target.At(30, 30), 0x010203u) << mode;
    EXPECT_EQ(target.dc->GetStretchBltMode(), BLACKONWHITE) << mode;
  }
  for (AcquisitionMode mode : {AcquisitionMode::kIdle, AcquisitionMode::kPlayback}) {
    ImageContext target(false);
    HexmontFrameProbe::Mode(frame()) = mode;
    frame().PaintView(target.dc.get());
    EXPECT_EQ(target.dc->GetStretchBltMode(), COLORONCOLOR) << mode;
    EXPECT_EQ(target.At(10, 20), 0xFF0000u) << mode;
    EXPECT_EQ(target.At(59, 59), 0xFF0000u) << mode;
    EXPECT_EQ(target.At(60, 30), 0x010203u) << mode;  // a smaller picture is drawn 1:1
    EXPECT_EQ(target.At(30, 60), 0x010203u) << mode;
    EXPECT_EQ(target.At(300, 20), 0x00FF00u) << mode;
  }
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kIdle;
}

TEST_F(HexmontLiveTest, APictureLargerThanItsOutputIsShrunkIntoIt) {
  Start(1);
  SetPicture(frame(), 0, 0x0000FF, 300, 200, {20, 10}, 100, 80);
  ImageContext target(false);
  frame().PaintView(target.dc.get());
  EXPECT_EQ(target.At(119, 89), 0x0000FFu);
  EXPECT_EQ(target.At(120, 50), 0x010203u);
  EXPECT_EQ(target.At(50, 90), 0x010203u);
}

TEST_F(HexmontLiveTest, PrintingScalesEachEdgeByThePrintersPixelsPerInch) {
  Start(1);
  SetPicture(frame(), 0, 0xFF0000, 50, 40, {12, 24}, 100, 80);
  // 192 x 288 dpi: twice the screen across, three times down.
  ImageContext target(true, 192, 288);
  frame().PaintView(target.dc.get());
  // Left 24, top 72, right 124, bottom 192.
  EXPECT_EQ(target.At(24, 72), 0xFF0000u);
  EXPECT_EQ(target.At(123, 191), 0xFF0000u);
  EXPECT_EQ(target.At(23, 100), 0x010203u);
  EXPECT_EQ(target.At(124, 100), 0x010203u);
  EXPECT_EQ(target.At(50, 71), 0x010203u);
  EXPECT_EQ(target.At(50, 192), 0x010203u);
}

TEST_F(HexmontLiveTest, EightBitPicturesArePaintedThroughTheFramesPaletteWhichIsThenPutBack) {
  Start(1);
  SetPicture(frame(), 0, 0, 40, 40, {0, 0}, 100, 80);
  CHostWindow& window = view().HostWindow();
  CPalette* before = window.SelectedPalette();
  CClientDC dc(window);

  int realized = window.RealizeCount();
  frame().PaintView(&dc);  // 32 bits: no palette
  EXPECT_EQ(window.RealizeCount(), realized);

  cards().Cell(0).card.Picture().Header()->bmiHeader.biBitCount = 8;
  frame().PaintView(&dc);
  EXPECT_EQ(window.RealizeCount(), realized + 2);  // ours, then the one it displaced
  EXPECT_EQ(window.SelectedPalette(), before);
}

}  // namespace
