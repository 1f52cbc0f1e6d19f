// shell_view.cpp - the plain view.
#include "shell_view.h"

#include "view_painter.h"

void CShellView::OnDraw(CDC* dc) {
  if (auto* painter = dynamic_cast<CViewPainter*>(MainFrame())) painter->PaintView(dc);
}

BOOL CShellView::OnEraseBkgnd(CDC* dc) {
  if (auto* painter = dynamic_cast<CViewPainter*>(MainFrame())) {
    if (painter->EraseView(dc)) return TRUE;
  }
  return CView::OnEraseBkgnd(dc);
}

CWnd* CShellView::MainFrame() const {
  if (CWnd* main = AfxGetMainWnd()) return main;
  return GetParentFrame();
}

void CShellView::OnLButtonDown(UINT flags, CPoint point) {
  if (CWnd* frame = MainFrame()) frame->SendMessage(WM_LBUTTONDOWN, 0, 0);
  CView::OnLButtonDown(flags, point);
}

void CShellView::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (auto* painter = dynamic_cast<CViewPainter*>(MainFrame())) {
    painter->OnViewScroll(SB_HORZ, code, pos);
  }
  CView::OnHScroll(code, pos, bar);
}

void CShellView::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (auto* painter = dynamic_cast<CViewPainter*>(MainFrame())) {
    painter->OnViewScroll(SB_VERT, code, pos);
  }
  CView::OnVScroll(code, pos, bar);
}

BOOL CShellView::OnPreparePrinting(CPrintInfo* info) {
  return DoPreparePrinting(info);
}

void CShellView::OnBeginPrinting(CDC*, CPrintInfo*) {}

void CShellView::OnEndPrinting(CDC*, CPrintInfo*) {}

void CShellView::OnEndPrintPreview(CDC* dc, CPrintInfo* info) {
  CView::OnEndPrintPreview(dc, info);
  if (CWnd* frame = MainFrame()) frame->SendMessage(WM_SIZE, 0, 0);
}
