// adjust_apply_bench.cpp - one step of an Adjust bar applied to 128 simulated cards in live video:
// the WM_APPLY_ADJUST message to the real main frame with every card selected, which calls each
// card's brightness setter. The setters only record the value; each card's own thread takes it
// into its picture tables before it renders its next frame. Target: 5 ms or less, so dragging a
// bar stays smooth.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "apply_messages.h"
#include "command_ids.h"
#include "harness.h"
#include "hexmont_app.h"
#include "main_frm.h"
#include "resources.h"

namespace {

constexpr int kCards = 128;

void BM_AdjustStep128LiveCards(benchmark::State& state) {
  FrameworkHarness<CHexmontApp> h(HexmontResources());
  if (!h.Start()) {
    state.SkipWithError("hexmont did not start");
    return;
  }
  auto* frame = h.frameAs<CMainFrame>();
  CCardSet& cards = frame->Cards();
  if (cards.CardCount() != kCards) {
    state.SkipWithError("the simulated cards are not 128");
    return;
  }
  frame->MoveWindow(0, 0, 1280, 1024);
  h.ProcessEvents();
  if (!h.Send(ID_VIEW_CAPTURE) || cards.mode != AcquisitionMode::kLive) {
    state.SkipWithError("live video did not start");
    return;
  }
  int value = 0;
  for (auto _ : state) {
    h.SendMessage(WM_APPLY_ADJUST, kAdjustBrightness, value);
    value = (value + 1) & 0xFF;
  }
  h.Send(ID_VIEW_CAPTURE);
}
BENCHMARK(BM_AdjustStep128LiveCards)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QByteArray path = dir.path().toLocal8Bit();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("XDG_RUNTIME_DIR", path.constData(), 1);
  setenv("XDG_CONFIG_HOME", path.constData(), 1);
  setenv("QUARN_SIM_STATE_DIR", path.constData(), 1);
  setenv("QUARN_SIM_CARDS", "128", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("Target: one Adjust step on 128 cards in live video returns in 5 ms or less.\n");
  return 0;
}
