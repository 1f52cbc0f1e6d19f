// solvane_live_test.cpp - Solvane's live video through its frame, on the offscreen platform and
// the recording capture library: the Capture command and its rule, stopping with the frozen
// picture read back, the card's windows and the view's scroll bars for clip, scale and field
// modes, the position rule on the real frame, the frame-rate restart on size, the title paint,
// the erase rule during live video and closing while live.
#include <QTest>

#include "dc.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"
#include "solvane_test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SolvaneLiveTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    quarnfake::Name(view().HostWindow().Contract(), "wnd");
  }

  SCROLLINFO Scroll(int bar) {
    SCROLLINFO info;
    view().GetScrollInfo(bar, &info);
    return info;
  }

  quarnfake::ScopedFake fake_;  // before the harness: the program's calls land in a clean log
};

// ---- Capture ------------------------------------------------------------------------------------

TEST_F(SolvaneLiveTest, CaptureStartsLiveVideoOverTheViewAndChecksTheItem) {
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE));
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 0);
  card().GetDisplayBuffer()[0] = 0x12;
  quarnfake::ClearCalls();

  h().Key(Qt::Key_1, Qt::ControlModifier);

  EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("QuarnCaptureEx(h1, wnd, 1)"));
  EXPECT_EQ(card().GetState(), CardState::kLive);
  EXPECT_TRUE(quarnfake::Card(1).live);
  EXPECT_EQ(card().GetDisplayBuffer()[0], 0xFF);  // cleared on start
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE));
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 1);
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(SolvaneLiveTest, AFailingStartShowsItsBoxWithNoOwnerAndStaysIdle) {
  quarnfake::Script("QuarnCaptureEx").Returns(QUARN_ERR_NO_SIGNAL);
  EXPECT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_NO_SIGNAL));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style & MB_ICONWARNING, MB_ICONWARNING);
  EXPECT_EQ(card().GetState(), CardState::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 0);
  // A failed start reads nothing back (that is the stopping path).
  EXPECT_EQ(quarnfake::CallCount("QuarnCaptureShot"), 0u);
}

// The start clears the buffer and repaints the view, so a start that fails shows the cleared
// picture, not the one from before.
TEST_F(SolvaneLiveTest, AFailingStartShowsTheClearedPicture) {
  SizeClient(400, 300);
  card().GetDisplayHeader()->bmiHeader = BITMAPINFOHEADER{40, 400, 300, 1, 32};
  std::fill_n(card().GetDisplayBuffer(), 400 * 300 * 4, 0x20);
  view().Invalidate(1);
  h().ProcessEvents();
  ASSERT_EQ(PixelAt(10, 10), 0x202020u);
  quarnfake::Script("QuarnCaptureEx").Returns(QUARN_ERR_NO_SIGNAL);
  EXPECT_TRUE(h().Send(ID_VIEW_CAPTURE));
  h().ProcessEvents();
  EXPECT_EQ(PixelAt(10, 10), 0xFFFFFFu);
}

TEST_F(SolvaneLiveTest, CaptureIsDisabledDuringPlaybackAndSnap) {
  frame().playing = 1;
  EXPECT_FALSE(h().IsEnabled(ID_VIEW_CAPTURE));
  EXPECT_FALSE(h().Send(ID_VIEW_CAPTURE));
  frame().playing = 0;
  EXPECT_TRUE(h().IsEnabled(ID_VIEW_CAPTURE));
}

TEST_F(SolvaneLiveTest, StoppingFreezesAndReadsBackTheOutputWindow) {
  SizeClient(400, 300);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));

  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), 3u) << calls;
  EXPECT_EQ(calls[0].Text(), "QuarnCaptureEx(h1, wnd, 0)");
  EXPECT_EQ(calls[1].Text(), "QuarnCaptureShot(h1)");
  const quarnfake::Call& read = calls[2];
  EXPECT_EQ(read.op, "QuarnGetDisplayBits");
  EXPECT_EQ(read.Int(1), 0);
  EXPECT_EQ(read.Int(2), 0);
  EXPECT_EQ(read.Int(3), 400);
  EXPECT_EQ(read.Int(4), 300);
  EXPECT_EQ(read.Pointer(5), &card().GetDisplayHeader()->bmiHeader.biBitCount);
  EXPECT_EQ(read.Pointer(6), card().GetDisplayBuffer());

  EXPECT_EQ(card().GetState(), CardState::kIdle);
  EXPECT_EQ(h().Checked(ID_VIEW_CAPTURE), 0);
  const BITMAPINFOHEADER& header = card().GetDisplayHeader()->bmiHeader;
  EXPECT_EQ(header.biWidth, 400);
  EXPECT_EQ(header.biHeight, 300);
  EXPECT_EQ(header.biBitCount, 32);
  const std::vector<uint8_t> expected = quarnfake::ExpectedDisplayBits(0, 0, 400, 300);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card().GetDisplayBuffer()));
}

