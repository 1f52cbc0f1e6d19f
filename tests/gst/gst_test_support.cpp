// gst_test_support.cpp - the quarnsrc tests' shared helpers.
#include "gst_test_support.h"

#include <chrono>

#include "QuarnVideo.h"

namespace gsttest {

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

SourceHarness::SourceHarness(const std::string& properties, const std::string& caps,
                             bool systemClock) {
  const std::string line =
      "quarnsrc name=src " + properties + " ! capsfilter caps=\"" + caps + "\"";
  harness.reset(gst_harness_new_parse(line.c_str()));
  if (systemClock) gst_harness_use_systemclock(harness.get());
  source.reset(gst_bin_get_by_name(GST_BIN(harness->element), "src"));
  bus.reset(gst_bus_new());
  gst_element_set_bus(harness->element, bus.get());
}

void SourceHarness::Play() {
  gst_harness_play(harness.get());
}

BufferPtr SourceHarness::Pull() {
  return BufferPtr(gst_harness_pull(harness.get()));
}

CapsPtr SourceHarness::NegotiatedCaps() {
  GstPad* pad = gst_element_get_static_pad(source.get(), "src");
  GstCaps* caps = gst_pad_get_current_caps(pad);
  gst_object_unref(pad);
  return CapsPtr(caps);
}

MessagePtr WaitForMessage(GstBus* bus, GstMessageType types, double seconds) {
  return MessagePtr(gst_bus_timed_pop_filtered(
      bus, static_cast<GstClockTime>(seconds * static_cast<double>(GST_SECOND)), types));
}

std::vector<MessagePtr> QueuedMessages(GstBus* bus, GstMessageType types) {
  std::vector<MessagePtr> messages;
  while (GstMessage* message = gst_bus_pop_filtered(bus, types)) messages.emplace_back(message);
  return messages;
}

guint64 StatsField(GstElement* source, const char* field) {
  GstStructure* stats = nullptr;
  g_object_get(source, "stats", &stats, nullptr);
  const StructurePtr owned(stats);
  guint64 value = 0;
  if (stats != nullptr) gst_structure_get_uint64(stats, field, &value);
  return value;
}

NotifyCounter::NotifyCounter(GstElement* element, const char* property) : element_(element) {
  const std::string signal = std::string("notify::") + property;
  handler_ = g_signal_connect(element, signal.c_str(), G_CALLBACK(OnNotify), this);
}

NotifyCounter::~NotifyCounter() {
  g_signal_handler_disconnect(element_, handler_);
}

void NotifyCounter::OnNotify(GObject*, GParamSpec*, gpointer self) {
  auto* counter = static_cast<NotifyCounter*>(self);
  {
    std::lock_guard lock(counter->mutex_);
    ++counter->count_;
  }
  counter->changed_.notify_all();
}

int NotifyCounter::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

bool NotifyCounter::WaitFor(int count, double seconds) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                           [&] { return count_ >= count; });
}

std::string LibraryStatusText(int status) {
  return QuarnGetErrorString(status);
}

}  // namespace gsttest
