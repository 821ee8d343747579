#include "diagnostics/estimator_checks.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/elementary.h"
#include "common/error.h"
#include "common/threads.h"
#include "model/production.h"
#include "model/random.h"

namespace tarvik::diagnostics {
namespace {

// A value drawn over [lo, hi] on the log scale (hi when the pair fixes it).
double DrawLog(model::RandomSource& random, double lo, double hi) {
  const double u = random.RandomReal();
  if (!(lo < hi)) return hi;
  return lo * elementary::Pow(hi / lo, u);
}

// The lower bound the estimator uses (a bound that is not positive is a
// fraction of the upper one).
double EstimatorLower(double lo, double hi) {
  return lo > 0.0 ? std::min(lo, hi) : estimation::kLowerBoundFloor * hi;
}

bool Agree(double value, double lowest) {
  return value - lowest <= std::max(kJitterTolerance * std::fabs(lowest), 1e-12);
}

}  // namespace

Hindcast RunObservationErrorHindcast(const data::CatchEffortSeries& series,
                                     const estimation::ObservationErrorFit& fit,
                                     const estimation::ObservationErrorOptions& options,
                                     int maxPeels) {
  // The estimator needs more than ParameterCount + 1 years.
  const auto fewest = static_cast<std::size_t>(std::max(fit.ParameterCount, 1) + 2);
  const estimation::ObservationErrorPoint start = estimation::PointOf(fit);
  return HindcastByPeels(
      series, fewest, maxPeels,
      [&](const data::CatchEffortSeries& shorter, std::size_t T, const std::string& year,
          HindcastPeel& p) -> std::string {
        try {
          const estimation::ObservationErrorFit refit =
              estimation::RefitObservationError(shorter, fit.Kind, options, start);
          p.Point = {refit.R, refit.K, refit.Q, refit.P};
          const double last = refit.Biomass.back();
          const double next = last +
                              model::SurplusProduction(fit.Kind, last, refit.R, refit.K, refit.P) -
                              series.C[T - 1];
          p.Predicted = refit.Q * next;
        } catch (const Error& e) {
          return "не удалось пересчитать модель без данных с " + year + " года: " + e.what();
        }
        return {};
      });
}

Jitter RunObservationErrorJitter(const data::CatchEffortSeries& series,
                                 const estimation::ObservationErrorFit& fit,
                                 const estimation::ObservationErrorOptions& options,
                                 const JitterOptions& jitter) {
  Jitter j;
  const estimation::ParameterBounds& b = options.Bounds;
  const bool pt = fit.Kind == model::ProductionModelKind::PellaTomlinson;
  model::RandomSource random(jitter.Seed);
  j.Runs.resize(static_cast<std::size_t>(std::max(0, jitter.Starts)));
  std::vector<double> phis(j.Runs.size(), 1.0);
  for (std::size_t k = 0; k < j.Runs.size(); ++k) {
    JitterRun& run = j.Runs[k];
    run.Start.r = DrawLog(random, EstimatorLower(b.MinR, b.MaxR), b.MaxR);
    run.Start.K = DrawLog(random, EstimatorLower(b.MinK, b.MaxK), b.MaxK);
    run.Start.q = 0.0;
    run.Start.p = pt ? DrawLog(random, estimation::kObservationMinP, estimation::kObservationMaxP)
                     : fit.P;
    if (options.EstimateB1) {
      phis[k] = DrawLog(random, estimation::kMinB1OverK, estimation::kMaxB1OverK);
    }
  }
  ForEachIndex(j.Runs.size(), jitter.Threads, [&](std::size_t k) {
    JitterRun& run = j.Runs[k];
    try {
      const estimation::ObservationErrorFit refit = estimation::RefitObservationError(
          series, fit.Kind, options, {run.Start.r, run.Start.K, run.Start.p, phis[k]});
      run.Available = std::isfinite(refit.RSS);
      run.Point = {refit.R, refit.K, refit.Q, refit.P};
      run.Objective = refit.RSS;
    } catch (const Error&) {
      run.Available = false;
    }
  });

  bool any = false;
  j.Lowest = fit.RSS;
  for (const JitterRun& run : j.Runs) {
    if (!run.Available) continue;
    any = true;
    j.Lowest = std::min(j.Lowest, run.Objective);
  }
  if (!any) {
    j.Reason = "ни из одной начальной точки модель ошибки наблюдения не подгоняется";
    return j;
  }
  j.Assessable = true;
  for (JitterRun& run : j.Runs) {
    run.Agrees = run.Available && Agree(run.Objective, j.Lowest);
    j.Agreeing += run.Agrees ? 1 : 0;
  }
  j.BelowTheFit = !Agree(fit.RSS, j.Lowest);
  return j;
}

Hindcast RunStateSpaceHindcast(const data::CatchEffortSeries& series,
                               const estimation::StateSpaceFit& fit,
                               const estimation::StateSpaceOptions& options, int maxPeels) {
  // The estimator needs ParameterCount + 2 years.
  const auto fewest = static_cast<std::size_t>(std::max(fit.ParameterCount, 1) + 2);
  estimation::StateSpaceOptions refitOptions = options;
  refitOptions.EstimateB1 = fit.EstimateB1;
  return HindcastByPeels(
      series, fewest, maxPeels,
      [&](const data::CatchEffortSeries& shorter, std::size_t, const std::string& year,
          HindcastPeel& p) -> std::string {
        try {
          const estimation::StateSpaceFit refit =
              estimation::FitStateSpace(shorter, fit.Kind, refitOptions);
          p.Point = {refit.R.Value, refit.K.Value, refit.Q.Value, refit.P.Value};
          p.Predicted = refit.Q.Value * refit.BNext.Value;
        } catch (const Error& e) {
          return "не удалось пересчитать модель без данных с " + year + " года: " + e.what();
        }
        return {};
      });
}

Jitter StateSpaceJitter(const estimation::StateSpaceFit& fit) {
  Jitter j;
  j.Lowest = fit.Objective;
  for (double objective : fit.StartObjectives) {
    JitterRun run;
    run.Available = std::isfinite(objective);
    run.Objective = objective;
    if (run.Available) j.Lowest = std::min(j.Lowest, objective);
    j.Runs.push_back(run);
  }
  if (j.Runs.empty()) {
    j.Reason = "у оценки нет сведений о начальных точках";
    return j;
  }
  j.Assessable = true;
  // The objective is a negative log-likelihood: agreement is measured in
  // its own units, within kJitterTolerance of its size or 10⁻⁶.
  const auto agree = [&](double value) {
    return value - j.Lowest <= std::max(kJitterTolerance * std::fabs(j.Lowest), 1e-6);
  };
  for (JitterRun& run : j.Runs) {
    run.Agrees = run.Available && agree(run.Objective);
    j.Agreeing += run.Agrees ? 1 : 0;
  }
  j.BelowTheFit = !agree(fit.Objective);
  return j;
}

}  // namespace tarvik::diagnostics
