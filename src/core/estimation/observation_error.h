#pragma once

// The observation-error estimator of the surplus-production models, beside
// the parameter search: the biomass follows the model's own yearly balance
//   B₁ = φ·K,  B_{t+1} = B_t + P(B_t) − C_t,
// with P = model::SurplusProduction of the kind (so r, K and p mean what they
// mean everywhere else), and the CPUE of every year is observed around q·B_t
// with lognormal error, U_t = q·B_t·exp(ε_t), ε_t ~ N(0, σ²). For given r, K
// (p, φ) q has the closed form ln q̂ = mean(ln U_t − ln B_t), and the fit
// minimises RSS = Σ (ln U_t − ln q̂ − ln B_t)² over r, K (p, φ) within bounds;
// σ̂² = RSS / n.
//
// Infeasible trials. A biomass below kMinBiomassFraction·K (or not finite)
// makes the trial infeasible: the walk goes on from that floor, and the trial
// is worth kInfeasiblePenalty·(1 + Σ s/(1 + s)) with s = shortfall / K of
// every year that fell below the floor. The value is finite, larger than any
// feasible RSS (log residuals of doubles are below 3000, n ≤ 255) and grows
// with the shortfall and with the number of years below the floor, so the
// optimiser is pushed back towards the feasible region; no NaN arises.
//
// How the minimum is found. Coordinates are ln r, ln K, ln p, ln φ within the
// box of the bounds. A cell-centred grid over the box (16 × 16 in r and K, 5
// exponents, 5 values of φ) gives the starts: its four lowest feasible local
// minima. From each NLopt's BOBYQA (bounded, derivative-free) runs, restarted
// from its best point while a restart still moves it (at most six runs); the
// best result goes on once more if its restarts ran out. Where the balance
// oscillates (the slope of P at K below −2: r > 2, or r·p > 2 for
// Pella–Tomlinson) a very noisy series can have narrow minima between the
// grid's points that no start reaches; the fit is then the lowest minimum
// the starts lead to.
//
// Every function is a pure function of its arguments (single-threaded, no
// random numbers: the procedure's model::RandomSource is never touched), so
// the same input gives the same bits.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/search_engine.h"
#include "model/kinds.h"
#include "model/model_fit.h"

