// card_set_test.cpp - Hexmont's card records: counting and opening every card with its error
// boxes, the window-creation steps (parameters, source detection, display, applying) in their
// order, and closing.
#include "card_set.h"

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

using CardSetTest = cardtest::CardTest;

// ---- Opening ----

TEST_F(CardSetTest, OpensEveryCardAndSetsFrameState) {
  quarnfake::SetCardCount(3);
  CCardSet cards;
  cards.OpenCards();
  EXPECT_THAT(Texts(), ElementsAre("QuarnGetCardTotal(ptr)", "BeginQuarnCard(1, ptr)",
                                   "BeginQuarnCard(2, ptr)", "BeginQuarnCard(3, ptr)"));
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(cards.CardCount(), 3);
  for (int i = 0; i < 3; ++i) {
    const CardRecord& r = cards.Record(i);
    EXPECT_EQ(r.handle, HandleOf(i + 1));
    EXPECT_EQ(r.imageWidth, 0);
    EXPECT_EQ(r.picture.Header(), nullptr);
    EXPECT_EQ(r.params.mirrorHorizontal, 0);
    EXPECT_EQ(r.params.mirrorVertical, 0);
    EXPECT_EQ(r.params.chromaTrap, 1);
    EXPECT_EQ(r.interline, 1);
  }
  EXPECT_EQ(cards.mode, AcquisitionMode::kIdle);
  EXPECT_EQ(cards.clip, 1);
  EXPECT_EQ(cards.mask, 0);
  EXPECT_EQ(cards.storedImages, 0);
  EXPECT_EQ(cards.playbackIndex, 0);
  EXPECT_EQ(cards.stepFlag, 1);
  EXPECT_EQ(cards.selectedCard, 3) << "the card count selects all cards";
}

TEST_F(CardSetTest, NoCardShowsOneBoxAndOpensNothing) {
  quarnfake::SetCardCount(0);
  CCardSet cards;
  cards.OpenCards();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_NO_CARD));
  EXPECT_EQ(Boxes()[0].caption, "Error message");
  EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(Boxes()[0].owner, nullptr);
  EXPECT_EQ(cards.CardCount(), 0);
  EXPECT_EQ(cards.selectedCard, 0);
  // Every later per-card step does nothing, and no second box comes.
  cards.SetUpCards(1024, 768, 32, {});
  cards.CloseCards();
  EXPECT_THAT(Texts(), ElementsAre("QuarnGetCardTotal(ptr)", "QuarnGetErrorString(-8)"));
  EXPECT_EQ(Boxes().size(), 1u);
}

// A failing count must not be trusted even though the library wrote a number.
TEST_F(CardSetTest, FailedCountIsNoCard) {
  quarnfake::SetCardCount(3);
  quarnfake::Script("QuarnGetCardTotal").Returns(QUARN_ERR_GENERAL);
  CCardSet cards;
  cards.OpenCards();
  EXPECT_EQ(cards.CardCount(), 0);
  EXPECT_EQ(quarnfake::CallCount("BeginQuarnCard"), 0u);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_NO_CARD));
}

// One card failing to open must neither stop the loop nor give its record a stray handle.
TEST_F(CardSetTest, FailedBeginShowsItsBoxAndOthersOpen) {
  quarnfake::SetCardCount(3);
  quarnfake::Script("BeginQuarnCard", 2).Returns(QUARN_ERR_BUSY);
  CCardSet cards;
  cards.OpenCards();
  EXPECT_THAT(Texts(), ElementsAre("QuarnGetCardTotal(ptr)", "BeginQuarnCard(1, ptr)",
                                   "BeginQuarnCard(2, ptr)", "QuarnGetErrorString(-6)",
                                   "BeginQuarnCard(3, ptr)"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_BUSY));
  EXPECT_EQ(Boxes()[0].caption, "Error message");
  EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(cards.CardCount(), 3);
  EXPECT_EQ(cards.Record(0).handle, HandleOf(1));
  EXPECT_EQ(cards.Record(1).handle, 0u);
  EXPECT_EQ(cards.Record(2).handle, HandleOf(3));
  EXPECT_TRUE(quarnfake::Card(1).open);
  EXPECT_FALSE(quarnfake::Card(2).open);
  EXPECT_TRUE(quarnfake::Card(3).open);
}

