// card_test_support.h - the fixture of the card layer's tests: the recording capture library
// reset around each test and the framework's service doubles in force; plus a clock that notes
// where in the library call sequence each wait fell.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "acquisition_state.h"
#include "quarnfake.h"
#include "recording_services.h"
#include "static_claims.h"

// Modes and states in test messages by their numbers.
inline std::ostream& operator<<(std::ostream& out, AcquisitionMode mode) {
  return out << ToInt(mode);
}
inline std::ostream& operator<<(std::ostream& out, CardState state) {
  return out << ToInt(state);
}

namespace cardtest {

// A FakeClock that also records, for each sleep, the last library call made before it.
class CallMarkingClock : public FakeClock {
 public:
  void Sleep(uint32_t milliseconds) override {
    const quarnfake::CallList calls = quarnfake::Calls();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      afterCalls_.push_back(calls.empty() ? std::string() : calls.back().Text());
    }
    FakeClock::Sleep(milliseconds);
  }
  std::vector<std::string> afterCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return afterCalls_;
  }

 private:
  mutable std::mutex mutex_;  // protects afterCalls_
  std::vector<std::string> afterCalls_;
};

// Makes the process's first claim and empties the log after it.
struct FirstClaimMade {
  FirstClaimMade() {
    std::unique_ptr<CClaim> claim;
    ClaimCard(kProgramOwner, 0, claim);
    quarnfake::ClearCalls();
  }
};

class CardTest : public ::testing::Test {
 protected:
  std::vector<RecordingMessageBox::Call> Boxes() const { return services_->messageBox->calls(); }
  std::vector<uint32_t> Sleeps() const { return services_->clock->sleeps(); }
  static std::vector<std::string> Texts() { return quarnfake::Calls().Texts(); }

  // Puts a CallMarkingClock in force for the rest of the test and returns it.
  std::shared_ptr<CallMarkingClock> MarkSleeps() {
    auto clock = std::make_shared<CallMarkingClock>();
    Services().clock = clock;
    return clock;
  }

  quarnfake::ScopedFake fake_;
  ScopedTestServices services_;
  // The first claim of a process looks for the claims file (one static-memory lock and unlock):
  // made here, so that each test's log holds what the test itself caused.
  FirstClaimMade firstClaim_;
};

}  // namespace cardtest
