// gstquarnsrc.cpp - the quarnsrc element: one card as a live source.
//
// Threads: the application's (properties, state changes), the streaming thread (negotiation, the
// ring, fill) and the library's snap thread (the callback, which only hands the slot over). The
// card object and the element's settings are guarded by one mutex; the ring is changed only by
// the streaming thread, or by stop after the streaming thread has ended; the callback touches only
// the hand-over, through the card's snap context, which stop detaches.
// The card layer's headers come first: the framework's gdi_types.h names TRUE and FALSE as
// constants, which GLib's macros of the same names would otherwise turn into numbers.
#include "QuarnVidEx.h"
#include "QuarnVideo.h"
#include "card_helpers.h"
#include "static_claims.h"
#include "static_frames.h"
#include "video_card.h"
#include "video_parameter_set.h"
// clang-format off
#include "gstquarnsrc.h"
// clang-format on

#include <gst/video/colorbalance.h>
#include <gst/video/video.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame_handover.h"
#include "quarn_caps.h"

GST_DEBUG_CATEGORY_STATIC(gst_quarn_src_debug);
#define GST_CAT_DEFAULT gst_quarn_src_debug

namespace {

enum Property : guint {
  PROP_0,
  PROP_CARD,
  PROP_SOURCE,
  PROP_STANDARD,
  PROP_SCAN_MODE,
  PROP_INTERLINE,
  PROP_CRYSTAL,
  PROP_MIRROR,
  PROP_CHROMA_TRAP,
  PROP_BRIGHTNESS,
  PROP_CONTRAST,
  PROP_HUE,
  PROP_SATURATION,
  PROP_PLL,
  PROP_X_DELAY,
  PROP_Y_DELAY,
  PROP_RING_FRAMES,
  PROP_CARD_TYPE,
  PROP_SIGNAL,
  PROP_STATS,
  N_PROPERTIES
};

std::array<GParamSpec*, N_PROPERTIES> g_properties{};

constexpr guint kDefaultRingFrames = 4;
// How often the streaming thread asks the card whether its input carries a signal.
constexpr GstClockTime kSignalPollInterval = 250 * GST_MSECOND;
// The frames the measured rate is taken over.
constexpr size_t kRateWindow = 25;

// The mirror flags: the directions the picture is mirrored in.
enum MirrorFlags : guint {
  kMirrorNone = 0,
  kMirrorHorizontalFlag = 1 << 0,
  kMirrorVerticalFlag = 1 << 1,
};

// What the properties say; the card's record while the card is open.
struct Settings {
  guint card = 1;
  VideoParameterSet params;
  // The source property was set: no input is searched for a signal at start.
  bool sourceChosen = false;
  bool interline = true;
  guint ringFrames = kDefaultRingFrames;
};

// The running ring: the claimed range of static memory, mapped for the copies.
struct Ring {
  std::unique_ptr<CClaim> claim;
  std::unique_ptr<StaticMemLock> mapping;
  uint64_t offset = 0;
  uint64_t frameBytes = 0;
  uint32_t slotCount = 0;
  int format = -1;
  QuarnFrameShape shape;
  bool running = false;
};

// A warning to post once the state mutex is released (posting may call back into the element).
struct Refusal {
  std::string what;
  int status = QUARN_OK;
};

}  // namespace

// The element's C++ side, owned by the GObject instance.
struct QuarnSrcState {
  explicit QuarnSrcState(GstElement* owner) : element(owner) {}

  GstElement* const element;  // the instance this belongs to (not owned)

  // Guards settings, card, cardType and signal.
  std::mutex mutex;
  Settings settings;
  std::unique_ptr<CVideoCard> card;
  int cardType = -1;
  bool signal = false;

  // Streaming thread (and stop, after it has ended).
  Ring ring;
  bool negotiated = false;
  GstClockTime period = 0;  // one frame at the negotiated rate
  // What the latency query answers (any thread); 0 until negotiated.
  std::atomic<GstClockTime> minLatency{0};
  std::atomic<GstClockTime> maxLatency{0};
  GstClockTime lastPts = GST_CLOCK_TIME_NONE;
  GstClockTime lastSignalPoll = GST_CLOCK_TIME_NONE;
  uint64_t droppedReported = 0;

  // The callback's only contact with the element.
  CFrameHandOver handOver{kDefaultRingFrames};

  // What the stats property reads; written by the streaming thread.
  mutable std::mutex statsMutex;
  uint64_t pushed = 0;
  std::deque<GstClockTime> recent;  // the last frames' timestamps
};

struct _GstQuarnSrc {
  GstPushSrc parent;
  std::unique_ptr<QuarnSrcState> state;  // constructed in init, destroyed in finalize
  GList* channels;                       // the colour-balance channels, owned
};

namespace {

void ColorBalanceInit(GstColorBalanceInterface* iface);

}  // namespace

G_DEFINE_TYPE_WITH_CODE(GstQuarnSrc, gst_quarn_src, GST_TYPE_PUSH_SRC,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_COLOR_BALANCE, ColorBalanceInit)
                            GST_DEBUG_CATEGORY_INIT(gst_quarn_src_debug, "quarnsrc", 0,
                                                    "Quarn capture card source"))

// ---- Property types ----------------------------------------------------------------------------

GType gst_quarn_source_get_type(void) {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    static const GEnumValue values[] = {
        {0, "Video 1", "video-1"},     {1, "Video 2", "video-2"},     {2, "Video 3", "video-3"},
        {3, "Video 4", "video-4"},     {4, "Video 5", "video-5"},     {5, "Video 6", "video-6"},
        {6, "S-Video 1", "s-video-1"}, {7, "S-Video 2", "s-video-2"}, {8, "S-Video 3", "s-video-3"},
        {9, "YCbCr1", "ycbcr1"},       {10, "YCbCr2", "ycbcr2"},      {0, nullptr, nullptr}};
    g_once_init_leave(&type, g_enum_register_static("GstQuarnSource", values));
  }
  return type;
}

