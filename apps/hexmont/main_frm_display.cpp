// main_frm_display.cpp - Hexmont's display modes: Clip and Scale switch every card between
// cropping its picture 1:1 into its output window and scaling the whole picture into it.
#include "command_ids.h"
#include "main_frm.h"

void CMainFrame::RegisterDisplayCommands() {
  On(ID_DISPLAY_CLIP, [this] {
    OnDisplayClip();
  }).Rule(ID_DISPLAY_CLIP, RuleOf<hexmont::ClipRule>());
  On(ID_DISPLAY_SCALE, [this] {
    OnDisplayScale();
  }).Rule(ID_DISPLAY_SCALE, RuleOf<hexmont::ScaleRule>());
}

void CMainFrame::OnDisplayClip() {
  // Choosing the mode already in force sends the cards nothing.
  if (clipped_) return;
  clipped_ = true;
  RECT view;
  if (ViewScreenRect(&view)) PlaceVideo(view);
}

void CMainFrame::OnDisplayScale() {
  if (!clipped_) return;
  clipped_ = false;
  RECT view;
  if (ViewScreenRect(&view)) PlaceVideo(view);
}
