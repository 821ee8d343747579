#pragma once

// The decision table (a strategy matrix): for each constant catch and each
// forecast year, the probabilities of the stock status over the bootstrap
// replicates of a fitted variant, and the largest constant catch whose
// probability of B < Blim stays within a chosen risk in every year.
//
// Dynamics. Each replicate is projected with its own r, K, q, p from its own
// last-year state, by one of two models:
//  - CPUE step (the procedure's estimators): the projection's two-year
//    central difference in CPUE space,
//      A[i] = A[i−2] + (r·S)·Shape(S/(2q)) + ε_i − (2q)·C[i−1],
//      S = A[i−2] + A[i−1],  B_i = (A[i] + A[i−1]) / (2q),
//    starting as the projection starts: A[−2] = U[L−1], A[−1] = U0 (the
//    replicate's model CPUE of the last data year L from the two years
//    before it) and C[−1] = C[L], the last observed catch;
//  - biomass balance (the observation-error estimator): the estimator's
//    yearly balance B_{i+1} = (B_i + P(B_i) − C_i)·exp(η_i), from the
//    replicate's biomass B_L at the start of the last data year with its
//    observed catch C_L; B_i is the biomass at the start of forecast year i.
// The catch option C is taken in every forecast year i = 0 … h−1, F_i =
// C / B_i. The first year's biomass follows from the last observed catch,
// so in that year only F depends on the option.
//
// Process error (DecisionTableOptions::ProcessError). CPUE step: ε drawn
// with replacement from the CPUE residuals of the point estimate, centred at
// their mean (uncentred residuals would add their mean to every year as a
// drift that the parameter uncertainty already carries). Biomass balance:
// η ~ N(0, σ²) with the estimator's σ (no bias correction: the one-year
// median follows the balance). Without process error ε = η = 0.
//
// Collapse. A step whose value is not above a floor (10⁻⁶·q·K in CPUE, 10⁻⁶·K
// in biomass) — the catch takes more than the stock holds — leaves the state
// at that floor and counts the year as B < Blim (and B < BMSY), whatever the
// mean biomass of the year.
//
// Common random numbers. Replicate k draws its errors for years 0 … h−1 in
// order from its own stream, ReplicateRandom(seed, k, kDecisionTableStream)
// with the bootstrap's seed (never the procedure's model::RandomSource), and
// every catch option uses the same draws, so that risk grows with the catch
// (as far as the dynamics are monotone). The result is the same bits for any
// number of threads; a longer horizon extends the table of a shorter one.
//
// Status per replicate and year: B < Blim with Blim = BlimFraction·BMSY of
// the replicate, B < BMSY, F > FMSY, and the green quadrant B ≥ BMSY and
// F ≤ FMSY (projection::QuadrantOf). Probabilities are shares of the
// replicates used (not failed); the median of B/BMSY is the middle value
// (the mean of the two middle ones for an even count).
//
// The largest catch within risk p: the largest constant catch whose
// P(B < Blim) is ≤ p in every year. Between the last option within the risk
// and the first above it (or 0 and the lowest option) it is bisected on a
// grid of four significant digits of the upper end (a catch of 1234 t to
// 1 t). When even a catch of 0 exceeds the risk there is none (Catch 0);
// when the largest option is within it, that option is reported as a lower
// bound.

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

enum class Dynamics : std::uint8_t { CpueStep = 0, BiomassBalance = 1 };

// What the table projects: the replicates, their common start data and
// their process error. ProcedureBasis and ObservationErrorBasis make it from
// a bootstrap; a hand-made one serves as well.
struct ProjectionBasis {
  Dynamics Model = Dynamics::CpueStep;
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  // Replicate k at index k; R, K, Q, P, BMSY, FMSY are read, and BLast for
  // the biomass balance. Failed ones are left out.
  std::vector<Replicate> Replicates;
  std::uint64_t Seed = 1;  // of the streams (the bootstrap's seed)
  int FirstYear = 0;       // calendar year of forecast year 0
  double PointMsy = 0.0;   // MSY of the point estimate (the options' multiples)
  // The last data year L of the series: U[L−2], U[L−1] and C[L−1] (CPUE
  // step only) and C[L].
  double CpueTwoBack = 0.0;
  double CpueOneBack = 0.0;
  double CatchOneBack = 0.0;
  double LastCatch = 0.0;
  std::vector<double> Residuals;  // CPUE step: the errors drawn from
  double Sigma = 0.0;             // biomass balance: sd of the log error
};

// From a bootstrap of the procedure's estimator on `series` (the series it
// was made on). Raises tarvik::Error for a bootstrap of the other estimator,
// a series of fewer than 3 years, and residuals of the point estimate that
// are not finite.
ProjectionBasis ProcedureBasis(const data::CatchEffortSeries& series,
                               const BootstrapResult& bootstrap);

