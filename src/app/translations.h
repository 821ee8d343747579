#pragma once

#include <QCoreApplication>

namespace tarvik::app {

// Installs Qt's own Russian texts (qtbase_ru from Qt's translations folder)
// for the standard dialogs, menus and message-box buttons, whatever the
// system's locale. False when the translation file is missing; the program
// then runs with Qt's English standard texts.
bool InstallRussianQtTexts(QCoreApplication& application);

}  // namespace tarvik::app
