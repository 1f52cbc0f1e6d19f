// main_frm_params.cpp - Hexmont's parameter sets and QuarnCard.ini: every card's section read
// into its record when the window is created, and written back first thing on close.
#include "main_frm.h"
#include "parameter_ini.h"

void CMainFrame::LoadParameterSets() {
  CPrivateProfile profile = OpenParameterFile();
  profile.Load();  // an unreadable file reads as an empty one: every card gets the defaults
  for (int i = 0; i < grid_.CardCount(); ++i) {
    CVideoCard& card = grid_.Cell(i).card;
    // A source index above 10 names no source: the record keeps its own until detection sets it.
    const StoredParameters stored =
        ReadStoredParameters(profile, HexmontSectionName(i), ParameterKeys::kHexmont);
    SetRecordParameters(card, SetFromStored(stored, card.Params()));
  }
}

void CMainFrame::SaveParameterSets() {
  // Read afresh, so sections written meanwhile (by Solvane) are kept; write errors are not
  // reported.
  CPrivateProfile profile = OpenParameterFile();
  if (!profile.Load()) return;
  for (int i = 0; i < grid_.CardCount(); ++i) {
    WriteStoredParameters(profile, HexmontSectionName(i),
                          StoredFromSet(grid_.Cell(i).card.Params()), ParameterKeys::kHexmont);
  }
  profile.Save();
}
