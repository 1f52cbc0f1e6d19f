// Tests of the recording double's call log, text form, scripted statuses and error texts: the
// parts every program test reads its assertions from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"
#include "quarnfake.h"

namespace {

using ::testing::ElementsAre;

class FakeCalls : public ::testing::Test {
 protected:
  quarnfake::ScopedFake fake_;
};

QUARN_HANDLE Open(int card) {
  QUARN_HANDLE h = 0;
  EXPECT_EQ(BeginQuarnCard(card, &h), QUARN_OK);
  return h;
}

int Draw(void*, QuarnRect*) {
  return 0;
}
void Pixels(void*, int32_t, int32_t, int32_t, int32_t, const uint32_t*, size_t) {}

// ---- Recording and text form
// ----------------------------------------------------------------------

TEST_F(FakeCalls, RecordsEveryCallInOrderWithItsArgumentsAsText) {
  QuarnHostWindow window{sizeof(QuarnHostWindow), nullptr, Draw, Pixels, nullptr};
  quarnfake::Name(&window, "wnd");
  const QUARN_HANDLE h = Open(1);
  QuarnSetVideoSource(h, QUARN_SOURCE_SVIDEO, 2);
  QuarnAdjustVideo(h, QUARN_ADJUST_CONTRAST, 200);
  QuarnSnapShot(h, 4096, 0, 1, 3);
  QuarnCaptureEx(h, &window, 1);
  QuarnCaptureEx(h, nullptr, 0);
  QuarnSetVideoFormat(0, 1);
  QuarnSetVideoFormat(42, 1);
  QuarnGetErrorString(-3);

  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("BeginQuarnCard(1, ptr)", "QuarnSetVideoSource(h1, 1, 2)",
                          "QuarnAdjustVideo(h1, 2, 200)", "QuarnSnapShot(h1, 4096, 0, 1, 3)",
                          "QuarnCaptureEx(h1, wnd, 1)", "QuarnCaptureEx(h1, null, 0)",
                          "QuarnSetVideoFormat(0, 1)", "QuarnSetVideoFormat(0x2a, 1)",
                          "QuarnGetErrorString(-3)"));
  // Lines carry a non-zero status; the log joins them.
  EXPECT_EQ(quarnfake::Calls()[6].Line(), "QuarnSetVideoFormat(0, 1) -> -3");
  EXPECT_EQ(quarnfake::Calls().Op("QuarnCaptureEx").Log(),
            "QuarnCaptureEx(h1, wnd, 1)\nQuarnCaptureEx(h1, null, 0)\n");
}

TEST_F(FakeCalls, KeepsValuesAndRawPointersForAssertions) {
  const QUARN_HANDLE h = Open(1);
  int context = 0;
  QuarnOpenSnapEx(
      h, [](QuarnSnapInfo*) { return 1; }, &context);
  QuarnSnapShot(h, 0x1'0000'0000ull, 0, 0, 65535);  // a 64-bit offset and the largest count
  QuarnSetPLLFrequency(h, 255);

  const quarnfake::Call open = quarnfake::Calls("QuarnOpenSnapEx").front();
  EXPECT_EQ(open.handle, quarnfake::HandleOf(1));
  EXPECT_EQ(open.card, 1);
  EXPECT_EQ(open.Pointer(2), &context);
  EXPECT_FALSE(open.IsNull(1));
  const quarnfake::Call shot = quarnfake::Calls("QuarnSnapShot").front();
  EXPECT_EQ(shot.Unsigned(1), 0x1'0000'0000ull);
  EXPECT_EQ(shot.Int(4), 65535);
  EXPECT_EQ(shot.status, QUARN_ERR_STATIC_MEM);  // far past the default reservation
  EXPECT_EQ(quarnfake::Calls("QuarnSetPLLFrequency").front().Int(1), 255);  // not -1
}

TEST_F(FakeCalls, ShowsPointersIntoStaticMemoryByOffset) {
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  ASSERT_EQ(QuarnStaticMemLock(8192, 100, &lock, &address), QUARN_OK);
  std::vector<uint8_t> display(quarnfake::DibStride(10, 24) * 2);
  quarnfake::Name(display.data(), "display");
  QuarnDataTransform(display.data(), static_cast<uint8_t*>(address) + 16, 10, 2, 24, 1);
  QuarnStaticMemUnlock(lock);
  EXPECT_THAT(quarnfake::Calls().Texts(),
              ElementsAre("QuarnStaticMemLock(8192, 100, ptr, ptr)",
                          "QuarnDataTransform(display, mem+8208, 10, 2, 24, 1)",
                          "QuarnStaticMemUnlock(1)"));
}

