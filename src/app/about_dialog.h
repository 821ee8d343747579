#pragma once

#include <string>

#include <QDialog>
#include <QString>

namespace tarvik::app {

// The text of «О программе» (rich text): the program and its version, the
// Qt it runs on, R's version and folder (`rVersion` as rbridge::RVersion
// gives it; «R не найден» when `rDirectory` is kRNotFound or empty), the
// licence.
QString AboutText(const std::string& rDirectory, const std::string& rVersion);

// «О программе»: AboutText and a close button. Not modal.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const QString& text, QWidget* parent = nullptr);
};

}  // namespace tarvik::app
