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
  for (int c = 0; c < cards_.CardCount(); ++c) {
    CardRecord& record = cards_.Record(c);
    // A card whose snap shot failed has no frames in static memory to write.
    if (!record.framesStored) continue;
    CDisplayPicture& picture = record.picture;
    if (picture.Header() == nullptr) continue;
    const BITMAPINFOHEADER& info = picture.Description();
    const uint64_t frameBytes = StoredFrameBytes(record.params.format, info.biWidth, info.biHeight);
    for (int i = 0; i < cards_.storedImages; ++i) {
      // A failed lock converts nothing: the file gets the picture the buffer held before.
      picture.ConvertStoredFrame(record.snapOffset + frameBytes * static_cast<uint64_t>(i),
                                 frameBytes, record.params.format);
      // A failed write is not reported; the next file follows.
      WriteBmpFile(CardFrameFileName(base, c + 1, i + 1), *picture.Header(),
                   std::span<const uint8_t>(picture.Buffer(), picture.BufferSize()));
      Invalidate(TRUE);
    }
  }
}
