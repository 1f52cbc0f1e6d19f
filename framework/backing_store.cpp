// backing_store.cpp - the image behind a view's client area, shared by the UI thread and the
// capture library's threads under one mutex.
#include "backing_store.h"

#include <QMetaObject>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <utility>

namespace {

QRgb ToRgb(COLORREF color) {
  return qRgb(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
              static_cast<int>((color >> 16) & 0xFF));
}

}  // namespace

CBackingStore::CBackingStore() : background_(RGB(255, 255, 255)) {}

void CBackingStore::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  std::lock_guard lock(mutex_);
  if (image_.width() == width && image_.height() == height) return;
  QImage resized(width, height, QImage::Format_RGB32);
  if (resized.isNull()) {
    image_ = QImage();
    return;
  }
  resized.fill(ToRgb(background_));
  if (!image_.isNull()) {
    // Old content stays at the top-left, as a window keeps what it showed when it grows.
    QPainter painter(&resized);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), image_);
  }
  image_ = std::move(resized);
}

int CBackingStore::width() const {
  std::lock_guard lock(mutex_);
  return image_.width();
}

int CBackingStore::height() const {
  std::lock_guard lock(mutex_);
  return image_.height();
}

COLORREF CBackingStore::BackgroundColor() const {
  std::lock_guard lock(mutex_);
  return background_;
}

void CBackingStore::SetBackgroundColor(COLORREF color) {
  std::lock_guard lock(mutex_);
  background_ = color;
}

void CBackingStore::SetChangedHandler(std::function<void(const QRect&)> handler) {
  changed_ = std::move(handler);
}

void CBackingStore::Draw(const std::function<void(QImage&)>& draw, const QRect& changed) {
  QRect bounds;
  {
    std::lock_guard lock(mutex_);
    if (image_.isNull()) return;
    draw(image_);
    bounds = image_.rect();
  }
  // Reported outside the lock: the handler may take its own lock and post an event.
  const QRect visible = changed.intersected(bounds);
  if (changed_ && !visible.isEmpty()) changed_(visible);
}

void CBackingStore::Read(const std::function<void(const QImage&)>& read) const {
  std::lock_guard lock(mutex_);
  read(image_);
}

std::function<void(const QRect&)> CBackingStore::PostUpdateTo(QWidget* widget) {
  // Changes gathered since the last repaint was posted; at most one repaint is queued.
  struct Pending {
    std::mutex mutex;  // protects area and posted
    QRect area;
    bool posted = false;
  };
  auto pending = std::make_shared<Pending>();
  return [widget, pending](const QRect& rect) {
    {
      std::lock_guard lock(pending->mutex);
      pending->area = pending->area.united(rect);
      if (pending->posted) return;
      pending->posted = true;
    }
    QMetaObject::invokeMethod(
        widget,
        [widget, pending] {
          QRect area;
          {
            std::lock_guard lock(pending->mutex);
            area = std::exchange(pending->area, QRect());
            pending->posted = false;
          }
          widget->update(area);
        },
        Qt::QueuedConnection);
  };
}
