// host_window.h - a view's side of the capture library's host-window contract (QuarnVidEx.h):
// the QuarnHostWindow the library draws live video through, backed by the view's backing store
// and by a snapshot of the view's geometry that the UI thread keeps current. Also the palette
// selected into the view's window, so a displaced palette can be selected back later.
#pragma once

#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "QuarnVidEx.h"
#include "backing_store.h"
#include "gdi_types.h"

class QWidget;

// What the UI thread last saw of a view. Read by any thread through CHostWindow::Geometry().
struct HostGeometry {
  QRect clientOnScreen;  // the client area in screen (Qt global) coordinates
  QSize screenSize;      // the size of the screen the view is on
  int depth = 32;        // bits per pixel of that screen
};

// The process-wide default palette: what a window has selected until a program selects its
// own. Never modified.
CPalette* StockDefaultPalette();

// One per view, owned by the view next to (and declared after) its backing store, at a fixed
// address: the library keeps a pointer to Contract() while live video runs.
//
// Lifetime: the contract is valid from QuarnCaptureEx(.., Contract(), 1) until
// QuarnCaptureEx(.., 0) or EndQuarnCard has returned. Stop live video before the view goes. As a
// second line of defence, Close() (run when the followed widget is destroyed and by the
// destructor) waits for calls in flight and makes every later call report "no window" and draw
// nothing while the object still exists.
class CHostWindow {
 public:
  explicit CHostWindow(CBackingStore& store);
  ~CHostWindow();
  CHostWindow(const CHostWindow&) = delete;
  CHostWindow& operator=(const CHostWindow&) = delete;

  // UI thread. Follows `client`, the widget whose area is the view's client area: the geometry
  // snapshot is refreshed on every move, resize, show or hide of it or of an ancestor (moving
  // the main window moves the view on the screen), and Close() runs when it is destroyed.
  void Attach(QWidget* client);
  // UI thread. Re-reads the followed widget's geometry now (after a change Qt reports late).
  void UpdateGeometry();
  // Replaces the snapshot; for windows without a widget (tests, off-screen views).
  void SetGeometry(const HostGeometry& geometry);
  HostGeometry Geometry() const;

  void Close();
  bool IsClosed() const;

  // The struct handed to the library (QuarnCaptureEx) and placed in a context's QuarnHostDC.
  const QuarnHostWindow* Contract() const { return &contract_; }
  CBackingStore& BackingStore() const { return store_; }

  // The contract's operations; any thread, never waiting for the UI thread.
  // Client area in screen coordinates; 0, or -1 once closed.
  int GetClientRect(QuarnRect* screenRect) const;
  // Draws xxRRGGBB pixels (the top byte ignored: each is made opaque on the way) whose top-left
  // corner is at a screen point, clipped to the client area; then the backing store's changed
  // handler posts the repaint.
  void DrawPixels(int32_t screenX, int32_t screenY, int32_t width, int32_t height,
                  const uint32_t* pixels, size_t stride);
  // Shows a block the way DrawPixels does, but without a copy: clips the `width` x `height`
  // block at a screen point to the client area (and to the backing store's image, which may
  // lag behind a resize) and, when a part of it is shown, runs `write` once on this thread with
  // the backing store locked, giving it that part in block coordinates and the image's pixels
  // where the part's top-left pixel goes. `write` must fill the whole part with opaque
  // FFRRGGBB words (the image's format wants the top byte 0xFF) and must not call this window
  // or its backing store. Nothing once closed; the changed handler posts the repaint.
  void WritePixels(int32_t screenX, int32_t screenY, int32_t width, int32_t height,
                   QuarnPixelWriter write, void* writer);
  // Copies pixels shown at client point (x, y) as 0x00RRGGBB; outside the client area reads 0.
  // Returns 0, or -1 once closed or on bad arguments.
  int ReadPixels(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t* pixels,
                 size_t stride) const;
  int Depth() const;

  // Every other drawing on the window (device contexts: bitmaps, fills) goes through these, so a
  // closed window is drawn into by nobody. Draw runs `draw` on the backing store's image and
  // reports `changed`; nothing once closed. Any thread.
  void Draw(const std::function<void(QImage&)>& draw, const QRect& changed);
  // The window's erase colour; white once closed.
  COLORREF BackgroundColor() const;

  // The palette selected into the window (shared by all its device contexts); any thread.
  // Returns the one it displaces.
  CPalette* SelectPalette(CPalette* palette, bool background);
  CPalette* SelectedPalette() const;
  bool PaletteInBackground() const;
  // Maps the selected palette; returns its entry count. The display is true-colour, so no pixel
  // already drawn changes.
  UINT RealizePalette();
  int RealizeCount() const;

 private:
  class Watcher;

  CBackingStore& store_;
  QuarnHostWindow contract_{};

  // Protects geometry_ and closed_. The contract's calls hold it shared for their whole run,
  // so Close() (exclusive) returns only when none is in flight; writers are UI-thread only.
  mutable std::shared_mutex stateMutex_;
  HostGeometry geometry_;
  bool closed_ = false;

  // Protects palette_, paletteBackground_ and realized_.
  mutable std::mutex paletteMutex_;
  CPalette* palette_;
  bool paletteBackground_ = false;
  int realized_ = 0;

  // UI thread only: the followed widget and the event filter on it and its ancestors.
  QWidget* client_ = nullptr;
  std::unique_ptr<Watcher> watcher_;
};
