// quarnsrc_caps_test.cpp - what quarnsrc negotiates for each format, standard and frame shape,
// that every buffer holds exactly one frame of it, and that the bytes mean what the caps say: the
// pixels GStreamer reads from a buffer are the pixels the capture library's own transform reads
// from the same bytes.
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"
#include "gst_test_support.h"

namespace {

using gsttest::BufferPtr;
using gsttest::CapsPtr;
using gsttest::SourceHarness;

struct CapsCase {
  const char* name;
  const char* properties;  // the element's
  const char* filter;      // what downstream accepts
  const char* format;
  int width;
  int height;
  int fps;
  const char* interlaceMode;
  int bytesPerPixel;
};

// Every format at PAL frames, then the other shapes: NTSC, the field modes and interline off
// (half-height frames of one field, progressive), each once.
const CapsCase kCapsCases[] = {
    {"Yuy2", "", "video/x-raw,format=YUY2", "YUY2", 768, 576, 25, "interleaved", 2},
    {"Bgrx", "", "video/x-raw,format=BGRx", "BGRx", 768, 576, 25, "interleaved", 4},
    {"Bgr", "", "video/x-raw,format=BGR", "BGR", 768, 576, 25, "interleaved", 3},
    {"Rgb16", "", "video/x-raw,format=RGB16", "RGB16", 768, 576, 25, "interleaved", 2},
    {"Rgb15", "", "video/x-raw,format=RGB15", "RGB15", 768, 576, 25, "interleaved", 2},
    {"Gray8All", "", "video/x-raw,format=GRAY8,colorimetry=1:0:0:0", "GRAY8", 768, 576, 25,
     "interleaved", 1},
    {"Gray8Limited", "", "video/x-raw,format=GRAY8,colorimetry=2:0:0:0", "GRAY8", 768, 576, 25,
     "interleaved", 1},
    {"NtscFrame", "standard=ntsc crystal=28m", "video/x-raw,format=BGRx", "BGRx", 640, 480, 30,
     "interleaved", 4},
    {"PalField", "scan-mode=field", "video/x-raw,format=YUY2", "YUY2", 768, 288, 25, "progressive",
     2},
    {"NtscField1", "standard=ntsc crystal=28m scan-mode=field1", "video/x-raw,format=BGR", "BGR",
     640, 240, 30, "progressive", 3},
    {"PalInterlineOff", "interline=false", "video/x-raw,format=RGB16", "RGB16", 768, 288, 25,
     "progressive", 2},
};

void PrintTo(const CapsCase& c, std::ostream* os) {
  *os << c.name;
}

class CapsTest : public testing::TestWithParam<CapsCase> {};

TEST_P(CapsTest, NegotiatesTheShapeAndEveryBufferHoldsOneFrame) {
  const CapsCase& c = GetParam();
  SourceHarness h(c.properties, c.filter);
  h.Play();
  for (int i = 0; i < 3; ++i) {
    const BufferPtr buffer = h.Pull();
    ASSERT_TRUE(buffer);
    EXPECT_EQ(gst_buffer_get_size(buffer.get()), static_cast<gsize>(c.width) *
                                                     static_cast<gsize>(c.height) *
                                                     static_cast<gsize>(c.bytesPerPixel))
        << "buffer " << i;
  }
  const CapsPtr caps = h.NegotiatedCaps();
  ASSERT_TRUE(caps);
  ASSERT_TRUE(gst_caps_is_fixed(caps.get())) << gst_caps_to_string(caps.get());
  const GstStructure* s = gst_caps_get_structure(caps.get(), 0);
  EXPECT_STREQ(gst_structure_get_string(s, "format"), c.format);
  int width = 0, height = 0, fpsN = 0, fpsD = 0;
  ASSERT_TRUE(gst_structure_get_int(s, "width", &width));
  ASSERT_TRUE(gst_structure_get_int(s, "height", &height));
  ASSERT_TRUE(gst_structure_get_fraction(s, "framerate", &fpsN, &fpsD));
  EXPECT_EQ(width, c.width);
  EXPECT_EQ(height, c.height);
  EXPECT_EQ(fpsN, c.fps);
  EXPECT_EQ(fpsD, 1);
  EXPECT_STREQ(gst_structure_get_string(s, "interlace-mode"), c.interlaceMode);
}

INSTANTIATE_TEST_SUITE_P(Quarnsrc, CapsTest, testing::ValuesIn(kCapsCases),
                         [](const testing::TestParamInfo<CapsCase>& param) {
                           return std::string(param.param.name);
                         });

// One buffer of `caps`'s format converted by GStreamer's own video converter into packed BGR
// rows, top row first.
std::vector<uint8_t> ConvertToBgr(GstCaps* caps, GstBuffer* buffer) {
  GstVideoInfo in;
  EXPECT_TRUE(gst_video_info_from_caps(&in, caps));
  GstVideoInfo out;
  gst_video_info_set_format(&out, GST_VIDEO_FORMAT_BGR, GST_VIDEO_INFO_WIDTH(&in),
                            GST_VIDEO_INFO_HEIGHT(&in));
  // The same frames, only another format: a converter neither scales nor retimes.
  out.fps_n = in.fps_n;
  out.fps_d = in.fps_d;
  out.par_n = in.par_n;
  out.par_d = in.par_d;
  out.interlace_mode = in.interlace_mode;
  std::vector<uint8_t> bgr(GST_VIDEO_INFO_SIZE(&out));
  GstBuffer* outBuffer = gst_buffer_new_wrapped_full(static_cast<GstMemoryFlags>(0), bgr.data(),
                                                     bgr.size(), 0, bgr.size(), nullptr, nullptr);
  GstVideoFrame inFrame, outFrame;
  EXPECT_TRUE(gst_video_frame_map(&inFrame, &in, buffer, GST_MAP_READ));
  EXPECT_TRUE(gst_video_frame_map(&outFrame, &out, outBuffer, GST_MAP_WRITE));
  // Every chroma sample used as it is (no interpolation between pixel pairs) and no dithering:
  // the library's transform does neither.
  GstStructure* options = gst_structure_new(
      "options", GST_VIDEO_CONVERTER_OPT_CHROMA_RESAMPLER_METHOD, GST_TYPE_VIDEO_RESAMPLER_METHOD,
      GST_VIDEO_RESAMPLER_METHOD_NEAREST, GST_VIDEO_CONVERTER_OPT_DITHER_METHOD,
      GST_TYPE_VIDEO_DITHER_METHOD, GST_VIDEO_DITHER_NONE, nullptr);
  GstVideoConverter* converter = gst_video_converter_new(&in, &out, options);
  gst_video_converter_frame(converter, &inFrame, &outFrame);
  gst_video_converter_free(converter);
  gst_video_frame_unmap(&outFrame);
  gst_video_frame_unmap(&inFrame);
  gst_buffer_unref(outBuffer);
  return bgr;
}

struct ByteOrderCase {
  const char* format;
  int quarnFormat;
  int bitsPerPixel;
  int tolerance;      // per channel, GStreamer's reading against the library's
  int barsTolerance;  // per channel, the bars against those of a BGR frame (quantisation)
};

// The RGB formats must match exactly; YUY2 goes through a colour matrix whose rounding differs.
const ByteOrderCase kByteOrderCases[] = {
    {"BGRx", QUARN_FORMAT_RGB8888, 32, 0, 0}, {"BGR", QUARN_FORMAT_RGB888, 24, 0, 0},
    {"RGB16", QUARN_FORMAT_RGB565, 16, 0, 8}, {"RGB15", QUARN_FORMAT_RGB555, 15, 0, 8},
    {"YUY2", QUARN_FORMAT_YUV422, 16, 4, 6},
};

constexpr int kWidth = 768, kHeight = 576;
// The rows that show only the colour bars (below the moving box, above the card's label).
constexpr int kBarsFirst = kHeight * 32 / 100, kBarsEnd = kHeight * 50 / 100;

// Whether the pixels around x in a row of packed BGR are all alike (a flat area).
bool FlatAround(const uint8_t* row, int x) {
  for (int n = std::max(0, x - 2); n <= std::min(kWidth - 1, x + 2); ++n) {
    if (!std::equal(row + n * 3, row + n * 3 + 3, row + x * 3)) return false;
  }
  return true;
}

void PrintTo(const ByteOrderCase& c, std::ostream* os) {
  *os << c.format;
}

class ByteOrderTest : public testing::TestWithParam<ByteOrderCase> {};

// Both ways of reading a buffer must agree (GStreamer's layout of the format is the library's),
// and what they read must be the picture (the card was asked for the format the caps name): the
// bars of every format are those of a BGR frame, within the format's quantisation.
TEST_P(ByteOrderTest, GStreamerReadsTheBytesAsTheLibraryDoes) {
  const ByteOrderCase& c = GetParam();
  std::vector<uint8_t> bars;
  {
    SourceHarness reference("", "video/x-raw,format=BGR");
    reference.Play();
    const BufferPtr buffer = reference.Pull();
    ASSERT_TRUE(buffer);
    bars.resize(static_cast<size_t>(kBarsEnd - kBarsFirst) * kWidth * 3);
    gst_buffer_extract(buffer.get(), static_cast<size_t>(kBarsFirst) * kWidth * 3, bars.data(),
                       bars.size());
  }
  SourceHarness h("", std::string("video/x-raw,format=") + c.format);
  h.Play();
  const BufferPtr buffer = h.Pull();
  ASSERT_TRUE(buffer);
  const CapsPtr caps = h.NegotiatedCaps();
  ASSERT_TRUE(caps);
  const std::vector<uint8_t> converted = ConvertToBgr(caps.get(), buffer.get());

  GstMapInfo map;
  ASSERT_TRUE(gst_buffer_map(buffer.get(), &map, GST_MAP_READ));
  const size_t stride = (static_cast<size_t>(kWidth) * 3 + 3) / 4 * 4;
  std::vector<uint8_t> transformed(stride * kHeight);
  const int status = QuarnDataTransform(transformed.data(), map.data, kWidth, kHeight,
                                        c.bitsPerPixel, QUARN_TRANSFORM_FORMAT(c.quarnFormat));
  gst_buffer_unmap(buffer.get(), &map);
  ASSERT_EQ(status, QUARN_OK);

  // The transform writes bottom-up rows. With a tolerance (YUY2), pixels next to a change of
  // colour are skipped: GStreamer's converter blends the chroma of neighbouring pixel pairs there.
  int worst = 0, mismatches = 0, compared = 0, worstBars = 0, barMismatches = 0;
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* mine = converted.data() + static_cast<size_t>(y) * kWidth * 3;
    const uint8_t* theirs = transformed.data() + static_cast<size_t>(kHeight - 1 - y) * stride;
    const bool inBars = y >= kBarsFirst && y < kBarsEnd;
    const uint8_t* bar =
        inBars ? bars.data() + static_cast<size_t>(y - kBarsFirst) * kWidth * 3 : nullptr;
    for (int x = 0; x < kWidth; ++x) {
      if (c.tolerance > 0 && !FlatAround(theirs, x)) continue;
      ++compared;
      for (int i = x * 3; i < x * 3 + 3; ++i) {
        const int difference = std::abs(int{mine[i]} - int{theirs[i]});
        worst = std::max(worst, difference);
        if (difference > c.tolerance) ++mismatches;
        if (bar == nullptr) continue;
        const int fromBgr = std::abs(int{mine[i]} - int{bar[i]});
        worstBars = std::max(worstBars, fromBgr);
        if (fromBgr > c.barsTolerance) ++barMismatches;
      }
    }
  }
  // Most of the picture is flat: the bars, the bands, the staircase.
  EXPECT_GT(compared, kWidth * kHeight / 2);
  EXPECT_EQ(mismatches, 0) << "worst difference " << worst;
  EXPECT_EQ(barMismatches, 0) << "worst difference from the BGR bars " << worstBars;
}

