// quarn_caps.cpp - the cards' formats and frame shapes as GStreamer caps.
#include "quarn_caps.h"

#include <array>
#include <cstring>

#include "QuarnVideo.h"
#include "static_frames.h"
#include "video_parameter_set.h"

namespace {

// Byte orders as the capture library stores them (QuarnVideo.h): YUV422 is Y0 U Y1 V (YUY2);
// RGB888 is B G R in memory (BGR); RGB8888 is B G R X (BGRx); RGB565 and RGB555 are little-endian
// 16-bit words with red in the high bits (RGB16, RGB15 on a little-endian host, which the card's
// DMA into host memory assumes). The YUV pixels are studio range BT.601, as the library's own
// transform reads them; the 8-bit formats are luma at full or studio range.
constexpr std::array<QuarnFormatMapping, 7> kFormats = {{
    {QUARN_FORMAT_YUV422, GST_VIDEO_FORMAT_YUY2, "bt601"},
    {QUARN_FORMAT_RGB8888, GST_VIDEO_FORMAT_BGRx, "sRGB"},
    {QUARN_FORMAT_RGB888, GST_VIDEO_FORMAT_BGR, "sRGB"},
    {QUARN_FORMAT_RGB565, GST_VIDEO_FORMAT_RGB16, "sRGB"},
    {QUARN_FORMAT_RGB555, GST_VIDEO_FORMAT_RGB15, "sRGB"},
    {QUARN_FORMAT_ALL8, GST_VIDEO_FORMAT_GRAY8, "1:0:0:0"},
    {QUARN_FORMAT_LIMITED8, GST_VIDEO_FORMAT_GRAY8, "2:0:0:0"},
}};

GstStructure* StructureFor(const QuarnFormatMapping& format, const QuarnFrameShape& shape) {
  return gst_structure_new(
      "video/x-raw", "format", G_TYPE_STRING, gst_video_format_to_string(format.videoFormat),
      "width", G_TYPE_INT, shape.width, "height", G_TYPE_INT, shape.height, "framerate",
      GST_TYPE_FRACTION, shape.fpsNumerator, 1, "pixel-aspect-ratio", GST_TYPE_FRACTION,
      shape.parNumerator, shape.parDenominator, "interlace-mode", G_TYPE_STRING,
      shape.interlaced ? "interleaved" : "progressive", "colorimetry", G_TYPE_STRING,
      format.colorimetry, nullptr);
}

}  // namespace

const QuarnFormatMapping* QuarnFormats(size_t& count) {
  count = kFormats.size();
  return kFormats.data();
}

QuarnFrameShape QuarnShapeOf(int standard, int scanMode, bool interline) {
  const ImageSize image = ImageSizeOf(standard);
  QuarnFrameShape shape;
  shape.width = image.width;
  shape.height = SnapLines(image.height, scanMode, interline ? 1 : 0);
  shape.fpsNumerator = standard == QUARN_STANDARD_NTSC ? 30 : 25;
  shape.interlaced = shape.height == image.height;
  if (!shape.interlaced) shape.parDenominator = 2;
  return shape;
}

GstCaps* QuarnCapsForShape(const QuarnFrameShape& shape) {
  GstCaps* caps = gst_caps_new_empty();
  for (const QuarnFormatMapping& format : kFormats)
    gst_caps_append_structure(caps, StructureFor(format, shape));
  return caps;
}

GstCaps* QuarnAllCaps() {
  GstCaps* caps = gst_caps_new_empty();
  for (const int standard : {QUARN_STANDARD_PAL, QUARN_STANDARD_NTSC}) {
    for (const bool interline : {true, false})
      gst_caps_append(caps, QuarnCapsForShape(QuarnShapeOf(standard, QUARN_SCAN_FRAME, interline)));
  }
  return caps;
}

std::optional<int> QuarnFormatOfCaps(const GstVideoInfo& info) {
  const GstVideoFormat videoFormat = GST_VIDEO_INFO_FORMAT(&info);
  if (videoFormat == GST_VIDEO_FORMAT_GRAY8) {
    return info.colorimetry.range == GST_VIDEO_COLOR_RANGE_16_235 ? QUARN_FORMAT_LIMITED8
                                                                  : QUARN_FORMAT_ALL8;
  }
  for (const QuarnFormatMapping& format : kFormats) {
    if (format.videoFormat == videoFormat) return format.quarnFormat;
  }
  return std::nullopt;
}
