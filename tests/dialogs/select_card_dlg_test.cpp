// select_card_dlg_test.cpp - Hexmont's Select card dialog: the list and the card total for a
// number of cards, the item shown for the selection, and the selection OK gives for an item
// chosen from the list, typed text (an item's text, other text, Return in the edit field) and a
// selection out of range; Cancel.
#include <QComboBox>
#include <QLineEdit>

#include "dialogs_test_support.h"

namespace {

using namespace dialogtest;

using SelectCardTest = DialogTest;

enum class Input { kNone, kChoose, kType, kTypeAndReturn };

struct Case {
  const char* name;
  int cards, selection;
  Input input;
  int chosen;         // the list position chosen (kChoose)
  const char* typed;  // the edit field's text (kType, kTypeAndReturn)
  UINT end;           // IDOK or IDCANCEL (kTypeAndReturn ends by itself)
  std::vector<std::string> items;
  std::string total, shown;  // the label and the edit field on opening
  int result;                // m_nSelection afterwards
};

TEST_F(SelectCardTest, ListsTheCardsAndEndsWithinZeroToTheCardCount) {
  const std::vector<std::string> two = {"Card number 1", "Card number 2", "All card"};
  const std::vector<std::string> three = {"Card number 1", "Card number 2", "Card number 3",
                                          "All card"};
  // clang-format off
  const std::vector<Case> cases = {
      {"two cards, all selected", 2, 2, Input::kNone, 0, "", IDOK,
       two, "Card total: 2", "All card", 2},
      {"one card", 1, 0, Input::kNone, 0, "", IDOK,
       {"Card number 1", "All card"}, "Card total: 1", "Card number 1", 0},
      {"no card", 0, 0, Input::kNone, 0, "", IDOK, {"All card"}, "Card total: 0", "All card", 0},
      {"choosing card 2", 2, 2, Input::kChoose, 1, "", IDOK,
       two, "Card total: 2", "All card", 1},
      {"Cancel keeps the selection", 2, 0, Input::kChoose, 2, "", IDCANCEL,
       two, "Card total: 2", "Card number 1", 0},
      {"typed item text", 3, 3, Input::kType, 0, "Card number 2", IDOK,
       three, "Card total: 3", "All card", 1},
      {"typed other text keeps the selection", 3, 1, Input::kType, 0, "Card number 9", IDOK,
       three, "Card total: 3", "Card number 2", 1},
      {"typed text differing in case", 3, 0, Input::kType, 0, "all card", IDOK,
       three, "Card total: 3", "Card number 1", 0},
      {"empty text keeps the selection", 3, 2, Input::kType, 0, "", IDOK,
       three, "Card total: 3", "Card number 3", 2},
      {"Return in the edit field is OK", 3, 0, Input::kTypeAndReturn, 0, "All card", IDOK,
       three, "Card total: 3", "Card number 1", 3},
      {"Return with other text adds no item", 2, 1, Input::kTypeAndReturn, 0, "Card 7", IDOK,
       two, "Card total: 2", "Card number 2", 1},
      {"a selection out of range opens on all cards", 2, 7, Input::kNone, 0, "", IDOK,
       two, "Card total: 2", "All card", 2},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSelectCardDlg dlg(nullptr, c.selection, c.cards);
    std::vector<std::string> items;
    std::string total, shown;
    const intptr_t result = Run(dlg, [&](CDialog& d) {
      CComboBox* combo = d.GetComboBox(IDC_SELECT_CARD_COMBO);
      for (int i = 0; i < combo->GetCount(); ++i) {
        CString item;
        combo->GetLBText(i, item);
        items.push_back(item);
      }
      total = d.GetDlgItemText(IDC_SELECT_CARD_TOTAL);
      shown = combo->GetWindowText();
      auto* box = qobject_cast<QComboBox*>(combo->GetWidget());
      QLineEdit* edit = box->lineEdit();
      switch (c.input) {
        case Input::kNone:
          break;
        case Input::kChoose:
          box->setCurrentIndex(c.chosen);
          break;
        case Input::kType:
        case Input::kTypeAndReturn:
          edit->setFocus();
          edit->clear();
          QTest::keyClicks(edit, c.typed);
          break;
      }
      if (c.input == Input::kTypeAndReturn) {
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(d.IsEnded());
        EXPECT_EQ(combo->GetCount(), static_cast<int>(c.items.size()));
      } else {
        Click(d, c.end);
      }
    });
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(total, c.total);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(result, c.end);
    EXPECT_EQ(dlg.m_nSelection, c.result);
  }
}

}  // namespace
