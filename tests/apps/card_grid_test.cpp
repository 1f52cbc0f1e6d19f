// card_grid_test.cpp - Hexmont's grid of cards: counting and opening every card with its error
// boxes, the window-creation steps (parameters, source detection, display, applying) in their
// order, the record conversions, and closing.
#include "card_grid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "card_helpers.h"
#include "card_test_support.h"

namespace {

using quarnfake::ErrorText;
using quarnfake::HandleOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string H(QUARN_HANDLE handle) {
  if (handle == 0) return "0";
  // Appended rather than "h" + std::to_string(...), which GCC 12 at -O3 reports as an
  // overlapping copy (a false -Wrestrict).
  std::string text = "h";
  text += std::to_string(quarnfake::CardOf(handle));
  return text;
}

// The calls of source detection on one card probing indices 0..last, plus the fall-back to
// "Video 1" when nothing had a signal.
std::vector<std::string> DetectionCalls(QUARN_HANDLE handle, int last, bool fallback) {
  std::vector<std::string> calls;
  for (int index = 0; index <= last; ++index) {
    int32_t type = 0;
    int32_t number = 0;
    IndexToSource(index, type, number);
    calls.push_back("QuarnSetVideoSource(" + H(handle) + ", " + std::to_string(type) + ", " +
                    std::to_string(number) + ")");
    calls.push_back("QuarnVideoPresent(" + H(handle) + ", ptr)");
  }
  if (fallback) calls.push_back("QuarnSetVideoSource(" + H(handle) + ", 0, 0)");
  return calls;
}

// Hexmont's applying order for a record with the default parameters.
std::vector<std::string> DefaultApplyCalls(QUARN_HANDLE handle, int sourceType, int sourceNumber,
                                           int format) {
  const std::string h = H(handle);
  return {"QuarnSetVideoStandard(" + h + ", 0)",
          "QuarnSetVideoSource(" + h + ", " + std::to_string(sourceType) + ", " +
              std::to_string(sourceNumber) + ")",
          "QuarnSetVideoFormat(" + h + ", " + std::to_string(format) + ")",
          "QuarnSetScanMode(" + h + ", 0)",
          "QuarnAdjustVideo(" + h + ", 1, 128)",
          "QuarnAdjustVideo(" + h + ", 2, 128)",
          "QuarnAdjustVideo(" + h + ", 3, 128)",
          "QuarnAdjustVideo(" + h + ", 4, 128)",
          "QuarnSetPLLFrequency(" + h + ", 245)",
          "QuarnSetInputWindow(" + h + ", 0, 0, 768, 576)",
          "QuarnSelectCryOSC(" + h + ", 0)"};
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

using CardGridTest = cardtest::CardTest;

// ---- Opening ----

TEST_F(CardGridTest, OpensEveryCardAndSetsFrameState) {
  quarnfake::SetCardCount(3);
  CCardGrid cards;
  cards.OpenCards();
  EXPECT_THAT(Texts(), ElementsAre("QuarnGetCardTotal(ptr)", "BeginQuarnCard(1, ptr)",
                                   "BeginQuarnCard(2, ptr)", "BeginQuarnCard(3, ptr)"));
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(cards.CardCount(), 3);
  for (int i = 0; i < 3; ++i) {
    const CGridCard& cell = cards.Cell(i);
    EXPECT_EQ(cell.card.GetHandle(), HandleOf(i + 1));
    EXPECT_EQ(cell.card.GetCardNumber(), i + 1);
    EXPECT_EQ(cell.card.Picture().Header(), nullptr);
    EXPECT_EQ(cell.OutputWidth(), 0) << "no window before the grid is placed";
    EXPECT_EQ(cell.card.GetMirrorHorizontal(), 0);
    EXPECT_EQ(cell.card.GetMirrorVertical(), 0);
    EXPECT_EQ(cell.card.GetChromaTrap(), 1);
    EXPECT_EQ(cell.interline, 1);
  }
  EXPECT_EQ(cards.SelectedCard(), 3) << "the card count selects all cards";
  EXPECT_EQ(cards.TargetCards().size(), 3u);
  EXPECT_EQ(cards.ShownCard(), &cards.Cell(0));
}

TEST_F(CardGridTest, NoCardShowsOneBoxAndOpensNothing) {
  quarnfake::SetCardCount(0);
  CCardGrid cards;
  cards.OpenCards();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_NO_CARD));
  EXPECT_EQ(Boxes()[0].caption, "Error message");
  EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(Boxes()[0].owner, nullptr);
  EXPECT_EQ(cards.CardCount(), 0);
  EXPECT_EQ(cards.SelectedCard(), 0);
  EXPECT_EQ(cards.ShownCard(), nullptr);
  EXPECT_TRUE(cards.TargetCards().empty());
  // Every later per-card step does nothing, and no second box comes.
  cards.SetUpCards(32, {});
  cards.CloseCards();
  EXPECT_THAT(Texts(), ElementsAre("QuarnGetCardTotal(ptr)", "QuarnGetErrorString(-8)"));
  EXPECT_EQ(Boxes().size(), 1u);
}

