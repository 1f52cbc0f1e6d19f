// frame.h - CFrameWnd: the main frame over a QMainWindow, built from a resource id (menu bar,
// accelerators as QShortcuts, icon, title). Routes commands view -> frame -> document ->
// application and applies the position-changing hook to every move and resize.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "resources.h"
#include "wnd.h"

class CDocument;
class CView;
class QShortcut;
class QMenuBar;

// What a frame needs to create its view: the document and a view factory.
struct CCreateContext {
  CDocument* m_pCurrentDoc = nullptr;
  std::function<std::unique_ptr<CView>()> m_pNewViewClass;
};

class CFrameWnd : public CWnd {
 public:
  CFrameWnd();
  ~CFrameWnd() override;

  // Creates the window from resource `resourceId` (menu, accelerators, icon, template string
  // title), runs OnCreate (which creates the view) and returns false when OnCreate fails.
  virtual BOOL LoadFrame(UINT resourceId, CCreateContext* context = nullptr);

  CView* GetActiveView() const { return activeView_; }
  void SetActiveView(CView* view) { activeView_ = view; }
  CDocument* GetActiveDocument() const;

  // The route every command of this frame takes: active view, frame, document, application.
  CommandRoute Route();
  CommandState QueryCommand(UINT id) { return Route().Query(id); }
  bool DispatchCommand(UINT id) { return Route().Dispatch(id); }

  QMainWindow* GetMainWindow() const;
  QMenuBar* GetMenuBar() const;
  // The shortcut objects of the accelerator table, for inspection.
  const std::vector<QPointer<QShortcut>>& Accelerators() const { return accelerators_; }
  // Title shown: "<document title> - <application title>" as the framework does.
  virtual void OnUpdateFrameTitle();

  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  int OnCreate(LPCREATESTRUCT create) override;
  virtual BOOL OnCreateClient(LPCREATESTRUCT create, CCreateContext* context);
  void GetClientRect(RECT* rect) const override;
  BOOL DestroyWindow() override;
  void PostNcDestroy() override;

  bool BeforeQtEvent(QEvent* event) override;
  void AfterQtEvent(QEvent* event) override;

 protected:
  QPoint ClientOffset() const override;
  void ApplyWindowPos(const WINDOWPOS& pos) override;

 private:
  void OnQtGeometryChange(bool moved, bool resized);

  CView* activeView_ = nullptr;
  std::unique_ptr<CView> view_;  // the frame owns its view object
  CCreateContext* context_ = nullptr;
  UINT resourceId_ = 0;
  std::vector<QPointer<QShortcut>> accelerators_;  // children of the window, which owns them
  bool applying_ = false;  // inside ApplyWindowPos: geometry events are our own
};
