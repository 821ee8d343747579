#include "estimation/objective_evaluator.h"

#include <algorithm>
#include <cmath>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/sorting.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::estimation {

using model::ObjectiveKind;
using model::ProductionModelKind;

namespace {

// Residuals are bounded by this in the shortcut of Compare: their squares,
// summed over at most 253 of them, stay far from overflow, and so does
// exp of the mean of ln(1 + e²).
constexpr double kResidualBound = 1e140;
// x^p of Pella-Tomlinson is bounded by this in the shortcut.
constexpr double kPowerBound = 1e300;

}  // namespace

ObjectiveEvaluator::ObjectiveEvaluator(std::span<const double> U, std::span<const double> C,
                                       ObjectiveKind objective, ProductionModelKind kind,
                                       std::uint8_t keepCount,
                                       std::span<const double> responseShift)
    : U_(U),
      C_(C),
      objective_(objective),
      kind_(kind),
      keepCount_(keepCount),
      shifted_(!responseShift.empty()) {
  const std::size_t n = U.size();
  if (n != C.size() || n < 3 || n > 255) return;
  if (shifted_ && responseShift.size() != n - 2) return;
  residualCount_ = n - 2;
  for (std::size_t t = 2; t < n; ++t) {
    sum_[t - 2] = U[t - 1] + U[t - 2];
    before_[t - 2] = U[t - 2];
    observed_[t - 2] = shifted_ ? U[t] + responseShift[t - 2] : U[t];
    catch_[t - 2] = C[t - 1];
  }
  const std::size_t N = residualCount_;
  minSum_ = *std::min_element(sum_.begin(), sum_.begin() + N);
  maxSum_ = *std::max_element(sum_.begin(), sum_.begin() + N);
  for (std::size_t i = 0; i < N; ++i) {
    maxAbsSum_ = std::max(maxAbsSum_, std::fabs(sum_[i]));
    maxAbsBefore_ = std::max(maxAbsBefore_, std::fabs(before_[i]));
    maxAbsObserved_ = std::max(maxAbsObserved_, std::fabs(observed_[i]));
    maxAbsCatch_ = std::max(maxAbsCatch_, std::fabs(catch_[i]));
  }
  if (keepCount > N) return;
  const std::size_t c = (N - keepCount) / 2;
  const std::size_t D = N - 2 * c;
  if (D == 0) return;
  first_ = c;
  divisor_ = static_cast<double>(D);
  valid_ = std::isfinite(maxAbsSum_) && std::isfinite(maxAbsBefore_) &&
           std::isfinite(maxAbsObserved_) && std::isfinite(maxAbsCatch_);
}

template <ProductionModelKind Kind>
bool ObjectiveEvaluator::Residuals(double r, double K, double q, double p,
                                   double* out) const noexcept {
  const double twoQ = 2.0 * q;
  const std::size_t N = residualCount_;
  bool finite = true;
  for (std::size_t i = 0; i < N; ++i) {
    const double S = sum_[i];
    const double x = (S / twoQ) / K;  // relative mean biomass B̄ / K
    double g;
    if constexpr (Kind == ProductionModelKind::Schaefer) {
      g = 1.0 - x;
    } else if constexpr (Kind == ProductionModelKind::Fox) {
      if (!(x > 0.0)) return false;
      g = -elementary::Log(x);
    } else {
      double power = 0.0;
      if (!model::TryPower(x, p, power) || !std::isfinite(power)) return false;
      g = 1.0 - power;
    }
    const double predicted = before_[i] + r * g * S - twoQ * catch_[i];
    const double residual = std::fabs(observed_[i] - predicted);
    finite &= std::isfinite(residual);
    out[i] = residual;
  }
  return finite;
}

double ObjectiveEvaluator::TrimmedOfSorted(double* a) const noexcept {
  SortFiniteAscending(a, residualCount_);
  const double* e = a + first_;
  const std::size_t m = keepCount_;
  double sum = 0.0;
  switch (objective_) {
    case ObjectiveKind::SumOfSquares:
      for (std::size_t i = 0; i < m; ++i) sum += e[i] * e[i];
      return std::sqrt(sum / divisor_);
    case ObjectiveKind::LogSumOfSquares:
      for (std::size_t i = 0; i < m; ++i) sum += elementary::Log(1.0 + e[i] * e[i]);
      return std::sqrt(elementary::Exp(sum / divisor_) - 1.0);
    case ObjectiveKind::Median:
      for (std::size_t i = 0; i < m; ++i) sum += e[i];
      return sum / divisor_;
  }
  return 0.0;
}

