// solvane_app_test.cpp - Solvane as a whole program on the offscreen platform, the recording
// capture library and the service doubles: start-up and its single-instance refusal, opening and
// closing card 1, the layout step after showing, the menu bar and accelerators, the view's
// messages to the frame, the stock document commands and the help links.
#include "solvane_app.h"

#include <QTest>
#include <filesystem>
#include <fstream>

#include "main_frm.h"
#include "program_test_support.h"
#include "resource_ids.h"
#include "resources.h"

namespace {

using apptest::FrameProbe;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CSolvaneApp>;

class SolvaneTest : public ::testing::Test {
 protected:
  void SetUp() override { h_ = std::make_unique<Harness>(SolvaneResources()); }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }
  void Destroy() { h_.reset(); }

  quarnfake::ScopedFake fake_;  // before the harness: the program's calls land in a clean log
  std::unique_ptr<Harness> h_;
};

// ---- Start-up ----------------------------------------------------------------------------------

TEST_F(SolvaneTest, StartsWithItsNameAsTitleAndScrollBarsOnTheView) {
  ASSERT_TRUE(h().Start());
  ASSERT_NE(h_->frameAs<CMainFrame>(), nullptr);
  // The frame's first paint replaces the program's name with the output size.
  EXPECT_EQ(frame().GetWindowText(), frame().PerformanceTitle());
  EXPECT_TRUE(frame().IsWindowVisible());
  EXPECT_EQ(h().view()->GetStyle(), WS_HSCROLL | WS_VSCROLL);
  EXPECT_EQ(h().app().GetRegistryKey(), "Local AppWizard-Generated Applications");
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(SolvaneTest, SetsTheFormatFromTheDepthThenOpensDetectsAndApplies) {
  ASSERT_TRUE(h().Start());
  // The parameter file's values reach the unopened card between the format and the opening
  // (ini_solvane_test checks them); here only the card's own steps count.
  std::vector<std::string> calls;
  for (const quarnfake::Call& call : quarnfake::Calls()) {
    if (call.handle != 0 || call.op == "QuarnSetVideoFormat" || call.op == "BeginQuarnCard") {
      calls.push_back(call.Text());
    }
  }
  // After the window is shown, the layout only places the video (input and output windows).
  ASSERT_GE(calls.size(), 21u);
  for (size_t i = 21; i < calls.size(); ++i) {
    EXPECT_THAT(calls[i], ::testing::ContainsRegex("^QuarnSet(Input|Output)Window\\(h1, "));
  }
  calls.resize(21);
  EXPECT_THAT(
      calls,
      ElementsAre(
          // Before the card is open: handle 0. The library refuses it, but the card keeps the
          // display's format (32 bits: RGB8888) and sends it once open.
          "QuarnSetVideoFormat(0, 4)", "BeginQuarnCard(1, ptr)", "QuarnSetVideoSource(h1, 0, 0)",
          "QuarnVideoPresent(h1, ptr)", "QuarnSetVideoStandard(h1, 0)",
          "QuarnSetVideoSource(h1, 0, 0)", "QuarnSetVideoFormat(h1, 4)", "QuarnSetScanMode(h1, 0)",
          "QuarnSelectCryOSC(h1, 0)", "QuarnAdjustVideo(h1, 1, 128)",
          "QuarnAdjustVideo(h1, 2, 128)", "QuarnAdjustVideo(h1, 3, 128)",
          "QuarnAdjustVideo(h1, 4, 128)", "QuarnSetPLLFrequency(h1, 245)",
          "QuarnSetInputWindow(h1, 0, 0, 768, 576)", "QuarnSetOutputWindow(h1, 0, 0, 768, 576)",
          "QuarnEnableMask(h1, 0)", "QuarnSetDelay(h1, 0, 0)", "QuarnEnableVideoMirror(h1, 0, 0)",
          "QuarnEnableVideoMirror(h1, 1, 0)", "QuarnLumaControl(h1, 0, 1)"));
  EXPECT_EQ(frame().Card().GetHandle(), quarnfake::HandleOf(1));
  EXPECT_GT(frame().screenWidth, 0);
  EXPECT_GT(frame().screenHeight, 0);
}

TEST_F(SolvaneTest, AFailedOpenShowsItsStatusOnceAndNeitherDetectsNorApplies) {
  quarnfake::Script("BeginQuarnCard").Returns(QUARN_ERR_CARD_NUMBER);
  ASSERT_TRUE(h().Start());  // creation succeeds either way
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_CARD_NUMBER));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style & MB_ICONWARNING, MB_ICONWARNING);
  EXPECT_TRUE(quarnfake::Calls("QuarnVideoPresent").empty());
  // Only the parameter file's standard, sent before opening; nothing is applied after.
  EXPECT_EQ(quarnfake::Calls("QuarnSetVideoStandard").size(), 1u);
  EXPECT_EQ(frame().Card().GetHandle(), 0);
  EXPECT_TRUE(frame().IsWindowVisible());
}

