// The device provider on the simulated cards: what it lists for each card (number, type, caps,
// in use), that a device makes a quarnsrc for its card, and that no cards or a failing card count
// list nothing. The plugin's features are registered into the process (no plugin file, no
// system plugins), and the simulator keeps its state in a private folder.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "gst_test_support.h"

namespace {

using gsttest::CapsPtr;
using gsttest::ElementPtr;
using gsttest::ScopedEnv;
using gsttest::StructurePtr;

struct FreeDeviceList {
  void operator()(GList* list) const { g_list_free_full(list, gst_object_unref); }
};
using DeviceList = std::unique_ptr<GList, FreeDeviceList>;
using ProviderPtr = std::unique_ptr<GstDeviceProvider, gsttest::ObjectUnref>;

struct ExpectedCard {
  int number;
  int type;  // -1: no quarn.card-type
  bool inUse;
  const char* displayName;
};

struct ProbeCase {
  const char* name;
  const char* cards;  // QUARN_SIM_CARDS
  const char* fail;   // QUARN_SIM_FAIL, empty for none
  std::vector<ExpectedCard> expected;
};

// ctest names each case by this.
void PrintTo(const ProbeCase& probeCase, std::ostream* out) {
  *out << probeCase.name;
}

// Card 1 is of type 0, the others of type 2 (QUARN_SIM_CARD_TYPES below).
const ProbeCase kCases[] = {
    {"ThreeCards",
     "3",
     "",
     {{1, 0, false, "Quarn card 1 (type 0)"},
      {2, 2, false, "Quarn card 2 (type 2)"},
      {3, 2, false, "Quarn card 3 (type 2)"}}},
    // Another user holds card 2: it is listed all the same, without a type.
    {"BusyCardListed",
     "3",
     "BeginQuarnCard@2=-6",
     {{1, 0, false, "Quarn card 1 (type 0)"},
      {2, -1, true, "Quarn card 2 (in use)"},
      {3, 2, false, "Quarn card 3 (type 2)"}}},
    // A card that fails to open for another reason is listed without a type.
    {"UnopenableCardListed", "1", "BeginQuarnCard=-3", {{1, -1, false, "Quarn card 1"}}},
    {"NoCards", "0", "", {}},
    {"CardTotalFails", "3", "QuarnGetCardTotal=-1", {}},
};

class DeviceProviderTest : public testing::TestWithParam<ProbeCase> {};

TEST_P(DeviceProviderTest, ListsEveryCard) {
  const ScopedEnv cards("QUARN_SIM_CARDS", GetParam().cards);
  const ScopedEnv types("QUARN_SIM_CARD_TYPES", "0,2");
  const ScopedEnv fail("QUARN_SIM_FAIL", GetParam().fail);
  ProviderPtr provider(gst_device_provider_factory_get_by_name("quarndeviceprovider"));
  ASSERT_NE(provider, nullptr);
  DeviceList devices(gst_device_provider_get_devices(provider.get()));
  const std::vector<ExpectedCard>& expected = GetParam().expected;
  ASSERT_EQ(g_list_length(devices.get()), expected.size());

  CapsPtr pal(gst_caps_from_string("video/x-raw,format=YUY2,width=768,height=576"));
  size_t index = 0;
  for (GList* item = devices.get(); item != nullptr; item = item->next, ++index) {
    const ExpectedCard& card = expected[index];
    SCOPED_TRACE("card " + std::to_string(card.number));
    GstDevice* device = GST_DEVICE(item->data);

    gchar* displayName = gst_device_get_display_name(device);
    EXPECT_STREQ(displayName, card.displayName);
    g_free(displayName);
    EXPECT_TRUE(gst_device_has_classes(device, "Video/Source"));
    CapsPtr caps(gst_device_get_caps(device));
    ASSERT_NE(caps, nullptr);
    EXPECT_TRUE(gst_caps_can_intersect(caps.get(), pal.get()));

    StructurePtr properties(gst_device_get_properties(device));
    const GstStructure* props = properties.get();
    ASSERT_NE(props, nullptr);
    EXPECT_STREQ(gst_structure_get_string(props, "device.api"), "quarn");
    int number = 0;
    EXPECT_TRUE(gst_structure_get_int(props, "quarn.card", &number));
    EXPECT_EQ(number, card.number);
    int type = -1;
    EXPECT_EQ(gst_structure_get_int(props, "quarn.card-type", &type) != FALSE, card.type >= 0);
    EXPECT_EQ(type, card.type);
    gboolean inUse = FALSE;
    EXPECT_TRUE(gst_structure_get_boolean(props, "quarn.in-use", &inUse));
    EXPECT_EQ(inUse != FALSE, card.inUse);

    GstElement* element = gst_device_create_element(device, nullptr);
    ASSERT_NE(element, nullptr);
    const ElementPtr ownedElement(GST_ELEMENT(gst_object_ref_sink(element)));
    GstElementFactory* factory = gst_element_get_factory(element);
    EXPECT_STREQ(GST_OBJECT_NAME(factory), "quarnsrc");
    guint elementCard = 0;
    g_object_get(element, "card", &elementCard, nullptr);
    EXPECT_EQ(static_cast<int>(elementCard), card.number);
  }
}

INSTANTIATE_TEST_SUITE_P(Probe, DeviceProviderTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ProbeCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
