// quarn_caps.h - the cards' stored-frame formats as GStreamer video formats, and the caps a card
// delivers for a video standard and scan mode. Shared by the source element and the device
// provider.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <optional>

// One stored-frame format of the cards and what GStreamer calls it. The two 8-bit formats are both
// GRAY8 and differ in their range (all 0..255, or limited 16..235).
struct QuarnFormatMapping {
  int quarnFormat;  // QUARN_FORMAT_*
  GstVideoFormat videoFormat;
  const char* colorimetry;  // what the card's pixels mean, as a caps string
};

// Every format the cards deliver, in the order of preference the caps list them: the cheapest to
// encode first (YUY2), the 8-bit ones last.
const QuarnFormatMapping* QuarnFormats(size_t& count);

// The geometry of the frames one configuration delivers.
struct QuarnFrameShape {
  int width = 0;
  int height = 0;
  int fpsNumerator = 25;
  // The frame holds both fields of a video frame, interleaved line by line.
  bool interlaced = false;
  // Half-height frames (one field) have pixels twice as tall as they are wide.
  int parNumerator = 1;
  int parDenominator = 1;
};

// The frames of a standard (QUARN_STANDARD_*) in a scan mode (QUARN_SCAN_*), with interline on or
// off: the standard's image width; its height, or half of it unless the frame mode runs with
// interline on (SnapLines); PAL 25, NTSC 30 frames per second.
QuarnFrameShape QuarnShapeOf(int standard, int scanMode, bool interline);

// The caps of every format at one shape; a new reference.
GstCaps* QuarnCapsForShape(const QuarnFrameShape& shape);

// The caps of every format at every shape a card offers (both standards, frame and field frames),
// for the device provider; a new reference.
GstCaps* QuarnAllCaps();

// The card format that fixed caps ask for (by video format and, for GRAY8, its range); empty when
// they name none of the cards' formats.
std::optional<int> QuarnFormatOfCaps(const GstVideoInfo& info);
