// video_source_dlg_test.cpp - the Video Source dialog in both forms: what Hexmont's frame is sent
// and which pair the dialog ends with, what Solvane's card is told and where the check mark
// stands after each click, refusal, "Default", OK, Cancel and Escape.
#include "dialogs_test_support.h"

namespace {

using namespace dialogtest;
using ::testing::IsEmpty;

constexpr int kDefault = -1;  // a step that clicks "Default" rather than an input
enum class End { kOk, kCancel, kEscape };

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

using VideoSourceTest = DialogTest;

struct HexmontCase {
  const char* name;
  int type, number;         // the opening pair
  std::vector<int> clicks;  // button indices, kDefault for "Default"
  End end;
  int shownFirst;                     // checked on opening
  std::vector<std::string> messages;  // what the frame was sent
  intptr_t result;
  int radio, currentType, currentNumber;
};

TEST_F(VideoSourceTest, HexmontSendsEachClickToTheFrameAndEndsWithTheLastPair) {
  // clang-format off
  const std::vector<HexmontCase> cases = {
      {"click then OK", 0, 0, {7}, End::kOk, 0, {"source 1 1"}, IDOK, 7, 1, 1},
      {"click then Cancel", 0, 0, {9}, End::kCancel, 0,
       {"source 2 0", "source 0 0"}, IDCANCEL, 0, 0, 0},
      {"Escape restores too", 2, 1, {0}, End::kEscape, 10,
       {"source 0 0", "source 2 1"}, IDCANCEL, 10, 2, 1},
      {"Default goes back", 1, 2, {5, 10, kDefault}, End::kOk, 8,
       {"source 0 5", "source 2 1", "source 1 2"}, IDOK, 8, 1, 2},
      {"no button for a type outside 0..2", 3, 0, {}, End::kOk, -1, {}, IDOK, -1, 3, 0},
      // Video has six connectors: 7 is no Video button, and must not show as "S-Video 2".
      {"no button for a connector the type lacks", 0, 7, {}, End::kOk, -1, {}, IDOK, -1, 0, 7},
  };
  // clang-format on
  for (const HexmontCase& c : cases) {
    SCOPED_TRACE(c.name);
    frame.messages.clear();
    CVideoSourceDlg dlg(&frame, c.type, c.number);
    int shownFirst = -3;
    const intptr_t result = Run(dlg, [&](CDialog& d) {
      shownFirst = Checked(d);
      for (int click : c.clicks) {
        Click(d, click == kDefault ? IDC_SOURCE_DEFAULT : kSourceButtonIds[click]);
        EXPECT_EQ(Checked(d), click == kDefault ? c.shownFirst : click);
      }
      Finish(d, c.end);
      EXPECT_TRUE(d.IsEnded());
    });
    EXPECT_EQ(shownFirst, c.shownFirst);
    EXPECT_EQ(frame.messages, c.messages);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(dlg.m_nRadio, c.radio);
    EXPECT_EQ(dlg.m_nCurrentType, c.currentType);
    EXPECT_EQ(dlg.m_nCurrentNumber, c.currentNumber);
  }
  EXPECT_THAT(quarnfake::Calls(), IsEmpty()) << "Hexmont's dialog calls no library itself";
}

struct Step {
  int button;      // index, or kDefault
  int status = 0;  // what the library answers that step's QuarnSetVideoSource
};

struct SolvaneCase {
  const char* name;
  int opening;  // flat index the card is on when the dialog opens
  std::vector<Step> steps;
  End end;
  int endStatus;  // what the library answers Cancel's call
  std::vector<std::string> calls;
  int shownLast;  // checked before the dialog ends
  int cardType, cardNumber;
};

TEST_F(VideoSourceTest, SolvaneSwitchesTheCardAndPutsARefusedCheckBack) {
  OpenCard();
  // clang-format off
  const std::vector<SolvaneCase> cases = {
      // The card keeps a source the library has not applied yet; the check still goes back.
      {"not yet applied is refused too", 0, {{6, QUARN_ERR_NOT_APPLIED}}, End::kOk, 0,
       {"QuarnSetVideoSource(h1, 1, 0) -> -7"}, 0, 1, 0},
      {"accepted, then refused", 0, {{2}, {5, QUARN_ERR_GENERAL}}, End::kOk, 0,
       {"QuarnSetVideoSource(h1, 0, 2)", "QuarnSetVideoSource(h1, 0, 5) -> -1"}, 2, 0, 2},
      {"Default after clicks", 7, {{9}, {10}, {kDefault}}, End::kOk, 0,
       {"QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h1, 2, 1)",
        "QuarnSetVideoSource(h1, 1, 1)"}, 7, 1, 1},
      {"Default refused changes nothing more", 0, {{9}, {kDefault, QUARN_ERR_GENERAL}}, End::kOk, 0,
       {"QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h1, 0, 0) -> -1"}, 9, 2, 0},
      {"Cancel goes back", 0, {{8}}, End::kCancel, 0,
       {"QuarnSetVideoSource(h1, 1, 2)", "QuarnSetVideoSource(h1, 0, 0)"}, 8, 0, 0},
      {"Cancel refused still closes", 0, {{3}}, End::kCancel, QUARN_ERR_GENERAL,
       {"QuarnSetVideoSource(h1, 0, 3)", "QuarnSetVideoSource(h1, 0, 0) -> -1"}, 3, 0, 3},
  };
  // clang-format on
  for (const SolvaneCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(card.SetSourceFromIndex(c.opening), QUARN_OK);
    quarnfake::ClearCalls();
    CVideoSourceDlg dlg(&frame, &card);
    int shownFirst = -3;
    int shownLast = -3;
    const intptr_t result = Run(dlg, [&](CDialog& d) {
      shownFirst = Checked(d);
      for (const Step& step : c.steps) {
        quarnfake::Script("QuarnSetVideoSource").ReturnsNext(step.status);
        Click(d, step.button == kDefault ? IDC_SOURCE_DEFAULT : kSourceButtonIds[step.button]);
      }
      shownLast = Checked(d);
      quarnfake::Script("QuarnSetVideoSource").ReturnsNext(c.endStatus);
      Finish(d, c.end);
    });
    EXPECT_EQ(shownFirst, c.opening);
    EXPECT_EQ(Lines(), c.calls);
    EXPECT_EQ(shownLast, c.shownLast);
    EXPECT_EQ(result, c.end == End::kOk ? IDOK : IDCANCEL);
    if (c.end == End::kOk) {
      EXPECT_EQ(dlg.m_nRadio, c.shownLast);
    }
    EXPECT_EQ(card.GetSourceType(), c.cardType);
    EXPECT_EQ(card.GetSourceNumber(), c.cardNumber);
    EXPECT_TRUE(frame.messages.empty());
    quarnfake::Script("QuarnSetVideoSource").Clear();
  }
}

TEST_F(VideoSourceTest, SolvaneWithoutACardAppliesNothing) {
  CVideoSourceDlg dlg(&frame, nullptr);
  Run(dlg, [](CDialog& d) {
    EXPECT_EQ(Checked(d), -1);
    Click(d, IDC_SOURCE_SVIDEO3);
    Click(d, IDC_SOURCE_DEFAULT);
    EXPECT_EQ(Checked(d), 8) << "the button still shows the click";
    Click(d, IDCANCEL);
  });
  EXPECT_THAT(quarnfake::Calls(), IsEmpty());
}

}  // namespace
