// contract_snap.cpp - continuous snap and snap shot on the simulated cards: the callback record and
// slot order, the frames stored in the ring, a stop that really quiesces, stop, close, restart and
// end from inside the callback, rings and snap shots outside the reservation, and the busy and
// order rules.
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "contract_support.h"

namespace {

using contract::AllBytesAre;
using contract::CardHandle;
using contract::FillStatic;
using contract::MemLock;
using contract::ReadStatic;
using contract::StaticBytes;
using contract::WaitFor;

// Records every callback. The library reaches it through the context pointer of the record.
class SnapRecorder {
 public:
  struct Call {
    uint32_t cardNumber, frameNumber, slot;
    void* context;
    uint32_t slotAt8;   // read at byte offset 8 of the record, as the programs do
    void* contextAt12;  // read at byte offset 12
    std::thread::id thread;
  };

  static int Callback(QuarnSnapInfo* info) {
    void* context = nullptr;
    std::memcpy(&context, reinterpret_cast<const uint8_t*>(info) + 12, sizeof context);
    static_cast<SnapRecorder*>(context)->OnCallback(*info);
    return 1;
  }

  // Runs inside the callbacks, before the call is logged.
  void SetAction(std::function<void(size_t callNumber)> action) {
    std::lock_guard lock(mutex_);
    action_ = std::move(action);
  }
  void SetSlow(bool slow) { slow_ = slow; }

  std::vector<Call> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  size_t count() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
  }
  bool inside() const { return inside_; }
  int overlaps() const { return overlaps_; }

 private:
  void OnCallback(const QuarnSnapInfo& info) {
    if (inside_.exchange(true)) ++overlaps_;
    std::function<void(size_t)> action;
    size_t number = 0;
    {
      std::lock_guard lock(mutex_);
      action = action_;
      number = calls_.size();
    }
    if (action) action(number);
    if (slow_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Call call{info.cardNumber, info.frameNumber,          info.slot, info.context, 0,
              nullptr,         std::this_thread::get_id()};
    std::memcpy(&call.slotAt8, reinterpret_cast<const uint8_t*>(&info) + 8, sizeof call.slotAt8);
    std::memcpy(&call.contextAt12, reinterpret_cast<const uint8_t*>(&info) + 12,
                sizeof call.contextAt12);
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(call);
    }
    inside_ = false;
  }

  std::atomic<bool> inside_{false};
  std::atomic<int> overlaps_{0};
  std::atomic<bool> slow_{false};
  // Protects calls_ and action_.
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  std::function<void(size_t)> action_;
};

// A host window that only counts draws.
struct CountingWindow {
  std::atomic<int> draws{0};
  QuarnHostWindow window{sizeof(QuarnHostWindow), this, [](void*, QuarnRect*) { return 0; },
                         [](void* context, int32_t, int32_t, int32_t, int32_t, const uint32_t*,
                            size_t) { ++static_cast<CountingWindow*>(context)->draws; },
                         nullptr};
  const QuarnHostWindow* host() const { return &window; }
};

constexpr int kWidth = 320, kHeight = 240;
constexpr uint64_t kFrame = uint64_t{kWidth} * kHeight * 3;  // RGB888, full frame

class Snap : public contract::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    ASSERT_EQ(card_.status(), QUARN_OK);
    ASSERT_EQ(QuarnSetOutputWindow(h(), 0, 0, kWidth, kHeight), QUARN_OK);
    ASSERT_EQ(QuarnSetVideoFormat(h(), QUARN_FORMAT_RGB888), QUARN_OK);
  }
  void TearDown() override {
    QuarnCloseSnapEx(h());
    SimTest::TearDown();
  }
  QUARN_HANDLE h() const { return card_.get(); }
  int Open() { return QuarnOpenSnapEx(h(), &SnapRecorder::Callback, &recorder_); }

  CardHandle card_{1};
  SnapRecorder recorder_;
};

