// display.cpp - the grey palette, the display header and the display buffer (see display.h).
#include "display.h"

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

namespace {

std::unique_ptr<uint8_t[]> DefaultAllocate(size_t bytes) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

// The allocator in force; atomic so a test may swap it while another thread allocates.
std::atomic<DisplayBufferAllocator> g_allocator{&DefaultAllocate};

}  // namespace

std::unique_ptr<CPalette> CreateGreyPalette() {
  std::vector<PALETTEENTRY> entries(kPaletteEntries);
  for (int i = 0; i < kPaletteEntries; ++i) {
    const auto grey = static_cast<BYTE>((i + 10) % 256);
    entries[static_cast<size_t>(i)] = PALETTEENTRY{grey, grey, grey, 0};
  }
  return std::make_unique<CPalette>(kPaletteVersion, std::move(entries));
}

BITMAPINFO* FillDisplayHeader(DisplayHeaderStorage& storage) {
  BITMAPINFO& info = storage.info;
  info.bmiHeader = BITMAPINFOHEADER{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biPlanes = 1;
  for (int j = 0; j < 256; ++j) {
    const auto grey = static_cast<BYTE>(j);
    info.bmiColors[j] = RGBQUAD{grey, grey, grey, 0};
  }
  return &info;
}

bool DisplayBuffer::Allocate(uint8_t fill) {
  Free();
  data_ = g_allocator.load()(kBytes);
  if (!data_) return false;
  size_ = kBytes;
  std::memset(data_.get(), fill, size_);
  return true;
}

void DisplayBuffer::Free() {
  data_.reset();
  size_ = 0;
}

void DisplayBuffer::Fill(uint8_t value) {
  if (data_) std::memset(data_.get(), value, size_);
}

DisplayBufferAllocator SetDisplayBufferAllocator(DisplayBufferAllocator allocator) {
  return g_allocator.exchange(allocator != nullptr ? allocator : &DefaultAllocate);
}
