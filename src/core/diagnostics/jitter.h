#pragma once

// Jitter: refits of a variant from starts spread over the bounds, to see
// whether they all reach the same minimum.

#include <cstdint>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/search_engine.h"
#include "model/model_fit.h"

namespace tarvik::diagnostics {

// Refits within this fraction of the lowest objective reach the same
// minimum (0.1 %, the tolerance of the convergence check; on a perfect fit,
// within 10⁻⁹ of the largest CPUE).
inline constexpr double kJitterTolerance = 0.001;

struct JitterOptions {
  int Starts = 20;
  // Seed of the jitter's own generator (model::RandomSource): the
  // procedure's random stream is never touched.
  std::uint32_t Seed = 1;
  int Threads = 0;  // 0 = every hardware thread; the results do not depend on it
};

struct JitterRun {
  estimation::ParameterPoint Start;
  bool Available = false;  // the objective could be evaluated there
  estimation::ParameterPoint Point;
  double Objective = 0.0;
  bool Agrees = false;  // within kJitterTolerance of Lowest
};

struct Jitter {
  bool Assessable = false;
  std::string Reason;
  std::vector<JitterRun> Runs;
  // The lowest objective of the fit itself and of every refit.
  double Lowest = 0.0;
  int Agreeing = 0;  // runs that agree
  // Some refit ended more than kJitterTolerance below the fit's own value:
  // the fit is not at the lowest minimum.
  bool BelowTheFit = false;
};

// `options.Starts` starts drawn from the own generator, uniformly over each
// bound pair (r on its scale; K, q on the log scale when their lower bound
// is positive; p for Pella-Tomlinson), in the order r, K, q, p per start;
// each refitted by estimation::RefitLocally with the keep count of the fit.
// Not assessable when no refit could be evaluated. Never raises for faults
// of the objective.
Jitter RunJitter(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                 const estimation::ParameterBounds& bounds, std::uint8_t keepCount,
                 const JitterOptions& options = {});

}  // namespace tarvik::diagnostics
