#pragma once

// How well the fit determines the parameters, the reference points and the
// stock status: a residual bootstrap of a fitted variant, for the procedure's
// objectives and for the observation-error estimator.
//
// The procedure's objectives: a fixed-design bootstrap. Replicate k keeps
// the observed regressors (U[t−2], U[t−1], C[t−1]) and replaces each
// response by
//   U*[t] = Û[t](θ̂) + e*_t,  t = 2 … n−1,
// Û being the model's CPUE at the point estimate θ̂ and e* drawn with
// replacement from the residuals of θ̂ (below), and refits it with the same
// objective, keep count and bounds by the refinement's local optimiser from
// θ̂ (estimation::RefitLocally, for intervals); the log and median objectives, whose
// minima lie where the fit passes exactly through three rows, also from the
// best exact solutions through three rows of the replicate. We do not
// regenerate the series recursively from its first two years: the two-year
// central difference has a root at −1 (its linearisation factors as
// (z + 1)(z − 1 − a)), so a regenerated series carries a saw-tooth that the
// errors feed like a random walk, and with the observed catches kept fixed
// its true root 1 + a exceeds 1 below BMSY, so the pseudo-stocks drift away
// from the catches and collapse under them (a pseudo-CPUE that turns
// negative has no Fox or Pella-Tomlinson value at all). The estimator itself
// conditions on the observed CPUE as regressors; the fixed design does the
// same and cannot leave the domain of the model. In simulations from the
// difference equation its 90 % intervals of MSY, BMSY and FMSY cover the
// truth in 86 … 94.5 % of series (bench/uncertainty_coverage.cpp).
//
// The residuals drawn from: those of θ̂, centred at the location the
// objective fits to them (the mean for the sum of squares, the median for
// the median objective, the minimum of Σ ln(1 + (e − c)²) for the log
// objective). For the log and median objectives the k residuals of smallest
// size are left out first: at their minima k residuals are zero by
// construction rather than draws of the error, and resampled they would pin
// the replicates to θ̂ (the coverage of the log objective at the CPUE scale
// of the yellowfin example fell to 7 % with them and to 75 % with row starts
// alone).
//
// The observation-error estimator: U*_t = q̂·B̂_t·exp(ε*_t), with ε*
// resampled from its centred log residuals, refitted by
// estimation::RefitObservationError from the point estimate within the same
// bounds.
//
// The resampled residuals are scaled by sqrt(N / (N − k)) (N residuals, k
// estimated parameters of the fit), as the fitted residuals are smaller than
// the errors by the degrees of freedom the fit takes; a series needs more
// than 2k residuals.
//
// Last-year status. The procedure: B_last = U0/q, U0 being the model CPUE of
// the last data year L from the two years before it, as the projection
// starts: U0 = U[L−2] + (r·S)·Shape(S/(2q)) − (2q)·C[L−1], S = U[L−1] + U[L−2].
// The observation-error estimator: B_last = B_n, the biomass at the start of
// the last year of its yearly balance. Both: F_last = C_last / B_last.
//
// Intervals are percentile intervals (quantiles of the replicates by linear
// interpolation between order statistics) at the level L: the quantiles
// (1 − L)/2 and (1 + L)/2. Replicates that failed (no finite objective, a
// refit that raised, a BMSY or B_last that is not a positive finite number)
// are left out of every figure and counted; replicates that end on a bound
// of the search are kept and counted, also those with r = 0 (see
// BootstrapResult::ZeroProduction).
//
// Randomness: each replicate draws from its own stream, std::mt19937_64
// (its output is fixed by the standard) seeded by SplitMix64 of (seed,
// replicate), never from the procedure's model::RandomSource; the result is
// the same bits for any number of threads and on every run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/point.h"
#include "data/catch_effort_series.h"
#include "estimation/observation_error.h"
#include "estimation/search_engine.h"
#include "model/kinds.h"
#include "model/model_fit.h"

namespace tarvik::uncertainty {

inline constexpr int kDefaultReplicates = 1000;
inline constexpr int kMinReplicates = 100;
inline constexpr int kMaxReplicates = 10000;

// The random numbers of one replicate (and of any later analysis that draws
// per replicate: a distinct `purpose` gives an independent stream).
class ReplicateRandom {
 public:
  ReplicateRandom(std::uint64_t seed, std::uint64_t replicate, std::uint64_t purpose = 0);
  // Uniform in 0 … n−1 (n ≥ 1), without modulo bias.
  std::size_t Index(std::size_t n);

