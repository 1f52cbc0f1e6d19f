// acquisition.cpp - live video, continuous snap, capture shot, snap shot and display read-back of
// the simulated cards, with their worker threads.
#include "acquisition.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <stop_token>
#include <utility>

#include "cards.h"
#include "pixels.h"
#include "staticmem.h"

namespace quarnsim {
namespace {

using Mode = Acquisition::Mode;

// The card whose worker the calling thread is (null on every other thread).
thread_local const Card* t_workerCard = nullptr;

// A frame frozen by QuarnCaptureShot while live video was off, drawn by the next
// QuarnGetDisplayBits of the process.
struct PendingShot {
  uint32_t handle = 0;
  int screenX = 0, screenY = 0, width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows `width` words apart
};

struct PendingShots {
  // Protects shots.
  std::mutex mutex;
  std::vector<PendingShot> shots;
};

// constinit: usable from worker threads until the very end of the process (see cards.cpp).
constinit PendingShots g_pending;

// The members of a host's window that its size covers, for keeping: a member beyond the size
// stays null (a host built before WritePixels existed is drawn through DrawPixels), and nothing
// past the size is read. False when the size is below the oldest contract.
bool ReadHostWindow(const QuarnHostWindow& host, QuarnHostWindow& out) {
  if (host.size < QUARN_HOST_WINDOW_SIZE_1) return false;
  out = QuarnHostWindow{};
  out.size = static_cast<uint32_t>(std::min<size_t>(host.size, sizeof(QuarnHostWindow)));
  out.context = host.context;
  out.GetClientRect = host.GetClientRect;
  out.DrawPixels = host.DrawPixels;
  if (QUARN_HOST_COVERS(&host, QuarnHostWindow, WritePixels)) out.WritePixels = host.WritePixels;
  return true;
}

void DropPendingShot(uint32_t handle) {
  std::lock_guard lock(g_pending.mutex);
  std::erase_if(g_pending.shots,
                [handle](const PendingShot& shot) { return shot.handle == handle; });
}

// Paces a sequence of frames at the standard's frame rate on the steady clock, unless pacing is
// off. A wait ends early when stop is requested.
class Pacer {
 public:
  explicit Pacer(bool enabled) : enabled_(enabled) {}

  uint32_t late() const { return late_; }

  void Wait(const std::stop_token& stop, int standard) {
    if (!enabled_) return;
    using std::chrono::nanoseconds;
    const auto period = standard == QUARN_STANDARD_NTSC ? nanoseconds(1'000'000'000 / 30)
                                                        : nanoseconds(1'000'000'000 / 25);
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
      next_ = now;
      started_ = true;
    }
    next_ += period;
    // A host too slow for the frame rate drops frames instead of delivering a burst later.
    if (next_ + period < now) {
      next_ = now;
      ++late_;
    }
    std::unique_lock lock(mutex_);
    cv_.wait_until(lock, stop, next_, [] { return false; });
  }

 private:
  bool enabled_;
  bool started_ = false;
  std::chrono::steady_clock::time_point next_{};
  uint32_t late_ = 0;  // frame periods given up because a frame came too late
  std::mutex mutex_;   // protects nothing: the condition variable's wait needs a lock
  std::condition_variable_any cv_;
};

// Reports a worker's delivered frame rate on stderr when QUARN_SIM_STATS=1 (diagnostics for
// measuring many cards at once).
class FrameStats {
 public:
  FrameStats(const Card& card, const char* what)
      : card_(card), what_(what), start_(std::chrono::steady_clock::now()) {}
  void Count() { ++frames_; }
  void Report(uint32_t late) const {
    if (!card_.settings().stats) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "quarn-sim: card %d %s: %u frames in %.2f s, %.2f frames/s, %u late\n",
                 card_.number(), what_, frames_, seconds, seconds > 0 ? frames_ / seconds : 0.0,
                 late);
  }

