// hexmont_app_test.cpp - Hexmont as a whole program on the offscreen platform, the recording
// capture library and the service doubles: start-up and its single-instance refusal, opening and
// closing the cards, the menu bar and accelerators, the view's messages to the frame, the stock
// document commands and the help links.
#include "hexmont_app.h"

#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "hexmont_test_support.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resource_ids.h"
#include "resources.h"
#include "static_claims.h"

namespace {

using apptest::FrameProbe;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CHexmontApp>;

// The calls that apply one card's default parameters, in Hexmont's order (the offscreen screen
// is 32 bits deep, which gives format 4).
std::vector<std::string> ApplyCalls(const std::string& h) {
  return {"QuarnSetVideoStandard(" + h + ", 0)",  "QuarnSetVideoSource(" + h + ", 0, 0)",
          "QuarnSetVideoFormat(" + h + ", 4)",    "QuarnSetScanMode(" + h + ", 0)",
          "QuarnAdjustVideo(" + h + ", 1, 128)",  "QuarnAdjustVideo(" + h + ", 2, 128)",
          "QuarnAdjustVideo(" + h + ", 3, 128)",  "QuarnAdjustVideo(" + h + ", 4, 128)",
          "QuarnSetPLLFrequency(" + h + ", 245)", "QuarnSetInputWindow(" + h + ", 0, 0, 768, 576)",
          "QuarnSelectCryOSC(" + h + ", 0)"};
}

class HexmontTest : public ::testing::Test {
 protected:
  void SetUp() override { h_ = std::make_unique<Harness>(HexmontResources()); }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }
  // Ends the program object (the frame's destructor ends the cards).
  void Destroy() { h_.reset(); }

  quarnfake::ScopedFake fake_;  // before the harness: the program's calls land in a clean log
  std::unique_ptr<Harness> h_;
};

// ---- Start-up ----------------------------------------------------------------------------------

TEST_F(HexmontTest, StartsWithItsPaintTitleAndAVisibleWindow) {
  ASSERT_TRUE(h().Start());
  ASSERT_NE(h_->frameAs<CMainFrame>(), nullptr);
  // The framework would show "Untitled - Hexmont"; the frame's first paint sets its own title.
  EXPECT_EQ(frame().GetWindowText(), "Quarn Multi Performance");
  EXPECT_TRUE(frame().IsWindowVisible());
  EXPECT_EQ(h().app().GetRegistryKey(), "Local AppWizard-Generated Applications");
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(HexmontTest, OpensEveryCardThenDetectsSourcesThenAppliesParameters) {
  quarnfake::SetCardCount(2);
  quarnfake::SetSignals(2, {2});  // card 2 finds its signal on the third input
  ASSERT_TRUE(h().Start());
  ASSERT_EQ(frame().Grid().Cell(0).card.GetVideoFormat(), FormatForDepth(32));

  std::vector<std::string> expected = {
      "QuarnGetCardTotal(ptr)", "BeginQuarnCard(1, ptr)", "BeginQuarnCard(2, ptr)",
      // Source detection, card by card: the first input with a signal ends the search.
      "QuarnSetVideoSource(h1, 0, 0)", "QuarnVideoPresent(h1, ptr)",
      "QuarnSetVideoSource(h2, 0, 0)", "QuarnVideoPresent(h2, ptr)",
      "QuarnSetVideoSource(h2, 0, 1)", "QuarnVideoPresent(h2, ptr)",
      "QuarnSetVideoSource(h2, 0, 2)", "QuarnVideoPresent(h2, ptr)"};
  for (const char* h : {"h1", "h2"})
    for (std::string& line : ApplyCalls(h)) {
      // Card 2 stays on the input it found.
      if (std::string(h) == "h2" && line == "QuarnSetVideoSource(h2, 0, 0)")
        line = "QuarnSetVideoSource(h2, 0, 2)";
      expected.push_back(line);
    }
  // Then the shown window's first move and size place every card's video (live video's tests).
  // (The process's first card claim may look for the claims file in static memory first.)
  std::vector<std::string> calls =
      quarnfake::Calls().Without("QuarnStaticMemLock").Without("QuarnStaticMemUnlock").Texts();
  ASSERT_GE(calls.size(), expected.size());
  EXPECT_THAT(std::vector<std::string>(calls.begin(),
                                       calls.begin() + static_cast<ptrdiff_t>(expected.size())),
              ElementsAreArray(expected));
  for (size_t i = expected.size(); i < calls.size(); ++i) {
    EXPECT_THAT(calls[i], ::testing::AnyOf(::testing::StartsWith("QuarnSetInputWindow("),
                                           ::testing::StartsWith("QuarnSetOutputWindow(")));
  }
  EXPECT_EQ(frame().Grid().CardCount(), 2);
  EXPECT_EQ(frame().Grid().SelectedCard(), 2);  // all cards
}

TEST_F(HexmontTest, WithNoCardShowsOneNoCardBoxAndRuns) {
  quarnfake::SetCardCount(0);
  ASSERT_TRUE(h().Start());
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_NO_CARD));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style & MB_ICONWARNING, MB_ICONWARNING);
  EXPECT_TRUE(frame().IsWindowVisible());
  // No card: nothing is opened, probed or applied.
  EXPECT_THAT(quarnfake::Calls().Without("QuarnGetErrorString").Texts(),
              ElementsAre("QuarnGetCardTotal(ptr)"));
}

