#include "app/observation_error_panel.h"

#include <optional>
#include <string>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/chart_export.h"
#include "app/handler.h"
#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/observation_error.h"
#include "assessment/observation_error_view.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/variants.h"

namespace tarvik::app {
namespace {

using Kind = SeriesStyle::Kind;
using Marker = SeriesStyle::Marker;

QTableWidget* MakeTable(const char* name) {
  auto* table = Named<QTableWidget>(name);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
  return table;
}

// The table's header and rows from the view's text table (header first).
void Fill(QTableWidget* table, const TextTable& cells) {
  table->clear();
  table->setRowCount(cells.empty() ? 0 : static_cast<int>(cells.size()) - 1);
  table->setColumnCount(cells.empty() ? 0 : static_cast<int>(cells[0].size()));
  for (std::size_t r = 0; r < cells.size(); ++r) {
    for (std::size_t c = 0; c < cells[r].size(); ++c) {
      const QString text = FromUtf8(cells[r][c]);
      if (r == 0) {
        table->setHorizontalHeaderItem(static_cast<int>(c), new QTableWidgetItem(text));
      } else {
        table->setItem(static_cast<int>(r) - 1, static_cast<int>(c), new QTableWidgetItem(text));
      }
    }
  }
}

// Tall enough for the header, `rows` rows and (with `scrolls`) a horizontal
// scroll bar.
void FitHeight(QTableWidget* table, int rows, bool scrolls) {
  const int row = table->verticalHeader()->defaultSectionSize();
  table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + rows * row +
                        (scrolls ? table->horizontalScrollBar()->sizeHint().height() : 0) +
                        2 * table->frameWidth() + 2);
}

}  // namespace

ObservationErrorPanel::ObservationErrorPanel(PageContext context, ProgressLog log,
                                             std::function<estimation::ParameterBounds()> bounds,
                                             QWidget* parent)
    : QWidget(parent), context_(context), log_(log), bounds_(std::move(bounds)) {
  setObjectName("ObservationErrorPanel");
  estimateB1_ = MakeCheckBox("CheckBoxB1Free", QStringLiteral("B₁/K оценивается"));
  estimateB1_->setToolTip(QStringLiteral(
      "Биомасса первого года B₁ = φ·K, φ оценивается в пределах 0,05…1,5; иначе B₁ = K"));
  auto* estimate = MakeButton("ButtonObservationError", QStringLiteral("Оценить"));
  adopt_ = MakeButton("ButtonAdoptObservationError",
                      QStringLiteral("Принять оценки модели ошибки наблюдения"));
  status_ = MakeLabel("LabelObservationError", QString());
  status_->setWordWrap(true);
  fits_ = MakeTable("GridObservationError");
  comparison_ = MakeTable("GridObservationErrorComparison");
  chart_ = Hidden(Named<ChartPanel>("ChartObservationError"));
  chart_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  chart_->AddSeries("Observed", {Kind::Points, Qt::black, 1, Marker::Square, 5, false, true, {}});
  chart_->AddSeries("Procedure", {Kind::Line, Qt::red, 2, Marker::None, 3, false, true, {}});
  chart_->AddSeries("ObservationError",
                    {Kind::Line, Qt::blue, 2, Marker::None, 3, false, true, {}});

  auto* buttons = new QHBoxLayout();
  buttons->addWidget(estimateB1_);
  buttons->addWidget(estimate);
  buttons->addStretch(1);
  buttons->addWidget(adopt_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(fits_);
  layout->addWidget(status_);
  layout->addWidget(comparison_, 0, Qt::AlignLeft);
  layout->addStretch(1);

  AttachTableExport(fits_, context_.ui, context_.session);
  AttachTableExport(comparison_, context_.ui, context_.session);
  AttachChartExport(chart_, context_.ui, context_.session);
  ConnectHandler(estimate, &QPushButton::clicked, this, context_.ui, [this] { Estimate(); });
  ConnectHandler(adopt_, &QPushButton::clicked, this, context_.ui, [this] { Adopt(); });
  Refresh();
}

void ObservationErrorPanel::Estimate() {
  estimation::ObservationErrorOptions options;
  options.EstimateB1 = estimateB1_->isChecked();
  options.Bounds = bounds_();  // a bad bound raises before anything starts
  const ProgressLog log = log_;
  log.StartGauge(3);
  context_.background.RunGuarded(
      [this, options, log](BackgroundTask::Progress& progress) {
        estimation::EstimateObservationError(context_.State(), options, log.Progress(progress));
        return true;
      },
      [this, log] {
        log.HideGauge();
        Refresh();
      },
      [](bool) {});
}

void ObservationErrorPanel::Adopt() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(context_.State());
  if (!chosen) throw Error("Модель не выбрана: выберите вариант модели в списке «Выбор модели»");
  // Raises, changing nothing, when there is nothing to adopt.
  estimation::AdoptObservationError(context_.State(), *chosen);
  Refresh();
  emit Adopted(*chosen);
}

