#include "model/objective.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "common/elementary.h"
#include "common/error.h"
#include "model/checked.h"
#include "model/production.h"

namespace tarvik::model {
namespace {

constexpr std::size_t kMaxResiduals = 255;

void RequireSeries(std::size_t u, std::size_t c) {
  if (u != c) throw Error("Ряды улова на усилие и улова имеют разную длину");
  if (u < 3) throw Error("Для расчёта остатков нужны данные не менее чем за 3 года");
  if (u > kMaxResiduals) throw Error("Ряд длиннее 255 лет");
}

// Shape g at mean biomass B̄ for one kind; the kind is a template argument so
// that the residual loop carries no switch.
template <ProductionModelKind Kind>
inline double Shape(double meanBiomass, double K, double p) {
  const double x = meanBiomass / K;  // K ≠ 0 is checked once per evaluation
  if constexpr (Kind == ProductionModelKind::Schaefer) {
    return 1.0 - x;
  } else if constexpr (Kind == ProductionModelKind::Fox) {
    return -Log(x, "относительной биомассы B/K");
  } else {
    return 1.0 - Power(x, p);
  }
}

// Writes residual[t−2] for t = 2 … n−1 into out (as residuals or, with
// Absolute, as their absolute values).
template <ProductionModelKind Kind, bool Absolute>
void ResidualLoop(const double* U, const double* C, std::size_t n, double r, double K, double q,
                  double p, double* out) {
  for (std::size_t t = 2; t < n; ++t) {
    const double S = U[t - 1] + U[t - 2];
    const double meanBiomass = S / (2.0 * q);
    const double g = Shape<Kind>(meanBiomass, K, p);
    const double predicted = U[t - 2] + r * g * S - 2.0 * q * C[t - 1];
    const double residual = U[t] - predicted;
    out[t - 2] = Absolute ? std::fabs(residual) : residual;
  }
}

template <bool Absolute>
void Residuals(const double* U, const double* C, std::size_t n, ProductionModelKind kind,
               double r, double K, double q, double p, double* out) {
  if (q == 0.0) throw Error("Деление на ноль при расчёте остатков: коэффициент улавливаемости q равен 0");
  if (K == 0.0) throw Error("Деление на ноль при расчёте остатков: ёмкость среды K равна 0");
  switch (kind) {
    case ProductionModelKind::Schaefer:
      ResidualLoop<ProductionModelKind::Schaefer, Absolute>(U, C, n, r, K, q, p, out);
      break;
    case ProductionModelKind::Fox:
      ResidualLoop<ProductionModelKind::Fox, Absolute>(U, C, n, r, K, q, p, out);
      break;
    case ProductionModelKind::PellaTomlinson:
      ResidualLoop<ProductionModelKind::PellaTomlinson, Absolute>(U, C, n, r, K, q, p, out);
      break;
  }
}

void SortAscending(double* a, std::size_t n) {
  if (n <= 32) {
    for (std::size_t i = 1; i < n; ++i) {
      const double v = a[i];
      std::size_t j = i;
      while (j > 0 && a[j - 1] > v) {
        a[j] = a[j - 1];
        --j;
      }
      a[j] = v;
    }
  } else {
    std::sort(a, a + n);
  }
}

struct Window {
  std::size_t first;
  std::size_t count;
  double divisor;
};

Window CentralWindow(std::size_t N, std::uint8_t keepCount) {
  if (keepCount > N) {
    throw Error("Число учитываемых остатков (" + std::to_string(keepCount) +
                ") больше числа остатков (" + std::to_string(N) + ")");
  }
  const std::size_t c = (N - keepCount) / 2;
  const std::size_t D = N - 2 * c;
  if (D == 0) throw Error("Деление на ноль при расчёте целевой функции");
  return {c, keepCount, static_cast<double>(D)};
}

double Finite(double value) {
  if (!std::isfinite(value)) {
    throw Error("Значение целевой функции не является конечным числом");
  }
  return value;
}

// The trimmed objective over already sorted absolute residuals.
double TrimmedOfSorted(const double* a, std::size_t N, std::uint8_t keepCount,
                       ObjectiveKind objective) {
  const Window w = CentralWindow(N, keepCount);
  const double* e = a + w.first;
  double sum = 0.0;
  switch (objective) {
    case ObjectiveKind::SumOfSquares:
      for (std::size_t i = 0; i < w.count; ++i) sum += e[i] * e[i];
      return Finite(std::sqrt(sum / w.divisor));
    case ObjectiveKind::LogSumOfSquares:
      for (std::size_t i = 0; i < w.count; ++i) sum += elementary::Log(1.0 + e[i] * e[i]);
      return Finite(std::sqrt(elementary::Exp(sum / w.divisor) - 1.0));
    case ObjectiveKind::Median:
      for (std::size_t i = 0; i < w.count; ++i) sum += e[i];
      return Finite(sum / w.divisor);
  }
  return 0.0;
}

double Trimmed(std::span<const double> residuals, std::uint8_t keepCount,
               ObjectiveKind objective) {
  if (residuals.size() > kMaxResiduals) throw Error("Слишком много остатков");
  std::array<double, kMaxResiduals> a;
  for (std::size_t i = 0; i < residuals.size(); ++i) a[i] = std::fabs(residuals[i]);
  SortAscending(a.data(), residuals.size());
  return TrimmedOfSorted(a.data(), residuals.size(), keepCount, objective);
}

}  // namespace

std::vector<double> CpueResiduals(std::span<const double> U, std::span<const double> C,
                                  ProductionModelKind kind, double r, double K, double q,
                                  double p) {
  RequireSeries(U.size(), C.size());
  std::vector<double> out(U.size() - 2);
  Residuals<false>(U.data(), C.data(), U.size(), kind, r, K, q, p, out.data());
  return out;
}

std::vector<double> SortResiduals(std::span<const double> residuals) {
  std::vector<double> a(residuals.size());
  for (std::size_t i = 0; i < residuals.size(); ++i) a[i] = std::fabs(residuals[i]);
  SortAscending(a.data(), a.size());
  return a;
}

double TrimmedRms(std::span<const double> residuals, std::uint8_t keepCount) {
  return Trimmed(residuals, keepCount, ObjectiveKind::SumOfSquares);
}

double TrimmedLogRms(std::span<const double> residuals, std::uint8_t keepCount) {
  return Trimmed(residuals, keepCount, ObjectiveKind::LogSumOfSquares);
}

double TrimmedMeanAbs(std::span<const double> residuals, std::uint8_t keepCount) {
  return Trimmed(residuals, keepCount, ObjectiveKind::Median);
}

double EvaluateObjective(std::span<const double> U, std::span<const double> C,
                         ObjectiveKind objective, ProductionModelKind kind, double r, double K,
                         double q, double p, std::uint8_t keepCount) {
  RequireSeries(U.size(), C.size());
  std::array<double, kMaxResiduals> a;
  const std::size_t N = U.size() - 2;
  Residuals<true>(U.data(), C.data(), U.size(), kind, r, K, q, p, a.data());
  SortAscending(a.data(), N);
  return TrimmedOfSorted(a.data(), N, keepCount, objective);
}

double EvaluateObjective(const data::CatchEffortSeries& series, ObjectiveKind objective,
                         ProductionModelKind kind, double r, double K, double q, double p,
                         std::uint8_t keepCount) {
  return EvaluateObjective(series.U, series.C, objective, kind, r, K, q, p, keepCount);
}

std::uint8_t KeepCountFor(std::size_t years, int trimPosition) {
  const double n2 = static_cast<double>(years) - 2.0;
  const double kept = std::nearbyint(n2 * (1.0 - trimPosition / 10.0));
  if (kept < 0.0) return 0;
  if (kept > 255.0) return 255;
  return static_cast<std::uint8_t>(kept);
}

}  // namespace tarvik::model
