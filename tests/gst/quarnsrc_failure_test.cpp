// quarnsrc_failure_test.cpp - quarnsrc when the capture library fails it: every operation the
// element calls failing in turn (the simulator's injected faults), no such card, a ring too large
// for the static-memory reservation, and a card another element already runs. Each failure is an
// error (or, for a parameter the card turns down, a warning) that carries the library's text and
// status; the pipeline always stops cleanly.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "QuarnVideo.h"
#include "gst_test_support.h"

namespace {

using gsttest::BufferPtr;
using gsttest::BusPtr;
using gsttest::ElementPtr;
using gsttest::MessagePtr;
using gsttest::ScopedEnv;
using gsttest::SourceHarness;

// A pipeline "quarnsrc name=src PROPS ! CAPS ! fakesink", set to NULL and released at the end
// (whatever state it reached).
struct Pipeline {
  explicit Pipeline(const std::string& properties,
                    const std::string& caps = "video/x-raw,format=BGRx") {
    const std::string line = "quarnsrc name=src " + properties + " ! " + caps + " ! fakesink";
    GError* error = nullptr;
    element.reset(gst_parse_launch(line.c_str(), &error));
    if (error != nullptr) g_error_free(error);
    if (element) {
      source.reset(gst_bin_get_by_name(GST_BIN(element.get()), "src"));
      bus.reset(gst_element_get_bus(element.get()));
    }
  }
  ~Pipeline() {
    if (element) gst_element_set_state(element.get(), GST_STATE_NULL);
  }
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  ElementPtr element;
  ElementPtr source;
  BusPtr bus;
};

// What a failure posted: its text and the status in its details (INT_MIN when absent).
struct Posted {
  GstMessageType type = GST_MESSAGE_UNKNOWN;
  std::string text;
  int status = G_MININT;
};

Posted Parse(GstMessage* message) {
  Posted posted;
  posted.type = GST_MESSAGE_TYPE(message);
  GError* error = nullptr;
  const GstStructure* details = nullptr;
  if (posted.type == GST_MESSAGE_ERROR) {
    gst_message_parse_error(message, &error, nullptr);
    gst_message_parse_error_details(message, &details);
  } else {
    gst_message_parse_warning(message, &error, nullptr);
    gst_message_parse_warning_details(message, &details);
  }
  if (error != nullptr) {
    posted.text = error->message;
    g_error_free(error);
  }
  if (details != nullptr) gst_structure_get_int(details, "quarn-status", &posted.status);
  return posted;
}

void ExpectCarriesStatus(const Posted& posted, int status) {
  EXPECT_NE(posted.text.find(gsttest::LibraryStatusText(status)), std::string::npos)
      << "\"" << posted.text << "\" lacks \"" << gsttest::LibraryStatusText(status) << "\"";
  EXPECT_EQ(posted.status, status) << "quarn-status in the details of \"" << posted.text << "\"";
}

// Plays the pipeline until the first error, or `seconds`; then NULL must be reached at once.
std::optional<Posted> PlayUntilError(Pipeline& pipeline, double seconds) {
  gst_element_set_state(pipeline.element.get(), GST_STATE_PLAYING);
  const MessagePtr message =
      gsttest::WaitForMessage(pipeline.bus.get(), GST_MESSAGE_ERROR, seconds);
  EXPECT_EQ(gst_element_set_state(pipeline.element.get(), GST_STATE_NULL),
            GST_STATE_CHANGE_SUCCESS);
  if (!message) return std::nullopt;
  return Parse(message.get());
}

// ---- Operations failing -------------------------------------------------------------------

struct OperationCase {
  const char* fail;  // QUARN_SIM_FAIL
  int status;
};

// Each operation with a status it can give. The cards' own writes into static memory are not
// affected by a fault on QuarnStaticMemLock: only the element's mapping of its ring is.
const OperationCase kOperationCases[] = {
    {"BeginQuarnCard=-6", QUARN_ERR_BUSY},
    {"QuarnGetStaticMem=-9", QUARN_ERR_STATIC_MEM},
    {"QuarnOpenSnapEx=-12", QUARN_ERR_SNAP_STATE},
    {"QuarnStartSnapEx=-6", QUARN_ERR_BUSY},
    {"QuarnSetVideoFormat=-2", QUARN_ERR_BAD_PARAMETER},
    {"QuarnSetOutputWindow=-1", QUARN_ERR_GENERAL},
    {"QuarnStaticMemLock=-9", QUARN_ERR_STATIC_MEM},
};

void PrintTo(const OperationCase& c, std::ostream* os) {
  *os << c.fail;
}

class OperationFailureTest : public testing::TestWithParam<OperationCase> {};

TEST_P(OperationFailureTest, IsAnErrorWithTheLibrarysStatus) {
  const OperationCase& c = GetParam();
  const ScopedEnv fail("QUARN_SIM_FAIL", c.fail);
  Pipeline pipeline("");
  ASSERT_TRUE(pipeline.element);
  const std::optional<Posted> error = PlayUntilError(pipeline, 10);
  ASSERT_TRUE(error) << "no error for " << c.fail;
  ExpectCarriesStatus(*error, c.status);
}

INSTANTIATE_TEST_SUITE_P(Quarnsrc, OperationFailureTest, testing::ValuesIn(kOperationCases),
                         [](const testing::TestParamInfo<OperationCase>& param) {
                           const std::string fail = param.param.fail;
                           return fail.substr(0, fail.find('='));
                         });

// ---- Parameters the card turns down at start ---------------------------------------------

struct RefusalCase {
  const char* fail;
  const char* property;
  const char* value;  // asked for; the card keeps its initial value
};

const RefusalCase kRefusalCases[] = {
    {"QuarnSetVideoStandard=-2", "standard", "ntsc"},
    {"QuarnSetScanMode=-2", "scan-mode", "field"},
    {"QuarnSelectCryOSC=-2", "crystal", "28m"},
    {"QuarnSetDelay=-2", "x-delay", "5"},
    {"QuarnEnableVideoMirror=-2", "mirror", "horizontal"},
    {"QuarnLumaControl=-2", "chroma-trap", "false"},
    {"QuarnAdjustVideo=-2", "brightness", "200"},
    {"QuarnSetPLLFrequency=-2", "pll", "200"},
    {"QuarnSetVideoSource=-2", "source", "video-2"},
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.fail;
}

std::string PropertyText(GstElement* element, const char* property) {
  GValue value = G_VALUE_INIT;
  g_object_get_property(G_OBJECT(element), property, &value);
  gchar* text = gst_value_serialize(&value);
  std::string result = text != nullptr ? text : "";
  g_free(text);
  g_value_unset(&value);
  return result;
}

class RefusalAtStartTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalAtStartTest, IsAWarningAndThePropertyKeepsItsInitialValue) {
  const RefusalCase& c = GetParam();
  const ElementPtr fresh(
      GST_ELEMENT(gst_object_ref_sink(gst_element_factory_make("quarnsrc", nullptr))));
  const std::string initial = PropertyText(fresh.get(), c.property);
  const ScopedEnv fail("QUARN_SIM_FAIL", c.fail);
  SourceHarness h(std::string(c.property) + "=" + c.value, "video/x-raw,format=BGRx");
  ASSERT_NE(PropertyText(h.source.get(), c.property), initial);
  h.Play();
  ASSERT_TRUE(h.Pull()) << "the element runs on";
  EXPECT_EQ(PropertyText(h.source.get(), c.property), initial) << "the card kept its own";
  const MessagePtr warning = gsttest::WaitForMessage(
      h.bus.get(), static_cast<GstMessageType>(GST_MESSAGE_WARNING | GST_MESSAGE_ERROR), 5);
  ASSERT_TRUE(warning) << "no warning for " << c.fail;
  const Posted posted = Parse(warning.get());
  EXPECT_EQ(posted.type, GST_MESSAGE_WARNING) << posted.text;
  ExpectCarriesStatus(posted, QUARN_ERR_BAD_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(Quarnsrc, RefusalAtStartTest, testing::ValuesIn(kRefusalCases),
                         [](const testing::TestParamInfo<RefusalCase>& param) {
                           const std::string fail = param.param.fail;
                           return fail.substr(0, fail.find('='));
                         });

// ---- Cards and memory ---------------------------------------------------------------------

TEST(CardFailureTest, NoSuchCardIsAnError) {
  const ScopedEnv cards("QUARN_SIM_CARDS", "4");
  Pipeline pipeline("card=9");
  const std::optional<Posted> error = PlayUntilError(pipeline, 10);
  ASSERT_TRUE(error);
  ExpectCarriesStatus(*error, QUARN_ERR_CARD_NUMBER);
}

// A static-memory reservation of `pages` from a simulated restart on, and the old one back after
// another restart at the end.
class ScopedReservation {
 public:
  explicit ScopedReservation(int pages) {
    QuarnGetStaticMem(&old_);
    QuarnSetStaticMem(pages);
    Restart();
  }
  ~ScopedReservation() {
    QuarnSetStaticMem(old_);
    Restart();
  }
  ScopedReservation(const ScopedReservation&) = delete;
  ScopedReservation& operator=(const ScopedReservation&) = delete;

 private:
  void Restart() {
    static int restarts = 0;
    boot_.emplace("QUARN_SIM_BOOT_ID", "gst-test-restart-" + std::to_string(++restarts));
    int pages = 0;
    QuarnGetStaticMem(&pages);
  }
  int old_ = 0;
  std::optional<ScopedEnv> boot_;
};

TEST(CardFailureTest, RingLargerThanTheReservationIsAnError) {
  // 256 pages (1 MB) hold two GRAY8 frames of 768 x 576, not 64.
  const ScopedReservation reservation(256);
  int pages = 0;
  ASSERT_EQ(QuarnGetStaticMem(&pages), QUARN_OK);
  ASSERT_EQ(pages, 256);
  Pipeline pipeline("ring-frames=64", "video/x-raw,format=GRAY8");
  const std::optional<Posted> error = PlayUntilError(pipeline, 10);
  ASSERT_TRUE(error);
  ExpectCarriesStatus(*error, QUARN_ERR_STATIC_MEM);
}

// The top-left corner names the card and input ("CARD 1 VIDEO 1").
std::vector<uint8_t> Corner(GstBuffer* buffer) {
  constexpr size_t kStride = 768 * 4, kRows = 12, kBytes = 160 * 4;
  std::vector<uint8_t> corner(kRows * kBytes);
  for (size_t y = 0; y < kRows; ++y)
    gst_buffer_extract(buffer, y * kStride, corner.data() + y * kBytes, kBytes);
  return corner;
}

TEST(CardFailureTest, SecondElementOnARunningCardGetsAnErrorAndTheFirstRunsOn) {
  const ScopedEnv cards("QUARN_SIM_CARDS", "2");
  SourceHarness first("card=1", "video/x-raw,format=BGRx");
  first.Play();
  const BufferPtr before = first.Pull();
  ASSERT_TRUE(before);

  Pipeline second("card=1");
  const std::optional<Posted> error = PlayUntilError(second, 10);
  ASSERT_TRUE(error) << "the second element ran card 1 as well";
  ExpectCarriesStatus(*error, QUARN_ERR_BUSY);

  // The first element's frames still come, still of card 1.
  const guint64 captured = gsttest::StatsField(first.source.get(), "frames-captured");
  for (int i = 0; i < 3; ++i) {
    const BufferPtr after = first.Pull();
    ASSERT_TRUE(after);
    EXPECT_EQ(Corner(after.get()), Corner(before.get()));
  }
  EXPECT_GT(gsttest::StatsField(first.source.get(), "frames-captured"), captured);
  EXPECT_TRUE(gsttest::QueuedMessages(first.bus.get(), GST_MESSAGE_ERROR).empty());
}

}  // namespace
