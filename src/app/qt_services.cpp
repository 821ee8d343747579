#include "app/qt_services.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

namespace tarvik::app {

namespace {

// Standard boxes are titled with the application's name, as the platform's
// own error box is.
QString BoxTitle() { return QApplication::applicationName(); }

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, BoxTitle(), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

void QtUiServices::ShowInformation(const QString& text) {
  ShowBox(parent_, QMessageBox::Information, text);
}

void QtUiServices::ShowWarning(const QString& text) {
  ShowBox(parent_, QMessageBox::Warning, text);
}

void QtUiServices::ShowError(const QString& text) {
  ShowBox(parent_, QMessageBox::Critical, text);
}

std::optional<QString> QtUiServices::AskOpenFileName(const FileDialogOptions& options) {
  QFileDialog dialog(parent_, options.title, options.directory, options.filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> QtUiServices::AskSaveFileName(const FileDialogOptions& options) {
  QFileDialog dialog(parent_, options.title, options.directory, options.filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(options.defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString path = dialog.selectedFiles().front();
  // A native dialog may ignore the default suffix; append it here as well.
  if (!options.defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
    path += '.' + options.defaultSuffix;
  }
  return path;
}

QString QtUiServices::ClipboardText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard != nullptr ? clipboard->text() : QString();
}

void QtUiServices::SetClipboardText(const QString& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
}

void QtUiServices::SetClipboardImage(const QImage& image) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(image);
}

std::unique_ptr<QMessageBox> SaveChangesBox(QWidget* parent, const QString& text) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, BoxTitle(), text,
                                           QMessageBox::Yes | QMessageBox::No |
                                               QMessageBox::Cancel,
                                           parent);
  box->setDefaultButton(QMessageBox::Yes);
  box->setEscapeButton(QMessageBox::Cancel);
  return box;
}

SaveAnswer QtUiServices::AskSaveChanges(const QString& text) {
  const std::unique_ptr<QMessageBox> box = SaveChangesBox(parent_, text);
  box->exec();
  if (box->clickedButton() == box->button(QMessageBox::Yes)) return SaveAnswer::Save;
  if (box->clickedButton() == box->button(QMessageBox::No)) return SaveAnswer::Discard;
  return SaveAnswer::Cancel;
}

bool QtUiServices::AskYesNo(const QString& text) {
  QMessageBox box(QMessageBox::Question, BoxTitle(), text, QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes);
}

}  // namespace tarvik::app
