// main_frm_snap.cpp - Solvane's main frame: the continuous snap (Snap, its callback counting and
// drawing each frame and showing the frame rate in the title) and Snap Shot, which stores as many
// frames as static memory holds for playback.
#include <cstdio>
#include <string>

#include "card_helpers.h"
#include "command_ids.h"
#include "dc.h"
#include "main_frm.h"
#include "static_frames.h"

namespace {

// Static memory is reported in pages of this many bytes.
constexpr uint64_t kStaticMemPageBytes = 4096;

}  // namespace

int SnapFrameCallback(QuarnSnapInfo* info) {
  if (info == nullptr || info->context == nullptr) return 1;
  static_cast<CSnapContext*>(info->context)->VisitAs<CVideoWnd>([&](CVideoWnd& frame) {
    frame.OnSnapFrame(info->slot);
  });
  return 1;
}

// Runs on the library's thread. It touches only what the UI thread leaves alone while the snap
// runs (the card's windows, header and display buffer change only while the snap is stopped, Open
// is refused while it runs, Save As copies the picture under the lock the conversion holds, and
// the window it draws into was fixed before the snap opened), draws through the view's host
// window (usable from any thread), counts in atomics and hands the title over without waiting
// for the UI thread. No widget or frame window is asked anything here.
int CVideoWnd::OnSnapFrame(uint32_t slot) {
  // A slot the library reports outside the ring would read past it.
  if (!SlotInRing(slot, ringCount)) return 1;
  if (snapWindow == nullptr) return 1;
  CClientDC dc(*snapWindow);
  CVideoCard& card = Card();
  // A failed lock leaves the last picture in the buffer; it is drawn and counted again.
  card.TransformFromStaticMem(snapStartOffset, slot);
  card.Draw(&dc);

  const uint32_t frames = frameCounter.fetch_add(1, std::memory_order_relaxed) + 1;
  const uint32_t elapsed =
      Services().clock->GetTickCount() - startTick.load(std::memory_order_relaxed);
  // The average since the start: frames x 1000 in 32-bit unsigned arithmetic over the elapsed
  // milliseconds plus one. The one is added in 64 bits, so even an elapsed time that wrapped to
  // 2^32 - 1 (the start tick reset just after this frame read the clock) never divides by zero.
  const float fps =
      static_cast<float>(frames * 1000u) / static_cast<float>(static_cast<uint64_t>(elapsed) + 1u);
  const BITMAPINFO* header = card.GetDisplayHeader();
  char title[96];
  std::snprintf(title, sizeof title, "Quarn Performance [%d x %d]  %f(fps) ",
                header != nullptr ? header->bmiHeader.biWidth : 0,
                header != nullptr ? header->bmiHeader.biHeight : 0, static_cast<double>(fps));
  PostWindowText(title);
  return 1;
}

void CMainFrame::RegisterSnapCommands() {
  On(ID_VIEW_SNAP, [this] { OnSnap(); }).Rule(ID_VIEW_SNAP, RuleOf<solvane::SnapRule>());
  // Snap Shot may run exactly when Capture Shot may: card idle, playback off.
  On(ID_VIEW_SNAP_SHOT, [this] {
    OnSnapShot();
  }).Rule(ID_VIEW_SNAP_SHOT, RuleOf<solvane::IdleOnlyRule>());
}

void CMainFrame::OnSnap() {
  CVideoCard& card = Card();
  CView* view = GetActiveView();
  // The view shows the display buffer again once the snap is closed, and nothing while it runs.
  const auto invalidate = [this, view] {
    Invalidate(1);
    if (view != nullptr) view->Invalidate(1);
  };
  if (card.GetState() == CardState::kSnap) {
    // The close stops the snap too; it returns when no callback runs any more.
    card.CloseSnap();
    invalidate();
    return;
  }
  card.ClearDisplayBuffer();
  invalidate();
  // What the callback draws into is fixed before any frame can come.
  snapWindow = view != nullptr ? &view->HostWindow() : nullptr;
  // A failing open leaves the card idle and no frame would come: it is shown, and neither the
  // ring nor what Snap Shot stored is touched.
  if (const int opened = card.OpenSnap(&SnapFrameCallback, static_cast<CVideoWnd*>(this));
      opened != QUARN_OK) {
    ShowStatusBox(opened);
    return;
  }
  CVideoCard::FillStaticMem(snapStartOffset, static_cast<uint64_t>(card.FrameBytes()) * ringCount,
                            0xFF);
  // The rate counts from here: the first frame may arrive before the start call returns.
  startTick.store(Services().clock->GetTickCount(), std::memory_order_relaxed);
  frameCounter.store(0, std::memory_order_relaxed);
  const int status = card.StartSnap(snapStartOffset, interline, ringCount);
  if (status != QUARN_OK) ShowStatusBox(status);
  // The ring overwrites what Snap Shot stored, and a BMP sequence is no longer played.
  imageCount = 0;
  bmpSequence = 0;
}

void CMainFrame::OnSnapShot() {
  CVideoCard& card = Card();
  int pages = 0;
  // Without a reservation there is nowhere to store: the status says why.
  if (const int reserved = CVideoCard::GetStaticMem(pages); reserved != QUARN_OK) {
    ShowStatusBox(reserved);
    return;
  }
  const uint64_t total = static_cast<uint64_t>(pages < 0 ? 0 : pages) * kStaticMemPageBytes;
  const uint64_t available = total - snapStartOffset;
  const int64_t frameBytes = card.FrameBytes();
  if (frameBytes <= 0) return;
  // At most 65,535 frames: the library's count is 16-bit, and a wrapped count would store fewer
  // frames than the notice and playback claim.
  const uint16_t count = FramesThatFit(available, static_cast<uint64_t>(frameBytes));
  int status = QUARN_OK;
  {
    // Filling and storing a large reservation takes seconds, with nothing else to show.
    const CWaitCursor wait;
    CVideoCard::FillStaticMem(snapStartOffset, static_cast<uint64_t>(frameBytes) * count, 0xFF);
    status = card.SnapShot(snapStartOffset, 0, interline, count);
  }
  if (status != QUARN_OK) {
    ShowStatusBox(status);
    return;
  }
  imageCount = count;
  char text[64];
  std::snprintf(text, sizeof text, "Snap shot %d images totally to memory ",
                static_cast<int>(count));
  Services().messageBox->Show(this, text, "Notice", MB_OK);
}
