#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "app/background_task.h"
#include "app/services.h"
#include "assessment/assessment_file.h"
#include "assessment/session.h"
#include "data/data_file.h"

namespace tarvik::app {

// The open assessment as a document of the window: «Сохранить оценку»
// (Ctrl+S once an assessment exists), «Сохранить оценку как…», «Открыть
// оценку…» and the recent assessments in the file menu; the caption with the
// assessment's name and its unsaved mark; the question before unsaved work
// is dropped; the recovery file written after every completed transition and
// offered at the next start after an abnormal end.
class AssessmentDocument : public QObject {
  Q_OBJECT

 public:
  // What the document needs of the window.
  struct Window {
    QMainWindow* Widget = nullptr;
    Session* Assessment = nullptr;
    UiServices* Ui = nullptr;
    BackgroundTask* Background = nullptr;
    std::function<data::DataDescription()> Description;  // as the data page shows it
    std::function<int()> FrontPage;
    std::function<char()> DecimalMark;
    // Takes the replayed assessment (its state is moved out) with the
    // description it was saved with, and brings `page` to the front.
    std::function<void(Session& replayed, const data::DataDescription&, int page)> Adopt;
  };

  // Adds the items to `fileMenu` before `before`; `dataSave` is the data
  // file's «Сохранить», which gives Ctrl+S up once an assessment exists.
  // `recoveryPath`: where the recovery file lives (empty: none is kept).
  AssessmentDocument(Window window, QMenu* fileMenu, QAction* before, QAction* dataSave,
                     std::string recoveryPath);

  QAction* SaveAction() const { return save_; }
  QAction* SaveAsAction() const { return saveAs_; }
  QAction* OpenAction() const { return open_; }
  QMenu* RecentMenu() const { return recent_; }

  // «Сохранить оценку»: to the file it was opened from or saved to, else as
  // «Сохранить оценку как…». False when a dialog was cancelled.
  bool Save();
  bool SaveAs();
  // «Открыть оценку…»: the file is read and checked whole, then replayed in
  // the background; the window takes the result only when the replay ends.
  void Open();
  void OpenFile(const QString& path);

  // Whether the assessment (more than a data set: an estimate, a rule, …)
  // has steps not yet saved, as the state was when no computation ran.
  bool Modified() const;
  // Before unsaved work would be dropped (closing): asks whether to save it.
  // True when the caller may go on.
  bool ChangesSavedOrDiscarded();
  // A transition may have completed: the caption, the actions and the
  // recovery file follow the state (nothing while a computation runs).
  void StateMayHaveChanged();
  // At start: when a recovery file was left by an abnormal end, offers
  // «Восстановить последнюю оценку?» and opens it on Да.
  void OfferRecovery();
  // A normal end: the recovery file goes.
  void RemoveRecovery();

  const std::string& RecoveryPath() const { return recoveryPath_; }
  // Tests that fitted with shortened searches replay them alike.
  void SetMaxFailuresForTesting(int maxFailures) { maxFailures_ = maxFailures; }
  const QString& FileName() const { return fileName_; }

 private:
  void WriteTo(const QString& path);
  void Replay(const assessment::AssessmentFile& file, const QString& path, bool recovered);
  void AddRecent(const QString& path);
  void RebuildRecent();
  void UpdateCaption();

  Window w_;
  std::string recoveryPath_;
  QAction* dataSave_;
  QAction* save_ = nullptr;
  QAction* saveAs_ = nullptr;
  QAction* open_ = nullptr;
  QMenu* recent_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer poll_;
  std::optional<int> maxFailures_;
  bool exists_ = false;                // the journal holds an assessment
  std::uint64_t seenRevision_ = 0;     // the journal's revision when last seen
  QString fileName_;                  // where the assessment was opened from or saved to
  std::uint64_t savedRevision_ = 0;   // the journal's revision then
  std::uint64_t recoveredRevision_ = 0;  // the revision the recovery file holds
};

// The recovery file's place for this user (RecoveryFilePath of the process's
// environment).
std::string DefaultRecoveryPath();

}  // namespace tarvik::app
