// allocate_memory_dlg.h - CAllocateMemoryDlg, the "Allocate Memory..." dialog of both programs:
// shows the static memory the library now reserves, asks it for a new size in pages and offers
// the restart that makes the new size take effect; its dialog template and the menu command.
#pragma once

#include <functional>

#include "afx.h"

class CVideoCard;

// Dialog template 132 and its controls.
inline constexpr UINT IDD_ALLOCATE_MEMORY = 132;
inline constexpr UINT IDC_ALLOC_PAGES = 1012;      // edit: the page count
inline constexpr UINT IDC_ALLOC_ALLOCATED = 1013;  // static: the reserved size
inline constexpr UINT IDC_ALLOC_STATUS = 1014;     // static: the status line

// The largest page count the dialog accepts (one page is 4,096 bytes).
inline constexpr unsigned kMaxAllocatePages = 10000000;

// The dialog texts the user sees.
inline constexpr const char* kAllocationSucceededText = "Allocation is successful.";
inline constexpr const char* kAllocationFailedText = "Allocation is unsuccessful.";
inline constexpr const char* kSetStaticMemFailedText = "Failed to Allocate Memory.";
inline constexpr const char* kRebootQuestionText =
    " Changed Pages. Let setting avail, \n you must reboot! Now, Reboot?";
inline constexpr const char* kRebootLaterText = "Please Reboot later!";
inline constexpr const char* kNoticeCaption = "Notice";

// Dialog template 132, "Allocate memory"; both programs carry it.
DialogTemplate AllocateMemoryDialogTemplate();

class CAllocateMemoryDlg : public CDialog {
 public:
  // Hexmont: the library's static-memory operations are called directly; with no owner the
  // framework uses the main window.
  CAllocateMemoryDlg();
  // Solvane: the operations go through `card` (not owned); with a null card the dialog reads and
  // changes nothing.
  CAllocateMemoryDlg(CWnd* parent, CVideoCard* card);

  // Fills the reserved size, the status line and the page count from the library.
  BOOL OnInitDialog() override;
  // Validates the page count; when it differs from the reservation, requests it and offers the
  // restart.
  void OnOK() override;
  // 1013 and 1014 (at most 100 characters each), then 1012 as an unsigned number in 0..10000000.
  void DoDataExchange(CDataExchange* dx) override;

  CString m_strAllocated;
  CString m_strStatus;
  unsigned m_nPages = 0;
  CVideoCard* m_pCard = nullptr;

 private:
  int GetStaticMem(int& pages) const;
  int SetStaticMem(int pages) const;
  int ShowBox(const std::string& text, const std::string& caption, unsigned style);

  bool throughCard_ = false;  // Solvane's form: every static-memory call goes through m_pCard
};

// Registers "Allocate Memory..." (32802), always enabled. Hexmont's form runs the dialog with no
// explicit owner and calls the library directly.
void RegisterAllocateMemoryCommand(CFrameWnd& frame);
// Solvane's form: the frame owns the dialog, which calls through the card `card()` returns.
void RegisterAllocateMemoryCommand(CFrameWnd& frame, std::function<CVideoCard*()> card);