TEST_F(SolvaneTest, ComputesTheBordersAroundTheViewOnceShown) {
  ASSERT_TRUE(h().Start());
  // The menu bar lies above the view's client area and the vertical scroll bar beside it; the
  // borders are only right once the window is shown and laid out.
  CRect client;
  h().view()->GetClientRect(&client);
  h().view()->ClientToScreen(&client);
  CRect window;
  frame().GetWindowRect(&window);
  EXPECT_EQ(frame().borderTop, client.top - window.top);
  EXPECT_GT(frame().borderTop, 0);
  EXPECT_GT(frame().borderRight, 0);
  EXPECT_EQ(frame().borderLeft, client.left - window.left);
  EXPECT_EQ(frame().borderBottom, window.bottom - client.bottom);
}

// ---- Single instance ---------------------------------------------------------------------------

TEST_F(SolvaneTest, SecondInstanceIsRefusedBeforeAnythingIsCreated) {
  NamedMutexHandle first = CreateNamedMutex(solvane::kMutexName);
  ASSERT_TRUE(first.valid());
  EXPECT_FALSE(h().Start());
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, "The program is running!");
  EXPECT_EQ(boxes().last().caption, "Solvane");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(h().frame(), nullptr);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(h().Exit(), 0);
  EXPECT_FALSE(h().app().m_hMutex.valid());
}

TEST_F(SolvaneTest, HexmontRunningDoesNotRefuseSolvane) {
  NamedMutexHandle other = CreateNamedMutex("{B6355E5C-AB38-4331-97AF-C32CE5399961}");
  ASSERT_TRUE(other.valid());
  EXPECT_TRUE(h().Start());
  EXPECT_EQ(boxes().count(), 0u);
}

// ---- Commands, menus and accelerators ----------------------------------------------------------

TEST_F(SolvaneTest, CommandsWithoutHandlersAreDisabledAndDoNothing) {
  ASSERT_TRUE(h().Start());
  quarnfake::ClearCalls();
  for (UINT id : {ID_EDIT_COPY, ID_NEXT_PANE}) {
    EXPECT_FALSE(h().IsEnabled(id)) << id;
    EXPECT_FALSE(h().Send(id)) << id;
  }
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(frame().Card().GetState(), CardState::kIdle);
}

