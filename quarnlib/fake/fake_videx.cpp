// fake_videx.cpp - the recording library's QuarnVidEx.h operations: live video and snap only
// record and change state (frames come from DeliverSnapFrame / DrawLiveFrame on the test's
// thread); display read-back writes the documented pattern; the transform converts for real.
#include "QuarnVidEx.h"
#include "fake_pixels.h"
#include "fake_world.h"

namespace quarnfake::internal {

// The source format of a transform, or -1 when the bit count and mode name none.
int TransformFormat(World& w, const void* source, int bits, int mode) {
  if (mode == QUARN_TRANSFORM_STORED) {
    // The format the frames were stored in, when the source lies in static memory and its bit
    // count agrees; else the format the bit count names first.
    const int64_t offset = w.OffsetOf(source);
    if (offset >= 0) {
      if (auto tagged = w.TagAt(static_cast<uint64_t>(offset));
          tagged && FormatBits(*tagged) == bits) {
        return *tagged;
      }
    }
    switch (bits) {
      case 16:
        return QUARN_FORMAT_YUV422;
      case 15:
        return QUARN_FORMAT_RGB555;
      case 24:
        return QUARN_FORMAT_RGB888;
      case 32:
        return QUARN_FORMAT_RGB8888;
      case 8:
        return QUARN_FORMAT_ALL8;
      default:
        return -1;
    }
  }
  if ((mode & ~0xFF) == QUARN_TRANSFORM_FORMAT(0)) {
    const int format = mode & 0xFF;
    return FormatBits(format) != 0 && FormatBits(format) == bits ? format : -1;
  }
  return -1;
}

}  // namespace quarnfake::internal

using namespace quarnfake;
using quarnfake::internal::CardOp;
using quarnfake::internal::CardWorld;
using quarnfake::internal::Entry;
using quarnfake::internal::FunctionArg;
using quarnfake::internal::Guarded;
using quarnfake::internal::HandleArg;
using quarnfake::internal::IntArg;
using quarnfake::internal::PointerArg;
using quarnfake::internal::UnsignedArg;
using quarnfake::internal::World;

int QuarnCaptureEx(QUARN_HANDLE handle, const QuarnHostWindow* window, int on) {
  return CardOp("QuarnCaptureEx", handle, {HandleArg(handle), PointerArg(window), IntArg(on)},
                [&](CardWorld& c, World&) {
                  CardState& s = c.state;
                  if (on == 0) {
                    s.live = false;
                    s.window = nullptr;
                    return QUARN_OK;
                  }
                  // As the library: a struct smaller than the oldest contract is refused.
                  if (window == nullptr || window->size < QUARN_HOST_WINDOW_SIZE_1 ||
                      window->GetClientRect == nullptr || window->DrawPixels == nullptr) {
                    return QUARN_ERR_BAD_PARAMETER;
                  }
                  if (s.snapStarted) return QUARN_ERR_BUSY;
                  s.live = true;
                  s.window = window;
                  return QUARN_OK;
                });
}

int QuarnOpenSnapEx(QUARN_HANDLE handle, QuarnSnapCallback callback, void* context) {
  return CardOp("QuarnOpenSnapEx", handle,
                {HandleArg(handle), FunctionArg(callback), PointerArg(context)},
                [&](CardWorld& c, World&) {
                  CardState& s = c.state;
                  if (callback == nullptr) return QUARN_ERR_BAD_PARAMETER;
                  if (s.snapOpen) return QUARN_ERR_SNAP_STATE;
                  s.snapOpen = true;
                  s.callback = callback;
                  s.context = context;
                  return QUARN_OK;
                });
}

int QuarnCloseSnapEx(QUARN_HANDLE handle) {
  return CardOp("QuarnCloseSnapEx", handle, {HandleArg(handle)}, [](CardWorld& c, World&) {
    CardState& s = c.state;
    if (!s.snapOpen) return QUARN_ERR_SNAP_STATE;
    s.snapOpen = false;
    s.snapStarted = false;
    s.callback = nullptr;
    s.context = nullptr;
    return QUARN_OK;
  });
}

