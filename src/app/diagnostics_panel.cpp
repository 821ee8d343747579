#include "app/diagnostics_panel.h"

#include <sstream>

#include <utility>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/handler.h"
#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/estimation_view.h"
#include "assessment/fit_checks.h"
#include "assessment/observation_error.h"
#include "assessment/state_space.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "diagnostics/checklist_view.h"
#include "estimation/estimation_view.h"
#include "estimation/variants.h"

namespace tarvik::app {
namespace {

QTableWidget* MakeTable(const char* name, const QStringList& header) {
  auto* table = Named<QTableWidget>(name, 0, header.size());
  table->setHorizontalHeaderLabels(header);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(true);
  table->verticalHeader()->hide();
  // The texts wrap within the tab's width rather than scroll out of it; a
  // column of marks keeps its own width.
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  if (header.front().isEmpty()) {
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  }
  table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return table;
}

void SetRow(QTableWidget* table, int row, const std::vector<std::string>& cells,
            const QColor& colour = QColor()) {
  for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
    auto* item = new QTableWidgetItem(FromUtf8(cells[c]));
    item->setToolTip(item->text());
    if (colour.isValid()) item->setForeground(colour);
    table->setItem(row, c, item);
  }
}

QColor StatusColour(diagnostics::CheckStatus status) {
  switch (status) {
    case diagnostics::CheckStatus::Ok:
      return QColor(0, 130, 0);
    case diagnostics::CheckStatus::Warning:
      return QColor(215, 100, 0);
    case diagnostics::CheckStatus::Fail:
      return QColor(200, 0, 0);
    case diagnostics::CheckStatus::NotAssessable:
      break;
  }
  return Qt::darkGray;
}

QColor VerdictColour(diagnostics::Verdict verdict) {
  switch (verdict) {
    case diagnostics::Verdict::Fit:
      return StatusColour(diagnostics::CheckStatus::Ok);
    case diagnostics::Verdict::Warnings:
      return StatusColour(diagnostics::CheckStatus::Warning);
    case diagnostics::Verdict::Unfit:
      break;
  }
  return StatusColour(diagnostics::CheckStatus::Fail);
}

// What a diagnosis of record `index` rests on: its fit and its intervals.
std::string InputsOf(const AssessmentState& state, std::size_t index, char decimalMark) {
  const model::ModelFit& fit = state.ModelFits.at(index);
  std::ostringstream key;
  key.precision(17);
  key << fit.R << ' ' << fit.K << ' ' << fit.Q << ' ' << fit.Exponent << ' '
      << static_cast<int>(fit.Origin) << ' ';
  if (const std::optional<double> ratio = uncertainty::MsyIntervalRatioOf(state, index)) {
    key << *ratio;
  }
  key << ' ' << uncertainty::IntervalTruncationOf(state, index, decimalMark);
  return key.str();
}

}  // namespace

DiagnosticsPanel::DiagnosticsPanel(PageContext context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName("DiagnosticsPanel");
  variants_ = Named<QComboBox>("ComboDiagnosticsVariant");
  variants_->setToolTip(QStringLiteral("Вариант модели, подгонка которого проверяется"));
  verdict_ = MakeLabel("LabelVerdict", QString());
  verdict_->setWordWrap(true);
  QFont bold = verdict_->font();
  bold.setBold(true);
  verdict_->setFont(bold);

  checks_ = MakeTable("GridChecklist", {QString(), QStringLiteral("Проверка"),
                                        QStringLiteral("Значение"), QStringLiteral("Пояснение")});
  // Headers on two lines and a narrow p column: nothing is cut in a narrow
  // window.
  tests_ = MakeTable("GridResidualTests",
                     {QStringLiteral("Тест\nостатков"), QStringLiteral("Статис-\nтика"),
                      QStringLiteral("p"), QStringLiteral("Вывод")});
  tests_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  AttachTableExport(checks_, context_.ui, context_.session);
  AttachTableExport(tests_, context_.ui, context_.session);

  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel(QStringLiteral("Вариант:")));
  top->addWidget(variants_);
  top->addWidget(verdict_, 1);

  // The tab is narrow: the tests' figures take its whole width, right above
  // the residuals they judge.
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(checks_, 4);
  layout->addWidget(tests_, 2);
  // Room for the axes' numbers also in the smallest window.
  residuals_.Panel()->setMinimumHeight(230);
  layout->addWidget(residuals_.Panel(), 3);

  ShowEmpty(
      QStringLiteral("Выполните «Оценка параметров»: диагностика проверяет найденные "
                     "варианты"));
  ConnectHandler(variants_, &QComboBox::activated, this, context_.ui, [this] { Diagnose(); });
}

