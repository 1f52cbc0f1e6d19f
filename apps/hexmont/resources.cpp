// resources.cpp - Hexmont's resource tables as data.
#include "resources.h"

#include "adjust_dlg.h"
#include "allocate_memory_dlg.h"
#include "command_ids.h"
#include "resource_ids.h"
#include "select_card_dlg.h"
#include "shell_resources.h"
#include "video_source_dlg.h"

using namespace hexmont;

// Resource tables keep one entry a line, nested as the menus are.
// clang-format off
std::shared_ptr<const ResourceSet> HexmontResources() {
  auto res = std::make_shared<ResourceSet>();
  res->strings[AFX_IDS_APP_TITLE] = "Hexmont";
  res->strings[IDR_MAINFRAME] = "Hexmont\n\nHexmont\n\n\nHexmont.Document\nHexmont Document";
  // The program's icon in every size, from its Qt resource (hexmont.qrc); tests, built without it,
  // show the stock icon.
  res->icons[IDR_MAINFRAME] = ":/icons/hexmont-16.png;:/icons/hexmont-32.png;:/icons/hexmont-48.png;"
                              ":/icons/hexmont-64.png;:/icons/hexmont-128.png;:/icons/hexmont-256.png";

  res->menus[IDR_MAINFRAME] = {
      MenuPopup("&File", {
          MenuCommand("&Print...\tCtrl+P", ID_FILE_PRINT),
          MenuCommand("Print Pre&view", ID_FILE_PRINT_PREVIEW),
          MenuCommand("P&rint Setup...", ID_FILE_PRINT_SETUP),
          MenuSeparator(),
          MenuCommand("E&xit", ID_APP_EXIT),
      }),
      MenuPopup("&View", {
          MenuCommand("Capture\tCtrl+1", ID_VIEW_CAPTURE),
          MenuCommand("Capture Shot\tCtrl+2", ID_VIEW_CAPTURE_SHOT),
          MenuCommand("Snap\tCtrl+3", ID_VIEW_SNAP),
          MenuCommand("Snap Shot\tCtrl+4", ID_VIEW_SNAP_SHOT),
          MenuPopup("Playback", {
              MenuCommand("Step", ID_PLAYBACK_STEP),
              MenuCommand("Circle", ID_PLAYBACK_CIRCLE),
              MenuCommand("Stop", ID_PLAYBACK_STOP),
          }),
          MenuPopup("Display", {
              MenuCommand("Clip", ID_DISPLAY_CLIP),
              MenuCommand("Scale", ID_DISPLAY_SCALE),
          }),
          MenuCommand("Mask", ID_VIEW_MASK),
          MenuCommand("Save Serials...", ID_VIEW_SAVE_SERIALS),
      }),
      MenuPopup("&Paramter", {
          MenuCommand("Select card...", ID_PARAM_SELECT_CARD),
          MenuSeparator(),
          MenuPopup("Video Format", {
              MenuCommand("YUV422", ID_FORMAT_YUV422),
              MenuCommand("RGB555", ID_FORMAT_RGB555),
              MenuCommand("RGB565", ID_FORMAT_RGB565),
              MenuCommand("RGB888", ID_FORMAT_RGB888),
              MenuCommand("RGB8888", ID_FORMAT_RGB8888),
              MenuSeparator(),
              MenuCommand("All 8 bit", ID_FORMAT_ALL8),
              MenuCommand("Limmited 8 bit", ID_FORMAT_LIMITED8),
          }),
          MenuPopup("Video Standard", {
              MenuCommand("PAL", ID_STANDARD_PAL),
              MenuCommand("NTSC", ID_STANDARD_NTSC),
          }),
          MenuPopup("Scan Mode", {
              MenuCommand("Frame", ID_SCAN_FRAME),
              MenuCommand("Field", ID_SCAN_FIELD),
              MenuCommand("Field1", ID_SCAN_FIELD1),
          }),
          MenuCommand("Video Source...", ID_PARAM_VIDEO_SOURCE),
          MenuCommand("Adjust...", ID_PARAM_ADJUST),
          MenuCommand("Allocate Memory...", ID_PARAM_ALLOCATE_MEMORY),
          MenuSeparator(),
          MenuCommand("Interline", ID_PARAM_INTERLINE),
          MenuSeparator(),
          MenuPopup("CryOSC Type", {
              MenuCommand("35M", ID_CRYSTAL_35M),
              MenuCommand("28M", ID_CRYSTAL_28M),
          }),
          MenuPopup("Mirror Direction", {
              MenuCommand("Horizon", ID_MIRROR_HORIZONTAL),
              MenuCommand("vertical", ID_MIRROR_VERTICAL),
          }),
          MenuCommand("Chroma Trap in the Luma", ID_CHROMA_TRAP),
      }),
      MenuPopup("&Help", {
          MenuCommand("Go to Update Website...", ID_HELP_UPDATE_WEBSITE),
          MenuCommand("Contact Norvel Tarpis...", ID_HELP_CONTACT),
          MenuSeparator(),
          MenuCommand("&About Hexmont...", ID_APP_ABOUT),
      }),
  };

  // Ctrl+O is the stock open document (it reads nothing); Ctrl+S is nothing: Hexmont has no
  // command that saves one file.
  res->accelerators[IDR_MAINFRAME] = ShellAccelerators(ID_FILE_OPEN, 0);

  res->dialogs[IDD_ALLOCATE_MEMORY] = AllocateMemoryDialogTemplate();
  res->dialogs[IDD_VIDEO_SOURCE] = VideoSourceDialogTemplate();
  res->dialogs[IDD_ADJUST] = AdjustDialogTemplate(false);  // value texts left-aligned
  res->dialogs[IDD_SELECT_CARD] = SelectCardDialogTemplate();
  res->dialogs[IDD_ABOUTBOX] = DialogTemplate{
      "About Hexmont", "MS Sans Serif", 8, 235, 55,
      {
          {IDC_STATIC, ControlClass::Icon, "128", 11, 17, 20, 20, 0},
          {IDC_STATIC, ControlClass::Static, "Hexmont Version 1.1.6.0", 40, 10, 119, 8,
           SS_NOPREFIX},
          {IDC_STATIC, ControlClass::Static, "Capture card workbench", 40, 25, 119, 8, 0},
          {IDOK, ControlClass::Button, "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON},
      }};
  return res;
}
// clang-format on
