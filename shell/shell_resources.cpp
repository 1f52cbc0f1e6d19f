// shell_resources.cpp - the shared accelerator table and the window title.
#include "shell_resources.h"

#include "command_ids.h"

// One accelerator a line.
// clang-format off
std::vector<AccelEntry> ShellAccelerators(UINT openCommand, UINT saveCommand) {
  std::vector<AccelEntry> table = {
      {'1', FCONTROL, ID_VIEW_CAPTURE},
      {'2', FCONTROL, ID_VIEW_CAPTURE_SHOT},
      {'3', FCONTROL, ID_VIEW_SNAP},
      {'4', FCONTROL, ID_VIEW_SNAP_SHOT},
      {'N', FCONTROL, ID_FILE_NEW},
      {'O', FCONTROL, openCommand},
      {'S', FCONTROL, saveCommand},
      {'P', FCONTROL, ID_FILE_PRINT},
      {'C', FCONTROL, ID_EDIT_COPY},
      {VK_INSERT, FCONTROL, ID_EDIT_COPY},
      {'X', FCONTROL, ID_EDIT_CUT},
      {VK_DELETE, FSHIFT, ID_EDIT_CUT},
      {'V', FCONTROL, ID_EDIT_PASTE},
      {VK_INSERT, FSHIFT, ID_EDIT_PASTE},
      {'Z', FCONTROL, ID_EDIT_UNDO},
      {VK_BACK, FALT, ID_EDIT_UNDO},
      {VK_F6, 0, ID_NEXT_PANE},
      {VK_F6, FSHIFT, ID_PREV_PANE},
  };
  // clang-format on
  std::erase_if(table, [](const AccelEntry& entry) { return entry.id == 0; });
  return table;
}

std::string ProgramTitle() {
  std::string title = AfxExtractSubString(AfxLoadString(IDR_MAINFRAME), 0);
  return title.empty() ? AfxLoadString(AFX_IDS_APP_TITLE) : title;
}
