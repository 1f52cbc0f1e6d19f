/*
 * QuarnVidEx.h - the capture library's extension: live video over a host window, continuous
 * snap into a ring of static-memory slots with a per-frame callback, display read-back and
 * frame conversion; and the host-window contract through which the library draws and reads.
 *
 * The library never includes a GUI toolkit. The program describes each window and device
 * context with a small struct of function pointers (below) and passes its address.
 */
#ifndef QUARN_VIDEX_H
#define QUARN_VIDEX_H

#include <stddef.h>
#include <stdint.h>

#include "QuarnVideo.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Host-window contract ---------------------------------------------------------------
 *
 * Pixels crossing the contract are 32-bit words xxRRGGBB (bytes B, G, R, x in memory): the top
 * byte carries nothing (either side may leave any value there; hosts treat every pixel as
 * opaque), except in pixels the library writes through WritePixels, whose top byte is 0xFF so
 * that the host can show them as they are. Rows top first, `stride` bytes apart. Screen
 * coordinates are the desktop's global coordinates, the same ones the output window is given in.
 *
 * A QuarnHostWindow describes the window that live video is drawn over. The library calls
 * GetClientRect, DrawPixels and WritePixels from its own threads, so all must be safe to call
 * from any thread and must never wait for the program's user-interface thread. The struct and
 * its context must stay valid from QuarnCaptureEx(.., window, 1) until QuarnCaptureEx(.., 0) or
 * EndQuarnCard of that card has returned; the library keeps no pointer to it after that.
 *
 * Each host struct starts with its own size: the host sets `size` to sizeof the struct as its
 * header declares it (sizeof(QuarnHostWindow), sizeof(QuarnHostDC)). Members are only ever added
 * at the end, so the size tells a library which members the host knows of: it reads only those
 * that lie wholly within `size` bytes (QUARN_HOST_COVERS), takes a member beyond them as null,
 * and never reads past them. A program built against an older header thus works with a newer
 * library (a host window without WritePixels gets every frame through DrawPixels), and one built
 * against a newer header works with an older library (the members it does not know are left
 * alone). A size below the oldest contract (QUARN_HOST_WINDOW_SIZE_1, QUARN_HOST_DC_SIZE_1;
 * among them 0, a struct whose size was never set) is refused: the call returns
 * QUARN_ERR_BAD_PARAMETER and reads nothing beyond `size`.
 */
typedef struct QuarnRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
} QuarnRect;

/* Writes the part of a block that starts at pixel (x, y) of the block, `width` x `height`
 * pixels, into `pixels` (rows `stride` bytes apart) as opaque words FFRRGGBB: every pixel of the
 * part, with 0xFF in the top byte. Given to WritePixels by the library; `writer` is its own. */
typedef void (*QuarnPixelWriter)(void* writer, int32_t x, int32_t y, int32_t width, int32_t height,
                                 uint32_t* pixels, size_t stride);

typedef struct QuarnHostWindow {
  /* sizeof(QuarnHostWindow) as the host was built; see above. */
  uint32_t size;
  void* context;
  /* The window's client area in screen coordinates; returns 0 on success, non-zero when the
   * window cannot be drawn on any more. */
  int (*GetClientRect)(void* context, QuarnRect* screenRect);
  /* Draws `width` x `height` pixels with their top-left corner at screen point (screenX,
   * screenY). The host clips to its client area; parts outside it are dropped. */
  void (*DrawPixels)(void* context, int32_t screenX, int32_t screenY, int32_t width, int32_t height,
                     const uint32_t* pixels, size_t stride);
  /* Optional (null when the host has none; the library then uses DrawPixels). Shows the same
   * block as DrawPixels would, but the library writes the pixels straight into the host's
   * picture, sparing a copy of every frame: the host clips the block to its client area and,
   * when a part of it is shown, calls `write` once on the calling thread before returning, with
   * that part in block coordinates and the place in its picture where the part's top-left pixel
   * goes. `write` must not call the window (the host holds its picture locked meanwhile).
   * Added after the oldest contract: read only when `size` covers it. */
  void (*WritePixels)(void* context, int32_t screenX, int32_t screenY, int32_t width,
                      int32_t height, QuarnPixelWriter write, void* writer);
} QuarnHostWindow;

/* A QuarnHostDC is a device context on a window's client area. It is only used during the
 * call it is passed to. */
typedef struct QuarnHostDC {
  /* sizeof(QuarnHostDC) as the host was built; see above. */
  uint32_t size;
  void* context;
  /* The window the context draws on; null when it has none (a printer, a memory context). */
  const QuarnHostWindow* window;
  /* Bits per pixel of the display: 8, 15, 16, 24 or 32. */
  int (*GetDepth)(void* context);
  /* Copies `width` x `height` pixels shown at client point (x, y). Pixels outside the client
   * area read as 0. Returns 0 on success. */
  int (*ReadPixels)(void* context, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t* pixels, size_t stride);
} QuarnHostDC;

/* Non-zero when the host struct at `host` (a QuarnHostWindow or QuarnHostDC of type `type`)
 * holds `member` whole, by its size. */
