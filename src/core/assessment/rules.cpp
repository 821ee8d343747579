#include "assessment/rules.h"
#include "assessment/journal.h"

#include <algorithm>
#include <string>

#include "common/error.h"

namespace tarvik::rules {

AddRuleResult AddRule(AssessmentState& state, const RuleEditor& editor, char mark) {
  assessment::StepScope scope(state);
  AddRuleResult result;
  result.Name = RuleName(editor);
  const bool listed = std::find(state.RuleNames.begin(), state.RuleNames.end(), result.Name) !=
                      state.RuleNames.end();
  if (!listed) {
    const HarvestRule rule = RuleFromEditor(editor, mark);  // may raise: nothing added yet
    if (state.RuleList.size() >= kMaxRules) {
      throw Error("Список ПРП заполнен: не более " + std::to_string(kMaxRules) + " правил");
    }
    state.RuleList.push_back(rule);
    state.RuleNames.push_back(result.Name);
    result.Added = true;
    assessment::ClearDependents(state, assessment::Stage::RuleList);
    scope.Commit(assessment::steps::AddRule(editor, mark));
  }
  result.DeleteVisible = state.RuleNames.size() > 1;
  return result;
}

DeleteRuleResult DeleteRule(AssessmentState& state, std::optional<std::size_t> selected) {
  assessment::StepScope scope(state);
  DeleteRuleResult result;
  if (!selected || *selected >= state.RuleList.size()) {
    result.Message = "Выберите ПРП для удаления";
  } else if (state.RuleList.size() <= 1) {
    result.Message = "Последнее ПРП удалить нельзя";
  } else {
    state.RuleList.erase(state.RuleList.begin() + static_cast<std::ptrdiff_t>(*selected));
    state.RuleNames.erase(state.RuleNames.begin() + static_cast<std::ptrdiff_t>(*selected));
    result.Deleted = true;
    assessment::ClearDependents(state, assessment::Stage::RuleList);
    if (state.ChosenRule == selected) {
      state.ChosenRule.reset();
      assessment::ClearDependents(state, assessment::Stage::RuleChoice);
    } else if (state.ChosenRule && *state.ChosenRule > *selected) {
      --*state.ChosenRule;
    }
    scope.Commit(assessment::steps::DeleteRule(selected));
  }
  result.DeleteVisible = state.RuleList.size() > 1;
  return result;
}

void ChooseRule(AssessmentState& state, std::optional<std::size_t> rule) {
  assessment::StepScope scope(state);
  if (rule && *rule >= state.RuleList.size()) {
    throw Error("ПРП номер " + std::to_string(*rule + 1) + " не существует: в списке " +
                std::to_string(state.RuleList.size()) + " ПРП");
  }
  if (state.ChosenRule == rule) return;
  state.ChosenRule = rule;
  assessment::ClearDependents(state, assessment::Stage::RuleChoice);
  scope.Commit(assessment::steps::ChooseRule(rule));
}

RuleContext MakeRuleContext(const AssessmentState& state) {
  RuleContext context;
  context.Fits = state.ModelFits;
  context.LastEffort = state.AnalysisSeries.E.empty() ? 0.0 : state.AnalysisSeries.E.back();
  return context;
}

OptimisationResult OptimiseRule(AssessmentState& state, const OptimisePageRequest& request,
                                char decimalMark) {
  assessment::StepScope scope(state);
  // The sweep works on copies; the state takes them when it is done.
  rules::HarvestRule working = state.WorkingRule;
  if (request.Shape == RuleKind::PiecewiseLinear || request.Shape == RuleKind::Logistic) {
    working.Kind = request.Shape;
  }
  const std::uint8_t variant = request.ChosenVariant.value_or(state.OptimisationVariant);
  model::RandomSource random = state.Random;
  OptimisationOptions options;
  options.Kind = working.Kind;
  options.TargetKind = working.TargetKind;
  options.Variant = variant;
  options.Horizon = request.Horizon;
  options.Threads = request.Threads;
  options.OnProgress = request.OnProgress;
  const RuleContext context = MakeRuleContext(state);
  OptimisationResult result =
      OptimiseRule(state.AnalysisSeries, context, options, random, decimalMark);
  result.DataFileName = state.DataFileName;
  if (!result.Candidates.empty()) {
    working.Alpha = result.Alphas.back();
    if (result.Kind == RuleKind::Logistic) working.Beta = result.Betas.back();
  }
  state.WorkingRule = working;
  state.OptimisationVariant = variant;
  state.OptimisationBest = result.Best;  // start values when nothing was swept
  state.Random = random;
  scope.Commit(assessment::steps::OptimiseRule(request, decimalMark));
  return result;
}

PickTexts PickValues(const AssessmentState& state, Indicator indicator, char decimalMark) {
  return PickValues(state.OptimisationBest, indicator, decimalMark);
}

}  // namespace tarvik::rules