TEST_F(Snap, CallbacksCarryTheRecordAndFillSlotsInTurn) {
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 6; }));
  ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  const auto calls = recorder_.calls();
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].cardNumber, 1u);
    EXPECT_EQ(calls[i].frameNumber, i);
    EXPECT_EQ(calls[i].slot, i % 2) << "call " << i;
    EXPECT_EQ(calls[i].slotAt8, calls[i].slot);
    EXPECT_EQ(calls[i].context, &recorder_);
    EXPECT_EQ(calls[i].contextAt12, &recorder_);
    EXPECT_NE(calls[i].thread, std::this_thread::get_id());
  }
  EXPECT_EQ(recorder_.overlaps(), 0);
}

TEST_F(Snap, FramesFillTheRingAndNothingBesideIt) {
  const uint64_t offset = 8192, guard = 256;
  FillStatic(offset - guard, 3 * kFrame + 2 * guard, 0xFF);
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), offset, 1, 3), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 3; }));
  ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  EXPECT_TRUE(AllBytesAre(ReadStatic(offset - guard, guard), 0xFF)) << "wrote before the ring";
  EXPECT_TRUE(AllBytesAre(ReadStatic(offset + 3 * kFrame, guard), 0xFF)) << "wrote after it";
  for (uint64_t slot = 0; slot < 3; ++slot) {
    const auto frame = ReadStatic(offset + slot * kFrame, kFrame);
    EXPECT_FALSE(AllBytesAre(frame, 0xFF)) << "slot " << slot << " was not filled";
    EXPECT_NE(frame[kFrame - 1], 0xFF) << "slot " << slot << " was filled only in part";
  }
  // A slot converts to a bitmap that shows a picture.
  MemLock slot(offset + kFrame, kFrame);
  ASSERT_EQ(slot.status(), QUARN_OK);
  std::vector<uint8_t> dib(kFrame);
  ASSERT_EQ(QuarnDataTransform(dib.data(), slot.bytes(), kWidth, kHeight, 24, 1), QUARN_OK);
  EXPECT_FALSE(AllBytesAre(dib, dib[0]));
}

TEST_F(Snap, FieldRingsHoldHalfHeightFrames) {
  const uint64_t field = kFrame / 2;
  FillStatic(0, 2 * kFrame, 0xFF);
  ASSERT_EQ(Open(), QUARN_OK);
  // Scan mode 0 with interline off stores one field per slot.
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 0, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 2; }));
  ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  EXPECT_NE(ReadStatic(2 * field - 1, 1)[0], 0xFF);
  EXPECT_TRUE(AllBytesAre(ReadStatic(2 * field, kFrame), 0xFF));
}

// Fault: a geometry taken per frame instead of at the start would write a bigger frame than the
// ring was sized for when the program changes the format while a snap runs.
TEST_F(Snap, GeometryIsFixedAtStart) {
  FillStatic(0, 4 * kFrame, 0xFF);
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 1; }));
  ASSERT_EQ(QuarnSetVideoFormat(h(), QUARN_FORMAT_RGB8888), QUARN_OK);
  ASSERT_EQ(QuarnSetOutputWindow(h(), 0, 0, 768, 576), QUARN_OK);
  const size_t seen = recorder_.count();
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= seen + 4; }));
  ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  EXPECT_TRUE(AllBytesAre(ReadStatic(2 * kFrame, 2 * kFrame), 0xFF));
}

