#include <gtest/gtest.h>

#include <QApplication>

#include "app/translations.h"

// The window tests need a QApplication; without a display they run on the
// offscreen platform. Qt's standard texts are Russian, as in the program.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tarvik");
  tarvik::app::InstallRussianQtTexts(application);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
