#include "app/tac_page.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/chart_export.h"
#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/retro_panel.h"
#include "app/widgets.h"
#include "assessment/decision_table.h"
#include "assessment/journal.h"
#include "assessment/management.h"
#include "assessment/state.h"
#include "common/error.h"
#include "common/r_picture.h"
#include "data/data_table.h"
#include "estimation/retro_view.h"
#include "estimation/variants.h"
#include "projection/tac_report.h"
#include "uncertainty/bootstrap_view.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik::app {

namespace {

// Pictures of the chart are written at least this large.
constexpr int kImageMinWidth = 1000;
constexpr int kImageMinHeight = 600;
// Point markers reach 3 pixels either side of their point.
constexpr qreal kIntervalMarker = 7.0;
// The Kobe plot is written at least this large (nearly square).
constexpr int kKobeImageMinWidth = 900;
constexpr int kKobeImageMinHeight = 800;

// The quadrants of the Kobe plot, in KobeQuadrant order.
const QColor kKobeColours[] = {QColor(150, 215, 150), QColor(255, 238, 130), QColor(255, 190, 115),
                               QColor(240, 140, 140)};

const QColor kCream(255, 251, 240);
const QColor kMaroon(128, 0, 0);
const QColor kGreen(0, 128, 0);

const QString kBiomassIntervalTitle = QStringLiteral("Биомасса: 90 % интервал");

// Writes a picture in `format` ("JPG", "BMP", "PNG"); the file is replaced
// whole or left as it was.
void WriteImageFile(const QImage& image, const std::string& path, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, format)) {
    throw Error("Не удаётся подготовить рисунок графика в формате " + std::string(format));
  }
  projection::WriteFileAtomically(path, bytes.toStdString());
}

QString Joined(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << FromUtf8(line);
  return list.join(QLatin1Char('\n'));
}

}  // namespace

const QString TacPage::kCapacity = QStringLiteral("Series5");
const QString TacPage::kBmsy = QStringLiteral("Series6");
const QString TacPage::kMsy = QStringLiteral("Series7");
const QString TacPage::kBiomass = QStringLiteral("Series8");
const QString TacPage::kCatch = QStringLiteral("Series9");
const QString TacPage::kCatchInterval = QStringLiteral("Series11");
const QString TacPage::kBiomassInterval = QStringLiteral("Series28");
const QString TacPage::kBiomassLower = QStringLiteral("Series29");
const QString TacPage::kBiomassUpper = QStringLiteral("Series30");
const QString TacPage::kCatchLower = QStringLiteral("Series31");
const QString TacPage::kCatchUpper = QStringLiteral("Series32");
const QString TacPage::kKobeObserved = QStringLiteral("KobeObserved");
const QString TacPage::kKobeForecast = QStringLiteral("KobeForecast");
const QString TacPage::kKobeBmsyLine = QStringLiteral("KobeBmsy");
const QString TacPage::kKobeFmsyLine = QStringLiteral("KobeFmsy");
const QString TacPage::kKobeYears = QStringLiteral("KobeYears");
const QString TacPage::kKobeCloud = QStringLiteral("KobeCloud");
const QString TacPage::kKobeCloudEstimate = QStringLiteral("KobeCloudEstimate");

QString TacPage::KobeArea(projection::KobeQuadrant quadrant) {
  return QStringLiteral("Kobe_") + FromUtf8(projection::QuadrantKey(quadrant));
}

TacPage::TacPage(PageContext context, QWidget* parent) : Page(context, parent) {
  setObjectName("TabSheet6");
  decisionTab_ = new DecisionTab(
      context, [this] { return spinEdit2_->value(); },
      [this] { return bounds_ ? bounds_() : estimation::ParameterBounds{}; },
      [this] { ShowReportText(); }, [this] { return CatchUnit(); });
  BuildResults();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(BuildControls());
  layout->addWidget(pageControl3_, 1);
}

void TacPage::SetDescriptionSource(std::function<data::DataDescription()> source) {
  description_ = std::move(source);
}

int TacPage::CatchUnit() const { return description_ ? description_().catchUnitExponent : 0; }

