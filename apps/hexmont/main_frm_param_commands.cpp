// main_frm_param_commands.cpp - Hexmont's parameter menu: the value items (format, standard,
// scan mode, crystal), the toggles (mirror, chroma trap, interline) and the dialogs, each applied
// to the target cards of the card selection.
#include "adjust_dlg.h"
#include "command_ids.h"
#include "main_frm.h"
#include "parameter_items.h"
#include "resource_ids.h"
#include "select_card_dlg.h"
#include "video_source_dlg.h"

void CMainFrame::RegisterParameterCommands() {
  for (const ParameterValueItem& item : kFormatItems) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&CVideoCard::SetVideoFormat, v);
    }).Rule(item.id, RuleOf<hexmont::FormatItemRule>(item.value));
  }
  for (const ParameterValueItem& item : kStandardItems) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&CVideoCard::SetVideoStandard, v);
    }).Rule(item.id, RuleOf<hexmont::StandardItemRule>(item.value));
  }
  for (const ParameterValueItem& item : ScanItems(hexmont::ID_SCAN_FIELD1)) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&CVideoCard::SetScanMode, v);
    }).Rule(item.id, RuleOf<hexmont::ScanItemRule>(item.value));
  }
  for (const ParameterValueItem& item : kCrystalItems) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&CVideoCard::SetCrystal, v);
    }).Rule(item.id, RuleOf<hexmont::CrystalItemRule>(item.value));
  }
  On(ID_MIRROR_HORIZONTAL, [this] {
    ToggleMirror(kMirrorHorizontal);
  }).Rule(ID_MIRROR_HORIZONTAL, RuleOf<hexmont::MirrorItemRule>(kMirrorHorizontal));
  On(ID_MIRROR_VERTICAL, [this] {
    ToggleMirror(kMirrorVertical);
  }).Rule(ID_MIRROR_VERTICAL, RuleOf<hexmont::MirrorItemRule>(kMirrorVertical));
  On(ID_CHROMA_TRAP, [this] {
    ToggleChromaTrap();
  }).Rule(ID_CHROMA_TRAP, RuleOf<hexmont::ChromaTrapRule>());
  On(ID_PARAM_INTERLINE, [this] {
    ToggleInterline();
  }).Rule(ID_PARAM_INTERLINE, RuleOf<hexmont::InterlineRule>());

  On(hexmont::ID_PARAM_SELECT_CARD, [this] { OnSelectCard(); });
  On(ID_PARAM_VIDEO_SOURCE, [this] { OnVideoSource(); });
  On(ID_PARAM_ADJUST, [this] { OnAdjust(); });
}

void CMainFrame::SetOnTargets(int (CVideoCard::*set)(int), int value) {
  // Each card on its own: a card that refuses keeps its value, the others still change. A
  // standard's image size follows the card's kept standard; the input window is left for the
  // next placement.
  for (CVideoCard* card : grid_.TargetCards()) (card->*set)(value);
}

void CMainFrame::ToggleMirror(int direction) {
  for (CVideoCard* card : grid_.TargetCards()) {
    // Each card flips its own flag, so cards whose flags differ stay different.
    const int flag =
        direction == kMirrorHorizontal ? card->GetMirrorHorizontal() : card->GetMirrorVertical();
    card->SetMirror(direction, flag != 0 ? 0 : 1);
  }
}

void CMainFrame::ToggleChromaTrap() {
  for (CVideoCard* card : grid_.TargetCards()) {
    card->SetChromaTrap(kLumaChromaTrap, card->GetChromaTrap() != 0 ? 0 : 1);
  }
}

void CMainFrame::ToggleInterline() {
  // No library call: the flag goes to the library when a snap or snap shot starts.
  for (CGridCard* cell : grid_.TargetCells()) cell->interline = cell->interline != 0 ? 0 : 1;
}

void CMainFrame::OnSelectCard() {
  CSelectCardDlg dialog(this, grid_.SelectedCard(), grid_.CardCount());
  // The dialog's selection is always within 0..card count.
  if (dialog.DoModal() == IDOK) grid_.SelectCard(dialog.m_nSelection);
}

void CMainFrame::OnVideoSource() {
  // The cards (and their records) change as the user clicks; Cancel and Default put each back.
  CVideoSourceDlg dialog(this, grid_.TargetCards());
  dialog.DoModal();
}

void CMainFrame::OnAdjust() {
  CAdjustDlg dialog(this, grid_.TargetCards());
  dialog.DoModal();
}