TEST_F(CardSetTest, MoreThan128CardsOpensTheFirst128WithOneNotice) {
  quarnfake::SetCardCount(130);
  CCardSet cards;
  cards.OpenCards();
  EXPECT_EQ(cards.CardCount(), 128);
  EXPECT_EQ(cards.selectedCard, 128);
  const quarnfake::CallList begins = quarnfake::Calls("BeginQuarnCard");
  ASSERT_EQ(begins.size(), 128u);
  EXPECT_EQ(begins.front().Int(0), 1);
  EXPECT_EQ(begins.back().Int(0), 128);
  EXPECT_EQ(cards.Record(127).handle, HandleOf(128));
  EXPECT_FALSE(quarnfake::Card(129).open);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "130 capture cards were found; the first 128 are used.");
  EXPECT_EQ(Boxes()[0].caption, "Notice");
  EXPECT_EQ(Boxes()[0].style, MB_OK);
  EXPECT_EQ(Boxes()[0].owner, nullptr);
}

// ---- Window creation ----

// Whole order: count, every Begin, then detection on every card, then applying on every card.
TEST_F(CardSetTest, OpeningAndCreationRunInHexmontOrder) {
  quarnfake::SetCardCount(2);
  quarnfake::SetSignals(1, {3});
  quarnfake::SetSignals(2, {});
  CCardSet cards;
  cards.OpenCards();
  cards.SetUpCards(1280, 1024, 16, {});

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
TEST_F(CardSetTest, ApplySendsRecordValuesInOrder) {
  CardRecord record;
  record.handle = HandleOf(1);
  record.params.standard = 1;
  record.params.sourceType = 2;
  record.params.sourceNumber = 1;
  record.params.format = 4;
  record.params.scanMode = 2;
  record.params.brightness = 11;
  record.params.contrast = 22;
  record.params.hue = 33;
  record.params.saturation = 44;
  record.params.pll = 85;
  record.SetInputRect(RECT{8, 16, 328, 256});
  record.params.crystal = 1;
  ApplyRecordParameters(record);
  EXPECT_THAT(Texts(),
              ElementsAre("QuarnSetVideoStandard(h1, 1)", "QuarnSetVideoSource(h1, 2, 1)",
                          "QuarnSetVideoFormat(h1, 4)", "QuarnSetScanMode(h1, 2)",
                          "QuarnAdjustVideo(h1, 1, 11)", "QuarnAdjustVideo(h1, 2, 22)",
                          "QuarnAdjustVideo(h1, 3, 33)", "QuarnAdjustVideo(h1, 4, 44)",
                          "QuarnSetPLLFrequency(h1, 85)",
                          "QuarnSetInputWindow(h1, 8, 16, 320, 240)", "QuarnSelectCryOSC(h1, 1)"));
}

// A card that failed to open still gets every step, with handle 0; the others are unaffected.
TEST_F(CardSetTest, FailedCardIsStillProbedAndApplied) {
  quarnfake::SetCardCount(2);
  quarnfake::Script("BeginQuarnCard", 1).Returns(QUARN_ERR_GENERAL);
  CCardSet cards;
  cards.OpenCards();
  quarnfake::ClearCalls();
  cards.SetUpCards(800, 600, 32, {});
  const quarnfake::CallList calls = quarnfake::Calls().Without("QuarnGetErrorString");
  std::vector<std::string> expected = DetectionCalls(0, 10, true);
  Append(expected, DetectionCalls(HandleOf(2), 0, false));
  Append(expected, DefaultApplyCalls(0, 0, 0, kFormatRgb8888));
  Append(expected, DefaultApplyCalls(HandleOf(2), 0, 0, kFormatRgb8888));
  EXPECT_THAT(calls.Texts(), ElementsAreArray(expected));
  EXPECT_EQ(Boxes().size(), 1u) << "creation reports no statuses";
}

// The load hook runs before detection, and detection replaces the source it loaded.
TEST_F(CardSetTest, LoadHookRunsFirstAndDetectionOverridesItsSource) {
  quarnfake::SetCardCount(1);
  quarnfake::SetSignals(1, {1});
  CCardSet cards;
  cards.OpenCards();
  quarnfake::ClearCalls();
  size_t callsWhenLoading = 99;
  cards.SetUpCards(800, 600, 8, [&](CCardSet& set) {
    callsWhenLoading = quarnfake::Calls().size();
    CardRecord& r = set.Record(0);
    LoadDefaultParameters(r);
    r.params.sourceType = 1;
    r.params.sourceNumber = 2;
    r.params.brightness = 77;
  });
  EXPECT_EQ(callsWhenLoading, 0u);
  const CardRecord& r = cards.Record(0);
  EXPECT_EQ(r.params.sourceType, 0);
  EXPECT_EQ(r.params.sourceNumber, 1);
  EXPECT_EQ(r.params.brightness, 77);
  EXPECT_EQ(quarnfake::Card(1).brightness, 77);
  EXPECT_EQ(quarnfake::Card(1).format, kFormatLimited8);
}

TEST_F(CardSetTest, DefaultParametersWithoutHook) {
  quarnfake::SetCardCount(1);
  CCardSet cards;
  cards.OpenCards();
  cards.LoadParameters({});
  const CardRecord& r = cards.Record(0);
  EXPECT_EQ(r.params.standard, 0);
  EXPECT_EQ(r.params.scanMode, 0);
  EXPECT_EQ(r.params.brightness, 128);
  EXPECT_EQ(r.params.contrast, 128);
  EXPECT_EQ(r.params.hue, 128);
  EXPECT_EQ(r.params.saturation, 128);
  EXPECT_EQ(r.params.pll, 245);
  EXPECT_EQ(r.params.crystal, 0);
  EXPECT_EQ(r.imageWidth, 768);
  EXPECT_EQ(r.imageHeight, 576);
  EXPECT_EQ(std::vector<LONG>(
                {r.InputRect().left, r.InputRect().top, r.InputRect().right, r.InputRect().bottom}),
            std::vector<LONG>({0, 0, 768, 576}));
}

TEST_F(CardSetTest, DisplaySetupPerFrameAndPerCard) {
  quarnfake::SetCardCount(2);
  CCardSet cards;
  cards.OpenCards();
  cards.SetupDisplay(1920, 1080, 24);
  EXPECT_EQ(cards.screenWidth, 1920);
  EXPECT_EQ(cards.screenHeight, 1080);
  EXPECT_EQ(cards.displayDepth, 24);
  ASSERT_NE(cards.palette, nullptr);
  EXPECT_EQ(cards.palette->version(), 0x300);
  EXPECT_EQ(cards.palette->entries()[255].peBlue, 9);
  for (int i = 0; i < 2; ++i) {
    CardRecord& r = cards.Record(i);
    EXPECT_EQ(r.params.format, kFormatRgb888);
    ASSERT_NE(r.picture.Header(), nullptr);
    EXPECT_EQ(r.picture.Header()->bmiHeader.biSize, 40u);
    EXPECT_EQ(r.picture.Header()->bmiHeader.biPlanes, 1);
    EXPECT_EQ(r.picture.Header()->bmiColors[17].rgbRed, 17);
    ASSERT_EQ(r.picture.BufferSize(), 1769472u);
    // Hexmont starts black, unlike Solvane's white.
    EXPECT_TRUE(std::all_of(r.picture.Buffer(), r.picture.Buffer() + 1769472,
                            [](uint8_t b) { return b == 0; }));
  }
  EXPECT_TRUE(Texts().size() == 3u) << "display set-up sends nothing";
}

// ---- Closing ----

TEST_F(CardSetTest, CloseEndsEveryCardOnceAndFreesEverything) {
  quarnfake::SetCardCount(2);
  quarnfake::Script("BeginQuarnCard", 2).Returns(QUARN_ERR_GENERAL);
  {
    CCardSet cards;
    cards.OpenCards();
    cards.SetUpCards(800, 600, 32, {});
    quarnfake::ClearCalls();
    cards.CloseCards();
    EXPECT_THAT(Texts(), ElementsAre("EndQuarnCard(h1)", "EndQuarnCard(0)"));
    EXPECT_FALSE(cards.Record(0).picture.HasBuffer());
    EXPECT_FALSE(cards.Record(1).picture.HasBuffer());
    EXPECT_EQ(cards.palette, nullptr);
    cards.CloseCards();
  }
  // Neither the second call nor the destructor ends the cards again.
  EXPECT_EQ(Texts().size(), 2u);
}

TEST_F(CardSetTest, DestructorClosesOpenedCards) {
  quarnfake::SetCardCount(2);
  {
    CCardSet cards;
    cards.OpenCards();
    quarnfake::ClearCalls();
  }
  EXPECT_THAT(Texts(), ElementsAre("EndQuarnCard(h1)", "EndQuarnCard(h2)"));
  EXPECT_FALSE(quarnfake::Card(1).open);
  EXPECT_FALSE(quarnfake::Card(2).open);
}

TEST_F(CardSetTest, NeverOpenedSetSendsNothing) {
  { CCardSet cards; }
  EXPECT_TRUE(Texts().empty());
}

}  // namespace
