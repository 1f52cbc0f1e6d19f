// services_test.cpp - the service doubles the system tests rely on (what they record and how
// their scripts answer), the file-dialog filter conversion and the message-box style mapping.
#include <gtest/gtest.h>

#include <thread>

#include "qt_services.h"
#include "recording_services.h"

namespace {

CWnd* const kOwner = reinterpret_cast<CWnd*>(0x1234);  // only compared, never used

// --- Doubles --------------------------------------------------------------------------------

TEST(ServiceDoubles, InstallPutsDoublesInForceAndScopeRestores) {
  const ServiceSet before = Services();
  {
    ScopedTestServices doubles;
    EXPECT_EQ(Services().messageBox, doubles->messageBox);
    EXPECT_EQ(Services().clock, doubles->clock);
    EXPECT_EQ(Services().restart, doubles->restart);
  }
  EXPECT_EQ(Services().messageBox, before.messageBox);
  EXPECT_EQ(Services().clock, before.clock);
}

TEST(ServiceDoubles, MessageBoxRecordsAndAnswersByStyle) {
  ScopedTestServices d;
  MessageBoxService& box = *Services().messageBox;
  EXPECT_EQ(box.Show(nullptr, "Failed", "Error message", MB_OK | MB_ICONWARNING), IDOK);
  EXPECT_EQ(box.Show(kOwner, "Reboot?", "Notice", MB_YESNO), IDYES) << "Yes/No default";
  d->messageBox->SetYesNoAnswer(IDNO);
  EXPECT_EQ(box.Show(nullptr, "Reboot?", "Notice", MB_YESNO), IDNO);
  d->messageBox->ScriptAnswers({IDYES, IDCANCEL});
  EXPECT_EQ(box.Show(nullptr, "a", "c", MB_YESNO), IDYES);
  EXPECT_EQ(box.Show(nullptr, "b", "c", MB_OK), IDCANCEL) << "a script beats the default";
  EXPECT_EQ(box.Show(nullptr, "c", "c", MB_OK), IDOK) << "script used up";

  const auto calls = d->messageBox->calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].owner, nullptr);
  EXPECT_EQ(calls[0].text, "Failed");
  EXPECT_EQ(calls[0].caption, "Error message");
  EXPECT_EQ(calls[0].style, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(calls[1].owner, kOwner);
  EXPECT_EQ(d->messageBox->last().text, "c");
}

TEST(ServiceDoubles, MessageBoxHookSeesTheBoxWhileShown) {
  ScopedTestServices d;
  std::string seen;
  d->messageBox->SetOnShow([&](const RecordingMessageBox::Call& call) { seen = call.text; });
  Services().messageBox->Show(nullptr, "now", "Notice", MB_OK);
  EXPECT_EQ(seen, "now");
}

TEST(ServiceDoubles, FileDialogScriptsPathsAndCancels) {
  ScopedTestServices d;
  d->fileDialog->ScriptPath("/tmp/a.bmp");
  d->fileDialog->ScriptCancel();
  std::string path = "unchanged";
  EXPECT_TRUE(
      Services().fileDialog->Save(kOwner, "BMP Files (*.bmp)|*.bmp||", "bmp", "frame", &path));
  EXPECT_EQ(path, "/tmp/a.bmp");
  path = "unchanged";
  EXPECT_FALSE(Services().fileDialog->Open(nullptr, "", "", &path));
  EXPECT_EQ(path, "unchanged") << "a cancel leaves the path alone";
  EXPECT_FALSE(Services().fileDialog->Open(nullptr, "", "", &path)) << "unscripted: cancel";

  const auto calls = d->fileDialog->calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[0].save);
  EXPECT_EQ(calls[0].owner, kOwner);
  EXPECT_EQ(calls[0].filter, "BMP Files (*.bmp)|*.bmp||");
  EXPECT_EQ(calls[0].defaultExt, "bmp");
  EXPECT_EQ(calls[0].initialName, "frame");
  EXPECT_FALSE(calls[1].save);
}

TEST(ServiceDoubles, ShellRecordsAddressesAndScriptedResult) {
  ScopedTestServices d;
  EXPECT_GT(Services().shell->Open("http://example.invalid/"), 32);
  d->shell->SetResult(2);
  EXPECT_LE(Services().shell->Open("mailto:Support <support@example.invalid>"), 32);
  EXPECT_EQ(d->shell->addresses(),
            (std::vector<std::string>{"http://example.invalid/",
                                      "mailto:Support <support@example.invalid>"}));
}

