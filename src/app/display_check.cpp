#include "app/display_check.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tarvik::app {
namespace {

QtMessageHandler previousHandler = nullptr;
DisplaySettings guardedSettings;

void WriteToTerminal(const QString& text) {
  std::fputs(text.toUtf8().constData(), stderr);
  std::fflush(stderr);
}

void FatalToExit(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (previousHandler) previousHandler(type, context, message);
    return;
  }
  WriteToTerminal(PlatformFailureMessage(guardedSettings, message));
  // The application object is half built: leave without running destructors.
  std::_Exit(1);
}

}  // namespace

DisplaySettings CurrentDisplaySettings(const QStringList& arguments) {
  DisplaySettings settings{qEnvironmentVariable("QT_QPA_PLATFORM"),
                           qEnvironmentVariable("DISPLAY"),
                           qEnvironmentVariable("WAYLAND_DISPLAY")};
  for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("-platform") || arguments[i] == QLatin1String("--platform"))
      settings.Platform = arguments[i + 1];
  }
  return settings;
}

bool HasDisplay(const DisplaySettings& settings) {
  return !settings.Platform.isEmpty() || !settings.Display.isEmpty() ||
         !settings.WaylandDisplay.isEmpty();
}

QString NoDisplayMessage() {
  return QStringLiteral(
      "Tarvik — программа с окнами, а графического дисплея здесь нет: не заданы ни DISPLAY, "
      "ни WAYLAND_DISPLAY.\n"
      "Запустите Tarvik в графическом сеансе (на удалённой машине — через ssh -X); "
      "без окон те же расчёты выполняет tarvik-cli.\n"
      "Tarvik is a desktop program, but there is no display here: neither DISPLAY nor "
      "WAYLAND_DISPLAY is set.\n"
      "Start Tarvik in a graphical session (on a remote machine, through ssh -X); "
      "tarvik-cli runs the same workflow without windows.\n");
}

QString PlatformFailureMessage(const DisplaySettings& settings, const QString& qtDetails) {
  // What was given, e.g. "DISPLAY=:0" or "платформа Qt xcb, DISPLAY=:0".
  const auto given = [&settings](const QString& platformWord) {
    QStringList parts;
    if (!settings.Platform.isEmpty()) parts << platformWord + settings.Platform;
    if (!settings.Display.isEmpty()) parts << QStringLiteral("DISPLAY=") + settings.Display;
    if (!settings.WaylandDisplay.isEmpty())
      parts << QStringLiteral("WAYLAND_DISPLAY=") + settings.WaylandDisplay;
    return parts.join(QStringLiteral(", "));
  };
  return QStringLiteral(
             "Tarvik — программа с окнами, но открыть окно не удалось (%1): графический сеанс "
             "недоступен или у Qt нет нужного модуля платформы. Сообщение Qt — ниже.\n"
             "Tarvik is a desktop program, but it could not open a window (%2): the graphical "
             "session cannot be reached or Qt lacks the platform plugin it needs. Qt's message "
             "follows.\n\n%3\n")
      .arg(given(QStringLiteral("платформа Qt ")), given(QStringLiteral("Qt platform ")),
           qtDetails.trimmed());
}

PlatformFailureGuard::PlatformFailureGuard(DisplaySettings settings) {
  guardedSettings = std::move(settings);
  previousHandler = qInstallMessageHandler(FatalToExit);
}

PlatformFailureGuard::~PlatformFailureGuard() { qInstallMessageHandler(previousHandler); }

}  // namespace tarvik::app
