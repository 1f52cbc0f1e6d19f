// Tests of the recording double's card world: handle numbering, argument checks, static memory
// and its restart rule, on-demand snap frames and live draws, the display read-back pattern, the
// frame transform and Reset().
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"
#include "quarnfake.h"

namespace {

using ::testing::ElementsAre;

class FakeWorld : public ::testing::Test {
 protected:
  quarnfake::ScopedFake fake_;
};

QUARN_HANDLE Open(int card) {
  QUARN_HANDLE h = 0;
  EXPECT_EQ(BeginQuarnCard(card, &h), QUARN_OK);
  return h;
}

int ClientRect(void*, QuarnRect* r) {
  *r = QuarnRect{0, 0, 800, 600};
  return 0;
}

// Remembers the draws the double makes through a host window.
struct DrawLog {
  std::vector<QuarnRect> rects;
  std::vector<uint32_t> firstPixels;
};
void RecordDraw(void* context, int32_t x, int32_t y, int32_t w, int32_t h, const uint32_t* pixels,
                size_t) {
  auto* log = static_cast<DrawLog*>(context);
  log->rects.push_back(QuarnRect{x, y, w, h});
  log->firstPixels.push_back(pixels[0]);
}

// ---- Cards and handles
// ----------------------------------------------------------------------------

TEST_F(FakeWorld, HandlesArePredictablePerCardNumber) {
  quarnfake::SetCardCount(3);
  int count = 0;
  EXPECT_EQ(QuarnGetCardTotal(&count), QUARN_OK);
  EXPECT_EQ(count, 3);
  QUARN_HANDLE h = 0;
  EXPECT_EQ(BeginQuarnCard(2, &h), QUARN_OK);
  EXPECT_EQ(h, 0x102u);
  EXPECT_EQ(h, quarnfake::HandleOf(2));
  EXPECT_EQ(quarnfake::CardOf(h), 2);
  EXPECT_TRUE(quarnfake::Card(2).open);
  h = 0;
  EXPECT_EQ(BeginQuarnCard(2, &h), QUARN_OK);  // opening again gives the same handle
  EXPECT_EQ(h, 0x102u);
}

TEST_F(FakeWorld, CardNumbersOutsideTheCountAndZeroCardsFail) {
  quarnfake::SetCardCount(2);
  QUARN_HANDLE h = 7;
  EXPECT_EQ(BeginQuarnCard(0, &h), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(BeginQuarnCard(3, &h), QUARN_ERR_CARD_NUMBER);
  EXPECT_EQ(BeginQuarnCard(1, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(h, 7u);  // nothing written on failure
  quarnfake::SetCardCount(0);
  int count = 5;
  EXPECT_EQ(QuarnGetCardTotal(&count), QUARN_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(BeginQuarnCard(1, &h), QUARN_ERR_NO_CARD);
  EXPECT_EQ(QuarnGetCardTotal(nullptr), QUARN_ERR_BAD_PARAMETER);
}

TEST_F(FakeWorld, EveryPerCardOperationRejectsHandleZeroUnknownAndEnded) {
  int out = 0;
  QuarnHostWindow window{sizeof(QuarnHostWindow), nullptr, ClientRect, RecordDraw, nullptr};
  const std::vector<std::function<int(QUARN_HANDLE)>> operations = {
      [](QUARN_HANDLE h) { return EndQuarnCard(h); },
      [&](QUARN_HANDLE h) { return QuarnGetCardType(h, &out); },
      [](QUARN_HANDLE h) { return QuarnSetVideoSource(h, 0, 0); },
      [&](QUARN_HANDLE h) { return QuarnVideoPresent(h, &out); },
      [](QUARN_HANDLE h) { return QuarnSetVideoStandard(h, 0); },
      [](QUARN_HANDLE h) { return QuarnSetVideoFormat(h, 0); },
      [](QUARN_HANDLE h) { return QuarnSetScanMode(h, 0); },
      [](QUARN_HANDLE h) { return QuarnSelectCryOSC(h, 0); },
      [](QUARN_HANDLE h) { return QuarnAdjustVideo(h, 1, 128); },
      [](QUARN_HANDLE h) { return QuarnSetPLLFrequency(h, 245); },
      [](QUARN_HANDLE h) { return QuarnSetInputWindow(h, 0, 0, 10, 10); },
      [](QUARN_HANDLE h) { return QuarnSetOutputWindow(h, 0, 0, 10, 10); },
      [](QUARN_HANDLE h) { return QuarnEnableMask(h, 1); },
      [](QUARN_HANDLE h) { return QuarnSetPixelMask(h, 0, 0, 1); },
      [](QUARN_HANDLE h) { return QuarnSetDelay(h, 0, 0); },
      [](QUARN_HANDLE h) { return QuarnEnableVideoMirror(h, 0, 1); },
      [](QUARN_HANDLE h) { return QuarnLumaControl(h, 0, 1); },
      [](QUARN_HANDLE h) { return QuarnCaptureShot(h); },
      [](QUARN_HANDLE h) { return QuarnSnapShot(h, 0, 0, 1, 1); },
      [&](QUARN_HANDLE h) { return QuarnCaptureEx(h, &window, 1); },
      [](QUARN_HANDLE h) {
        return QuarnOpenSnapEx(
            h, [](QuarnSnapInfo*) { return 1; }, nullptr);
      },
      [](QUARN_HANDLE h) { return QuarnCloseSnapEx(h); },
      [](QUARN_HANDLE h) { return QuarnStartSnapEx(h, 0, 1, 2); },
      [](QUARN_HANDLE h) { return QuarnStopSnapEx(h); },
  };
  quarnfake::SetCardCount(2);
  EndQuarnCard(Open(2));
  quarnfake::ClearCalls();
  for (QUARN_HANDLE bad :
       {QUARN_HANDLE{0}, quarnfake::HandleOf(1), quarnfake::HandleOf(2), QUARN_HANDLE{12345}}) {
    for (size_t i = 0; i < operations.size(); ++i) {
      EXPECT_EQ(operations[i](bad), QUARN_ERR_BAD_HANDLE) << "operation " << i << " handle " << bad;
    }
  }
  EXPECT_EQ(out, 0);
  EXPECT_EQ(quarnfake::Calls().size(), 4 * operations.size());
}

TEST_F(FakeWorld, NullOutPointersFailWithoutACrash) {
  const QUARN_HANDLE h = Open(1);
  EXPECT_EQ(QuarnGetCardType(h, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnVideoPresent(h, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetStaticMem(nullptr), QUARN_ERR_BAD_PARAMETER);
  void* address = nullptr;
  QUARN_MEMLOCK lock = 0;
  EXPECT_EQ(QuarnStaticMemLock(0, 16, nullptr, &address), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnStaticMemLock(0, 16, &lock, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnCaptureEx(h, nullptr, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnOpenSnapEx(h, nullptr, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(nullptr, &lock, 1, 1, 8, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(&lock, nullptr, 1, 1, 8, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(quarnfake::OpenLocks(), 0u);
}

TEST_F(FakeWorld, CardTypesAndSignalsAnswerPerCardForTheLastSourceSet) {
  quarnfake::SetCardCount(2);
  quarnfake::SetCardType(2, QUARN_CARD_TYPE_2);
  quarnfake::SetSignals(2, {7});  // "S-Video 2" only
  const QUARN_HANDLE h1 = Open(1);
  const QUARN_HANDLE h2 = Open(2);
  int type = -1;
  EXPECT_EQ(QuarnGetCardType(h2, &type), QUARN_OK);
  EXPECT_EQ(type, 2);
  EXPECT_EQ(QuarnGetCardType(h1, &type), QUARN_OK);
  EXPECT_EQ(type, 0);

  int present = -1;
  EXPECT_EQ(QuarnVideoPresent(h2, &present), QUARN_OK);  // "Video 1" is selected at first
  EXPECT_EQ(present, 0);
  ASSERT_EQ(QuarnSetVideoSource(h2, QUARN_SOURCE_SVIDEO, 1), QUARN_OK);
  EXPECT_EQ(QuarnVideoPresent(h2, &present), QUARN_OK);
  EXPECT_EQ(present, 1);
  EXPECT_EQ(QuarnVideoPresent(h1, &present), QUARN_OK);  // card 1 keeps the default signal
  EXPECT_EQ(present, 1);
  ASSERT_EQ(QuarnSetVideoSource(h2, QUARN_SOURCE_YCBCR, 1), QUARN_OK);  // flat index 10
  quarnfake::SetSignal(2, 10, true);
  EXPECT_EQ(QuarnVideoPresent(h2, &present), QUARN_OK);
  EXPECT_EQ(present, 1);
}

TEST_F(FakeWorld, UnknownCodesAndOutOfBoundsWindowsAreRejectedAndChangeNothing) {
  const QUARN_HANDLE h = Open(1);
  EXPECT_EQ(QuarnSetVideoSource(h, 0, 6), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetVideoSource(h, 1, 3), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetVideoSource(h, 3, 0), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetVideoStandard(h, 2), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetVideoFormat(h, 7), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetVideoFormat(h, -1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetScanMode(h, 3), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSelectCryOSC(h, 2), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnAdjustVideo(h, 0, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnAdjustVideo(h, 5, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnEnableVideoMirror(h, 2, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnLumaControl(h, 1, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetDelay(h, 129, 0), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetInputWindow(h, 1, 0, 768, 576), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetInputWindow(h, 0, 0, 0, 10), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetOutputWindow(h, 0, 0, 769, 10), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetPixelMask(h, 768, 0, 1), QUARN_ERR_BAD_PARAMETER);
  const quarnfake::CardState s = quarnfake::Card(1);
  const quarnfake::CardState defaults;
  EXPECT_EQ(s.sourceType, defaults.sourceType);
  EXPECT_EQ(s.sourceNumber, defaults.sourceNumber);
  EXPECT_EQ(s.standard, defaults.standard);
  EXPECT_EQ(s.format, defaults.format);
  EXPECT_EQ(s.scanMode, defaults.scanMode);
  EXPECT_EQ(s.crystal, defaults.crystal);
  EXPECT_EQ(s.xDelay, 0);
  EXPECT_EQ(s.inputWindow.x, 0);
  EXPECT_EQ(s.outputWindow.width, QUARN_PAL_WIDTH);
  EXPECT_EQ(s.maskedPixels, 0);
}

TEST_F(FakeWorld, AcceptedValuesAreKeptForTheTestToRead) {
  const QUARN_HANDLE h = Open(1);
  QuarnSetVideoSource(h, QUARN_SOURCE_YCBCR, 1);
  QuarnAdjustVideo(h, QUARN_ADJUST_HUE, 7);
  QuarnSetInputWindow(h, 8, 16, 640, 480);
  QuarnSetOutputWindow(h, -20, 30, 384, 288);  // screen coordinates may be negative
  QuarnEnableVideoMirror(h, QUARN_MIRROR_VERTICAL, 1);
  QuarnSetPixelMask(h, 767, 575, 1);
  QuarnSetPixelMask(h, 767, 575, 1);  // the same pixel twice counts once
  QuarnSetPixelMask(h, 3, 4, 1);
  QuarnSetPixelMask(h, 3, 4, 0);
  const quarnfake::CardState s = quarnfake::Card(1);
  EXPECT_EQ(s.sourceType, QUARN_SOURCE_YCBCR);
  EXPECT_EQ(s.sourceNumber, 1);
  EXPECT_EQ(s.hue, 7);
  EXPECT_EQ(s.inputWindow.y, 16);
  EXPECT_EQ(s.outputWindow.x, -20);
  EXPECT_EQ(s.outputWindow.height, 288);
  EXPECT_TRUE(s.mirrorVertical);
  EXPECT_FALSE(s.mirrorHorizontal);
  EXPECT_EQ(s.maskedPixels, 1);
  EXPECT_TRUE(quarnfake::PixelMasked(1, 767, 575));
  EXPECT_FALSE(quarnfake::PixelMasked(1, 3, 4));
}

// ---- Static memory
// --------------------------------------------------------------------------------

TEST_F(FakeWorld, LocksInsideTheReservationGiveMemoryTheTestSees) {
  int pages = 0;
  EXPECT_EQ(QuarnGetStaticMem(&pages), QUARN_OK);
  EXPECT_EQ(pages, quarnfake::kDefaultStaticMemPages);
  const uint64_t total = uint64_t{16384} * 4096;
  QUARN_MEMLOCK a = 0;
  QUARN_MEMLOCK b = 0;
  void* pa = nullptr;
  void* pb = nullptr;
  ASSERT_EQ(QuarnStaticMemLock(100, 8, &a, &pa), QUARN_OK);
  ASSERT_EQ(QuarnStaticMemLock(total - 4, 4, &b, &pb), QUARN_OK);  // the very last bytes
  EXPECT_NE(a, b);
  std::memcpy(pa, "abcdefgh", 8);
  static_cast<uint8_t*>(pb)[3] = 0x5A;
  EXPECT_EQ(std::memcmp(quarnfake::StaticMemory(100, 8).data(), "abcdefgh", 8), 0);
  EXPECT_EQ(quarnfake::StaticMemory(total - 1, 1)[0], 0x5A);
  quarnfake::StaticMemory(104, 1)[0] = 'X';  // and the other way round
  EXPECT_EQ(static_cast<char*>(pa)[4], 'X');
  EXPECT_EQ(quarnfake::OpenLocks(), 2u);
  EXPECT_EQ(QuarnStaticMemUnlock(a), QUARN_OK);
  EXPECT_EQ(QuarnStaticMemUnlock(b), QUARN_OK);
  EXPECT_EQ(quarnfake::OpenLocks(), 0u);
}

TEST_F(FakeWorld, LocksLeavingTheReservationAndUnknownUnlocksFail) {
  const uint64_t total = uint64_t{16384} * 4096;
  QUARN_MEMLOCK lock = 99;
  void* address = &lock;
  EXPECT_EQ(QuarnStaticMemLock(total - 4, 5, &lock, &address), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(QuarnStaticMemLock(total, 1, &lock, &address), QUARN_ERR_STATIC_MEM);
  // offset + size wraps around 2^64: must not pass as "inside".
  EXPECT_EQ(QuarnStaticMemLock(~uint64_t{0} - 2, 8, &lock, &address), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(QuarnStaticMemLock(0, 0, &lock, &address), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(lock, 99u);
  EXPECT_EQ(address, &lock);
  EXPECT_TRUE(quarnfake::StaticMemory(total - 4, 5).empty());

  EXPECT_EQ(QuarnStaticMemUnlock(1), QUARN_ERR_BAD_PARAMETER);
  ASSERT_EQ(QuarnStaticMemLock(0, 8, &lock, &address), QUARN_OK);
  EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_OK);
  EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_ERR_BAD_PARAMETER);  // twice
}

TEST_F(FakeWorld, NewReservationTakesEffectOnlyAfterRestartAndLosesTheContents) {
  quarnfake::StaticMemory(0, 1)[0] = 0xAB;
  EXPECT_EQ(QuarnSetStaticMem(2), QUARN_OK);
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), 2);
  int pages = 0;
  QuarnGetStaticMem(&pages);
  EXPECT_EQ(pages, 16384);  // still the old reservation
  EXPECT_EQ(quarnfake::StaticMemory(0, 1)[0], 0xAB);

  quarnfake::Restart();
  QuarnGetStaticMem(&pages);
  EXPECT_EQ(pages, 2);
  EXPECT_FALSE(quarnfake::PendingStaticMemPages().has_value());
  EXPECT_EQ(quarnfake::StaticMemory(0, 1)[0], 0);
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  EXPECT_EQ(QuarnStaticMemLock(4096, 4097, &lock, &address), QUARN_ERR_STATIC_MEM);

  EXPECT_EQ(QuarnSetStaticMem(-1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnSetStaticMem(quarnfake::kMaxStaticMemPages + 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_FALSE(quarnfake::PendingStaticMemPages().has_value());
}

TEST_F(FakeWorld, LockHeldAcrossRestartKeepsValidMemory) {
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  ASSERT_EQ(QuarnStaticMemLock(0, 4096, &lock, &address), QUARN_OK);
  quarnfake::Restart();
  static_cast<uint8_t*>(address)[4095] = 1;           // ASan would flag a freed mapping here
  EXPECT_EQ(quarnfake::StaticMemory(4095, 1)[0], 0);  // the new memory is a different one
  EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_OK);
}

TEST_F(FakeWorld, HugeReservationLocksItsLastPageWithoutCommittingTheRest) {
  quarnfake::SetStaticMemPages(quarnfake::kMaxStaticMemPages);  // about 41 GB
  const uint64_t last = uint64_t{quarnfake::kMaxStaticMemPages - 1} * 4096;
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  ASSERT_EQ(QuarnStaticMemLock(last, 4096, &lock, &address), QUARN_OK);
  std::memset(address, 0x11, 4096);
  EXPECT_EQ(quarnfake::StaticMemory(last + 4095, 1)[0], 0x11);
  EXPECT_EQ(QuarnStaticMemUnlock(lock), QUARN_OK);
}

// ---- Snap, on demand
// ------------------------------------------------------------------------------

struct SnapSeen {
  std::vector<uint32_t> cards, frames, slots;
  std::vector<void*> contextsAt12;
  std::vector<uint32_t> slotsAt8;
  int result = 1;
  bool stopInside = false;
};

int RecordSnap(QuarnSnapInfo* info) {
  // Read the record the way the programs do: raw 32-bit field at 8, pointer at byte offset 12.
  const auto* bytes = reinterpret_cast<const unsigned char*>(info);
  void* context = nullptr;
  uint32_t slot = 0;
  std::memcpy(&context, bytes + 12, sizeof context);
  std::memcpy(&slot, bytes + 8, sizeof slot);
  auto* seen = static_cast<SnapSeen*>(context);
  seen->contextsAt12.push_back(context);
  seen->slotsAt8.push_back(slot);
  seen->cards.push_back(info->cardNumber);
  seen->frames.push_back(info->frameNumber);
  seen->slots.push_back(info->slot);
  if (seen->stopInside) {
    EXPECT_EQ(QuarnStopSnapEx(quarnfake::HandleOf(info->cardNumber)), 0);
  }
  return seen->result;
}

TEST_F(FakeWorld, SnapFramesArriveOnlyWhenTheTestDeliversThem) {
  quarnfake::SetCardCount(2);
  const QUARN_HANDLE h = Open(2);
  SnapSeen seen;
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 0), QUARN_ERR_SNAP_STATE);  // nothing open
  ASSERT_EQ(QuarnOpenSnapEx(h, RecordSnap, &seen), QUARN_OK);
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 0), QUARN_ERR_SNAP_STATE);  // open, not started
  ASSERT_EQ(QuarnStartSnapEx(h, 8192, 1, 2), QUARN_OK);
  EXPECT_TRUE(seen.frames.empty());

  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 0), 1);
  seen.result = 7;  // whatever the callback returns is handed back
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 1), 7);
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 2), QUARN_ERR_BAD_PARAMETER);  // ring of 2
  EXPECT_THAT(seen.cards, ElementsAre(2u, 2u));
  EXPECT_THAT(seen.frames, ElementsAre(0u, 1u));
  EXPECT_THAT(seen.slots, ElementsAre(0u, 1u));
  EXPECT_THAT(seen.slotsAt8, ElementsAre(0u, 1u));
  EXPECT_THAT(seen.contextsAt12, ElementsAre(&seen, &seen));

  // Stop, then start again: the frame counter starts from 0.
  EXPECT_EQ(QuarnStopSnapEx(h), QUARN_OK);
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 0), QUARN_ERR_SNAP_STATE);
  ASSERT_EQ(QuarnStartSnapEx(h, 8192, 1, 2), QUARN_OK);
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 1), 7);
  EXPECT_EQ(seen.frames.back(), 0u);
  EXPECT_EQ(QuarnCloseSnapEx(h), QUARN_OK);
  EXPECT_EQ(quarnfake::DeliverSnapFrame(2, 0), QUARN_ERR_SNAP_STATE);
  EXPECT_EQ(seen.frames.size(), 3u);
}

TEST_F(FakeWorld, CallbackMayCallTheLibraryFromInside) {
  // The double must not hold its lock while the callback runs (the programs lock, transform,
  // unlock, and the restart rule stops from the callback's neighbourhood).
  const QUARN_HANDLE h = Open(1);
  SnapSeen seen;
  seen.stopInside = true;
  ASSERT_EQ(QuarnOpenSnapEx(h, RecordSnap, &seen), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h, 0, 1, 2), QUARN_OK);
  EXPECT_EQ(quarnfake::DeliverSnapFrame(1, 0), 1);
  EXPECT_FALSE(quarnfake::Card(1).snapStarted);
  EXPECT_EQ(quarnfake::Calls().back().op, "QuarnStopSnapEx");
}

TEST_F(FakeWorld, SlotsFollowTheFrameGeometryFixedAtStart) {
  const QUARN_HANDLE h = Open(1);
  QuarnSetVideoFormat(h, QUARN_FORMAT_RGB888);
  QuarnSetOutputWindow(h, 0, 0, 100, 50);
  SnapSeen seen;
  QuarnOpenSnapEx(h, RecordSnap, &seen);
  // Frame scan with interline 0 stores half-height frames: 100 x 25 x 3 bytes.
  ASSERT_EQ(QuarnStartSnapEx(h, 1000, 0, 3), QUARN_OK);
  EXPECT_EQ(quarnfake::Card(1).snapFrameBytes, 7500u);
  QuarnSetOutputWindow(h, 0, 0, 200, 50);  // changes nothing until the next start
  const std::array<uint8_t, 3> pattern{1, 2, 3};
  EXPECT_EQ(quarnfake::DeliverSnapFrame(1, 2, pattern), 1);
  const std::span<uint8_t> slot = quarnfake::SnapSlot(1, 2);
  ASSERT_EQ(slot.size(), 7500u);
  EXPECT_EQ(slot.data(), quarnfake::StaticMemory(1000 + 2 * 7500, 1).data());
  EXPECT_EQ(slot[0], 1);
  EXPECT_EQ(slot[7499], 3);
  EXPECT_EQ(quarnfake::StaticMemory(1000 + 2 * 7500 + 7500, 1)[0], 0);  // past the slot: untouched
  EXPECT_EQ(quarnfake::StaticMemory(1000 + 7500 - 1, 1)[0], 0);         // slot 1: untouched
  QuarnStopSnapEx(h);

  QuarnSetScanMode(h, QUARN_SCAN_FIELD1);
  ASSERT_EQ(QuarnStartSnapEx(h, 0, 1, 1), QUARN_OK);  // field modes halve the height too
  EXPECT_EQ(quarnfake::Card(1).snapFrameBytes, 200u * 25 * 3);
}

TEST_F(FakeWorld, SnapOrderBusyAndRingBoundsRules) {
  const QUARN_HANDLE h = Open(1);
  QuarnHostWindow window{sizeof(QuarnHostWindow), nullptr, ClientRect, RecordDraw, nullptr};
  SnapSeen seen;
  EXPECT_EQ(QuarnStartSnapEx(h, 0, 1, 2), QUARN_ERR_SNAP_STATE);
  EXPECT_EQ(QuarnStopSnapEx(h), QUARN_ERR_SNAP_STATE);
  EXPECT_EQ(QuarnCloseSnapEx(h), QUARN_ERR_SNAP_STATE);
  ASSERT_EQ(QuarnOpenSnapEx(h, RecordSnap, &seen), QUARN_OK);
  EXPECT_EQ(QuarnOpenSnapEx(h, RecordSnap, &seen), QUARN_ERR_SNAP_STATE);
  EXPECT_EQ(QuarnStopSnapEx(h), QUARN_OK);  // open but not started
  EXPECT_EQ(QuarnStartSnapEx(h, 0, 1, 0), QUARN_ERR_BAD_PARAMETER);
  // 768 x 576 x 2 bytes per slot; a ring ending one byte past the reservation fails.
  const uint64_t frame = 768 * 576 * 2;
  const uint64_t total = uint64_t{16384} * 4096;
  EXPECT_EQ(QuarnStartSnapEx(h, total - 2 * frame + 1, 1, 2), QUARN_ERR_STATIC_MEM);
  EXPECT_FALSE(quarnfake::Card(1).snapStarted);

  ASSERT_EQ(QuarnCaptureEx(h, &window, 1), QUARN_OK);
  EXPECT_EQ(QuarnStartSnapEx(h, 0, 1, 2), QUARN_ERR_BUSY);
  EXPECT_EQ(QuarnSnapShot(h, 0, 0, 1, 1), QUARN_ERR_BUSY);
  ASSERT_EQ(QuarnCaptureEx(h, nullptr, 0), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h, total - 2 * frame, 1, 2), QUARN_OK);
  EXPECT_EQ(QuarnStartSnapEx(h, 0, 1, 2), QUARN_ERR_SNAP_STATE);
  EXPECT_EQ(QuarnCaptureEx(h, &window, 1), QUARN_ERR_BUSY);
  EXPECT_EQ(QuarnSnapShot(h, 0, 0, 1, 1), QUARN_ERR_BUSY);

  // Ending the card closes everything: a new open starts from scratch.
  EXPECT_EQ(EndQuarnCard(h), QUARN_OK);
  EXPECT_FALSE(quarnfake::Card(1).snapOpen);
  Open(1);
  EXPECT_EQ(QuarnOpenSnapEx(h, RecordSnap, &seen), QUARN_OK);
}

TEST_F(FakeWorld, SnapShotChecksItsRangeAndStoresNothing) {
  const QUARN_HANDLE h = Open(1);
  QuarnSetVideoFormat(h, QUARN_FORMAT_ALL8);
  QuarnSetOutputWindow(h, 0, 0, 4096, 2 /* rejected: too wide */);
  QuarnSetOutputWindow(h, 0, 0, 512, 8);  // 4096 bytes a frame with interline 1
  const uint64_t total = uint64_t{16384} * 4096;
  EXPECT_EQ(QuarnSnapShot(h, total - 3 * 4096, 0, 1, 3), QUARN_OK);
  EXPECT_EQ(QuarnSnapShot(h, total - 3 * 4096, 0, 1, 4), QUARN_ERR_STATIC_MEM);
  EXPECT_EQ(QuarnSnapShot(h, total, 0, 1, 0), QUARN_OK);  // count 0: nothing to store
  EXPECT_EQ(quarnfake::StaticMemory(total - 3 * 4096, 1)[0], 0);
}

// ---- Live video, on demand
// ------------------------------------------------------------------------

TEST_F(FakeWorld, LiveVideoRecordsTheWindowAndDrawsOnlyWhenAsked) {
  const QUARN_HANDLE h = Open(1);
  DrawLog draws;
  QuarnHostWindow window{sizeof(QuarnHostWindow), &draws, ClientRect, RecordDraw, nullptr};
  QuarnHostWindow broken{sizeof(QuarnHostWindow), &draws, nullptr, RecordDraw, nullptr};
  EXPECT_EQ(QuarnCaptureEx(h, &broken, 1), QUARN_ERR_BAD_PARAMETER);
  // A window whose size was never set is refused, as the library refuses it.
  QuarnHostWindow unsized{0, &draws, ClientRect, RecordDraw, nullptr};
  EXPECT_EQ(QuarnCaptureEx(h, &unsized, 1), QUARN_ERR_BAD_PARAMETER);
  QuarnSetOutputWindow(h, 10, 20, 64, 48);
  QuarnSetScanMode(h, QUARN_SCAN_FIELD);
  ASSERT_EQ(QuarnCaptureEx(h, &window, 1), QUARN_OK);
  EXPECT_TRUE(quarnfake::Card(1).live);
  EXPECT_EQ(quarnfake::Card(1).window, &window);
  EXPECT_TRUE(draws.rects.empty());  // no thread of its own

  EXPECT_EQ(quarnfake::DrawLiveFrame(1, 0x00FF8000), QUARN_OK);
  ASSERT_EQ(draws.rects.size(), 1u);
  EXPECT_EQ(draws.rects[0].x, 10);
  EXPECT_EQ(draws.rects[0].y, 20);
  EXPECT_EQ(draws.rects[0].width, 64);
  EXPECT_EQ(draws.rects[0].height, 24);  // field mode: half height
  EXPECT_EQ(draws.firstPixels[0], 0x00FF8000u);

  ASSERT_EQ(QuarnCaptureEx(h, nullptr, 0), QUARN_OK);
  EXPECT_EQ(quarnfake::DrawLiveFrame(1, 0), QUARN_ERR_GENERAL);
  EXPECT_EQ(draws.rects.size(), 1u);
  EXPECT_EQ(QuarnCaptureEx(h, nullptr, 0), QUARN_OK);  // already off
}

// ---- Display read-back
// ----------------------------------------------------------------------------

TEST_F(FakeWorld, DisplayBitsFollowTheDocumentedBottomUpPattern) {
  QuarnHostDC dc{sizeof(QuarnHostDC), nullptr, nullptr, nullptr, nullptr};
  std::vector<uint8_t> buffer(768 * 576 * 4, 0xEE);
  uint16_t bits = 0;
  quarnfake::SetDisplaySeed(9);
  ASSERT_EQ(QuarnGetDisplayBits(&dc, 5, 300, 3, 2, &bits, buffer.data()), QUARN_OK);
  EXPECT_EQ(bits, 32);
  // Bottom-up: the bitmap's first row is client row 301, its second client row 300.
  EXPECT_THAT(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 24),
              ElementsAre(9, 45, 5, 0, 9, 45, 6, 0, 9, 45, 7, 0,  // y 301 & 0xFF = 45
                          9, 44, 5, 0, 9, 44, 6, 0, 9, 44, 7, 0));
  EXPECT_EQ(buffer[24], 0xEE);  // nothing written past the bitmap
  const std::vector<uint8_t> expected = quarnfake::ExpectedDisplayBits(5, 300, 3, 2);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));

