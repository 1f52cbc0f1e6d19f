// video_card_test.cpp - CVideoCard against the recording capture library: opening, the order of
// everything sent, the setters' remember rules, source detection, windows, frame sizes, display
// set-up, stopping and releasing, Solvane's opening and closing steps, and the snap, snap shot
// and read-back of frames in static memory.
#include "video_card.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "card_test_support.h"

namespace {

using quarnfake::ErrorText;
using quarnfake::HandleOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Exposes the state setter that the acquisition operations use.
class StateCard : public CVideoCard {
 public:
  using CVideoCard::CVideoCard;
  using CVideoCard::SetState;
};

class VideoCardTest : public cardtest::CardTest {
 protected:
  // Opens card 1 and empties the log.
  void OpenCard() {
    ASSERT_EQ(card_.Open(), QUARN_OK);
    ASSERT_EQ(card_.GetHandle(), HandleOf(1));
    quarnfake::ClearCalls();
  }
  StateCard card_{1};
};

// ---- Initial values ----

TEST_F(VideoCardTest, StartsClosedIdleWithInitialParameters) {
  EXPECT_EQ(card_.GetHandle(), 0u);
  EXPECT_EQ(card_.GetCardNumber(), 1);
  EXPECT_EQ(card_.GetState(), CardState::kIdle);
  EXPECT_EQ(card_.Params(), VideoParameterSet{});
  EXPECT_EQ(card_.GetDisplayHeader(), nullptr);
  EXPECT_EQ(card_.GetDisplayBuffer(), nullptr);
  EXPECT_EQ(card_.GetDisplayBufferSize(), 0u);
  EXPECT_EQ(card_.GetPalette(), nullptr);
  EXPECT_EQ(card_.GetDisplacedPalette(), nullptr);
  EXPECT_TRUE(Texts().empty()) << "constructing must not touch the card";
}

// ---- Open ----

TEST_F(VideoCardTest, OpenDetectsAppliesAndSetsUpDisplayInOrder) {
  ASSERT_EQ(card_.Open(), QUARN_OK);
  EXPECT_THAT(Texts(),
              ElementsAre("BeginQuarnCard(1, ptr)",
                          // default world: signal on "Video 1"
                          "QuarnSetVideoSource(h1, 0, 0)", "QuarnVideoPresent(h1, ptr)",
                          "QuarnSetVideoStandard(h1, 0)", "QuarnSetVideoSource(h1, 0, 0)",
                          "QuarnSetVideoFormat(h1, 1)", "QuarnSetScanMode(h1, 0)",
                          "QuarnSelectCryOSC(h1, 0)", "QuarnAdjustVideo(h1, 1, 128)",
                          "QuarnAdjustVideo(h1, 2, 128)", "QuarnAdjustVideo(h1, 3, 128)",
                          "QuarnAdjustVideo(h1, 4, 128)", "QuarnSetPLLFrequency(h1, 245)",
                          "QuarnSetInputWindow(h1, 0, 0, 768, 576)",
                          "QuarnSetOutputWindow(h1, 0, 0, 768, 576)", "QuarnEnableMask(h1, 0)",
                          "QuarnSetDelay(h1, 0, 0)", "QuarnEnableVideoMirror(h1, 0, 0)",
                          "QuarnEnableVideoMirror(h1, 1, 0)", "QuarnLumaControl(h1, 0, 1)"));
  EXPECT_NE(card_.GetPalette(), nullptr);
  EXPECT_NE(card_.GetDisplayHeader(), nullptr);
  EXPECT_EQ(card_.GetDisplayBufferSize(), 1769472u);
}

// A second Open must not reopen, re-detect or resend (it would reset a running card's source).
TEST_F(VideoCardTest, OpenOnOpenCardSendsNothing) {
  OpenCard();
  EXPECT_EQ(card_.Open(), QUARN_OK);
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(card_.GetHandle(), HandleOf(1));
}

TEST_F(VideoCardTest, FailedOpenReturnsStatusAndRunsNothingElse) {
  quarnfake::Script("BeginQuarnCard").Returns(QUARN_ERR_BUSY);
  EXPECT_EQ(card_.Open(), QUARN_ERR_BUSY);
  EXPECT_EQ(card_.GetHandle(), 0u);
  EXPECT_THAT(Texts(), ElementsAre("BeginQuarnCard(1, ptr)"));
  EXPECT_EQ(card_.GetDisplayBuffer(), nullptr);
  EXPECT_EQ(card_.GetPalette(), nullptr);
  EXPECT_TRUE(Boxes().empty()) << "Open itself shows nothing; the window does";
}

// ---- ApplyParameters ----

// Distinct values everywhere, so a swapped argument or a swapped pair of calls shows.
TEST_F(VideoCardTest, ApplyParametersSendsEveryFieldInOrder) {
  OpenCard();
  ASSERT_EQ(card_.SetVideoStandard(1), 0);
  ASSERT_EQ(card_.SetVideoSource(1, 2), 0);
  ASSERT_EQ(card_.SetVideoFormat(5), 0);
  ASSERT_EQ(card_.SetScanMode(2), 0);
  ASSERT_EQ(card_.SetCrystal(1), 0);
  ASSERT_EQ(card_.SetBrightness(11), 0);
  ASSERT_EQ(card_.SetContrast(22), 0);
  ASSERT_EQ(card_.SetHue(33), 0);
  ASSERT_EQ(card_.SetSaturation(44), 0);
  ASSERT_EQ(card_.SetPllFrequency(55), 0);
  ASSERT_EQ(card_.SetInputWindow(8, 16, 320, 240), 0);
  ASSERT_EQ(card_.SetOutputWindow(10, 20, 384, 288), 0);
  ASSERT_EQ(card_.EnableMask(1), 0);
  ASSERT_EQ(card_.SetDelay(-3, 4), 0);
  ASSERT_EQ(card_.SetMirror(kMirrorHorizontal, 1), 0);
  ASSERT_EQ(card_.SetChromaTrap(0, 0), 0);
  quarnfake::ClearCalls();

  card_.ApplyParameters();
  EXPECT_THAT(Texts(),
              ElementsAre("QuarnSetVideoStandard(h1, 1)", "QuarnSetVideoSource(h1, 1, 2)",
                          "QuarnSetVideoFormat(h1, 5)", "QuarnSetScanMode(h1, 2)",
                          "QuarnSelectCryOSC(h1, 1)", "QuarnAdjustVideo(h1, 1, 11)",
                          "QuarnAdjustVideo(h1, 2, 22)", "QuarnAdjustVideo(h1, 3, 33)",
                          "QuarnAdjustVideo(h1, 4, 44)", "QuarnSetPLLFrequency(h1, 55)",
                          "QuarnSetInputWindow(h1, 8, 16, 320, 240)",
                          "QuarnSetOutputWindow(h1, 10, 20, 384, 288)", "QuarnEnableMask(h1, 1)",
                          "QuarnSetDelay(h1, -3, 4)", "QuarnEnableVideoMirror(h1, 0, 1)",
                          "QuarnEnableVideoMirror(h1, 1, 0)", "QuarnLumaControl(h1, 0, 0)"));
}

// Every status is ignored: one failing call must not cut the rest short.
TEST_F(VideoCardTest, ApplyParametersGoesOnPastFailures) {
  OpenCard();
  quarnfake::Script("QuarnSetVideoStandard").Returns(QUARN_ERR_GENERAL);
  quarnfake::Script("QuarnAdjustVideo").Returns(QUARN_ERR_BUSY);
  card_.ApplyParameters();
  EXPECT_EQ(Texts().size(), 17u);
  EXPECT_EQ(Texts().back(), "QuarnLumaControl(h1, 0, 1)");
}

TEST_F(VideoCardTest, DetectAndApplyDoNothingWhileClosed) {
  card_.DetectSource();
  card_.ApplyParameters();
  EXPECT_TRUE(Texts().empty());
  EXPECT_TRUE(Sleeps().empty());
}

// ---- Setters ----

struct SetterCase {
  const char* name;
  const char* op;
  std::function<int(CVideoCard&)> set;
  // Whether the card now holds the value the setter was given (all differ from the initial ones).
  std::function<bool(const CVideoCard&)> holdsNewValue;
};

std::vector<SetterCase> SetterCases() {
  return {
      {"scan mode", "QuarnSetScanMode", [](CVideoCard& c) { return c.SetScanMode(2); },
       [](const CVideoCard& c) { return c.GetScanMode() == 2; }},
      {"format", "QuarnSetVideoFormat", [](CVideoCard& c) { return c.SetVideoFormat(4); },
       [](const CVideoCard& c) { return c.GetVideoFormat() == 4; }},
      {"standard", "QuarnSetVideoStandard", [](CVideoCard& c) { return c.SetVideoStandard(1); },
       [](const CVideoCard& c) { return c.GetVideoStandard() == 1; }},
      {"source", "QuarnSetVideoSource", [](CVideoCard& c) { return c.SetVideoSource(1, 2); },
       [](const CVideoCard& c) { return c.GetSourceType() == 1 && c.GetSourceNumber() == 2; }},
      {"crystal", "QuarnSelectCryOSC", [](CVideoCard& c) { return c.SetCrystal(1); },
       [](const CVideoCard& c) { return c.GetCrystal() == 1; }},
      {"delay", "QuarnSetDelay", [](CVideoCard& c) { return c.SetDelay(-5, 7); },
       [](const CVideoCard& c) { return c.GetXDelay() == -5 && c.GetYDelay() == 7; }},
      {"brightness", "QuarnAdjustVideo", [](CVideoCard& c) { return c.SetBrightness(10); },
       [](const CVideoCard& c) { return c.GetBrightness() == 10; }},
      {"contrast", "QuarnAdjustVideo", [](CVideoCard& c) { return c.SetContrast(20); },
       [](const CVideoCard& c) { return c.GetContrast() == 20; }},
      {"hue", "QuarnAdjustVideo", [](CVideoCard& c) { return c.SetHue(30); },
       [](const CVideoCard& c) { return c.GetHue() == 30; }},
      {"saturation", "QuarnAdjustVideo", [](CVideoCard& c) { return c.SetSaturation(40); },
       [](const CVideoCard& c) { return c.GetSaturation() == 40; }},
      {"pll", "QuarnSetPLLFrequency", [](CVideoCard& c) { return c.SetPllFrequency(50); },
       [](const CVideoCard& c) { return c.GetPllFrequency() == 50; }},
      {"mirror h", "QuarnEnableVideoMirror", [](CVideoCard& c) { return c.SetMirror(0, 1); },
       [](const CVideoCard& c) { return c.GetMirrorHorizontal() == 1; }},
      {"mirror v", "QuarnEnableVideoMirror", [](CVideoCard& c) { return c.SetMirror(1, 1); },
       [](const CVideoCard& c) { return c.GetMirrorVertical() == 1; }},
      {"chroma trap", "QuarnLumaControl", [](CVideoCard& c) { return c.SetChromaTrap(0, 0); },
       [](const CVideoCard& c) { return c.GetChromaTrap() == 0; }},
      {"mask", "QuarnEnableMask", [](CVideoCard& c) { return c.EnableMask(1); },
       [](const CVideoCard& c) { return c.IsMaskEnabled() == 1; }},
      {"format from depth", "QuarnSetVideoFormat",
       [](CVideoCard& c) { return c.SetFormatFromDepth(16); },
       [](const CVideoCard& c) { return c.GetVideoFormat() == kFormatRgb565; }},
      {"source from index", "QuarnSetVideoSource",
       [](CVideoCard& c) { return c.SetSourceFromIndex(9); },
       [](const CVideoCard& c) { return c.GetSourceIndex() == 9; }},
  };
}

// Faults caught: keeping a value the card refused, or dropping one it accepted for later (-7).
TEST_F(VideoCardTest, SettersRememberOnZeroAndNotAppliedOnly) {
  for (const SetterCase& setter : SetterCases()) {
    for (int status : {QUARN_OK, QUARN_ERR_NOT_APPLIED, QUARN_ERR_GENERAL, QUARN_ERR_BAD_PARAMETER,
                       QUARN_ERR_BUSY}) {
      SCOPED_TRACE(std::string(setter.name) + " status " + std::to_string(status));
      quarnfake::Reset();
      StateCard card(1);
      ASSERT_EQ(card.Open(), QUARN_OK);
      quarnfake::ClearCalls();
      quarnfake::Script(setter.op).Returns(status);

      EXPECT_EQ(setter.set(card), status);
      const quarnfake::CallList calls = quarnfake::Calls();
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].op, setter.op);
      EXPECT_EQ(calls[0].handle, HandleOf(1));
      const bool remembered = status == QUARN_OK || status == QUARN_ERR_NOT_APPLIED;
      EXPECT_EQ(setter.holdsNewValue(card), remembered);
    }
  }
}

