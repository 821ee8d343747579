#include "app/state_space_panel.h"

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
#include "common/error.h"
#include "assessment/state_space.h"
#include "assessment/state_space_view.h"
#include "assessment/variants.h"
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

void FitHeight(QTableWidget* table, int rows, bool scrolls) {
  const int row = table->verticalHeader()->defaultSectionSize();
  table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + rows * row +
                        (scrolls ? table->horizontalScrollBar()->sizeHint().height() : 0) +
                        2 * table->frameWidth() + 2);
}

}  // namespace

StateSpacePanel::StateSpacePanel(PageContext context, ProgressLog log,
                                 std::function<estimation::ParameterBounds()> bounds,
                                 QWidget* parent)
    : QWidget(parent), context_(context), log_(log), bounds_(std::move(bounds)) {
  setObjectName("StateSpacePanel");
  estimateB1_ = MakeCheckBox("CheckBoxStateSpaceB1Free", QStringLiteral("B₁/K оценивается"));
  estimateB1_->setToolTip(QStringLiteral(
      "Биомасса первого года B₁ = φ·K, φ оценивается в пределах 0,05…2; иначе B₁ = K"));
  auto* estimate = MakeButton("ButtonStateSpace", QStringLiteral("Оценить"));
  adopt_ = MakeButton("ButtonAdoptStateSpace",
                      QStringLiteral("Принять оценки модели пространства состояний"));
  status_ = MakeLabel("LabelStateSpace", QString());
  status_->setWordWrap(true);
  fits_ = MakeTable("GridStateSpace");
  comparison_ = MakeTable("GridStateSpaceComparison");
  chart_ = Hidden(Named<ChartPanel>("ChartStateSpace"));
  chart_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  chart_->AddSeries("Observed", {Kind::Points, Qt::black, 1, Marker::Square, 5, false, true, {}});
  chart_->AddSeries("Biomass", {Kind::Line, Qt::blue, 2, Marker::None, 3, false, true, {}});
  chart_->AddSeries("Lower", {Kind::Line, QColor(90, 120, 220), 1, Marker::None, 3, false, true,
                              {}, Qt::DashLine});
  chart_->AddSeries("Upper", {Kind::Line, QColor(90, 120, 220), 1, Marker::None, 3, false, false,
                              {}, Qt::DashLine});

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

void StateSpacePanel::Estimate() {
  estimation::StateSpaceOptions options;
  options.EstimateB1 = estimateB1_->isChecked();
  options.StartBounds = bounds_();  // a bad bound raises before anything starts
  const ProgressLog log = log_;
  log.StartGauge(3);
  context_.background.RunGuarded(
      [this, options, log](BackgroundTask::Progress& progress) {
        estimation::EstimateStateSpace(context_.State(), options, log.Progress(progress));
        return true;
      },
      [this, log] {
        log.HideGauge();
        Refresh();
      },
      [](bool) {});
}

void StateSpacePanel::Adopt() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(context_.State());
  if (!chosen) throw Error("Модель не выбрана: выберите вариант модели в списке «Выбор модели»");
  // Raises, changing nothing, when there is nothing to adopt.
  estimation::AdoptStateSpace(context_.State(), *chosen);
  Refresh();
  emit Adopted(*chosen);
}

void StateSpacePanel::Refresh() {
  const AssessmentState& state = context_.State();
  const char mark = DecimalMark();
  Fill(fits_, estimation::StateSpaceTable(state.StateSpace.Fits, catchUnit_ ? catchUnit_() : 0, mark));
  FitHeight(fits_, 3, true);
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
  const std::optional<std::string> refusal =
      chosen ? estimation::StateSpaceAdoptionRefusal(state, *chosen) : std::nullopt;
  if (state.StateSpace.Fits.empty()) {
    status_->setText(QStringLiteral(
        "Нажмите «Оценить»: модели Шефера, Фокса и Пелла-Томлинсона с ошибкой процесса и "
        "ошибкой наблюдения оцениваются по тому же ряду; первое приближение — в границах r и K "
        "страницы."));
  } else if (!chosen) {
    status_->setText(QStringLiteral(
        "Выберите вариант в списке «Выбор модели», чтобы сравнить его с оценками модели "
        "пространства состояний."));
  } else {
    status_->setText(refusal ? FromUtf8(*refusal) : QString());
  }
  status_->setVisible(!status_->text().isEmpty());
  adopt_->setEnabled(chosen.has_value() && !refusal);

  const TextTable comparison =
      chosen ? estimation::StateSpaceComparison(state, *chosen, catchUnit_ ? catchUnit_() : 0, mark) : TextTable{};
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
  const estimation::StateSpaceBiomassChart c = estimation::StateSpaceChart(state, *chosen, catchUnit_ ? catchUnit_() : 0);
  chart_->SetTitle(FromUtf8(c.Title));
  chart_->SetAxisTitle(Axis::Bottom, FromUtf8(c.XTitle));
  chart_->SetAxisTitle(Axis::Left, FromUtf8(c.YTitle));
  chart_->SetSeriesTitle("Observed", FromUtf8(c.ObservedName), true);
  chart_->SetSeriesTitle("Biomass", FromUtf8(c.BiomassName), true);
  chart_->SetSeriesTitle("Lower", FromUtf8(c.BandName), !c.Lower.empty());
  chart_->SetSeriesTitle("Upper", FromUtf8(c.BandName), false);
  chart_->SetPoints("Observed", c.Observed);
  chart_->SetPoints("Biomass", c.Biomass);
  chart_->SetPoints("Lower", c.Lower);
  chart_->SetPoints("Upper", c.Upper);
  chart_->SetWrappedLegendVisible(true);
}

}  // namespace tarvik::app