  // 24 bits: rows of 3 pixels are 9 bytes padded to 12 with zeros.
  quarnfake::SetDisplayDepth(24);
  ASSERT_EQ(QuarnGetDisplayBits(&dc, 5, 300, 3, 2, &bits, buffer.data()), QUARN_OK);
  EXPECT_EQ(bits, 24);
  EXPECT_THAT(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 12),
              ElementsAre(9, 45, 5, 9, 45, 6, 9, 45, 7, 0, 0, 0));
}

TEST_F(FakeWorld, DisplayBitsMatchTheExpectationAtEveryDepth) {
  QuarnHostDC dc{sizeof(QuarnHostDC), nullptr, nullptr, nullptr, nullptr};
  for (int depth : {8, 15, 16, 24, 32}) {
    quarnfake::SetDisplayDepth(depth);
    std::vector<uint8_t> buffer(768 * 576 * 4);
    uint16_t bits = 0;
    ASSERT_EQ(QuarnGetDisplayBits(&dc, 250, 3, 13, 7, &bits, buffer.data()), QUARN_OK);
    EXPECT_EQ(bits, depth);
    const std::vector<uint8_t> expected = quarnfake::ExpectedDisplayBits(250, 3, 13, 7);
    ASSERT_EQ(expected.size(), quarnfake::DibStride(13, depth) * 7);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << depth;
  }
  // Spot check 16 bits: client (255, 9) is R 255, G 9, B 0 -> 11111 000010 00000 = 0xF840,
  // bottom-up first row is client row 9, x 255 is column 5.
  const std::vector<uint8_t> rgb565 = quarnfake::ExpectedDisplayBits(250, 3, 13, 7, 16, 0);
  EXPECT_EQ(rgb565[10], 0x40);
  EXPECT_EQ(rgb565[11], 0xF8);
}