void TacPage::SetBoundsSource(std::function<estimation::ParameterBounds()> source) {
  bounds_ = std::move(source);
}

QWidget* TacPage::BuildControls() {
  auto* column = new QWidget();
  column->setMaximumWidth(230);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  layout->addWidget(MakeLabel("Label24", QStringLiteral("Прогнозный горизонт")));
  spinEdit2_ = MakeSpinEdit("SpinEdit2", 1, 20, 5);
  layout->addWidget(spinEdit2_);

  radioGroup1_ = Hidden(MakeGroupBox("RadioGroup1", QStringLiteral("Анализ чувствительности")));
  auto* radios = new QHBoxLayout(radioGroup1_);
  radioButtons_ = new QButtonGroup(radioGroup1_);
  radioButtons_->setObjectName("RadioGroup1Buttons");
  int id = 0;
  for (const char* caption : {"r", "K", "q"}) {
    auto* radio = new QRadioButton(QString::fromLatin1(caption));
    radio->setObjectName(QStringLiteral("RadioGroup1_%1").arg(caption));
    radios->addWidget(radio);
    radioButtons_->addButton(radio, id++);
  }
  layout->addWidget(radioGroup1_);

  lbl2_ = Hidden(MakeLabel("lbl2", QStringLiteral("Приращение параметра, %")));
  se2_ = Hidden(MakeSpinEdit("se2", 5, 50, 10, 5));
  layout->addWidget(lbl2_);
  layout->addWidget(se2_);

  checkBox3_ = MakeCheckBox("CheckBox3", QStringLiteral("Добавить шум"), true);
  layout->addWidget(checkBox3_);
  auto* button16 = MakeButton("Button16", QStringLiteral("Построить график"));
  auto* button19 = MakeButton("Button19", QStringLiteral("Сохранить в файл"));
  layout->addWidget(button16);
  layout->addWidget(button19);
  layout->addStretch(1);

  On(button16, &QPushButton::clicked, [this] { DrawForecast(); });
  On(button19, &QPushButton::clicked, [this] { SaveReport(); });
  On(radioButtons_, &QButtonGroup::idClicked, [this](int item) { RunSensitivity(item); });
  On(se2_, &QSpinBox::valueChanged, [this] { StepChanged(); });
  return column;
}

