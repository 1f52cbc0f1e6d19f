// snap_context.cpp - snap callback contexts and their owners (see snap_context.h).
#include "snap_context.h"

#include <vector>

namespace {

// Contexts a library still holds when their owner went. Reached through a pointer that is never
// freed, so they live as long as the process (and a leak checker sees them as reachable).
struct KeptContexts {
  std::mutex mutex;  // protects contexts
  std::vector<std::unique_ptr<CSnapContext>> contexts;
};

KeptContexts& Kept() {
  static auto* kept = new KeptContexts;
  return *kept;
}

}  // namespace

CSnapContext* CSnapContextOwner::Give(void* target) {
  // A context the library may still hold is never replaced, only led to the new target.
  if (context_ == nullptr) {
    context_ = std::make_unique<CSnapContext>(target);
  } else {
    context_->Attach(target);
  }
  given_ = true;
  return context_.get();
}

void CSnapContextOwner::Reset() {
  if (context_ == nullptr) return;
  context_->Detach();
  if (given_) {
    KeptContexts& kept = Kept();
    std::lock_guard lock(kept.mutex);
    kept.contexts.push_back(std::move(context_));
  }
  context_.reset();
  given_ = false;
}