// 16-bit frames may be YUV422 or RGB565: the ring remembers which, for the stored-frame transform.
TEST_F(Snap, StoredFramesKeepTheirFormatForTheTransform) {
  ASSERT_EQ(QuarnSetVideoFormat(h(), QUARN_FORMAT_RGB565), QUARN_OK);
  const uint64_t frame = uint64_t{kWidth} * kHeight * 2;
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 2; }));
  ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  MemLock slot(0, frame);
  ASSERT_EQ(slot.status(), QUARN_OK);
  std::vector<uint8_t> stored(kFrame), as565(kFrame), asYuv(kFrame);
  ASSERT_EQ(
      QuarnDataTransform(stored.data(), slot.bytes(), kWidth, kHeight, 16, QUARN_TRANSFORM_STORED),
      QUARN_OK);
  ASSERT_EQ(QuarnDataTransform(as565.data(), slot.bytes(), kWidth, kHeight, 16,
                               QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_RGB565)),
            QUARN_OK);
  ASSERT_EQ(QuarnDataTransform(asYuv.data(), slot.bytes(), kWidth, kHeight, 16,
                               QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_YUV422)),
            QUARN_OK);
  EXPECT_TRUE(stored == as565);
  EXPECT_FALSE(stored == asYuv);
}

TEST_F(Snap, TransformArguments) {
  std::vector<uint8_t> source(64 * 4, 0x40), dib(64 * 4 * 3);
  EXPECT_EQ(QuarnDataTransform(nullptr, source.data(), 8, 8, 24, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), nullptr, 8, 8, 24, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 0, 8, 24, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, -1, 24, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, 8, 12, 1), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, 8, 24, 0), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, 8, 24, 2), QUARN_ERR_BAD_PARAMETER);
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, 8, 24, QUARN_TRANSFORM_FORMAT(7)),
            QUARN_ERR_BAD_PARAMETER);
  // The explicit format must match the bit count.
  EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, 8, 16,
                               QUARN_TRANSFORM_FORMAT(QUARN_FORMAT_RGB888)),
            QUARN_ERR_BAD_PARAMETER);
  for (int bits : {8, 15, 16, 24, 32}) {
    EXPECT_EQ(QuarnDataTransform(dib.data(), source.data(), 8, 8, bits, 1), QUARN_OK) << bits;
  }
}

// Fault: a stop that returns while a callback still runs lets the program change the window or
// free the display buffer under it. Run under ThreadSanitizer too.
TEST_F(Snap, StopReturnsOnlyWhenNoCallbackRunsAndNoneFollows) {
  recorder_.SetSlow(true);
  ASSERT_EQ(Open(), QUARN_OK);
  for (int round = 0; round < 10; ++round) {
    ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
    const size_t before = recorder_.count();
    ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= before + 2; }));
    ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
    EXPECT_FALSE(recorder_.inside()) << "a callback still ran after the stop returned";
    const size_t stopped = recorder_.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(recorder_.count(), stopped) << "a callback came after the stop";
  }
  EXPECT_EQ(recorder_.overlaps(), 0);
}

TEST_F(Snap, CloseAlsoQuiesces) {
  recorder_.SetSlow(true);
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 2; }));
  ASSERT_EQ(QuarnCloseSnapEx(h()), QUARN_OK);
  EXPECT_FALSE(recorder_.inside());
  const size_t closed = recorder_.count();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(recorder_.count(), closed);
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_ERR_SNAP_STATE) << "closed";
}

TEST_F(Snap, StopFromInsideTheCallbackDoesNotDeadlock) {
  std::atomic<int> status{1};
  recorder_.SetAction([&](size_t number) {
    if (number == 2) status = QuarnStopSnapEx(h());
  });
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return status != 1; }));
  EXPECT_EQ(status, QUARN_OK);
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_OK) << "open but stopped";
  EXPECT_EQ(recorder_.count(), 3u) << "the callback that stopped the snap was the last";
  EXPECT_FALSE(recorder_.inside());
}

TEST_F(Snap, CloseFromInsideTheCallbackDoesNotDeadlock) {
  std::atomic<int> status{1};
  recorder_.SetAction([&](size_t number) {
    if (number == 1) status = QuarnCloseSnapEx(h());
  });
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return status != 1; }));
  EXPECT_EQ(status, QUARN_OK);
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_ERR_SNAP_STATE);
  // Opening again joins the finished thread and works as before.
  recorder_.SetAction(nullptr);
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  const size_t before = recorder_.count();
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= before + 2; }));
  EXPECT_EQ(QuarnCloseSnapEx(h()), QUARN_OK);
}