TEST_F(FakeWorld, DisplayBitsRejectBadArgumentsWithoutWriting) {
  QuarnHostDC dc{sizeof(QuarnHostDC), nullptr, nullptr, nullptr, nullptr};
  std::vector<uint8_t> buffer(16, 0xEE);
  uint16_t bits = 99;
  EXPECT_EQ(QuarnGetDisplayBits(nullptr, 0, 0, 1, 1, &bits, buffer.data()),
            QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetDisplayBits(&dc, 0, 0, 1, 1, nullptr, buffer.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetDisplayBits(&dc, 0, 0, 1, 1, &bits, nullptr), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetDisplayBits(&dc, 0, 0, 0, 1, &bits, buffer.data()), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetDisplayBits(&dc, 0, 0, 1, 577, &bits, buffer.data()), QUARN_ERR_BAD_PARAMETER);
  // Host structs whose size was never set.
  const QuarnHostWindow unsizedWindow{};
  const QuarnHostDC onUnsizedWindow{sizeof(QuarnHostDC), nullptr, &unsizedWindow, nullptr, nullptr};
  const QuarnHostDC unsizedDC{};
  EXPECT_EQ(QuarnGetDisplayBits(&onUnsizedWindow, 0, 0, 1, 1, &bits, buffer.data()),
            QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnGetDisplayBits(&unsizedDC, 0, 0, 1, 1, &bits, buffer.data()),
            QUARN_ERR_BAD_PARAMETER);
  quarnfake::SetDisplayDepth(12);
  EXPECT_EQ(QuarnGetDisplayBits(&dc, 0, 0, 1, 1, &bits, buffer.data()), QUARN_ERR_BAD_PARAMETER);
  quarnfake::SetDisplayDepth(32);
  quarnfake::Script("QuarnGetDisplayBits").ReturnsNext(QUARN_ERR_NO_WINDOW);
  EXPECT_EQ(QuarnGetDisplayBits(&dc, 0, 0, 1, 1, &bits, buffer.data()), QUARN_ERR_NO_WINDOW);
  EXPECT_EQ(bits, 99);
  EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE));
}

