// params_hexmont_test.cpp - Hexmont's parameter menu through the frame on the recording capture
// library: the value items and toggles on all cards or the selected one (a refusing card keeps
// its value, the others change), the image size a standard brings, the check marks of the shown
// card, and the dialogs on the target cards.
#include <QAbstractButton>

#include "adjust_dlg.h"
#include "hexmont_app.h"
#include "hexmont_test_support.h"
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
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  CCardGrid& cards() { return h_->frameAs<CMainFrame>()->Grid(); }
  const VideoParameterSet& params(int i) { return cards().Cell(i).card.Params(); }
  template <typename T>
  void SetParam(int i, T VideoParameterSet::*field, T value) {
    hexmonttest::SetRecordValue(cards().Cell(i).card, field, value);
  }
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
  cards().SelectCard(1);  // the shown card follows the selection
  EXPECT_EQ(h().Checked(ID_FORMAT_RGB565), 0);
  EXPECT_EQ(h().Checked(ID_FORMAT_RGB8888), 1);
}

// A standard sets the image size only where the card took it.
TEST_F(HexmontParamsTest, NtscSetsTheImageSizeOnlyOnTheCardsThatTookIt) {
  Start(2);
  quarnfake::Script("QuarnSetVideoStandard", 1).Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_STANDARD_NTSC));
  EXPECT_EQ(params(0).standard, kStandardPal);
  EXPECT_EQ(cards().Cell(0).card.GetImageSize().width, 768);
  EXPECT_EQ(params(1).standard, kStandardNtsc);
  EXPECT_EQ(cards().Cell(1).card.GetImageSize().width, 640);
  EXPECT_EQ(cards().Cell(1).card.GetImageSize().height, 480);
}

// Card index 1 selected: "Horizon" twice turns its mirror on, then off; card 0 is never told.
// A refused toggle flips the flag back.
TEST_F(HexmontParamsTest, TogglesFlipTheSelectedCardAndFlipBackWhenRefused) {
  Start(2);
  cards().SelectCard(1);
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
  EXPECT_EQ(cards().Cell(0).interline, 0);
  EXPECT_EQ(cards().Cell(1).interline, 0);
  EXPECT_THAT(Texts(), IsEmpty());
  SetParam<int32_t>(0, &VideoParameterSet::scanMode, kScanField);
  EXPECT_FALSE(h().IsEnabled(ID_PARAM_INTERLINE));
  EXPECT_FALSE(h().Send(ID_PARAM_INTERLINE));
  SetParam<int32_t>(0, &VideoParameterSet::scanMode, kScanFrame);
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kLive;
  EXPECT_FALSE(h().IsEnabled(ID_PARAM_INTERLINE));
  EXPECT_FALSE(h().IsEnabled(ID_FORMAT_RGB888));
  EXPECT_TRUE(h().IsEnabled(ID_CRYSTAL_28M));
  EXPECT_TRUE(h().IsEnabled(ID_CHROMA_TRAP));
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kIdle;
}

// ---- The dialogs through the frame ----

void Click(CDialog& d, UINT id) {
  qobject_cast<QAbstractButton*>(d.GetDlgItem(id)->GetWidget())->click();
}

// Card index 1 selected: "S-Video 2" switches that card (and its record) alone. All cards:
// "YCbCr1" switches every card, and Cancel puts each back on its own opening input, not on card
// 0's.
TEST_F(HexmontParamsTest, VideoSourceSwitchesTheTargetsAndCancelRestoresEachCard) {
  Start(2);
  cards().SelectCard(1);
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
  cards().SelectCard(2);
  h().dialogDriver = [](CDialog& d) {
    Click(d, kSourceButtonIds[9]);
    Click(d, IDCANCEL);
  };
  ASSERT_TRUE(h().Send(ID_PARAM_VIDEO_SOURCE));
  EXPECT_THAT(Texts(),
              ElementsAre("QuarnSetVideoSource(h1, 2, 0)", "QuarnSetVideoSource(h2, 2, 0)",
                          "QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoSource(h2, 1, 1)"));
  EXPECT_EQ(params(0).sourceType, 0);
  EXPECT_EQ(params(1).sourceType, 1);
}

