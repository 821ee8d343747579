#include "app/assessment_document.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>

#include "app/handler.h"
#include "assessment/assessment_file.h"
#include "assessment/journal.h"
#include "assessment/state.h"
#include "common/error.h"
#include "common/files.h"
#include "tarvik_version.h"

namespace tarvik::app {
namespace {

const QString kFilter = QStringLiteral("Оценка Tarvik (*.tarvik)");
const QString kRecentKey = QStringLiteral("recentAssessments");
constexpr int kRecentCount = 5;
constexpr int kPollMilliseconds = 300;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string Environment(const char* name) {
  const QByteArray value = qgetenv(name);
  return std::string(value.constData(), static_cast<std::size_t>(value.size()));
}

// Whether the journal holds more than a data set: the steps of the data stage
// are kept by the data file's own «Сохранить»; an assessment begins with the
// first estimate, rule or other result.
bool HoldsAnAssessment(const AssessmentJournal& journal) {
  static const std::set<std::string> dataStage = {
      "open_data_set",  "edit_cell",      "paste_data_set", "replace_data_set",
      "rebuild_variants", "enable_variant", "enable_model",   "suitability_check"};
  for (const RecordedStep& step : journal.Steps) {
    if (!dataStage.contains(step.Transition)) return true;
  }
  return false;
}

}  // namespace

std::string DefaultRecoveryPath() { return assessment::RecoveryFilePath(&Environment); }

AssessmentDocument::AssessmentDocument(Window window, QMenu* fileMenu, QAction* before,
                                       QAction* dataSave, std::string recoveryPath)
    : QObject(window.Widget), w_(std::move(window)), recoveryPath_(std::move(recoveryPath)),
      dataSave_(dataSave) {
  UiServices& ui = *w_.Ui;
  open_ = new QAction(QStringLiteral("Открыть о&ценку…"), fileMenu);
  open_->setObjectName("NOpenAssessment");
  save_ = new QAction(QStringLiteral("Сохранить оц&енку"), fileMenu);
  save_->setObjectName("NSaveAssessment");
  save_->setEnabled(false);
  saveAs_ = new QAction(QStringLiteral("Сохранить оценку как…"), fileMenu);
  saveAs_->setObjectName("NSaveAssessmentAs");
  saveAs_->setEnabled(false);
  recent_ = new QMenu(QStringLiteral("Недавние оценки"), fileMenu);
  recent_->setObjectName("NRecentAssessments");
  fileMenu->insertAction(before, open_);
  fileMenu->insertAction(before, save_);
  fileMenu->insertAction(before, saveAs_);
  fileMenu->insertMenu(before, recent_);
  fileMenu->insertSeparator(before);
  ConnectHandler(open_, &QAction::triggered, this, ui, [this] { Open(); });
  ConnectHandler(save_, &QAction::triggered, this, ui, [this] { Save(); });
  ConnectHandler(saveAs_, &QAction::triggered, this, ui, [this] { SaveAs(); });
  RebuildRecent();

  progress_ = new QProgressBar(w_.Widget);
  progress_->setObjectName("AssessmentReplayProgress");
  progress_->setFormat(QStringLiteral("Повтор оценки: шаг %v из %m"));
  progress_->setVisible(false);
  w_.Widget->statusBar()->addPermanentWidget(progress_);

  // Every transition ends in a handler or a background computation of a
  // page; the journal's revision tells that one completed.
  poll_.setInterval(kPollMilliseconds);
  connect(&poll_, &QTimer::timeout, this, [this] { RunHandler(*w_.Ui, [this] { StateMayHaveChanged(); }); });
  poll_.start();
  connect(w_.Background, &BackgroundTask::Finished, this,
          [this] { RunHandler(*w_.Ui, [this] { StateMayHaveChanged(); }); });
}

bool AssessmentDocument::Modified() const {
  return exists_ && seenRevision_ != savedRevision_;
}

void AssessmentDocument::UpdateCaption() {
  QString caption = QStringLiteral("Tarvik 4.0");
  if (exists_) {
    const QString name = fileName_.isEmpty() ? QStringLiteral("Новая оценка")
                                             : QFileInfo(fileName_).fileName();
    caption += QStringLiteral(" — ") + name + QStringLiteral("[*]");
  }
  w_.Widget->setWindowTitle(caption);
  w_.Widget->setWindowModified(Modified());
}

void AssessmentDocument::StateMayHaveChanged() {
  if (w_.Background->Running()) return;  // the state has another owner now
  exists_ = HoldsAnAssessment(w_.Assessment->State().Journal);
  seenRevision_ = w_.Assessment->State().Journal.Revision;
  const bool exists = exists_;
  save_->setEnabled(exists);
  saveAs_->setEnabled(exists);
  // Ctrl+S saves the assessment once there is one, the data file before.
  const QKeySequence ctrlS(Qt::CTRL | Qt::Key_S);
  if (exists && save_->shortcut() != ctrlS) {
    dataSave_->setShortcut(QKeySequence());
    save_->setShortcut(ctrlS);
  }
  UpdateCaption();
  const std::uint64_t revision = seenRevision_;
  if (!exists || recoveryPath_.empty() || revision == recoveredRevision_) return;
  recoveredRevision_ = revision;
  std::error_code ignored;
  std::filesystem::create_directories(PathFromUtf8(recoveryPath_).parent_path(), ignored);
  assessment::WriteAssessmentFile(
      recoveryPath_,
      assessment::AssessmentFileOf(w_.Assessment->State(), w_.Description(), w_.FrontPage(), kVersion),
      w_.Assessment->State().DataFileName);
}

void AssessmentDocument::WriteTo(const QString& path) {
  if (w_.Background->Running()) throw Error("Дождитесь окончания расчёта, затем сохраните оценку");
  StateMayHaveChanged();
  assessment::WriteAssessmentFile(
      ToUtf8(path), assessment::AssessmentFileOf(w_.Assessment->State(), w_.Description(), w_.FrontPage(), kVersion),
      w_.Assessment->State().DataFileName);
  fileName_ = path;
  savedRevision_ = w_.Assessment->State().Journal.Revision;
  AddRecent(path);
  UpdateCaption();
}

bool AssessmentDocument::Save() {
  if (fileName_.isEmpty()) return SaveAs();
  WriteTo(fileName_);
  return true;
}

bool AssessmentDocument::SaveAs() {
  if (w_.Background->Running()) throw Error("Дождитесь окончания расчёта, затем сохраните оценку");
  if (!HoldsAnAssessment(w_.Assessment->State().Journal)) {
    throw Error("Оценки ещё нет: сохранять нечего, кроме данных («Файл» → «Сохранить»)");
  }
  const std::optional<QString> path = w_.Ui->AskSaveFileName(FileDialogOptions{
      QStringLiteral("Сохранить оценку"), QDir::currentPath(), kFilter, QStringLiteral("tarvik")});
  if (!path) return false;
  WriteTo(*path);
  return true;
}

void AssessmentDocument::Open() {
  if (!ChangesSavedOrDiscarded()) return;
  const std::optional<QString> path = w_.Ui->AskOpenFileName(
      FileDialogOptions{QStringLiteral("Открыть оценку"), QDir::currentPath(), kFilter, {}});
  if (path) OpenFile(*path);
}

void AssessmentDocument::OpenFile(const QString& path) {
  // Read and checked whole first: a file that does not read changes nothing.
  const assessment::AssessmentFile file =
      assessment::ReadAssessmentFile(ToUtf8(path), w_.DecimalMark());
  Replay(file, path, false);
}

void AssessmentDocument::Replay(const assessment::AssessmentFile& file, const QString& path,
                                bool recovered) {
  assessment::ReplayOptions options;
  options.DecimalMark = w_.DecimalMark();
  if (maxFailures_) options.MaxFailures = *maxFailures_;
  progress_->setRange(0, static_cast<int>(file.Steps.size()));
  progress_->setValue(0);
  progress_->setVisible(true);
  w_.Background->RunGuarded(
      [file, options, bar = progress_](BackgroundTask::Progress& progress) mutable {
        options.OnStep = [&progress, bar](std::size_t done, std::size_t) {
          progress.Post([bar, done] { bar->setValue(static_cast<int>(done)); });
        };
        return assessment::ReplayAndCompare(file, options);
      },
      [this] { progress_->setVisible(false); },
      [this, file, path, recovered](assessment::ReplayOutcome outcome) {
        Session replayed;
        replayed.State() = std::move(outcome.State);
        replayed.State().RDirectory = w_.Assessment->State().RDirectory;
        w_.Adopt(replayed, file.Description, file.FrontPage);
        // A recovered assessment is still unsaved work with no file of its own.
        fileName_ = recovered ? QString() : path;
        savedRevision_ = recovered ? 0 : w_.Assessment->State().Journal.Revision;
        recoveredRevision_ = 0;
        if (!recovered) AddRecent(path);
        StateMayHaveChanged();
        if (!outcome.Differences.empty()) {
          QString text = QStringLiteral(
              "Повтор оценки дал результаты, которые отличаются от сохранённых в файле "
              "(записан программой %1); оставлены новые:")
                             .arg(FromUtf8(file.ProgramVersion));
          for (const std::string& line : assessment::DifferenceLines(outcome.Differences)) {
            text += QStringLiteral("\n") + FromUtf8(line);
          }
          w_.Ui->ShowWarning(text);
        }
      });
}

bool AssessmentDocument::ChangesSavedOrDiscarded() {
  if (!Modified()) return true;
  switch (w_.Ui->AskSaveChanges(QStringLiteral("Сохранить оценку%1?")
                                    .arg(fileName_.isEmpty()
                                             ? QString()
                                             : QStringLiteral(" в файле \"%1\"")
                                                   .arg(QDir::toNativeSeparators(fileName_))))) {
    case SaveAnswer::Save:
      // Asked while closing during a computation: the computation, which
      // closing drops anyway, stops first, so the file holds the state as
      // it was before it.
      w_.Background->CancelAndWait();
      return Save();
    case SaveAnswer::Discard:
      return true;
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

void AssessmentDocument::OfferRecovery() {
  if (recoveryPath_.empty() || !std::filesystem::exists(PathFromUtf8(recoveryPath_))) {
    return;
  }
  if (!w_.Ui->AskYesNo(QStringLiteral(
          "Программа в прошлый раз завершилась аварийно.\nВосстановить последнюю оценку?"))) {
    RemoveRecovery();
    return;
  }
  const assessment::AssessmentFile file =
      assessment::ReadAssessmentFile(recoveryPath_, w_.DecimalMark());
  Replay(file, QString(), true);
}

void AssessmentDocument::RemoveRecovery() {
  if (recoveryPath_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(PathFromUtf8(recoveryPath_), ignored);
  recoveredRevision_ = 0;
}

void AssessmentDocument::AddRecent(const QString& path) {
  QSettings settings;
  QStringList list = settings.value(kRecentKey).toStringList();
  list.removeAll(path);
  list.prepend(path);
  while (list.size() > kRecentCount) list.removeLast();
  settings.setValue(kRecentKey, list);
  RebuildRecent();
}

void AssessmentDocument::RebuildRecent() {
  recent_->clear();
  const QStringList list = QSettings().value(kRecentKey).toStringList();
  for (const QString& path : list) {
    QAction* item = recent_->addAction(QDir::toNativeSeparators(path));
    ConnectHandler(item, &QAction::triggered, this, *w_.Ui, [this, path] {
      if (ChangesSavedOrDiscarded()) OpenFile(path);
    });
  }
  recent_->setEnabled(!list.isEmpty());
}

}  // namespace tarvik::app
