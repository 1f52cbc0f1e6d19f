// video_card.cpp - CVideoCard and Solvane's opening and closing steps (see video_card.h).
#include "video_card.h"

#include "QuarnVidEx.h"
#include "static_frames.h"

CVideoCard::CVideoCard(int cardNumber, const CardPolicy& policy)
    : cardNumber_(cardNumber), policy_(policy) {}

bool CVideoCard::Keeps(int status) const {
  // A card that took the value, or (by the policy) accepted it to apply later.
  const bool accepted =
      status == QUARN_OK || (policy_.keepsNotApplied && status == QUARN_ERR_NOT_APPLIED);
  return accepted || (presetting_ && handle_ == 0);
}

bool CVideoCard::KeepsWindow(int status) const {
  return status == QUARN_OK || policy_.windowsFollowLayout || (presetting_ && handle_ == 0);
}

CVideoCard::~CVideoCard() {
  // Qualified calls: a derived object is already gone here, so only these bodies may run.
  CVideoCard::StopAcquisition();
  CVideoCard::Release();
}

int CVideoCard::Begin() {
  if (handle_ != 0) return QUARN_OK;
  // Another owner (a source element) running this card would fight over its settings and frames.
  std::unique_ptr<CClaim> claim;
  if (const int status = ClaimCard(claimOwner_, cardNumber_, claim); status != QUARN_OK) {
    return status;
  }
  // Through a local so a failing library cannot leave a stray handle behind.
  QUARN_HANDLE handle = 0;
  const int status = BeginQuarnCard(cardNumber_, &handle);
  if (status == QUARN_OK) {
    handle_ = handle;
    cardClaim_ = std::move(claim);
  }
  return status;
}

int CVideoCard::Open() {
  if (handle_ != 0) return QUARN_OK;
  if (const int status = Begin(); status != QUARN_OK) return status;
  DetectSource();
  ApplyParameters();
  SetupDisplay();
  return QUARN_OK;
}

int CVideoCard::Close() {
  StopAcquisition();
  const int status = EndQuarnCard(handle_);
  if (status == QUARN_OK) {
    handle_ = 0;
    snapContext_.Confirm();  // an ended card calls nothing back
    // An ended card writes no frames; the stored frames stay claimed while they are kept.
    ringClaim_.reset();
    cardClaim_.reset();
  }
  return status;
}

void CVideoCard::DetectSource() {
  if (handle_ == 0 && !policy_.callsForUnopenedCard) return;
  DetectSignalSource(handle_, params_.sourceType, params_.sourceNumber);
}

void CVideoCard::ApplyParameters() {
  if (handle_ == 0 && !policy_.callsForUnopenedCard) return;
  if (policy_.sendOrder == SendOrder::kGridParameters) {
    SendGridParameters();
  } else {
    SendEveryParameter();
  }
}

void CVideoCard::SendGridParameters() {
  VideoParameterSet& p = params_;
  const VideoParameterSet initial;
  // Whether the card turned a value down as out of range. Other failures (a card that is not
  // open, a busy one) say nothing about the value, so it is kept.
  const auto refused = [](int status) { return status == QUARN_ERR_BAD_PARAMETER; };
  if (refused(QuarnSetVideoStandard(handle_, p.standard))) {
    // The input window follows the standard the card keeps.
    p.standard = initial.standard;
    const ImageSize size = ImageSizeOf(p.standard);
    p.inputWindow = VideoWindow{0, 0, size.width, size.height};
  }
  QuarnSetVideoSource(handle_, p.sourceType, p.sourceNumber);
  // The format comes from the display depth: kept whatever the card answers.
  QuarnSetVideoFormat(handle_, p.format);
  if (refused(QuarnSetScanMode(handle_, p.scanMode))) p.scanMode = initial.scanMode;
  QuarnAdjustVideo(handle_, kAdjustBrightness, p.brightness);
  QuarnAdjustVideo(handle_, kAdjustContrast, p.contrast);
  QuarnAdjustVideo(handle_, kAdjustHue, p.hue);
  QuarnAdjustVideo(handle_, kAdjustSaturation, p.saturation);
  QuarnSetPLLFrequency(handle_, p.pll);
  QuarnSetInputWindow(handle_, p.inputWindow.x, p.inputWindow.y, p.inputWindow.width,
                      p.inputWindow.height);
  // Output windows follow at the grid's first placement.
  if (refused(QuarnSelectCryOSC(handle_, p.crystal))) p.crystal = initial.crystal;
}