// The card delivers half-height pictures in the field modes: the read-back takes half the
// (doubled) output height, that is the view's height.
TEST_F(SolvaneLiveTest, StoppingInAFieldModeReadsHalfTheOutputHeight) {
  ASSERT_EQ(card().SetScanMode(kScanField), QUARN_OK);
  SizeClient(400, 280);
  ASSERT_EQ(card().GetOutputWindow().height, 560);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  const quarnfake::Call read = quarnfake::Calls("QuarnGetDisplayBits").back();
  EXPECT_EQ(read.Int(3), 400);
  EXPECT_EQ(read.Int(4), 280);
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biHeight, 280);
}

TEST_F(SolvaneLiveTest, AFailedReadBackKeepsTheHeaderSize) {
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  quarnfake::Script("QuarnGetDisplayBits").Returns(QUARN_ERR_NO_WINDOW);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(card().GetDisplayHeader()->bmiHeader.biWidth, 0);
  EXPECT_EQ(card().GetDisplayBuffer()[0], 0xFF);
  EXPECT_EQ(boxes().count(), 0u);  // silent
}

TEST_F(SolvaneLiveTest, AFailingStopShowsItsBoxStaysLiveAndReadsNothing) {
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  quarnfake::Script("QuarnCaptureEx").Returns(QUARN_ERR_GENERAL);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(boxes().count(), 1u);
  EXPECT_EQ(card().GetState(), CardState::kLive);
  EXPECT_EQ(quarnfake::CallCount("QuarnGetDisplayBits"), 0u);
}

// With the mask on, the two masked rectangles show the view's background, in the read-back too.
TEST_F(SolvaneLiveTest, StoppingWithTheMaskOnFillsTheMaskedRectanglesWithTheBackground) {
  SizeClient(400, 300);
  ASSERT_EQ(card().EnableMask(1), QUARN_OK);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  h().ProcessEvents();  // the repaint that the start asked for
  ASSERT_EQ(quarnfake::DrawLiveFrame(1, 0xFF0000), QUARN_OK);
  h().ProcessEvents();
  ASSERT_EQ(PixelAt(60, 60), 0xFF0000u);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(PixelAt(60, 60), 0xFFFFFFu);    // the square
  EXPECT_EQ(PixelAt(150, 150), 0xFFFFFFu);  // the line
  EXPECT_EQ(PixelAt(150, 151), 0xFF0000u);
  EXPECT_EQ(PixelAt(10, 10), 0xFF0000u);
}

// ---- Painting and erasing
// ------------------------------------------------------------------------

// A view that erased during live video would blank the video between two frames.
TEST_F(SolvaneLiveTest, LiveVideoIsNotErasedButIdleViewsShowTheDisplayBuffer) {
  SizeClient(400, 300);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(quarnfake::DrawLiveFrame(1, 0x0000FF), QUARN_OK);
  view().Invalidate(1);
  view().FlushPaint();
  EXPECT_EQ(PixelAt(10, 10), 0x0000FFu);

  // Stop: the picture read back (red = x, green = y in the double) is what the idle view paints.
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  view().Invalidate(1);
  view().FlushPaint();
  EXPECT_EQ(PixelAt(10, 20), 0x0A1400u);
  EXPECT_EQ(PixelAt(399, 299), 0x8F2B00u);
}

