// display_solvane_test.cpp - Solvane's display modes through its frame, on the offscreen platform
// and the recording capture library: Clip and Scale with their check marks and input windows,
// the view's scroll notifications moving the input window (lines, pages, a released thumb
// snapped toward zero, dragging and end scroll moving nothing, both ends), the real scroll bars'
// route to the frame, and the picture's size on a printer.
#include <QAbstractSlider>
#include <QFileInfo>
#include <QPainter>
#include <QTest>
#include <algorithm>

#include "dc.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"
#include "solvane_test_support.h"
#include "view_scroll.h"

namespace {

class SolvaneDisplayTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartProgram()); }

  // A scroll notification as the view's bar sends it.
  void Scroll(int bar, UINT code, int pos = 0) {
    view().SendMessage(bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, pos), 0);
  }
  // The card's input window as the library last accepted it.
  QuarnRect Input() { return quarnfake::Card(1).inputWindow; }

  quarnfake::ScopedFake fake_;  // before the harness: the program's calls land in a clean log
};

// ---- Clip and Scale -----------------------------------------------------------------------------

TEST_F(SolvaneDisplayTest, ClipAndScaleAreAlwaysEnabledWithTheCheckOnTheModeInForce) {
  EXPECT_EQ(frame().clip, 1);
  EXPECT_TRUE(h().IsEnabled(ID_DISPLAY_CLIP));
  EXPECT_TRUE(h().IsEnabled(ID_DISPLAY_SCALE));
  EXPECT_EQ(h().Checked(ID_DISPLAY_CLIP), 1);
  EXPECT_EQ(h().Checked(ID_DISPLAY_SCALE), 0);

  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  EXPECT_EQ(frame().clip, 0);
  EXPECT_EQ(h().Checked(ID_DISPLAY_CLIP), 0);
  EXPECT_EQ(h().Checked(ID_DISPLAY_SCALE), 1);
  EXPECT_TRUE(h().IsEnabled(ID_DISPLAY_CLIP));

  ASSERT_TRUE(h().Menu(ID_DISPLAY_CLIP));
  EXPECT_EQ(frame().clip, 1);
  EXPECT_EQ(h().Checked(ID_DISPLAY_CLIP), 1);
  EXPECT_EQ(h().Checked(ID_DISPLAY_SCALE), 0);
}

TEST_F(SolvaneDisplayTest, ScaleTakesTheWholePictureAndHidesTheBarsClipTakesTheViewSize) {
  SizeClient(400, 300);
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  EXPECT_EQ(Input().x, 0);
  EXPECT_EQ(Input().y, 0);
  EXPECT_EQ(Input().width, 768);
  EXPECT_EQ(Input().height, 576);
  EXPECT_FALSE(view().GetScrollBarCtrl(SB_HORZ)->bar()->isVisible());
  EXPECT_FALSE(view().GetScrollBarCtrl(SB_VERT)->bar()->isVisible());

  ASSERT_TRUE(h().Menu(ID_DISPLAY_CLIP));
  const CRect client = ViewOnScreen();
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_HORZ)->bar()->isVisible());
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_VERT)->bar()->isVisible());
  EXPECT_EQ(Input().width, client.Width());
  EXPECT_EQ(Input().height, client.Height());
  EXPECT_EQ(quarnfake::Card(1).outputWindow.x, client.left);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.y, client.top);
}

// Fault caught: Clip skipped when the mode is already Clip - the relayout that puts the panned
// origin back at (0, 0) would not run.
TEST_F(SolvaneDisplayTest, ClipAgainInClipModeStillLaysOutAndResetsThePannedOrigin) {
  SizeClient(400, 300);
  Scroll(SB_HORZ, SB_THUMBPOSITION, 200);
  Scroll(SB_VERT, SB_THUMBPOSITION, 100);
  ASSERT_EQ(Input().x, 200);
  ASSERT_EQ(Input().y, 100);
  quarnfake::ClearCalls();

  ASSERT_TRUE(h().Menu(ID_DISPLAY_CLIP));
  EXPECT_EQ(Input().x, 0);
  EXPECT_EQ(Input().y, 0);
  EXPECT_GE(quarnfake::CallCount("QuarnSetInputWindow"), 1u);
}

