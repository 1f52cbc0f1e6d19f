// snap_context.h - what the capture library's snap callback is given as its context, and who
// owns it.
//
// The library keeps the context pointer from QuarnOpenSnapEx until it confirms that no callback
// can come any more: QuarnCloseSnapEx or EndQuarnCard returned 0. Until then the context must stay
// valid, even when the window or the card object it leads to has gone (a close that failed, a card
// that would not end). So the context is a small object of its own that leads to its target only
// while the target is attached: the callback visits the target under a shared lock, and Detach
// (user-interface thread) waits for a visit in flight and makes every later visit do nothing. A
// context the library was given and never let go of is kept until the process ends.
#pragma once

#include <memory>
#include <mutex>
#include <shared_mutex>

class CSnapContext {
 public:
  explicit CSnapContext(void* target) : target_(target) {}
  CSnapContext(const CSnapContext&) = delete;
  CSnapContext& operator=(const CSnapContext&) = delete;

  // Runs `visit` with the target while it is attached; nothing once detached. Any thread. The
  // visit must not wait for the thread that detaches (it never waits for the UI thread).
  template <typename Target, typename Visit>
  void VisitAs(Visit&& visit) {
    std::shared_lock lock(mutex_);
    if (target_ != nullptr) visit(*static_cast<Target*>(target_));
  }

  // Leads later visits to `target` (null: nowhere); returns when no visit of the old target runs.
  void Attach(void* target) {
    std::unique_lock lock(mutex_);
    target_ = target;
  }
  void Detach() { Attach(nullptr); }

 private:
  // Protects target_: shared for a visit's whole run, exclusive to detach.
  std::shared_mutex mutex_;
  void* target_;
};

// Owns one card's snap context. Give() hands the library a context for the target; Confirm()
// records that the library has let go of it (its snap closed or its card ended). The destructor,
// and Reset, detach the context and free it when the library let go; otherwise it is kept alive
// until the process ends, still detached, because a callback may still come with it.
class CSnapContextOwner {
 public:
  CSnapContextOwner() = default;
  ~CSnapContextOwner() { Reset(); }
  CSnapContextOwner(const CSnapContextOwner&) = delete;
  CSnapContextOwner& operator=(const CSnapContextOwner&) = delete;

  // The context to pass to QuarnOpenSnapEx, leading to `target`. A context still held by the
  // library is reused, so a callback that comes with it reaches the new target too.
  CSnapContext* Give(void* target);
  // The library let go of the context: nothing will come with it any more.
  void Confirm() { given_ = false; }
  // Whether a callback may still come with the context.
  bool Given() const { return given_; }
  // Detaches the context; frees it, or keeps it until the process ends while it is given.
  void Reset();

 private:
  std::unique_ptr<CSnapContext> context_;
  bool given_ = false;
};