GType gst_quarn_standard_get_type(void) {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    static const GEnumValue values[] = {{QUARN_STANDARD_PAL, "PAL", "pal"},
                                        {QUARN_STANDARD_NTSC, "NTSC", "ntsc"},
                                        {0, nullptr, nullptr}};
    g_once_init_leave(&type, g_enum_register_static("GstQuarnStandard", values));
  }
  return type;
}

GType gst_quarn_scan_mode_get_type(void) {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    static const GEnumValue values[] = {{QUARN_SCAN_FRAME, "Frame", "frame"},
                                        {QUARN_SCAN_FIELD, "Field", "field"},
                                        {QUARN_SCAN_FIELD1, "Field1", "field1"},
                                        {0, nullptr, nullptr}};
    g_once_init_leave(&type, g_enum_register_static("GstQuarnScanMode", values));
  }
  return type;
}

GType gst_quarn_crystal_get_type(void) {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    static const GEnumValue values[] = {{QUARN_CRYSTAL_35M, "35M", "35m"},
                                        {QUARN_CRYSTAL_28M, "28M", "28m"},
                                        {0, nullptr, nullptr}};
    g_once_init_leave(&type, g_enum_register_static("GstQuarnCrystal", values));
  }
  return type;
}

GType gst_quarn_mirror_get_type(void) {
  static GType type = 0;
  if (g_once_init_enter(&type)) {
    static const GFlagsValue values[] = {{kMirrorHorizontalFlag, "Horizontal", "horizontal"},
                                         {kMirrorVerticalFlag, "Vertical", "vertical"},
                                         {0, nullptr, nullptr}};
    g_once_init_leave(&type, g_flags_register_static("GstQuarnMirror", values));
  }
  return type;
}