 private:
  std::mt19937_64 engine_;
};

// One residual drawn from `pool` (not empty), each with the same chance: the
// one resampler of the bootstraps and the decision table.
double DrawResidual(std::span<const double> pool, ReplicateRandom& random);

struct BootstrapOptions {
  int Replicates = kDefaultReplicates;  // kMinReplicates … kMaxReplicates
  std::uint64_t Seed = 1;
  int Level = 90;  // per cent: 90 or 95
  // As ThreadsFor: 0 = every hardware thread; the result does not depend on it.
  long long Threads = 0;
  // Blim as a fraction of each replicate's BMSY (0 < f < 1; the page's
  // fractions are 0.1, 0.2, 0.3, 0.5).
  double BlimFraction = 0.1;
  // Called on the calling thread with the replicates finished so far (at
  // most about a hundred times, and once with done = total). An exception
  // it raises stops the computation and reaches the caller.
  std::function<void(int done, int total)> OnProgress;
  // Checked between replicates and before the result is returned; a stop
  // raises Cancelled.
  std::stop_token Stop;
};

// Raised when BootstrapOptions::Stop asked the computation to stop.
class Cancelled : public Error {
 public:
  Cancelled() : Error("Расчёт доверительных интервалов прерван") {}
};

enum class Estimator : std::uint8_t { Procedure = 0, ObservationError = 1, StateSpace = 2 };

// The estimated parameters whose bounds a replicate can end on, in the order
// of BootstrapResult::BoundCounts; φ is B₁/K of the observation-error
// estimator.
enum class BoundParameter : std::uint8_t { R = 0, K = 1, Q = 2, P = 3, Phi = 4 };
inline constexpr std::size_t kBoundParameterCount = 5;
// "r", "K", "q", "p", "B₁/K".
std::string BoundParameterName(BoundParameter parameter);
// "r", "K", "q", "p", "b1_k".
std::string BoundParameterKey(BoundParameter parameter);

// The bit of Replicate::BoundHits for a parameter on its lower or upper
// bound (estimation::SideOnBound).
constexpr std::uint16_t BoundBit(BoundParameter parameter, bool upper) {
  return static_cast<std::uint16_t>(1u << (2u * static_cast<unsigned>(parameter) + (upper ? 1u : 0u)));
}

// More than this share of the replicates on one bound truncates the
// intervals: the bound, not the data, sets them.
inline constexpr double kTruncationShare = 0.05;

// One replicate (or the point estimate): its fit and what follows from it.
struct Replicate {
  double R = 0.0, K = 0.0, Q = 0.0;
  double P = 0.0;    // Pella-Tomlinson exponent; 0 for the other kinds
  double Phi = 1.0;  // B₁/K of the observation-error estimator; 1 otherwise
  double MSY = 0.0, BMSY = 0.0, FMSY = 0.0, EMSY = 0.0;  // model::ReferenceMsy, unrounded
  double BLast = 0.0;                                    // as the header defines it
  double FLast = 0.0;                                    // C_last / B_last
  // B at the start of the year after the last data year ("b_next", «B на
  // начало следующего года»): B_last + P(B_last) − C_last, at least 10⁻⁶·K.
  double BNext = 0.0;
  bool Failed = false;
  bool AtBound = false;  // an estimated parameter on a bound (BoundHits not 0)
  std::uint16_t BoundHits = 0;  // BoundBit of every parameter on a bound
};

// The quantities with intervals, in the order of BootstrapResult::Quantities.
enum class Quantity : std::uint8_t {
  R,
  K,
  Q,
  P,
  Msy,
  Bmsy,
  Fmsy,
  Emsy,
  BLastOverBmsy,
  FLastOverFmsy,
  BNextOverBmsy
};
inline constexpr std::size_t kQuantityCount = 11;

// "r", "K", "q", "p", "msy", "bmsy", "fmsy", "emsy", "b_last_bmsy", "f_last_fmsy",
// "b_next_bmsy".
std::string QuantityKey(Quantity quantity);
// As the report names it: "r", "K", "q", "p", "MSY", "BMSY", "FMSY", "EMSY",
// "B_last/BMSY", "F_last/FMSY", "B_next/BMSY".
std::string QuantityName(Quantity quantity);
// The value of a quantity in a replicate.
double QuantityOf(const Replicate& replicate, Quantity quantity);

struct Interval {
  // False when the quantity has no value (every figure is then 0): p of
  // Schaefer and Fox (not estimated), F_last/FMSY when every replicate used
  // has r = 0.
  bool Estimated = true;
  double Estimate = 0.0;  // of the point estimate
  double Median = 0.0;
  double Lower = 0.0;
  double Upper = 0.0;
};

struct BootstrapResult {
  Estimator Method = Estimator::Procedure;
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  model::ObjectiveKind Objective = model::ObjectiveKind::SumOfSquares;  // the procedure's
  int ReplicateCount = 0;
  std::uint64_t Seed = 1;
  int Level = 90;
  double BlimFraction = 0.1;
  Replicate Estimate;  // the point estimate
  std::array<Interval, kQuantityCount> Quantities{};
  // Shares of the replicates used (not failed):
  double ProbBelowBmsy = 0.0;  // B_last < BMSY
  double ProbBelowBlim = 0.0;  // B_last < BlimFraction · BMSY (each its own)
  double ProbAboveFmsy = 0.0;  // F_last > FMSY
  // Pearson correlations across the replicates used; 0 when a value does not
  // vary.
  double CorrelationRK = 0.0, CorrelationRQ = 0.0, CorrelationKQ = 0.0;
  int Failed = 0;
  int AtBounds = 0;
  // Per BoundParameter: whether it was estimated, and the replicates used
  // that ended on its lower [0] and upper [1] bound.
  std::array<bool, kBoundParameterCount> BoundEstimated{};
  std::array<std::array<int, 2>, kBoundParameterCount> BoundCounts{};
  // Replicates used that ended with r = 0 on its bound: MSY, FMSY and EMSY
  // are 0, so F_last/FMSY leaves them out (they count as F > FMSY), as do
  // the points of the Kobe cloud (not its quadrant shares). Among AtBounds.
  int ZeroProduction = 0;
  // State-space draws: the stated prior ln σ_p ~ N(mean, sd²) of the fit, if any.
  bool SigmaPPrior = false;
  double SigmaPLogMean = 0.0, SigmaPLogSd = 0.0;
  std::vector<Replicate> Replicates;  // replicate k at index k

