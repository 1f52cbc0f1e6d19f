// main_frm.cpp - Hexmont's main frame: its cards, live video in a grid over the view, the window
// placement rules, the view painting of the display buffers and closing.
#include "main_frm.h"

#include <QEvent>
#include <algorithm>
#include <vector>

#include "QuarnVidEx.h"
#include "allocate_memory_dlg.h"
#include "command_ids.h"
#include "help_links.h"
#include "hexmont_layout.h"
#include "resource_ids.h"
#include "services.h"
#include "shell_resources.h"

CMainFrame::CMainFrame() {
  RegisterHelpLinks(*this, hexmont::ID_HELP_UPDATE_WEBSITE, hexmont::ID_HELP_CONTACT);
  On(ID_VIEW_CAPTURE, [this] {
    OnCapture();
  }).Rule(ID_VIEW_CAPTURE, RuleOf<hexmont::CaptureRule>());
  RegisterDisplayCommands();
  RegisterShotMaskCommands();
  RegisterSnapCommands();
  RegisterPlaybackCommands();
  RegisterParameterCommands();
  RegisterFileCommands();
  RegisterAllocateMemoryCommand(*this);
  grid_.OpenCards();
}

CMainFrame::~CMainFrame() {
  grid_.CloseCards();
}

HexmontFrameState CMainFrame::FrameState() const {
  HexmontFrameState state;
  state.mode = mode_;
  state.clip = clipped_ ? 1 : 0;
  state.mask = maskOn_ ? 1 : 0;
  state.storedImages = storedFrames_;
  state.stepFlag = stepping_ ? 1 : 0;
  if (const CGridCard* shown = grid_.ShownCard()) {
    const VideoParameterSet& p = shown->card.Params();
    state.shown =
        ShownParameters{p.format,           p.standard,       p.scanMode,   p.crystal,
                        p.mirrorHorizontal, p.mirrorVertical, p.chromaTrap, shown->interline};
  }
  return state;
}

int CMainFrame::OnCreate(LPCREATESTRUCT create) {
  if (CFrameWnd::OnCreate(create) == -1) return -1;

  // The screen's size and depth, from a device context on the frame's client area (its view).
  int screenWidth = 0;
  int screenHeight = 0;
  int depth = 0;
  if (CView* view = GetActiveView()) {
    CClientDC dc(view->HostWindow());
    screenWidth = dc.GetDeviceCaps(HORZRES);
    screenHeight = dc.GetDeviceCaps(VERTRES);
    depth = dc.GetDeviceCaps(PLANES) * dc.GetDeviceCaps(BITSPIXEL);
  }
  screenWidth_ = screenWidth;
  screenHeight_ = screenHeight;
  palette_ = CreateGreyPalette();
  grid_.SetUpCards(depth, [this](CCardGrid&) { LoadParameterSets(); });
  return 0;
}

void CMainFrame::OnClose() {
  SaveParameterSets();
  // Acquisition stops through the commands that started it, so their own stopping steps run.
  if (mode_ == AcquisitionMode::kPlayback && !stepping_) {
    KillTimer(kPlaybackTimerId);
  } else if (mode_ == AcquisitionMode::kLive) {
    SendMessage(WM_COMMAND, ID_VIEW_CAPTURE, 0);
  } else if (mode_ == AcquisitionMode::kSnap) {
    SendMessage(WM_COMMAND, ID_VIEW_SNAP, 0);
  }
  CFrameWnd::OnClose();
}

void CMainFrame::OnDestroy() {
  if (mode_ == AcquisitionMode::kSnap) CloseAllSnaps();
  // A card whose snap would not close may still call back: from here on it reaches nothing.
  grid_.DetachSnapCallbacks();
  CFrameWnd::OnDestroy();
}

void CMainFrame::OnUpdateFrameTitle() {
  // The framework's title update (a new or opened document) must not undo the paint's title.
  SetWindowText(titlePainted_ ? kPaintTitle : ProgramTitle());
}

void CMainFrame::AfterQtEvent(QEvent* event) {
  if (event->type() == QEvent::Paint) OnPaint();
  CFrameWnd::AfterQtEvent(event);
}

void CMainFrame::OnPaint() {
  titlePainted_ = true;
  SetWindowText(kPaintTitle);
}

void CMainFrame::Invalidate(BOOL erase) {
  CFrameWnd::Invalidate(erase);
  if (CView* view = GetActiveView()) view->Invalidate(erase);
}

// ---- Live video ---------------------------------------------------------------------------------

void CMainFrame::OnCapture() {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  CHostWindow& window = view->HostWindow();
  {
    CClientDC dc(window);
    const bool start = mode_ == AcquisitionMode::kIdle;
    // The frame's palette stays selected while live video runs (from the start to the stop, two
    // commands), so this selection is not a scoped one.
    if (start) {
      if (palette_) {
        displacedPalette_ = dc.SelectPalette(palette_.get(), FALSE);
        dc.RealizePalette();
      }
      mode_ = AcquisitionMode::kLive;
    } else {
      if (displacedPalette_ != nullptr) {
        dc.SelectPalette(displacedPalette_, FALSE);
        dc.RealizePalette();
      }
      mode_ = AcquisitionMode::kIdle;
    }

    int failures = 0;
    for (const auto& cell : grid_.Cells()) {
      const int status = cell->card.Capture(window, start ? 1 : 0);
      if (status != QUARN_OK) {
        // Owned by the frame; the other cards still start or stop.
        Services().messageBox->Show(this, StatusText(status), "Error message",
                                    MB_OK | MB_ICONWARNING);
        ++failures;
        continue;
      }
      if (start) continue;
      // Stopped: freeze the last picture and read it back from the card's cell into the display
      // buffer, so the view keeps showing it. A failed freeze reads back whatever is shown.
      FreezeAndReadBack(*cell, *view, dc, false);
    }
    // No card, or none that started: live video is not running.
    if (failures >= grid_.CardCount()) mode_ = AcquisitionMode::kIdle;
  }  // the context is released here
  Invalidate(TRUE);
}

