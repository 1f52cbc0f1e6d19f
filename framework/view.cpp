// view.cpp - the view: its widget and scroll bars, the backing store sized to the client area,
// invalidation (queued erase + OnDraw into the backing store), and the stock printing flow.
#include "view.h"

#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>

#include "frame.h"

namespace {
std::shared_ptr<PrintUi>& CurrentPrintUi() {
  static std::shared_ptr<PrintUi> ui;
  return ui;
}

class QtPrintUi : public PrintUi {
 public:
  bool PrintDialog(QWidget* parent, QPrinter& printer) override {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  }
  bool PageSetupDialog(QWidget* parent, QPrinter& printer) override {
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  }
  void Preview(QWidget* parent, QPrinter& printer,
               const std::function<void(QPrinter*)>& paint) override {
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&paint](QPrinter* p) { paint(p); });
    dialog.exec();
  }
};
// The client area: paints the backing store and reports left clicks to its view.
class ClientArea : public QWidget {
 public:
  ClientArea(CView* view, QWidget* parent) : QWidget(parent), view_(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void Detach() { view_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (view_ != nullptr) view_->PaintClient(this);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (view_ != nullptr) view_->ClientMousePress(event);
    QWidget::mousePressEvent(event);
  }

 private:
  CView* view_;
};
}  // namespace

std::shared_ptr<PrintUi> MakeQtPrintUi() {
  return std::make_shared<QtPrintUi>();
}
void AfxSetPrintUi(std::shared_ptr<PrintUi> ui) {
  CurrentPrintUi() = std::move(ui);
}
PrintUi& AfxGetPrintUi() {
  if (!CurrentPrintUi()) CurrentPrintUi() = MakeQtPrintUi();
  return *CurrentPrintUi();
}
QPrinter& AfxGetPrinter() {
  static std::unique_ptr<QPrinter> printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer;
}

CView::CView(DWORD style) : style_(style) {
  On(ID_FILE_PRINT, [this] { OnFilePrint(false); });
  On(ID_FILE_PRINT_DIRECT, [this] { OnFilePrint(true); });
  On(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

CView::~CView() {
  hbar_.reset();
  vbar_.reset();
  hostWindow_.Close();
  if (auto* client = dynamic_cast<ClientArea*>(client_.data())) client->Detach();
  ReleaseWidget();
}

CFrameWnd* CView::GetParentFrame() const {
  return dynamic_cast<CFrameWnd*>(GetParent());
}

BOOL CView::Create(CFrameWnd* frame, CDocument* document) {
  document_ = document;
  QWidget* parent = frame != nullptr ? frame->GetWidget() : nullptr;
  auto* widget = new BridgedWidget<QWidget>(parent);
  widget->setAttribute(Qt::WA_OpaquePaintEvent);
  widget->setFocusPolicy(Qt::ClickFocus);
  AttachWidget(widget, frame);
  auto* client = new ClientArea(this, widget);
  client_ = client;
  if (style_ & WS_HSCROLL) {
    hbar_ = std::make_unique<CScrollBar>(
        new QScrollBar(Qt::Horizontal, widget),
        [this](UINT code, UINT pos, CScrollBar* bar) { OnHScroll(code, pos, bar); });
  }
  if (style_ & WS_VSCROLL) {
    vbar_ = std::make_unique<CScrollBar>(
        new QScrollBar(Qt::Vertical, widget),
        [this](UINT code, UINT pos, CScrollBar* bar) { OnVScroll(code, pos, bar); });
  }
  // A draw from any thread reports its rectangle; the repaint is queued to the UI thread.
  backingStore_.SetChangedHandler([client](const QRect& r) {
    QMetaObject::invokeMethod(
        client, [client, r] { client->update(r); }, Qt::QueuedConnection);
  });
  hostWindow_.Attach(client);
  CREATESTRUCT create;
  if (OnCreate(&create) == -1) return 0;
  LayoutChildren();
  return 1;
}

BOOL CView::DestroyWindow() {
  if (destroyed_ || GetWidget() == nullptr) return 0;
  hostWindow_.Close();
  if (auto* client = dynamic_cast<ClientArea*>(client_.data())) client->Detach();
  return CWnd::DestroyWindow();
}

void CView::GetClientRect(RECT* rect) const {
  QWidget* w = GetWidget();
  if (w == nullptr || rect == nullptr) return;
  int width = w->width();
  int height = w->height();
  if (vbar_ && vbar_->bar() != nullptr && !vbar_->bar()->isHidden())
    width -= vbar_->bar()->sizeHint().width();
  if (hbar_ && hbar_->bar() != nullptr && !hbar_->bar()->isHidden())
    height -= hbar_->bar()->sizeHint().height();
  *rect = CRect(0, 0, std::max(0, width), std::max(0, height));
}

void CView::LayoutChildren() {
  QWidget* w = GetWidget();
  if (w == nullptr) return;
  CRect client;
  GetClientRect(&client);
  if (hbar_ && hbar_->bar() != nullptr)
    hbar_->bar()->setGeometry(0, client.bottom, client.right, w->height() - client.bottom);
  if (vbar_ && vbar_->bar() != nullptr)
    vbar_->bar()->setGeometry(client.right, 0, w->width() - client.right, client.bottom);
  if (client_) client_->setGeometry(0, 0, client.Width(), client.Height());
  hostWindow_.UpdateGeometry();
  if (backingStore_.width() != client.Width() || backingStore_.height() != client.Height()) {
    backingStore_.Resize(client.Width(), client.Height());
    ScheduleDraw(true);
  }
}

void CView::Invalidate(BOOL erase) {
  ScheduleDraw(erase != 0);
}
void CView::InvalidateRect(const RECT*, BOOL erase) {
  ScheduleDraw(erase != 0);
}

void CView::UpdateWindow() {
  FlushPaint();
  if (client_) client_->repaint();
}

void CView::ScheduleDraw(bool erase) {
  QWidget* w = GetWidget();
  if (w == nullptr) return;
  erasePending_ = erasePending_ || erase;
  if (drawPending_) return;
  drawPending_ = true;
  QMetaObject::invokeMethod(
      w, [this] { FlushPaint(); }, Qt::QueuedConnection);
}

void CView::FlushPaint() {
  if (!drawPending_ || GetWidget() == nullptr) return;
  drawPending_ = false;
  const bool erase = erasePending_;
  erasePending_ = false;
  PaintViewIntoBackingStore(*this, erase);
  if (client_) client_->update();
}

void CView::PaintClient(QWidget* client) {
  // Only the backing store reaches the screen.
  QPainter painter(client);
  backingStore_.Read([&painter](const QImage& image) { painter.drawImage(0, 0, image); });
}

void CView::ClientMousePress(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton) return;
  const QPoint p = mouse->position().toPoint();
  SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x(), p.y()));
}