TEST_F(SolvaneLiveTest, EraseDuringLiveVideoFillsOnlyTheMaskedRectanglesWhenTheMaskIsOn) {
  SizeClient(400, 300);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(quarnfake::DrawLiveFrame(1, 0x00FF00), QUARN_OK);
  CClientDC dc(&view());
  EXPECT_TRUE(frame().EraseView(&dc));
  EXPECT_EQ(PixelAt(60, 60), 0x00FF00u);  // mask off: nothing drawn
  // The mask can only be switched while idle; the card's flag is what the erase reads.
  ASSERT_EQ(card().EnableMask(1), QUARN_OK);
  EXPECT_TRUE(frame().EraseView(&dc));
  EXPECT_EQ(PixelAt(60, 60), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(10, 10), 0x00FF00u);

  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_FALSE(frame().EraseView(&dc));  // idle: the framework erases
}

// ---- The card's palette step and drawing -------------------------------------------------------

TEST_F(SolvaneLiveTest, EightBitFormatsSelectTheCardPaletteWhenLiveVideoStarts) {
  ASSERT_EQ(card().SetVideoFormat(kFormatAll8), QUARN_OK);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(view().HostWindow().SelectedPalette(), card().GetPalette());
  EXPECT_FALSE(view().HostWindow().PaletteInBackground());
  EXPECT_EQ(card().GetDisplacedPalette(), StockDefaultPalette());
}

TEST_F(SolvaneLiveTest, OtherFormatsLeaveTheWindowPaletteAlone) {
  const int realized = view().HostWindow().RealizeCount();
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  EXPECT_EQ(view().HostWindow().SelectedPalette(), StockDefaultPalette());
  EXPECT_EQ(view().HostWindow().RealizeCount(), realized);
}

// An 8-bit picture is drawn with the card's palette, and the displaced one is selected back.
TEST_F(SolvaneLiveTest, DrawingAnEightBitPictureSelectsAndRestoresThePalette) {
  quarnfake::SetDisplayDepth(8);
  SizeClient(400, 300);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_EQ(card().GetDisplayHeader()->bmiHeader.biBitCount, 8);
  view().HostWindow().SelectPalette(StockDefaultPalette(), false);
  CClientDC dc(&view());
  const int realized = view().HostWindow().RealizeCount();
  EXPECT_EQ(card().Draw(&dc), 300);
  EXPECT_EQ(view().HostWindow().RealizeCount(), realized + 2);
  EXPECT_EQ(view().HostWindow().SelectedPalette(), StockDefaultPalette());
}

TEST_F(SolvaneLiveTest, ACardWithoutDisplayBufferDrawsAndReadsNothing) {
  CVideoCard unopened(2);
  CClientDC dc(&view());
  EXPECT_EQ(unopened.Draw(&dc), 0);
  EXPECT_EQ(unopened.DrawStretched(&dc, 0, 0, 10, 10, 0, 0, 10, 10), 0);
  quarnfake::ClearCalls();
  EXPECT_NE(unopened.GetDisplayBits(&dc), QUARN_OK);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
}

TEST_F(SolvaneLiveTest, DrawStretchedSetsColorOnColorAndScales) {
  SizeClient(400, 300);
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  CClientDC dc(&view());
  EXPECT_EQ(card().DrawStretched(&dc, 0, 0, 200, 150, 0, 0, 400, 300), 300);
  EXPECT_EQ(dc.GetStretchBltMode(), COLORONCOLOR);
  // Half size: client (10, 10) shows picture pixel (20, 20): red 20, green 20.
  EXPECT_EQ(PixelAt(10, 10), 0x141400u);
}

// ---- Title --------------------------------------------------------------------------------------

TEST_F(SolvaneLiveTest, PaintSetsTheTitleToTheOutputSize) {
  SizeClient(400, 300);
  frame().SendMessage(WM_PAINT);
  EXPECT_EQ(frame().GetWindowText(), "Quarn Performance [400 x 300]");

  // Field mode: the output window is twice the view's height, and the title shows it.
  ASSERT_EQ(card().SetScanMode(kScanField1), QUARN_OK);
  SizeClient(400, 280);
  frame().SendMessage(WM_PAINT);
  EXPECT_EQ(frame().GetWindowText(), "Quarn Performance [400 x 560]");
}

// ---- Placement, scroll bars -----------------------------------------------------------------

