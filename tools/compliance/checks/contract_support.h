// contract_support.h - small helpers shared by the contract checks: whether the library under
// test is the simulator, simulator settings per check, card handles and static-memory locks that
// always clean up, and a bounded wait for something a library thread does.
#pragma once

#include <QuarnVidEx.h>
#include <QuarnVideo.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace contract {

// True when both loaded libraries are the simulated cards' own build: each exports its mark
// (quarnlib/sim/api_internal.h), which no card maker's library has.
inline bool IsSimulator() {
  static const bool simulator = dlsym(RTLD_DEFAULT, "quarnsim_video_identity") != nullptr &&
                                dlsym(RTLD_DEFAULT, "quarnsim_videx_identity") != nullptr;
  return simulator;
}

// First statement of a check that sets QUARN_SIM_* settings or expects the simulator's defaults
// (four cards, Video 1 carrying a signal, 16,384 pages, the moving test picture): against any
// other library the check is skipped, not failed.
#define QUARN_SIMULATOR_ONLY()                          \
  do {                                                  \
    if (!::contract::IsSimulator())                     \
      GTEST_SKIP() << "needs the simulated cards' own " \
                      "settings or test picture";       \
  } while (false)

// The command that starts the static-memory probe (a second process using the library): set by
// the runner's main before any check runs.
std::vector<std::string>& ProbeCommand();

// The probe's own entry point: runs the commands given as arguments and prints one line each.
int ProbeMain(int argc, char** argv);

// Sets (or, for null, removes) one simulator setting.
inline void SetSim(const char* name, const char* value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
}

// Every test starts from the default simulator (4 cards of type 1, Video 1 carrying a signal, no
// faults) without frame pacing, and leaves it so. Settings are re-read by QuarnGetCardTotal while
// no card is open, which Reload() does.
class SimTest : public testing::Test {
 protected:
  void SetUp() override { ResetSim(); }
  void TearDown() override { ResetSim(); }

  static void ResetSim() {
    SetSim("QUARN_SIM_CARDS", nullptr);
    SetSim("QUARN_SIM_CARD_TYPES", nullptr);
    SetSim("QUARN_SIM_SIGNALS", nullptr);
    SetSim("QUARN_SIM_FAIL", nullptr);
    SetSim("QUARN_SIM_PACING", "0");
    Reload();
  }

  static int Reload() {
    int count = -1;
    QuarnGetCardTotal(&count);
    return count;
  }
};

// An open card, ended by the destructor (also when an assertion ends the test early).
class CardHandle {
 public:
  explicit CardHandle(int cardNumber) { status_ = BeginQuarnCard(cardNumber, &handle_); }
  ~CardHandle() { End(); }
  CardHandle(const CardHandle&) = delete;
  CardHandle& operator=(const CardHandle&) = delete;

  QUARN_HANDLE get() const { return handle_; }
  int status() const { return status_; }
  int End() {
    if (handle_ == 0 || status_ != QUARN_OK) return QUARN_OK;
    const int status = EndQuarnCard(handle_);
    handle_ = 0;
    return status;
  }

 private:
  QUARN_HANDLE handle_ = 0;
  int status_;
};

// A static-memory lock paired with its unlock.
class MemLock {
 public:
  MemLock(uint64_t offset, uint64_t size)
      : status_(QuarnStaticMemLock(offset, size, &lock_, &address_)) {}
  ~MemLock() {
    if (status_ == QUARN_OK) QuarnStaticMemUnlock(lock_);
  }
  MemLock(const MemLock&) = delete;
  MemLock& operator=(const MemLock&) = delete;

  int status() const { return status_; }
  uint8_t* bytes() const { return static_cast<uint8_t*>(address_); }

 private:
  QUARN_MEMLOCK lock_ = 0;
  void* address_ = nullptr;
  int status_;
};

inline void FillStatic(uint64_t offset, uint64_t size, uint8_t value) {
  MemLock lock(offset, size);
  ASSERT_EQ(lock.status(), QUARN_OK);
  std::memset(lock.bytes(), value, size);
}

inline std::vector<uint8_t> ReadStatic(uint64_t offset, uint64_t size) {
  MemLock lock(offset, size);
  EXPECT_EQ(lock.status(), QUARN_OK);
  if (lock.status() != QUARN_OK) return {};
  return std::vector<uint8_t>(lock.bytes(), lock.bytes() + size);
}

inline uint64_t StaticBytes() {
  int pages = 0;
  EXPECT_EQ(QuarnGetStaticMem(&pages), QUARN_OK);
  return static_cast<uint64_t>(pages) * QUARN_PAGE_SIZE;
}

// Waits for a library thread to make `done` true. The limit only keeps a broken library from
// hanging the suite; it is never what a test asserts about speed.
template <typename Predicate>
bool WaitFor(Predicate done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline bool AllBytesAre(const std::vector<uint8_t>& bytes, uint8_t value) {
  for (uint8_t byte : bytes) {
    if (byte != value) return false;
  }
  return true;
}

}  // namespace contract
