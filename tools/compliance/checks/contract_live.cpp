// contract_live.cpp - live video and single frames on the simulated cards: draws through the host
// window from the library's thread at the output window, a stop that really quiesces, stop and
// restart from inside a draw, host windows of older and newer sizes, capture shot with display
// read-back at every display depth, and bad arguments.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "contract_support.h"

namespace {

using contract::CardHandle;
using contract::WaitFor;

// A host window whose client area lies at (clientX, clientY) on the screen. Draws land in a
// canvas of the client area (clipped like a real window) and are logged. Thread-safe.
class RecordingWindow {
 public:
  struct Draw {
    std::thread::id thread;
    int x, y, width, height;
  };

  RecordingWindow(int clientX, int clientY, int width, int height)
      : clientX_(clientX),
        clientY_(clientY),
        width_(width),
        height_(height),
        canvas_(static_cast<size_t>(width) * static_cast<size_t>(height), 0) {
    host_.size = sizeof(QuarnHostWindow);
    host_.context = this;
    host_.GetClientRect = [](void* context, QuarnRect* rect) {
      auto* self = static_cast<RecordingWindow*>(context);
      ++self->clientRectCalls_;
      *rect = QuarnRect{self->clientX_, self->clientY_, self->width_, self->height_};
      return self->drawable_.load() ? 0 : 1;
    };
    host_.DrawPixels = [](void* context, int32_t x, int32_t y, int32_t w, int32_t h,
                          const uint32_t* pixels, size_t stride) {
      static_cast<RecordingWindow*>(context)->OnDraw(x, y, w, h, pixels, stride);
    };
  }

  const QuarnHostWindow* host() const { return &host_; }

  // Also offers WritePixels, as the programs' windows do: the library then writes each frame
  // through it, into the part of the canvas the block covers. A write is logged as a draw of
  // its block, and the part it wrote (block coordinates) separately.
  void OfferWritePixels() {
    host_.WritePixels = [](void* context, int32_t x, int32_t y, int32_t w, int32_t h,
                           QuarnPixelWriter write, void* writer) {
      static_cast<RecordingWindow*>(context)->OnWrite(x, y, w, h, write, writer);
    };
  }
  struct Part {
    int x, y, width, height;
  };
  std::vector<Part> parts() const {
    std::lock_guard lock(mutex_);
    return parts_;
  }
  size_t drawPixelsCount() const { return drawPixelsCalls_; }

  // Runs inside the next draws, on the drawing thread, before the draw is logged.
  void SetOnDraw(std::function<void(size_t drawNumber)> action) {
    std::lock_guard lock(mutex_);
    onDraw_ = std::move(action);
  }
  // Makes each draw take a little while, so that a stop meets a draw in progress.
  void SetSlow(bool slow) { slow_ = slow; }
  void SetDrawable(bool drawable) { drawable_ = drawable; }

  std::vector<Draw> draws() const {
    std::lock_guard lock(mutex_);
    return draws_;
  }
  size_t drawCount() const {
    std::lock_guard lock(mutex_);
    return draws_.size();
  }
  bool inside() const { return inside_; }
  int overlaps() const { return overlaps_; }
  int clientRectCalls() const { return clientRectCalls_; }

  void SetPixel(int x, int y, uint32_t value) {
    std::lock_guard lock(mutex_);
    canvas_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = value;
  }
  uint32_t Pixel(int x, int y) const {
    std::lock_guard lock(mutex_);
    return canvas_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }

