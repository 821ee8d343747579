#include "app/translations.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace tarvik::app {

bool InstallRussianQtTexts(QCoreApplication& application) {
  // The translator lives as long as the application that owns it.
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_ru"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace tarvik::app
