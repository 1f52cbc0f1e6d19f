// resources.h - the resource tables a program declares in data (menus, accelerators, strings,
// dialog templates, icons) and the process-wide set the framework builds its windows from.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "afx_types.h"

// A menu entry: a command item (text with & mnemonics, "\tCtrl+X" shortcut text, id), a
// separator, or a popup with its own items.
struct MenuItem {
  std::string text;
  UINT id = 0;
  bool separator = false;
  std::vector<MenuItem> items;  // non-empty (or isPopup) for a popup
  bool isPopup = false;
};

inline MenuItem MenuCommand(std::string text, UINT id) {
  return MenuItem{std::move(text), id, false, {}, false};
}
inline MenuItem MenuSeparator() {
  return MenuItem{"", 0, true, {}, false};
}
inline MenuItem MenuPopup(std::string text, std::vector<MenuItem> items) {
  return MenuItem{std::move(text), 0, false, std::move(items), true};
}

using MenuTemplate = std::vector<MenuItem>;  // the top-level popups of a menu bar

// Virtual keys used in accelerator tables.
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_F1 = 0x70;  // VK_F1 + n - 1 is Fn
inline constexpr UINT VK_F6 = 0x75;
// Letters and digits are their ASCII upper-case codes ('N', '1').

// Accelerator modifiers.
inline constexpr UINT FVIRTKEY = 0x01;
inline constexpr UINT FSHIFT = 0x04;
inline constexpr UINT FCONTROL = 0x08;
inline constexpr UINT FALT = 0x10;

struct AccelEntry {
  UINT key = 0;        // virtual key
  UINT modifiers = 0;  // FSHIFT | FCONTROL | FALT
  UINT id = 0;
};

// Dialog controls. Styles are the framework's flag values the programs need.
enum class ControlClass {
  Static,
  Button,
  Edit,
  GroupBox,
  RadioButton,
  CheckBox,
  ComboBox,
  ScrollBar,
  Icon
};

inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x00000001;
// Static text: left-aligned and at the top unless told otherwise.
inline constexpr DWORD SS_LEFT = 0x00000000;
inline constexpr DWORD SS_CENTER = 0x00000001;
inline constexpr DWORD SS_RIGHT = 0x00000002;
inline constexpr DWORD SS_NOPREFIX = 0x00000080;
inline constexpr DWORD SS_CENTERIMAGE = 0x00000200;  // text centred vertically
inline constexpr DWORD SS_SUNKEN = 0x00001000;       // a sunken border
inline constexpr DWORD SBS_VERT = 0x00000001;
inline constexpr DWORD CBS_DROPDOWN = 0x00000002;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x00000003;
inline constexpr DWORD ES_NUMBER = 0x00002000;
inline constexpr DWORD ES_READONLY = 0x00000800;

struct DialogControl {
  UINT id = 0;  // IDC_STATIC (-1 as unsigned) for labels
  ControlClass cls = ControlClass::Static;
  std::string text;                  // for Icon: the icon resource id in decimal
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  DWORD style = 0;
};

inline constexpr UINT IDC_STATIC = static_cast<UINT>(-1);

struct DialogTemplate {
  std::string caption;
  std::string fontName = "MS Sans Serif";
  int fontPointSize = 8;
  int cx = 0, cy = 0;  // dialog units
  std::vector<DialogControl> controls;
};

struct ResourceSet {
  std::map<UINT, MenuTemplate> menus;
  std::map<UINT, std::vector<AccelEntry>> accelerators;
  std::map<UINT, std::string> strings;
  std::map<UINT, DialogTemplate> dialogs;
  std::map<UINT, std::string> icons;  // id -> image files or Qt resource paths, one per size,
                                      // separated by ';' ("" = stock icon)
};

// The program's resources; set once at start-up (tests set their own).
void AfxSetResources(std::shared_ptr<const ResourceSet> resources);
const ResourceSet& AfxGetResources();
// String from the string table; empty when missing.
std::string AfxLoadString(UINT id);
// The n-th ('\n'-separated) field of a document template string.
std::string AfxExtractSubString(const std::string& full, int index);
