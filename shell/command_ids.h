// command_ids.h - resource ids, command ids and the timer id that both programs share. Ids that
// differ between the programs live in apps/<program>/resource_ids.h.
#pragma once

#include <cstdint>

#include "afx_types.h"

// Resources: the main frame's menu, accelerators, icon and template string; the About box.
inline constexpr UINT IDR_MAINFRAME = 128;
inline constexpr UINT IDD_ABOUTBOX = 100;

// File menu (Solvane's single-image commands).
inline constexpr UINT ID_FILE_OPEN_BMP = 32808;
inline constexpr UINT ID_FILE_SAVE_BMP = 32809;

// View menu.
inline constexpr UINT ID_VIEW_CAPTURE = 32821;
inline constexpr UINT ID_VIEW_CAPTURE_SHOT = 32786;
inline constexpr UINT ID_VIEW_SNAP = 32822;
inline constexpr UINT ID_VIEW_SNAP_SHOT = 32787;
inline constexpr UINT ID_PLAYBACK_STEP = 32803;
inline constexpr UINT ID_PLAYBACK_CIRCLE = 32804;
inline constexpr UINT ID_PLAYBACK_STOP = 32805;
inline constexpr UINT ID_DISPLAY_CLIP = 32798;
inline constexpr UINT ID_DISPLAY_SCALE = 32799;
inline constexpr UINT ID_VIEW_MASK = 32795;
inline constexpr UINT ID_VIEW_OPEN_SERIALS = 32811;  // Solvane only
inline constexpr UINT ID_VIEW_SAVE_SERIALS = 32812;

// Parameter menu (the Field1 scan mode and card selection ids are per program).
inline constexpr UINT ID_FORMAT_YUV422 = 32776;
inline constexpr UINT ID_FORMAT_RGB555 = 32777;
inline constexpr UINT ID_FORMAT_RGB565 = 32778;
inline constexpr UINT ID_FORMAT_RGB888 = 32779;
inline constexpr UINT ID_FORMAT_RGB8888 = 32780;
inline constexpr UINT ID_FORMAT_ALL8 = 32781;
inline constexpr UINT ID_FORMAT_LIMITED8 = 32782;
inline constexpr UINT ID_STANDARD_PAL = 32790;
inline constexpr UINT ID_STANDARD_NTSC = 32791;
inline constexpr UINT ID_SCAN_FRAME = 32793;
inline constexpr UINT ID_SCAN_FIELD = 32794;
inline constexpr UINT ID_PARAM_VIDEO_SOURCE = 32801;
inline constexpr UINT ID_PARAM_ADJUST = 32800;
inline constexpr UINT ID_PARAM_DELAY = 32825;  // Solvane only
inline constexpr UINT ID_PARAM_ALLOCATE_MEMORY = 32802;
inline constexpr UINT ID_PARAM_INTERLINE = 32823;
inline constexpr UINT ID_CRYSTAL_35M = 32814;
inline constexpr UINT ID_CRYSTAL_28M = 32815;
inline constexpr UINT ID_MIRROR_HORIZONTAL = 32817;
inline constexpr UINT ID_MIRROR_VERTICAL = 32818;
inline constexpr UINT ID_CHROMA_TRAP = 32819;

// The file dialogs of the image-file commands: one filter entry and the default extension.
inline constexpr const char* kBitmapFilesFilter = "Bitmap Files(*.bmp)|*.bmp";
inline constexpr const char* kBitmapDefaultExt = "*.bmp";

// The playback timer of the main frame (100 ms, Circle playback).
inline constexpr uintptr_t kPlaybackTimerId = 97010333;