TEST_F(VideoCardTest, SettersSendTheirArguments) {
  OpenCard();
  card_.SetBrightness(1);
  card_.SetContrast(2);
  card_.SetHue(3);
  card_.SetSaturation(4);
  card_.SetMirror(1, 1);
  card_.SetSourceFromIndex(7);
  card_.SetFormatFromDepth(8);
  EXPECT_THAT(Texts(), ElementsAre("QuarnAdjustVideo(h1, 1, 1)", "QuarnAdjustVideo(h1, 2, 2)",
                                   "QuarnAdjustVideo(h1, 3, 3)", "QuarnAdjustVideo(h1, 4, 4)",
                                   "QuarnEnableVideoMirror(h1, 1, 1)",
                                   "QuarnSetVideoSource(h1, 1, 1)", "QuarnSetVideoFormat(h1, 6)"));
}

// Byte values: the library gets the low 8 bits and the card keeps the same, as an ini value of
// 300 would give.
TEST_F(VideoCardTest, ByteSettersKeepLowEightBits) {
  OpenCard();
  EXPECT_EQ(card_.SetBrightness(300), 0);
  EXPECT_EQ(card_.SetPllFrequency(256 + 7), 0);
  EXPECT_EQ(card_.SetChromaTrap(0, 0x101), 0);
  EXPECT_EQ(card_.GetBrightness(), 44);
  EXPECT_EQ(card_.GetPllFrequency(), 7);
  EXPECT_EQ(card_.GetChromaTrap(), 1);
  EXPECT_THAT(Texts(), ElementsAre("QuarnAdjustVideo(h1, 1, 44)", "QuarnSetPLLFrequency(h1, 7)",
                                   "QuarnLumaControl(h1, 0, 1)"));
}

