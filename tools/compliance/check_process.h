// check_process.h - one contract check in a process of its own. quarn-compliance (the runner)
// starts quarn-compliance-checks (the checks, linked with the capture library) once per check
// and reads its report; the checks program runs the check under GoogleTest and writes it.
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

// What a process of the checks program sent: its report (descriptor 3), everything it wrote
// to standard output and error, and how it ended.
struct ProcessRun {
  std::string report;
  std::string log;
  int status = 0;  // as waitpid gives it
  bool timedOut = false;
  std::string startError;  // set when the process could not be started
};

// Runs `executable args...` in a process group of its own and stops it after `timeoutSeconds`.
ProcessRun RunProcess(const std::string& executable, const std::vector<std::string>& args,
                      int timeoutSeconds);

// Runs `testName` ("Suite.Check") as `executable --run-check testName`, with
// QUARN_SIM_STATE_DIR set to `stateDir` and QUARN_SIM_PACING to 0.
Outcome RunCheckProcess(const std::string& executable, const std::string& testName,
                        const std::string& stateDir, int timeoutSeconds);

// The first `head` and the last `tail` lines of `text`, with a note of how many were left out.
std::vector<std::string> Excerpt(const std::string& text, size_t head, size_t tail);

// The descriptor and the environment variable through which the report travels.
constexpr int kReportFd = 3;
constexpr const char* kReportFdVariable = "QUARN_COMPLIANCE_REPORT_FD";
// The runner's process id, so that a check ends with its runner.
constexpr const char* kRunnerVariable = "QUARN_COMPLIANCE_RUNNER";

}  // namespace compliance
