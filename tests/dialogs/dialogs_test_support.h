// dialogs_test_support.h - the fixture of the parameter dialogs' tests: the four templates in
// force, the recording capture library with card 1 ready to open, a stand-in for Hexmont's main
// frame that records the private messages it is sent, and the user's clicks, keys and scroll
// notifications.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adjust_dlg.h"
#include "apply_messages.h"
#include "delay_dlg.h"
#include "quarnfake.h"
#include "recording_services.h"
#include "select_card_dlg.h"
#include "video_card.h"
#include "video_source_dlg.h"

namespace dialogtest {

// Hexmont's main frame as the dialogs see it: answers the three private messages with 1 and
// keeps each as "source <type> <number>", "adjust <item> <value>" or "pll <value> <lParam>".
class RecordingFrame : public CWnd {
 public:
  RecordingFrame() {
    Record(WM_APPLY_SOURCE, "source");
    Record(WM_APPLY_ADJUST, "adjust");
    Record(WM_APPLY_PLL, "pll");
  }
  std::vector<std::string> messages;

 private:
  void Record(UINT message, std::string name) {
    OnMessage(message, [this, name](WPARAM w, LPARAM l) -> LRESULT {
      messages.push_back(name + " " + std::to_string(w) + " " + std::to_string(l));
      return 1;
    });
  }
};

class DialogTest : public ::testing::Test {
 protected:
  // `centredValues`: the Adjust dialog's template as Solvane (true) or Hexmont (false) has it.
  explicit DialogTest(bool centredValues = false) {
    auto res = std::make_shared<ResourceSet>();
    res->dialogs[IDD_VIDEO_SOURCE] = VideoSourceDialogTemplate();
    res->dialogs[IDD_ADJUST] = AdjustDialogTemplate(centredValues);
    res->dialogs[IDD_DELAY] = DelayDialogTemplate();
    res->dialogs[IDD_SELECT_CARD] = SelectCardDialogTemplate();
    AfxSetResources(res);
  }
  ~DialogTest() override {
    CDialog::SetModalDriver({});
    AfxSetResources(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Runs `dialog` shown, with `user` playing the user inside it; returns DoModal's result (a
  // dialog the user leaves open ends with IDCANCEL, without its Cancel handler).
  static intptr_t Run(CDialog& dialog, const std::function<void(CDialog&)>& user) {
    CDialog::SetModalDriver([&](CDialog& d) {
      d.GetWidget()->show();
      QApplication::setActiveWindow(d.GetWidget());
      user(d);
    });
    return dialog.DoModal();
  }

  // Opens card 1 on the recording library and forgets the calls that took.
  void OpenCard() {
    ASSERT_EQ(card.Open(), QUARN_OK);
    quarnfake::ClearCalls();
  }
  static std::vector<std::string> Lines() { return quarnfake::Calls().Lines(); }

  quarnfake::ScopedFake fake;
  ScopedTestServices services;
  RecordingFrame frame;
  CVideoCard card{1};
};

// As the user clicking a button (a radio button is checked first, as on the platform).
inline void Click(CDialog& d, UINT id) {
  auto* button = qobject_cast<QAbstractButton*>(d.GetDlgItem(id)->GetWidget());
  ASSERT_NE(button, nullptr) << id;
  button->click();
}

// As the platform's notification from bar `barId`: code and position in one 16-bit pair each.
inline void Scroll(CDialog& d, UINT barId, UINT code, int pos = 0) {
  d.SendMessage(WM_HSCROLL, MAKEWPARAM(static_cast<int>(code), pos),
                reinterpret_cast<LPARAM>(d.GetScrollBarCtrl(barId)));
}

// What a scroll bar shows: the adapter's position and the widget's thumb must agree.
inline int BarShows(const CDialog& d, UINT barId) {
  CScrollBar* bar = d.GetScrollBarCtrl(barId);
  EXPECT_EQ(bar->bar()->value(), bar->GetScrollPos()) << barId;
  return bar->GetScrollPos();
}

}  // namespace dialogtest
