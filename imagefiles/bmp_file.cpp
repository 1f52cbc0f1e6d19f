// bmp_file.cpp - the BMP writer (through a temporary file renamed into place) and the reader, one
// reading routine over a sequence of bytes that comes from a file or from memory.
#include "bmp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "unique_fd.h"

// The records are copied to and from files byte for byte, which is their file layout only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(BITMAPINFO) == kBmpInfoHeaderBytes + kBmpPaletteBytes);

namespace {

namespace fs = std::filesystem;

template <typename T>
std::span<uint8_t> BytesOf(T& object) {
  return {reinterpret_cast<uint8_t*>(&object), sizeof(T)};
}

void StoreLe16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

void StoreLe32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t LoadLe32(const uint8_t* in) {
  return uint32_t{in[0]} | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16) |
         (uint32_t{in[3]} << 24);
}

// S with the given bit count standing for the header's.
std::optional<uint64_t> RowBytesTimesHeight(const BITMAPINFOHEADER& header, uint64_t bitCount) {
  if (header.biWidth < 0 || header.biHeight < 0) return std::nullopt;
  // Below 2^31 x 2^16 + 31: no overflow in 64 bits.
  const uint64_t row = (static_cast<uint64_t>(header.biWidth) * bitCount + 31) / 32 * 4;
  uint64_t bytes = 0;
  if (__builtin_mul_overflow(row, static_cast<uint64_t>(header.biHeight), &bytes)) {
    return std::nullopt;
  }
  return bytes;
}

// Whether the picture a header describes fits a buffer of `capacity` bytes, by every measure that
// reading or drawing it uses. All of them are computed in 64 bits from the file's fields; a
// negative width or height (including both negative, whose products come out positive) counts as
// too large.
bool FitsBuffer(const BITMAPINFOHEADER& header, uint64_t capacity) {
  if (header.biWidth < 0 || header.biHeight < 0) return false;
  // The unpadded size: whole bytes per pixel x height x width.
  const uint64_t bytesPerPixel = (uint64_t{header.biBitCount} + 7) / 8;
  uint64_t required = 0;
  if (__builtin_mul_overflow(bytesPerPixel, static_cast<uint64_t>(header.biHeight), &required) ||
      __builtin_mul_overflow(required, static_cast<uint64_t>(header.biWidth), &required) ||
      required > capacity) {
    return false;
  }
  // S, the bytes that are read into the buffer.
  const std::optional<uint64_t> pixelBytes = BmpPixelBytes(header);
  if (!pixelBytes || *pixelBytes > capacity) return false;
  // The drawing code stores 15-bit pixels in 16 bits, so its rows can be longer than S says (by
  // up to 2 bytes a row); the buffer must hold those rows too, or drawing the picture would read
  // past its end.
  if (header.biBitCount == 15) {
    const std::optional<uint64_t> drawnBytes = RowBytesTimesHeight(header, 16);
    if (!drawnBytes || *drawnBytes > capacity) return false;
  }
  return true;
}

// Where the reader takes its bytes from, in order.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to out.size() bytes into the start of `out` and returns how many; fewer only at the
  // end of the data. Empty on a read error.
  virtual std::optional<size_t> Read(std::span<uint8_t> out) = 0;
  // Passes over the next `count` bytes, or to the end of the data when fewer are left. False on
  // an error.
  virtual bool Skip(uint64_t count) = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  std::optional<size_t> Read(std::span<uint8_t> out) override {
    const size_t count = std::min(out.size(), bytes_.size());
    if (count > 0) std::memcpy(out.data(), bytes_.data(), count);
    bytes_ = bytes_.subspan(count);
    return count;
  }
  bool Skip(uint64_t count) override {
    bytes_ = bytes_.subspan(static_cast<size_t>(std::min<uint64_t>(count, bytes_.size())));
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;  // what is still to be read
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  std::optional<size_t> Read(std::span<uint8_t> out) override {
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::read(fd_, out.data() + done, out.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return std::nullopt;
      }
      if (n == 0) break;  // end of file
      done += static_cast<size_t>(n);
    }
    return done;
  }
  // A position past the end of a regular file is allowed; reads there find the end.
  bool Skip(uint64_t count) override {
    return count <= static_cast<uint64_t>(INT64_MAX) &&
           ::lseek(fd_, static_cast<off_t>(count), SEEK_CUR) >= 0;
  }

 private:
  int fd_;
};