// A failing count must not be trusted even though the library wrote a number.
TEST_F(CardGridTest, FailedCountIsNoCard) {
  quarnfake::SetCardCount(3);
  quarnfake::Script("QuarnGetCardTotal").Returns(QUARN_ERR_GENERAL);
  CCardGrid cards;
  cards.OpenCards();
  EXPECT_EQ(cards.CardCount(), 0);
  EXPECT_EQ(quarnfake::CallCount("BeginQuarnCard"), 0u);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_NO_CARD));
}

// One card failing to open must neither stop the loop nor give its record a stray handle.
TEST_F(CardGridTest, FailedBeginShowsItsBoxAndOthersOpen) {
  quarnfake::SetCardCount(3);
  quarnfake::Script("BeginQuarnCard", 2).Returns(QUARN_ERR_BUSY);
  CCardGrid cards;
  cards.OpenCards();
  EXPECT_THAT(Texts(), ElementsAre("QuarnGetCardTotal(ptr)", "BeginQuarnCard(1, ptr)",
                                   "BeginQuarnCard(2, ptr)", "QuarnGetErrorString(-6)",
                                   "BeginQuarnCard(3, ptr)"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_BUSY));
  EXPECT_EQ(Boxes()[0].caption, "Error message");
  EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(cards.CardCount(), 3);
  EXPECT_EQ(cards.Cell(0).card.GetHandle(), HandleOf(1));
  EXPECT_EQ(cards.Cell(1).card.GetHandle(), 0u);
  EXPECT_EQ(cards.Cell(2).card.GetHandle(), HandleOf(3));
  EXPECT_TRUE(quarnfake::Card(1).open);
  EXPECT_FALSE(quarnfake::Card(2).open);
  EXPECT_TRUE(quarnfake::Card(3).open);
}

TEST_F(CardGridTest, MoreThan128CardsOpensTheFirst128WithOneNotice) {
  quarnfake::SetCardCount(130);
  CCardGrid cards;
  cards.OpenCards();
  EXPECT_EQ(cards.CardCount(), 128);
  EXPECT_EQ(cards.SelectedCard(), 128);
  const quarnfake::CallList begins = quarnfake::Calls("BeginQuarnCard");
  ASSERT_EQ(begins.size(), 128u);
  EXPECT_EQ(begins.front().Int(0), 1);
  EXPECT_EQ(begins.back().Int(0), 128);
  EXPECT_EQ(cards.Cell(127).card.GetHandle(), HandleOf(128));
  EXPECT_FALSE(quarnfake::Card(129).open);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "130 capture cards were found; the first 128 are used.");
  EXPECT_EQ(Boxes()[0].caption, "Notice");
  EXPECT_EQ(Boxes()[0].style, MB_OK);
  EXPECT_EQ(Boxes()[0].owner, nullptr);
}

// ---- Window creation ----

// Whole order: count, every Begin, then detection on every card, then applying on every card.
TEST_F(CardGridTest, OpeningAndCreationRunInHexmontOrder) {
  quarnfake::SetCardCount(2);
  quarnfake::SetSignals(1, {3});
  quarnfake::SetSignals(2, {});
  CCardGrid cards;
  cards.OpenCards();
  cards.SetUpCards(16, {});

  std::vector<std::string> expected = {"QuarnGetCardTotal(ptr)", "BeginQuarnCard(1, ptr)",
                                       "BeginQuarnCard(2, ptr)"};
  Append(expected, DetectionCalls(HandleOf(1), 3, false));
  Append(expected, DetectionCalls(HandleOf(2), 10, true));
  Append(expected, DefaultApplyCalls(HandleOf(1), 0, 3, kFormatRgb565));
  Append(expected, DefaultApplyCalls(HandleOf(2), 0, 0, kFormatRgb565));
  EXPECT_THAT(Texts(), ElementsAreArray(expected));
  EXPECT_EQ(Sleeps().size(), 4u + 11u);
}