TEST_F(SolvaneDisplayTest, ScaleAgainInScaleModeSendsTheWholePictureAgain) {
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  EXPECT_EQ(frame().clip, 0);
  EXPECT_GE(quarnfake::CallCount("QuarnSetInputWindow"), 1u);
  EXPECT_EQ(Input().width, 768);
}

// ---- Scrolling ----------------------------------------------------------------------------------

// The position rule alone, with a horizontal bar of range 0..368 and page 4 (a PAL picture in a
// 400-pixel view) and a vertical one of 0..276, page 2.
TEST(SolvaneScrollRule, EachNotificationGivesItsPosition) {
  SCROLLINFO across;
  across.nMin = 0;
  across.nMax = 368;
  across.nPage = 4;
  SCROLLINFO down = across;
  down.nMax = 276;
  down.nPage = 2;
  const int h = solvane::kHorizontalScrollStep;
  const int v = solvane::kVerticalScrollStep;
  EXPECT_EQ(h, 4);
  EXPECT_EQ(v, 2);

  EXPECT_EQ(solvane::ScrollPosition(SB_LINERIGHT, 100, h, across, 0), 104);
  EXPECT_EQ(solvane::ScrollPosition(SB_LINELEFT, 100, h, across, 0), 96);
  EXPECT_EQ(solvane::ScrollPosition(SB_LINELEFT, 2, h, across, 0), 0);       // not below min
  EXPECT_EQ(solvane::ScrollPosition(SB_LINERIGHT, 366, h, across, 0), 368);  // not above max
  EXPECT_EQ(solvane::ScrollPosition(SB_LINEDOWN, 100, v, down, 0), 102);
  EXPECT_EQ(solvane::ScrollPosition(SB_LINEUP, 1, v, down, 0), 0);
  EXPECT_EQ(solvane::ScrollPosition(SB_PAGERIGHT, 100, h, across, 0), 104);
  EXPECT_EQ(solvane::ScrollPosition(SB_PAGEDOWN, 275, v, down, 0), 276);
  EXPECT_EQ(solvane::ScrollPosition(SB_PAGEUP, 1, v, down, 0), 0);
  EXPECT_EQ(solvane::ScrollPosition(SB_LEFT, 100, h, across, 0), 0);
  EXPECT_EQ(solvane::ScrollPosition(SB_RIGHT, 100, h, across, 0), 368);
  EXPECT_EQ(solvane::ScrollPosition(SB_TOP, 100, v, down, 0), 0);
  EXPECT_EQ(solvane::ScrollPosition(SB_BOTTOM, 100, v, down, 0), 276);
  // Dragging and the end of a scroll keep the origin, whatever the thumb says.
  EXPECT_EQ(solvane::ScrollPosition(SB_THUMBTRACK, 100, h, across, 250), 100);
  EXPECT_EQ(solvane::ScrollPosition(SB_ENDSCROLL, 100, h, across, 250), 100);
}

// Fault caught: a released thumb rounded to the nearest step (or not at all) rather than toward
// zero.
TEST(SolvaneScrollRule, AReleasedThumbSnapsTowardZeroToAMultipleOfTheStep) {
  SCROLLINFO info;
  info.nMax = 368;
  info.nPage = 4;
  EXPECT_EQ(solvane::ScrollPosition(SB_THUMBPOSITION, 0, 4, info, 203), 200);
  EXPECT_EQ(solvane::ScrollPosition(SB_THUMBPOSITION, 0, 4, info, 204), 204);
  EXPECT_EQ(solvane::ScrollPosition(SB_THUMBPOSITION, 0, 4, info, 3), 0);
  EXPECT_EQ(solvane::ScrollPosition(SB_THUMBPOSITION, 0, 2, info, 101), 100);
  EXPECT_EQ(solvane::ScrollPosition(SB_THUMBPOSITION, 0, 2, info, 1), 0);
}

