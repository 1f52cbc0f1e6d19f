// bmp_read_fuzz.cpp - libFuzzer target for the BMP reader. Each input is read into a fresh
// description and a display-sized buffer, once from memory (ReadBmpBytes) and once as a file
// (ReadBmpFile, through a memory file), and the run aborts when:
// - the two readers differ in their result, description or buffer;
// - a rejected file changed the description;
// - an accepted description is not the file's header, or describes rows that, as the drawing
//   code lays them out, do not fit the buffer.
// Out-of-bounds reads and writes are AddressSanitizer's to find (the buffer and the description
// are exactly their real sizes).
//
//   scripts/fuzz.sh [seconds]
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_file.h"

namespace {

constexpr size_t kBufferBytes = 768 * 576 * 4;

BITMAPINFO FreshDescription() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biPlanes = 1;
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    info.bmiColors[i] = {v, v, v, 0};
  }
  return info;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// The bytes the drawing code reads for a description it decodes (0 for one it refuses): rows of
// 8, 16 (also for 15), 24 or 32 bits padded to 4 bytes, times the height.
uint64_t DrawnBytes(const BITMAPINFOHEADER& header) {
  const int bits = header.biBitCount == 15 ? 16 : header.biBitCount;
  if (header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0 ||
      (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
    return 0;
  }
  const uint64_t height =
      header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
  return (static_cast<uint64_t>(header.biWidth) * static_cast<uint64_t>(bits) + 31) / 32 * 4 *
         height;
}

// A memory file that ReadBmpFile opens by its /proc path.
struct MemoryFile {
  MemoryFile() : fd(::memfd_create("bmp_read_fuzz", 0)) {
    Check(fd >= 0);
    path = "/proc/self/fd/" + std::to_string(fd);
  }
  ~MemoryFile() { ::close(fd); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  void Fill(const uint8_t* data, size_t size) {
    Check(::ftruncate(fd, 0) == 0);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
      Check(n > 0);
      done += static_cast<size_t>(n);
    }
  }

  int fd;
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t> memoryBuffer(kBufferBytes, 0x5A);
  static std::vector<uint8_t> fileBuffer(kBufferBytes, 0x5A);
  static MemoryFile file;

  const BITMAPINFO before = FreshDescription();
  BITMAPINFO fromMemory = before;
  const bool accepted = ReadBmpBytes({data, size}, fromMemory, memoryBuffer);

  file.Fill(data, size);
  BITMAPINFO fromFile = before;
  Check(ReadBmpFile(file.path, fromFile, fileBuffer) == accepted);
  Check(std::memcmp(&fromFile, &fromMemory, sizeof(BITMAPINFO)) == 0);
  // Only bytes of the input reach the buffers, so both stay alike beyond the input's length.
  const size_t changed = std::min(size, kBufferBytes);
  Check(std::memcmp(fileBuffer.data(), memoryBuffer.data(), changed) == 0);

  if (!accepted) {
    Check(std::memcmp(&fromMemory, &before, sizeof(BITMAPINFO)) == 0);
    return 0;
  }
  const BITMAPINFOHEADER& header = fromMemory.bmiHeader;
  if (size >= kBmpHeadersBytes) {
    Check(std::memcmp(&header, data + kBmpFileHeaderBytes, kBmpInfoHeaderBytes) == 0);
  }
  Check(header.biWidth >= 0 && header.biHeight >= 0);
  const std::optional<uint64_t> pixelBytes = BmpPixelBytes(header);
  Check(pixelBytes && *pixelBytes <= kBufferBytes);
  Check(DrawnBytes(header) <= kBufferBytes);
  return 0;
}