void TacPage::BuildResults() {
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  pageControl3_ = Named<PageControl>("PageControl3");

  chart5_ = Named<ChartPanel>("Chart5");
  chart5_->SetAxisTitle(Axis::Bottom, QStringLiteral("Год"));
  chart5_->SetAxisTitle(Axis::Left, QStringLiteral("Биомасса, т"));
  chart5_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  chart5_->SetAxisRoundTicks(Axis::Bottom, 1.0);  // whole years
  chart5_->SetAxisRoundTicks(Axis::Left);
  chart5_->SetLegendVisible(true, true);
  chart5_->SetBackground(kCream);
  const auto line = [](const QColor& colour, qreal width, bool inLegend, const QString& title) {
    return SeriesStyle{Kind::Line, colour, width, Marker::None, 3, false, inLegend, title};
  };
  const auto points = [](const QColor& colour) {
    return SeriesStyle{Kind::Points, colour, 1, Marker::Circle, kIntervalMarker, false, false, {}};
  };
  chart5_->AddSeries(kCapacity, line(kMaroon, 2, true, QStringLiteral("Ёмкость среды")));
  chart5_->AddSeries(kBmsy, line(Qt::blue, 2, true, QStringLiteral("BMSY")));
  chart5_->AddSeries(kMsy, line(Qt::black, 2, true, QStringLiteral("MSY")));
  chart5_->AddSeries(kBiomass, line(Qt::red, 2, true, QStringLiteral("Биомасса")));
  chart5_->AddSeries(kCatch, line(kGreen, 2, true, QStringLiteral("Улов / ОДУ")));
  chart5_->AddSeries(kCatchInterval, points(Qt::yellow));
  // The 90 % interval of the biomass: dark red rings, seen on the cream
  // ground beside the red biomass line.
  chart5_->AddSeries(kBiomassInterval, {Kind::Points, kMaroon, 2, Marker::Circle, kIntervalMarker,
                                        false, false, kBiomassIntervalTitle});
  chart5_->AddSeries(kBiomassLower, line(Qt::red, 1, false, {}));
  chart5_->AddSeries(kBiomassUpper, line(Qt::red, 1, false, {}));
  chart5_->AddSeries(kCatchLower, line(kGreen, 1, false, {}));
  chart5_->AddSeries(kCatchUpper, line(kGreen, 1, false, {}));

  popupMenu3_ = Named<QMenu>("PopupMenu3", this);
  auto* n6 = popupMenu3_->addAction(QStringLiteral("Сохранить результат"));
  n6->setObjectName("N6");
  chart5_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(chart5_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { popupMenu3_->popup(chart5_->mapToGlobal(pos)); });
  On(n6, &QAction::triggered, [this] { SaveChartBesideDataFile(); });
  AttachChartExport(chart5_, Ui(), Assessment(), popupMenu3_);

  auto* tabSheet7 = Named<QWidget>("TabSheet7");
  auto* forecast = new QVBoxLayout(tabSheet7);
  forecast->addWidget(chart5_);

  // The report above the year table: each gets the whole width, so their
  // 91-character rules and the catch column are read without scrolling.
  auto* tabSheet8 = Named<QWidget>("TabSheet8");
  auto* report = new QVBoxLayout(tabSheet8);
  auto* memos = new QSplitter(Qt::Vertical);
  memo3_ = MakeMemo("Memo3");
  memo4_ = MakeMemo("Memo4");
  memos->addWidget(memo3_);
  memos->addWidget(memo4_);
  AttachTextTableExport(memo4_, Ui(), Assessment(), [this] {
    const std::optional<projection::ForecastResult>& forecast = State().Forecast;
    if (!forecast) return TextTable{};
    return projection::TableCells(forecast->Report.Biomass, forecast->Report.Catch,
                                  forecast->Report.DecimalMark);
  });
  memos->setChildrenCollapsible(false);
  report->addWidget(memos);

  auto* tabSheet9 = Named<QWidget>("TabSheet9");
  auto* retrospective = new QVBoxLayout(tabSheet9);
  chart6_ = Named<ChartPanel>("Chart6");
  PrepareRetrospectiveChart(*chart6_);
  retrospective->addWidget(chart6_, 1);
  mohnLabel_ = Hidden(MakeLabel("MohnLabel", {}));
  mohnLabel_->setWordWrap(true);
  retrospective->addWidget(mohnLabel_);

  // The Kobe plot: the quadrants under the borders at BMSY and FMSY, under
  // the observed trajectory and the mean forecast.
  auto* tabSheetKobe = Named<QWidget>("TabSheetKobe");
  auto* kobe = new QVBoxLayout(tabSheetKobe);
  chartKobe_ = Named<ChartPanel>("ChartKobe");
  for (int q = 0; q < 4; ++q) {
    chartKobe_->AddArea(KobeArea(static_cast<projection::KobeQuadrant>(q)), kKobeColours[q]);
  }
  chartKobe_->AddSeries(kKobeBmsyLine, line(Qt::darkGray, 1, false, {}));
  chartKobe_->AddSeries(kKobeFmsyLine, line(Qt::darkGray, 1, false, {}));
  // The bootstrap's cloud behind the trajectory; its point estimate on top.
  chartKobe_->AddSeries(kKobeCloud, {Kind::Points, QColor(40, 40, 140, 70), 1, Marker::Circle, 5,
                                     false, false, QStringLiteral("Повторы бутстрепа")});
  chartKobe_->AddSeries(kKobeObserved, {Kind::Line, Qt::black, 2, Marker::Circle, 6, false, true,
                                        QStringLiteral("Наблюдения")});
  chartKobe_->AddSeries(kKobeForecast, {Kind::Line, Qt::blue, 2, Marker::Circle, 6, false, true,
                                        QStringLiteral("Средний прогноз"), Qt::DashLine});
  chartKobe_->AddSeries(kKobeCloudEstimate,
                        {Kind::Points, QColor(150, 0, 150), 1, Marker::Square, 10, false, false,
                         QStringLiteral("Оценка по модели (B = U0/q)")});
  chartKobe_->SetAxisRoundTicks(Axis::Bottom);
  chartKobe_->SetAxisRoundTicks(Axis::Left);
  chartKobe_->SetLegendVisible(true, true);
  chartKobe_->SetBackground(Qt::white);
  kobe->addWidget(chartKobe_, 1);
  kobeSummary_ = MakeLabel("KobeSummary", {});
  kobeSummary_->setWordWrap(true);
  kobe->addWidget(kobeSummary_);

  pageControl3_->AddPage(tabSheet7, QStringLiteral("Прогноз биомассы и уловов"));
  pageControl3_->AddPage(tabSheet8, QStringLiteral("Результаты"));
  pageControl3_->AddPage(tabSheet9, QStringLiteral("График"));
  pageControl3_->AddPage(tabSheetKobe, QStringLiteral("Диаграмма Кобе"));
  pageControl3_->AddPage(decisionTab_, QStringLiteral("Таблица решений"));
  pageControl3_->SetTabVisible(2, false);
  pageControl3_->SetTabVisible(kKobeTab, false);
}

