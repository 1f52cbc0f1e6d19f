// card_set.h - Hexmont's cards: one CardRecord per installed card (at most 128) and CCardSet, the
// part of Hexmont's main frame that holds them with the frame state that goes with them, and the
// steps that open, set up and close every card.
//
// The frame calls, in this order:
//   constructor:      cards_.OpenCards();
//   window creation:  cards_.SetUpCards(screenWidth, screenHeight, depth, loadParameters);
//   destructor:       nothing (CCardSet's destructor runs CloseCards), or CloseCards() earlier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "QuarnVideo.h"
#include "display.h"
#include "gdi_types.h"
#include "video_parameter_set.h"

class CHostWindow;

// One card of Hexmont. The constructor's values: image size, the three rectangles and the header
// pointer 0, mirror flags 0, chroma trap and interline 1; the parameter fields are 0 until the
// parameter set is read at window creation. Hexmont keeps a parameter when the library answers 0.
// Not copyable or movable: the header pointer points into the record's own storage.
struct CardRecord {
  CardRecord() = default;
  CardRecord(const CardRecord&) = delete;
  CardRecord& operator=(const CardRecord&) = delete;

  QUARN_HANDLE handle = 0;  // stays 0 when BeginQuarnCard failed; calls still go out with it
  int32_t scanMode = 0;
  int32_t format = 0;
  int32_t standard = 0;
  int32_t sourceType = 0;
  int32_t sourceNumber = 0;
  int32_t crystal = 0;
  uint8_t hue = 0;
  uint8_t brightness = 0;
  uint8_t contrast = 0;
  uint8_t saturation = 0;
  int32_t pll = 0;         // 0..255, sent as 8 bits
  int32_t imageWidth = 0;  // from the standard
  int32_t imageHeight = 0;
  RECT inputRect{};                     // image pixels
  RECT outputRect{};                    // screen pixels
  RECT cellRect{};                      // screen pixels, right and bottom inclusive
  BITMAPINFO* displayHeader = nullptr;  // into headerStorage once set up
  DisplayBuffer displayBuffer;
  DisplayHeaderStorage headerStorage;
  int32_t mirrorHorizontal = 0;
  int32_t mirrorVertical = 0;
  int32_t chromaTrap = 1;
  int32_t interline = 1;
  uint64_t snapOffset = 0;  // static-memory offset of the card's snap ring or stored sequence
  // What the snap callback draws with (both borrowed): the view's host window and the frame's
  // palette for 8-bit pictures. Like the geometry, the format and snapOffset, they are written
  // by the user-interface thread only while the card's snap is stopped, and read by the callback.
  CHostWindow* snapWindow = nullptr;
  CPalette* snapPalette = nullptr;
};

// The values a record gets when no ini file exists: PAL, frame scan, "Video 1", brightness,
// contrast, hue and saturation 128, PLL 245, crystal 35M, image 768 x 576 and the input rectangle
// covering it. The format is not touched (it comes from the display depth).
void LoadDefaultParameters(CardRecord& record);

// Sends one record's parameters in Hexmont's order, statuses ignored: standard, source, format,
// scan mode, brightness, contrast, hue, saturation, PLL, input window, crystal.
void ApplyRecordParameters(const CardRecord& record);

class CCardSet {
 public:
  static constexpr int kMaxCards = 128;
  // Acquisition modes of the frame (one for all cards).
  static constexpr int kModeIdle = 0;
  static constexpr int kModeLive = 2;
  static constexpr int kModeSnap = 4;
  static constexpr int kModePlayback = 5;

  CCardSet();
  // Runs CloseCards when the cards were opened and are not closed yet.
  ~CCardSet();
  CCardSet(const CCardSet&) = delete;
  CCardSet& operator=(const CCardSet&) = delete;

  // The frame constructor's step. Counts the cards (a failing count is 0 cards); with none shows
  // the "no card" warning box once. With more than 128 opens the first 128 and shows one
  // "Notice" box. Opens card i + 1 into record i; a failure shows its warning box, leaves that
  // handle 0 and the loop goes on. Then sets the frame state: mode idle, clip 1, mask 0, no
  // stored images, playback index 0, step 1, selected card = card count (all cards).
  void OpenCards();

  // The window-creation steps, in order: LoadParameters, DetectSources, SetupDisplay,
  // ApplyAllParameters.
  void SetUpCards(int screenWidth, int screenHeight, int depth,
                  const std::function<void(CCardSet&)>& loadParameters);
  // Reads every card's parameter set with `loadParameters` (the ini reader); when it is empty
  // every record gets LoadDefaultParameters.
  void LoadParameters(const std::function<void(CCardSet&)>& loadParameters);
  // Source detection on every card, handle 0 included.
  void DetectSources();
  // Keeps the screen size and depth, creates the frame's grey palette, and for every card sets
  // the format from the depth, fills the display header and allocates the display buffer
  // filled with 0 (a failed allocation leaves that buffer empty).
  void SetupDisplay(int screenWidth, int screenHeight, int depth);
  // ApplyRecordParameters for every card.
  void ApplyAllParameters();

  // The frame destructor's step: EndQuarnCard for every card (handle 0 included), frees its
  // buffer; then deletes the palette. Runs once after OpenCards; later calls do nothing.
  void CloseCards();

  // ---- Records ----
  int CardCount() const { return cardCount_; }
  CardRecord& Record(int index) { return records_[static_cast<size_t>(index)]; }
  const CardRecord& Record(int index) const { return records_[static_cast<size_t>(index)]; }
  // The records of the cards in use (CardCount of them).
  std::span<CardRecord> Records() { return {records_.get(), static_cast<size_t>(cardCount_)}; }
  std::span<const CardRecord> Records() const {
    return {records_.get(), static_cast<size_t>(cardCount_)};
  }

  // ---- Frame state, in the frame's order; the public fields are read and changed by the
  // frame's handlers ----
 private:
  int cardCount_ = 0;

 public:
  int mode = kModeIdle;

 private:
  std::unique_ptr<CardRecord[]> records_;  // always kMaxCards

 public:
  int clip = 1;
  int mask = 0;
  int screenWidth = 0;
  int screenHeight = 0;
  int displayDepth = 0;
  std::unique_ptr<CPalette> palette;     // the frame's grey palette, once set up
  CPalette* displacedPalette = nullptr;  // borrowed: the palette selecting ours replaced
  int storedImages = 0;
  int playbackIndex = 0;
  int stepFlag = 1;
  int selectedCard = 0;  // the card count means all cards

 private:
  bool open_ = false;  // OpenCards ran and CloseCards has not
};
