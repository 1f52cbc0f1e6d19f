// card_grid.h - Hexmont's cards in their grid: one CGridCard per installed card (at most 128),
// each a card object with the grid policy plus where its picture goes (its cell, its snap ring),
// and CCardGrid, which opens, sets up and closes them and knows which cards the parameter
// commands act on (the card selection).
//
// The frame calls, in this order:
//   constructor:      grid_.OpenCards();
//   window creation:  grid_.SetUpCards(depth, loadParameters);
//   destructor:       nothing (CCardGrid's destructor runs CloseCards), or CloseCards() earlier.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "gdi_types.h"
#include "video_card.h"

class CHostWindow;

// One card of the grid. Hexmont keeps a parameter when the library answers 0, and sends
// everything to a card that did not open too (kGridCardPolicy). Not copyable or movable: the snap
// callback is given its address.
struct CGridCard {
  explicit CGridCard(int cardNumber) : card(cardNumber, kGridCardPolicy) {}
  CGridCard(const CGridCard&) = delete;
  CGridCard& operator=(const CGridCard&) = delete;

  // The card's output window (its record's) as a screen rectangle.
  RECT OutputRect() const { return card.GetOutputRect(); }
  int OutputWidth() const { return card.GetOutputWindow().width; }
  int OutputHeight() const { return card.GetOutputWindow().height; }

  RECT cellRect{};  // screen pixels, right and bottom inclusive
  // Flipped by the Interline command; given to the library when a snap or snap shot starts.
  int32_t interline = 1;
  uint64_t snapOffset = 0;  // static-memory offset of the card's snap ring or stored sequence
  // The view's host window the snap callback draws into (borrowed). Like the geometry, the
  // format and snapOffset, it is written by the user-interface thread only while the card's snap
  // is stopped, and read by the callback.
  CHostWindow* snapWindow = nullptr;
  // The last Snap Shot stored this card's frames (a card whose snap shot failed is not played).
  bool framesStored = false;
  // Declared last, so it is destroyed first: the card ends and cuts its snap callback off before
  // anything of the cell goes.
  CVideoCard card;
};

// The values a card's record gets when no ini file exists: PAL, frame scan, "Video 1",
// brightness, contrast, hue and saturation 128, PLL 245, crystal 35M, the input window covering
// the image. The format is not touched (it comes from the display depth).
void LoadDefaultParameters(CVideoCard& card);

// Sets the card's record from a set read from the file, without telling the card: the format
// stays the card's own, and the input window covers the image of the set's standard.
void SetRecordParameters(CVideoCard& card, const VideoParameterSet& set);

class CCardGrid {
 public:
  static constexpr int kMaxCards = 128;

  CCardGrid() = default;
  // Runs CloseCards when the cards were opened and are not closed yet.
  ~CCardGrid();
  CCardGrid(const CCardGrid&) = delete;
  CCardGrid& operator=(const CCardGrid&) = delete;

  // The frame constructor's step. Counts the cards (a failing count is 0 cards); with none shows
  // the "no card" warning box once. With more than 128 opens the first 128 and shows one
  // "Notice" box. Opens card i + 1 into cell i; a failure shows its warning box, leaves that
  // handle 0 and the loop goes on. Every card is selected.
  void OpenCards();

  // The window-creation steps, in order: LoadParameters, DetectSources, SetupDisplay(depth),
  // ApplyAllParameters.
  void SetUpCards(int depth, const std::function<void(CCardGrid&)>& loadParameters);
  // Reads every card's parameter set with `loadParameters` (the ini reader); when it is empty
  // every card gets LoadDefaultParameters.
  void LoadParameters(const std::function<void(CCardGrid&)>& loadParameters);
  // Source detection on every card, handle 0 included.
  void DetectSources();
  // For every card: the format from the display depth, and its picture set up with a black
  // buffer (a failed allocation leaves that buffer empty).
  void SetupDisplay(int depth);
  // Sends every card its record (ApplyParameters).
  void ApplyAllParameters();

  // The frame destructor's step: every card ends (handle 0 included) and frees its picture. Runs
  // once after OpenCards; later calls do nothing. A card that ends confirms that no snap callback
  // of it can come any more.
  void CloseCards();
  // Cuts every card's snap callback off (waiting for one in flight); what they draw into is about
  // to go.
  void DetachSnapCallbacks();

  // ---- Cells ----
  int CardCount() const { return static_cast<int>(cells_.size()); }
  CGridCard& Cell(int index) { return *cells_[static_cast<size_t>(index)]; }
  const CGridCard& Cell(int index) const { return *cells_[static_cast<size_t>(index)]; }
  // The cells of the cards in use, in card order.
  std::span<const std::unique_ptr<CGridCard>> Cells() const { return cells_; }

  // ---- Card selection ----
  // The selected card's index; the card count means all cards.
  int SelectedCard() const { return selectedCard_; }
  // A selection outside 0..card count is ignored.
  void SelectCard(int index);
  // The cells a parameter change goes to: every cell in index order when all are selected, else
  // the selected one alone.
  std::vector<CGridCard*> TargetCells();
  // Their cards, the shown card first (the dialogs open on its values).
  std::vector<CVideoCard*> TargetCards();
  // The card whose values the menus and dialogs show: the selected one, or card 0 when all are
  // selected; null without a card.
  CGridCard* ShownCard();
  const CGridCard* ShownCard() const;

 private:
  std::vector<std::unique_ptr<CGridCard>> cells_;
  int selectedCard_ = 0;  // the card count means all cards
  bool open_ = false;     // OpenCards ran and CloseCards has not
};
