// The estimation page's layout: its controls, where they sit and what their
// signals call (the page's behaviour is in estimation_page.cpp).
#include <cmath>
#include <utility>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/estimation_page.h"
#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/estimation_view.h"
#include "assessment/fit_checks.h"
#include "assessment/observation_error_view.h"
#include "assessment/suitability_view.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "diagnostics/bounds.h"
#include "diagnostics/checklist_view.h"
#include "estimation/estimation_view.h"
#include "assessment/observation_error_view.h"
#include "assessment/state_space_view.h"
#include "projection/tac_report.h"
#include "estimation/variants.h"
#include "model/kinds.h"
#include "rbridge/r_runner.h"

namespace tarvik::app {

namespace {

using Kind = SeriesStyle::Kind;
using Marker = SeriesStyle::Marker;

// The start point and the bounds in the order of SearchTexts.
const char* const kSearchEdits[] = {"EditInitialR", "EditInitialK", "EditInitialQ",
                                    "EditMinR",     "EditMaxR",     "EditMinK",
                                    "EditMaxK",     "EditMinQ",     "EditMaxQ"};

}  // namespace

EstimationPage::EstimationPage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet2");
  memo1_ = MakeMemo("Memo1");
  g1_ = Hidden(MakeGauge("g1"));
  const ProgressLog log(memo1_, g1_);
  surface_ = new SurfacePictures(context, log, this);
  retrospective_ = new RetrospectiveAnalysis(
      context, log, [this] { return testMaxFailures_; }, this);
  retrospective_->SetCatchUnitSource([this] { return catchUnit_ ? catchUnit_() : 0; });

  // Left column: start values, the search button, the results panel and the
  // tuning controls, the progress log.
  auto* left = new QVBoxLayout();
  left->addWidget(BuildStartValues());

  auto* actions = new QHBoxLayout();
  auto* button5 = MakeButton("Button5", QStringLiteral("Оценка параметров"));
  button18_ = Hidden(MakeButton("Button18", QStringLiteral("Настройка начальных значений")));
  button21_ = Hidden(MakeButton("Button21", QStringLiteral("Анализ целевой функции")));
  button21_->setEnabled(false);
  actions->addWidget(button5);
  actions->addWidget(button18_);
  actions->addWidget(button21_);
  actions->addWidget(surface_->Switch());
  actions->addStretch(1);
  left->addLayout(actions);

  results_ = new ResultsPanel();
  observationError_ = new ObservationErrorPanel(context, log, [this] { return SearchBounds(); });
  stateSpace_ = new StateSpacePanel(context, log, [this] { return SearchBounds(); });
  stateSpace_->SetCatchUnitSource([this] { return catchUnit_ ? catchUnit_() : 0; });
  observationError_->SetCatchUnitSource([this] { return catchUnit_ ? catchUnit_() : 0; });
  resultTabs_ = Named<QTabWidget>("ResultTabs");
  resultTabs_->addTab(results_, QStringLiteral("Варианты моделей"));
  resultTabs_->addTab(observationError_, FromUtf8(std::string(estimation::kObservationErrorTitle)));
  resultTabs_->addTab(stateSpace_, FromUtf8(std::string(estimation::kStateSpaceTitle)));
  left->addWidget(resultTabs_, 1);

  auto* medianRow = new QHBoxLayout();
  trackBarMedWin_ = MakeTrackBar("TrackBarMedWin", 0, 9, 0, 1);
  trackBarMedWin_->setToolTip(FromUtf8(estimation::TrimPositionHint(0)));
  auto* label35 = MakeLabel(
      "Label35", QStringLiteral("% значений, отсекаемых при расчете медианного отклонения"));
  label35->setWordWrap(true);
  edit11_ = Hidden(MakeEdit("Edit11", QStringLiteral("4")));
  edit11_->setToolTip(QStringLiteral(
      "Введите значения медианного окна (через запятую) или диапазон значений (через дефис). "
      "Например: 2-5,7,9"));
  medianRow->addWidget(trackBarMedWin_, 1);
  medianRow->addWidget(label35, 2);
  medianRow->addWidget(edit11_);
  left->addLayout(medianRow);
  left->addWidget(BuildChoiceRow());

