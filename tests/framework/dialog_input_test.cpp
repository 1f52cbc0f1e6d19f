// dialog_input_test.cpp - a dialog's scroll bar driven by the keyboard and the mouse as on any
// desktop: the platform's SB_ codes with the scroll ended when the key or button comes up, Tab
// in template order reaching tab-stop bars only, a click giving the focus, Return and Escape;
// radio groups as one tab stop each, entered at the checked button, the arrow keys moving and
// choosing within the group. (Typed combo text and static styles are exercised by tests/dialogs.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "test_program.h"

namespace {

constexpr UINT kDlgInput = 300;
constexpr UINT kPush = 1101, kBar = 1102, kPlainBar = 1103;
constexpr UINT kDlgRadios = 301;
// Group 1 is A B C, a push button, then D: the group runs on to the next WS_GROUP mark. Group 2
// is X Y.
constexpr UINT kA = 1201, kB = 1202, kC = 1203, kMiddle = 1204, kD = 1205, kX = 1206, kY = 1207;

std::shared_ptr<const ResourceSet> InputResources() {
  auto res = std::make_shared<ResourceSet>(*TestResources());
  res->dialogs[kDlgInput] = DialogTemplate{
      "Input",
      "MS Sans Serif",
      8,
      220,
      80,
      {
          {kPush, ControlClass::Button, "Push", 10, 10, 40, 14, WS_TABSTOP},
          {kBar, ControlClass::ScrollBar, "", 10, 30, 120, 10, WS_TABSTOP},
          {kPlainBar, ControlClass::ScrollBar, "", 10, 44, 120, 10, 0},
          {IDOK, ControlClass::Button, "OK", 160, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 160, 24, 50, 14, WS_TABSTOP},
      }};
  res->dialogs[kDlgRadios] = DialogTemplate{
      "Radios",
      "MS Sans Serif",
      8,
      220,
      120,
      {
          {kPush, ControlClass::Button, "Push", 10, 5, 40, 14, WS_TABSTOP},
          {kA, ControlClass::RadioButton, "A", 10, 25, 40, 10, WS_GROUP | WS_TABSTOP},
          {kB, ControlClass::RadioButton, "B", 10, 37, 40, 10, 0},
          {kC, ControlClass::RadioButton, "C", 10, 49, 40, 10, 0},
          {kMiddle, ControlClass::Button, "Middle", 60, 25, 40, 14, WS_TABSTOP},
          {kD, ControlClass::RadioButton, "D", 10, 61, 40, 10, 0},
          {kX, ControlClass::RadioButton, "X", 110, 25, 40, 10, WS_GROUP | WS_TABSTOP},
          {kY, ControlClass::RadioButton, "Y", 110, 37, 40, 10, 0},
          {IDOK, ControlClass::Button, "OK", 160, 7, 50, 14,
           BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 160, 24, 50, 14, WS_TABSTOP},
      }};
  return res;
}

using Scrolls = std::vector<std::pair<UINT, UINT>>;

class InputDlg : public CDialog {
 public:
  InputDlg() : CDialog(kDlgInput) {}
  CScrollBar bar;
  Scrolls scrolls;
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kBar, bar); }
  void OnHScroll(UINT code, UINT pos, CScrollBar* b) override {
    if (b == &bar) scrolls.emplace_back(code, pos);
  }
};

// Two radio groups exchanged as indexes (-1: none checked); every BN_CLICKED of a button is
// recorded.
class RadioDlg : public CDialog {
 public:
  RadioDlg(int first, int second) : CDialog(kDlgRadios), group1(first), group2(second) {
    for (UINT id : {kA, kB, kC, kD, kX, kY}) On(id, [this, id] { clicked.push_back(id); });
  }
  int group1, group2;
  std::vector<UINT> clicked;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Radio(dx, kA, group1);
    DDX_Radio(dx, kX, group2);
  }
  // The id of the control that has the focus, 0 when none of them has it.
  UINT Focused() const {
    for (UINT id : {kPush, kA, kB, kC, kMiddle, kD, kX, kY, UINT{IDOK}, UINT{IDCANCEL}})
      if (GetDlgItem(id)->GetWidget() == QApplication::focusWidget()) return id;
    return 0;
  }
};

class DialogInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h.Start()); }
  // Runs the dialog shown and active (so focus and keys behave as on screen), its bar over
  // 0..255 at 10.
  intptr_t Run(InputDlg& dlg, const std::function<void(InputDlg&, QScrollBar*)>& user) {
    h.dialogDriver = [&](CDialog&) {
      dlg.GetWidget()->show();
      QApplication::setActiveWindow(dlg.GetWidget());
      dlg.bar.SetScrollRange(0, 255);
      dlg.bar.SetScrollPos(10);
      user(dlg, dlg.bar.bar());
    };
    return dlg.DoModal();
  }
  // Runs the radio dialog shown and active.
  void RunRadios(RadioDlg& dlg, const std::function<void(RadioDlg&)>& user) {
    h.dialogDriver = [&](CDialog&) {
      dlg.GetWidget()->show();
      QApplication::setActiveWindow(dlg.GetWidget());
      user(dlg);
    };
    dlg.DoModal();
  }
  FrameworkHarness<TestApp> h{InputResources()};
};

TEST_F(DialogInputTest, ScrollKeysGiveThePlatformsCodesEachEndedWhenTheKeyComesUp) {
  const std::vector<std::pair<Qt::Key, UINT>> keys = {
      {Qt::Key_Left, SB_LINELEFT},  {Qt::Key_Up, SB_LINELEFT},     {Qt::Key_Right, SB_LINERIGHT},
      {Qt::Key_Down, SB_LINERIGHT}, {Qt::Key_PageUp, SB_PAGELEFT}, {Qt::Key_PageDown, SB_PAGERIGHT},
      {Qt::Key_Home, SB_LEFT},      {Qt::Key_End, SB_RIGHT},
  };
  InputDlg dlg;
  Run(dlg, [&](InputDlg& d, QScrollBar* bar) {
    for (const auto& [key, code] : keys) {
      SCOPED_TRACE(code);
      d.scrolls.clear();
      QTest::keyPress(bar, key);
      EXPECT_EQ(d.scrolls, (Scrolls{{code, 10}}));
      QTest::keyRelease(bar, key);
      EXPECT_EQ(d.scrolls, (Scrolls{{code, 10}, {SB_ENDSCROLL, 0}}));
      EXPECT_EQ(bar->value(), 10) << "only the program moves the bar";
    }
  });
  // Return and Escape are not the bar's: they reach the dialog as OK and Cancel.
  for (const auto& [key, result] : {std::pair{Qt::Key_Return, IDOK}, {Qt::Key_Escape, IDCANCEL}}) {
    InputDlg other;
    EXPECT_EQ(Run(other, [key = key](InputDlg&, QScrollBar* bar) { QTest::keyClick(bar, key); }),
              result);
    EXPECT_TRUE(other.scrolls.empty());
  }
}

