#include "diagnostics/jitter.h"

#include <algorithm>
#include <cmath>

#include "common/elementary.h"
#include "common/threads.h"
#include "estimation/refinement.h"
#include "model/random.h"

namespace tarvik::diagnostics {
namespace {

// A value drawn over [lo, hi] (hi alone when the pair fixes it).
double Draw(model::RandomSource& random, double lo, double hi, bool logScale) {
  const double u = random.RandomReal();
  if (!(lo < hi)) return hi;
  if (logScale && lo > 0.0) return lo * elementary::Pow(hi / lo, u);
  return lo + (hi - lo) * u;
}

// Within the tolerance above `lowest`, or within `floor` of it (a perfect
// fit, whose minimum is 0 to rounding).
bool Agree(double value, double lowest, double floor) {
  return value - lowest <= std::max(kJitterTolerance * std::fabs(lowest), floor);
}

}  // namespace

Jitter RunJitter(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                 const estimation::ParameterBounds& b, std::uint8_t keepCount,
                 const JitterOptions& options) {
  Jitter j;
  const bool pt = fit.Kind == model::ProductionModelKind::PellaTomlinson;
  model::RandomSource random(options.Seed);
  j.Runs.resize(static_cast<std::size_t>(std::max(0, options.Starts)));
  for (JitterRun& run : j.Runs) {
    run.Start.r = Draw(random, b.MinR, b.MaxR, false);
    run.Start.K = Draw(random, b.MinK, b.MaxK, true);
    run.Start.q = Draw(random, b.MinQ, b.MaxQ, true);
    run.Start.p = pt ? Draw(random, b.MinP, b.MaxP, false) : fit.Exponent;
  }
  ForEachIndex(j.Runs.size(), options.Threads, [&](std::size_t k) {
    JitterRun& run = j.Runs[k];
    const estimation::LocalRefit refit =
        estimation::RefitLocally(series, fit, run.Start, b, keepCount);
    run.Available = refit.Available;
    run.Point = refit.Point;
    run.Objective = refit.Objective;
  });

  bool any = false;
  j.Lowest = fit.ObjectiveValue;
  for (const JitterRun& run : j.Runs) {
    if (!run.Available) continue;
    any = true;
    j.Lowest = std::min(j.Lowest, run.Objective);
  }
  if (!any) {
    j.Reason = "ни из одной начальной точки целевая функция не вычисляется";
    return j;
  }
  j.Assessable = true;
  double scale = 0.0;
  for (double u : series.U) scale = std::max(scale, std::fabs(u));
  const double floor = 1e-9 * scale;
  for (JitterRun& run : j.Runs) {
    run.Agrees = run.Available && Agree(run.Objective, j.Lowest, floor);
    j.Agreeing += run.Agrees ? 1 : 0;
  }
  j.BelowTheFit = !Agree(fit.ObjectiveValue, j.Lowest, floor);
  return j;
}

}  // namespace tarvik::diagnostics
