// live_draw_bench.cpp - the cost of one live-video frame of a PAL card reaching the screen, next
// to a memcpy of the same 768 x 576 x 4 bytes, measured in one run; prints the ratios at the end
// (target: the whole path at most 2.5 x memcpy at every format timed).
//
// The whole path is what the programs run: the simulated card's worker asks the view's host
// window for its client area and hands it the frame through WritePixels, which converts the
// stored frame straight into the view's backing store under its lock; then the view's paint
// copies the backing store out. The parts are timed alone too, and, for comparison, the path a
// host without WritePixels takes (the frame converted into host pixels, then DrawPixels copies
// them into the backing store).
//
//   live_draw_bench [--benchmark_filter=...] [--benchmark_repetitions=N]
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "QuarnVideo.h"
#include "backing_store.h"
#include "host_window.h"
#include "mean_reporter.h"
#include "picture.h"
#include "pixels.h"

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr double kTarget = 2.5;  // the whole path / memcpy, at most

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint32_t> source(kWidth * kHeight, 0x00123456u), target(kWidth * kHeight);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

// Which steps run, as the benchmark's second argument.
enum Steps {
  kWholePath = 0,   // WritePixels into the backing store, then the paint
  kWriteOnly = 1,   // the library's thread: WritePixels
  kPaintOnly = 2,   // the UI thread: the paint
  kDrawPixels = 3,  // a host without WritePixels: convert, DrawPixels, then the paint
};

// One frame in `format` through the steps a live frame takes in the programs.
void BM_LiveFrame(benchmark::State& state) {
  const int format = static_cast<int>(state.range(0));
  const auto steps = static_cast<Steps>(state.range(1));
  quarnsim::PictureGenerator generator;
  quarnsim::PictureParams params;
  params.format = format;
  generator.Configure(params);
  std::vector<uint8_t> frame(quarnsim::PackedFrameBytes(format, kWidth, kHeight));
  generator.Render(0, quarnsim::Lines::kAll, nullptr, frame.data());
  quarnsim::XrgbSource source{frame.data(), format, kWidth, kHeight};

  CBackingStore store;
  store.Resize(kWidth, kHeight);
  CHostWindow host(store);
  HostGeometry geometry;
  geometry.clientOnScreen = QRect(100, 100, kWidth, kHeight);
  geometry.screenSize = QSize(1280, 1024);
  host.SetGeometry(geometry);
  const QuarnHostWindow& window = *host.Contract();
  QImage screen(kWidth, kHeight, QImage::Format_RGB32);
  std::vector<uint32_t> pixels(steps == kDrawPixels ? kWidth * kHeight : 0);
  const size_t stride = kWidth * sizeof(uint32_t);

  for (auto _ : state) {
    // The library's thread, as the simulated card's live worker runs it.
    if (steps != kPaintOnly) {
      QuarnRect client{};
      if (window.GetClientRect(window.context, &client) != 0) {
        state.SkipWithError("the host window refused its client area");
        break;
      }
      if (steps == kDrawPixels) {
        quarnsim::FrameToXrgb(frame.data(), format, kWidth, kHeight, pixels.data(), stride);
        window.DrawPixels(window.context, 100, 100, kWidth, kHeight, pixels.data(), stride);
      } else {
        window.WritePixels(window.context, 100, 100, kWidth, kHeight, quarnsim::WriteXrgbPart,
                           &source);
      }
    }
    // The UI thread: the view's paint copies the backing store to the screen.
    if (steps != kWriteOnly) {
      QPainter painter(&screen);
      store.Read([&painter](const QImage& image) { painter.drawImage(0, 0, image); });
      painter.end();
    }
    benchmark::DoNotOptimize(screen.constBits());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_Memcpy)->Name("Memcpy/768x576x4")->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_LiveFrame)
    ->Name("LiveFrame")
    ->ArgNames({"format", "steps"})
    ->Args({QUARN_FORMAT_RGB888, kWholePath})
    ->Args({QUARN_FORMAT_RGB8888, kWholePath})
    ->Args({QUARN_FORMAT_YUV422, kWholePath})
    ->Args({QUARN_FORMAT_RGB888, kWriteOnly})
    ->Args({QUARN_FORMAT_RGB8888, kWriteOnly})
    ->Args({QUARN_FORMAT_YUV422, kWriteOnly})
    ->Args({QUARN_FORMAT_RGB888, kPaintOnly})
    ->Args({QUARN_FORMAT_RGB888, kDrawPixels})
    ->Args({QUARN_FORMAT_RGB8888, kDrawPixels})
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Reports the mean of each case and the ratios to memcpy.
class RatioReporter : public MeanReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double base = Mean("Memcpy/768x576x4");
    if (base <= 0) return;
    std::printf(
        "\nOne PAL live frame (format 1 RGB888, 4 RGB8888, 0 YUV422), divided by memcpy of "
        "768 x 576 x 4 bytes (steps 0 is the whole path, 1 WritePixels alone, 2 the paint "
        "alone, 3 the whole path through DrawPixels):\n");
    for (const auto& [name, time] : means()) {
      if (name.rfind("LiveFrame", 0) != 0) continue;
      const double ratio = time / base;
      std::printf("  %-32s %5.2fx memcpy", name.c_str(), ratio);
      if (name.find("steps:0") != std::string::npos) {
        std::printf("  (target at most %.1fx: %s)", kTarget,
                    ratio <= kTarget ? "within target" : "OVER TARGET");
      }
      std::printf("\n");
    }
  }
};

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
