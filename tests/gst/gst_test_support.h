// gst_test_support.h - what the quarnsrc tests share: owning handles for GStreamer objects, a
// harness around a launch line with a bus, the simulator's settings per test, and waiting for
// bus messages and property notifications.
#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace gsttest {

struct ObjectUnref {
  void operator()(gpointer object) const { gst_object_unref(object); }
};
struct HarnessTeardown {
  void operator()(GstHarness* harness) const { gst_harness_teardown(harness); }
};
struct BufferUnref {
  void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
};
struct MessageUnref {
  void operator()(GstMessage* message) const { gst_message_unref(message); }
};
struct CapsUnref {
  void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
struct StructureFree {
  void operator()(GstStructure* structure) const { gst_structure_free(structure); }
};

using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, ObjectUnref>;
using HarnessPtr = std::unique_ptr<GstHarness, HarnessTeardown>;
using BufferPtr = std::unique_ptr<GstBuffer, BufferUnref>;
using MessagePtr = std::unique_ptr<GstMessage, MessageUnref>;
using CapsPtr = std::unique_ptr<GstCaps, CapsUnref>;
using StructurePtr = std::unique_ptr<GstStructure, StructureFree>;

// Sets an environment variable for a scope and restores the old value (the simulator reads its
// settings when the process opens its first card, so a test sets them before starting).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A GstHarness around "quarnsrc name=src PROPS ! capsfilter caps=CAPS" whose bin posts on `bus`.
// The harness's own GstTestClock stands still unless `systemClock` is set.
//
// The buffers are taken over on the streaming thread as the source pushes them: a deep copy goes
// into a queue of `capacity` buffers guarded by a std::mutex, and the streaming thread waits while
// it is full, as behind a slow sink. The harness's own queue hands buffers over through GLib's
// futex-based locks, which ThreadSanitizer cannot see, and would return the element's pool buffers
// to it from the test's thread; this way every byte the test reads was handed over visibly.
class SourceHarness {
 public:
  SourceHarness(const std::string& properties, const std::string& caps, bool systemClock = false,
                size_t capacity = 2);
  ~SourceHarness();
  SourceHarness(const SourceHarness&) = delete;
  SourceHarness& operator=(const SourceHarness&) = delete;

  HarnessPtr harness;
  ElementPtr source;  // the quarnsrc inside the harness's bin
  BusPtr bus;

  // Called on the streaming thread with each buffer before it is queued (set before Play).
  std::function<void(GstBuffer*)> onBuffer;

  void Play();
  // The next buffer the source pushed; null when none came within 30 s (the test fails).
  BufferPtr Pull();
  // The caps the source negotiated.
  CapsPtr NegotiatedCaps();

 private:
  static GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer self);

  std::mutex mutex_;  // guards queue_ and closing_
  std::condition_variable changed_;
  std::deque<GstBuffer*> queue_;  // owned
  bool closing_ = false;
  const size_t capacity_;
};

// The next message of one of `types` within `seconds`; null when none came.
MessagePtr WaitForMessage(GstBus* bus, GstMessageType types, double seconds);
// Every message already queued on the bus of one of `types`; the others queued are discarded.
std::vector<MessagePtr> QueuedMessages(GstBus* bus, GstMessageType types);

// A structure-valued property (stats) read as one uint64 field.
guint64 StatsField(GstElement* source, const char* field);

// Counts a property's notify:: signals (from any thread) and lets a test wait for one. The count
// lives as long as GLib holds the handler, which may run on the streaming thread while the test
// disconnects it.
class NotifyCounter {
 public:
  NotifyCounter(GstElement* element, const char* property);
  ~NotifyCounter();
  NotifyCounter(const NotifyCounter&) = delete;
  NotifyCounter& operator=(const NotifyCounter&) = delete;

  int count() const;

 private:
  struct Count {
    std::mutex mutex;  // guards value
    int value = 0;
  };
  static void OnNotify(GObject*, GParamSpec*, gpointer count);
  GstElement* element_;
  gulong handler_ = 0;
  std::shared_ptr<Count> count_ = std::make_shared<Count>();
};

// The library's status text for `status`, as the element puts it into its messages.
std::string LibraryStatusText(int status);

}  // namespace gsttest
