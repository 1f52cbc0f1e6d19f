// hexmont_playback_bench.cpp - one step of Hexmont's Circle playback with 128 simulated cards on a
// 1280 x 1024 screen: the playback timer's message to the real main frame, which locks, converts
// and draws the next stored frame of every card into its cell. The frames come from a Snap Shot
// of the simulated cards. Target: well under the timer's 100 ms period.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "command_ids.h"
#include "harness.h"
#include "hexmont_app.h"
#include "hexmont_test_support.h"
#include "main_frm.h"
#include "resources.h"

namespace {

constexpr int kCards = 128;

void BM_CircleStep128Cards(benchmark::State& state) {
  FrameworkHarness<CHexmontApp> h(HexmontResources());
  if (!h.Start()) {
    state.SkipWithError("hexmont did not start");
    return;
  }
  auto* frame = h.frameAs<CMainFrame>();
  CCardGrid& cards = frame->Grid();
  if (cards.CardCount() != kCards) {
    state.SkipWithError("the simulated cards are not 128");
    return;
  }
  HexmontFrameProbe::ScreenWidth(*frame) = 1280;
  HexmontFrameProbe::ScreenHeight(*frame) = 1024;
  frame->MoveWindow(0, 0, 1280, 1024);
  h.ProcessEvents();
  h.SendMessage(WM_SIZE, 0, 0);
  h.Send(ID_VIEW_SNAP_SHOT);
  if (HexmontFrameProbe::StoredFrames(*frame) == 0 || !h.Send(ID_PLAYBACK_CIRCLE)) {
    state.SkipWithError("nothing stored");
    return;
  }
  for (auto _ : state) h.SendMessage(WM_TIMER, kPlaybackTimerId, 0);
  const RECT out = cards.Cell(0).OutputRect();
  state.counters["frames_stored"] = HexmontFrameProbe::StoredFrames(*frame);
  state.counters["cell_w"] = out.right - out.left;
  state.counters["cell_h"] = out.bottom - out.top;
  h.Send(ID_PLAYBACK_STOP);
}
BENCHMARK(BM_CircleStep128Cards)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  // Qt's offscreen platform; the simulated cards unpaced, with their state and the program's
  // instance lock and ini file in a folder of this run's own.
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QByteArray path = dir.path().toLocal8Bit();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("XDG_RUNTIME_DIR", path.constData(), 1);
  setenv("XDG_CONFIG_HOME", path.constData(), 1);
  setenv("QUARN_SIM_STATE_DIR", path.constData(), 1);
  setenv("QUARN_SIM_CARDS", "128", 1);
  setenv("QUARN_SIM_PACING", "0", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("Target: one Circle step of 128 cards well under the 100 ms timer period.\n");
  return 0;
}