TEST_F(SolvaneLiveTest, ClipModeSendsTheViewAsOutputAndItsSizeAsInput) {
  quarnfake::ClearCalls();
  SizeClient(400, 300);
  const CRect client = ViewOnScreen();
  EXPECT_EQ(client.Width(), 400);
  EXPECT_EQ(client.Height(), 300);
  const auto in = quarnfake::Card(1).inputWindow;
  const auto out = quarnfake::Card(1).outputWindow;
  EXPECT_EQ(in.x, 0);
  EXPECT_EQ(in.y, 0);
  EXPECT_EQ(in.width, 400);
  EXPECT_EQ(in.height, 300);
  EXPECT_EQ(out.x, client.left);
  EXPECT_EQ(out.y, client.top);
  EXPECT_EQ(out.width, 400);
  EXPECT_EQ(out.height, 300);
  EXPECT_EQ(card().GetOutputWindow().width, 400);
  // No snap is open: placement neither stops nor starts one.
  EXPECT_EQ(quarnfake::CallCount("QuarnStopSnapEx"), 0u);
  EXPECT_EQ(quarnfake::CallCount("QuarnStartSnapEx"), 0u);
}

TEST_F(SolvaneLiveTest, PalViewOf400By300GetsScrollRangesUpTo368And276) {
  SizeClient(400, 300);
  const SCROLLINFO horizontal = Scroll(SB_HORZ);
  const SCROLLINFO vertical = Scroll(SB_VERT);
  EXPECT_EQ(horizontal.nMin, 0);
  EXPECT_EQ(horizontal.nMax, 368);
  EXPECT_EQ(horizontal.nPage, 4u);
  EXPECT_EQ(vertical.nMax, 276);
  EXPECT_EQ(vertical.nPage, 2u);
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_HORZ)->ArrowsEnabled());
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_VERT)->ArrowsEnabled());
}

TEST_F(SolvaneLiveTest, FieldModeDoublesTheInputAndOutputHeightsAndTheVerticalRange) {
  ASSERT_EQ(card().SetScanMode(kScanField), QUARN_OK);
  SizeClient(400, 280);
  EXPECT_EQ(Scroll(SB_VERT).nMax, 16);  // 576 - 2 x 280
  EXPECT_EQ(quarnfake::Card(1).inputWindow.height, 560);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.height, 560);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.y, ViewOnScreen().top);
}

TEST_F(SolvaneLiveTest, AViewAsWideAsThePictureDisablesTheHorizontalArrows) {
  SizeClient(768, 300);
  EXPECT_FALSE(view().GetScrollBarCtrl(SB_HORZ)->ArrowsEnabled());
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_VERT)->ArrowsEnabled());
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_HORZ)->bar()->isVisible());  // disabled, not hidden
}

TEST_F(SolvaneLiveTest, ScaleHidesBothBarsAndTakesTheWholePicture) {
  frame().SetClipMode(0);
  h().ProcessEvents();
  EXPECT_EQ(frame().clip, 0);
  EXPECT_FALSE(view().GetScrollBarCtrl(SB_HORZ)->bar()->isVisible());
  EXPECT_FALSE(view().GetScrollBarCtrl(SB_VERT)->bar()->isVisible());
  EXPECT_EQ(quarnfake::Card(1).inputWindow.width, 768);
  EXPECT_EQ(quarnfake::Card(1).inputWindow.height, 576);

  frame().SetClipMode(1);
  h().ProcessEvents();
  EXPECT_TRUE(view().GetScrollBarCtrl(SB_HORZ)->bar()->isVisible());
  const CRect client = ViewOnScreen();
  EXPECT_EQ(quarnfake::Card(1).inputWindow.width, client.Width());
}

// A rejected window keeps the one remembered before.
TEST_F(SolvaneLiveTest, ARejectedOutputWindowKeepsTheRememberedOne) {
  SizeClient(400, 300);
  quarnfake::Script("QuarnSetOutputWindow").Returns(QUARN_ERR_BAD_PARAMETER);
  SizeClient(200, 100);
  EXPECT_EQ(card().GetOutputWindow().width, 400);
  EXPECT_EQ(card().GetInputWindow().width, 200);
}

// ---- Position rule and size on the real frame
// --------------------------------------------------------

