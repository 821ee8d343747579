#include "app/retro_panel.h"

#include <algorithm>
#include <limits>

#include "app/locale_mark.h"
#include "app/widgets.h"
#include "assessment/variants.h"
#include "data/data_table.h"
#include "estimation/retro_view.h"
#include "estimation/variants.h"

namespace tarvik::app {

RetrospectiveAnalysis::RetrospectiveAnalysis(PageContext context, ProgressLog log,
                                             std::function<std::optional<int>()> maxFailures,
                                             QObject* parent)
    : QObject(parent), context_(context), log_(log), maxFailures_(std::move(maxFailures)) {
  chart_ = Named<ChartPanel>("ChartRetrospective");
  PrepareRetrospectiveChart(*chart_);
}

namespace {

// The whole series first, then the peels, darker to lighter.
const QColor kCurveColours[] = {Qt::black,     Qt::blue,    Qt::red,
                                Qt::darkGreen, Qt::magenta, Qt::darkCyan};

QString CurveName(int index) {
  return QStringLiteral("RetroCurve%1").arg(index);
}

}  // namespace

void PrepareRetrospectiveChart(ChartPanel& chart) {
  chart.SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  // Whole decades: four-digit years stay whole at the smallest window.
  chart.SetAxisRoundTicks(Axis::Bottom, 10.0);
  chart.SetAxisRoundTicks(Axis::Left);
  chart.SetAxisMinimum(Axis::Left, 0.0);  // a biomass
  // Six long names: a legend that wraps them whole (once drawn).
  chart.SetLegendVisible(false);
}

void ClearRetrospectiveCurves(ChartPanel& chart) {
  for (int i = 0; chart.HasSeries(CurveName(i)); ++i) chart.RemoveSeries(CurveName(i));
  chart.SetTitle(QString());
  chart.SetAxisTitle(Axis::Bottom, QString());
  chart.SetAxisTitle(Axis::Left, QString());
}

void DrawRetrospectiveCurves(ChartPanel& chart, const estimation::RetrospectiveChart& view) {
  ClearRetrospectiveCurves(chart);
  chart.SetTitle(FromUtf8(view.Title));
  chart.SetAxisTitle(Axis::Bottom, FromUtf8(view.XTitle));
  chart.SetAxisTitle(Axis::Left, FromUtf8(view.YTitle));
  int curves = 0;
  for (const estimation::NamedCurve& curve : view.Curves) {
    const QString name = CurveName(curves);
    chart.AddSeries(name, {SeriesStyle::Kind::Line, kCurveColours[curves % std::size(kCurveColours)],
                           curves == 0 ? 3.0 : 2.0, SeriesStyle::Marker::None, 3, false, true,
                           FromUtf8(curve.Label)});
    chart.SetPoints(name, curve.Points);
    ++curves;
  }
  // The years of the curves, without padding, so that few labels fall in.
  double first = std::numeric_limits<double>::infinity();
  double last = -first;
  for (const estimation::NamedCurve& curve : view.Curves) {
    for (const Point& point : curve.Points) {
      first = std::min(first, point.x);
      last = std::max(last, point.x);
    }
  }
  if (first < last) chart.SetAxisRange(Axis::Bottom, first, last);
  chart.SetWrappedLegendVisible(true);
}

void RetrospectiveAnalysis::Clear() {
  ClearRetrospectiveCurves(*chart_);
}

void RetrospectiveAnalysis::Run(std::size_t variant, const estimation::SearchTexts& texts,
                                char decimalMark) {
  AssessmentState& state = context_.State();
  estimation::ReadSearchSettings(texts, decimalMark);
  const QString label = FromUtf8(estimation::VariantLabel(state.ModelFits, variant));
  estimation::RetrospectiveOptions options;
  if (const std::optional<int> failures = maxFailures_()) options.MaxFailures = *failures;
  log_.StartGauge(10);
  context_.background.RunGuarded(
      [this, &state, table = state.Table, variant, texts, decimalMark,
       options](BackgroundTask::Progress& progress) mutable {
        const auto append = log_.Appender(progress);
        const ProgressCallback advance = log_.Progress(progress);
        int lines = 0;
        // Line k starts run k; the last line ends the tenth.
        options.OnMemoLine = [&](const std::string& line) {
          append(line);
          advance(lines++, 10);
        };
        return estimation::RunRetrospective(state, table, variant, texts, decimalMark, options);
      },
      [this] { log_.HideGauge(); },
      [this, variant, label](const estimation::RetrospectiveResult& result) {
        log_.Append(result.Mohn.Text);
        const AssessmentState& done = context_.State();
        const estimation::RetrospectiveChart view = estimation::RetrospectiveCurves(
            result, done.AnalysisSeries, data::CellYear(done.Table, 1),
            done.ModelFits.at(variant).FittedQ, catchUnit_ ? catchUnit_() : 0, ToUtf8(label));
        DrawRetrospectiveCurves(*chart_, view);
        emit Finished(result, label);
      });
}

}  // namespace tarvik::app