  // Off the default path: nothing changes unless the user clicks it.
  auto* adoptRow = new QHBoxLayout();
  buttonAdopt_ =
      Hidden(MakeButton("ButtonAdoptRefined", QStringLiteral("Принять уточнённые значения")));
  adoptRow->addWidget(buttonAdopt_);
  // The retrospective analysis of the chosen variant, after the choice.
  buttonRetrospective_ =
      Hidden(MakeButton("ButtonRetrospective", QStringLiteral("Ретроспективный анализ")));
  adoptRow->addWidget(buttonRetrospective_);
  adoptRow->addStretch(1);
  left->addLayout(adoptRow);

  // The lines of the convergence check and of Mohn's rho are long.
  memo1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memo1_->setMinimumHeight(60);
  memo1_->setMaximumHeight(130);
  left->addWidget(memo1_);
  left->addWidget(g1_);

  // Right column: the CPUE-effort chart (the contour picture or the
  // residuals take its place), the correlation coefficients, the tuning
  // chart.
  auto* right = new QVBoxLayout();
  chart2_ = new HoldOutChart();
  right->addWidget(chart2_, 3);
  right->addWidget(surface_->Image(), 3);
  // The chosen variant's residuals and its retrospective analysis, a tab
  // each (the second once an analysis ran).
  chartTabs_ = Hidden(Named<QTabWidget>("ChartTabs"));
  chartTabs_->addTab(residuals_.Panel(), QStringLiteral("Остатки"));
  chartTabs_->addTab(retrospective_->Chart(), QStringLiteral("Ретроспектива"));
  chartTabs_->setTabVisible(kRetrospectiveTab, false);
  // The other estimators' charts, while their tab on the left is in front:
  // beside the residuals and the retrospective analysis, not in their place.
  chartTabs_->addTab(observationError_->Chart(), QStringLiteral("Модель ошибки наблюдения"));
  chartTabs_->addTab(stateSpace_->Chart(), QStringLiteral("Пространство состояний"));
  chartTabs_->setTabVisible(kObservationErrorTab, false);
  chartTabs_->setTabVisible(kStateSpaceTab, false);
  // Room for the retrospective chart's labels and its six-entry legend at
  // the smallest window (the CPUE-effort chart above gives way).
  chartTabs_->setMinimumHeight(300);
  right->addWidget(chartTabs_, 3);

  auto* correlationRow = new QHBoxLayout();
  correlationRow->addWidget(BuildCorrelation());
  auto* hiddenButtons = new QVBoxLayout();
  auto* button4 = Hidden(MakeButton("Button4", QStringLiteral("Оценить коэффициент корреляции")));
  auto* button6 = Hidden(MakeButton("Button6", QStringLiteral("Создание полей на поле Результат")));
  hiddenButtons->addWidget(button4);
  hiddenButtons->addWidget(button6);
  correlationRow->addLayout(hiddenButtons);
  right->addLayout(correlationRow);

  chart7_ = Hidden(Named<ChartPanel>("Chart7"));
  chart7_->SetAxisTitle(Axis::Bottom, QStringLiteral("Год"));
  chart7_->SetAxisTitle(Axis::Left, QStringLiteral("Улов на усилие"));
  chart7_->AddSeries("CpueFact", {Kind::Points, Qt::black, 1, Marker::Square, 5, false, true, {}});
  chart7_->AddSeries("CpueTheor", {Kind::Points, Qt::red, 1, Marker::Circle, 5, false, true, {}});
  right->addWidget(chart7_, 2);