void ObservationErrorPanel::Refresh() {
  const AssessmentState& state = context_.State();
  const char mark = DecimalMark();
  Fill(fits_, estimation::ObservationErrorTable(state.ObservationError.Fits, catchUnit_ ? catchUnit_() : 0, mark));
  FitHeight(fits_, 3, true);
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
  const std::optional<std::string> refusal =
      chosen ? estimation::ObservationErrorAdoptionRefusal(state, *chosen) : std::nullopt;
  if (state.ObservationError.Fits.empty()) {
    status_->setText(QStringLiteral(
        "Нажмите «Оценить»: модели Шефера, Фокса и Пелла-Томлинсона с ошибкой наблюдения "
        "оцениваются по тому же ряду в границах r и K страницы."));
  } else if (!chosen) {
    status_->setText(QStringLiteral(
        "Выберите вариант в списке «Выбор модели», чтобы сравнить его с оценками модели ошибки "
        "наблюдения."));
  } else {
    status_->setText(refusal ? FromUtf8(*refusal) : QString());
  }
  status_->setVisible(!status_->text().isEmpty());
  adopt_->setEnabled(chosen.has_value() && !refusal);

  const TextTable comparison =
      chosen ? estimation::ObservationErrorComparison(state, *chosen, catchUnit_ ? catchUnit_() : 0, mark) : TextTable{};
  Fill(comparison_, comparison);
  comparison_->setVisible(!comparison.empty());
  if (!comparison.empty()) {
    comparison_->setFixedWidth(comparison_->horizontalHeader()->length() +
                               2 * comparison_->frameWidth() + 2);
    FitHeight(comparison_, static_cast<int>(comparison.size()) - 1, false);
  }

  if (!chosen) {
    chart_->ClearAll();
    return;
  }
  const estimation::CpuePredictionChart c = estimation::ObservationErrorChart(state, *chosen);
  chart_->SetTitle(FromUtf8(c.Title));
  chart_->SetAxisTitle(Axis::Bottom, FromUtf8(c.XTitle));
  chart_->SetAxisTitle(Axis::Left, FromUtf8(c.YTitle));
  chart_->SetSeriesTitle("Observed", FromUtf8(c.ObservedName), true);
  chart_->SetSeriesTitle("Procedure", FromUtf8(c.ProcedureName), true);
  chart_->SetSeriesTitle("ObservationError", FromUtf8(c.ObservationErrorName), true);
  chart_->SetPoints("Observed", c.Observed);
  chart_->SetPoints("Procedure", c.Procedure);
  chart_->SetPoints("ObservationError", c.ObservationError);
  // The names are long for the width of the column: a legend that wraps,
  // made again for the titles just set.
  chart_->SetWrappedLegendVisible(true);
}

}  // namespace tarvik::app
