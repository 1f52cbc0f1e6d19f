// display.h - the display pieces every card carries: the grey logical palette, the storage of the
// display header (a bitmap header with a 256-entry grey colour table) and the display buffer, an
// owning block of 768 x 576 x 4 bytes that holds the picture the window shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "gdi_types.h"

// Logical palette version and size of the grey palette.
inline constexpr WORD kPaletteVersion = 0x300;
inline constexpr int kPaletteEntries = 256;

// The grey logical palette: entry i has red, green and blue (i + 10) mod 256 and flags 0.
std::unique_ptr<CPalette> CreateGreyPalette();

// 2,048 bytes holding a BITMAPINFOHEADER and a 256-entry colour table (1,064 bytes used).
struct DisplayHeaderStorage {
  BITMAPINFO info{};
  BYTE spare[2048 - sizeof(BITMAPINFO)]{};
};
static_assert(sizeof(DisplayHeaderStorage) == 2048);

// Fills the storage as a fresh display header and returns the header inside it: size 40,
// planes 1, every other header field 0, colour table entry j = (j, j, j, 0).
BITMAPINFO* FillDisplayHeader(DisplayHeaderStorage& storage);

// The display buffer. Empty (null, size 0) until Allocate succeeds; a failed allocation leaves it
// empty. Move-only; the block is freed by Free or the destructor.
class DisplayBuffer {
 public:
  // 768 x 576 pixels of up to 4 bytes: any stored frame or display read-back fits.
  static constexpr size_t kBytes = 768 * 576 * 4;

  DisplayBuffer() = default;
  DisplayBuffer(DisplayBuffer&& other) noexcept
      : data_(std::move(other.data_)), size_(std::exchange(other.size_, 0)) {}
  DisplayBuffer& operator=(DisplayBuffer&& other) noexcept {
    data_ = std::move(other.data_);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }
  DisplayBuffer(const DisplayBuffer&) = delete;
  DisplayBuffer& operator=(const DisplayBuffer&) = delete;

  // Frees any block held, then obtains a new one of kBytes filled with `fill`. Returns false
  // (and stays empty) when the memory cannot be had.
  bool Allocate(uint8_t fill);
  void Free();
  // Fills the whole block with `value`; nothing when empty.
  void Fill(uint8_t value);

  uint8_t* data() { return data_.get(); }
  const uint8_t* data() const { return data_.get(); }
  // kBytes once allocated, else 0.
  size_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
};

// How display buffers obtain their memory: returns a block of `bytes`, or null when there is
// none. The default uses nothrow new[].
using DisplayBufferAllocator = std::unique_ptr<uint8_t[]> (*)(size_t bytes);
// Replaces the allocator for the whole process and returns the previous one; tests use it to
// make allocations fail. Pass null to restore the default.
DisplayBufferAllocator SetDisplayBufferAllocator(DisplayBufferAllocator allocator);