  // The charts and, after a search, the checklist of a variant share the
  // right column as two tabs.
  auto* charts = new QWidget();
  right->setContentsMargins(0, 0, 0, 0);
  charts->setLayout(right);
  diagnostics_ = new DiagnosticsPanel(context);
  rightTabs_ = Named<QTabWidget>("TabsEstimationRight");
  rightTabs_->addTab(charts, QStringLiteral("Графики"));
  rightTabs_->addTab(diagnostics_, QStringLiteral("Диагностика"));
  rightTabs_->setTabEnabled(1, false);
  rightTabs_->setTabToolTip(1, QStringLiteral("Проверки подгонки варианта и вердикт: доступны "
                                              "после «Оценка параметров»"));

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 6);
  layout->addWidget(rightTabs_, 5);

  popupMenu2_ = Named<QMenu>("PopupMenu2", this);
  auto* n4 = popupMenu2_->addAction(QStringLiteral("Ретроспектива"));
  n4->setObjectName("N4");
  // The panel's rows are copied and saved from its own menu and from a
  // variant's.
  TableExport* resultsExport =
      AttachPanelExport(results_, Ui(), Assessment(), [this] { return results_->Table(); });
  popupMenu2_->addSeparator();
  popupMenu2_->addActions(resultsExport->Actions());

  On(button4, &QPushButton::clicked, [this] { CheckSuitability(); });
  On(button5, &QPushButton::clicked, [this] { EstimateParameters(); });
  On(button6, &QPushButton::clicked, [this] { RebuildResultsPanel(); });
  On(button18_, &QPushButton::clicked, [this] { ToggleTuningPanel(); });
  On(button21_, &QPushButton::clicked, [this] { AnalyseObjectiveSurface(); });
  On(buttonAdopt_, &QPushButton::clicked, [this] { AdoptRefinedValues(); });
  On(observationError_, &ObservationErrorPanel::Adopted,
     [this](std::size_t index) {
       ObservationErrorAdopted(index, projection::kObservationErrorParametersLine);
     });
  On(stateSpace_, &StateSpacePanel::Adopted, [this](std::size_t index) {
    ObservationErrorAdopted(index, projection::kStateSpaceParametersLine);
  });
  On(resultTabs_, &QTabWidget::currentChanged, [this] {
    observationError_->Refresh();
    stateSpace_->Refresh();
    PlaceCharts();
  });
  On(buttonRetrospective_, &QPushButton::clicked, [this] { StartRetrospective(); });
  On(n4, &QAction::triggered, [this] { RunRetrospective(); });
  On(edit11_, &QLineEdit::returnPressed, [this] { RebuildResultsPanel(); });
  On(cbb1_, &QComboBox::activated, [this](int index) { ChooseModel(index); });
  On(trackBarMedWin_, &QSlider::valueChanged, [this] { TrimPositionChanged(); });
  On(results_, &ResultsPanel::VariantClicked,
     [this](std::size_t index, bool checked) { VariantClicked(index, checked); });
  On(results_, &ResultsPanel::ModelClicked,
     [this](int kind, bool checked) { ModelClicked(kind, checked); });
  connect(results_, &ResultsPanel::VariantMenuRequested, this,
          [this](std::size_t index, const QPoint& position) {
            menuVariant_ = index;
            popupMenu2_->popup(position);
          });
  connect(retrospective_, &RetrospectiveAnalysis::Finished, this,
          [this](const estimation::RetrospectiveResult& result, const QString& variant) {
            chartTabs_->setTabVisible(kRetrospectiveTab, true);
            chartTabs_->setCurrentIndex(kRetrospectiveTab);
            PlaceCharts();
            emit RetrospectiveFinished(result, variant);
          });
  connect(retrospective_, &RetrospectiveAnalysis::Finished, this,
          [this](const estimation::RetrospectiveResult& result, const QString& variant) {
            diagnostics_->SetMohnRho(ToUtf8(variant), result.Mohn.Available
                                                          ? std::optional(result.Mohn.Rho)
                                                          : std::nullopt);
          });
  On(rightTabs_, &QTabWidget::currentChanged, [this](int tab) {
    if (rightTabs_->widget(tab) == diagnostics_) diagnostics_->Activated();
  });
  connect(diagnostics_, &DiagnosticsPanel::Diagnosed, this,
          [this](std::size_t index, const QString&) { ShowMark(index); });
}

