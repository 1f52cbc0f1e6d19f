// messages_test.cpp - synchronous SendMessage to the handlers, private messages, timers, the
// view forwarding clicks, the position-changing hook for program and user moves, and closing.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>

#include "test_program.h"

namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h.Start()); }
  TestFrame* frame() { return h.frameAs<TestFrame>(); }
  FrameworkHarness<TestApp> h{TestResources()};
};

TEST_F(MessagesTest, SizeMoveAndClickReachHandlersSynchronously) {
  frame()->sizes.clear();
  h.SendMessage(WM_SIZE, 0, 0);
  ASSERT_EQ(frame()->sizes.size(), 1u);  // no event loop in between
  EXPECT_EQ(frame()->sizes[0].cx, 0);
  h.SendMessage(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(300, 200));
  EXPECT_EQ(frame()->sizes.back().type, SIZE_MAXIMIZED);
  EXPECT_EQ(frame()->sizes.back().cx, 300);
  EXPECT_EQ(frame()->sizes.back().cy, 200);
  h.SendMessage(WM_MOVE, 0, MAKELPARAM(-5, 7));
  EXPECT_EQ(frame()->moves.back(), CPoint(-5, 7));  // signed coordinates survive
  h.SendMessage(WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(frame()->clicks.size(), 1u);
}

TEST_F(MessagesTest, PrivateMessageReturnsItsResult) {
  EXPECT_EQ(h.SendMessage(WM_APPLY_TEST, 41, 9), 42);
  EXPECT_EQ(frame()->log.back(), "apply:41:9");
  EXPECT_EQ(h.SendMessage(WM_USER + 999, 1, 1), 0);  // unhandled private message
}

TEST_F(MessagesTest, ViewClickReachesFrameWithZeroParameters) {
  QWidget* client = h.viewAs<TestView>()->GetClientWidget();
  ASSERT_NE(client, nullptr);
  QTest::mouseClick(client, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
  ASSERT_EQ(frame()->clicks.size(), 1u);
  EXPECT_EQ(frame()->clicks[0].x, 0);  // flags
  EXPECT_EQ(frame()->clicks[0].y, 0);  // x + y of the point
}

TEST_F(MessagesTest, TimerFiresOnTimerUntilKilled) {
  frame()->SetTimer(97010333, 1);
  QTRY_VERIFY_WITH_TIMEOUT(frame()->timers.size() >= 2, 5000);
  EXPECT_EQ(frame()->timers[0], 97010333u);
  EXPECT_TRUE(frame()->KillTimer(97010333));
  const size_t n = frame()->timers.size();
  QTest::qWait(20);
  EXPECT_EQ(frame()->timers.size(), n);
  EXPECT_FALSE(frame()->KillTimer(97010333));
}

TEST_F(MessagesTest, HookCorrectsProgramMove) {
  frame()->clampToOrigin = true;
  frame()->sizes.clear();
  frame()->MoveWindow(-40, -30, 800, 300);
  h.ProcessEvents();
  CRect r;
  frame()->GetWindowRect(&r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.Width(), 500);
  EXPECT_EQ(r.Height(), 300);
  // Fault caught: OnSize seeing the uncorrected width.
  ASSERT_FALSE(frame()->sizes.empty());
  for (const auto& s : frame()->sizes) EXPECT_LE(s.cx, 500);
}

TEST_F(MessagesTest, HookCorrectsUserResize) {
  frame()->clampToOrigin = true;
  frame()->sizes.clear();
  frame()->GetWidget()->resize(900, 350);
  h.ProcessEvents();
  CRect r;
  frame()->GetWindowRect(&r);
  EXPECT_EQ(r.Width(), 500);
  ASSERT_FALSE(frame()->sizes.empty());
  EXPECT_LE(frame()->sizes.back().cx, 500);
  CRect client;
  frame()->GetClientRect(&client);
  EXPECT_EQ(frame()->sizes.back().cx, client.Width());
}

TEST_F(MessagesTest, ClientAndScreenCoordinatesRoundTrip) {
  CView* view = h.view();
  POINT p{10, 20};
  view->ClientToScreen(&p);
  CRect window;
  view->GetWindowRect(&window);
  EXPECT_EQ(p.x, window.left + 10);
  EXPECT_EQ(p.y, window.top + 20);
  view->ScreenToClient(&p);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 20);
}

TEST_F(MessagesTest, CloseDestroysFrameAndEndsTheApplication) {
  h.Send(ID_APP_EXIT);
  EXPECT_EQ(h.app().m_pMainWnd, nullptr);
  EXPECT_TRUE(h.app().quitRequested());
}

TEST_F(MessagesTest, InvalidateDrawsIntoTheBackingStore) {
  auto* view = h.viewAs<TestView>();
  const int before = view->draws;
  view->Invalidate(true);
  view->UpdateWindow();
  EXPECT_EQ(view->draws, before + 1);
  QRgb pixel = 0;
  view->GetBackingStore().Read([&](const QImage& image) { pixel = image.pixel(1, 1); });
  EXPECT_EQ(qRed(pixel), 255);
  EXPECT_EQ(qGreen(pixel), 0);
}

TEST_F(MessagesTest, PrintPreviewDrawsThroughOnDrawOnAPrinter) {
  auto* view = h.viewAs<TestView>();
  const int before = view->draws;
  EXPECT_TRUE(h.Menu(ID_FILE_PRINT_PREVIEW));
  EXPECT_EQ(h.printUi().previews, 1);
  EXPECT_EQ(view->draws, before + 1);
  h.printUi().printAnswer = false;  // cancelled print dialog: nothing printed
  EXPECT_TRUE(h.Menu(ID_FILE_PRINT));
  EXPECT_EQ(h.printUi().printDialogs, 1);
  EXPECT_EQ(view->draws, before + 1);
}

}  // namespace
