// hexmont_test_support.h - what Hexmont's frame tests share: a way into the frame's private state
// for tests that start from a mode without driving the frame there, and changes to a card's
// record that the tests make without telling the card.
#pragma once

#include "main_frm.h"

struct HexmontFrameProbe {
  static AcquisitionMode& Mode(CMainFrame& frame) { return frame.mode_; }
  static bool& Stepping(CMainFrame& frame) { return frame.stepping_; }
  static bool& MaskOn(CMainFrame& frame) { return frame.maskOn_; }
  static int& StoredFrames(CMainFrame& frame) { return frame.storedFrames_; }
  static bool& Clipped(CMainFrame& frame) { return frame.clipped_; }
  static int& ScreenWidth(CMainFrame& frame) { return frame.screenWidth_; }
  static int& ScreenHeight(CMainFrame& frame) { return frame.screenHeight_; }
  static CPalette* Palette(CMainFrame& frame) { return frame.palette_.get(); }
  static CPalette* DisplacedPalette(CMainFrame& frame) { return frame.displacedPalette_; }
};

namespace hexmonttest {

// Changes one value of a card's record without telling the card.
template <typename T>
void SetRecordValue(CVideoCard& card, T VideoParameterSet::*field, T value) {
  VideoParameterSet record = card.Params();
  record.*field = value;
  card.SetRecord(record);
}

// Sets a card's output window (the grid's, in screen pixels) without telling the card.
inline void SetOutputRect(CVideoCard& card, const RECT& rect) {
  SetRecordValue(card, &VideoParameterSet::outputWindow,
                 VideoWindow{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
}

}  // namespace hexmonttest
