// video_source_dlg_test.cpp - the Video Source dialog on the cards it acts on, under either
// program's policy: what the library is told at each click, refusal, "Default", OK, Cancel and
// Escape, where the check mark stands, and which input each card's record keeps; with one card,
// with every card of the grid ("All card", cards on different inputs) and with none.
#include "dialogs_test_support.h"

namespace {

using namespace dialogtest;

constexpr int kDefault = -1;  // a step that clicks "Default" rather than an input
enum class End { kOk, kCancel, kEscape };

struct Source {
  int type, number;
  bool operator==(const Source&) const = default;
};
void PrintTo(const Source& s, std::ostream* os) {
  *os << "(" << s.type << ", " << s.number << ")";
}

// The index of the one checked input, -1 for none, -2 for more than one.
int Checked(const CDialog& d) {
  int checked = -1;
  for (size_t k = 0; k < kSourceButtonIds.size(); ++k) {
    if (!d.IsDlgButtonChecked(kSourceButtonIds[k])) continue;
    checked = checked == -1 ? static_cast<int>(k) : -2;
  }
  return checked;
}

void Finish(CDialog& d, End end) {
  if (end == End::kOk) Click(d, IDOK);
  if (end == End::kCancel) Click(d, IDCANCEL);
  if (end == End::kEscape) QTest::keyClick(d.GetWidget(), Qt::Key_Escape);
}

// A card's opening input: through its setter, or, for a pair no button stands for (as a saved
// file can hold), into its record alone, since the library refuses such a pair.
void OpenOn(CVideoCard& card, Source s) {
  if (SourceButtonIndex(s.type, s.number) >= 0) {
    ASSERT_EQ(card.SetVideoSource(s.type, s.number), QUARN_OK);
    return;
  }
  VideoParameterSet set = card.Params();
  set.sourceType = s.type;
  set.sourceNumber = s.number;
  card.SetRecord(set);
}

struct Step {
  int button;      // index, or kDefault
  int status = 0;  // what card `card` answers this step's QuarnSetVideoSource
  int card = 1;
};

struct Case {
  const char* name;
  Under under;
  std::vector<Source> opening;  // each card's input; card 1 is the shown card
  std::vector<Step> steps;
  End end;
  int endStatus;           // what card 1 answers the call Cancel makes
  int shownFirst;          // checked on opening
  std::vector<int> shown;  // checked after each step
  std::vector<std::string> calls;
  std::vector<Source> kept;  // each card's record afterwards
};

using VideoSourceTest = DialogTest;

TEST_F(VideoSourceTest, EveryClickSwitchesTheCardsAndEachEndLeavesTheirRecordsTrue) {
  const Source v1{0, 0}, y1{2, 0};
  const Source other{1, 2};  // card 2's own input in the "All card" rows
  // clang-format off
  const std::vector<Case> cases = {
      {"click then OK", Under::kBoth, {v1}, {{7}}, End::kOk, 0, 0, {7},
       {"QuarnSetVideoSource(h1, 1, 1)"}, {{1, 1}}},
      {"click then Cancel", Under::kBoth, {v1}, {{9}}, End::kCancel, 0, 0, {9},
       {"QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h1, 0, 0)"}, {v1}},
      {"Escape restores too", Under::kBoth, {{2, 1}}, {{0}}, End::kEscape, 0, 10, {0},
       {"QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoSource(h1, 2, 1)"}, {{2, 1}}},
      {"Default goes back", Under::kBoth, {{1, 2}}, {{5}, {10}, {kDefault}}, End::kOk, 0, 8,
       {5, 10, 8},
       {"QuarnSetVideoSource(h1, 0, 5)", "QuarnSetVideoSource(h1, 2, 1)",
        "QuarnSetVideoSource(h1, 1, 2)"}, {{1, 2}}},
      {"no button for a type outside 0..2", Under::kBoth, {{3, 0}}, {}, End::kOk, 0, -1, {},
       {}, {{3, 0}}},
      // Video has six connectors: 7 is no Video button, and must not show as "S-Video 2".
      {"no button for a connector the type lacks", Under::kBoth, {{0, 7}}, {}, End::kOk, 0, -1,
       {}, {}, {{0, 7}}},
      {"accepted, then refused: the check goes back", Under::kBoth, {v1},
       {{2}, {5, QUARN_ERR_GENERAL}}, End::kOk, 0, 0, {2, 2},
       {"QuarnSetVideoSource(h1, 0, 2)", "QuarnSetVideoSource(h1, 0, 5) -> -1"}, {{0, 2}}},
      {"Default refused changes nothing more", Under::kBoth, {v1},
       {{9}, {kDefault, QUARN_ERR_GENERAL}}, End::kOk, 0, 0, {9, 9},
       {"QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h1, 0, 0) -> -1"}, {y1}},
      {"Cancel refused still closes", Under::kBoth, {v1}, {{3}}, End::kCancel, QUARN_ERR_GENERAL,
       0, {3},
       {"QuarnSetVideoSource(h1, 0, 3)", "QuarnSetVideoSource(h1, 0, 0) -> -1"}, {{0, 3}}},
      // An input the card has not applied yet: the check goes back either way, and the card
      // keeps it as its policy says.
      {"not yet applied: the single card keeps it", Under::kSingle, {v1},
       {{6, QUARN_ERR_NOT_APPLIED}}, End::kOk, 0, 0, {0},
       {"QuarnSetVideoSource(h1, 1, 0) -> -7"}, {{1, 0}}},
      {"not yet applied: a grid card does not", Under::kGrid, {v1},
       {{6, QUARN_ERR_NOT_APPLIED}}, End::kOk, 0, 0, {0},
       {"QuarnSetVideoSource(h1, 1, 0) -> -7"}, {v1}},
      {"no card: the buttons move, nothing is applied", Under::kBoth, {}, {{8}, {kDefault}},
       End::kCancel, 0, -1, {8, 8}, {}, {}},

      // "All card": two cards on different inputs, the dialog opened on both (card 1 shown).
      {"all cards: OK without a click sends nothing", Under::kGrid, {v1, other}, {}, End::kOk, 0,
       0, {}, {}, {v1, other}},
      {"all cards: a click switches both", Under::kGrid, {v1, other}, {{9}}, End::kOk, 0, 0, {9},
       {"QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h2, 2, 0)"}, {y1, y1}},
      {"all cards: Cancel puts each back on its own", Under::kGrid, {v1, other}, {{9}},
       End::kCancel, 0, 0, {9},
       {"QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h2, 2, 0)",
        "QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoSource(h2, 1, 2)"}, {v1, other}},
      {"all cards: Default puts each back on its own", Under::kGrid, {v1, other},
       {{4}, {kDefault}}, End::kOk, 0, 0, {4, 0},
       {"QuarnSetVideoSource(h1, 0, 4)", "QuarnSetVideoSource(h2, 0, 4)",
        "QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoSource(h2, 1, 2)"}, {v1, other}},
      {"all cards: a card that refuses keeps its own", Under::kGrid, {v1, other},
       {{7, QUARN_ERR_GENERAL, 2}}, End::kOk, 0, 0, {7},
       {"QuarnSetVideoSource(h1, 1, 1)", "QuarnSetVideoSource(h2, 1, 1) -> -1"},
       {{1, 1}, other}},
      {"all cards: the shown card refusing puts the check back", Under::kGrid, {v1, other},
       {{7, QUARN_ERR_GENERAL, 1}}, End::kOk, 0, 0, {0},
       {"QuarnSetVideoSource(h1, 1, 1) -> -1", "QuarnSetVideoSource(h2, 1, 1)"},
       {v1, {1, 1}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    for (const NamedPolicy& policy : Policies(c.under)) {
      SCOPED_TRACE(std::string(c.name) + ", " + policy.name);
      const CardList cards =
          OpenCards(*policy.policy, static_cast<int>(c.opening.size()),
                    [&](CVideoCard& card, int i) { OpenOn(card, c.opening[i]); });
      CVideoSourceDlg dlg(nullptr, Pointers(cards));
      int shownFirst = -3;
      std::vector<int> shown;
      const intptr_t result = Run(dlg, [&](CDialog& d) {
        shownFirst = Checked(d);
        for (const Step& step : c.steps) {
          if (step.status != 0) {
            quarnfake::Script("QuarnSetVideoSource", step.card).ReturnsNext(step.status);
          }
          Click(d, step.button == kDefault ? IDC_SOURCE_DEFAULT : kSourceButtonIds[step.button]);
          shown.push_back(Checked(d));
        }
        if (c.endStatus != 0) quarnfake::Script("QuarnSetVideoSource", 1).ReturnsNext(c.endStatus);
        Finish(d, c.end);
        EXPECT_TRUE(d.IsEnded());
      });
      EXPECT_EQ(shownFirst, c.shownFirst);
      EXPECT_EQ(shown, c.shown);
      EXPECT_EQ(Lines(), c.calls);
      EXPECT_EQ(result, c.end == End::kOk ? IDOK : IDCANCEL);
      if (c.end == End::kOk) {
        EXPECT_EQ(dlg.m_nRadio, c.shown.empty() ? c.shownFirst : c.shown.back());
      }
      std::vector<Source> kept;
      for (const auto& card : cards)
        kept.push_back({card->GetSourceType(), card->GetSourceNumber()});
      EXPECT_EQ(kept, c.kept);
    }
  }
}

}  // namespace
