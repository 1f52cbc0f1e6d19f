// window_text_test.cpp - titles handed over to the UI thread with CWnd::PostWindowText: set only
// when the UI thread runs its events, the latest text in one update however many were posted,
// posting again after an update, posting while the UI thread takes them, and a window that goes
// before its update runs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "wnd.h"

namespace {

// A top-level window of its own widget, counting the title changes the widget reports.
class TitledWnd : public CWnd {
 public:
  TitledWnd() {
    auto* widget = new BridgedWidget<QWidget>();
    AttachWidget(widget, nullptr);
    QObject::connect(widget, &QWidget::windowTitleChanged, [this] { ++changes; });
  }
  int changes = 0;
};

TEST(PostWindowText, TheLatestTextArrivesInOneUpdateOnTheUiThread) {
  TitledWnd wnd;
  std::thread poster([&wnd] {
    for (int i = 0; i < 1000; ++i) wnd.PostWindowText("title " + std::to_string(i));
  });
  poster.join();
  // Nothing is set from the posting thread itself.
  EXPECT_EQ(wnd.GetWindowText(), "");
  QCoreApplication::processEvents();
  EXPECT_EQ(wnd.GetWindowText(), "title 999");
  // Coalesced: one queued update for the whole burst, not one per post.
  EXPECT_EQ(wnd.changes, 1);
}

// The queued mark is cleared by the update; otherwise every later post would wait for an update
// that never comes and the title would freeze after the first one.
TEST(PostWindowText, PostsAfterAnUpdateQueueAnother) {
  TitledWnd wnd;
  wnd.PostWindowText("first");
  QCoreApplication::processEvents();
  EXPECT_EQ(wnd.GetWindowText(), "first");
  wnd.PostWindowText("second");
  QCoreApplication::processEvents();
  EXPECT_EQ(wnd.GetWindowText(), "second");
}

TEST(PostWindowText, PostingWhileTheUiThreadTakesTitlesEndsWithTheLast) {
  TitledWnd wnd;
  std::atomic<bool> done{false};
  std::thread poster([&] {
    for (int i = 0; i < 2000; ++i) wnd.PostWindowText("frame " + std::to_string(i));
    done = true;
  });
  while (!done) QCoreApplication::processEvents();
  poster.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(wnd.GetWindowText(), "frame 1999");
  EXPECT_GE(wnd.changes, 1);
}

// The update queued for a window that is gone must not touch it (AddressSanitizer reports a use
// after free otherwise) nor any other window.
TEST(PostWindowText, AWindowThatGoesFirstIsLeftAlone) {
  TitledWnd other;
  other.SetWindowText("other");
  auto wnd = std::make_unique<TitledWnd>();
  std::thread poster([&wnd] { wnd->PostWindowText("late"); });
  poster.join();
  wnd.reset();
  QCoreApplication::processEvents();
  EXPECT_EQ(other.GetWindowText(), "other");
}

}  // namespace
