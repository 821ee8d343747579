#include "app/decision_tab.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/decision_table.h"
#include "assessment/journal.h"
#include "assessment/state.h"
#include "common/error.h"
#include "uncertainty/decision_view.h"

namespace tarvik::app {
namespace {

// The Kobe II shades, in RiskColour order; black text stays readable on each.
const QColor kRiskColours[] = {QColor(90, 180, 90), QColor(175, 225, 160), QColor(255, 238, 130),
                               QColor(255, 190, 115), QColor(240, 130, 130)};

}  // namespace

DecisionTab::DecisionTab(PageContext context, std::function<int()> horizon,
                         std::function<estimation::ParameterBounds()> bounds,
                         std::function<void()> changed, std::function<int()> catchUnit,
                         QWidget* parent)
    : Page(context, parent),
      horizon_(std::move(horizon)),
      bounds_(std::move(bounds)),
      changed_(std::move(changed)),
      catchUnit_(std::move(catchUnit)) {
  setObjectName("TabSheetDecision");
  const char mark = DecimalMark();
  auto* layout = new QVBoxLayout(this);

  auto* settings = new QHBoxLayout();
  settings->addWidget(MakeLabel("DecisionOptionsLabel", QStringLiteral("Варианты улова:")));
  options_ = MakeEdit("DecisionOptions", FromUtf8(uncertainty::CatchOptionsText(
                                             uncertainty::DefaultCatchOptionEntries(), mark)));
  options_->setToolTip(QStringLiteral(
      "Через «;»: улов в единицах данных страницы 1 (1200), доли MSY (0,5*MSY), «текущий» (последний улов), «ОДУ» (ОДУ "
      "правила в первом году прогноза)"));
  settings->addWidget(options_, 1);
  layout->addLayout(settings);

  // The risk, the buttons and the outlook in one row under the list, so
  // that the list keeps the whole width.
  auto* process = new QHBoxLayout();
  process->addWidget(
      MakeLabel("DecisionProcessErrorLabel", QStringLiteral("Ошибка процесса σ:")));
  processSigma_ = Named<QDoubleSpinBox>("DecisionProcessError");
  processSigma_->setRange(0.0, uncertainty::kMaxProcessSigma);
  processSigma_->setDecimals(2);
  processSigma_->setSingleStep(0.05);
  processSigma_->setValue(uncertainty::kDefaultProcessSigma);
  processSigma_->setToolTip(QStringLiteral(
      "Шум биомассы в прогнозах: B[t+1] = (B[t] + P(B[t]) − C[t])·exp(η − σ²/2); 0,1 — обычная "
      "средняя изменчивость процесса; 0 — риск только от неопределённости параметров"));
  process->addWidget(processSigma_);
  stateSpaceSigma_ = MakeLabel("DecisionStateSpaceSigma", {});
  stateSpaceSigma_->setWordWrap(true);
  process->addWidget(stateSpaceSigma_, 1);
  layout->addLayout(process);

  auto* view = new QHBoxLayout();
  QStringList criteria;
  for (const std::string& item : uncertainty::CriterionItems()) criteria << FromUtf8(item);
  criterion_ = MakeComboBox("DecisionCriterion", criteria);
  criterion_->setToolTip(QStringLiteral("Критерий наибольшего постоянного улова"));
  view->addWidget(criterion_);
  view->addWidget(MakeLabel("DecisionRiskLabel", QStringLiteral("p, %:")));
  risk_ = Named<QDoubleSpinBox>("DecisionRisk");
  risk_->setRange(0.5, 99.5);
  risk_->setDecimals(1);
  risk_->setSingleStep(0.5);
  risk_->setValue(100.0 * uncertainty::kDefaultRisk);
  view->addWidget(risk_);
  auto* compute = MakeButton("DecisionCompute", QStringLiteral("Рассчитать"));
  view->addWidget(compute);
  stopButton_ = Hidden(MakeButton("DecisionStop", QStringLiteral("Прервать")));
  view->addWidget(stopButton_);
  view->addSpacing(12);
  view->addWidget(MakeLabel("DecisionOutlookLabel", QStringLiteral("Показать:")));
  QStringList items;
  for (const std::string& item : uncertainty::OutlookItems()) items << FromUtf8(item);
  outlook_ = MakeComboBox("DecisionOutlook", items);
  view->addWidget(outlook_);
  gauge_ = Hidden(MakeGauge("DecisionGauge"));
  view->addWidget(gauge_, 1);
  view->addStretch(1);
  layout->addLayout(view);

  caption_ = MakeLabel("DecisionCaption", QStringLiteral("Таблица решений ещё не рассчитана."));
  caption_->setWordWrap(true);
  layout->addWidget(caption_);
  table_ = Named<QTableWidget>("DecisionTable");
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  layout->addWidget(table_, 1);
  sentence_ = MakeLabel("DecisionSentence", {});
  sentence_->setWordWrap(true);
  sentence_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(sentence_);
  AttachTableExport(table_, Ui(), Assessment());

  On(compute, &QPushButton::clicked, [this] { Compute(); });
  On(stopButton_, &QPushButton::clicked, [this] { stop_.request_stop(); });
  On(outlook_, &QComboBox::currentIndexChanged, [this] { ShowTable(); });
  // A setting changed after the computation: the sentence says so at once.
  On(options_, &QLineEdit::textChanged, [this] { ShowSentence(); });
  On(risk_, &QDoubleSpinBox::valueChanged, [this] { ShowSentence(); });
  On(criterion_, &QComboBox::currentIndexChanged, [this] { ShowSentence(); });
  On(processSigma_, &QDoubleSpinBox::valueChanged, [this] { ShowSentence(); });
}

void DecisionTab::Opened() {
  const std::optional<uncertainty::DecisionRequest> request =
      assessment::LastDecisionRequest(State(), DecimalMark());
  if (!request) return;
  const QSignalBlocker a(options_), b(risk_), c(criterion_), d(processSigma_);
  options_->setText(FromUtf8(uncertainty::CatchOptionsText(request->Entries, DecimalMark())));
  risk_->setValue(100.0 * request->Risk);
  criterion_->setCurrentIndex(static_cast<int>(request->Criterion));
  processSigma_->setValue(request->ProcessSigma);
}

void DecisionTab::Redraw() {
  ShowTable();
}

std::string DecisionTab::ChangedSettings() const {
  const std::optional<uncertainty::DecisionTableResult>& result = State().Decision;
  if (!result) return {};
  const uncertainty::DecisionTable& table = result->Table;
  std::vector<std::string> changed;
  bool sameOptions = false;
  try {
    const std::vector<uncertainty::CatchOptionEntry> entries =
        uncertainty::ParseCatchOptions(ToUtf8(options_->text()), DecimalMark());
    sameOptions = entries.size() == result->Entries.size() &&
                  std::equal(entries.begin(), entries.end(), result->Entries.begin(),
                             [](const auto& a, const auto& b) {
                               return a.Kind == b.Kind && a.Value == b.Value;
                             });
  } catch (const Error&) {
  }
  if (!sameOptions) changed.push_back("варианты улова");
  if (criterion_->currentIndex() != static_cast<int>(table.MaxCatch.Criterion)) {
    changed.push_back("критерий");
  }
  // The spin box holds the threshold rounded to its decimals.
  if (std::abs(risk_->value() - 100.0 * table.MaxCatch.Risk) > 1e-9) changed.push_back("p, %");
  if (std::abs(processSigma_->value() - table.ProcessSigma) > 1e-9) {
    changed.push_back("ошибка процесса σ");
  }
  if (horizon_ && horizon_() != table.Horizon) changed.push_back("прогнозный горизонт");
  std::string text;
  for (const std::string& item : changed) text += (text.empty() ? "" : ", ") + item;
  return text;
}

void DecisionTab::ShowSentence() {
  const std::optional<uncertainty::DecisionTableResult>& result = State().Decision;
  if (!result) return;
  const char mark = DecimalMark();
  const std::string changed = ChangedSettings();
  if (!changed.empty()) {
    sentence_->setStyleSheet(QStringLiteral("color: #c00000;"));
    sentence_->setText(FromUtf8("Нужно рассчитать заново: после расчёта изменены настройки (" +
                                changed + "); таблица выше рассчитана по критерию «" +
                                uncertainty::CriterionText(result->Table.MaxCatch.Criterion,
                                                           result->Table.MaxCatch.Risk, mark) +
                                "»."));
    return;
  }
  const bool refused = result->Table.MaxCatch.Outcome == uncertainty::CatchSearch::RefusedAtBounds;
  sentence_->setStyleSheet(refused ? QStringLiteral("color: #c00000;") : QString());
  const int unit = catchUnit_ ? catchUnit_() : 0;
  sentence_->setText(FromUtf8(uncertainty::MaxCatchSentence(result->Table, unit, mark)));
}

void DecisionTab::Shown() {
  ShowTable();
}

void DecisionTab::Compute() {
  uncertainty::DecisionRequest request;
  request.DecimalMark = DecimalMark();
  // A bad list is reported before anything runs.
  request.Entries = uncertainty::ParseCatchOptions(ToUtf8(options_->text()), request.DecimalMark);
  request.Risk = risk_->value() / 100.0;
  request.Criterion = static_cast<uncertainty::RiskCriterion>(std::max(0, criterion_->currentIndex()));
  request.ProcessSigma = processSigma_->value();
  request.ProcessSource = request.ProcessSigma == uncertainty::kDefaultProcessSigma
                              ? uncertainty::ProcessErrorSource::Default
                              : uncertainty::ProcessErrorSource::Stated;
  request.Horizon = horizon_ ? horizon_() : 5;
  if (bounds_) request.Bounds = bounds_();

  stop_ = std::stop_source();
  request.Stop = stop_.get_token();
  gauge_->setRange(0, 1000);
  gauge_->setValue(0);
  gauge_->setVisible(true);
  AssessmentState& state = State();
  Background().RunGuarded(
      [this, &state, request](BackgroundTask::Progress& progress) mutable {
        request.OnProgress = ProgressOn(progress, gauge_);
        try {
          uncertainty::UpdateDecisionTable(state, request,
                                           state.Uncertainty ? &*state.Uncertainty : nullptr);
        } catch (const uncertainty::Cancelled&) {
          return false;
        } catch (const uncertainty::DecisionTableCancelled&) {
          return false;
        }
        return true;
      },
      [this] {
        gauge_->setVisible(false);
        stopButton_->setVisible(false);
      },
      [this](bool done) {
        ShowTable();
        if (!done) caption_->setText(QStringLiteral("Расчёт таблицы решений прерван."));
        if (done && changed_) changed_();
      });
  // Every input is disabled while it runs, but for the one that stops it.
  if (Background().Running()) {
    stopButton_->setVisible(true);
    stopButton_->setEnabled(true);
  }
}

void DecisionTab::ShowTable() {
  const std::optional<uncertainty::DecisionTableResult>& result = State().Decision;
  table_->clear();
  if (!result) {
    table_->setRowCount(0);
    table_->setColumnCount(0);
    const std::string note = assessment::RecomputeNote(State(), assessment::Stage::DecisionTable);
    caption_->setText(note.empty() ? QStringLiteral("Таблица решений ещё не рассчитана.")
                                   : FromUtf8(note));
    sentence_->clear();
    stateSpaceSigma_->clear();
    return;
  }
  const char mark = DecimalMark();
  const auto outlook = static_cast<uncertainty::Outlook>(std::max(0, outlook_->currentIndex()));
  const int unit = catchUnit_ ? catchUnit_() : 0;
  const uncertainty::DecisionGrid grid =
      uncertainty::DecisionGridOf(result->Table, outlook, unit, mark);
  const std::vector<std::string>& head = grid.Cells.front();
  table_->setColumnCount(static_cast<int>(head.size()));
  table_->setRowCount(static_cast<int>(grid.Cells.size()) - 1);
  QStringList titles;
  for (const std::string& title : head) titles << FromUtf8(title);
  table_->setHorizontalHeaderLabels(titles);
  for (std::size_t i = 1; i < grid.Cells.size(); ++i) {
    const std::vector<std::string>& cells = grid.Cells[i];
    for (std::size_t j = 0; j < cells.size(); ++j) {
      auto* item = new QTableWidgetItem(FromUtf8(cells[j]));
      if (j >= 2) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        item->setBackground(kRiskColours[static_cast<std::size_t>(grid.Colours[i - 1][j - 2])]);
        item->setForeground(Qt::black);
      } else if (j == 1) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
      table_->setItem(static_cast<int>(i - 1), static_cast<int>(j), item);
    }
  }
  table_->resizeColumnsToContents();
  std::string caption = uncertainty::DecisionCaption(*result, mark);
  // «ОДУ» asked for, but no forecast had been drawn for it.
  const auto isTac = [](uncertainty::CatchOptionKind kind) {
    return kind == uncertainty::CatchOptionKind::RuleTac;
  };
  const bool tacAsked = std::any_of(result->Entries.begin(), result->Entries.end(),
                                    [&](const auto& e) { return isTac(e.Kind); });
  const bool tacShown = std::any_of(result->Table.Rows.begin(), result->Table.Rows.end(),
                                    [&](const auto& row) { return isTac(row.Option.Kind); });
  if (tacAsked && !tacShown) {
    caption +=
        " Вариант «ОДУ» не вошёл в таблицу: при расчёте прогноз по ПРП этой модели не был "
        "построен (кнопка «Построить график»).";
  }
  caption_->setText(FromUtf8(caption));
  ShowSentence();
  stateSpaceSigma_->setText(FromUtf8(uncertainty::StateSpaceSigmaText(result->StateSpaceSigma, mark)));
}

}  // namespace tarvik::app