TEST_F(FakeCalls, FiltersByOperationCardAndHandle) {
  quarnfake::SetCardCount(2);
  const QUARN_HANDLE h1 = Open(1);
  const QUARN_HANDLE h2 = Open(2);
  QuarnSetVideoStandard(h2, QUARN_STANDARD_NTSC);
  QuarnSetVideoStandard(h1, QUARN_STANDARD_PAL);
  QuarnGetErrorString(-8);
  EndQuarnCard(h2);
  QuarnSetVideoStandard(h2, QUARN_STANDARD_PAL);  // an ended handle still concerns card 2

  EXPECT_THAT(quarnfake::Calls().Card(2).Lines(),
              ElementsAre("BeginQuarnCard(2, ptr)", "QuarnSetVideoStandard(h2, 1)",
                          "EndQuarnCard(h2)", "QuarnSetVideoStandard(h2, 0) -> -3"));
  EXPECT_THAT(quarnfake::Calls().Handle(h1).Texts(), ElementsAre("QuarnSetVideoStandard(h1, 0)"));
  EXPECT_EQ(quarnfake::CallCount("QuarnSetVideoStandard"), 3u);
  EXPECT_EQ(quarnfake::Calls().Without("QuarnSetVideoStandard").Without("BeginQuarnCard").size(),
            2u);
}

TEST_F(FakeCalls, ClearCallsEmptiesTheLogButKeepsTheCardsOpen) {
  const QUARN_HANDLE h = Open(1);
  quarnfake::ClearCalls();
  EXPECT_TRUE(quarnfake::Calls().empty());
  EXPECT_EQ(QuarnSetScanMode(h, QUARN_SCAN_FIELD), QUARN_OK);
  EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("QuarnSetScanMode(h1, 1)"));
}

// Snap callbacks and a program's other threads call in concurrently; run under TSan too.
TEST_F(FakeCalls, RecordsCallsFromSeveralThreadsWithoutLosingAny) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 500;
  quarnfake::SetCardCount(kThreads);
  std::vector<QUARN_HANDLE> handles;
  for (int card = 1; card <= kThreads; ++card) handles.push_back(Open(card));
  quarnfake::ClearCalls();
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([h = handles[static_cast<size_t>(t)]] {
        for (int i = 0; i < kCalls; ++i) QuarnSetPixelMask(h, i, 0, 1);
      });
    }
  }
  const quarnfake::CallList calls = quarnfake::Calls();
  ASSERT_EQ(calls.size(), static_cast<size_t>(kThreads * kCalls));
  std::set<uint64_t> seqs;
  for (const auto& c : calls) seqs.insert(c.seq);
  EXPECT_EQ(seqs.size(), calls.size());
  for (int card = 1; card <= kThreads; ++card) {
    // Each thread's calls appear in the order it made them.
    const quarnfake::CallList mine = calls.Card(card);
    ASSERT_EQ(mine.size(), static_cast<size_t>(kCalls));
    for (int i = 0; i < kCalls; ++i) EXPECT_EQ(mine[static_cast<size_t>(i)].Int(1), i);
    EXPECT_EQ(quarnfake::Card(card).maskedPixels, kCalls);
  }
}

// ---- Scripted statuses
// ----------------------------------------------------------------------------

