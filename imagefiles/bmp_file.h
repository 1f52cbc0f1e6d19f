// bmp_file.h - uncompressed BMP files: writing a card's bitmap description and display buffer to
// a file, and reading a file back into them.
//
// A file as written: a 14-byte file header ("BM", file size, two reserved words, offset of the
// pixel data), the description's 40-byte header exactly as held (nothing recomputed), 256 palette
// entries when the header's bit count is 8 or less, then the first S bytes of the buffer, where
//   S = ((biWidth * biBitCount + 31) / 32) * 4 * biHeight
// is the size of the pixel rows, each padded to a multiple of 4 bytes. All integers are
// little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>

#include "gdi_types.h"

inline constexpr size_t kBmpFileHeaderBytes = 14;
inline constexpr size_t kBmpInfoHeaderBytes = sizeof(BITMAPINFOHEADER);                    // 40
inline constexpr size_t kBmpHeadersBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;      // 54
inline constexpr size_t kBmpPaletteBytes = sizeof(BITMAPINFO) - sizeof(BITMAPINFOHEADER);  // 1024

// S for a header: the bytes of its padded pixel rows. Empty when the width or height is negative
// or S does not fit in 64 bits. Depth 0 gives 0, whatever the dimensions.
std::optional<uint64_t> BmpPixelBytes(const BITMAPINFOHEADER& header);

// Writes `description` and the first S bytes of `buffer` as a BMP file at `path`, replacing any
// file there. Writes nothing and fails when the path is empty, the width or height is negative,
// S is 0 or S is larger than the buffer (nothing is read past it).
//
// The bytes go to a new file beside the target that is renamed over it only once every byte is
// written, so a write that fails part-way (disk full, file-size limit) leaves the old file, or
// none, and never a file that claims more bytes than it holds. The new file takes the permission
// bits of the file it replaces (without the set-id bits), or the usual ones (0666 less the
// umask) when there is none. When `path` is a symbolic link (or a chain of them) the file it
// leads to is the target: the link stays, the file it names is replaced (or made); a loop of
// links fails. Under a file-size limit the process must ignore SIGXFSZ for the write to fail
// rather than end the process, as both programs do from their start-up.
bool WriteBmpFile(const std::filesystem::path& path, const BITMAPINFO& description,
                  std::span<const uint8_t> buffer);

// Reads the BMP file at `path` into `description` and `buffer`. Fails, with the description and
// buffer unchanged, when the path is empty, the buffer is empty, the file cannot be opened (or is
// not a regular file), does not start with "BM", has a bit count of 0 with a width or height
// other than 0, or its picture does not fit the buffer: a negative width or height, a size (bytes
// per pixel rounded up) x height x width or an S larger than the buffer, or rows as they are
// drawn (15-bit pixels take 16 bits there) larger than the buffer. Every size is computed in 64
// bits from the file's own fields.
//
// On success the file's 40-byte header replaces the description's. For 8 bits or less the bytes
// between the headers and the pixel data (offset - 54) go to the palette area, at most its 1,024
// bytes and nothing when the offset is below 54; the pixel data follow the bytes so read, or, for
// an offset past the palette area (above 54 + 1,024), start at the offset. For more than 8 bits
// the palette is kept and the pixel data start at byte 54 whatever the offset says. Then S bytes
// go to the start of the buffer.
//
// Short reads are not failures: a header field, palette entry or buffer byte that the file ends
// before keeps the value it had. A read error fails with the description unchanged (the buffer may
// then hold part of the new picture). The header's size, planes and compression are not
// examined: a file of 1 or 4 bits or a compressed one is read like any other, and the drawing
// code (CDC::StretchDIBits) draws nothing for such a description, since it decodes only
// uncompressed 8, 15, 16, 24 and 32-bit rows and returns 0 for anything else.
bool ReadBmpFile(const std::filesystem::path& path, BITMAPINFO& description,
                 std::span<uint8_t> buffer);

// ReadBmpFile over the bytes of a file held in memory, with the same steps and results.
bool ReadBmpBytes(std::span<const uint8_t> file, BITMAPINFO& description,
                  std::span<uint8_t> buffer);

// Makes `lines` pixel rows of a BMP file into `out` (lines x the row size S / height), starting
// at row `first` in the file's order (a bottom-up picture's bottom row first). Returns false to
// stop the write.
using BmpBandFill = std::function<bool(uint32_t first, uint32_t lines, std::span<uint8_t> out)>;

// Writes a BMP file as WriteBmpFile does (the same bytes, the same refusals, the same temporary
// file renamed into place), the pixel rows made by `fill` band after band in a scratch buffer of
// about `bandBytes` (at least one row) and written as each band is made: the rows pass through a
// buffer small enough to stay in the processor's cache instead of a whole picture's. Fails, with
// nothing left at the path, when `fill` returns false.
bool WriteBmpFileInBands(const std::filesystem::path& path, const BITMAPINFO& description,
                         size_t bandBytes, const BmpBandFill& fill);

// Writes a BMP file as WriteBmpFile does (the same bytes, the same refusals, the same temporary
// file renamed into place), its pixel rows taken in file order from `rows`: each points to a
// row's pixels ((biWidth x biBitCount + 7) / 8 bytes), which are written straight from where they
// lie, with the zeros that pad a row to 4 bytes. Fails when `rows` does not hold biHeight rows.
bool WriteBmpFileFromRows(const std::filesystem::path& path, const BITMAPINFO& description,
                          std::span<const uint8_t* const> rows);
