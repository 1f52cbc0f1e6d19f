// frame_handover_test.cpp - CFrameHandOver, the bounded queue between the capture library's snap
// callback and quarnsrc's streaming thread: what is kept, what is dropped and counted, and that
// flushing and restarting never leave a stale frame or a blocked streaming thread.
#include "frame_handover.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <thread>
#include <vector>

namespace {

using Frame = CFrameHandOver::Frame;

Frame FrameNumbered(uint32_t number, uint32_t slots) {
  return {number % slots, number, uint64_t{number} * 40};
}

// What a ring of `slots` keeps after the library delivered `delivered` frames from `first` on,
// none taken: the newest slots - 1 (the library writes over the one before), the rest counted
// as dropped.
struct QueueCase {
  const char* name;
  uint32_t slots;
  uint32_t first;  // the first frame's number
  uint32_t delivered;
  uint32_t firstKept;  // the oldest frame Take gives
  uint64_t dropped;
};

const QueueCase kQueueCases[] = {
    {"OneFrameInTwoSlots", 2, 0, 1, 0, 0},
    {"TwoSlotsKeepOne", 2, 0, 3, 2, 2},
    {"FourSlotsNotFull", 4, 0, 3, 0, 0},
    {"FourSlotsOneTooMany", 4, 0, 4, 1, 1},
    {"FourSlotsLongStall", 4, 0, 10, 7, 7},
    {"SixtyFourSlots", 64, 0, 100, 37, 37},
    // Frame numbers wrap at 2^32 as the library's do.
    {"NumbersWrap", 4, 0xFFFFFFFEu, 5, 0, 2},
};

void PrintTo(const QueueCase& c, std::ostream* os) {
  *os << c.name;
}

class HandOverQueueTest : public testing::TestWithParam<QueueCase> {};

TEST_P(HandOverQueueTest, KeepsTheNewestFramesTheRingStillHolds) {
  const QueueCase& c = GetParam();
  CFrameHandOver handOver(c.slots);
  for (uint32_t i = 0; i < c.delivered; ++i) handOver.Deliver(FrameNumbered(c.first + i, c.slots));
  EXPECT_EQ(handOver.Delivered(), c.delivered);
  EXPECT_EQ(handOver.Dropped(), c.dropped);
  const uint32_t newest = c.first + c.delivered - 1;
  for (uint32_t expected = c.firstKept; expected != newest + 1; ++expected) {
    Frame frame;
    ASSERT_TRUE(handOver.Take(frame));
    EXPECT_EQ(frame.frameNumber, expected);
    EXPECT_EQ(frame.slot, expected % c.slots);
    EXPECT_FALSE(handOver.Overwritten(frame)) << "frame " << expected;
  }
  // Nothing else was queued: the next Take gives the next frame delivered.
  handOver.Deliver(FrameNumbered(newest + 1, c.slots));
  Frame next;
  ASSERT_TRUE(handOver.Take(next));
  EXPECT_EQ(next.frameNumber, newest + 1);
  EXPECT_EQ(handOver.Dropped(), c.dropped);
}

INSTANTIATE_TEST_SUITE_P(CFrameHandOver, HandOverQueueTest, testing::ValuesIn(kQueueCases),
                         [](const testing::TestParamInfo<QueueCase>& param) {
                           return std::string(param.param.name);
                         });

// A frame taken and copied is intact until the library has delivered slots - 1 newer frames:
// then it is writing the frame's slot.
struct OverwriteCase {
  const char* name;
  uint32_t slots;
  uint32_t newer;  // frames delivered after the taken one, during the copy
  bool overwritten;
};

const OverwriteCase kOverwriteCases[] = {
    {"NoNewer", 4, 0, false},
    {"TwoNewerOfFour", 4, 2, false},
    {"ThreeNewerOfFour", 4, 3, true},
    {"ManyNewerOfFour", 4, 9, true},
    {"OneNewerOfTwo", 2, 1, true},
    {"SixtyTwoNewerOfSixtyFour", 64, 62, false},
    {"SixtyThreeNewerOfSixtyFour", 64, 63, true},
};

void PrintTo(const OverwriteCase& c, std::ostream* os) {
  *os << c.name;
}

class HandOverOverwriteTest : public testing::TestWithParam<OverwriteCase> {};

TEST_P(HandOverOverwriteTest, TellsWhetherTheCopiedSlotWasWrittenOver) {
  const OverwriteCase& c = GetParam();
  CFrameHandOver handOver(c.slots);
  handOver.Deliver(FrameNumbered(5, c.slots));
  Frame frame;
  ASSERT_TRUE(handOver.Take(frame));
  for (uint32_t i = 1; i <= c.newer; ++i) handOver.Deliver(FrameNumbered(5 + i, c.slots));
  const uint64_t droppedBefore = handOver.Dropped();
  EXPECT_EQ(handOver.Overwritten(frame), c.overwritten);
  EXPECT_EQ(handOver.Dropped(), droppedBefore + (c.overwritten ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(CFrameHandOver, HandOverOverwriteTest, testing::ValuesIn(kOverwriteCases),
                         [](const testing::TestParamInfo<OverwriteCase>& param) {
                           return std::string(param.param.name);
                         });

// A state change must not wait on the streaming thread blocked in Take (the element's unlock).
TEST(CFrameHandOverTest, FlushingWakesAWaitingTakeAndForgetsTheQueue) {
  CFrameHandOver handOver(4);
  bool taken = true;
  std::thread streaming([&] {
    Frame frame;
    taken = handOver.Take(frame);
  });
  handOver.SetFlushing(true);
  streaming.join();
  EXPECT_FALSE(taken);
  handOver.Deliver(FrameNumbered(0, 4));
  Frame frame;
  EXPECT_FALSE(handOver.Take(frame)) << "Take while flushing";
  // Frames from before the flush are stale.
  handOver.SetFlushing(false);
  handOver.Deliver(FrameNumbered(1, 4));
  ASSERT_TRUE(handOver.Take(frame));
  EXPECT_EQ(frame.frameNumber, 1u);
}

// The card stores frames while the pipeline is paused: none of them is pushed late on resuming, or
// counted as dropped.
TEST(CFrameHandOverTest, FramesWhilePausedAreNeitherQueuedNorDropped) {
  CFrameHandOver handOver(4);
  handOver.Deliver(FrameNumbered(0, 4));
  handOver.SetPaused(true);
  for (uint32_t i = 1; i < 20; ++i) handOver.Deliver(FrameNumbered(i, 4));
  handOver.SetPaused(false);
  handOver.Deliver(FrameNumbered(20, 4));
  Frame frame;
  ASSERT_TRUE(handOver.Take(frame));
  EXPECT_EQ(frame.frameNumber, 20u) << "the frame from before the pause is stale too";
  EXPECT_EQ(handOver.Dropped(), 0u);
  EXPECT_EQ(handOver.Delivered(), 21u);
}

// A new snap numbers its frames from 0 again: the old ring's frames are gone, and the new frame 0
// is not mistaken for one far behind the old newest frame.
TEST(CFrameHandOverTest, RestartForgetsTheQueueAndKeepsTheCounts) {
  CFrameHandOver handOver(4);
  for (uint32_t i = 0; i < 40; ++i) handOver.Deliver(FrameNumbered(i, 4));
  const uint64_t dropped = handOver.Dropped();
  handOver.Restart(8);
  handOver.Deliver(FrameNumbered(0, 8));
  Frame frame;
  ASSERT_TRUE(handOver.Take(frame));
  EXPECT_EQ(frame.frameNumber, 0u);
  EXPECT_FALSE(handOver.Overwritten(frame));
  EXPECT_EQ(handOver.Delivered(), 41u);
  EXPECT_EQ(handOver.Dropped(), dropped);
}

// The library's thread delivers while the streaming thread takes and copies (run under
// ThreadSanitizer in the tsan build): every frame is either kept or counted as dropped, and the
// kept ones come in order.
TEST(CFrameHandOverTest, ProducerAndConsumerThreadsAccountForEveryFrame) {
  constexpr uint32_t kSlots = 4;
  constexpr uint32_t kFrames = 20000;
  CFrameHandOver handOver(kSlots);
  std::thread library([&] {
    for (uint32_t i = 0; i < kFrames; ++i) handOver.Deliver(FrameNumbered(i, kSlots));
  });
  uint64_t kept = 0;
  std::vector<uint32_t> outOfOrder;
  int64_t previous = -1;
  Frame frame;
  // The newest frame is never dropped on delivery, so the consumer ends on it.
  while (frame.frameNumber != kFrames - 1 && handOver.Take(frame)) {
    if (static_cast<int64_t>(frame.frameNumber) <= previous)
      outOfOrder.push_back(frame.frameNumber);
    previous = frame.frameNumber;
    if (!handOver.Overwritten(frame)) ++kept;
  }
  library.join();
  EXPECT_TRUE(outOfOrder.empty());
  EXPECT_EQ(handOver.Delivered(), kFrames);
  EXPECT_EQ(kept + handOver.Dropped(), kFrames);
}

}  // namespace
