// wnd.h - CWnd, the framework window over a QWidget: synchronous SendMessage with the message
// handlers as virtuals, private messages by number, timers, geometry with the position-changing
// hook, window text (also handed over from other threads) and visibility. CScrollBar turns
// QScrollBar actions into SB_ codes.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "afx_types.h"
#include "cmd_target.h"

class QTimer;
class CWnd;
class CScrollBar;

using UINT_PTR = uintptr_t;

struct CREATESTRUCT {
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
};
using LPCREATESTRUCT = CREATESTRUCT*;

// Lets a framework widget forward its Qt events to the CWnd that owns it.
class WndBridge {
 public:
  virtual ~WndBridge() = default;
  CWnd* owner = nullptr;  // cleared before the owner goes away
};

// A QWidget subclass whose events go to the owning CWnd first (BeforeQtEvent may swallow them)
// and again after Qt's own handling (AfterQtEvent).
template <class Base>
class BridgedWidget : public Base, public WndBridge {
 public:
  using Base::Base;

 protected:
  bool event(QEvent* e) override;
};

class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;

  // The Qt widget (null before creation and after destruction).
  QWidget* GetWidget() const { return destroyed_ ? nullptr : widget_.data(); }
  bool GetSafeHwnd() const { return GetWidget() != nullptr; }
  CWnd* GetParent() const { return parent_; }
  // Dialog controls: the control id, and binding a wrapper to a control widget the dialog owns.
  UINT GetDlgCtrlID() const { return ctrlId_; }
  void AttachControl(QWidget* widget, CWnd* parent, UINT id);

  // Messages: synchronous, on the UI thread.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // Registers a handler for a message number, normally WM_USER + n.
  CWnd& OnMessage(UINT message, std::function<LRESULT(WPARAM, LPARAM)> handler);

  // Geometry. Window rectangles are in screen (Qt global) coordinates for top-level windows
  // and in the parent's client coordinates when moving children.
  void GetWindowRect(RECT* rect) const;
  virtual void GetClientRect(RECT* rect) const;
  void ClientToScreen(POINT* point) const;
  void ClientToScreen(RECT* rect) const;
  void ScreenToClient(POINT* point) const;
  void ScreenToClient(RECT* rect) const;
  BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = 1);
  BOOL MoveWindow(const RECT* rect, BOOL repaint = 1);
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);

  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  // Any thread, never waits: keeps `text` as the latest title and has the UI thread set it with
  // SetWindowText when its event loop next runs. Titles posted before that are coalesced into
  // one update with the latest text; nothing happens once the window has gone.
  void PostWindowText(std::string text);
  void GetWindowText(CString& text) const { text = GetWindowText(); }
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  BOOL IsZoomed() const;
  BOOL IsIconic() const;
  BOOL EnableWindow(BOOL enable = 1);
  BOOL IsWindowEnabled() const;
  void SetFocus();

  virtual void Invalidate(BOOL erase = 1);
  virtual void InvalidateRect(const RECT* rect, BOOL erase = 1);
  virtual void UpdateWindow();

  UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds);
  BOOL KillTimer(UINT_PTR id);
  bool HasTimer(UINT_PTR id) const { return timers_.count(id) != 0; }

  // Destroys the window: OnDestroy, then the widget goes, then PostNcDestroy. The C++ object
  // stays (its owner deletes it).
  virtual BOOL DestroyWindow();

  // Message handlers (the framework's defaults do nothing unless said).
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual int OnCreate(LPCREATESTRUCT create);
  virtual void OnDestroy() {}
  virtual void PostNcDestroy() {}
  virtual void OnClose();  // default: DestroyWindow()
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnMove(int x, int y);
  virtual void OnWindowPosChanging(WINDOWPOS* pos);
  virtual void OnLButtonDown(UINT flags, CPoint point);
  virtual void OnTimer(UINT_PTR id);
  virtual void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  virtual void OnVScroll(UINT code, UINT pos, CScrollBar* bar);

  // Qt event forwarding (called by BridgedWidget).
  virtual bool BeforeQtEvent(QEvent* event);
  virtual void AfterQtEvent(QEvent* event);

 protected:
  // Takes ownership of `widget` (a BridgedWidget); `parent` is the owning framework window.
  void AttachWidget(QWidget* widget, CWnd* parent);
  // Deletes the widget now (first thing in the destructors of classes that handle its events).
  void ReleaseWidget();
  // Where the client area starts inside the widget (a frame's menu bar sits above it).
  virtual QPoint ClientOffset() const { return {}; }
  // Puts the corrected position into effect (top-level windows: outer rectangle).
  virtual void ApplyWindowPos(const WINDOWPOS& pos);
  // Sends WM_SIZE / WM_MOVE for the widget's current geometry.
  void NotifySizeAndMove(bool moved, bool resized);

  bool destroyed_ = false;

 private:
  QPointer<QWidget> widget_;
  CWnd* parent_ = nullptr;
  UINT ctrlId_ = 0;
  bool ownsWidget_ = true;
  std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> messageMap_;
  std::map<UINT_PTR, std::unique_ptr<QTimer>> timers_;
  // The titles PostWindowText hands over; shared with the queued updates, which may outlive
  // the window. Made with the object, never replaced, so any thread may read the pointer.
  struct TextHandOver;
  const std::shared_ptr<TextHandOver> textHandOver_;
};

