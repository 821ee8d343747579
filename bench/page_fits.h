#pragma once

// For the benchmarks and studies: the two examples, the bounds
// the estimation page starts with, and a variant of the procedure at its
// objective's minimum within them.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "assessment/refinement.h"
#include "common/error.h"
#include "data/catch_effort_series.h"
#include "data/data_file.h"
#include "estimation/refinement.h"
#include "model/objective.h"

namespace tarvik::bench {

inline data::CatchEffortSeries ReadExample(const std::string& name) {
  return data::ReadDataFile(std::string(TARVIK_SOURCE_DIR) + "/examples/" + name, '.').series;
}

// examples/schaefer_simulated_1990_2019.txt, read once.
inline const data::CatchEffortSeries& SimulatedExample() {
  static const data::CatchEffortSeries series = ReadExample("schaefer_simulated_1990_2019.txt");
  return series;
}

// examples/yellowfin_epo_1934_1955.txt, read once.
inline const data::CatchEffortSeries& YellowfinExample() {
  static const data::CatchEffortSeries series = ReadExample("yellowfin_epo_1934_1955.txt");
  return series;
}

// r 0 … 1, K from the largest catch to 100 times it, q 0.0001 … 1.
inline estimation::ParameterBounds PageBounds(const data::CatchEffortSeries& s) {
  const double maxCatch = *std::max_element(s.C.begin(), s.C.end());
  estimation::ParameterBounds b;
  b.MinR = 0.0;
  b.MaxR = 1.0;
  b.MinK = maxCatch;
  b.MaxK = 100.0 * maxCatch;
  b.MinQ = 0.0001;
  b.MaxQ = 1.0;
  return b;
}

// The record of `kind` and `objective` at the objective's minimum within
// `bounds` with keep count `keep` (estimation::RefineVariant from a neutral
// start). Raises tarvik::Error when the refinement finds no value.
inline model::ModelFit VariantMinimum(const data::CatchEffortSeries& s,
                                      model::ProductionModelKind kind,
                                      model::ObjectiveKind objective,
                                      const estimation::ParameterBounds& bounds,
                                      std::uint8_t keep) {
  // The nine records of the default cut-off list, kind-major.
  std::vector<model::ModelFit> fits(9);
  for (std::size_t i = 0; i < fits.size(); ++i) {
    fits[i].Kind = static_cast<model::ProductionModelKind>(i / 3);
    fits[i].Objective = static_cast<model::ObjectiveKind>(i % 3);
  }
  const auto index = 3 * static_cast<std::size_t>(kind) + static_cast<std::size_t>(objective);
  model::ModelFit& fit = fits[index];
  fit.R = 0.5;
  fit.K = std::sqrt(bounds.MinK * bounds.MaxK);
  fit.Q = 0.001;
  fit.ObjectiveValue =
      model::EvaluateObjective(s, objective, fit.Kind, fit.R, fit.K, fit.Q, fit.Exponent, keep);
  const estimation::VariantRefinement v = estimation::RefineVariant(s, fits, index, bounds, keep);
  if (!v.Available) throw Error(v.Message);
  fit.R = v.Point.r;
  fit.K = v.Point.K;
  fit.Q = v.Point.q;
  fit.Exponent = v.Point.p;
  fit.ObjectiveValue = v.Objective;
  return fit;
}

}  // namespace tarvik::bench
