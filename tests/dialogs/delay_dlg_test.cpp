// delay_dlg_test.cpp - Solvane's Delay dialog over its card (the single-card policy) on the
// recording library: both delays sent together for every notification of either bar, the range
// -128..128 with the thumb read as a signed 16-bit number, "Default", "Reset", Cancel, a refused
// pair and one not yet applied, no card, and the X thumb dragged with the mouse.
#include <QScrollBar>

#include "dialogs_test_support.h"

namespace {

using namespace dialogtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr UINT kX = IDC_DELAY_X_BAR;
constexpr UINT kY = IDC_DELAY_Y_BAR;

struct Act {
  UINT what;  // a bar's id with `code`, or a button's id
  UINT code = 0;
  int pos = 0;
  int status = 0;  // what the library answers the QuarnSetDelay this causes
};

struct Pair {
  int x, y;
  bool operator==(const Pair&) const = default;
};
void PrintTo(const Pair& p, std::ostream* os) {
  *os << "(" << p.x << ", " << p.y << ")";
}

// The bars, checked against their texts.
Pair Shown(const CDialog& d) {
  const Pair shown{BarShows(d, kX), BarShows(d, kY)};
  EXPECT_EQ(d.GetDlgItemText(IDC_DELAY_X_TEXT), std::to_string(shown.x));
  EXPECT_EQ(d.GetDlgItemText(IDC_DELAY_Y_TEXT), std::to_string(shown.y));
  return shown;
}

class DelayTest : public DialogTest {
 protected:
  // Solvane's one card, opened.
  static CardList OpenCard() { return OpenCards(kSingleCardPolicy, 1, {}); }
};

struct Case {
  const char* name;
  Pair opening;
  std::vector<Act> acts;
  UINT end;
  std::vector<std::string> calls;  // after the opening pair was set
  Pair shown;                      // before the dialog ends
  Pair card;                       // what the card keeps afterwards
};

TEST_F(DelayTest, SendsBothDelaysForEveryNotificationOfEitherBar) {
  const CardList cards = OpenCard();
  CVideoCard& card = *cards.front();
  // clang-format off
  const std::vector<Case> cases = {
      {"opening values from the card, both sides of the middle", {5, -3}, {}, IDOK,
       {}, {5, -3}, {5, -3}},
      {"at -128, line left stays", {-128, 0}, {{kX, SB_LINELEFT}, {kX, SB_ENDSCROLL}}, IDOK,
       {"QuarnSetDelay(h1, -128, 0)", "QuarnSetDelay(h1, -128, 0)"}, {-128, 0}, {-128, 0}},
      {"moving Y sends the current X with it", {7, 0}, {{kY, SB_PAGERIGHT}, {kY, SB_LINELEFT}},
       IDOK, {"QuarnSetDelay(h1, 7, 10)", "QuarnSetDelay(h1, 7, 9)"}, {7, 9}, {7, 9}},
      {"thumb left of the middle is negative", {0, 0},
       {{kX, SB_THUMBTRACK, 0xFFFB}, {kX, SB_THUMBPOSITION, 0xFFFB}, {kX, SB_ENDSCROLL}}, IDOK,
       {"QuarnSetDelay(h1, -5, 0)", "QuarnSetDelay(h1, -5, 0)", "QuarnSetDelay(h1, -5, 0)"},
       {-5, 0}, {-5, 0}},
      {"thumb positions outside the range are kept within", {0, 0},
       {{kX, SB_THUMBTRACK, 0x8000}, {kY, SB_THUMBPOSITION, 0x7FFF}, {kY, SB_PAGERIGHT}}, IDOK,
       {"QuarnSetDelay(h1, -128, 0)", "QuarnSetDelay(h1, -128, 128)",
        "QuarnSetDelay(h1, -128, 128)"}, {-128, 128}, {-128, 128}},
      {"Default then Cancel", {5, -3}, {{kY, SB_LINERIGHT}, {IDC_DELAY_DEFAULT}}, IDCANCEL,
       {"QuarnSetDelay(h1, 5, -2)", "QuarnSetDelay(h1, 0, 0)", "QuarnSetDelay(h1, 5, -3)"},
       {0, 0}, {5, -3}},
      {"Reset", {5, -3}, {{kX, SB_PAGELEFT}, {IDC_DELAY_RESET}}, IDOK,
       {"QuarnSetDelay(h1, -5, -3)", "QuarnSetDelay(h1, 5, -3)"}, {5, -3}, {5, -3}},
      {"a refused pair is not kept while the bars show it", {0, 0},
       {{kX, SB_PAGERIGHT, 0, QUARN_ERR_BAD_PARAMETER}}, IDOK,
       {"QuarnSetDelay(h1, 10, 0) -> -2"}, {10, 0}, {0, 0}},
      {"a pair not yet applied is kept", {0, 0},
       {{kY, SB_LINELEFT, 0, QUARN_ERR_NOT_APPLIED}}, IDOK,
       {"QuarnSetDelay(h1, 0, -1) -> -7"}, {0, -1}, {0, -1}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(card.SetDelay(c.opening.x, c.opening.y), QUARN_OK);
    quarnfake::ClearCalls();
    CDelayDlg dlg(nullptr, &card);
    Pair opened{};
    Pair shown{};
    const intptr_t result = Run(dlg, [&](CDialog& d) {
      opened = Shown(d);
      for (const Act& act : c.acts) {
        quarnfake::Script("QuarnSetDelay").ReturnsNext(act.status);
        if (act.what == kX || act.what == kY)
          Scroll(d, act.what, act.code, act.pos);
        else
          Click(d, act.what);
      }
      shown = Shown(d);
      Click(d, c.end);
    });
    EXPECT_EQ(opened, c.opening);
    EXPECT_EQ(Lines(), c.calls);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(result, c.end);
    EXPECT_EQ((Pair{card.GetXDelay(), card.GetYDelay()}), c.card);
    EXPECT_EQ((Pair{dlg.m_nXDelay, dlg.m_nYDelay}), c.end == IDOK ? c.shown : c.opening);
  }
}

TEST_F(DelayTest, WithoutACardTheBarsMoveAndNothingIsApplied) {
  CDelayDlg dlg(nullptr, nullptr);
  Run(dlg, [](CDialog& d) {
    Scroll(d, kY, SB_LINELEFT);
    Click(d, IDC_DELAY_RESET);
    Scroll(d, kX, SB_THUMBTRACK, 0xFF9C);
    EXPECT_EQ(Shown(d), (Pair{-100, 0}));
    Click(d, IDCANCEL);
  });
  EXPECT_THAT(quarnfake::Calls(), IsEmpty());
}

TEST_F(DelayTest, DraggingTheXThumbToTheFarLeftAppliesMinus128AndItStaysThere) {
  const CardList cards = OpenCard();
  CVideoCard& card = *cards.front();
  CDelayDlg dlg(nullptr, &card);
  Run(dlg, [](CDialog& d) {
    QScrollBar* bar = d.GetScrollBarCtrl(kX)->bar();
    const QPoint thumb = bar->rect().center();  // at 0, the middle of -128..128
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(bar, thumb - QPoint(400, 0));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb - QPoint(400, 0));
    EXPECT_EQ(Shown(d), (Pair{-128, 0}));
    Click(d, IDOK);
  });
  EXPECT_THAT(Lines(), ElementsAre("QuarnSetDelay(h1, -128, 0)", "QuarnSetDelay(h1, -128, 0)",
                                   "QuarnSetDelay(h1, -128, 0)"));
  EXPECT_EQ(card.GetXDelay(), -128);
}

}  // namespace
