// live_draw_bench.cpp - the cost of one live-video frame of a PAL card reaching the screen: the
// simulated card's overlay draw (stored frame -> host pixels, then the host window's DrawPixels
// into the view's backing store) plus the view's paint copying it out, next to a memcpy of the
// same 768 x 576 x 4 bytes. Prints the ratio at the end of the run.
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

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint32_t> source(kWidth * kHeight, 0x00123456u), target(kWidth * kHeight);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

// One frame in `format` through the whole path a live frame takes in the programs.
void BM_LiveFrame(benchmark::State& state) {
  const int format = static_cast<int>(state.range(0));
  quarnsim::PictureGenerator generator;
  quarnsim::PictureParams params;
  params.format = format;
  generator.Configure(params);
  std::vector<uint8_t> frame(quarnsim::PackedFrameBytes(format, kWidth, kHeight));
  generator.Render(0, quarnsim::Lines::kAll, nullptr, frame.data());

  CBackingStore store;
  store.Resize(kWidth, kHeight);
  CHostWindow host(store);
  HostGeometry geometry;
  geometry.clientOnScreen = QRect(100, 100, kWidth, kHeight);
  geometry.screenSize = QSize(1280, 1024);
  host.SetGeometry(geometry);
  QImage screen(kWidth, kHeight, QImage::Format_RGB32);
  std::vector<uint32_t> pixels(kWidth * kHeight);
  const size_t stride = kWidth * sizeof(uint32_t);

  // Which steps run (bits): 1 the library's conversion, 2 the host window's draw into the backing
  // store, 4 the view's paint copying it out; 7 is the whole path.
  const int steps = static_cast<int>(state.range(1));
  for (auto _ : state) {
    // The library's thread: convert and draw over the window.
    if (steps & 1) {
      quarnsim::FrameToXrgb(frame.data(), format, kWidth, kHeight, pixels.data(), stride);
    }
    if (steps & 2) host.DrawPixels(100, 100, kWidth, kHeight, pixels.data(), stride);
    // The UI thread: the view's paint copies the backing store to the screen.
    if (steps & 4) {
      QPainter painter(&screen);
      store.Read([&painter](const QImage& image) { painter.drawImage(0, 0, image); });
      painter.end();
    }
    benchmark::DoNotOptimize(screen.constBits());
  }
}

}  // namespace

BENCHMARK(BM_Memcpy)->Name("Memcpy/768x576x4")->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_LiveFrame)
    ->Name("LiveFrame")
    ->ArgNames({"format", "steps"})
    ->Args({QUARN_FORMAT_RGB888, 7})
    ->Args({QUARN_FORMAT_RGB8888, 7})
    ->Args({QUARN_FORMAT_YUV422, 7})
    ->Args({QUARN_FORMAT_RGB888, 1})
    ->Args({QUARN_FORMAT_RGB888, 2})
    ->Args({QUARN_FORMAT_RGB888, 4})
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
        "\nOne PAL live frame (overlay draw + copy to the screen), divided by memcpy of "
        "768 x 576 x 4 bytes (target 4; steps 7 is the whole path, 1 the conversion, 2 "
        "the draw into the backing store, 4 the paint):\n");
    for (const auto& [name, time] : means()) {
      if (name.rfind("LiveFrame", 0) != 0) continue;
      std::printf("  %-32s %5.2fx memcpy\n", name.c_str(), time / base);
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