namespace {

QuarnSrcState& StateOf(GstQuarnSrc* self) {
  return *self->state;
}

GstQuarnSrc* Self(gpointer object) {
  return GST_QUARN_SRC(object);
}

// The pipeline clock's running time now; GST_CLOCK_TIME_NONE without a clock. Any thread.
GstClockTime RunningTimeNow(GstElement* element) {
  GstClock* clock = gst_element_get_clock(element);
  if (clock == nullptr) return GST_CLOCK_TIME_NONE;
  const GstClockTime now = gst_clock_get_time(clock);
  gst_object_unref(clock);
  const GstClockTime base = gst_element_get_base_time(element);
  return now > base ? now - base : 0;
}

// The library's snap thread: hands the slot over, nothing more.
int SnapCallback(QuarnSnapInfo* info) {
  static_cast<CSnapContext*>(info->context)->VisitAs<QuarnSrcState>([info](QuarnSrcState& state) {
    state.handOver.Deliver({info->slot, info->frameNumber, RunningTimeNow(state.element)});
  });
  return 1;
}

// The programs' label of a value, or the number when the value has none.
template <size_t N>
std::string LabelOf(const std::array<std::string_view, N>& labels, int value) {
  return value >= 0 && static_cast<size_t>(value) < N
             ? std::string(labels[static_cast<size_t>(value)])
             : std::to_string(value);
}

guint MirrorFlagsOf(const VideoParameterSet& params) {
  return (params.mirrorHorizontal != 0 ? kMirrorHorizontalFlag : 0u) |
         (params.mirrorVertical != 0 ? kMirrorVerticalFlag : 0u);
}

// Posts the refusals as warnings: the library's status text, and what was refused; the status in
// the details ("quarn-status"), as the errors carry it.
void PostRefusals(GstQuarnSrc* self, const std::vector<Refusal>& refusals) {
  for (const Refusal& refusal : refusals) {
    const std::string text = StatusText(refusal.status);
    GST_ELEMENT_WARNING_WITH_DETAILS(
        self, RESOURCE, SETTINGS, ("The card refused %s: %s", refusal.what.c_str(), text.c_str()),
        ("status %d", refusal.status), ("quarn-status", G_TYPE_INT, refusal.status, nullptr));
  }
}

// The value a property shows: the card's record (the settings follow it).
void ReadProperty(const Settings& settings, guint id, GValue* value, GParamSpec* pspec,
                  GObject* object) {
  const VideoParameterSet& p = settings.params;
  switch (id) {
    case PROP_CARD:
      g_value_set_uint(value, settings.card);
      break;
    case PROP_SOURCE:
      g_value_set_enum(value, std::max(0, SourceToIndex(p.sourceType, p.sourceNumber)));
      break;
    case PROP_STANDARD:
      g_value_set_enum(value, p.standard);
      break;
    case PROP_SCAN_MODE:
      g_value_set_enum(value, p.scanMode);
      break;
    case PROP_INTERLINE:
      g_value_set_boolean(value, settings.interline);
      break;
    case PROP_CRYSTAL:
      g_value_set_enum(value, p.crystal);
      break;
    case PROP_MIRROR:
      g_value_set_flags(value, MirrorFlagsOf(p));
      break;
    case PROP_CHROMA_TRAP:
      g_value_set_boolean(value, p.chromaTrap != 0);
      break;
    case PROP_BRIGHTNESS:
      g_value_set_uint(value, p.brightness);
      break;
    case PROP_CONTRAST:
      g_value_set_uint(value, p.contrast);
      break;
    case PROP_HUE:
      g_value_set_uint(value, p.hue);
      break;
    case PROP_SATURATION:
      g_value_set_uint(value, p.saturation);
      break;
    case PROP_PLL:
      g_value_set_uint(value, p.pll);
      break;
    case PROP_X_DELAY:
      g_value_set_int(value, p.xDelay);
      break;
    case PROP_Y_DELAY:
      g_value_set_int(value, p.yDelay);
      break;
    case PROP_RING_FRAMES:
      g_value_set_uint(value, settings.ringFrames);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
}

// Whether a property changes the frames' shape (the caps), so that the element renegotiates.
bool ShapesFrames(guint id) {
  return id == PROP_STANDARD || id == PROP_SCAN_MODE || id == PROP_INTERLINE;
}

// Sends one property's value to the open card through its setter, or keeps it in the settings
// while no card is open. The settings then follow the card's record, so a refused value stays as
// it was; the refusal is returned for the caller to report.
std::optional<Refusal> WriteProperty(QuarnSrcState& state, guint id, const GValue* value) {
  Settings& settings = state.settings;
  VideoParameterSet& p = settings.params;
  CVideoCard* card = state.card.get();
  int status = QUARN_OK;
  std::string what;
  switch (id) {
    case PROP_CARD:
      // The card is chosen when the element starts; a running element keeps its card.
      if (card == nullptr) settings.card = g_value_get_uint(value);
      return std::nullopt;
    case PROP_INTERLINE:
      settings.interline = g_value_get_boolean(value) != FALSE;
      return std::nullopt;
    case PROP_RING_FRAMES:
      settings.ringFrames = g_value_get_uint(value);
      return std::nullopt;
    case PROP_SOURCE: {
      const int index = g_value_get_enum(value);
      settings.sourceChosen = true;
      if (card == nullptr) {
        IndexToSource(index, p.sourceType, p.sourceNumber);
        return std::nullopt;
      }
      status = card->SetSourceFromIndex(index);
      what = "source " + LabelOf(kSourceLabels, index);
      break;
    }
    case PROP_STANDARD: {
      const int standard = g_value_get_enum(value);
      if (card == nullptr) {
        p.standard = standard;
        return std::nullopt;
      }
      status = card->SetVideoStandard(standard);
      what = "standard " + LabelOf(kStandardLabels, standard);
      break;
    }
    case PROP_SCAN_MODE: {
      const int scanMode = g_value_get_enum(value);
      if (card == nullptr) {
        p.scanMode = scanMode;
        return std::nullopt;
      }
      status = card->SetScanMode(scanMode);
      what = "scan mode " + LabelOf(kScanModeLabels, scanMode);
      break;
    }
    case PROP_CRYSTAL: {
      const int crystal = g_value_get_enum(value);
      if (card == nullptr) {
        p.crystal = crystal;
        return std::nullopt;
      }
      status = card->SetCrystal(crystal);
      what = "crystal " + LabelOf(kCrystalLabels, crystal);
      break;
    }
    case PROP_MIRROR: {
      const guint flags = g_value_get_flags(value);
      const int horizontal = (flags & kMirrorHorizontalFlag) != 0 ? 1 : 0;
      const int vertical = (flags & kMirrorVerticalFlag) != 0 ? 1 : 0;
      if (card == nullptr) {
        p.mirrorHorizontal = horizontal;
        p.mirrorVertical = vertical;
        return std::nullopt;
      }
      status = card->SetMirror(kMirrorHorizontal, horizontal);
      if (status == QUARN_OK || status == QUARN_ERR_NOT_APPLIED)
        status = card->SetMirror(kMirrorVertical, vertical);
      what = "mirror";
      break;
    }
    case PROP_CHROMA_TRAP: {
      const int on = g_value_get_boolean(value) != FALSE ? 1 : 0;
      if (card == nullptr) {
        p.chromaTrap = on;
        return std::nullopt;
      }
      status = card->SetChromaTrap(kLumaChromaTrap, on);
      what = "chroma trap";
      break;
    }
    case PROP_BRIGHTNESS:
    case PROP_CONTRAST:
    case PROP_HUE:
    case PROP_SATURATION:
    case PROP_PLL: {
      const auto byte = static_cast<uint8_t>(g_value_get_uint(value));
      if (card == nullptr) {
        uint8_t& field = id == PROP_BRIGHTNESS   ? p.brightness
                         : id == PROP_CONTRAST   ? p.contrast
                         : id == PROP_HUE        ? p.hue
                         : id == PROP_SATURATION ? p.saturation
                                                 : p.pll;
        field = byte;
        return std::nullopt;
      }
      status = id == PROP_BRIGHTNESS   ? card->SetBrightness(byte)
               : id == PROP_CONTRAST   ? card->SetContrast(byte)
               : id == PROP_HUE        ? card->SetHue(byte)
               : id == PROP_SATURATION ? card->SetSaturation(byte)
                                       : card->SetPllFrequency(byte);
      what = std::string(g_param_spec_get_name(g_properties[id])) + " " + std::to_string(byte);
      break;
    }
    case PROP_X_DELAY:
    case PROP_Y_DELAY: {
      const int delay = g_value_get_int(value);
      const int x = id == PROP_X_DELAY ? delay : p.xDelay;
      const int y = id == PROP_Y_DELAY ? delay : p.yDelay;
      if (card == nullptr) {
        p.xDelay = x;
        p.yDelay = y;
        return std::nullopt;
      }
      status = card->SetDelay(x, y);
      what = "delay " + std::to_string(x) + ", " + std::to_string(y);
      break;
    }
    default:
      return std::nullopt;
  }
  p = card->Params();
  if (status == QUARN_OK || status == QUARN_ERR_NOT_APPLIED) return std::nullopt;
  return Refusal{what, status};
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  GstQuarnSrc* self = Self(object);
  QuarnSrcState& state = StateOf(self);
  if (id == 0 || id >= PROP_CARD_TYPE) {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    return;
  }
  std::optional<Refusal> refusal;
  bool running = false;
  {
    std::lock_guard lock(state.mutex);
    refusal = WriteProperty(state, id, value);
    running = state.card != nullptr;
  }
  if (refusal) {
    PostRefusals(self, {*refusal});
    // The property is left as it was; tell whoever shows it.
    g_object_notify_by_pspec(object, pspec);
    return;
  }
  if (running && ShapesFrames(id)) gst_pad_mark_reconfigure(GST_BASE_SRC_PAD(self));
  // The colour-balance channels of the same values follow.
  for (GList* item = self->channels; item != nullptr; item = item->next) {
    auto* channel = static_cast<GstColorBalanceChannel*>(item->data);
    if (g_ascii_strcasecmp(channel->label, g_param_spec_get_name(pspec)) == 0) {
      gst_color_balance_value_changed(GST_COLOR_BALANCE(self), channel,
                                      static_cast<gint>(g_value_get_uint(value)));
    }
  }
}

GstStructure* StatsOf(const QuarnSrcState& state) {
  uint64_t pushed = 0;
  double rate = 0.0;
  {
    std::lock_guard lock(state.statsMutex);
    pushed = state.pushed;
    if (state.recent.size() >= 2 && state.recent.back() > state.recent.front()) {
      rate = static_cast<double>(state.recent.size() - 1) * static_cast<double>(GST_SECOND) /
             static_cast<double>(state.recent.back() - state.recent.front());
    }
  }
  return gst_structure_new("application/x-quarn-stats", "frames-delivered", G_TYPE_UINT64,
                           static_cast<guint64>(pushed), "frames-dropped", G_TYPE_UINT64,
                           static_cast<guint64>(state.handOver.Dropped()), "frames-captured",
                           G_TYPE_UINT64, static_cast<guint64>(state.handOver.Delivered()), "rate",
                           G_TYPE_DOUBLE, rate, nullptr);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  QuarnSrcState& state = StateOf(Self(object));
  if (id == PROP_STATS) {
    GstStructure* stats = StatsOf(state);
    g_value_take_boxed(value, stats);
    return;
  }
  std::lock_guard lock(state.mutex);
  if (id == PROP_CARD_TYPE) {
    g_value_set_int(value, state.cardType);
  } else if (id == PROP_SIGNAL) {
    g_value_set_boolean(value, state.signal ? TRUE : FALSE);
  } else {
    ReadProperty(state.settings, id, value, pspec, object);
  }
}

// ---- Colour balance ------------------------------------------------------------------------

struct ChannelProperty {
  const char* label;
  guint property;
};
constexpr std::array<ChannelProperty, 4> kChannels = {{{"BRIGHTNESS", PROP_BRIGHTNESS},
                                                       {"CONTRAST", PROP_CONTRAST},
                                                       {"HUE", PROP_HUE},
                                                       {"SATURATION", PROP_SATURATION}}};

std::optional<guint> PropertyOfChannel(const GstColorBalanceChannel* channel) {
  for (const ChannelProperty& entry : kChannels) {
    if (g_ascii_strcasecmp(channel->label, entry.label) == 0) return entry.property;
  }
  return std::nullopt;
}

const GList* ListChannels(GstColorBalance* balance) {
  return Self(balance)->channels;
}

void SetChannelValue(GstColorBalance* balance, GstColorBalanceChannel* channel, gint value) {
  const std::optional<guint> property = PropertyOfChannel(channel);
  if (!property) return;
  // Through the property, so both ways of setting a value report and notify alike.
  g_object_set(balance, g_param_spec_get_name(g_properties[*property]),
               static_cast<guint>(std::clamp(value, 0, 255)), nullptr);
}

gint GetChannelValue(GstColorBalance* balance, GstColorBalanceChannel* channel) {
  const std::optional<guint> property = PropertyOfChannel(channel);
  if (!property) return 0;
  guint value = 0;
  g_object_get(balance, g_param_spec_get_name(g_properties[*property]), &value, nullptr);
  return static_cast<gint>(value);
}

GstColorBalanceType BalanceType(GstColorBalance*) {
  return GST_COLOR_BALANCE_HARDWARE;
}

void ColorBalanceInit(GstColorBalanceInterface* iface) {
  iface->list_channels = ListChannels;
  iface->set_value = SetChannelValue;
  iface->get_value = GetChannelValue;
  iface->get_balance_type = BalanceType;
}

// ---- The card's life ------------------------------------------------------------------------

// Posts an element error with the library's text for `status`, and the status itself in the
// message's details ("quarn-status"), for applications that tell the failures apart.
void PostCardError(GstQuarnSrc* self, GstResourceError code, const std::string& what, int status) {
  const std::string text = StatusText(status);
  gst_element_message_full_with_details(
      GST_ELEMENT(self), GST_MESSAGE_ERROR, GST_RESOURCE_ERROR, code,
      g_strdup_printf("%s: %s", what.c_str(), text.c_str()), g_strdup_printf("status %d", status),
      __FILE__, GST_FUNCTION, __LINE__,
      gst_structure_new("details", "quarn-status", G_TYPE_INT, status, nullptr));
}

// Sends the values the properties asked for to the card that has just opened, each through its
// setter, and returns what the card refused: its record keeps the initial value of each (the card
// object starts from them), so a refused value is reported and never shown as in force. The
// input is chosen, or searched for a signal; the format and windows follow at negotiation.
std::vector<Refusal> SendSettings(CVideoCard& card, const Settings& settings) {
  const VideoParameterSet& asked = settings.params;
  std::vector<Refusal> refused;
  const auto send = [&refused](int status, std::string what) {
    if (status != QUARN_OK && status != QUARN_ERR_NOT_APPLIED)
      refused.push_back({std::move(what), status});
  };
  send(card.SetVideoStandard(asked.standard),
       "standard " + LabelOf(kStandardLabels, asked.standard));
  if (settings.sourceChosen) {
    const int index = SourceToIndex(asked.sourceType, asked.sourceNumber);
    send(card.SetSourceFromIndex(index), "source " + LabelOf(kSourceLabels, index));
  } else {
    card.DetectSource();
  }
  send(card.SetScanMode(asked.scanMode), "scan mode " + LabelOf(kScanModeLabels, asked.scanMode));
  send(card.SetCrystal(asked.crystal), "crystal " + LabelOf(kCrystalLabels, asked.crystal));
  send(card.SetBrightness(asked.brightness), "brightness " + std::to_string(asked.brightness));
  send(card.SetContrast(asked.contrast), "contrast " + std::to_string(asked.contrast));
  send(card.SetHue(asked.hue), "hue " + std::to_string(asked.hue));
  send(card.SetSaturation(asked.saturation), "saturation " + std::to_string(asked.saturation));
  send(card.SetPllFrequency(asked.pll), "pll " + std::to_string(asked.pll));
  send(card.EnableMask(0), "mask off");
  send(card.SetDelay(asked.xDelay, asked.yDelay),
       "delay " + std::to_string(asked.xDelay) + ", " + std::to_string(asked.yDelay));
  send(card.SetMirror(kMirrorHorizontal, asked.mirrorHorizontal), "horizontal mirror");
  send(card.SetMirror(kMirrorVertical, asked.mirrorVertical), "vertical mirror");
  send(card.SetChromaTrap(kLumaChromaTrap, asked.chromaTrap), "chroma trap");
  return refused;
}

gboolean Start(GstBaseSrc* base) {
  GstQuarnSrc* self = Self(base);
  QuarnSrcState& state = StateOf(self);
  std::vector<Refusal> refused;
  {
    std::lock_guard lock(state.mutex);
    Settings& settings = state.settings;
    const int cardNumber = static_cast<int>(settings.card);
    auto card = std::make_unique<CVideoCard>(cardNumber, kSingleCardPolicy);
    card->SetClaimOwner(self);
    if (const int status = card->Begin(); status != QUARN_OK) {
      // Another user of the card, no such card, or a card that would not open.
      const GstResourceError code = status == QUARN_ERR_BUSY ? GST_RESOURCE_ERROR_BUSY
                                    : status == QUARN_ERR_CARD_NUMBER || status == QUARN_ERR_NO_CARD
                                        ? GST_RESOURCE_ERROR_NOT_FOUND
                                        : GST_RESOURCE_ERROR_OPEN_READ;
      PostCardError(self, code, "Card " + std::to_string(cardNumber) + " could not be opened",
                    status);
      return FALSE;
    }
    refused = SendSettings(*card, settings);
    settings.params = card->Params();

    int pages = 0;
    if (const int status = CVideoCard::GetStaticMem(pages); status != QUARN_OK) {
      PostCardError(self, GST_RESOURCE_ERROR_NO_SPACE_LEFT,
                    "The static-memory reservation could not be read", status);
      card->Close();
      return FALSE;
    }
    if (const int status = card->OpenSnap(SnapCallback, &state); status != QUARN_OK) {
      PostCardError(self, GST_RESOURCE_ERROR_OPEN_READ,
                    "The snap of card " + std::to_string(cardNumber) + " could not be opened",
                    status);
      card->Close();
      return FALSE;
    }
    int type = -1;
    state.cardType = card->GetCardType(type) == QUARN_OK ? type : -1;
    bool present = false;
    state.signal = card->SignalPresent(present) == QUARN_OK && present;
    state.card = std::move(card);
  }
  state.negotiated = false;
  state.lastPts = GST_CLOCK_TIME_NONE;
  state.lastSignalPoll = GST_CLOCK_TIME_NONE;
  state.droppedReported = state.handOver.Dropped();
  {
    std::lock_guard lock(state.statsMutex);
    state.recent.clear();
  }
  PostRefusals(self, refused);
  g_object_notify_by_pspec(G_OBJECT(self), g_properties[PROP_CARD_TYPE]);
  g_object_notify_by_pspec(G_OBJECT(self), g_properties[PROP_SIGNAL]);
  return TRUE;
}

// Stops the running ring and lets go of its memory. Streaming thread, or stop.
// A stop that fails leaves the card filling the ring: the ring stays claimed and mapped then, so
// nobody else is given its memory, and the failure is returned.
int StopRing(QuarnSrcState& state) {
  if (state.ring.running && state.card) {
    if (const int status = state.card->StopSnap(); status != QUARN_OK) return status;
  }
  state.ring = Ring{};
  return QUARN_OK;
}

gboolean Stop(GstBaseSrc* base) {
  QuarnSrcState& state = StateOf(Self(base));
  std::lock_guard lock(state.mutex);
  if (state.card) {
    // Closing the snap returns once no callback runs; the context is cut off either way.
    state.card->CloseSnap();
    state.card->DetachSnapCallback();
  }
  state.ring = Ring{};
  if (state.card) state.card->Close();
  state.card.reset();
  state.cardType = -1;
  state.negotiated = false;
  state.minLatency = 0;
  return TRUE;
}

// ---- Negotiation ----------------------------------------------------------------------------

GstCaps* GetCaps(GstBaseSrc* base, GstCaps* filter) {
  QuarnSrcState& state = StateOf(Self(base));
  QuarnFrameShape shape;
  {
    std::lock_guard lock(state.mutex);
    shape = QuarnShapeOf(state.settings.params.standard, state.settings.params.scanMode,
                         state.settings.interline);
  }
  GstCaps* caps = QuarnCapsForShape(shape);
  if (filter == nullptr) return caps;
  GstCaps* result = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
  gst_caps_unref(caps);
  return result;
}

// Starts the ring for the negotiated frames: the format on the card, the windows at the whole
// picture, a range of static memory claimed (as high up as one is free), mapped, and the snap
// started over it. Streaming thread, with the state mutex held.
bool StartRing(GstQuarnSrc* self, QuarnSrcState& state, int format, const QuarnFrameShape& shape) {
  CVideoCard& card = *state.card;
  const int cardNumber = card.GetCardNumber();
  if (const int status = card.SetVideoFormat(format); status != QUARN_OK) {
    PostCardError(self, GST_RESOURCE_ERROR_SETTINGS,
                  "Card " + std::to_string(cardNumber) + " refused the video format", status);
    return false;
  }
  const ImageSize image = ImageSizeOf(card.GetVideoStandard());
  card.SetInputWindow(0, 0, image.width, image.height);
  if (const int status = card.SetOutputWindow(0, 0, image.width, image.height);
      status != QUARN_OK) {
    PostCardError(self, GST_RESOURCE_ERROR_SETTINGS,
                  "Card " + std::to_string(cardNumber) + " refused the picture size", status);
    return false;
  }
  state.settings.params = card.Params();

  Ring ring;
  ring.format = format;
  ring.shape = shape;
  ring.frameBytes = StoredFrameBytes(format, shape.width, shape.height);
  ring.slotCount = std::clamp<guint>(state.settings.ringFrames, 2, kMaxFrameCount);
  const uint64_t ringBytes = ring.frameBytes * ring.slotCount;
  int pages = 0;
  int status = CVideoCard::GetStaticMem(pages);
  if (status == QUARN_OK) {
    status = ClaimHighestFreeStaticMem(self, static_cast<uint64_t>(pages) * QUARN_PAGE_SIZE,
                                       ringBytes, QUARN_PAGE_SIZE, ring.claim);
  }
  if (status != QUARN_OK) {
    const std::string text = StatusText(status);
    GST_ELEMENT_ERROR_WITH_DETAILS(
        self, RESOURCE, NO_SPACE_LEFT,
        ("Static memory is too small for a ring of %u frames of %" G_GUINT64_FORMAT
         " bytes (%" G_GUINT64_FORMAT " bytes) beside what is already claimed in "
         "the reservation of %d pages: %s",
         ring.slotCount, static_cast<guint64>(ring.frameBytes), static_cast<guint64>(ringBytes),
         pages, text.c_str()),
        ("status %d", status), ("quarn-status", G_TYPE_INT, status, nullptr));
    return false;
  }
  ring.offset = ring.claim->Offset();
  ring.mapping = std::make_unique<StaticMemLock>(ring.offset, ringBytes);
  if (!ring.mapping->ok()) {
    PostCardError(self, GST_RESOURCE_ERROR_NO_SPACE_LEFT, "The ring could not be mapped",
                  ring.mapping->status());
    return false;
  }
  state.handOver.Restart(ring.slotCount);
  const int interline = state.settings.interline ? 1 : 0;
  status = card.StartSnap(ring.offset, interline, static_cast<uint16_t>(ring.slotCount));
  if (status != QUARN_OK) {
    PostCardError(self, GST_RESOURCE_ERROR_READ,
                  "The snap of card " + std::to_string(cardNumber) + " could not be started",
                  status);
    return false;
  }
  ring.running = true;
  state.ring = std::move(ring);
  GST_INFO_OBJECT(self, "ring of %u frames of %" G_GUINT64_FORMAT " bytes at %" G_GUINT64_FORMAT,
                  state.ring.slotCount, static_cast<guint64>(state.ring.frameBytes),
                  static_cast<guint64>(state.ring.offset));
  return true;
}

gboolean SetCaps(GstBaseSrc* base, GstCaps* caps) {
  GstQuarnSrc* self = Self(base);
  QuarnSrcState& state = StateOf(self);
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps)) return FALSE;
  const std::optional<int> format = QuarnFormatOfCaps(info);
  if (!format) return FALSE;
  std::lock_guard lock(state.mutex);
  if (!state.card) return FALSE;
  const QuarnFrameShape shape = QuarnShapeOf(state.card->GetVideoStandard(),
                                             state.card->GetScanMode(), state.settings.interline);
  if (GST_VIDEO_INFO_WIDTH(&info) != shape.width || GST_VIDEO_INFO_HEIGHT(&info) != shape.height)
    return FALSE;
  // Buffers are the stored frames as they lie in the ring: GStreamer's layout of the format must
  // be the same packed rows.
  if (GST_VIDEO_INFO_SIZE(&info) != StoredFrameBytes(*format, shape.width, shape.height))
    return FALSE;
  if (const int status = StopRing(state); status != QUARN_OK) {
    PostCardError(self, GST_RESOURCE_ERROR_FAILED,
                  "The snap of card " + std::to_string(state.card->GetCardNumber()) +
                      " could not be stopped to change its frames",
                  status);
    return FALSE;
  }
  state.negotiated = false;
  state.minLatency = 0;
  if (!StartRing(self, state, *format, shape)) {
    StopRing(state);
    return FALSE;
  }
  state.negotiated = true;
  // A frame is whole, and handed over, one frame period after its capture began; it may wait in
  // the ring until the library is about to write over it.
  const GstClockTime period = gst_util_uint64_scale_int(GST_SECOND, GST_VIDEO_INFO_FPS_D(&info),
                                                        GST_VIDEO_INFO_FPS_N(&info));
  state.period = period;
  state.minLatency = period;
  state.maxLatency = period * std::max<uint32_t>(state.ring.slotCount - 1, 1);
  return TRUE;
}