  // Copies client pixels; outside the client area reads 0.
  void Read(int x, int y, int width, int height, uint32_t* out, size_t stride) const {
    std::lock_guard lock(mutex_);
    for (int row = 0; row < height; ++row) {
      auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) +
                                               static_cast<size_t>(row) * stride);
      for (int column = 0; column < width; ++column) {
        const int cx = x + column, cy = y + row;
        line[column] = cx >= 0 && cy >= 0 && cx < width_ && cy < height_
                           ? canvas_[static_cast<size_t>(cy) * static_cast<size_t>(width_) +
                                     static_cast<size_t>(cx)]
                           : 0;
      }
    }
  }

 private:
  void OnDraw(int x, int y, int width, int height, const uint32_t* pixels, size_t stride) {
    ++drawPixelsCalls_;
    Deliver(x, y, width, height, [&] {
      for (int row = 0; row < height; ++row) {
        const auto* line = reinterpret_cast<const uint32_t*>(
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(row) * stride);
        for (int column = 0; column < width; ++column) {
          const int cx = x - clientX_ + column, cy = y - clientY_ + row;
          if (cx >= 0 && cy >= 0 && cx < width_ && cy < height_) {
            canvas_[static_cast<size_t>(cy) * static_cast<size_t>(width_) +
                    static_cast<size_t>(cx)] = line[column];
          }
        }
      }
    });
  }

  // Clips the block to the client area like a host and has the library write the part shown
  // straight into the canvas.
  void OnWrite(int x, int y, int width, int height, QuarnPixelWriter write, void* writer) {
    Deliver(x, y, width, height, [&] {
      const int left = std::max(x, clientX_), top = std::max(y, clientY_);
      const int right = std::min(x + width, clientX_ + width_);
      const int bottom = std::min(y + height, clientY_ + height_);
      if (right <= left || bottom <= top) return;
      const Part part{left - x, top - y, right - left, bottom - top};
      parts_.push_back(part);
      write(writer, part.x, part.y, part.width, part.height,
            canvas_.data() + static_cast<size_t>(top - clientY_) * static_cast<size_t>(width_) +
                static_cast<size_t>(left - clientX_),
            static_cast<size_t>(width_) * sizeof(uint32_t));
    });
  }

  // One delivery of a block at (x, y): the test's action, the slow-down, then `paint` with the
  // canvas locked, logged as a draw.
  void Deliver(int x, int y, int width, int height, const std::function<void()>& paint) {
    if (inside_.exchange(true)) ++overlaps_;
    std::function<void(size_t)> action;
    size_t number = 0;
    {
      std::lock_guard lock(mutex_);
      action = onDraw_;
      number = draws_.size();
    }
    if (action) action(number);
    if (slow_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    {
      std::lock_guard lock(mutex_);
      draws_.push_back(Draw{std::this_thread::get_id(), x, y, width, height});
      paint();
    }
    inside_ = false;
  }

  QuarnHostWindow host_{};
  const int clientX_, clientY_, width_, height_;
  std::atomic<bool> inside_{false};
  std::atomic<int> overlaps_{0};
  std::atomic<int> clientRectCalls_{0};
  std::atomic<bool> slow_{false};
  std::atomic<bool> drawable_{true};
  std::atomic<size_t> drawPixelsCalls_{0};
  // Protects canvas_, draws_, parts_ and onDraw_.
  mutable std::mutex mutex_;
  std::vector<uint32_t> canvas_;
  std::vector<Draw> draws_;
  std::vector<Part> parts_;
  std::function<void(size_t)> onDraw_;
};

// A device context on a recording window's client area, at a given display depth.
class RecordingDC {
 public:
  RecordingDC(const RecordingWindow* window, int depth) : window_(window), depth_(depth) {
    dc_.size = sizeof(QuarnHostDC);
    dc_.context = this;
    dc_.window = window != nullptr ? window->host() : nullptr;
    dc_.GetDepth = [](void* context) { return static_cast<RecordingDC*>(context)->depth_; };
    dc_.ReadPixels = [](void* context, int32_t x, int32_t y, int32_t width, int32_t height,
                        uint32_t* pixels, size_t stride) {
      auto* self = static_cast<RecordingDC*>(context);
      if (self->readStatus_ != 0 || self->window_ == nullptr) return 1;
      self->window_->Read(x, y, width, height, pixels, stride);
      return 0;
    };
  }
  const QuarnHostDC* get() const { return &dc_; }
  QuarnHostDC& raw() { return dc_; }
  void FailReads() { readStatus_ = 1; }

 private:
  QuarnHostDC dc_{};
  const RecordingWindow* window_;
  int depth_;
  int readStatus_ = 0;
};

// A host window as a program built before WritePixels lays it out: the oldest contract.
struct OldestHostWindow {
  uint32_t size;
  void* context;
  int (*GetClientRect)(void* context, QuarnRect* screenRect);
  void (*DrawPixels)(void* context, int32_t screenX, int32_t screenY, int32_t width, int32_t height,
                     const uint32_t* pixels, size_t stride);
};
static_assert(sizeof(OldestHostWindow) == QUARN_HOST_WINDOW_SIZE_1);
static_assert(offsetof(OldestHostWindow, DrawPixels) == offsetof(QuarnHostWindow, DrawPixels));

// Host structs as a program built against a newer header lays them out: today's members, then
// one the library cannot know of.
struct NewerHostWindow {
  QuarnHostWindow known;
  void (*Later)(void* context);
};
struct NewerHostDC {
  QuarnHostDC known;
  void (*Later)(void* context);
};

