// adjust_apply_bench.cpp - one step of an Adjust bar applied to 128 simulated cards in live video:
// the real main frame, every card selected, opens its Adjust dialog on all the cards, and each
// step is one thumb notification of the brightness bar, which the dialog gives to every card's
// brightness setter. The library's setters only record the value; each card's own thread takes it
// into its picture tables before it renders its next frame. Target: 5 ms or less, so dragging a
// bar stays smooth.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "adjust_dlg.h"
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
  if (frame->Grid().CardCount() != kCards) {
    state.SkipWithError("the simulated cards are not 128");
    return;
  }
  frame->MoveWindow(0, 0, 1280, 1024);
  h.ProcessEvents();
  if (!h.Send(ID_VIEW_CAPTURE) || frame->FrameState().mode != AcquisitionMode::kLive) {
    state.SkipWithError("live video did not start");
    return;
  }
  // The steps run while the dialog is open, as the user drags; then it ends with OK.
  bool ran = false;
  int last = -1;  // the brightness of the last step
  h.dialogDriver = [&](CDialog& dialog) {
    if (dialog.GetTemplateId() != IDD_ADJUST) return;
    ran = true;
    const auto bar = reinterpret_cast<LPARAM>(dialog.GetScrollBarCtrl(IDC_ADJUST_BRIGHTNESS_BAR));
    int value = 0;
    for (auto _ : state) {
      last = value;
      dialog.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, value), bar);
      value = (value + 1) & 0xFF;
    }
    dialog.SendMessage(WM_COMMAND, IDOK, 0);
  };
  h.Send(ID_PARAM_ADJUST);
  h.dialogDriver = {};
  if (!ran) state.SkipWithError("the Adjust dialog did not open");
  // Every card must have taken the last step, or the time measured less than a step's work.
  for (const auto& cell : frame->Grid().Cells()) {
    if (cell->card.GetBrightness() != last) {
      state.SkipWithError("a step did not reach every card");
      break;
    }
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
