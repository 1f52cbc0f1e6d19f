// wnd.cpp - CWnd: message dispatch, timers, geometry, the title hand-over from other threads
// and the scroll-bar adapter.
#include "wnd.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>

// The titles handed over from other threads: the latest text and whether an update is queued.
struct CWnd::TextHandOver {
  std::mutex mutex;  // protects text and queued
  std::string text;
  bool queued = false;
  // UI thread only (set by the window's destructor, read by the queued update).
  CWnd* owner = nullptr;
};

namespace {
int SignedLow(LPARAM l) {
  return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(l)));
}
int SignedHigh(LPARAM l) {
  return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(l)));
}
}  // namespace

CWnd::CWnd() : textHandOver_(std::make_shared<TextHandOver>()) {
  textHandOver_->owner = this;
}

CWnd::~CWnd() {
  // A queued title update that runs later finds no window and does nothing.
  textHandOver_->owner = nullptr;
  ReleaseWidget();
}

void CWnd::AttachWidget(QWidget* widget, CWnd* parent) {
  widget_ = widget;
  parent_ = parent;
  destroyed_ = false;
  if (auto* bridge = dynamic_cast<WndBridge*>(widget)) bridge->owner = this;
}

void CWnd::AttachControl(QWidget* widget, CWnd* parent, UINT id) {
  AttachWidget(widget, parent);
  ctrlId_ = id;
  ownsWidget_ = false;  // the dialog's widget owns its controls
}

void CWnd::ReleaseWidget() {
  timers_.clear();
  if (widget_ && ownsWidget_) {
    if (auto* bridge = dynamic_cast<WndBridge*>(widget_.data())) bridge->owner = nullptr;
    delete widget_.data();  // children (a frame's view widget) go with it
  }
  widget_.clear();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return WindowProc(message, wParam, lParam);
}

CWnd& CWnd::OnMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> handler) {
  messageMap_[message] = std::move(handler);
  return *this;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto it = messageMap_.find(message); it != messageMap_.end()) {
    auto handler = it->second;  // copy: the handler may change the map
    return handler(wParam, lParam);
  }
  switch (message) {
    case WM_COMMAND:
      return OnCommand(wParam, lParam);
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<uintptr_t>(lParam)),
             HIWORD(static_cast<uintptr_t>(lParam)));
      return 0;
    case WM_MOVE:
      OnMove(SignedLow(lParam), SignedHigh(lParam));
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(static_cast<UINT>(wParam), CPoint(SignedLow(lParam), SignedHigh(lParam)));
      return 0;
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    case WM_HSCROLL:
      OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CScrollBar*>(lParam));
      return 0;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<CScrollBar*>(lParam));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_WINDOWPOSCHANGING:
      OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
      return 0;
    default:
      return 0;
  }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
  return CommandRoute({this}).Dispatch(LOWORD(wParam)) ? 1 : 0;
}

int CWnd::OnCreate(LPCREATESTRUCT) {
  return 0;
}
void CWnd::OnClose() {
  DestroyWindow();
}
void CWnd::OnSize(UINT, int, int) {}
void CWnd::OnMove(int, int) {}
void CWnd::OnWindowPosChanging(WINDOWPOS*) {}
void CWnd::OnLButtonDown(UINT, CPoint) {}
void CWnd::OnTimer(UINT_PTR) {}
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) {}
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) {}

bool CWnd::BeforeQtEvent(QEvent*) {
  return false;
}
void CWnd::AfterQtEvent(QEvent*) {}

BOOL CWnd::DestroyWindow() {
  if (destroyed_ || !widget_) return 0;
  timers_.clear();
  OnDestroy();
  destroyed_ = true;
  if (auto* bridge = dynamic_cast<WndBridge*>(widget_.data())) bridge->owner = nullptr;
  widget_->hide();
  // Deferred: DestroyWindow may run inside one of the widget's own event handlers.
  widget_->deleteLater();
  PostNcDestroy();
  return 1;
}

