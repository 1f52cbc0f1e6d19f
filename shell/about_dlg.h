// about_dlg.h - CAboutDlg, the About box built from each program's dialog template 100.
#pragma once

#include "afx.h"
#include "command_ids.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
