#include "app/main_window.h"
#include "common/joined_message.h"

#include <exception>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QShowEvent>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>

#include "app/about_dialog.h"
#include "app/assessment_document.h"
#include "app/chart_export.h"
#include "app/data_page.h"
#include "app/estimation_page.h"
#include "app/handler.h"
#include "app/help_window.h"
#include "app/locale_mark.h"
#include "app/performance_page.h"
#include "app/refpoints_page.h"
#include "app/rule_page.h"
#include "app/tac_page.h"
#include "app/welcome_window.h"
#include "assessment/search.h"
#include "assessment/state.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "common/numbers.h"
#include "data/data_file.h"
#include "estimation/variants.h"
#include "rbridge/r_runner.h"
#include "rbridge/r_version.h"

namespace tarvik::app {

namespace {

const QString kDataFileFilter = QStringLiteral("Текстовый документ (*.txt)");
constexpr int kHintHidePauseMs = 30000;

// Hints stay up for kHintHidePauseMs unless a control sets its own time.
class HintHidePause final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget != nullptr && !widget->toolTip().isEmpty() && widget->toolTipDuration() < 0) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), kHintHidePauseMs);
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

#ifdef _WIN32
const QString kRExecutable = QStringLiteral("R.exe");
#else
const QString kRExecutable = QStringLiteral("R");
#endif

const QString kDataAdvice = QStringLiteral(
    "Убедитесь, что Ваши данные подходят для использования продукционных моделей, а именно:\n"
    "- уловы на усилие соответствуют индексам численности (наблюдается динамика уловов на "
    "усилие)\n"
    "- уловы на усилие снижаются с ростом промыслового усилия");

// The cells as reading the file back will check them (a year, then numbers
// with the window's decimal mark): a table the program could not open again
// is refused before anything is written, naming the cell; it stays in the
// window.
void CheckCellsBeforeSaving(const data::DataTable& table, char mark) {
  try {
    for (int row = 1; row <= table.DataRowCount(); ++row) {
      static_cast<void>(data::CellYear(table, row));
      for (const int column :
           {data::DataTable::kCpue, data::DataTable::kEffort, data::DataTable::kCatch}) {
        static_cast<void>(data::CellNumber(table, column, row, mark));
      }
    }
  } catch (const Error& e) {
    throw Error(JoinedMessage("Файл не сохранён, таблица осталась в окне", e.what()));
  }
}

}  // namespace

QString RFoundText(const std::string& rDirectory) {
  return kRExecutable + QStringLiteral(" найден в директории: ") + FromUtf8(rDirectory) +
         QStringLiteral("\n\n\n") + kDataAdvice;
}

QString RNotFoundText() {
  return QStringLiteral(
             "R не установлен. Некоторые опции программы будут недоступны\n"
             "Программа имеется в свободном доступе на сайте https://cran.r-project.org/\n\n") +
         kDataAdvice;
}