void CWnd::GetWindowRect(RECT* rect) const {
  QWidget* w = GetWidget();
  if (w == nullptr || rect == nullptr) return;
  QRect r;
  if (w->isWindow()) {
    r = w->frameGeometry();
  } else {
    r = QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
  }
  *rect = CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

void CWnd::GetClientRect(RECT* rect) const {
  QWidget* w = GetWidget();
  if (w == nullptr || rect == nullptr) return;
  *rect = CRect(0, 0, w->width(), w->height());
}

void CWnd::ClientToScreen(POINT* point) const {
  QWidget* w = GetWidget();
  if (w == nullptr || point == nullptr) return;
  const QPoint g = w->mapToGlobal(ClientOffset() + QPoint(point->x, point->y));
  point->x = g.x();
  point->y = g.y();
}

void CWnd::ClientToScreen(RECT* rect) const {
  if (rect == nullptr) return;
  POINT tl{rect->left, rect->top};
  POINT br{rect->right, rect->bottom};
  ClientToScreen(&tl);
  ClientToScreen(&br);
  *rect = CRect(tl.x, tl.y, br.x, br.y);
}

void CWnd::ScreenToClient(POINT* point) const {
  QWidget* w = GetWidget();
  if (w == nullptr || point == nullptr) return;
  const QPoint c = w->mapFromGlobal(QPoint(point->x, point->y)) - ClientOffset();
  point->x = c.x();
  point->y = c.y();
}

void CWnd::ScreenToClient(RECT* rect) const {
  if (rect == nullptr) return;
  POINT tl{rect->left, rect->top};
  POINT br{rect->right, rect->bottom};
  ScreenToClient(&tl);
  ScreenToClient(&br);
  *rect = CRect(tl.x, tl.y, br.x, br.y);
}

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL CWnd::MoveWindow(const RECT* rect, BOOL repaint) {
  if (rect == nullptr) return 0;
  return MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                    repaint);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT flags) {
  QWidget* w = GetWidget();
  if (w == nullptr) return 0;
  CRect current;
  if (w->isWindow()) {
    GetWindowRect(&current);
  } else {
    const QRect g = w->geometry();
    current = CRect(g.left(), g.top(), g.left() + g.width(), g.top() + g.height());
  }
  WINDOWPOS pos{x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    pos.x = current.left;
    pos.y = current.top;
  }
  if (flags & SWP_NOSIZE) {
    pos.cx = current.Width();
    pos.cy = current.Height();
  }
  OnWindowPosChanging(&pos);
  ApplyWindowPos(pos);
  return 1;
}

void CWnd::ApplyWindowPos(const WINDOWPOS& pos) {
  if (QWidget* w = GetWidget())
    w->setGeometry(pos.x, pos.y, std::max(0, pos.cx), std::max(0, pos.cy));
}

void CWnd::NotifySizeAndMove(bool moved, bool resized) {
  if (GetWidget() == nullptr) return;
  if (moved) {
    POINT origin{0, 0};
    ClientToScreen(&origin);
    SendMessage(WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
  }
  if (resized) {
    CRect client;
    GetClientRect(&client);
    const UINT type = IsIconic() ? SIZE_MINIMIZED : (IsZoomed() ? SIZE_MAXIMIZED : SIZE_RESTORED);
    SendMessage(WM_SIZE, type, MAKELPARAM(client.Width(), client.Height()));
  }
}

void CWnd::SetWindowText(const std::string& text) {
  QWidget* w = GetWidget();
  if (w == nullptr) return;
  const QString t = QString::fromStdString(text);
  if (auto* label = qobject_cast<QLabel*>(w))
    label->setText(t);
  else if (auto* edit = qobject_cast<QLineEdit*>(w))
    edit->setText(t);
  else if (auto* button = qobject_cast<QAbstractButton*>(w))
    button->setText(t);
  else if (auto* group = qobject_cast<QGroupBox*>(w))
    group->setTitle(t);
  else if (auto* combo = qobject_cast<QComboBox*>(w); combo != nullptr && combo->isEditable())
    combo->setEditText(t);
  else
    w->setWindowTitle(t);
}

void CWnd::PostWindowText(std::string text) {
  // The application object outlives every window, so it is a safe target from any thread; the
  // update runs on its (the UI) thread and looks for the window there.
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  const std::shared_ptr<TextHandOver> handOver = textHandOver_;
  {
    std::lock_guard lock(handOver->mutex);
    handOver->text = std::move(text);
    if (handOver->queued) return;  // the update already queued will take this text
    handOver->queued = true;
  }
  QMetaObject::invokeMethod(
      app,
      [handOver] {
        std::string latest;
        {
          std::lock_guard lock(handOver->mutex);
          latest = std::move(handOver->text);
          handOver->queued = false;
        }
        if (handOver->owner != nullptr) handOver->owner->SetWindowText(latest);
      },
      Qt::QueuedConnection);
}

std::string CWnd::GetWindowText() const {
  QWidget* w = GetWidget();
  if (w == nullptr) return {};
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
  return w->windowTitle().toStdString();
}

BOOL CWnd::ShowWindow(int command) {
  QWidget* w = GetWidget();
  if (w == nullptr) return 0;
  const BOOL wasVisible = w->isVisible() ? 1 : 0;
  switch (command) {
    case SW_HIDE:
      w->hide();
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
      w->showMinimized();
      break;
    case SW_SHOWMAXIMIZED:
      w->showMaximized();
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      w->showNormal();
      break;
    default:
      w->show();
      break;
  }
  return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
  QWidget* w = GetWidget();
  return w != nullptr && w->isVisible() ? 1 : 0;
}
BOOL CWnd::IsZoomed() const {
  QWidget* w = GetWidget();
  return w != nullptr && w->window()->isMaximized() ? 1 : 0;
}
BOOL CWnd::IsIconic() const {
  QWidget* w = GetWidget();
  return w != nullptr && w->window()->isMinimized() ? 1 : 0;
}
BOOL CWnd::EnableWindow(BOOL enable) {
  QWidget* w = GetWidget();
  if (w == nullptr) return 0;
  const BOOL wasDisabled = w->isEnabled() ? 0 : 1;
  w->setEnabled(enable != 0);
  return wasDisabled;
}
BOOL CWnd::IsWindowEnabled() const {
  QWidget* w = GetWidget();
  return w != nullptr && w->isEnabled() ? 1 : 0;
}
void CWnd::SetFocus() {
  if (QWidget* w = GetWidget()) w->setFocus(Qt::OtherFocusReason);
}

void CWnd::Invalidate(BOOL) {
  if (QWidget* w = GetWidget()) w->update();
}
void CWnd::InvalidateRect(const RECT* rect, BOOL erase) {
  if (rect == nullptr) {
    Invalidate(erase);
    return;
  }
  if (QWidget* w = GetWidget())
    w->update(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top));
}
void CWnd::UpdateWindow() {
  if (QWidget* w = GetWidget()) w->repaint();
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT milliseconds) {
  if (GetWidget() == nullptr) return 0;
  auto& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] {
      if (!destroyed_ && timers_.count(id) != 0) SendMessage(WM_TIMER, id, 0);
    });
  }
  timer->start(static_cast<int>(milliseconds));
  return id;
}