 private:
  const Card& card_;
  const char* what_;
  std::chrono::steady_clock::time_point start_;
  uint32_t frames_ = 0;
};

// A lock on a range of static memory, released by the destructor.
class StaticMemRange {
 public:
  StaticMemRange(uint64_t offset, uint64_t size)
      : status_(StaticMemLock(offset, size, &lock_, &address_)) {}
  ~StaticMemRange() {
    if (status_ == QUARN_OK) StaticMemUnlock(lock_);
  }
  StaticMemRange(const StaticMemRange&) = delete;
  StaticMemRange& operator=(const StaticMemRange&) = delete;

  int status() const { return status_; }
  uint8_t* data() const { return static_cast<uint8_t*>(address_); }

 private:
  uint32_t lock_ = 0;
  void* address_ = nullptr;
  int status_;
};

// Starts a worker thread running body(card, stop token). The thread marks itself as the card's
// worker, so that calls from its callbacks and draws are recognised as coming from inside.
template <typename Body>
Worker StartWorker(const std::shared_ptr<Card>& card, Body body) {
  Worker worker;
  worker.finished = std::make_shared<std::atomic<bool>>(false);
  worker.thread = std::jthread(
      [card, finished = worker.finished, body = std::move(body)](std::stop_token stop) mutable {
        t_workerCard = card.get();
        try {
          body(*card, stop);
        } catch (...) {
          // Out of memory for a frame buffer: this worker stops delivering; it must not take
          // the process down from a thread the program does not know about.
        }
        finished->store(true);
      });
  return worker;
}

// With acquisition.mutex held: tells the running worker to stop and returns the threads to join
// outside the lock; from inside a delivery nothing is returned (the threads join later).
std::vector<Worker> StopLocked(Acquisition& acquisition, bool inside) {
  if (acquisition.worker.thread.joinable()) {
    acquisition.worker.thread.request_stop();
    acquisition.retired.push_back(std::move(acquisition.worker));
    acquisition.worker = Worker{};
  }
  acquisition.mode = Mode::kIdle;
  if (inside) return {};
  return std::exchange(acquisition.retired, {});
}

// With `lock` on acquisition.mutex, from outside any delivery: joins the threads that were told to
// stop from inside a delivery, releasing the lock meanwhile (their last callback may call in).
void JoinRetired(std::unique_lock<std::mutex>& lock, Acquisition& acquisition) {
  std::vector<Worker> retired = std::exchange(acquisition.retired, {});
  if (retired.empty()) return;
  lock.unlock();
  JoinWorkers(retired);
  lock.lock();
}

void RunLive(Card& card, const std::stop_token& stop) {
  Pacer pacer(card.settings().pacing);
  FrameStats stats(card, "live video");
  std::vector<uint8_t> frame;
  std::vector<uint32_t> pixels;
  while (!stop.stop_requested()) {
    FrameGeometry geometry;
    {
      std::lock_guard deliver(card.acquisition.deliverMutex);
      if (stop.stop_requested()) break;
      geometry = card.LiveGeometry();
      if (geometry.frameBytes > 0) {
        frame.resize(geometry.frameBytes);
        card.RenderFrame(geometry, frame.data());
        QuarnHostWindow window;
        {
          std::lock_guard lock(card.acquisition.mutex);
          window = card.acquisition.window;
        }
        QuarnRect client{};
        // A window that can no longer be drawn on skips frames until it can again.
        if (window.GetClientRect(window.context, &client) == 0) {
          if (window.WritePixels != nullptr) {
            // Converted straight into the host's picture, only where the window shows it.
            XrgbSource source{frame.data(), geometry.format, geometry.width,
                              geometry.deliveredLines};
            window.WritePixels(window.context, geometry.screenX, geometry.screenY, geometry.width,
                               geometry.deliveredLines, WriteXrgbPart, &source);
          } else {
            pixels.resize(static_cast<size_t>(geometry.width) *
                          static_cast<size_t>(geometry.deliveredLines));
            const size_t stride = static_cast<size_t>(geometry.width) * sizeof(uint32_t);
            FrameToXrgb(frame.data(), geometry.format, geometry.width, geometry.deliveredLines,
                        pixels.data(), stride);
            window.DrawPixels(window.context, geometry.screenX, geometry.screenY, geometry.width,
                              geometry.deliveredLines, pixels.data(), stride);
          }
          stats.Count();
        }
      }
    }
    if (card.settings().pacing) {
      pacer.Wait(stop, geometry.standard);
    } else {
      std::this_thread::yield();
    }
  }
  stats.Report(pacer.late());
}

struct SnapRun {
  FrameGeometry geometry;
  uint64_t offset = 0;
  uint16_t slots = 1;
  QuarnSnapCallback callback = nullptr;
  void* context = nullptr;
};

void RunSnap(Card& card, const std::stop_token& stop, const SnapRun& run) {
  Pacer pacer(card.settings().pacing);
  FrameStats stats(card, "snap");
  const uint64_t frameBytes = run.geometry.frameBytes;
  uint32_t frameNumber = 0;
  while (!stop.stop_requested()) {
    {
      std::lock_guard deliver(card.acquisition.deliverMutex);
      if (stop.stop_requested()) break;
      const uint32_t slot = frameNumber % run.slots;
      bool stored = false;
      {
        // Another process may have shrunk the reservation after a restart; then frames are
        // dropped rather than written anywhere else.
        StaticMemRange range(run.offset + slot * frameBytes, frameBytes);
        if (range.status() == QUARN_OK) {
          card.RenderFrame(run.geometry, range.data());
          stored = true;
        }
      }
      if (stored) {
        QuarnSnapInfo info{};
        info.cardNumber = static_cast<uint32_t>(card.number());
        info.frameNumber = frameNumber;
        info.slot = slot;
        info.context = run.context;
        run.callback(&info);
        ++frameNumber;
        stats.Count();
      }
    }
    if (card.settings().pacing) {
      pacer.Wait(stop, card.standard());
    } else {
      std::this_thread::yield();
    }
  }
  stats.Report(pacer.late());
}

bool ValidDepth(int depth) {
  return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

}  // namespace

void JoinWorkers(std::vector<Worker>& workers) {
  for (auto& worker : workers) {
    if (!worker.thread.joinable()) continue;
    if (worker.thread.get_id() == std::this_thread::get_id()) {
      // Only at process exit called from a callback: this thread is running the exit itself.
      worker.thread.detach();
    } else {
      worker.thread.join();
    }
  }
  workers.clear();
}

bool CalledFromDelivery(const Card& card) {
  return t_workerCard == &card;
}

int CaptureEx(const std::shared_ptr<Card>& card, const QuarnHostWindow* window, int on) {
  Acquisition& acquisition = card->acquisition;
  const bool inside = CalledFromDelivery(*card);
  if (on == 0) {
    std::unique_lock lock(acquisition.mutex);
    std::vector<Worker> workers;
    if (acquisition.mode == Mode::kLive) {
      workers = StopLocked(acquisition, inside);
    } else if (!inside) {
      // Already off; a draw stopped from inside may still be finishing: wait for it too.
      workers = std::exchange(acquisition.retired, {});
    }
    lock.unlock();
    JoinWorkers(workers);
    return QUARN_OK;
  }

  QuarnHostWindow host{};
  if (window == nullptr || !ReadHostWindow(*window, host) || host.GetClientRect == nullptr ||
      host.DrawPixels == nullptr) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  std::unique_lock lock(acquisition.mutex);
  if (!inside) JoinRetired(lock, acquisition);
  if (acquisition.mode == Mode::kSnap || acquisition.snapShotRunning) return QUARN_ERR_BUSY;
  acquisition.window = host;
  if (acquisition.mode == Mode::kLive) return QUARN_OK;  // switched to the new window
  if (!MayStartWorker()) return QUARN_ERR_GENERAL;
  acquisition.worker =
      StartWorker(card, [](Card& self, const std::stop_token& stop) { RunLive(self, stop); });
  acquisition.mode = Mode::kLive;
  return QUARN_OK;
}

int OpenSnap(Card& card, QuarnSnapCallback callback, void* context) {
  if (callback == nullptr) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(card.acquisition.mutex);
  if (card.acquisition.snapOpen) return QUARN_ERR_SNAP_STATE;
  card.acquisition.snapOpen = true;
  card.acquisition.callback = callback;
  card.acquisition.context = context;
  return QUARN_OK;
}

namespace {

// Stops a running snap (and with `close` also closes it); waits for the worker unless called from
// inside one of the card's callbacks.
int EndSnap(Card& card, bool close) {
  Acquisition& acquisition = card.acquisition;
  const bool inside = CalledFromDelivery(card);
  std::unique_lock lock(acquisition.mutex);
  if (!acquisition.snapOpen) return QUARN_ERR_SNAP_STATE;
  std::vector<Worker> workers;
  if (acquisition.mode == Mode::kSnap) {
    workers = StopLocked(acquisition, inside);
  } else if (!inside) {
    // Already stopped; a worker stopped from inside may still be finishing: wait for it too.
    workers = std::exchange(acquisition.retired, {});
  }
  if (close) {
    acquisition.snapOpen = false;
    acquisition.callback = nullptr;
    acquisition.context = nullptr;
  }
  lock.unlock();
  JoinWorkers(workers);
  return QUARN_OK;
}

}  // namespace

int StopSnap(Card& card) {
  return EndSnap(card, /*close=*/false);
}

int CloseSnap(Card& card) {
  return EndSnap(card, /*close=*/true);
}

int StartSnap(const std::shared_ptr<Card>& card, uint64_t offset, int interline, uint16_t slots) {
  Acquisition& acquisition = card->acquisition;
  const bool inside = CalledFromDelivery(*card);
  std::unique_lock lock(acquisition.mutex);
  if (!inside) JoinRetired(lock, acquisition);
  if (!acquisition.snapOpen) return QUARN_ERR_SNAP_STATE;
  if (slots == 0) return QUARN_ERR_BAD_PARAMETER;
  if (acquisition.mode == Mode::kSnap) return QUARN_ERR_SNAP_STATE;
  if (acquisition.mode == Mode::kLive || acquisition.snapShotRunning) return QUARN_ERR_BUSY;

  SnapRun run;
  run.geometry = card->StoredGeometry(interline);
  run.offset = offset;
  run.slots = slots;
  run.callback = acquisition.callback;
  run.context = acquisition.context;
  if (run.geometry.frameBytes == 0) return QUARN_ERR_BAD_PARAMETER;  // a field of a 1-line window
  const uint64_t ringBytes = run.geometry.frameBytes * slots;
  {
    // The whole ring must lie in the reservation before anything starts.
    StaticMemRange ring(offset, ringBytes);
    if (ring.status() != QUARN_OK) return ring.status();
  }
  StaticMemTagFrames(offset, ringBytes, run.geometry.format);
  if (!MayStartWorker()) return QUARN_ERR_GENERAL;
  acquisition.worker = StartWorker(
      card, [run](Card& self, const std::stop_token& stop) { RunSnap(self, stop, run); });
  acquisition.mode = Mode::kSnap;
  return QUARN_OK;
}

int CaptureShot(Card& card) {
  const FrameGeometry geometry = card.LiveGeometry();
  if (geometry.frameBytes == 0) return QUARN_OK;  // a field of a 1-line window shows nothing
  std::vector<uint8_t> frame(geometry.frameBytes);
  card.RenderFrame(geometry, frame.data());
  PendingShot shot;
  shot.handle = card.handle();
  shot.screenX = geometry.screenX;
  shot.screenY = geometry.screenY;
  shot.width = geometry.width;
  shot.height = geometry.deliveredLines;
  shot.pixels.resize(static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height));
  const size_t stride = static_cast<size_t>(shot.width) * sizeof(uint32_t);
  FrameToXrgb(frame.data(), geometry.format, shot.width, shot.height, shot.pixels.data(), stride);

