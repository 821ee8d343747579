#pragma once

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

 private:
  QPointer<QWidget> parent_;
};

}  // namespace tarvik::app
