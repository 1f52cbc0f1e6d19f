// mask_load_bench.cpp - the cost of loading the demonstration pixel mask into one PAL card of the
// simulated cards: the whole 768 x 576 picture kept, then the square and the line masked, one
// QuarnSetPixelMask call per pixel (444,968 calls, 442,368 of them the whole picture). Timed
// for Hexmont's loader on a handle and for Solvane's through the card object; the target is at
// most 25 ms per load, printed at the end of the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "QuarnVideo.h"
#include "pixel_mask.h"
#include "video_card.h"

namespace {

constexpr double kTargetMs = 25.0;

// Hexmont: LoadDemonstrationMask on the handle of card 1, statuses ignored.
void BM_HexmontMaskLoad(benchmark::State& state) {
  QUARN_HANDLE handle = 0;
  if (BeginQuarnCard(1, &handle) != QUARN_OK) {
    state.SkipWithError("no simulated card");
    return;
  }
  for (auto _ : state) {
    LoadDemonstrationMask(handle, QUARN_PAL_WIDTH, QUARN_PAL_HEIGHT);
    benchmark::ClobberMemory();
  }
  state.counters["calls"] = QUARN_PAL_WIDTH * QUARN_PAL_HEIGHT + 2500 + 100;
  EndQuarnCard(handle);
}

// Solvane: the card object's loader (each rectangle stops at its first failure), frame mode.
void BM_SolvaneMaskLoad(benchmark::State& state) {
  CVideoCard card(1);
  if (card.Open() != QUARN_OK) {
    state.SkipWithError("no simulated card");
    return;
  }
  for (auto _ : state) {
    LoadDemonstrationMask(card, true);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_HexmontMaskLoad)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_SolvaneMaskLoad)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The console report, then each load against the target.
class TargetReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      // Real time: the load is one thread of calls into the library.
      ms_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nDemonstration mask, one PAL card (target at most %.0f ms):\n", kTargetMs);
    for (const auto& [name, ms] : ms_) {
      std::printf("  %-22s %7.2f ms  %s\n", name.c_str(), ms,
                  ms <= kTargetMs ? "within target" : "OVER TARGET");
    }
  }

 private:
  std::map<std::string, double> ms_;
};

}  // namespace

int main(int argc, char** argv) {
  // The simulated cards run unpaced and with one card, whatever the environment says.
  setenv("QUARN_SIM_PACING", "0", 1);
  setenv("QUARN_SIM_CARDS", "1", 1);
  benchmark::Initialize(&argc, argv);
  TargetReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
