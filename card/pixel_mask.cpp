// pixel_mask.cpp - loading the demonstration pixel mask, one library call per pixel (see
// pixel_mask.h), and CVideoCard's rectangle loader.
#include "pixel_mask.h"

#include "video_card.h"

void SetPixelMaskRect(QUARN_HANDLE handle, int x, int y, int width, int height, int value) {
  for (int column = x; column < x + width; ++column) {
    for (int row = y; row < y + height; ++row) QuarnSetPixelMask(handle, column, row, value);
  }
}

void LoadDemonstrationMask(QUARN_HANDLE handle, int width, int height) {
  for (const MaskRect& rect : DemonstrationMask(width, height)) {
    SetPixelMaskRect(handle, rect.x, rect.y, rect.width, rect.height, rect.value);
  }
}

int CVideoCard::SetPixelMaskRect(int x, int y, int width, int height, int value) {
  for (int column = x; column < x + width; ++column) {
    for (int row = y; row < y + height; ++row) {
      const int status = QuarnSetPixelMask(handle_, column, row, value);
      if (status != QUARN_OK) return status;
    }
  }
  return QUARN_OK;
}

void LoadDemonstrationMask(CVideoCard& card, bool halveInFieldModes) {
  const ImageSize size = card.GetImageSize();
  int height = size.height;
  if (halveInFieldModes && card.GetScanMode() != kScanFrame) height /= 2;
  for (const MaskRect& rect : DemonstrationMask(size.width, height)) {
    card.SetPixelMaskRect(rect.x, rect.y, rect.width, rect.height, rect.value);
  }
}

void CVideoCard::LoadDemonstrationMask(int width, int height) {
  ::LoadDemonstrationMask(handle_, width, height);
}