// Applying sends the record's own values in Hexmont's order (crystal last, no output window).
TEST_F(CardGridTest, ApplySendsRecordValuesInOrder) {
  quarnfake::SetCardCount(1);
  CGridCard cell(1);
  ASSERT_EQ(cell.card.Begin(), QUARN_OK);
  VideoParameterSet set;
  set.standard = 1;
  set.sourceType = 2;
  set.sourceNumber = 1;
  set.format = 4;
  set.scanMode = 2;
  set.brightness = 11;
  set.contrast = 22;
  set.hue = 33;
  set.saturation = 44;
  set.pll = 85;
  set.inputWindow = VideoWindow{8, 16, 320, 240};
  set.crystal = 1;
  cell.card.SetRecord(set);
  quarnfake::ClearCalls();
  cell.card.ApplyParameters();
  EXPECT_THAT(Texts(),
              ElementsAre("QuarnSetVideoStandard(h1, 1)", "QuarnSetVideoSource(h1, 2, 1)",
                          "QuarnSetVideoFormat(h1, 4)", "QuarnSetScanMode(h1, 2)",
                          "QuarnAdjustVideo(h1, 1, 11)", "QuarnAdjustVideo(h1, 2, 22)",
                          "QuarnAdjustVideo(h1, 3, 33)", "QuarnAdjustVideo(h1, 4, 44)",
                          "QuarnSetPLLFrequency(h1, 85)",
                          "QuarnSetInputWindow(h1, 8, 16, 320, 240)", "QuarnSelectCryOSC(h1, 1)"));
}

// A card that failed to open still gets every step, with handle 0; the others are unaffected.
TEST_F(CardGridTest, FailedCardIsStillProbedAndApplied) {
  quarnfake::SetCardCount(2);
  quarnfake::Script("BeginQuarnCard", 1).Returns(QUARN_ERR_GENERAL);
  CCardGrid cards;
  cards.OpenCards();
  quarnfake::ClearCalls();
  cards.SetUpCards(32, {});
  const quarnfake::CallList calls = quarnfake::Calls().Without("QuarnGetErrorString");
  std::vector<std::string> expected = DetectionCalls(0, 10, true);
  Append(expected, DetectionCalls(HandleOf(2), 0, false));
  Append(expected, DefaultApplyCalls(0, 0, 0, kFormatRgb8888));
  Append(expected, DefaultApplyCalls(HandleOf(2), 0, 0, kFormatRgb8888));
  EXPECT_THAT(calls.Texts(), ElementsAreArray(expected));
  EXPECT_EQ(Boxes().size(), 1u) << "creation reports no statuses";
}

// The load hook runs before detection, and detection replaces the source it loaded.
TEST_F(CardGridTest, LoadHookRunsFirstAndDetectionOverridesItsSource) {
  quarnfake::SetCardCount(1);
  quarnfake::SetSignals(1, {1});
  CCardGrid cards;
  cards.OpenCards();
  quarnfake::ClearCalls();
  size_t callsWhenLoading = 99;
  cards.SetUpCards(8, [&](CCardGrid& grid) {
    callsWhenLoading = quarnfake::Calls().size();
    VideoParameterSet set;
    set.sourceType = 1;
    set.sourceNumber = 2;
    set.brightness = 77;
    SetRecordParameters(grid.Cell(0).card, set);
  });
  EXPECT_EQ(callsWhenLoading, 0u);
  const CVideoCard& r = cards.Cell(0).card;
  EXPECT_EQ(r.GetSourceType(), 0);
  EXPECT_EQ(r.GetSourceNumber(), 1);
  EXPECT_EQ(r.GetBrightness(), 77);
  EXPECT_EQ(quarnfake::Card(1).brightness, 77);
  EXPECT_EQ(quarnfake::Card(1).format, kFormatLimited8);
}

TEST_F(CardGridTest, DefaultParametersWithoutHook) {
  quarnfake::SetCardCount(1);
  CCardGrid cards;
  cards.OpenCards();
  cards.LoadParameters({});
  const CVideoCard& r = cards.Cell(0).card;
  EXPECT_EQ(r.GetVideoStandard(), 0);
  EXPECT_EQ(r.GetScanMode(), 0);
  EXPECT_EQ(r.GetBrightness(), 128);
  EXPECT_EQ(r.GetContrast(), 128);
  EXPECT_EQ(r.GetHue(), 128);
  EXPECT_EQ(r.GetSaturation(), 128);
  EXPECT_EQ(r.GetPllFrequency(), 245);
  EXPECT_EQ(r.GetCrystal(), 0);
  EXPECT_EQ(r.GetImageSize().width, 768);
  EXPECT_EQ(r.GetImageSize().height, 576);
  EXPECT_EQ(r.GetInputWindow(), (VideoWindow{0, 0, 768, 576}));
}

