#pragma once

#include <cstdint>
#include <functional>

#include "estimation/objective_evaluator.h"
#include "model/random.h"

namespace tarvik::estimation {

// A point of the parameter space: growth rate r, carrying capacity K,
// catchability q and the Pella-Tomlinson exponent p (carried along, and
// ignored by the objective, for the other models).
struct ParameterPoint {
  double r = 0.0;
  double K = 0.0;
  double q = 0.0;
  double p = 2.0;
};

// Bounds of the trial points. r, K, q are raised to their minimum when below
// it and then lowered to their maximum when above it; p likewise, for the
// Pella-Tomlinson model only.
struct ParameterBounds {
  double MinR = 0.0;
  double MaxR = 1.0;
  double MinK = 0.0;
  double MaxK = 0.0;
  double MinQ = 0.0001;
  double MaxQ = 1.0;
  double MinP = 1.01;
  double MaxP = 10.0;
};

// Which bound of an estimated parameter a value lies on. A value is on a
// bound when it lies within 0.1 % of the bound's own value, on the log scale
// (|ln x − ln bound| < kOnBoundTolerance), or beyond it; a bound of 0 is
// reached by 0 and below only. A pair whose minimum is not below its maximum
// fixes the value: it is on neither bound (None).
inline constexpr double kOnBoundTolerance = 0.001;
enum class BoundSide : std::uint8_t { None = 0, Lower = 1, Upper = 2 };
BoundSide SideOnBound(double x, double lo, double hi);

// Raises x to `lo` when below it, then lowers it to `hi` when above it (so
// that with lo > hi every value becomes hi).
inline double ClampValue(double x, double lo, double hi) {
  if (x < lo) x = lo;
  if (x > hi) x = hi;
  return x;
}

// Clamps a trial point as the search does: p first (Pella-Tomlinson only),
// then r, K and q, each with ClampValue.
inline void ClampToBounds(ParameterPoint& x, const ParameterBounds& b, bool pellaTomlinson) {
  if (pellaTomlinson) x.p = ClampValue(x.p, b.MinP, b.MaxP);
  x.r = ClampValue(x.r, b.MinR, b.MaxR);
  x.K = ClampValue(x.K, b.MinK, b.MaxK);
  x.q = ClampValue(x.q, b.MinQ, b.MaxQ);
}

// How one variant's random search runs.
struct EngineOptions {
  // Consecutive trials without improvement that end the search.
  int MaxFailures = 1000000;
  // Threads that evaluate trials: 1 runs the plain sequential loop; more
  // evaluate trials drawn ahead in parallel with the same result bits.
  int Threads = 1;
  // Evaluate every point with model::EvaluateObjective instead of the
  // prepared evaluator (for tests that prove the two agree).
  bool ReferenceEvaluator = false;
  // Called, on the calling thread, each time the failure count is a multiple
  // of 10000, including 0 right after an improvement.
  std::function<void(int failures)> OnCheckpoint;
};

// What a search ended with.
struct SearchOutcome {
  ParameterPoint Best;            // the best point
  double Objective = 0.0;         // the objective there
  std::uint64_t Trials = 0;       // trial points drawn and judged
  std::uint64_t Evaluations = 0;  // objective evaluations in sequential order (trials + 1)
  std::uint64_t Improvements = 0;
  // Work of the parallel evaluation: rounds evaluated on several threads and
  // evaluations made there and discarded because an earlier trial of the
  // round improved (0 for the sequential loop).
  std::uint64_t ParallelRounds = 0;
  std::uint64_t Discarded = 0;
};

// The random search of one variant from `start`:
//   best := objective at start (not clamped);
//   repeat until MaxFailures consecutive failures:
//     r′ = exp(RandomGauss(ln r, 0.5)), K′, q′ likewise, for Pella-Tomlinson
//     also p′ (else p′ = p), drawn in that order; clamp p′, then r′, K′, q′;
//     a strictly smaller objective replaces the best point and resets the
//     failure count; a tie is a failure.
// Consumes `random` exactly as that loop does: after the search its state is
// the one left by the last trial judged, whatever the thread count. Errors
// (the objective's faults, the logarithm of a non-positive start value, an
// overflowing trial step) raise tarvik::Error with the random state left after
// the trial that failed.
SearchOutcome SearchVariant(const ObjectiveEvaluator& evaluator, ParameterPoint start,
                            const ParameterBounds& bounds, model::RandomSource& random,
                            const EngineOptions& options);

}  // namespace tarvik::estimation