// Adjust opens on the shown card's values and applies each movement to the targets and their
// records only.
TEST_F(HexmontParamsTest, AdjustAppliesLiveAndStoresOnOkInTheTargetsRecords) {
  Start(3);
  SetParam<uint8_t>(2, &VideoParameterSet::brightness, 40);
  cards().SelectCard(2);
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

// "All card" with cards whose values differ: OK without touching anything tells no card
// anything and every record keeps its own values; a moved bar goes to every card and record
// and the other values stay each card's own; Cancel and Reset put each card back on its own
// values. After every dialog, each card runs what its record says.
TEST_F(HexmontParamsTest, AllCardsDialogsKeepEachCardsOwnValues) {
  Start(2);
  SetParam<uint8_t>(0, &VideoParameterSet::brightness, 100);
  SetParam<uint8_t>(1, &VideoParameterSet::brightness, 200);
  SetParam<uint8_t>(1, &VideoParameterSet::contrast, 50);
  SetParam<int32_t>(1, &VideoParameterSet::sourceType, 1);
  const auto press = [this](std::function<void(CDialog&)> user, UINT command) {
    quarnfake::ClearCalls();
    h().dialogDriver = std::move(user);
    ASSERT_TRUE(h().Send(command));
  };
  const auto scrollBrightness = [](CDialog& d) {
    d.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0),
                  reinterpret_cast<LPARAM>(d.GetScrollBarCtrl(IDC_ADJUST_BRIGHTNESS_BAR)));
  };

  press([](CDialog& d) { Click(d, IDOK); }, ID_PARAM_ADJUST);
  press([](CDialog& d) { Click(d, IDOK); }, ID_PARAM_VIDEO_SOURCE);
  EXPECT_THAT(Texts(), IsEmpty());
  EXPECT_EQ(params(1).brightness, 200);
  EXPECT_EQ(params(1).contrast, 50);
  EXPECT_EQ(params(1).sourceType, 1);

  press(
      [&](CDialog& d) {
        scrollBrightness(d);
        Click(d, IDOK);
      },
      ID_PARAM_ADJUST);
  EXPECT_THAT(Texts(), ElementsAre("QuarnAdjustVideo(h1, 1, 101)", "QuarnAdjustVideo(h2, 1, 101)"));
  EXPECT_EQ(params(1).brightness, 101);
  EXPECT_EQ(params(1).contrast, 50) << "a value not touched stays the card's own";
  EXPECT_EQ(params(0).contrast, 128);

  for (const UINT undo : {static_cast<UINT>(IDCANCEL), IDC_ADJUST_RESET}) {
    SetParam<uint8_t>(1, &VideoParameterSet::brightness, 200);
    press(
        [&](CDialog& d) {
          scrollBrightness(d);
          Click(d, undo);
          if (undo != IDCANCEL) Click(d, IDOK);
        },
        ID_PARAM_ADJUST);
    EXPECT_EQ(quarnfake::Card(1).brightness, 101) << undo;
    EXPECT_EQ(quarnfake::Card(2).brightness, 200) << undo;
    EXPECT_EQ(quarnfake::Card(2).contrast, 50) << undo;
    EXPECT_EQ(params(0).brightness, 101) << undo;
    EXPECT_EQ(params(1).brightness, 200) << undo;
  }
}

// Select card: the choice made in the dialog becomes the selection on OK only.
TEST_F(HexmontParamsTest, SelectCardChangesTheSelectionOnOkOnly) {
  Start(2);
  EXPECT_EQ(cards().SelectedCard(), 2) << "all cards at start";
  h().dialogDriver = [](CDialog& d) {
    d.GetComboBox(IDC_SELECT_CARD_COMBO)->SetCurSel(1);
    Click(d, IDOK);
  };
  ASSERT_TRUE(h().Send(hexmont::ID_PARAM_SELECT_CARD));
  EXPECT_EQ(cards().SelectedCard(), 1);
  h().dialogDriver = [](CDialog& d) {
    d.GetComboBox(IDC_SELECT_CARD_COMBO)->SetCurSel(0);
    Click(d, IDCANCEL);
  };
  ASSERT_TRUE(h().Send(hexmont::ID_PARAM_SELECT_CARD));
  EXPECT_EQ(cards().SelectedCard(), 1);
}

}  // namespace
