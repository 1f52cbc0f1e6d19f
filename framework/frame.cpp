// frame.cpp - the main frame: creation from resources, command routing, and the geometry hook.
//
// Position-changing hook on Qt: the program's own moves and resizes (MoveWindow, SetWindowPos)
// pass through OnWindowPosChanging before anything changes, as on the platform. The user's
// moves and resizes (window manager, QWidget::move/resize) are only seen afterwards, as Qt move
// and resize events; the frame then runs the hook on the new rectangle and, when the hook
// corrects it, puts the corrected geometry into effect at once, so OnMove/OnSize see only the
// corrected rectangle. Limits under X11 window managers: the uncorrected geometry can be on the
// screen for a moment (the manager has already drawn it); during an interactive drag the
// manager keeps sending its own rectangles, so the window snaps back on every step; a manager
// may refuse or re-adjust the corrected geometry, and decorations it adds are only known after
// mapping (frameGeometry), so an outer rectangle is exact only once the window is shown.
#include "frame.h"

#include <QIcon>
#include <QMenuBar>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QShortcut>

#include "app.h"
#include "document.h"
#include "resources_qt.h"
#include "view.h"

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() {
  view_.reset();
  ReleaseWidget();
}

QMainWindow* CFrameWnd::GetMainWindow() const {
  return qobject_cast<QMainWindow*>(GetWidget());
}

QMenuBar* CFrameWnd::GetMenuBar() const {
  QMainWindow* w = GetMainWindow();
  return w != nullptr ? w->menuBar() : nullptr;
}

CDocument* CFrameWnd::GetActiveDocument() const {
  if (activeView_ != nullptr && activeView_->GetDocument() != nullptr)
    return activeView_->GetDocument();
  return context_ != nullptr ? context_->m_pCurrentDoc : nullptr;
}

CommandRoute CFrameWnd::Route() {
  return CommandRoute({activeView_, this, GetActiveDocument(), AfxGetApp()});
}

BOOL CFrameWnd::OnCommand(WPARAM wParam, LPARAM) {
  return DispatchCommand(LOWORD(wParam)) ? 1 : 0;
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, CCreateContext* context) {
  resourceId_ = resourceId;
  context_ = context;
  auto* window = new BridgedWidget<QMainWindow>();
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  AttachWidget(window, nullptr);

  const ResourceSet& res = AfxGetResources();
  if (auto it = res.menus.find(resourceId); it != res.menus.end()) {
    BuildMenuBar(
        window->menuBar(), it->second, [this](UINT id) { DispatchCommand(id); },
        [this](UINT id) { return QueryCommand(id); });
  }
  if (auto it = res.accelerators.find(resourceId); it != res.accelerators.end()) {
    for (const AccelEntry& entry : it->second) {
      const QKeySequence keys = AccelKeySequence(entry);
      if (keys.isEmpty()) continue;
      auto* shortcut = new QShortcut(keys, window);
      shortcut->setContext(Qt::WindowShortcut);
      const UINT id = entry.id;
      // The rule is asked inside DispatchCommand; a disabled command does nothing.
      QObject::connect(shortcut, &QShortcut::activated, window,
                       [this, id] { DispatchCommand(id); });
      accelerators_.emplace_back(shortcut);
    }
  }
  if (const QIcon icon = ResourceIcon(resourceId); !icon.isNull()) window->setWindowIcon(icon);
  std::string title = AfxExtractSubString(AfxLoadString(resourceId), 0);
  if (title.empty()) title = AfxLoadString(AFX_IDS_APP_TITLE);
  SetWindowText(title);
  window->resize(640, 480);

  CREATESTRUCT create;
  create.cx = 640;
  create.cy = 480;
  if (OnCreate(&create) == -1) {
    DestroyWindow();
    return 0;
  }
  return 1;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT create) {
  return OnCreateClient(create, context_) ? 0 : -1;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  if (context == nullptr || !context->m_pNewViewClass) return 1;
  view_ = context->m_pNewViewClass();
  if (!view_ || !view_->Create(this, context->m_pCurrentDoc)) {
    view_.reset();
    return 0;
  }
  GetMainWindow()->setCentralWidget(view_->GetWidget());
  SetActiveView(view_.get());
  return 1;
}

