#include <QApplication>
#include <cstdio>
#include <optional>

#include "app/display_check.h"
#include "app/main_window.h"
#include "app/qt_services.h"
#include "app/translations.h"
#include "rbridge/r_runner.h"

int main(int argc, char* argv[]) {
  // Without a display Qt would stop with a platform-plugin error; say plainly
  // instead that this program needs a graphical session.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const tarvik::app::DisplaySettings display = tarvik::app::CurrentDisplaySettings(arguments);
  if (!tarvik::app::HasDisplay(display)) {
    std::fputs(tarvik::app::NoDisplayMessage().toUtf8().constData(), stderr);
    return 1;
  }

  std::optional<tarvik::app::PlatformFailureGuard> platformGuard(std::in_place, display);
  QApplication application(argc, argv);
  platformGuard.reset();
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
