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
#include "acquisition_state.h"
#include "display_picture.h"
#include "gdi_types.h"
#include "snap_context.h"
#include "video_parameter_set.h"

class CHostWindow;

// One card of Hexmont: its handle, its parameter set, where its picture goes and the picture
// itself. The constructor's values: image size and the rectangles 0, mirror flags 0, chroma trap
// and interline 1; the other parameters are the set's initial values until the parameter set is
// read at window creation. Hexmont keeps a parameter when the library answers 0. Not copyable or
// movable: the snap callback is given the record's address.
struct CardRecord {
  CardRecord() = default;
  CardRecord(const CardRecord&) = delete;
  CardRecord& operator=(const CardRecord&) = delete;

  QUARN_HANDLE handle = 0;  // stays 0 when BeginQuarnCard failed; calls still go out with it
  // Scan mode .. input window, mirror flags and chroma trap; the format comes from the display
  // depth. The set's output window is not used: Hexmont's is outputRect, in screen coordinates.
  VideoParameterSet params;
  int32_t imageWidth = 0;  // from the standard
  int32_t imageHeight = 0;
  RECT outputRect{};  // screen pixels
  RECT cellRect{};    // screen pixels, right and bottom inclusive
  CDisplayPicture picture;
  int32_t interline = 1;
  uint64_t snapOffset = 0;  // static-memory offset of the card's snap ring or stored sequence
  // The view's host window the snap callback draws into (borrowed). Like the geometry, the
  // format and snapOffset, it is written by the user-interface thread only while the card's snap
  // is stopped, and read by the callback.
  CHostWindow* snapWindow = nullptr;
  // The card's snap was opened and has not been closed: a callback may come.
  bool snapOpen = false;
  // The last Snap Shot stored this card's frames (a card whose snap shot failed is not played).
  bool framesStored = false;
  // What the library calls back with. Declared last, so it is destroyed first: the callback is
  // cut off from the record before anything of the record goes.
  CSnapContextOwner snapContext;

  // The input window as a rectangle (left, top, right, bottom; image pixels).
  RECT InputRect() const {
    const VideoWindow& w = params.inputWindow;
    return RECT{w.x, w.y, w.x + w.width, w.y + w.height};
  }
  void SetInputRect(const RECT& r) {
    params.inputWindow = VideoWindow{r.left, r.top, r.Width(), r.Height()};
  }
};

// The values a record gets when no ini file exists: PAL, frame scan, "Video 1", brightness,
// contrast, hue and saturation 128, PLL 245, crystal 35M, image 768 x 576 and the input window
// covering it. The format is not touched (it comes from the display depth).
void LoadDefaultParameters(CardRecord& record);

// Sets the record's parameters from a set read from the file (the format and the flags the file
// does not keep stay), with the image size of its standard.
void SetRecordParameters(CardRecord& record, const VideoParameterSet& set);

// Sends one record's parameters in Hexmont's order: standard, source, format, scan mode,
// brightness, contrast, hue, saturation, PLL, input window, crystal. A standard, scan mode or
// crystal the card turns down as out of range (QUARN_ERR_BAD_PARAMETER) goes back to its
// default in the record, so a value the card cannot take is neither kept nor saved.
void ApplyRecordParameters(CardRecord& record);

class CCardSet {
 public:
  static constexpr int kMaxCards = 128;

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
  // the format from the depth and sets its picture up with a black buffer (a failed allocation
  // leaves that buffer empty).
  void SetupDisplay(int screenWidth, int screenHeight, int depth);
  // ApplyRecordParameters for every card.
  void ApplyAllParameters();

  // The frame destructor's step: EndQuarnCard for every card (handle 0 included), frees its
  // picture; then deletes the palette. Runs once after OpenCards; later calls do nothing. A card
  // that ends confirms that no snap callback of it can come any more.
  void CloseCards();
  // Cuts every card's snap callback off from its record (waiting for one in flight); what they
  // draw into is about to go.
  void DetachSnapCallbacks();

  // ---- Records ----
  int CardCount() const { return cardCount_; }
  CardRecord& Record(int index) { return records_[static_cast<size_t>(index)]; }
  const CardRecord& Record(int index) const { return records_[static_cast<size_t>(index)]; }
  // The records of the cards in use (CardCount of them).
  std::span<CardRecord> Records() { return {records_.get(), static_cast<size_t>(cardCount_)}; }
  std::span<const CardRecord> Records() const {
    return {records_.get(), static_cast<size_t>(cardCount_)};
  }

  // ---- Card selection ----
  // The cards a parameter change goes to: every card in index order when all are selected
  // (selectedCard equals the card count), else the selected card alone; none for a selection
  // outside 0..card count.
  std::span<CardRecord> TargetCards();
  // The card whose values the menus and dialogs show: the selected one, or card 0 when all are
  // selected; null without a card.
  CardRecord* ShownCard();
  const CardRecord* ShownCard() const;

  // ---- Frame state, in the frame's order; the public fields are read and changed by the
  // frame's handlers ----
 private:
  int cardCount_ = 0;

 public:
  AcquisitionMode mode = AcquisitionMode::kIdle;

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
