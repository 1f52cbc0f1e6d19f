// video_source_dlg.cpp - the Video Source dialog and its template (see video_source_dlg.h).
#include "video_source_dlg.h"

#include "video_card.h"
#include "video_parameter_set.h"

DialogTemplate VideoSourceDialogTemplate() {
  // "Video 1" starts the radio group and no later control starts another, so "YCbCr2", placed
  // after the push buttons and the group box, is still the group's eleventh button.
  return DialogTemplate{
      "Video Source",
      "MS Sans Serif",
      8,
      209,
      139,
      {
          {IDC_SOURCE_VIDEO1, ControlClass::RadioButton, "Video 1", 22, 23, 47, 13,
           WS_GROUP | WS_TABSTOP},
          {IDC_SOURCE_VIDEO2, ControlClass::RadioButton, "Video 2", 22, 38, 47, 13, 0},
          {IDC_SOURCE_VIDEO3, ControlClass::RadioButton, "Video 3", 22, 53, 47, 13, 0},
          {IDC_SOURCE_VIDEO4, ControlClass::RadioButton, "Video 4", 22, 68, 47, 13, 0},
          {IDC_SOURCE_VIDEO5, ControlClass::RadioButton, "Video 5", 22, 83, 47, 13, 0},
          {IDC_SOURCE_VIDEO6, ControlClass::RadioButton, "Video 6", 22, 98, 47, 13, 0},
          {IDC_SOURCE_SVIDEO1, ControlClass::RadioButton, "S-Video 1", 74, 23, 47, 13, 0},
          {IDC_SOURCE_SVIDEO2, ControlClass::RadioButton, "S-Video 2", 74, 38, 47, 13, 0},
          {IDC_SOURCE_SVIDEO3, ControlClass::RadioButton, "S-Video 3", 74, 53, 47, 13, 0},
          {IDC_SOURCE_YCBCR1, ControlClass::RadioButton, "YCbCr1", 74, 68, 47, 13, 0},
          {IDOK, ControlClass::Button, "OK", 140, 16, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 140, 37, 50, 14, WS_TABSTOP},
          {IDC_SOURCE_DEFAULT, ControlClass::Button, "Default", 140, 59, 50, 14, WS_TABSTOP},
          {IDC_STATIC, ControlClass::GroupBox, "Video Input", 14, 11, 115, 111, 0},
          {IDC_SOURCE_YCBCR2, ControlClass::RadioButton, "YCbCr2", 74, 83, 47, 13, 0},
      }};
}

int SourceButtonIndex(int sourceType, int sourceNumber) {
  const int index = SourceToIndex(sourceType, sourceNumber);
  int32_t type = 0;
  int32_t number = 0;
  return IndexToSource(index, type, number) && type == sourceType && number == sourceNumber ? index
                                                                                            : -1;
}

CVideoSourceDlg::CVideoSourceDlg(CWnd* parent, std::vector<CVideoCard*> cards)
    : CDialog(IDD_VIDEO_SOURCE, parent) {
  for (CVideoCard* card : cards) {
    if (card != nullptr) cards_.push_back({card, card->GetSourceType(), card->GetSourceNumber()});
  }
  RegisterHandlers();
}

void CVideoSourceDlg::RegisterHandlers() {
  // One handler per button, each with its fixed place in the group.
  for (size_t index = 0; index < kSourceButtonIds.size(); ++index)
    On(kSourceButtonIds[index], [this, index] { OnSource(static_cast<int>(index)); });
  On(IDC_SOURCE_DEFAULT, [this] { OnDefault(); });
}

void CVideoSourceDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Radio(dx, IDC_SOURCE_VIDEO1, m_nRadio);
}

BOOL CVideoSourceDlg::OnInitDialog() {
  if (!cards_.empty()) {
    const CVideoCard& shown = *cards_.front().card;
    m_nRadio = m_nAcceptedIndex = SourceButtonIndex(shown.GetSourceType(), shown.GetSourceNumber());
  }
  CDialog::OnInitDialog();  // shows the radio index
  return 1;
}

void CVideoSourceDlg::OnSource(int index) {
  if (cards_.empty()) return;
  // Every card is switched, each on its own; the shown card's answer decides the check mark.
  int shownStatus = QUARN_OK;
  for (size_t i = 0; i < cards_.size(); ++i) {
    const int status = cards_[i].card->SetSourceFromIndex(index);
    if (i == 0) shownStatus = status;
  }
  if (shownStatus == QUARN_OK) {
    m_nAcceptedIndex = index;
    return;
  }
  // Refused (QUARN_ERR_NOT_APPLIED included): the check mark goes back to the input in force.
  m_nRadio = m_nAcceptedIndex;
  UpdateData(0);
}

void CVideoSourceDlg::RestoreOpening() {
  // Its own input for each card, not the shown card's: the cards may have had different ones.
  for (const Opening& opening : cards_) opening.card->SetVideoSource(opening.type, opening.number);
}

void CVideoSourceDlg::OnDefault() {
  if (cards_.empty()) return;
  RestoreOpening();
  const CVideoCard& shown = *cards_.front().card;
  m_nRadio = m_nAcceptedIndex = SourceButtonIndex(shown.GetSourceType(), shown.GetSourceNumber());
  UpdateData(0);
}

void CVideoSourceDlg::OnCancel() {
  RestoreOpening();  // statuses change nothing here
  CDialog::OnCancel();
}