bool CView::BeforeQtEvent(QEvent*) {
  return false;
}

void CView::AfterQtEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::Resize:
      LayoutChildren();
      NotifySizeAndMove(false, true);
      break;
    case QEvent::Show:
      ScheduleDraw(true);
      break;
    default:
      break;
  }
}

BOOL CView::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (CFrameWnd* frame = GetParentFrame()) return frame->OnCommand(wParam, lParam);
  return CWnd::OnCommand(wParam, lParam);
}

CScrollBar* CView::Bar(int bar) const {
  if (bar == SB_HORZ) return hbar_.get();
  if (bar == SB_VERT) return vbar_.get();
  return nullptr;
}

CScrollBar* CView::GetScrollBarCtrl(int bar) const {
  return Bar(bar);
}

void CView::ShowScrollBar(UINT bar, BOOL show) {
  if ((bar == static_cast<UINT>(SB_HORZ) || bar == static_cast<UINT>(SB_BOTH)) && hbar_)
    hbar_->ShowScrollBar(show);
  if ((bar == static_cast<UINT>(SB_VERT) || bar == static_cast<UINT>(SB_BOTH)) && vbar_)
    vbar_->ShowScrollBar(show);
  LayoutChildren();
}

void CView::SetScrollRange(int bar, int minPos, int maxPos, BOOL redraw) {
  if (CScrollBar* b = Bar(bar)) b->SetScrollRange(minPos, maxPos, redraw);
}
void CView::GetScrollRange(int bar, int* minPos, int* maxPos) const {
  if (CScrollBar* b = Bar(bar)) b->GetScrollRange(minPos, maxPos);
}
int CView::SetScrollPos(int bar, int pos, BOOL redraw) {
  CScrollBar* b = Bar(bar);
  return b != nullptr ? b->SetScrollPos(pos, redraw) : 0;
}
int CView::GetScrollPos(int bar) const {
  CScrollBar* b = Bar(bar);
  return b != nullptr ? b->GetScrollPos() : 0;
}
BOOL CView::SetScrollInfo(int bar, const SCROLLINFO* info, BOOL redraw) {
  CScrollBar* b = Bar(bar);
  return b != nullptr ? b->SetScrollInfo(info, redraw) : 0;
}
BOOL CView::GetScrollInfo(int bar, SCROLLINFO* info, UINT mask) const {
  CScrollBar* b = Bar(bar);
  return b != nullptr ? b->GetScrollInfo(info, mask) : 0;
}
BOOL CView::EnableScrollBar(int bar, UINT arrows) {
  BOOL ok = 0;
  if ((bar == SB_HORZ || bar == SB_BOTH) && hbar_) ok = hbar_->EnableScrollBar(arrows);
  if ((bar == SB_VERT || bar == SB_BOTH) && vbar_) ok = vbar_->EnableScrollBar(arrows);
  return ok;
}

// --- printing ---------------------------------------------------------------------------------

BOOL CView::OnPreparePrinting(CPrintInfo* info) {
  return DoPreparePrinting(info);
}

BOOL CView::DoPreparePrinting(CPrintInfo* info) {
  if (info == nullptr) return 0;
  QPrinter& printer = AfxGetPrinter();
  info->m_printer = &printer;
  if (info->m_bDirect || info->m_bPreview) return 1;
  QWidget* parent = GetParentFrame() != nullptr ? GetParentFrame()->GetWidget() : GetWidget();
  return AfxGetPrintUi().PrintDialog(parent, printer) ? 1 : 0;
}

void CView::OnBeginPrinting(CDC*, CPrintInfo*) {}
void CView::OnEndPrinting(CDC*, CPrintInfo*) {}
void CView::OnPrint(CDC* dc, CPrintInfo*) {
  OnDraw(dc);
}
void CView::OnEndPrintPreview(CDC*, CPrintInfo*) {}

void CView::OnFilePrint(bool direct) {
  CPrintInfo info;
  info.m_bDirect = direct;
  if (!OnPreparePrinting(&info) || info.m_printer == nullptr) return;
  PrintViewPages(*this, *info.m_printer, info);
}

void CView::OnFilePrintPreview() {
  CPrintInfo info;
  info.m_bPreview = true;
  if (!OnPreparePrinting(&info) || info.m_printer == nullptr) return;
  QWidget* parent = GetParentFrame() != nullptr ? GetParentFrame()->GetWidget() : GetWidget();
  AfxGetPrintUi().Preview(parent, *info.m_printer, [this, &info](QPrinter* p) {
    info.m_printer = p;
    PrintViewPages(*this, *p, info);
  });
  OnEndPrintPreview(nullptr, &info);
}