bool ObjectiveEvaluator::ResidualsOfKind(double r, double K, double q, double p,
                                         double* out) const noexcept {
  switch (kind_) {
    case ProductionModelKind::Schaefer:
      return Residuals<ProductionModelKind::Schaefer>(r, K, q, p, out);
    case ProductionModelKind::Fox:
      return Residuals<ProductionModelKind::Fox>(r, K, q, p, out);
    case ProductionModelKind::PellaTomlinson:
      return Residuals<ProductionModelKind::PellaTomlinson>(r, K, q, p, out);
  }
  return false;
}

bool ObjectiveEvaluator::TryEvaluate(double r, double K, double q, double p,
                                     double& value) const noexcept {
  if (!valid_ || q == 0.0 || K == 0.0) return false;
  alignas(64) double a[kMax];
  if (!ResidualsOfKind(r, K, q, p, a)) return false;
  const double result = TrimmedOfSorted(a);
  if (!std::isfinite(result)) return false;
  value = result;
  return true;
}

double ObjectiveEvaluator::Evaluate(double r, double K, double q, double p) const {
  double value = 0.0;
  if (TryEvaluate(r, K, q, p, value)) return value;
  if (shifted_) {
    throw Error("Целевая функция не вычисляется при r = " + FormatGeneral(r) +
                ", K = " + FormatGeneral(K) + ", q = " + FormatGeneral(q));
  }
  return model::EvaluateObjective(U_, C_, objective_, kind_, r, K, q, p, keepCount_);
}

ObjectiveEvaluator::RejectionLimit ObjectiveEvaluator::LimitFor(double best) const noexcept {
  RejectionLimit l;
  if (!valid_ || first_ != 0 || keepCount_ != residualCount_) return l;
  if (!(best >= 0.0) || !std::isfinite(best)) return l;
  const double N = static_cast<double>(residualCount_);
  switch (objective_) {
    case ObjectiveKind::SumOfSquares:
      // sqrt(Σe² / N) ≥ best ⇐ Σe² ≥ best²·N, with room for rounding.
      l.limit = best * best * N * (1.0 + 1e-9);
      break;
    case ObjectiveKind::Median:
      l.limit = best * N * (1.0 + 1e-9);
      break;
    case ObjectiveKind::LogSumOfSquares:
      // sqrt(exp(Σ/N) − 1) ≥ best ⇐ Σ ≥ N·ln(1 + best²). exp(s) − 1 loses
      // relative accuracy for tiny s, so tiny best values get no shortcut.
      if (best <= 1e-3) return l;
      l.limit = N * elementary::Log(1.0 + best * best) * (1.0 + 1e-6);
      break;
  }
  l.usable = std::isfinite(l.limit);
  for (std::size_t i = 0; i < residualCount_; ++i) l.order[i] = static_cast<std::uint8_t>(i);
  return l;
}

ObjectiveEvaluator::RejectionLimit ObjectiveEvaluator::LimitFor(double best, double r, double K,
                                                                double q, double p) const noexcept {
  RejectionLimit l = LimitFor(best);
  if (!l.usable || !(q != 0.0 && K != 0.0)) return l;
  alignas(64) double a[kMax];
  if (!ResidualsOfKind(r, K, q, p, a)) return l;
  std::stable_sort(l.order.begin(), l.order.begin() + static_cast<std::ptrdiff_t>(residualCount_),
                   [&a](std::uint8_t x, std::uint8_t y) { return a[x] > a[y]; });
  return l;
}

