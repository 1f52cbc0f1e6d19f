// card_set.cpp - Hexmont's card records and their opening, set-up and closing (see card_set.h).
#include "card_set.h"

#include <cstdio>

#include "card_helpers.h"
#include "services.h"

void LoadDefaultParameters(CardRecord& record) {
  const VideoParameterSet defaults;
  record.standard = defaults.standard;
  record.scanMode = defaults.scanMode;
  record.sourceType = defaults.sourceType;
  record.sourceNumber = defaults.sourceNumber;
  record.brightness = defaults.brightness;
  record.contrast = defaults.contrast;
  record.hue = defaults.hue;
  record.saturation = defaults.saturation;
  record.pll = defaults.pll;
  record.crystal = defaults.crystal;
  const ImageSize size = ImageSizeOf(record.standard);
  record.imageWidth = size.width;
  record.imageHeight = size.height;
  record.inputRect = RECT{0, 0, size.width, size.height};
}

void ApplyRecordParameters(const CardRecord& r) {
  QuarnSetVideoStandard(r.handle, r.standard);
  QuarnSetVideoSource(r.handle, r.sourceType, r.sourceNumber);
  QuarnSetVideoFormat(r.handle, r.format);
  QuarnSetScanMode(r.handle, r.scanMode);
  QuarnAdjustVideo(r.handle, kAdjustBrightness, r.brightness);
  QuarnAdjustVideo(r.handle, kAdjustContrast, r.contrast);
  QuarnAdjustVideo(r.handle, kAdjustHue, r.hue);
  QuarnAdjustVideo(r.handle, kAdjustSaturation, r.saturation);
  QuarnSetPLLFrequency(r.handle, static_cast<uint8_t>(r.pll & 0xFF));
  QuarnSetInputWindow(r.handle, r.inputRect.left, r.inputRect.top, r.inputRect.Width(),
                      r.inputRect.Height());
  // Output windows follow at the frame's first move or size.
  QuarnSelectCryOSC(r.handle, r.crystal);
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

  mode = kModeIdle;
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
    DetectSignalSource(record.handle, record.sourceType, record.sourceNumber);
  }
}

void CCardSet::SetupDisplay(int width, int height, int depth) {
  screenWidth = width;
  screenHeight = height;
  displayDepth = depth;
  palette = CreateGreyPalette();
  for (CardRecord& record : Records()) {
    record.format = FormatForDepth(depth);
    record.displayHeader = FillDisplayHeader(record.headerStorage);
    record.displayBuffer.Allocate(0);
  }
}

void CCardSet::ApplyAllParameters() {
  for (const CardRecord& record : Records()) ApplyRecordParameters(record);
}

void CCardSet::CloseCards() {
  if (!open_) return;
  open_ = false;
  for (CardRecord& record : Records()) {
    EndQuarnCard(record.handle);
    record.displayBuffer.Free();
  }
  palette.reset();
}
