// quarnsrc_control_test.cpp - quarnsrc's controls while it plays: the colour balance reaches the
// card (the frames change as an element started at that value shows them), a value the card
// refuses is reported and not shown as taken, and the signal property follows the input.
#include <gst/gst.h>
#include <gst/video/colorbalance.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "QuarnVideo.h"
#include "gst_test_support.h"

namespace {

using gsttest::BufferPtr;
using gsttest::MessagePtr;
using gsttest::NotifyCounter;
using gsttest::ScopedEnv;
using gsttest::SourceHarness;

constexpr int kWidth = 768, kHeight = 576, kBytesPerPixel = 4;  // PAL frames in BGRx
const char* const kCaps = "video/x-raw,format=BGRx";

// The rows of the picture that show only the colour bars, below the moving box and above the
// card's label: the same in every frame for the same settings.
std::vector<uint8_t> BarRows(GstBuffer* buffer) {
  const size_t stride = static_cast<size_t>(kWidth) * kBytesPerPixel;
  const size_t first = kHeight * 32 / 100, last = kHeight * 50 / 100;
  std::vector<uint8_t> rows((last - first) * stride);
  gst_buffer_extract(buffer, first * stride, rows.data(), rows.size());
  return rows;
}

GstColorBalanceChannel* Channel(GstElement* element, const char* label) {
  for (const GList* item = gst_color_balance_list_channels(GST_COLOR_BALANCE(element));
       item != nullptr; item = item->next) {
    auto* channel = static_cast<GstColorBalanceChannel*>(item->data);
    if (g_strcmp0(channel->label, label) == 0) return channel;
  }
  return nullptr;
}

struct ValueChanged {
  std::string label;
  int value = -1;
  int count = 0;
};

void OnValueChanged(GstColorBalance*, GstColorBalanceChannel* channel, gint value, gpointer data) {
  auto* seen = static_cast<ValueChanged*>(data);
  seen->label = channel->label;
  seen->value = value;
  ++seen->count;
}

// The bars as an element started at `brightness` delivers them.
std::vector<uint8_t> ReferenceBars(guint brightness) {
  SourceHarness h("brightness=" + std::to_string(brightness), kCaps);
  h.Play();
  const BufferPtr buffer = h.Pull();
  return buffer ? BarRows(buffer.get()) : std::vector<uint8_t>{};
}

TEST(ColorBalanceTest, ChangeWhilePlayingGivesTheFramesOfAnElementStartedAtThatValue) {
  const std::vector<uint8_t> reference = ReferenceBars(200);
  ASSERT_FALSE(reference.empty());

  SourceHarness h("", kCaps);
  h.Play();
  BufferPtr before = h.Pull();
  ASSERT_TRUE(before);
  ASSERT_NE(BarRows(before.get()), reference) << "brightness 200 must show";

  GstColorBalanceChannel* brightness = Channel(h.source.get(), "BRIGHTNESS");
  ASSERT_NE(brightness, nullptr);
  ValueChanged changed;
  g_signal_connect(h.source.get(), "value-changed", G_CALLBACK(OnValueChanged), &changed);
  const NotifyCounter notified(h.source.get(), "brightness");
  gst_color_balance_set_value(GST_COLOR_BALANCE(h.source.get()), brightness, 200);

  EXPECT_EQ(gst_color_balance_get_value(GST_COLOR_BALANCE(h.source.get()), brightness), 200);
  guint property = 0;
  g_object_get(h.source.get(), "brightness", &property, nullptr);
  EXPECT_EQ(property, 200u);
  EXPECT_EQ(notified.count(), 1);
  EXPECT_EQ(changed.count, 1);
  EXPECT_EQ(changed.label, "BRIGHTNESS");
  EXPECT_EQ(changed.value, 200);

  // Frames stored before the change may still be on their way: at most 2 in the test's queue, 1
  // on the streaming thread, 3 in the ring's queue and 1 being stored. The card applies the value
  // from its next frame on, and every frame after that one shows it.
  int firstMatch = -1;
  constexpr int kOnTheWay = 7, kFrames = 16;
  for (int i = 0; i < kFrames; ++i) {
    const BufferPtr buffer = h.Pull();
    ASSERT_TRUE(buffer);
    const bool same = BarRows(buffer.get()) == reference;
    if (same && firstMatch < 0) firstMatch = i;
    if (firstMatch >= 0) {
      EXPECT_TRUE(same) << "frame " << i << " after the change";
    }
  }
  EXPECT_GE(firstMatch, 0) << "no frame showed brightness 200";
  EXPECT_LE(firstMatch, kOnTheWay);
  g_signal_handlers_disconnect_by_data(h.source.get(), &changed);
}

// The card turns the value down: a warning with the library's text, and the value shown (the
// property, the channel) stays the one the card keeps; the notification lets a view resync.
TEST(ColorBalanceTest, RefusedValueIsPostedAsWarningAndTheOldValueStays) {
  const ScopedEnv fail("QUARN_SIM_FAIL", "QuarnAdjustVideo=-2");
  SourceHarness h("", kCaps);
  h.Play();
  ASSERT_TRUE(h.Pull());
  gsttest::QueuedMessages(h.bus.get(), GST_MESSAGE_WARNING);  // those of the start
  guint initial = 0;
  g_object_get(h.source.get(), "brightness", &initial, nullptr);

  GstColorBalanceChannel* brightness = Channel(h.source.get(), "BRIGHTNESS");
  ASSERT_NE(brightness, nullptr);
  const NotifyCounter notified(h.source.get(), "brightness");
  gst_color_balance_set_value(GST_COLOR_BALANCE(h.source.get()), brightness, 17);

  const MessagePtr warning = gsttest::WaitForMessage(h.bus.get(), GST_MESSAGE_WARNING, 5);
  ASSERT_TRUE(warning);
  GError* error = nullptr;
  gst_message_parse_warning(warning.get(), &error, nullptr);
  ASSERT_NE(error, nullptr);
  const GstStructure* details = nullptr;
  gst_message_parse_warning_details(warning.get(), &details);
  int status = 0;
  EXPECT_TRUE(details != nullptr && gst_structure_get_int(details, "quarn-status", &status));
  EXPECT_EQ(status, QUARN_ERR_BAD_PARAMETER);
  EXPECT_NE(std::string(error->message).find(gsttest::LibraryStatusText(QUARN_ERR_BAD_PARAMETER)),
            std::string::npos)
      << error->message;
  g_error_free(error);
  guint property = 0;
  g_object_get(h.source.get(), "brightness", &property, nullptr);
  EXPECT_EQ(property, initial);
  EXPECT_EQ(gst_color_balance_get_value(GST_COLOR_BALANCE(h.source.get()), brightness),
            static_cast<gint>(initial));
  EXPECT_GE(notified.count(), 1);
}

// Only Video 1 carries a signal. The element asks the card every 250 ms of running time, so the
// frames need the system clock.
TEST(SignalTest, SwitchingToAnInputWithoutSignalClearsSignalAndNotifies) {
  const ScopedEnv signals("QUARN_SIM_SIGNALS", "0");
  const ScopedEnv pacing("QUARN_SIM_PACING", "1");  // 250 frames last 10 s
  SourceHarness h("source=video-1", kCaps, /*systemClock=*/true);
  h.Play();
  ASSERT_TRUE(h.Pull());
  gboolean signal = FALSE;
  g_object_get(h.source.get(), "signal", &signal, nullptr);
  EXPECT_TRUE(signal);

  const NotifyCounter notified(h.source.get(), "signal");
  g_object_set(h.source.get(), "source", 1, nullptr);  // video-2
  // The element asks while it delivers frames: pull them until it noticed (10 s at most).
  for (int i = 0; i < 250 && notified.count() == 0; ++i) ASSERT_TRUE(h.Pull());
  EXPECT_GE(notified.count(), 1) << "notify::signal never came";
  g_object_get(h.source.get(), "signal", &signal, nullptr);
  EXPECT_FALSE(signal);
}

}  // namespace