void TacPage::AddRetrospectiveCurves(const estimation::RetrospectiveResult& result,
                                     const QString& variant) {
  // Drawn as the estimation page draws the analysis: the last one only.
  const AssessmentState& state = State();
  const std::size_t index = estimation::VariantIndexByLabel(state.ModelFits, ToUtf8(variant));
  const model::ModelFit& fit = state.ModelFits.at(index);
  const int unit = description_ ? description_().catchUnitExponent : 0;
  DrawRetrospectiveCurves(
      *chart6_, estimation::RetrospectiveCurves(result, state.AnalysisSeries,
                                                data::CellYear(state.Table, 1), fit.FittedQ, unit,
                                                ToUtf8(variant)));
  chart6_->SetBackground(Qt::white);
  retrospectiveFit_ = RetrospectiveFit{index, fit.R, fit.K, fit.Q};
  mohnLabel_->setText(FromUtf8(result.Mohn.Text));
  mohnLabel_->show();
  // The chart's tab is shown; the page itself stays as it is (the estimation
  // page shows the analysis), so nothing is unlocked.
  pageControl3_->SetTabVisible(2, true);
}

void TacPage::HideResultTab(int index) {
  if (pageControl3_->ActivePage() == index) pageControl3_->BringToFront(0);
  pageControl3_->SetTabVisible(index, false);
}

void TacPage::Opened() {
  if (const auto options = assessment::LastForecast(State(), DecimalMark())) {
    spinEdit2_->setValue(options->Horizon);
    checkBox3_->setChecked(options->AddNoise);
  }
  decisionTab_->Opened();
}

void TacPage::Redraw() {
  const int unit = description_ ? description_().catchUnitExponent : 0;
  chart5_->SetAxisTitle(Axis::Left, FromUtf8(MassTitle("Биомасса", unit)));
  if (!State().Forecast) {
    if (!drawnForecast_.empty() || kobe_ || !kobeError_.empty()) ClearForecast();
    const std::string note = assessment::RecomputeNote(State(), assessment::Stage::Forecast);
    chart5_->SetTitle(FromUtf8(note));
    memo3_->setPlainText(FromUtf8(note));
  } else if (State().Forecast->ReportLines != drawnForecast_) {
    ShowForecast(*State().Forecast);
  }
  ShowReportText();
  decisionTab_->Redraw();
  // Curves of a fit that has changed since (or is gone) go.
  if (retrospectiveFit_) {
    const RetrospectiveFit& was = *retrospectiveFit_;
    const std::vector<model::ModelFit>& fits = State().ModelFits;
    if (was.Variant >= fits.size() || fits[was.Variant].R != was.R ||
        fits[was.Variant].K != was.K || fits[was.Variant].Q != was.Q) {
      ClearRetrospectiveCurves(*chart6_);
      retrospectiveFit_.reset();
      mohnLabel_->clear();
      mohnLabel_->hide();
      HideResultTab(2);
    }
  }
}

