// backing_store.h - the image behind a view's client area: what the screen shows there. Painting
// (OnDraw), the capture library's live overlay and the snap callback all draw into it; the view's
// paint event only copies it out. Safe to draw into from any thread.
#pragma once

#include <QImage>
#include <QRect>

class QWidget;

#include <functional>
#include <mutex>

#include "gdi_types.h"

class CBackingStore {
 public:
  CBackingStore();

  // Resizes to the client area's size (new pixels take the background colour); UI thread.
  void Resize(int width, int height);
  int width() const;
  int height() const;

  // The colour erasing fills with (the window class's background brush: white by default).
  COLORREF BackgroundColor() const;
  void SetBackgroundColor(COLORREF color);

  // Called after a draw (on the drawing thread) with the client rectangle that changed; the view
  // sets it to post a queued update. Never blocks and never calls into the UI thread directly.
  void SetChangedHandler(std::function<void(const QRect&)> handler);
  // A changed handler that repaints `widget` from its own thread: the changes gathered until
  // the repaint runs are posted as one queued update, so a slow UI thread never piles up
  // events. The widget must outlive every draw (see CHostWindow for live video).
  static std::function<void(const QRect&)> PostUpdateTo(QWidget* widget);

  // Runs `draw` with the image locked, then reports `changed` (client coordinates) to the
  // changed handler. Usable from any thread.
  void Draw(const std::function<void(QImage&)>& draw, const QRect& changed);
  // Runs `read` with the image locked (read-only).
  void Read(const std::function<void(const QImage&)>& read) const;

 private:
  // Protects image_ and background_; the changed handler is set once, before any other thread
  // draws.
  mutable std::mutex mutex_;
  QImage image_;  // Format_RGB32, the client area's size
  COLORREF background_;
  std::function<void(const QRect&)> changed_;
};
