/*
 * QuarnVideo.h - the capture library's card, parameter, single-frame and
 * static-memory operations, with the status and parameter codes they use.
 *
 * C linkage; every operation returns a signed 32-bit status, 0 for success.
 * The library never throws and never writes through a null out-parameter.
 */
#ifndef QUARN_VIDEO_H
#define QUARN_VIDEO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QUARN_API __attribute__((visibility("default")))
#else
#define QUARN_API
#endif

/* Opaque card handle written by BeginQuarnCard; 0 means "no card open". */
typedef uint32_t QUARN_HANDLE;

/* Opaque static-memory lock written by QuarnStaticMemLock. */
typedef uint32_t QUARN_MEMLOCK;

/* ---- Statuses ---------------------------------------------------------- */
/* clang-format off */
#define QUARN_OK 0
#define QUARN_ERR_GENERAL (-1)         /* unspecified failure */
#define QUARN_ERR_BAD_PARAMETER (-2)   /* an argument is out of range or a pointer is null */
#define QUARN_ERR_BAD_HANDLE (-3)      /* the handle is 0 or names no open card */
#define QUARN_ERR_CARD_NUMBER (-4)     /* no card with that number */
#define QUARN_ERR_STOP_PROBING (-5)    /* QuarnVideoPresent: stop trying further sources */
#define QUARN_ERR_BUSY (-6)            /* the card is busy with another acquisition */
#define QUARN_ERR_NOT_APPLIED (-7)     /* accepted and remembered, not yet applied by the card */
#define QUARN_ERR_NO_CARD (-8)         /* no capture card was found */
#define QUARN_ERR_STATIC_MEM (-9)      /* static memory unavailable, or range outside the reservation */
#define QUARN_ERR_NO_MEMORY (-10)      /* host memory could not be obtained */
#define QUARN_ERR_NO_SIGNAL (-11)      /* the selected source carries no signal */
#define QUARN_ERR_SNAP_STATE (-12)     /* snap operation in the wrong order (not open, already open) */
#define QUARN_ERR_NO_WINDOW (-13)      /* no host window or device context to draw on or read from */
/* clang-format on */

/* ---- Parameter codes --------------------------------------------------- */
/* Video standards; the image is 768 x 576 for PAL, 640 x 480 for NTSC. */
#define QUARN_STANDARD_PAL 0
#define QUARN_STANDARD_NTSC 1

/* Pixel formats of stored frames, with their bits per pixel. */
#define QUARN_FORMAT_YUV422 0   /* 16 bits: Y0 U Y1 V per pixel pair */
#define QUARN_FORMAT_RGB888 1   /* 24 bits: B G R */
#define QUARN_FORMAT_RGB565 2   /* 16 bits, little-endian RRRRRGGGGGGBBBBB */
#define QUARN_FORMAT_RGB555 3   /* 15 bits in 2 bytes, little-endian 0RRRRRGGGGGBBBBB */
#define QUARN_FORMAT_RGB8888 4  /* 32 bits: B G R X */
#define QUARN_FORMAT_ALL8 5     /* 8-bit luma, 0..255 */
#define QUARN_FORMAT_LIMITED8 6 /* 8-bit luma, 16..235 */

/* Scan modes: both field modes deliver one field, half the output height. */
#define QUARN_SCAN_FRAME 0
#define QUARN_SCAN_FIELD 1
#define QUARN_SCAN_FIELD1 2

/* Source types and how many numbered sources each has. */
#define QUARN_SOURCE_VIDEO 0  /* "Video 1" .. "Video 6", numbers 0..5 */
#define QUARN_SOURCE_SVIDEO 1 /* "S-Video 1" .. "S-Video 3", numbers 0..2 */
#define QUARN_SOURCE_YCBCR 2  /* "YCbCr1", "YCbCr2", numbers 0..1 */
#define QUARN_VIDEO_SOURCES 6
#define QUARN_SVIDEO_SOURCES 3
#define QUARN_YCBCR_SOURCES 2

/* Crystal oscillators: 35M suits PAL, 28M suits NTSC; the wrong one makes the picture roll. */
#define QUARN_CRYSTAL_35M 0
#define QUARN_CRYSTAL_28M 1

/* Items of QuarnAdjustVideo. */
#define QUARN_ADJUST_BRIGHTNESS 1
#define QUARN_ADJUST_CONTRAST 2
#define QUARN_ADJUST_HUE 3
#define QUARN_ADJUST_SATURATION 4

