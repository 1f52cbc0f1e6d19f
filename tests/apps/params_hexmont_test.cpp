// params_hexmont_test.cpp - Hexmont's parameter menu through the frame on the recording capture
// library: the value items and toggles on all cards or the selected one (a refusing card keeps
// its value, the others change), the image size a standard brings, the check marks of the shown
// card, and the dialogs' messages reaching the target cards.
#include <QAbstractButton>

#include "adjust_dlg.h"
#include "apply_messages.h"
#include "hexmont_app.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resource_ids.h"
#include "resources.h"
#include "select_card_dlg.h"
#include "video_source_dlg.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CHexmontApp>;

class HexmontParamsTest : public ::testing::Test {
 protected:
  void Start(int cards) {
    quarnfake::SetCardCount(cards);
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    quarnfake::ClearCalls();
  }
  Harness& h() { return *h_; }
  CCardSet& cards() { return h_->frameAs<CMainFrame>()->Cards(); }
  VideoParameterSet& params(int i) { return cards().Record(i).params; }
  static std::vector<std::string> Texts() { return quarnfake::Calls().Texts(); }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

// All cards selected: every card is told, each on its own; a card that refuses keeps its value
// (here card 2 refuses RGB565) and the check mark shows card 0's value.
TEST_F(HexmontParamsTest, AValueGoesToEveryCardAndARefusingCardKeepsItsOwn) {
  Start(3);
  quarnfake::Script("QuarnSetVideoFormat", 2).Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_FORMAT_RGB565));
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoFormat(h1, 2)", "QuarnSetVideoFormat(h2, 2)",
                                   "QuarnSetVideoFormat(h3, 2)"));
  EXPECT_EQ(params(0).format, kFormatRgb565);
  EXPECT_EQ(params(1).format, kFormatRgb8888);
  EXPECT_EQ(params(2).format, kFormatRgb565);
  EXPECT_EQ(h().Checked(ID_FORMAT_RGB565), 1);
  cards().selectedCard = 1;  // the shown card follows the selection
  EXPECT_EQ(h().Checked(ID_FORMAT_RGB565), 0);
  EXPECT_EQ(h().Checked(ID_FORMAT_RGB8888), 1);
}

// A standard sets the image size only where the card took it.
TEST_F(HexmontParamsTest, NtscSetsTheImageSizeOnlyOnTheCardsThatTookIt) {
  Start(2);
  quarnfake::Script("QuarnSetVideoStandard", 1).Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_STANDARD_NTSC));
  EXPECT_EQ(params(0).standard, kStandardPal);
  EXPECT_EQ(cards().Record(0).imageWidth, 768);
  EXPECT_EQ(params(1).standard, kStandardNtsc);
  EXPECT_EQ(cards().Record(1).imageWidth, 640);
  EXPECT_EQ(cards().Record(1).imageHeight, 480);
}

// Card index 1 selected: "Horizon" twice turns its mirror on, then off; card 0 is never told.
// A refused toggle flips the flag back.
TEST_F(HexmontParamsTest, TogglesFlipTheSelectedCardAndFlipBackWhenRefused) {
  Start(2);
  cards().selectedCard = 1;
  ASSERT_TRUE(h().Send(ID_MIRROR_HORIZONTAL));
  EXPECT_EQ(params(1).mirrorHorizontal, 1);
  EXPECT_EQ(h().Checked(ID_MIRROR_HORIZONTAL), 1);
  ASSERT_TRUE(h().Send(ID_MIRROR_HORIZONTAL));
  EXPECT_EQ(params(1).mirrorHorizontal, 0);
  EXPECT_THAT(Texts(),
              ElementsAre("QuarnEnableVideoMirror(h2, 0, 1)", "QuarnEnableVideoMirror(h2, 0, 0)"));
  EXPECT_EQ(params(0).mirrorHorizontal, 0);

  quarnfake::Script("QuarnLumaControl").Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_CHROMA_TRAP));
  EXPECT_EQ(params(1).chromaTrap, 1) << "flipped to 0, refused, flipped back";
  EXPECT_EQ(quarnfake::Calls().back().Text(), "QuarnLumaControl(h2, 0, 0)");
}

// Interline flips the target cards' flags without a library call, and is greyed outside the
// frame scan mode or while acquiring; the flags start at 0, 0, 1, 1 each run.
TEST_F(HexmontParamsTest, InterlineFlipsWithoutALibraryCallAndOnlyInFrameScan) {
  Start(2);
  EXPECT_EQ(h().Checked(ID_PARAM_INTERLINE), 1);
  ASSERT_TRUE(h().Send(ID_PARAM_INTERLINE));
  EXPECT_EQ(cards().Record(0).interline, 0);
  EXPECT_EQ(cards().Record(1).interline, 0);
  EXPECT_THAT(Texts(), IsEmpty());
  params(0).scanMode = kScanField;
  EXPECT_FALSE(h().IsEnabled(ID_PARAM_INTERLINE));
  EXPECT_FALSE(h().Send(ID_PARAM_INTERLINE));
  params(0).scanMode = kScanFrame;
  cards().mode = AcquisitionMode::kLive;
  EXPECT_FALSE(h().IsEnabled(ID_PARAM_INTERLINE));
  EXPECT_FALSE(h().IsEnabled(ID_FORMAT_RGB888));
  EXPECT_TRUE(h().IsEnabled(ID_CRYSTAL_28M));
  EXPECT_TRUE(h().IsEnabled(ID_CHROMA_TRAP));
  cards().mode = AcquisitionMode::kIdle;
}

