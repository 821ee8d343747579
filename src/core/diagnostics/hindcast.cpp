#include "diagnostics/hindcast.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "common/error.h"
#include "common/numbers.h"
#include "diagnostics/bounds.h"
#include "estimation/refinement.h"
#include "model/objective.h"

namespace tarvik::diagnostics {

Hindcast HindcastByPeels(const data::CatchEffortSeries& series, std::size_t fewest, int maxPeels,
                         const PeelRefit& refit) {
  Hindcast h;
  const std::size_t n = series.size();
  if (n <= fewest || maxPeels < 1 || series.C.size() != n) {
    h.Reason = "ряд слишком короток для прогноза назад: нужно не меньше " +
               std::to_string(fewest + 1) + " лет";
    return h;
  }
  const std::size_t peels = std::min<std::size_t>(static_cast<std::size_t>(maxPeels), n - fewest);
  double predictionError = 0.0, naiveError = 0.0;
  for (std::size_t peel = 1; peel <= peels; ++peel) {
    const std::size_t T = n - peel;  // the predicted year; the fit keeps years 0 … T − 1
    data::CatchEffortSeries shorter = series;
    shorter.U.resize(T);
    shorter.E.resize(std::min(shorter.E.size(), T));
    shorter.C.resize(T);
    const std::string year = std::to_string(series.FirstYear + static_cast<int>(T));
    HindcastPeel p;
    p.Peel = static_cast<int>(peel);
    p.Year = series.FirstYear + static_cast<int>(T);
    p.Observed = series.U[T];
    p.Naive = series.U[T - 1];
    if (std::string failure = refit(shorter, T, year, p); !failure.empty()) {
      h.Reason = std::move(failure);
      h.Peels.clear();
      return h;
    }
    if (!std::isfinite(p.Predicted)) {
      h.Reason = "прогноз на " + year + " год не является конечным числом";
      h.Peels.clear();
      return h;
    }
    predictionError += std::fabs(p.Observed - p.Predicted);
    naiveError += std::fabs(p.Observed - p.Naive);
    h.Peels.push_back(p);
  }
  if (!(naiveError > 0.0)) {
    h.Reason = "улов на усилие в проверяемых годах не менялся: наивный прогноз точен";
    h.Peels.clear();
    return h;
  }
  h.Assessable = true;
  h.Mase = predictionError / naiveError;
  return h;
}

Hindcast RunHindcast(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                     const estimation::ParameterBounds& bounds, std::uint8_t keepCount,
                     int maxPeels) {
  const double residuals = static_cast<double>(series.size()) - 2.0;
  const estimation::ParameterPoint start{fit.R, fit.K, fit.Q, fit.Exponent};
  return HindcastByPeels(
      series, FewestYears(fit.Kind), maxPeels,
      [&](const data::CatchEffortSeries& shorter, std::size_t T, const std::string& year,
          HindcastPeel& p) -> std::string {
        const double kept = RoundHalfEven(keepCount * static_cast<double>(T - 2) / residuals);
        const auto keep =
            static_cast<std::uint8_t>(std::clamp(kept, 1.0, static_cast<double>(T - 2)));
        const estimation::LocalRefit refit =
            estimation::RefitLocally(shorter, fit, start, bounds, keep);
        if (!refit.Available) {
          return "не удалось пересчитать модель без данных с " + year + " года: " + refit.Message;
        }
        p.Point = refit.Point;
        try {
          const std::vector<double> e = model::CpueResiduals(
              std::span(series.U).first(T + 1), std::span(series.C).first(T + 1), fit.Kind,
              refit.Point.r, refit.Point.K, refit.Point.q, refit.Point.p);
          p.Predicted = series.U[T] - e.back();
        } catch (const Error& e) {
          return "прогноз на " + year + " год не вычисляется: " + e.what();
        }
        return {};
      });
}

}  // namespace tarvik::diagnostics
