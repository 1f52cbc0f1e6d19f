// delay_dlg.cpp - the Delay dialog and its template (see delay_dlg.h).
#include "delay_dlg.h"

#include "scroll_step.h"
#include "video_card.h"

DialogTemplate DelayDialogTemplate() {
  const DWORD value = SS_SUNKEN | SS_CENTER;
  return DialogTemplate{
      "Delay",
      "MS Sans Serif",
      8,
      198,
      88,
      {
          {IDC_DELAY_X_BAR, ControlClass::ScrollBar, "", 49, 17, 98, 10, WS_TABSTOP},
          {IDC_DELAY_Y_BAR, ControlClass::ScrollBar, "", 49, 35, 98, 10, WS_TABSTOP},
          {IDOK, ControlClass::Button, "OK", 14, 63, 42, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 56, 63, 42, 14, WS_TABSTOP},
          {IDC_DELAY_DEFAULT, ControlClass::Button, "Default", 98, 63, 42, 14, WS_TABSTOP},
          {IDC_DELAY_RESET, ControlClass::Button, "Reset", 140, 63, 42, 14, WS_TABSTOP},
          {IDC_STATIC, ControlClass::Static, "X delay", 12, 16, 32, 12, SS_RIGHT},
          {IDC_STATIC, ControlClass::Static, "Y delay", 12, 34, 32, 12, SS_RIGHT},
          {IDC_DELAY_X_TEXT, ControlClass::Static, "", 152, 16, 28, 12, value},
          {IDC_DELAY_Y_TEXT, ControlClass::Static, "", 152, 34, 28, 12, value},
          {IDC_STATIC, ControlClass::GroupBox, "", 9, 6, 179, 48, 0},
      }};
}

CDelayDlg::CDelayDlg(CWnd* parent, CVideoCard* card) : CDialog(IDD_DELAY, parent), m_pCard(card) {
  if (card != nullptr) {
    m_nXDelay = m_nOpeningXDelay = card->GetXDelay();
    m_nYDelay = m_nOpeningYDelay = card->GetYDelay();
  }
  On(IDC_DELAY_DEFAULT, [this] { SetPair(0, 0); });
  On(IDC_DELAY_RESET, [this] { SetPair(m_nOpeningXDelay, m_nOpeningYDelay); });
}

void CDelayDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_DELAY_X_TEXT, m_strXDelay);
  DDX_Text(dx, IDC_DELAY_Y_TEXT, m_strYDelay);
  DDX_Control(dx, IDC_DELAY_X_BAR, m_barXDelay);
  DDX_Control(dx, IDC_DELAY_Y_BAR, m_barYDelay);
}

void CDelayDlg::FormatTexts() {
  m_strXDelay = std::to_string(m_nXDelay);
  m_strYDelay = std::to_string(m_nYDelay);
}

BOOL CDelayDlg::OnInitDialog() {
  CDialog::OnInitDialog();  // binds the bars
  m_barXDelay.SetScrollRange(kDelayMin, kDelayMax, 1);
  m_barYDelay.SetScrollRange(kDelayMin, kDelayMax, 1);
  m_barXDelay.SetScrollPos(m_nOpeningXDelay);
  m_barYDelay.SetScrollPos(m_nOpeningYDelay);
  FormatTexts();
  UpdateData(0);
  return 1;
}

void CDelayDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (bar == &m_barXDelay || bar == &m_barYDelay) {
    int position = bar->GetScrollPos();
    // The thumb position comes in a 16-bit field: left of the middle it is negative.
    const int thumb = static_cast<int16_t>(LOWORD(pos));
    if (const auto next = ScrolledPosition(code, position, thumb, kDelayMin, kDelayMax)) {
      position = *next;
      bar->SetScrollPos(position);
    }
    (bar == &m_barXDelay ? m_nXDelay : m_nYDelay) = position;
    FormatTexts();
    UpdateData(0);
    Apply();  // both delays, each time either bar moves
  }
  CDialog::OnHScroll(code, pos, bar);
}

void CDelayDlg::Apply() {
  // The setter's status is not looked at: a refused pair is not kept by the card while the bars
  // go on showing it.
  if (m_pCard != nullptr) m_pCard->SetDelay(m_nXDelay, m_nYDelay);
}

void CDelayDlg::SetPair(int32_t x, int32_t y) {
  m_nXDelay = x;
  m_nYDelay = y;
  m_barXDelay.SetScrollPos(x);
  m_barYDelay.SetScrollPos(y);
  FormatTexts();
  UpdateData(0);
  Apply();
}

void CDelayDlg::OnCancel() {
  m_nXDelay = m_nOpeningXDelay;
  m_nYDelay = m_nOpeningYDelay;
  Apply();
  CDialog::OnCancel();
}
