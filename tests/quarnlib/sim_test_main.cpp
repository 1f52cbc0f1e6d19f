// Test entry point for the simulator suites: gives the process a fresh simulator state folder (so
// static-memory reservations never leak between tests or into the user's own) before any test
// runs, and removes it afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string dir = (std::filesystem::temp_directory_path() / "quarn-sim-test-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 2;
  setenv("QUARN_SIM_STATE_DIR", dir.c_str(), 1);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return result;
}