projection::ForecastOptions TacPage::ReadForecastOptions() const {
  data::DataDescription description;
  if (description_) description = description_();
  return projection::ForecastOptionsFor(State(), spinEdit2_->value(), checkBox3_->isChecked(),
                                        description.species, description.stock, DecimalMark());
}

// "Построить график": the forecast is computed first and shown only when it
// succeeded, so a failure leaves the forecast shown before (and its report)
// whole.
void TacPage::DrawForecast() {
  const projection::ForecastOptions options = ReadForecastOptions();
  projection::ForecastResult forecast;
  {
    const WaitCursor wait;
    forecast = projection::BuildForecast(State(), options);
  }
  ShowForecast(forecast);
  Flow().ForecastDrawn();
  // The chart drawn is the chart seen, whichever tab was in front.
  pageControl3_->BringToFront(0);
}

void TacPage::Shown() {
  Redraw();
}

void TacPage::ClearForecast() {
  chart5_->ClearAll();
  memo3_->clear();
  memo4_->clear();
  drawnForecast_.clear();
  kobe_.reset();
  kobeError_.clear();
  chartKobe_->ClearAll();
  kobeSummary_->clear();
  HideResultTab(kKobeTab);
  radioGroup1_->setVisible(false);
  lbl2_->setVisible(false);
  se2_->setVisible(false);
}

void TacPage::ClearResults() {
  ClearForecast();
  decisionTab_->Shown();
  // The retrospective curves belong to the data set too.
  ClearRetrospectiveCurves(*chart6_);
  retrospectiveFit_.reset();
  mohnLabel_->clear();
  mohnLabel_->hide();
  HideResultTab(2);
}

void TacPage::ShowForecast(const projection::ForecastResult& forecast) {
  const projection::ForecastChart& chart = forecast.Chart;
  chart5_->ClearAll();
  chart5_->SetAxisRange(Axis::Bottom, chart.XMin, chart.XMax);
  chart5_->SetAxisRange(Axis::Left, chart.YMin, chart.YMax);
  chart5_->SetTitle(FromUtf8(chart.Title));
  chart5_->SetPoints(kCapacity, chart.Capacity);
  chart5_->SetPoints(kBmsy, chart.Bmsy);
  chart5_->SetPoints(kMsy, chart.Msy);
  chart5_->SetPoints(kBiomass, chart.Biomass);
  chart5_->SetPoints(kCatch, chart.Catch);
  chart5_->SetPoints(kCatchInterval, chart.CatchInterval);
  chart5_->SetPoints(kBiomassInterval, chart.BiomassInterval);
  chart5_->SetSeriesTitle(kBiomassInterval, kBiomassIntervalTitle, !chart.BiomassInterval.empty());

  memo4_->setPlainText(Joined(forecast.TableLines));
  drawnForecast_ = forecast.ReportLines;
  ShowKobe(forecast);
  ShowReportText();
  // A decision table made for another TAC went with the old forecast.
  decisionTab_->Shown();

  radioGroup1_->setVisible(true);
  lbl2_->setVisible(true);
  se2_->setVisible(true);
}

void TacPage::ShowReportText() {
  const std::optional<projection::ForecastResult>& forecast = State().Forecast;
  if (!forecast) return;
  std::vector<std::string> lines = forecast->ReportLines;
  projection::AppendDecisionSection(
      lines, uncertainty::DecisionSectionOf(State(), CatchUnit(), forecast->Report.DecimalMark));
  memo3_->setPlainText(Joined(lines));
}