// An index that names no source must not make up a pair; the card keeps (and resends) its own.
TEST_F(VideoCardTest, SourceFromBadIndexKeepsTheSource) {
  OpenCard();
  ASSERT_EQ(card_.SetVideoSource(1, 1), 0);
  quarnfake::ClearCalls();
  card_.SetSourceFromIndex(12);
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoSource(h1, 1, 1)"));
  EXPECT_EQ(card_.GetSourceIndex(), 7);
}

// ---- Windows ----

TEST_F(VideoCardTest, WindowsRememberOnZeroOnly) {
  OpenCard();
  for (int status : {QUARN_ERR_NOT_APPLIED, QUARN_ERR_GENERAL}) {
    SCOPED_TRACE(status);
    quarnfake::Script("QuarnSetInputWindow").Returns(status);
    quarnfake::Script("QuarnSetOutputWindow").Returns(status);
    EXPECT_EQ(card_.SetInputWindow(1, 2, 300, 200), status);
    EXPECT_EQ(card_.SetOutputWindow(5, 6, 320, 240), status);
    EXPECT_EQ(card_.GetInputWindow(), (VideoWindow{0, 0, 768, 576}));
    EXPECT_EQ(card_.GetOutputWindow(), (VideoWindow{0, 0, 768, 576}));
  }
  quarnfake::Script("QuarnSetInputWindow").Clear();
  quarnfake::Script("QuarnSetOutputWindow").Clear();
  EXPECT_EQ(card_.SetInputWindow(1, 2, 300, 200), 0);
  EXPECT_EQ(card_.SetOutputWindow(5, 6, 320, 240), 0);
  EXPECT_EQ(card_.GetInputWindow(), (VideoWindow{1, 2, 300, 200}));
  EXPECT_EQ(card_.GetOutputWindow(), (VideoWindow{5, 6, 320, 240}));
}

TEST_F(VideoCardTest, RectFormsConvertToAndFromSize) {
  OpenCard();
  EXPECT_EQ(card_.SetInputRect(RECT{10, 20, 330, 260}), 0);
  EXPECT_EQ(card_.SetOutputRect(RECT{100, 50, 484, 338}), 0);
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetInputWindow(h1, 10, 20, 320, 240)",
                                   "QuarnSetOutputWindow(h1, 100, 50, 384, 288)"));
  const RECT in = card_.GetInputRect();
  EXPECT_EQ(std::vector<LONG>({in.left, in.top, in.right, in.bottom}),
            std::vector<LONG>({10, 20, 330, 260}));
  const RECT out = card_.GetOutputRect();
  EXPECT_EQ(std::vector<LONG>({out.left, out.top, out.right, out.bottom}),
            std::vector<LONG>({100, 50, 484, 338}));
}

// ---- Source detection ----

TEST_F(VideoCardTest, DetectionStopsAtFirstSignalWithSleepBetween) {
  quarnfake::SetSignals(1, {2, 5});
  OpenCard();
  const auto clock = MarkSleeps();
  card_.DetectSource();
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoSource(h1, 0, 0)", "QuarnVideoPresent(h1, ptr)",
                                   "QuarnSetVideoSource(h1, 0, 1)", "QuarnVideoPresent(h1, ptr)",
                                   "QuarnSetVideoSource(h1, 0, 2)", "QuarnVideoPresent(h1, ptr)"));
  EXPECT_EQ(card_.GetSourceIndex(), 2);
  // One 1 ms wait after each selection, before the signal is asked for.
  EXPECT_THAT(clock->sleeps(), ElementsAre(1u, 1u, 1u));
  EXPECT_THAT(clock->afterCalls(),
              ElementsAre("QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoSource(h1, 0, 1)",
                          "QuarnSetVideoSource(h1, 0, 2)"));
}

TEST_F(VideoCardTest, DetectionReachesYCbCrInputs) {
  quarnfake::SetSignals(1, {10});
  OpenCard();
  card_.DetectSource();
  EXPECT_EQ(quarnfake::CallCount("QuarnVideoPresent"), 11u);
  EXPECT_EQ(Texts().back(), "QuarnVideoPresent(h1, ptr)");
  EXPECT_EQ(card_.GetSourceType(), kSourceYCbCr);
  EXPECT_EQ(card_.GetSourceNumber(), 1);
}

// -5 ends probing; with no signal seen the card still ends on "Video 1", sent again.
TEST_F(VideoCardTest, DetectionStopsAtStopProbing) {
  quarnfake::SetSignals(1, {4});
  OpenCard();
  quarnfake::Script("QuarnVideoPresent").ReturnsNext(QUARN_OK).ReturnsNext(QUARN_ERR_STOP_PROBING);
  card_.DetectSource();
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoSource(h1, 0, 0)", "QuarnVideoPresent(h1, ptr)",
                                   "QuarnSetVideoSource(h1, 0, 1)", "QuarnVideoPresent(h1, ptr)",
                                   "QuarnSetVideoSource(h1, 0, 0)"));
  EXPECT_EQ(card_.GetSourceIndex(), 0);
}

// Other failures are not the end of probing: the next input is tried. Inputs 0 and 1 carry a
// signal but their queries fail, input 2 has none, input 3 is taken.
TEST_F(VideoCardTest, DetectionSkipsOtherErrors) {
  quarnfake::SetSignals(1, {0, 1, 3});
  OpenCard();
  quarnfake::Script("QuarnVideoPresent").ReturnsNext(QUARN_ERR_GENERAL, 2);
  card_.DetectSource();
  EXPECT_EQ(quarnfake::CallCount("QuarnVideoPresent"), 4u);
  EXPECT_EQ(Texts().back(), "QuarnVideoPresent(h1, ptr)");
  EXPECT_EQ(card_.GetSourceIndex(), 3);
}

