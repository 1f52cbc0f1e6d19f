// params_solvane_test.cpp - Solvane's parameter menu through the frame on the recording capture
// library: the card-type items asked at every update, the re-layout a new standard or scan mode
// brings (and the mask rebuilt twice), the -7 rule that skips it, and the chroma trap's box.
#include "program_test_support.h"
#include "resource_ids.h"
#include "solvane_test_support.h"

namespace {

using ::testing::ElementsAre;

class SolvaneParamsTest : public apptest::SolvaneFrameTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    SizeClient(400, 300);
    quarnfake::ClearCalls();
  }
  quarnfake::ScopedFake fake_;
};

// The crystal items are for cards of type 0, mirror and chroma trap for types 1 and 2; a failed
// query greys all five and leaves their marks as they were.
TEST_F(SolvaneParamsTest, TheCardTypeDecidesWhichItemsAreAvailable) {
  const UINT items[] = {ID_CRYSTAL_35M, ID_CRYSTAL_28M, ID_MIRROR_HORIZONTAL, ID_MIRROR_VERTICAL,
                        ID_CHROMA_TRAP};
  struct Case {
    int type;
    bool fails;
    std::vector<bool> enabled;
  } const cases[] = {
      {0, false, {true, true, false, false, false}},
      {1, false, {false, false, true, true, true}},
      {2, false, {false, false, true, true, true}},
      {1, true, {false, false, false, false, false}},
  };
  for (const Case& c : cases) {
    quarnfake::SetCardType(1, c.type);
    quarnfake::Script("QuarnGetCardType").Returns(c.fails ? QUARN_ERR_GENERAL : QUARN_OK);
    std::vector<bool> enabled;
    for (UINT id : items) enabled.push_back(h().IsEnabled(id));
    EXPECT_EQ(enabled, c.enabled) << "type " << c.type << (c.fails ? ", query failing" : "");
  }
  quarnfake::Script("QuarnGetCardType").Clear();
  // Asked anew at each update, and the failed query does not touch the mark.
  quarnfake::ClearCalls();
  EXPECT_EQ(h().Checked(ID_CHROMA_TRAP), 1);
  EXPECT_EQ(quarnfake::CallCount("QuarnGetCardType"), 1u);
  quarnfake::Script("QuarnGetCardType").Returns(QUARN_ERR_GENERAL);
  EXPECT_FALSE(h().State(ID_CHROMA_TRAP).checkSet);
}

// Field with the mask on: the Mask command runs twice (the mask stays on, rebuilt for the field
// height) and the frame lays itself out for the half-height picture.
TEST_F(SolvaneParamsTest, AScanModeRebuildsTheMaskAndLaysTheFrameOut) {
  ASSERT_TRUE(h().Send(ID_VIEW_MASK));
  ASSERT_EQ(card().IsMaskEnabled(), 1);
  apptest::FrameProbe probe;
  quarnfake::ClearCalls();
  ASSERT_TRUE(h().Send(ID_SCAN_FIELD));
  EXPECT_EQ(card().GetScanMode(), kScanField);
  EXPECT_EQ(card().IsMaskEnabled(), 1);
  EXPECT_EQ(quarnfake::CallCount("QuarnEnableMask"), 2u);
  // The field picture fills the view: the output window is twice the view's height.
  EXPECT_EQ(card().GetOutputWindow().height, 2 * ViewOnScreen().Height());
}

// A standard or scan mode the card only remembers (-7) is kept but skips the re-layout and the
// mask steps; a refused one changes nothing.
TEST_F(SolvaneParamsTest, NotAppliedYetKeepsTheValueButSkipsTheLayout) {
  quarnfake::Script("QuarnSetVideoStandard").ReturnsNext(QUARN_ERR_NOT_APPLIED);
  ASSERT_TRUE(h().Send(ID_STANDARD_NTSC));
  EXPECT_EQ(card().GetVideoStandard(), kStandardNtsc);
  EXPECT_EQ(quarnfake::CallCount("QuarnSetOutputWindow"), 0u);
  quarnfake::Script("QuarnSetScanMode").ReturnsNext(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_SCAN_FIELD));
  EXPECT_EQ(card().GetScanMode(), kScanFrame);
  EXPECT_EQ(quarnfake::CallCount("QuarnSetOutputWindow"), 0u);
  ASSERT_TRUE(h().Send(ID_STANDARD_PAL));
  EXPECT_GT(quarnfake::CallCount("QuarnSetOutputWindow"), 0u) << "accepted: laid out";
}

// A refused chroma trap shows its box with no owner; a refused mirror shows nothing.
TEST_F(SolvaneParamsTest, OnlyARefusedChromaTrapIsReported) {
  quarnfake::SetCardType(1, 1);
  quarnfake::Script("QuarnEnableVideoMirror").ReturnsNext(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_MIRROR_VERTICAL));
  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_EQ(card().GetMirrorVertical(), 0);
  quarnfake::Script("QuarnLumaControl").ReturnsNext(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Send(ID_CHROMA_TRAP));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style & MB_ICONWARNING, MB_ICONWARNING);
  EXPECT_EQ(card().GetChromaTrap(), 1);
  ASSERT_TRUE(h().Send(ID_CHROMA_TRAP));
  EXPECT_EQ(card().GetChromaTrap(), 0);
}

}  // namespace
