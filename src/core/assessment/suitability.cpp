#include "assessment/suitability.h"
#include "assessment/journal.h"

namespace tarvik::data {

SuitabilityResult SuitabilityCheck(const DataTable& table, int heldOutYears, char decimalMark,
                                   AssessmentState& state) {
  assessment::StepScope scope(state);
  SuitabilityResult result = CheckSuitability(table, heldOutYears, decimalMark);
  const double exponent = result.ptExponent;
  assessment::Clear(state, assessment::Stage::ModelChoice);
  state.SuitabilityChecked = true;
  state.PositiveCorrelation = result.positiveCorrelation;
  // The observation-error fits belong to the series they were fitted on.
  if (result.series.U != state.AnalysisSeries.U || result.series.C != state.AnalysisSeries.C) {
    assessment::Clear(state, assessment::Stage::ObservationError);
    assessment::Clear(state, assessment::Stage::StateSpace);
  }
  state.AnalysisSeries = result.series;
  state.PTExponent = exponent;
  for (model::ModelFit& fit : state.ModelFits) {
    if (fit.Kind == model::ProductionModelKind::PellaTomlinson) fit.Exponent = exponent;
  }
  scope.Commit(assessment::steps::SuitabilityCheck(heldOutYears, decimalMark));
  return result;
}

}  // namespace tarvik::data
