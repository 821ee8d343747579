#pragma once

// Simulated fisheries for the studies run on demand (bench/*_recovery.cpp,
// bench/*_coverage.cpp): 30 years of a Schaefer stock whose harvest rate
// rises from 0.05 to 0.45 over 18 years, above FMSY = r/2, so that the stock
// is fished down, and is then cut to 0.12, so that it recovers a little;
// each year's rate carries its own lognormal deviate (0.1), so that every
// series has a catch history of its own.

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>

#include "data/catch_effort_series.h"

namespace tarvik::bench {

inline constexpr int kSimulatedYears = 30;

// The harvest rate of year t with its standard normal deviate, capped at 0.9.
inline double SimulatedHarvestRate(int t, double deviate) {
  const double planned = t < 18 ? 0.05 + 0.4 * t / 17.0 : 0.12;
  return std::min(planned * std::exp(0.1 * deviate), 0.9);
}

// The discrete yearly balance B₁ = K, B_{t+1} = B_t + r·B_t·(1 − B_t/K) − C_t
// with exact catch and lognormal CPUE error, U_t = q·B_t·exp(σ·ε_t): the
// model of the observation-error estimator.
inline data::CatchEffortSeries SimulateObservationError(double r, double K, double q, double sigma,
                                                        std::mt19937_64& generator) {
  std::normal_distribution<double> gauss(0.0, 1.0);
  data::CatchEffortSeries s;
  s.FirstYear = 1990;
  double B = K;
  for (int t = 0; t < kSimulatedYears; ++t) {
    const double C = SimulatedHarvestRate(t, gauss(generator)) * B;
    const double U = q * B * std::exp(sigma * gauss(generator));
    s.U.push_back(U);
    s.C.push_back(C);
    s.E.push_back(C / U);
    B = B + r * B * (1.0 - B / K) - C;
  }
  return s;
}

// The two-year difference equation of the procedure's objectives with
// additive error, its own model:
//   U[t] = U[t−2] + (r·S)·(1 − S/(2q)/K) − (2q)·C[t−1] + σ·ε_t,  S = U[t−1] + U[t−2],
// from U[0] = U[1] = q·K. The catch of year t is its harvest rate times the
// biomass of the year before, U[t−1]/q (a catch limit set from last year's
// index; year 0 uses its own): a catch taken from the same year's CPUE
// feeds the equation's alternating mode (a root near −1.3 at the rates
// above), so that most series would explode within 30 years. Nothing when a
// CPUE falls to zero or below.
inline std::optional<data::CatchEffortSeries> SimulateDifferenceEquation(
    double r, double K, double q, double sigma, std::mt19937_64& generator) {
  std::normal_distribution<double> gauss(0.0, 1.0);
  data::CatchEffortSeries s;
  s.FirstYear = 1990;
  for (int t = 0; t < kSimulatedYears; ++t) {
    double U = q * K;
    const double deviate = gauss(generator);
    if (t >= 2) {
      const double S = s.U[t - 1] + s.U[t - 2];
      U = s.U[t - 2] + r * S * (1.0 - S / (2.0 * q) / K) - 2.0 * q * s.C[t - 1] + sigma * deviate;
    }
    if (!(U > 0.0)) return std::nullopt;
    const double previous = t > 0 ? s.U[t - 1] : U;
    const double C = SimulatedHarvestRate(t, gauss(generator)) * previous / q;
    s.U.push_back(U);
    s.C.push_back(C);
    s.E.push_back(C / U);
  }
  return s;
}

}  // namespace tarvik::bench
