#include "assessment/dependencies.h"

#include "assessment/state.h"

namespace tarvik::assessment {
namespace {

// Whether the results `dependent` holds were made from those of `source`
// (for an edge that takes only what its source made).
bool MadeFrom(const AssessmentState& state, Stage source, Stage dependent) {
  if (source != Stage::ObservationError) return true;
  const auto estimator = uncertainty::Estimator::ObservationError;
  switch (dependent) {
    case Stage::Uncertainty:
      return state.Uncertainty && state.Uncertainty->Method == estimator;
    case Stage::DecisionTable:
      return state.Decision && state.Decision->Method == estimator;
    default:
      return true;
  }
}

// The results of one stage, and nothing else.
void ClearOwn(AssessmentState& state, Stage stage) {
  switch (stage) {
    case Stage::Suitability:
      state.SuitabilityChecked = false;
      state.PositiveCorrelation = false;
      state.AnalysisSeries = {};
      state.PTExponent = 0.0;
      break;
    case Stage::ObservationError:
      state.ObservationError = {};
      break;
    case Stage::StateSpace:
      state.StateSpace = {};
      break;
    case Stage::Fits:
      for (model::ModelFit& fit : state.ModelFits) {
        model::ModelFit unfitted;
        unfitted.Enabled = fit.Enabled;
        unfitted.Kind = fit.Kind;
        unfitted.Objective = fit.Objective;
        unfitted.CutOff = fit.CutOff;
        if (fit.Kind == model::ProductionModelKind::PellaTomlinson)
          unfitted.Exponent = state.PTExponent;
        fit = unfitted;
      }
      state.MedianKeepCount = 0;
      state.LastSearch.reset();
      break;
    case Stage::ModelChoice:
      state.ModelChoiceText.clear();
      break;
    case Stage::ReferencePoints: {
      for (model::ModelFit& fit : state.ModelFits) {
        fit.MSY = fit.BMSY = fit.FMSY = fit.EMSY = 0.0;
        fit.BTarget = fit.FTarget = fit.ETarget = fit.BLimit = 0.0;
      }
      // The Blim selector's fraction is an input: it stays.
      const double limitFraction = state.ReferencePoints.LimitFraction;
      state.ReferencePoints = {};
      state.ReferencePoints.LimitFraction = limitFraction;
      break;
    }
    case Stage::Uncertainty:
      state.Uncertainty.reset();
      break;
    case Stage::Indicators:
      state.Indicators = {};
      break;
    case Stage::Forecast:
      state.Forecast.reset();
      break;
    case Stage::DecisionTable:
      state.Decision.reset();
      break;
    default:  // an input: no results of its own
      break;
  }
}

// The edges from `stage` to follow now. Read before anything is cleared:
// clearing a result must not hide what it was made from.
std::array<bool, kDependencies.size()> EdgesFrom(const AssessmentState& state, Stage stage) {
  std::array<bool, kDependencies.size()> taken{};
  for (std::size_t i = 0; i < kDependencies.size(); ++i) {
    const Dependency& d = kDependencies[i];
    taken[i] = d.Source == stage && (!d.OnlyWhatItMade || MadeFrom(state, d.Source, d.Dependent));
  }
  return taken;
}

void ClearAlong(AssessmentState& state, const std::array<bool, kDependencies.size()>& taken) {
  for (std::size_t i = 0; i < kDependencies.size(); ++i) {
    if (taken[i]) Clear(state, kDependencies[i].Dependent);
  }
}

}  // namespace

void ClearDependents(AssessmentState& state, Stage stage) {
  ClearAlong(state, EdgesFrom(state, stage));
}

void Clear(AssessmentState& state, Stage stage) {
  const auto taken = EdgesFrom(state, stage);
  ClearOwn(state, stage);
  ClearAlong(state, taken);
}

}  // namespace tarvik::assessment

namespace tarvik {

using assessment::Stage;

void ClearSuitability(AssessmentState& state) {
  assessment::Clear(state, Stage::Suitability);
}
void ClearObservationError(AssessmentState& state) {
  assessment::Clear(state, Stage::ObservationError);
}

void ClearStateSpace(AssessmentState& state) {
  assessment::Clear(state, Stage::StateSpace);
}
void ClearFits(AssessmentState& state) {
  assessment::Clear(state, Stage::Fits);
}
void ClearModelChoice(AssessmentState& state) {
  assessment::Clear(state, Stage::ModelChoice);
}
void ClearReferencePoints(AssessmentState& state) {
  assessment::Clear(state, Stage::ReferencePoints);
}
void ClearUncertainty(AssessmentState& state) {
  assessment::Clear(state, Stage::Uncertainty);
}
void ClearIndicators(AssessmentState& state) {
  assessment::Clear(state, Stage::Indicators);
}
void ClearForecast(AssessmentState& state) {
  assessment::Clear(state, Stage::Forecast);
}
void ClearDecisionTable(AssessmentState& state) {
  assessment::Clear(state, Stage::DecisionTable);
}

}  // namespace tarvik
