#pragma once

// The decision table (a strategy matrix): for each constant catch and each
// forecast year, the probabilities of the stock status over the bootstrap
// replicates of a fitted variant, and the largest constant catch that meets
// a chosen criterion in every year.
//
// Dynamics, one for every estimator. Each replicate is projected with its
// own r, K, p from its own biomass B_L at the start of the last data year L
// (the procedure's U0/q, the observation-error estimator's B_n) by the
// yearly balance with process error as biomass noise,
//   B_{i+1} = (B_i + P(B_i) − C_i) · exp(η_i − σ_p²/2),  η_i ~ N(0, σ_p²),
// the catch removed before the noise (whose mean is then 1). C_L is the last
// observed catch, so the first forecast year's biomass follows from it and in
// that year only F = C / B depends on the option; later years take the
// option's catch C. B_i is the biomass at the start of forecast year i.
//
// Process error. σ_p is one stated setting (DecisionTableOptions::
// ProcessSigma, 0.1 by default); σ_p = 0 gives risks from parameter
// uncertainty alone (and draws nothing). The observation error of the fits
// is never reused as process error.
//
// Collapse. A step whose value is not above the floor 10⁻⁶·K — the catch
// takes more than the stock holds — leaves the stock at that floor and counts
// the year as B < Blim (and B < BMSY).
//
// Common random numbers. Replicate k draws η for years 0 … h−1 in order from
// its own stream, ReplicateRandom(seed, k, kDecisionTableStream) with the
// bootstrap's seed (never the procedure's model::RandomSource), and every
// catch option uses the same draws, so that risk grows with the catch. The
// result is the same bits for any number of threads; a longer horizon
// extends the table of a shorter one.
//
// Status per replicate and year: B < Blim with Blim = BlimFraction·BMSY of
// the replicate, B < BMSY, F > FMSY, and the green quadrant B ≥ BMSY and
// F ≤ FMSY (projection::QuadrantOf). Probabilities are shares of the
// replicates used (not failed); the median of B/BMSY is the middle value
// (the mean of the two middle ones for an even count).
//
// The largest catch: the largest constant catch whose P(B < Blim) (or
// P(B < BMSY)) is ≤ p, or whose P(green zone) is ≥ p, in every year
// (RiskCriterion). Between the last option that meets it and the first that
// does not (or 0 and the lowest option) it is bisected on a grid of four
// significant digits of the upper end (a catch of 1234 t to 1 t). When even
// a catch of 0 fails there is none (Catch 0); when the largest option meets
// it, that option is reported as a lower bound. When the bootstrap's
// intervals are truncated (more than kTruncationShare of the replicates on
// one bound) no catch is named: the bounds, not the data, set the risk.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "common/error.h"
#include "data/catch_effort_series.h"
#include "estimation/observation_error.h"
#include "estimation/state_space.h"
#include "model/kinds.h"
#include "uncertainty/bootstrap.h"
#include "uncertainty/catch_options.h"

