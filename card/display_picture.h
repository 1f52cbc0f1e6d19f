// display_picture.h - CDisplayPicture, the picture one card shows: its bitmap description (a
// bitmap header with a 256-entry grey colour table), its display buffer of 768 x 576 x 4 bytes and
// its grey palette, with the steps every acquisition path takes on them: convert a frame stored in
// static memory into the buffer, draw the buffer into a view with the palette selected, and read
// the picture shown in a view back into the buffer.
//
// Hexmont's card records and Solvane's card object each hold one. A description that says more
// than the buffer holds is never drawn, converted into or read into: the step is refused.
//
// Threads: the snap callbacks convert frames into the picture on the library's thread while the
// UI thread may save it (Solvane's Save As during Snap); the conversion and the copy a save takes
// hold the picture's lock, so a file never holds part of one frame and part of the next. Every
// other change of the description or buffer happens while no snap delivers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "display.h"
#include "gdi_types.h"

class CDC;
struct StoredFrames;

class CDisplayPicture {
 public:
  // Enough for any stored frame or read-back: 768 x 576 pixels of up to 4 bytes.
  static constexpr size_t kBufferBytes = DisplayBuffer::kBytes;

  CDisplayPicture() = default;
  CDisplayPicture(const CDisplayPicture&) = delete;
  CDisplayPicture& operator=(const CDisplayPicture&) = delete;

  // Creates the grey palette, fills a fresh description (size 40, planes 1, everything else 0,
  // grey colour table) and allocates the buffer filled with `fill`. Returns false when the buffer
  // could not be had: it stays empty, while the description and the palette are set up.
  bool SetUp(uint8_t fill);
  // Frees the buffer and deletes the palette; the description stays as it is.
  void Release();

  // The description; null until SetUp.
  BITMAPINFO* Header() { return setUp_ ? &storage_.info : nullptr; }
  const BITMAPINFO* Header() const { return setUp_ ? &storage_.info : nullptr; }
  // The description's storage, valid before SetUp too (Solvane describes stored frames before
  // its card is open).
  BITMAPINFOHEADER& Description() { return storage_.info.bmiHeader; }
  const BITMAPINFOHEADER& Description() const { return storage_.info.bmiHeader; }

  uint8_t* Buffer() { return buffer_.data(); }
  const uint8_t* Buffer() const { return buffer_.data(); }
  // kBufferBytes once allocated, else 0.
  size_t BufferSize() const { return buffer_.size(); }
  bool HasBuffer() const { return !buffer_.empty(); }
  // Fills the whole buffer with `value`; nothing without one.
  void Fill(uint8_t value) { buffer_.Fill(value); }

  // The grey palette 8-bit pictures are drawn with; null until SetUp and after Release.
  CPalette* Palette() const { return palette_.get(); }

  // Describes a frame the card made: the whole description is written afresh (size 40, planes 1,
  // uncompressed, no image size, resolutions or colour counts, the grey colour table) with this
  // width, height and bit count. Whatever a BMP file read before left in it (a compression, a
  // larger header size, a colour count, its palette) so never changes how a frame is drawn or
  // saved. Every path that describes a frame (stored frames, the snap, playback, read-back) goes
  // through here.
  void Describe(int width, int height, int bitCount);

  // Bytes of the bitmap a header describes as drawing reads it: rows padded to 4 bytes (15-bit
  // pixels taking 16 bits), times the number of rows (top-down bitmaps count their rows too).
  // Computed without overflow; 0 for a width, height or bit count of 0, and UINT64_MAX for a
  // negative width.
  static uint64_t BitmapBytes(const BITMAPINFOHEADER& header);
  // Whether the description can be drawn from the buffer: there is a buffer, a description of a
  // picture (width and height not 0) and its bitmap fits the buffer.
  bool DescriptionFits() const;

  // Converts the stored frame of `format` lying at `offset` in static memory, `frameBytes` long,
  // into the buffer as the bitmap the description gives the size of (8 bits for the 8-bit
  // formats, else 24): lock, QuarnDataTransform, unlock. Returns the transform's status; the
  // lock's status when it fails (the buffer keeps its picture); QUARN_ERR_BAD_PARAMETER without
  // transforming when that bitmap would not fit the buffer. The transform runs under the
  // picture's lock.
  int ConvertStoredFrame(uint64_t offset, uint64_t frameBytes, int format);

  // Converts frame `index` of a stored sequence into the buffer as it was stored (its format,
  // offset and stride) and describes the picture as that frame (Describe: the stored width and
  // height at 8 bits for the 8-bit formats, else 24). Returns as the conversion above; the
  // description changes only once the frame is locked. QUARN_ERR_BAD_PARAMETER for an index
  // outside the sequence or a frame whose bitmap would not fit the buffer.
  int ConvertStoredFrame(const StoredFrames& frames, uint32_t index);

  // Writes frame `index` of a stored sequence as a BMP file at `path` (Save Serials), straight
  // from static memory, and describes it whole as the frame (as Describe would); the picture is
  // not touched. The frame is locked and transformed band by band into a small scratch buffer,
  // each band written as soon as it is made (WriteBmpFileInBands); where the library's transform
  // of the format only reverses the rows, the rows are written from static memory as they lie
  // (WriteBmpFileFromRows). A frame that cannot be locked or transformed gives the file the
  // picture as it is (WriteBmpFile). Nothing for an index outside the sequence or a frame larger
  // than its stride. Returns whether a file was written.
  bool WriteStoredFrame(const StoredFrames& frames, uint32_t index,
                        const std::filesystem::path& path) const;

  // Writes the picture as a BMP file at `path` (imagefiles' WriteBmpFile): the description and
  // the pixel bytes it gives are copied under the picture's lock and written without it, so a
  // conversion running meanwhile waits only for the copy, never for the disk. False without a
  // path or buffer, when the description gives no pixel bytes or more than the buffer holds, or
  // when the file cannot be written.
  bool WriteBmpFile(const std::filesystem::path& path) const;

  // Draws the source rectangle (sx, sy, sw, sh) of the picture into (x, y, width, height) of
  // `dc`, an 8-bit picture with the palette selected for the call. Returns StretchDIBits' result;
  // 0 without drawing when the description does not fit the buffer.
  int Draw(CDC& dc, int x, int y, int width, int height, int sx, int sy, int sw, int sh);
  // The whole picture 1:1 with its top-left corner at (x, y).
  int Draw(CDC& dc, int x, int y);

  // Reads `width` x `height` pixels shown at client point (x, y) of `dc` into the buffer
  // (QuarnGetDisplayBits, which writes the depth into the description); on 0 the picture is
  // described (Describe) with that size and depth. A size whose 32-bit picture would not fit the
  // buffer is refused with QUARN_ERR_BAD_PARAMETER, as is a call without a buffer or description;
  // nothing is read then.
  int ReadBack(CDC& dc, int x, int y, int width, int height);

 private:
  // Locks `frameBytes` of static memory at `offset` and, holding the picture's lock, describes the
  // picture as `width` x `height` at the format's bitmap depth when `describe` is set, then
  // transforms the frame into the buffer at that size. A frame larger than `frameBytes` or than
  // the buffer is refused with QUARN_ERR_BAD_PARAMETER.
  int Convert(uint64_t offset, uint64_t frameBytes, int format, int width, int height,
              bool describe);

  bool setUp_ = false;
  DisplayHeaderStorage storage_;
  DisplayBuffer buffer_;
  std::unique_ptr<CPalette> palette_;
  // Held while a stored frame is converted into the buffer and while a save copies the
  // description and buffer (see Threads above).
  mutable std::mutex frameMutex_;
};