MainWindow::MainWindow(UiServices& ui, std::vector<std::string> rSearchPath, QWidget* parent)
    : QMainWindow(parent), ui_(ui), rSearchPath_(std::move(rSearchPath)) {
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Tarvik 4.0"));
  resize(1025, 784);

  pageControl1_ = new PageControl(this);
  pageControl1_->setObjectName("PageControl1");
  // The smallest window: still fits a 1366 × 768 screen with its task bar;
  // the pages and tabs may ask for more.
  pageControl1_->SetSmallestSize(QSize(900, 620));
  pageControl1_->ShowTabsWhole();
  setCentralWidget(pageControl1_);
  BuildMenu();
  background_ = new BackgroundTask(this, ui_);

  const PageContext context{session_, ui_, *workflow_, *background_};
  dataPage_ = new DataPage(context);
  estimationPage_ = new EstimationPage(context);
  referencePointsPage_ = new ReferencePointsPage(context);
  rulePage_ = new RulePage(context);
  performancePage_ = new PerformancePage(context);
  tacPage_ = new TacPage(context);
  pageControl1_->AddPage(dataPage_, QStringLiteral("Данные"));
  pageControl1_->AddPage(estimationPage_, QStringLiteral("Оценка параметров модели"));
  pageControl1_->AddPage(referencePointsPage_, QStringLiteral("Оценка ориентиров управления"));
  pageControl1_->AddPage(rulePage_, QStringLiteral("Правило регулирования промысла"));
  pageControl1_->AddPage(performancePage_, QStringLiteral("Коэффициенты эффективности"));
  pageControl1_->AddPage(tacPage_, QStringLiteral("Обоснование расчетного значения ОДУ"));
  for (int page = 1; page < pageControl1_->Count(); ++page)
    pageControl1_->SetTabVisible(page, false);
  connect(pageControl1_, &PageControl::PageShown, this, &MainWindow::PageShown);
  connect(rulePage_, &RulePage::RuleListChanged, this,
          [this] { RunHandler(ui_, [this] { performancePage_->RebuildIndicatorTable(); }); });
  connect(estimationPage_, &EstimationPage::RetrospectiveFinished, this,
          [this](const estimation::RetrospectiveResult& result, const QString& variant) {
            RunHandler(ui_, [&] { tacPage_->AddRetrospectiveCurves(result, variant); });
          });
  // Every chart can be saved and copied as a picture; a chart with a menu
  // of its own has been given the items by its page.
  for (ChartPanel* chart : findChildren<ChartPanel*>()) {
    if (chart->contextMenuPolicy() != Qt::CustomContextMenu)
      AttachChartExport(chart, ui_, session_);
  }
  tacPage_->SetDescriptionSource([this] { return dataPage_->Description(); });
  tacPage_->SetBoundsSource([this] { return estimationPage_->SearchBounds(); });
  const auto catchUnit = [this] { return dataPage_->Description().catchUnitExponent; };
  estimationPage_->SetCatchUnitSource(catchUnit);
  referencePointsPage_->SetSearchBoundsSource([this] { return estimationPage_->SearchBounds(); });
  rulePage_->SetCatchUnitSource(catchUnit);
  referencePointsPage_->SetCatchUnitSource(catchUnit);
  connect(dataPage_, &DataPage::DataSetReplaced, this, [this] {
    RunHandler(ui_, [this] {
      DataSetReplaced();
      // Pasted rows go on as an opened file does: they can be estimated
      // and saved.
      if (State().Table != data::DataTable()) {
        n1_->setEnabled(true);
        n2_->setEnabled(true);
        workflow_->OpenCommandUsed();
        workflow_->DataFileOpened();
      }
    });
  });

  FormCreate();

  State().Journal.DecimalMark = DecimalMark();
  AssessmentDocument::Window document{this, &session_, &ui_, background_};
  document.Description = [this] { return dataPage_->Description(); };
  document.FrontPage = [this] { return pageControl1_->ActivePage(); };
  document.DecimalMark = [] { return DecimalMark(); };
  document.Adopt = [this](Session& replayed, const data::DataDescription& description,
                          int page) { AdoptAssessment(replayed, description, page); };
  document_ = new AssessmentDocument(std::move(document), findChild<QMenu*>("ntcn1"),
                                     findChild<QAction*>("NExit"), n1_, DefaultRecoveryPath());

  // Every change of the assessment ends in a handler or a computation.
  connect(&HandlersEnded::Instance(), &HandlersEnded::Ended, this, &MainWindow::FollowState);
  connect(background_, &BackgroundTask::Finished, this, &MainWindow::FollowState);
  // And a change made outside the handlers (a script, a test) within a moment.
  auto* follow = new QTimer(this);
  follow->setInterval(300);
  connect(follow, &QTimer::timeout, this, &MainWindow::FollowState);
  follow->start();
}

void MainWindow::FollowState() {
  if (following_ || background_->Running()) return;  // a computation owns the state now
  const std::uint64_t revision = State().Journal.Revision;
  if (followedRevision_ == revision) return;
  following_ = true;
  followedRevision_ = revision;
  RunHandler(ui_, [this] {
    const AssessmentState& state = State();
    Workflow::Reached reached;
    reached.ModelChosen = estimation::ChosenVariant(state).has_value();
    reached.ReferencePoints = !state.ReferencePoints.Tabs.empty();
    reached.Rules = !state.RuleList.empty();
    reached.RuleChosen = state.ChosenRule.has_value();
    reached.Forecast = state.Forecast.has_value();
    workflow_->Follow(reached);
    stale_.fill(true);
    RedrawIfStale(pageControl1_->ActivePage());
  });
  following_ = false;
}

void MainWindow::RedrawIfStale(int index) {
  if (index < 0 || index >= static_cast<int>(stale_.size()) || !stale_[index]) return;
  stale_[index] = false;
  if (auto* page = qobject_cast<Page*>(pageControl1_->Page(index))) page->Redraw();
}