// The dialogs' messages reach the target cards and change no record; with no card, or with a
// selection outside the cards, nothing is called.
TEST_F(HexmontParamsTest, TheDialogsMessagesReachTheTargetCardsOnly) {
  Start(3);
  cards().selectedCard = 2;
  EXPECT_EQ(h().SendMessage(WM_APPLY_SOURCE, 1, 2), 1);
  EXPECT_EQ(h().SendMessage(WM_APPLY_ADJUST, kAdjustHue, 300), 1);
  EXPECT_EQ(h().SendMessage(WM_APPLY_PLL, 7, 0), 1);
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoSource(h3, 1, 2)", "QuarnAdjustVideo(h3, 3, 44)",
                                   "QuarnSetPLLFrequency(h3, 7)"));
  EXPECT_EQ(params(2).sourceType, 0);
  EXPECT_EQ(params(2).hue, 128);
  quarnfake::ClearCalls();
  cards().selectedCard = 3;  // all cards
  h().SendMessage(WM_APPLY_PLL, 9, 0);
  EXPECT_EQ(Texts().size(), 3u);
  quarnfake::ClearCalls();
  cards().selectedCard = 7;  // never a valid selection: nothing is aimed at
  h().SendMessage(WM_APPLY_PLL, 9, 0);
  EXPECT_THAT(Texts(), IsEmpty());
}

// ---- The dialogs through the frame ----

void Click(CDialog& d, UINT id) {
  qobject_cast<QAbstractButton*>(d.GetDlgItem(id)->GetWidget())->click();
}

// Card index 1 selected: "S-Video 2" switches that card at the click and OK stores it in its
// record only. All cards: "YCbCr1" switches every card, Cancel switches them back to card 0's
// opening input, and no record changes.
TEST_F(HexmontParamsTest, VideoSourceSwitchesTheTargetsLiveAndStoresOnlyOnOk) {
  Start(2);
  cards().selectedCard = 1;
  h().dialogDriver = [](CDialog& d) {
    Click(d, kSourceButtonIds[7]);
    Click(d, IDOK);
  };
  ASSERT_TRUE(h().Send(ID_PARAM_VIDEO_SOURCE));
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoSource(h2, 1, 1)"));
  EXPECT_EQ(params(1).sourceType, 1);
  EXPECT_EQ(params(1).sourceNumber, 1);
  EXPECT_EQ(params(0).sourceType, 0);

  quarnfake::ClearCalls();
  cards().selectedCard = 2;
  h().dialogDriver = [](CDialog& d) {
    Click(d, kSourceButtonIds[9]);
    Click(d, IDCANCEL);
  };
  ASSERT_TRUE(h().Send(ID_PARAM_VIDEO_SOURCE));
  EXPECT_THAT(Texts(),
              ElementsAre("QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h2, 2, 0)",
                          "QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoSource(h2, 0, 0)"));
  EXPECT_EQ(params(0).sourceType, 0);
  EXPECT_EQ(params(1).sourceType, 1);
}

// Adjust opens on the shown card's values, applies each movement to the targets, and stores
// the five values on OK only in the selected card's record.
TEST_F(HexmontParamsTest, AdjustAppliesLiveAndStoresOnOkInTheTargetsRecords) {
  Start(3);
  params(2).brightness = 40;
  cards().selectedCard = 2;
  uint8_t opened = 0;
  h().dialogDriver = [&](CDialog& d) {
    auto& adjust = static_cast<CAdjustDlg&>(d);
    opened = adjust.m_brightness;
    d.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0),
                  reinterpret_cast<LPARAM>(d.GetScrollBarCtrl(IDC_ADJUST_BRIGHTNESS_BAR)));
    Click(d, IDOK);
  };
  ASSERT_TRUE(h().Send(ID_PARAM_ADJUST));
  EXPECT_EQ(opened, 40);
  EXPECT_THAT(Texts(), ElementsAre("QuarnAdjustVideo(h3, 1, 41)"));
  EXPECT_EQ(params(2).brightness, 41);
  EXPECT_EQ(params(0).brightness, 128);
}

// Select card: the choice made in the dialog becomes the selection on OK only.
TEST_F(HexmontParamsTest, SelectCardChangesTheSelectionOnOkOnly) {
  Start(2);
  EXPECT_EQ(cards().selectedCard, 2) << "all cards at start";
  h().dialogDriver = [](CDialog& d) {
    d.GetComboBox(IDC_SELECT_CARD_COMBO)->SetCurSel(1);
    Click(d, IDOK);
  };
  ASSERT_TRUE(h().Send(hexmont::ID_PARAM_SELECT_CARD));
  EXPECT_EQ(cards().selectedCard, 1);
  h().dialogDriver = [](CDialog& d) {
    d.GetComboBox(IDC_SELECT_CARD_COMBO)->SetCurSel(0);
    Click(d, IDCANCEL);
  };
  ASSERT_TRUE(h().Send(hexmont::ID_PARAM_SELECT_CARD));
  EXPECT_EQ(cards().selectedCard, 1);
}

}  // namespace
