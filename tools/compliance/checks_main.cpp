// checks_main.cpp - quarn-compliance-checks: the contract checks, linked with libQuarnVideo.so
// and libQuarnVidEx.so by name as the workbench programs are. quarn-compliance starts it with
// the loader path it was asked for, once for the catalogue and once per check; the program
// also starts itself, as the static-memory probe and as GoogleTest's death-test child.
#include <QuarnVidEx.h>
#include <QuarnVideo.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue.h"
#include "check_process.h"
#include "checks/contract_support.h"

namespace fs = std::filesystem;

namespace {

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    done += static_cast<size_t>(wrote);
  }
}

// Writes `text` as a record: the first line after `tag`, the others as continuation lines.
void WriteRecord(int fd, char tag, const std::string& text) {
  std::string record;
  std::istringstream lines(text);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    record += first ? tag : '.';
    record += ' ';
    record += line;
    record += '\n';
    first = false;
  }
  if (first) record = std::string(1, tag) + " \n";
  WriteAll(fd, record);
}

// Sends every failure and skip of the check as it happens (a crash later keeps what was sent),
// then the verdict.
class ReportListener : public testing::EmptyTestEventListener {
 public:
  explicit ReportListener(int fd) : fd_(fd) {}

  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (result.skipped()) {
      WriteRecord(fd_, 'S', result.message());
      return;
    }
    if (!result.failed()) return;
    std::string where;
    if (result.file_name() != nullptr) {
      const std::string file = result.file_name();
      where = file.substr(file.find_last_of('/') + 1);
      // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on ":" + string.
      if (result.line_number() >= 0) {
        where += ':';
        where += std::to_string(result.line_number());
      }
      where += ": ";
    }
    WriteRecord(fd_, 'F', where + result.message());
  }

  void OnTestEnd(const testing::TestInfo& info) override {
    ++ended_;
    const testing::TestResult& result = *info.result();
    const char* verdict = result.Failed() ? "FAIL" : result.Skipped() ? "SKIP" : "PASS";
    WriteAll(fd_, std::string("E ") + verdict + "\n");
  }

  void OnTestProgramEnd(const testing::UnitTest&) override {
    if (ended_ == 0) {
      WriteRecord(fd_, 'F', "no such check in this program");
      WriteAll(fd_, "E FAIL\n");
    }
  }

 private:
  int fd_;
  int ended_ = 0;
};

// The file a symbol of the loaded libraries came from, with its folder made absolute (the file
// name itself is kept, so a link in the folder shows as the folder's own).
std::string LoadedFrom(const void* symbol) {
  Dl_info info{};
  if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return "(unknown)";
  const fs::path file = info.dli_fname;
  std::error_code error;
  const fs::path folder = fs::weakly_canonical(fs::absolute(file).parent_path(), error);
  return error ? file.string() : (folder / file.filename()).string();
}

// Every registered check, grouped by area; a suite without an area is refused.
int WriteCatalogue(int fd) {
  std::map<std::string, std::vector<compliance::Check>> byArea;
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  for (int s = 0; s < unit.total_test_suite_count(); ++s) {
    const testing::TestSuite& suite = *unit.GetTestSuite(s);
    const std::string area = compliance::AreaOf(suite.name());
    if (area.empty()) {
      std::fprintf(stderr, "the check suite %s belongs to no area\n", suite.name());
      return 2;
    }
    for (int t = 0; t < suite.total_test_count(); ++t) {
      const char* name = suite.GetTestInfo(t)->name();
      byArea[area].push_back({area, area + "." + name, std::string(suite.name()) + "." + name});
    }
  }
  std::vector<compliance::Check> checks;
  std::set<std::string> names;
  for (const std::string& area : compliance::Areas()) {
    for (compliance::Check& check : byArea[area]) {
      if (!names.insert(check.name).second) {
        std::fprintf(stderr, "two checks are named %s\n", check.name.c_str());
        return 2;
      }
      checks.push_back(std::move(check));
    }
  }
  compliance::Libraries libraries;
  libraries.video = LoadedFrom(reinterpret_cast<const void*>(&QuarnGetCardTotal));
  libraries.videx = LoadedFrom(reinterpret_cast<const void*>(&QuarnCaptureEx));
  libraries.simulator = contract::IsSimulator();
  WriteAll(fd, compliance::FormatCatalogue(libraries, checks));
  return 0;
}

int RunCheck(const char* argv0, const std::string& testName, int reportFd) {
  // A check whose runner is gone (stopped by a time limit or by the user) stops too, so a hung
  // library never outlives the run.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const char* runner = std::getenv(compliance::kRunnerVariable);
  if (runner != nullptr && getppid() != static_cast<pid_t>(std::atol(runner))) return 3;
  std::string program = argv0;
  std::string filter = "--gtest_filter=" + testName;
  char* args[] = {program.data(), filter.data(), nullptr};
  int argc = 2;
  testing::InitGoogleTest(&argc, args);
  testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
  // The runner prints the lines people read; GoogleTest's own printer would only repeat them.
  const std::unique_ptr<testing::TestEventListener> printer(
      listeners.Release(listeners.default_result_printer()));
  // GoogleTest owns the listeners appended to it.
  listeners.Append(std::make_unique<ReportListener>(reportFd).release());
  // The verdict went to the runner; a non-zero exit would mean the process itself went wrong.
  [[maybe_unused]] const int failures = RUN_ALL_TESTS();
  return 0;
}

// GoogleTest starts this program again for a death test, with its own arguments.
bool IsDeathTestChild(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0) return true;
  }
  return false;
}

std::string SelfPath() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("/proc/self/exe") : self.string();
}

}  // namespace

int main(int argc, char** argv) {
  contract::ProbeCommand() = {SelfPath(), "--probe"};
  if (argc >= 2 && std::strcmp(argv[1], "--probe") == 0) {
    return contract::ProbeMain(argc - 1, argv + 1);
  }
  if (IsDeathTestChild(argc, argv)) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
  }
  const char* fdText = std::getenv(compliance::kReportFdVariable);
  const int fd = fdText != nullptr ? std::atoi(fdText) : STDOUT_FILENO;
  if (argc == 3 && std::strcmp(argv[1], "--run-check") == 0) {
    return RunCheck(argv[0], argv[2], fd);
  }
  if (argc == 2 && std::strcmp(argv[1], "--catalogue") == 0) {
    int one = 1;
    testing::InitGoogleTest(&one, argv);
    return WriteCatalogue(fd);
  }
  std::fprintf(stderr,
               "quarn-compliance-checks holds the contract checks that quarn-compliance runs;\n"
               "run quarn-compliance instead (quarn-compliance --help).\n");
  return 2;
}
