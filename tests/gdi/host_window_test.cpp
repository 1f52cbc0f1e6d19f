// host_window_test.cpp - the view's side of the capture library's host-window contract, called
// through the C function pointers as the library calls them: screen to client conversion and
// clipping of live video (drawn from pixels, or written in place through WritePixels),
// read-back, the geometry that follows the widget, closing, and draws from another thread while
// the UI thread resizes the view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "gdi_test_util.h"

namespace {

// A block of `width` x `height` pixels of one colour, with `pad` unused words per row.
struct Block {
  Block(int w, int h, uint32_t colour, int pad = 0)
      : width(w),
        height(h),
        stride(static_cast<size_t>(w + pad) * 4),
        pixels(static_cast<size_t>((w + pad) * h), 0xFFFFFFFF) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y * (w + pad) + x)] = colour;
    }
  }
  int width;
  int height;
  size_t stride;
  std::vector<uint32_t> pixels;
};

void Draw(const QuarnHostWindow* window, int screenX, int screenY, const Block& block) {
  window->DrawPixels(window->context, screenX, screenY, block.width, block.height,
                     block.pixels.data(), block.stride);
}

// --- Contract -------------------------------------------------------------------------------

TEST(HostWindow, ClientRectIsInScreenCoordinates) {
  TestSurface s(320, 240, 100, 50);
  const QuarnHostWindow* window = s.host.Contract();
  QuarnRect rect{};
  ASSERT_EQ(window->GetClientRect(window->context, &rect), 0);
  EXPECT_EQ(rect.x, 100);
  EXPECT_EQ(rect.y, 50);
  EXPECT_EQ(rect.width, 320);
  EXPECT_EQ(rect.height, 240);
}

// The library places live video in screen coordinates: a view whose client area starts at
// (100, 50) shows screen point (103, 52) at client (3, 2). A conversion with the wrong sign or
// without it entirely draws elsewhere.
TEST(HostWindow, DrawPixelsConvertsScreenToClient) {
  TestSurface s(10, 10, 100, 50);
  s.Fill(0);
  Draw(s.host.Contract(), 103, 52, Block(2, 1, 0x00ABCDEF));
  EXPECT_EQ(s.At(3, 2), 0xABCDEFu);
  EXPECT_EQ(s.At(4, 2), 0xABCDEFu);
  EXPECT_EQ(s.At(5, 2), 0u);
  EXPECT_EQ(s.At(3, 3), 0u);
}

// Video larger than the view hangs over every edge; only the client area is written, rows are
// taken `stride` bytes apart (padding words are not pixels).
TEST(HostWindow, DrawPixelsClipsToClientArea) {
  TestSurface s(4, 3, 100, 50);
  s.Fill(0);
  std::vector<QRect> changed;
  s.store.SetChangedHandler([&](const QRect& r) { changed.push_back(r); });
  Block block(8, 8, 0, /*pad=*/3);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x)
      block.pixels[static_cast<size_t>(y * 11 + x)] = 0x010000u * x + 0x0100u * y + 1;
  }
  Draw(s.host.Contract(), 98, 49, block);  // two columns left of and one row above the area
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(x, y), 0x010000u * (x + 2) + 0x0100u * (y + 1) + 1);
  }
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], QRect(0, 0, 4, 3));
  // Entirely outside: nothing changes and nothing is reported.
  Draw(s.host.Contract(), 104, 50, Block(2, 2, 0x00FFFFFF));
  Draw(s.host.Contract(), 0, 0, Block(2, 2, 0x00FFFFFF));
  EXPECT_EQ(changed.size(), 1u);
}

// A writer as the library gives WritePixels: logs each call and fills the part it is handed
// with opaque pixels that name their place in the block.
struct PartWriter {
  struct Call {
    int x, y, width, height;
  };
  static uint32_t Value(int blockX, int blockY) {
    return 0xFF000000u | (static_cast<uint32_t>(blockX + 1) << 16) |
           (static_cast<uint32_t>(blockY + 1) << 8) | 0x5Au;
  }
  static void Write(void* self, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t* pixels, size_t stride) {
    static_cast<PartWriter*>(self)->calls.push_back(Call{x, y, width, height});
    for (int row = 0; row < height; ++row) {
      auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                               static_cast<size_t>(row) * stride);
      for (int column = 0; column < width; ++column) line[column] = Value(x + column, y + row);
    }
  }
  std::vector<Call> calls;
};

