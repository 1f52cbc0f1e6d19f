// dc.h - device contexts: drawing on a view's client area (through its host window and backing
// store, from any thread) or on a printer or preview page (through a QPainter, UI thread), with
// device-independent bitmap stretch-blits, stretch modes, palette selection, solid fills and
// device capabilities; and the QuarnHostDC the capture library reads the display through.
#pragma once

#include <concepts>

#include "QuarnVidEx.h"
#include "gdi_types.h"
#include "host_window.h"

class QPainter;

inline constexpr DWORD DIB_PAL_COLORS = 1;

class CDC {
 public:
  // A context on a view's client area in client coordinates. Usable on any thread: it touches
  // only the backing store and the geometry snapshot, never a widget.
  explicit CDC(CHostWindow& window);
  // A context on the painter's device in its pixels (printing and print preview when
  // `printing`), UI thread. The painter must outlive the context.
  CDC(QPainter& painter, bool printing);
  virtual ~CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // Draws the source rectangle (sx, sy, sw, sh) of a device-independent bitmap - origin at the
  // top-left of the picture as shown - into the destination rectangle, clipped to the device.
  // Bitmaps: BI_RGB, bottom-up (biHeight > 0) or top-down, 8 bits with a colour table, 15 (555),
  // 16 (565), 24 (B G R) or 32 (B G R x) bits, rows padded to 4 bytes. Stretching takes the
  // nearest source pixel (COLORONCOLOR deletes rows and columns; the other modes do the same).
  // Only DIB_RGB_COLORS and SRCCOPY. Returns the number of source scan lines of the request
  // inside the picture (also when the destination is clipped away), 0 on error: null bits or
  // info, a header shorter than 40 bytes, unsupported depth or compression, sizes not above 0.
  int StretchDIBits(int x, int y, int dw, int dh, int sx, int sy, int sw, int sh, const void* bits,
                    const BITMAPINFO* info, UINT usage, DWORD rop);

  // Returns the previous mode; 0 (and no change) for an unknown mode. A new context has
  // BLACKONWHITE.
  int SetStretchBltMode(int mode);
  int GetStretchBltMode() const { return stretchMode_; }

  // Selects a logical palette and returns the one it displaces (the stock default palette when
  // nothing was selected), so it can be selected back. On a view the selection belongs to the
  // window and outlives the context. Null selects nothing and returns null.
  CPalette* SelectPalette(CPalette* palette, BOOL forceBackground);
  // Maps the selected palette and returns its entry count. The display is true-colour: no
  // pixel changes, and 8-bit bitmaps are drawn with their own colour tables.
  UINT RealizePalette();

  // The background colour: a view's starts as its window's erase colour (white by default), a
  // printer's as white.
  COLORREF GetBkColor() const { return bkColor_; }
  COLORREF SetBkColor(COLORREF color);

  // Fills a rectangle with one colour. Like the framework's, it leaves `color` as the context's
  // background colour.
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void FillSolidRect(const RECT& rect, COLORREF color);
  // Fills with the window's erase colour (the default background erase).
  void FillBackground(const RECT& rect);

  // HORZRES, VERTRES (pixels), BITSPIXEL, PLANES, LOGPIXELSX, LOGPIXELSY; 0 for anything else.
  // A view: its screen (96 pixels per inch); a printer: the page and the printer's resolution.
  int GetDeviceCaps(int index) const;
  bool IsPrinting() const { return printing_; }

  // The context as the capture library sees it; valid while this object lives. A printer's has
  // no window and cannot be read back.
  const QuarnHostDC* GetSafeHdc() const { return &hostDC_; }
  // The view's host window; null for a painter's context.
  CHostWindow* GetHostWindow() const { return window_; }

 private:
  void FillColor(const QRect& rect, COLORREF color);

  CHostWindow* window_ = nullptr;  // a view's context
  QPainter* painter_ = nullptr;    // a painter's context
  bool printing_ = false;
  int stretchMode_ = BLACKONWHITE;
  COLORREF bkColor_ = RGB(255, 255, 255);
  CPalette* palette_ = nullptr;  // a painter's context: its selected palette
  QuarnHostDC hostDC_{};
};

// A logical palette selected into a context as a foreground palette and realized for the length
// of a scope; the palette it displaced is selected back and realized when the scope ends. With a
// null palette, or `when` false, nothing is selected or restored. Palettes selected into a view
// belong to its window, so the displaced one is kept here, never in a shared slot: several
// threads may draw with their own scopes at once.
class CScopedPalette {
 public:
  CScopedPalette(CDC& dc, CPalette* palette, bool when = true);
  ~CScopedPalette();
  CScopedPalette(const CScopedPalette&) = delete;
  CScopedPalette& operator=(const CScopedPalette&) = delete;
  // The palette the selection replaced; null when nothing was selected.
  CPalette* Displaced() const { return displaced_; }

 private:
  CDC& dc_;
  CPalette* displaced_ = nullptr;
};

// The type of a view that can give a client context: it exposes its host window.
template <typename View>
concept HasHostWindow = requires(View& view) {
  { view.HostWindow() } -> std::convertible_to<CHostWindow&>;
};

// A context on a view's client area for the length of a call ("get a device context for the
// view"); usable on any thread, e.g. in the snap callback. The view must outlive it.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CHostWindow& window) : CDC(window) {}
  template <HasHostWindow View>
  explicit CClientDC(View* view) : CDC(view->HostWindow()) {}
};