TEST_F(HexmontTest, ACardThatFailsToOpenShowsItsStatusAndTheNextCardStillOpens) {
  quarnfake::SetCardCount(2);
  quarnfake::Script("BeginQuarnCard", 1).Returns(QUARN_ERR_BUSY);
  ASSERT_TRUE(h().Start());
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_TRUE(quarnfake::Card(2).open);
}

// A GStreamer pipeline (here in the same process) runs card 1: Hexmont is told the card is busy,
// never opens a second handle on it, and opens the others as with any card that fails to open.
TEST_F(HexmontTest, ACardAPipelineHasIsBusyAndTheNextCardStillOpens) {
  quarnfake::SetCardCount(2);
  static const int pipeline = 0;
  std::unique_ptr<CClaim> held;
  ASSERT_EQ(ClaimCard(&pipeline, 1, held), QUARN_OK);
  ASSERT_TRUE(h().Start());
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, QuarnGetErrorString(QUARN_ERR_BUSY));
  EXPECT_EQ(boxes().last().caption, "Error message");
  EXPECT_THAT(quarnfake::Calls("BeginQuarnCard").Texts(), ElementsAre("BeginQuarnCard(2, ptr)"));
  EXPECT_FALSE(quarnfake::Card(1).open);
  EXPECT_TRUE(quarnfake::Card(2).open);
}

// ---- Single instance ---------------------------------------------------------------------------

TEST_F(HexmontTest, SecondInstanceIsRefusedBeforeAnythingIsCreated) {
  NamedMutexHandle first = CreateNamedMutex(hexmont::kMutexName);
  ASSERT_TRUE(first.valid());
  EXPECT_FALSE(h().Start());
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, "The program is running!");
  EXPECT_EQ(boxes().last().caption, "Hexmont");
  EXPECT_EQ(boxes().last().owner, nullptr);
  EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONEXCLAMATION);
  // Refused before the template and frame: no window and not a single card call.
  EXPECT_EQ(h().frame(), nullptr);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  // The exit step still runs and closes the refused instance's handle.
  EXPECT_EQ(h().Exit(), 0);
  EXPECT_FALSE(h().app().m_hMutex.valid());
}