// Two pages, the second inaccessible: a struct placed at the end of the first faults any read
// past its end. Unmapped by the destructor.
class GuardedPage {
 public:
  GuardedPage() : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
    void* mapped =
        mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return;
    base_ = static_cast<uint8_t*>(mapped);
    if (mprotect(base_ + page_, page_, PROT_NONE) != 0) {
      munmap(base_, 2 * page_);
      base_ = nullptr;
    }
  }
  ~GuardedPage() {
    if (base_ != nullptr) munmap(base_, 2 * page_);
  }
  GuardedPage(const GuardedPage&) = delete;
  GuardedPage& operator=(const GuardedPage&) = delete;

  bool ok() const { return base_ != nullptr; }
  // Where `bytes` bytes end just before the inaccessible page.
  void* EndOfPage(size_t bytes) const { return base_ + page_ - bytes; }

 private:
  size_t page_;
  uint8_t* base_ = nullptr;
};

// Calls of functions placed where a library must not look (past a host struct's size).
std::atomic<int> g_strayCalls{0};
void StrayWritePixels(void*, int32_t, int32_t, int32_t, int32_t, QuarnPixelWriter, void*) {
  ++g_strayCalls;
}
void StrayLater(void*) {
  ++g_strayCalls;
}

class Live : public contract::SimTest {
 protected:
  void TearDown() override {
    QuarnCaptureEx(card_.get(), nullptr, 0);
    SimTest::TearDown();
  }
  QUARN_HANDLE h() const { return card_.get(); }

  CardHandle card_{1};
  RecordingWindow window_{50, 40, 1024, 768};
};

TEST_F(Live, DrawsComeFromTheLibraryThreadAtTheOutputWindow) {
  ASSERT_EQ(QuarnSetOutputWindow(h(), 100, 60, 320, 240), QUARN_OK);
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= 3; }));
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
  for (const auto& draw : window_.draws()) {
    EXPECT_NE(draw.thread, std::this_thread::get_id()) << "live video is drawn by the library";
    EXPECT_EQ(draw.x, 100);
    EXPECT_EQ(draw.y, 60);
    EXPECT_EQ(draw.width, 320);
    EXPECT_EQ(draw.height, 240);
  }
  // The picture arrived at the output window's place in the client area, and only there.
  EXPECT_NE(window_.Pixel(50 + 160, 20 + 120), 0u);
  EXPECT_EQ(window_.Pixel(50 + 320 + 5, 20 + 120), 0u);
  EXPECT_EQ(window_.overlaps(), 0);
}

