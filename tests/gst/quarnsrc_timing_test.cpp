// quarnsrc_timing_test.cpp - quarnsrc's timestamps on paced frames and the system clock: each
// buffer is stamped with its capture time, so when the pipeline stalls and the ring drops frames
// the gap between two timestamps is one frame period per dropped frame more, and the drops are
// posted as QoS.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "gst_test_support.h"

namespace {

using gsttest::BufferPtr;
using gsttest::MessagePtr;
using gsttest::ScopedEnv;
using gsttest::SourceHarness;

constexpr GstClockTime kPeriod = 40 * GST_MSECOND;  // PAL, 25 frames/s
constexpr int kStallAt = 10;                        // the buffer the downstream stalls on
constexpr int kBuffers = 30;

// What the streaming thread saw of each buffer as it left the element, with the element's dropped
// count at that moment.
struct Seen {
  GstClockTime pts;
  GstClockTime duration;
  guint64 offset;
  guint64 dropped;
};

struct Recorder {
  GstElement* source = nullptr;
  std::mutex mutex;  // guards seen
  std::vector<Seen> seen;

  // Records every buffer; downstream then holds the streaming thread for half a second once, as
  // a slow consumer would: the ring of 4 fills and the card goes on storing over the oldest
  // frames.
  void RecordAndStall(GstBuffer* buffer) {
    const guint64 dropped = gsttest::StatsField(source, "frames-dropped");
    size_t count = 0;
    {
      std::lock_guard lock(mutex);
      seen.push_back({GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer),
                      GST_BUFFER_OFFSET(buffer), dropped});
      count = seen.size();
    }
    if (count == kStallAt) g_usleep(500 * G_TIME_SPAN_MILLISECOND);
  }
};

TEST(TimestampTest, GapsMatchTheDroppedFramesAndDropsArePostedAsQos) {
  const ScopedEnv pacing("QUARN_SIM_PACING", "1");
  SourceHarness h("", "video/x-raw,format=BGRx", /*systemClock=*/true);
  Recorder recorder;
  recorder.source = h.source.get();
  h.onBuffer = [&recorder](GstBuffer* buffer) { recorder.RecordAndStall(buffer); };
  h.Play();
  for (int i = 0; i < kBuffers; ++i) ASSERT_TRUE(h.Pull()) << "buffer " << i;

  std::vector<Seen> seen;
  {
    std::lock_guard lock(recorder.mutex);
    seen = recorder.seen;
  }
  ASSERT_GE(seen.size(), static_cast<size_t>(kBuffers));
  // The stall dropped frames (the test means nothing otherwise).
  ASSERT_GT(seen[kStallAt].dropped, seen[kStallAt - 1].dropped);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].duration, kPeriod) << "buffer " << i;
    if (i == 0) continue;
    ASSERT_GT(seen[i].pts, seen[i - 1].pts) << "buffer " << i;
    const guint64 droppedBetween = seen[i].dropped - seen[i - 1].dropped;
    const auto gap = static_cast<double>(seen[i].pts - seen[i - 1].pts);
    const auto expected = static_cast<double>((droppedBetween + 1) * kPeriod);
    EXPECT_NEAR(gap, expected, static_cast<double>(kPeriod))
        << "buffer " << i << ", " << droppedBetween << " dropped before it";
  }

  // The QoS message of the first buffer after the stall: the buffers pushed and the drops so far.
  bool found = false;
  for (const MessagePtr& message : gsttest::QueuedMessages(h.bus.get(), GST_MESSAGE_QOS)) {
    GstFormat format = GST_FORMAT_UNDEFINED;
    guint64 processed = 0, dropped = 0;
    gst_message_parse_qos_stats(message.get(), &format, &processed, &dropped);
    if (processed != seen[kStallAt].offset + 1) continue;
    found = true;
    EXPECT_EQ(format, GST_FORMAT_BUFFERS);
    EXPECT_EQ(dropped, seen[kStallAt].dropped);
  }
  EXPECT_TRUE(found) << "no QoS message for the buffer after the stall";
}

}  // namespace
