// card_set.cpp - Hexmont's card records and their opening, set-up and closing (see card_set.h).
#include "card_set.h"

#include <cstdio>

#include "card_helpers.h"
#include "services.h"

void LoadDefaultParameters(CardRecord& record) {
  VideoParameterSet defaults;
  defaults.format = record.params.format;
  SetRecordParameters(record, defaults);
}

void SetRecordParameters(CardRecord& record, const VideoParameterSet& set) {
  const int32_t format = record.params.format;
  record.params = set;
  record.params.format = format;
  const ImageSize size = ImageSizeOf(set.standard);
  record.imageWidth = size.width;
  record.imageHeight = size.height;
  record.params.inputWindow = VideoWindow{0, 0, size.width, size.height};
}

namespace {

// Whether the card turned a value down as out of range. Other failures (a card that is not open,
// a busy one) say nothing about the value, so it is kept.
bool Refused(int status) {
  return status == QUARN_ERR_BAD_PARAMETER;
}

}  // namespace

void ApplyRecordParameters(CardRecord& r) {
  const VideoParameterSet defaults;
  VideoParameterSet& p = r.params;
  if (Refused(QuarnSetVideoStandard(r.handle, p.standard))) {
    // The image and the input window follow the standard the card keeps.
    SetRecordParameters(r, [&] {
      VideoParameterSet set = p;
      set.standard = defaults.standard;
      return set;
    }());
  }
  QuarnSetVideoSource(r.handle, p.sourceType, p.sourceNumber);
  QuarnSetVideoFormat(r.handle, p.format);
  if (Refused(QuarnSetScanMode(r.handle, p.scanMode))) p.scanMode = defaults.scanMode;
  QuarnAdjustVideo(r.handle, kAdjustBrightness, p.brightness);
  QuarnAdjustVideo(r.handle, kAdjustContrast, p.contrast);
  QuarnAdjustVideo(r.handle, kAdjustHue, p.hue);
  QuarnAdjustVideo(r.handle, kAdjustSaturation, p.saturation);
  QuarnSetPLLFrequency(r.handle, p.pll);
  const VideoWindow& in = p.inputWindow;
  QuarnSetInputWindow(r.handle, in.x, in.y, in.width, in.height);
  // Output windows follow at the frame's first move or size.
  if (Refused(QuarnSelectCryOSC(r.handle, p.crystal))) p.crystal = defaults.crystal;
}

CCardSet::CCardSet() : records_(std::make_unique<CardRecord[]>(kMaxCards)) {}

CCardSet::~CCardSet() {
  CloseCards();
}

void CCardSet::OpenCards() {
  int count = 0;
  // A failing count is taken as no card at all, whatever the library wrote.
  if (QuarnGetCardTotal(&count) != QUARN_OK) count = 0;
  if (count < 1) {
    ShowStatusBox(QUARN_ERR_NO_CARD);
    count = 0;
  } else if (count > kMaxCards) {
    char text[128];
    std::snprintf(text, sizeof text, "%d capture cards were found; the first %d are used.", count,
                  kMaxCards);
    ShowMessageBox(text, "Notice", MB_OK);
    count = kMaxCards;
  }
  cardCount_ = count;
  open_ = true;

  for (int i = 0; i < cardCount_; ++i) {
    CardRecord& record = records_[static_cast<size_t>(i)];
    // Through a local so a card that fails to open keeps handle 0.
    QUARN_HANDLE handle = 0;
    const int status = BeginQuarnCard(i + 1, &handle);
    if (status != QUARN_OK) {
      ShowStatusBox(status);
    } else {
      record.handle = handle;
    }
    // The record's remaining constructor values are its member initialisers.
  }

  mode = AcquisitionMode::kIdle;
  clip = 1;
  mask = 0;
  storedImages = 0;
  playbackIndex = 0;
  stepFlag = 1;
  selectedCard = cardCount_;
}

void CCardSet::SetUpCards(int width, int height, int depth,
                          const std::function<void(CCardSet&)>& loadParameters) {
  LoadParameters(loadParameters);
  DetectSources();
  SetupDisplay(width, height, depth);
  ApplyAllParameters();
}

void CCardSet::LoadParameters(const std::function<void(CCardSet&)>& loadParameters) {
  if (loadParameters) {
    loadParameters(*this);
    return;
  }
  for (CardRecord& record : Records()) LoadDefaultParameters(record);
}

void CCardSet::DetectSources() {
  for (CardRecord& record : Records()) {
    DetectSignalSource(record.handle, record.params.sourceType, record.params.sourceNumber);
  }
}

void CCardSet::SetupDisplay(int width, int height, int depth) {
  screenWidth = width;
  screenHeight = height;
  displayDepth = depth;
  palette = CreateGreyPalette();
  for (CardRecord& record : Records()) {
    record.params.format = FormatForDepth(depth);
    record.picture.SetUp(0);
  }
}

void CCardSet::ApplyAllParameters() {
  for (CardRecord& record : Records()) ApplyRecordParameters(record);
}

void CCardSet::CloseCards() {
  if (!open_) return;
  open_ = false;
  for (CardRecord& record : Records()) {
    // An ended card calls nothing back any more; one that would not end may still.
    if (EndQuarnCard(record.handle) == QUARN_OK) {
      record.snapContext.Confirm();
      record.snapOpen = false;
    }
  }
  // A callback still coming reaches nothing from here on, so the pictures can go.
  DetachSnapCallbacks();
  for (CardRecord& record : Records()) record.picture.Release();
  palette.reset();
}

std::span<CardRecord> CCardSet::TargetCards() {
  if (selectedCard == cardCount_) return Records();
  if (selectedCard < 0 || selectedCard > cardCount_) return {};
  return {&records_[static_cast<size_t>(selectedCard)], 1};
}

CardRecord* CCardSet::ShownCard() {
  if (cardCount_ < 1 || selectedCard < 0 || selectedCard > cardCount_) return nullptr;
  return &records_[static_cast<size_t>(selectedCard == cardCount_ ? 0 : selectedCard)];
}

const CardRecord* CCardSet::ShownCard() const {
  return const_cast<CCardSet*>(this)->ShownCard();
}

void CCardSet::DetachSnapCallbacks() {
  for (CardRecord& record : Records()) record.snapContext.Reset();
}
