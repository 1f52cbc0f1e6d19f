// transform_bench.cpp - speed of the simulated card's frame conversion (QuarnDataTransform, and
// TransformFrame underneath it) and picture rendering at 768 x 576, each next to a memcpy of the
// bytes it writes, measured in one run. Ends with a table "YUV422 QuarnDataTransform 2.5x memcpy
// (target 2.5)".
//
//   transform_bench [--benchmark_filter=...]
//
// Every case runs several times and the table compares the shortest CPU time of each: on a
// machine shared with other work that is the figure that repeats from run to run (all cases are
// single-threaded, so CPU time is the time the work took).
#include <QuarnVidEx.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "picture.h"
#include "pixels.h"

namespace {

constexpr int kWidth = QUARN_PAL_WIDTH;
constexpr int kHeight = QUARN_PAL_HEIGHT;

struct FormatInfo {
  int format;
  const char* name;
  double transformTarget;  // transform time / memcpy of its output, at most
};

constexpr FormatInfo kFormats[] = {
    {QUARN_FORMAT_YUV422, "YUV422", 2.5},     {QUARN_FORMAT_RGB888, "RGB888", 1.2},
    {QUARN_FORMAT_RGB565, "RGB565", 3.0},     {QUARN_FORMAT_RGB555, "RGB555", 3.0},
    {QUARN_FORMAT_RGB8888, "RGB8888", 1.5},   {QUARN_FORMAT_ALL8, "ALL8", 1.2},
    {QUARN_FORMAT_LIMITED8, "LIMITED8", 1.2},
};
constexpr double kRenderTarget = 3.0;  // Render time / memcpy of the rendered frame, at most

// A buffer starting on a 64-byte boundary: the copies being compared all start aligned alike, so
// that alignment does not tilt a ratio.
class Buffer {
 public:
  explicit Buffer(size_t bytes, uint8_t fill = 0)
      : storage_(bytes + 64, fill),
        data_(storage_.data() + (64 - reinterpret_cast<uintptr_t>(storage_.data()) % 64)),
        size_(bytes) {}
  // Moving keeps the vector's storage, so data_ stays valid; a copy would not.
  Buffer(Buffer&&) = default;
  Buffer& operator=(Buffer&&) = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  std::vector<uint8_t> storage_;
  uint8_t* data_;
  size_t size_;
};

bool IsEightBit(int format) {
  return quarnsim::BitsPerPixel(format) == 8;
}

size_t DibBytes(int format) {
  return quarnsim::DibStride(kWidth, IsEightBit(format) ? 8 : 24) * kHeight;
}

// One rendered source frame per format (a real picture, not a constant fill).
const Buffer& SourceFrame(int format) {
  static std::map<int, Buffer> frames;
  auto found = frames.find(format);
  if (found == frames.end()) {
    quarnsim::PictureParams params;
    params.format = format;
    quarnsim::PictureGenerator generator;
    generator.Configure(params);
    found =
        frames.emplace(format, Buffer(quarnsim::PackedFrameBytes(format, kWidth, kHeight))).first;
    generator.Render(17, quarnsim::Lines::kAll, nullptr, found->second.data());
  }
  return found->second;
}

void Memcpy(benchmark::State& state, size_t bytes) {
  Buffer src(bytes, 0x5A), dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_MemcpyDib24(benchmark::State& state) {
  Memcpy(state, DibBytes(QUARN_FORMAT_RGB888));
}
void BM_MemcpyDib8(benchmark::State& state) {
  Memcpy(state, DibBytes(QUARN_FORMAT_ALL8));
}

void BM_DataTransform(benchmark::State& state, int format) {
  const Buffer& src = SourceFrame(format);
  Buffer dst(DibBytes(format));
  const int bits = quarnsim::BitsPerPixel(format);
  for (auto _ : state) {
    const int status = QuarnDataTransform(dst.data(), src.data(), kWidth, kHeight, bits,
                                          QUARN_TRANSFORM_FORMAT(format));
    if (status != QUARN_OK) {
      state.SkipWithError("QuarnDataTransform failed");
      break;
    }
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dst.size()));
}

void BM_TransformFrame(benchmark::State& state, int format) {
  const Buffer& src = SourceFrame(format);
  Buffer dst(DibBytes(format));
  for (auto _ : state) {
    quarnsim::TransformFrame(dst.data(), src.data(), kWidth, kHeight, format);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dst.size()));
}

void BM_MemcpyFrame(benchmark::State& state, int format) {
  Memcpy(state, quarnsim::PackedFrameBytes(format, kWidth, kHeight));
}

void BM_Render(benchmark::State& state, int format) {
  quarnsim::PictureParams params;
  params.format = format;
  quarnsim::PictureGenerator generator;
  generator.Configure(params);
  Buffer dst(quarnsim::PackedFrameBytes(format, kWidth, kHeight));
  uint32_t frame = 0;
  for (auto _ : state) {
    generator.Render(frame++, quarnsim::Lines::kAll, nullptr, dst.data());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dst.size()));
}