// A set read from the file replaces the record, except the format (the display depth's) and the
// input window (the image of the set's standard); the grid's output window stays.
TEST_F(CardGridTest, SetRecordParametersKeepsFormatAndFitsInputWindow) {
  CGridCard cell(1);
  VideoParameterSet before;
  before.format = kFormatRgb565;
  before.outputWindow = VideoWindow{4, 6, 320, 240};
  cell.card.SetRecord(before);
  VideoParameterSet read;
  read.format = kFormatAll8;
  read.standard = 1;
  read.brightness = 9;
  read.inputWindow = VideoWindow{1, 2, 3, 4};
  SetRecordParameters(cell.card, read);
  EXPECT_EQ(cell.card.GetVideoFormat(), kFormatRgb565);
  EXPECT_EQ(cell.card.GetVideoStandard(), 1);
  EXPECT_EQ(cell.card.GetBrightness(), 9);
  EXPECT_EQ(cell.card.GetInputWindow(), (VideoWindow{0, 0, 640, 480}));
  EXPECT_EQ(cell.card.GetOutputWindow(), (VideoWindow{4, 6, 320, 240}));
  EXPECT_TRUE(Texts().empty()) << "the card is told nothing";
}

// A selection names one card or all of them; anything else is ignored.
TEST_F(CardGridTest, SelectionGivesTargetsAndShownCard) {
  quarnfake::SetCardCount(3);
  CCardGrid cards;
  cards.OpenCards();
  cards.SelectCard(1);
  ASSERT_EQ(cards.TargetCards().size(), 1u);
  EXPECT_EQ(cards.TargetCards()[0], &cards.Cell(1).card);
  EXPECT_EQ(cards.ShownCard(), &cards.Cell(1));
  cards.SelectCard(4);
  cards.SelectCard(-1);
  EXPECT_EQ(cards.SelectedCard(), 1);
  cards.SelectCard(3);
  EXPECT_EQ(cards.TargetCards().size(), 3u);
  EXPECT_EQ(cards.ShownCard(), &cards.Cell(0));
}

TEST_F(CardGridTest, DisplaySetupPerFrameAndPerCard) {
  quarnfake::SetCardCount(2);
  CCardGrid cards;
  cards.OpenCards();
  cards.SetupDisplay(24);
  for (int i = 0; i < 2; ++i) {
    CVideoCard& r = cards.Cell(i).card;
    EXPECT_EQ(r.GetVideoFormat(), kFormatRgb888);
    const CDisplayPicture& picture = r.Picture();
    ASSERT_NE(picture.Header(), nullptr);
    EXPECT_EQ(picture.Header()->bmiHeader.biSize, 40u);
    EXPECT_EQ(picture.Header()->bmiHeader.biPlanes, 1);
    EXPECT_EQ(picture.Header()->bmiColors[17].rgbRed, 17);
    ASSERT_EQ(picture.BufferSize(), 1769472u);
    // Hexmont starts black, unlike Solvane's white.
    EXPECT_TRUE(std::all_of(picture.Buffer(), picture.Buffer() + 1769472,
                            [](uint8_t b) { return b == 0; }));
  }
  EXPECT_TRUE(Texts().size() == 3u) << "display set-up sends nothing";
}

// ---- Closing ----

TEST_F(CardGridTest, CloseEndsEveryCardOnceAndFreesEverything) {
  quarnfake::SetCardCount(2);
  quarnfake::Script("BeginQuarnCard", 2).Returns(QUARN_ERR_GENERAL);
  {
    CCardGrid cards;
    cards.OpenCards();
    cards.SetUpCards(32, {});
    quarnfake::ClearCalls();
    cards.CloseCards();
    EXPECT_THAT(Texts(), ElementsAre("EndQuarnCard(h1)", "EndQuarnCard(0)"));
    EXPECT_FALSE(cards.Cell(0).card.Picture().HasBuffer());
    EXPECT_FALSE(cards.Cell(1).card.Picture().HasBuffer());
    EXPECT_EQ(cards.Cell(0).card.Picture().Palette(), nullptr);
    cards.CloseCards();
  }
  // Neither the second call nor the destructor ends the cards again.
  EXPECT_EQ(Texts().size(), 2u);
}

TEST_F(CardGridTest, DestructorClosesOpenedCards) {
  quarnfake::SetCardCount(2);
  {
    CCardGrid cards;
    cards.OpenCards();
    quarnfake::ClearCalls();
  }
  EXPECT_THAT(Texts(), ElementsAre("EndQuarnCard(h1)", "EndQuarnCard(h2)"));
  EXPECT_FALSE(quarnfake::Card(1).open);
  EXPECT_FALSE(quarnfake::Card(2).open);
}

TEST_F(CardGridTest, NeverOpenedSetSendsNothing) {
  { CCardGrid cards; }
  EXPECT_TRUE(Texts().empty());
}

}  // namespace
