// snap_callback_bench.cpp - the cost of Solvane's snap callback for one PAL frame at 24 bits
// (RGB888, 768 x 576) stored by the simulated card: the static-memory lock, the conversion into
// the display buffer, the unlock, the 1:1 draw into the view's backing store, and the frame-rate
// title; next to a memcpy of the 768 x 576 x 3 bytes of the frame. The target is at most 2.5 x
// memcpy, printed at the end of the run with the ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "QuarnVideo.h"
#include "backing_store.h"
#include "dc.h"
#include "host_window.h"
#include "mean_reporter.h"
#include "video_card.h"

namespace {

constexpr int kWidth = QUARN_PAL_WIDTH;
constexpr int kHeight = QUARN_PAL_HEIGHT;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 3;
constexpr double kTarget = 2.5;
const char* const kMemcpyName = "Memcpy/768x576x3";
const char* const kCallbackName = "SnapCallback/PAL/RGB888";

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> source(kFrameBytes, 0x5A), target(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kFrameBytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

// The callback's work as OnSnapFrame does it, on a card of the simulated cards whose ring slot 0
// holds one stored frame.
void BM_SnapCallback(benchmark::State& state) {
  CVideoCard card(1);
  if (card.Open() != QUARN_OK || card.SetVideoFormat(kFormatRgb888) != QUARN_OK ||
      card.SetOutputWindow(0, 0, kWidth, kHeight) != QUARN_OK) {
    state.SkipWithError("no simulated card");
    return;
  }
  // One stored frame at offset 0; the header then describes it (24 bits, 768 x 576).
  if (card.SnapShot(0, 0, 1, 1) != QUARN_OK) {
    state.SkipWithError("snap shot failed");
    return;
  }
  CBackingStore store;
  store.Resize(kWidth, kHeight);
  CHostWindow host(store);
  HostGeometry geometry;
  geometry.clientOnScreen = QRect(100, 100, kWidth, kHeight);
  geometry.screenSize = QSize(1280, 1024);
  host.SetGeometry(geometry);
  // Which steps run (bits): 1 lock, transform and unlock; 2 the draw into the backing store;
  // 3 is the whole callback.
  const int steps = static_cast<int>(state.range(0));
  uint32_t frames = 0;
  for (auto _ : state) {
    CClientDC dc(host);
    const int status = (steps & 1) != 0 ? card.TransformFromStaticMem(0, 0) : 0;
    if ((steps & 2) != 0) card.Draw(&dc);
    ++frames;
    const BITMAPINFOHEADER& header = card.GetDisplayHeader()->bmiHeader;
    char title[96];
    std::snprintf(title, sizeof title, "Quarn Performance [%d x %d]  %f(fps) ", header.biWidth,
                  header.biHeight,
                  static_cast<double>(static_cast<float>(frames * 1000u) / 40001.0f));
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(title);
    benchmark::ClobberMemory();
  }
  card.Close();
}

BENCHMARK(BM_Memcpy)->Name(kMemcpyName)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_SnapCallback)
    ->Name(kCallbackName)
    ->ArgName("steps")
    ->Arg(3)
    ->Arg(1)
    ->Arg(2)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Reports the mean of each case and the callback's ratio to memcpy.
class RatioReporter : public MeanReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double base = Mean(kMemcpyName);
    if (base <= 0) return;
    std::printf(
        "\nSnap callback, one PAL frame at 24 bits, divided by memcpy of 768 x 576 x 3 "
        "bytes (steps 3 is the whole callback: lock, transform, unlock, draw, title; 1 the "
        "lock, transform and unlock; 2 the draw):\n");
    for (const auto& [name, time] : means()) {
      if (name.rfind(kCallbackName, 0) != 0) continue;
      const double ratio = time / base;
      const bool whole = name.find("steps:3") != std::string::npos;
      std::printf("  %-36s %6.2fx memcpy", name.c_str(), ratio);
      if (whole) {
        std::printf("  (target at most %.1fx: %s)", kTarget,
                    ratio <= kTarget ? "within target" : "OVER TARGET");
      }
      std::printf("\n");
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  // The simulated cards run unpaced, with one card and static memory in a private folder. The
  // simulator keeps static memory in the folder named; it lies in RAM (/dev/shm), as the
  // programs' static memory does and as reserved memory is, not in a file on the disk.
  std::string dir = "/dev/shm/quarn-bench-XXXXXX";
  if (!std::filesystem::is_directory("/dev/shm") || mkdtemp(dir.data()) == nullptr) {
    dir = (std::filesystem::temp_directory_path() / "quarn-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) return 2;
  }
  setenv("QUARN_SIM_STATE_DIR", dir.c_str(), 1);
  setenv("QUARN_SIM_PACING", "0", 1);
  setenv("QUARN_SIM_CARDS", "1", 1);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
