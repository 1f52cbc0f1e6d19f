// video_parameter_set.cpp - the flat source index and its (type, number) pair (see
// video_parameter_set.h).
#include "video_parameter_set.h"

bool IndexToSource(int index, int32_t& type, int32_t& number) {
  if (index < 0 || index > kMaxSourceIndex) return false;
  if (index < QUARN_VIDEO_SOURCES) {
    type = kSourceVideo;
    number = index;
  } else if (index < QUARN_VIDEO_SOURCES + QUARN_SVIDEO_SOURCES) {
    type = kSourceSVideo;
    number = index - QUARN_VIDEO_SOURCES;
  } else {
    type = kSourceYCbCr;
    number = index - QUARN_VIDEO_SOURCES - QUARN_SVIDEO_SOURCES;
  }
  return true;
}

int SourceToIndex(int type, int number) {
  switch (type) {
    case kSourceVideo:
      return number;
    case kSourceSVideo:
      return number + QUARN_VIDEO_SOURCES;
    case kSourceYCbCr:
      return number + QUARN_VIDEO_SOURCES + QUARN_SVIDEO_SOURCES;
    default:
      return -1;
  }
}