// A window that offers WritePixels (as the programs' windows do) has each frame written into it
// from the library's thread, only the part it shows of the output window, and DrawPixels is not
// called. In YUV422 a part that starts on the second pixel of a pair still converts.
TEST_F(Live, AWindowOfferingWritePixelsHasTheShownPartWritten) {
  struct Case {
    int format, x, y;
    RecordingWindow::Part part;  // in block coordinates; the client area is at (50, 40)
  };
  const Case cases[] = {
      {QUARN_FORMAT_RGB888, 100, 60, {0, 0, 320, 240}},
      {QUARN_FORMAT_RGB8888, 20, 30, {30, 10, 290, 230}},
      {QUARN_FORMAT_YUV422, 21, 30, {29, 10, 291, 230}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    RecordingWindow window(50, 40, 1024, 768);
    window.OfferWritePixels();
    ASSERT_EQ(QuarnSetVideoFormat(h(), c.format), QUARN_OK);
    ASSERT_EQ(QuarnSetOutputWindow(h(), c.x, c.y, 320, 240), QUARN_OK);
    ASSERT_EQ(QuarnCaptureEx(h(), window.host(), 1), QUARN_OK);
    ASSERT_TRUE(WaitFor([&] { return window.drawCount() >= 3; }));
    ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
    EXPECT_EQ(window.drawPixelsCount(), 0u);
    for (const auto& draw : window.draws()) {
      EXPECT_NE(draw.thread, std::this_thread::get_id());
      EXPECT_EQ(draw.x, c.x);
      EXPECT_EQ(draw.y, c.y);
      EXPECT_EQ(draw.width, 320);
      EXPECT_EQ(draw.height, 240);
    }
    for (const auto& part : window.parts()) {
      EXPECT_EQ(part.x, c.part.x);
      EXPECT_EQ(part.y, c.part.y);
      EXPECT_EQ(part.width, c.part.width);
      EXPECT_EQ(part.height, c.part.height);
    }
    // Written pixels are opaque and show a picture; around the part nothing was touched.
    const int left = c.x + c.part.x - 50, top = c.y + c.part.y - 40;
    const int right = left + c.part.width - 1, bottom = top + c.part.height - 1;
    for (const auto& [x, y] :
         {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
      EXPECT_EQ(window.Pixel(x, y) >> 24, 0xFFu) << x << "," << y;
    }
    uint32_t colours = 0;
    for (int x = left; x <= right; x += 7) colours |= window.Pixel(x, (top + bottom) / 2);
    EXPECT_NE(colours & 0xFFFFFFu, 0u);
    EXPECT_EQ(window.Pixel(right + 1, top), 0u);
    EXPECT_EQ(window.Pixel(left, bottom + 1), 0u);
  }
}

// Fault: a library that reads a host window past the size the host gave (copying the whole struct
// of its own header, or taking WritePixels without looking at the size) faults on, or calls into,
// whatever follows a window built before WritePixels existed. Such a window must get live video
// through DrawPixels: placed before a stray WritePixels (which must not be called), and before an
// inaccessible page (any read past its size faults, and the check's process dies).
TEST_F(Live, AnOlderHostWindowIsDrawnThroughDrawPixelsAndReadNoFurther) {
  enum class After { kInaccessiblePage, kStrayWritePixels };
  struct OldestWithStray {
    OldestHostWindow host;
    void (*WritePixels)(void*, int32_t, int32_t, int32_t, int32_t, QuarnPixelWriter, void*);
  };
  static_assert(offsetof(OldestWithStray, WritePixels) == offsetof(QuarnHostWindow, WritePixels));
  for (const After after : {After::kStrayWritePixels, After::kInaccessiblePage}) {
    SCOPED_TRACE(after == After::kInaccessiblePage ? "before an inaccessible page"
                                                   : "before a stray WritePixels");
    RecordingWindow window(50, 40, 1024, 768);
    const QuarnHostWindow& full = *window.host();
    const OldestHostWindow oldest{static_cast<uint32_t>(sizeof(OldestHostWindow)), full.context,
                                  full.GetClientRect, full.DrawPixels};
    const GuardedPage page;
    ASSERT_TRUE(page.ok());
    const OldestWithStray withStray{oldest, &StrayWritePixels};
    const OldestHostWindow* placed = after == After::kInaccessiblePage
                                         ? new (page.EndOfPage(sizeof oldest))
                                               OldestHostWindow(oldest)
                                         : &withStray.host;
    g_strayCalls = 0;

    ASSERT_EQ(QuarnSetOutputWindow(h(), 100, 60, 320, 240), QUARN_OK);
    ASSERT_EQ(QuarnCaptureEx(h(), reinterpret_cast<const QuarnHostWindow*>(placed), 1), QUARN_OK);
    ASSERT_TRUE(WaitFor([&] { return window.drawCount() >= 3 || g_strayCalls > 0; }));
    ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);

    EXPECT_EQ(g_strayCalls, 0) << "WritePixels was taken from past the window's size";
    EXPECT_EQ(window.drawPixelsCount(), window.drawCount()) << "every frame through DrawPixels";
    EXPECT_NE(window.Pixel(50 + 160, 20 + 120) & 0xFFFFFFu, 0u) << "the picture arrived";
  }
}

// Host structs from a newer header, larger than the library's own, still work: live video
// through the window (by WritePixels, which its size covers) and read-back through the context.
TEST_F(Live, NewerHostStructsWithMoreMembersStillWork) {
  window_.OfferWritePixels();
  NewerHostWindow newer{*window_.host(), &StrayLater};
  newer.known.size = sizeof(NewerHostWindow);
  g_strayCalls = 0;
  ASSERT_EQ(QuarnSetOutputWindow(h(), 100, 60, 320, 240), QUARN_OK);
  ASSERT_EQ(QuarnCaptureEx(h(), &newer.known, 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= 3; }));
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
  EXPECT_FALSE(window_.parts().empty()) << "the frames were written through WritePixels";
  EXPECT_EQ(window_.drawPixelsCount(), 0u);

  RecordingDC dc(&window_, 32);
  NewerHostDC newerDC{*dc.get(), &StrayLater};
  newerDC.known.size = sizeof(NewerHostDC);
  newerDC.known.window = &newer.known;
  std::vector<uint32_t> dib(16 * 16);
  uint16_t bits = 0;
  EXPECT_EQ(QuarnGetDisplayBits(&newerDC.known, 50, 20, 16, 16, &bits, dib.data()), QUARN_OK);
  EXPECT_EQ(bits, 32);
  EXPECT_TRUE(std::any_of(dib.begin(), dib.end(), [](uint32_t word) { return word != 0; }))
      << "the live picture read back";
  EXPECT_EQ(g_strayCalls, 0);
}