// The reading steps, whatever the bytes come from.
bool ReadBmp(ByteSource& source, BITMAPINFO& description, std::span<uint8_t> buffer) {
  if (buffer.empty()) return false;

  // Zeroed, so that a file ending inside the file header gives offset 0.
  std::array<uint8_t, kBmpFileHeaderBytes> fileHeader{};
  const std::optional<size_t> fileHeaderBytes = source.Read(fileHeader);
  if (!fileHeaderBytes || *fileHeaderBytes < 2 || fileHeader[0] != 'B' || fileHeader[1] != 'M') {
    return false;
  }
  const uint32_t pixelOffset = LoadLe32(&fileHeader[10]);

  // Everything goes into a copy that replaces the description only once the file is accepted, so
  // a rejected file leaves it as it was and the description never outruns the buffer. Starting
  // from the description's own bytes keeps what a short file does not reach.
  BITMAPINFO next = description;
  if (!source.Read(BytesOf(next.bmiHeader))) return false;
  // A picture of some size with no bits per pixel has no pixel data to read or draw; its sizes
  // would go unchecked (S and the bytes per pixel are 0), so it is refused. 0 x 0 at depth 0 is
  // the description of a card that has acquired nothing yet.
  if (next.bmiHeader.biBitCount == 0 &&
      (next.bmiHeader.biWidth != 0 || next.bmiHeader.biHeight != 0)) {
    return false;
  }
  if (!FitsBuffer(next.bmiHeader, buffer.size())) return false;

  if (next.bmiHeader.biBitCount <= 8) {
    // The bytes between the headers and the pixel data are the palette; never more than its
    // 1,024 bytes, and nothing when the offset points into the headers. The pixel data start at
    // the offset when it lies past the palette area, else right after the bytes read here.
    const int64_t region = int64_t{pixelOffset} - static_cast<int64_t>(kBmpHeadersBytes);
    const auto paletteBytes =
        static_cast<size_t>(std::clamp<int64_t>(region, 0, static_cast<int64_t>(kBmpPaletteBytes)));
    if (!source.Read(BytesOf(next.bmiColors).first(paletteBytes))) return false;
    if (region > static_cast<int64_t>(kBmpPaletteBytes) &&
        !source.Skip(static_cast<uint64_t>(region) - kBmpPaletteBytes)) {
      return false;
    }
  }
  // Deeper pictures have no palette; their pixel data follow the headers whatever the offset
  // says.

  // FitsBuffer has made sure that S is known and no larger than the buffer.
  const auto pixelBytes = static_cast<size_t>(*BmpPixelBytes(next.bmiHeader));
  if (!source.Read(buffer.first(pixelBytes))) return false;
  description = next;
  return true;
}

// A new file beside the target, removed unless it is renamed over the target.
class PendingFile {
 public:
  explicit PendingFile(const fs::path& target) {
    // Hidden and named after the target, the process and a counter, so that concurrent writers
    // never share one. The target's name is cut short so the temporary name stays within the
    // file system's 255-byte limit.
    static std::atomic<unsigned> counter{0};
    const std::string name = target.filename().string().substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = target.parent_path() / ("." + name + "." + std::to_string(::getpid()) + "." +
                                      std::to_string(counter.fetch_add(1)) + ".tmp");
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
  }
  ~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (fd_ >= 0 || closed_) ::unlink(path_.c_str());
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Gives the file the permission bits of the file it is to replace, if there is one. The
  // set-id bits are not carried over, as a write into the old file would have cleared them. On a
  // file system without modes of its own (a FAT stick) the change can be refused; the file keeps
  // the mode the mount gives it then, which is the old file's as well.
  void KeepModeOf(const fs::path& target) const {
    struct stat old {};
    struct stat made {};
    if (::stat(target.c_str(), &old) != 0 || ::fstat(fd_, &made) != 0) return;
    constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX;
    if ((made.st_mode & kPermissionBits) != (old.st_mode & kPermissionBits)) {
      static_cast<void>(::fchmod(fd_, old.st_mode & kPermissionBits));
    }
  }

  // Closes the file and renames it over `target`; on failure the destructor removes it.
  bool Commit(const fs::path& target) {
    closed_ = true;
    const int result = ::close(std::exchange(fd_, -1));  // a delayed write error shows up here
    if (result != 0 || ::rename(path_.c_str(), target.c_str()) != 0) return false;
    closed_ = false;  // renamed: nothing left to remove
    return true;
  }

 private:
  fs::path path_;
  int fd_ = -1;
  bool closed_ = false;  // closed but not yet renamed
};

// The most symbolic links followed one after the other, as the kernel's own limit.
constexpr int kMaxLinks = 40;

// The file that saving to `path` replaces: `path` itself, or the file a symbolic link there leads
// to, through any chain of links (a link's relative target counts from the link's folder). It
// need not exist: a link to a file not made yet leads to where it is made. Empty for a loop.
std::optional<fs::path> FinalTarget(fs::path path) {
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    std::error_code error;
    const fs::path next = fs::read_symlink(path, error);
    if (error) return std::nullopt;
    // Joined, not normalised: ".." after a folder that is itself a link is the kernel's to
    // resolve, as it does when it follows the link.
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return std::nullopt;
}

