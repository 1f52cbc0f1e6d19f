// test_program.cpp - the small program the framework tests drive.
#include "test_program.h"

std::shared_ptr<const ResourceSet> TestResources() {
  auto res = std::make_shared<ResourceSet>();
  res->strings[AFX_IDS_APP_TITLE] = "Tester";
  res->strings[kIdTemplate] = "Tester\n\nTester\n\n\nTester.Document\nTester Document";
  res->menus[kIdTemplate] = {
      MenuPopup("&File", {MenuCommand("&Print...\tCtrl+P", ID_FILE_PRINT),
                          MenuCommand("Print Pre&view", ID_FILE_PRINT_PREVIEW),
                          MenuCommand("P&rint Setup...", ID_FILE_PRINT_SETUP), MenuSeparator(),
                          MenuCommand("E&xit", ID_APP_EXIT)}),
      MenuPopup("&View",
                {MenuCommand("Capture\tCtrl+1", kIdCapture), MenuCommand("Ruled", kIdRuled),
                 MenuCommand("No handler", kIdNoHandler), MenuCommand("View cmd", kIdViewCmd),
                 MenuCommand("Frame cmd", kIdFrameCmd), MenuCommand("Doc cmd", kIdDocCmd),
                 MenuCommand("App cmd", kIdAppCmd)}),
      MenuPopup("&Help", {MenuCommand("&About Tester...", ID_APP_ABOUT)}),
  };
  res->accelerators[kIdTemplate] = {
      {'1', FCONTROL, kIdCapture},      {'N', FCONTROL, ID_FILE_NEW},
      {'O', FCONTROL, ID_FILE_OPEN},    {'S', FCONTROL, ID_FILE_SAVE},
      {'C', FCONTROL, ID_EDIT_COPY},    {VK_INSERT, FCONTROL, ID_EDIT_COPY},
      {VK_DELETE, FSHIFT, ID_EDIT_CUT}, {VK_BACK, FALT, ID_EDIT_UNDO},
      {VK_F6, 0, ID_NEXT_PANE},         {VK_F6, FSHIFT, ID_PREV_PANE},
      {'2', FCONTROL, kIdRuled},
  };
  return res;
}

TestDoc::TestDoc() {
  On(kIdFrameCmd, [this] {
    if (log) log->push_back("doc:frame");
  });
  On(kIdDocCmd, [this] {
    if (log) log->push_back("doc:doc");
  });
}

TestView::TestView() {
  On(kIdViewCmd, [this] {
    if (log) log->push_back("view:view");
  });
}

void TestView::OnDraw(CDC* dc) {
  ++draws;
  dc->FillSolidRect(0, 0, 4, 4, RGB(255, 0, 0));
}

void TestView::OnLButtonDown(UINT, CPoint) {
  // As the programs do: every click goes to the frame with both parameters 0.
  if (GetParentFrame() != nullptr) GetParentFrame()->SendMessage(WM_LBUTTONDOWN, 0, 0);
}

TestFrame::TestFrame() {
  On(kIdViewCmd, [this] { log.push_back("frame:view"); });
  On(kIdFrameCmd, [this] { log.push_back("frame:frame"); });
  On(kIdCapture, [this] { log.push_back("frame:capture"); });
  On(kIdRuled, [this] { ++ruledRuns; });
  Rule(kIdRuled, [this](CCmdUI& ui) {
    ++ruleAsked;
    ui.Enable(ruleEnabled);
    ui.SetCheck(ruleChecked);
  });
  Rule(kIdNoHandler, [](CCmdUI& ui) { ui.Enable(true); });
  OnMessage(WM_APPLY_TEST, [this](WPARAM w, LPARAM l) {
    log.push_back("apply:" + std::to_string(w) + ":" + std::to_string(l));
    return static_cast<LRESULT>(w + 1);
  });
}

int TestFrame::OnCreate(LPCREATESTRUCT create) {
  if (CFrameWnd::OnCreate(create) == -1) return -1;
  log.push_back("create");
  if (auto* view = dynamic_cast<TestView*>(GetActiveView())) view->log = &log;
  if (auto* doc = dynamic_cast<TestDoc*>(GetActiveDocument())) doc->log = &log;
  return failCreate;
}

void TestFrame::OnSize(UINT type, int cx, int cy) {
  sizes.push_back({type, cx, cy});
}
void TestFrame::OnMove(int x, int y) {
  moves.emplace_back(x, y);
}
void TestFrame::OnLButtonDown(UINT flags, CPoint point) {
  clicks.emplace_back(static_cast<LONG>(flags), point.x + point.y);
}
void TestFrame::OnTimer(UINT_PTR id) {
  timers.push_back(id);
}
void TestFrame::OnWindowPosChanging(WINDOWPOS* pos) {
  CFrameWnd::OnWindowPosChanging(pos);
  if (!clampToOrigin) return;
  if (pos->x < 0) pos->x = 0;
  if (pos->y < 0) pos->y = 0;
  if (pos->cx > 500) pos->cx = 500;
}

TestApp::TestApp() {
  On(kIdDocCmd, [this] { log.push_back("app:doc"); });
  On(kIdAppCmd, [this] { log.push_back("app:app"); });
}

BOOL TestApp::InitInstance() {
  AddDocTemplate(std::make_unique<CSingleDocTemplate>(
      kIdTemplate, [] { return std::make_unique<TestDoc>(); },
      [] { return std::make_unique<TestFrame>(); }, [] { return std::make_unique<TestView>(); }));
  if (!ProcessShellCommand()) return 0;
  m_pMainWnd->ShowWindow(SW_SHOW);
  m_pMainWnd->UpdateWindow();
  return 1;
}