void DiagnosticsPanel::SearchFinished(const estimation::ParameterBounds& bounds) {
  bounds_ = bounds;
  diagnoses_.clear();
  const std::optional<std::size_t> before = Picked();
  variants_->clear();
  const std::vector<model::ModelFit>& fits = context_.State().ModelFits;
  for (const std::uint8_t index : estimation::EnabledIndices(fits)) {
    variants_->addItem(FromUtf8(estimation::VariantLabel(fits, index)), int(index));
  }
  const int keep = before ? variants_->findData(int(*before)) : -1;
  variants_->setCurrentIndex(keep >= 0 ? keep : 0);
  ShowEmpty(QStringLiteral("Диагностика выполняется при показе вкладки"));
  DiagnoseLater();
}

void DiagnosticsPanel::Clear() {
  bounds_.reset();
  diagnoses_.clear();
  mohnRho_.clear();
  variants_->clear();
  ShowEmpty(
      QStringLiteral("Выполните «Оценка параметров»: диагностика проверяет найденные "
                     "варианты"));
}

void DiagnosticsPanel::Redraw(const estimation::ParameterBounds& bounds) {
  const AssessmentState& state = context_.State();
  std::vector<int> listed;
  for (int i = 0; i < variants_->count(); ++i) listed.push_back(variants_->itemData(i).toInt());
  std::vector<int> searched;
  for (const std::uint8_t index : estimation::EnabledIndices(state.ModelFits)) {
    searched.push_back(index);
  }
  if (!bounds_ || listed != searched) {
    SearchFinished(bounds);
    return;
  }
  const std::optional<std::size_t> picked = Picked();
  bool pickedGone = false;
  for (auto it = diagnoses_.begin(); it != diagnoses_.end();) {
    const std::size_t index = it->first;
    if (index < state.ModelFits.size() && madeFrom_[index] == InputsOf(state, index, DecimalMark())) {
      ++it;
      continue;
    }
    pickedGone = pickedGone || picked == index;
    it = diagnoses_.erase(it);
  }
  if (pickedGone) {
    ShowEmpty(QStringLiteral("Результаты изменились: диагностика выполняется заново при показе "
                             "вкладки"));
    DiagnoseLater();
  }
}

void DiagnosticsPanel::Select(std::size_t index) {
  const int at = variants_->findData(int(index));
  if (at < 0) return;
  variants_->setCurrentIndex(at);
  DiagnoseLater();
}

void DiagnosticsPanel::FitChanged(std::size_t index) {
  diagnoses_.erase(index);
  if (Picked() == index) DiagnoseLater();
}

void DiagnosticsPanel::SetMohnRho(const std::string& label, std::optional<double> rho) {
  if (rho) {
    mohnRho_[label] = *rho;
  } else {
    mohnRho_.erase(label);
  }
  // The checklist of that variant includes the retrospective item.
  for (auto it = diagnoses_.begin(); it != diagnoses_.end();) {
    it = it->second.Label == label ? diagnoses_.erase(it) : std::next(it);
  }
}

void DiagnosticsPanel::Activated() {
  Diagnose();
}

void DiagnosticsPanel::DiagnoseLater() {
  // Called from the end of another computation or from a page's handler:
  // the diagnosis starts once that has put the window back in order.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) RunHandler(context_.ui, [this] { Diagnose(); });
  });
}

const diagnostics::VariantDiagnosis* DiagnosticsPanel::DiagnosisOf(std::size_t index) const {
  const auto it = diagnoses_.find(index);
  return it == diagnoses_.end() ? nullptr : &it->second;
}

std::optional<std::size_t> DiagnosticsPanel::Picked() const {
  if (variants_->currentIndex() < 0) return std::nullopt;
  return static_cast<std::size_t>(variants_->currentData().toInt());
}

