#pragma once

#include <deque>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>

#include "app/services.h"

namespace tarvik::app::testing {

// UiServices that records every box and dialog and answers dialogs from
// queues, so the windows run without a modal window.
class FakeServices final : public UiServices {
 public:
  enum class BoxKind { Information, Warning, Error };
  struct Box {
    BoxKind kind;
    QString text;
  };

  std::vector<Box> boxes;
  std::vector<FileDialogOptions> openRequests;
  std::vector<FileDialogOptions> saveRequests;
  // Answers of the dialogs in turn; an empty queue or a null string cancels.
  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  QString clipboard;
  // What the program put on the clipboard (the text also becomes `clipboard`).
  QImage clipboardImage;
  // The save questions asked, and their answers in turn; an empty queue
  // answers Отмена.
  std::vector<QString> saveQuestions;
  std::deque<SaveAnswer> saveChangesAnswers;
  // The yes-or-no questions asked, and the answer to each.
  std::vector<QString> yesNoQuestions;
  bool yesNoAnswer = false;

  void ShowInformation(const QString& text) override {
    boxes.push_back({BoxKind::Information, text});
  }
  void ShowWarning(const QString& text) override { boxes.push_back({BoxKind::Warning, text}); }
  void ShowError(const QString& text) override { boxes.push_back({BoxKind::Error, text}); }

  std::optional<QString> AskOpenFileName(const FileDialogOptions& options) override {
    openRequests.push_back(options);
    return Next(openAnswers);
  }
  std::optional<QString> AskSaveFileName(const FileDialogOptions& options) override {
    saveRequests.push_back(options);
    return Next(saveAnswers);
  }
  QString ClipboardText() override { return clipboard; }
  void SetClipboardText(const QString& text) override { clipboard = text; }
  void SetClipboardImage(const QImage& image) override { clipboardImage = image; }
  SaveAnswer AskSaveChanges(const QString& text) override {
    saveQuestions.push_back(text);
    if (saveChangesAnswers.empty()) return SaveAnswer::Cancel;
    const SaveAnswer answer = saveChangesAnswers.front();
    saveChangesAnswers.pop_front();
    return answer;
  }

  bool AskYesNo(const QString& text) override {
    yesNoQuestions.push_back(text);
    return yesNoAnswer;
  }

  int Count(BoxKind kind) const {
    int n = 0;
    for (const Box& box : boxes) n += box.kind == kind ? 1 : 0;
    return n;
  }

 private:
  static std::optional<QString> Next(std::deque<QString>& answers) {
    if (answers.empty()) return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isNull()) return std::nullopt;
    return answer;
  }
};

}  // namespace tarvik::app::testing
