// gst_test_support.h - what the quarnsrc tests share: owning handles for GStreamer objects, a
// harness around a launch line with a bus, the simulator's settings per test, and waiting for
// bus messages and property notifications.
#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>

#include <condition_variable>
#include <cstdlib>
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
struct SourceHarness {
  SourceHarness(const std::string& properties, const std::string& caps, bool systemClock = false);

  HarnessPtr harness;
  ElementPtr source;  // the quarnsrc inside the harness's bin
  BusPtr bus;

  void Play();
  // The next buffer downstream; null when none came within the harness's wait (the test fails).
  BufferPtr Pull();
  // The caps the capsfilter passed on.
  CapsPtr NegotiatedCaps();
};

// The next message of one of `types` within `seconds`; null when none came.
MessagePtr WaitForMessage(GstBus* bus, GstMessageType types, double seconds);
// Every message already queued on the bus of one of `types`; the others queued are discarded.
std::vector<MessagePtr> QueuedMessages(GstBus* bus, GstMessageType types);

// A structure-valued property (stats) read as one uint64 field.
guint64 StatsField(GstElement* source, const char* field);

// Counts a property's notify:: signals and lets a test wait for one with a condition.
class NotifyCounter {
 public:
  NotifyCounter(GstElement* element, const char* property);
  ~NotifyCounter();
  NotifyCounter(const NotifyCounter&) = delete;
  NotifyCounter& operator=(const NotifyCounter&) = delete;

  int count() const;
  // Waits until at least `count` notifications came, or `seconds` passed; returns whether.
  bool WaitFor(int count, double seconds) const;

 private:
  static void OnNotify(GObject*, GParamSpec*, gpointer self);
  GstElement* element_;
  gulong handler_ = 0;
  // std:: rather than GLib's primitives: ThreadSanitizer sees pthread's, not GLib's futexes.
  mutable std::mutex mutex_;  // guards count_
  mutable std::condition_variable changed_;
  int count_ = 0;
};

// The library's status text for `status`, as the element puts it into its messages.
std::string LibraryStatusText(int status);

}  // namespace gsttest
