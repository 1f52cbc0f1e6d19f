// view.h - CView: the view over a QWidget with an optional pair of scroll bars, owning the
// backing store that is its client area's picture; the stock printing and print preview flow.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "backing_store.h"
#include "host_window.h"
#include "wnd.h"

class CDC;
class CDocument;
class CFrameWnd;
class QPrinter;

// Printing state handed to the view's printing virtuals.
struct CPrintInfo {
  bool m_bDirect = false;   // print without the dialog (57608)
  bool m_bPreview = false;  // print preview (57609)
  UINT m_nCurPage = 1;
  UINT m_nMinPage = 1;
  UINT m_nMaxPage = 1;
  QPrinter* m_printer = nullptr;  // the printer being used (null before DoPreparePrinting)
  void SetMaxPage(UINT n) { m_nMaxPage = n; }
  UINT GetMaxPage() const { return m_nMaxPage; }
};

// The printing dialogs, replaceable so tests never open real ones.
class PrintUi {
 public:
  virtual ~PrintUi() = default;
  // The print dialog; false when cancelled.
  virtual bool PrintDialog(QWidget* parent, QPrinter& printer) = 0;
  // The print (page) setup dialog.
  virtual bool PageSetupDialog(QWidget* parent, QPrinter& printer) = 0;
  // Shows a preview; `paint` draws every page on the printer it is given. Returns when closed.
  virtual void Preview(QWidget* parent, QPrinter& printer,
                       const std::function<void(QPrinter*)>& paint) = 0;
};
// The Qt dialogs (QPrintDialog, QPageSetupDialog, QPrintPreviewDialog).
std::shared_ptr<PrintUi> MakeQtPrintUi();
void AfxSetPrintUi(std::shared_ptr<PrintUi> ui);
PrintUi& AfxGetPrintUi();
// The application's printer (settings kept between print setup and printing).
QPrinter& AfxGetPrinter();

class CView : public CWnd {
 public:
  explicit CView(DWORD style = 0);  // style: 0 or WS_HSCROLL | WS_VSCROLL
  ~CView() override;

  // Creates the view's widget inside `frame`.
  virtual BOOL Create(CFrameWnd* frame, CDocument* document);
  CDocument* GetDocument() const { return document_; }
  CFrameWnd* GetParentFrame() const;

  // Painting: OnDraw paints the client area into the backing store; the paint event only copies
  // the backing store to the screen.
  virtual void OnDraw(CDC* dc) = 0;
  // Erase step before OnDraw when the invalidation asked for it; the default fills the client
  // area with the background colour. Returning TRUE means "erased" (drawn or not).
  virtual BOOL OnEraseBkgnd(CDC* dc);
  void Invalidate(BOOL erase = 1) override;
  void InvalidateRect(const RECT* rect, BOOL erase = 1) override;
  void UpdateWindow() override;
  CBackingStore& GetBackingStore() { return backingStore_; }
  // The capture library's window for this view (client area; see host_window.h for lifetime).
  CHostWindow& HostWindow() { return hostWindow_; }
  // The widget that is the client area (inside GetWidget(), next to the scroll bars).
  QWidget* GetClientWidget() const { return client_.data(); }
  // Runs the pending erase/draw now (normally queued after an invalidation).
  void FlushPaint();

  // Scroll bars of a view created with WS_HSCROLL / WS_VSCROLL (SB_HORZ, SB_VERT, SB_BOTH).
  void ShowScrollBar(UINT bar, BOOL show = 1);
  void SetScrollRange(int bar, int minPos, int maxPos, BOOL redraw = 1);
  void GetScrollRange(int bar, int* minPos, int* maxPos) const;
  int SetScrollPos(int bar, int pos, BOOL redraw = 1);
  int GetScrollPos(int bar) const;
  BOOL SetScrollInfo(int bar, const SCROLLINFO* info, BOOL redraw = 1);
  BOOL GetScrollInfo(int bar, SCROLLINFO* info, UINT mask = SIF_ALL) const;
  BOOL EnableScrollBar(int bar, UINT arrows = ESB_ENABLE_BOTH);
  CScrollBar* GetScrollBarCtrl(int bar) const;
  DWORD GetStyle() const { return style_; }

  void GetClientRect(RECT* rect) const override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL DestroyWindow() override;

  // Printing (the stock commands 57607, 57608, 57609 are handled here).
  virtual BOOL OnPreparePrinting(CPrintInfo* info);
  BOOL DoPreparePrinting(CPrintInfo* info);
  virtual void OnBeginPrinting(CDC* dc, CPrintInfo* info);
  virtual void OnEndPrinting(CDC* dc, CPrintInfo* info);
  virtual void OnPrint(CDC* dc, CPrintInfo* info);
  virtual void OnEndPrintPreview(CDC* dc, CPrintInfo* info);
  void OnFilePrint(bool direct);
  void OnFilePrintPreview();

  bool BeforeQtEvent(QEvent* event) override;
  void AfterQtEvent(QEvent* event) override;
  // Events of the client-area widget.
  void PaintClient(QWidget* client);
  void ClientMousePress(QEvent* event);

 private:
  void LayoutChildren();
  void ScheduleDraw(bool erase);
  CScrollBar* Bar(int bar) const;

  DWORD style_;
  CDocument* document_ = nullptr;
  CBackingStore backingStore_;
  CHostWindow hostWindow_{backingStore_};  // after the backing store it draws into
  QPointer<QWidget> client_;
  std::unique_ptr<CScrollBar> hbar_;
  std::unique_ptr<CScrollBar> vbar_;
  bool drawPending_ = false;
  bool erasePending_ = false;
};

// The device-context half of the view (built on the framework's CDC): draws `view` into its
// backing store (erase step, then OnDraw); prints: OnBeginPrinting, OnPrint per page,
// OnEndPrinting, on a context over `printer`.
void PaintViewIntoBackingStore(CView& view, bool erase);
void PrintViewPages(CView& view, QPrinter& printer, CPrintInfo& info);
