// allocate_memory_dlg.cpp - the Allocate Memory dialog, its template and its menu command (see
// allocate_memory_dlg.h).
#include "allocate_memory_dlg.h"

#include <cstdio>
#include <utility>

#include "QuarnVideo.h"
#include "command_ids.h"
#include "reboot.h"
#include "services.h"
#include "video_card.h"

namespace {
constexpr int kMaxStatusChars = 100;
}  // namespace

DialogTemplate AllocateMemoryDialogTemplate() {
  // The edit box is the first control that takes the focus, so it has it when the dialog opens.
  // A line edit always has a border and scrolls its text sideways.
  return DialogTemplate{
      "Allocate memory",
      "MS Sans Serif",
      8,
      203,
      116,
      {
          {IDC_STATIC, ControlClass::GroupBox, "Situation", 16, 9, 173, 43, 0},
          {IDC_STATIC, ControlClass::Static, "Allocated:", 22, 20, 48, 10, 0},
          {IDC_ALLOC_ALLOCATED, ControlClass::Static, "", 73, 20, 111, 10, 0},
          {IDC_ALLOC_STATUS, ControlClass::Static, "", 22, 35, 157, 10, 0},
          {IDC_STATIC, ControlClass::Static, "Try to allocate", 18, 65, 62, 12, SS_RIGHT},
          {IDC_ALLOC_PAGES, ControlClass::Edit, "", 85, 65, 40, 13, WS_TABSTOP},
          {IDC_STATIC, ControlClass::Static, "Pages(4KB/Page)", 129, 65, 65, 12, 0},
          {IDOK, ControlClass::Button, "OK", 41, 91, 60, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
          {IDCANCEL, ControlClass::Button, "Cancel", 101, 91, 60, 14, WS_TABSTOP},
      }};
}

CAllocateMemoryDlg::CAllocateMemoryDlg() : CDialog(IDD_ALLOCATE_MEMORY) {}

CAllocateMemoryDlg::CAllocateMemoryDlg(CWnd* parent, CVideoCard* card)
    : CDialog(IDD_ALLOCATE_MEMORY, parent), m_pCard(card), throughCard_(true) {}

int CAllocateMemoryDlg::GetStaticMem(int& pages) const {
  return throughCard_ ? m_pCard->GetStaticMem(pages) : QuarnGetStaticMem(&pages);
}

int CAllocateMemoryDlg::SetStaticMem(int pages) const {
  return throughCard_ ? m_pCard->SetStaticMem(pages) : QuarnSetStaticMem(pages);
}

int CAllocateMemoryDlg::ShowBox(const std::string& text, const std::string& caption,
                                unsigned style) {
  const auto& box = Services().messageBox;
  return box ? box->Show(this, text, caption, style) : IDOK;
}

void CAllocateMemoryDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_ALLOC_ALLOCATED, m_strAllocated);
  DDV_MaxChars(dx, m_strAllocated, kMaxStatusChars);
  DDX_Text(dx, IDC_ALLOC_STATUS, m_strStatus);
  DDV_MaxChars(dx, m_strStatus, kMaxStatusChars);
  DDX_Text(dx, IDC_ALLOC_PAGES, m_nPages);
  DDV_MinMaxUInt(dx, m_nPages, 0, kMaxAllocatePages);
}

BOOL CAllocateMemoryDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (throughCard_ && m_pCard == nullptr) return 1;

  // The library writes the pages into a 32-bit count; what it leaves there is shown, also when it
  // fails (then the count keeps the value it had).
  int pages = static_cast<int>(m_nPages);
  const int status = GetStaticMem(pages);
  m_nPages = static_cast<unsigned>(pages);

  char text[64];
  std::snprintf(text, sizeof text, "%d Pages (%d KB)", static_cast<int>(m_nPages),
                static_cast<int>(m_nPages * 4u));
  m_strAllocated = text;
  m_strStatus = status == QUARN_OK ? kAllocationSucceededText : kAllocationFailedText;
  UpdateData(0);
  return 1;  // the focus goes to the first control in tab order, the edit box
}

void CAllocateMemoryDlg::OnOK() {
  if (throughCard_ && m_pCard == nullptr) {
    EndDialog(IDOK);
    return;
  }

  int reserved = 0;
  GetStaticMem(reserved);      // its status does not matter: a failed read leaves 0
  if (!UpdateData(1)) return;  // the framework's message was shown; the dialog stays open
  if (m_nPages == static_cast<unsigned>(reserved)) {
    EndDialog(IDOK);
    return;
  }

  // m_nPages is at most kMaxAllocatePages here, so it fits the library's int.
  if (SetStaticMem(static_cast<int>(m_nPages)) != QUARN_OK) {
    ShowBox(kSetStaticMemFailedText, AfxGetAppName(), MB_OK | MB_ICONEXCLAMATION);
    EndDialog(IDOK);
    return;
  }

  // The new size takes effect only after the machine restarts.
  if (ShowBox(kRebootQuestionText, kNoticeCaption, MB_YESNO) == IDYES) {
    RebootSystem(this);
  } else {
    ShowBox(kRebootLaterText, kNoticeCaption, MB_OK);
  }
  EndDialog(IDOK);
}

void RegisterAllocateMemoryCommand(CFrameWnd& frame) {
  // Live video or a snap may keep running: the dialog only reads and requests the reservation.
  frame.On(ID_PARAM_ALLOCATE_MEMORY, [] {
    CAllocateMemoryDlg dialog;
    dialog.DoModal();
  });
}

void RegisterAllocateMemoryCommand(CFrameWnd& frame, std::function<CVideoCard*()> card) {
  frame.On(ID_PARAM_ALLOCATE_MEMORY, [&frame, card = std::move(card)] {
    CAllocateMemoryDlg dialog(&frame, card ? card() : nullptr);
    dialog.DoModal();
  });
}
