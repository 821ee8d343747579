#pragma once

#include <optional>

#include <QImage>
#include <QString>

namespace tarvik::app {

// What a file dialog is asked for. `filter` is in Qt's form
// ("Текстовый документ (*.txt)"); `defaultSuffix` (without the dot) is
// appended to a typed name that has none.
struct FileDialogOptions {
  QString title;
  QString directory;
  QString filter;
  QString defaultSuffix;
};

// The answer to "save the changes first?": Да, Нет, Отмена.
enum class SaveAnswer { Save, Discard, Cancel };

// Everything the windows need from the desktop beyond their own widgets:
// modal message boxes, file dialogs, the clipboard and the save question. The program uses
// QtUiServices; tests pass a fake so that no modal window ever opens.
class UiServices {
 public:
  virtual ~UiServices() = default;

  // Modal boxes with one OK button.
  virtual void ShowInformation(const QString& text) = 0;
  virtual void ShowWarning(const QString& text) = 0;
  virtual void ShowError(const QString& text) = 0;

  // The chosen path, or nothing when the dialog was cancelled. The open
  // dialog only accepts existing files.
  virtual std::optional<QString> AskOpenFileName(const FileDialogOptions& options) = 0;
  virtual std::optional<QString> AskSaveFileName(const FileDialogOptions& options) = 0;

  // The text on the system clipboard (empty when it holds no text).
  virtual QString ClipboardText() = 0;
  // Puts a text or a picture on the system clipboard.
  virtual void SetClipboardText(const QString& text) = 0;
  virtual void SetClipboardImage(const QImage& image) = 0;

  // A modal question whether to save changes before they are discarded, with
  // the buttons Да (save), Нет (discard) and Отмена; closing the box is
  // Отмена.
  virtual SaveAnswer AskSaveChanges(const QString& text) = 0;

  // A modal question with the buttons Да and Нет: true on Да (closing the
  // box is Нет).
  virtual bool AskYesNo(const QString& text) = 0;
};

}  // namespace tarvik::app
