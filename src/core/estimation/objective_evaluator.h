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
  // U and C of equal length n (3 … 255 years; a series outside that range
  // makes every TryEvaluate fail, and Evaluate then raises the reference
  // error).
  ObjectiveEvaluator(std::span<const double> U, std::span<const double> C,
                     model::ObjectiveKind objective, model::ProductionModelKind kind,
                     std::uint8_t keepCount);

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

  std::span<const double> U() const { return U_; }
  std::span<const double> C() const { return C_; }
  model::ObjectiveKind objective() const { return objective_; }
  model::ProductionModelKind kind() const { return kind_; }
  std::uint8_t keepCount() const { return keepCount_; }

 private:
  template <model::ProductionModelKind Kind>
  bool Residuals(double r, double K, double q, double p, double* out) const noexcept;

  static constexpr std::size_t kMax = 256;
  std::span<const double> U_;  // the series itself, for the fallback
  std::span<const double> C_;
  model::ObjectiveKind objective_;
  model::ProductionModelKind kind_;
  std::uint8_t keepCount_;
  std::size_t residualCount_ = 0;  // N = n − 2
  bool valid_ = false;             // the series and the keep count allow a value
  std::size_t first_ = 0;          // central window: first kept sorted value
  double divisor_ = 1.0;           // D = N − 2c
  alignas(64) std::array<double, kMax> sum_{};       // U[t−1] + U[t−2]
  alignas(64) std::array<double, kMax> before_{};    // U[t−2]
  alignas(64) std::array<double, kMax> observed_{};  // U[t]
  alignas(64) std::array<double, kMax> catch_{};     // C[t−1]
};

}  // namespace tarvik::estimation
