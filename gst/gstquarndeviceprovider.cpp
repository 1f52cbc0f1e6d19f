// gstquarndeviceprovider.cpp - the device provider: one GstQuarnDevice per installed card.
//
// The card layer's headers come first: the framework's gdi_types.h names TRUE and FALSE as
// constants, which GLib's macros of the same names would otherwise turn into numbers.
#include "QuarnVideo.h"
#include "video_card.h"
// clang-format off
#include "gstquarndeviceprovider.h"
// clang-format on

#include <string>

#include "quarn_caps.h"

GST_DEBUG_CATEGORY_STATIC(gst_quarn_device_provider_debug);
#define GST_CAT_DEFAULT gst_quarn_device_provider_debug

struct _GstQuarnDevice {
  GstDevice parent;
  guint card;
};

struct _GstQuarnDeviceProvider {
  GstDeviceProvider parent;
};

G_DEFINE_TYPE(GstQuarnDevice, gst_quarn_device, GST_TYPE_DEVICE)
G_DEFINE_TYPE(GstQuarnDeviceProvider, gst_quarn_device_provider, GST_TYPE_DEVICE_PROVIDER)

namespace {

// The highest card number quarnsrc accepts; a library that reports more cards is not believed.
constexpr int kMaxCards = 1024;

// What probing one card learnt about it.
struct CardFacts {
  bool inUse = false;
  int type = -1;  // -1 when the card could not be opened to ask
};

// Opens the card just long enough to ask its type, as the provider's own claim owner; the card
// object closes it again when it goes. A card another user holds (QUARN_ERR_BUSY) is in use.
CardFacts ProbeCard(GstQuarnDeviceProvider* provider, int cardNumber) {
  CardFacts facts;
  CVideoCard card(cardNumber, kSingleCardPolicy);
  card.SetClaimOwner(provider);
  const int status = card.Begin();
  if (status == QUARN_ERR_BUSY) {
    facts.inUse = true;
  } else if (status != QUARN_OK) {
    GST_WARNING_OBJECT(provider, "Card %d could not be opened: status %d", cardNumber, status);
  } else if (int type = -1; card.GetCardType(type) == QUARN_OK) {
    facts.type = type;
  }
  return facts;
}

std::string DisplayName(int cardNumber, const CardFacts& facts) {
  std::string name = "Quarn card " + std::to_string(cardNumber);
  if (facts.inUse) return name + " (in use)";
  if (facts.type >= 0) return name + " (type " + std::to_string(facts.type) + ")";
  return name;
}

GstDevice* NewDevice(int cardNumber, const CardFacts& facts) {
  GstCaps* caps = QuarnAllCaps();
  GstStructure* props = gst_structure_new("quarn-device", "device.api", G_TYPE_STRING, "quarn",
                                          "quarn.card", G_TYPE_INT, cardNumber, "quarn.in-use",
                                          G_TYPE_BOOLEAN, facts.inUse ? TRUE : FALSE, nullptr);
  if (facts.type >= 0) gst_structure_set(props, "quarn.card-type", G_TYPE_INT, facts.type, nullptr);
  const std::string name = DisplayName(cardNumber, facts);
  auto* device = GST_QUARN_DEVICE(g_object_new(GST_TYPE_QUARN_DEVICE, "display-name", name.c_str(),
                                               "caps", caps, "device-class", "Video/Source",
                                               "properties", props, nullptr));
  device->card = static_cast<guint>(cardNumber);
  // The device keeps its own reference to the caps and a copy of the properties.
  gst_caps_unref(caps);
  gst_structure_free(props);
  return GST_DEVICE(device);
}

GList* Probe(GstDeviceProvider* base) {
  GstQuarnDeviceProvider* provider = GST_QUARN_DEVICE_PROVIDER(base);
  int total = 0;
  if (const int status = CVideoCard::CardTotal(total); status != QUARN_OK) {
    GST_WARNING_OBJECT(provider, "The number of cards could not be read: status %d", status);
    return nullptr;
  }
  if (total > kMaxCards) {
    GST_WARNING_OBJECT(provider, "%d cards reported; listing the first %d", total, kMaxCards);
    total = kMaxCards;
  }
  GList* devices = nullptr;
  for (int cardNumber = 1; cardNumber <= total; ++cardNumber) {
    devices = g_list_append(devices, NewDevice(cardNumber, ProbeCard(provider, cardNumber)));
  }
  return devices;
}

GstElement* CreateElement(GstDevice* base, const gchar* name) {
  GstElement* element = gst_element_factory_make("quarnsrc", name);
  if (element == nullptr) return nullptr;
  g_object_set(element, "card", GST_QUARN_DEVICE(base)->card, nullptr);
  return element;
}

}  // namespace

static void gst_quarn_device_class_init(GstQuarnDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = CreateElement;
}

static void gst_quarn_device_init(GstQuarnDevice* device) {
  device->card = 1;
}

static void gst_quarn_device_provider_class_init(GstQuarnDeviceProviderClass* klass) {
  GstDeviceProviderClass* providerClass = GST_DEVICE_PROVIDER_CLASS(klass);
  providerClass->probe = Probe;
  gst_device_provider_class_set_static_metadata(
      providerClass, "Quarn capture cards", "Source/Video",
      "Lists the installed Quarn analog video capture cards", "Quarn workbench");
  GST_DEBUG_CATEGORY_INIT(gst_quarn_device_provider_debug, "quarndeviceprovider", 0,
                          "Quarn card device provider");
}

static void gst_quarn_device_provider_init(GstQuarnDeviceProvider*) {}