TEST_F(SolvaneDisplayTest, LineNotificationsMoveTheInputOriginByFourAcrossAndTwoDown) {
  SizeClient(400, 300);
  Scroll(SB_HORZ, SB_LINERIGHT);
  EXPECT_EQ(Input().x, 4);
  EXPECT_EQ(Input().width, 400);  // the size is kept
  EXPECT_EQ(view().GetScrollPos(SB_HORZ), 4);
  Scroll(SB_HORZ, SB_LINERIGHT);
  Scroll(SB_HORZ, SB_LINELEFT);
  EXPECT_EQ(Input().x, 4);
  Scroll(SB_HORZ, SB_LINELEFT);
  Scroll(SB_HORZ, SB_LINELEFT);  // at the minimum already
  EXPECT_EQ(Input().x, 0);
  EXPECT_EQ(view().GetScrollPos(SB_HORZ), 0);

  Scroll(SB_VERT, SB_LINEDOWN);
  EXPECT_EQ(Input().y, 2);
  EXPECT_EQ(Input().x, 0);  // the other axis stays
  EXPECT_EQ(Input().height, 300);
  EXPECT_EQ(view().GetScrollPos(SB_VERT), 2);
  Scroll(SB_VERT, SB_LINEUP);
  EXPECT_EQ(Input().y, 0);
}

// Fault caught: a page taken as the step (or a constant) instead of the bar's page.
TEST_F(SolvaneDisplayTest, PageNotificationsMoveByTheBarsPage) {
  SizeClient(400, 300);
  Scroll(SB_HORZ, SB_PAGERIGHT);
  EXPECT_EQ(Input().x, 4);
  SCROLLINFO wide;
  wide.fMask = SIF_PAGE;
  wide.nPage = 40;
  view().SetScrollInfo(SB_HORZ, &wide);
  Scroll(SB_HORZ, SB_PAGERIGHT);
  EXPECT_EQ(Input().x, 44);
  Scroll(SB_HORZ, SB_PAGELEFT);
  EXPECT_EQ(Input().x, 4);
  Scroll(SB_HORZ, SB_PAGELEFT);
  EXPECT_EQ(Input().x, 0);

  Scroll(SB_VERT, SB_PAGEDOWN);
  Scroll(SB_VERT, SB_PAGEDOWN);
  EXPECT_EQ(Input().y, 4);
  Scroll(SB_VERT, SB_PAGEUP);
  EXPECT_EQ(Input().y, 2);
}

TEST_F(SolvaneDisplayTest, AReleasedThumbMovesTheOriginToItsPositionRoundedTowardZero) {
  SizeClient(400, 300);
  Scroll(SB_HORZ, SB_THUMBPOSITION, 203);
  EXPECT_EQ(Input().x, 200);
  EXPECT_EQ(view().GetScrollPos(SB_HORZ), 200);
  Scroll(SB_VERT, SB_THUMBPOSITION, 151);
  EXPECT_EQ(Input().y, 150);
  EXPECT_EQ(view().GetScrollPos(SB_VERT), 150);
}

TEST_F(SolvaneDisplayTest, DraggingAndEndScrollMoveNothing) {
  SizeClient(400, 300);
  Scroll(SB_HORZ, SB_THUMBPOSITION, 100);
  Scroll(SB_HORZ, SB_THUMBTRACK, 250);
  EXPECT_EQ(Input().x, 100);
  Scroll(SB_HORZ, SB_ENDSCROLL, 0);
  EXPECT_EQ(Input().x, 100);
  Scroll(SB_VERT, SB_THUMBTRACK, 77);
  EXPECT_EQ(Input().y, 0);
  EXPECT_EQ(view().GetScrollPos(SB_VERT), 0);
}