// From a bootstrap of the observation-error estimator and its point fit
// `fit` (for σ). Raises tarvik::Error for a bootstrap of the other estimator
// or of another kind, or an empty series.
ProjectionBasis ObservationErrorBasis(const data::CatchEffortSeries& series,
                                      const BootstrapResult& bootstrap,
                                      const estimation::ObservationErrorFit& fit);

// From draws of a state-space fit `fit` (DrawStateSpace): the biomass
// balance with the fit's σ_p as the sd of the log process error. Raises
// tarvik::Error for draws of another estimator or kind, or an empty series.
ProjectionBasis StateSpaceBasis(const data::CatchEffortSeries& series,
                                const BootstrapResult& draws,
                                const estimation::StateSpaceFit& fit);

struct DecisionTableOptions {
  int Horizon = 5;             // 1 … kMaxDecisionHorizon years
  double BlimFraction = 0.1;   // Blim / BMSY of each replicate, 0 < f < 1
  double Risk = kDefaultRisk;  // of the largest catch, 0 < p < 1
  bool ProcessError = true;
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
// "P(B < Blim)", "P(B < BMSY)", "P(F > FMSY)", "P(зелёная зона)", "Медиана B/BMSY".
std::string OutlookName(Outlook outlook);

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

enum class CatchSearch : std::uint8_t {
  Found = 0,                    // between two options (or 0 and the lowest)
  NoneWithinRisk = 1,           // even a catch of 0 exceeds the risk
  LargestOptionWithinRisk = 2,  // the largest option is within: a lower bound
};

struct MaxCatchAtRisk {
  CatchSearch Outcome = CatchSearch::Found;
  double Risk = kDefaultRisk;
  double Catch = 0.0;             // tonnes; 0 for NoneWithinRisk
  double MaxProbBelowBlim = 0.0;  // of that catch, over the years
  int WorstYear = 0;              // the first year with that maximum
  double ProbBelowBmsyEnd = 0.0;  // of that catch in the last year
};

struct DecisionTable {
  Dynamics Model = Dynamics::CpueStep;
  int Horizon = 0;
  int FirstYear = 0;
  double BlimFraction = 0.1;
  bool ProcessError = true;
  double Sigma = 0.0;  // biomass balance
  std::uint64_t Seed = 1;
  int ReplicatesUsed = 0;
  double PointMsy = 0.0;
  std::vector<OptionOutlook> Rows;  // ascending catch, as the options were given
  MaxCatchAtRisk MaxCatch;
};

// The table of `options` (ascending catch, as ResolveCatchOptions gives
// them) and the largest catch within options.Risk. Raises tarvik::Error for
// options outside their ranges, no options, options not in ascending order
// or not finite ≥ 0, no replicate used, a start that is not positive, a
// replicate without positive BMSY, and a projection that leaves the numbers
// (naming the replicate); DecisionTableCancelled on a stop.
DecisionTable BuildDecisionTable(const ProjectionBasis& basis,
                                 const std::vector<CatchOption>& options,
                                 const DecisionTableOptions& settings);

// The Kobe II shading of a cell, from the best to the worst.
enum class RiskColour : std::uint8_t {
  DarkGreen = 0,
  LightGreen = 1,
  Yellow = 2,
  Orange = 3,
  Red = 4
};

// The class of `value` of `outlook`:
//   P(green zone)            ≥ 75 % dark green, ≥ 70 % light green, ≥ 60 % yellow,
//                            ≥ 50 % orange, below red (the Kobe II scale);
//   P(B < BMSY), P(F > FMSY) the same scale on 1 − P: ≤ 25 %, ≤ 30 %, ≤ 40 %,
//                            ≤ 50 %, above;
//   P(B < Blim)              against the chosen risk p: ≤ p/2, ≤ p, ≤ 2p, ≤ 4p,
//                            above — a cell within the risk is green;
//   median B/BMSY            ≥ 1, ≥ 0.9, ≥ 0.75, ≥ 0.5, below.
RiskColour ColourOf(Outlook outlook, double value, double risk);

// A cell as the window and the report write it: a probability in per cent
// with one decimal ("4,6 %"), the median ratio with two decimals ("1,07").
std::string CellText(Outlook outlook, double value, char decimalMark = '.');

// The table of one outlook as tab-separated lines: a head line
// "Вариант\tУлов, т\t2025\t2026…", then one line per option (its label, its
// catch and its cells).
std::vector<std::string> TableLines(const DecisionTable& table, Outlook outlook,
                                    char decimalMark = '.');

// The sentence about the largest catch within the risk.
std::string MaxCatchSentence(const DecisionTable& table, char decimalMark = '.');

// The report section: the title with Blim, the replicates and the seed, the
// dynamics, the process error, TableLines of P(B < Blim) and the sentence.
std::vector<std::string> DecisionReportLines(const DecisionTable& table, char decimalMark = '.');

}  // namespace tarvik::uncertainty
