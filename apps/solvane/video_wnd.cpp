// video_wnd.cpp - Solvane's frame base: the card's opening and closing, borders and relayout.
#include "video_wnd.h"

CVideoWnd::CVideoWnd() : card_(std::make_unique<CVideoCard>(1)) {}

CVideoWnd::~CVideoWnd() { card_.reset(); }

int CVideoWnd::OnCreate(LPCREATESTRUCT create) {
  if (CFrameWnd::OnCreate(create) == -1) return -1;

  // The screen's size and depth, from a device context on the frame's client area (its view).
  int depth = 0;
  if (CView* view = GetActiveView()) {
    CClientDC dc(view->HostWindow());
    screenWidth = dc.GetDeviceCaps(HORZRES);
    screenHeight = dc.GetDeviceCaps(VERTRES);
    depth = dc.GetDeviceCaps(PLANES) * dc.GetDeviceCaps(BITSPIXEL);
  }
  OpenSolvaneCard(*card_, depth, [this](CVideoCard& card) { LoadParameters(card); });
  return 0;
}

void CVideoWnd::OnDestroy() {
  CloseSolvaneCard(*card_, [this](const CVideoCard& card) { SaveParameters(card); });
  CFrameWnd::OnDestroy();
}

void CVideoWnd::ComputeBorders() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CRect client;
  view->GetClientRect(&client);
  view->ClientToScreen(&client);
  CRect window;
  GetWindowRect(&window);
  borderLeft = client.left - window.left;
  borderTop = client.top - window.top;
  borderRight = window.right - client.right;
  borderBottom = window.bottom - client.bottom;
}

void CVideoWnd::Relayout() {
  CRect window;
  GetWindowRect(&window);
  MoveWindow(&window, 1);
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CRect client;
  view->GetClientRect(&client);
  view->ClientToScreen(&client);
  PlaceVideoForView(client);
}

void CVideoWnd::PlaceVideoForView(const RECT&) {}