template <class Base>
bool BridgedWidget<Base>::event(QEvent* e) {
  CWnd* target = owner;
  if (target != nullptr && target->BeforeQtEvent(e)) return true;
  // The deferred delete that DestroyWindow posts ends inside Base::event: nothing of this
  // widget may be touched afterwards.
  if (e->type() == QEvent::DeferredDelete) return Base::event(e);
  const bool handled = Base::event(e);
  if (owner != nullptr) owner->AfterQtEvent(e);
  return handled;
}

// A scroll bar (a view's own bar or a dialog control). User actions reach `notify` as
// (SB_ code, position) the way the platform reports them; like the platform, the bar moves only
// when the program sets a position, except while the thumb is dragged.
// - Mouse: an arrow or the trough gives SB_LINE*/SB_PAGE* (repeated while held) and SB_ENDSCROLL
//   when the button comes up; dragging the thumb gives SB_THUMBTRACK with each position, the
//   release SB_THUMBPOSITION with the last one, then SB_ENDSCROLL.
// - Keys, when the bar has the focus: Left and Up SB_LINELEFT, Right and Down SB_LINERIGHT,
//   Page Up SB_PAGELEFT, Page Down SB_PAGERIGHT, Home SB_LEFT, End SB_RIGHT (repeated while
//   held), and SB_ENDSCROLL when the key comes up. Other keys (Tab, Return, Escape) go on to the
//   window that holds the bar.
// - The position travels in 16 bits, as in the platform's message: a negative position arrives
//   as its 16-bit two's complement, for the receiver to read as a signed number if its range
//   is below 0.
class CScrollBar {
 public:
  CScrollBar();
  CScrollBar(QScrollBar* bar, std::function<void(UINT, UINT, CScrollBar*)> notify);
  // Binds this object to a bar (a dialog's DDX_Control); a second call for the same bar is a no-op.
  void Attach(QScrollBar* bar, std::function<void(UINT, UINT, CScrollBar*)> notify, UINT id = 0);
  UINT GetDlgCtrlID() const { return id_; }
  ~CScrollBar();
  CScrollBar(const CScrollBar&) = delete;
  CScrollBar& operator=(const CScrollBar&) = delete;

  void SetScrollRange(int minPos, int maxPos, BOOL redraw = 1);
  void GetScrollRange(int* minPos, int* maxPos) const;
  int SetScrollPos(int pos, BOOL redraw = 1);
  int GetScrollPos() const;
  BOOL SetScrollInfo(const SCROLLINFO* info, BOOL redraw = 1);
  BOOL GetScrollInfo(SCROLLINFO* info, UINT mask = SIF_ALL) const;
  BOOL EnableScrollBar(UINT arrows = ESB_ENABLE_BOTH);
  bool ArrowsEnabled() const { return arrowsEnabled_; }
  void ShowScrollBar(BOOL show = 1);
  QScrollBar* bar() const { return bar_; }

  // Simulates a user action (QAbstractSlider::SliderAction) as the user's mouse would.
  void TriggerAction(int action);

 private:
  class Input;  // watches the bar's keys and mouse button
  friend class Input;

  void Apply();
  void OnAction(int action);
  void OnReleased();
  // A key pressed (or released) on the bar; true when it was a scrolling key, now handled.
  bool OnKey(int key, bool press, bool autoRepeat);
  void OnMouseButton(bool down);
  void Notify(UINT code, int pos);
  // Puts the thumb back where the program last put it, without reporting that as an action.
  void RestoreThumb();

  QPointer<QScrollBar> bar_;
  std::function<void(UINT, UINT, CScrollBar*)> notify_;
  std::unique_ptr<Input> input_;
  int min_ = 0, max_ = 100, pos_ = 0;
  UINT page_ = 0;
  bool arrowsEnabled_ = true;
  bool inAction_ = false;
  bool mouseDown_ = false;   // a mouse button is held on the bar
  bool endPending_ = false;  // an arrow or trough action waits for the button to come up
  UINT id_ = 0;
};