TEST_F(SolvaneDisplayTest, LeftRightTopAndBottomGoToTheEndsOfTheRange) {
  SizeClient(400, 300);
  Scroll(SB_HORZ, SB_RIGHT);
  EXPECT_EQ(Input().x, 368);  // 768 - 400: the right edge of the picture
  EXPECT_EQ(Input().width, 400);
  Scroll(SB_HORZ, SB_LINERIGHT);
  EXPECT_EQ(Input().x, 368);  // not above the maximum
  Scroll(SB_HORZ, SB_LEFT);
  EXPECT_EQ(Input().x, 0);

  Scroll(SB_VERT, SB_BOTTOM);
  EXPECT_EQ(Input().y, 276);  // 576 - 300
  Scroll(SB_VERT, SB_TOP);
  EXPECT_EQ(Input().y, 0);
}

TEST_F(SolvaneDisplayTest, ScrollingKeepsTheOutputWindowAndNoSnapIsTouchedWhileIdle) {
  SizeClient(400, 300);
  const QuarnRect output = quarnfake::Card(1).outputWindow;
  quarnfake::ClearCalls();
  Scroll(SB_HORZ, SB_LINERIGHT);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.x, output.x);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.y, output.y);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.width, output.width);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.height, output.height);
  const std::string outputCall = "QuarnSetOutputWindow(h1, " + std::to_string(output.x) + ", " +
                                 std::to_string(output.y) + ", 400, 300)";
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ::testing::ElementsAre("QuarnSetInputWindow(h1, 4, 0, 400, 300)", outputCall));
}

// The bars themselves: a click on an arrow, a page click and a thumb drag reach the frame
// through the view.
TEST_F(SolvaneDisplayTest, TheViewsOwnBarsReachTheFrame) {
  SizeClient(400, 300);
  CScrollBar* across = view().GetScrollBarCtrl(SB_HORZ);
  ASSERT_NE(across, nullptr);
  across->TriggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Input().x, 4);
  EXPECT_EQ(across->bar()->value(), 4);  // the bar shows the position the frame set
  across->TriggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Input().x, 8);

  QScrollBar* bar = across->bar();
  bar->setSliderDown(true);
  bar->setSliderPosition(103);
  across->TriggerAction(QAbstractSlider::SliderMove);
  EXPECT_EQ(Input().x, 8);    // nothing moves while dragging
  bar->setSliderDown(false);  // released
  EXPECT_EQ(Input().x, 100);
  EXPECT_EQ(view().GetScrollPos(SB_HORZ), 100);

  CScrollBar* down = view().GetScrollBarCtrl(SB_VERT);
  down->TriggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(Input().y, 276);
}

// In a field scan mode the input height is twice the view's and so is the vertical step's
// effect on the picture; the origin still moves by 2.
TEST_F(SolvaneDisplayTest, FieldModeScrollsWithTheDoubledInputHeightKept) {
  ASSERT_EQ(card().SetScanMode(kScanField), QUARN_OK);
  SizeClient(400, 280);
  ASSERT_EQ(Input().height, 560);
  Scroll(SB_VERT, SB_BOTTOM);
  EXPECT_EQ(Input().y, 16);  // 576 - 2 x 280
  EXPECT_EQ(Input().height, 560);
}

// ---- Painting and printing ----------------------------------------------------------------------

