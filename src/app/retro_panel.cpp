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
  chart_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  // Whole decades: four-digit years stay whole at the smallest window.
  chart_->SetAxisRoundTicks(Axis::Bottom, 10.0);
  chart_->SetAxisRoundTicks(Axis::Left);
  chart_->SetAxisMinimum(Axis::Left, 0.0);  // a biomass
  // Six long names: a legend that wraps them whole.
  chart_->SetLegendVisible(false);
}

namespace {

// The whole series first, then the peels, darker to lighter.
const QColor kCurveColours[] = {Qt::black,     Qt::blue,    Qt::red,
                                Qt::darkGreen, Qt::magenta, Qt::darkCyan};

QString CurveName(int index) {
  return QStringLiteral("RetroCurve%1").arg(index);
}

}  // namespace

void RetrospectiveAnalysis::Clear() {
  for (int i = 0; i < curves_; ++i) chart_->RemoveSeries(CurveName(i));
  curves_ = 0;
  chart_->SetTitle(QString());
  chart_->SetAxisTitle(Axis::Bottom, QString());
  chart_->SetAxisTitle(Axis::Left, QString());
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
        Clear();
        chart_->SetTitle(FromUtf8(view.Title));
        chart_->SetAxisTitle(Axis::Bottom, FromUtf8(view.XTitle));
        chart_->SetAxisTitle(Axis::Left, FromUtf8(view.YTitle));
        for (const estimation::NamedCurve& curve : view.Curves) {
          const QString name = CurveName(curves_);
          chart_->AddSeries(
              name, {SeriesStyle::Kind::Line, kCurveColours[curves_ % std::size(kCurveColours)],
                     curves_ == 0 ? 3.0 : 2.0, SeriesStyle::Marker::None, 3, false, true,
                     FromUtf8(curve.Label)});
          chart_->SetPoints(name, curve.Points);
          ++curves_;
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
        if (first < last) chart_->SetAxisRange(Axis::Bottom, first, last);
        chart_->SetWrappedLegendVisible(true);
        emit Finished(result, label);
      });
}

}  // namespace tarvik::app