void DiagnosticsPanel::Diagnose() {
  const std::optional<std::size_t> index = Picked();
  if (!index || !bounds_) return;
  if (const diagnostics::VariantDiagnosis* done = DiagnosisOf(*index)) {
    Show(*done);
    return;
  }
  // Another computation holds the state: the tab asks again when shown.
  if (context_.background.Running()) return;
  const AssessmentState& state = context_.State();
  diagnostics::DiagnosisOptions options;
  options.DecimalMark = DecimalMark();
  const std::string label = estimation::VariantLabel(state.ModelFits, *index);
  if (const auto rho = mohnRho_.find(label); rho != mohnRho_.end()) options.MohnRho = rho->second;
  options.MsyIntervalRatio = uncertainty::MsyIntervalRatioOf(state, *index);
  options.IntervalTruncation = uncertainty::IntervalTruncationOf(state, *index, DecimalMark());
  ShowEmpty(QStringLiteral("Диагностика варианта «%1»: уточнение минимума, прогноз на год вперёд "
                           "и 20 подгонок из разных начальных точек…")
                .arg(FromUtf8(label)));
  // Adopted observation-error estimates are judged by their own residuals.
  std::optional<estimation::ObservationErrorFit> observation;
  if (state.ModelFits[*index].Origin == model::FitOrigin::ObservationError) {
    if (const auto* fit = estimation::ObservationErrorFitOf(state, state.ModelFits[*index].Kind)) {
      observation = *fit;
    }
  }
  // Adopted state-space estimates: by that estimator's own checks.
  std::optional<estimation::StateSpaceFit> stateSpace;
  if (state.ModelFits[*index].Origin == model::FitOrigin::StateSpace) {
    if (const auto* fit = estimation::StateSpaceFitOf(state, state.ModelFits[*index].Kind)) {
      stateSpace = *fit;
    }
  }
  madeFrom_[*index] = InputsOf(state, *index, DecimalMark());
  context_.background.RunGuarded(
      [series = diagnostics::DiagnosedSeries(state), fits = state.ModelFits, index = *index,
       bounds = *bounds_, keep = state.MedianKeepCount, options, observation,
       estimateB1 = state.ObservationError.EstimateB1, stateSpace,
       stateSpaceOptions = state.StateSpace.Options, label](BackgroundTask::Progress&) {
        if (stateSpace) {
          diagnostics::VariantDiagnosis d = diagnostics::DiagnoseStateSpace(
              series, *stateSpace, stateSpaceOptions,
              label + " (модель пространства состояний)", options);
          d.Index = index;
          return d;
        }
        if (observation) {
          estimation::ObservationErrorOptions fitOptions;
          fitOptions.EstimateB1 = estimateB1;
          fitOptions.Bounds = bounds;
          diagnostics::VariantDiagnosis d = diagnostics::DiagnoseObservationError(
              series, *observation, fitOptions, label + " (модель ошибки наблюдения)", options);
          d.Index = index;
          return d;
        }
        return diagnostics::DiagnoseVariant(series, fits, index, bounds, keep, options);
      },
      [] {},
      [this](diagnostics::VariantDiagnosis d) {
        const std::size_t at = d.Index;
        const auto& kept = diagnoses_.insert_or_assign(at, std::move(d)).first->second;
        if (Picked() == at) Show(kept);
        emit Diagnosed(at, FromUtf8(diagnostics::ViewOfDiagnosis(kept, DecimalMark()).MarkTip));
      });
}

void DiagnosticsPanel::Show(const diagnostics::VariantDiagnosis& d) {
  const diagnostics::DiagnosisView view = diagnostics::ViewOfDiagnosis(d, DecimalMark());
  verdict_->setText(FromUtf8(view.VerdictText));
  verdict_->setToolTip(FromUtf8(view.Heading + ": " + view.VerdictText));
  verdict_->setStyleSheet(
      QStringLiteral("QLabel { color: %1; }").arg(VerdictColour(view.Result).name()));
  checks_->setRowCount(static_cast<int>(view.Checks.size()));
  for (int r = 0; r < checks_->rowCount(); ++r) {
    const diagnostics::CheckRowView& row = view.Checks[r];
    SetRow(checks_, r, {row.Mark, row.Name, row.Value, row.Explanation});
    checks_->item(r, 0)->setForeground(StatusColour(row.Status));
    checks_->item(r, 0)->setTextAlignment(Qt::AlignCenter);
  }
  tests_->setRowCount(static_cast<int>(view.Tests.size()));
  for (int r = 0; r < tests_->rowCount(); ++r) {
    const auto& row = view.Tests[r];
    SetRow(tests_, r, {row.begin(), row.end()});
  }
  // The residuals the tests judged (an adopted estimator's own), not the
  // procedure's at the record's values.
  const estimation::ResidualChart chart = diagnostics::ResidualChartOf(d);
  if (chart.Residuals.empty()) {
    residuals_.Clear();  // the checklist says why there are no residuals
  } else {
    residuals_.Show(chart);
    residuals_.Panel()->show();
  }
}

void DiagnosticsPanel::ShowEmpty(const QString& why) {
  verdict_->setText(why);
  verdict_->setToolTip(QString());
  verdict_->setStyleSheet(QString());
  checks_->setRowCount(0);
  tests_->setRowCount(0);
  residuals_.Clear();
}

}  // namespace tarvik::app