TEST_F(VideoCardTest, NoSignalAnywhereFallsBackToVideo1) {
  quarnfake::SetSignals(1, {});
  OpenCard();
  const auto clock = MarkSleeps();
  card_.DetectSource();
  std::vector<std::string> expected;
  for (int index = 0; index < 11; ++index) {
    int32_t type = 0;
    int32_t number = 0;
    IndexToSource(index, type, number);
    expected.push_back("QuarnSetVideoSource(h1, " + std::to_string(type) + ", " +
                       std::to_string(number) + ")");
    expected.push_back("QuarnVideoPresent(h1, ptr)");
  }
  expected.push_back("QuarnSetVideoSource(h1, 0, 0)");
  EXPECT_THAT(Texts(), ElementsAreArray(expected));
  EXPECT_EQ(card_.GetSourceIndex(), 0);
  EXPECT_EQ(clock->sleeps().size(), 11u);
  EXPECT_EQ(quarnfake::Card(1).sourceType, 0);
  EXPECT_EQ(quarnfake::Card(1).sourceNumber, 0);
}

// ---- Frames ----

TEST_F(VideoCardTest, FrameBytesHalvesInFieldModes) {
  OpenCard();
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 384, 287), 0);
  struct Row {
    int format;
    int scan;
    int64_t bytes;
  };
  const std::vector<Row> table = {
      {kFormatRgb888, kScanFrame, 3 * 384 * 287},  {kFormatRgb888, kScanField, 3 * 384 * 143},
      {kFormatRgb888, kScanField1, 3 * 384 * 143}, {kFormatRgb555, kScanFrame, 2 * 384 * 287},
      {kFormatRgb8888, kScanFrame, 4 * 384 * 287}, {kFormatAll8, kScanField, 1 * 384 * 143},
  };
  for (const Row& row : table) {
    ASSERT_EQ(card_.SetVideoFormat(row.format), 0);
    ASSERT_EQ(card_.SetScanMode(row.scan), 0);
    EXPECT_EQ(card_.FrameBytes(), row.bytes) << row.format << "/" << row.scan;
  }
}

TEST_F(VideoCardTest, FrameHeaderFollowsFormatScanAndInterline) {
  OpenCard();
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 384, 287), 0);
  struct Row {
    int format;
    int scan;
    int interline;
    int bits;
    int height;
  };
  const std::vector<Row> table = {
      {kFormatAll8, kScanFrame, 1, 8, 287},     {kFormatLimited8, kScanFrame, 1, 8, 287},
      {kFormatRgb565, kScanFrame, 1, 24, 287},  {kFormatRgb8888, kScanFrame, 1, 24, 287},
      {kFormatRgb888, kScanFrame, 0, 24, 143},  {kFormatRgb888, kScanField, 1, 24, 143},
      {kFormatRgb888, kScanField1, 1, 24, 143},
  };
  for (const Row& row : table) {
    ASSERT_EQ(card_.SetVideoFormat(row.format), 0);
    ASSERT_EQ(card_.SetScanMode(row.scan), 0);
    card_.SetFrameHeader(row.interline);
    const BITMAPINFOHEADER& h = card_.GetDisplayHeader()->bmiHeader;
    EXPECT_EQ(h.biBitCount, row.bits) << row.format;
    EXPECT_EQ(h.biWidth, 384);
    EXPECT_EQ(h.biHeight, row.height) << row.format << "/" << row.scan << "/" << row.interline;
    EXPECT_EQ(h.biSize, 40u);
  }
}

// ---- Display ----

TEST_F(VideoCardTest, SetupDisplayMakesPaletteHeaderAndWhiteBuffer) {
  card_.SetupDisplay();
  ASSERT_NE(card_.GetPalette(), nullptr);
  EXPECT_EQ(card_.GetPalette()->entries()[0].peRed, 10);
  ASSERT_NE(card_.GetDisplayHeader(), nullptr);
  EXPECT_EQ(card_.GetDisplayHeader()->bmiHeader.biSize, 40u);
  EXPECT_EQ(card_.GetDisplayHeader()->bmiColors[200].rgbGreen, 200);
  ASSERT_EQ(card_.GetDisplayBufferSize(), 1769472u);
  const uint8_t* buffer = card_.GetDisplayBuffer();
  EXPECT_TRUE(std::all_of(buffer, buffer + 1769472, [](uint8_t b) { return b == 0xFF; }));
}

std::unique_ptr<uint8_t[]> NoMemory(size_t) {
  return nullptr;
}

TEST_F(VideoCardTest, SetupDisplayWithoutMemoryLeavesBufferEmpty) {
  const DisplayBufferAllocator previous = SetDisplayBufferAllocator(&NoMemory);
  card_.SetupDisplay();
  SetDisplayBufferAllocator(previous);
  EXPECT_EQ(card_.GetDisplayBuffer(), nullptr);
  EXPECT_EQ(card_.GetDisplayBufferSize(), 0u);
  EXPECT_NE(card_.GetPalette(), nullptr);
  card_.ClearDisplayBuffer();  // nothing to clear: must not write anywhere
}

TEST_F(VideoCardTest, ClearDisplayBufferWhitensIt) {
  card_.SetupDisplay();
  std::fill_n(card_.GetDisplayBuffer(), 1000, uint8_t{0});
  card_.GetDisplayBuffer()[1769471] = 0;
  card_.ClearDisplayBuffer();
  const uint8_t* buffer = card_.GetDisplayBuffer();
  EXPECT_TRUE(std::all_of(buffer, buffer + 1769472, [](uint8_t b) { return b == 0xFF; }));
}

// ---- Stop, close, release, destruction ----

TEST_F(VideoCardTest, StopAcquisitionPerState) {
  OpenCard();
  card_.SetState(CardState::kLive);
  card_.StopAcquisition();
  EXPECT_EQ(card_.GetState(), CardState::kIdle);
  card_.SetState(CardState::kSnap);
  card_.StopAcquisition();
  EXPECT_EQ(card_.GetState(), CardState::kIdle);
  card_.StopAcquisition();  // idle: nothing to stop
  EXPECT_THAT(Texts(), ElementsAre("QuarnCaptureEx(h1, null, 0)", "QuarnCloseSnapEx(h1)"));
}

TEST_F(VideoCardTest, CloseStopsThenEndsAndClearsHandle) {
  OpenCard();
  card_.SetState(CardState::kLive);
  EXPECT_EQ(card_.Close(), QUARN_OK);
  EXPECT_EQ(card_.GetHandle(), 0u);
  EXPECT_EQ(card_.GetState(), CardState::kIdle);
  EXPECT_THAT(Texts(), ElementsAre("QuarnCaptureEx(h1, null, 0)", "EndQuarnCard(h1)"));
}

// A failed end keeps the handle, so the destructor tries once more.
TEST_F(VideoCardTest, FailedCloseKeepsHandleForRelease) {
  {
    StateCard card(1);
    ASSERT_EQ(card.Open(), QUARN_OK);
    quarnfake::ClearCalls();
    quarnfake::Script("EndQuarnCard").ReturnsNext(QUARN_ERR_GENERAL);
    EXPECT_EQ(card.Close(), QUARN_ERR_GENERAL);
    EXPECT_EQ(card.GetHandle(), HandleOf(1));
  }
  EXPECT_THAT(Texts(), ElementsAre("EndQuarnCard(h1)", "EndQuarnCard(h1)"));
}

