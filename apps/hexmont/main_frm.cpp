// main_frm.cpp - Hexmont's main frame: opening, setting up and closing its cards.
#include "main_frm.h"

#include "command_ids.h"
#include "help_links.h"
#include "resource_ids.h"
#include "shell_resources.h"

CMainFrame::CMainFrame() {
  RegisterHelpLinks(*this, hexmont::ID_HELP_UPDATE_WEBSITE, hexmont::ID_HELP_CONTACT);
  cards_.OpenCards();
}

CMainFrame::~CMainFrame() { cards_.CloseCards(); }

int CMainFrame::OnCreate(LPCREATESTRUCT create) {
  if (CFrameWnd::OnCreate(create) == -1) return -1;

  // The screen's size and depth, from a device context on the frame's client area (its view).
  int screenWidth = 0;
  int screenHeight = 0;
  int depth = 0;
  if (CView* view = GetActiveView()) {
    CClientDC dc(view->HostWindow());
    screenWidth = dc.GetDeviceCaps(HORZRES);
    screenHeight = dc.GetDeviceCaps(VERTRES);
    depth = dc.GetDeviceCaps(PLANES) * dc.GetDeviceCaps(BITSPIXEL);
  }
  // No parameter reader is given yet, so every card starts from the default parameter set.
  cards_.SetUpCards(screenWidth, screenHeight, depth, {});
  return 0;
}

void CMainFrame::OnClose() {
  SaveParameterSets();
  // Acquisition stops through the commands that started it, so their own stopping steps run.
  if (cards_.mode == CCardSet::kModePlayback && cards_.stepFlag == 0) {
    KillTimer(kPlaybackTimerId);
  } else if (cards_.mode == CCardSet::kModeLive) {
    SendMessage(WM_COMMAND, ID_VIEW_CAPTURE, 0);
  } else if (cards_.mode == CCardSet::kModeSnap) {
    SendMessage(WM_COMMAND, ID_VIEW_SNAP, 0);
  }
  CFrameWnd::OnClose();
}

void CMainFrame::OnUpdateFrameTitle() { SetWindowText(ProgramTitle()); }