// ---- Frame transform
// ------------------------------------------------------------------------------

TEST_F(FakeWorld, TransformConvertsEachFormatBottomUpWithPaddedRows) {
  std::vector<uint8_t> out(64, 0xEE);
  // RGB888, 1 x 2: rows swap, each padded from 3 to 4 bytes with a zero.
  const uint8_t bgr[] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(QuarnDataTransform(out.data(), bgr, 1, 2, 24, 1), QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 9),
              ElementsAre(4, 5, 6, 0, 1, 2, 3, 0, 0xEE));
  // YUV422 studio range: Y 235 is white, Y 16 black, with neutral chroma.
  const uint8_t yuv[] = {235, 128, 16, 128};
  ASSERT_EQ(QuarnDataTransform(out.data(), yuv, 2, 1, 16, 1), QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 8),
              ElementsAre(255, 255, 255, 0, 0, 0, 0, 0));
  // RGB565 pure red and RGB555 pure green, named explicitly.
  const uint8_t red565[] = {0x00, 0xF8};
  ASSERT_EQ(
      QuarnDataTransform(out.data(), red565, 1, 1, 16, QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_RGB565)),
      QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 3), ElementsAre(0, 0, 255));
  const uint8_t green555[] = {0xE0, 0x03};
  ASSERT_EQ(QuarnDataTransform(out.data(), green555, 1, 1, 15, 1), QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 3), ElementsAre(0, 255, 0));
  // RGB8888 drops X; limited 8 bit keeps the stored luma.
  const uint8_t bgrx[] = {7, 8, 9, 200};
  ASSERT_EQ(QuarnDataTransform(out.data(), bgrx, 1, 1, 32, 1), QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 4), ElementsAre(7, 8, 9, 0));
  const uint8_t limited[] = {16, 235, 10, 126};
  ASSERT_EQ(QuarnDataTransform(out.data(), limited, 4, 1, 8,
                               QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_LIMITED8)),
            QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 4), ElementsAre(16, 235, 10, 126));
}