TEST_F(VideoCardTest, DestructorStopsThenReleases) {
  {
    StateCard card(1);
    ASSERT_EQ(card.Open(), QUARN_OK);
    card.SetState(CardState::kSnap);
    quarnfake::ClearCalls();
  }
  EXPECT_THAT(Texts(), ElementsAre("QuarnCloseSnapEx(h1)", "EndQuarnCard(h1)"));
}

// After a successful Close the destructor must not end the card a second time.
TEST_F(VideoCardTest, DestructorAfterCloseSendsNothing) {
  {
    StateCard card(1);
    ASSERT_EQ(card.Open(), QUARN_OK);
    ASSERT_EQ(card.Close(), QUARN_OK);
    quarnfake::ClearCalls();
  }
  EXPECT_TRUE(Texts().empty());
}

TEST_F(VideoCardTest, ReleaseEndsKeepsHandleAndFreesDisplay) {
  OpenCard();
  card_.Release();
  EXPECT_THAT(Texts(), ElementsAre("EndQuarnCard(h1)"));
  EXPECT_EQ(card_.GetHandle(), HandleOf(1));
  EXPECT_EQ(card_.GetDisplayBuffer(), nullptr);
  EXPECT_EQ(card_.GetDisplayBufferSize(), 0u);
  EXPECT_EQ(card_.GetPalette(), nullptr);
}

// ---- Queries ----

TEST_F(VideoCardTest, CardTypeAndStaticMemPassThrough) {
  quarnfake::SetCardType(1, 2);
  OpenCard();
  int type = -1;
  EXPECT_EQ(card_.GetCardType(type), QUARN_OK);
  EXPECT_EQ(type, 2);
  int pages = 0;
  EXPECT_EQ(CVideoCard::GetStaticMem(pages), QUARN_OK);
  EXPECT_EQ(pages, quarnfake::kDefaultStaticMemPages);
  EXPECT_EQ(CVideoCard::SetStaticMem(2048), QUARN_OK);
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), 2048);
  quarnfake::Script("QuarnGetCardType").Returns(QUARN_ERR_BUSY);
  EXPECT_EQ(card_.GetCardType(type), QUARN_ERR_BUSY);
}

// ---- Solvane's opening and closing ----

TEST_F(VideoCardTest, SolvaneOpenSetsFormatLoadsThenOpens) {
  std::vector<std::string> order;
  // The card is not open yet and the library refuses handle 0, yet the start-up values are kept
  // (and sent once the card opens): losing them would drop the display format and the saved set.
  const int status = OpenSolvaneCard(card_, 16, [&](CVideoCard& card) {
    order.push_back("load after " + Texts().back());
    card.SetHue(99);
  });
  EXPECT_EQ(status, QUARN_OK);
  EXPECT_THAT(order, ElementsAre("load after QuarnSetVideoFormat(0, 2)"));
  EXPECT_EQ(card_.GetVideoFormat(), kFormatRgb565);
  EXPECT_EQ(card_.GetHue(), 99);
  EXPECT_TRUE(Boxes().empty());
  const std::vector<std::string> texts = Texts();
  EXPECT_EQ(texts[2], "BeginQuarnCard(1, ptr)");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "QuarnSetVideoFormat(h1, 2)"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "QuarnAdjustVideo(h1, 3, 99)"), texts.end());
}

TEST_F(VideoCardTest, SolvaneFailedOpenShowsOneBoxAndSettersStillCall) {
  quarnfake::Script("BeginQuarnCard").Returns(QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(OpenSolvaneCard(card_, 32, {}), QUARN_ERR_CARD_NUMBER);
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetVideoFormat(0, 4)", "BeginQuarnCard(1, ptr)",
                                   "QuarnGetErrorString(-4)"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, ErrorText(QUARN_ERR_CARD_NUMBER));
  EXPECT_EQ(Boxes()[0].caption, "Error message");
  EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(Boxes()[0].owner, nullptr);
  EXPECT_EQ(card_.GetHandle(), 0u);
  EXPECT_EQ(card_.GetDisplayBuffer(), nullptr);

  // With no card open the setters still go to the library, and keep values on 0 or -7.
  quarnfake::ClearCalls();
  quarnfake::Script("QuarnSetScanMode").Returns(QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(card_.SetScanMode(2), QUARN_ERR_NOT_APPLIED);
  EXPECT_NE(card_.SetContrast(7), QUARN_OK);
  EXPECT_THAT(Texts(), ElementsAre("QuarnSetScanMode(0, 2)", "QuarnAdjustVideo(0, 2, 7)"));
  EXPECT_EQ(card_.GetScanMode(), 2);
  EXPECT_EQ(card_.GetContrast(), 128);
}

TEST_F(VideoCardTest, SolvaneCloseEndsThenSaves) {
  OpenCard();
  std::vector<std::string> order;
  CloseSolvaneCard(card_, [&](const CVideoCard& card) {
    order.push_back("save after " + Texts().back() +
                    (card.GetHandle() == 0 ? " (closed)" : " (open)"));
  });
  EXPECT_THAT(order, ElementsAre("save after EndQuarnCard(h1) (closed)"));
}

// ---- Continuous snap, snap shot, frames in static memory ----

int NoCallback(QuarnSnapInfo*) {
  return 1;
}

// Each operation acts only in its state: open from idle, start, stop and close while open, snap
// shot from idle. A start in the wrong state would hand the library a ring while nothing reads it.
TEST_F(VideoCardTest, SnapOperationsActOnlyInTheirState) {
  OpenCard();
  EXPECT_EQ(card_.StartSnap(0, 1, 2), QUARN_OK);
  EXPECT_EQ(card_.StopSnap(), QUARN_OK);
  EXPECT_EQ(card_.CloseSnap(), QUARN_OK);
  EXPECT_THAT(Texts(), ElementsAre());

  int context = 0;
  ASSERT_EQ(card_.OpenSnap(&NoCallback, &context), QUARN_OK);
  EXPECT_EQ(card_.GetState(), CardState::kSnap);
  // The library is given the card's snap context, which leads the callback to the target.
  int* reached = nullptr;
  static_cast<CSnapContext*>(quarnfake::Card(1).context)->VisitAs<int>([&](int& target) {
    reached = &target;
  });
  EXPECT_EQ(reached, &context);
  EXPECT_EQ(card_.OpenSnap(&NoCallback, &context), QUARN_OK);  // already open: nothing
  EXPECT_EQ(card_.SnapShot(0, 0, 1, 3), QUARN_OK);             // not idle: nothing
  EXPECT_EQ(card_.StartSnap(8192, 1, 2), QUARN_OK);
  EXPECT_EQ(card_.StopSnap(), QUARN_OK);
  EXPECT_EQ(card_.CloseSnap(), QUARN_OK);
  EXPECT_EQ(card_.GetState(), CardState::kIdle);
  const std::vector<std::string> texts = Texts();
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "QuarnOpenSnapEx(h1, ptr, ptr)");
  EXPECT_EQ(texts[1], "QuarnStartSnapEx(h1, 8192, 1, 2)");
  EXPECT_EQ(texts[2], "QuarnStopSnapEx(h1)");
  EXPECT_EQ(texts[3], "QuarnCloseSnapEx(h1)");
}