#define QUARN_HOST_COVERS(host, type, member) \
  ((host)->size >= offsetof(type, member) + sizeof((host)->member))
/* The oldest contracts, in bytes: a host window up to and with DrawPixels (no WritePixels), a
 * device context up to and with ReadPixels. A struct with a smaller size is refused. */
#define QUARN_HOST_WINDOW_SIZE_1 (offsetof(QuarnHostWindow, DrawPixels) + sizeof(void (*)(void)))
#define QUARN_HOST_DC_SIZE_1 (offsetof(QuarnHostDC, ReadPixels) + sizeof(void (*)(void)))

/* ---- Snap callback ------------------------------------------------------------------------
 *
 * The record handed to the callback. Packed to 4 bytes so that the slot index is at byte
 * offset 8 and the context pointer at byte offset 12 on every platform.
 */
#pragma pack(push, 4)
typedef struct QuarnSnapInfo {
  uint32_t cardNumber;  /* offset 0: number of the card (from 1) */
  uint32_t frameNumber; /* offset 4: frames delivered since QuarnStartSnapEx, from 0 */
  uint32_t slot;        /* offset 8: ring slot just filled, 0 .. slot count - 1 */
  void* context;        /* offset 12: the context given to QuarnOpenSnapEx */
} QuarnSnapInfo;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(offsetof(QuarnSnapInfo, slot) == 8, "slot index at byte offset 8");
static_assert(offsetof(QuarnSnapInfo, context) == 12, "context pointer at byte offset 12");
#else
_Static_assert(offsetof(QuarnSnapInfo, slot) == 8, "slot index at byte offset 8");
_Static_assert(offsetof(QuarnSnapInfo, context) == 12, "context pointer at byte offset 12");
#endif

/* Called once per stored frame, from the library's thread; returns 1. */
typedef int (*QuarnSnapCallback)(QuarnSnapInfo* info);

/* ---- Transform modes ----------------------------------------------------------------------
 * The last argument of QuarnDataTransform. QUARN_TRANSFORM_STORED (1) reads the source as the
 * card stored it: the format is the one recorded with the frame in static memory, or, for a
 * source outside static memory, the format that the bit count names first (16: YUV422, 15:
 * RGB555, 24: RGB888, 32: RGB8888, 8: all-range 8 bit). QUARN_TRANSFORM_FORMAT(f) names the
 * source format f explicitly.
 */
#define QUARN_TRANSFORM_STORED 1
#define QUARN_TRANSFORM_FORMAT(format) (0x100 | (format))

/* ---- Operations -------------------------------------------------------------------------- */
/* 1 starts live video drawn over `window` at the output window's screen rectangle, at the
 * standard's frame rate, from the library's thread; 0 stops it and returns only when no draw
 * of that card is running (`window` may then be null). A window whose size is below
 * QUARN_HOST_WINDOW_SIZE_1, or without GetClientRect or DrawPixels, is refused with
 * QUARN_ERR_BAD_PARAMETER. */
QUARN_API int QuarnCaptureEx(QUARN_HANDLE handle, const QuarnHostWindow* window, int on);
QUARN_API int QuarnOpenSnapEx(QUARN_HANDLE handle, QuarnSnapCallback callback, void* context);
/* Stops a running snap and closes it; returns only when no callback of that card runs, except
 * when called from inside that card's callback. */
QUARN_API int QuarnCloseSnapEx(QUARN_HANDLE handle);
/* Fills a ring of `slots` frames from byte `offset` of static memory, one after another, and
 * calls the callback once per frame. */
QUARN_API int QuarnStartSnapEx(QUARN_HANDLE handle, uint64_t offset, int interline, uint16_t slots);
/* Stops filling the ring; returns only when no callback of that card runs, except when called
 * from inside that card's callback. */
QUARN_API int QuarnStopSnapEx(QUARN_HANDLE handle);
/* Copies the pixels shown at client point (x, y) of the device context into `pixels` as a
 * bottom-up device-independent bitmap at the display's depth (rows padded to 4 bytes), and
 * writes that depth into *bitCount. Width 1..768 and height 1..576: the programs' display buffer
 * holds 768 x 576 pixels of 4 bytes, which any depth fits. A frozen frame of QuarnCaptureShot is
 * drawn through dc->window first. A context whose size is below QUARN_HOST_DC_SIZE_1, or whose
 * window's size is below QUARN_HOST_WINDOW_SIZE_1, is refused with QUARN_ERR_BAD_PARAMETER. */
QUARN_API int QuarnGetDisplayBits(const QuarnHostDC* dc, int x, int y, int width, int height,
                                  uint16_t* bitCount, void* pixels);
/* Converts one stored frame (width x height, packed rows, top row first) into a bottom-up
 * device-independent bitmap with rows padded to 4 bytes: 24-bit B G R for the five formats
 * that are not 8-bit, 8-bit for the two that are. */
QUARN_API int QuarnDataTransform(void* destination, const void* source, int width, int height,
                                 int bitsPerPixel, int mode);

#ifdef __cplusplus
}
#endif

#endif /* QUARN_VIDEX_H */