namespace tarvik::uncertainty {

inline constexpr int kMaxDecisionHorizon = 50;
inline constexpr double kDefaultRisk = 0.05;
// The purpose of the decision table's streams (see ReplicateRandom).
inline constexpr std::uint64_t kDecisionTableStream = 0x6465636973696f6eull;  // "decision"
// The floor of a collapsed stock as a fraction of K (in CPUE of q·K).
inline constexpr double kCollapseFraction = 1e-6;

// The default σ_p of the process error: a usual central value of the
// year-to-year process variability of exploited stocks.
inline constexpr double kDefaultProcessSigma = 0.1;
inline constexpr double kMaxProcessSigma = 2.0;

// Where σ_p came from: the default or the analyst.
enum class ProcessErrorSource : std::uint8_t { Default = 0, Stated = 1 };

// What the largest catch must meet in every forecast year, against the
// threshold p (DecisionTableOptions::Risk).
enum class RiskCriterion : std::uint8_t {
  BelowBlim = 0,  // P(B < Blim) ≤ p (the default)
  BelowBmsy = 1,  // P(B < BMSY) ≤ p
  Green = 2,      // P(green zone) ≥ p
};
inline constexpr std::size_t kRiskCriterionCount = 3;
// "blim", "bmsy", "green".
std::string CriterionKey(RiskCriterion criterion);

// What the table projects: the replicates and their common start data.
// ProcedureBasis and ObservationErrorBasis make it from a bootstrap; a
// hand-made one serves as well.
struct ProjectionBasis {
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  // Replicate k at index k; R, K, P, BMSY, FMSY and BLast (the biomass at
  // the start of the last data year) are read. Failed ones are left out.
  std::vector<Replicate> Replicates;
  std::uint64_t Seed = 1;  // of the streams (the bootstrap's seed)
  int FirstYear = 0;       // calendar year of forecast year 0
  double PointMsy = 0.0;   // MSY of the point estimate (the options' multiples)
  double LastCatch = 0.0;  // C_L, the last observed catch
  // The bounds that truncate the bootstrap's intervals (TruncatingBounds);
  // when any, no largest catch is named.
  std::vector<BoundShare> Truncation;
};

// From a bootstrap of the procedure's estimator on `series` (the series it
// was made on). Raises tarvik::Error for a bootstrap of the other estimator
// and a series of fewer than 3 years.
ProjectionBasis ProcedureBasis(const data::CatchEffortSeries& series,
                               const BootstrapResult& bootstrap);

// From a bootstrap of the observation-error estimator and its point fit
// `fit`. Raises tarvik::Error for a bootstrap of the other estimator
// or of another kind, or an empty series.
ProjectionBasis ObservationErrorBasis(const data::CatchEffortSeries& series,
                                      const BootstrapResult& bootstrap,
                                      const estimation::ObservationErrorFit& fit);

// From draws of a state-space fit `fit` (DrawStateSpace), each projected
// from its own B_last. Raises tarvik::Error for draws of another estimator
// or kind, or an empty series.
ProjectionBasis StateSpaceBasis(const data::CatchEffortSeries& series,
                                const BootstrapResult& draws,
                                const estimation::StateSpaceFit& fit);

struct DecisionTableOptions {
  int Horizon = 5;             // 1 … kMaxDecisionHorizon years
  double BlimFraction = 0.1;   // Blim / BMSY of each replicate, 0 < f < 1
  double Risk = kDefaultRisk;  // the criterion's threshold p, 0 < p < 1
  RiskCriterion Criterion = RiskCriterion::BelowBlim;
  double ProcessSigma = kDefaultProcessSigma;  // σ_p, 0 … kMaxProcessSigma
  ProcessErrorSource ProcessSource = ProcessErrorSource::Default;
  long long Threads = 0;  // as ThreadsFor; the result does not depend on it
  // Called on the calling thread with the work done so far (at most about a
  // hundred times, and once with done = total at the end). An exception it
  // raises stops the computation and reaches the caller.
  std::function<void(int done, int total)> OnProgress;
  std::stop_token Stop;  // checked between parts of the work
};

// Raised when DecisionTableOptions::Stop asked the computation to stop.
class DecisionTableCancelled : public Error {
 public:
  DecisionTableCancelled() : Error("Расчёт таблицы решений прерван") {}
};

// What the table shows, one at a time.
enum class Outlook : std::uint8_t {
  ProbBelowBlim = 0,
  ProbBelowBmsy = 1,
  ProbAboveFmsy = 2,
  ProbGreen = 3,
  MedianBOverBmsy = 4
};
inline constexpr std::size_t kOutlookCount = 5;

// "p_b_below_blim", "p_b_below_bmsy", "p_f_above_fmsy", "p_green", "median_b_bmsy".
std::string OutlookKey(Outlook outlook);
// One option in one forecast year.
struct YearOutlook {
  int Year = 0;
  double ProbBelowBlim = 0.0;
  double ProbBelowBmsy = 0.0;
  double ProbAboveFmsy = 0.0;
  double ProbGreen = 0.0;
  double MedianBOverBmsy = 0.0;
};
double ValueOf(const YearOutlook& cell, Outlook outlook);

struct OptionOutlook {
  CatchOption Option;
  std::vector<YearOutlook> Years;  // forecast years 0 … h−1
  double MaxProbBelowBlim = 0.0;   // over the years
  int WorstYear = 0;               // the first year with that maximum
};

// The worst value of the criterion's probability over the years (the
// largest P(B < Blim) or P(B < BMSY), the smallest P(green zone)) and the
// first year with it.
struct WorstYearValue {
  double Value = 0.0;
  int Year = 0;
};
WorstYearValue WorstOf(const OptionOutlook& row, RiskCriterion criterion);

enum class CatchSearch : std::uint8_t {
  Found = 0,                    // between two options (or 0 and the lowest)
  NoneWithinRisk = 1,           // even a catch of 0 exceeds the risk
  LargestOptionWithinRisk = 2,  // the largest option is within: a lower bound
  RefusedAtBounds = 3,          // the intervals are truncated: no catch named
};

struct MaxCatchAtRisk {
  CatchSearch Outcome = CatchSearch::Found;
  RiskCriterion Criterion = RiskCriterion::BelowBlim;
  double Risk = kDefaultRisk;     // the criterion's threshold
  double Catch = 0.0;             // tonnes; 0 for NoneWithinRisk and RefusedAtBounds
  double WorstValue = 0.0;        // WorstOf that catch (of the lowest option when refused)
  int WorstYear = 0;              // the first year with it
  double ProbBelowBmsyEnd = 0.0;  // of that catch in the last year
  std::vector<BoundShare> Truncation;  // RefusedAtBounds: the bounds that truncate
};

struct DecisionTable {
  int Horizon = 0;
  int FirstYear = 0;
  double BlimFraction = 0.1;
  double ProcessSigma = kDefaultProcessSigma;  // σ_p used
  ProcessErrorSource ProcessSource = ProcessErrorSource::Default;
  std::uint64_t Seed = 1;
  int ReplicatesUsed = 0;
  double PointMsy = 0.0;
  std::vector<OptionOutlook> Rows;  // ascending catch, as the options were given
  MaxCatchAtRisk MaxCatch;
};

// The table of `options` (ascending catch, as ResolveCatchOptions gives
// them) and the largest catch meeting options.Criterion at options.Risk.
// Raises tarvik::Error for
// options outside their ranges, no options, options not in ascending order
// or not finite ≥ 0, no replicate used, a start that is not positive, a
// replicate without positive BMSY, and a projection that leaves the numbers
// (naming the replicate); DecisionTableCancelled on a stop.
DecisionTable BuildDecisionTable(const ProjectionBasis& basis,
                                 const std::vector<CatchOption>& options,
                                 const DecisionTableOptions& settings);

}  // namespace tarvik::uncertainty