gboolean DecideAllocation(GstBaseSrc*, GstQuery* query) {
  GstCaps* caps = nullptr;
  gst_query_parse_allocation(query, &caps, nullptr);
  GstVideoInfo info;
  if (caps == nullptr || !gst_video_info_from_caps(&info, caps)) return FALSE;
  GstBufferPool* pool = nullptr;
  guint size = 0, min = 0, max = 0;
  const bool update = gst_query_get_n_allocation_pools(query) > 0;
  if (update) gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &min, &max);
  // A pool that gives buffers of another size would not take a frame: use our own then.
  if (pool == nullptr || size < GST_VIDEO_INFO_SIZE(&info)) {
    if (pool != nullptr) gst_object_unref(pool);
    pool = gst_video_buffer_pool_new();
    size = static_cast<guint>(GST_VIDEO_INFO_SIZE(&info));
  }
  // Enough buffers for a frame downstream, one being filled and one spare; the pool grows on
  // demand when downstream holds more.
  min = std::max<guint>(min, 3);
  GstStructure* config = gst_buffer_pool_get_config(pool);
  gst_buffer_pool_config_set_params(config, caps, size, min, max);
  if (gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr))
    gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
  if (!gst_buffer_pool_set_config(pool, config)) {
    // A downstream pool may change the configuration; take what it offers if it still fits.
    config = gst_buffer_pool_get_config(pool);
    if (!gst_buffer_pool_config_validate_params(config, caps, size, min, max) ||
        !gst_buffer_pool_set_config(pool, config)) {
      gst_object_unref(pool);
      return FALSE;
    }
  }
  if (update)
    gst_query_set_nth_allocation_pool(query, 0, pool, size, min, max);
  else
    gst_query_add_allocation_pool(query, pool, size, min, max);
  gst_object_unref(pool);
  return TRUE;
}

