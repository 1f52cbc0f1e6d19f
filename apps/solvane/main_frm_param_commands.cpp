// main_frm_param_commands.cpp - Solvane's parameter menu: the value items (format, standard,
// scan mode, crystal) and the toggles (mirror, chroma trap, interline) through the card object's
// setters, with the re-layout a new standard or scan mode needs.
#include "adjust_dlg.h"
#include "card_helpers.h"
#include "command_ids.h"
#include "delay_dlg.h"
#include "main_frm.h"
#include "parameter_items.h"
#include "resource_ids.h"
#include "video_source_dlg.h"

void CMainFrame::RegisterParameterCommands() {
  for (const ParameterValueItem& item : kFormatItems) {
    On(item.id, [this, v = item.value] {
      Card().SetVideoFormat(v);
    }).Rule(item.id, RuleOf<solvane::FormatItemRule>(item.value));
  }
  for (const ParameterValueItem& item : kStandardItems) {
    On(item.id, [this, v = item.value] {
      OnStandard(v);
    }).Rule(item.id, RuleOf<solvane::StandardItemRule>(item.value));
  }
  for (const ParameterValueItem& item : ScanItems(solvane::ID_SCAN_FIELD1)) {
    On(item.id, [this, v = item.value] {
      OnScanMode(v);
    }).Rule(item.id, RuleOf<solvane::ScanItemRule>(item.value));
  }
  // The card-type items ask the card its type at every menu update.
  for (const ParameterValueItem& item : kCrystalItems) {
    On(item.id, [this, v = item.value] {
      Card().SetCrystal(v);
    }).Rule(item.id, CardTypeRuleOf<solvane::CrystalItemRule>(item.value));
  }
  On(ID_MIRROR_HORIZONTAL, [this] {
    OnMirror(kMirrorHorizontal);
  }).Rule(ID_MIRROR_HORIZONTAL, CardTypeRuleOf<solvane::MirrorItemRule>(kMirrorHorizontal));
  On(ID_MIRROR_VERTICAL, [this] {
    OnMirror(kMirrorVertical);
  }).Rule(ID_MIRROR_VERTICAL, CardTypeRuleOf<solvane::MirrorItemRule>(kMirrorVertical));
  On(ID_CHROMA_TRAP, [this] { OnChromaTrap(); }).Rule(ID_CHROMA_TRAP, [this](CCmdUI& ui) {
    ApplyMenuRule(ui, solvane::ChromaTrapRule(FrameStateWithCardType()));
  });
  On(ID_PARAM_INTERLINE, [this] {
    interline = interline != 0 ? 0 : 1;
  }).Rule(ID_PARAM_INTERLINE, RuleOf<solvane::InterlineRule>());
  // The dialogs work through the card object, which keeps every value it accepts at once.
  On(ID_PARAM_VIDEO_SOURCE, [this] {
    CVideoSourceDlg dialog(this, {&Card()});
    dialog.DoModal();
  });
  On(ID_PARAM_ADJUST, [this] {
    CAdjustDlg dialog(this, {&Card()});
    dialog.DoModal();
  });
  On(ID_PARAM_DELAY, [this] {
    CDelayDlg dialog(this, &Card());
    dialog.DoModal();
  });
}

SolvaneFrameState CMainFrame::FrameStateWithCardType() const {
  SolvaneFrameState state = FrameState();
  int type = 0;
  if (Card().GetCardType(type) == QUARN_OK) state.cardType = type;
  return state;
}

void CMainFrame::OnStandard(int standard) {
  // The window, its limits and the card's windows follow the new image size; a value the card
  // only remembers (-7) changes nothing on the screen yet.
  if (Card().SetVideoStandard(standard) == QUARN_OK) Relayout();
}

void CMainFrame::OnScanMode(int scanMode) {
  if (Card().SetScanMode(scanMode) != QUARN_OK) return;
  // The mask pattern depends on the picture height: switched off and on again, it is rebuilt.
  if (Card().IsMaskEnabled() != 0) {
    SendMessage(WM_COMMAND, ID_VIEW_MASK, 0);
    SendMessage(WM_COMMAND, ID_VIEW_MASK, 0);
  }
  Relayout();
}

void CMainFrame::OnMirror(int direction) {
  const int flag =
      direction == kMirrorHorizontal ? Card().GetMirrorHorizontal() : Card().GetMirrorVertical();
  Card().SetMirror(direction, flag != 0 ? 0 : 1);  // failures are silent
}

void CMainFrame::OnChromaTrap() {
  const int status = Card().SetChromaTrap(kLumaChromaTrap, Card().GetChromaTrap() != 0 ? 0 : 1);
  if (status != QUARN_OK) ShowStatusBox(status);
}
