#pragma once

#include <QString>
#include <QStringList>

namespace tarvik::app {

// What decides where Qt will open its windows, read before QApplication
// exists: without a reachable display Qt stops the program with a
// platform-plugin error that does not tell a user what is wrong.
struct DisplaySettings {
  QString Platform;        // QT_QPA_PLATFORM, or the value of a -platform argument
  QString Display;         // DISPLAY (X11)
  QString WaylandDisplay;  // WAYLAND_DISPLAY
};

// The settings of this process: the environment and the command line
// ("-platform NAME" or "--platform NAME" wins over QT_QPA_PLATFORM, as in Qt).
DisplaySettings CurrentDisplaySettings(const QStringList& arguments);

// False when nothing tells Qt where to draw: no platform chosen and neither
// an X11 nor a Wayland display. A chosen platform (offscreen, vnc …) counts
// as a display.
bool HasDisplay(const DisplaySettings& settings);

// The terminal text when HasDisplay is false: Russian first, then English.
QString NoDisplayMessage();

// The terminal text when Qt could not start its platform although a display
// or platform was given; `qtDetails` is Qt's own message, quoted after ours.
QString PlatformFailureMessage(const DisplaySettings& settings, const QString& qtDetails);

// Until the returned guard is destroyed, a fatal Qt message (the only one
// QApplication's constructor sends is the failed platform start) prints
// PlatformFailureMessage and ends the program with exit code 1 instead of
// aborting. Other messages go to the handler installed before.
class PlatformFailureGuard {
 public:
  explicit PlatformFailureGuard(DisplaySettings settings);
  ~PlatformFailureGuard();
  PlatformFailureGuard(const PlatformFailureGuard&) = delete;
  PlatformFailureGuard& operator=(const PlatformFailureGuard&) = delete;
};

}  // namespace tarvik::app
