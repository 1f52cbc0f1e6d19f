// select_card_dlg.h - CSelectCardDlg, Hexmont's "Select card..." dialog: a combo box listing
// "Card number 1" .. "Card number n" and "All card", whose position is the frame's card
// selection (n meaning all cards). Also its template.
#pragma once

#include "afx.h"

// Dialog template 135 and its controls.
inline constexpr UINT IDD_SELECT_CARD = 135;
inline constexpr UINT IDC_SELECT_CARD_COMBO = 1017;
inline constexpr UINT IDC_SELECT_CARD_TOTAL = 1018;  // "Card total: n"

// The texts the dialog builds.
inline constexpr const char* kCardNumberText = "Card number ";
inline constexpr const char* kAllCardText = "All card";
inline constexpr const char* kCardTotalText = "Card total: ";

// Dialog template 135, "Select card".
DialogTemplate SelectCardDialogTemplate();

class CSelectCardDlg : public CDialog {
 public:
  // `selection`: 0..cardCount - 1 one card, cardCount all cards; any other value opens (and
  // would close with OK) on "All card". A negative count is taken as 0.
  CSelectCardDlg(CWnd* parent, int selection, int cardCount);

  // Fills the list, selects the selection's item and shows the card total.
  BOOL OnInitDialog() override;
  // The selection becomes the chosen item's position. Typed text that is an item's text chooses
  // that item; any other text keeps the selection the dialog opened with, so the result is
  // always within 0..card count.
  void OnOK() override;
  // The combo box and the card-total label.
  void DoDataExchange(CDataExchange* dx) override;

  CComboBox m_comboCard;
  CString m_strTotal;
  int m_nSelection = 0;
  int m_nCardCount = 0;
};