TEST_F(VideoCardTest, FailingOpenOrCloseKeepsTheState) {
  OpenCard();
  quarnfake::Script("QuarnOpenSnapEx").ReturnsNext(QUARN_ERR_BUSY);
  EXPECT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_ERR_BUSY);
  EXPECT_EQ(card_.GetState(), CardState::kIdle);
  EXPECT_EQ(card_.StartSnap(0, 1, 2), QUARN_OK);  // the start is skipped
  EXPECT_EQ(quarnfake::CallCount("QuarnStartSnapEx"), 0u);

  ASSERT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_OK);
  quarnfake::Script("QuarnCloseSnapEx").ReturnsNext(QUARN_ERR_GENERAL);
  EXPECT_EQ(card_.CloseSnap(), QUARN_ERR_GENERAL);
  EXPECT_EQ(card_.GetState(), CardState::kSnap);
}

// The header describes the ring's frames once the start succeeded (here: interline off halves
// the height); a failed start leaves the header the frames read so far were painted with.
TEST_F(VideoCardTest, StartSnapSetsTheFrameHeaderOnlyWhenItStarts) {
  OpenCard();
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 400, 300), QUARN_OK);
  ASSERT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_OK);
  const BITMAPINFOHEADER& header = card_.GetDisplayHeader()->bmiHeader;
  ASSERT_EQ(card_.StartSnap(0, 0, 2), QUARN_OK);
  EXPECT_EQ(header.biWidth, 400);
  EXPECT_EQ(header.biHeight, 150);
  EXPECT_EQ(header.biBitCount, 24);

  ASSERT_EQ(card_.StopSnap(), QUARN_OK);
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 200, 100), QUARN_OK);
  quarnfake::Script("QuarnStartSnapEx").ReturnsNext(QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.StartSnap(0, 1, 2), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(header.biWidth, 400);
  EXPECT_EQ(header.biHeight, 150);
}

TEST_F(VideoCardTest, SnapShotSetsTheFrameHeaderOnSuccessOnly) {
  OpenCard();
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 320, 240), QUARN_OK);
  quarnfake::Script("QuarnSnapShot").ReturnsNext(QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.SnapShot(4096, 0, 1, 7), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.GetDisplayHeader()->bmiHeader.biWidth, 0);
  EXPECT_EQ(card_.SnapShot(4096, 0, 1, 7), QUARN_OK);
  EXPECT_THAT(quarnfake::Calls("QuarnSnapShot").Texts(),
              ElementsAre("QuarnSnapShot(h1, 4096, 0, 1, 7)", "QuarnSnapShot(h1, 4096, 0, 1, 7)"));
  EXPECT_EQ(card_.GetDisplayHeader()->bmiHeader.biWidth, 320);
  EXPECT_EQ(card_.GetDisplayHeader()->bmiHeader.biHeight, 240);
}

// Frames are read back R x biHeight bytes apart, R being the row padded to 4 bytes: at 24 bits
// and 5 pixels a row is 15 bytes, R is 16, and a 4-line frame takes 64 bytes, not the 60 that
// FrameBytes counts. Frame 2 of a sequence at 1000 is therefore read from 1128.
TEST_F(VideoCardTest, TransformFromStaticMemStridesByPaddedRows) {
  OpenCard();
  ASSERT_EQ(card_.SetVideoFormat(kFormatRgb888), QUARN_OK);
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 5, 4), QUARN_OK);
  ASSERT_EQ(card_.FrameBytes(), 60);
  card_.SetFrameHeader(1);
  std::span<uint8_t> frame = quarnfake::StaticMemory(1128, 60);
  ASSERT_EQ(frame.size(), 60u);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + 3);
  quarnfake::TagFrames(1128, 60, kFormatRgb888);
  quarnfake::ClearCalls();

  EXPECT_EQ(card_.TransformFromStaticMem(1000, 2), QUARN_OK);

  const quarnfake::CallList locks = quarnfake::Calls("QuarnStaticMemLock");
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(locks[0].Unsigned(0), 1128u);
  EXPECT_EQ(locks[0].Unsigned(1), 64u);
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemUnlock"), 1u);
  const quarnfake::Call transform = quarnfake::Calls("QuarnDataTransform").back();
  EXPECT_EQ(transform.Pointer(0), card_.GetDisplayBuffer());
  EXPECT_EQ(transform.Int(2), 5);
  EXPECT_EQ(transform.Int(3), 4);
  EXPECT_EQ(transform.Int(4), 24);
  EXPECT_EQ(transform.Int(5), 1);
  const std::vector<uint8_t> expected = quarnfake::ExpectedTransform(frame, 5, 4, kFormatRgb888);
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card_.GetDisplayBuffer()));
}

TEST_F(VideoCardTest, TransformFromStaticMemFailuresLeaveTheBuffer) {
  // No display buffer yet: nothing is read.
  EXPECT_EQ(card_.TransformFromStaticMem(0, 0), QUARN_OK);
  EXPECT_THAT(Texts(), ElementsAre());

  OpenCard();
  card_.SetFrameHeader(1);
  card_.GetDisplayBuffer()[0] = 0x42;
  quarnfake::Script("QuarnStaticMemLock").ReturnsNext(QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.TransformFromStaticMem(0, 0), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.GetDisplayBuffer()[0], 0x42);
  EXPECT_EQ(quarnfake::CallCount("QuarnDataTransform"), 0u);
  EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemUnlock"), 0u);
}