bool CMainFrame::ViewScreenRect(RECT* rect) const {
  CView* view = GetActiveView();
  if (view == nullptr || rect == nullptr) return false;
  view->GetClientRect(rect);
  view->ClientToScreen(rect);
  return true;
}

void CMainFrame::PlaceVideo(const RECT& viewRect) {
  CView* view = GetActiveView();
  if (view == nullptr) return;
  const int count = grid_.CardCount();
  const bool snapping = mode_ == AcquisitionMode::kSnap;
  // The snap callback places each cell by the view's geometry snapshot: bring it up to date.
  if (snapping) view->HostWindow().UpdateGeometry();
  // The callback reads a card's rectangles and ring, so every card is stopped (no callback of it
  // runs any more) before they change. All cards stop first: a card's new ring may cover the
  // old ring of a card after it, which must not be filled meanwhile. A card whose stop fails is
  // still delivering: it keeps its windows and its ring, and the new rings of the others are
  // laid out after every ring still in use.
  std::vector<bool> delivering(static_cast<size_t>(count), false);
  int placeFailure = QUARN_OK;
  uint64_t snapOffset = 0;
  if (snapping) {
    for (int i = 0; i < count; ++i) {
      CGridCard& cell = grid_.Cell(i);
      // A card whose open failed has no snap to stop; its stop's status says nothing.
      if (cell.card.StopSnap() == QUARN_OK || !cell.card.SnapOpen()) continue;
      delivering[static_cast<size_t>(i)] = true;
      snapOffset =
          std::max(snapOffset, cell.snapOffset + hexmont::SnapRingBytes(cell.card.GetVideoFormat(),
                                                                        cell.OutputWidth(),
                                                                        cell.OutputHeight()));
    }
  }
  for (int i = 0; i < count; ++i) {
    CGridCard& cell = grid_.Cell(i);
    if (delivering[static_cast<size_t>(i)]) continue;
    CVideoCard& card = cell.card;
    const ImageSize image = card.GetImageSize();
    cell.cellRect = hexmont::GridCell(viewRect, i, count, cell.cellRect);
    const RECT out = hexmont::FitOutputRect(cell.cellRect, 0, 0, screenWidth_, screenHeight_,
                                            image.width, image.height, 4, 2);
    // The grid decides the windows: the card keeps them whatever it answers.
    card.SetInputRect(hexmont::InputWindowFor(clipped_, out, image.width, image.height));
    const int placed = card.SetOutputRect(out);
    // Live video that cannot follow the window is worth a box (the first failure of a move).
    if (placed != QUARN_OK && mode_ == AcquisitionMode::kLive && placeFailure == QUARN_OK) {
      placeFailure = placed;
    }
    if (snapping) {
      // Each card's ring follows the previous one in static memory.
      cell.snapOffset = snapOffset;
      card.StartSnap(snapOffset, cell.interline, 2);
      snapOffset +=
          hexmont::SnapRingBytes(card.GetVideoFormat(), cell.OutputWidth(), cell.OutputHeight());
    }
    view->Invalidate(TRUE);
  }
  if (placeFailure != QUARN_OK) ShowStatusBox(placeFailure);
}

void CMainFrame::OnMove(int x, int y) {
  CFrameWnd::OnMove(x, y);
  RECT view;
  if (ViewScreenRect(&view)) PlaceVideo(view);
}

void CMainFrame::OnSize(UINT type, int cx, int cy) {
  CFrameWnd::OnSize(type, cx, cy);
  RECT view;
  if (ViewScreenRect(&view)) PlaceVideo(view);
}

void CMainFrame::OnWindowPosChanging(WINDOWPOS* pos) {
  CFrameWnd::OnWindowPosChanging(pos);
  if (pos == nullptr) return;
  hexmont::ConstrainFramePosition(*pos, IsZoomed() != 0, screenWidth_, screenHeight_);
}

// ---- Painting -----------------------------------------------------------------------------------

void CMainFrame::PaintView(CDC* dc) {
  // During live video and snap the cards and the snap callback own the picture.
  if (mode_ != AcquisitionMode::kIdle && mode_ != AcquisitionMode::kPlayback) return;
  CView* view = GetActiveView();
  if (dc == nullptr || view == nullptr) return;
  dc->SetStretchBltMode(COLORONCOLOR);
  const bool printing = dc->IsPrinting();
  const int logX = printing ? dc->GetDeviceCaps(LOGPIXELSX) : 0;
  const int logY = printing ? dc->GetDeviceCaps(LOGPIXELSY) : 0;
  for (const auto& cell : grid_.Cells()) {
    CDisplayPicture& picture = cell->card.Picture();
    if (picture.Header() == nullptr) continue;
    const BITMAPINFOHEADER& info = picture.Description();
    POINT origin{cell->cellRect.left, cell->cellRect.top};
    view->ScreenToClient(&origin);
    RECT dest = hexmont::PaintDestination(origin, info.biWidth, info.biHeight, cell->OutputRect());
    if (printing) {
      dest.left = hexmont::ScaleForPrinter(dest.left, logX);
      dest.right = hexmont::ScaleForPrinter(dest.right, logX);
      dest.top = hexmont::ScaleForPrinter(dest.top, logY);
      dest.bottom = hexmont::ScaleForPrinter(dest.bottom, logY);
    }
    picture.Draw(*dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0,
                 info.biWidth, info.biHeight);
  }
}