// The programs restart a snap after a window change: stop, then start, here from inside the
// callback. The new ring must not deliver while the callback that restarted it still runs.
TEST_F(Snap, RestartFromInsideTheCallback) {
  std::atomic<int> stopStatus{1}, startStatus{1};
  recorder_.SetSlow(true);
  recorder_.SetAction([&](size_t number) {
    if (number == 2) {
      stopStatus = QuarnStopSnapEx(h());
      startStatus = QuarnStartSnapEx(h(), kFrame * 2, 1, 2);
    }
  });
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 7; }));
  ASSERT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  EXPECT_EQ(stopStatus, QUARN_OK);
  EXPECT_EQ(startStatus, QUARN_OK);
  EXPECT_EQ(recorder_.overlaps(), 0);
  const auto calls = recorder_.calls();
  ASSERT_GE(calls.size(), 7u);
  // Frames count again from 0 after the restart.
  EXPECT_EQ(calls[2].frameNumber, 2u);
  EXPECT_EQ(calls[3].frameNumber, 0u);
  EXPECT_EQ(calls[4].frameNumber, 1u);
  EXPECT_EQ(calls[4].slot, 1u);
}

TEST_F(Snap, EndingTheCardFromInsideTheCallback) {
  CardHandle card(2);
  std::atomic<int> status{1};
  recorder_.SetAction([&](size_t number) {
    if (number == 1) status = EndQuarnCard(card.get());
  });
  ASSERT_EQ(QuarnOpenSnapEx(card.get(), &SnapRecorder::Callback, &recorder_), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(card.get(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return status != 1; }));
  EXPECT_EQ(status, QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return !recorder_.inside(); }));
  const size_t ended = recorder_.count();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(recorder_.count(), ended);
  EXPECT_EQ(QuarnStopSnapEx(card.get()), QUARN_ERR_BAD_HANDLE);
  CardHandle again(2);
  EXPECT_EQ(again.status(), QUARN_OK);
}

TEST_F(Snap, EndingTheCardStopsTheSnap) {
  recorder_.SetSlow(true);
  ASSERT_EQ(Open(), QUARN_OK);
  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 2; }));
  ASSERT_EQ(card_.End(), QUARN_OK);
  EXPECT_FALSE(recorder_.inside());
  const size_t ended = recorder_.count();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(recorder_.count(), ended);
}

TEST_F(Snap, ARingOutsideTheReservationStartsNothing) {
  const uint64_t total = StaticBytes();
  ASSERT_GT(total, 2 * kFrame);
  ASSERT_EQ(Open(), QUARN_OK);
  EXPECT_NE(QuarnStartSnapEx(h(), total - kFrame, 1, 2), QUARN_OK) << "second slot past the end";
  EXPECT_NE(QuarnStartSnapEx(h(), total, 1, 1), QUARN_OK);
  EXPECT_NE(QuarnStartSnapEx(h(), UINT64_MAX - 100, 1, 2), QUARN_OK) << "offset + size overflows";
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(recorder_.count(), 0u);
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_OK) << "nothing was started";
  // The last frame that fits is fine.
  ASSERT_EQ(QuarnStartSnapEx(h(), total - 2 * kFrame, 1, 2), QUARN_OK);
  ASSERT_TRUE(WaitFor([&] { return recorder_.count() >= 2; }));
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
}

