// dialog_input_test.cpp - a dialog's scroll bar driven by the keyboard and the mouse as on any
// desktop: the platform's SB_ codes with the scroll ended when the key or button comes up, Tab
// in template order reaching tab-stop bars only, a click giving the focus, Return and Escape.
// (Radio groups, typed combo text and static styles are exercised by tests/dialogs.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "test_program.h"

namespace {

constexpr UINT kDlgInput = 300;
constexpr UINT kPush = 1101, kBar = 1102, kPlainBar = 1103;

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
