// view_dc.cpp - the view's drawing through device contexts: the erase step and OnDraw into the
// backing store, and the printing loop on a printer context.
#include <QPainter>
#include <QPrinter>

#include "dc.h"
#include "view.h"

BOOL CView::OnEraseBkgnd(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  dc->FillBackground(client);
  return 1;
}

void PaintViewIntoBackingStore(CView& view, bool erase) {
  CClientDC dc(view.HostWindow());
  if (erase) view.OnEraseBkgnd(&dc);
  view.OnDraw(&dc);
}

void PrintViewPages(CView& view, QPrinter& printer, CPrintInfo& info) {
  QPainter painter;
  if (!painter.begin(&printer)) return;
  CDC dc(painter, true);
  view.OnBeginPrinting(&dc, &info);
  for (UINT page = info.m_nMinPage; page <= info.m_nMaxPage; ++page) {
    if (page != info.m_nMinPage) printer.newPage();
    info.m_nCurPage = page;
    view.OnPrint(&dc, &info);
  }
  view.OnEndPrinting(&dc, &info);
  painter.end();
}
