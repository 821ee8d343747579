#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QVBoxLayout>
#include <QtGlobal>

#include "app/locale_mark.h"
#include "rbridge/r_runner.h"
#include "tarvik_version.h"

namespace tarvik::app {

QString AboutText(const std::string& rDirectory, const std::string& rVersion) {
  QString r;
  if (rDirectory.empty() || rDirectory == rbridge::kRNotFound) {
    r = QStringLiteral("R не найден");
  } else {
    const QString version = rVersion.empty() ? QStringLiteral("версия не определена")
                                             : FromUtf8(rVersion).toHtmlEscaped();
    r = version + QStringLiteral("<br>папка: ") +
        QDir::toNativeSeparators(FromUtf8(rDirectory)).toHtmlEscaped();
  }
  return QStringLiteral(
             "<h3>Тарвик — оценка запаса и ОДУ</h3>"
             "<p>Tarvik, версия %1</p>"
             "<p>Qt %2 (сборка с Qt %3)</p>"
             "<p>%4</p>"
             "<p>%5</p>")
      .arg(QString::fromLatin1(kVersion), QString::fromLatin1(qVersion()),
           QStringLiteral(QT_VERSION_STR), r, FromUtf8(kLicence).toHtmlEscaped());
}

AboutDialog::AboutDialog(const QString& text, QWidget* parent) : QDialog(parent) {
  setObjectName("AboutDialog");
  setWindowTitle(QStringLiteral("О программе"));
  auto* label = new QLabel(text);
  label->setObjectName("AboutText");
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

}  // namespace tarvik::app