void TacPage::ShowKobe(const projection::ForecastResult& forecast) {
  const AssessmentState& state = State();
  kobe_.reset();
  kobeError_.clear();
  chartKobe_->ClearAll();
  chartKobe_->SetSeriesTitle(kKobeCloud, chartKobe_->SeriesTitle(kKobeCloud), false);
  chartKobe_->SetSeriesTitle(kKobeCloudEstimate, chartKobe_->SeriesTitle(kKobeCloudEstimate),
                             false);
  try {
    if (forecast.Variant >= state.ModelFits.size()) {
      throw Error("Нет варианта модели с номером " + std::to_string(forecast.Variant));
    }
    kobe_ = projection::BuildKobeChart(state.AnalysisSeries, state.ModelFits[forecast.Variant],
                                       forecast.FirstYear, &forecast, DecimalMark());
  } catch (const Error& error) {
    // The forecast stands; the tab says why there is no plot.
    kobeError_ = error.what();
  }
  pageControl3_->SetTabVisible(kKobeTab, true);
  if (!kobe_) {
    chartKobe_->SetTitle(QStringLiteral("Диаграмма Кобе"));
    kobeSummary_->setText(FromUtf8(kobeError_));
    return;
  }
  std::optional<uncertainty::KobeCloud> cloud;
  if (state.Uncertainty) {
    cloud = uncertainty::KobeCloudOf(*state.Uncertainty);
    uncertainty::WidenKobeForCloud(*kobe_, *cloud);
  }
  const projection::KobeChart& chart = *kobe_;
  chartKobe_->SetTitle(FromUtf8(chart.Title));
  chartKobe_->SetAxisTitle(Axis::Bottom, FromUtf8(chart.XTitle));
  chartKobe_->SetAxisTitle(Axis::Left, FromUtf8(chart.YTitle));
  chartKobe_->SetAxisRange(Axis::Bottom, 0.0, chart.XMax);
  chartKobe_->SetAxisRange(Axis::Left, 0.0, chart.YMax);
  for (const projection::KobeArea& area : chart.Areas) {
    chartKobe_->SetArea(KobeArea(area.Quadrant), {area.XMin, area.XMax, area.YMin, area.YMax});
  }
  chartKobe_->SetPoints(kKobeBmsyLine, chart.BmsyLine);
  chartKobe_->SetPoints(kKobeFmsyLine, chart.FmsyLine);
  chartKobe_->SetPoints(kKobeObserved, chart.Observed);
  chartKobe_->SetPoints(kKobeForecast, chart.Forecast);
  std::vector<ChartLabel> years;
  for (const projection::KobePoint& point : chart.Points) {
    if (!point.Label.empty()) {
      years.push_back({{point.BRatio, point.FRatio}, FromUtf8(point.Label)});
    }
  }
  chartKobe_->SetLabels(kKobeYears, years);
  kobeSummary_->setText(Joined(uncertainty::KobeStatusLines(
      chart, cloud ? &*state.Uncertainty : nullptr, DecimalMark())));
  if (cloud) ShowKobeCloud(*state.Uncertainty, *cloud);
}

void TacPage::ShowKobeCloud(const uncertainty::BootstrapResult& result,
                            const uncertainty::KobeCloud& cloud) {
  // The zones' shares go into the title, so that a saved picture has them.
  const char mark = DecimalMark();
  chartKobe_->SetTitle(chartKobe_->Title() + QStringLiteral("<br><small>") +
                       FromUtf8(uncertainty::KobeCloudZones(cloud, mark)).toHtmlEscaped() +
                       QStringLiteral("</small>"));
  chartKobe_->SetPoints(kKobeCloud, cloud.Points);
  chartKobe_->SetPoints(kKobeCloudEstimate, {uncertainty::KobeCloudEstimate(result)});
  chartKobe_->SetSeriesTitle(kKobeCloud, chartKobe_->SeriesTitle(kKobeCloud), true);
  chartKobe_->SetSeriesTitle(kKobeCloudEstimate, chartKobe_->SeriesTitle(kKobeCloudEstimate), true);
  kobeSummary_->setText(kobeSummary_->text() + QStringLiteral("\n") +
                        FromUtf8(uncertainty::KobeCloudCaption(result, cloud, mark)));
}