void MainWindow::AdoptAssessment(Session& replayed, const data::DataDescription& description,
                                 int page) {
  State() = std::move(replayed.State());
  dataPage_->ShowDescription(description);
  dataPage_->ShowTable();
  dataPage_->FileOpened();
  n1_->setEnabled(true);
  n2_->setEnabled(true);
  workflow_->OpenCommandUsed();
  DataSetReplaced();
  workflow_->DataFileOpened();
  // The stages the assessment reached.
  if (estimation::ChosenVariant(State())) workflow_->ModelChosen();
  if (!State().ReferencePoints.Tabs.empty()) workflow_->ReferencePointsShown();
  if (!State().RuleList.empty()) workflow_->RuleAdded();
  if (State().ChosenRule) workflow_->RuleChosen();
  if (State().Forecast) workflow_->ForecastDrawn();
  // Every page shows the opened assessment, whatever the revision it ended
  // with: what was typed, then what was computed.
  for (int index = 0; index < static_cast<int>(stale_.size()); ++index) {
    if (auto* shown = qobject_cast<Page*>(pageControl1_->Page(index))) shown->Opened();
  }
  followedRevision_.reset();
  FollowState();
  if (pageControl1_->IsTabVisible(page)) pageControl1_->BringToFront(page);
}

MainWindow::~MainWindow() {
  // The computation works on the session's state, which goes before the children do.
  background_->CancelAndWait();
  // No thread of Qt's own pool (image conversions of the charts' pictures)
  // outlives the window either.
  QThreadPool::globalInstance()->waitForDone();
  if (hintPause_ != nullptr) qApp->removeEventFilter(hintPause_);
}

void MainWindow::BuildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");

  // "Открыть" first, as in desktop programs, with the usual keys and
  // underlined letters (Alt+Ф, then О, С, К, В).
  QMenu* file = bar->addMenu(QStringLiteral("&Файл"));
  file->setObjectName("ntcn1");
  n3_ = file->addAction(QStringLiteral("&Открыть"));
  n3_->setObjectName("N3");
  n3_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  n1_ = file->addAction(QStringLiteral("&Сохранить"));
  n1_->setObjectName("N1");
  n1_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  n1_->setEnabled(false);
  n2_ = file->addAction(QStringLiteral("Сохранить &как"));
  n2_->setObjectName("N2");
  n2_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  n2_->setEnabled(false);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("&Выход"));
  quit->setObjectName("NExit");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit->setMenuRole(QAction::QuitRole);
  quit->setProperty("tarvikStop", true);  // usable during a computation, as closing is
  ConnectHandler(n1_, &QAction::triggered, this, ui_, [this] { N1Click(); });
  ConnectHandler(n2_, &QAction::triggered, this, ui_, [this] { N2Click(); });
  ConnectHandler(n3_, &QAction::triggered, this, ui_, [this] { N3Click(); });
  // Leaving goes through the same question as closing the window.
  connect(quit, &QAction::triggered, this, &QWidget::close);

  // The spacer that pushed the workflow menu to the right edge; a menu bar
  // keeps its items together, so it stays an invisible, disabled item.
  QAction* n9 = bar->addAction(QString());
  n9->setObjectName("N9");
  n9->setEnabled(false);
  n9->setVisible(false);

  QMenu* stages = bar->addMenu(QStringLiteral("&Этапы приказа №104"));
  stages->setObjectName("N7");
  struct Item {
    const char* name;
    const char* caption;
  };
  const Item items[kStageCount] = {
      {"N8", "Анализ доступного информационного обеспечения"},
      {"N10", "Обоснование выбора метода оценки запаса"},
      {"N11", "Ретроспективный анализ состояния запаса и промысла"},
      {"N12", "Определение биологических ориентиров"},
      {"N13", "Обоснование правила регулирования промысла"},
      {"N14", "Прогнозирование состояния запаса"},
      {"N15", "Обоснование рекомендуемого объема ОДУ"},
      {"N16", "Анализ и диагностика полученных результатов"},
  };
  std::array<QAction*, kStageCount> actions{};
  for (int i = 0; i < kStageCount; ++i) {
    QAction* action = stages->addAction(QString::fromUtf8(items[i].caption));
    action->setObjectName(QString::fromLatin1(items[i].name));
    action->setCheckable(true);
    action->setEnabled(false);
    actions[i] = action;
  }
  workflow_ = std::make_unique<Workflow>(*pageControl1_, actions);
  for (int i = 0; i < kStageCount; ++i) {
    const auto stage = static_cast<Stage>(i);
    ConnectHandler(actions[i], &QAction::triggered, this, ui_, [this, stage] {
      workflow_->ItemClicked(stage);
      // The retrospective analysis starts from its item once a model is chosen.
      if (stage == Stage::N11 && estimation::ChosenVariant(State())) {
        estimationPage_->StartRetrospective();
      }
    });
  }
  workflow_->Start();
  BuildHelpMenu();
}