gboolean Query(GstBaseSrc* base, GstQuery* query) {
  QuarnSrcState& state = StateOf(Self(base));
  if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
    const GstClockTime minLatency = state.minLatency.load();
    if (minLatency == 0) return FALSE;
    gst_query_set_latency(query, TRUE, minLatency, state.maxLatency.load());
    return TRUE;
  }
  return GST_BASE_SRC_CLASS(gst_quarn_src_parent_class)->query(base, query);
}

gboolean Unlock(GstBaseSrc* base) {
  StateOf(Self(base)).handOver.SetFlushing(true);
  return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base) {
  StateOf(Self(base)).handOver.SetFlushing(false);
  return TRUE;
}

// ---- Frames ---------------------------------------------------------------------------------

// Asks the card now and then whether its input carries a signal, and notifies a change.
void PollSignal(GstQuarnSrc* self, QuarnSrcState& state, GstClockTime now) {
  if (GST_CLOCK_TIME_IS_VALID(state.lastSignalPoll) &&
      now < state.lastSignalPoll + kSignalPollInterval)
    return;
  state.lastSignalPoll = now;
  bool changed = false;
  {
    std::lock_guard lock(state.mutex);
    bool present = state.signal;
    if (state.card && state.card->SignalPresent(present) == QUARN_OK && present != state.signal) {
      state.signal = present;
      changed = true;
    }
  }
  if (changed) {
    GST_INFO_OBJECT(self, "signal %s", state.signal ? "found" : "lost");
    g_object_notify_by_pspec(G_OBJECT(self), g_properties[PROP_SIGNAL]);
  }
}

