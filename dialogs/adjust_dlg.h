// adjust_dlg.h - CAdjustDlg, the "Adjust..." dialog of both programs: five scroll bars for
// brightness, contrast, hue, saturation and PLL frequency, each applied at once as it moves to
// every card the dialog acts on; "Default" sets the factory values, "Reset" and Cancel put each
// card back on its own opening values. Also its dialog template.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "afx.h"

class CVideoCard;

// Dialog template 131 and its controls.
inline constexpr UINT IDD_ADJUST = 131;
inline constexpr UINT IDC_ADJUST_BRIGHTNESS_BAR = 1001;
inline constexpr UINT IDC_ADJUST_CONTRAST_BAR = 1003;
inline constexpr UINT IDC_ADJUST_HUE_BAR = 1005;
inline constexpr UINT IDC_ADJUST_SATURATION_BAR = 1007;
inline constexpr UINT IDC_ADJUST_PLL_BAR = 1008;
inline constexpr UINT IDC_ADJUST_BRIGHTNESS_TEXT = 1004;
inline constexpr UINT IDC_ADJUST_CONTRAST_TEXT = 1006;
inline constexpr UINT IDC_ADJUST_HUE_TEXT = 1009;
inline constexpr UINT IDC_ADJUST_SATURATION_TEXT = 1010;
inline constexpr UINT IDC_ADJUST_PLL_TEXT = 1011;
inline constexpr UINT IDC_ADJUST_DEFAULT = 5;  // "Default"
inline constexpr UINT IDC_ADJUST_RESET = 4;    // "Reset"

// The bars' range (a line is 1, a page 10) and the factory values "Default" sets.
inline constexpr int kAdjustMin = 0;
inline constexpr int kAdjustMax = 255;
inline constexpr uint8_t kFactoryBrightness = 128;
inline constexpr uint8_t kFactoryContrast = 128;
inline constexpr uint8_t kFactoryHue = 128;
inline constexpr uint8_t kFactorySaturation = 128;
inline constexpr uint8_t kFactoryPll = 245;

// Dialog template 131, "Adjust". The value texts are left-aligned in Hexmont and centred (both
// ways) in Solvane: `centredValues` chooses.
DialogTemplate AdjustDialogTemplate(bool centredValues);

class CAdjustDlg : public CDialog {
 public:
  // The dialog on `cards` (not owned; the first is the shown card, whose values the bars open
  // on; none: the factory values, and nothing is applied). A moved bar gives its value to every
  // card through the card's setter; each keeps it as its policy says.
  CAdjustDlg(CWnd* parent, std::vector<CVideoCard*> cards);

  // Ranges 0..255, the bars at the opening values, the value texts.
  BOOL OnInitDialog() override;
  // Puts each card back on its own opening values (all five), then closes; the bars stay.
  void OnCancel() override;
  // The five value texts, then the five bars.
  void DoDataExchange(CDataExchange* dx) override;
  // Moves the bar as the code says, shows and applies its value (once per notification).
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override;

  // Current values (the OK result), then the shown card's opening values, each in this order.
  uint8_t m_hue = kFactoryHue, m_brightness = kFactoryBrightness, m_contrast = kFactoryContrast,
          m_saturation = kFactorySaturation, m_pll = kFactoryPll;
  uint8_t m_openHue = kFactoryHue, m_openBrightness = kFactoryBrightness,
          m_openContrast = kFactoryContrast, m_openSaturation = kFactorySaturation,
          m_openPll = kFactoryPll;
  CString m_strBrightness, m_strContrast, m_strHue, m_strPll, m_strSaturation;
  CScrollBar m_barBrightness, m_barContrast, m_barHue, m_barSaturation, m_barPll;

 private:
  // One of the five values: its bar, its text and its current and opening members.
  struct Value {
    CScrollBar& bar;
    CString& text;
    uint8_t& current;
    uint8_t& opening;
    uint8_t factory;
    int item;  // AdjustItem, or 0 for the PLL frequency
  };
  // A card and its five values when the dialog opened, in slot order.
  struct Opening {
    CVideoCard* card;
    std::array<uint8_t, 5> values;
  };
  // The five in the order they are applied: brightness, contrast, hue, saturation, PLL.
  Value At(int slot);
  // The slot of a bar, -1 for another.
  int SlotOf(const CScrollBar* bar) const;

  void RegisterHandlers();
  // The value of `slot` to every card.
  void Apply(int slot);
  // Factory values to every card, bars and texts moved; or each card back on its own opening
  // values, the bars and texts at the shown card's.
  void SetFactory();
  void Reset();
  static void Format(Value value);

  std::vector<Opening> cards_;
};
