#include "assessment/indicators.h"
#include "assessment/journal.h"

#include <string>

#include "assessment/rules.h"
#include "common/error.h"

namespace tarvik::projection {

IndicatorTable BuildIndicatorTable(const AssessmentState& state, char decimalMark) {
  return BuildIndicatorTable(state.ModelFits, state.ActiveVariants, state.RuleList, decimalMark);
}

double RetrospectiveBiomass(const AssessmentState& state, std::uint8_t variant) {
  if (variant >= state.ModelFits.size()) {
    throw Error("Вариант модели " + std::to_string(variant) + " не существует");
  }
  return RetrospectiveBiomass(state.AnalysisSeries, state.ModelFits[variant]);
}

RuleEvaluation EvaluateRulesByBootstrap(AssessmentState& state, const BootstrapOptions& options) {
  assessment::StepScope scope(state);
  const RuleEvaluationBasis basis{state.AnalysisSeries, rules::MakeRuleContext(state),
                                  state.ActiveVariants, state.RuleList, state.RuleNames};
  // The draws continue the state's stream, which moves on only when every
  // pair was evaluated.
  model::RandomSource random = state.Random;
  RuleEvaluation result = EvaluateRulesByBootstrap(basis, options, random);
  if (!result.Completed) throw Error(result.ErrorMessage);
  state.Random = random;
  assessment::ClearDependents(state, assessment::Stage::Indicators);
  state.Indicators = {true, result.Rows};
  scope.Commit(assessment::steps::EvaluateRules(options));
  return result;
}

}  // namespace tarvik::projection
