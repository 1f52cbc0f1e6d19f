// video_wnd.cpp - Solvane's frame base: the card's opening and closing, borders, relayout,
// scroll bars, video placement and the position rules.
#include "video_wnd.h"

#include "QuarnVidEx.h"
#include "solvane_layout.h"

namespace {

// The view's client area in screen coordinates.
CRect ViewScreenRect(CView& view) {
  CRect client;
  view.GetClientRect(&client);
  view.ClientToScreen(&client);
  return client;
}

}  // namespace

CVideoWnd::CVideoWnd() : card_(std::make_unique<CVideoCard>(1)) {}

CVideoWnd::~CVideoWnd() {
  card_.reset();
}

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
  // A snap the card could not close may still call back: from here on it reaches nothing.
  card_->DetachSnapCallback();
  CFrameWnd::OnDestroy();
}

void CVideoWnd::ComputeBorders() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  const CRect client = ViewScreenRect(*view);
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
  const CRect client = ViewScreenRect(*view);
  UpdateScrollBars(view, client);
  PlaceVideo(client);
}

void CVideoWnd::UpdateScrollBars(CView* view, const RECT& viewScreenRect) {
  if (view == nullptr) return;
  if (clip == 0) {
    view->ShowScrollBar(SB_BOTH, 0);
    return;
  }
  const solvane::ScrollSettings settings =
      solvane::ClipScrollSettings(card_->GetImageSize(), viewScreenRect.right - viewScreenRect.left,
                                  viewScreenRect.bottom - viewScreenRect.top, card_->GetScanMode());
  const auto apply = [view](int bar, const solvane::ScrollSetting& setting) {
    if (setting.enabled()) {
      view->EnableScrollBar(bar, ESB_ENABLE_BOTH);
      SCROLLINFO info;
      info.fMask = SIF_RANGE | SIF_PAGE;
      info.nMin = 0;
      info.nMax = setting.max;
      info.nPage = setting.page;
      view->SetScrollInfo(bar, &info, 1);
    } else {
      view->EnableScrollBar(bar, ESB_DISABLE_BOTH);
    }
  };
  apply(SB_HORZ, settings.horizontal);
  apply(SB_VERT, settings.vertical);
}

void CVideoWnd::PlaceVideo(const RECT& viewScreenRect) {
  const solvane::VideoRects rects =
      solvane::PlaceRects(viewScreenRect, clip, card_->GetScanMode(), card_->GetImageSize());
  ApplyWindows(rects.input, rects.output);
}

void CVideoWnd::SetClipMode(int on) {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  clip = on;
  view->ShowScrollBar(SB_BOTH, on != 0 ? 1 : 0);
  ComputeBorders();
  Relayout();
}

void CVideoWnd::OnSize(UINT type, int cx, int cy) {
  CFrameWnd::OnSize(type, cx, cy);
  CView* view = GetActiveView();
  if (view == nullptr) return;
  const CRect client = ViewScreenRect(*view);
  UpdateScrollBars(view, client);
  PlaceVideo(client);
  frameCounter = 0;
  startTick = Services().clock->GetTickCount();
}

void CVideoWnd::OnMove(int x, int y) {
  CFrameWnd::OnMove(x, y);
  CView* view = GetActiveView();
  if (view == nullptr) return;
  PlaceVideo(ViewScreenRect(*view));
}

void CVideoWnd::OnWindowPosChanging(WINDOWPOS* pos) {
  CFrameWnd::OnWindowPosChanging(pos);
  if (pos == nullptr) return;
  solvane::PositionContext context;
  context.minimized = IsIconic() != 0;
  context.maximized = IsZoomed() != 0;
  context.borders = solvane::Borders{borderLeft, borderTop, borderRight, borderBottom};
  context.screenWidth = screenWidth;
  context.screenHeight = screenHeight;
  context.maxClient = solvane::MaxClientSize(card_->GetVideoStandard(), card_->GetScanMode());
  solvane::ConstrainFramePosition(*pos, context, restorePending);
}