TEST_F(HexmontTest, SolvaneRunningDoesNotRefuseHexmont) {
  NamedMutexHandle other = CreateNamedMutex("{6F607EE4-9B08-4b0d-99AC-313B62028D24}");
  ASSERT_TRUE(other.valid());
  EXPECT_TRUE(h().Start());
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(HexmontTest, HoldsItsLockWhileRunningAndReleasesItAtExit) {
  ASSERT_TRUE(h().Start());
  EXPECT_TRUE(CreateNamedMutex(hexmont::kMutexName).alreadyExists());
  h().Send(ID_APP_EXIT);
  EXPECT_EQ(h().Exit(), 0);
  EXPECT_FALSE(CreateNamedMutex(hexmont::kMutexName).alreadyExists());
}

// ---- Commands, menus and accelerators ----------------------------------------------------------

TEST_F(HexmontTest, CommandsWithoutHandlersAreDisabledAndDoNothing) {
  ASSERT_TRUE(h().Start());
  quarnfake::ClearCalls();
  for (UINT id : {ID_EDIT_COPY, ID_NEXT_PANE}) {
    EXPECT_FALSE(h().IsEnabled(id)) << id;
    EXPECT_FALSE(h().Send(id)) << id;
  }
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(HexmontFrameProbe::Mode(frame()), AcquisitionMode::kIdle);
}

TEST_F(HexmontTest, MenuBarIsComplete) {
  ASSERT_TRUE(h().Start());
  EXPECT_THAT(apptest::MenuBarLines(frame()), ElementsAreArray(std::vector<std::string>{
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
                                                  "&Paramter/Select card... = 32827",
                                                  "&Paramter/-",
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
                                                  "&Paramter/Scan Mode/Field1 = 32830",
                                                  "&Paramter/Video Source... = 32801",
                                                  "&Paramter/Adjust... = 32800",
                                                  "&Paramter/Allocate Memory... = 32802",
                                                  "&Paramter/-",
                                                  "&Paramter/Interline = 32823",
                                                  "&Paramter/-",
                                                  "&Paramter/CryOSC Type/35M = 32814",
                                                  "&Paramter/CryOSC Type/28M = 32815",
                                                  "&Paramter/Mirror Direction/Horizon = 32817",
                                                  "&Paramter/Mirror Direction/vertical = 32818",
                                                  "&Paramter/Chroma Trap in the Luma = 32819",
                                                  "&Help/Go to Update Website... = 32828",
                                                  "&Help/Contact Norvel Tarpis... = 32829",
                                                  "&Help/-",
                                                  "&Help/&About Hexmont... = 57664",
                                              }));
}

TEST_F(HexmontTest, EachAcceleratorSendsItsCommand) {
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
  // Ctrl+P prints through the view (which takes the command before the frame).
  h().Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(h().printUi().printDialogs, 1);
}

// ---- View
// ----------------------------------------------------------------------------------------

TEST_F(HexmontTest, ClickInTheViewReachesTheFrameWithZeroParameters) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Message(frame(), WM_LBUTTONDOWN);
  QTest::mouseClick(h().view()->GetClientWidget(), Qt::LeftButton, Qt::ShiftModifier,
                    QPoint(37, 21));
  EXPECT_THAT(probe.messages, ElementsAre(FrameProbe::Sent{WM_LBUTTONDOWN, 0, 0}));
}

TEST_F(HexmontTest, EndOfPrintPreviewSendsTheFrameASizeWithZeroParameters) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Message(frame(), WM_SIZE);
  EXPECT_TRUE(h().Send(ID_FILE_PRINT_PREVIEW));
  EXPECT_EQ(h().printUi().previews, 1);
  EXPECT_THAT(probe.messages, ElementsAre(FrameProbe::Sent{WM_SIZE, 0, 0}));
}

// ---- Document -----------------------------------------------------------------------------------

TEST_F(HexmontTest, StockDocumentCommandsTouchNeitherCardsNorData) {
  ASSERT_TRUE(h().Start());
  quarnfake::ClearCalls();
  auto& files = *h().services().fileDialog;

  h().Key(Qt::Key_N, Qt::ControlModifier);  // silent: no dialog, no box
  EXPECT_EQ(files.count(), 0u);

  h().Key(Qt::Key_O, Qt::ControlModifier);  // the open dialog, no filter of its own
  ASSERT_EQ(files.count(), 1u);
  EXPECT_FALSE(files.last().save);
  EXPECT_EQ(files.last().filter, "");  // shown as "All Files (*.*)"

  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(frame().GetWindowText(), "Quarn Multi Performance");
}

// Ctrl+S saves nothing: no dialog opens, and the file a dialog would have been answered with keeps
// its bytes (the stock document save, which Ctrl+S used to send, wrote an empty file over it).
TEST_F(HexmontTest, CtrlSWritesNoFile) {
  ASSERT_TRUE(h().Start());
  auto& files = *h().services().fileDialog;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("hexmont_doc_" + std::to_string(::getpid()));
  std::ofstream(path) << "old contents";
  files.ScriptPath(path.string());
  h().Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(files.count(), 0u);
  EXPECT_EQ(std::filesystem::file_size(path), 12u);  // "old contents"
  std::filesystem::remove(path);
}

// ---- Help
// ------------------------------------------------------------------------------------------

