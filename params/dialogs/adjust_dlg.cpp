// adjust_dlg.cpp - the Adjust dialog and its template (see adjust_dlg.h).
#include "adjust_dlg.h"

#include <string>

#include "apply_messages.h"
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

CAdjustDlg::CAdjustDlg(CWnd* frame, uint8_t brightness, uint8_t contrast, uint8_t hue,
                       uint8_t saturation, uint8_t pll)
    : CDialog(IDD_ADJUST, frame),
      m_hue(hue),
      m_brightness(brightness),
      m_contrast(contrast),
      m_saturation(saturation),
      m_pll(pll),
      m_openHue(hue),
      m_openBrightness(brightness),
      m_openContrast(contrast),
      m_openSaturation(saturation),
      m_openPll(pll),
      frame_(frame) {
  RegisterHandlers();
}

CAdjustDlg::CAdjustDlg(CWnd* parent, CVideoCard* card)
    : CDialog(IDD_ADJUST, parent), m_pCard(card), throughCard_(true) {
  if (card != nullptr) {
    m_hue = m_openHue = card->GetHue();
    m_brightness = m_openBrightness = card->GetBrightness();
    m_contrast = m_openContrast = card->GetContrast();
    m_saturation = m_openSaturation = card->GetSaturation();
    m_pll = m_openPll = card->GetPllFrequency();
  }
  RegisterHandlers();
}

void CAdjustDlg::RegisterHandlers() {
  On(IDC_ADJUST_DEFAULT, [this] { SetAll(true); });
  On(IDC_ADJUST_RESET, [this] { SetAll(false); });
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
  if (!throughCard_) {
    if (frame_ == nullptr) return;
    if (v.item == kPllItem)
      frame_->SendMessage(WM_APPLY_PLL, v.current, 0);
    else
      frame_->SendMessage(WM_APPLY_ADJUST, static_cast<WPARAM>(v.item), v.current);
    return;
  }
  // The setters' statuses are not looked at: a refused value is not kept by the card while the
  // bar goes on showing it.
  if (m_pCard == nullptr) return;
  switch (v.item) {
    case kAdjustBrightness:
      m_pCard->SetBrightness(v.current);
      break;
    case kAdjustContrast:
      m_pCard->SetContrast(v.current);
      break;
    case kAdjustHue:
      m_pCard->SetHue(v.current);
      break;
    case kAdjustSaturation:
      m_pCard->SetSaturation(v.current);
      break;
    default:
      m_pCard->SetPllFrequency(v.current);
      break;
  }
}

void CAdjustDlg::ApplyAll() {
  for (int slot = 0; slot < kSlots; ++slot) Apply(slot);
}

void CAdjustDlg::SetAll(bool factory) {
  for (int slot = 0; slot < kSlots; ++slot) {
    Value v = At(slot);
    v.current = factory ? v.factory : v.opening;
    v.bar.SetScrollPos(v.current);
    Format(v);
  }
  UpdateData(0);
  ApplyAll();
}

void CAdjustDlg::OnCancel() {
  // The card (or cards) go back to the opening values; the dialog closes, so the bars and texts
  // are left as they are.
  for (int slot = 0; slot < kSlots; ++slot) {
    Value v = At(slot);
    v.current = v.opening;
  }
  ApplyAll();
  CDialog::OnCancel();
}