TEST_F(FakeWorld, StoredModeReadsTheFormatTheFramesWereStoredIn) {
  // 16-bit frames are YUV422 or RGB565: the snap's tag decides, else the bit count's first.
  const QUARN_HANDLE h = Open(1);
  QuarnSetVideoFormat(h, QUARN_FORMAT_RGB565);
  QuarnSetOutputWindow(h, 0, 0, 2, 2);
  SnapSeen seen;
  QuarnOpenSnapEx(h, RecordSnap, &seen);
  ASSERT_EQ(QuarnStartSnapEx(h, 0, 1, 1), QUARN_OK);
  const std::array<uint8_t, 2> red565{0x00, 0xF8};
  quarnfake::DeliverSnapFrame(1, 0, red565);
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  ASSERT_EQ(QuarnStaticMemLock(0, 8, &lock, &address), QUARN_OK);
  std::vector<uint8_t> out(16);
  ASSERT_EQ(QuarnDataTransform(out.data(), address, 2, 2, 16, QUARN_TRANSFORM_STORED), QUARN_OK);
  EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 3), ElementsAre(0, 0, 255));
  QuarnStaticMemUnlock(lock);
  // The same bytes outside static memory read as YUV422.
  const std::vector<uint8_t> copy(quarnfake::SnapSlot(1, 0).begin(),
                                  quarnfake::SnapSlot(1, 0).end());
  ASSERT_EQ(QuarnDataTransform(out.data(), copy.data(), 2, 2, 16, 1), QUARN_OK);
  EXPECT_EQ(out, quarnfake::ExpectedTransform(copy, 2, 2, QUARN_FORMAT_YUV422));
  EXPECT_NE(out[2], 255);
}

