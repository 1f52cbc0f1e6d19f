// runner.cpp - quarn-compliance: runs the capture library's contract checks against the
// libQuarnVideo.so and libQuarnVidEx.so that the dynamic loader finds, or the pair in the folder
// given with --library, and prints one line per check and a summary.
//
// The checks live in a second program, quarn-compliance-checks, linked with both libraries by
// name as the workbench programs are; this one links neither, so it starts (and answers --help)
// whatever the loader can find. --library puts the folder first on LD_LIBRARY_PATH for the
// checks program, so the loader takes the pair from there exactly as it would for a program,
// and the checks call the library directly, with no table of function pointers to keep in step
// with the headers. The checks program first tells which files the loader gave it and which
// checks it has (the catalogue); then it is started once per check.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue.h"
#include "check_process.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "quarn-compliance";
constexpr int kDefaultTimeout = 120;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "Usage: %s [--area AREA[,AREA...]]... [--library FOLDER] [--timeout SECONDS]\n"
               "       %s --list | --help | --version\n"
               "\n"
               "Runs the capture library's contract checks against libQuarnVideo.so and\n"
               "libQuarnVidEx.so as the dynamic loader finds them, each check in a process of\n"
               "its own, and prints PASS, FAIL (with the failed expression and the values seen)\n"
               "or SKIP per check, then a summary. Exits 0 when no check failed, 1 when one did,\n"
               "2 when the checks could not be run.\n"
               "\n"
               "  --area AREA       run only these areas (repeatable or a comma list):\n"
               "                    cards, parameters, live, capture, snap, staticmem\n"
               "  --library FOLDER  take both libraries from FOLDER instead\n"
               "  --timeout SECONDS stop a check that has not ended by then (default %d)\n"
               "  --list            list the areas and their checks\n"
               "  --help            show this text\n"
               "  --version         show the version\n"
               "\n"
               "Checks that need the simulated cards' own settings or test picture are skipped\n"
               "when the library is not the simulator. No display is needed: the live-video and\n"
               "capture checks give the library host windows of their own.\n",
               kProgram, kProgram, kDefaultTimeout);
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  std::fprintf(stderr, "Try '%s --help'.\n", kProgram);
  return 2;
}

struct Options {
  std::set<std::string> areas;  // empty: every area
  std::string library;
  int timeout = kDefaultTimeout;
  bool list = false;
  bool help = false;
  bool version = false;
};

// Parses the options; returns false after printing why they are wrong.
bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const std::string& name, std::string* out) {
      if (arg.rfind(name + "=", 0) == 0) {
        *out = arg.substr(name.size() + 1);
        return true;
      }
      if (arg == name && i + 1 < argc) {
        *out = argv[++i];
        return true;
      }
      return false;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--list") {
      options->list = true;
    } else if (value("--area", &text)) {
      std::istringstream items(text);
      for (std::string area; std::getline(items, area, ',');) {
        bool known = false;
        for (const std::string& name : compliance::Areas()) known = known || name == area;
        if (!known) {
          UsageError("unknown area '" + area + "'");
          return false;
        }
        options->areas.insert(area);
      }
    } else if (value("--library", &text)) {
      options->library = text;
    } else if (value("--timeout", &text)) {
      char* end = nullptr;
      const long seconds = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || seconds < 1 || seconds > 86400) {
        UsageError("--timeout takes a number of seconds, 1 to 86400");
        return false;
      }
      options->timeout = static_cast<int>(seconds);
    } else {
      UsageError("unknown argument '" + arg + "'");
      return false;
    }
  }
  return true;
}

std::string SelfPath() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string("/proc/self/exe") : self.string();
}

// The checks program: beside this one in the build, in libexec/quarn-compliance when installed.
std::string ChecksProgram() {
  const fs::path folder = fs::path(SelfPath()).parent_path();
  for (const fs::path& candidate :
       {folder / "quarn-compliance-checks",
        folder / QUARN_CHECKS_FROM_BINDIR / "quarn-compliance-checks"}) {
    if (access(candidate.c_str(), X_OK) == 0) return candidate.lexically_normal().string();
  }
  return {};
}

// Puts `folder` first on the loader's path for the checks program. Returns false after saying
// why the folder will not do.
bool UseLibraryFolder(const std::string& folder, fs::path* canonical) {
  std::error_code error;
  *canonical = fs::canonical(folder, error);
  if (error || !fs::is_directory(*canonical)) {
    UsageError("--library: no folder '" + folder + "'");
    return false;
  }
  for (const char* name : {"libQuarnVideo.so", "libQuarnVidEx.so"}) {
    if (!fs::exists(*canonical / name)) {
      UsageError("--library: " + (*canonical / name).string() + " does not exist");
      return false;
    }
  }
  std::string path = canonical->string();
  if (const char* old = std::getenv("LD_LIBRARY_PATH"); old != nullptr && *old != '\0') {
    path += ":" + std::string(old);
  }
  setenv("LD_LIBRARY_PATH", path.c_str(), 1);
  return true;
}

// Removes a folder tree when it goes.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quarn-compliance-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void PrintIndented(const std::string& text, const char* prefix) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) std::printf("%s%s\n", prefix, line.c_str());
}

// Failure messages shown per check; a loop that fails on every item would bury the rest.
constexpr size_t kMessagesShown = 4;

