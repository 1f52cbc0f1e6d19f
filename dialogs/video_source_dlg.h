// video_source_dlg.h - CVideoSourceDlg, the "Video Source..." dialog of both programs: eleven
// radio buttons, one per video input; every click switches the card (Solvane, through its card
// object) or the frame's target cards (Hexmont, by WM_APPLY_SOURCE) at once. "Default" and
// Cancel go back to the input the dialog opened with. Also its dialog template.
#pragma once

#include <array>
#include <vector>

#include "afx.h"

class CVideoCard;

// Dialog template 130 and its controls. The radio buttons' ids do not follow the group's order.
inline constexpr UINT IDD_VIDEO_SOURCE = 130;
inline constexpr UINT IDC_SOURCE_VIDEO1 = 1000;
inline constexpr UINT IDC_SOURCE_VIDEO2 = 1002;
inline constexpr UINT IDC_SOURCE_VIDEO3 = 1004;
inline constexpr UINT IDC_SOURCE_VIDEO4 = 1006;
inline constexpr UINT IDC_SOURCE_VIDEO5 = 1008;
inline constexpr UINT IDC_SOURCE_VIDEO6 = 1001;
inline constexpr UINT IDC_SOURCE_SVIDEO1 = 1003;
inline constexpr UINT IDC_SOURCE_SVIDEO2 = 1005;
inline constexpr UINT IDC_SOURCE_SVIDEO3 = 1007;
inline constexpr UINT IDC_SOURCE_YCBCR1 = 1009;
inline constexpr UINT IDC_SOURCE_YCBCR2 = 1010;
inline constexpr UINT IDC_SOURCE_DEFAULT = 6;  // "Default"

// The radio buttons in group (template) order: element k is the button of flat source index k.
inline constexpr std::array<UINT, 11> kSourceButtonIds = {
    IDC_SOURCE_VIDEO1,  IDC_SOURCE_VIDEO2, IDC_SOURCE_VIDEO3,  IDC_SOURCE_VIDEO4,
    IDC_SOURCE_VIDEO5,  IDC_SOURCE_VIDEO6, IDC_SOURCE_SVIDEO1, IDC_SOURCE_SVIDEO2,
    IDC_SOURCE_SVIDEO3, IDC_SOURCE_YCBCR1, IDC_SOURCE_YCBCR2};

// Dialog template 130, "Video Source"; the same in both programs.
DialogTemplate VideoSourceDialogTemplate();

// The button index of a source pair: its flat source index when a button stands for exactly
// that pair, else -1 (a type outside 0..2, or a connector the type does not have, which the flat
// index alone would turn into a button of another type).
int SourceButtonIndex(int sourceType, int sourceNumber);

class CVideoSourceDlg : public CDialog {
 public:
  // The dialog on `cards` (not owned; the first is the shown card, whose input the dialog opens
  // on; none: nothing is applied). A click switches every card to that input; each card keeps it
  // as its policy says. Default and Cancel put each card back on its own opening input.
  CVideoSourceDlg(CWnd* parent, std::vector<CVideoCard*> cards);

  // Checks the shown card's input's button (none when no button stands for it).
  BOOL OnInitDialog() override;
  // Puts each card back on the input it had when the dialog opened (statuses ignored), then
  // closes.
  void OnCancel() override;
  // The radio group from "Video 1", as the checked button's index (-1 none).
  void DoDataExchange(CDataExchange* dx) override;

  int m_nRadio = -1;          // radio index in group order, -1 none
  int m_nAcceptedIndex = -1;  // the last button index the shown card accepted

 private:
  struct Opening {
    CVideoCard* card;
    int type;
    int number;
  };
  void RegisterHandlers();
  // The button with index `index` was clicked (the framework has checked it).
  void OnSource(int index);
  void OnDefault();
  // Every card back on its opening input.
  void RestoreOpening();

  std::vector<Opening> cards_;  // the cards and the input each had when the dialog opened
};
