// main_frm_param_commands.cpp - Hexmont's parameter menu: the value items (format, standard,
// scan mode, crystal), the toggles (mirror, chroma trap, interline), each applied to the target
// cards of the card selection; and the three messages through which the parameter dialogs switch
// the target cards live (source, adjust values, PLL).
#include "adjust_dlg.h"
#include "apply_messages.h"
#include "command_ids.h"
#include "main_frm.h"
#include "parameter_items.h"
#include "resource_ids.h"
#include "select_card_dlg.h"
#include "video_source_dlg.h"

void CMainFrame::RegisterParameterCommands() {
  for (const ParameterValueItem& item : kFormatItems) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&QuarnSetVideoFormat, &VideoParameterSet::format, v);
    }).Rule(item.id, RuleOf<hexmont::FormatItemRule>(item.value));
  }
  for (const ParameterValueItem& item : kStandardItems) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&QuarnSetVideoStandard, &VideoParameterSet::standard, v);
    }).Rule(item.id, RuleOf<hexmont::StandardItemRule>(item.value));
  }
  for (const ParameterValueItem& item : ScanItems(hexmont::ID_SCAN_FIELD1)) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&QuarnSetScanMode, &VideoParameterSet::scanMode, v);
    }).Rule(item.id, RuleOf<hexmont::ScanItemRule>(item.value));
  }
  for (const ParameterValueItem& item : kCrystalItems) {
    On(item.id, [this, v = item.value] {
      SetOnTargets(&QuarnSelectCryOSC, &VideoParameterSet::crystal, v);
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

  // The dialogs switch the target cards through these while they are open; the records change
  // only when a dialog ends with OK.
  OnMessage(WM_APPLY_SOURCE, [this](WPARAM type, LPARAM number) -> LRESULT {
    for (CardRecord& record : cards_.TargetCards()) {
      QuarnSetVideoSource(record.handle, static_cast<int>(type), static_cast<int>(number));
    }
    return 1;
  });
  OnMessage(WM_APPLY_ADJUST, [this](WPARAM item, LPARAM value) -> LRESULT {
    for (CardRecord& record : cards_.TargetCards()) {
      QuarnAdjustVideo(record.handle, static_cast<int>(item), LowByte(static_cast<int32_t>(value)));
    }
    return 1;
  });
  OnMessage(WM_APPLY_PLL, [this](WPARAM value, LPARAM) -> LRESULT {
    for (CardRecord& record : cards_.TargetCards()) {
      QuarnSetPLLFrequency(record.handle, LowByte(static_cast<int32_t>(value)));
    }
    return 1;
  });
}

void CMainFrame::SetOnTargets(int (*call)(QUARN_HANDLE, int), int32_t VideoParameterSet::*field,
                              int value) {
  // Each card on its own: a card that refuses keeps its value, the others still change.
  for (CardRecord& record : cards_.TargetCards()) {
    if (call(record.handle, value) != QUARN_OK) continue;
    record.params.*field = value;
    if (field == &VideoParameterSet::standard) {
      // The image follows the standard; the input window is left for the next placement.
      const ImageSize size = ImageSizeOf(value);
      record.imageWidth = size.width;
      record.imageHeight = size.height;
    }
  }
}

void CMainFrame::ToggleMirror(int direction) {
  for (CardRecord& record : cards_.TargetCards()) {
    int32_t& flag = direction == kMirrorHorizontal ? record.params.mirrorHorizontal
                                                   : record.params.mirrorVertical;
    // Each card flips its own flag, so cards whose flags differ stay different.
    flag = flag != 0 ? 0 : 1;
    if (QuarnEnableVideoMirror(record.handle, direction, flag) != QUARN_OK) {
      flag = flag != 0 ? 0 : 1;
    }
  }
}

void CMainFrame::ToggleChromaTrap() {
  for (CardRecord& record : cards_.TargetCards()) {
    int32_t& flag = record.params.chromaTrap;
    flag = flag != 0 ? 0 : 1;
    if (QuarnLumaControl(record.handle, kLumaChromaTrap, LowByte(flag)) != QUARN_OK) {
      flag = flag != 0 ? 0 : 1;
    }
  }
}

void CMainFrame::ToggleInterline() {
  // No library call: the flag goes to the library when a snap or snap shot starts.
  for (CardRecord& record : cards_.TargetCards()) record.interline = record.interline != 0 ? 0 : 1;
}

void CMainFrame::OnSelectCard() {
  CSelectCardDlg dialog(this, cards_.selectedCard, cards_.CardCount());
  // The dialog's selection is always within 0..card count.
  if (dialog.DoModal() == IDOK) cards_.selectedCard = dialog.m_nSelection;
}

void CMainFrame::OnVideoSource() {
  const CardRecord* shown = cards_.ShownCard();
  const int type = shown != nullptr ? shown->params.sourceType : 0;
  const int number = shown != nullptr ? shown->params.sourceNumber : 0;
  CVideoSourceDlg dialog(this, type, number);
  // The records take the input only when the dialog ends with OK on a checked button.
  if (dialog.DoModal() != IDOK || dialog.m_nRadio == -1) return;
  for (CardRecord& record : cards_.TargetCards()) {
    record.params.sourceType = dialog.m_nCurrentType;
    record.params.sourceNumber = dialog.m_nCurrentNumber;
  }
}

void CMainFrame::OnAdjust() {
  const VideoParameterSet shown =
      cards_.ShownCard() != nullptr ? cards_.ShownCard()->params : VideoParameterSet{};
  CAdjustDlg dialog(this, shown.brightness, shown.contrast, shown.hue, shown.saturation, shown.pll);
  if (dialog.DoModal() != IDOK) return;
  for (CardRecord& record : cards_.TargetCards()) {
    record.params.brightness = dialog.m_brightness;
    record.params.contrast = dialog.m_contrast;
    record.params.hue = dialog.m_hue;
    record.params.saturation = dialog.m_saturation;
    record.params.pll = dialog.m_pll;
  }
}
