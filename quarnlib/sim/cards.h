// cards.h - the simulated cards of this process: the table of open handles, each open card's
// parameters, pixel mask and frame generator, and the process-wide settings.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "acquisition.h"
#include "picture.h"
#include "settings.h"

namespace quarnsim {

// One open card (one handle). Two handles on the same card number are independent cards with
// their own parameters and acquisitions. Parameter setters validate, apply and return a status;
// they may be called from any thread.
class Card : public std::enable_shared_from_this<Card> {
 public:
  Card(uint32_t handle, int number, std::shared_ptr<const Settings> settings);
  ~Card();
  Card(const Card&) = delete;
  Card& operator=(const Card&) = delete;

  uint32_t handle() const { return handle_; }
  int number() const { return number_; }
  int type() const { return type_; }
  const Settings& settings() const { return *settings_; }

  int SetVideoSource(int type, int number);
  int VideoPresent(int* present) const;
  int SetVideoStandard(int standard);
  int SetVideoFormat(int format);
  int SetScanMode(int scanMode);
  int SelectCrystal(int crystal);
  int AdjustVideo(int item, uint8_t value);
  int SetPllFrequency(uint8_t value);
  int SetInputWindow(int x, int y, int width, int height);
  int SetOutputWindow(int x, int y, int width, int height);
  int EnableMask(int enable);
  int SetPixelMask(int x, int y, int masked);
  int SetDelay(int xDelay, int yDelay);
  int EnableVideoMirror(int direction, int enable);
  int LumaControl(int item, uint8_t value);

  // Geometry of live video and capture shot with the current parameters.
  FrameGeometry LiveGeometry() const;
  // Geometry of a snap or snap shot: the interline rule decides between a frame and a field.
  FrameGeometry StoredGeometry(int interline) const;
  int standard() const;

  // Renders the next frame of this card into dst (at least geometry.frameBytes) with the current
  // parameters, except that format and output size come from `geometry`. Any thread.
  void RenderFrame(const FrameGeometry& geometry, uint8_t* dst);

  Acquisition acquisition;

 private:
  // With paramsMutex_ held: the current geometry delivering `lines`.
  FrameGeometry GeometryLocked(Lines lines) const;

  const uint32_t handle_;
  const int number_;
  const int type_;
  const std::shared_ptr<const Settings> settings_;

  // Protects params_, version_, scanMode_, outputX_ and outputY_.
  mutable std::mutex paramsMutex_;
  PictureParams params_;
  uint64_t version_ = 1;  // raised by every accepted change, so the renderer reconfigures
  int scanMode_ = QUARN_SCAN_FRAME;
  int outputX_ = 0, outputY_ = 0;

  // Protects mask_ and maskVersion_; held for one pixel per QuarnSetPixelMask call.
  std::mutex maskMutex_;
  std::unique_ptr<PixelMask> mask_;  // created by the first masked pixel
  uint64_t maskVersion_ = 0;

  // Protects the generator and its inputs below; one frame renders at a time per card.
  std::mutex renderMutex_;
  std::unique_ptr<PictureGenerator> generator_;  // created by the first frame
  uint64_t configuredVersion_ = 0;
  int configuredFormat_ = -1, configuredWidth_ = 0, configuredHeight_ = 0;
  std::unique_ptr<PixelMask> maskCopy_;  // the renderer's copy of mask_
  uint64_t maskCopyVersion_ = 0;
  uint32_t pictureFrame_ = 0;  // advances per rendered frame: drives the moving picture
};

// Settings now in force; re-read from the environment first when `reread` and no card is open.
std::shared_ptr<const Settings> CurrentSettings(bool reread);

// QuarnGetCardTotal and BeginQuarnCard, without injected faults (the caller checks them).
std::shared_ptr<Card> OpenCard(int cardNumber, uint32_t* handle, int* status);
// The open card of `handle`, or null.
std::shared_ptr<Card> FindCard(uint32_t handle);
// Forgets the handle and stops the card's acquisitions (waiting for them unless called from
// inside its delivery). QUARN_ERR_BAD_HANDLE when it is not open.
int EndCard(uint32_t handle);

// Called before a worker thread starts: false while the process exits (then nothing starts).
// The first call arranges for every worker to be stopped and joined at process exit.
bool MayStartWorker();

}  // namespace quarnsim