// A successful snap shot keeps where and how its frames lie: 7 frames of 5 x 4 pixels at 24 bits
// from 1000, each 64 bytes (rows padded to 16). A later change of format and window does not move
// them: frame 2 is still read from 1128 at 5 x 4 x 24 and the picture described so. An index
// outside the sequence reads nothing; a lock that fails leaves the picture and its description;
// a failed snap shot keeps the frames it found, and a started ring forgets them.
TEST_F(VideoCardTest, StoredFramesKeepTheShapeTheyWereStoredIn) {
  OpenCard();
  ASSERT_EQ(card_.SetVideoFormat(kFormatRgb888), QUARN_OK);
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 5, 4), QUARN_OK);
  ASSERT_EQ(card_.SnapShot(1000, 0, 1, 7), QUARN_OK);
  const StoredFrames& stored = card_.GetStoredFrames();
  EXPECT_EQ(stored.offset, 1000u);
  EXPECT_EQ(stored.frameBytes, 64u);
  EXPECT_EQ(stored.count, 7u);
  EXPECT_EQ(stored.format, kFormatRgb888);
  EXPECT_EQ(stored.width, 5);
  EXPECT_EQ(stored.height, 4);

  ASSERT_EQ(card_.SetVideoFormat(kFormatRgb565), QUARN_OK);
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 320, 240), QUARN_OK);
  card_.SetFrameHeader(1);
  quarnfake::ClearCalls();
  EXPECT_EQ(card_.TransformStoredFrame(2), QUARN_OK);
  EXPECT_EQ(card_.TransformStoredFrame(7), QUARN_ERR_BAD_PARAMETER);
  EXPECT_THAT(Texts(), ElementsAre(::testing::StartsWith("QuarnStaticMemLock(1128, 64, "),
                                   ::testing::StartsWith("QuarnDataTransform("),
                                   ::testing::StartsWith("QuarnStaticMemUnlock(")));
  const quarnfake::Call transform = quarnfake::Calls("QuarnDataTransform").back();
  EXPECT_EQ(transform.Int(2), 5);
  EXPECT_EQ(transform.Int(3), 4);
  EXPECT_EQ(transform.Int(4), 24);
  const BITMAPINFOHEADER& header = card_.GetDisplayHeader()->bmiHeader;
  EXPECT_EQ(header.biWidth, 5);
  EXPECT_EQ(header.biHeight, 4);
  EXPECT_EQ(header.biBitCount, 24);

  card_.SetFrameHeader(1);
  card_.GetDisplayBuffer()[0] = 0x42;
  quarnfake::Script("QuarnStaticMemLock").ReturnsNext(QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.TransformStoredFrame(0), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.GetDisplayBuffer()[0], 0x42);
  EXPECT_EQ(header.biWidth, 320);

  quarnfake::Script("QuarnSnapShot").ReturnsNext(QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.SnapShot(0, 0, 1, 3), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(card_.GetStoredFrames().count, 7u);
  ASSERT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_OK);
  ASSERT_EQ(card_.StartSnap(0, 1, 2), QUARN_OK);
  EXPECT_EQ(card_.GetStoredFrames().count, 0u);
}

// ---- Claims: a source element beside the program ----

const int kPipeline = 0;
const ClaimOwner kPipelineOwner = &kPipeline;

// Whether another owner could claim [offset, offset + size) now.
bool FreeForPipeline(uint64_t offset, uint64_t size) {
  std::unique_ptr<CClaim> claim;
  return ClaimStaticMem(kPipelineOwner, offset, size, claim) == QUARN_OK;
}

// Two handles on one card are two independent cards to the library: a pipeline's card on the
// number the program has open is refused before the library hears of it, until the program's
// card is ended.
TEST_F(VideoCardTest, ACardOfAnotherOwnerIsBusyUntilTheCardEnds) {
  {
    StateCard pipeline(1);
    pipeline.SetClaimOwner(kPipelineOwner);
    OpenCard();
    EXPECT_EQ(pipeline.Begin(), QUARN_ERR_BUSY);
    EXPECT_EQ(pipeline.Open(), QUARN_ERR_BUSY);
    EXPECT_EQ(pipeline.GetHandle(), 0u);
    EXPECT_EQ(quarnfake::CallCount("BeginQuarnCard"), 0u);
    std::unique_ptr<CClaim> program;
    EXPECT_EQ(ClaimCard(kProgramOwner, 1, program), QUARN_OK)
        << "the program's cards share their claims (Hexmont's grid)";
    program.reset();

    quarnfake::Script("EndQuarnCard").ReturnsNext(QUARN_ERR_GENERAL);
    ASSERT_EQ(card_.Close(), QUARN_ERR_GENERAL);
    EXPECT_EQ(pipeline.Begin(), QUARN_ERR_BUSY) << "a card that did not end is still open";
    ASSERT_EQ(card_.Close(), QUARN_OK);
    ASSERT_EQ(pipeline.Begin(), QUARN_OK);
    EXPECT_EQ(card_.Open(), QUARN_ERR_BUSY) << "and the other way round";
  }
  EXPECT_EQ(card_.Open(), QUARN_OK) << "the pipeline's card went";
}

// The ring is claimed from a successful start until it stops; a start into another owner's range
// is refused with nothing called and the header untouched.
TEST_F(VideoCardTest, TheRingIsClaimedWhileItRuns) {
  OpenCard();
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 320, 240), QUARN_OK);
  const uint64_t ring = 2 * static_cast<uint64_t>(card_.FrameBytes());
  ASSERT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_OK);
  const BITMAPINFOHEADER& header = card_.GetDisplayHeader()->bmiHeader;
  {
    std::unique_ptr<CClaim> pipeline;
    ASSERT_EQ(ClaimStaticMem(kPipelineOwner, 8192 + ring - 1, 1, pipeline), QUARN_OK);
    EXPECT_EQ(card_.StartSnap(8192, 1, 2), QUARN_ERR_BUSY);
    EXPECT_EQ(quarnfake::CallCount("QuarnStartSnapEx"), 0u);
    EXPECT_EQ(header.biWidth, 0);
  }
  ASSERT_EQ(card_.StartSnap(8192, 1, 2), QUARN_OK);
  EXPECT_FALSE(FreeForPipeline(8192 + ring - 1, 1));
  EXPECT_TRUE(FreeForPipeline(8192 + ring, 4096)) << "nothing past the ring";
  EXPECT_TRUE(FreeForPipeline(0, 8192)) << "nothing before it";
  ASSERT_EQ(card_.StopSnap(), QUARN_OK);
  EXPECT_TRUE(FreeForPipeline(8192, ring));

  // Each way the ring can end lets go of it.
  const std::pair<const char*, std::function<void()>> ends[] = {
      {"close the snap", [&] { ASSERT_EQ(card_.CloseSnap(), QUARN_OK); }},
      {"stop acquisition", [&] { card_.StopAcquisition(); }},
      {"close the card", [&] { ASSERT_EQ(card_.Close(), QUARN_OK); }},
      {"release the card", [&] { card_.Release(); }},
  };
  for (const auto& [what, end] : ends) {
    SCOPED_TRACE(what);
    ASSERT_EQ(card_.Open(), QUARN_OK);
    if (!card_.SnapOpen()) {
      ASSERT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_OK);
    }
    ASSERT_EQ(card_.StartSnap(8192, 1, 2), QUARN_OK);
    ASSERT_FALSE(FreeForPipeline(8192, ring));
    end();
    EXPECT_TRUE(FreeForPipeline(8192, ring));
  }
}

