// adjust_dlg.cpp - the Adjust dialog and its template (see adjust_dlg.h).
#include "adjust_dlg.h"

#include <string>

#include "scroll_step.h"
#include "video_card.h"
#include "video_parameter_set.h"

namespace {
constexpr int kSlots = 5;
constexpr int kPllItem = 0;  // the PLL frequency is not an AdjustItem: it has its own call
}  // namespace

DialogTemplate AdjustDialogTemplate(bool centredValues) {
  const DWORD value = SS_SUNKEN | (centredValues ? SS_CENTER | SS_CENTERIMAGE : SS_LEFT);
  return DialogTemplate{
      "Adjust",
      "MS Sans Serif",
      8,
      209,
      162,
      {
          {IDC_ADJUST_BRIGHTNESS_BAR, ControlClass::ScrollBar, "", 69, 24, 85, 10, WS_TABSTOP},
          {IDC_ADJUST_CONTRAST_BAR, ControlClass::ScrollBar, "", 69, 42, 85, 10, WS_TABSTOP},
          {IDC_ADJUST_HUE_BAR, ControlClass::ScrollBar, "", 69, 60, 85, 10, WS_TABSTOP},
          {IDC_ADJUST_SATURATION_BAR, ControlClass::ScrollBar, "", 69, 78, 85, 10, WS_TABSTOP},
          {IDC_ADJUST_PLL_BAR, ControlClass::ScrollBar, "", 69, 96, 85, 10, WS_TABSTOP},
          {IDOK, ControlClass::Button, "OK", 21, 127, 42, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 63, 127, 42, 14, WS_TABSTOP},
          {IDC_ADJUST_DEFAULT, ControlClass::Button, "Default", 105, 127, 42, 14, WS_TABSTOP},
          {IDC_ADJUST_RESET, ControlClass::Button, "Reset", 147, 127, 42, 14, WS_TABSTOP},
          {IDC_STATIC, ControlClass::Static, "Brightness", 19, 23, 43, 12, SS_RIGHT},
          {IDC_STATIC, ControlClass::Static, "Contrast", 19, 41, 43, 12, SS_RIGHT},
          {IDC_STATIC, ControlClass::Static, "Hue", 19, 59, 43, 12, SS_RIGHT},
          {IDC_STATIC, ControlClass::Static, "Saturation", 19, 77, 43, 12, SS_RIGHT},
          {IDC_ADJUST_BRIGHTNESS_TEXT, ControlClass::Static, "", 159, 23, 28, 12, value},
          {IDC_ADJUST_CONTRAST_TEXT, ControlClass::Static, "", 159, 41, 28, 12, value},
          {IDC_ADJUST_SATURATION_TEXT, ControlClass::Static, "", 159, 77, 28, 12, value},
          {IDC_ADJUST_HUE_TEXT, ControlClass::Static, "", 159, 59, 28, 12, value},
          {IDC_STATIC, ControlClass::GroupBox, "Paramter", 16, 3, 179, 112, 0},
          {IDC_STATIC, ControlClass::Static, "PLL Freq", 19, 95, 43, 12, SS_RIGHT},
          {IDC_ADJUST_PLL_TEXT, ControlClass::Static, "", 159, 95, 28, 12, value},
      }};
}

namespace {

// A card's value for an adjust slot (brightness, contrast, hue, saturation, PLL).
uint8_t CardValue(const CVideoCard& card, int slot) {
  switch (slot) {
    case 0:
      return card.GetBrightness();
    case 1:
      return card.GetContrast();
    case 2:
      return card.GetHue();
    case 3:
      return card.GetSaturation();
    default:
      return card.GetPllFrequency();
  }
}

// Gives a card one value through its setter; the status is not looked at: a refused value is
// not kept by the card while the bar goes on showing it.
void SetCardValue(CVideoCard& card, int slot, uint8_t value) {
  switch (slot) {
    case 0:
      card.SetBrightness(value);
      break;
    case 1:
      card.SetContrast(value);
      break;
    case 2:
      card.SetHue(value);
      break;
    case 3:
      card.SetSaturation(value);
      break;
    default:
      card.SetPllFrequency(value);
      break;
  }
}

}  // namespace

CAdjustDlg::CAdjustDlg(CWnd* parent, std::vector<CVideoCard*> cards) : CDialog(IDD_ADJUST, parent) {
  for (CVideoCard* card : cards) {
    if (card == nullptr) continue;
    Opening opening{card, {}};
    for (int slot = 0; slot < kSlots; ++slot) {
      opening.values[static_cast<size_t>(slot)] = CardValue(*card, slot);
    }
    cards_.push_back(opening);
  }
  if (!cards_.empty()) {
    for (int slot = 0; slot < kSlots; ++slot) {
      Value v = At(slot);
      v.current = v.opening = cards_.front().values[static_cast<size_t>(slot)];
    }
  }
  RegisterHandlers();
}

void CAdjustDlg::RegisterHandlers() {
  On(IDC_ADJUST_DEFAULT, [this] { SetFactory(); });
  On(IDC_ADJUST_RESET, [this] { Reset(); });
}