void CFrameWnd::OnUpdateFrameTitle() {
  const std::string appTitle = [this] {
    std::string t = AfxExtractSubString(AfxLoadString(resourceId_), 0);
    return t.empty() ? AfxLoadString(AFX_IDS_APP_TITLE) : t;
  }();
  CDocument* doc = GetActiveDocument();
  if (doc != nullptr && !doc->GetTitle().empty())
    SetWindowText(doc->GetTitle() + " - " + appTitle);
  else
    SetWindowText(appTitle);
}

void CFrameWnd::GetClientRect(RECT* rect) const {
  QMainWindow* w = GetMainWindow();
  if (w == nullptr || rect == nullptr) return;
  const QPoint offset = ClientOffset();
  *rect = CRect(0, 0, w->width(), w->height() - offset.y());
}

QPoint CFrameWnd::ClientOffset() const {
  QMainWindow* w = GetMainWindow();
  if (w == nullptr) return {};
  QWidget* bar = w->menuWidget();
  return (bar != nullptr && bar->isVisible()) ? QPoint(0, bar->height()) : QPoint();
}

BOOL CFrameWnd::DestroyWindow() {
  if (destroyed_ || GetWidget() == nullptr) return 0;
  for (auto& shortcut : accelerators_) delete shortcut.data();
  accelerators_.clear();
  // The view's window goes with the frame's; it is told first that it is going.
  if (view_ != nullptr) view_->DestroyWindow();
  return CWnd::DestroyWindow();
}

void CFrameWnd::PostNcDestroy() {
  if (CWinApp* app = AfxGetApp()) app->OnMainWindowDestroyed(this);
}

bool CFrameWnd::BeforeQtEvent(QEvent* event) {
  if (event->type() == QEvent::Close) {
    // The close box: WM_CLOSE decides (OnClose destroys the window by default).
    event->ignore();
    SendMessage(WM_CLOSE);
    return true;
  }
  return false;
}

void CFrameWnd::AfterQtEvent(QEvent* event) {
  if (event->type() == QEvent::Move)
    OnQtGeometryChange(true, false);
  else if (event->type() == QEvent::Resize)
    OnQtGeometryChange(false, true);
}

void CFrameWnd::OnQtGeometryChange(bool moved, bool resized) {
  QMainWindow* w = GetMainWindow();
  if (w == nullptr) return;
  if (!applying_ && w->isVisible()) {
    // A move or resize we did not ask for: the hook sees it now and may correct it.
    CRect current;
    GetWindowRect(&current);
    WINDOWPOS pos{current.left, current.top, current.Width(), current.Height(),
                  SWP_NOZORDER | SWP_NOACTIVATE | (moved ? SWP_NOSIZE : SWP_NOMOVE)};
    const WINDOWPOS asked = pos;
    OnWindowPosChanging(&pos);
    if (pos.x != asked.x || pos.y != asked.y || pos.cx != asked.cx || pos.cy != asked.cy) {
      ApplyWindowPos(pos);
      return;
    }
  }
  NotifySizeAndMove(moved, resized);
}

void CFrameWnd::ApplyWindowPos(const WINDOWPOS& pos) {
  QMainWindow* w = GetMainWindow();
  if (w == nullptr) return;
  // The outer rectangle minus the decorations the window manager added (none offscreen).
  const QRect frame = w->frameGeometry();
  const QRect inner = w->geometry();
  const int dl = inner.left() - frame.left();
  const int dt = inner.top() - frame.top();
  const int dr = frame.right() - inner.right();
  const int db = frame.bottom() - inner.bottom();
  const bool wasApplying = applying_;
  applying_ = true;
  const QRect target(pos.x + dl, pos.y + dt, std::max(0, pos.cx - dl - dr),
                     std::max(0, pos.cy - dt - db));
  const bool moved = target.topLeft() != inner.topLeft();
  const bool resized = target.size() != inner.size();
  w->setGeometry(target);
  applying_ = wasApplying;
  // A hidden window gets its Qt events only when shown; the platform tells it at once.
  if (!w->isVisible()) NotifySizeAndMove(moved, resized);
}