INSTANTIATE_TEST_SUITE_P(Quarnsrc, ByteOrderTest, testing::ValuesIn(kByteOrderCases),
                         [](const testing::TestParamInfo<ByteOrderCase>& param) {
                           return std::string(param.param.format);
                         });

// The range of the two 8-bit formats: the black bar is 0 at all range, 16 at limited range.
TEST(Gray8RangeTest, LimitedStaysWithinStudioRangeAndAllDoesNot) {
  const auto range = [](const char* colorimetry) {
    SourceHarness h("", std::string("video/x-raw,format=GRAY8,colorimetry=") + colorimetry);
    h.Play();
    const BufferPtr buffer = h.Pull();
    std::pair<int, int> minMax{255, 0};
    if (!buffer) return minMax;
    GstMapInfo map;
    if (!gst_buffer_map(buffer.get(), &map, GST_MAP_READ)) return minMax;
    const auto [lo, hi] = std::minmax_element(map.data, map.data + map.size);
    minMax = {*lo, *hi};
    gst_buffer_unmap(buffer.get(), &map);
    return minMax;
  };
  const auto [limitedMin, limitedMax] = range("2:0:0:0");
  EXPECT_GE(limitedMin, 16);
  EXPECT_LE(limitedMax, 235);
  const auto [allMin, allMax] = range("1:0:0:0");
  EXPECT_LT(allMin, 16);
  EXPECT_GT(allMax, allMin);
}

}  // namespace