void PrintOutcome(const compliance::Check& check, const compliance::Outcome& outcome) {
  switch (outcome.verdict) {
    case compliance::Verdict::kPass:
      std::printf("PASS  %s\n", check.name.c_str());
      break;
    case compliance::Verdict::kSkip: {
      std::string reason = outcome.messages.empty() ? std::string() : outcome.messages.front();
      if (!reason.empty()) reason = "  (" + reason.substr(0, reason.find('\n')) + ")";
      std::printf("SKIP  %s%s\n", check.name.c_str(), reason.c_str());
      break;
    }
    case compliance::Verdict::kFail:
      std::printf("FAIL  %s\n", check.name.c_str());
      for (size_t i = 0; i < outcome.messages.size() && i < kMessagesShown; ++i) {
        PrintIndented(outcome.messages[i], "      ");
      }
      if (outcome.messages.size() > kMessagesShown) {
        std::printf("      ... and %zu more failures\n", outcome.messages.size() - kMessagesShown);
      }
      if (!outcome.processTrouble.empty()) {
        std::printf("      %s\n", outcome.processTrouble.c_str());
        for (const std::string& line : outcome.errorExcerpt)
          std::printf("      | %s\n", line.c_str());
      }
      break;
  }
  std::fflush(stdout);
}

int List(const std::vector<compliance::Check>& checks) {
  for (const std::string& area : compliance::Areas()) {
    size_t count = 0;
    for (const auto& check : checks) count += check.area == area ? 1 : 0;
    std::printf("%s (%zu checks)\n", area.c_str(), count);
    for (const auto& check : checks) {
      if (check.area == area) std::printf("  %s\n", check.name.c_str());
    }
  }
  return 0;
}

// Asks the checks program for the libraries the loader gave it and the checks it holds. Returns
// false after saying why it could not.
bool LoadCatalogue(const std::string& program, compliance::Libraries* libraries,
                   std::vector<compliance::Check>* checks) {
  const compliance::ProcessRun run = compliance::RunProcess(program, {"--catalogue"}, 120);
  const bool exited = run.startError.empty() && !run.timedOut && WIFEXITED(run.status) &&
                      WEXITSTATUS(run.status) == 0;
  if (exited && compliance::ParseCatalogue(run.report, libraries, checks)) return true;
  std::fprintf(stderr, "%s: the checks could not be loaded with the capture library%s\n", kProgram,
               run.startError.empty() ? ":" : "");
  if (!run.startError.empty()) std::fprintf(stderr, "  %s\n", run.startError.c_str());
  for (const std::string& line : compliance::Excerpt(run.log, 40, 10)) {
    std::fprintf(stderr, "  %s\n", line.c_str());
  }
  return false;
}

int Run(const Options& options, const std::string& program, const compliance::Libraries& libraries,
        const std::vector<compliance::Check>& checks) {
  std::printf("%s %s: the capture library's contract checks\n", kProgram, QUARN_VERSION);
  std::printf("QuarnVideo  %s\n", libraries.video.c_str());
  std::printf("QuarnVidEx  %s\n", libraries.videx.c_str());
  std::printf("simulated cards: %s\n",
              libraries.simulator ? "yes (the checks of the simulator's own settings run too)"
                                  : "no (the checks of the simulator's own settings are skipped)");
  std::fflush(stdout);

  TempFolder root;
  if (root.path().empty()) {
    std::fprintf(stderr, "%s: could not make a temporary folder\n", kProgram);
    return 2;
  }
  int passed = 0, failed = 0, skipped = 0;
  for (const compliance::Check& check : checks) {
    if (!options.areas.empty() && options.areas.count(check.area) == 0) continue;
    // A fresh simulator state folder per check: static memory never carries over.
    const fs::path state = root.path() / check.name;
    std::error_code error;
    fs::create_directory(state, error);
    const compliance::Outcome outcome =
        compliance::RunCheckProcess(program, check.testName, state.string(), options.timeout);
    fs::remove_all(state, error);
    PrintOutcome(check, outcome);
    switch (outcome.verdict) {
      case compliance::Verdict::kPass:
        ++passed;
        break;
      case compliance::Verdict::kFail:
        ++failed;
        break;
      case compliance::Verdict::kSkip:
        ++skipped;
        break;
    }
  }
  std::printf("compliance: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 2;
  if (options.help) {
    PrintUsage(stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s %s\n", kProgram, QUARN_VERSION);
    return 0;
  }
  fs::path folder;
  if (!options.library.empty() && !UseLibraryFolder(options.library, &folder)) return 2;
  const std::string program = ChecksProgram();
  if (program.empty()) {
    std::fprintf(stderr, "%s: quarn-compliance-checks is not installed beside this program\n",
                 kProgram);
    return 2;
  }
  compliance::Libraries libraries;
  std::vector<compliance::Check> checks;
  if (!LoadCatalogue(program, &libraries, &checks)) return 2;
  if (!folder.empty()) {
    // The loader must have taken both from the folder asked for (a library path compiled into
    // the checks program would otherwise win).
    for (const std::string& loaded : {libraries.video, libraries.videx}) {
      if (fs::path(loaded).parent_path() != folder) {
        std::fprintf(stderr, "%s: the loader took %s, not the one in %s\n", kProgram,
                     loaded.c_str(), folder.c_str());
        return 2;
      }
    }
  }
  if (options.list) return List(checks);
  return Run(options, program, libraries, checks);
}