TEST_F(FakeWorld, TransformRejectsUnknownModesAndMismatchedBits) {
  std::vector<uint8_t> out(16, 0xEE);
  const uint8_t src[8] = {};
  EXPECT_EQ(QuarnDataTransform(out.data(), src, 1, 1, 12, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(out.data(), src, 1, 1, 24, 0), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(
      QuarnDataTransform(out.data(), src, 1, 1, 24, QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_RGB565)),
      QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(out.data(), src, 1, 1, 8, QUARN_TRANSFORM_FORMAT(7)),
            QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(out.data(), src, 0, 1, 8, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(out, std::vector<uint8_t>(16, 0xEE));
}

// ---- Reset
// ----------------------------------------------------------------------------------------

TEST_F(FakeWorld, ResetRestoresEveryDefault) {
  quarnfake::SetCardCount(5);
  quarnfake::SetCardType(1, 2);
  quarnfake::SetSignals(1, {});
  quarnfake::SetStaticMemPages(3);
  quarnfake::SetDisplayDepth(8);
  quarnfake::Script("QuarnGetStaticMem").Returns(QUARN_ERR_STATIC_MEM);
  const QUARN_HANDLE h = Open(1);
  QuarnSetVideoFormat(h, QUARN_FORMAT_ALL8);
  QuarnSetStaticMem(7);
  SnapSeen seen;
  QuarnOpenSnapEx(h, RecordSnap, &seen);
  quarnfake::StaticMemory(0, 1)[0] = 1;
  QUARN_MEMLOCK lock = 0;
  void* address = nullptr;
  QuarnStaticMemLock(0, 1, &lock, &address);

  quarnfake::Reset();

  EXPECT_TRUE(quarnfake::Calls().empty());
  int count = 0;
  QuarnGetCardTotal(&count);
  EXPECT_EQ(count, quarnfake::kDefaultCardCount);
  int pages = 0;
  EXPECT_EQ(QuarnGetStaticMem(&pages), QUARN_OK);  // script gone
  EXPECT_EQ(pages, quarnfake::kDefaultStaticMemPages);
  EXPECT_FALSE(quarnfake::PendingStaticMemPages().has_value());
  EXPECT_EQ(quarnfake::OpenLocks(), 0u);
  EXPECT_EQ(quarnfake::StaticMemory(0, 1)[0], 0);
  const quarnfake::CardState s = quarnfake::Card(1);
  EXPECT_FALSE(s.open);
  EXPECT_FALSE(s.snapOpen);
  EXPECT_EQ(s.callback, nullptr);
  EXPECT_EQ(s.type, 0);
  EXPECT_EQ(s.format, QUARN_FORMAT_YUV422);
  const QUARN_HANDLE again = Open(1);
  int present = 0;
  QuarnVideoPresent(again, &present);
  EXPECT_EQ(present, 1);
  EXPECT_EQ(QuarnOpenSnapEx(again, RecordSnap, &seen), QUARN_OK);
  uint16_t bits = 0;
  QuarnHostDC dc{sizeof(QuarnHostDC), nullptr, nullptr, nullptr, nullptr};
  std::vector<uint8_t> buffer(4);
  QuarnGetDisplayBits(&dc, 0, 0, 1, 1, &bits, buffer.data());
  EXPECT_EQ(bits, quarnfake::kDefaultDisplayDepth);
  EXPECT_EQ(quarnfake::Calls().front().seq, 1u);
}

}  // namespace
