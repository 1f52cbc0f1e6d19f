// main_frm_snap.cpp - Hexmont's main frame: Snap Shot, which fills static memory with a sequence
// of frames of every card for playback, and the continuous Snap, a two-slot ring per card whose
// frames the library hands to SnapFrameCallback on its own threads to be drawn into the cells.
#include <cstdio>

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
  On(ID_VIEW_SNAP_SHOT, [this] { OnSnapShot(); }).Rule(ID_VIEW_SNAP_SHOT, [this](CCmdUI& ui) {
    ui.Enable(cards_.mode == CCardSet::kModeIdle);
  });
  On(ID_VIEW_SNAP, [this] { OnSnap(); }).Rule(ID_VIEW_SNAP, [this](CCmdUI& ui) {
    ui.Enable(cards_.mode == CCardSet::kModeIdle || cards_.mode == CCardSet::kModeSnap);
    ui.SetCheck(cards_.mode == CCardSet::kModeSnap ? 1 : 0);
  });
}

// ---- Snap Shot ----------------------------------------------------------------------------------

void CMainFrame::OnSnapShot() {
  int pages = 0;
  if (QuarnGetStaticMem(&pages) != QUARN_OK) return;  // nothing at all, silently
  const uint64_t total = static_cast<uint64_t>(pages > 0 ? pages : 0) * QUARN_PAGE_SIZE;

  // One stored frame of a card: its output width, the height halved in the field modes.
  const auto frameBytes = [](const CardRecord& record) {
    return StoredFrameBytes(
        record.format, record.outputRect.right - record.outputRect.left,
        SnapShotLines(record.outputRect.bottom - record.outputRect.top, record.scanMode));
  };
  // Every card's header describes the frames it stores; D is one frame of every card together.
  uint64_t together = 0;
  for (CardRecord& record : cards_.Records()) {
    if (BITMAPINFO* header = record.displayHeader) {
      header->bmiHeader.biWidth = record.outputRect.right - record.outputRect.left;
      header->bmiHeader.biHeight =
          SnapShotLines(record.outputRect.bottom - record.outputRect.top, record.scanMode);
      header->bmiHeader.biBitCount = static_cast<WORD>(StoredFrameBitCount(record.format));
    }
    together += frameBytes(record);
  }

  if (together != 0) {
    // The library's count is 16-bit: never more than it can be asked to store, so the notice and
    // playback claim only frames that were stored.
    const uint16_t count = FramesThatFit(total, together);
    cards_.storedImages = count;
    // Card 0's whole sequence first, then card 1's, ...; memory is not cleared first.
    uint64_t offset = 0;
    for (CardRecord& record : cards_.Records()) {
      record.snapOffset = offset;
      QuarnSnapShot(record.handle, offset, 0, 1, count);  // the status is not examined
      offset += count * frameBytes(record);
    }
    Invalidate(TRUE);
  }

  char text[96];
  std::snprintf(text, sizeof text, "Snap shot %d images totally to memory ", cards_.storedImages);
  Services().messageBox->Show(this, text, "Notice", MB_OK);
}

// ---- Snap ---------------------------------------------------------------------------------------

void CMainFrame::CloseAllSnaps() {
  // Each close returns only when no callback of that card runs any more.
  for (const CardRecord& record : cards_.Records()) QuarnCloseSnapEx(record.handle);
  cards_.mode = CCardSet::kModeIdle;
}

void CMainFrame::OnSnap() {
  if (cards_.mode == CCardSet::kModeSnap) {
    CloseAllSnaps();
    Invalidate(TRUE);
    return;
  }

  cards_.mode = CCardSet::kModeSnap;
  CView* view = GetActiveView();
  CHostWindow* window = view != nullptr ? &view->HostWindow() : nullptr;
  // The callback places each cell by the view's geometry snapshot: bring it up to date.
  if (window != nullptr) window->UpdateGeometry();
  uint64_t offset = 0;
  for (CardRecord& record : cards_.Records()) {
    QuarnOpenSnapEx(record.handle, &CMainFrame::SnapFrameCallback, &record);  // not examined
    // Everything the callback reads is in place before the card starts delivering.
    record.snapOffset = offset;
    record.snapWindow = window;
    record.snapPalette = cards_.palette.get();
    if (BITMAPINFO* header = record.displayHeader) {
      header->bmiHeader.biBitCount = static_cast<WORD>(StoredFrameBitCount(record.format));
    }
    const int status = QuarnStartSnapEx(record.handle, offset, record.interline, kSnapSlots);
    if (status != QUARN_OK) {
      // The other cards still start; a card that failed takes no room.
      ShowStatusBox(status);
    } else {
      offset +=
          hexmont::SnapRingBytes(record.format, record.outputRect.right - record.outputRect.left,
                                 record.outputRect.bottom - record.outputRect.top);
    }
    // A sequence of Snap Shot can no longer be played back.
    cards_.storedImages = 0;
  }
  Invalidate(TRUE);
}

int CMainFrame::SnapFrameCallback(QuarnSnapInfo* info) {
  if (info == nullptr || info->context == nullptr) return 1;
  CardRecord& record = *static_cast<CardRecord*>(info->context);
  // A slot the ring does not have would read past it: that frame is skipped.
  if (!SlotInRing(info->slot, kSnapSlots)) return 1;
  BITMAPINFO* header = record.displayHeader;
  if (header == nullptr || record.displayBuffer.empty()) return 1;

  const int width = record.outputRect.right - record.outputRect.left;
  const int lines = SnapLines(record.outputRect.bottom - record.outputRect.top, record.scanMode,
                              record.interline);
  header->bmiHeader.biWidth = width;
  header->bmiHeader.biHeight = lines;
  const uint64_t frameBytes = StoredFrameBytes(record.format, width, lines);
  {
    // A failed lock leaves the buffer as it was; the old picture is drawn again.
    const StaticMemLock lock(record.snapOffset + frameBytes * info->slot, frameBytes);
    if (lock.ok()) {
      QuarnDataTransform(record.displayBuffer.data(), lock.address(), width, lines,
                         BitsForFormat(record.format), QUARN_TRANSFORM_STORED);
    }
  }

  if (record.snapWindow == nullptr) return 1;
  CHostWindow& window = *record.snapWindow;
  CClientDC dc(window);
  // The cell's corner in the view's client coordinates, from the geometry the user-interface
  // thread keeps (no widget is asked from this thread).
  const QRect client = window.Geometry().clientOnScreen;
  const int x = record.cellRect.left - client.left();
  const int y = record.cellRect.top - client.top();
  // Several cards' threads draw at once: the palette displaced is kept here, not in the frame.
  CPalette* displaced = nullptr;
  const bool eightBit = header->bmiHeader.biBitCount == 8;
  if (eightBit && record.snapPalette != nullptr) {
    displaced = dc.SelectPalette(record.snapPalette, FALSE);
    dc.RealizePalette();
  }
  dc.StretchDIBits(x, y, width, lines, 0, 0, width, lines, record.displayBuffer.data(), header,
                   DIB_RGB_COLORS, SRCCOPY);
  if (displaced != nullptr) {
    dc.SelectPalette(displaced, FALSE);
    dc.RealizePalette();
  }
  return 1;
}
