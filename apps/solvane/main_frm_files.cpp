// main_frm_files.cpp - Solvane's image files: Open... and Save As ... of one BMP picture, Save
// Serials of the stored frames as a numbered sequence, and Open Serials, which plays a numbered
// sequence back from disk.
#include "command_ids.h"
#include "main_frm.h"
#include "sequence_names.h"
#include "services.h"

void CMainFrame::RegisterFileCommands() {
  On(ID_FILE_OPEN_BMP, [this] {
    OnOpenBmp();
  }).Rule(ID_FILE_OPEN_BMP, RuleOf<solvane::OpenBmpRule>());
  On(ID_FILE_SAVE_BMP, [this] { OnSaveBmp(); });
  On(ID_VIEW_SAVE_SERIALS, [this] {
    OnSaveSerials();
  }).Rule(ID_VIEW_SAVE_SERIALS, RuleOf<solvane::SaveSerialsRule>());
  On(ID_VIEW_OPEN_SERIALS, [this] {
    OnOpenSerials();
  }).Rule(ID_VIEW_OPEN_SERIALS, RuleOf<solvane::IdleOnlyRule>());
}

void CMainFrame::InvalidateAll() {
  Invalidate(1);
  if (CView* view = GetActiveView()) view->Invalidate(1);
}

void CMainFrame::OnOpenBmp() {
  std::string path;
  if (!Services().fileDialog->Open(this, kBitmapFilesFilter, kBitmapDefaultExt, &path)) return;
  // A file that cannot be read shows no message: the picture it leaves is repainted.
  Card().ReadBmpFile(path);
  InvalidateAll();
}

void CMainFrame::OnSaveBmp() {
  std::string path;
  if (!Services().fileDialog->Save(this, kBitmapFilesFilter, kBitmapDefaultExt, "", &path)) return;
  Card().WriteBmpFile(path);  // a failed write is not reported
}

void CMainFrame::OnSaveSerials() {
  std::string chosen;
  if (!Services().fileDialog->Save(this, kBitmapFilesFilter, kBitmapDefaultExt, "", &chosen)) {
    return;
  }
  const CWaitCursor wait;
  const std::string base = SequenceBasePath(chosen);
  // Each frame as Snap Shot stored it goes from static memory into its file, without passing
  // through the display buffer; a frame that cannot be locked gives its file the picture shown.
  // A failed write is not reported.
  for (int i = 0; i < imageCount; ++i) {
    Card().WriteStoredFrame(static_cast<uint32_t>(i), FrameFileName(base, i + 1));
    InvalidateAll();
  }
  // The window then shows the last frame written.
  if (imageCount > 0) Card().TransformStoredFrame(static_cast<uint32_t>(imageCount - 1));
}

void CMainFrame::OnOpenSerials() {
  std::string chosen;
  if (!Services().fileDialog->Open(this, kBitmapFilesFilter, kBitmapDefaultExt, &chosen)) return;
  // Choosing the first file of a sequence ("seq1.bmp") gives the sequence's prefix ("seq").
  sequencePrefix = SequencePrefix(SequenceBasePath(chosen));
  bmpSequence = 1;
  SendMessage(WM_COMMAND, ID_PLAYBACK_STEP, 0);
}
