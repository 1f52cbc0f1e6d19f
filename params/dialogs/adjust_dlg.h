// adjust_dlg.h - CAdjustDlg, the "Adjust..." dialog of both programs: five scroll bars for
// brightness, contrast, hue, saturation and PLL frequency, each applied at once as it moves
// (Solvane through the card object's setters, Hexmont by WM_APPLY_ADJUST and WM_APPLY_PLL to the
// main frame); "Default" sets the factory values, "Reset" and Cancel go back to the opening ones.
// Also its dialog template.
#pragma once

#include <cstdint>

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
  // Hexmont: values go to `frame` (not owned; null sends nothing) with WM_APPLY_ADJUST and
  // WM_APPLY_PLL; the values given are the opening and current values.
  CAdjustDlg(CWnd* frame, uint8_t brightness, uint8_t contrast, uint8_t hue, uint8_t saturation,
             uint8_t pll);
  // Solvane: values go through `card`'s setters (not owned; null: nothing is applied); the
  // opening values are the card's (the factory values without a card).
  CAdjustDlg(CWnd* parent, CVideoCard* card);

  // Ranges 0..255, the bars at the opening values, the value texts.
  BOOL OnInitDialog() override;
  // Goes back to the opening values (all five applied), then closes; the bars stay.
  void OnCancel() override;
  // The five value texts, then the five bars.
  void DoDataExchange(CDataExchange* dx) override;
  // Moves the bar as the code says, shows and applies its value (once per notification).
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override;

  // Current values (the OK result), then the opening values, each in this order.
  uint8_t m_hue = kFactoryHue, m_brightness = kFactoryBrightness, m_contrast = kFactoryContrast,
          m_saturation = kFactorySaturation, m_pll = kFactoryPll;
  uint8_t m_openHue = kFactoryHue, m_openBrightness = kFactoryBrightness,
          m_openContrast = kFactoryContrast, m_openSaturation = kFactorySaturation,
          m_openPll = kFactoryPll;
  CString m_strBrightness, m_strContrast, m_strHue, m_strPll, m_strSaturation;
  CScrollBar m_barBrightness, m_barContrast, m_barHue, m_barSaturation, m_barPll;
  CVideoCard* m_pCard = nullptr;  // Solvane

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
  // The five in the order they are applied: brightness, contrast, hue, saturation, PLL.
  Value At(int slot);
  // The slot of a bar, -1 for another.
  int SlotOf(const CScrollBar* bar) const;

  void RegisterHandlers();
  void Apply(int slot);
  void ApplyAll();
  // Every current value to its factory (or opening) value: bars moved, texts shown, all applied.
  void SetAll(bool factory);
  static void Format(Value value);

  CWnd* frame_ = nullptr;     // Hexmont: where the values go
  bool throughCard_ = false;  // Solvane's form
};
