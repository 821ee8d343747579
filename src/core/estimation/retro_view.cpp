#include "estimation/retro_view.h"

#include <cmath>

#include "common/r_picture.h"

namespace tarvik::estimation {

namespace {

std::string PeelLabel(int years) {
  if (years == 1) return "без последнего года";
  return "без последних " + std::to_string(years) + " лет";
}

}  // namespace

RetrospectiveChart RetrospectiveCurves(const RetrospectiveResult& result,
                                       const data::CatchEffortSeries& series, int firstYear,
                                       double fittedQ, int tonnesExponent,
                                       std::string_view variantLabel) {
  RetrospectiveChart chart;
  chart.Title = std::string(variantLabel) + ": " + result.Mohn.ChartLabel;
  chart.XTitle = "Год";
  chart.YTitle = MassTitle("Биомасса", tonnesExponent);

  NamedCurve whole{"все годы", {}};
  for (std::size_t t = 0; t < series.size(); ++t) {
    const double biomass = series.C[t] / (fittedQ * series.E[t]);
    if (std::isfinite(biomass) && biomass > 0.0) {
      whole.Points.push_back({static_cast<double>(firstYear) + static_cast<double>(t), biomass});
    }
  }
  chart.Curves.push_back(std::move(whole));
  // Runs 6 … 10 lack the last 1 … 5 years; their last point is the zero
  // that closes the curve on Chart6.
  for (int peel = 1; peel <= 5; ++peel) {
    const RetrospectiveRun& run = result.Runs[static_cast<std::size_t>(peel + 4)];
    NamedCurve curve{PeelLabel(peel), {}};
    for (const Point& point : run.Curve) {
      if (point.y != 0.0) curve.Points.push_back(point);
    }
    chart.Curves.push_back(std::move(curve));
  }
  return chart;
}

}  // namespace tarvik::estimation
