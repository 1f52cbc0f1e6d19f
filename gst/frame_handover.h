// frame_handover.h - hands the ring slots the capture library fills over from its snap callback to
// the element's streaming thread, and counts what could not be taken in time.
//
// The library fills a ring of N slots one after another and calls the callback once a slot is
// full; when the callback for frame k returns it starts writing frame k + 1 over frame k + 1 - N.
// So frames k - N + 2 .. k are intact after that callback and at most N - 1 frames wait here: a
// frame older than that is being written over, and is dropped. The streaming thread copies a
// slot without any lock held and then asks whether the library may have begun writing over it
// meanwhile (Overwritten): such a copy is dropped too. Nothing is ever queued without bound.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

class CFrameHandOver {
 public:
  // One frame the library stored: the ring slot, its number since the snap started (from 0), and
  // the time it was captured (any unit; the caller's clock).
  struct Frame {
    uint32_t slot = 0;
    uint32_t frameNumber = 0;
    uint64_t captureTime = 0;
  };

  // For a ring of `ringSlots` slots (2 or more).
  explicit CFrameHandOver(uint32_t ringSlots);

  // A new ring of `ringSlots` slots starts (frame numbers from 0 again): forgets the queued frames
  // and the newest frame number; the counts go on. Only while no callback runs (the snap stopped).
  void Restart(uint32_t ringSlots);

  // The library's thread, once per stored frame: queues it, dropping any queued frame the library
  // is about to write over. Never waits for the streaming thread.
  void Deliver(const Frame& frame);

  // The streaming thread: waits for the oldest queued frame and takes it. False when the hand-over
  // is flushing (SetFlushing), at once or while waiting.
  bool Take(Frame& frame);

  // After copying `frame`'s slot: whether the library may have started writing over it before the
  // copy ended. Such a frame is counted as dropped here.
  bool Overwritten(const Frame& frame);

  // Flushing wakes a waiting Take and makes every Take fail until it is turned off again. Turning
  // it off also forgets the queued frames (they are stale after a flush).
  void SetFlushing(bool flushing);

  // While paused (the pipeline is not playing) a delivered frame is counted as handed over and
  // then forgotten: nobody wants it, so it is neither queued nor counted as dropped. Pausing also
  // forgets the queued frames, which would be stale by the time playing resumes.
  void SetPaused(bool paused);

  // Frames handed over in total (Deliver calls) and frames dropped (never taken, or written over
  // while being copied).
  uint64_t Delivered() const;
  uint64_t Dropped() const;

 private:
  uint32_t ringSlots_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Frame> queue_;  // oldest first, at most ringSlots_ - 1
  bool flushing_ = false;
  bool paused_ = false;
  uint32_t latest_ = 0;  // the number of the newest frame delivered
  uint64_t delivered_ = 0;
  uint64_t dropped_ = 0;
};
