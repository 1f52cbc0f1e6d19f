// test_program.h - a small program for the framework tests: an application, document, frame
// and view that record what reached them, with menu, accelerator, string and dialog tables.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "afx.h"
#include "harness.h"

inline constexpr UINT kIdTemplate = 128;
inline constexpr UINT kIdViewCmd = 32770;    // handled by view and frame: the view wins
inline constexpr UINT kIdFrameCmd = 32771;   // handled by frame and document: the frame wins
inline constexpr UINT kIdDocCmd = 32772;     // handled by document and application
inline constexpr UINT kIdAppCmd = 32773;     // handled by the application only
inline constexpr UINT kIdRuled = 32774;      // frame handler, rule from a flag
inline constexpr UINT kIdNoHandler = 32775;  // a rule but no handler
inline constexpr UINT kIdCapture = 32821;    // Ctrl+1 in the accelerator table
inline constexpr UINT WM_APPLY_TEST = WM_USER + 100;

std::shared_ptr<const ResourceSet> TestResources();

class TestDoc : public CDocument {
 public:
  TestDoc();
  std::vector<std::string>* log = nullptr;
  int serializeStores = 0;
  int serializeLoads = 0;
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring())
      ++serializeStores;
    else
      ++serializeLoads;
  }
};

class TestView : public CView {
 public:
  TestView();
  void OnDraw(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  std::vector<std::string>* log = nullptr;
  int draws = 0;
};

class TestFrame : public CFrameWnd {
 public:
  TestFrame();
  int OnCreate(LPCREATESTRUCT create) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnMove(int x, int y) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnTimer(UINT_PTR id) override;
  void OnWindowPosChanging(WINDOWPOS* pos) override;

  std::vector<std::string> log;
  bool ruleEnabled = true;
  int ruleChecked = 0;
  int ruleAsked = 0;
  int ruledRuns = 0;
  int failCreate = 0;
  bool clampToOrigin = false;  // the hook keeps the frame at x, y >= 0 and at most 500 wide
  struct Size {
    UINT type;
    int cx;
    int cy;
  };
  std::vector<Size> sizes;
  std::vector<CPoint> moves;
  std::vector<UINT_PTR> timers;
  std::vector<CPoint> clicks;
};

class TestApp : public CWinApp {
 public:
  TestApp();
  BOOL InitInstance() override;
  std::vector<std::string> log;
};
