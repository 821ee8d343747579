#pragma once

// The rules of an assessment: the list the user builds, the rule chosen for
// the forecast, and the rule page's optimisation, which keeps its working
// rule and best points in the state.

#include <cstddef>
#include <optional>

#include "assessment/state.h"
#include "rules/optimisation.h"
#include "rules/rule_list.h"

namespace tarvik::rules {

// Transition "Добавить ПРП": appends the editor's rule to state.RuleList and
// its name to state.RuleNames, unless the name is already listed. The numbers
// are converted before anything changes, so a bad text (Error) leaves both
// lists as they were; a full list (kMaxRules) raises Error likewise. A rule
// added invalidates the indicators (ClearIndicators: the table is laid out
// again); the chosen rule stays.
AddRuleResult AddRule(AssessmentState& state, const RuleEditor& editor, char decimalMark = '.');

// Transition "Удалить ПРП": removes the selected rule (and its name). With
// nothing selected the message "Выберите ПРП для удаления" is returned; the
// last remaining rule is never deleted. A deletion invalidates the
// indicators (ClearIndicators); the chosen rule follows its rule to its new
// index, and when it is the one deleted no rule is chosen and the forecast
// is cleared (ClearForecast).
DeleteRuleResult DeleteRule(AssessmentState& state, std::optional<std::size_t> selected);

// Transition: the rule the forecast is made with (the rule selector of the
// indicator page), a RuleList index or none. Choosing another rule than the
// one chosen invalidates the forecast (ClearForecast). An index outside the
// list raises Error and changes nothing.
void ChooseRule(AssessmentState& state, std::optional<std::size_t> rule);

// The rule context of the state: its fits and the last effort of the
// analysis series (0 for an empty series).
RuleContext MakeRuleContext(const AssessmentState& state);

// Transition "Оптимизация ПРП" on the state: the working rule takes the shape when it is
// piecewise-linear or logistic (otherwise it keeps its kind and nothing is
// swept); the optimisation variant becomes the chosen variant when one is
// given; then OptimiseRule with the working rule's kind and target
// on the analysis series, the fits and the state's random source. The best
// points are kept in state.OptimisationBest for the picks, and the working
// rule keeps the last candidate's alpha (and beta for the logistic sweep).
// The best points are reset to their start values by every run, also one
// that sweeps nothing.
// It invalidates nothing (the working rule and the best points are the rule
// page's); a failure raises tarvik::Error and leaves the state, the random
// stream too, as it was.
OptimisationResult OptimiseRule(AssessmentState& state, const OptimisePageRequest& request,
                                char decimalMark = '.');

// A pick after a run (a click on a chart or a picture): the editor texts of
// the indicator's best point in the state.
PickTexts PickValues(const AssessmentState& state, Indicator indicator, char decimalMark = '.');

}  // namespace tarvik::rules
