// cards.cpp - the table of open cards, each card's parameters and frame rendering, and the
// process-exit rule for worker threads.
#include "cards.h"

#include <algorithm>
#include <cstdlib>

#include "staticmem.h"

namespace quarnsim {
namespace {

// Everything process-wide. Constant-initialized (constinit), so it exists before any code of the
// process runs and is destroyed only after every exit handler, in particular after StopAllAtExit
// has joined the worker threads that use it.
struct Registry {
  // Protects every member below.
  std::mutex mutex;
  std::shared_ptr<const Settings> settings;
  std::string lastWarnings;                  // settings warnings already shown
  std::vector<std::shared_ptr<Card>> cards;  // sorted by handle (handles only grow)
  uint32_t nextHandle = 1;
  std::vector<Worker> orphans;  // workers of cards ended from inside their own delivery
  bool exiting = false;
  bool exitHandlerRegistered = false;
};

constinit Registry g_registry;

auto FindLocked(uint32_t handle) {
  return std::lower_bound(
      g_registry.cards.begin(), g_registry.cards.end(), handle,
      [](const std::shared_ptr<Card>& card, uint32_t value) { return card->handle() < value; });
}

// Takes the orphaned workers that have finished; the caller joins them outside the lock.
std::vector<Worker> TakeFinishedOrphansLocked() {
  std::vector<Worker> finished;
  auto& orphans = g_registry.orphans;
  for (auto it = orphans.begin(); it != orphans.end();) {
    if (it->finished == nullptr || it->finished->load()) {
      finished.push_back(std::move(*it));
      it = orphans.erase(it);
    } else {
      ++it;
    }
  }
  return finished;
}

// A program may leave live video or snap running when it exits. The worker threads then still
// call into the program and into this library while static objects are being destroyed, which
// crashes at random. So the first worker start registers this handler: it runs before the
// destructors of everything that existed by then (this library's state, the static-memory
// tables, the program's own statics), refuses new starts and joins every worker.
void StopAllAtExit() {
  std::vector<std::shared_ptr<Card>> cards;
  std::vector<Worker> orphans;
  {
    std::lock_guard lock(g_registry.mutex);
    g_registry.exiting = true;
    cards = g_registry.cards;
    orphans = std::move(g_registry.orphans);
    g_registry.orphans.clear();
  }
  for (const auto& card : cards) StopForExit(*card);
  JoinWorkers(orphans);
}

}  // namespace

Card::Card(uint32_t handle, int number, std::shared_ptr<const Settings> settings)
    : handle_(handle),
      number_(number),
      type_(settings->CardType(number)),
      settings_(std::move(settings)) {
  params_.cardNumber = number;
  params_.sourceType = QUARN_SOURCE_VIDEO;
  params_.sourceNumber = 0;
  params_.signal = settings_->HasSignal(number, 0);
}

Card::~Card() = default;

int Card::SetVideoSource(int type, int number) {
  const int input = InputIndex(type, number);
  if (input < 0) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(paramsMutex_);
  params_.sourceType = type;
  params_.sourceNumber = number;
  params_.signal = settings_->HasSignal(number_, input);
  ++version_;
  return QUARN_OK;
}

int Card::VideoPresent(int* present) const {
  if (present == nullptr) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(paramsMutex_);
  *present = params_.signal ? 1 : 0;
  return QUARN_OK;
}

int Card::SetVideoStandard(int standard) {
  if (standard != QUARN_STANDARD_PAL && standard != QUARN_STANDARD_NTSC) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  std::lock_guard lock(paramsMutex_);
  params_.standard = standard;
  ++version_;
  return QUARN_OK;
}

int Card::SetVideoFormat(int format) {
  if (format < QUARN_FORMAT_YUV422 || format > QUARN_FORMAT_LIMITED8) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  std::lock_guard lock(paramsMutex_);
  params_.format = format;
  ++version_;
  return QUARN_OK;
}

int Card::SetScanMode(int scanMode) {
  if (scanMode < QUARN_SCAN_FRAME || scanMode > QUARN_SCAN_FIELD1) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(paramsMutex_);
  scanMode_ = scanMode;
  ++version_;
  return QUARN_OK;
}

int Card::SelectCrystal(int crystal) {
  if (crystal != QUARN_CRYSTAL_35M && crystal != QUARN_CRYSTAL_28M) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(paramsMutex_);
  params_.crystal = crystal;
  ++version_;
  return QUARN_OK;
}

int Card::AdjustVideo(int item, uint8_t value) {
  std::lock_guard lock(paramsMutex_);
  switch (item) {
    case QUARN_ADJUST_BRIGHTNESS:
      params_.brightness = value;
      break;
    case QUARN_ADJUST_CONTRAST:
      params_.contrast = value;
      break;
    case QUARN_ADJUST_HUE:
      params_.hue = value;
      break;
    case QUARN_ADJUST_SATURATION:
      params_.saturation = value;
      break;
    default:
      return QUARN_ERR_BAD_PARAMETER;
  }
  ++version_;
  return QUARN_OK;
}

int Card::SetPllFrequency(uint8_t value) {
  std::lock_guard lock(paramsMutex_);
  params_.pll = value;
  ++version_;
  return QUARN_OK;
}

int Card::SetInputWindow(int x, int y, int width, int height) {
  // Written so that no sum can overflow: each bound is checked before it is used.
  if (x < 0 || y < 0 || width < 1 || height < 1 || x > kMaxWidth || y > kMaxHeight ||
      width > kMaxWidth - x || height > kMaxHeight - y) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  std::lock_guard lock(paramsMutex_);
  params_.inputX = x;
  params_.inputY = y;
  params_.inputWidth = width;
  params_.inputHeight = height;
  ++version_;
  return QUARN_OK;
}

int Card::SetOutputWindow(int x, int y, int width, int height) {
  // Screen coordinates may be negative (a desktop left of or above the primary screen).
  if (width < 1 || width > kMaxWidth || height < 1 || height > kMaxHeight) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  std::lock_guard lock(paramsMutex_);
  outputX_ = x;
  outputY_ = y;
  params_.outputWidth = width;
  params_.outputHeight = height;
  ++version_;
  return QUARN_OK;
}

int Card::EnableMask(int enable) {
  std::lock_guard lock(paramsMutex_);
  params_.maskEnabled = enable != 0;
  ++version_;
  return QUARN_OK;
}

int Card::SetPixelMask(int x, int y, int masked) {
  if (x < 0 || x >= kMaxWidth || y < 0 || y >= kMaxHeight) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(maskMutex_);
  if (mask_ == nullptr) {
    // Clearing a pixel of a mask that does not exist yet changes nothing.
    if (masked == 0) return QUARN_OK;
    mask_ = std::make_unique<PixelMask>();
  }
  if (mask_->Get(x, y) != (masked != 0)) {
    mask_->Set(x, y, masked != 0);
    ++maskVersion_;
  }
  return QUARN_OK;
}

int Card::SetDelay(int xDelay, int yDelay) {
  if (xDelay < -128 || xDelay > 128 || yDelay < -128 || yDelay > 128) {
    return QUARN_ERR_BAD_PARAMETER;
  }
  std::lock_guard lock(paramsMutex_);
  params_.delayX = xDelay;
  params_.delayY = yDelay;
  ++version_;
  return QUARN_OK;
}

int Card::EnableVideoMirror(int direction, int enable) {
  std::lock_guard lock(paramsMutex_);
  if (direction == QUARN_MIRROR_HORIZONTAL) {
    params_.mirrorHorizontal = enable != 0;
  } else if (direction == QUARN_MIRROR_VERTICAL) {
    params_.mirrorVertical = enable != 0;
  } else {
    return QUARN_ERR_BAD_PARAMETER;
  }
  ++version_;
  return QUARN_OK;
}

int Card::LumaControl(int item, uint8_t value) {
  if (item != QUARN_LUMA_CHROMA_TRAP) return QUARN_ERR_BAD_PARAMETER;
  std::lock_guard lock(paramsMutex_);
  params_.chromaTrap = value;
  ++version_;
  return QUARN_OK;
}

int Card::standard() const {
  std::lock_guard lock(paramsMutex_);
  return params_.standard;
}

FrameGeometry Card::GeometryLocked(Lines lines) const {
  FrameGeometry geometry;
  geometry.format = params_.format;
  geometry.width = params_.outputWidth;
  geometry.height = params_.outputHeight;
  geometry.lines = lines;
  geometry.deliveredLines = lines == Lines::kAll ? geometry.height : geometry.height / 2;
  geometry.frameBytes = PackedFrameBytes(geometry.format, geometry.width, geometry.deliveredLines);
  geometry.screenX = outputX_;
  geometry.screenY = outputY_;
  geometry.standard = params_.standard;
  return geometry;
}

FrameGeometry Card::LiveGeometry() const {
  std::lock_guard lock(paramsMutex_);
  return GeometryLocked(scanMode_ == QUARN_SCAN_FRAME   ? Lines::kAll
                        : scanMode_ == QUARN_SCAN_FIELD ? Lines::kEven
                                                        : Lines::kOdd);
}

FrameGeometry Card::StoredGeometry(int interline) const {
  std::lock_guard lock(paramsMutex_);
  // A full frame needs both fields interlaced: scan mode 0 with interline on. Otherwise one field
  // is stored: the first in scan modes 0 and 1, the second in scan mode 2.
  if (scanMode_ == QUARN_SCAN_FRAME && interline != 0) return GeometryLocked(Lines::kAll);
  return GeometryLocked(scanMode_ == QUARN_SCAN_FIELD1 ? Lines::kOdd : Lines::kEven);
}

void Card::RenderFrame(const FrameGeometry& geometry, uint8_t* dst) {
  std::lock_guard renderLock(renderMutex_);
  PictureParams wanted;
  uint64_t version = 0;
  {
    std::lock_guard lock(paramsMutex_);
    wanted = params_;
    version = version_;
  }
  wanted.format = geometry.format;
  wanted.outputWidth = geometry.width;
  wanted.outputHeight = geometry.height;
  if (generator_ == nullptr) generator_ = std::make_unique<PictureGenerator>();
  if (version != configuredVersion_ || geometry.format != configuredFormat_ ||
      geometry.width != configuredWidth_ || geometry.height != configuredHeight_) {
    generator_->Configure(wanted);
    configuredVersion_ = version;
    configuredFormat_ = geometry.format;
    configuredWidth_ = geometry.width;
    configuredHeight_ = geometry.height;
  }
  {
    // The mask is copied only when it changed, so loading it pixel by pixel while video runs
    // costs one copy per frame at most.
    std::lock_guard lock(maskMutex_);
    if (maskVersion_ != maskCopyVersion_ && mask_ != nullptr) {
      if (maskCopy_ == nullptr) maskCopy_ = std::make_unique<PixelMask>();
      *maskCopy_ = *mask_;
      maskCopyVersion_ = maskVersion_;
    }
  }
  generator_->Render(pictureFrame_++, geometry.lines, maskCopy_.get(), dst);
}

std::shared_ptr<const Settings> CurrentSettings(bool reread) {
  std::lock_guard lock(g_registry.mutex);
  if (g_registry.settings == nullptr || (reread && g_registry.cards.empty())) {
    g_registry.settings = std::make_shared<const Settings>(ReadSettings(&g_registry.lastWarnings));
  }
  return g_registry.settings;
}

std::shared_ptr<Card> OpenCard(int cardNumber, uint32_t* handle, int* status) {
  std::vector<Worker> finished;
  std::shared_ptr<Card> card;
  {
    std::lock_guard lock(g_registry.mutex);
    finished = TakeFinishedOrphansLocked();
    // The caller has re-read the settings (CurrentSettings) when no card was open.
    if (g_registry.settings == nullptr) {
      g_registry.settings =
          std::make_shared<const Settings>(ReadSettings(&g_registry.lastWarnings));
    }
    const auto& settings = g_registry.settings;
    if (settings->cardCount == 0) {
      *status = QUARN_ERR_NO_CARD;
    } else if (cardNumber < 1 || cardNumber > settings->cardCount) {
      *status = QUARN_ERR_CARD_NUMBER;
    } else if (g_registry.nextHandle == 0) {
      *status = QUARN_ERR_GENERAL;  // 2^32 - 1 opens: handles are never reused
    } else {
      card = std::make_shared<Card>(g_registry.nextHandle++, cardNumber, settings);
      g_registry.cards.push_back(card);
      *handle = card->handle();
      *status = QUARN_OK;
    }
  }
  JoinWorkers(finished);
  return card;
}

std::shared_ptr<Card> FindCard(uint32_t handle) {
  if (handle == 0) return nullptr;
  std::lock_guard lock(g_registry.mutex);
  const auto it = FindLocked(handle);
  if (it == g_registry.cards.end() || (*it)->handle() != handle) return nullptr;
  return *it;
}

int EndCard(uint32_t handle) {
  std::shared_ptr<Card> card;
  std::vector<Worker> finished;
  {
    std::lock_guard lock(g_registry.mutex);
    const auto it = FindLocked(handle);
    if (handle == 0 || it == g_registry.cards.end() || (*it)->handle() != handle) {
      return QUARN_ERR_BAD_HANDLE;
    }
    card = std::move(*it);
    g_registry.cards.erase(it);
    finished = TakeFinishedOrphansLocked();
  }
  std::vector<Worker> workers = EndAcquisition(*card);
  if (CalledFromDelivery(*card)) {
    // The calling thread is one of them: they finish after this call returns and are joined by
    // a later open or end, or at process exit.
    std::lock_guard lock(g_registry.mutex);
    for (auto& worker : workers) g_registry.orphans.push_back(std::move(worker));
  } else {
    JoinWorkers(workers);
  }
  JoinWorkers(finished);
  return QUARN_OK;
}

bool MayStartWorker() {
  std::lock_guard lock(g_registry.mutex);
  if (g_registry.exiting) return false;
  if (!g_registry.exitHandlerRegistered) {
    // Whatever a worker uses must outlive the exit handler. Exit handlers and static
    // destructors run in reverse order of registration and construction, so the static-memory
    // state (created on first use) is created before the handler is registered.
    int format = 0;
    const uint8_t probe = 0;
    (void)StaticMemFormatAt(&probe, &format);
    if (std::atexit(StopAllAtExit) != 0) return false;
    g_registry.exitHandlerRegistered = true;
  }
  return true;
}

}  // namespace quarnsim