int QuarnStartSnapEx(QUARN_HANDLE handle, uint64_t offset, int interline, uint16_t slots) {
  return CardOp("QuarnStartSnapEx", handle,
                {HandleArg(handle), UnsignedArg(offset), IntArg(interline), IntArg(slots)},
                [&](CardWorld& c, World& w) {
                  CardState& s = c.state;
                  if (!s.snapOpen) return QUARN_ERR_SNAP_STATE;
                  if (slots == 0) return QUARN_ERR_BAD_PARAMETER;
                  if (s.snapStarted) return QUARN_ERR_SNAP_STATE;
                  if (s.live) return QUARN_ERR_BUSY;
                  // The slot geometry is fixed now, as the card fixes it when it starts.
                  int lines = s.outputWindow.height;
                  if (s.scanMode != QUARN_SCAN_FRAME || interline == 0) lines /= 2;
                  const uint64_t frame = FrameBytes(s.format, s.outputWindow.width, lines);
                  if (!w.InReservation(offset, frame * slots)) return QUARN_ERR_STATIC_MEM;
                  s.snapStarted = true;
                  s.snapOffset = offset;
                  s.snapSlots = slots;
                  s.snapFrameBytes = frame;
                  s.framesDelivered = 0;
                  w.Tag(offset, frame * slots, s.format);
                  return QUARN_OK;
                });
}

int QuarnStopSnapEx(QUARN_HANDLE handle) {
  return CardOp("QuarnStopSnapEx", handle, {HandleArg(handle)}, [](CardWorld& c, World&) {
    if (!c.state.snapOpen) return QUARN_ERR_SNAP_STATE;
    c.state.snapStarted = false;
    return QUARN_OK;
  });
}

int QuarnGetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height,
                        uint16_t* bitCount, void* pixels) {
  return Guarded([&] {
    Entry e("QuarnGetDisplayBits", 0, 0,
            {PointerArg(dc), IntArg(x), IntArg(y), IntArg(width), IntArg(height),
             PointerArg(bitCount), PointerArg(pixels)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    // The callers' display buffer holds 768 x 576 pixels of 4 bytes: larger reads are refused.
    if (dc == nullptr || bitCount == nullptr || pixels == nullptr || width < 1 ||
        width > QUARN_PAL_WIDTH || height < 1 || height > QUARN_PAL_HEIGHT) {
      return e.Done(QUARN_ERR_BAD_PARAMETER);
    }
    // As the library: host structs smaller than their oldest contract are refused.
    if (dc->size < QUARN_HOST_DC_SIZE_1 ||
        (dc->window != nullptr && dc->window->size < QUARN_HOST_WINDOW_SIZE_1)) {
      return e.Done(QUARN_ERR_BAD_PARAMETER);
    }
    const int depth = e.world().displayDepth;
    if (!internal::DisplayDepthSupported(depth)) return e.Done(QUARN_ERR_BAD_PARAMETER);
    internal::FillDisplayPattern(static_cast<uint8_t*>(pixels), x, y, width, height, depth,
                                 e.world().displaySeed);
    *bitCount = static_cast<uint16_t>(depth);
    return e.Done(QUARN_OK);
  });
}

int QuarnDataTransform(void* destination, const void* source, int width, int height,
                       int bitsPerPixel, int mode) {
  return Guarded([&] {
    Entry e("QuarnDataTransform", 0, 0,
            {PointerArg(destination), PointerArg(source), IntArg(width), IntArg(height),
             IntArg(bitsPerPixel), IntArg(mode)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    if (destination == nullptr || source == nullptr || width < 1 || height < 1) {
      return e.Done(QUARN_ERR_BAD_PARAMETER);
    }
    const int format = internal::TransformFormat(e.world(), source, bitsPerPixel, mode);
    if (format < 0) return e.Done(QUARN_ERR_BAD_PARAMETER);
    internal::TransformFrame(static_cast<uint8_t*>(destination),
                             static_cast<const uint8_t*>(source), width, height, format);
    return e.Done(QUARN_OK);
  });
}
