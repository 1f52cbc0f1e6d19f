// main_frm.h - Hexmont's main frame: it owns every installed card (opened in its constructor, set
// up when its window is created, ended in its destructor) and stops acquisition when it closes.
#pragma once

#include "afx.h"
#include "card_set.h"

class CMainFrame : public CFrameWnd {
 public:
  // Counts the cards and opens each one (a failure shows its box and the next card follows).
  CMainFrame();
  // Ends every card, frees the display buffers and deletes the palette.
  ~CMainFrame() override;

  CCardSet& Cards() { return cards_; }
  const CCardSet& Cards() const { return cards_; }

  // The framework's creation (menu, view), then every card's parameters, source detection,
  // display set-up from the screen and applying the parameters.
  int OnCreate(LPCREATESTRUCT create) override;
  // Saves the parameters, stops live video, snap or Circle playback, then closes the frame.
  void OnClose() override;
  // The title is the program's name alone (the document has none).
  void OnUpdateFrameTitle() override;

 protected:
  // Writes every card's parameter set on close; nothing is written yet.
  virtual void SaveParameterSets() {}

 private:
  CCardSet cards_;
};
