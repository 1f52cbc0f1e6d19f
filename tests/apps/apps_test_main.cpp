// apps_test_main.cpp - runs the program tests inside a QApplication on Qt's offscreen platform,
// with the single-instance locks and the configuration in a private temporary folder, so a
// program running on the same machine neither refuses nor is refused by the tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Every test starts without QuarnCard.ini: the programs write it when they close, and a value
// one test leaves behind must not become the next test's start-up parameter.
class FreshParameterFile : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + "/QuarnCard.ini");
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QTemporaryDir runtime;
  if (!runtime.isValid()) return 1;
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", runtime.filePath("config").toLocal8Bit());
  // The listener list takes ownership of the listener.
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshParameterFile);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