BOOL CWnd::KillTimer(UINT_PTR id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return 0;
  // Deferred delete: KillTimer may be called from the timer's own OnTimer.
  it->second->stop();
  it->second.release()->deleteLater();
  timers_.erase(it);
  return 1;
}

// --- CScrollBar -------------------------------------------------------------------------------

namespace {
// The platform's keys on a scroll bar that has the focus; none for any other key.
std::optional<UINT> ScrollCodeOfKey(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      return SB_LINELEFT;
    case Qt::Key_Right:
    case Qt::Key_Down:
      return SB_LINERIGHT;
    case Qt::Key_PageUp:
      return SB_PAGELEFT;
    case Qt::Key_PageDown:
      return SB_PAGERIGHT;
    case Qt::Key_Home:
      return SB_LEFT;
    case Qt::Key_End:
      return SB_RIGHT;
    default:
      return std::nullopt;
  }
}
}  // namespace

// Sees the bar's events before the bar does: takes the scrolling keys (Qt's own mapping differs
// from the platform's and moves the bar by itself) and notes when a mouse button is held.
class CScrollBar::Input : public QObject {
 public:
  explicit Input(CScrollBar* owner) : owner_(owner) {}
  // The bar whose events count. Compared as a plain object: the bar also sends events while it
  // is being destroyed, when it is no longer a QScrollBar.
  void Watch(QObject* bar) { watched_ = bar; }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != watched_) return false;
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        return owner_->OnKey(key->key(), event->type() == QEvent::KeyPress, key->isAutoRepeat());
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
          owner_->OnMouseButton(true);
        return false;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
          owner_->OnMouseButton(false);
        return false;  // the bar still ends a drag of its thumb
      default:
        return false;
    }
  }

 private:
  CScrollBar* owner_;
  QObject* watched_ = nullptr;
};

CScrollBar::CScrollBar() = default;

CScrollBar::CScrollBar(QScrollBar* bar, std::function<void(UINT, UINT, CScrollBar*)> notify) {
  Attach(bar, std::move(notify));
}

void CScrollBar::Attach(QScrollBar* bar, std::function<void(UINT, UINT, CScrollBar*)> notify,
                        UINT id) {
  if (bar == nullptr || bar_.data() == bar) return;
  if (bar_) {
    QObject::disconnect(bar_, nullptr, bar_, nullptr);
    bar_->removeEventFilter(input_.get());
  }
  bar_ = bar;
  notify_ = std::move(notify);
  id_ = id;
  mouseDown_ = endPending_ = false;
  if (!input_) input_ = std::make_unique<Input>(this);
  input_->Watch(bar);
  bar->installEventFilter(input_.get());
  QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [this](int a) { OnAction(a); });
  QObject::connect(bar, &QAbstractSlider::sliderReleased, bar, [this] { OnReleased(); });
  Apply();
}

CScrollBar::~CScrollBar() {
  if (bar_) {
    QObject::disconnect(bar_, nullptr, bar_, nullptr);
    bar_->removeEventFilter(input_.get());
  }
}

