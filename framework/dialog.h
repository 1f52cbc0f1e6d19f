// dialog.h - CDialog: modal dialogs built from a dialog template (controls placed in dialog
// units), with the dialog data exchange (DDX_) and validation (DDV_) helpers and the
// framework's own validation texts; CComboBox for combo-box controls.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "resources.h"
#include "services.h"
#include "wnd.h"

class CDialog;
class QAbstractButton;
class QComboBox;

class CComboBox : public CWnd {
 public:
  int AddString(const std::string& text);
  int GetCount() const;
  int GetCurSel() const;  // -1 when nothing is selected
  int SetCurSel(int index);
  void ResetContent();
  void GetLBText(int index, CString& text) const;

 private:
  QComboBox* Combo() const;
};

// The state of one UpdateData pass.
class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, bool saveAndValidate)
      : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  // Marks the exchange failed: the focus goes back to the last control exchanged and every
  // later DDX_/DDV_ call of this pass does nothing.
  void Fail();
  bool failed() const { return failed_; }
  void PrepareCtrl(UINT id) { lastControl_ = id; }

  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;

 private:
  UINT lastControl_ = 0;
  bool failed_ = false;
};

// The framework's validation texts.
inline constexpr const char* kParseIntText = "Please enter an integer.";
inline constexpr const char* kParseUIntText = "Please enter a positive integer.";
inline constexpr const char* kRangeIntText = "Please enter an integer between %1 and %2.";
inline constexpr const char* kMaxCharsText = "Please enter no more than %1 characters.";

void DDX_Text(CDataExchange* dx, UINT id, int& value);
void DDX_Text(CDataExchange* dx, UINT id, unsigned& value);
void DDX_Text(CDataExchange* dx, UINT id, CString& value);
void DDX_Check(CDataExchange* dx, UINT id, int& value);
// The radio group starting at `firstId` (to the next control with WS_GROUP, other controls
// between its buttons included): index of the checked button in template order, -1 when none.
void DDX_Radio(CDataExchange* dx, UINT firstId, int& value);
void DDX_CBIndex(CDataExchange* dx, UINT id, int& index);
void DDX_Control(CDataExchange* dx, UINT id, CWnd& control);
void DDX_Control(CDataExchange* dx, UINT id, CScrollBar& control);
void DDV_MinMaxUInt(CDataExchange* dx, unsigned value, unsigned minValue, unsigned maxValue);
void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);
void DDV_MaxChars(CDataExchange* dx, const CString& value, int count);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Runs the dialog modally and returns the EndDialog result (IDOK, IDCANCEL, ...).
  virtual intptr_t DoModal();
  virtual BOOL OnInitDialog();  // default: UpdateData(FALSE); returns TRUE
  virtual void OnOK();          // default: UpdateData(TRUE); on success EndDialog(IDOK)
  virtual void OnCancel();      // default: EndDialog(IDCANCEL)
  virtual void DoDataExchange(CDataExchange* dx);
  void EndDialog(intptr_t result);
  BOOL UpdateData(BOOL saveAndValidate = 1);
  bool IsEnded() const { return ended_; }
  UINT GetTemplateId() const { return templateId_; }

  // Notifications from controls other than OK and Cancel: BN_CLICKED through On(id, ...),
  // other codes (EN_CHANGE, CBN_SELCHANGE) here.
  CDialog& OnNotify(UINT id, UINT code, std::function<void()> handler);
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  CWnd* GetDlgItem(UINT id) const;
  // The adapter of scroll-bar control `id`: the member DDX_Control bound to it, else the
  // dialog's own.
  CScrollBar* GetScrollBarCtrl(UINT id) const;
  CComboBox* GetComboBox(UINT id) const;
  void SetDlgItemText(UINT id, const std::string& text);
  UINT GetDlgItemText(UINT id, CString& text) const;
  std::string GetDlgItemText(UINT id) const;
  void SetDlgItemInt(UINT id, UINT value, BOOL isSigned = 1);
  void CheckRadioButton(UINT firstId, UINT lastId, UINT checkId);
  UINT GetCheckedRadioButton(UINT firstId, UINT lastId) const;
  void CheckDlgButton(UINT id, UINT check);
  UINT IsDlgButtonChecked(UINT id) const;
  void GotoDlgCtrl(CWnd* control);
  // The radio group that starts at `firstId`, in template order.
  std::vector<UINT> RadioGroup(UINT firstId) const;
  // Dialog units to pixels with the dialog font's average character size.
  QRect DialogUnitsToPixels(int x, int y, int cx, int cy) const;

  // Tests: instead of a modal loop, DoModal runs `driver` once after OnInitDialog; a dialog
  // the driver leaves open ends with IDCANCEL. Null restores the modal loop.
  static void SetModalDriver(std::function<void(CDialog&)> driver);

  bool BeforeQtEvent(QEvent* event) override;

 private:
  void CreateControls(QDialog* dialog);
  // Radio groups: a group is one tab stop, its checked button (else its first), and the arrow
  // keys move the focus to the previous or next button of the group, wrapping, and choose it.
  QAbstractButton* RadioWidget(UINT id) const;
  void ClickRadio(size_t group, UINT id);
  void UpdateRadioTabStop(size_t group);
  void MoveInRadioGroup(size_t group, UINT from, bool forward);

  UINT templateId_;
  CWnd* parentWnd_;
  DialogTemplate template_;
  std::map<UINT, std::unique_ptr<CWnd>> controls_;
  std::map<UINT, std::unique_ptr<CScrollBar>> scrollBars_;  // bars no DDX_Control claimed
  std::map<UINT, CScrollBar*> boundBars_;                   // members DDX_Control bound
  std::map<UINT, QWidget*> rawControls_;                    // owned by the dialog widget
  std::map<std::pair<UINT, UINT>, std::function<void()>> notifications_;
  std::vector<std::vector<UINT>> radioGroups_;
  int charWidth_ = 6;
  int charHeight_ = 13;
  intptr_t result_ = IDCANCEL;
  bool ended_ = false;
  bool inModal_ = false;

  friend void DDX_Control(CDataExchange*, UINT, CScrollBar&);
  friend void DDX_Control(CDataExchange*, UINT, CWnd&);
};