// This thread's CPU time in nanoseconds.
double ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

GstFlowReturn Fill(GstPushSrc* push, GstBuffer* buffer) {
  GstQuarnSrc* self = Self(push);
  QuarnSrcState& state = StateOf(self);
  if (!state.negotiated || !state.ring.running) return GST_FLOW_NOT_NEGOTIATED;
  const Ring& ring = state.ring;
  // With the category at TRACE, each frame's work is logged (the benchmark reads it): from the
  // slot in hand to the buffer ready, and the copy within it.
  const bool timing = gst_debug_category_get_threshold(GST_CAT_DEFAULT) >= GST_LEVEL_TRACE;
  double workStart = 0;
  double copyNs = 0;
  CFrameHandOver::Frame frame;
  for (;;) {
    if (!state.handOver.Take(frame)) return GST_FLOW_FLUSHING;
    if (timing) workStart = ThreadCpuNs();
    if (!SlotInRing(frame.slot, ring.slotCount)) continue;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) return GST_FLOW_ERROR;
    const size_t bytes = std::min<size_t>(map.size, ring.frameBytes);
    const double copyStart = timing ? ThreadCpuNs() : 0;
    std::memcpy(map.data,
                static_cast<const uint8_t*>(ring.mapping->address()) + ring.frameBytes * frame.slot,
                bytes);
    if (timing) copyNs = ThreadCpuNs() - copyStart;
    gst_buffer_unmap(buffer, &map);
    if (!state.handOver.Overwritten(frame)) break;
  }

  const GstClockTime period = state.period;
  GstClockTime pts = frame.captureTime;
  if (!GST_CLOCK_TIME_IS_VALID(pts)) pts = RunningTimeNow(GST_ELEMENT(self));
  if (!GST_CLOCK_TIME_IS_VALID(pts)) pts = 0;
  // Strictly increasing, even where the clock did not move between two frames.
  if (GST_CLOCK_TIME_IS_VALID(state.lastPts) && pts <= state.lastPts) pts = state.lastPts + 1;
  state.lastPts = pts;

  uint64_t pushed = 0;
  {
    std::lock_guard lock(state.statsMutex);
    pushed = state.pushed++;
    state.recent.push_back(pts);
    if (state.recent.size() > kRateWindow) state.recent.pop_front();
  }
  GST_BUFFER_PTS(buffer) = pts;
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = period;
  GST_BUFFER_OFFSET(buffer) = pushed;
  GST_BUFFER_OFFSET_END(buffer) = pushed + 1;
  if (ring.shape.interlaced) GST_BUFFER_FLAG_SET(buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED);

  const uint64_t dropped = state.handOver.Dropped();
  if (dropped > state.droppedReported) {
    GST_DEBUG_OBJECT(self, "%" G_GUINT64_FORMAT " frames dropped",
                     static_cast<guint64>(dropped - state.droppedReported));
    state.droppedReported = dropped;
    GstMessage* qos = gst_message_new_qos(GST_OBJECT(self), TRUE, pts, pts, pts, period);
    gst_message_set_qos_stats(qos, GST_FORMAT_BUFFERS, pushed + 1, dropped);
    gst_element_post_message(GST_ELEMENT(self), qos);
  }
  PollSignal(self, state, pts);
  if (timing) {
    GST_TRACE_OBJECT(self, "frame work %.0f ns, copy %.0f ns", ThreadCpuNs() - workStart, copyNs);
  }
  return GST_FLOW_OK;
}

