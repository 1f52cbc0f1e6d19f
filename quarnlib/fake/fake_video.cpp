// fake_video.cpp - the recording library's QuarnVideo.h operations: each one records its call,
// answers a scripted status if there is one, else checks its arguments like the simulated cards
// and updates the card world.
#include <exception>

#include "QuarnVideo.h"
#include "fake_pixels.h"
#include "fake_world.h"

namespace quarnfake {

using internal::CardWorld;
using internal::Entry;
using internal::HandleArg;
using internal::IntArg;
using internal::PointerArg;
using internal::UnsignedArg;

const char* ErrorText(int status) {
  switch (status) {
    case QUARN_OK:
      return "Quarn: no error";
    case QUARN_ERR_GENERAL:
      return "Quarn error -1: the operation failed";
    case QUARN_ERR_BAD_PARAMETER:
      return "Quarn error -2: an argument is out of range or a pointer is null";
    case QUARN_ERR_BAD_HANDLE:
      return "Quarn error -3: the card handle is not valid";
    case QUARN_ERR_CARD_NUMBER:
      return "Quarn error -4: there is no card with that number";
    case QUARN_ERR_STOP_PROBING:
      return "Quarn error -5: stop probing further video sources";
    case QUARN_ERR_BUSY:
      return "Quarn error -6: the card is busy with another acquisition";
    case QUARN_ERR_NOT_APPLIED:
      return "Quarn error -7: the value was accepted but the card has not applied it yet";
    case QUARN_ERR_NO_CARD:
      return "Quarn error -8: no capture card was found";
    case QUARN_ERR_STATIC_MEM:
      return "Quarn error -9: static memory is unavailable or the range lies outside the "
             "reservation";
    case QUARN_ERR_NO_MEMORY:
      return "Quarn error -10: host memory could not be obtained";
    case QUARN_ERR_NO_SIGNAL:
      return "Quarn error -11: the selected source carries no signal";
    case QUARN_ERR_SNAP_STATE:
      return "Quarn error -12: snap operations were called in the wrong order";
    case QUARN_ERR_NO_WINDOW:
      return "Quarn error -13: there is no host window or device context to use";
    default:
      return "Quarn error: unknown status";
  }
}

namespace internal {

int SourceCount(int type) {
  switch (type) {
    case QUARN_SOURCE_VIDEO:
      return QUARN_VIDEO_SOURCES;
    case QUARN_SOURCE_SVIDEO:
      return QUARN_SVIDEO_SOURCES;
    case QUARN_SOURCE_YCBCR:
      return QUARN_YCBCR_SOURCES;
    default:
      return 0;
  }
}

int FlatSource(int type, int number) {
  switch (type) {
    case QUARN_SOURCE_SVIDEO:
      return QUARN_VIDEO_SOURCES + number;
    case QUARN_SOURCE_YCBCR:
      return QUARN_VIDEO_SOURCES + QUARN_SVIDEO_SOURCES + number;
    default:
      return number;
  }
}

// Bytes of one stored frame with the card's geometry: field scan modes and interline 0 store
// half the output height.
uint64_t StoredFrameBytes(const CardState& s, int interline) {
  int lines = s.outputWindow.height;
  if (s.scanMode != QUARN_SCAN_FRAME || interline == 0) lines /= 2;
  return FrameBytes(s.format, s.outputWindow.width, lines);
}

}  // namespace internal
}  // namespace quarnfake

using quarnfake::internal::CardOp;
using quarnfake::internal::Guarded;
using namespace quarnfake;

// ---- Cards
// ------------------------------------------------------------------------------------------

int QuarnGetCardTotal(int* count) {
  return Guarded([&] {
    Entry e("QuarnGetCardTotal", 0, 0, {PointerArg(count)});
    if (count == nullptr) return e.Done(e.scripted() != 0 ? e.scripted() : QUARN_ERR_BAD_PARAMETER);
    // The count is written even with a scripted status: the programs use it whatever the status.
    *count = e.world().cardCount;
    return e.Done(e.scripted());
  });
}

