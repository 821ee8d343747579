#pragma once

// A small hand-made assessment shared by the projection tests: a Schaefer
// variant (r = 0.5, K = 1000, q = 0.001) with its reference points, on a
// five-year series, and a piecewise-linear rule.

#include <vector>

#include "assessment/state.h"
#include "rules/harvest_rule.h"

namespace tarvik::projection::testing {

inline model::ModelFit SchaeferFit() {
  model::ModelFit fit;
  fit.Kind = model::ProductionModelKind::Schaefer;
  fit.Objective = model::ObjectiveKind::SumOfSquares;
  fit.R = 0.5;
  fit.K = 1000.0;
  fit.Q = 0.001;
  fit.MSY = 125.0;
  fit.BMSY = 500.0;
  fit.FMSY = 0.25;
  fit.EMSY = 250.0;
  fit.BTarget = 500.0;
  fit.FTarget = 0.25;
  fit.ETarget = 250.0;
  fit.BLimit = 50.0;
  return fit;
}

inline AssessmentState SmallState() {
  AssessmentState state;
  state.AnalysisSeries.U = {0.50, 0.45, 0.42, 0.40, 0.41};
  state.AnalysisSeries.C = {100.0, 110.0, 105.0, 100.0, 95.0};
  for (std::size_t i = 0; i < state.AnalysisSeries.U.size(); ++i) {
    state.AnalysisSeries.E.push_back(state.AnalysisSeries.C[i] / state.AnalysisSeries.U[i]);
  }
  state.LoadedSeries = state.AnalysisSeries;
  state.ModelFits = {SchaeferFit()};
  state.ActiveVariants = {0};
  state.ModelChoiceText = "Шефер СК";
  return state;
}

inline rules::HarvestRule LinearRule(double alpha) {
  rules::HarvestRule rule;
  rule.Kind = rules::RuleKind::PiecewiseLinear;
  rule.Alpha = alpha;
  rule.TargetKind = rules::FTargetKind::FMSY;
  return rule;
}

}  // namespace tarvik::projection::testing
