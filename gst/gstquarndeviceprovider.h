// gstquarndeviceprovider.h - quarndeviceprovider, which lists every installed card as a device
// (GstQuarnDevice) that makes a quarnsrc for it. The cards are not hot-plugged, so the provider
// probes once when asked and does not watch for changes.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_QUARN_DEVICE_PROVIDER (gst_quarn_device_provider_get_type())
G_DECLARE_FINAL_TYPE(GstQuarnDeviceProvider, gst_quarn_device_provider, GST, QUARN_DEVICE_PROVIDER,
                     GstDeviceProvider)

// One card: class "Video/Source", the caps of every format and shape the cards deliver, and the
// properties device.api "quarn", quarn.card (1-based), quarn.card-type (only when the card could
// be opened to ask) and quarn.in-use (another user held the card when it was probed).
#define GST_TYPE_QUARN_DEVICE (gst_quarn_device_get_type())
G_DECLARE_FINAL_TYPE(GstQuarnDevice, gst_quarn_device, GST, QUARN_DEVICE, GstDevice)

G_END_DECLS