  const Interval& Of(Quantity quantity) const {
    return Quantities[static_cast<std::size_t>(quantity)];
  }
};

// A parameter's bound and the share of the replicates used that ended on it.
struct BoundShare {
  BoundParameter Parameter = BoundParameter::K;
  bool Upper = false;
  int Count = 0;
  double Share = 0.0;
};

// Every bound holding more than kTruncationShare of the replicates used, in
// BoundParameter order, lower before upper: the intervals are truncated.
std::vector<BoundShare> TruncatingBounds(const BootstrapResult& result);

// The procedure's estimator on variant `fit` (Kind, Objective, R, K, Q and,
// for Pella-Tomlinson, Exponent), with the search's keep count and bounds.
// Raises tarvik::Error for options outside their ranges, when the point
// estimate has no residuals, no positive finite reference points or B_last,
// and when every replicate failed; Cancelled on a stop.
BootstrapResult BootstrapProcedure(const data::CatchEffortSeries& series,
                                   const model::ModelFit& fit,
                                   const estimation::ParameterBounds& bounds,
                                   std::uint8_t keepCount, const BootstrapOptions& options);

// The observation-error estimator on its fit (with the options it was
// fitted with). Raises as BootstrapProcedure.
BootstrapResult BootstrapObservationError(const data::CatchEffortSeries& series,
                                          const estimation::ObservationErrorFit& fit,
                                          const estimation::ObservationErrorOptions& fitOptions,
                                          const BootstrapOptions& options);

// The replicates' last-year points on the Kobe plot and the shares of the
// four quadrants (projection::QuadrantOf of B_last, F_last against each
// replicate's own BMSY and FMSY), over the replicates used.
struct KobeCloud {
  PointList Points;  // (B_last/BMSY, F_last/FMSY), in replicate order; none for FMSY = 0
  // Indexed by projection::KobeQuadrant: green, yellow, orange, red; sum 1.
  std::array<double, 4> QuadrantProbabilities{};
};
KobeCloud KobeCloudOf(const BootstrapResult& result);

// For estimators that make their replicates elsewhere (state_space_draws.h):
// a result of options.Replicates empty replicates with the options' settings
// (raises for options out of range); the check of a replicate's reference
// points and last-year status (raises naming what is wrong); and the summary
// of the replicates: quantities, probabilities, correlations and counts
// (raises when every replicate failed).
BootstrapResult PrepareBootstrap(const BootstrapOptions& options, Estimator method,
                                 model::ProductionModelKind kind);
void RequireReplicateStatus(const Replicate& replicate, bool pointEstimate);
void SummariseBootstrap(BootstrapResult& result, bool exponentEstimated);

// Whether `bootstrap` was made for the record `fit` as it is now: by the
// estimator its values came from, of its kind (and objective, for the
// procedure's), at its r, K and q.
bool MadeForRecord(const BootstrapResult& bootstrap, const model::ModelFit& fit);

}  // namespace tarvik::uncertainty