TEST_F(Snap, OrderAndBusyRules) {
  CountingWindow window;
  EXPECT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_ERR_SNAP_STATE) << "not open";
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_ERR_SNAP_STATE) << "not open";
  EXPECT_EQ(QuarnCloseSnapEx(h()), QUARN_ERR_SNAP_STATE) << "not open";
  EXPECT_EQ(QuarnOpenSnapEx(h(), nullptr, nullptr), QUARN_ERR_BAD_PARAMETER);
  ASSERT_EQ(Open(), QUARN_OK);
  EXPECT_EQ(Open(), QUARN_ERR_SNAP_STATE) << "already open";
  EXPECT_EQ(QuarnStartSnapEx(h(), 0, 1, 0), QUARN_ERR_BAD_PARAMETER) << "no slots";
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_OK) << "open but not started";

  ASSERT_EQ(QuarnCaptureEx(h(), window.host(), 1), QUARN_OK);
  EXPECT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_ERR_BUSY) << "live video runs";
  EXPECT_EQ(QuarnSnapShot(h(), 0, 0, 1, 1), QUARN_ERR_BUSY) << "live video runs";
  ASSERT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK);

  ASSERT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_OK);
  EXPECT_EQ(QuarnStartSnapEx(h(), 0, 1, 2), QUARN_ERR_SNAP_STATE) << "already started";
  EXPECT_EQ(QuarnCaptureEx(h(), window.host(), 1), QUARN_ERR_BUSY) << "snap runs";
  EXPECT_EQ(QuarnSnapShot(h(), 0, 0, 1, 1), QUARN_ERR_BUSY) << "snap runs";
  EXPECT_EQ(QuarnCaptureEx(h(), nullptr, 0), QUARN_OK) << "live video is off anyway";
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_OK);
  EXPECT_EQ(QuarnStopSnapEx(h()), QUARN_OK) << "stopping twice";
  EXPECT_EQ(QuarnCloseSnapEx(h()), QUARN_OK);
  EXPECT_EQ(QuarnCloseSnapEx(h()), QUARN_ERR_SNAP_STATE) << "closing twice";
}

// ---- Snap shot -----------------------------------------------------------------------------

TEST_F(Snap, SnapShotStoresConsecutiveFramesThatMove) {
  QUARN_SIMULATOR_ONLY();
  const uint64_t offset = 4096, count = 4;
  FillStatic(offset, count * kFrame + 512, 0xFF);
  ASSERT_EQ(QuarnSnapShot(h(), offset, 0, 1, count), QUARN_OK);
  std::vector<std::vector<uint8_t>> frames;
  for (uint64_t k = 0; k < count; ++k) {
    frames.push_back(ReadStatic(offset + k * kFrame, kFrame));
    EXPECT_NE(frames.back()[kFrame - 1], 0xFF) << "frame " << k << " not stored in full";
  }
  for (size_t a = 0; a < frames.size(); ++a) {
    for (size_t b = a + 1; b < frames.size(); ++b) {
      EXPECT_FALSE(frames[a] == frames[b]) << "frames " << a << " and " << b << " are equal";
    }
  }
  EXPECT_TRUE(AllBytesAre(ReadStatic(offset + count * kFrame, 512), 0xFF));
  EXPECT_EQ(recorder_.count(), 0u) << "a snap shot calls no snap callback";
}

TEST_F(Snap, SnapShotOfNothingOrPastTheReservationWritesNothing) {
  FillStatic(0, kFrame, 0xFF);
  EXPECT_EQ(QuarnSnapShot(h(), 0, 0, 1, 0), QUARN_OK);
  EXPECT_TRUE(AllBytesAre(ReadStatic(0, kFrame), 0xFF)) << "a count of 0 stores nothing";

  const uint64_t total = StaticBytes();
  FillStatic(total - kFrame, kFrame, 0xFF);
  EXPECT_NE(QuarnSnapShot(h(), total - kFrame, 0, 1, 2), QUARN_OK);
  EXPECT_TRUE(AllBytesAre(ReadStatic(total - kFrame, kFrame), 0xFF))
      << "a snap shot that does not fit must not store its first frames";
  EXPECT_NE(QuarnSnapShot(h(), UINT64_MAX - 10, 0, 1, 1), QUARN_OK);
  EXPECT_EQ(QuarnSnapShot(h(), total - kFrame, 0, 1, 1), QUARN_OK) << "one frame fits";
}

}  // namespace
