// check_process.h - one contract check in a process of its own: the runner side starts it and
// reads its report, the check side runs it under GoogleTest and writes the report.
//
// Each check gets a fresh process (a check that crashes or hangs the library takes only itself
// down, and the library's per-process state, open cards and threads start clean) and a fresh
// simulator state folder. The report travels over a pipe on descriptor 3 as tagged lines:
//   F <text>   a failure begins (file:line: the failed expression and the values seen)
//   S <text>   the check was skipped, and why
//   . <text>   the previous failure or skip message goes on
//   E <word>   the check ended: PASS, FAIL or SKIP
#pragma once

#include <string>
#include <vector>

namespace compliance {

enum class Verdict { kPass, kFail, kSkip };

struct Outcome {
  Verdict verdict = Verdict::kFail;
  // Failure messages (or the skip reason), one entry per message, lines separated by '\n'.
  std::vector<std::string> messages;
  // What went wrong with the process itself (crash, hang, exit status), and an excerpt of what
  // it wrote to standard error; empty when it ran normally.
  std::string processTrouble;
  std::vector<std::string> errorExcerpt;
};

// Runs `testName` ("Suite.Check") as `executable --run-check testName`, with
// QUARN_SIM_STATE_DIR set to `stateDir` and QUARN_SIM_PACING to 0, and stops it after
// `timeoutSeconds`.
Outcome RunCheckProcess(const std::string& executable, const std::string& testName,
                        const std::string& stateDir, int timeoutSeconds);

// The check side: runs `testName` in this process and reports on descriptor `reportFd`.
// `argv0` is passed on to GoogleTest. Returns the process's exit status.
int RunCheckHere(const char* argv0, const std::string& testName, int reportFd);

// The descriptor and the environment variable through which the report travels.
constexpr int kReportFd = 3;
constexpr const char* kReportFdVariable = "QUARN_COMPLIANCE_REPORT_FD";
// The runner's process id, so that a check ends with its runner.
constexpr const char* kRunnerVariable = "QUARN_COMPLIANCE_RUNNER";

}  // namespace compliance
