// shell_view.cpp - the plain view.
#include "shell_view.h"

void CShellView::OnDraw(CDC*) {}

CWnd* CShellView::MainFrame() const {
  if (CWnd* main = AfxGetMainWnd()) return main;
  return GetParentFrame();
}

void CShellView::OnLButtonDown(UINT flags, CPoint point) {
  if (CWnd* frame = MainFrame()) frame->SendMessage(WM_LBUTTONDOWN, 0, 0);
  CView::OnLButtonDown(flags, point);
}

BOOL CShellView::OnPreparePrinting(CPrintInfo* info) { return DoPreparePrinting(info); }

void CShellView::OnBeginPrinting(CDC*, CPrintInfo*) {}

void CShellView::OnEndPrinting(CDC*, CPrintInfo*) {}

void CShellView::OnEndPrintPreview(CDC* dc, CPrintInfo* info) {
  CView::OnEndPrintPreview(dc, info);
  if (CWnd* frame = MainFrame()) frame->SendMessage(WM_SIZE, 0, 0);
}
