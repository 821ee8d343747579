#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include <QObject>
#include <QString>

#include "app/chart_panel.h"
#include "app/page.h"
#include "app/progress_log.h"
#include "assessment/fit_checks.h"
#include "assessment/search.h"
#include "estimation/parameter_search.h"
#include "estimation/retro_analysis.h"
#include "estimation/retro_view.h"

namespace tarvik::app {

// A chart of retrospective curves: whole years on the bottom axis, a biomass
// from 0 on the left one.
void PrepareRetrospectiveChart(ChartPanel& chart);
// Draws the curves of `view` (the whole series and the peels, each over its
// own years) with the title, axis titles and a legend, in place of the
// curves drawn before.
void DrawRetrospectiveCurves(ChartPanel& chart, const estimation::RetrospectiveChart& view);
// Removes the curves, the title and the axis titles.
void ClearRetrospectiveCurves(ChartPanel& chart);

// The retrospective analysis of one variant, in the background: ten
// re-estimations without the first and the last 1 … 5 years, their lines in
// the progress log, Mohn's rho at the end, and the biomass of the whole
// series and of the five shortened ones on its chart (ChartRetrospective).
class RetrospectiveAnalysis : public QObject {
  Q_OBJECT

 public:
  // `maxFailures`: the failure limit of the re-estimations (nothing: the
  // program's own).
  RetrospectiveAnalysis(PageContext context, ProgressLog log,
                        std::function<std::optional<int>()> maxFailures, QObject* parent = nullptr);

  // Runs the analysis of record `variant` with the start values and bounds
  // of `texts` (a bad text raises before anything starts).
  void Run(std::size_t variant, const estimation::SearchTexts& texts, char decimalMark);

  // The chart of the last analysis, for the page's layout; the biomass axis
  // names the catch unit `catchUnit()` gives (10^N tonnes) when it is drawn.
  ChartPanel* Chart() const { return chart_; }
  void SetCatchUnitSource(std::function<int()> catchUnit) { catchUnit_ = std::move(catchUnit); }
  // Empties the chart (the analysed fit is gone).
  void Clear();

 signals:
  // The ten runs and Mohn's rho of the variant labelled `variant`.
  void Finished(const tarvik::estimation::RetrospectiveResult& result, const QString& variant);

 private:
  PageContext context_;
  ProgressLog log_;
  std::function<std::optional<int>()> maxFailures_;
  std::function<int()> catchUnit_;
  ChartPanel* chart_ = nullptr;
};

}  // namespace tarvik::app