TEST_F(Live, FieldModesDrawHalfTheOutputHeight) {
  ASSERT_EQ(QuarnSetOutputWindow(h(), -20, -10, 200, 151), QUARN_OK);
  for (int scanMode : {QUARN_SCAN_FIELD, QUARN_SCAN_FIELD1, QUARN_SCAN_FRAME}) {
    RecordingWindow window(0, 0, 800, 600);
    ASSERT_EQ(QuarnSetScanMode(h(), scanMode), QUARN_OK);
    ASSERT_EQ(QuarnCaptureEx(h(), window.host(), 1), QUARN_OK);
    ASSERT_TRUE(WaitFor([&] { return window.drawCount() >= 2; }));
    ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
    for (const auto& draw : window.draws()) {
      EXPECT_EQ(draw.x, -20);
      EXPECT_EQ(draw.y, -10);
      EXPECT_EQ(draw.width, 200);
      EXPECT_EQ(draw.height, scanMode == QUARN_SCAN_FRAME ? 151 : 75) << "scan " << scanMode;
    }
  }
}

// Fault: a stop that returns while the worker is still inside DrawPixels lets the program destroy
// the window under it. Run under ThreadSanitizer too.
TEST_F(Live, StopReturnsOnlyWhenNoDrawRunsAndNoneFollows) {
  window_.SetSlow(true);
  for (int round = 0; round < 10; ++round) {
    ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
    const size_t before = window_.drawCount();
    ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= before + 2; }));
    ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
    EXPECT_FALSE(window_.inside()) << "a draw was still running after the stop returned";
    const size_t stopped = window_.drawCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(window_.drawCount(), stopped) << "a draw arrived after the stop";
  }
  EXPECT_EQ(window_.overlaps(), 0);
}

TEST_F(Live, StopWhenOffAndBadWindows) {
  EXPECT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK) << "already off";
  EXPECT_EQ(QuarnCaptureEx(h(), nullptr, 1), QUARN_ERR_BAD_PARAMETER);
  QuarnHostWindow noDraw = *window_.host();
  noDraw.DrawPixels = nullptr;
  EXPECT_EQ(QuarnCaptureEx(h(), &noDraw, 1), QUARN_ERR_BAD_PARAMETER);
  QuarnHostWindow noRect = *window_.host();
  noRect.GetClientRect = nullptr;
  EXPECT_EQ(QuarnCaptureEx(h(), &noRect, 1), QUARN_ERR_BAD_PARAMETER);
  // Sizes below the oldest contract, among them a size never set.
  for (const size_t size : {size_t{0}, QUARN_HOST_WINDOW_SIZE_1 - 1}) {
    QuarnHostWindow small = *window_.host();
    small.size = static_cast<uint32_t>(size);
    EXPECT_EQ(QuarnCaptureEx(h(), &small, 1), QUARN_ERR_BAD_PARAMETER) << "size " << size;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(window_.drawCount(), 0u) << "a rejected start must not start anything";
}

TEST_F(Live, StartingAgainSwitchesTheWindow) {
  RecordingWindow other(0, 0, 800, 600);
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= 1; }));
  ASSERT_EQ(QuarnCaptureEx(h(), other.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return other.drawCount() >= 3; }));
  const size_t first = window_.drawCount();
  ASSERT_TRUE(WaitFor([&] { return other.drawCount() >= 6; }));
  // At most the draw that was under way at the switch still went to the first window.
  EXPECT_LE(window_.drawCount(), first + 1);
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
}

TEST_F(Live, AWindowThatCannotBeDrawnOnGetsNoPixels) {
  window_.SetDrawable(false);
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.clientRectCalls() >= 5; }));
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
  EXPECT_EQ(window_.drawCount(), 0u);
}

TEST_F(Live, StopFromInsideADrawDoesNotDeadlock) {
  std::atomic<int> status{1};
  window_.SetOnDraw([&](size_t number) {
    if (number == 2) status = QuarnCaptureEx(h(), nullptr, 0);
  });
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return status != 1; }));
  EXPECT_EQ(status, QUARN_OK);
  // The stop from outside now waits for the draw that stopped itself.
  EXPECT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
  const size_t stopped = window_.drawCount();
  EXPECT_EQ(stopped, 3u) << "the draw that stopped live video was the last";
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(window_.drawCount(), stopped);
}

TEST_F(Live, RestartFromInsideADrawKeepsDrawingOneAtATime) {
  std::atomic<int> stopStatus{1}, startStatus{1};
  window_.SetSlow(true);
  window_.SetOnDraw([&](size_t number) {
    if (number == 2) {
      stopStatus = QuarnCaptureEx(h(), nullptr, 0);
      startStatus = QuarnCaptureEx(h(), window_.host(), 1);
    }
  });
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= 8; }));
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
  EXPECT_EQ(stopStatus, QUARN_OK);
  EXPECT_EQ(startStatus, QUARN_OK);
  EXPECT_EQ(window_.overlaps(), 0) << "the restarted thread drew while the old draw still ran";
  EXPECT_FALSE(window_.inside());
}

