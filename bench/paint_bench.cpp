// paint_bench.cpp - the cost of Hexmont's view paint with 128 cards: every card's display buffer
// stretch-blitted (COLORONCOLOR, DIB_RGB_COLORS, SRCCOPY) into its grid cell of a 1280 x 1024
// view through a device context over the view's backing store, cells and destinations computed
// by the same layout rules as the program. Two buffer sizes: a fresh 768 x 576 picture shrunk
// into each cell, and a read-back picture of the cell's own size drawn 1:1. Target: at most 20 ms
// for the whole paint.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "backing_store.h"
#include "dc.h"
#include "hexmont_layout.h"
#include "host_window.h"
#include "mean_reporter.h"

namespace {

constexpr int kCards = 128;
constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 1024;

// One card as the paint sees it: its cell, output window, header and 32-bit display buffer.
struct PaintCard {
  RECT cell{};
  RECT output{};
  BITMAPINFO header{};
  std::vector<uint32_t> pixels;
};

std::vector<PaintCard> MakeCards(bool fullPicture) {
  const RECT view{0, 0, kViewWidth, kViewHeight};
  std::vector<PaintCard> cards(kCards);
  for (int i = 0; i < kCards; ++i) {
    PaintCard& card = cards[static_cast<size_t>(i)];
    card.cell = hexmont::GridCell(view, i, kCards, RECT{});
    card.output = hexmont::FitOutputRect(card.cell, 0, 0, kViewWidth, kViewHeight, 768, 576, 4, 2);
    const int width = fullPicture ? 768 : std::max<int>(1, card.output.right - card.output.left);
    const int height = fullPicture ? 576 : std::max<int>(1, card.output.bottom - card.output.top);
    BITMAPINFOHEADER& info = card.header.bmiHeader;
    info.biSize = sizeof(BITMAPINFOHEADER);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    card.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height),
                       0x00102030u + static_cast<uint32_t>(i));
  }
  return cards;
}

void BM_PaintCards(benchmark::State& state) {
  const bool fullPicture = state.range(0) != 0;
  std::vector<PaintCard> cards = MakeCards(fullPicture);
  CBackingStore store;
  store.Resize(kViewWidth, kViewHeight);
  CHostWindow host(store);
  HostGeometry geometry;
  geometry.clientOnScreen = QRect(0, 0, kViewWidth, kViewHeight);
  geometry.screenSize = QSize(kViewWidth, kViewHeight);
  host.SetGeometry(geometry);

  int lines = 0;
  for (auto _ : state) {
    CClientDC dc(host);
    dc.SetStretchBltMode(COLORONCOLOR);
    for (const PaintCard& card : cards) {
      const BITMAPINFOHEADER& info = card.header.bmiHeader;
      const RECT dest = hexmont::PaintDestination(POINT{card.cell.left, card.cell.top},
                                                  info.biWidth, info.biHeight, card.output);
      lines += dc.StretchDIBits(dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top,
                                0, 0, info.biWidth, info.biHeight, card.pixels.data(), &card.header,
                                DIB_RGB_COLORS, SRCCOPY);
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetLabel(fullPicture ? "768x576 pictures shrunk into the cells"
                             : "cell-sized pictures 1:1");
}

}  // namespace

BENCHMARK(BM_PaintCards)
    ->Name("Paint128Cards")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Prints each case's mean next to the 20 ms target.
class TargetReporter : public MeanReporter {
 public:
  TargetReporter() : MeanReporter(Clock::kReal) {}
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nPainting 128 cards into a 1280 x 1024 view (target at most 20 ms):\n");
    for (const auto& [name, ms] : means()) {
      std::printf("  %-20s %7.2f ms  %s\n", name.c_str(), ms, ms <= 20.0 ? "ok" : "OVER");
    }
  }
};

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TargetReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
