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

int OutputWidth(const CardRecord& record) {
  return record.outputRect.right - record.outputRect.left;
}
int OutputHeight(const CardRecord& record) {
  return record.outputRect.bottom - record.outputRect.top;
}

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
  if (QuarnGetStaticMem(&pages) != QUARN_OK) return;  // nothing at all, silently
  const uint64_t total = static_cast<uint64_t>(pages > 0 ? pages : 0) * QUARN_PAGE_SIZE;

  // Every card's picture describes the frames it stores: its output width, the height halved in
  // the field modes. D is one frame of every card together.
  uint64_t together = 0;
  for (CardRecord& record : cards_.Records()) {
    record.picture.Describe(OutputWidth(record),
                            SnapShotLines(OutputHeight(record), record.params.scanMode),
                            StoredFrameBitCount(record.params.format));
    together += StoredFrameBytes(record.params.format, OutputWidth(record),
                                 SnapShotLines(OutputHeight(record), record.params.scanMode));
  }

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
      for (CardRecord& record : cards_.Records()) {
        record.snapOffset = offset;
        const int status = QuarnSnapShot(record.handle, offset, 0, 1, count);
        // A card that stored nothing is never played back: its memory holds no frame of it.
        record.framesStored = status == QUARN_OK;
        if (status != QUARN_OK) failures.push_back(status);
        anyStored = anyStored || record.framesStored;
        offset +=
            count * StoredFrameBytes(record.params.format, OutputWidth(record),
                                     SnapShotLines(OutputHeight(record), record.params.scanMode));
      }
    }
    // Each failing card's box, in card order, once the pointer is back.
    for (const int status : failures) ShowStatusBox(status);
    Invalidate(TRUE);
    // With no card's frames stored there is nothing to tell or to play.
    if (!anyStored) {
      cards_.storedImages = 0;
      return;
    }
    cards_.storedImages = count;
  }

  char text[96];
  std::snprintf(text, sizeof text, "Snap shot %d images totally to memory ", cards_.storedImages);
  Services().messageBox->Show(this, text, "Notice", MB_OK);
}

// ---- Snap ---------------------------------------------------------------------------------------

bool CMainFrame::CloseAllSnaps() {
  bool allClosed = true;
  for (CardRecord& record : cards_.Records()) {
    // A close returns only when no callback of that card runs any more. One that fails leaves
    // the card delivering: it stays open, and the frame stays in Snap so that it can be closed
    // again; nothing of it is changed meanwhile. A card whose open failed has nothing to close.
    if (QuarnCloseSnapEx(record.handle) == QUARN_OK || !record.snapOpen) {
      record.snapOpen = false;
      record.snapContext.Confirm();
    } else {
      allClosed = false;
    }
  }
  if (allClosed) cards_.mode = AcquisitionMode::kIdle;
  return allClosed;
}

void CMainFrame::OnSnap() {
  if (cards_.mode == AcquisitionMode::kSnap) {
    CloseAllSnaps();
    Invalidate(TRUE);
    return;
  }

  cards_.mode = AcquisitionMode::kSnap;
  CView* view = GetActiveView();
  CHostWindow* window = view != nullptr ? &view->HostWindow() : nullptr;
  // The callback places each cell by the view's geometry snapshot: bring it up to date.
  if (window != nullptr) window->UpdateGeometry();
  uint64_t offset = 0;
  for (CardRecord& record : cards_.Records()) {
    // Everything the callback reads is in place before the card starts delivering.
    record.snapOffset = offset;
    record.snapWindow = window;
    record.picture.Description().biBitCount =
        static_cast<WORD>(StoredFrameBitCount(record.params.format));
    const int opened = QuarnOpenSnapEx(record.handle, &CMainFrame::SnapFrameCallback,
                                       record.snapContext.Give(&record));
    // A card whose open failed delivers nothing and has nothing to close.
    record.snapOpen = opened == QUARN_OK;
    if (!record.snapOpen) record.snapContext.Confirm();
    const int status = QuarnStartSnapEx(record.handle, offset, record.interline, kSnapSlots);
    if (status != QUARN_OK) {
      // The other cards still start; a card that failed takes no room.
      ShowStatusBox(status);
    } else {
      offset +=
          hexmont::SnapRingBytes(record.params.format, OutputWidth(record), OutputHeight(record));
    }
    // A sequence of Snap Shot can no longer be played back.
    cards_.storedImages = 0;
  }
  Invalidate(TRUE);
}

int CMainFrame::SnapFrameCallback(QuarnSnapInfo* info) {
  if (info == nullptr || info->context == nullptr) return 1;
  // A slot the ring does not have would read past it: that frame is skipped.
  if (!SlotInRing(info->slot, kSnapSlots)) return 1;
  static_cast<CSnapContext*>(info->context)->VisitAs<CardRecord>([&](CardRecord& record) {
    DrawSnapFrame(record, info->slot);
  });
  return 1;
}

void CMainFrame::DrawSnapFrame(CardRecord& record, uint32_t slot) {
  CDisplayPicture& picture = record.picture;
  if (picture.Header() == nullptr || !picture.HasBuffer()) return;
  const int width = OutputWidth(record);
  const int lines = SnapLines(OutputHeight(record), record.params.scanMode, record.interline);
  picture.Describe(width, lines, picture.Description().biBitCount);
  const uint64_t frameBytes = StoredFrameBytes(record.params.format, width, lines);
  // A failed lock leaves the buffer as it was; the old picture is drawn again.
  picture.ConvertStoredFrame(record.snapOffset + frameBytes * slot, frameBytes,
                             record.params.format);

  if (record.snapWindow == nullptr) return;
  CHostWindow& window = *record.snapWindow;
  CClientDC dc(window);
  // The cell's corner in the view's client coordinates, from the geometry the user-interface
  // thread keeps (no widget is asked from this thread).
  const QRect client = window.Geometry().clientOnScreen;
  picture.Draw(dc, record.cellRect.left - client.left(), record.cellRect.top - client.top());
}
