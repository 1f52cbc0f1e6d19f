// delay_dlg.h - CDelayDlg, Solvane's "Delay..." dialog: two scroll bars for the card's X and Y
// delay, both sent together through the card object's delay setter each time either moves;
// "Default" sets (0, 0), "Reset" and Cancel go back to the opening pair. Also its template.
#pragma once

#include <cstdint>

#include "afx.h"

class CVideoCard;

// Dialog template 137 and its controls.
inline constexpr UINT IDD_DELAY = 137;
inline constexpr UINT IDC_DELAY_X_BAR = 1017;
inline constexpr UINT IDC_DELAY_Y_BAR = 1018;
inline constexpr UINT IDC_DELAY_X_TEXT = 1019;
inline constexpr UINT IDC_DELAY_Y_TEXT = 1020;
inline constexpr UINT IDC_DELAY_DEFAULT = 1021;  // "Default"
inline constexpr UINT IDC_DELAY_RESET = 1022;    // "Reset"

// The bars' range: 257 positions with 0 in the middle (a line is 1, a page 10).
inline constexpr int kDelayMin = -128;
inline constexpr int kDelayMax = 128;

// Dialog template 137, "Delay".
DialogTemplate DelayDialogTemplate();

class CDelayDlg : public CDialog {
 public:
  // `card` is not owned; null: the bars and texts move and nothing is applied. The opening pair
  // is the card's delays (0, 0 without a card).
  CDelayDlg(CWnd* parent, CVideoCard* card);

  // Ranges -128..128, the bars at the opening pair, the value texts.
  BOOL OnInitDialog() override;
  // Applies the opening pair, then closes.
  void OnCancel() override;
  // The two value texts, then the two bars.
  void DoDataExchange(CDataExchange* dx) override;
  // Moves the bar as the code says (the thumb position read as a signed 16-bit number), shows
  // its value and applies both delays (once per notification).
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override;

  CVideoCard* m_pCard = nullptr;
  int32_t m_nXDelay = 0, m_nYDelay = 0;  // current pair (the OK result)
  int32_t m_nOpeningXDelay = 0, m_nOpeningYDelay = 0;
  CString m_strXDelay, m_strYDelay;
  CScrollBar m_barXDelay, m_barYDelay;

 private:
  // Sets the current pair, moves both bars, shows both texts and applies.
  void SetPair(int32_t x, int32_t y);
  void Apply();
  void FormatTexts();
};
