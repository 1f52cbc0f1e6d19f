// dialog_test.cpp - dialogs from templates: controls placed in dialog units, data exchange,
// the framework's validation texts, and a failed validation keeping the dialog open.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "test_program.h"

namespace {

constexpr UINT kDlgAbout = 100;
constexpr UINT kDlgValues = 200;
constexpr UINT kEditCount = 1001;
constexpr UINT kEditName = 1002;
constexpr UINT kRadio0 = 1010, kRadio1 = 1011, kRadio2 = 1012;
constexpr UINT kBar = 1020;

std::shared_ptr<const ResourceSet> DialogResources() {
  auto res = std::make_shared<ResourceSet>(*TestResources());
  DialogTemplate about;
  about.caption = "About Tester";
  about.cx = 235;
  about.cy = 55;
  about.controls = {
      {IDC_STATIC, ControlClass::Icon, "128", 11, 17, 20, 20, 0},
      {IDC_STATIC, ControlClass::Static, "Tester Version 1.1.6.0", 40, 10, 119, 8, SS_NOPREFIX},
      {IDOK, ControlClass::Button, "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP},
  };
  res->dialogs[kDlgAbout] = about;
  DialogTemplate values;
  values.caption = "Values";
  values.cx = 200;
  values.cy = 100;
  values.controls = {
      {kEditCount, ControlClass::Edit, "", 10, 10, 50, 12, 0},
      {kEditName, ControlClass::Edit, "", 10, 30, 50, 12, 0},
      {kRadio0, ControlClass::RadioButton, "A", 80, 10, 40, 10, WS_GROUP},
      {kRadio1, ControlClass::RadioButton, "B", 80, 22, 40, 10, 0},
      {kRadio2, ControlClass::RadioButton, "C", 80, 34, 40, 10, 0},
      {kBar, ControlClass::ScrollBar, "", 10, 60, 85, 10, WS_GROUP},
      {IDOK, ControlClass::Button, "OK", 140, 7, 50, 14, BS_DEFPUSHBUTTON},
      {IDCANCEL, ControlClass::Button, "Cancel", 140, 24, 50, 14, 0},
  };
  res->dialogs[kDlgValues] = values;
  return res;
}

class ValuesDlg : public CDialog {
 public:
  ValuesDlg() : CDialog(kDlgValues) {}
  unsigned count = 7;
  CString name = "abc";
  int radio = 1;
  CScrollBar bar;
  std::vector<std::pair<UINT, UINT>> scrolls;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kEditCount, count);
    DDV_MinMaxUInt(dx, count, 1, 16);
    DDX_Text(dx, kEditName, name);
    DDV_MaxChars(dx, name, 5);
    DDX_Radio(dx, kRadio0, radio);
    DDX_Control(dx, kBar, bar);
  }
  void OnHScroll(UINT code, UINT pos, CScrollBar* b) override {
    if (b == &bar) scrolls.emplace_back(code, pos);
  }
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h.Start()); }
  FrameworkHarness<TestApp> h{DialogResources()};
};

TEST_F(DialogTest, TemplateOnlyDialogClosesWithOk) {
  QRect okRect;
  h.dialogDriver = [&](CDialog& d) {
    okRect = d.GetDlgItem(IDOK)->GetWidget()->geometry();
    EXPECT_EQ(okRect, d.DialogUnitsToPixels(178, 7, 50, 14));
    qobject_cast<QPushButton*>(d.GetDlgItem(IDOK)->GetWidget())->click();
  };
  CDialog about(kDlgAbout);
  EXPECT_EQ(about.DoModal(), IDOK);
  EXPECT_GT(okRect.width(), 0);
}

TEST_F(DialogTest, ExchangeLoadsControlsAndReadsThemBack) {
  ValuesDlg dlg;
  h.dialogDriver = [&](CDialog& d) {
    EXPECT_EQ(d.GetDlgItemText(kEditCount), "7");
    EXPECT_EQ(d.GetDlgItemText(kEditName), "abc");
    EXPECT_EQ(d.GetCheckedRadioButton(kRadio0, kRadio2), kRadio1);
    d.SetDlgItemText(kEditCount, "12");
    d.CheckRadioButton(kRadio0, kRadio2, kRadio2);
    d.OnOK();
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.count, 12u);
  EXPECT_EQ(dlg.radio, 2);
  EXPECT_EQ(h.services().messageBox->count(), 0u);
}

TEST_F(DialogTest, ValidationFailureShowsFrameworkTextAndKeepsDialogOpen) {
  ValuesDlg dlg;
  h.dialogDriver = [&](CDialog& d) {
    d.SetDlgItemText(kEditCount, "-3");
    d.OnOK();
    EXPECT_FALSE(d.IsEnded());
    EXPECT_EQ(h.services().messageBox->last().text, "Please enter a positive integer.");
    EXPECT_EQ(h.services().messageBox->last().style, MB_ICONEXCLAMATION);
    d.SetDlgItemText(kEditCount, "40");
    d.OnOK();
    EXPECT_FALSE(d.IsEnded());
    EXPECT_EQ(h.services().messageBox->last().text, "Please enter an integer between 1 and 16.");
    d.SetDlgItemText(kEditCount, "16");
    d.SetDlgItemText(kEditName, "toolong");
    d.OnOK();
    EXPECT_FALSE(d.IsEnded());
    d.SetDlgItemText(kEditName, "ok");
    d.OnOK();
    EXPECT_TRUE(d.IsEnded());
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(h.services().messageBox->count(), 3u);
  EXPECT_EQ(dlg.count, 16u);
  EXPECT_EQ(dlg.name, "ok");
}

TEST_F(DialogTest, CancelLeavesMembersUnchanged) {
  ValuesDlg dlg;
  h.dialogDriver = [&](CDialog& d) {
    d.SetDlgItemText(kEditCount, "3");
    d.SendMessage(WM_COMMAND, IDCANCEL, 0);
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.count, 7u);
}

TEST_F(DialogTest, ScrollBarActionsArriveAsScrollCodes) {
  ValuesDlg dlg;
  h.dialogDriver = [&](CDialog&) {
    dlg.bar.SetScrollRange(0, 255);
    dlg.bar.SetScrollPos(10);
    dlg.bar.TriggerAction(QAbstractSlider::SliderSingleStepAdd);
    dlg.bar.TriggerAction(QAbstractSlider::SliderPageStepSub);
    // Like the platform: the bar stays where the program put it.
    EXPECT_EQ(dlg.bar.bar()->value(), 10);
  };
  dlg.DoModal();
  const std::vector<std::pair<UINT, UINT>> want{
      {SB_LINERIGHT, 10}, {SB_ENDSCROLL, 0}, {SB_PAGELEFT, 10}, {SB_ENDSCROLL, 0}};
  EXPECT_EQ(dlg.scrolls, want);
}

}  // namespace