/* Directions of QuarnEnableVideoMirror. */
#define QUARN_MIRROR_HORIZONTAL 0
#define QUARN_MIRROR_VERTICAL 1

/* Items of QuarnLumaControl. */
#define QUARN_LUMA_CHROMA_TRAP 0

/* Card types reported by QuarnGetCardType. */
#define QUARN_CARD_TYPE_0 0
#define QUARN_CARD_TYPE_1 1
#define QUARN_CARD_TYPE_2 2

/* Image sizes of the two standards. */
#define QUARN_PAL_WIDTH 768
#define QUARN_PAL_HEIGHT 576
#define QUARN_NTSC_WIDTH 640
#define QUARN_NTSC_HEIGHT 480

/* One page of static memory. */
#define QUARN_PAGE_SIZE 4096

/* ---- Cards --------------------------------------------------------------- */
QUARN_API int QuarnGetCardTotal(int* count);
QUARN_API int BeginQuarnCard(int cardNumber, QUARN_HANDLE* handle);
QUARN_API int EndQuarnCard(QUARN_HANDLE handle);
/* A constant English text for any status; never null, never to be freed. */
QUARN_API const char* QuarnGetErrorString(int status);
QUARN_API int QuarnGetCardType(QUARN_HANDLE handle, int* type);

/* ---- Sources and parameters ---------------------------------------------- */
QUARN_API int QuarnSetVideoSource(QUARN_HANDLE handle, int type, int number);
/* Writes non-zero into *present when the selected source carries a signal. */
QUARN_API int QuarnVideoPresent(QUARN_HANDLE handle, int* present);
QUARN_API int QuarnSetVideoStandard(QUARN_HANDLE handle, int standard);
QUARN_API int QuarnSetVideoFormat(QUARN_HANDLE handle, int format);
QUARN_API int QuarnSetScanMode(QUARN_HANDLE handle, int scanMode);
QUARN_API int QuarnSelectCryOSC(QUARN_HANDLE handle, int crystal);
QUARN_API int QuarnAdjustVideo(QUARN_HANDLE handle, int item, uint8_t value);
QUARN_API int QuarnSetPLLFrequency(QUARN_HANDLE handle, uint8_t value);
/* Source rectangle in image pixels. */
QUARN_API int QuarnSetInputWindow(QUARN_HANDLE handle, int x, int y, int width, int height);
/* Screen rectangle of live video; its size is the size of stored frames. */
QUARN_API int QuarnSetOutputWindow(QUARN_HANDLE handle, int x, int y, int width, int height);
QUARN_API int QuarnEnableMask(QUARN_HANDLE handle, int enable);
/* One pixel of the mask, in picture (output) coordinates; masked pixels show black while the
 * mask is enabled. */
QUARN_API int QuarnSetPixelMask(QUARN_HANDLE handle, int x, int y, int masked);
QUARN_API int QuarnSetDelay(QUARN_HANDLE handle, int xDelay, int yDelay);
QUARN_API int QuarnEnableVideoMirror(QUARN_HANDLE handle, int direction, int enable);
QUARN_API int QuarnLumaControl(QUARN_HANDLE handle, int item, uint8_t value);

/* ---- Single frames and static memory ------------------------------------- */
/* Freezes one frame at the output window; it is drawn on the live-video window when live
 * video runs, otherwise on the window of the next QuarnGetDisplayBits' device context. */
QUARN_API int QuarnCaptureShot(QUARN_HANDLE handle);
/* Stores `count` consecutive frames from byte `offset` of static memory, each packed at the
 * output window's size in the current format (no row padding, top row first); field scan
 * modes and interline 0 store half-height frames. */
QUARN_API int QuarnSnapShot(QUARN_HANDLE handle, uint64_t offset, uint32_t reserved, int interline,
                            uint16_t count);
/* Pages of 4 KB now reserved; status 0 means the reservation is in force. */
QUARN_API int QuarnGetStaticMem(int* pages);
/* Requests a new reservation; it takes effect after the machine has restarted. */
QUARN_API int QuarnSetStaticMem(int pages);
/* Maps `size` bytes of static memory from byte `offset`; fails unless the whole range lies
 * inside the reservation in force. Every successful lock is paired with an unlock. */
QUARN_API int QuarnStaticMemLock(uint64_t offset, uint64_t size, QUARN_MEMLOCK* lock,
                                 void** address);
QUARN_API int QuarnStaticMemUnlock(QUARN_MEMLOCK lock);

#ifdef __cplusplus
}
#endif

#endif /* QUARN_VIDEO_H */
