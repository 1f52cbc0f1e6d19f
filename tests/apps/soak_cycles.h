// soak_cycles.h - how many Snap on/off cycles the threaded program tests run: their usual few, or
// in a soak run (scripts/tsan_soak.sh) the count QUARN_SOAK_CYCLES gives, and the line that tells
// the soak script how many were done.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace apptest {

// The name of the test that runs.
inline std::string TestName() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// The count QUARN_SOAK_CYCLES asks for, or 0 when it is unset or not a positive number.
inline int SoakTotal() {
  const char* text = std::getenv("QUARN_SOAK_CYCLES");
  if (text == nullptr) return 0;
  char* end = nullptr;
  const long total = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || total <= 0 || total > 10'000'000) return 0;
  return static_cast<int>(total);
}

// The cycles of part `part` (0-based) of a program's `parts` cycling tests: `usual` outside a
// soak; in a soak the program's QUARN_SOAK_CYCLES shared out so that the parts add up to it.
inline int SoakCycles(int usual, int part = 0, int parts = 1) {
  const int total = SoakTotal();
  if (total == 0) return usual;
  return total / parts + (part < total % parts ? 1 : 0);
}

// In a soak, one line on standard output with the cycles a cycling test has completed of those
// it set out to do: at its end (also when it stopped early) and every 500 cycles on the way, so
// that a test that never ends still shows how far it came. The script takes each test's last
// line.
inline void ReportSoakCycles(const std::string& test, int done, int planned) {
  if (SoakTotal() == 0 || planned == 0) return;
  std::printf("[ soak ] %s: %d of %d cycles\n", test.c_str(), done, planned);
  std::fflush(stdout);
}
inline void ReportSoakProgress(const std::string& test, int done, int planned) {
  if (done % 500 == 0) ReportSoakCycles(test, done, planned);
}

}  // namespace apptest