TEST_F(Live, EndingTheCardStopsLiveVideo) {
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= 2; }));
  ASSERT_EQ(card_.End(), QUARN_OK);
  const size_t ended = window_.drawCount();
  EXPECT_FALSE(window_.inside());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(window_.drawCount(), ended);
}

TEST_F(Live, EndingTheCardFromInsideADraw) {
  CardHandle card(2);
  std::atomic<int> status{1};
  window_.SetOnDraw([&](size_t number) {
    if (number == 1) status = EndQuarnCard(card.get());
  });
  ASSERT_EQ(QuarnCaptureEx(card.get(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return status != 1; }));
  EXPECT_EQ(status, QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return !window_.inside(); }));
  const size_t ended = window_.drawCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(window_.drawCount(), ended);
  EXPECT_EQ(QuarnCaptureEx(card.get(), nullptr, 0), QUARN_ERR_BAD_HANDLE);
}

// ---- Capture shot and display read-back -------------------------------------------------------

// Capture shots on the live-video fixture's card and window.
class Capture : public Live {};

TEST_F(Capture, CaptureShotIsDrawnByTheNextReadBackAndReadBottomUp) {
  RecordingWindow window(10, 20, 640, 480);
  ASSERT_EQ(QuarnSetOutputWindow(h(), 40, 30, 200, 100), QUARN_OK);
  ASSERT_EQ(QuarnCaptureShot(h()), QUARN_OK);
  EXPECT_EQ(window.drawCount(), 0u) << "with live video off the shot waits for the read-back";

  RecordingDC dc(&window, 32);
  std::vector<uint32_t> dib(200 * 100 + 16, 0xABABABABu);
  uint16_t bits = 0;
  ASSERT_EQ(QuarnGetDisplayBits(dc.get(), 30, 10, 200, 100, &bits, dib.data()), QUARN_OK);
  EXPECT_EQ(bits, 32);
  const auto draws = window.draws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].thread, std::this_thread::get_id());
  EXPECT_EQ(draws[0].x, 40);
  EXPECT_EQ(draws[0].y, 30);
  EXPECT_EQ(draws[0].width, 200);
  EXPECT_EQ(draws[0].height, 100);

  // Row 0 of the bitmap is the bottom row of the area read.
  size_t mismatches = 0;
  for (int row = 0; row < 100; ++row) {
    for (int x = 0; x < 200; ++x) {
      const uint32_t shown = window.Pixel(30 + x, 10 + 99 - row) & 0x00FFFFFFu;
      if ((dib[static_cast<size_t>(row) * 200 + static_cast<size_t>(x)] & 0x00FFFFFFu) != shown) {
        ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_NE(window.Pixel(30, 10), window.Pixel(130, 60)) << "a picture, not a flat fill";
  for (size_t i = 200 * 100; i < dib.size(); ++i) ASSERT_EQ(dib[i], 0xABABABABu) << "overrun";

  // The frozen frame is drawn once only.
  ASSERT_EQ(QuarnGetDisplayBits(dc.get(), 30, 10, 200, 100, &bits, dib.data()), QUARN_OK);
  EXPECT_EQ(window.drawCount(), 1u);
}

TEST_F(Capture, CaptureShotInAFieldModeIsHalfHeight) {
  RecordingWindow window(0, 0, 640, 480);
  ASSERT_EQ(QuarnSetOutputWindow(h(), 0, 0, 120, 90), QUARN_OK);
  ASSERT_EQ(QuarnSetScanMode(h(), QUARN_SCAN_FIELD1), QUARN_OK);
  ASSERT_EQ(QuarnCaptureShot(h()), QUARN_OK);
  RecordingDC dc(&window, 24);
  std::vector<uint8_t> dib(768 * 576 * 4);
  uint16_t bits = 0;
  ASSERT_EQ(QuarnGetDisplayBits(dc.get(), 0, 0, 120, 45, &bits, dib.data()), QUARN_OK);
  const auto draws = window.draws();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].width, 120);
  EXPECT_EQ(draws[0].height, 45);
}

TEST_F(Capture, CaptureShotWaitsForAReadBackThroughAWindow) {
  RecordingWindow window(0, 0, 640, 480);
  ASSERT_EQ(QuarnSetOutputWindow(h(), 0, 0, 64, 64), QUARN_OK);
  ASSERT_EQ(QuarnCaptureShot(h()), QUARN_OK);
  // A context without a window (a memory context) cannot show the frame: it stays pending.
  RecordingDC memory(&window, 32);
  memory.raw().window = nullptr;
  std::vector<uint32_t> dib(64 * 64);
  uint16_t bits = 0;
  ASSERT_EQ(QuarnGetDisplayBits(memory.get(), 0, 0, 64, 64, &bits, dib.data()), QUARN_OK);
  EXPECT_EQ(window.drawCount(), 0u);
  RecordingDC dc(&window, 32);
  ASSERT_EQ(QuarnGetDisplayBits(dc.get(), 0, 0, 64, 64, &bits, dib.data()), QUARN_OK);
  EXPECT_EQ(window.drawCount(), 1u);
}

