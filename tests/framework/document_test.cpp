// document_test.cpp - the stock document commands on a document that holds nothing.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "test_program.h"

namespace {

TEST(DocumentTest, NewIsSilentAndOpenReadsNothing) {
  FrameworkHarness<TestApp> h(TestResources());
  ASSERT_TRUE(h.Start());
  auto* doc = dynamic_cast<TestDoc*>(h.document());
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(h.Send(ID_FILE_NEW));
  EXPECT_EQ(h.services().fileDialog->count(), 0u);
  EXPECT_EQ(h.services().messageBox->count(), 0u);
  // The same frame stays (no second window for a new document).
  EXPECT_EQ(h.frame()->GetActiveDocument(), doc);

  h.services().fileDialog->ScriptCancel();
  EXPECT_TRUE(h.Send(ID_FILE_OPEN));
  EXPECT_EQ(doc->serializeLoads, 0);  // cancelled: nothing read
  h.services().fileDialog->ScriptPath("/nonexistent/whatever.bin");
  EXPECT_TRUE(h.Send(ID_FILE_OPEN));
  EXPECT_EQ(h.services().fileDialog->count(), 2u);
  EXPECT_EQ(doc->serializeStores, 0);
}

TEST(DocumentTest, SaveAsksOnceThenWritesEmptyFiles) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("saved.doc").toStdString();
  FrameworkHarness<TestApp> h(TestResources());
  ASSERT_TRUE(h.Start());
  h.services().fileDialog->ScriptPath(path);
  EXPECT_TRUE(h.Send(ID_FILE_SAVE));
  ASSERT_EQ(h.services().fileDialog->count(), 1u);
  EXPECT_TRUE(h.services().fileDialog->last().save);
  QFileInfo info(QString::fromStdString(path));
  ASSERT_TRUE(info.exists());
  EXPECT_EQ(info.size(), 0);
  // Later saves reuse the name without a dialog.
  EXPECT_TRUE(h.Send(ID_FILE_SAVE));
  EXPECT_EQ(h.services().fileDialog->count(), 1u);
  EXPECT_EQ(h.document()->GetPathName(), path);
}

TEST(AppTest, MessageBoxHasAppNameCaptionAndNoOwner) {
  FrameworkHarness<TestApp> h(TestResources());
  ASSERT_TRUE(h.Start());
  AfxMessageBox("The program is running!", MB_OK | MB_ICONEXCLAMATION);
  auto call = h.services().messageBox->last();
  EXPECT_EQ(call.caption, "Tester");
  EXPECT_EQ(call.owner, nullptr);
  EXPECT_EQ(call.style, MB_ICONEXCLAMATION);
}

}  // namespace
