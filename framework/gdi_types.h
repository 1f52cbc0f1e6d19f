// gdi_types.h - the plain drawing types the programs share with the framework: bitmap headers
// and colour tables, logical palettes, rectangles, colours and the device-context constants.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Windows-style integer types used by the bitmap and palette records.
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using BOOL = int;
inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
using COLORREF = uint32_t;  // 0x00BBGGRR

inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
};

// Device-independent bitmap header: 40 bytes, followed in memory by the colour table.
struct BITMAPINFOHEADER {
  DWORD biSize = 0;
  LONG biWidth = 0;
  LONG biHeight = 0;  // positive: bottom-up rows
  WORD biPlanes = 0;
  WORD biBitCount = 0;
  DWORD biCompression = 0;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
};
static_assert(sizeof(RGBQUAD) == 4);

// A header followed by room for 256 colour-table entries (1,064 bytes).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};
static_assert(sizeof(BITMAPINFO) == 1064);

struct PALETTEENTRY {
  BYTE peRed = 0;
  BYTE peGreen = 0;
  BYTE peBlue = 0;
  BYTE peFlags = 0;
};

// Stretch modes, raster operations, colour usage and device capabilities used by the programs.
inline constexpr int BLACKONWHITE = 1;  // a new context's stretch mode
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
inline constexpr DWORD BI_RGB = 0;  // uncompressed bitmap rows
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;

// A logical palette: a real object whose entries are kept (version 0x300). Selecting it into a
// device context is tracked by the context (CDC::SelectPalette / RealizePalette).
class CPalette {
 public:
  CPalette(WORD version, std::vector<PALETTEENTRY> entries)
      : version_(version), entries_(std::move(entries)) {}
  WORD version() const { return version_; }
  const std::vector<PALETTEENTRY>& entries() const { return entries_; }

 private:
  WORD version_;
  std::vector<PALETTEENTRY> entries_;
};
