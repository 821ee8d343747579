#pragma once

// What the estimation page draws of a retrospective analysis: the biomass of
// the whole series and of the series without its last 1 … 5 years, each a
// named curve over its own years.

#include <string>
#include <string_view>
#include <vector>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "estimation/retro_analysis.h"

namespace tarvik::estimation {

struct NamedCurve {
  std::string Label;  // for the legend
  PointList Points;
};

struct RetrospectiveChart {
  std::string Title;   // "<variant>: ρ Мона = …"
  std::string XTitle;  // "Год"
  std::string YTitle;  // "Биомасса, <catch unit>"
  // First the whole series ("все годы": C / (q·E) with the variant's fitted
  // q), then runs 6 … 10 ("без последнего года", "без последних k лет") with
  // their own q. The runs' closing zero points are left out: a curve ends at
  // its last year.
  std::vector<NamedCurve> Curves;
};

// The chart of `result` on `series` (the analysis series the runs were made
// on) whose first row is `firstYear`; `fittedQ` is the analysed variant's q,
// `tonnesExponent` the catch unit of the data (10^N tonnes). A year without a
// finite positive biomass (zero catch, effort) is left out of the whole
// series' curve.
RetrospectiveChart RetrospectiveCurves(const RetrospectiveResult& result,
                                       const data::CatchEffortSeries& series, int firstYear,
                                       double fittedQ, int tonnesExponent,
                                       std::string_view variantLabel);

}  // namespace tarvik::estimation
