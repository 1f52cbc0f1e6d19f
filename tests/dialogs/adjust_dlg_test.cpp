// adjust_dlg_test.cpp - the Adjust dialog on the cards it acts on, under either program's policy:
// each scroll notification gives its bar's value to every card once, the bars stay within 0..255
// whatever the thumb reports, "Default", "Reset", Cancel and OK, a value a card refuses, what each
// card's record keeps, with one card, with every card of the grid ("All card", cards with
// different values) and with none; and the value texts' alignment in each program.
#include <QLabel>

#include "dialogs_test_support.h"

namespace {

using namespace dialogtest;

constexpr UINT kBars[] = {IDC_ADJUST_BRIGHTNESS_BAR, IDC_ADJUST_CONTRAST_BAR, IDC_ADJUST_HUE_BAR,
                          IDC_ADJUST_SATURATION_BAR, IDC_ADJUST_PLL_BAR};
constexpr UINT kTexts[] = {IDC_ADJUST_BRIGHTNESS_TEXT, IDC_ADJUST_CONTRAST_TEXT,
                           IDC_ADJUST_HUE_TEXT, IDC_ADJUST_SATURATION_TEXT, IDC_ADJUST_PLL_TEXT};
enum Slot { kB, kC, kH, kS, kP };  // brightness, contrast, hue, saturation, PLL

// One thing the user does: a notification from a bar, or a click on a button.
struct Act {
  int slot;   // the bar, or -1 for a button
  UINT what;  // SB_ code, or the button's id
  int pos = 0;
  int status = 0;  // what card `card` answers the call this notification makes
  int card = 1;
};
Act Bar(int slot, UINT code, int pos = 0) {
  return {slot, code, pos};
}
// A notification whose call card `card` answers with `status`.
Act Refused(int card, int status, int slot, UINT code, int pos = 0) {
  return {slot, code, pos, status, card};
}
Act Button(UINT id) {
  return {-1, id};
}
void Do(CDialog& d, const Act& act) {
  if (act.status != 0) {
    quarnfake::Script(act.slot == kP ? "QuarnSetPLLFrequency" : "QuarnAdjustVideo", act.card)
        .ReturnsNext(act.status);
  }
  if (act.slot < 0)
    Click(d, act.what);
  else
    Scroll(d, kBars[act.slot], act.what, act.pos);
}

using Values = std::array<int, 5>;  // brightness, contrast, hue, saturation, PLL

Values Shown(const CDialog& d) {
  Values shown{};
  for (int i = 0; i < 5; ++i) {
    shown[i] = BarShows(d, kBars[i]);
    EXPECT_EQ(d.GetDlgItemText(kTexts[i]), std::to_string(shown[i])) << "text of bar " << i;
  }
  return shown;
}

Values Current(const CAdjustDlg& dlg) {
  return {dlg.m_brightness, dlg.m_contrast, dlg.m_hue, dlg.m_saturation, dlg.m_pll};
}

// What a card's record holds.
Values Kept(const CVideoCard& card) {
  return {card.GetBrightness(), card.GetContrast(), card.GetHue(), card.GetSaturation(),
          card.GetPllFrequency()};
}

void OpenOn(CVideoCard& card, const Values& v) {
  ASSERT_EQ(card.SetBrightness(v[kB]), QUARN_OK);
  ASSERT_EQ(card.SetContrast(v[kC]), QUARN_OK);
  ASSERT_EQ(card.SetHue(v[kH]), QUARN_OK);
  ASSERT_EQ(card.SetSaturation(v[kS]), QUARN_OK);
  ASSERT_EQ(card.SetPllFrequency(v[kP]), QUARN_OK);
}

struct Case {
  const char* name;
  Under under;
  std::vector<Values> opening;  // each card's values; card 1 is the shown card
  std::vector<Act> acts;
  UINT end;  // IDOK or IDCANCEL
  std::vector<std::string> calls;
  Values shown;              // the bars and texts before the dialog ends
  std::vector<Values> kept;  // each card's record afterwards
};

using AdjustTest = DialogTest;

TEST_F(AdjustTest, AppliesEveryNotificationOnceToEveryCardAndEachEndLeavesTheirRecordsTrue) {
  const Values open = {10, 20, 30, 40, 50};
  const Values factory = {128, 128, 128, 128, 245};
  // "All card": two cards whose five values all differ.
  const Values one = {100, 90, 80, 70, 60};
  const Values two = {200, 190, 180, 170, 160};
  // clang-format off
  const std::vector<Case> cases = {
      {"at 0 line left stays at 0, at 250 page right gives 255", Under::kBoth,
       {{0, 20, 30, 40, 250}},
       {Bar(kB, SB_LINELEFT), Bar(kB, SB_ENDSCROLL), Bar(kP, SB_PAGERIGHT), Bar(kP, SB_ENDSCROLL)},
       IDOK, {"QuarnAdjustVideo(h1, 1, 0)", "QuarnAdjustVideo(h1, 1, 0)",
              "QuarnSetPLLFrequency(h1, 255)", "QuarnSetPLLFrequency(h1, 255)"},
       {0, 20, 30, 40, 255}, {{0, 20, 30, 40, 255}}},
      {"a drag applies each position and the drop again", Under::kBoth, {open},
       {Bar(kH, SB_THUMBTRACK, 100), Bar(kH, SB_THUMBTRACK, 90), Bar(kH, SB_THUMBPOSITION, 90),
        Bar(kH, SB_ENDSCROLL)}, IDOK,
       {"QuarnAdjustVideo(h1, 3, 100)", "QuarnAdjustVideo(h1, 3, 90)",
        "QuarnAdjustVideo(h1, 3, 90)", "QuarnAdjustVideo(h1, 3, 90)"},
       {10, 20, 90, 40, 50}, {{10, 20, 90, 40, 50}}},
      {"lines and pages each way", Under::kBoth, {open},
       {Bar(kC, SB_LINERIGHT), Bar(kC, SB_PAGERIGHT), Bar(kS, SB_PAGELEFT), Bar(kS, SB_LINELEFT)},
       IDOK, {"QuarnAdjustVideo(h1, 2, 21)", "QuarnAdjustVideo(h1, 2, 31)",
              "QuarnAdjustVideo(h1, 4, 30)", "QuarnAdjustVideo(h1, 4, 29)"},
       {10, 31, 30, 29, 50}, {{10, 31, 30, 29, 50}}},
      {"thumb positions outside 0..255 are kept within", Under::kBoth, {open},
       {Bar(kS, SB_THUMBTRACK, 300), Bar(kS, SB_THUMBPOSITION, 0xFFFF), Bar(kB, SB_THUMBTRACK, 7)},
       IDOK, {"QuarnAdjustVideo(h1, 4, 255)", "QuarnAdjustVideo(h1, 4, 255)",
              "QuarnAdjustVideo(h1, 1, 7)"},
       {7, 20, 30, 255, 50}, {{7, 20, 30, 255, 50}}},
      {"the ends leave the bar and apply it", Under::kBoth, {open},
       {Bar(kC, SB_LEFT), Bar(kP, SB_RIGHT)}, IDOK,
       {"QuarnAdjustVideo(h1, 2, 20)", "QuarnSetPLLFrequency(h1, 50)"}, open, {open}},
      {"Default then Cancel", Under::kBoth, {open},
       {Bar(kB, SB_LINERIGHT), Button(IDC_ADJUST_DEFAULT)}, IDCANCEL,
       {"QuarnAdjustVideo(h1, 1, 11)",
        "QuarnAdjustVideo(h1, 1, 128)", "QuarnAdjustVideo(h1, 2, 128)",
        "QuarnAdjustVideo(h1, 3, 128)", "QuarnAdjustVideo(h1, 4, 128)",
        "QuarnSetPLLFrequency(h1, 245)",
        "QuarnAdjustVideo(h1, 1, 10)", "QuarnAdjustVideo(h1, 2, 20)", "QuarnAdjustVideo(h1, 3, 30)",
        "QuarnAdjustVideo(h1, 4, 40)", "QuarnSetPLLFrequency(h1, 50)"},
       factory, {open}},
      {"Default then OK keeps the factory values", Under::kBoth, {open},
       {Button(IDC_ADJUST_DEFAULT)}, IDOK,
       {"QuarnAdjustVideo(h1, 1, 128)", "QuarnAdjustVideo(h1, 2, 128)",
        "QuarnAdjustVideo(h1, 3, 128)", "QuarnAdjustVideo(h1, 4, 128)",
        "QuarnSetPLLFrequency(h1, 245)"},
       factory, {factory}},
      {"Reset goes back and OK keeps it", Under::kBoth, {open},
       {Bar(kH, SB_PAGERIGHT), Bar(kP, SB_LINELEFT), Button(IDC_ADJUST_RESET)}, IDOK,
       {"QuarnAdjustVideo(h1, 3, 40)", "QuarnSetPLLFrequency(h1, 49)",
        "QuarnAdjustVideo(h1, 1, 10)", "QuarnAdjustVideo(h1, 2, 20)", "QuarnAdjustVideo(h1, 3, 30)",
        "QuarnAdjustVideo(h1, 4, 40)", "QuarnSetPLLFrequency(h1, 50)"},
       open, {open}},
      {"Cancel leaves the bars", Under::kBoth, {open}, {Bar(kH, SB_PAGERIGHT)}, IDCANCEL,
       {"QuarnAdjustVideo(h1, 3, 40)",
        "QuarnAdjustVideo(h1, 1, 10)", "QuarnAdjustVideo(h1, 2, 20)", "QuarnAdjustVideo(h1, 3, 30)",
        "QuarnAdjustVideo(h1, 4, 40)", "QuarnSetPLLFrequency(h1, 50)"},
       {10, 20, 40, 40, 50}, {open}},
      {"a refused value is not kept while the bar shows it", Under::kBoth, {{128, 128, 60, 128, 245}},
       {Bar(kB, SB_LINERIGHT), Refused(1, QUARN_ERR_GENERAL, kH, SB_THUMBTRACK, 200),
        Bar(kP, SB_PAGELEFT)}, IDOK,
       {"QuarnAdjustVideo(h1, 1, 129)", "QuarnAdjustVideo(h1, 3, 200) -> -1",
        "QuarnSetPLLFrequency(h1, 235)"},
       {129, 128, 200, 128, 235}, {{129, 128, 60, 128, 235}}},
      // A value the card has not applied yet: the bar shows it either way, and the card keeps it
      // as its policy says.
      {"not yet applied: the single card keeps it", Under::kSingle, {open},
       {Refused(1, QUARN_ERR_NOT_APPLIED, kS, SB_LINERIGHT)}, IDOK,
       {"QuarnAdjustVideo(h1, 4, 41) -> -7"}, {10, 20, 30, 41, 50}, {{10, 20, 30, 41, 50}}},
      {"not yet applied: a grid card does not", Under::kGrid, {open},
       {Refused(1, QUARN_ERR_NOT_APPLIED, kS, SB_LINERIGHT)}, IDOK,
       {"QuarnAdjustVideo(h1, 4, 41) -> -7"}, {10, 20, 30, 41, 50}, {open}},
      {"no card: the bars move, nothing is applied", Under::kBoth, {},
       {Bar(kP, SB_PAGERIGHT), Button(IDC_ADJUST_RESET), Bar(kH, SB_LINELEFT)}, IDCANCEL,
       {}, {128, 128, 127, 128, 245}, {}},

      // "All card": the dialog opened on both cards, card 1 shown.
      {"all cards: OK without touching sends nothing", Under::kGrid, {one, two}, {}, IDOK,
       {}, one, {one, two}},
      {"all cards: a moved bar goes to both, the rest stay each card's own", Under::kGrid,
       {one, two}, {Bar(kC, SB_LINERIGHT)}, IDOK,
       {"QuarnAdjustVideo(h1, 2, 91)", "QuarnAdjustVideo(h2, 2, 91)"},
       {100, 91, 80, 70, 60}, {{100, 91, 80, 70, 60}, {200, 91, 180, 170, 160}}},
      {"all cards: Cancel puts each back on its own", Under::kGrid, {one, two},
       {Bar(kB, SB_THUMBTRACK, 150)}, IDCANCEL,
       {"QuarnAdjustVideo(h1, 1, 150)", "QuarnAdjustVideo(h2, 1, 150)",
        "QuarnAdjustVideo(h1, 1, 100)", "QuarnAdjustVideo(h2, 1, 200)",
        "QuarnAdjustVideo(h1, 2, 90)", "QuarnAdjustVideo(h2, 2, 190)",
        "QuarnAdjustVideo(h1, 3, 80)", "QuarnAdjustVideo(h2, 3, 180)",
        "QuarnAdjustVideo(h1, 4, 70)", "QuarnAdjustVideo(h2, 4, 170)",
        "QuarnSetPLLFrequency(h1, 60)", "QuarnSetPLLFrequency(h2, 160)"},
       {150, 90, 80, 70, 60}, {one, two}},
      {"all cards: Reset puts each back on its own", Under::kGrid, {one, two},
       {Bar(kP, SB_PAGERIGHT), Button(IDC_ADJUST_RESET)}, IDOK,
       {"QuarnSetPLLFrequency(h1, 70)", "QuarnSetPLLFrequency(h2, 70)",
        "QuarnAdjustVideo(h1, 1, 100)", "QuarnAdjustVideo(h2, 1, 200)",
        "QuarnAdjustVideo(h1, 2, 90)", "QuarnAdjustVideo(h2, 2, 190)",
        "QuarnAdjustVideo(h1, 3, 80)", "QuarnAdjustVideo(h2, 3, 180)",
        "QuarnAdjustVideo(h1, 4, 70)", "QuarnAdjustVideo(h2, 4, 170)",
        "QuarnSetPLLFrequency(h1, 60)", "QuarnSetPLLFrequency(h2, 160)"},
       one, {one, two}},
      {"all cards: Default gives both the factory values", Under::kGrid, {one, two},
       {Button(IDC_ADJUST_DEFAULT)}, IDOK,
       {"QuarnAdjustVideo(h1, 1, 128)", "QuarnAdjustVideo(h2, 1, 128)",
        "QuarnAdjustVideo(h1, 2, 128)", "QuarnAdjustVideo(h2, 2, 128)",
        "QuarnAdjustVideo(h1, 3, 128)", "QuarnAdjustVideo(h2, 3, 128)",
        "QuarnAdjustVideo(h1, 4, 128)", "QuarnAdjustVideo(h2, 4, 128)",
        "QuarnSetPLLFrequency(h1, 245)", "QuarnSetPLLFrequency(h2, 245)"},
       factory, {factory, factory}},
      {"all cards: a card that refuses keeps its own", Under::kGrid, {one, two},
       {Refused(2, QUARN_ERR_GENERAL, kB, SB_LINERIGHT)}, IDOK,
       {"QuarnAdjustVideo(h1, 1, 101)", "QuarnAdjustVideo(h2, 1, 101) -> -1"},
       {101, 90, 80, 70, 60}, {{101, 90, 80, 70, 60}, two}},
  };
  // clang-format on
  for (const Case& c : cases) {
    for (const NamedPolicy& policy : Policies(c.under)) {
      SCOPED_TRACE(std::string(c.name) + ", " + policy.name);
      const CardList cards =
          OpenCards(*policy.policy, static_cast<int>(c.opening.size()),
                    [&](CVideoCard& card, int i) { OpenOn(card, c.opening[i]); });
      const Values first = c.opening.empty() ? factory : c.opening.front();
      CAdjustDlg dlg(nullptr, Pointers(cards));
      Values opened{};
      Values shown{};
      const intptr_t result = Run(dlg, [&](CDialog& d) {
        opened = Shown(d);
        for (const Act& act : c.acts) Do(d, act);
        shown = Shown(d);
        Click(d, c.end);
        EXPECT_EQ(Shown(d), c.shown) << "ending moves no bar";
      });
      EXPECT_EQ(opened, first);
      EXPECT_EQ(Lines(), c.calls);
      EXPECT_EQ(shown, c.shown);
      EXPECT_EQ(result, c.end);
      EXPECT_EQ(Current(dlg), c.end == IDOK ? c.shown : first);
      std::vector<Values> kept;
      for (const auto& card : cards) kept.push_back(Kept(*card));
      EXPECT_EQ(kept, c.kept);
    }
  }
}

class SolvaneAdjustTest : public DialogTest {
 protected:
  SolvaneAdjustTest() : DialogTest(/*centredValues=*/true) {}
};

TEST_F(SolvaneAdjustTest, ValueTextsAreCentredHereAndLeftAlignedInHexmont) {
  for (const bool centred : {true, false}) {
    auto res = std::make_shared<ResourceSet>(AfxGetResources());
    res->dialogs[IDD_ADJUST] = AdjustDialogTemplate(centred);
    AfxSetResources(res);
    CAdjustDlg dlg(nullptr, {});
    Run(dlg, [&](CDialog& d) {
      for (UINT id : kTexts) {
        auto* text = qobject_cast<QLabel*>(d.GetDlgItem(id)->GetWidget());
        EXPECT_EQ(text->alignment(), centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        EXPECT_EQ(text->frameShadow(), QFrame::Sunken);
      }
    });
  }
}

}  // namespace