CAdjustDlg::Value CAdjustDlg::At(int slot) {
  switch (slot) {
    case 0:
      return {m_barBrightness,  m_strBrightness,    m_brightness,
              m_openBrightness, kFactoryBrightness, kAdjustBrightness};
    case 1:
      return {m_barContrast,  m_strContrast,    m_contrast,
              m_openContrast, kFactoryContrast, kAdjustContrast};
    case 2:
      return {m_barHue, m_strHue, m_hue, m_openHue, kFactoryHue, kAdjustHue};
    case 3:
      return {m_barSaturation,  m_strSaturation,    m_saturation,
              m_openSaturation, kFactorySaturation, kAdjustSaturation};
    default:
      return {m_barPll, m_strPll, m_pll, m_openPll, kFactoryPll, kPllItem};
  }
}

int CAdjustDlg::SlotOf(const CScrollBar* bar) const {
  const CScrollBar* bars[kSlots] = {&m_barBrightness, &m_barContrast, &m_barHue, &m_barSaturation,
                                    &m_barPll};
  for (int slot = 0; slot < kSlots; ++slot)
    if (bar == bars[slot]) return slot;
  return -1;
}

void CAdjustDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_ADJUST_BRIGHTNESS_TEXT, m_strBrightness);
  DDX_Text(dx, IDC_ADJUST_CONTRAST_TEXT, m_strContrast);
  DDX_Text(dx, IDC_ADJUST_HUE_TEXT, m_strHue);
  DDX_Text(dx, IDC_ADJUST_PLL_TEXT, m_strPll);
  DDX_Text(dx, IDC_ADJUST_SATURATION_TEXT, m_strSaturation);
  DDX_Control(dx, IDC_ADJUST_BRIGHTNESS_BAR, m_barBrightness);
  DDX_Control(dx, IDC_ADJUST_CONTRAST_BAR, m_barContrast);
  DDX_Control(dx, IDC_ADJUST_HUE_BAR, m_barHue);
  DDX_Control(dx, IDC_ADJUST_SATURATION_BAR, m_barSaturation);
  DDX_Control(dx, IDC_ADJUST_PLL_BAR, m_barPll);
}

void CAdjustDlg::Format(Value value) {
  value.text = std::to_string(value.current);
}

BOOL CAdjustDlg::OnInitDialog() {
  CDialog::OnInitDialog();  // binds the bars
  for (int slot = 0; slot < kSlots; ++slot) {
    Value v = At(slot);
    v.bar.SetScrollRange(kAdjustMin, kAdjustMax, 1);
    v.bar.SetScrollPos(v.opening);
    Format(v);
  }
  UpdateData(0);
  return 1;  // the framework gives the first tab stop the focus
}

void CAdjustDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (const int slot = SlotOf(bar); slot >= 0) {
    Value v = At(slot);
    int position = v.bar.GetScrollPos();
    // The thumb position arrives as a 16-bit number; the range has no negative part.
    if (const auto next =
            ScrolledPosition(code, position, static_cast<int>(pos), kAdjustMin, kAdjustMax)) {
      position = *next;
      v.bar.SetScrollPos(position);
    }
    // Every notification applies its value, so a line click is applied again by the end of
    // scroll that follows it, and a dragged thumb applies every position it passes.
    v.current = static_cast<uint8_t>(position);
    Format(v);
    UpdateData(0);
    Apply(slot);
  }
  CDialog::OnHScroll(code, pos, bar);
}

void CAdjustDlg::Apply(int slot) {
  const Value v = At(slot);
  for (const Opening& opening : cards_) SetCardValue(*opening.card, slot, v.current);
}

void CAdjustDlg::SetFactory() {
  for (int slot = 0; slot < kSlots; ++slot) {
    Value v = At(slot);
    v.current = v.factory;
    v.bar.SetScrollPos(v.current);
    Format(v);
  }
  UpdateData(0);
  for (int slot = 0; slot < kSlots; ++slot) Apply(slot);
}

void CAdjustDlg::Reset() {
  for (int slot = 0; slot < kSlots; ++slot) {
    Value v = At(slot);
    v.current = v.opening;
    v.bar.SetScrollPos(v.current);
    Format(v);
  }
  UpdateData(0);
  // Each card back on its own values, which may differ from the shown card's.
  for (int slot = 0; slot < kSlots; ++slot) {
    for (const Opening& opening : cards_) {
      SetCardValue(*opening.card, slot, opening.values[static_cast<size_t>(slot)]);
    }
  }
}

void CAdjustDlg::OnCancel() {
  // Each card goes back to its own opening values; the dialog closes, so the bars and texts are
  // left as they are.
  for (int slot = 0; slot < kSlots; ++slot) {
    Value v = At(slot);
    v.current = v.opening;
    for (const Opening& opening : cards_) {
      SetCardValue(*opening.card, slot, opening.values[static_cast<size_t>(slot)]);
    }
  }
  CDialog::OnCancel();
}
