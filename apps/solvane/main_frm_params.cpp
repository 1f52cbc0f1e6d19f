// main_frm_params.cpp - Solvane's parameter set and QuarnCard.ini: section "Video Parameter" read
// through the card's setters before the card is opened and written after it is closed, and the
// saved mask pattern loaded once the card is open.
#include "main_frm.h"
#include "parameter_ini.h"
#include "pixel_mask.h"

void CVideoWnd::LoadParameters(CVideoCard& card) {
  CPrivateProfile profile = OpenParameterFile();
  profile.Load();  // an unreadable file reads as an empty one: every key gives its default
  const StoredParameters stored =
      ReadStoredParameters(profile, kParameterSection, ParameterKeys::kSolvane);
  // A source index above 10 names no source: the card's own is sent again.
  const VideoParameterSet v = SetFromStored(stored, card.Params());
  // Each value through its setter, in this order; the statuses are ignored. The card is not open
  // yet: it keeps every value (see CVideoCard::SetPresetting) and is sent the whole set when it
  // opens, where a value it refuses goes back to its initial one.
  card.SetVideoStandard(v.standard);
  card.SetScanMode(v.scanMode);
  card.SetVideoSource(v.sourceType, v.sourceNumber);
  card.SetBrightness(v.brightness);
  card.SetContrast(v.contrast);
  card.SetHue(v.hue);
  card.SetSaturation(v.saturation);
  card.SetPllFrequency(v.pll);
  card.SetCrystal(v.crystal);
  card.SetMirror(kMirrorHorizontal, v.mirrorHorizontal);
  card.SetMirror(kMirrorVertical, v.mirrorVertical);
  card.SetChromaTrap(kLumaChromaTrap, v.chromaTrap);
  card.EnableMask(v.maskEnabled);
  const ImageSize size = card.GetImageSize();
  card.SetInputWindow(0, 0, size.width, size.height);
  clip = stored.clip;
  interline = stored.interline;
  card.SetDelay(v.xDelay, v.yDelay);
}

void CVideoWnd::SaveParameters(const CVideoCard& card) {
  // Read afresh, so sections written meanwhile (by Hexmont) are kept; write errors are not
  // reported.
  CPrivateProfile profile = OpenParameterFile();
  if (!profile.Load()) return;
  StoredParameters v = StoredFromSet(card.Params());
  v.clip = clip;
  v.interline = interline;
  WriteStoredParameters(profile, kParameterSection, v, ParameterKeys::kSolvane);
  profile.Save();
}

int CMainFrame::OnCreate(LPCREATESTRUCT create) {
  if (CVideoWnd::OnCreate(create) == -1) return -1;
  // The saved mask is rebuilt on the card just opened, at the picture's full height whatever
  // the scan mode; failures are not reported.
  if (Card().IsMaskEnabled() != 0) LoadDemonstrationMask(Card(), false);
  return 0;
}
