// main_frm_files.cpp - Hexmont's Save Serials: every card's stored frames written as numbered BMP
// files, card 1's first.
#include <span>

#include "bmp_file.h"
#include "command_ids.h"
#include "main_frm.h"
#include "sequence_names.h"
#include "services.h"
#include "static_frames.h"

void CMainFrame::RegisterFileCommands() {
  On(ID_VIEW_SAVE_SERIALS, [this] {
    OnSaveSerials();
  }).Rule(ID_VIEW_SAVE_SERIALS, RuleOf<hexmont::SaveSerialsRule>());
}

void CMainFrame::OnSaveSerials() {
  std::string chosen;
  if (!Services().fileDialog->Save(this, kBitmapFilesFilter, kBitmapDefaultExt, "", &chosen)) {
    return;
  }
  // Many files may follow, with nothing else to show meanwhile.
  const CWaitCursor wait;
  const std::string base = SequenceBasePath(chosen);
  for (int c = 0; c < grid_.CardCount(); ++c) {
    CGridCard& cell = grid_.Cell(c);
    // A card whose snap shot failed has no frames in static memory to write.
    if (!cell.framesStored) continue;
    CDisplayPicture& picture = cell.card.Picture();
    if (picture.Header() == nullptr) continue;
    for (int i = 0; i < storedFrames_; ++i) {
      // Each frame as it was stored, straight from static memory into its file. A failed write
      // is not reported; the next file follows.
      cell.card.WriteStoredFrame(static_cast<uint32_t>(i), CardFrameFileName(base, c + 1, i + 1));
    }
    // The view shows the last frame written, as it did when each went through the picture.
    if (storedFrames_ > 0) cell.card.TransformStoredFrame(static_cast<uint32_t>(storedFrames_ - 1));
    Invalidate(TRUE);
  }
}