TEST_F(SolvaneTest, MenuBarIsComplete) {
  ASSERT_TRUE(h().Start());
  EXPECT_THAT(apptest::MenuBarLines(frame()), ElementsAreArray(std::vector<std::string>{
                                                  "&File/&Open...\tCtrl+O = 32808",
                                                  "&File/&Save As ...\tCtrl+S = 32809",
                                                  "&File/-",
                                                  "&File/&Print...\tCtrl+P = 57607",
                                                  "&File/Print Pre&view = 57609",
                                                  "&File/P&rint Setup... = 57606",
                                                  "&File/-",
                                                  "&File/E&xit = 57665",
                                                  "&View/Capture\tCtrl+1 = 32821",
                                                  "&View/Capture Shot\tCtrl+2 = 32786",
                                                  "&View/Snap\tCtrl+3 = 32822",
                                                  "&View/Snap Shot\tCtrl+4 = 32787",
                                                  "&View/Playback/Step = 32803",
                                                  "&View/Playback/Circle = 32804",
                                                  "&View/Playback/Stop = 32805",
                                                  "&View/Display/Clip = 32798",
                                                  "&View/Display/Scale = 32799",
                                                  "&View/Mask = 32795",
                                                  "&View/Save Serials... = 32812",
                                                  "&View/Open Serials... = 32811",
                                                  "&Paramter/Video Format/YUV422 = 32776",
                                                  "&Paramter/Video Format/RGB555 = 32777",
                                                  "&Paramter/Video Format/RGB565 = 32778",
                                                  "&Paramter/Video Format/RGB888 = 32779",
                                                  "&Paramter/Video Format/RGB8888 = 32780",
                                                  "&Paramter/Video Format/-",
                                                  "&Paramter/Video Format/All 8 bit = 32781",
                                                  "&Paramter/Video Format/Limmited 8 bit = 32782",
                                                  "&Paramter/Video Standard/PAL = 32790",
                                                  "&Paramter/Video Standard/NTSC = 32791",
                                                  "&Paramter/Scan Mode/Frame = 32793",
                                                  "&Paramter/Scan Mode/Field = 32794",
                                                  "&Paramter/Scan Mode/Field1 = 32828",
                                                  "&Paramter/Video Source... = 32801",
                                                  "&Paramter/Adjust... = 32800",
                                                  "&Paramter/Delay... = 32825",
                                                  "&Paramter/Allocate Memory... = 32802",
                                                  "&Paramter/-",
                                                  "&Paramter/Interline = 32823",
                                                  "&Paramter/-",
                                                  "&Paramter/CryOSC Type/35M = 32814",
                                                  "&Paramter/CryOSC Type/28M = 32815",
                                                  "&Paramter/Mirror Direction/Horizon = 32817",
                                                  "&Paramter/Mirror Direction/vertical = 32818",
                                                  "&Paramter/Chroma Trap in the Luma = 32819",
                                                  "&Help/Go to Update Website... = 32826",
                                                  "&Help/Contact Norvel Tarpis... = 32827",
                                                  "&Help/-",
                                                  "&Help/&About Solvane... = 57664",
                                              }));
}

TEST_F(SolvaneTest, EachAcceleratorSendsItsCommand) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  std::vector<UINT> ids;
  for (const apptest::AccelKey& key : apptest::SharedAcceleratorKeys()) ids.push_back(key.id);
  probe.Commands(frame(), ids);
  for (const apptest::AccelKey& key : apptest::SharedAcceleratorKeys()) {
    probe.commands.clear();
    h().Key(key.key, key.modifiers);
    EXPECT_THAT(probe.commands, ElementsAre(key.id))
        << QKeySequence(key.key | key.modifiers).toString().toStdString();
  }
  h().Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(h().printUi().printDialogs, 1);
}

// Ctrl+O and Ctrl+S run the File menu's Open... and Save As ..., whose texts show those keys, and
// nothing else (the stock document save would write an empty file over the one chosen).
TEST_F(SolvaneTest, CtrlOAndCtrlSRunTheFileMenusOpenAndSaveAs) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Commands(frame(), {ID_FILE_OPEN_BMP, ID_FILE_SAVE_BMP, ID_FILE_OPEN, ID_FILE_SAVE});
  h().Key(Qt::Key_O, Qt::ControlModifier);
  EXPECT_THAT(probe.commands, ElementsAre(ID_FILE_OPEN_BMP));
  probe.commands.clear();
  h().Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_THAT(probe.commands, ElementsAre(ID_FILE_SAVE_BMP));
}

// ---- View
// ----------------------------------------------------------------------------------------

