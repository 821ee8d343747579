#pragma once

// Tests of a fit's residuals in year order: the runs test of their signs,
// the Shapiro-Wilk test of normality and the Ljung-Box test of
// autocorrelation. A test that the residuals at hand do not allow (too few
// of them, all equal, all of one sign, a value that is not finite) is "not
// assessable": Assessable is false, Reason says why in Russian, and every
// figure is 0 — never NaN.

#include <cstddef>
#include <span>
#include <string>

namespace tarvik::diagnostics {

// The Wald-Wolfowitz runs test of the signs, two-sided, by the normal
// approximation without continuity correction. Zero residuals are left out.
// With n₊ positive and n₋ negative residuals (n = n₊ + n₋) and R runs:
//   μ = 2n₊n₋/n + 1,  σ² = 2n₊n₋(2n₊n₋ − n) / (n²(n − 1)),
//   z = (R − μ)/σ,    p = 2·Φ(−|z|).
// Not assessable when fewer than 3 residuals are non-zero or σ² is 0 (all of
// one sign).
struct RunsTest {
  bool Assessable = false;
  std::string Reason;
  std::size_t Positive = 0;
  std::size_t Negative = 0;
  std::size_t Runs = 0;
  double Z = 0.0;
  double P = 0.0;
};
RunsTest RunsTestOfSigns(std::span<const double> residuals);

// Shapiro-Wilk W and its p-value by Royston's algorithm (1995, AS R94: the
// coefficients from normal scores with the polynomial corrections of the
// two extreme ones, p from the normalising transformation of ln(1 − W);
// exact for 3 residuals), the figures of R's shapiro.test. Needs 3 … 5000
// residuals that are not all equal.
struct ShapiroWilk {
  bool Assessable = false;
  std::string Reason;
  double W = 0.0;
  double P = 0.0;
};
ShapiroWilk ShapiroWilkTest(std::span<const double> residuals);

// The Ljung-Box portmanteau test, as R's Box.test(type = "Ljung-Box"):
//   Q = n(n + 2) Σ_{k=1..h} ρ_k² / (n − k),  p = 1 − F_χ²(Q; h),
// ρ_k the lag-k autocorrelation about the mean (divided by the sum of
// squares), h = LjungBoxLag(n). Needs 3 residuals that are not all equal.
struct LjungBox {
  bool Assessable = false;
  std::string Reason;
  double Q = 0.0;
  int Lag = 0;
  double P = 0.0;
};
LjungBox LjungBoxTest(std::span<const double> residuals);

// The lag of the Ljung-Box test: 4, or n div 2 with fewer than 8 residuals.
int LjungBoxLag(std::size_t n);

}  // namespace tarvik::diagnostics