// A context on a width x height image of a known colour, screen-like or as a printer page.
struct ImageContext {
  ImageContext(bool printing, int dpi, int width, int height)
      : image(width, height, QImage::Format_RGB32) {
    image.fill(QColor(1, 2, 3));
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
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

// Gives the card's display buffer a solid 32-bit picture of w x h in 0x00RRGGBB.
void SetPicture(CVideoCard& card, uint32_t xrgb, int w, int h) {
  BITMAPINFOHEADER& info = card.GetDisplayHeader()->bmiHeader;
  info.biWidth = w;
  info.biHeight = h;
  info.biBitCount = 32;
  auto* pixels = reinterpret_cast<uint32_t*>(card.GetDisplayBuffer());
  std::fill(pixels, pixels + static_cast<ptrdiff_t>(w) * h, xrgb);
}

TEST_F(SolvaneDisplayTest, OnScreenThePictureIsDrawnOneToOneWithoutAStretchMode) {
  SetPicture(card(), 0xFF0000, 40, 30);
  ImageContext target(false, 96, 300, 250);
  frame().PaintView(target.dc.get());
  EXPECT_EQ(target.At(0, 0), 0xFF0000u);
  EXPECT_EQ(target.At(39, 29), 0xFF0000u);
  EXPECT_EQ(target.At(40, 10), 0x010203u);
  EXPECT_EQ(target.At(10, 30), 0x010203u);
  EXPECT_EQ(target.dc->GetStretchBltMode(), BLACKONWHITE);
}

// 600 dpi: 40 x 30 screen pixels become 250 x 187.5, truncated to 187. Fault caught: rounding,
// the screen size unscaled, or the axes swapped.
TEST_F(SolvaneDisplayTest, PrintingScalesThePictureByThePrintersPixelsPerInchOver96) {
  SetPicture(card(), 0x00FF00, 40, 30);
  ImageContext target(true, 600, 300, 250);
  frame().PaintView(target.dc.get());
  EXPECT_EQ(target.dc->GetStretchBltMode(), COLORONCOLOR);
  EXPECT_EQ(target.At(0, 0), 0x00FF00u);
  EXPECT_EQ(target.At(249, 186), 0x00FF00u);
  EXPECT_EQ(target.At(250, 100), 0x010203u);
  EXPECT_EQ(target.At(100, 187), 0x010203u);
}

TEST_F(SolvaneDisplayTest, PrintingDuringPlaybackStillDrawsAndAPrinterAt96DpiKeepsTheSize) {
  SetPicture(card(), 0x0000FF, 40, 30);
  frame().playing = 1;
  ImageContext target(true, 96, 300, 250);
  frame().PaintView(target.dc.get());
  frame().playing = 0;
  EXPECT_EQ(target.At(39, 29), 0x0000FFu);
  EXPECT_EQ(target.At(40, 29), 0x010203u);
  EXPECT_EQ(target.At(39, 30), 0x010203u);
}

// A printer of so many pixels per inch that the picture's printed width would pass the range of
// an int: the width is held to 2^30 pixels and the picture is still printed from its corner.
// (The cast of the scaled float used to give INT_MIN here, and nothing was printed.)
TEST_F(SolvaneDisplayTest, APrintedSizeBeyondAnIntIsHeldAndThePictureStillPrinted) {
  SetPicture(card(), 0xFF00FF, 442368, 1);  // the whole display buffer, one row
  ImageContext target(true, 1000000, 300, 250);
  frame().PaintView(target.dc.get());
  EXPECT_EQ(target.At(0, 0), 0xFF00FFu);
  EXPECT_EQ(target.At(299, 249), 0xFF00FFu);  // one row 10,416 printer pixels high
}

// The Print command runs the whole chain to a PDF file (the harness's print dialog answers OK).
TEST_F(SolvaneDisplayTest, ThePrintCommandWritesAPage) {
  SetPicture(card(), 0xFF0000, 40, 30);
  ASSERT_TRUE(h().Menu(ID_FILE_PRINT));
  EXPECT_EQ(h().printUi().printDialogs, 1);
  const QFileInfo pdf(AfxGetPrinter().outputFileName());
  EXPECT_TRUE(pdf.exists());
  EXPECT_GT(pdf.size(), 0);
}

}  // namespace