int BeginQuarnCard(int cardNumber, QUARN_HANDLE* handle) {
  return Guarded([&] {
    const bool numbered = cardNumber >= 1 && cardNumber <= kMaxCards;
    Entry e("BeginQuarnCard", numbered ? cardNumber : 0, 0,
            {IntArg(cardNumber), PointerArg(handle)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    if (handle == nullptr) return e.Done(QUARN_ERR_BAD_PARAMETER);
    if (e.world().cardCount == 0) return e.Done(QUARN_ERR_NO_CARD);
    if (cardNumber < 1 || cardNumber > e.world().cardCount) return e.Done(QUARN_ERR_CARD_NUMBER);
    e.world().CardAt(cardNumber)->state.open = true;
    *handle = HandleOf(cardNumber);
    return e.Done(QUARN_OK);
  });
}

int EndQuarnCard(QUARN_HANDLE handle) {
  return CardOp("EndQuarnCard", handle, {HandleArg(handle)}, [](CardWorld& c, internal::World&) {
    CardState& s = c.state;
    s.open = false;
    s.live = false;
    s.window = nullptr;
    s.snapOpen = false;
    s.snapStarted = false;
    s.callback = nullptr;
    s.context = nullptr;
    return QUARN_OK;
  });
}

const char* QuarnGetErrorString(int status) {
  try {
    Entry e("QuarnGetErrorString", 0, 0, {IntArg(status)});
  } catch (...) {
    // Recording failed for lack of memory; the text is still given.
  }
  return ErrorText(status);
}

int QuarnGetCardType(QUARN_HANDLE handle, int* type) {
  return CardOp("QuarnGetCardType", handle, {HandleArg(handle), PointerArg(type)},
                [&](CardWorld& c, internal::World&) {
                  if (type == nullptr) return QUARN_ERR_BAD_PARAMETER;
                  *type = c.state.type;
                  return QUARN_OK;
                });
}

// ---- Sources and parameters
// -----------------------------------------------------------------------

int QuarnSetVideoSource(QUARN_HANDLE handle, int type, int number) {
  return CardOp("QuarnSetVideoSource", handle, {HandleArg(handle), IntArg(type), IntArg(number)},
                [&](CardWorld& c, internal::World&) {
                  if (number < 0 || number >= internal::SourceCount(type)) {
                    return QUARN_ERR_BAD_PARAMETER;
                  }
                  c.state.sourceType = type;
                  c.state.sourceNumber = number;
                  return QUARN_OK;
                });
}

int QuarnVideoPresent(QUARN_HANDLE handle, int* present) {
  return CardOp("QuarnVideoPresent", handle, {HandleArg(handle), PointerArg(present)},
                [&](CardWorld& c, internal::World&) {
                  if (present == nullptr) return QUARN_ERR_BAD_PARAMETER;
                  const int flat = internal::FlatSource(c.state.sourceType, c.state.sourceNumber);
                  *present = c.signals.test(static_cast<size_t>(flat)) ? 1 : 0;
                  return QUARN_OK;
                });
}

namespace {
// A setter of one code in [0, limit): stores it in the card's field `member`.
int SetCode(std::string_view op, QUARN_HANDLE handle, int code, int limit, int CardState::*member) {
  return CardOp(op, handle, {HandleArg(handle), IntArg(code)}, [&](CardWorld& c, internal::World&) {
    if (code < 0 || code >= limit) return QUARN_ERR_BAD_PARAMETER;
    c.state.*member = code;
    return QUARN_OK;
  });
}
}  // namespace

int QuarnSetVideoStandard(QUARN_HANDLE handle, int standard) {
  return SetCode("QuarnSetVideoStandard", handle, standard, 2, &CardState::standard);
}

int QuarnSetVideoFormat(QUARN_HANDLE handle, int format) {
  return SetCode("QuarnSetVideoFormat", handle, format, 7, &CardState::format);
}

int QuarnSetScanMode(QUARN_HANDLE handle, int scanMode) {
  return SetCode("QuarnSetScanMode", handle, scanMode, 3, &CardState::scanMode);
}

int QuarnSelectCryOSC(QUARN_HANDLE handle, int crystal) {
  return SetCode("QuarnSelectCryOSC", handle, crystal, 2, &CardState::crystal);
}

int QuarnAdjustVideo(QUARN_HANDLE handle, int item, uint8_t value) {
  return CardOp("QuarnAdjustVideo", handle, {HandleArg(handle), IntArg(item), IntArg(value)},
                [&](CardWorld& c, internal::World&) {
                  CardState& s = c.state;
                  switch (item) {
                    case QUARN_ADJUST_BRIGHTNESS:
                      s.brightness = value;
                      break;
                    case QUARN_ADJUST_CONTRAST:
                      s.contrast = value;
                      break;
                    case QUARN_ADJUST_HUE:
                      s.hue = value;
                      break;
                    case QUARN_ADJUST_SATURATION:
                      s.saturation = value;
                      break;
                    default:
                      return QUARN_ERR_BAD_PARAMETER;
                  }
                  return QUARN_OK;
                });
}

int QuarnSetPLLFrequency(QUARN_HANDLE handle, uint8_t value) {
  return CardOp("QuarnSetPLLFrequency", handle, {HandleArg(handle), IntArg(value)},
                [&](CardWorld& c, internal::World&) {
                  c.state.pll = value;
                  return QUARN_OK;
                });
}

int QuarnSetInputWindow(QUARN_HANDLE handle, int x, int y, int width, int height) {
  return CardOp("QuarnSetInputWindow", handle,
                {HandleArg(handle), IntArg(x), IntArg(y), IntArg(width), IntArg(height)},
                [&](CardWorld& c, internal::World&) {
                  if (x < 0 || y < 0 || width < 1 || height < 1 || width > QUARN_PAL_WIDTH - x ||
                      height > QUARN_PAL_HEIGHT - y) {
                    return QUARN_ERR_BAD_PARAMETER;
                  }
                  c.state.inputWindow = QuarnRect{x, y, width, height};
                  return QUARN_OK;
                });
}

int QuarnSetOutputWindow(QUARN_HANDLE handle, int x, int y, int width, int height) {
  return CardOp(
      "QuarnSetOutputWindow", handle,
      {HandleArg(handle), IntArg(x), IntArg(y), IntArg(width), IntArg(height)},
      [&](CardWorld& c, internal::World&) {
        if (width < 1 || width > QUARN_PAL_WIDTH || height < 1 || height > QUARN_PAL_HEIGHT) {
          return QUARN_ERR_BAD_PARAMETER;
        }
        c.state.outputWindow = QuarnRect{x, y, width, height};
        return QUARN_OK;
      });
}

int QuarnEnableMask(QUARN_HANDLE handle, int enable) {
  return CardOp("QuarnEnableMask", handle, {HandleArg(handle), IntArg(enable)},
                [&](CardWorld& c, internal::World&) {
                  c.state.maskEnabled = enable != 0;
                  return QUARN_OK;
                });
}

int QuarnSetPixelMask(QUARN_HANDLE handle, int x, int y, int masked) {
  return CardOp(
      "QuarnSetPixelMask", handle, {HandleArg(handle), IntArg(x), IntArg(y), IntArg(masked)},
      [&](CardWorld& c, internal::World&) {
        using internal::kMaxHeight;
        using internal::kMaxWidth;
        if (x < 0 || y < 0 || x >= kMaxWidth || y >= kMaxHeight) {
          return QUARN_ERR_BAD_PARAMETER;
        }
        if (c.mask.empty()) {
          if (masked == 0) return QUARN_OK;
          c.mask.assign(static_cast<size_t>(kMaxWidth) * kMaxHeight, 0);
        }
        uint8_t& flag = c.mask[static_cast<size_t>(y) * kMaxWidth + static_cast<size_t>(x)];
        const uint8_t now = masked != 0 ? 1 : 0;
        c.state.maskedPixels += now - flag;
        flag = now;
        return QUARN_OK;
      });
}

int QuarnSetDelay(QUARN_HANDLE handle, int xDelay, int yDelay) {
  return CardOp("QuarnSetDelay", handle, {HandleArg(handle), IntArg(xDelay), IntArg(yDelay)},
                [&](CardWorld& c, internal::World&) {
                  if (xDelay < -128 || xDelay > 128 || yDelay < -128 || yDelay > 128) {
                    return QUARN_ERR_BAD_PARAMETER;
                  }
                  c.state.xDelay = xDelay;
                  c.state.yDelay = yDelay;
                  return QUARN_OK;
                });
}

int QuarnEnableVideoMirror(QUARN_HANDLE handle, int direction, int enable) {
  return CardOp("QuarnEnableVideoMirror", handle,
                {HandleArg(handle), IntArg(direction), IntArg(enable)},
                [&](CardWorld& c, internal::World&) {
                  if (direction == QUARN_MIRROR_HORIZONTAL) {
                    c.state.mirrorHorizontal = enable != 0;
                  } else if (direction == QUARN_MIRROR_VERTICAL) {
                    c.state.mirrorVertical = enable != 0;
                  } else {
                    return QUARN_ERR_BAD_PARAMETER;
                  }
                  return QUARN_OK;
                });
}

int QuarnLumaControl(QUARN_HANDLE handle, int item, uint8_t value) {
  return CardOp("QuarnLumaControl", handle, {HandleArg(handle), IntArg(item), IntArg(value)},
                [&](CardWorld& c, internal::World&) {
                  if (item != QUARN_LUMA_CHROMA_TRAP) return QUARN_ERR_BAD_PARAMETER;
                  c.state.chromaTrap = value;
                  return QUARN_OK;
                });
}

// ---- Single frames and static memory
// --------------------------------------------------------------

int QuarnCaptureShot(QUARN_HANDLE handle) {
  return CardOp("QuarnCaptureShot", handle, {HandleArg(handle)},
                [](CardWorld& c, internal::World&) {
                  ++c.state.captureShots;
                  return QUARN_OK;
                });
}

int QuarnSnapShot(QUARN_HANDLE handle, uint64_t offset, uint32_t reserved, int interline,
                  uint16_t count) {
  return CardOp("QuarnSnapShot", handle,
                {HandleArg(handle), UnsignedArg(offset), UnsignedArg(reserved), IntArg(interline),
                 IntArg(count)},
                [&](CardWorld& c, internal::World& w) {
                  if (c.state.live || c.state.snapStarted) return QUARN_ERR_BUSY;
                  if (count == 0) return QUARN_OK;
                  const uint64_t bytes = internal::StoredFrameBytes(c.state, interline) * count;
                  if (!w.InReservation(offset, bytes)) return QUARN_ERR_STATIC_MEM;
                  // The double stores no picture; the test writes the frames it wants to see.
                  w.Tag(offset, bytes, c.state.format);
                  return QUARN_OK;
                });
}

int QuarnGetStaticMem(int* pages) {
  return Guarded([&] {
    Entry e("QuarnGetStaticMem", 0, 0, {PointerArg(pages)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    if (pages == nullptr) return e.Done(QUARN_ERR_BAD_PARAMETER);
    *pages = e.world().pagesInForce;
    return e.Done(QUARN_OK);
  });
}

int QuarnSetStaticMem(int pages) {
  return Guarded([&] {
    Entry e("QuarnSetStaticMem", 0, 0, {IntArg(pages)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    if (pages < 0 || pages > kMaxStaticMemPages) return e.Done(QUARN_ERR_BAD_PARAMETER);
    e.world().pendingPages = pages;
    return e.Done(QUARN_OK);
  });
}

int QuarnStaticMemLock(uint64_t offset, uint64_t size, QUARN_MEMLOCK* lock, void** address) {
  return Guarded([&] {
    Entry e("QuarnStaticMemLock", 0, 0,
            {UnsignedArg(offset), UnsignedArg(size), PointerArg(lock), PointerArg(address)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    internal::World& w = e.world();
    if (lock == nullptr || address == nullptr || size == 0) {
      return e.Done(QUARN_ERR_BAD_PARAMETER);
    }
    if (!w.InReservation(offset, size)) return e.Done(QUARN_ERR_STATIC_MEM);
    internal::Mapping* m = w.Memory();
    if (m == nullptr) return e.Done(QUARN_ERR_NO_MEMORY);
    uint32_t id = w.nextLock++;
    while (id == 0 || w.locks.contains(id)) id = w.nextLock++;
    w.locks.emplace(id, internal::MemLock{offset, size, w.memory});
    *lock = id;
    *address = m->data() + offset;
    return e.Done(QUARN_OK);
  });
}

int QuarnStaticMemUnlock(QUARN_MEMLOCK lock) {
  return Guarded([&] {
    Entry e("QuarnStaticMemUnlock", 0, 0, {UnsignedArg(lock)});
    if (e.scripted() != 0) return e.Done(e.scripted());
    if (e.world().locks.erase(lock) == 0) return e.Done(QUARN_ERR_BAD_PARAMETER);
    return e.Done(QUARN_OK);
  });
}
