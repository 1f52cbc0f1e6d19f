// acquisition.h - what a simulated card delivers: live video over a host window, continuous snap
// into a ring of static-memory slots, single frames (capture shot, snap shot) and display
// read-back. One worker thread per open card while live video or snap runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "QuarnVidEx.h"
#include "picture.h"

namespace quarnsim {

class Card;

// A card's worker thread with a flag it sets just before it ends, so that a finished thread can be
// joined without waiting.
struct Worker {
  std::jthread thread;
  std::shared_ptr<std::atomic<bool>> finished;
};

// Joins every thread of `workers` that can be joined; never call it from one of them.
void JoinWorkers(std::vector<Worker>& workers);

// Geometry of delivered frames: fixed at the start of a snap or snap shot, taken per frame for
// live video and capture shot.
struct FrameGeometry {
  int format = QUARN_FORMAT_RGB888;
  int width = kMaxWidth;
  int height = kMaxHeight;  // full output height; a field holds height / 2 lines
  Lines lines = Lines::kAll;
  int deliveredLines = kMaxHeight;
  size_t frameBytes = 0;
  int screenX = 0, screenY = 0;  // output window position (live video, capture shot)
  int standard = QUARN_STANDARD_PAL;
};

// Acquisition state of one open card (one handle).
struct Acquisition {
  enum class Mode { kIdle, kLive, kSnap };

  // Protects every member below except deliverMutex.
  std::mutex mutex;
  Mode mode = Mode::kIdle;
  QuarnHostWindow window{};  // live video's window: the members its size covers, copied
  bool snapOpen = false;
  QuarnSnapCallback callback = nullptr;
  void* context = nullptr;
  bool snapShotRunning = false;
  Worker worker;                // the thread serving `mode`
  std::vector<Worker> retired;  // told to stop from inside a delivery, not yet joined

  // Held by a worker around one frame's render and delivery (draw or callback), so that a worker
  // started from inside a callback never delivers while its predecessor's callback still runs.
  std::mutex deliverMutex;
};

// True when the calling thread is one of `card`'s worker threads (a callback or draw of that card
// calls back into the library).
bool CalledFromDelivery(const Card& card);

// The operations of one card; the caller has found the card and checked injected faults.
int CaptureEx(const std::shared_ptr<Card>& card, const QuarnHostWindow* window, int on);
int OpenSnap(Card& card, QuarnSnapCallback callback, void* context);
int CloseSnap(Card& card);
int StartSnap(const std::shared_ptr<Card>& card, uint64_t offset, int interline, uint16_t slots);
int StopSnap(Card& card);
int CaptureShot(Card& card);
int SnapShot(Card& card, uint64_t offset, int interline, uint16_t count);

// Stops live video and snap and closes the snap of a card that is being ended. Returns the threads
// the caller joins; called from inside that card's delivery it returns them unjoined for the
// caller to hand to the registry (the calling thread is one of them).
std::vector<Worker> EndAcquisition(Card& card);

int GetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height, uint16_t* bitCount,
                   void* pixels);

// Stops and joins every worker of `card` at process exit (skipping the calling thread).
void StopForExit(Card& card);

}  // namespace quarnsim
