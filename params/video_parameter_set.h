// video_parameter_set.h - the acquisition parameters of one card (VideoParameterSet): their value
// codes as the capture library numbers them, their labels, initial values and the image size of a
// video standard. The card object (Solvane) holds one set; Hexmont's card records hold the same
// fields themselves (the grid cell, apps/hexmont/card_grid.h).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "QuarnVideo.h"

// ---- Value codes ------------------------------------------------------------------------------
// The fields stay plain int32 because the ini file may hold any number and the card is told that
// number unchanged; these name the values the programs offer.

enum VideoStandard : int32_t {
  kStandardPal = QUARN_STANDARD_PAL,
  kStandardNtsc = QUARN_STANDARD_NTSC,
};

enum ScanMode : int32_t {
  kScanFrame = QUARN_SCAN_FRAME,
  kScanField = QUARN_SCAN_FIELD,
  kScanField1 = QUARN_SCAN_FIELD1,
};

enum VideoFormat : int32_t {
  kFormatYuv422 = QUARN_FORMAT_YUV422,
  kFormatRgb888 = QUARN_FORMAT_RGB888,
  kFormatRgb565 = QUARN_FORMAT_RGB565,
  kFormatRgb555 = QUARN_FORMAT_RGB555,
  kFormatRgb8888 = QUARN_FORMAT_RGB8888,
  kFormatAll8 = QUARN_FORMAT_ALL8,
  kFormatLimited8 = QUARN_FORMAT_LIMITED8,
};

enum VideoSourceType : int32_t {
  kSourceVideo = QUARN_SOURCE_VIDEO,
  kSourceSVideo = QUARN_SOURCE_SVIDEO,
  kSourceYCbCr = QUARN_SOURCE_YCBCR,
};

enum CrystalOscillator : int32_t {
  kCrystal35M = QUARN_CRYSTAL_35M,
  kCrystal28M = QUARN_CRYSTAL_28M,
};

// First value argument of QuarnAdjustVideo.
enum AdjustItem : int32_t {
  kAdjustBrightness = QUARN_ADJUST_BRIGHTNESS,
  kAdjustContrast = QUARN_ADJUST_CONTRAST,
  kAdjustHue = QUARN_ADJUST_HUE,
  kAdjustSaturation = QUARN_ADJUST_SATURATION,
};

// Direction argument of QuarnEnableVideoMirror.
enum MirrorDirection : int32_t {
  kMirrorHorizontal = QUARN_MIRROR_HORIZONTAL,
  kMirrorVertical = QUARN_MIRROR_VERTICAL,
};

// The only item QuarnLumaControl is called with.
inline constexpr int32_t kLumaChromaTrap = QUARN_LUMA_CHROMA_TRAP;

// The flat source index (ini file, Video Source dialog): 0-5 Video, 6-8 S-Video, 9-10 YCbCr.
inline constexpr int32_t kSourceIndexCount = 11;
inline constexpr int32_t kMaxSourceIndex = kSourceIndexCount - 1;

// Menu and dialog labels, indexed by the code (sources by the flat index).
inline constexpr std::array<std::string_view, 2> kStandardLabels = {"PAL", "NTSC"};
inline constexpr std::array<std::string_view, 3> kScanModeLabels = {"Frame", "Field", "Field1"};
inline constexpr std::array<std::string_view, 7> kFormatLabels = {
    "YUV422", "RGB888", "RGB565", "RGB555", "RGB8888", "All 8 bit", "Limmited 8 bit"};
inline constexpr std::array<std::string_view, 2> kCrystalLabels = {"35M", "28M"};
inline constexpr std::array<std::string_view, kSourceIndexCount> kSourceLabels = {
    "Video 1",   "Video 2",   "Video 3",   "Video 4", "Video 5", "Video 6",
    "S-Video 1", "S-Video 2", "S-Video 3", "YCbCr1",  "YCbCr2"};

// Flat source index 0..10 to (type, number). Any other index returns false and leaves both
// outputs as they were.
bool IndexToSource(int index, int32_t& type, int32_t& number);

// (type, number) to the flat source index: type 0 gives number, 1 gives number + 6, 2 gives
// number + 9, any other type -1. The number is not range-checked.
int SourceToIndex(int type, int number);

// The low 8 bits of a number: what the byte parameters (brightness, contrast, hue, saturation,
// PLL, chroma trap) keep of any value they are given.
constexpr uint8_t LowByte(int32_t value) {
  return static_cast<uint8_t>(value & 0xFF);
}

// ---- Image size of a standard -------------------------------------------------------------------

struct ImageSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const ImageSize&, const ImageSize&) = default;
};

// PAL (0) gives 768 x 576; any other standard, not only NTSC, gives 640 x 480.
constexpr ImageSize ImageSizeOf(int32_t standard) {
  return standard == kStandardPal ? ImageSize{QUARN_PAL_WIDTH, QUARN_PAL_HEIGHT}
                                  : ImageSize{QUARN_NTSC_WIDTH, QUARN_NTSC_HEIGHT};
}

// ---- The parameter set
// ---------------------------------------------------------------------------

// A window as the card object keeps it: position and size (input window in image pixels, output
// window in screen pixels). Hexmont keeps its input window as a rectangle (left, top, right,
// bottom) in its card record instead.
struct VideoWindow {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const VideoWindow&, const VideoWindow&) = default;
};

// The parameters of one card, in the order the card object and the card record keep them, with
// the card object's initial values. The fields up to `inputWindow` belong to both programs
// (Hexmont's record keeps them under the same names, with the image size between `pll` and its
// input rectangle); the fields after `inputWindow` are Solvane's only.
struct VideoParameterSet {
  int32_t scanMode = kScanFrame;
  int32_t format = kFormatRgb888;
  int32_t standard = kStandardPal;
  int32_t sourceType = kSourceVideo;
  int32_t sourceNumber = 0;  // connector within the type, from 0
  int32_t crystal = kCrystal35M;
  uint8_t hue = 128;
  uint8_t brightness = 128;
  uint8_t contrast = 128;
  uint8_t saturation = 128;
  uint8_t pll = 245;  // PLL frequency setting
  VideoWindow inputWindow{0, 0, QUARN_PAL_WIDTH, QUARN_PAL_HEIGHT};

  // Solvane only.
  VideoWindow outputWindow{0, 0, QUARN_PAL_WIDTH, QUARN_PAL_HEIGHT};
  int32_t xDelay = 0;
  int32_t yDelay = 0;
  int32_t mirrorHorizontal = 0;  // 0/1
  int32_t mirrorVertical = 0;    // 0/1
  int32_t chromaTrap = 1;        // low byte of the last value set
  int32_t maskEnabled = 0;       // 0/1

  friend bool operator==(const VideoParameterSet&, const VideoParameterSet&) = default;
};