  QuarnHostWindow window{};
  bool live = false;
  {
    std::lock_guard lock(card.acquisition.mutex);
    live = card.acquisition.mode == Mode::kLive;
    if (live) window = card.acquisition.window;
  }
  if (live) {
    window.DrawPixels(window.context, shot.screenX, shot.screenY, shot.width, shot.height,
                      shot.pixels.data(), stride);
    return QUARN_OK;
  }
  std::lock_guard lock(g_pending.mutex);
  std::erase_if(g_pending.shots,
                [&shot](const PendingShot& other) { return other.handle == shot.handle; });
  g_pending.shots.push_back(std::move(shot));
  return QUARN_OK;
}

int SnapShot(Card& card, uint64_t offset, int interline, uint16_t count) {
  Acquisition& acquisition = card.acquisition;
  {
    std::lock_guard lock(acquisition.mutex);
    if (acquisition.mode != Mode::kIdle || acquisition.snapShotRunning) return QUARN_ERR_BUSY;
    if (count == 0) return QUARN_OK;
    acquisition.snapShotRunning = true;
  }
  struct ClearRunning {
    Acquisition& acquisition;
    ~ClearRunning() {
      std::lock_guard lock(acquisition.mutex);
      acquisition.snapShotRunning = false;
    }
  } clearRunning{acquisition};

  const FrameGeometry geometry = card.StoredGeometry(interline);
  if (geometry.frameBytes == 0) return QUARN_ERR_BAD_PARAMETER;
  const uint64_t totalBytes = geometry.frameBytes * count;
  StaticMemRange range(offset, totalBytes);
  if (range.status() != QUARN_OK) return range.status();
  Pacer pacer(card.settings().pacing);
  const std::stop_token never;  // a snap shot is not interrupted
  for (uint16_t k = 0; k < count; ++k) {
    if (k > 0) pacer.Wait(never, geometry.standard);
    card.RenderFrame(geometry, range.data() + k * geometry.frameBytes);
  }
  StaticMemTagFrames(offset, totalBytes, geometry.format);
  return QUARN_OK;
}

std::vector<Worker> EndAcquisition(Card& card) {
  Acquisition& acquisition = card.acquisition;
  std::vector<Worker> workers;
  {
    std::lock_guard lock(acquisition.mutex);
    workers = StopLocked(acquisition, /*inside=*/false);
    acquisition.snapOpen = false;
    acquisition.callback = nullptr;
    acquisition.context = nullptr;
  }
  DropPendingShot(card.handle());
  return workers;
}

void StopForExit(Card& card) {
  std::vector<Worker> workers;
  {
    std::lock_guard lock(card.acquisition.mutex);
    workers = StopLocked(card.acquisition, /*inside=*/false);
  }
  JoinWorkers(workers);
}

int GetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height, uint16_t* bitCount,
                   void* pixels) {
  if (dc == nullptr || dc->size < QUARN_HOST_DC_SIZE_1 || dc->GetDepth == nullptr ||
      dc->ReadPixels == nullptr || bitCount == nullptr || pixels == nullptr) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  QuarnHostWindow window{};
  if (dc->window != nullptr && !ReadHostWindow(*dc->window, window)) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  // The callers' display buffer holds 768 x 576 pixels of 4 bytes at most.
  if (width < 1 || width > kMaxWidth || height < 1 || height > kMaxHeight) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  const int depth = dc->GetDepth(dc->context);
  if (!ValidDepth(depth)) return QUARN_ERR_GENERAL;

  if (window.DrawPixels != nullptr) {
    std::vector<PendingShot> shots;
    {
      std::lock_guard lock(g_pending.mutex);
      shots = std::exchange(g_pending.shots, {});
    }
    for (const auto& shot : shots) {
      window.DrawPixels(window.context, shot.screenX, shot.screenY, shot.width, shot.height,
                        shot.pixels.data(), static_cast<size_t>(shot.width) * sizeof(uint32_t));
    }
  }

  const size_t stride = static_cast<size_t>(width) * sizeof(uint32_t);
  std::vector<uint32_t> shown(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (dc->ReadPixels(dc->context, x, y, width, height, shown.data(), stride) != 0) {
    return QUARN_ERR_NO_WINDOW;
  }
  if (!XrgbToDib(shown.data(), stride, width, height, depth, static_cast<uint8_t*>(pixels))) {
    return QUARN_ERR_GENERAL;
  }
  *bitCount = static_cast<uint16_t>(depth);
  return QUARN_OK;
}

}  // namespace quarnsim
