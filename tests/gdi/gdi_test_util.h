// gdi_test_util.h - a view's drawing surface without a widget (backing store, host window and
// geometry), and bitmaps built from explicit pixels, for the drawing tests.
#pragma once

#include <cstdint>
#include <vector>

#include "backing_store.h"
#include "dc.h"
#include "host_window.h"

// A client area of `width` x `height` whose top-left corner is at screen point (left, top).
struct TestSurface {
  TestSurface(int width, int height, int left = 100, int top = 50) : host(store) {
    store.Resize(width, height);
    host.SetGeometry(HostGeometry{QRect(left, top, width, height), QSize(1920, 1080), 32});
  }
  // The pixel shown at client (x, y) as 0x00RRGGBB, read back the way the library reads it.
  uint32_t At(int x, int y) const {
    uint32_t value = 0xDEADBEEF;
    if (host.ReadPixels(x, y, 1, 1, &value, sizeof value) != 0) return 0xDEADBEEF;
    return value;
  }
  void Fill(uint32_t rgb) {
    store.Draw([&](QImage& image) { image.fill(rgb | 0xFF000000u); }, QRect());
  }

  CBackingStore store;
  CHostWindow host;
};

// A 32-bit bottom-up bitmap whose pixel at (x, y) from the top-left of the picture is
// 0x00RRGGBB with R = 16 * x + 1 and G = 16 * y + 1 (so every pixel names its place).
struct CoordinateDib {
  CoordinateDib(int width, int height) : bits(static_cast<size_t>(width * height)) {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        // The first stored row is the bottom of the picture.
        bits[static_cast<size_t>((height - 1 - y) * width + x)] = Expected(x, y);
      }
    }
  }
  static uint32_t Expected(int x, int y) {
    return (static_cast<uint32_t>(16 * x + 1) << 16) | (static_cast<uint32_t>(16 * y + 1) << 8);
  }

  BITMAPINFO info;
  std::vector<uint32_t> bits;
};

inline BITMAPINFO MakeInfo(int width, int height, int bitCount) {
  BITMAPINFO info;  // every field starts at 0
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  return info;
}
