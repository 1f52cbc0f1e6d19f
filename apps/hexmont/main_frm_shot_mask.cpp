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

void CMainFrame::FreezeAndReadBack(CGridCard& cell, CView& view, CDC& dc,
                                   bool reportFreezeFailure) {
  const int status = cell.card.CaptureShot(view.HostWindow());
  // A failed freeze is reported (when asked) and the picture on the screen is read back anyway.
  if (status != QUARN_OK && reportFreezeFailure) ShowStatusBox(status);

  // The picture lies at the top-left corner of the card's cell. The library writes the depth;
  // the size is kept only for a picture it read. A failure is silent.
  POINT origin{cell.cellRect.left, cell.cellRect.top};
  view.ScreenToClient(&origin);
  cell.card.ReadBack(dc, origin.x, origin.y);
}

void CMainFrame::OnCaptureShot() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  {
    CClientDC dc(view->HostWindow());
    // The frame's palette is in force while the pictures are read, so 8-bit ones read true.
    const CScopedPalette palette(dc, palette_.get());
    // Every card, whichever one the parameter commands are aimed at.
    for (const auto& cell : grid_.Cells()) FreezeAndReadBack(*cell, *view, dc, true);
  }  // the context is released here
  // The mode stays idle, so the repaint shows the display buffers.
  Invalidate(TRUE);
}

void CMainFrame::OnMask() {
  maskOn_ = !maskOn_;
  // Every pattern is in place before any card switches its mask on.
  if (maskOn_) {
    for (const auto& cell : grid_.Cells()) {
      const ImageSize image = cell->card.GetImageSize();
      const int height = cell->card.GetScanMode() == kScanFrame ? image.height : image.height / 2;
      cell->card.LoadDemonstrationMask(image.width, height);
    }
  }
  // Mask failures are not reported.
  for (const auto& cell : grid_.Cells()) cell->card.EnableMask(maskOn_ ? 1 : 0);
}
