// The device provider on the simulated cards: what it lists for each card (number, type, caps,
// in use), that a device makes a quarnsrc for its card, and that no cards or a failing card count
// list nothing. The plugin's features are registered into the process (no plugin file, no
// system plugins), and the simulator keeps its state in a private folder.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "quarn_plugin.h"

namespace {

struct UnrefObject {
  void operator()(gpointer object) const { gst_object_unref(object); }
};
template <typename T>
using GstPtr = std::unique_ptr<T, UnrefObject>;

struct UnrefCaps {
  void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
using CapsPtr = std::unique_ptr<GstCaps, UnrefCaps>;

struct FreeStructure {
  void operator()(GstStructure* structure) const { gst_structure_free(structure); }
};
using StructurePtr = std::unique_ptr<GstStructure, FreeStructure>;

struct FreeDeviceList {
  void operator()(GList* list) const { g_list_free_full(list, gst_object_unref); }
};
using DeviceList = std::unique_ptr<GList, FreeDeviceList>;

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

class DeviceProviderTest : public testing::TestWithParam<ProbeCase> {
 protected:
  void SetUp() override {
    setenv("QUARN_SIM_CARDS", GetParam().cards, 1);
    setenv("QUARN_SIM_CARD_TYPES", "0,2", 1);
    setenv("QUARN_SIM_FAIL", GetParam().fail, 1);
  }
  void TearDown() override {
    unsetenv("QUARN_SIM_CARDS");
    unsetenv("QUARN_SIM_CARD_TYPES");
    unsetenv("QUARN_SIM_FAIL");
  }
};

TEST_P(DeviceProviderTest, ListsEveryCard) {
  GstPtr<GstDeviceProvider> provider(
      gst_device_provider_factory_get_by_name("quarndeviceprovider"));
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
    GstPtr<GstElement> ownedElement(GST_ELEMENT(gst_object_ref_sink(element)));
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

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A private simulator state, registry and (empty) system plugin folder: only the features
  // registered below are found.
  std::string dir = (std::filesystem::temp_directory_path() / "quarn-devprov-test-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 2;
  setenv("QUARN_SIM_STATE_DIR", dir.c_str(), 1);
  const std::string registry = dir + "/registry.bin";
  setenv("GST_REGISTRY_1_0", registry.c_str(), 1);
  setenv("GST_PLUGIN_SYSTEM_PATH_1_0", dir.c_str(), 1);
  unsetenv("GST_PLUGIN_PATH_1_0");
  unsetenv("GST_PLUGIN_PATH");
  gst_init(nullptr, nullptr);
  // A critical (a GObject misused, by the provider or by a test) ends the run.
  g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR));
  if (!gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "quarn",
                                  "Quarn analog video capture cards", quarn_plugin_register, "0",
                                  "Proprietary", "quarn", "quarn", "https://quarn.example/")) {
    return 2;
  }
  const int result = RUN_ALL_TESTS();
  gst_deinit();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return result;
}