TEST_F(Capture, CaptureShotDuringLiveVideoIsDrawnAtOnce) {
  ASSERT_EQ(QuarnCaptureEx(h(), window_.host(), 1), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return window_.drawCount() >= 1; }));
  ASSERT_EQ(QuarnCaptureShot(h()), QUARN_OK);
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);
  const auto draws = window_.draws();
  EXPECT_TRUE(std::any_of(draws.begin(), draws.end(), [](const RecordingWindow::Draw& draw) {
    return draw.thread == std::this_thread::get_id();
  })) << "the shot is drawn by the caller through the live window";
}

// Known pixels on the window, read back at each display depth.
class ReadBack : public contract::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    // Top row: white, black, red, green, blue; bottom row: a mixed colour everywhere.
    const uint32_t top[] = {0xFFFFFF, 0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    for (int x = 0; x < 5; ++x) {
      window_.SetPixel(x, 0, top[x]);
      window_.SetPixel(x, 1, 0x123456);
    }
  }

  // Reads the 5 x 2 area at `depth`; the bitmap is followed by guard bytes that must survive.
  std::vector<uint8_t> Read(int depth, size_t stride) {
    RecordingDC dc(&window_, depth);
    std::vector<uint8_t> dib(stride * 2 + 32, 0xAB);
    uint16_t bits = 0;
    EXPECT_EQ(QuarnGetDisplayBits(dc.get(), 0, 0, 5, 2, &bits, dib.data()), QUARN_OK);
    EXPECT_EQ(bits, depth);
    for (size_t i = stride * 2; i < dib.size(); ++i) {
      EXPECT_EQ(dib[i], 0xAB) << "depth " << depth << " wrote past its bitmap";
    }
    return dib;
  }

  RecordingWindow window_{0, 0, 8, 8};
};

TEST_F(ReadBack, Depth24IsBgrWithPaddedBottomUpRows) {
  const auto dib = Read(24, 16);
  // Row 0 is the bottom row (0x123456), row 1 (from byte 16) the top row.
  EXPECT_EQ(dib[0], 0x56);
  EXPECT_EQ(dib[1], 0x34);
  EXPECT_EQ(dib[2], 0x12);
  const uint8_t top[] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0};
  for (size_t i = 0; i < 15; ++i) EXPECT_EQ(dib[16 + i], top[i]) << "byte " << i;
}

TEST_F(ReadBack, Depth32IsBgrx) {
  const auto dib = Read(32, 20);
  EXPECT_EQ(dib[20 + 8], 0x00);   // red pixel: B
  EXPECT_EQ(dib[20 + 9], 0x00);   // G
  EXPECT_EQ(dib[20 + 10], 0xFF);  // R
  EXPECT_EQ(dib[0], 0x56);
  EXPECT_EQ(dib[2], 0x12);
}

uint16_t Word(const std::vector<uint8_t>& dib, size_t at) {
  return static_cast<uint16_t>(dib[at] | (dib[at + 1] << 8));
}

TEST_F(ReadBack, Depth16IsRgb565AndDepth15IsRgb555) {
  const auto d16 = Read(16, 12);
  EXPECT_EQ(Word(d16, 12 + 0), 0xFFFF);
  EXPECT_EQ(Word(d16, 12 + 2), 0x0000);
  EXPECT_EQ(Word(d16, 12 + 4), 0xF800);
  EXPECT_EQ(Word(d16, 12 + 6), 0x07E0);
  EXPECT_EQ(Word(d16, 12 + 8), 0x001F);
  const auto d15 = Read(15, 12);
  EXPECT_EQ(Word(d15, 12 + 0), 0x7FFF);
  EXPECT_EQ(Word(d15, 12 + 4), 0x7C00);
  EXPECT_EQ(Word(d15, 12 + 6), 0x03E0);
  EXPECT_EQ(Word(d15, 12 + 8), 0x001F);
}

TEST_F(ReadBack, Depth8IsGreyLuma) {
  const auto dib = Read(8, 8);
  EXPECT_EQ(dib[8 + 0], 255);
  EXPECT_EQ(dib[8 + 1], 0);
  // Luma weights green most, then red, then blue.
  EXPECT_GT(dib[8 + 3], dib[8 + 2]);
  EXPECT_GT(dib[8 + 2], dib[8 + 4]);
  EXPECT_GT(dib[8 + 4], 0);
}