// ---- Object ---------------------------------------------------------------------------------

// A live source's card goes on storing frames while the pipeline is paused; those are not wanted,
// so they are neither pushed on resuming (they would be late) nor counted as dropped.
GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  QuarnSrcState& state = StateOf(Self(element));
  if (transition == GST_STATE_CHANGE_PLAYING_TO_PAUSED) state.handOver.SetPaused(true);
  if (transition == GST_STATE_CHANGE_PAUSED_TO_PLAYING) state.handOver.SetPaused(false);
  return GST_ELEMENT_CLASS(gst_quarn_src_parent_class)->change_state(element, transition);
}

void Finalize(GObject* object) {
  GstQuarnSrc* self = Self(object);
  g_list_free_full(self->channels, g_object_unref);
  self->channels = nullptr;
  self->state.~unique_ptr<QuarnSrcState>();
  G_OBJECT_CLASS(gst_quarn_src_parent_class)->finalize(object);
}

GParamSpec* UintProperty(const char* name, const char* nick, const char* blurb, guint min,
                         guint max, guint initial) {
  return g_param_spec_uint(name, nick, blurb, min, max, initial,
                           static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                    GST_PARAM_MUTABLE_PLAYING));
}

}  // namespace

static void gst_quarn_src_class_init(GstQuarnSrcClass* klass) {
  GObjectClass* objectClass = G_OBJECT_CLASS(klass);
  GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
  GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
  GstPushSrcClass* pushClass = GST_PUSH_SRC_CLASS(klass);

  objectClass->set_property = SetProperty;
  objectClass->get_property = GetProperty;
  objectClass->finalize = Finalize;

  const VideoParameterSet initial;
  const auto rw = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                           GST_PARAM_MUTABLE_PLAYING);
  const auto ro = static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS);
  g_properties[PROP_CARD] = g_param_spec_uint(
      "card", "Card", "The card to capture from, numbered from 1 as the programs number them", 1,
      1024, 1,
      static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                               GST_PARAM_MUTABLE_READY));
  g_properties[PROP_SOURCE] = g_param_spec_enum(
      "source", "Source",
      "The card's input; unless set, the first input with a signal is chosen at start",
      GST_TYPE_QUARN_SOURCE, 0, rw);
  g_properties[PROP_STANDARD] = g_param_spec_enum("standard", "Video standard",
                                                  "PAL (768 x 576, 25/s) or NTSC (640 x 480, 30/s)",
                                                  GST_TYPE_QUARN_STANDARD, initial.standard, rw);
  g_properties[PROP_SCAN_MODE] = g_param_spec_enum(
      "scan-mode", "Scan mode", "Frame (both fields) or one field (Field, Field1)",
      GST_TYPE_QUARN_SCAN_MODE, initial.scanMode, rw);
  g_properties[PROP_INTERLINE] = g_param_spec_boolean(
      "interline", "Interline",
      "In the frame scan mode, store both fields interleaved in a full-height frame; "
      "otherwise one field of half the height",
      TRUE, rw);
  g_properties[PROP_CRYSTAL] =
      g_param_spec_enum("crystal", "Crystal oscillator", "35M suits PAL, 28M suits NTSC",
                        GST_TYPE_QUARN_CRYSTAL, initial.crystal, rw);
  g_properties[PROP_MIRROR] =
      g_param_spec_flags("mirror", "Mirror", "The directions the picture is mirrored in",
                         GST_TYPE_QUARN_MIRROR, kMirrorNone, rw);
  g_properties[PROP_CHROMA_TRAP] = g_param_spec_boolean(
      "chroma-trap", "Chroma trap", "Chroma trap in the luma", initial.chromaTrap != 0, rw);
  g_properties[PROP_BRIGHTNESS] =
      UintProperty("brightness", "Brightness", "Brightness", 0, 255, initial.brightness);
  g_properties[PROP_CONTRAST] =
      UintProperty("contrast", "Contrast", "Contrast", 0, 255, initial.contrast);
  g_properties[PROP_HUE] = UintProperty("hue", "Hue", "Hue", 0, 255, initial.hue);
  g_properties[PROP_SATURATION] =
      UintProperty("saturation", "Saturation", "Saturation", 0, 255, initial.saturation);
  g_properties[PROP_PLL] =
      UintProperty("pll", "PLL frequency", "PLL frequency setting", 0, 255, initial.pll);
  g_properties[PROP_X_DELAY] = g_param_spec_int(
      "x-delay", "X delay", "Horizontal delay of the picture", -128, 128, initial.xDelay, rw);
  g_properties[PROP_Y_DELAY] = g_param_spec_int(
      "y-delay", "Y delay", "Vertical delay of the picture", -128, 128, initial.yDelay, rw);
  g_properties[PROP_RING_FRAMES] = g_param_spec_uint(
      "ring-frames", "Ring frames",
      "Frames in the ring of static memory the card fills; more frames let the pipeline fall "
      "further behind before a frame is dropped",
      2, 64, kDefaultRingFrames,
      static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                               GST_PARAM_MUTABLE_READY));
  g_properties[PROP_CARD_TYPE] =
      g_param_spec_int("card-type", "Card type", "The open card's type (-1 while no card is open)",
                       -1, G_MAXINT, -1, ro);
  g_properties[PROP_SIGNAL] = g_param_spec_boolean(
      "signal", "Signal", "Whether the card's input carries a signal (notified when it changes)",
      FALSE, ro);
  g_properties[PROP_STATS] = g_param_spec_boxed(
      "stats", "Statistics",
      "frames-delivered (pushed), frames-dropped (not taken in time), frames-captured (stored by "
      "the card) and rate (frames per second over the last second)",
      GST_TYPE_STRUCTURE, ro);
  g_object_class_install_properties(objectClass, N_PROPERTIES, g_properties.data());

  GstCaps* templateCaps = QuarnAllCaps();
  gst_element_class_add_pad_template(
      elementClass, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, templateCaps));
  gst_caps_unref(templateCaps);
  gst_element_class_set_static_metadata(
      elementClass, "Quarn capture card source", "Source/Video/Hardware",
      "Captures live video from a Quarn analog capture card (or the simulated cards)",
      "Quarn workbench developers");

  elementClass->change_state = ChangeState;
  baseClass->start = Start;
  baseClass->stop = Stop;
  baseClass->get_caps = GetCaps;
  baseClass->set_caps = SetCaps;
  baseClass->decide_allocation = DecideAllocation;
  baseClass->query = Query;
  baseClass->unlock = Unlock;
  baseClass->unlock_stop = UnlockStop;
  pushClass->fill = Fill;

  gst_type_mark_as_plugin_api(GST_TYPE_QUARN_SOURCE, static_cast<GstPluginAPIFlags>(0));
  gst_type_mark_as_plugin_api(GST_TYPE_QUARN_STANDARD, static_cast<GstPluginAPIFlags>(0));
  gst_type_mark_as_plugin_api(GST_TYPE_QUARN_SCAN_MODE, static_cast<GstPluginAPIFlags>(0));
  gst_type_mark_as_plugin_api(GST_TYPE_QUARN_CRYSTAL, static_cast<GstPluginAPIFlags>(0));
  gst_type_mark_as_plugin_api(GST_TYPE_QUARN_MIRROR, static_cast<GstPluginAPIFlags>(0));
}

static void gst_quarn_src_init(GstQuarnSrc* self) {
  new (&self->state)
      std::unique_ptr<QuarnSrcState>(std::make_unique<QuarnSrcState>(GST_ELEMENT(self)));
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
  gst_base_src_set_do_timestamp(GST_BASE_SRC(self), FALSE);
  for (const ChannelProperty& entry : kChannels) {
    auto* channel =
        static_cast<GstColorBalanceChannel*>(g_object_new(GST_TYPE_COLOR_BALANCE_CHANNEL, nullptr));
    channel->label = g_strdup(entry.label);
    channel->min_value = 0;
    channel->max_value = 255;
    self->channels = g_list_append(self->channels, channel);
  }
}