void MainWindow::BuildHelpMenu() {
  // After the other menus, which keep their places.
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Справка"));
  help->setObjectName("NHelp");
  QAction* guide = help->addAction(QStringLiteral("&Руководство"));
  guide->setObjectName("NGuide");
  guide->setShortcut(QKeySequence::HelpContents);
  QAction* about = help->addAction(QStringLiteral("&О программе"));
  about->setObjectName("NAbout");
  about->setMenuRole(QAction::AboutRole);
  ConnectHandler(guide, &QAction::triggered, this, ui_, [this] { ShowGuide(); });
  ConnectHandler(about, &QAction::triggered, this, ui_, [this] { ShowAbout(); });
}

void MainWindow::ShowGuide() {
  if (helpWindow_ == nullptr) helpWindow_ = new HelpWindow(this);
  helpWindow_->ShowSection(PageSection(pageControl1_->ActivePage()));
}

void MainWindow::ShowAbout() {
  std::string directory, version;
  {
    const WaitCursor wait;
    // Before the first showing R has not been looked for yet.
    directory = rChecked_ ? State().RDirectory : rbridge::LocateR(rSearchPath_);
    version = rbridge::RVersion(directory);
  }
  auto* dialog = new AboutDialog(AboutText(directory, version), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}

void MainWindow::FormCreate() {
  form2_ = new WelcomeWindow(this);
  connect(form2_, &WelcomeWindow::StartRequested, this, [this] { Label3Click(); });
  connect(form2_, &WelcomeWindow::Dismissed, this, [] { QCoreApplication::quit(); });
  form2_->show();

  // The header row of the table is part of the table the state starts with.
  dataPage_->ShowTable();

  hintPause_ = new HintHidePause(this);
  qApp->installEventFilter(hintPause_);

  pageControl1_->BringToFront(static_cast<int>(PageIndex::Data));
}

void MainWindow::Label3Click() {
  show();
  raise();
  activateWindow();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The check runs after the window has appeared, so its box opens over it.
  if (!rChecked_ && !event->spontaneous()) {
    QMetaObject::invokeMethod(
        this, [this] { FormActivate(); }, Qt::QueuedConnection);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Typed data are not dropped without a word: Отмена, or a save that
  // failed, keeps the window open with everything as it was (a running
  // computation too).
  bool mayClose = false;
  RunHandler(ui_, [this, &mayClose] {
    mayClose = ChangesSavedOrDiscarded() && document_->ChangesSavedOrDiscarded();
  });
  if (!mayClose) {
    event->ignore();
    return;
  }
  // A normal end: nothing to recover at the next start.
  document_->RemoveRecovery();
  // A computation still running is stopped at its next progress report; its
  // results are dropped, and the program ends without waiting for the rest.
  background_->CancelAndWait();
  QMainWindow::closeEvent(event);
}

bool MainWindow::ChangesSavedOrDiscarded() {
  if (!dataPage_->Modified()) return true;
  const QString text = State().DataFileName.empty()
                           ? QStringLiteral("Сохранить введённые данные в файл?")
                           : QStringLiteral("Сохранить изменения в файле \"%1\"?")
                                 .arg(QDir::toNativeSeparators(FromUtf8(State().DataFileName)));
  switch (ui_.AskSaveChanges(text)) {
    case SaveAnswer::Save:
      // Data never saved to a file go through the save dialog; cancelling it
      // cancels the whole.
      if (State().DataFileName.empty()) return SaveDataAs();
      N1Click();
      return true;
    case SaveAnswer::Discard:
      return true;
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

void MainWindow::FormActivate() {
  if (rChecked_) return;
  rChecked_ = true;
  RunHandler(ui_, [this] {
    std::string directory;
    {
      const WaitCursor wait;
      directory = rbridge::LocateR(rSearchPath_);
    }
    State().RDirectory = directory;
    if (directory != rbridge::kRNotFound) {
      ui_.ShowInformation(RFoundText(directory));
    } else {
      ui_.ShowWarning(RNotFoundText());
    }
  });
  // Work left by an abnormal end is offered back.
  RunHandler(ui_, [this] { document_->OfferRecovery(); });
}

void MainWindow::PageShown(int index) {
  dataPage_->CommitGrid();
  RunHandler(ui_, [this, index] {
    // The rule, indicator and forecast pages work with the reference points
    // of the chosen variant: when its fit changed since page 3 computed them
    // (a new estimation, adopted refined values) they are computed anew first,
    // as showing page 3 would, so no later stage uses the old ones.
    if (index > static_cast<int>(PageIndex::ReferencePoints) &&
        pageControl1_->IsTabVisible(static_cast<int>(PageIndex::ReferencePoints))) {
      referencePointsPage_->Shown();
    }
    RedrawIfStale(index);
    if (auto* page = qobject_cast<Page*>(pageControl1_->Page(index))) page->Shown();
  });
}

void MainWindow::N3Click() {
  // Asked before anything changes: Отмена leaves all as it is; so does a bad
  // cut-off list, before the dialog.
  if (!ChangesSavedOrDiscarded()) return;
  const std::string cutOffs = estimationPage_->CutOffList();
  estimation::ParseCutOffList(cutOffs);
  const std::optional<QString> path = ui_.AskOpenFileName(
      FileDialogOptions{QStringLiteral("Открыть"), QDir::currentPath(), kDataFileFilter, {}});
  workflow_->OpenCommandUsed();
  if (!path) return;

  // The file is read and checked whole first: a file that does not read
  // changes nothing (the table, the description, the fits stay).
  const data::DataFile file = data::ReadDataFile(ToUtf8(*path), DecimalMark());
  estimation::OpenDataSet(State(), file, ToUtf8(*path), cutOffs);
  dataPage_->ShowDescription(file.description);
  dataPage_->ShowTable();
  dataPage_->FileOpened();
  n1_->setEnabled(true);
  n2_->setEnabled(true);
  DataSetReplaced();
  workflow_->DataFileOpened();
}

void MainWindow::DataSetReplaced() {
  // Nothing of the previous data set stays on a page: the later pages hide
  // until their stage is reached again.
  workflow_->DataSetReplaced();
  referencePointsPage_->ClearResults();
  rulePage_->ClearResults();
  performancePage_->ClearResults();
  tacPage_->ClearResults();
  // A pasted data set gets its variants like an opened one (a bad cut-off
  // list is told after the page was put in order).
  std::exception_ptr failure;
  if (State().ModelFits.empty()) {
    try {
      estimation::RebuildVariants(State(), estimationPage_->CutOffList());
    } catch (const Error&) {
      failure = std::current_exception();
    }
  }
  estimationPage_->DataSetReplaced();
  if (failure) std::rethrow_exception(failure);
}

void MainWindow::N1Click() {
  // Pasted data have no file yet: «Сохранить» asks for one.
  if (State().DataFileName.empty()) {
    SaveDataAs();
    return;
  }
  dataPage_->CommitGrid();
  CheckCellsBeforeSaving(State().Table, DecimalMark());
  data::WriteDataFile(State().DataFileName, dataPage_->Description(), State().Table);
  dataPage_->MarkSaved();
}

void MainWindow::N2Click() {
  SaveDataAs();
}

bool MainWindow::SaveDataAs() {
  dataPage_->CommitGrid();
  CheckCellsBeforeSaving(State().Table, DecimalMark());
  const std::optional<QString> path = ui_.AskSaveFileName(
      FileDialogOptions{QStringLiteral("Введите имя файла"), QDir::currentPath(), kDataFileFilter,
                        QStringLiteral("txt")});
  if (!path) return false;
  data::WriteDataFile(ToUtf8(*path), dataPage_->Description(), State().Table);
  // From now on "Сохранить" writes the new file and the reports name it;
  // the file saved from stays as it was.
  State().DataFileName = ToUtf8(*path);
  dataPage_->MarkSaved();
  n1_->setEnabled(true);
  n2_->setEnabled(true);
  return true;
}

}  // namespace tarvik::app