TEST_F(ReadBack, BadArgumentsWriteNothing) {
  RecordingDC dc(&window_, 32);
  std::vector<uint32_t> dib(16, 0xABABABABu);
  uint16_t bits = 7;
  auto call = [&](const QuarnHostDC* context, int w, int hgt, uint16_t* count, void* out) {
    return QuarnGetDisplayBits(context, 0, 0, w, hgt, count, out);
  };
  EXPECT_EQ(call(nullptr, 2, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(call(dc.get(), 2, 2, nullptr, dib.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(call(dc.get(), 2, 2, &bits, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(call(dc.get(), 0, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(call(dc.get(), 2, 0, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(call(dc.get(), 769, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(call(dc.get(), 2, 577, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  RecordingDC noDepth(&window_, 32);
  noDepth.raw().GetDepth = nullptr;
  EXPECT_EQ(call(noDepth.get(), 2, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  RecordingDC noRead(&window_, 32);
  noRead.raw().ReadPixels = nullptr;
  EXPECT_EQ(call(noRead.get(), 2, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  // A context, or its window, whose size is below the oldest contract.
  RecordingDC small(&window_, 32);
  small.raw().size = static_cast<uint32_t>(QUARN_HOST_DC_SIZE_1 - 1);
  EXPECT_EQ(call(small.get(), 2, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  QuarnHostWindow unsized = *window_.host();
  unsized.size = 0;
  RecordingDC onUnsized(&window_, 32);
  onUnsized.raw().window = &unsized;
  EXPECT_EQ(call(onUnsized.get(), 2, 2, &bits, dib.data()), QUARN_ERR_BAD_PARAMETER);
  RecordingDC failing(&window_, 32);
  failing.FailReads();
  EXPECT_EQ(call(failing.get(), 2, 2, &bits, dib.data()), QUARN_ERR_NO_WINDOW);
  RecordingDC oddDepth(&window_, 12);
  EXPECT_NE(call(oddDepth.get(), 2, 2, &bits, dib.data()), QUARN_OK);
  EXPECT_EQ(bits, 7) << "a failed read-back must not write the depth";
  for (uint32_t word : dib) EXPECT_EQ(word, 0xABABABABu);
}

// ---- Process exit -------------------------------------------------------------------------

void RemoveStateFolder() {
  if (const char* folder = std::getenv("QUARN_SIM_STATE_DIR")) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
}

// Starts live video on card 1 and a snap on card 2 that both write into a static buffer of this
// program, then exits without stopping either.
void ExitWhileDelivering() {
  std::atexit(RemoveStateFolder);  // runs last: registered before anything else here
  // Destroyed last: gives threads that outlive the buffer below time to write into it.
  struct Linger {
    ~Linger() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }
  };
  static Linger linger;
  // Destroyed by exit() after the library's exit handler, since it exists before the first start.
  static std::vector<uint32_t> sink(4096);
  static std::atomic<int> delivered{0};
  setenv("QUARN_SIM_PACING", "0", 1);
  QUARN_HANDLE live = 0, snap = 0;
  if (BeginQuarnCard(1, &live) != QUARN_OK || BeginQuarnCard(2, &snap) != QUARN_OK) std::exit(3);
  static QuarnHostWindow window{
      sizeof(QuarnHostWindow), nullptr, [](void*, QuarnRect*) { return 0; },
      [](void*, int32_t, int32_t, int32_t width, int32_t, const uint32_t* pixels, size_t) {
        sink[static_cast<size_t>(width) % sink.size()] = pixels[0];
        ++delivered;
      },
      nullptr};
  if (QuarnCaptureEx(live, &window, 1) != QUARN_OK) std::exit(4);
  const auto callback = [](QuarnSnapInfo* info) {
    sink[info->frameNumber % sink.size()] = info->slot;
    ++delivered;
    return 1;
  };
  if (QuarnOpenSnapEx(snap, callback, nullptr) != QUARN_OK) std::exit(5);
  if (QuarnStartSnapEx(snap, 0, 1, 2) != QUARN_OK) std::exit(6);
  if (!WaitFor([] { return delivered >= 10; })) std::exit(7);
  std::exit(0);
}

// Fault: worker threads left running while exit() destroys static objects (the program's and the
// library's) crash at random after main returns; under AddressSanitizer the write into the
// destroyed buffer is reported.
TEST(Exit, ExitingWhileLiveVideoAndSnapRunIsClean) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ExitWhileDelivering(), testing::ExitedWithCode(0), "");
}

}  // namespace