// The offscreen platform keeps windows inside its screen, so the negative cases are left to the
// rule's own tests; here the frame applies the rule to its real borders.
TEST_F(SolvaneLiveTest, MovesAndSizesOfTheFrameAreAligned) {
  frame().ComputeBorders();
  frame().MoveWindow(37 - frame().borderLeft, 101 - frame().borderTop,
                     401 + frame().borderLeft + frame().borderRight,
                     600 + frame().borderTop + frame().borderBottom);
  h().ProcessEvents();
  const CRect client = ViewOnScreen();
  EXPECT_EQ(client.left, 40);
  EXPECT_EQ(client.top, 102);
  EXPECT_EQ(client.Width(), 400);
  EXPECT_EQ(client.Height(), 576);  // never taller than the PAL picture
  EXPECT_EQ(quarnfake::Card(1).outputWindow.x, 40);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.y, 102);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.width, 400);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.height, 576);
}

// Maximising gives the client area the picture's size: 768 x 288 in a field mode.
TEST_F(SolvaneLiveTest, MaximisedFieldModeClientAreaIs768By288) {
  ASSERT_EQ(card().SetScanMode(kScanField), QUARN_OK);
  frame().ShowWindow(SW_MAXIMIZE);
  h().ProcessEvents();
  ASSERT_TRUE(frame().IsZoomed());
  const CRect client = ViewOnScreen();
  EXPECT_EQ(client.Width(), 768);
  EXPECT_EQ(client.Height(), 288);
  EXPECT_EQ(quarnfake::Card(1).outputWindow.height, 576);
}

// The first position change after a restore from minimised is not constrained.
TEST_F(SolvaneLiveTest, FirstChangeAfterRestoringFromMinimisedIsLeftAlone) {
  frame().ShowWindow(SW_MINIMIZE);
  h().ProcessEvents();
  ASSERT_TRUE(frame().IsIconic());
  WINDOWPOS pos{0, 0, 5000, 5000, 0};
  frame().SendMessage(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  EXPECT_EQ(frame().restorePending, 1);
  EXPECT_EQ(pos.cx, 5000);
  frame().ShowWindow(SW_RESTORE);
  h().ProcessEvents();
  ASSERT_FALSE(frame().IsIconic());
  frame().restorePending = 1;  // whatever the platform sent while restoring, the next is free
  pos = WINDOWPOS{1, 1, 5000, 5000, 0};
  frame().SendMessage(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  EXPECT_EQ(frame().restorePending, 0);
  EXPECT_EQ(pos.x, 1);
  EXPECT_EQ(pos.cx, 5000);
  frame().SendMessage(WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  EXPECT_EQ(pos.cx - frame().borderLeft - frame().borderRight, 768);
}

TEST_F(SolvaneLiveTest, SizeRestartsTheFrameRateCount) {
  h().services().clock->SetTick(123456);
  frame().frameCounter = 77;
  SizeClient(400, 300);
  EXPECT_EQ(frame().frameCounter, 0);
  EXPECT_EQ(frame().startTick, 123456u);
}

// ---- Closing
// ----------------------------------------------------------------------------------------

TEST_F(SolvaneLiveTest, ClosingWhileLiveStopsThroughCaptureBeforeTheCardCloses) {
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  quarnfake::ClearCalls();
  frame().SendMessage(WM_CLOSE);
  EXPECT_THAT(
      quarnfake::Calls().Without("QuarnGetDisplayBits").Texts(),
      ElementsAre("QuarnCaptureEx(h1, wnd, 0)", "QuarnCaptureShot(h1)", "EndQuarnCard(h1)"));
  EXPECT_EQ(quarnfake::CallCount("QuarnGetDisplayBits"), 1u);
  EXPECT_EQ(h().app().m_pMainWnd, nullptr);
}

TEST_F(SolvaneLiveTest, ClosingDuringPlaybackSendsNoCapture) {
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
  frame().playing = 1;  // not reachable from the menus while live; the close rule reads the flag
  quarnfake::ClearCalls();
  frame().SendMessage(WM_CLOSE);
  EXPECT_EQ(quarnfake::CallCount("QuarnCaptureShot"), 0u);
}

}  // namespace
