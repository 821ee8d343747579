#pragma once

// Rule optimisation ("Оптимизация ПРП"): the parameters of one harvest control
// rule are swept over a fixed grid; every candidate is judged by stochastic
// projections of the chosen variant, and the best candidate of each of four
// indicators is kept. Writing the files for R and drawing are separate
// (rules/optimisation_files.h, rbridge).

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/point.h"
#include "common/progress.h"
#include "data/catch_effort_series.h"
#include "model/model_fit.h"
#include "model/random.h"
#include "rules/harvest_rule.h"
#include "rules/optimisation_grid.h"

namespace tarvik::rules {

// Projections per candidate.
inline constexpr int kProjectionsPerCandidate = 1000;

// Mean observed biomass of a variant: Σ_i (U_i / q) / n over the data years.
// q = 0 or an empty series raise Error.
double MeanObservedBiomass(const data::CatchEffortSeries& series, const model::ModelFit& fit);

// The four indicators of one candidate rule from `runs` projections of
// `horizon` years with normal process error (runs k, years y, N = runs·h):
//   MeanCatch        = (Σk Σy Catch_k[y]) / N       (one running sum, k-major)
//   MeanBiomass      = (Σk Σy Biomass_k[y]) / N
//   RiskBelowMean    = #{(k, y): Biomass_k[y] < meanBiomass} / N
//   CatchVariability = (1/runs) · Σk s_k,  s_k = sqrt(Σy (Catch_k[y] − c_k)² / h),
//                      c_k = Σy Catch_k[y] / h
// Draws continue `random` (never reseeded). Errors of the projection (a
// variant outside its model's domain) propagate.
CandidateIndicators EvaluateCandidate(const data::CatchEffortSeries& series,
                                      const RuleContext& context, std::uint8_t variant,
                                      const HarvestRule& rule, std::uint8_t horizon,
                                      double meanBiomass, model::RandomSource& random,
                                      int runs = kProjectionsPerCandidate);

struct OptimisationOptions {
  RuleKind Kind = RuleKind::PiecewiseLinear;   // PiecewiseLinear or Logistic; others sweep nothing
  FTargetKind TargetKind = FTargetKind::FMSY;  // of the working rule
  std::uint8_t Variant = 0;                    // OptimisationVariant (a ModelFits index)
  int Horizon = 5;                             // "Прогнозный горизонт", 1 … 20
  int Runs = kProjectionsPerCandidate;         // projections per candidate, ≥ 1
  // Worker threads: 0 = one per processor, 1 = strictly sequential. Any
  // number gives the same bits and leaves the random source in the same state.
  unsigned Threads = 0;
  // Called after each finished outer step (alpha row), with the row count.
  ProgressCallback OnProgress;
};

struct OptimisationResult {
  RuleKind Kind = RuleKind::PiecewiseLinear;    // what was swept (nothing for other kinds)
  std::vector<double> Alphas;                   // the sweep's alphas (51, or none)
  std::vector<double> Betas;                    // logistic: the 51 betas; piecewise-linear: {0}
  std::vector<CandidateIndicators> Candidates;  // alpha-major: Candidates[i·Betas + j]
  BestPoints Best;
  double MeanBiomass = 0.0;  // Bmean the risks were counted against
  // The rule editor after the run: alpha (and for the logistic sweep beta) of
  // the best mean catch, formatted "0.00". An empty text leaves its edit as
  // it was (beta after a piecewise-linear sweep, both when nothing was swept).
  std::string AlphaText;
  std::string BetaText;
  std::uint32_t RandomSeedAfter = 0;  // the random state the run left
  // The data file the run's series came from (the state's DataFileName): the
  // files for R never replace it.
  std::string DataFileName;
};

// The two sweeps:
//   PiecewiseLinear  alpha = −1.0, then +0.04 after each candidate: 51 candidates
//   Logistic         alpha = 1.0, then +0.2 after each row (51 rows); within a
//                    row beta = 0, then +0.02 (51 columns)
// The working rule is (Kind, alpha, beta, TargetKind); each candidate is
// EvaluateCandidate of options.Runs projections against the mean observed
// biomass of the variant, followed by best tracking (TrackBest). Candidates
// consume one random stream in sweep order; with several threads the draws
// are laid out in that order first, so the results are the same bits.
// Invalid options (horizon outside 1 … 20, runs < 1, unknown variant) raise
// Error before anything is drawn.
OptimisationResult OptimiseRule(const data::CatchEffortSeries& series, const RuleContext& context,
                                const OptimisationOptions& options, model::RandomSource& random,
                                char decimalMark = '.');

// What "Оптимизация ПРП" reads from the rule page.
struct OptimisePageRequest {
  RuleKind Shape = RuleKind::PiecewiseLinear;  // the shape button that is down
  // ModelFits index of the variant chosen in the model-choice list (the
  // caller maps the list's label to its record); nothing keeps the previous
  // optimisation variant.
  std::optional<std::uint8_t> ChosenVariant;
  int Horizon = 5;  // «Прогнозный горизонт» of the optimisation
  unsigned Threads = 0;
  ProgressCallback OnProgress;
};

// The chart of an indicator after a piecewise-linear sweep: the points
// (alpha_j, indicator_j), j = 1 … 51.
PointList IndicatorChart(const OptimisationResult& result, Indicator indicator);

// Left-axis titles of the four charts and titles of the four pictures.
const std::array<std::string, 4>& IndicatorChartTitles();

}  // namespace tarvik::rules
