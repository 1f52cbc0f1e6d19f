// check_process.cpp - the runner's side: starting the checks program for one check (or for its
// catalogue) and reading what it sends back.
#include "check_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "unique_fd.h"

extern char** environ;

namespace compliance {

namespace {

// A pipe whose ends sit at descriptor 10 or above and close on exec, so that the child's
// dup2 onto 1, 2 or 3 never meets one of them.
bool MakePipe(UniqueFd* readEnd, UniqueFd* writeEnd) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  UniqueFd low[2] = {UniqueFd(fds[0]), UniqueFd(fds[1])};
  readEnd->reset(fcntl(low[0].get(), F_DUPFD_CLOEXEC, 10));
  writeEnd->reset(fcntl(low[1].get(), F_DUPFD_CLOEXEC, 10));
  return readEnd->get() >= 0 && writeEnd->get() >= 0;
}

Outcome ParseReport(const std::string& report, bool* ended) {
  Outcome outcome;
  *ended = false;
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() < 2 || line[1] != ' ') continue;
    const std::string text = line.substr(2);
    switch (line[0]) {
      case 'F':
      case 'S':
        outcome.messages.push_back(text);
        break;
      case '.':
        if (!outcome.messages.empty()) outcome.messages.back() += "\n" + text;
        break;
      case 'E':
        *ended = true;
        outcome.verdict = text == "PASS"   ? Verdict::kPass
                          : text == "SKIP" ? Verdict::kSkip
                                           : Verdict::kFail;
        break;
      default:
        break;
    }
  }
  return outcome;
}

// What the check's process wrote to standard error, shortened to its first lines (where a
// sanitizer's report starts) and its last ones (where a crash message ends).
}  // namespace

std::vector<std::string> Excerpt(const std::string& text, size_t head, size_t tail) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  if (lines.size() <= head + tail + 1) return lines;
  std::vector<std::string> kept(lines.begin(), lines.begin() + static_cast<ptrdiff_t>(head));
  kept.push_back("... (" + std::to_string(lines.size() - head - tail) + " lines)");
  kept.insert(kept.end(), lines.end() - static_cast<ptrdiff_t>(tail), lines.end());
  return kept;
}

namespace {

// posix_spawn's file actions and attributes, destroyed with this object.
struct SpawnSetup {
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
};

}  // namespace

ProcessRun RunProcess(const std::string& executable, const std::vector<std::string>& args,
                      int timeoutSeconds) {
  ProcessRun run;
  UniqueFd reportRead, reportWrite, logRead, logWrite;
  if (!MakePipe(&reportRead, &reportWrite) || !MakePipe(&logRead, &logWrite)) {
    run.startError = std::string("could not make a pipe: ") + std::strerror(errno);
    return run;
  }
  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, logWrite.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, logWrite.get(), STDERR_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, reportWrite.get(), kReportFd);
  // A group of its own, so that a hung check is stopped together with any process it started.
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETPGROUP);

  setenv(kReportFdVariable, std::to_string(kReportFd).c_str(), 1);
  setenv(kRunnerVariable, std::to_string(getpid()).c_str(), 1);
  std::vector<std::string> owned{executable};
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : owned) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes,
                                  argv.data(), environ);
  unsetenv(kReportFdVariable);
  reportWrite.reset();
  logWrite.reset();
  if (spawned != 0) {
    run.startError = "could not start " + executable + ": " + std::strerror(spawned);
    return run;
  }

  // Read both pipes until both close or the time is up.
  std::string& report = run.report;
  std::string& log = run.log;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (reportRead.get() >= 0 || logRead.get() >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timedOut = true;
      break;
    }
    pollfd fds[2] = {{reportRead.get(), POLLIN, 0}, {logRead.get(), POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    UniqueFd* ends[2] = {&reportRead, &logRead};
    std::string* sinks[2] = {&report, &log};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        sinks[i]->append(chunk, static_cast<size_t>(got));
        // Keep a long error output's beginning; the end comes in the last chunks.
        if (i == 1 && log.size() > (1u << 20)) log.erase(1u << 19, log.size() - (3u << 18));
      } else if (got == 0 || errno != EINTR) {
        ends[i]->reset();
      }
    }
  }
  if (run.timedOut) kill(-pid, SIGKILL);
  while (waitpid(pid, &run.status, 0) < 0 && errno == EINTR) {
  }
  return run;
}

Outcome RunCheckProcess(const std::string& executable, const std::string& testName,
                        const std::string& stateDir, int timeoutSeconds) {
  // The simulator's settings for checks: a private state folder, frames as fast as they come.
  // Other libraries ignore them.
  setenv("QUARN_SIM_STATE_DIR", stateDir.c_str(), 1);
  setenv("QUARN_SIM_PACING", "0", 1);
  const ProcessRun run = RunProcess(executable, {"--run-check", testName}, timeoutSeconds);
  if (!run.startError.empty()) {
    Outcome failed;
    failed.processTrouble = run.startError;
    return failed;
  }
  const int status = run.status;
  const bool timedOut = run.timedOut;
  const std::string& log = run.log;
  const std::string& report = run.report;

  bool ended = false;
  Outcome outcome = ParseReport(report, &ended);
  if (timedOut) {
    outcome.verdict = Verdict::kFail;
    outcome.processTrouble =
        "no result after " + std::to_string(timeoutSeconds) + " s: the check hung and was stopped";
  } else if (WIFSIGNALED(status)) {
    outcome.verdict = Verdict::kFail;
    outcome.processTrouble = std::string("the check's process died of signal ") +
                             std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) +
                             ")";
  } else if (!ended) {
    outcome.verdict = Verdict::kFail;
    outcome.processTrouble = "the check's process ended (status " +
                             std::to_string(WEXITSTATUS(status)) + ") before the check did";
  } else if (WEXITSTATUS(status) != 0) {
    // A sanitizer's report at exit, for instance.
    outcome.verdict = Verdict::kFail;
    outcome.processTrouble =
        "the check's process exited with status " + std::to_string(WEXITSTATUS(status));
  }
  if (!outcome.processTrouble.empty()) outcome.errorExcerpt = Excerpt(log, 40, 10);
  return outcome;
}

}  // namespace compliance
