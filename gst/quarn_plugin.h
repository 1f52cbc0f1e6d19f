// quarn_plugin.h - registers the plugin's features; the tests register them into a process
// without loading the plugin file (gst_plugin_register_static).
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS
gboolean quarn_plugin_register(GstPlugin* plugin);
G_END_DECLS
