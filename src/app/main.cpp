#include <QApplication>

#include "app/main_window.h"
#include "app/qt_services.h"
#include "app/translations.h"
#include "rbridge/r_runner.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // No display name: Qt would append it to every window caption, and the
  // main window's caption is exactly "Tarvik 4.0".
  QApplication::setApplicationName("Tarvik");
  if (!tarvik::app::InstallRussianQtTexts(application)) {
    qWarning("Qt's Russian texts (qtbase_ru) not found; standard dialogs stay in English");
  }

  tarvik::app::QtUiServices ui;
  // The main window shows the welcome window and shows itself when the user
  // starts work.
  tarvik::app::MainWindow window(ui, tarvik::rbridge::DefaultRSearchPath());
  ui.SetParentWindow(&window);
  return QApplication::exec();
}
