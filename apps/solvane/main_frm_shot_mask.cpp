// main_frm_shot_mask.cpp - Solvane's main frame: freezing the card's picture and reading it back
// into the display buffer (Capture Shot and the stop of live video), and the Mask command that
// loads the demonstration pixel mask into the card and switches it on or off.
#include "card_helpers.h"
#include "command_ids.h"
#include "dc.h"
#include "main_frm.h"
#include "pixel_mask.h"

void CMainFrame::RegisterShotMaskCommands() {
  On(ID_VIEW_CAPTURE_SHOT, [this] {
    OnCaptureShot();
  }).Rule(ID_VIEW_CAPTURE_SHOT, RuleOf<solvane::IdleOnlyRule>());
  On(ID_VIEW_MASK, [this] { OnMask(); }).Rule(ID_VIEW_MASK, RuleOf<solvane::MaskRule>());
}

int CMainFrame::FreezeAndReadBack(CView& view, CDC& dc, bool reportFreezeFailure) {
  CVideoCard& card = Card();
  const int status = card.CaptureShot(view.HostWindow());
  // A failed freeze is reported (when asked) and the picture on the screen is read back anyway.
  if (status != QUARN_OK && reportFreezeFailure) ShowStatusBox(status);
  // The masked areas show the view's background, in the picture read back too.
  if (card.IsMaskEnabled() != 0) FillMaskRectangles(dc);
  card.GetDisplayBits(&dc);  // a failed read-back keeps the header's size and is not reported
  return status;
}

void CMainFrame::OnCaptureShot() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CClientDC dc(view);
  // White until the read-back replaces it (and for good when the read-back fails).
  Card().ClearDisplayBuffer();
  // The frame's whole client area, which the view covers: the view repaints from the buffer.
  Invalidate(1);
  view->Invalidate(1);
  FreezeAndReadBack(*view, dc, true);
}

void CMainFrame::OnMask() {
  CVideoCard& card = Card();
  const int next = card.IsMaskEnabled() != 0 ? 0 : 1;
  // The pattern is reloaded at every switch-on, for the current standard and scan mode.
  if (next != 0) LoadDemonstrationMask(card, true);
  // The card keeps the flag only when the library accepts it (0 or "not applied yet"); other
  // failures leave the check mark on the old state. Nothing is reported.
  card.EnableMask(next);
}
