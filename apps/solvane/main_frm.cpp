// main_frm.cpp - Solvane's main frame.
#include "main_frm.h"

#include <cstdio>

#include "allocate_memory_dlg.h"
#include "card_helpers.h"
#include "command_ids.h"
#include "dc.h"
#include "help_links.h"
#include "resource_ids.h"
#include "shell_resources.h"
#include "solvane_layout.h"

void FillMaskRectangles(CDC& dc) {
  dc.FillSolidRect(50, 50, 50, 50, dc.GetBkColor());
  dc.FillSolidRect(100, 150, 100, 1, dc.GetBkColor());
}

CMainFrame::CMainFrame() {
  RegisterHelpLinks(*this, solvane::ID_HELP_UPDATE_WEBSITE, solvane::ID_HELP_CONTACT);
  On(ID_VIEW_CAPTURE, [this] {
    OnCapture();
  }).Rule(ID_VIEW_CAPTURE, RuleOf<solvane::CaptureRule>());
  RegisterDisplayCommands();
  RegisterShotMaskCommands();
  RegisterSnapCommands();
  RegisterPlaybackCommands();
  RegisterParameterCommands();
  RegisterFileCommands();
  RegisterAllocateMemoryCommand(*this, [this] { return &Card(); });
  OnMessage(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
    OnPaint();
    return 0;
  });
}

SolvaneFrameState CMainFrame::FrameState() const {
  SolvaneFrameState state;
  state.state = Card().GetState();
  state.playing = playing != 0;
  state.stepFlag = stepFlag;
  state.imageCount = imageCount;
  state.bmpSequence = bmpSequence != 0;
  state.clip = clip;
  state.maskEnabled = Card().IsMaskEnabled();
  const CVideoCard& card = Card();
  state.shown = ShownParameters{
      card.GetVideoFormat(),      card.GetVideoStandard(),  card.GetScanMode(),   card.GetCrystal(),
      card.GetMirrorHorizontal(), card.GetMirrorVertical(), card.GetChromaTrap(), interline};
  return state;
}

void CMainFrame::OnCapture() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CVideoCard& card = Card();
  CClientDC dc(view);
  const bool start = card.GetState() == CardState::kIdle;
  if (start) {
    // The view repaints from the cleared buffer: a start that fails shows it, not the old one.
    card.ClearDisplayBuffer();
    Invalidate(1);
    view->Invalidate(1);
  }
  const int status = card.Capture(view->HostWindow(), start ? 1 : 0);
  if (status != QUARN_OK) {
    ShowStatusBox(status);
    return;
  }
  if (!start) {
    // Freeze the last picture and read it back, so the view keeps showing it when idle.
    FreezeAndReadBack(*view, dc, false);
  }
}

std::string CMainFrame::PerformanceTitle() const {
  const VideoWindow& output = Card().GetOutputWindow();
  char text[64];
  std::snprintf(text, sizeof text, "Quarn Performance [%d x %d]", output.width, output.height);
  return text;
}

void CMainFrame::OnPaint() {
  // Only the title changes; a title that is already right is left alone (setting it again would
  // only make the window manager redraw the caption).
  const std::string title = PerformanceTitle();
  if (GetWindowText() != title) SetWindowText(title);
}

void CMainFrame::AfterQtEvent(QEvent* event) {
  CVideoWnd::AfterQtEvent(event);
  if (event->type() == QEvent::Paint && GetWidget() != nullptr) SendMessage(WM_PAINT);
}

void CMainFrame::PaintView(CDC* dc) {
  if (dc == nullptr) return;
  CVideoCard& card = Card();
  if (card.GetState() != CardState::kIdle && playing == 0) return;
  if (!dc->IsPrinting()) {
    card.Draw(dc);
    return;
  }
  // The picture keeps its size on paper: screen pixels are 1/96 inch.
  const BITMAPINFO* header = card.GetDisplayHeader();
  const int width = header != nullptr ? header->bmiHeader.biWidth : 0;
  const int height = header != nullptr ? header->bmiHeader.biHeight : 0;
  const int printWidth = solvane::PrintedLength(width, dc->GetDeviceCaps(LOGPIXELSX));
  const int printHeight = solvane::PrintedLength(height, dc->GetDeviceCaps(LOGPIXELSY));
  card.DrawStretched(dc, 0, 0, printWidth, printHeight, 0, 0, width, height);
}

BOOL CMainFrame::EraseView(CDC* dc) {
  if (Card().GetState() != CardState::kLive) return 0;
  if (dc != nullptr && Card().IsMaskEnabled() != 0) FillMaskRectangles(*dc);
  return 1;
}

void CMainFrame::OnClose() {
  // Acquisition stops through the commands that started it, so their own stopping steps run.
  if (playing == 0) {
    if (Card().GetState() == CardState::kLive) {
      SendMessage(WM_COMMAND, ID_VIEW_CAPTURE, 0);
    } else if (Card().GetState() == CardState::kSnap) {
      SendMessage(WM_COMMAND, ID_VIEW_SNAP, 0);
    }
  } else if (stepFlag == 0) {
    KillTimer(kPlaybackTimerId);
  }
  CVideoWnd::OnClose();
}

void CMainFrame::OnUpdateFrameTitle() {
  SetWindowText(ProgramTitle());
}
