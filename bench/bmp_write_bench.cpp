// bmp_write_bench.cpp - writing 100 PAL frames (768 x 576 at 24 bits) as BMP files with
// WriteBmpFile, next to plain write(2) of the same bytes to new files in the same folder. Ends
// with the writer's throughput as a share of plain write's (target: at least 0.8).
//
//   bmp_write_bench [--benchmark_enable_random_interleaving=true]
//
// The files go to a private folder under $TMPDIR (else /tmp), so the figure is that file
// system's. Every iteration writes new files: the previous iteration's are removed, untimed,
// before it starts. Wall-clock time, since the kernel's share of a write is the larger one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bmp_file.h"
#include "mean_reporter.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 100;
constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr double kTarget = 0.8;  // WriteBmpFile throughput / plain write's, at least
const char* const kWriterName = "WriteBmpFile/100xPAL24";
const char* const kPlainName = "PlainWrite/100xPAL24";

fs::path g_folder;

BITMAPINFO Description() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  return info;
}

// A display buffer holding a picture (not a constant fill).
const std::vector<uint8_t>& DisplayBuffer() {
  static const std::vector<uint8_t> buffer = [] {
    std::vector<uint8_t> bytes(size_t{kWidth} * kHeight * 4);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13 + i / 3072);
    return bytes;
  }();
  return buffer;
}

// The bytes of one file as WriteBmpFile writes it, taken from a file it wrote.
std::vector<uint8_t> FileBytes() {
  const fs::path path = g_folder / "reference.bmp";
  std::vector<uint8_t> bytes;
  if (!WriteBmpFile(path, Description(), DisplayBuffer())) return bytes;
  bytes.resize(fs::file_size(path));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const ssize_t n = fd >= 0 ? ::read(fd, bytes.data(), bytes.size()) : -1;
  if (fd >= 0) ::close(fd);
  fs::remove(path);
  if (n != static_cast<ssize_t>(bytes.size())) bytes.clear();
  return bytes;
}

std::string FrameName(int frame) {
  // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
  std::string name = "f";
  name += std::to_string(frame);
  name += ".bmp";
  return (g_folder / name).string();
}

void RemoveFrames() {
  for (int frame = 0; frame < kFrames; ++frame) ::unlink(FrameName(frame).c_str());
}

void BM_WriteBmpFile(benchmark::State& state) {
  const BITMAPINFO info = Description();
  const std::vector<uint8_t>& buffer = DisplayBuffer();
  const size_t fileBytes = FileBytes().size();
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFrames();
    state.ResumeTiming();
    for (int frame = 0; frame < kFrames; ++frame) {
      if (!WriteBmpFile(FrameName(frame), info, buffer)) {
        state.SkipWithError("WriteBmpFile failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * fileBytes));
  RemoveFrames();
}

bool PlainWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return ::close(fd) == 0 && done == bytes.size();
}

void BM_PlainWrite(benchmark::State& state) {
  const std::vector<uint8_t> bytes = FileBytes();
  if (bytes.empty()) {
    state.SkipWithError("no reference file");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFrames();
    state.ResumeTiming();
    for (int frame = 0; frame < kFrames; ++frame) {
      if (!PlainWrite(FrameName(frame), bytes)) {
        state.SkipWithError("write failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrames * bytes.size()));
  RemoveFrames();
}

BENCHMARK(BM_PlainWrite)
    ->Name(kPlainName)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteBmpFile)
    ->Name(kWriterName)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// Reports the writer's throughput as a share of plain write's.
class RatioReporter : public MeanReporter {
 public:
  RatioReporter() : MeanReporter(Clock::kReal) {}
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double plain = Mean(kPlainName);
    const double writer = Mean(kWriterName);
    if (plain <= 0 || writer <= 0) return;
    const double ratio = plain / writer;
    std::printf(
        "\n%d PAL frames at 24 bits into %s: WriteBmpFile %.2f x plain write throughput "
        "(target at least %.1f)%s\n",
        kFrames, g_folder.parent_path().c_str(), ratio, kTarget,
        ratio >= kTarget ? "" : "  UNDER TARGET");
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string dir = (fs::temp_directory_path() / "quarn-bmp-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) return 2;
  g_folder = dir;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(g_folder, ignored);
  return 0;
}