void CVideoCard::SendEveryParameter() {
  VideoParameterSet& p = params_;
  const VideoParameterSet initial;
  // A field the card turns down as out of range takes its initial value. Other failures say
  // nothing about the value, so it is kept.
  const auto keepOrReset = [](int status, auto& field, auto initialValue) {
    if (status == QUARN_ERR_BAD_PARAMETER) field = initialValue;
  };
  keepOrReset(QuarnSetVideoStandard(handle_, p.standard), p.standard, initial.standard);
  QuarnSetVideoSource(handle_, p.sourceType, p.sourceNumber);
  keepOrReset(QuarnSetVideoFormat(handle_, p.format), p.format, initial.format);
  keepOrReset(QuarnSetScanMode(handle_, p.scanMode), p.scanMode, initial.scanMode);
  keepOrReset(QuarnSelectCryOSC(handle_, p.crystal), p.crystal, initial.crystal);
  QuarnAdjustVideo(handle_, kAdjustBrightness, p.brightness);
  QuarnAdjustVideo(handle_, kAdjustContrast, p.contrast);
  QuarnAdjustVideo(handle_, kAdjustHue, p.hue);
  QuarnAdjustVideo(handle_, kAdjustSaturation, p.saturation);
  QuarnSetPLLFrequency(handle_, p.pll);
  QuarnSetInputWindow(handle_, p.inputWindow.x, p.inputWindow.y, p.inputWindow.width,
                      p.inputWindow.height);
  QuarnSetOutputWindow(handle_, p.outputWindow.x, p.outputWindow.y, p.outputWindow.width,
                       p.outputWindow.height);
  keepOrReset(QuarnEnableMask(handle_, p.maskEnabled), p.maskEnabled, initial.maskEnabled);
  if (QuarnSetDelay(handle_, p.xDelay, p.yDelay) == QUARN_ERR_BAD_PARAMETER) {
    p.xDelay = initial.xDelay;
    p.yDelay = initial.yDelay;
  }
  keepOrReset(QuarnEnableVideoMirror(handle_, kMirrorHorizontal, p.mirrorHorizontal),
              p.mirrorHorizontal, initial.mirrorHorizontal);
  keepOrReset(QuarnEnableVideoMirror(handle_, kMirrorVertical, p.mirrorVertical), p.mirrorVertical,
              initial.mirrorVertical);
  keepOrReset(QuarnLumaControl(handle_, kLumaChromaTrap, LowByte(p.chromaTrap)), p.chromaTrap,
              initial.chromaTrap);
}

void CVideoCard::SetupDisplay() {
  // A failed allocation leaves the buffer empty (size 0); painting then has nothing to show.
  picture_.SetUp(policy_.displayFill);
}

void CVideoCard::Release() {
  // A card is ended once: the destructor after an explicit Release ends nothing again.
  const bool end = !released_ && (handle_ != 0 || policy_.callsForUnopenedCard);
  released_ = true;
  if (end && EndQuarnCard(handle_) == QUARN_OK) {
    snapContext_.Confirm();
    if (state_ == CardState::kSnap) state_ = CardState::kIdle;  // an ended card delivers nothing
  }
  // Whatever the library still calls back with reaches nothing from here on.
  DetachSnapCallback();
  picture_.Release();
  // The card is done with: others may have it and its memory.
  storedClaim_.reset();
  ringClaim_.reset();
  cardClaim_.reset();
}

void CVideoCard::StopAcquisition() {
  if (state_ == CardState::kLive) {
    QuarnCaptureEx(handle_, nullptr, 0);
  } else if (state_ == CardState::kSnap) {
    if (QuarnCloseSnapEx(handle_) == QUARN_OK) {
      snapContext_.Confirm();
      ringClaim_.reset();
    }
  }
  state_ = CardState::kIdle;
}

// ---- Parameter setters ----

int CVideoCard::SetScanMode(int scanMode) {
  const int status = QuarnSetScanMode(handle_, scanMode);
  if (Keeps(status)) params_.scanMode = scanMode;
  return status;
}

int CVideoCard::SetVideoFormat(int format) {
  const int status = QuarnSetVideoFormat(handle_, format);
  if (Keeps(status)) params_.format = format;
  return status;
}

int CVideoCard::SetVideoStandard(int standard) {
  const int status = QuarnSetVideoStandard(handle_, standard);
  if (Keeps(status)) params_.standard = standard;
  return status;
}

int CVideoCard::SetVideoSource(int type, int number) {
  const int status = QuarnSetVideoSource(handle_, type, number);
  if (Keeps(status)) {
    params_.sourceType = type;
    params_.sourceNumber = number;
  }
  return status;
}

int CVideoCard::SetCrystal(int crystal) {
  const int status = QuarnSelectCryOSC(handle_, crystal);
  if (Keeps(status)) params_.crystal = crystal;
  return status;
}

int CVideoCard::SetDelay(int xDelay, int yDelay) {
  const int status = QuarnSetDelay(handle_, xDelay, yDelay);
  if (Keeps(status)) {
    params_.xDelay = xDelay;
    params_.yDelay = yDelay;
  }
  return status;
}

int CVideoCard::SetBrightness(int value) {
  const int status = QuarnAdjustVideo(handle_, kAdjustBrightness, LowByte(value));
  if (Keeps(status)) params_.brightness = LowByte(value);
  return status;
}

int CVideoCard::SetContrast(int value) {
  const int status = QuarnAdjustVideo(handle_, kAdjustContrast, LowByte(value));
  if (Keeps(status)) params_.contrast = LowByte(value);
  return status;
}

