#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "app/translations.h"

// The window tests need a QApplication; without a display they run on the
// offscreen platform. Qt's standard texts are Russian, as in the program.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The recovery file and the recent assessments of each test process stay
  // in a folder of its own, never the user's.
  QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tarvik_app_test_XXXXXX"));
  qputenv("XDG_DATA_HOME", home.path().toUtf8() + "/data");
  qputenv("XDG_CONFIG_HOME", home.path().toUtf8() + "/config");
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tarvik");
  tarvik::app::InstallRussianQtTexts(application);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
