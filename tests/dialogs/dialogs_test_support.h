// dialogs_test_support.h - the fixture of the parameter dialogs' tests: the four templates in
// force, card objects of either program's policy opened on the recording capture library, and
// the user's clicks, keys and scroll notifications.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adjust_dlg.h"
#include "card_policy.h"
#include "delay_dlg.h"
#include "quarnfake.h"
#include "recording_services.h"
#include "select_card_dlg.h"
#include "video_card.h"
#include "video_source_dlg.h"

namespace dialogtest {

// The programs a table row holds for: Hexmont's cards (the grid policy), Solvane's card (the
// single-card policy) or both. A row whose outcome depends on the policy is written once for each.
enum class Under { kBoth, kGrid, kSingle };

struct NamedPolicy {
  const char* name;
  const CardPolicy* policy;
};

inline std::vector<NamedPolicy> Policies(Under under) {
  const NamedPolicy grid{"grid card policy", &kGridCardPolicy};
  const NamedPolicy single{"single card policy", &kSingleCardPolicy};
  switch (under) {
    case Under::kGrid:
      return {grid};
    case Under::kSingle:
      return {single};
    case Under::kBoth:
      break;
  }
  return {grid, single};
}

using CardList = std::vector<std::unique_ptr<CVideoCard>>;

// The cards as a dialog takes them (card 1 first, the shown card).
inline std::vector<CVideoCard*> Pointers(const CardList& cards) {
  std::vector<CVideoCard*> list;
  for (const auto& card : cards) list.push_back(card.get());
  return list;
}

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

  // Cards 1..count of `policy`, opened on a fresh recording library with that many cards (no
  // scripts), each then given its opening values by `prepare`; the log starts empty afterwards.
  // Destroy them before the next call: they end their cards on that library.
  static CardList OpenCards(const CardPolicy& policy, int count,
                            const std::function<void(CVideoCard&, int index)>& prepare) {
    quarnfake::Reset();
    quarnfake::SetCardCount(std::max(count, 1));
    CardList cards;
    for (int i = 0; i < count; ++i) {
      cards.push_back(std::make_unique<CVideoCard>(i + 1, policy));
      EXPECT_EQ(cards.back()->Open(), QUARN_OK) << "card " << i + 1;
      if (prepare) prepare(*cards.back(), i);
    }
    quarnfake::ClearCalls();
    return cards;
  }
  static std::vector<std::string> Lines() { return quarnfake::Calls().Lines(); }

  quarnfake::ScopedFake fake;
  ScopedTestServices services;
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
