#include <QApplication>

#include "app/main_window.h"
#include "app/qt_services.h"
#include "rbridge/r_runner.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tarvik");
  QApplication::setApplicationDisplayName("Tarvik");

  tarvik::app::QtUiServices ui;
  // The main window shows the welcome window and shows itself when the user
  // starts work.
  tarvik::app::MainWindow window(ui, tarvik::rbridge::DefaultRSearchPath());
  ui.SetParentWindow(&window);
  return QApplication::exec();
}
