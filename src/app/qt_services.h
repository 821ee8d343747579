#pragma once

#include <memory>

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "app/services.h"

namespace tarvik::app {

// UiServices on real Qt dialogs and the system clipboard. Boxes and dialogs
// are parented to the window set with SetParentWindow (or top-level when
// none is set).
class QtUiServices final : public UiServices {
 public:
  void SetParentWindow(QWidget* window) { parent_ = window; }

  void ShowInformation(const QString& text) override;
  void ShowWarning(const QString& text) override;
  void ShowError(const QString& text) override;
  std::optional<QString> AskOpenFileName(const FileDialogOptions& options) override;
  std::optional<QString> AskSaveFileName(const FileDialogOptions& options) override;
  QString ClipboardText() override;
  void SetClipboardText(const QString& text) override;
  void SetClipboardImage(const QImage& image) override;
  SaveAnswer AskSaveChanges(const QString& text) override;
  bool AskYesNo(const QString& text) override;

 private:
  QPointer<QWidget> parent_;
};

// The box AskSaveChanges shows (buttons Yes, No, Cancel; Escape is Cancel).
std::unique_ptr<QMessageBox> SaveChangesBox(QWidget* parent, const QString& text);

}  // namespace tarvik::app
