#pragma once

// The bootstrap indicators of the rules as the assessment keeps them.

#include <cstdint>

#include "assessment/state.h"
#include "projection/indicators.h"
#include "projection/indicators_view.h"

namespace tarvik::projection {

// "Построить таблицу" for the active variants and the rules of the state.
IndicatorTable BuildIndicatorTable(const AssessmentState& state, char decimalMark = '.');

// RetrospectiveBiomass of record `variant` on state.AnalysisSeries; an
// unknown variant raises tarvik::Error.
double RetrospectiveBiomass(const AssessmentState& state, std::uint8_t variant);

// Transition "Оценка коэффициентов эффективности". Invalid options, no rules, no active
// variant or a mean observed catch of 0 raise Error before anything is
// computed. Then for every active variant (memo: its name) and every rule
// (memo: the rule's text) N projections with noise; indicators per pair as
// their fields say (T counts, per run, the years from the first on while the
// biomass is ≤ the stored BMSY; zB, zC count non-positive biomasses and
// catches, set to 0; nB counts run-years with RuleLimitBiomass > biomass, nC
// those with Cmin > catch, nR those with the stored BLimit > biomass). A fault in a pair (e.g.
// Bretro = 0, or a Fox projection meeting a non-positive biomass) stops the evaluation and raises
// tarvik::Error saying why (the rows finished before have gone to
// options.OnRow), and the state is left as it was. On completion the memo gets
// "Расчет окончен" and the rule selector the rule names; the state then takes
// the rows (state.Indicators) and the random stream as the draws left it.
// Draws continue state.Random in the order of the loops.
RuleEvaluation EvaluateRulesByBootstrap(AssessmentState& state, const BootstrapOptions& options);

}  // namespace tarvik::projection
