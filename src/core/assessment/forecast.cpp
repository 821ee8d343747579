#include "assessment/forecast.h"
#include "assessment/journal.h"

#include "assessment/rules.h"
#include "uncertainty/bootstrap_view.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::projection {

ForecastBasis ForecastBasisOf(const AssessmentState& state, char decimalMark) {
  ForecastBasis basis{state.AnalysisSeries, rules::MakeRuleContext(state), state.RuleList,
                      state.RuleNames, state.DataFileName, {}};
  if (state.Uncertainty) {
    basis.UncertaintyLines = uncertainty::ReportLines(*state.Uncertainty, decimalMark);
  }
  return basis;
}

ProjectionResult ProjectStock(AssessmentState& state, std::uint8_t horizon,
                              std::uint8_t modelIndex, const rules::HarvestRule& rule,
                              bool addNoise, bool parametric) {
  return ProjectStock(state.AnalysisSeries, horizon, rules::MakeRuleContext(state), modelIndex,
                      rule, addNoise, parametric, state.Random);
}

ForecastResult BuildForecast(AssessmentState& state, const ForecastOptions& options) {
  assessment::StepScope scope(state);
  model::RandomSource random = state.Random;
  ForecastResult result = Forecast(ForecastBasisOf(state, options.DecimalMark), options, random);
  state.Random = random;
  assessment::Clear(state, assessment::Stage::Forecast);
  state.Forecast = result;
  scope.Commit(assessment::steps::Forecast(options));
  return result;
}

SensitivityResult RunSensitivityAnalysis(AssessmentState& state, ForecastOptions options,
                                         SensitivityParameter parameter, int stepPercent) {
  assessment::StepScope scope(state);
  SensitivityResult result =
      RunSensitivityAnalysis(ForecastBasisOf(state, options.DecimalMark), options, parameter,
                             stepPercent);
  assessment::Clear(state, assessment::Stage::Forecast);
  state.Forecast = result.Forecast;
  scope.Commit(assessment::steps::Sensitivity(options, parameter, stepPercent));
  return result;
}

}  // namespace tarvik::projection