void Write(const QuarnHostWindow* window, int screenX, int screenY, int width, int height,
           PartWriter* writer) {
  ASSERT_NE(window->WritePixels, nullptr);
  window->WritePixels(window->context, screenX, screenY, width, height, PartWriter::Write, writer);
}

// WritePixels hands the writer exactly the part of the block the client area shows, once, at
// the right place in the picture; the rest of the picture keeps its pixels. Client area 5 x 4 at
// screen (100, 50); `image` is the backing store's size when it lags behind the client area.
TEST(HostWindow, WritePixelsHandsTheShownPartToTheWriter) {
  struct Case {
    const char* what;
    int screenX, screenY, width, height;
    QSize image;
    bool written;
    QRect part;  // in block coordinates
  };
  const Case cases[] = {
      {"inside", 101, 51, 3, 2, QSize(5, 4), true, QRect(0, 0, 3, 2)},
      {"the whole area", 100, 50, 5, 4, QSize(5, 4), true, QRect(0, 0, 5, 4)},
      {"over every edge", 98, 49, 9, 7, QSize(5, 4), true, QRect(2, 1, 5, 4)},
      {"over the right and bottom", 103, 52, 4, 4, QSize(5, 4), true, QRect(0, 0, 2, 2)},
      {"left of the area", 90, 50, 10, 4, QSize(5, 4), false, QRect()},
      {"below the area", 100, 54, 5, 4, QSize(5, 4), false, QRect()},
      {"far away", -2000000000, 2000000000, 5, 4, QSize(5, 4), false, QRect()},
      {"empty block", 100, 50, 0, 4, QSize(5, 4), false, QRect()},
      {"image still smaller", 100, 50, 5, 4, QSize(3, 2), true, QRect(0, 0, 3, 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestSurface s(5, 4, 100, 50);
    s.store.Resize(c.image.width(), c.image.height());
    s.Fill(0x0000FF);
    std::vector<QRect> changed;
    s.store.SetChangedHandler([&](const QRect& r) { changed.push_back(r); });
    PartWriter writer;
    Write(s.host.Contract(), c.screenX, c.screenY, c.width, c.height, &writer);
    ASSERT_EQ(writer.calls.size(), c.written ? 1u : 0u);
    if (!c.written) {
      EXPECT_TRUE(changed.empty());
      continue;
    }
    const PartWriter::Call& call = writer.calls[0];
    EXPECT_EQ(QRect(call.x, call.y, call.width, call.height), c.part);
    ASSERT_EQ(changed.size(), 1u);
    const QPoint blockOnClient(c.screenX - 100, c.screenY - 50);
    EXPECT_EQ(changed[0], c.part.translated(blockOnClient));
    for (int y = 0; y < c.image.height(); ++y) {
      for (int x = 0; x < c.image.width(); ++x) {
        const QPoint inBlock = QPoint(x, y) - blockOnClient;
        const uint32_t expected = c.part.contains(inBlock)
                                      ? PartWriter::Value(inBlock.x(), inBlock.y()) & 0xFFFFFFu
                                      : 0x0000FFu;
        EXPECT_EQ(s.At(x, y), expected) << x << "," << y;
      }
    }
  }
}

// What the library reads back is the pixels shown, as 0x00RRGGBB; outside the client area 0.
TEST(HostWindow, ReadPixelsOutsideClientAreaIsZero) {
  TestSurface s(3, 2);
  s.Fill(0x445566);
  CClientDC dc(s.host);
  const QuarnHostDC* hdc = dc.GetSafeHdc();
  std::vector<uint32_t> out(4 * 4, 0xCCCCCCCC);
  ASSERT_EQ(hdc->ReadPixels(hdc->context, -1, 0, 4, 4, out.data(), 4 * 4), 0);
  const std::vector<uint32_t> expected = {0, 0x445566, 0x445566, 0x445566,  //
                                          0, 0x445566, 0x445566, 0x445566,  //
                                          0, 0,        0,        0,         //
                                          0, 0,        0,        0};
  EXPECT_EQ(out, expected);
  EXPECT_NE(hdc->ReadPixels(hdc->context, 0, 0, 0, 1, out.data(), 16), 0);
  EXPECT_NE(hdc->ReadPixels(hdc->context, 0, 0, 1, 1, nullptr, 16), 0);
}

// A frozen frame is drawn through dc->window and then read through the same context: both
// must meet in the same pixels.
TEST(HostWindow, DrawThenReadThroughOneContext) {
  TestSurface s(6, 4, 200, 300);
  CClientDC dc(s.host);
  const QuarnHostDC* hdc = dc.GetSafeHdc();
  ASSERT_NE(hdc->window, nullptr);
  Draw(hdc->window, 201, 301, Block(2, 2, 0x00102030));
  uint32_t value = 0;
  ASSERT_EQ(hdc->ReadPixels(hdc->context, 2, 2, 1, 1, &value, 4), 0);
  EXPECT_EQ(value, 0x102030u);
  EXPECT_EQ(hdc->GetDepth(hdc->context), 32);
}

// After Close the library's calls report "no window" and draw nothing.
TEST(HostWindow, ClosedWindowRefusesDrawing) {
  TestSurface s(4, 4);
  s.Fill(0);
  s.host.Close();
  QuarnRect rect{};
  EXPECT_NE(s.host.Contract()->GetClientRect(s.host.Contract()->context, &rect), 0);
  Draw(s.host.Contract(), 100, 50, Block(1, 1, 0x00FFFFFF));
  PartWriter writer;
  Write(s.host.Contract(), 100, 50, 4, 4, &writer);
  EXPECT_TRUE(writer.calls.empty()) << "a closed window hands out no pixels";
  uint32_t value = 0;
  EXPECT_NE(s.host.ReadPixels(0, 0, 1, 1, &value, 4), 0);
  s.store.Read([](const QImage& image) {
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFFu, 0u) << "nothing was drawn after the close";
  });
}

// --- Following a widget ---------------------------------------------------------------------

// The snapshot follows the widget: its own moves and its window's moves, and it closes when
// the widget goes.
TEST(HostWindowWidget, SnapshotFollowsWidgetAndItsWindow) {
  CBackingStore store;
  CHostWindow host(store);
  auto top = std::make_unique<QWidget>();
  top->setGeometry(40, 30, 300, 200);
  auto* view = new QWidget(top.get());  // owned by `top`
  view->setGeometry(10, 20, 120, 80);
  host.Attach(view);
  top->show();
  QApplication::processEvents();

  const auto expectFollows = [&] {
    const HostGeometry g = host.Geometry();
    EXPECT_EQ(g.clientOnScreen.topLeft(), view->mapToGlobal(QPoint(0, 0)));
    EXPECT_EQ(g.clientOnScreen.size(), view->size());
  };
  expectFollows();
  EXPECT_GT(host.Geometry().depth, 0);
  EXPECT_GT(host.Geometry().screenSize.width(), 0);

  view->setGeometry(15, 25, 100, 60);
  QApplication::processEvents();
  expectFollows();
  EXPECT_EQ(host.Geometry().clientOnScreen.size(), QSize(100, 60));

  const QPoint before = host.Geometry().clientOnScreen.topLeft();
  top->move(top->pos() + QPoint(33, 17));
  QApplication::processEvents();
  expectFollows();
  EXPECT_EQ(host.Geometry().clientOnScreen.topLeft(), before + QPoint(33, 17))
      << "moving the main window moves the view on the screen";

  top.reset();
  EXPECT_TRUE(host.IsClosed());
}

// PostUpdateTo: draws on another thread reach the widget as one queued repaint, never as a
// direct call into it.
TEST(HostWindowWidget, ChangesArePostedToTheWidgetsThread) {
  class CountingWidget : public QWidget {
   public:
    int updates = 0;

   protected:
    bool event(QEvent* e) override {
      if (e->type() == QEvent::UpdateRequest || e->type() == QEvent::Paint) ++updates;
      return QWidget::event(e);
    }
  };
  CountingWidget widget;
  widget.resize(10, 10);
  widget.show();
  QApplication::processEvents();
  widget.updates = 0;

  TestSurface s(10, 10);
  s.store.SetChangedHandler(CBackingStore::PostUpdateTo(&widget));
  std::thread drawer([&] {
    for (int i = 0; i < 20; ++i) Draw(s.host.Contract(), 100 + i % 10, 50, Block(1, 1, 0));
  });
  drawer.join();
  EXPECT_EQ(widget.updates, 0) << "the drawing thread must not repaint directly";
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_GT(widget.updates, 0);
}

// --- Threads --------------------------------------------------------------------------------

// Live video and the snap callback draw from the library's threads while the UI thread resizes
// and moves the view. Under ThreadSanitizer this finds any unguarded access to the image or the
// geometry; under AddressSanitizer a draw into an image that shrank underneath it.
TEST(HostWindowThreads, DrawFromAnotherThreadWhileUiResizes) {
  TestSurface s(64, 48, 0, 0);
  std::atomic<bool> stop{false};
  const CoordinateDib dib(16, 12);
  std::thread library([&] {
    const Block block(40, 30, 0x00336699);
    PartWriter writer;
    int rounds = 0;
    while (!stop.load() || rounds < 50) {
      Draw(s.host.Contract(), 5, 5, block);
      Write(s.host.Contract(), 20, 15, 40, 30, &writer);  // live video written in place
      writer.calls.clear();
      CClientDC dc(s.host);  // the snap callback's own context on this thread
      dc.StretchDIBits(0, 0, 16, 12, 0, 0, 16, 12, dib.bits.data(), &dib.info, DIB_RGB_COLORS,
                       SRCCOPY);
      QuarnRect rect{};
      s.host.Contract()->GetClientRect(s.host.Contract()->context, &rect);
      ++rounds;
    }
  });
  std::vector<uint32_t> readBack(8 * 8);
  for (int i = 0; i < 200; ++i) {
    const int w = 20 + (i * 7) % 60;
    const int h = 10 + (i * 5) % 50;
    s.store.Resize(w, h);
    s.host.SetGeometry(HostGeometry{QRect(i % 3, i % 2, w, h), QSize(1920, 1080), 32});
    s.host.ReadPixels(0, 0, 8, 8, readBack.data(), 8 * 4);
  }
  stop = true;
  library.join();
  // Settled: the last size holds and both drawers' pixels are where they belong.
  s.store.Resize(64, 48);
  s.host.SetGeometry(HostGeometry{QRect(0, 0, 64, 48), QSize(1920, 1080), 32});
  Draw(s.host.Contract(), 5, 5, Block(40, 30, 0x00336699));
  EXPECT_EQ(s.At(44, 34), 0x336699u);
  EXPECT_EQ(s.At(45, 35), 0xFFFFFFu) << "new area takes the background colour";
  PartWriter writer;
  Write(s.host.Contract(), 50, 40, 40, 30, &writer);
  EXPECT_EQ(s.At(63, 47), PartWriter::Value(13, 7) & 0xFFFFFFu);
}

// Closing waits for draws in flight and stops later ones: the view can go once it returns.
TEST(HostWindowThreads, CloseQuiescesDrawing) {
  TestSurface s(32, 32, 0, 0);
  s.Fill(0);
  std::atomic<int> drawn{0};
  std::thread library([&] {
    const Block block(32, 32, 0x00FFFFFF);
    PartWriter writer;
    for (int i = 0; i < 200; ++i) {
      Draw(s.host.Contract(), 0, 0, block);
      Write(s.host.Contract(), 0, 0, 32, 32, &writer);
      drawn.fetch_add(1);
    }
  });
  while (drawn.load() < 5) std::this_thread::yield();
  s.host.Close();
  s.Fill(0);  // after Close returns, no draw may land any more
  library.join();
  QRgb shown = 0;
  s.store.Read([&](const QImage& image) { shown = image.pixel(10, 10); });
  EXPECT_EQ(shown & 0xFFFFFFu, 0u);
}

}  // namespace
