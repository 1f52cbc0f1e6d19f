// allocate_memory_hexmont_test.cpp - the Allocate Memory dialog as Hexmont runs it from its menu,
// on the recording capture library and the service doubles: what it shows on opening (also when
// the library cannot report the reservation), the framework's validation keeping it open, the
// unchanged count that calls nothing, the request and its failure, and the restart question with
// both answers and a refused restart.
#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "allocate_memory_dlg.h"
#include "hexmont_app.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "reboot.h"
#include "resources.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CHexmontApp>;

// What the three run-time controls show.
struct Shown {
  std::string allocated;
  std::string status;
  std::string pages;
  bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
  *os << "{\"" << s.allocated << "\", \"" << s.status << "\", \"" << s.pages << "\"}";
}

Shown ShownBy(const CDialog& d) {
  return {d.GetDlgItemText(IDC_ALLOC_ALLOCATED), d.GetDlgItemText(IDC_ALLOC_STATUS),
          d.GetDlgItemText(IDC_ALLOC_PAGES)};
}

// As the user: replaces the edit box's text, then clicks a button.
void Type(CDialog& d, const std::string& text) {
  d.SetDlgItemText(IDC_ALLOC_PAGES, text);
}
void Click(CDialog& d, UINT id) {
  auto* button = qobject_cast<QPushButton*>(d.GetDlgItem(id)->GetWidget());
  ASSERT_NE(button, nullptr);
  button->click();
}

class HexmontAllocateMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h_ = std::make_unique<Harness>(HexmontResources());
    ASSERT_TRUE(h_->Start());
    quarnfake::SetStaticMemPages(1024);
    quarnfake::ClearCalls();
  }

  // Chooses "Allocate Memory..." from the menu; `driver` plays the user inside the dialog.
  void Open(std::function<void(CDialog&)> driver) {
    h().dialogDriver = std::move(driver);
    ASSERT_TRUE(h().Menu(ID_PARAM_ALLOCATE_MEMORY));
  }
  // Opens the dialog, types `pages` and presses OK; the dialog must close.
  void Request(const std::string& pages) {
    Open([&](CDialog& d) {
      Type(d, pages);
      Click(d, IDOK);
      EXPECT_TRUE(d.IsEnded());
    });
  }

  Harness& h() { return *h_; }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }
  RecordingRestart& restart() { return *h_->services().restart; }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

TEST_F(HexmontAllocateMemoryTest, MenuCommandIsAlwaysEnabledAndRunsDialog132WithoutOwner) {
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));  // live video does not disable it
  EXPECT_TRUE(h().IsEnabled(ID_PARAM_ALLOCATE_MEMORY));
  CWnd* owner = h().frame();  // stays non-null unless the dialog ran
  std::string caption;
  Open([&](CDialog& d) {
    owner = d.GetParent();
    caption = d.GetWidget()->windowTitle().toStdString();
  });
  EXPECT_THAT(h().dialogs, ElementsAre(IDD_ALLOCATE_MEMORY));
  EXPECT_EQ(owner, nullptr);  // the framework puts it over the main window itself
  EXPECT_EQ(caption, "Allocate memory");
  ASSERT_TRUE(h().Send(ID_VIEW_CAPTURE));
}

TEST_F(HexmontAllocateMemoryTest, OpeningShowsTheReservationAndWhetherTheLibraryReportedIt) {
  std::vector<Shown> shown;
  auto record = [&](CDialog& d) { shown.push_back(ShownBy(d)); };
  Open(record);
  quarnfake::SetStaticMemPages(10000000);
  Open(record);
  // A failing report writes nothing: the count the dialog started with (0) is shown.
  quarnfake::Script("QuarnGetStaticMem").Returns(QUARN_ERR_GENERAL);
  Open(record);
  EXPECT_THAT(shown, ElementsAre(Shown{"1024 Pages (4096 KB)", "Allocation is successful.", "1024"},
                                 Shown{"10000000 Pages (40000000 KB)", "Allocation is successful.",
                                       "10000000"},
                                 Shown{"0 Pages (0 KB)", "Allocation is unsuccessful.", "0"}));
  EXPECT_EQ(boxes().count(), 0u);
}

TEST_F(HexmontAllocateMemoryTest, OkWithTheCountUnchangedRequestsNothingAndShowsNothing) {
  Open([&](CDialog& d) {
    Type(d, " 1024");  // surrounding blanks still read as the same number
    Click(d, IDOK);
    EXPECT_TRUE(d.IsEnded());
  });
  EXPECT_EQ(quarnfake::CallCount("QuarnSetStaticMem"), 0u);
  EXPECT_EQ(quarnfake::CallCount("QuarnGetStaticMem"), 2u);  // on opening and on OK
  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_THAT(restart().calls(), IsEmpty());
}

