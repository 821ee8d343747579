#include "app/decision_tab.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/decision_table.h"
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
    caption_->setText(QStringLiteral("Таблица решений ещё не рассчитана."));
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
  caption_->setText(FromUtf8(uncertainty::DecisionCaption(*result, mark)));
  const bool refused = result->Table.MaxCatch.Outcome == uncertainty::CatchSearch::RefusedAtBounds;
  sentence_->setStyleSheet(refused ? QStringLiteral("color: #c00000;") : QString());
  sentence_->setText(FromUtf8(uncertainty::MaxCatchSentence(result->Table, unit, mark)));
  stateSpaceSigma_->setText(FromUtf8(uncertainty::StateSpaceSigmaText(result->StateSpaceSigma, mark)));
}

}  // namespace tarvik::app
