// main_frm.h - Solvane's main frame, over the video window: the help links, the title and
// stopping acquisition when it closes.
#pragma once

#include "video_wnd.h"

class CMainFrame : public CVideoWnd {
 public:
  CMainFrame();

  // Stops live video or the snap (through their commands) or Circle playback, then closes.
  void OnClose() override;
  // The title is the program's name alone (the document has none).
  void OnUpdateFrameTitle() override;
};