QGroupBox* EstimationPage::BuildStartValues() {
  auto* group = MakeGroupBox("GroupBox5", QStringLiteral("Начальные условия"));
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("r")), 0, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("K")), 0, 2, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("q")), 0, 3, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Начальная точка")), 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("Границы")), 2, 0, 2, 1);
  // Start point in row 1, the lower bounds in row 2, the upper in row 3.
  static const int kRow[] = {1, 1, 1, 2, 3, 2, 3, 2, 3};
  static const int kColumn[] = {1, 2, 3, 1, 1, 2, 2, 3, 3};
  const estimation::SearchTexts d = estimation::DefaultSearchTexts(DecimalMark());
  const std::string* defaults[] = {&d.InitialR, &d.InitialK, &d.InitialQ, &d.MinR, &d.MaxR,
                                   &d.MinK,     &d.MaxK,     &d.MinQ,     &d.MaxQ};
  for (std::size_t i = 0; i < searchEdits_.size(); ++i) {
    searchEdits_[i] = MakeEdit(kSearchEdits[i], FromUtf8(*defaults[i]));
    grid->addWidget(searchEdits_[i], kRow[i], kColumn[i]);
  }
  auto* proposeBounds = MakeButton("ButtonBoundsFromData", QStringLiteral("Границы по данным"));
  proposeBounds->setToolTip(QStringLiteral(
      "Начальные значения и границы r, K и q по уловам и уловам на усилие ряда: оценки "
      "попадают внутрь границ при данных в любых единицах. Затем снова «Оценка параметров»"));
  grid->addWidget(proposeBounds, 2, 4, 2, 1);
  On(proposeBounds, &QPushButton::clicked, [this] { FillBoundsFromData(); });

  // The tuning panel: a slider with its label under each column.
  tuningBars_ = {Hidden(MakeTrackBar("TrackBarR", 0, 100, 50, 5)),
                 Hidden(MakeTrackBar("TrackBarK", 0, 100, 0, 5)),
                 Hidden(MakeTrackBar("TrackBarQ", 0, 100, 0, 5))};
  tuningLabels_ = {Hidden(MakeLabel("Label25", QStringLiteral("r"))),
                   Hidden(MakeLabel("Label26", QStringLiteral("K"))),
                   Hidden(MakeLabel("Label27", QStringLiteral("q")))};
  for (int column = 0; column < 3; ++column) {
    auto* cell = new QHBoxLayout();
    cell->addWidget(tuningLabels_[column]);
    cell->addWidget(tuningBars_[column], 1);
    grid->addLayout(cell, 4, column + 1);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(3, 1);
  return group;
}

QGroupBox* EstimationPage::BuildCorrelation() {
  auto* group = MakeGroupBox("GroupBox4", QStringLiteral("Коэффициент корреляции"));
  auto* grid = new QGridLayout(group);
  grid->addWidget(MakeLabel("Label10", QStringLiteral("Модель Шефера")), 0, 0);
  grid->addWidget(MakeLabel("Label11", QStringLiteral("Модель Фокса")), 1, 0);
  label12_ = MakeLabel("Label12", QStringLiteral("Модель Пелла-Томлинсона"));
  grid->addWidget(label12_, 2, 0);
  const QString none = FromUtf8(std::string(data::kNoCorrelationYet));
  correlationLabels_ = {MakeLabel("LabelCorrelSchaefer", none), MakeLabel("LabelCorrelFox", none),
                        MakeLabel("LabelCorrelPT", none)};
  for (int row = 0; row < 3; ++row) grid->addWidget(correlationLabels_[row], row, 1);
  grid->setColumnStretch(1, 1);
  return group;
}

QWidget* EstimationPage::BuildChoiceRow() {
  auto* row = new QWidget();
  auto* choiceRow = new QHBoxLayout(row);
  choiceRow->setContentsMargins(0, 0, 0, 0);
  checkBox4_ = MakeCheckBox("CheckBox4", QStringLiteral("Выбор модели"));
  checkBox4_->setEnabled(false);
  checkBox4_->setToolTip(
      QStringLiteral("Нажми сюда если хочешь выбрать модель методом обучающей выборки"));
  auto* label33 = MakeLabel("Label33", QStringLiteral("Количество отсекаемых лет"));
  spinEdit1_ = MakeSpinEdit("SpinEdit1", 2, 2, 2);
  spinEdit1_->setEnabled(false);
  cbb1_ = Hidden(MakeComboBox("cbb1", {}));
  cbb1_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  cbb1_->setPlaceholderText(FromUtf8(std::string(estimation::kModelChoicePrompt)));
  cbb1_->setCurrentIndex(-1);
  choiceRow->addWidget(checkBox4_);
  choiceRow->addSpacing(12);
  choiceRow->addWidget(label33);
  choiceRow->addWidget(spinEdit1_);
  choiceRow->addWidget(cbb1_, 1);
  choiceRow->addStretch(1);
  return row;
}

}  // namespace tarvik::app
