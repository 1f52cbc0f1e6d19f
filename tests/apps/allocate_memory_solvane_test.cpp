// allocate_memory_solvane_test.cpp - the Allocate Memory dialog as Solvane runs it: owned by the
// main frame and calling the library through the frame's card object, and inert without a card
// object (nothing read, nothing validated, nothing requested).
#include <QPushButton>
#include <optional>
#include <string>

#include "allocate_memory_dlg.h"
#include "main_frm.h"
#include "program_test_support.h"
#include "resources.h"
#include "solvane_app.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Harness = FrameworkHarness<CSolvaneApp>;

void Click(CDialog& d, UINT id) {
  auto* button = qobject_cast<QPushButton*>(d.GetDlgItem(id)->GetWidget());
  ASSERT_NE(button, nullptr);
  button->click();
}

class SolvaneAllocateMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h_ = std::make_unique<Harness>(SolvaneResources());
    ASSERT_TRUE(h_->Start());
    quarnfake::SetStaticMemPages(1024);
    quarnfake::ClearCalls();
  }

  Harness& h() { return *h_; }
  CMainFrame& frame() { return *h_->frameAs<CMainFrame>(); }
  RecordingMessageBox& boxes() { return *h_->services().messageBox; }

  quarnfake::ScopedFake fake_;
  std::unique_ptr<Harness> h_;
};

TEST_F(SolvaneAllocateMemoryTest, MenuCommandRunsDialog132OverTheFrameWithItsCard) {
  EXPECT_TRUE(h().IsEnabled(ID_PARAM_ALLOCATE_MEMORY));
  boxes().SetYesNoAnswer(IDNO);
  CWnd* owner = nullptr;
  CVideoCard* card = nullptr;
  std::string allocated;
  h().dialogDriver = [&](CDialog& d) {
    owner = d.GetParent();
    if (auto* dlg = dynamic_cast<CAllocateMemoryDlg*>(&d)) card = dlg->m_pCard;
    allocated = d.GetDlgItemText(IDC_ALLOC_ALLOCATED);
    d.SetDlgItemText(IDC_ALLOC_PAGES, "3000");
    Click(d, IDOK);
  };
  ASSERT_TRUE(h().Menu(ID_PARAM_ALLOCATE_MEMORY));
  EXPECT_THAT(h().dialogs, ElementsAre(IDD_ALLOCATE_MEMORY));
  EXPECT_EQ(owner, &frame());
  EXPECT_EQ(card, &frame().Card());
  EXPECT_EQ(allocated, "1024 Pages (4096 KB)");
  EXPECT_EQ(quarnfake::PendingStaticMemPages(), std::optional<int>(3000));
  EXPECT_EQ(boxes().last().text, "Please Reboot later!");
}

TEST_F(SolvaneAllocateMemoryTest, WithoutACardObjectTheDialogReadsValidatesAndRequestsNothing) {
  CAllocateMemoryDlg dialog(&frame(), nullptr);
  h().dialogDriver = [&](CDialog& d) {
    EXPECT_EQ(d.GetDlgItemText(IDC_ALLOC_ALLOCATED), "");
    EXPECT_EQ(d.GetDlgItemText(IDC_ALLOC_STATUS), "");
    EXPECT_EQ(d.GetDlgItemText(IDC_ALLOC_PAGES), "0");
    d.SetDlgItemText(IDC_ALLOC_PAGES, "abc");  // not even validated
    Click(d, IDOK);
  };
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_THAT(quarnfake::Calls().Texts(), IsEmpty());
  EXPECT_EQ(boxes().count(), 0u);
  EXPECT_EQ(dialog.m_nPages, 0u);
}

}  // namespace
