// main_frm.cpp - Solvane's main frame.
#include "main_frm.h"

#include "command_ids.h"
#include "help_links.h"
#include "resource_ids.h"
#include "shell_resources.h"

CMainFrame::CMainFrame() {
  RegisterHelpLinks(*this, solvane::ID_HELP_UPDATE_WEBSITE, solvane::ID_HELP_CONTACT);
}

void CMainFrame::OnClose() {
  // Acquisition stops through the commands that started it, so their own stopping steps run.
  if (playing == 0) {
    if (Card().GetState() == CVideoCard::kStateLive) {
      SendMessage(WM_COMMAND, ID_VIEW_CAPTURE, 0);
    } else if (Card().GetState() == CVideoCard::kStateSnap) {
      SendMessage(WM_COMMAND, ID_VIEW_SNAP, 0);
    }
  } else if (stepFlag == 0) {
    KillTimer(kPlaybackTimerId);
  }
  CVideoWnd::OnClose();
}

void CMainFrame::OnUpdateFrameTitle() { SetWindowText(ProgramTitle()); }