TEST_F(SolvaneTest, ClickInTheViewReachesTheFrameWithZeroParameters) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Message(frame(), WM_LBUTTONDOWN);
  QTest::mouseClick(h().view()->GetClientWidget(), Qt::LeftButton, Qt::ControlModifier,
                    QPoint(12, 40));
  EXPECT_THAT(probe.messages, ElementsAre(FrameProbe::Sent{WM_LBUTTONDOWN, 0, 0}));
}

TEST_F(SolvaneTest, EndOfPrintPreviewSendsTheFrameASizeWithZeroParameters) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Message(frame(), WM_SIZE);
  EXPECT_TRUE(h().Send(ID_FILE_PRINT_PREVIEW));
  EXPECT_EQ(h().printUi().previews, 1);
  EXPECT_THAT(probe.messages, ElementsAre(FrameProbe::Sent{WM_SIZE, 0, 0}));
}

// ---- Document -----------------------------------------------------------------------------------

TEST_F(SolvaneTest, StockDocumentCommandsTouchNeitherCardNorData) {
  ASSERT_TRUE(h().Start());
  quarnfake::ClearCalls();
  auto& files = *h().services().fileDialog;

  h().Key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(files.count(), 0u);

  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(frame().GetWindowText(), "Solvane");
}

// ---- Help
// ------------------------------------------------------------------------------------------

TEST_F(SolvaneTest, HelpLinksOpenTheirAddressesAndReportAFailedShell) {
  ASSERT_TRUE(h().Start());
  auto& shell = *h().services().shell;
  EXPECT_TRUE(h().IsEnabled(solvane::ID_HELP_UPDATE_WEBSITE));
  EXPECT_TRUE(h().IsEnabled(solvane::ID_HELP_CONTACT));

  EXPECT_TRUE(h().Menu(solvane::ID_HELP_CONTACT));  // success: no box
  EXPECT_EQ(boxes().count(), 0u);

  shell.SetResult(0);
  EXPECT_TRUE(h().Send(solvane::ID_HELP_CONTACT));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, "Sorry: cannot access email");
  EXPECT_EQ(boxes().last().caption, "Solvane");
  EXPECT_EQ(boxes().last().style & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);

  EXPECT_TRUE(h().Send(solvane::ID_HELP_UPDATE_WEBSITE));
  ASSERT_EQ(boxes().count(), 2u);
  EXPECT_EQ(boxes().last().text, "Sorry: cannot access web location");

  EXPECT_THAT(shell.addresses(), ElementsAre("mailto:Quarn Support <support@quarn.example>",
                                             "mailto:Quarn Support <support@quarn.example>",
                                             "https://quarn.example/update"));
}

TEST_F(SolvaneTest, AboutRunsDialogTemplate100) {
  ASSERT_TRUE(h().Start());
  EXPECT_TRUE(h().Menu(ID_APP_ABOUT));
  EXPECT_THAT(h().dialogs, ElementsAre(100u));
}

// ---- Closing
// ---------------------------------------------------------------------------------------

TEST_F(SolvaneTest, CardClosesWhenTheWindowIsDestroyedAndOnlyThen) {
  ASSERT_TRUE(h().Start());
  quarnfake::ClearCalls();
  EXPECT_TRUE(h().Send(ID_APP_EXIT));
  // Stopping acquisition on close (idle: nothing to stop), then EndQuarnCard when destroyed.
  EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("EndQuarnCard(h1)"));
  EXPECT_EQ(h().app().m_pMainWnd, nullptr);
  EXPECT_EQ(h().Exit(), 0);
  // The card was closed (handle cleared), so deleting the card object ends nothing again.
  Destroy();
  EXPECT_EQ(quarnfake::CallCount("EndQuarnCard"), 1u);
}

TEST_F(SolvaneTest, IdleCloseSendsNoAcquisitionCommand) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Commands(frame(), {ID_VIEW_CAPTURE, ID_VIEW_SNAP});
  frame().SendMessage(WM_CLOSE);
  EXPECT_THAT(probe.commands, IsEmpty());
}

}  // namespace
