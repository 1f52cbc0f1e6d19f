// bmp_test_util.h - what the image-file tests share: a private temporary folder, whole-file reads,
// descriptions and patterned buffers.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "gdi_types.h"

namespace bmptest {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The display buffer's size.
inline constexpr size_t kDisplayBytes = 768 * 576 * 4;

// A private folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "imagefiles_test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

  // The names of the files in the folder, temporary ones included.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

 private:
  fs::path path_;
};

inline Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A description as a card creates it (size 40, planes 1, grey palette) with the given picture.
inline BITMAPINFO Description(int32_t width = 0, int32_t height = 0, uint16_t bitCount = 0) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biBitCount = bitCount;
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    info.bmiColors[i] = {v, v, v, 0};
  }
  return info;
}

// Bytes that differ from their neighbours and from any fill, seeded so that two differ.
inline Bytes Pattern(size_t size, unsigned seed = 1) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + seed * 17 + i / 251);
  return bytes;
}

inline Bytes BytesOf(const BITMAPINFO& info) {
  const auto* p = reinterpret_cast<const uint8_t*>(&info);
  return Bytes(p, p + sizeof(BITMAPINFO));
}

}  // namespace bmptest
