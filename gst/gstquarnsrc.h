// gstquarnsrc.h - quarnsrc, a live GStreamer source that delivers what one capture card sees.
//
// The element opens its card through the card object (CVideoCard), runs it in the continuous snap
// into a ring of static memory that it claims for itself, and pushes each frame the library
// stores as a buffer with the pipeline clock's running time at capture. Its properties are the
// card's acquisition parameters; the four picture controls are also a GstColorBalance.
#pragma once

#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_QUARN_SRC (gst_quarn_src_get_type())
G_DECLARE_FINAL_TYPE(GstQuarnSrc, gst_quarn_src, GST, QUARN_SRC, GstPushSrc)

// The enum and flags types of the element's properties.
#define GST_TYPE_QUARN_SOURCE (gst_quarn_source_get_type())
GType gst_quarn_source_get_type(void);
#define GST_TYPE_QUARN_STANDARD (gst_quarn_standard_get_type())
GType gst_quarn_standard_get_type(void);
#define GST_TYPE_QUARN_SCAN_MODE (gst_quarn_scan_mode_get_type())
GType gst_quarn_scan_mode_get_type(void);
#define GST_TYPE_QUARN_CRYSTAL (gst_quarn_crystal_get_type())
GType gst_quarn_crystal_get_type(void);
#define GST_TYPE_QUARN_MIRROR (gst_quarn_mirror_get_type())
GType gst_quarn_mirror_get_type(void);

G_END_DECLS
