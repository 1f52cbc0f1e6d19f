// resources_test.cpp - menus built from a table (texts, ids, separators, order),
// accelerator keys reaching their command ids, and icons named by size.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include "test_program.h"

namespace {

TEST(MenuTableTest, BuildsPopupsItemsAndSeparatorsInOrder) {
  FrameworkHarness<TestApp> h(TestResources());
  ASSERT_TRUE(h.Start());
  QMenuBar* bar = h.frame()->GetMenuBar();
  const QList<QAction*> tops = bar->actions();
  ASSERT_EQ(tops.size(), 3);
  EXPECT_EQ(tops[0]->text(), "&File");
  EXPECT_EQ(tops[2]->text(), "&Help");
  const QList<QAction*> file = tops[0]->menu()->actions();
  ASSERT_EQ(file.size(), 5);
  EXPECT_EQ(file[0]->text(), "&Print...\tCtrl+P");  // the shortcut text after the tab
  EXPECT_EQ(file[0]->data().toUInt(), ID_FILE_PRINT);
  EXPECT_EQ(file[2]->data().toUInt(), ID_FILE_PRINT_SETUP);
  EXPECT_TRUE(file[3]->isSeparator());
  EXPECT_EQ(file[4]->text(), "E&xit");
  EXPECT_EQ(file[4]->data().toUInt(), ID_APP_EXIT);
  // Fault caught: the tab text registered as a real shortcut, clashing with the accelerators.
  EXPECT_TRUE(file[0]->shortcut().isEmpty());
}

TEST(AcceleratorTest, KeysSendTheirCommands) {
  FrameworkHarness<TestApp> h(TestResources());
  ASSERT_TRUE(h.Start());
  auto* frame = h.frameAs<TestFrame>();
  h.Key(Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(frame->log.back(), "frame:capture");
  // Ctrl+N: a new document, silently.
  h.Key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(h.services().messageBox->count(), 0u);
  EXPECT_EQ(h.services().fileDialog->count(), 0u);
  // Ctrl+O: the open dialog listing everything (the template names no filter).
  h.Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(h.services().fileDialog->count(), 1u);
  EXPECT_FALSE(h.services().fileDialog->last().save);
  EXPECT_EQ(h.services().fileDialog->last().filter, "");
  // Copy, cut, undo and pane keys have no handler: nothing happens.
  const size_t before = frame->log.size();
  h.Key(Qt::Key_C, Qt::ControlModifier);
  h.Key(Qt::Key_Delete, Qt::ShiftModifier);
  h.Key(Qt::Key_Backspace, Qt::AltModifier);
  h.Key(Qt::Key_F6);
  EXPECT_EQ(frame->log.size(), before);
}

TEST(AcceleratorTest, TableEntriesBecomeKeySequences) {
  EXPECT_EQ(AccelKeySequence({'1', FCONTROL, 1}), QKeySequence(Qt::CTRL | Qt::Key_1));
  EXPECT_EQ(AccelKeySequence({VK_INSERT, FSHIFT, 1}), QKeySequence(Qt::SHIFT | Qt::Key_Insert));
  EXPECT_EQ(AccelKeySequence({VK_BACK, FALT, 1}), QKeySequence(Qt::ALT | Qt::Key_Backspace));
  EXPECT_EQ(AccelKeySequence({VK_F6, FSHIFT, 1}), QKeySequence(Qt::SHIFT | Qt::Key_F6));
}

TEST(StringTableTest, TemplateStringFields) {
  const std::string s = "Tester\n\nTester\n\n\nTester.Document\nTester Document";
  EXPECT_EQ(AfxExtractSubString(s, 0), "Tester");
  EXPECT_EQ(AfxExtractSubString(s, 1), "");
  EXPECT_EQ(AfxExtractSubString(s, 5), "Tester.Document");
  EXPECT_EQ(AfxExtractSubString(s, 6), "Tester Document");
  EXPECT_EQ(AfxExtractSubString(s, 7), "");
}

TEST(IconTableTest, AnEntryNamesOneFileEachSize) {
  QTemporaryDir dir;
  const std::string small = dir.filePath("icon16.png").toStdString();
  const std::string large = dir.filePath("icon32.png").toStdString();
  const auto save = [](int size, const std::string& path) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image.save(QString::fromStdString(path));
  };
  ASSERT_TRUE(save(16, small));
  ASSERT_TRUE(save(32, large));
  auto res = std::make_shared<ResourceSet>(*TestResources());
  res->icons[1] = small + ";" + large;
  res->icons[2] = "";
  res->icons[3] = dir.filePath("missing.png").toStdString();
  res->icons[4] = small + ";";
  FrameworkHarness<TestApp> h(res);
  const struct {
    UINT id;
    QList<QSize> sizes;  // none: a null icon (the stock icon is shown)
  } cases[] = {
      {1, {QSize(16, 16), QSize(32, 32)}},
      {2, {}},
      {3, {}},
      {4, {QSize(16, 16)}},
      {5, {}},  // no entry
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const QIcon icon = ResourceIcon(c.id);
    EXPECT_EQ(icon.isNull(), c.sizes.isEmpty());
    EXPECT_EQ(icon.availableSizes(), c.sizes);
  }
}

}  // namespace