// Writes every byte of `parts`, in order; false on any error (a full disk, a file-size limit).
bool WriteAll(int fd, std::span<iovec> parts) {
  while (!parts.empty()) {
    const ssize_t n = ::writev(fd, parts.data(), static_cast<int>(parts.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // Skip what was written: whole parts, then the start of the next.
    auto written = static_cast<size_t>(n);
    while (!parts.empty() && written >= parts.front().iov_len) {
      written -= parts.front().iov_len;
      parts = parts.subspan(1);
    }
    if (!parts.empty()) {
      parts.front().iov_base = static_cast<uint8_t*>(parts.front().iov_base) + written;
      parts.front().iov_len -= written;
    }
  }
  return true;
}

}  // namespace

std::optional<uint64_t> BmpPixelBytes(const BITMAPINFOHEADER& header) {
  return RowBytesTimesHeight(header, header.biBitCount);
}

bool WriteBmpFile(const fs::path& path, const BITMAPINFO& description,
                  std::span<const uint8_t> buffer) {
  if (path.empty()) return false;
  const std::optional<uint64_t> pixelBytes = BmpPixelBytes(description.bmiHeader);
  if (!pixelBytes || *pixelBytes == 0 || *pixelBytes > buffer.size()) return false;
  // 256 palette entries for any depth of 8 bits or less.
  const size_t paletteBytes = description.bmiHeader.biBitCount <= 8 ? kBmpPaletteBytes : 0;
  const uint64_t pixelOffset = kBmpHeadersBytes + paletteBytes;
  const uint64_t fileSize = pixelOffset + *pixelBytes;
  if (fileSize > UINT32_MAX) return false;  // the file header holds the size in 32 bits

  std::array<uint8_t, kBmpFileHeaderBytes> fileHeader{'B', 'M'};
  StoreLe32(&fileHeader[2], static_cast<uint32_t>(fileSize));
  StoreLe16(&fileHeader[6], 0);
  StoreLe16(&fileHeader[8], 0);
  StoreLe32(&fileHeader[10], static_cast<uint32_t>(pixelOffset));

  // The description's header and palette lie one after the other, as in the file. writev takes
  // non-const bases but only reads through them.
  std::array<iovec, 3> parts{{
      {fileHeader.data(), fileHeader.size()},
      {const_cast<BITMAPINFO*>(&description), kBmpInfoHeaderBytes + paletteBytes},
      {const_cast<uint8_t*>(buffer.data()), static_cast<size_t>(*pixelBytes)},
  }};

  // Saving to a symbolic link writes the file it leads to: the new file goes beside that file and
  // is renamed over it, so the link stays a link.
  const std::optional<fs::path> target = FinalTarget(path);
  if (!target) return false;
  // No fsync: the file is complete once renamed; what a crash of the machine leaves is the file
  // system's matter, as for any plain write.
  PendingFile file(*target);
  if (!file.valid()) return false;
  file.KeepModeOf(*target);
  if (!WriteAll(file.fd(), parts)) return false;
  return file.Commit(*target);
}

bool ReadBmpFile(const fs::path& path, BITMAPINFO& description, std::span<uint8_t> buffer) {
  if (path.empty() || buffer.empty()) return false;
  // Non-blocking, so that opening a FIFO does not wait for a writer; it is then refused as not a
  // regular file. Reads from a regular file are unaffected.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) return false;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  FileSource source(fd.get());
  return ReadBmp(source, description, buffer);
}

bool ReadBmpBytes(std::span<const uint8_t> file, BITMAPINFO& description,
                  std::span<uint8_t> buffer) {
  MemorySource source(file);
  return ReadBmp(source, description, buffer);
}

namespace {

// The file header and the sizes of a BMP file for `description`, as WriteBmpFile makes them:
// empty when it describes no pixel bytes, a negative size, or a file too large for the size
// field.
struct BmpLayout {
  std::array<uint8_t, kBmpFileHeaderBytes> fileHeader{'B', 'M'};
  size_t paletteBytes = 0;
  uint64_t pixelBytes = 0;
};

std::optional<BmpLayout> LayoutFor(const BITMAPINFO& description) {
  const std::optional<uint64_t> pixelBytes = BmpPixelBytes(description.bmiHeader);
  if (!pixelBytes || *pixelBytes == 0) return std::nullopt;
  BmpLayout layout;
  layout.pixelBytes = *pixelBytes;
  // 256 palette entries for any depth of 8 bits or less.
  layout.paletteBytes = description.bmiHeader.biBitCount <= 8 ? kBmpPaletteBytes : 0;
  const uint64_t pixelOffset = kBmpHeadersBytes + layout.paletteBytes;
  const uint64_t fileSize = pixelOffset + layout.pixelBytes;
  if (fileSize > UINT32_MAX) return std::nullopt;  // the file header holds the size in 32 bits
  StoreLe32(&layout.fileHeader[2], static_cast<uint32_t>(fileSize));
  StoreLe32(&layout.fileHeader[10], static_cast<uint32_t>(pixelOffset));
  return layout;
}

}  // namespace

bool WriteBmpFileInBands(const fs::path& path, const BITMAPINFO& description, size_t bandBytes,
                         const BmpBandFill& fill) {
  if (path.empty() || !fill) return false;
  const std::optional<BmpLayout> layout = LayoutFor(description);
  if (!layout) return false;
  const auto height = static_cast<uint32_t>(description.bmiHeader.biHeight);
  const uint64_t rowBytes = layout->pixelBytes / height;
  const auto bandLines =
      static_cast<uint32_t>(std::clamp<uint64_t>(bandBytes / rowBytes, 1, height));
  std::vector<uint8_t> band(static_cast<size_t>(rowBytes * bandLines));

  // As WriteBmpFile: through a symbolic link to its file, keeping the replaced file's mode.
  const std::optional<fs::path> target = FinalTarget(path);
  if (!target) return false;
  PendingFile file(*target);
  if (!file.valid()) return false;
  file.KeepModeOf(*target);
  // The headers as WriteBmpFile writes them; writev only reads through its non-const bases.
  std::array<uint8_t, kBmpFileHeaderBytes> fileHeader = layout->fileHeader;
  std::array<iovec, 2> headers{{
      {fileHeader.data(), fileHeader.size()},
      {const_cast<BITMAPINFO*>(&description), kBmpInfoHeaderBytes + layout->paletteBytes},
  }};
  if (!WriteAll(file.fd(), headers)) return false;
  for (uint32_t first = 0; first < height; first += bandLines) {
    const uint32_t lines = std::min(bandLines, height - first);
    const std::span<uint8_t> out(band.data(), static_cast<size_t>(rowBytes * lines));
    if (!fill(first, lines, out)) return false;
    std::array<iovec, 1> rows{{{out.data(), out.size()}}};
    if (!WriteAll(file.fd(), rows)) return false;
  }
  return file.Commit(*target);
}

bool WriteBmpFileFromRows(const fs::path& path, const BITMAPINFO& description,
                          std::span<const uint8_t* const> rows) {
  if (path.empty()) return false;
  const std::optional<BmpLayout> layout = LayoutFor(description);
  if (!layout || rows.size() != static_cast<uint64_t>(description.bmiHeader.biHeight)) {
    return false;
  }
  const uint64_t rowBytes = layout->pixelBytes / rows.size();
  const uint64_t pixels =
      (static_cast<uint64_t>(description.bmiHeader.biWidth) * description.bmiHeader.biBitCount +
       7) /
      8;
  static constexpr std::array<uint8_t, 3> kPadding{};  // a row is padded by at most 3 bytes
  const size_t padding = static_cast<size_t>(rowBytes - pixels);

  // The headers, then each row with its padding, as few writes as the system takes parts.
  std::array<uint8_t, kBmpFileHeaderBytes> fileHeader = layout->fileHeader;
  std::vector<iovec> parts;
  parts.reserve(2 + rows.size() * (padding != 0 ? 2 : 1));
  parts.push_back({fileHeader.data(), fileHeader.size()});
  parts.push_back(
      {const_cast<BITMAPINFO*>(&description), kBmpInfoHeaderBytes + layout->paletteBytes});
  for (const uint8_t* row : rows) {
    if (row == nullptr) return false;
    parts.push_back({const_cast<uint8_t*>(row), static_cast<size_t>(pixels)});
    if (padding != 0) parts.push_back({const_cast<uint8_t*>(kPadding.data()), padding});
  }

  // As WriteBmpFile: through a symbolic link to its file, keeping the replaced file's mode.
  const std::optional<fs::path> target = FinalTarget(path);
  if (!target) return false;
  PendingFile file(*target);
  if (!file.valid()) return false;
  file.KeepModeOf(*target);
  const auto maxParts = static_cast<size_t>(IOV_MAX);
  for (size_t at = 0; at < parts.size(); at += maxParts) {
    const std::span<iovec> some(parts.data() + at, std::min(maxParts, parts.size() - at));
    if (!WriteAll(file.fd(), some)) return false;
  }
  return file.Commit(*target);
}