// Stored frames stay claimed while the card keeps them: at 24 bits, 5 x 4 pixels, 3 frames from
// 1000 take 3 x 64 bytes with padded rows (the card writes 3 x 60).
TEST_F(VideoCardTest, StoredFramesStayClaimedWhileTheCardKeepsThem) {
  OpenCard();
  ASSERT_EQ(card_.SetVideoFormat(kFormatRgb888), QUARN_OK);
  ASSERT_EQ(card_.SetOutputWindow(0, 0, 5, 4), QUARN_OK);
  {
    std::unique_ptr<CClaim> pipeline;
    ASSERT_EQ(ClaimStaticMem(kPipelineOwner, 1191, 1, pipeline), QUARN_OK);
    EXPECT_EQ(card_.SnapShot(1000, 0, 1, 3), QUARN_ERR_BUSY);
    EXPECT_EQ(quarnfake::CallCount("QuarnSnapShot"), 0u);
    EXPECT_EQ(card_.GetStoredFrames().count, 0u);
    // Nor is memory another owner has filled.
    EXPECT_EQ(CVideoCard::FillStaticMem(1000, 192, 0xFF), QUARN_ERR_BUSY);
    EXPECT_EQ(quarnfake::CallCount("QuarnStaticMemLock"), 0u);
  }
  ASSERT_EQ(card_.SnapShot(1000, 0, 1, 3), QUARN_OK);
  EXPECT_FALSE(FreeForPipeline(1191, 1));
  EXPECT_TRUE(FreeForPipeline(1192, 1));

  ASSERT_EQ(card_.SnapShot(4096, 0, 1, 1), QUARN_OK);
  EXPECT_TRUE(FreeForPipeline(1000, 192)) << "a new snap shot forgets the old frames";
  EXPECT_FALSE(FreeForPipeline(4096, 64));
  quarnfake::Script("QuarnSnapShot").ReturnsNext(QUARN_ERR_STATIC_MEM);
  ASSERT_EQ(card_.SnapShot(1000, 0, 1, 3), QUARN_ERR_STATIC_MEM);
  EXPECT_FALSE(FreeForPipeline(4096, 64)) << "a failed one keeps them";
  EXPECT_TRUE(FreeForPipeline(1000, 192));

  ASSERT_EQ(card_.Close(), QUARN_OK);
  EXPECT_FALSE(FreeForPipeline(4096, 64)) << "a closed card still shows its stored frames";
  ASSERT_EQ(card_.Open(), QUARN_OK);
  ASSERT_EQ(card_.OpenSnap(&NoCallback, nullptr), QUARN_OK);
  ASSERT_EQ(card_.StartSnap(8192, 1, 2), QUARN_OK);
  EXPECT_TRUE(FreeForPipeline(4096, 64)) << "a ring forgets them";
  ASSERT_EQ(card_.CloseSnap(), QUARN_OK);

  ASSERT_EQ(card_.SnapShot(4096, 0, 1, 1), QUARN_OK);
  card_.Release();
  EXPECT_TRUE(FreeForPipeline(4096, 64)) << "the card went";
}

}  // namespace

// ---- What the policy changes ----

// One row per program's policy: what the card keeps, what it sends for a card that did not
// open, the order of a record, the snap guards, the windows and the display fill.
struct PolicyCase {
  const char* name;
  CardPolicy policy;
  bool keepsNotApplied;              // a setter answered QUARN_ERR_NOT_APPLIED keeps the value
  bool sendsForUnopenedCard;         // detection, applying and ending go out with handle 0
  bool windowKeptWhenRefused;        // an output window the card refuses is kept all the same
  bool stopCallsWhenIdle;            // StopSnap of an idle card still calls the library
  uint8_t fill;                      // the display buffer's first byte after set-up
  std::vector<std::string> applied;  // the operations ApplyParameters sends, in order
};

class CardPolicyTest : public cardtest::CardTest,
                       public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(CardPolicyTest, ThePolicyDecidesWhatTheProgramsDoDifferently) {
  const PolicyCase& c = GetParam();
  {
    // A card that did not open.
    CVideoCard card(1, c.policy);
    card.DetectSource();
    card.ApplyParameters();
    card.Release();
    EXPECT_EQ(!Texts().empty(), c.sendsForUnopenedCard);
    EXPECT_EQ(quarnfake::CallCount("EndQuarnCard"), c.sendsForUnopenedCard ? 1u : 0u);
  }
  quarnfake::ClearCalls();
  CVideoCard card(1, c.policy);
  ASSERT_EQ(card.Begin(), QUARN_OK);

  quarnfake::Script("QuarnSetVideoStandard").ReturnsNext(QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(card.SetVideoStandard(kStandardNtsc), QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(card.GetVideoStandard() == kStandardNtsc, c.keepsNotApplied);
  quarnfake::Script("QuarnSetOutputWindow").ReturnsNext(QUARN_ERR_NOT_APPLIED);
  card.SetOutputWindow(4, 6, 320, 240);
  EXPECT_EQ(card.GetOutputWindow() == (VideoWindow{4, 6, 320, 240}), c.windowKeptWhenRefused);

  quarnfake::ClearCalls();
  card.ApplyParameters();
  std::vector<std::string> names;
  for (const quarnfake::Call& call : quarnfake::Calls()) names.emplace_back(call.op);
  EXPECT_EQ(names, c.applied);

  quarnfake::ClearCalls();
  // The grid's stop goes out and the library answers for itself; the single card's is 0 unsent.
  const int stopped = card.StopSnap();
  EXPECT_EQ(quarnfake::CallCount("QuarnStopSnapEx"), c.stopCallsWhenIdle ? 1u : 0u);
  if (!c.stopCallsWhenIdle) {
    EXPECT_EQ(stopped, QUARN_OK);
  }

  card.SetupDisplay();
  ASSERT_NE(card.GetDisplayBuffer(), nullptr);
  EXPECT_EQ(card.GetDisplayBuffer()[0], c.fill);
  EXPECT_EQ(card.GetDisplayBuffer()[CDisplayPicture::kBufferBytes - 1], c.fill);
}

const std::vector<std::string> kEveryParameter = {
    "QuarnSetVideoStandard",  "QuarnSetVideoSource", "QuarnSetVideoFormat",
    "QuarnSetScanMode",       "QuarnSelectCryOSC",   "QuarnAdjustVideo",
    "QuarnAdjustVideo",       "QuarnAdjustVideo",    "QuarnAdjustVideo",
    "QuarnSetPLLFrequency",   "QuarnSetInputWindow", "QuarnSetOutputWindow",
    "QuarnEnableMask",        "QuarnSetDelay",       "QuarnEnableVideoMirror",
    "QuarnEnableVideoMirror", "QuarnLumaControl"};
const std::vector<std::string> kGridParameters = {
    "QuarnSetVideoStandard", "QuarnSetVideoSource", "QuarnSetVideoFormat", "QuarnSetScanMode",
    "QuarnAdjustVideo",      "QuarnAdjustVideo",    "QuarnAdjustVideo",    "QuarnAdjustVideo",
    "QuarnSetPLLFrequency",  "QuarnSetInputWindow", "QuarnSelectCryOSC"};

INSTANTIATE_TEST_SUITE_P(Programs, CardPolicyTest,
                         ::testing::Values(PolicyCase{"single", kSingleCardPolicy, true, false,
                                                      false, false, 0xFF, kEveryParameter},
                                           PolicyCase{"grid", kGridCardPolicy, false, true, true,
                                                      true, 0x00, kGridParameters}),
                         [](const ::testing::TestParamInfo<PolicyCase>& row) {
                           return row.param.name;
                         });
