// save_serials_bench.cpp - Save Serials of 100 stored PAL frames at 24 bits on a simulated card,
// through the real main frame, next to plain write(2) of the same bytes to new files in the same
// folder. Built twice: save_serials_bench runs Hexmont's (each frame converted from static memory
// into the card's picture, then written as a BMP file), save_serials_solvane_bench Solvane's (each
// frame converted from static memory band by band straight into its file, QUARN_BENCH_SOLVANE).
// Ends with Save Serials' throughput as a share of plain write's (target: at least 0.8).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "QuarnVideo.h"
#include "command_ids.h"
#include "harness.h"
#include "main_frm.h"
#include "mean_reporter.h"
#include "resources.h"
#if QUARN_BENCH_SOLVANE
#include "solvane_app.h"
#else
#include "hexmont_app.h"
#include "hexmont_test_support.h"
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 100;
constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr uint64_t kFrameBytes = uint64_t{kWidth} * kHeight * 3;
constexpr double kTarget = 0.8;
#if QUARN_BENCH_SOLVANE
const char* const kProgram = "Solvane";
using App = CSolvaneApp;
const auto kResources = &SolvaneResources;
const char* const kSaveName = "SolvaneSaveSerials/100xPAL24";
const char* const kFirstFile = "run100.bmp";
#else
const char* const kProgram = "Hexmont";
using App = CHexmontApp;
const auto kResources = &HexmontResources;
const char* const kSaveName = "SaveSerials/100xPAL24";
const char* const kFirstFile = "run1_100.bmp";
#endif
const char* const kPlainName = "PlainWrite/100xPAL24";

fs::path g_folder;
std::unique_ptr<FrameworkHarness<App>> g_program;

void RemoveFiles() {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(g_folder, ignored)) fs::remove(entry, ignored);
}

#if QUARN_BENCH_SOLVANE
// Solvane, its card's 768 x 576 output storing 24-bit frames, and a Snap Shot of exactly 100 of
// them.
bool StartProgram() {
  g_program = std::make_unique<FrameworkHarness<App>>(kResources());
  if (!g_program->Start()) return false;
  auto* frame = g_program->frameAs<CMainFrame>();
  CVideoCard& card = frame->Card();
  if (card.SetVideoFormat(QUARN_FORMAT_RGB888) != QUARN_OK) return false;
  if (card.SetOutputWindow(0, 0, kWidth, kHeight) != QUARN_OK) return false;
  g_program->Send(ID_VIEW_SNAP_SHOT);
  return frame->imageCount == kFrames;
}
#else
// Hexmont with one simulated card whose 768 x 576 output stores 24-bit frames, and a Snap Shot
// of exactly 100 of them.
bool StartProgram() {
  g_program = std::make_unique<FrameworkHarness<App>>(kResources());
  if (!g_program->Start()) return false;
  auto* frame = g_program->frameAs<CMainFrame>();
  CCardGrid& cards = frame->Grid();
  if (cards.CardCount() != 1) return false;
  HexmontFrameProbe::ScreenWidth(*frame) = 1920;
  HexmontFrameProbe::ScreenHeight(*frame) = 1080;
  frame->PlaceVideo(RECT{0, 0, kWidth, kHeight});
  if (cards.Cell(0).card.SetVideoFormat(QUARN_FORMAT_RGB888) != QUARN_OK) return false;
  g_program->Send(ID_VIEW_SNAP_SHOT);
  return HexmontFrameProbe::StoredFrames(*frame) == kFrames;
}
#endif

void BM_SaveSerials(benchmark::State& state) {
  if (g_program == nullptr && !StartProgram()) {
    state.SkipWithError("the program did not store 100 frames");
    return;
  }
  const std::string chosen = (g_folder / "run.bmp").string();
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFiles();
    g_program->services().fileDialog->ScriptPath(chosen);
    state.ResumeTiming();
    g_program->Send(ID_VIEW_SAVE_SERIALS);
  }
  if (!fs::exists(g_folder / kFirstFile)) state.SkipWithError("the files were not written");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * (54 + kFrameBytes)));
}

void BM_PlainWrite(benchmark::State& state) {
  const std::vector<uint8_t> bytes(54 + kFrameBytes, 0x5A);
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFiles();
    state.ResumeTiming();
    for (int frame = 1; frame <= kFrames; ++frame) {
      const std::string path = (g_folder / ("run1_" + std::to_string(frame) + ".bmp")).string();
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        state.SkipWithError("write failed");
      }
      if (fd >= 0) ::close(fd);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * bytes.size()));
}

BENCHMARK(BM_PlainWrite)
    ->Name(kPlainName)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SaveSerials)
    ->Name(kSaveName)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

class RatioReporter : public MeanReporter {
 public:
  RatioReporter() : MeanReporter(Clock::kReal) {}
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double plain = Mean(kPlainName);
    const double save = Mean(kSaveName);
    if (plain <= 0 || save <= 0) return;
    const double ratio = plain / save;
    std::printf(
        "\n%s's Save Serials of %d PAL frames at 24 bits: %.2f x plain write throughput "
        "(target at least %.1f)%s\n",
        kProgram, kFrames, ratio, kTarget, ratio >= kTarget ? "" : "  UNDER TARGET");
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string dir = (fs::temp_directory_path() / "quarn-serials-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) return 2;
  const fs::path root = dir;
  g_folder = root / "files";
  fs::create_directories(g_folder);
  // The simulator keeps static memory in its state folder when one is named; in RAM (/dev/shm),
  // as the programs run by default and as reserved memory is, not on the disk the files go to.
  std::string state = "/dev/shm/quarn-serials-bench-state-XXXXXX";
  if (!fs::is_directory("/dev/shm") || ::mkdtemp(state.data()) == nullptr) {
    state = (root / "state").string();
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
  setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  setenv("QUARN_SIM_STATE_DIR", state.c_str(), 1);
  setenv("QUARN_SIM_CARDS", "1", 1);
  setenv("QUARN_SIM_PACING", "0", 1);
  // Exactly 100 frames: the reservation is requested, then the simulated machine restarts.
  setenv("QUARN_SIM_BOOT_ID", "before", 1);
  const auto pages =
      static_cast<int>((kFrames * kFrameBytes + QUARN_PAGE_SIZE - 1) / QUARN_PAGE_SIZE);
  if (QuarnSetStaticMem(pages) != QUARN_OK) return 3;
  setenv("QUARN_SIM_BOOT_ID", "after", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  g_program.reset();
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::remove_all(state, ignored);
  return 0;
}
