// quarnsrc_cycle_test.cpp - quarnsrc taken from NULL to PLAYING and back many times, frames pulled
// in each cycle: the card, the snap, the ring's claim and mapping, the callback's hand-over and the
// streaming thread must be set up and torn down cleanly every time (AddressSanitizer and
// LeakSanitizer judge the memory, ThreadSanitizer the hand-over between the library's thread and
// the streaming thread). scripts/gst_soak.sh runs it with QUARN_GST_CYCLES=1000.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>

#include "gst_test_support.h"

namespace {

using gsttest::BusPtr;
using gsttest::ElementPtr;
using gsttest::MessagePtr;

// Counts the buffers leaving the source; the test waits for a number of them.
struct BufferCounter {
  std::mutex mutex;  // guards count
  std::condition_variable arrived;
  int count = 0;

  static GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo*, gpointer data) {
    auto* self = static_cast<BufferCounter*>(data);
    {
      std::lock_guard lock(self->mutex);
      ++self->count;
    }
    self->arrived.notify_all();
    return GST_PAD_PROBE_OK;
  }

  // Waits for `count` buffers in all; the bound only keeps a broken element from hanging the run.
  bool WaitFor(int wanted) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(30), [&] { return count >= wanted; });
  }
};

int Cycles() {
  const char* text = std::getenv("QUARN_GST_CYCLES");
  const int cycles = text != nullptr ? std::atoi(text) : 0;
  return cycles > 0 ? cycles : 30;
}

// A fault this catches: a ring, claim or mapping left behind by stop (the next start finds static
// memory taken, or leaks), a callback still running into a freed hand-over, a streaming thread
// left waiting in Take.
TEST(CycleTest, NullPlayingNullCyclesWithFramesInEach) {
  const char* const formats[] = {"BGRx", "YUY2", "GRAY8", "BGR", "RGB16"};
  GError* error = nullptr;
  const ElementPtr pipeline(
      gst_parse_launch("quarnsrc name=src ! capsfilter name=filter ! fakesink sync=false", &error));
  ASSERT_EQ(error, nullptr);
  const ElementPtr source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
  const ElementPtr filter(gst_bin_get_by_name(GST_BIN(pipeline.get()), "filter"));
  const BusPtr bus(gst_element_get_bus(pipeline.get()));
  BufferCounter counter;
  GstPad* pad = gst_element_get_static_pad(source.get(), "src");
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, BufferCounter::OnBuffer, &counter, nullptr);
  gst_object_unref(pad);

  const int cycles = Cycles();
  int done = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    // Another format and ring size each time: the ring's size changes with them.
    const std::string caps =
        std::string("video/x-raw,format=") + formats[cycle % std::size(formats)];
    gst_util_set_object_arg(G_OBJECT(filter.get()), "caps", caps.c_str());
    g_object_set(source.get(), "ring-frames", 2 + cycle % 7, nullptr);
    int before = 0;
    {
      std::lock_guard lock(counter.mutex);
      before = counter.count;
    }
    ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE)
        << "cycle " << cycle;
    ASSERT_TRUE(counter.WaitFor(before + 3)) << "no frames in cycle " << cycle;
    ASSERT_EQ(gst_element_set_state(pipeline.get(), GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS)
        << "cycle " << cycle;
    const MessagePtr failure = gsttest::WaitForMessage(
        bus.get(), static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_WARNING), 0);
    ASSERT_FALSE(failure) << "cycle " << cycle << ": " << GST_MESSAGE_TYPE_NAME(failure.get());
    ++done;
  }
  std::cout << "quarnsrc cycles: " << done << " of " << cycles << ", " << counter.count
            << " frames\n";
}

}  // namespace
