// static_frames.h - what both programs share about frames kept in static memory: a scoped lock
// of a static-memory range, the bytes a pixel takes, the frame count the library can be given,
// and the check of a ring slot reported by the library.
#pragma once

#include <cstdint>

#include "QuarnVideo.h"

// A static-memory lock released when it goes out of scope. `address()` is valid while it lives
// and status() is 0.
class StaticMemLock {
 public:
  StaticMemLock(uint64_t offset, uint64_t size)
      : status_(QuarnStaticMemLock(offset, size, &lock_, &address_)) {}
  ~StaticMemLock() {
    if (status_ == QUARN_OK) QuarnStaticMemUnlock(lock_);
  }
  StaticMemLock(const StaticMemLock&) = delete;
  StaticMemLock& operator=(const StaticMemLock&) = delete;
  int status() const { return status_; }
  bool ok() const { return status_ == QUARN_OK; }
  void* address() const { return address_; }

 private:
  QUARN_MEMLOCK lock_ = 0;
  void* address_ = nullptr;
  int status_;
};

// Bytes one pixel of a format takes in static memory: (BitsForFormat + 7) / 8, so 15 bits take
// 2; 0 for an unknown format.
int BytesPerPixelOf(int format);

// Bytes of one stored frame of `format`: bytes per pixel x width x height, rows not padded; 0
// for an unknown format or a size not above 0.
uint64_t StoredFrameBytes(int format, int width, int height);

// Bytes of one stored frame counted with padded rows, as Solvane reads its sequences back: the
// row of `width` pixels of `format` rounded up to a multiple of 4 bytes, times `height`; 0 for an
// unknown format or a size not above 0.
uint64_t PaddedFrameBytes(int format, int width, int height);

// Where and how the frames a snap shot stored lie in static memory, kept when the snap shot
// succeeds: playback and Save Serials read the frames as they were stored (format, size, stride),
// whatever format, standard or scan mode has been chosen since.
struct StoredFrames {
  uint64_t offset = 0;      // where frame 0 lies
  uint64_t frameBytes = 0;  // from one frame to the next, and the bytes locked for one
  uint32_t count = 0;       // how many were stored; 0: none
  int format = 0;           // the video format they were stored in
  int width = 0;            // the bitmap each becomes: width x height at BitCount()
  int height = 0;

  // 8 bits for the 8-bit formats, else 24.
  int BitCount() const;
  uint64_t FrameOffset(uint32_t index) const { return offset + frameBytes * index; }
};

// Lines of a frame Snap Shot stores: the output height, halved (integer division) in the two
// field scan modes.
int SnapShotLines(int outputHeight, int scanMode);

// Lines of a frame the continuous snap stores: the output height when the scan mode is the frame
// mode and interline is on, else half of it.
int SnapLines(int outputHeight, int scanMode, int interline);

// The bit count of a display header for stored frames: 8 for the 8-bit formats, else 24 (the
// transform makes 24-bit pixels of every other format).
int StoredFrameBitCount(int format);

// The frame count QuarnSnapShot and QuarnStartSnapEx take is 16-bit.
inline constexpr uint32_t kMaxFrameCount = 65535;

// How many frames of `frameBytes` fit into `available` bytes, limited to what the library can be
// asked to store (kMaxFrameCount): a larger count would wrap and store (and report) far fewer
// frames than claimed. 0 when `frameBytes` is 0.
uint16_t FramesThatFit(uint64_t available, uint64_t frameBytes);

// Whether a slot index reported to the snap callback lies inside a ring of `ringSlots` frames; an
// index outside it would read past the ring, so the callback ignores that frame.
inline bool SlotInRing(uint32_t slot, uint32_t ringSlots) {
  return slot < ringSlots;
}