int CVideoCard::SetHue(int value) {
  const int status = QuarnAdjustVideo(handle_, kAdjustHue, LowByte(value));
  if (Keeps(status)) params_.hue = LowByte(value);
  return status;
}

int CVideoCard::SetSaturation(int value) {
  const int status = QuarnAdjustVideo(handle_, kAdjustSaturation, LowByte(value));
  if (Keeps(status)) params_.saturation = LowByte(value);
  return status;
}

int CVideoCard::SetPllFrequency(int value) {
  const int status = QuarnSetPLLFrequency(handle_, LowByte(value));
  if (Keeps(status)) params_.pll = LowByte(value);
  return status;
}

int CVideoCard::SetMirror(int direction, int enable) {
  const int status = QuarnEnableVideoMirror(handle_, direction, enable);
  if (Keeps(status)) {
    if (direction == kMirrorHorizontal) {
      params_.mirrorHorizontal = enable;
    } else if (direction == kMirrorVertical) {
      params_.mirrorVertical = enable;
    }
  }
  return status;
}

int CVideoCard::SetChromaTrap(int item, int value) {
  const int status = QuarnLumaControl(handle_, item, LowByte(value));
  if (Keeps(status)) params_.chromaTrap = LowByte(value);
  return status;
}

int CVideoCard::EnableMask(int enable) {
  const int status = QuarnEnableMask(handle_, enable);
  if (Keeps(status)) params_.maskEnabled = enable;
  return status;
}

int CVideoCard::SetFormatFromDepth(int depth) {
  return SetVideoFormat(FormatForDepth(depth));
}

int CVideoCard::SetSourceFromIndex(int index) {
  int32_t type = params_.sourceType;
  int32_t number = params_.sourceNumber;
  IndexToSource(index, type, number);  // an invalid index keeps the current pair
  return SetVideoSource(type, number);
}

// ---- Windows ----

int CVideoCard::SetInputWindow(int x, int y, int width, int height) {
  const int status = QuarnSetInputWindow(handle_, x, y, width, height);
  if (KeepsWindow(status)) params_.inputWindow = VideoWindow{x, y, width, height};
  return status;
}

int CVideoCard::SetOutputWindow(int x, int y, int width, int height) {
  const int status = QuarnSetOutputWindow(handle_, x, y, width, height);
  if (KeepsWindow(status)) params_.outputWindow = VideoWindow{x, y, width, height};
  return status;
}

int CVideoCard::SetInputRect(const RECT& rect) {
  return SetInputWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

int CVideoCard::SetOutputRect(const RECT& rect) {
  return SetOutputWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

RECT CVideoCard::GetInputRect() const {
  const VideoWindow& w = params_.inputWindow;
  return RECT{w.x, w.y, w.x + w.width, w.y + w.height};
}

RECT CVideoCard::GetOutputRect() const {
  const VideoWindow& w = params_.outputWindow;
  return RECT{w.x, w.y, w.x + w.width, w.y + w.height};
}

// ---- Frames and display ----

int64_t CVideoCard::FrameBytes() const {
  return static_cast<int64_t>(
      StoredFrameBytes(params_.format, params_.outputWindow.width,
                       SnapShotLines(params_.outputWindow.height, params_.scanMode)));
}

void CVideoCard::SetFrameHeader(int interline) {
  // Works on the description's storage, so it is valid before the display has been set up too.
  picture_.Describe(params_.outputWindow.width,
                    SnapLines(params_.outputWindow.height, params_.scanMode, interline),
                    StoredFrameBitCount(params_.format));
}

void CVideoCard::ClearDisplayBuffer() {
  picture_.Fill(0xFF);
}

// ---- Queries ----

int CVideoCard::GetCardType(int& type) const {
  return QuarnGetCardType(handle_, &type);
}

int CVideoCard::SignalPresent(bool& present) const {
  int answer = 0;
  const int status = QuarnVideoPresent(handle_, &answer);
  if (status == QUARN_OK) present = answer != 0;
  return status;
}

int CVideoCard::CardTotal(int& count) {
  return QuarnGetCardTotal(&count);
}

int CVideoCard::GetStaticMem(int& pages) {
  return QuarnGetStaticMem(&pages);
}

int CVideoCard::SetStaticMem(int pages) {
  return QuarnSetStaticMem(pages);
}

int CVideoCard::GetSourceIndex() const {
  return SourceToIndex(params_.sourceType, params_.sourceNumber);
}

// ---- Solvane's opening and closing ----

int OpenSolvaneCard(CVideoCard& card, int displayDepth,
                    const std::function<void(CVideoCard&)>& loadParameters) {
  card.SetPresetting(true);
  card.SetFormatFromDepth(displayDepth);
  if (loadParameters) loadParameters(card);
  card.SetPresetting(false);
  const int status = card.Open();
  if (status != QUARN_OK) ShowStatusBox(status);
  return status;
}

void CloseSolvaneCard(CVideoCard& card,
                      const std::function<void(const CVideoCard&)>& saveParameters) {
  card.Close();
  if (saveParameters) saveParameters(card);
}
