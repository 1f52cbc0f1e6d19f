// main_frm_shot_mask.cpp - Hexmont's main frame: freezing a card's picture and reading it back
// into its display buffer (Capture Shot and the stop of live video), and the Mask command that
// loads the demonstration pixel mask into every card and switches it on or off.
#include "QuarnVidEx.h"
#include "card_helpers.h"
#include "command_ids.h"
#include "main_frm.h"
#include "pixel_mask.h"

void CMainFrame::RegisterShotMaskCommands() {
  On(ID_VIEW_CAPTURE_SHOT, [this] {
    OnCaptureShot();
  }).Rule(ID_VIEW_CAPTURE_SHOT, RuleOf<hexmont::IdleOnlyRule>());
  On(ID_VIEW_MASK, [this] { OnMask(); }).Rule(ID_VIEW_MASK, RuleOf<hexmont::MaskRule>());
}

void CMainFrame::FreezeAndReadBack(CardRecord& record, CView& view, CDC& dc,
                                   bool reportFreezeFailure) {
  const int status = QuarnCaptureShot(record.handle);
  // A failed freeze is reported (when asked) and the picture on the screen is read back anyway.
  if (status != QUARN_OK && reportFreezeFailure) ShowStatusBox(status);

  // The picture lies at the top-left corner of the card's cell.
  POINT origin{record.cellRect.left, record.cellRect.top};
  view.ScreenToClient(&origin);
  const int width = record.outputRect.right - record.outputRect.left;
  int height = record.outputRect.bottom - record.outputRect.top;
  // The field modes deliver every other line only.
  if (record.params.scanMode == kScanField || record.params.scanMode == kScanField1) height /= 2;
  // The library writes the depth; the size is kept only for a picture it read. A failure is
  // silent.
  record.picture.ReadBack(dc, origin.x, origin.y, width, height);
}

void CMainFrame::OnCaptureShot() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  {
    CClientDC dc(view->HostWindow());
    // The frame's palette is in force while the pictures are read, so 8-bit ones read true.
    const CScopedPalette palette(dc, cards_.palette.get());
    // Every card, whichever one the parameter commands are aimed at.
    for (CardRecord& record : cards_.Records()) FreezeAndReadBack(record, *view, dc, true);
  }  // the context is released here
  // The mode stays idle, so the repaint shows the display buffers.
  Invalidate(TRUE);
}

void CMainFrame::OnMask() {
  cards_.mask = cards_.mask != 0 ? 0 : 1;
  // Every pattern is in place before any card switches its mask on.
  if (cards_.mask != 0) {
    for (const CardRecord& record : cards_.Records()) {
      const int height =
          record.params.scanMode == kScanFrame ? record.imageHeight : record.imageHeight / 2;
      LoadDemonstrationMask(record.handle, record.imageWidth, height);
    }
  }
  // Mask failures are not reported.
  for (const CardRecord& record : cards_.Records()) QuarnEnableMask(record.handle, cards_.mask);
}
