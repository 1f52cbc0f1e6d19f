// host_window.cpp - the host-window contract of a view: geometry snapshot, live-video drawing and
// read-back through the backing store, and the window's selected palette.
#include "host_window.h"

#include <emmintrin.h>

#include <QEvent>
#include <QObject>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Copies `count` contract pixels into the image, making each opaque (the image's format wants a
// top byte of 0xFF; the contract's top byte carries nothing): one pass, four pixels at a time.
void CopyOpaque(uint32_t* out, const uint8_t* in, size_t count) {
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  size_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x * 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(value, opaque));
  }
  for (; x < count; ++x) {
    uint32_t value;
    std::memcpy(&value, in + x * 4, sizeof value);
    out[x] = value | 0xFF000000u;
  }
}

// The default palette: the twenty colours a display always has.
const std::vector<PALETTEENTRY>& DefaultEntries() {
  static const std::vector<PALETTEENTRY> entries = {
      {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
      {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
      {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
      {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
      {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};
  return entries;
}

// The part of a `width` x `height` block placed at (x, y) that lies inside 0..limitW x
// 0..limitH, computed in 64 bits so that no screen position can overflow.
QRect ClipBlock(int64_t x, int64_t y, int64_t width, int64_t height, int64_t limitW,
                int64_t limitH) {
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(x + width, limitW);
  const int64_t bottom = std::min<int64_t>(y + height, limitH);
  if (right <= left || bottom <= top) return {};
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
               static_cast<int>(bottom - top));
}

}  // namespace

CPalette* StockDefaultPalette() {
  static CPalette palette(0x300, DefaultEntries());
  return &palette;
}

// Keeps the geometry snapshot current: sees moves, resizes, shows and hides of the client
// widget and of its ancestors, since moving any of them moves the client area on the screen.
class CHostWindow::Watcher : public QObject {
 public:
  explicit Watcher(CHostWindow* owner) : owner_(owner) {}

  void WatchChain(QWidget* client) {
    for (QWidget* w = client; w != nullptr; w = w->parentWidget()) w->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ParentChange:
        // A new parent chain: follow it too (installing twice on one object is harmless).
        if (auto* w = qobject_cast<QWidget*>(watched)) WatchChain(w);
        owner_->UpdateGeometry();
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
        owner_->UpdateGeometry();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  CHostWindow* owner_;
};

CHostWindow::CHostWindow(CBackingStore& store) : store_(store), palette_(StockDefaultPalette()) {
  contract_.size = sizeof(QuarnHostWindow);
  contract_.context = this;
  contract_.GetClientRect = [](void* context, QuarnRect* rect) {
    return static_cast<const CHostWindow*>(context)->GetClientRect(rect);
  };
  contract_.DrawPixels = [](void* context, int32_t x, int32_t y, int32_t w, int32_t h,
                            const uint32_t* pixels, size_t stride) {
    static_cast<CHostWindow*>(context)->DrawPixels(x, y, w, h, pixels, stride);
  };
  contract_.WritePixels = [](void* context, int32_t x, int32_t y, int32_t w, int32_t h,
                             QuarnPixelWriter write, void* writer) {
    static_cast<CHostWindow*>(context)->WritePixels(x, y, w, h, write, writer);
  };
}

CHostWindow::~CHostWindow() {
  Close();
  watcher_.reset();  // its filters and its connection to the widget go with it
}

void CHostWindow::Attach(QWidget* client) {
  watcher_ = std::make_unique<Watcher>(this);
  client_ = client;
  if (client == nullptr) return;
  watcher_->WatchChain(client);
  QObject::connect(client, &QObject::destroyed, watcher_.get(), [this] {
    client_ = nullptr;
    Close();
  });
  UpdateGeometry();
}

void CHostWindow::UpdateGeometry() {
  if (client_ == nullptr) return;
  HostGeometry geometry;
  geometry.clientOnScreen = QRect(client_->mapToGlobal(QPoint(0, 0)), client_->size());
  if (const QScreen* screen = client_->screen()) {
    geometry.screenSize = screen->geometry().size();
    geometry.depth = screen->depth();
  }
  SetGeometry(geometry);
}

void CHostWindow::SetGeometry(const HostGeometry& geometry) {
  std::unique_lock lock(stateMutex_);
  geometry_ = geometry;
}

HostGeometry CHostWindow::Geometry() const {
  std::shared_lock lock(stateMutex_);
  return geometry_;
}

void CHostWindow::Close() {
  std::unique_lock lock(stateMutex_);
  closed_ = true;
}

bool CHostWindow::IsClosed() const {
  std::shared_lock lock(stateMutex_);
  return closed_;
}

int CHostWindow::GetClientRect(QuarnRect* screenRect) const {
  if (screenRect == nullptr) return -1;
  std::shared_lock lock(stateMutex_);
  if (closed_) return -1;
  const QRect& r = geometry_.clientOnScreen;
  *screenRect = QuarnRect{r.x(), r.y(), r.width(), r.height()};
  return 0;
}

void CHostWindow::DrawPixels(int32_t screenX, int32_t screenY, int32_t width, int32_t height,
                             const uint32_t* pixels, size_t stride) {
  if (pixels == nullptr || width <= 0 || height <= 0 ||
      stride < static_cast<size_t>(width) * sizeof(uint32_t)) {
    return;
  }
  // Held shared until the pixels are in, so Close() never returns with a draw in flight.
  std::shared_lock lock(stateMutex_);
  if (closed_) return;
  const QRect client = geometry_.clientOnScreen;
  const int64_t blockX = int64_t{screenX} - client.x();
  const int64_t blockY = int64_t{screenY} - client.y();
  const QRect target = ClipBlock(blockX, blockY, width, height, client.width(), client.height());
  if (target.isEmpty()) return;
  const auto* source = reinterpret_cast<const uint8_t*>(pixels);
  store_.Draw(
      [&](QImage& image) {
        // The image may still have the previous size while the UI thread catches up.
        const QRect area = target.intersected(image.rect());
        if (area.isEmpty()) return;
        const auto count = static_cast<size_t>(area.width());
        for (int y = area.top(); y <= area.bottom(); ++y) {
          const uint8_t* in = source + static_cast<size_t>(y - blockY) * stride +
                              static_cast<size_t>(area.left() - blockX) * sizeof(uint32_t);
          auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y)) + area.left();
          CopyOpaque(out, in, count);
        }
      },
      target);
}

void CHostWindow::WritePixels(int32_t screenX, int32_t screenY, int32_t width, int32_t height,
                              QuarnPixelWriter write, void* writer) {
  if (write == nullptr || width <= 0 || height <= 0) return;
  // Held shared until the pixels are in, so Close() never returns with a write in flight.
  std::shared_lock lock(stateMutex_);
  if (closed_) return;
  const QRect client = geometry_.clientOnScreen;
  const int64_t blockX = int64_t{screenX} - client.x();
  const int64_t blockY = int64_t{screenY} - client.y();
  const QRect target = ClipBlock(blockX, blockY, width, height, client.width(), client.height());
  if (target.isEmpty()) return;
  store_.Draw(
      [&](QImage& image) {
        // The image may still have the previous size while the UI thread catches up.
        const QRect area = target.intersected(image.rect());
        if (area.isEmpty()) return;
        auto* first = reinterpret_cast<uint32_t*>(image.scanLine(area.top())) + area.left();
        write(writer, static_cast<int32_t>(area.left() - blockX),
              static_cast<int32_t>(area.top() - blockY), area.width(), area.height(), first,
              static_cast<size_t>(image.bytesPerLine()));
      },
      target);
}

int CHostWindow::ReadPixels(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t* pixels,
                            size_t stride) const {
  if (pixels == nullptr || width <= 0 || height <= 0 ||
      stride < static_cast<size_t>(width) * sizeof(uint32_t)) {
    return -1;
  }
  std::shared_lock lock(stateMutex_);
  if (closed_) return -1;
  const QRect client(QPoint(0, 0), geometry_.clientOnScreen.size());
  auto* base = reinterpret_cast<uint8_t*>(pixels);
  for (int row = 0; row < height; ++row) {
    std::memset(base + static_cast<size_t>(row) * stride, 0,
                static_cast<size_t>(width) * sizeof(uint32_t));
  }
  store_.Read([&](const QImage& image) {
    const QRect shown = client.intersected(image.rect());
    const QRect area = ClipBlock(x, y, width, height, shown.width(), shown.height());
    for (int cy = area.top(); cy <= area.bottom(); ++cy) {
      const auto* in = reinterpret_cast<const uint32_t*>(image.constScanLine(cy));
      uint8_t* out = base + static_cast<size_t>(cy - y) * stride +
                     static_cast<size_t>(area.left() - x) * sizeof(uint32_t);
      for (int cx = area.left(); cx <= area.right(); ++cx) {
        const uint32_t value = in[cx] & 0x00FFFFFFu;  // the contract's fourth byte is 0
        std::memcpy(out, &value, sizeof value);
        out += sizeof value;
      }
    }
  });
  return 0;
}

void CHostWindow::Draw(const std::function<void(QImage&)>& draw, const QRect& changed) {
  // Held shared until the drawing is in, so Close() never returns with a draw in flight.
  std::shared_lock lock(stateMutex_);
  if (closed_) return;
  store_.Draw(draw, changed);
}

COLORREF CHostWindow::BackgroundColor() const {
  std::shared_lock lock(stateMutex_);
  return closed_ ? RGB(255, 255, 255) : store_.BackgroundColor();
}

int CHostWindow::Depth() const {
  std::shared_lock lock(stateMutex_);
  return geometry_.depth;
}

CPalette* CHostWindow::SelectPalette(CPalette* palette, bool background) {
  if (palette == nullptr) return nullptr;
  std::lock_guard lock(paletteMutex_);
  paletteBackground_ = background;
  return std::exchange(palette_, palette);
}

CPalette* CHostWindow::SelectedPalette() const {
  std::lock_guard lock(paletteMutex_);
  return palette_;
}

bool CHostWindow::PaletteInBackground() const {
  std::lock_guard lock(paletteMutex_);
  return paletteBackground_;
}

UINT CHostWindow::RealizePalette() {
  std::lock_guard lock(paletteMutex_);
  ++realized_;
  return static_cast<UINT>(palette_->entries().size());
}

int CHostWindow::RealizeCount() const {
  std::lock_guard lock(paletteMutex_);
  return realized_;
}