void CScrollBar::Apply() {
  if (!bar_) return;
  const int top = std::max(min_, max_ - std::max(0, static_cast<int>(page_) - 1));
  const QSignalBlocker block(bar_.data());
  bar_->setRange(min_, top);
  bar_->setSingleStep(1);
  bar_->setPageStep(page_ > 0 ? static_cast<int>(page_) : 10);
  pos_ = std::clamp(pos_, min_, top);
  // Like the platform, a thumb the user is dragging stays under the mouse when the program sets
  // a position meanwhile; the release puts it where the program last put it.
  if (!bar_->isSliderDown()) bar_->setValue(pos_);
  bar_->setEnabled(arrowsEnabled_);
}

void CScrollBar::SetScrollRange(int minPos, int maxPos, BOOL) {
  min_ = minPos;
  max_ = std::max(minPos, maxPos);
  Apply();
}
void CScrollBar::GetScrollRange(int* minPos, int* maxPos) const {
  if (minPos) *minPos = min_;
  if (maxPos) *maxPos = max_;
}
int CScrollBar::SetScrollPos(int pos, BOOL) {
  const int old = pos_;
  pos_ = pos;
  Apply();
  return old;
}
int CScrollBar::GetScrollPos() const {
  return pos_;
}

BOOL CScrollBar::SetScrollInfo(const SCROLLINFO* info, BOOL) {
  if (info == nullptr) return 0;
  if (info->fMask & SIF_RANGE) {
    min_ = info->nMin;
    max_ = std::max(info->nMin, info->nMax);
  }
  if (info->fMask & SIF_PAGE) page_ = info->nPage;
  if (info->fMask & SIF_POS) pos_ = info->nPos;
  Apply();
  return 1;
}

BOOL CScrollBar::GetScrollInfo(SCROLLINFO* info, UINT mask) const {
  if (info == nullptr) return 0;
  info->fMask = mask;
  info->nMin = min_;
  info->nMax = max_;
  info->nPage = page_;
  info->nPos = pos_;
  info->nTrackPos = bar_ ? bar_->sliderPosition() : pos_;
  return 1;
}

BOOL CScrollBar::EnableScrollBar(UINT arrows) {
  arrowsEnabled_ = arrows != ESB_DISABLE_BOTH;
  Apply();
  return 1;
}

void CScrollBar::ShowScrollBar(BOOL show) {
  if (bar_) bar_->setVisible(show != 0);
}

void CScrollBar::TriggerAction(int action) {
  if (bar_) bar_->triggerAction(static_cast<QAbstractSlider::SliderAction>(action));
}

void CScrollBar::Notify(UINT code, int pos) {
  if (notify_) notify_(code, LOWORD(static_cast<uint32_t>(pos)), this);
}

void CScrollBar::RestoreThumb() {
  if (!bar_) return;
  const bool wasInAction = inAction_;
  inAction_ = true;  // moving the slider triggers an action of its own
  bar_->setSliderPosition(pos_);
  inAction_ = wasInAction;
}

void CScrollBar::OnAction(int action) {
  if (!bar_ || inAction_) return;
  UINT code = SB_ENDSCROLL;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINERIGHT;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINELEFT;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGERIGHT;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGELEFT;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_LEFT;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_RIGHT;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      return;
  }
  inAction_ = true;
  if (code == SB_THUMBTRACK) {
    Notify(code, bar_->sliderPosition());
  } else {
    Notify(code, pos_);
    // Like the platform, the thumb goes where the program put it, not where the action would.
    RestoreThumb();
    // An arrow or the trough held down repeats its action; the scroll ends when the button
    // comes up.
    if (mouseDown_)
      endPending_ = true;
    else
      Notify(SB_ENDSCROLL, 0);
  }
  inAction_ = false;
}

void CScrollBar::OnReleased() {
  if (!bar_) return;
  const int pos = bar_->sliderPosition();
  inAction_ = true;
  Notify(SB_THUMBPOSITION, pos);
  Notify(SB_ENDSCROLL, 0);
  inAction_ = false;
  RestoreThumb();
}

bool CScrollBar::OnKey(int key, bool press, bool autoRepeat) {
  const std::optional<UINT> code = ScrollCodeOfKey(key);
  if (!code || !bar_) return false;
  if (press) {
    inAction_ = true;
    Notify(*code, pos_);
    inAction_ = false;
    RestoreThumb();
  } else if (!autoRepeat) {
    Notify(SB_ENDSCROLL, 0);
  }
  return true;
}

void CScrollBar::OnMouseButton(bool down) {
  mouseDown_ = down;
  if (!down && endPending_) {
    endPending_ = false;
    Notify(SB_ENDSCROLL, 0);
  }
}