TEST_F(FakeCalls, ScriptedStatusIsRecordedAndChangesNothing) {
  const QUARN_HANDLE h = Open(1);
  quarnfake::Script("QuarnSetVideoFormat").Returns(QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(QuarnSetVideoFormat(h, QUARN_FORMAT_RGB565), QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(QuarnSetVideoFormat(h, QUARN_FORMAT_RGB888), QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(quarnfake::Card(1).format, QUARN_FORMAT_YUV422);
  EXPECT_THAT(quarnfake::Calls("QuarnSetVideoFormat").Lines(),
              ElementsAre("QuarnSetVideoFormat(h1, 2) -> -7", "QuarnSetVideoFormat(h1, 1) -> -7"));

  // No out-parameter is written with a scripted failure.
  quarnfake::Script("QuarnGetCardType").Returns(QUARN_ERR_GENERAL);
  int type = 77;
  EXPECT_EQ(QuarnGetCardType(h, &type), QUARN_ERR_GENERAL);
  EXPECT_EQ(type, 77);
  // A scripted failing BeginQuarnCard opens nothing.
  quarnfake::Script("BeginQuarnCard").ReturnsNext(QUARN_ERR_BUSY);
  EndQuarnCard(h);
  QUARN_HANDLE again = 0;
  EXPECT_EQ(BeginQuarnCard(1, &again), QUARN_ERR_BUSY);
  EXPECT_EQ(again, 0u);
  EXPECT_FALSE(quarnfake::Card(1).open);
}

TEST_F(FakeCalls, CardTotalIsWrittenEvenWhenItsStatusIsScripted) {
  quarnfake::SetCardCount(3);
  quarnfake::Script("QuarnGetCardTotal").Returns(QUARN_ERR_GENERAL);
  int count = 0;
  EXPECT_EQ(QuarnGetCardTotal(&count), QUARN_ERR_GENERAL);
  EXPECT_EQ(count, 3);
}

TEST_F(FakeCalls, PerCardScriptAppliesToThatCardOnlyAndBeforeTheOperationRule) {
  quarnfake::SetCardCount(3);
  quarnfake::Script("BeginQuarnCard", 2).Returns(QUARN_ERR_BAD_HANDLE);
  QUARN_HANDLE h = 0;
  EXPECT_EQ(BeginQuarnCard(1, &h), QUARN_OK);
  EXPECT_EQ(BeginQuarnCard(2, &h), QUARN_ERR_BAD_HANDLE);
  EXPECT_EQ(BeginQuarnCard(3, &h), QUARN_OK);

  quarnfake::Script("QuarnSetDelay").Returns(QUARN_ERR_GENERAL);
  quarnfake::Script("QuarnSetDelay", 3).Returns(QUARN_ERR_BUSY);
  EXPECT_EQ(QuarnSetDelay(quarnfake::HandleOf(1), 1, 1), QUARN_ERR_GENERAL);
  EXPECT_EQ(QuarnSetDelay(quarnfake::HandleOf(3), 1, 1), QUARN_ERR_BUSY);
}

TEST_F(FakeCalls, QueuedStatusesServeTheNextCallsThenTheStandingOne) {
  const QUARN_HANDLE h = Open(1);
  int present = 0;
  // The source probe: three sources fail, the fourth says "stop probing", then normal answers.
  quarnfake::Script("QuarnVideoPresent")
      .ReturnsNext(QUARN_ERR_GENERAL, 3)
      .ReturnsNext(QUARN_ERR_STOP_PROBING);
  std::vector<int> statuses;
  for (int i = 0; i < 5; ++i) statuses.push_back(QuarnVideoPresent(h, &present));
  EXPECT_THAT(statuses, ElementsAre(-1, -1, -1, -5, 0));
  EXPECT_EQ(present, 1);

  // A queued 0 behaves normally; after the queue the standing status answers.
  quarnfake::Script("QuarnCaptureShot").Returns(QUARN_ERR_BUSY).ReturnsNext(0);
  EXPECT_EQ(QuarnCaptureShot(h), QUARN_OK);
  EXPECT_EQ(QuarnCaptureShot(h), QUARN_ERR_BUSY);
  EXPECT_EQ(quarnfake::Card(1).captureShots, 1);
  quarnfake::Script("QuarnCaptureShot").Clear();
  EXPECT_EQ(QuarnCaptureShot(h), QUARN_OK);
}

TEST_F(FakeCalls, ScriptedStatusWinsOverArgumentChecks) {
  // Programs' error paths for "the library said -7" must be reachable whatever the arguments.
  quarnfake::Script("QuarnSetVideoStandard").ReturnsNext(QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(QuarnSetVideoStandard(0, 99), QUARN_ERR_NOT_APPLIED);
  EXPECT_EQ(QuarnSetVideoStandard(0, 99), QUARN_ERR_BAD_HANDLE);
}

TEST_F(FakeCalls, EveryOperationIsNamedOnce) {
  const auto ops = quarnfake::Operations();
  EXPECT_EQ(ops.size(), 33u);
  EXPECT_EQ(std::set<std::string_view>(ops.begin(), ops.end()).size(), ops.size());
}

TEST(FakeScriptDeathTest, UnknownOperationNameIsAMistakeNotASilentNoOp) {
  // Re-executes the test program for the death check: sanitizer runtimes keep their own thread.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A misspelt name would otherwise never match and the test would pass for the wrong reason.
  EXPECT_DEATH(quarnfake::Script("QuarnSetVidoFormat"), "QuarnSetVidoFormat");
  EXPECT_DEATH(quarnfake::Script("QuarnGetErrorString"), "no status");
}

// ---- Error texts
// ----------------------------------------------------------------------------------

TEST_F(FakeCalls, ErrorTextsAreConstantDistinctAndSayNoCardFor8) {
  std::set<std::string> texts;
  for (int status = 0; status >= -13; --status) {
    const char* text = QuarnGetErrorString(status);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text, QuarnGetErrorString(status));  // the same constant each time
    EXPECT_EQ(text, quarnfake::ErrorText(status));
    texts.insert(text);
  }
  texts.insert(QuarnGetErrorString(-999));
  texts.insert(QuarnGetErrorString(5));
  EXPECT_EQ(texts.size(), 15u);  // 14 known plus one shared text for unknown statuses
  EXPECT_THAT(QuarnGetErrorString(QUARN_ERR_NO_CARD), ::testing::HasSubstr("no capture card"));
  // ErrorText lets an assertion compute the expected text without adding to the log.
  quarnfake::ClearCalls();
  (void)quarnfake::ErrorText(-3);
  EXPECT_TRUE(quarnfake::Calls().empty());
}

}  // namespace
