// adjust_dlg_test.cpp - the Adjust dialog in both forms: each scroll notification applies its
// bar's value once (to Hexmont's frame by message, to Solvane's card through its setters), the
// bars stay within 0..255 whatever the thumb reports, "Default", "Reset", Cancel and OK, a value
// the card refuses, no card, and the value texts' alignment in each program.
#include <QLabel>

#include "dialogs_test_support.h"

namespace {

using namespace dialogtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
};
Act Bar(int slot, UINT code, int pos = 0) {
  return {slot, code, pos};
}
Act Button(UINT id) {
  return {-1, id};
}
void Do(CDialog& d, const Act& act) {
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

using HexmontAdjustTest = DialogTest;

struct HexmontCase {
  const char* name;
  Values opening;
  std::vector<Act> acts;
  UINT end;  // IDOK or IDCANCEL
  std::vector<std::string> messages;
  Values shown;    // the bars and texts before the dialog ends
  Values current;  // the dialog's values after it ended
};

TEST_F(HexmontAdjustTest, AppliesEveryNotificationOnceThroughTheFrame) {
  const Values open = {10, 20, 30, 40, 50};
  // clang-format off
  const std::vector<HexmontCase> cases = {
      {"at 0 line left stays at 0, at 250 page right gives 255", {0, 20, 30, 40, 250},
       {Bar(kB, SB_LINELEFT), Bar(kB, SB_ENDSCROLL), Bar(kP, SB_PAGERIGHT), Bar(kP, SB_ENDSCROLL)},
       IDOK, {"adjust 1 0", "adjust 1 0", "pll 255 0", "pll 255 0"},
       {0, 20, 30, 40, 255}, {0, 20, 30, 40, 255}},
      {"a drag applies each position and the drop again", open,
       {Bar(kH, SB_THUMBTRACK, 100), Bar(kH, SB_THUMBTRACK, 90), Bar(kH, SB_THUMBPOSITION, 90),
        Bar(kH, SB_ENDSCROLL)}, IDOK,
       {"adjust 3 100", "adjust 3 90", "adjust 3 90", "adjust 3 90"},
       {10, 20, 90, 40, 50}, {10, 20, 90, 40, 50}},
      {"lines and pages each way", open,
       {Bar(kC, SB_LINERIGHT), Bar(kC, SB_PAGERIGHT), Bar(kS, SB_PAGELEFT), Bar(kS, SB_LINELEFT)},
       IDOK, {"adjust 2 21", "adjust 2 31", "adjust 4 30", "adjust 4 29"},
       {10, 31, 30, 29, 50}, {10, 31, 30, 29, 50}},
      {"thumb positions outside 0..255 are kept within", open,
       {Bar(kS, SB_THUMBTRACK, 300), Bar(kS, SB_THUMBPOSITION, 0xFFFF), Bar(kB, SB_THUMBTRACK, 7)},
       IDOK, {"adjust 4 255", "adjust 4 255", "adjust 1 7"},
       {7, 20, 30, 255, 50}, {7, 20, 30, 255, 50}},
      {"the ends leave the bar and apply it", open,
       {Bar(kC, SB_LEFT), Bar(kP, SB_RIGHT)}, IDOK,
       {"adjust 2 20", "pll 50 0"}, open, open},
      {"Default then Cancel", open,
       {Bar(kB, SB_LINERIGHT), Button(IDC_ADJUST_DEFAULT)}, IDCANCEL,
       {"adjust 1 11", "adjust 1 128", "adjust 2 128", "adjust 3 128", "adjust 4 128", "pll 245 0",
        "adjust 1 10", "adjust 2 20", "adjust 3 30", "adjust 4 40", "pll 50 0"},
       {128, 128, 128, 128, 245}, open},
      {"Reset goes back and OK keeps it", open,
       {Bar(kH, SB_PAGERIGHT), Bar(kP, SB_LINELEFT), Button(IDC_ADJUST_RESET)}, IDOK,
       {"adjust 3 40", "pll 49 0",
        "adjust 1 10", "adjust 2 20", "adjust 3 30", "adjust 4 40", "pll 50 0"},
       open, open},
      {"Cancel leaves the bars", open, {Bar(kH, SB_PAGERIGHT)}, IDCANCEL,
       {"adjust 3 40", "adjust 1 10", "adjust 2 20", "adjust 3 30", "adjust 4 40", "pll 50 0"},
       {10, 20, 40, 40, 50}, open},
  };
  // clang-format on
  for (const HexmontCase& c : cases) {
    SCOPED_TRACE(c.name);
    frame.messages.clear();
    const Values& o = c.opening;
    CAdjustDlg dlg(&frame, o[kB], o[kC], o[kH], o[kS], o[kP]);
    Values opened{};
    Values shown{};
    const intptr_t result = Run(dlg, [&](CDialog& d) {
      opened = Shown(d);
      for (const Act& act : c.acts) Do(d, act);
      shown = Shown(d);
      Click(d, c.end);
      EXPECT_EQ(Shown(d), c.shown) << "ending moves no bar";
    });
    EXPECT_EQ(opened, c.opening);
    EXPECT_EQ(frame.messages, c.messages);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(result, c.end);
    EXPECT_EQ(Current(dlg), c.current);
  }
  EXPECT_THAT(quarnfake::Calls(), IsEmpty()) << "Hexmont's dialog calls no library itself";
}

class SolvaneAdjustTest : public DialogTest {
 protected:
  SolvaneAdjustTest() : DialogTest(/*centredValues=*/true) {}
};

TEST_F(SolvaneAdjustTest, AppliesThroughTheCardWhichKeepsWhatIsAcceptedAndCancelRestoresIt) {
  OpenCard();
  ASSERT_EQ(card.SetHue(60), QUARN_OK);
  quarnfake::ClearCalls();
  CAdjustDlg dlg(nullptr, &card);
  Run(dlg, [&](CDialog& d) {
    EXPECT_EQ(Shown(d), (Values{128, 128, 60, 128, 245}));
    Scroll(d, IDC_ADJUST_BRIGHTNESS_BAR, SB_LINERIGHT);
    quarnfake::Script("QuarnAdjustVideo").ReturnsNext(QUARN_ERR_GENERAL);
    Scroll(d, IDC_ADJUST_HUE_BAR, SB_THUMBTRACK, 200);
    EXPECT_EQ(BarShows(d, IDC_ADJUST_HUE_BAR), 200);
    EXPECT_EQ(card.GetHue(), 60) << "a refused value is not kept";
    Scroll(d, IDC_ADJUST_PLL_BAR, SB_PAGELEFT);
    Click(d, IDC_ADJUST_DEFAULT);
    Scroll(d, IDC_ADJUST_CONTRAST_BAR, SB_PAGERIGHT);
    EXPECT_EQ(card.GetContrast(), 138);
    Click(d, IDCANCEL);
  });
  EXPECT_THAT(Lines(),
              ElementsAre("QuarnAdjustVideo(h1, 1, 129)", "QuarnAdjustVideo(h1, 3, 200) -> -1",
                          "QuarnSetPLLFrequency(h1, 235)", "QuarnAdjustVideo(h1, 1, 128)",
                          "QuarnAdjustVideo(h1, 2, 128)", "QuarnAdjustVideo(h1, 3, 128)",
                          "QuarnAdjustVideo(h1, 4, 128)", "QuarnSetPLLFrequency(h1, 245)",
                          "QuarnAdjustVideo(h1, 2, 138)", "QuarnAdjustVideo(h1, 1, 128)",
                          "QuarnAdjustVideo(h1, 2, 128)", "QuarnAdjustVideo(h1, 3, 60)",
                          "QuarnAdjustVideo(h1, 4, 128)", "QuarnSetPLLFrequency(h1, 245)"));
  EXPECT_EQ(card.GetHue(), 60);
  EXPECT_EQ(card.GetContrast(), 128);
  EXPECT_TRUE(frame.messages.empty());
}

TEST_F(SolvaneAdjustTest, WithoutACardTheBarsMoveAndNothingIsApplied) {
  CAdjustDlg dlg(nullptr, nullptr);
  Run(dlg, [](CDialog& d) {
    Scroll(d, IDC_ADJUST_PLL_BAR, SB_PAGERIGHT);
    Click(d, IDC_ADJUST_RESET);
    Scroll(d, IDC_ADJUST_HUE_BAR, SB_LINELEFT);
    EXPECT_EQ(Shown(d), (Values{128, 128, 127, 128, 245}));
    Click(d, IDCANCEL);
  });
  EXPECT_THAT(quarnfake::Calls(), IsEmpty());
}

TEST_F(SolvaneAdjustTest, ValueTextsAreCentredHereAndLeftAlignedInHexmont) {
  for (const bool centred : {true, false}) {
    auto res = std::make_shared<ResourceSet>(AfxGetResources());
    res->dialogs[IDD_ADJUST] = AdjustDialogTemplate(centred);
    AfxSetResources(res);
    CAdjustDlg dlg(nullptr, nullptr);
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
