// card_grid.cpp - Hexmont's cards: opening, set-up, closing and the selection (see card_grid.h).
#include "card_grid.h"

#include <cstdio>

#include "card_helpers.h"
#include "services.h"

void LoadDefaultParameters(CVideoCard& card) {
  SetRecordParameters(card, VideoParameterSet{});
}

void SetRecordParameters(CVideoCard& card, const VideoParameterSet& set) {
  VideoParameterSet record = set;
  record.format = card.GetVideoFormat();
  const ImageSize size = ImageSizeOf(set.standard);
  record.inputWindow = VideoWindow{0, 0, size.width, size.height};
  // The output window is the grid's: it stays until the next placement.
  record.outputWindow = card.GetOutputWindow();
  card.SetRecord(record);
}

CCardGrid::~CCardGrid() {
  CloseCards();
}

void CCardGrid::OpenCards() {
  int count = 0;
  // A failing count is taken as no card at all, whatever the library wrote.
  if (CVideoCard::CardTotal(count) != QUARN_OK) count = 0;
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
  open_ = true;
  cells_.clear();
  cells_.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    cells_.push_back(std::make_unique<CGridCard>(i + 1));
    // No window until the grid is first placed.
    VideoParameterSet record = cells_.back()->card.Params();
    record.inputWindow = record.outputWindow = VideoWindow{0, 0, 0, 0};
    cells_.back()->card.SetRecord(record);
    // A card that fails to open keeps handle 0; later calls still go out with it.
    if (const int status = cells_.back()->card.Begin(); status != QUARN_OK) ShowStatusBox(status);
  }
  selectedCard_ = count;
}

void CCardGrid::SetUpCards(int depth, const std::function<void(CCardGrid&)>& loadParameters) {
  LoadParameters(loadParameters);
  DetectSources();
  SetupDisplay(depth);
  ApplyAllParameters();
}

void CCardGrid::LoadParameters(const std::function<void(CCardGrid&)>& loadParameters) {
  if (loadParameters) {
    loadParameters(*this);
    return;
  }
  for (const auto& cell : cells_) LoadDefaultParameters(cell->card);
}

void CCardGrid::DetectSources() {
  for (const auto& cell : cells_) cell->card.DetectSource();
}

void CCardGrid::SetupDisplay(int depth) {
  for (const auto& cell : cells_) {
    // The format follows the display depth whatever the record said; it is sent with the rest.
    VideoParameterSet record = cell->card.Params();
    record.format = FormatForDepth(depth);
    cell->card.SetRecord(record);
    cell->card.SetupDisplay();
  }
}

void CCardGrid::ApplyAllParameters() {
  for (const auto& cell : cells_) cell->card.ApplyParameters();
}

void CCardGrid::CloseCards() {
  if (!open_) return;
  open_ = false;
  // Each card ends, cuts its callback off and frees its picture.
  for (const auto& cell : cells_) cell->card.Release();
}

void CCardGrid::DetachSnapCallbacks() {
  for (const auto& cell : cells_) cell->card.DetachSnapCallback();
}

void CCardGrid::SelectCard(int index) {
  if (index >= 0 && index <= CardCount()) selectedCard_ = index;
}

std::vector<CGridCard*> CCardGrid::TargetCells() {
  std::vector<CGridCard*> targets;
  if (selectedCard_ == CardCount()) {
    for (const auto& cell : cells_) targets.push_back(cell.get());
  } else if (selectedCard_ >= 0 && selectedCard_ < CardCount()) {
    targets.push_back(cells_[static_cast<size_t>(selectedCard_)].get());
  }
  return targets;
}

std::vector<CVideoCard*> CCardGrid::TargetCards() {
  std::vector<CVideoCard*> cards;
  // The shown card is the first target: card 0 of all, or the selected one alone.
  for (CGridCard* cell : TargetCells()) cards.push_back(&cell->card);
  return cards;
}

CGridCard* CCardGrid::ShownCard() {
  if (CardCount() < 1 || selectedCard_ < 0 || selectedCard_ > CardCount()) return nullptr;
  return cells_[static_cast<size_t>(selectedCard_ == CardCount() ? 0 : selectedCard_)].get();
}

const CGridCard* CCardGrid::ShownCard() const {
  return const_cast<CCardGrid*>(this)->ShownCard();
}