// True when, at this trial, the full evaluation certainly meets no fault:
// the relative biomass x = S/(2q)/K is finite (and positive for Fox, not
// negative for Pella-Tomlinson, whose power then stays below kPowerBound), so
// every residual is finite and bounded by kResidualBound.
template <ProductionModelKind Kind>
bool ObjectiveEvaluator::FaultFree(double r, double K, double q, double p) const noexcept {
  if (!(q > 0.0 && K > 0.0)) return false;
  const double twoQ = 2.0 * q;
  // Division by positive numbers keeps the order: every x lies in [xLow, xHigh].
  const double xLow = (minSum_ / twoQ) / K;
  const double xHigh = (maxSum_ / twoQ) / K;
  if (!std::isfinite(xLow) || !std::isfinite(xHigh)) return false;
  double shape = 0.0;  // bound of |g|
  if constexpr (Kind == ProductionModelKind::Schaefer) {
    shape = std::max(std::fabs(1.0 - xLow), std::fabs(1.0 - xHigh));
  } else if constexpr (Kind == ProductionModelKind::Fox) {
    if (!(xLow > 0.0)) return false;
    shape = std::max(std::fabs(elementary::Log(xLow)), std::fabs(elementary::Log(xHigh)));
  } else {
    if (!(xLow >= 0.0)) return false;
    double power = 0.0;
    if (!model::TryPower(xHigh, p, power) || !(power <= kPowerBound)) return false;
    shape = 1.0 + power;
  }
  const double bound = (maxAbsObserved_ + maxAbsBefore_ + std::fabs(r) * shape * maxAbsSum_ +
                        std::fabs(twoQ) * maxAbsCatch_) *
                       (1.0 + 1e-12);
  return bound <= kResidualBound;
}

template <ProductionModelKind Kind, ObjectiveKind Objective>
ObjectiveEvaluator::Verdict ObjectiveEvaluator::CompareWith(double r, double K, double q, double p,
                                                            const RejectionLimit& rejection,
                                                            double& value) const noexcept {
  const double twoQ = 2.0 * q;
  const std::size_t N = residualCount_;
  const double limit = rejection.limit;
  alignas(64) double a[kMax];
  double running = 0.0;
  for (std::size_t k = 0; k < N; ++k) {
    const std::size_t i = rejection.order[k];
    const double S = sum_[i];
    const double x = (S / twoQ) / K;
    double g;
    if constexpr (Kind == ProductionModelKind::Schaefer) {
      g = 1.0 - x;
    } else if constexpr (Kind == ProductionModelKind::Fox) {
      g = -elementary::Log(x);
    } else {
      double power = 0.0;
      model::TryPower(x, p, power);  // cannot fail: FaultFree holds
      g = 1.0 - power;
    }
    const double predicted = before_[i] + r * g * S - twoQ * catch_[i];
    const double e = std::fabs(observed_[i] - predicted);
    a[k] = e;
    if constexpr (Objective == ObjectiveKind::SumOfSquares) {
      running += e * e;
    } else if constexpr (Objective == ObjectiveKind::Median) {
      running += e;
    } else {
      running += elementary::Log(1.0 + e * e);
    }
    if (running >= limit) return Verdict::NotBetter;
  }
  const double result = TrimmedOfSorted(a);
  if (!std::isfinite(result)) return Verdict::Fallback;
  value = result;
  return Verdict::Value;
}

template <ProductionModelKind Kind>
ObjectiveEvaluator::Verdict ObjectiveEvaluator::CompareKind(double r, double K, double q, double p,
                                                            const RejectionLimit& limit,
                                                            double& value) const noexcept {
  if (!FaultFree<Kind>(r, K, q, p)) {
    return TryEvaluate(r, K, q, p, value) ? Verdict::Value : Verdict::Fallback;
  }
  switch (objective_) {
    case ObjectiveKind::SumOfSquares:
      return CompareWith<Kind, ObjectiveKind::SumOfSquares>(r, K, q, p, limit, value);
    case ObjectiveKind::LogSumOfSquares:
      return CompareWith<Kind, ObjectiveKind::LogSumOfSquares>(r, K, q, p, limit, value);
    case ObjectiveKind::Median:
      return CompareWith<Kind, ObjectiveKind::Median>(r, K, q, p, limit, value);
  }
  return Verdict::Fallback;
}

ObjectiveEvaluator::Verdict ObjectiveEvaluator::Compare(double r, double K, double q, double p,
                                                        const RejectionLimit& limit,
                                                        double& value) const noexcept {
  if (limit.usable) {
    switch (kind_) {
      case ProductionModelKind::Schaefer:
        return CompareKind<ProductionModelKind::Schaefer>(r, K, q, p, limit, value);
      case ProductionModelKind::Fox:
        return CompareKind<ProductionModelKind::Fox>(r, K, q, p, limit, value);
      case ProductionModelKind::PellaTomlinson:
        return CompareKind<ProductionModelKind::PellaTomlinson>(r, K, q, p, limit, value);
    }
  }
  return TryEvaluate(r, K, q, p, value) ? Verdict::Value : Verdict::Fallback;
}

}  // namespace tarvik::estimation
