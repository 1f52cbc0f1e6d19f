// display_hexmont_test.cpp - Hexmont's display modes through its frame, on the offscreen platform
// and the recording capture library: Clip and Scale with their check marks and every card's input
// window, a repeated mode sending nothing, and the painted destinations on a 600 dpi printer.
#include <QPainter>
#include <QTest>
#include <algorithm>

#include "dc.h"
#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"

namespace {

using Harness = FrameworkHarness<CHexmontApp>;

class HexmontDisplayTest : public ::testing::Test {
 protected:
  // Starts Hexmont with `cards` recording cards, the video placed on the view's final rectangle.
  void Start(int cards) {
    quarnfake::SetCardCount(cards);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    h_->SendMessage(WM_SIZE, 0, 0);
    quarnfake::ClearCalls();
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& cards() { return frame().Grid(); }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

TEST_F(HexmontDisplayTest, StartsInClipWithBothCommandsEnabled) {
  Start(2);
  EXPECT_EQ((HexmontFrameProbe::Clipped(frame()) ? 1 : 0), 1);
  EXPECT_TRUE(h().IsEnabled(ID_DISPLAY_CLIP));
  EXPECT_TRUE(h().IsEnabled(ID_DISPLAY_SCALE));
  EXPECT_EQ(h().Checked(ID_DISPLAY_CLIP), 1);
  EXPECT_EQ(h().Checked(ID_DISPLAY_SCALE), 0);
}

TEST_F(HexmontDisplayTest, ScaleSendsEveryCardTheWholePictureAsItsInput) {
  Start(3);
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  EXPECT_EQ((HexmontFrameProbe::Clipped(frame()) ? 1 : 0), 0);
  EXPECT_EQ(h().Checked(ID_DISPLAY_CLIP), 0);
  EXPECT_EQ(h().Checked(ID_DISPLAY_SCALE), 1);
  EXPECT_EQ(quarnfake::CallCount("QuarnSetInputWindow"), 3u);
  for (int i = 0; i < 3; ++i) {
    const QuarnRect in = quarnfake::Card(i + 1).inputWindow;
    EXPECT_EQ(in.x, 0) << i;
    EXPECT_EQ(in.y, 0) << i;
    EXPECT_EQ(in.width, 768) << i;
    EXPECT_EQ(in.height, 576) << i;
    // The output window (the card's cell) is unchanged by the mode.
    const RECT& out = cards().Cell(i).OutputRect();
    EXPECT_EQ(quarnfake::Card(i + 1).outputWindow.width, out.right - out.left) << i;
  }
}

// Fault caught: the input window left at the whole picture (or the old one) after going back to
// Clip, so the card keeps scaling.
TEST_F(HexmontDisplayTest, ClipSendsEveryCardItsOutputSizeAsInputAgain) {
  Start(2);
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Menu(ID_DISPLAY_CLIP));
  EXPECT_EQ((HexmontFrameProbe::Clipped(frame()) ? 1 : 0), 1);
  EXPECT_EQ(h().Checked(ID_DISPLAY_CLIP), 1);
  EXPECT_EQ(h().Checked(ID_DISPLAY_SCALE), 0);
  EXPECT_EQ(quarnfake::CallCount("QuarnSetInputWindow"), 2u);
  for (int i = 0; i < 2; ++i) {
    const RECT& out = cards().Cell(i).OutputRect();
    const QuarnRect in = quarnfake::Card(i + 1).inputWindow;
    EXPECT_EQ(in.x, 0) << i;
    EXPECT_EQ(in.y, 0) << i;
    EXPECT_EQ(in.width, out.right - out.left) << i;
    EXPECT_EQ(in.height, out.bottom - out.top) << i;
    EXPECT_LT(in.width, 768) << i;  // the cell is smaller than the picture: really cropped
  }
}

// Fault caught: a command for the mode in force placing the video again (restarting a snap).
TEST_F(HexmontDisplayTest, TheModeAlreadyInForceSendsNothing) {
  Start(2);
  ASSERT_TRUE(h().Menu(ID_DISPLAY_CLIP));
  EXPECT_EQ(quarnfake::Calls().size(), 0u);
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  EXPECT_EQ(quarnfake::Calls().size(), 0u);
  EXPECT_EQ((HexmontFrameProbe::Clipped(frame()) ? 1 : 0), 0);
}

TEST_F(HexmontDisplayTest, LaterPlacementsKeepTheChosenMode) {
  Start(1);
  ASSERT_TRUE(h().Menu(ID_DISPLAY_SCALE));
  h().SendMessage(WM_SIZE, 0, 0);
  EXPECT_EQ(quarnfake::Card(1).inputWindow.width, 768);
  EXPECT_EQ(quarnfake::Card(1).inputWindow.height, 576);
}

// 600 dpi: each edge of the destination is scaled by 600/96 and truncated.
TEST_F(HexmontDisplayTest, PrintingAt600DpiScalesAndTruncatesEachEdge) {
  Start(1);
  CGridCard& record = cards().Cell(0);
  BITMAPINFOHEADER& info = record.card.Picture().Header()->bmiHeader;
  info.biWidth = 50;
  info.biHeight = 40;
  info.biBitCount = 32;
  auto* pixels = reinterpret_cast<uint32_t*>(record.card.Picture().Buffer());
  std::fill(pixels, pixels + 50 * 40, 0xFF00FFu);
  POINT corner{7, 5};
  frame().GetActiveView()->ClientToScreen(&corner);
  record.cellRect = RECT{corner.x, corner.y, corner.x + 99, corner.y + 79};
  hexmonttest::SetOutputRect(record.card, RECT{corner.x, corner.y, corner.x + 100, corner.y + 80});

  QImage page(600, 400, QImage::Format_RGB32);
  page.fill(QColor(1, 2, 3));
  page.setDotsPerMeterX(static_cast<int>(600 / 0.0254 + 0.5));
  page.setDotsPerMeterY(static_cast<int>(600 / 0.0254 + 0.5));
  {
    QPainter painter(&page);
    CDC dc(painter, true);
    ASSERT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 600);
    frame().PaintView(&dc);
  }
  // Left 7 x 6.25 = 43.75 -> 43, top 5 x 6.25 = 31.25 -> 31, right 57 -> 356.25 -> 356,
  // bottom 45 -> 281.25 -> 281.
  const auto at = [&page](int x, int y) { return page.pixel(x, y) & 0xFFFFFFu; };
  EXPECT_EQ(at(43, 31), 0xFF00FFu);
  EXPECT_EQ(at(355, 280), 0xFF00FFu);
  EXPECT_EQ(at(42, 100), 0x010203u);
  EXPECT_EQ(at(356, 100), 0x010203u);
  EXPECT_EQ(at(100, 30), 0x010203u);
  EXPECT_EQ(at(100, 281), 0x010203u);
}

}  // namespace
