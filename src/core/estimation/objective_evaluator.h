#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/kinds.h"

namespace tarvik::estimation {

// The objective function of one variant on one series, prepared for the
// millions of evaluations of the parameter search. It gives exactly the bits
// of model::EvaluateObjective: the per-year sums S = U[t−1] + U[t−2] and the
// other operands are taken from tables filled once, and every formula keeps
// its order of operations (Û = U[t−2] + (r·g)·S − (2·q)·C[t−1]).
//
// The evaluator holds its tables by value (no allocation after construction)
// and TryEvaluate is const and thread-safe. It keeps views of U and C for the
// fallback: the series must outlive it.
class ObjectiveEvaluator {
 public:
  // What the search needs to know of a trial: whether its objective is below
  // the best value so far.
  enum class Verdict : std::uint8_t {
    NotBetter,  // the objective is certainly ≥ the best value (a failure)
    Value,      // the objective was computed (`value`)
    Fallback,   // evaluate with model::EvaluateObjective (it raises or gives the value)
  };

  // Bound under which a trial cannot beat `best` (see Compare). Usable only
  // when every residual is kept (trim position 0, or any keep count equal to
  // the residual count).
  struct RejectionLimit {
    bool usable = false;
    double limit = 0.0;  // on the running sum of the objective's terms
    // Order in which the residuals are computed: largest residual of the
    // best point first, so that a trial near it is rejected early.
    std::array<std::uint8_t, 256> order{};
  };

  // U and C of equal length n (3 … 255 years; a series outside that range
  // makes every TryEvaluate fail, and Evaluate then raises the reference
  // error).
  //
  // `responseShift` (empty, or n − 2 values) is added to the observed CPUE
  // of each residual: residual i becomes U[i+2] + shift[i] − Û[i+2], with Û
  // from the unshifted U and C. This is the objective of a fixed-design
  // bootstrap replicate, whose responses change while the regressors stay
  // the observed ones. A shifted evaluator is for TryEvaluate and Evaluate
  // (which then raises its own error where TryEvaluate fails); U(), C() and
  // the Fallback verdict of Compare refer to the unshifted series.
  ObjectiveEvaluator(std::span<const double> U, std::span<const double> C,
                     model::ObjectiveKind objective, model::ProductionModelKind kind,
                     std::uint8_t keepCount, std::span<const double> responseShift = {});

  // The objective at (r, K, q, p) when it is an ordinary finite value: then
  // returns true and stores it in `value`. Returns false, without raising,
  // whenever model::EvaluateObjective would raise at that point (q = 0, K = 0,
  // logarithm of a non-positive relative biomass, invalid or overflowing
  // power, an impossible keep count, a result that is not finite) and also
  // when some residual is not finite; the caller then evaluates the point
  // with model::EvaluateObjective, which raises or gives the value.
  bool TryEvaluate(double r, double K, double q, double p, double& value) const noexcept;

  // TryEvaluate, falling back to model::EvaluateObjective (which raises
  // tarvik::Error on a fault).
  double Evaluate(double r, double K, double q, double p) const;

  // The limit for the best value so far, computing the residuals in year
  // order.
  RejectionLimit LimitFor(double best) const noexcept;
  // The same, computing first the residuals that are largest at the best
  // point (r, K, q, p).
  RejectionLimit LimitFor(double best, double r, double K, double q, double p) const noexcept;

  // Judges a trial against the best value whose limit is given. When every
  // residual is kept, the objective is a monotone function of a sum of
  // non-negative terms (e², |e| or ln(1 + e²)); the residuals are then
  // computed one by one and the trial is rejected as soon as the running sum
  // of the terms reaches the limit, which lies far enough above the best
  // value's sum (a relative margin of 1e-9, 1e-6 for the log objective) that
  // the rounding of any order of summation cannot bring the objective below
  // the best value. This shortcut is taken only when bounds worked out from
  // the trial (the extremes of the relative biomass and of the residuals)
  // prove that the full evaluation could meet no fault: it then rejects
  // exactly the trials the full evaluation would reject, and raises nothing
  // the full evaluation would raise. Otherwise the trial is evaluated in full.
  Verdict Compare(double r, double K, double q, double p, const RejectionLimit& limit,
                  double& value) const noexcept;

  std::span<const double> U() const { return U_; }
  std::span<const double> C() const { return C_; }
  model::ObjectiveKind objective() const { return objective_; }
  model::ProductionModelKind kind() const { return kind_; }
  std::uint8_t keepCount() const { return keepCount_; }

 private:
  template <model::ProductionModelKind Kind>
  bool Residuals(double r, double K, double q, double p, double* out) const noexcept;
  // Residuals for the model kind of the series (the switch over the kinds).
  bool ResidualsOfKind(double r, double K, double q, double p, double* out) const noexcept;
  template <model::ProductionModelKind Kind>
  bool FaultFree(double r, double K, double q, double p) const noexcept;
  template <model::ProductionModelKind Kind, model::ObjectiveKind Objective>
  Verdict CompareWith(double r, double K, double q, double p, const RejectionLimit& limit,
                      double& value) const noexcept;
  template <model::ProductionModelKind Kind>
  Verdict CompareKind(double r, double K, double q, double p, const RejectionLimit& limit,
                      double& value) const noexcept;
  double TrimmedOfSorted(double* a) const noexcept;

  static constexpr std::size_t kMax = 256;
  std::span<const double> U_;  // the series itself, for the fallback
  std::span<const double> C_;
  model::ObjectiveKind objective_;
  model::ProductionModelKind kind_;
  std::uint8_t keepCount_;
  std::size_t residualCount_ = 0;  // N = n − 2
  bool shifted_ = false;           // responses shifted: no reference fallback
  bool valid_ = false;             // the series and the keep count allow a value
  std::size_t first_ = 0;          // central window: first kept sorted value
  double divisor_ = 1.0;           // D = N − 2c
  // Extremes of the tables, for the fault-free bounds of Compare.
  double minSum_ = 0.0, maxSum_ = 0.0;
  double maxAbsSum_ = 0.0, maxAbsBefore_ = 0.0, maxAbsObserved_ = 0.0, maxAbsCatch_ = 0.0;
  alignas(64) std::array<double, kMax> sum_{};       // U[t−1] + U[t−2]
  alignas(64) std::array<double, kMax> before_{};    // U[t−2]
  alignas(64) std::array<double, kMax> observed_{};  // U[t]
  alignas(64) std::array<double, kMax> catch_{};     // C[t−1]
};

}  // namespace tarvik::estimation
