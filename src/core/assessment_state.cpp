#include "assessment_state.h"

namespace tarvik {

void ClearSuitability(AssessmentState& state) {
  state.SuitabilityChecked = false;
  state.PositiveCorrelation = false;
  state.AnalysisSeries = {};
  state.PTExponent = 0.0;
  ClearObservationError(state);
  ClearStateSpace(state);
  ClearFits(state);
}

void ClearObservationError(AssessmentState& state) {
  state.ObservationError = {};
}

void ClearStateSpace(AssessmentState& state) {
  state.StateSpace = {};
}

void ClearFits(AssessmentState& state) {
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
  ClearModelChoice(state);
}

void ClearModelChoice(AssessmentState& state) {
  state.ModelChoiceText.clear();
  ClearReferencePoints(state);
}

void ClearReferencePoints(AssessmentState& state) {
  for (model::ModelFit& fit : state.ModelFits) {
    fit.MSY = fit.BMSY = fit.FMSY = fit.EMSY = 0.0;
    fit.BTarget = fit.FTarget = fit.ETarget = fit.BLimit = 0.0;
  }
  state.ReferencePoints = {};
  ClearUncertainty(state);
  ClearIndicators(state);
  ClearForecast(state);
  ClearDecisionTable(state);
}

void ClearUncertainty(AssessmentState& state) {
  state.Uncertainty.reset();
}

void ClearIndicators(AssessmentState& state) {
  state.Indicators = {};
}

void ClearForecast(AssessmentState& state) {
  state.Forecast.reset();
}

void ClearDecisionTable(AssessmentState& state) {
  state.Decision.reset();
}

}  // namespace tarvik