// Each bad entry shows the framework's text, puts the focus back on the edit box and leaves the
// dialog open with nothing requested; a later good entry still goes through.
TEST_F(HexmontAllocateMemoryTest, BadEntriesShowTheFrameworksMessageAndKeepTheDialogOpen) {
  struct Case {
    const char* entry;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"10000001", "Please enter an integer between 0 and 10000000."},
      {"abc", "Please enter a positive integer."},
      {"-1", "Please enter a positive integer."},
      {"", "Please enter a positive integer."},
  };
  Open([&](CDialog& d) {
    d.GetWidget()->show();
    QWidget* edit = d.GetDlgItem(IDC_ALLOC_PAGES)->GetWidget();
    for (const Case& c : cases) {
      SCOPED_TRACE(c.entry);
      d.GetDlgItem(IDOK)->GetWidget()->setFocus();
      ASSERT_NE(d.GetWidget()->focusWidget(), edit);
      boxes().Clear();
      Type(d, c.entry);
      Click(d, IDOK);
      EXPECT_FALSE(d.IsEnded());
      ASSERT_EQ(boxes().count(), 1u);
      EXPECT_EQ(boxes().last().text, c.message);
      EXPECT_EQ(boxes().last().style, MB_ICONEXCLAMATION);
      EXPECT_EQ(d.GetWidget()->focusWidget(), edit);
    }
    EXPECT_EQ(quarnfake::CallCount("QuarnSetStaticMem"), 0u);
    Click(d, IDCANCEL);
  });
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), std::nullopt);
}

TEST_F(HexmontAllocateMemoryTest, ZeroPagesIsRequestedAndNoLeavesTheRestartForLater) {
  boxes().SetYesNoAnswer(IDNO);
  CWnd* dialog = nullptr;
  Open([&](CDialog& d) {
    dialog = &d;
    Type(d, "0");
    Click(d, IDOK);
    EXPECT_TRUE(d.IsEnded());
  });
  EXPECT_THAT(quarnfake::Calls("QuarnSetStaticMem").Texts(), ElementsAre("QuarnSetStaticMem(0)"));
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), std::optional<int>(0));
  const std::vector<RecordingMessageBox::Call> shown = boxes().calls();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, " Changed Pages. Let setting avail, \n you must reboot! Now, Reboot?");
  EXPECT_EQ(shown[0].caption, "Notice");
  EXPECT_EQ(shown[0].style, MB_YESNO);
  EXPECT_EQ(shown[0].owner, dialog);
  EXPECT_EQ(shown[1].text, "Please Reboot later!");
  EXPECT_EQ(shown[1].caption, "Notice");
  EXPECT_EQ(shown[1].style, MB_OK);
  EXPECT_THAT(restart().calls(), IsEmpty());
}

TEST_F(HexmontAllocateMemoryTest, FailedRequestIsReportedAndOffersNoRestart) {
  quarnfake::Script("QuarnSetStaticMem").Returns(QUARN_ERR_GENERAL);
  Request("2048");
  ASSERT_EQ(boxes().count(), 1u);
  EXPECT_EQ(boxes().last().text, "Failed to Allocate Memory.");
  EXPECT_EQ(boxes().last().caption, "Hexmont");
  EXPECT_EQ(boxes().last().style, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_THAT(restart().calls(), IsEmpty());
}

TEST_F(HexmontAllocateMemoryTest, YesRestartsOnceWhenAllowedAndIgnoresTheOutcome) {
  restart().SetRestartResult(false);  // a refused request shows nothing more
  Request("2048");
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), std::optional<int>(2048));
  EXPECT_THAT(restart().calls(),
              ElementsAre(RecordingRestart::Call::kCanRestart, RecordingRestart::Call::kRestart));
  EXPECT_EQ(boxes().count(), 1u);  // the question alone
}

TEST_F(HexmontAllocateMemoryTest, YesWithoutThePermissionToRestartSaysSoAndDoesNotRestart) {
  restart().SetCanRestart(false);
  Request("2048");
  EXPECT_EQ(restart().restarts(), 0);
  ASSERT_EQ(boxes().count(), 2u);
  EXPECT_EQ(boxes().last().text, "Current proccess can't apply for the reboot priviledge!");
  EXPECT_EQ(boxes().last().caption, "Hexmont");
  EXPECT_EQ(boxes().last().style, MB_OK);
  // The request stays in force for the next restart.
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), std::optional<int>(2048));
}

TEST_F(HexmontAllocateMemoryTest, CancelCallsNothing) {
  Open([&](CDialog& d) {
    quarnfake::ClearCalls();
    Type(d, "4096");
    Click(d, IDCANCEL);
    EXPECT_TRUE(d.IsEnded());
  });
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_THAT(restart().calls(), IsEmpty());
}

}  // namespace
