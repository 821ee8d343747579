#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "data/catch_effort_series.h"
#include "model/kinds.h"

namespace tarvik::model {

// Residuals of the two-year central-difference CPUE model. For t = 2 … n−1:
//   S = U[t−1] + U[t−2];  B̄ = S / (2q);  g = ProductionShape(kind, B̄, K, p)
//   Û[t] = U[t−2] + (r·g)·S − (2q)·C[t−1];  residual[t−2] = U[t] − Û[t].
// Needs at least 3 years; q = 0 raises tarvik::Error.
std::vector<double> CpueResiduals(std::span<const double> U, std::span<const double> C,
                                  ProductionModelKind kind, double r, double K, double q,
                                  double p);

// Absolute values of the residuals in ascending order; the input is unchanged.
std::vector<double> SortResiduals(std::span<const double> residuals);

// The trimmed objectives over the central window of the sorted absolute
// residuals. With N residuals and keep count m: c = (N − m) div 2, the kept
// values are a[c] … a[c+m−1] and the divisor is D = N − 2c (m, or m + 1 when
// N − m is odd). D = 0 and m > N raise tarvik::Error.
//   TrimmedRms     sqrt(Σ e² / D)
//   TrimmedLogRms  sqrt(exp(Σ ln(1 + e²) / D) − 1)
//   TrimmedMeanAbs Σ e / D
double TrimmedRms(std::span<const double> residuals, std::uint8_t keepCount);
double TrimmedLogRms(std::span<const double> residuals, std::uint8_t keepCount);
double TrimmedMeanAbs(std::span<const double> residuals, std::uint8_t keepCount);

// The objective `objective` of the model at (r, K, q, p) on the series. This
// is the inner loop of the parameter search: it allocates nothing and gives
// the same bits as CpueResiduals followed by the trimmed function. A result
// that is not finite raises tarvik::Error.
double EvaluateObjective(const data::CatchEffortSeries& series, ObjectiveKind objective,
                         ProductionModelKind kind, double r, double K, double q, double p,
                         std::uint8_t keepCount);

// The same on plain U and C arrays of equal length n ≥ 3.
double EvaluateObjective(std::span<const double> U, std::span<const double> C,
                         ObjectiveKind objective, ProductionModelKind kind, double r, double K,
                         double q, double p, std::uint8_t keepCount);

// Keep count for n years and trim position s (0 … 9): Round((n − 2)·(1 − s/10)),
// ties to even, held in 8 bits.
std::uint8_t KeepCountFor(std::size_t years, int trimPosition);

}  // namespace tarvik::model