TEST_F(HexmontTest, HelpLinksOpenTheirAddressesAndReportAFailedShell) {
  ASSERT_TRUE(h().Start());
  auto& shell = *h().services().shell;
  EXPECT_TRUE(h().IsEnabled(hexmont::ID_HELP_UPDATE_WEBSITE));
  EXPECT_TRUE(h().IsEnabled(hexmont::ID_HELP_CONTACT));

  EXPECT_TRUE(h().Menu(hexmont::ID_HELP_UPDATE_WEBSITE));  // success (33): no box
  EXPECT_EQ(boxes().count(), 0u);

  shell.SetResult(32);  // 32 is already a failure
  EXPECT_TRUE(h().Send(hexmont::ID_HELP_UPDATE_WEBSITE));
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, "Sorry: cannot access web location");
  EXPECT_EQ(boxes().last().caption, "Hexmont");
  EXPECT_EQ(boxes().last().style & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);

  EXPECT_TRUE(h().Send(hexmont::ID_HELP_CONTACT));
  ASSERT_EQ(boxes().count(), 2u);
  EXPECT_EQ(boxes().last().text, "Sorry: cannot access email");

  EXPECT_THAT(shell.addresses(),
              ElementsAre("https://quarn.example/update", "https://quarn.example/update",
                          "mailto:Quarn Support <support@quarn.example>"));
}

TEST_F(HexmontTest, AboutRunsDialogTemplate100) {
  ASSERT_TRUE(h().Start());
  EXPECT_TRUE(h().Menu(ID_APP_ABOUT));
  EXPECT_THAT(h().dialogs, ElementsAre(100u));
}

// ---- Closing
// ---------------------------------------------------------------------------------------

// The cards end when the frame object goes, in the exit step, while the single-instance lock is
// still held: a second Hexmont starting meanwhile is refused rather than opening a card this one
// still holds.
TEST_F(HexmontTest, CardsEndAtExitWhileTheLockIsStillHeld) {
  quarnfake::SetCardCount(2);
  ASSERT_TRUE(h().Start());
  quarnfake::ClearCalls();
  EXPECT_TRUE(h().Send(ID_APP_EXIT));
  EXPECT_EQ(h().app().m_pMainWnd, nullptr);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty()) << "the window's close ends no card";
  std::vector<bool> lockedDuringEnd;
  quarnfake::OnCall("EndQuarnCard", [&] {
    lockedDuringEnd.push_back(CreateNamedMutex(hexmont::kMutexName).alreadyExists());
  });
  EXPECT_EQ(h().Exit(), 0);
  EXPECT_THAT(quarnfake::Calls().Texts(), ElementsAre("EndQuarnCard(h1)", "EndQuarnCard(h2)"));
  EXPECT_THAT(lockedDuringEnd, ElementsAre(true, true));
  EXPECT_FALSE(CreateNamedMutex(hexmont::kMutexName).alreadyExists());
}

TEST_F(HexmontTest, CloseStopsLiveVideoOrSnapThroughTheirCommands) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Commands(frame(), {ID_VIEW_CAPTURE, ID_VIEW_SNAP});
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kLive;
  frame().SendMessage(WM_CLOSE);
  EXPECT_THAT(probe.commands, ElementsAre(ID_VIEW_CAPTURE));
}

TEST_F(HexmontTest, CloseDuringSnapSendsSnap) {
  ASSERT_TRUE(h().Start());
  FrameProbe probe;
  probe.Commands(frame(), {ID_VIEW_CAPTURE, ID_VIEW_SNAP});
  HexmontFrameProbe::Mode(frame()) = AcquisitionMode::kSnap;
  frame().SendMessage(WM_CLOSE);
  EXPECT_THAT(probe.commands, ElementsAre(ID_VIEW_SNAP));
}

TEST_F(HexmontTest, PlaybackOrIdleCloseSendsNoAcquisitionCommand) {
  for (AcquisitionMode mode : {AcquisitionMode::kPlayback, AcquisitionMode::kIdle}) {
    h_.reset();  // a fresh program for each mode
    SetUp();
    ASSERT_TRUE(h().Start());
    FrameProbe probe;
    probe.Commands(frame(), {ID_VIEW_CAPTURE, ID_VIEW_SNAP});
    HexmontFrameProbe::Mode(frame()) = mode;
    HexmontFrameProbe::Stepping(frame()) = false;
    frame().SendMessage(WM_CLOSE);
    EXPECT_THAT(probe.commands, IsEmpty()) << "mode " << static_cast<int>(mode);
  }
}

}  // namespace
