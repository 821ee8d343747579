#pragma once

// Performance indicators of harvest control rules by bootstrap: every pair of
// an active variant and a rule of the rule list is projected many times with
// process error and condensed into seven indicators of one table row.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/progress.h"
#include "data/catch_effort_series.h"
#include "model/model_fit.h"
#include "model/random.h"
#include "projection/indicators_view.h"
#include "rules/harvest_rule.h"

namespace tarvik::projection {

// The limit biomass a rule implies for a variant: 0 for a logistic rule or
// alpha 0, otherwise (1 − 1/alpha) · BTarget (negative for 0 < alpha < 1).
double RuleLimitBiomass(const rules::HarvestRule& rule, const model::ModelFit& fit);

// The seven indicators of one pair, and the share of run-years below the
// variant's reference Blim (page 3), counted in the same runs.
struct RuleIndicators {
  double RecoveryTime = 0.0;            // RoundTo(T / N, 0)
  double MeanForecastBiomass = 0.0;     // RoundTo(SB / (N·h − zB + 1), −1)
  double MeanForecastCatch = 0.0;       // RoundTo(SC / (N·h − zC + 1), −1)
  double BiomassRatio = 0.0;            // RoundTo(MeanForecastBiomass / Bretro, −1)
  double CatchRatio = 0.0;              // RoundTo(MeanForecastCatch / Cmean, −1)
  double ProbBelowBlim = 0.0;           // RoundTo(nB / (N·h), −2)
  double ProbBelowCmin = 0.0;           // RoundTo(nC / (N·h), −2)
  double ProbBelowReferenceBlim = 0.0;  // RoundTo(nR / (N·h), −2)
};

// Sums and counts of one pair, accumulated run by run in run order.
struct BootstrapTally {
  double RecoveryYears = 0.0;        // T
  double BiomassSum = 0.0;           // SB
  double CatchSum = 0.0;             // SC
  double ZeroBiomass = 0.0;          // zB
  double ZeroCatch = 0.0;            // zC
  double BelowLimit = 0.0;           // nB
  double BelowMinCatch = 0.0;        // nC
  double BelowReferenceLimit = 0.0;  // nR
};

// Adds one run of h years: the recovery count (years from the first on while
// the biomass is ≤ bmsy; h when it never exceeds it), then per year a
// non-positive biomass or catch is counted and taken as 0, summed, and
// compared with the limit biomass (limit > biomass), with Cmin
// (cmin > catch) and with the reference Blim (referenceLimit > biomass).
void TallyRun(BootstrapTally& tally, std::span<const double> biomass,
              std::span<const double> catches, double bmsy, double limit, double cmin,
              double referenceLimit = 0.0);

// The indicators of a pair from its tally (N runs of h years), the
// retrospective biomass and the mean observed catch; Error when Bretro or
// Cmean is 0.
RuleIndicators IndicatorsFromTally(const BootstrapTally& tally, std::size_t runs,
                                   std::size_t horizon, double bretro, double cmean);

struct BootstrapOptions {
  bool Parametric = true;  // "Параметрический" (item 0) or "Непараметрический"
  int Horizon = 5;                 // "Прогнозный горизонт", 1 … 50
  std::string RunsText = "10000";  // "Кол-во прогонов", an integer 1 … 65535
  char DecimalMark = '.';
  // Called as the evaluation goes: each line of the progress log, each
  // finished row (its index and cells 2 … 9), and the projections done of
  // all pairs' runs (ProgressThrottle: once per per cent and at the end).
  std::function<void(const std::string&)> OnMemoLine;
  std::function<void(std::size_t row, const std::vector<std::string>& cells)> OnRow;
  ProgressCallback OnProgress;
};

// One evaluated pair.
struct IndicatorRowResult {
  std::size_t Row = 0;
  std::uint8_t Variant = 0;  // ModelFits index
  std::size_t Rule = 0;      // RuleList index
  RuleIndicators Values;
  std::vector<std::string> Cells;  // columns 2 … 9
};

// What an evaluation of the rules by bootstrap projections gave.
struct RuleEvaluation {
  std::vector<IndicatorRowResult> Rows;        // in the order evaluated
  std::vector<std::string> MemoLines;          // the lines appended to the memo
  bool Completed = false;                      // false: stopped by Error
  std::string ErrorMessage;                    // why it stopped
  std::vector<std::string> RuleSelectorItems;  // filled when completed: the rule names
};

// Retrospective biomass of a variant: for t = 0 … n−2 the noise-free model
// CPUE ProjectionStep(U[t], U[t+1], C[t+1]) divided by q; Bretro = their mean.
double RetrospectiveBiomass(const data::CatchEffortSeries& series, const model::ModelFit& fit);

// Checks the options as the page reads them: the number of runs must be an
// integer 1 … 65535 and the horizon 1 … 50; Error otherwise. Returns N.
std::uint16_t ValidateBootstrapOptions(const BootstrapOptions& options);

// What the rules are evaluated on: the analysis series, the records with the
// last observed effort, the active variants and the rules with their names.
struct RuleEvaluationBasis {
  const data::CatchEffortSeries& Series;
  rules::RuleContext Context;
  const std::vector<std::uint8_t>& Active;
  const std::vector<rules::HarvestRule>& Rules;
  const std::vector<std::string>& RuleNames;
};

// "Оценка коэффициентов эффективности". Invalid options, no rules, no active
// variant or a mean observed catch of 0 raise Error before anything is
// computed. Then for every active variant (memo: its name) and every rule
// (memo: the rule's text) N projections with noise; indicators per pair as
// their fields say (T counts, per run, the years from the first on while the
// biomass is ≤ the stored BMSY; zB, zC count non-positive biomasses and
// catches, set to 0; nB counts run-years with RuleLimitBiomass > biomass, nC
// those with Cmin > catch, nR those with the stored BLimit > biomass). A fault in a pair (e.g.
// Bretro = 0, or a Fox projection meeting a non-positive biomass) stops the evaluation: the rows
// finished before stay in the result, ErrorMessage says why and Completed is
// false. On completion the memo gets "Расчет окончен" and the rule selector
// the rule names. Draws from `random` in the order of the loops.
RuleEvaluation EvaluateRulesByBootstrap(const RuleEvaluationBasis& basis,
                                        const BootstrapOptions& options,
                                        model::RandomSource& random);

}  // namespace tarvik::projection
