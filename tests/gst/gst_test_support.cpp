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
                             bool systemClock, size_t capacity)
    : capacity_(capacity) {
  const std::string line =
      "quarnsrc name=src " + properties + " ! capsfilter caps=\"" + caps + "\"";
  harness.reset(gst_harness_new_parse(line.c_str()));
  if (systemClock) gst_harness_use_systemclock(harness.get());
  source.reset(gst_bin_get_by_name(GST_BIN(harness->element), "src"));
  bus.reset(gst_bus_new());
  gst_element_set_bus(harness->element, bus.get());
  GstPad* pad = gst_element_get_static_pad(source.get(), "src");
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, this, nullptr);
  gst_object_unref(pad);
}

SourceHarness::~SourceHarness() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  // The streaming thread ends before the element is stopped; then nothing queues any more.
  harness.reset();
  for (GstBuffer* buffer : queue_) gst_buffer_unref(buffer);
}

GstPadProbeReturn SourceHarness::OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer self) {
  auto* h = static_cast<SourceHarness*>(self);
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  if (h->onBuffer) h->onBuffer(buffer);
  GstBuffer* copy = gst_buffer_copy_deep(buffer);
  std::unique_lock lock(h->mutex_);
  h->changed_.wait(lock, [h] { return h->closing_ || h->queue_.size() < h->capacity_; });
  if (h->closing_) {
    gst_buffer_unref(copy);
  } else {
    h->queue_.push_back(copy);
    h->changed_.notify_all();
  }
  return GST_PAD_PROBE_DROP;
}

void SourceHarness::Play() {
  gst_harness_play(harness.get());
}

BufferPtr SourceHarness::Pull() {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::seconds(30), [this] { return !queue_.empty(); }))
    return nullptr;
  BufferPtr buffer(queue_.front());
  queue_.pop_front();
  changed_.notify_all();
  return buffer;
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
  handler_ = g_signal_connect_data(
      element, signal.c_str(), G_CALLBACK(OnNotify), new std::shared_ptr<Count>(count_),
      [](gpointer data, GClosure*) { delete static_cast<std::shared_ptr<Count>*>(data); },
      static_cast<GConnectFlags>(0));
}

NotifyCounter::~NotifyCounter() {
  g_signal_handler_disconnect(element_, handler_);
}

void NotifyCounter::OnNotify(GObject*, GParamSpec*, gpointer count) {
  Count& shared = **static_cast<std::shared_ptr<Count>*>(count);
  std::lock_guard lock(shared.mutex);
  ++shared.value;
}

int NotifyCounter::count() const {
  std::lock_guard lock(count_->mutex);
  return count_->value;
}

std::string LibraryStatusText(int status) {
  return QuarnGetErrorString(status);
}

}  // namespace gsttest