namespace tarvik::estimation {

// φ = B₁/K when estimated (option «B₁/K оценивается»).
inline constexpr double kMinB1OverK = 0.05;
inline constexpr double kMaxB1OverK = 2.0;
// The range of the Pella–Tomlinson exponent p of this estimator, wider than
// the procedure's 1.01 … 10: p < 1 puts BMSY below K/e (production peaks
// early and stays high at low biomass), which the data may prefer.
inline constexpr double kObservationMinP = 0.1;
inline constexpr double kObservationMaxP = 10.0;
// The biomass floor of a feasible trajectory, as a fraction of K.
inline constexpr double kMinBiomassFraction = 1e-6;
inline constexpr double kInfeasiblePenalty = 1e12;
// A parameter within this fraction of a bound counts as on the bound.
inline constexpr double kAtBoundTolerance = 0.001;
// A lower bound of r, K or p that is not positive is replaced by this
// fraction of the upper bound (the coordinates are logarithms).
inline constexpr double kLowerBoundFloor = 1e-4;

struct ObservationErrorOptions {
  // «B₁/K оценивается»: φ is estimated within kMinB1OverK … kMaxB1OverK;
  // otherwise B₁ = K.
  bool EstimateB1 = false;
  // The bounds of r and K; MinQ and MaxQ are not read: q is not bounded;
  // MinP and MaxP are not read either: p lies within kObservationMinP …
  // kObservationMaxP. Each upper bound must be positive; a lower bound that is
  // not positive is kLowerBoundFloor·upper; a pair whose minimum is not below
  // its maximum fixes the value at the maximum (as the search's clamping
  // does), and a fixed value is not estimated.
  ParameterBounds Bounds;
};

// A point of the estimator: p is read for Pella–Tomlinson only, φ = B₁/K
// only when it is estimated (else 1).
struct ObservationErrorPoint {
  double r = 0.0;
  double K = 0.0;
  double p = 2.0;
  double phi = 1.0;
};

// The fit of one model kind. Series below are indexed as the series is:
// element t belongs to year FirstYear + t.
struct ObservationErrorFit {
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  double R = 0.0;
  double K = 0.0;
  double Q = 0.0;
  double P = 0.0;    // Pella–Tomlinson exponent; 0 for the other kinds
  double Phi = 1.0;  // B₁/K; 1 when not estimated
  double Sigma = 0.0;
  double RSS = 0.0;
  int N = 0;               // years with CPUE (every year of the series)
  int ParameterCount = 0;  // k: q, σ and the estimated ones of r, K, p, φ
  // n·ln(RSS/n) + 2k + 2k(k+1)/(n−k−1); a perfect fit (RSS = 0) takes the
  // smallest normal double for RSS/n, so that the value stays finite.
  double AICc = 0.0;
  // model::ReferenceMsy of ModelFitOf(this fit).
  double MSY = 0.0;
  double BMSY = 0.0;
  double FMSY = 0.0;
  double EMSY = 0.0;
  // Of the last year n: B_n is the biomass at the start of that year and
  // F_n = C_n / B_n its fishing mortality.
  double BLastOverBMSY = 0.0;
  double FLastOverFMSY = 0.0;
  // Estimated parameters at or within kAtBoundTolerance of a bound, in the
  // order "r", "K", "p", "φ".
  std::vector<std::string> AtBounds;
  // The last local run stopped by its tolerance without improving the value.
  // False for EvaluateObservationError.
  bool Converged = false;
  std::vector<double> Biomass;        // B_t
  std::vector<double> PredictedCpue;  // q̂·B_t
  std::vector<double> LogResiduals;   // ln U_t − ln q̂ − ln B_t
  std::uint64_t Evaluations = 0;      // RSS evaluations spent
};

// The fit of one kind: the global minimum as described above. Raises
// tarvik::Error for a series whose CPUE is not positive or whose catch is not
// finite (naming the year), for a series too short for its parameters
// (n ≤ k + 1), for bounds with an upper bound that is not positive, and when
// no trial within the bounds keeps the biomass above the floor.
ObservationErrorFit FitObservationError(const data::CatchEffortSeries& series,
                                        model::ProductionModelKind kind,
                                        const ObservationErrorOptions& options);

// FitObservationError for Schaefer, Fox and Pella–Tomlinson, indexed by kind.
std::array<ObservationErrorFit, 3> FitObservationErrorModels(
    const data::CatchEffortSeries& series, const ObservationErrorOptions& options);

// The local optimiser alone from `start` (moved into the bounds), e.g. for a
// bootstrap replicate refitted from the point estimate. Raises as
// FitObservationError, and when the run ends at an infeasible point.
ObservationErrorFit RefitObservationError(const data::CatchEffortSeries& series,
                                          model::ProductionModelKind kind,
                                          const ObservationErrorOptions& options,
                                          const ObservationErrorPoint& start);

// The fit record at `point` as given (not moved into the bounds; AtBounds
// still refers to them): trajectory, q̂, RSS, reference points. φ is read only
// when options.EstimateB1. Raises as FitObservationError, and, naming the
// year, when the biomass falls below the floor.
ObservationErrorFit EvaluateObservationError(const data::CatchEffortSeries& series,
                                             model::ProductionModelKind kind,
                                             const ObservationErrorOptions& options,
                                             const ObservationErrorPoint& point);

// The point of a fit (the start for RefitObservationError).
ObservationErrorPoint PointOf(const ObservationErrorFit& fit);

// A ModelFit record carrying the fit's kind, r, K, q and exponent (objective
// fields zero), and its MSY, BMSY, FMSY and EMSY.
model::ModelFit ModelFitOf(const ObservationErrorFit& fit);

}  // namespace tarvik::estimation