TEST_F(DialogInputTest, ArrowAndTroughScrollsEndWhenTheButtonComesUpAndTheClickFocuses) {
  InputDlg dlg;
  Run(dlg, [](InputDlg& d, QScrollBar* bar) {
    // At 10 of 0..255 the thumb is at the left end: the right half is trough, then the arrow.
    const QPoint arrow(bar->width() - 4, bar->height() / 2);
    const QPoint trough(bar->width() * 3 / 4, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, {}, arrow);
    EXPECT_EQ(d.scrolls, (Scrolls{{SB_LINERIGHT, 10}}));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, arrow);
    QTest::mouseClick(bar, Qt::LeftButton, {}, trough);
    EXPECT_EQ(
        d.scrolls,
        (Scrolls{{SB_LINERIGHT, 10}, {SB_ENDSCROLL, 0}, {SB_PAGERIGHT, 10}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(QApplication::focusWidget(), bar);
    d.EndDialog(IDOK);
  });
}

TEST_F(DialogInputTest, TabWalksTheControlsInTemplateOrderAndReachesTabStopBarsOnly) {
  InputDlg dlg;
  std::vector<UINT> walked;
  Run(dlg, [&](InputDlg& d, QScrollBar*) {
    d.GetDlgItem(kPush)->SetFocus();
    for (int i = 0; i < 5; ++i) {
      for (UINT id : {kPush, kBar, kPlainBar, UINT{IDOK}, UINT{IDCANCEL}})
        if (d.GetDlgItem(id)->GetWidget() == QApplication::focusWidget()) walked.push_back(id);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
  });
  EXPECT_EQ(walked, (std::vector<UINT>{kPush, kBar, IDOK, IDCANCEL, kPush}));
}

}  // namespace

TEST_F(DialogInputTest, ARadioGroupIsOneTabStopEnteredAtItsCheckedButton) {
  struct Case {
    int group1, group2;
    std::vector<UINT> forward;  // Tab from Push, six times
  };
  const std::vector<Case> cases = {
      {0, 1, {kPush, kA, kMiddle, kY, IDOK, IDCANCEL, kPush}},
      {2, 0, {kPush, kC, kMiddle, kX, IDOK, IDCANCEL, kPush}},
      // D stands after Middle in the template, yet the group is reached where A stands.
      {3, 1, {kPush, kD, kMiddle, kY, IDOK, IDCANCEL, kPush}},
      // Nothing checked: the group's first button.
      {-1, -1, {kPush, kA, kMiddle, kX, IDOK, IDCANCEL, kPush}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.group1);
    RadioDlg dlg(c.group1, c.group2);
    std::vector<UINT> forward, backward;
    RunRadios(dlg, [&](RadioDlg& d) {
      d.GotoDlgCtrl(d.GetDlgItem(kPush));
      for (size_t i = 0; i < c.forward.size(); ++i) {
        forward.push_back(d.Focused());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      }
      d.GotoDlgCtrl(d.GetDlgItem(kPush));
      for (size_t i = 0; i < c.forward.size(); ++i) {
        backward.push_back(d.Focused());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
      }
    });
    EXPECT_EQ(forward, c.forward);
    EXPECT_EQ(backward, std::vector<UINT>(c.forward.rbegin(), c.forward.rend()));
    EXPECT_TRUE(dlg.clicked.empty()) << "Tab chooses nothing";
  }
}

TEST_F(DialogInputTest, ArrowKeysMoveWithinTheGroupWrappingAndChooseTheButton) {
  struct Case {
    const char* what;
    UINT from;  // focused
    int group1, group2;
    Qt::Key key;
    UINT to;                   // focused afterwards
    int checked1, checked2;    // the groups afterwards
    std::vector<UINT> clicks;  // BN_CLICKED sent
    bool disableC = false;
  };
  const std::vector<Case> cases = {
      {"down", kA, 0, 0, Qt::Key_Down, kB, 1, 0, {kB}},
      {"right", kA, 0, 0, Qt::Key_Right, kB, 1, 0, {kB}},
      {"up wraps to the last", kA, 0, 0, Qt::Key_Up, kD, 3, 0, {kD}},
      {"left wraps to the last", kA, 0, 0, Qt::Key_Left, kD, 3, 0, {kD}},
      {"down passes the push button", kC, 2, 0, Qt::Key_Down, kD, 3, 0, {kD}},
      {"down wraps to the first", kD, 3, 0, Qt::Key_Down, kA, 0, 0, {kA}},
      {"a disabled button is passed over", kB, 1, 0, Qt::Key_Down, kD, 3, 0, {kD}, true},
      {"the second group stays apart", kY, 2, 1, Qt::Key_Down, kX, 2, 0, {kX}},
      {"none checked", kA, -1, -1, Qt::Key_Down, kB, 1, -1, {kB}},
      // Reaching the checked button chooses nothing new.
      {"onto the checked button", kX, 0, 1, Qt::Key_Down, kY, 0, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RadioDlg dlg(c.group1, c.group2);
    UINT focused = 0;
    RunRadios(dlg, [&](RadioDlg& d) {
      if (c.disableC) d.GetDlgItem(kC)->EnableWindow(0);
      d.GotoDlgCtrl(d.GetDlgItem(c.from));
      QTest::keyClick(QApplication::focusWidget(), c.key);
      focused = d.Focused();
      d.OnOK();
    });
    EXPECT_EQ(focused, c.to);
    EXPECT_EQ(dlg.group1, c.checked1);
    EXPECT_EQ(dlg.group2, c.checked2);
    EXPECT_EQ(dlg.clicked, c.clicks);
  }
}

TEST_F(DialogInputTest, TheButtonChosenByArrowIsTheGroupsTabStop) {
  RadioDlg dlg(0, 0);
  UINT entered = 0;
  RunRadios(dlg, [&](RadioDlg& d) {
    d.GotoDlgCtrl(d.GetDlgItem(kA));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);  // D
    d.GotoDlgCtrl(d.GetDlgItem(kPush));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    entered = d.Focused();
  });
  EXPECT_EQ(entered, kD);
}
