#include "estimation/objective_evaluator.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "estimation/sorting.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::estimation {

using model::ObjectiveKind;
using model::ProductionModelKind;

ObjectiveEvaluator::ObjectiveEvaluator(std::span<const double> U, std::span<const double> C,
                                       ObjectiveKind objective, ProductionModelKind kind,
                                       std::uint8_t keepCount)
    : U_(U), C_(C), objective_(objective), kind_(kind), keepCount_(keepCount) {
  const std::size_t n = U.size();
  if (n != C.size() || n < 3 || n > 255) return;
  residualCount_ = n - 2;
  for (std::size_t t = 2; t < n; ++t) {
    sum_[t - 2] = U[t - 1] + U[t - 2];
    before_[t - 2] = U[t - 2];
    observed_[t - 2] = U[t];
    catch_[t - 2] = C[t - 1];
  }
  const std::size_t N = residualCount_;
  if (keepCount > N) return;
  const std::size_t c = (N - keepCount) / 2;
  const std::size_t D = N - 2 * c;
  if (D == 0) return;
  first_ = c;
  divisor_ = static_cast<double>(D);
  valid_ = true;
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
      g = -std::log(x);
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

bool ObjectiveEvaluator::TryEvaluate(double r, double K, double q, double p,
                                     double& value) const noexcept {
  if (!valid_ || q == 0.0 || K == 0.0) return false;
  alignas(64) double a[kMax];
  bool ok = false;
  switch (kind_) {
    case ProductionModelKind::Schaefer:
      ok = Residuals<ProductionModelKind::Schaefer>(r, K, q, p, a);
      break;
    case ProductionModelKind::Fox:
      ok = Residuals<ProductionModelKind::Fox>(r, K, q, p, a);
      break;
    case ProductionModelKind::PellaTomlinson:
      ok = Residuals<ProductionModelKind::PellaTomlinson>(r, K, q, p, a);
      break;
  }
  if (!ok) return false;
  const std::size_t N = residualCount_;
  SortFiniteAscending(a, N);
  const double* e = a + first_;
  const std::size_t m = keepCount_;
  double sum = 0.0;
  double result = 0.0;
  switch (objective_) {
    case ObjectiveKind::SumOfSquares:
      for (std::size_t i = 0; i < m; ++i) sum += e[i] * e[i];
      result = std::sqrt(sum / divisor_);
      break;
    case ObjectiveKind::LogSumOfSquares:
      for (std::size_t i = 0; i < m; ++i) sum += std::log(1.0 + e[i] * e[i]);
      result = std::sqrt(std::exp(sum / divisor_) - 1.0);
      break;
    case ObjectiveKind::Median:
      for (std::size_t i = 0; i < m; ++i) sum += e[i];
      result = sum / divisor_;
      break;
  }
  if (!std::isfinite(result)) return false;
  value = result;
  return true;
}

double ObjectiveEvaluator::Evaluate(double r, double K, double q, double p) const {
  double value = 0.0;
  if (TryEvaluate(r, K, q, p, value)) return value;
  return model::EvaluateObjective(U_, C_, objective_, kind_, r, K, q, p, keepCount_);
}

}  // namespace tarvik::estimation
