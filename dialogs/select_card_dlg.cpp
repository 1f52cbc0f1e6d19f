// select_card_dlg.cpp - the Select card dialog and its template (see select_card_dlg.h).
#include "select_card_dlg.h"

#include <algorithm>
#include <string>

DialogTemplate SelectCardDialogTemplate() {
  // The combo box's height is its height when dropped down.
  return DialogTemplate{
      "Select card",
      "MS Sans Serif",
      8,
      164,
      73,
      {
          {IDC_SELECT_CARD_COMBO, ControlClass::ComboBox, "", 75, 17, 72, 79,
           CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP},
          {IDOK, ControlClass::Button, "OK", 32, 48, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 82, 48, 50, 14, WS_TABSTOP},
          {IDC_SELECT_CARD_TOTAL, ControlClass::Static, "", 14, 17, 59, 13, SS_CENTERIMAGE},
          {IDC_STATIC, ControlClass::GroupBox, "", 7, 6, 150, 32, 0},
      }};
}

CSelectCardDlg::CSelectCardDlg(CWnd* parent, int selection, int cardCount)
    : CDialog(IDD_SELECT_CARD, parent), m_nCardCount(std::max(0, cardCount)) {
  m_nSelection = selection >= 0 && selection <= m_nCardCount ? selection : m_nCardCount;
}

void CSelectCardDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_SELECT_CARD_COMBO, m_comboCard);
  DDX_Text(dx, IDC_SELECT_CARD_TOTAL, m_strTotal);
}

BOOL CSelectCardDlg::OnInitDialog() {
  CDialog::OnInitDialog();  // binds the combo box
  // Item i - 1 stands for the card with index i - 1; the item after them for all cards.
  for (int i = 1; i <= m_nCardCount; ++i)
    m_comboCard.AddString(kCardNumberText + std::to_string(i));
  m_comboCard.AddString(kAllCardText);
  m_comboCard.SetCurSel(m_nSelection);
  m_strTotal = kCardTotalText + std::to_string(m_nCardCount);
  UpdateData(0);
  return 1;
}

void CSelectCardDlg::OnOK() {
  int chosen = m_comboCard.GetCurSel();
  if (chosen < 0 || chosen > m_nCardCount) {
    // The edit field holds typed text: an item's text chooses it, any other keeps the opening
    // selection.
    const std::string typed = m_comboCard.GetWindowText();
    chosen = m_nSelection;
    for (int i = 0; i <= m_nCardCount; ++i) {
      CString item;
      m_comboCard.GetLBText(i, item);
      if (item == typed) {
        chosen = i;
        break;
      }
    }
  }
  m_nSelection = chosen;
  EndDialog(IDOK);
}
