// plugin.cpp - the quarn plugin: the quarnsrc element and the device provider that lists the
// cards.
#include <gst/gst.h>

#include "gstquarndeviceprovider.h"
#include "gstquarnsrc.h"
#include "quarn_plugin.h"

gboolean quarn_plugin_register(GstPlugin* plugin) {
  return gst_element_register(plugin, "quarnsrc", GST_RANK_NONE, GST_TYPE_QUARN_SRC) &&
         gst_device_provider_register(plugin, "quarndeviceprovider", GST_RANK_PRIMARY,
                                      GST_TYPE_QUARN_DEVICE_PROVIDER);
}

#ifndef QUARN_GST_STATIC
#define PACKAGE "quarn"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, quarn,
                  "Quarn analog video capture cards as live sources", quarn_plugin_register,
                  QUARN_VERSION, "Proprietary", "Quarn workbench", "https://quarn.example/update")
#endif
