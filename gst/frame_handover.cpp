// frame_handover.cpp - the snap callback's hand-over of ring slots to the streaming thread.
#include "frame_handover.h"

#include <algorithm>

CFrameHandOver::CFrameHandOver(uint32_t ringSlots) : ringSlots_(std::max<uint32_t>(ringSlots, 2)) {}

void CFrameHandOver::Restart(uint32_t ringSlots) {
  std::lock_guard lock(mutex_);
  ringSlots_ = std::max<uint32_t>(ringSlots, 2);
  queue_.clear();
  latest_ = 0;
}

void CFrameHandOver::Deliver(const Frame& frame) {
  {
    std::lock_guard lock(mutex_);
    ++delivered_;
    latest_ = frame.frameNumber;
    if (paused_) return;
    // Frame numbers count up by one per stored frame (wrapping at 2^32, as unsigned differences
    // do): once this callback returns, the library writes over the frame ringSlots_ - 1 older.
    while (!queue_.empty() && frame.frameNumber - queue_.front().frameNumber >= ringSlots_ - 1) {
      queue_.pop_front();
      ++dropped_;
    }
    queue_.push_back(frame);
  }
  ready_.notify_one();
}

bool CFrameHandOver::Take(Frame& frame) {
  std::unique_lock lock(mutex_);
  ready_.wait(lock, [this] { return flushing_ || !queue_.empty(); });
  if (flushing_) return false;
  frame = queue_.front();
  queue_.pop_front();
  return true;
}

bool CFrameHandOver::Overwritten(const Frame& frame) {
  std::lock_guard lock(mutex_);
  // The library has delivered up to latest_ and may be writing latest_ + 1, whose slot held
  // latest_ + 1 - ringSlots_: the copied frame is intact while it is newer than that.
  if (latest_ - frame.frameNumber < ringSlots_ - 1) return false;
  ++dropped_;
  return true;
}

void CFrameHandOver::SetFlushing(bool flushing) {
  {
    std::lock_guard lock(mutex_);
    flushing_ = flushing;
    if (!flushing) queue_.clear();
  }
  ready_.notify_all();
}

void CFrameHandOver::SetPaused(bool paused) {
  std::lock_guard lock(mutex_);
  paused_ = paused;
  if (paused) queue_.clear();
}

uint64_t CFrameHandOver::Delivered() const {
  std::lock_guard lock(mutex_);
  return delivered_;
}

uint64_t CFrameHandOver::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}