// A harder frame: chroma dots, a rolling picture, both mirrors, and a mask of rectangles as the
// programs load them (a square, a line) plus a masked quarter of the picture.
void BM_RenderBusy(benchmark::State& state) {
  quarnsim::PictureParams params;
  params.format = QUARN_FORMAT_RGB888;
  params.chromaTrap = 0;
  params.crystal = QUARN_CRYSTAL_28M;
  params.mirrorHorizontal = params.mirrorVertical = true;
  params.maskEnabled = true;
  quarnsim::PixelMask mask;
  const auto maskRect = [&mask](int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) mask.Set(x, y, true);
    }
  };
  maskRect(50, 50, 50, 50);
  maskRect(100, 150, 100, 1);
  maskRect(kWidth / 2, kHeight / 2, kWidth / 2, kHeight / 2);
  quarnsim::PictureGenerator generator;
  generator.Configure(params);
  Buffer dst(quarnsim::PackedFrameBytes(params.format, kWidth, kHeight));
  uint32_t frame = 0;
  for (auto _ : state) {
    generator.Render(frame++, quarnsim::Lines::kAll, &mask, dst.data());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}

// Configure() runs on every parameter change; it must stay far below a frame time (40 ms).
void BM_Configure(benchmark::State& state) {
  quarnsim::PictureParams params;
  params.format = QUARN_FORMAT_RGB8888;
  params.chromaTrap = 0;
  quarnsim::PictureGenerator generator;
  uint8_t brightness = 0;
  for (auto _ : state) {
    params.brightness = brightness++;
    generator.Configure(params);
  }
}

constexpr int kRepetitions = 7;
constexpr double kMinSeconds = 0.1;

double Shortest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

template <typename... Args>
void Register(const std::string& name, Args&&... args) {
  benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
      ->Repetitions(kRepetitions)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", Shortest)
      ->MinTime(kMinSeconds);
}

// Remembers each case's shortest CPU time per iteration for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "min") continue;
      const std::string name = run.run_name.function_name;
      if (!aggregate && seenAggregate_.count(name) != 0) continue;
      if (aggregate) seenAggregate_[name] = true;
      times_[name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, bool> seenAggregate_;
};

int compared = 0;  // ratios printed

void PrintRatio(const RatioReporter& r, const std::string& label, const std::string& timed,
                const std::string& base, double target, bool* allMet) {
  const double t = r.Time(timed), b = r.Time(base);
  if (t <= 0 || b <= 0) return;  // filtered out or failed
  ++compared;
  const double ratio = t / b;
  const bool met = ratio <= target;
  *allMet = *allMet && met;
  std::printf("  %-28s %5.2fx memcpy  (target %.1f)%s\n", label.c_str(), ratio, target,
              met ? "" : "  OVER");
}

}  // namespace

int main(int argc, char** argv) {
  Register("Memcpy/Dib24", BM_MemcpyDib24);
  Register("Memcpy/Dib8", BM_MemcpyDib8);
  for (const FormatInfo& f : kFormats) {
    Register(std::string("QuarnDataTransform/") + f.name, BM_DataTransform, f.format);
    Register(std::string("TransformFrame/") + f.name, BM_TransformFrame, f.format);
  }
  for (const FormatInfo& f : kFormats) {
    Register(std::string("Memcpy/Frame") + f.name, BM_MemcpyFrame, f.format);
    Register(std::string("Render/") + f.name, BM_Render, f.format);
  }
  Register("Render/RGB888Busy", BM_RenderBusy);
  Register("Configure", BM_Configure);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  bool allMet = true;
  std::printf("\nTime per frame at %d x %d, divided by memcpy of the bytes written:\n", kWidth,
              kHeight);
  for (const FormatInfo& f : kFormats) {
    const std::string base = IsEightBit(f.format) ? "Memcpy/Dib8" : "Memcpy/Dib24";
    PrintRatio(reporter, std::string(f.name) + " QuarnDataTransform",
               std::string("QuarnDataTransform/") + f.name, base, f.transformTarget, &allMet);
    PrintRatio(reporter, std::string(f.name) + " TransformFrame",
               std::string("TransformFrame/") + f.name, base, f.transformTarget, &allMet);
  }
  for (const FormatInfo& f : kFormats) {
    PrintRatio(reporter, std::string(f.name) + " Render", std::string("Render/") + f.name,
               std::string("Memcpy/Frame") + f.name, kRenderTarget, &allMet);
  }
  PrintRatio(reporter, "RGB888 Render, busy frame", "Render/RGB888Busy", "Memcpy/FrameRGB888",
             kRenderTarget, &allMet);
  if (const double configure = reporter.Time("Configure"); configure > 0) {
    std::printf("  Configure                    %.0f us (a frame lasts 40000 us)\n",
                configure / 1000);
  }
  if (compared > 0) std::printf(allMet ? "All targets met.\n" : "Some targets missed (OVER).\n");
  benchmark::Shutdown();
  return 0;
}
