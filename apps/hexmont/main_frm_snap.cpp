// main_frm_snap.cpp - Hexmont's main frame: Snap Shot, which fills static memory with a sequence
// of frames of every card for playback, and the continuous Snap, a two-slot ring per card whose
// frames the library hands to SnapFrameCallback on its own threads to be drawn into the cells.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "card_helpers.h"
#include "command_ids.h"
#include "hexmont_layout.h"
#include "main_frm.h"
#include "services.h"
#include "static_frames.h"

namespace {

// Slots of each card's snap ring.
constexpr uint16_t kSnapSlots = 2;

}  // namespace

void CMainFrame::RegisterSnapCommands() {
  On(ID_VIEW_SNAP_SHOT, [this] {
    OnSnapShot();
  }).Rule(ID_VIEW_SNAP_SHOT, RuleOf<hexmont::IdleOnlyRule>());
  On(ID_VIEW_SNAP, [this] { OnSnap(); }).Rule(ID_VIEW_SNAP, RuleOf<hexmont::SnapRule>());
}

// ---- Snap Shot ----------------------------------------------------------------------------------

void CMainFrame::OnSnapShot() {
  int pages = 0;
  if (const int status = CVideoCard::GetStaticMem(pages); status != QUARN_OK) {
    ShowStatusBox(status);
    return;
  }
  const uint64_t total = static_cast<uint64_t>(pages > 0 ? pages : 0) * QUARN_PAGE_SIZE;

  // D is one frame of every card together: its output width, the height halved in the field
  // modes.
  uint64_t together = 0;
  for (const auto& cell : grid_.Cells()) together += static_cast<uint64_t>(cell->card.FrameBytes());

  if (together != 0) {
    // The library's count is 16-bit: never more than it can be asked to store, so the notice and
    // playback claim only frames that were stored.
    const uint16_t count = FramesThatFit(total, together);
    // Card 0's whole sequence first, then card 1's, ...; memory is not cleared first.
    uint64_t offset = 0;
    bool anyStored = false;
    std::vector<int> failures;
    {
      // Storing a large reservation takes seconds, with nothing else to show.
      const CWaitCursor wait;
      for (const auto& cell : grid_.Cells()) {
        cell->snapOffset = offset;
        // On success the card's picture describes the frames it stored.
        const int status = cell->card.SnapShot(offset, 0, 1, count);
        // A card that stored nothing is never played back: its memory holds no frame of it.
        cell->framesStored = status == QUARN_OK;
        if (status != QUARN_OK) failures.push_back(status);
        anyStored = anyStored || cell->framesStored;
        offset += count * static_cast<uint64_t>(cell->card.FrameBytes());
      }
    }
    // Each failing card's box, in card order, once the pointer is back.
    for (const int status : failures) ShowStatusBox(status);
    Invalidate(TRUE);
    // With no card's frames stored there is nothing to tell or to play.
    if (!anyStored) {
      storedFrames_ = 0;
      return;
    }
    storedFrames_ = count;
  }

  char text[96];
  std::snprintf(text, sizeof text, "Snap shot %d images totally to memory ", storedFrames_);
  Services().messageBox->Show(this, text, "Notice", MB_OK);
}

// ---- Snap ---------------------------------------------------------------------------------------

bool CMainFrame::CloseAllSnaps() {
  bool allClosed = true;
  for (const auto& cell : grid_.Cells()) {
    // A close returns only when no callback of that card runs any more. One that fails leaves
    // the card delivering: it stays open, and the frame stays in Snap so that it can be closed
    // again; nothing of it is changed meanwhile. A card whose open failed has nothing to close.
    cell->card.CloseSnap();
    if (cell->card.SnapOpen()) allClosed = false;
  }
  if (allClosed) mode_ = AcquisitionMode::kIdle;
  return allClosed;
}

void CMainFrame::OnSnap() {
  if (mode_ == AcquisitionMode::kSnap) {
    CloseAllSnaps();
    Invalidate(TRUE);
    return;
  }

  mode_ = AcquisitionMode::kSnap;
  CView* view = GetActiveView();
  CHostWindow* window = view != nullptr ? &view->HostWindow() : nullptr;
  // The callback places each cell by the view's geometry snapshot: bring it up to date.
  if (window != nullptr) window->UpdateGeometry();
  uint64_t offset = 0;
  for (const auto& cell : grid_.Cells()) {
    // Everything the callback reads is in place before the card starts delivering (the start
    // describes the frames in the card's picture before the first can come).
    cell->snapOffset = offset;
    cell->snapWindow = window;
    // A card whose open failed delivers nothing and has nothing to close; its start still goes
    // out and reports its own failure.
    cell->card.OpenSnap(&CMainFrame::SnapFrameCallback, cell.get());
    const int status = cell->card.StartSnap(offset, cell->interline, kSnapSlots);
    if (status != QUARN_OK) {
      // The other cards still start; a card that failed takes no room.
      ShowStatusBox(status);
    } else {
      offset += hexmont::SnapRingBytes(cell->card.GetVideoFormat(), cell->OutputWidth(),
                                       cell->OutputHeight());
    }
    // A sequence of Snap Shot can no longer be played back.
    storedFrames_ = 0;
  }
  Invalidate(TRUE);
}

int CMainFrame::SnapFrameCallback(QuarnSnapInfo* info) {
  if (info == nullptr || info->context == nullptr) return 1;
  // A slot the ring does not have would read past it: that frame is skipped.
  if (!SlotInRing(info->slot, kSnapSlots)) return 1;
  static_cast<CSnapContext*>(info->context)->VisitAs<CGridCard>([&](CGridCard& cell) {
    DrawSnapFrame(cell, info->slot);
  });
  return 1;
}

void CMainFrame::DrawSnapFrame(CGridCard& cell, uint32_t slot) {
  CDisplayPicture& picture = cell.card.Picture();
  if (picture.Header() == nullptr || !picture.HasBuffer()) return;
  // A failed lock leaves the buffer as it was; the old picture is drawn again.
  cell.card.ConvertSnapSlot(cell.snapOffset, slot);

  if (cell.snapWindow == nullptr) return;
  CHostWindow& window = *cell.snapWindow;
  CClientDC dc(window);
  // The cell's corner in the view's client coordinates, from the geometry the user-interface
  // thread keeps (no widget is asked from this thread).
  const QRect client = window.Geometry().clientOnScreen;
  picture.Draw(dc, cell.cellRect.left - client.left(), cell.cellRect.top - client.top());
}