void TacPage::RunSensitivity(int item) {
  projection::ForecastOptions options = ReadForecastOptions();
  options.AddNoise = false;
  projection::SensitivityResult result;
  try {
    const WaitCursor wait;
    result = projection::RunSensitivityAnalysis(
        State(), options, static_cast<projection::SensitivityParameter>(item), se2_->value());
  } catch (...) {
    // Nothing was drawn: the item can be clicked again.
    StepChanged();
    throw;
  }
  checkBox3_->setChecked(false);
  ShowForecast(result.Forecast);
  Flow().ForecastDrawn();
  chart5_->SetPoints(kBiomassLower, result.BiomassLower);
  chart5_->SetPoints(kBiomassUpper, result.BiomassUpper);
  chart5_->SetPoints(kCatchLower, result.CatchLower);
  chart5_->SetPoints(kCatchUpper, result.CatchUpper);
}

// A new step clears the choice of the parameter, so that the next click
// computes with the new step; the curves stay until then.
void TacPage::StepChanged() {
  radioButtons_->setExclusive(false);
  for (QAbstractButton* button : radioButtons_->buttons()) button->setChecked(false);
  radioButtons_->setExclusive(true);
}

bool TacPage::HasForecastToSave() const {
  if (State().Forecast) return true;
  Ui().ShowInformation(QStringLiteral(
      "Сохранять пока нечего: сначала постройте прогноз кнопкой «Построить график»."));
  return false;
}

// The report of the forecast drawn (its points and its noise flag, whatever
// the page shows since), with the data page's species and stock and the
// decision table made for it.
projection::TacReportInput TacPage::ReportAsShown() const {
  projection::TacReportInput input = State().Forecast->Report;
  if (description_) {
    const data::DataDescription description = description_();
    input.Species = description.species;
    input.Stock = description.stock;
  }
  input.DecisionSection = uncertainty::DecisionSectionOf(State(), CatchUnit(), input.DecimalMark);
  return input;
}

void TacPage::SaveChartImage(const QString& path, const char* format) const {
  WriteImageFile(chart5_->Picture(QSize(kImageMinWidth, kImageMinHeight)), ToUtf8(path), format);
}

void TacPage::SaveKobeImage(const std::string& reportPath) const {
  const std::string path = projection::KobeImageFileName(reportPath);
  const std::string failed = "Отчёт сохранён в файл «" + reportPath +
                             "», но рисунок диаграммы Кобе «" + path + "» не сохранён: ";
  if (!kobe_) throw Error(failed + kobeError_);
  try {
    WriteImageFile(chartKobe_->Picture(QSize(kKobeImageMinWidth, kKobeImageMinHeight)), path,
                   "PNG");
  } catch (const Error& error) {
    throw Error(failed + error.what());
  }
}

// "Сохранить в файл": the report file, then the chart image and the Kobe
// plot beside it.
void TacPage::SaveReport() {
  if (!HasForecastToSave()) return;
  const std::optional<QString> path = Ui().AskSaveFileName(
      FileDialogOptions{QStringLiteral("Введите имя файла"), QDir::currentPath(),
                        QStringLiteral("Текстовый документ (*.txt)"), QStringLiteral("txt")});
  if (!path) return;
  const std::string reportPath = ToUtf8(*path);
  projection::SaveTacReport(reportPath, ReportAsShown());
  SaveChartImage(FromUtf8(projection::ReportImageFileName(reportPath)), "JPG");
  SaveKobeImage(reportPath);
}

// "Сохранить результат": the chart image beside the data file.
void TacPage::SaveChartBesideDataFile() {
  if (!HasForecastToSave()) return;
  if (State().DataFileName.empty()) {
    throw Error(
        "Данные ещё не сохранены в файл, а рисунок записывается рядом с файлом данных: "
        "сохраните данные («Файл» → «Сохранить как»)");
  }
  const QString path = FromUtf8(projection::ForecastImageFileName(State().DataFileName));
  SaveChartImage(path, "BMP");
  // The file is not asked for: the status bar says where it went.
  if (auto* mainWindow = qobject_cast<QMainWindow*>(window())) {
    mainWindow->statusBar()->showMessage(
        QStringLiteral("Рисунок прогноза записан в файл «%1»")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
  }
}

}  // namespace tarvik::app