TEST(ServiceDoubles, RestartRecordsOrderAndScriptedAnswers) {
  ScopedTestServices d;
  d->restart->SetCanRestart(false);
  EXPECT_FALSE(Services().restart->CanRestart());
  d->restart->SetRestartResult(false);
  EXPECT_FALSE(Services().restart->Restart());
  EXPECT_EQ(d->restart->calls(),
            (std::vector<RecordingRestart::Call>{RecordingRestart::Call::kCanRestart,
                                                 RecordingRestart::Call::kRestart}));
  EXPECT_EQ(d->restart->restarts(), 1);
}

// The frame rate divides by (now - start + 1) in 32-bit unsigned arithmetic; the fake must
// wrap like the real tick count so that arithmetic can be tested across the wrap.
TEST(ServiceDoubles, FakeClockSleepsAdvanceAndWrap) {
  ScopedTestServices d;
  d->clock->SetTick(0xFFFFFFFEu);
  Services().clock->Sleep(1);
  Services().clock->Sleep(1);
  EXPECT_EQ(Services().clock->GetTickCount(), 0u);
  d->clock->Advance(40);
  EXPECT_EQ(Services().clock->GetTickCount(), 40u);
  EXPECT_EQ(d->clock->sleeps(), (std::vector<uint32_t>{1, 1}));
}

// The snap callback reads the clock on the library's thread while the test thread moves it.
TEST(ServiceDoubles, FakeClockIsSafeAcrossThreads) {
  ScopedTestServices d;
  std::thread reader([&] {
    uint32_t last = 0;
    for (int i = 0; i < 1000; ++i) {
      const uint32_t now = Services().clock->GetTickCount();
      EXPECT_GE(now, last);
      last = now;
    }
  });
  for (int i = 0; i < 1000; ++i) d->clock->Advance(1);
  reader.join();
  EXPECT_EQ(d->clock->GetTickCount(), 1000u);
}

// --- Qt mapping -----------------------------------------------------------------------------

TEST(QtServiceMapping, FileFilterConversion) {
  EXPECT_EQ(QtFileFilter("A|*.a|B|*.b||"), QStringLiteral("A (*.a);;B (*.b)"));
  // A description carrying its patterns keeps them once.
  EXPECT_EQ(QtFileFilter("BMP Files (*.bmp)|*.bmp||"), QStringLiteral("BMP Files (*.bmp)"));
  // "*.*" would hide names without a dot.
  EXPECT_EQ(QtFileFilter("All Files (*.*)|*.*||"), QStringLiteral("All Files (*)"));
  // Several patterns: ';' in the framework, spaces for Qt.
  EXPECT_EQ(QtFileFilter("Pictures (*.bmp;*.dib)|*.bmp;*.dib|All Files (*.*)|*.*||"),
            QStringLiteral("Pictures (*.bmp *.dib);;All Files (*)"));
  EXPECT_EQ(QtFileFilter(""), QStringLiteral("All Files (*)"));
  EXPECT_EQ(QtFileFilter("Frames|*.seq"), QStringLiteral("Frames (*.seq)")) << "no closing ||";
}

TEST(QtServiceMapping, MessageBoxStyles) {
  EXPECT_EQ(MessageBoxIcon(MB_OK | MB_ICONWARNING), QMessageBox::Warning);
  EXPECT_EQ(MessageBoxIcon(MB_ICONINFORMATION), QMessageBox::Information);
  EXPECT_EQ(MessageBoxIcon(MB_YESNO), QMessageBox::NoIcon);
  EXPECT_EQ(MessageBoxButtons(MB_OK | MB_ICONWARNING),
            QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(MessageBoxButtons(MB_YESNO), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(MessageBoxResult(QMessageBox::Yes), IDYES);
  EXPECT_EQ(MessageBoxResult(QMessageBox::No), IDNO);
  EXPECT_EQ(MessageBoxResult(QMessageBox::Ok), IDOK);
  EXPECT_EQ(OwnerWidget(kOwner), nullptr) << "no resolver: no owner window";
}

}  // namespace
