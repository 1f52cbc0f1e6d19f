// fake_world.h - inside the recording capture library: the one shared state (call log, scripts,
// cards, static memory) and the per-call entry helper the C operations are written with.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quarnfake.h"

namespace quarnfake::internal {

// An anonymous private mapping holding a static-memory reservation; unmapped by the destructor.
class Mapping {
 public:
  // Maps `size` bytes (size > 0); ok() tells whether it worked.
  explicit Mapping(uint64_t size);
  ~Mapping();
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  bool ok() const { return data_ != nullptr; }
  uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }
  bool Contains(const void* p) const;

 private:
  uint8_t* data_ = nullptr;
  uint64_t size_ = 0;
};

struct MemLock {
  uint64_t offset = 0;
  uint64_t size = 0;
  std::shared_ptr<Mapping> mapping;  // keeps the memory alive while the lock is held
};

struct FrameTag {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  int format = 0;
};

struct Rule {
  std::optional<int> standing;
  std::deque<int> queue;
};

struct CardWorld {
  std::bitset<kSourceCount> signals{1};  // flat source 0 only
  CardState state;
  std::vector<uint8_t> mask;  // kMaxWidth x kMaxHeight flags, made at the first masked pixel
};

inline constexpr int kMaxWidth = QUARN_PAL_WIDTH;
inline constexpr int kMaxHeight = QUARN_PAL_HEIGHT;

struct World {
  // Guards every member below. Held for the whole body of each C operation and each control
  // function, never while a snap callback or a host-window function runs.
  std::mutex mutex;

  std::vector<Call> calls;
  uint64_t nextSeq = 1;
  // (operation, card or 0); the names are the static ones of Operations().
  std::map<std::pair<std::string_view, int>, Rule> rules;
  std::map<const void*, std::string> names;
  // Run as a call of the operation is recorded (see OnCall).
  std::map<std::string, std::function<void()>, std::less<>> hooks;

  int cardCount = kDefaultCardCount;
  std::vector<CardWorld> cards = std::vector<CardWorld>(kMaxCards);  // index card - 1

  int pagesInForce = kDefaultStaticMemPages;
  std::optional<int> pendingPages;
  std::shared_ptr<Mapping> memory;  // made lazily; null until first needed
  std::map<uint32_t, MemLock> locks;
  uint32_t nextLock = 1;
  std::vector<FrameTag> tags;  // newest last

  int displayDepth = kDefaultDisplayDepth;
  uint8_t displaySeed = 0;

  // Everything back to the defaults (the caller holds the mutex).
  void ResetLocked();
  // The card's world for 1 <= card <= kMaxCards, else null.
  CardWorld* CardAt(int card);
  // The open card a handle names, else null.
  CardWorld* OpenCard(QUARN_HANDLE handle);
  uint64_t ReservationBytes() const {
    return static_cast<uint64_t>(pagesInForce) * QUARN_PAGE_SIZE;
  }
  // True when [offset, offset + size) lies inside the reservation (overflow-safe).
  bool InReservation(uint64_t offset, uint64_t size) const;
  // The mapping of the reservation in force, made on first use; null when it cannot be made or
  // the reservation is empty.
  Mapping* Memory();
  // Static-memory offset of an address inside the mapping in force, else -1.
  int64_t OffsetOf(const void* p) const;
  void Tag(uint64_t offset, uint64_t bytes, int format);
  // The newest tag covering `offset`, if any.
  std::optional<int> TagAt(uint64_t offset) const;
  // The status scripted for this call, or 0 for "behave normally"; consumes a queue entry.
  int ScriptedStatus(std::string_view op, int card);
  std::string Format(const Call& call) const;
};

World& TheWorld();

// Returns the name as a static string_view when `op` is an operation of the library.
std::optional<std::string_view> KnownOperation(std::string_view op);

// Prints a message naming the misuse of the control functions and aborts the test program.
[[noreturn]] void Misuse(const std::string& message);

inline Arg IntArg(int64_t v) {
  return Arg{Arg::Kind::kInt, static_cast<uint64_t>(v), -1};
}
inline Arg UnsignedArg(uint64_t v) {
  return Arg{Arg::Kind::kUnsigned, v, -1};
}
inline Arg HandleArg(QUARN_HANDLE h) {
  return Arg{Arg::Kind::kHandle, h, -1};
}
inline Arg PointerArg(const void* p) {
  return Arg{Arg::Kind::kPointer, reinterpret_cast<uintptr_t>(p), -1};
}
template <typename Fn>
Arg FunctionArg(Fn* fn) {
  return Arg{Arg::Kind::kPointer, reinterpret_cast<uintptr_t>(fn), -1};
}

// One C operation in progress: locks the world, records the call (with the card it concerns) and
// answers the script; Done() stores the status returned.
class Entry {
 public:
  Entry(std::string_view op, int card, QUARN_HANDLE handle, std::initializer_list<Arg> args);
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  // The scripted status for this call, 0 when it runs normally.
  int scripted() const { return scripted_; }
  int Done(int status);
  World& world() { return world_; }
  // The open card this call's handle names, else null.
  CardWorld* card();

 private:
  World& world_;
  std::unique_lock<std::mutex> lock_;
  size_t index_;
  QUARN_HANDLE handle_;
  int scripted_ = 0;
};

// Runs the body of a C operation; nothing thrown (only allocation can throw here) crosses the C
// interface.
template <typename Body>
int Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return QUARN_ERR_NO_MEMORY;
  }
}

// A per-card operation: records, answers the script, rejects a handle of no open card, then runs
// `apply(card, world)`, which returns the status.
template <typename Apply>
int CardOp(std::string_view op, QUARN_HANDLE handle, std::initializer_list<Arg> args,
           Apply&& apply) noexcept {
  return Guarded([&] {
    Entry e(op, CardOf(handle), handle, args);
    if (e.scripted() != 0) return e.Done(e.scripted());
    CardWorld* c = e.card();
    if (c == nullptr) return e.Done(QUARN_ERR_BAD_HANDLE);
    return e.Done(apply(*c, e.world()));
  });
}

}  // namespace quarnfake::internal
