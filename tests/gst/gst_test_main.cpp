// gst_test_main.cpp - entry point of the plugin's tests (the element and the device provider): a
// private simulator state folder (so the static-memory reservation and the claims never meet the
// user's or another test's), frames as fast as the simulator makes them unless a test paces them,
// and the quarn features registered into the process from the static library, so no plugin file is
// loaded (the sanitizer builds see every line of the element). gst_deinit at the end lets
// LeakSanitizer tell GStreamer's caches from real leaks.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "quarn_plugin.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string dir = (std::filesystem::temp_directory_path() / "quarn-gst-test-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 2;
  setenv("QUARN_SIM_STATE_DIR", dir.c_str(), 1);
  setenv("QUARN_SIM_BOOT_ID", "gst-test", 1);
  // A private registry, and no plugin path: the quarn features are the ones registered below (never
  // a plugin file from the build or an installation), the system's plugins (capsfilter,
  // videoconvert) are found, and the user's registry cache is never touched.
  const std::string registry = dir + "/registry.bin";
  setenv("GST_REGISTRY_1_0", registry.c_str(), 1);
  unsetenv("GST_PLUGIN_PATH_1_0");
  unsetenv("GST_PLUGIN_PATH");
#if defined(__SANITIZE_THREAD__)
  // quarnsrc copies a ring slot without a lock and throws the copy away when the card may have
  // written over it meanwhile (CFrameHandOver::Overwritten). With frames as fast as the simulator
  // makes them, a copy slowed down by the sanitizer is overwritten all the time, and the
  // simulator's write is reported as a race with a copy that was then discarded. Paced frames
  // leave a slot alone for three frame periods after its frame is handed over.
  setenv("QUARN_SIM_PACING", "1", 1);
#else
  setenv("QUARN_SIM_PACING", "0", 1);
#endif
  gst_init(nullptr, nullptr);
  // A critical (a GObject misused, by the plugin or by a test) ends the run.
  g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR));
  if (!gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "quarn",
                                  "Quarn analog video capture cards as live sources",
                                  quarn_plugin_register, "1.0", "Proprietary", "quarn", "quarn",
                                  "https://quarn.example/update"))
    return 2;
  const int result = RUN_ALL_TESTS();
  gst_deinit();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return result;
}
