#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "data/data_table.h"
#include "model/kinds.h"
#include "model/random.h"

namespace tarvik::estimation::testing {

// A catch-effort series from a Schaefer stock (r = 0.45, K = 12000,
// q = 0.0002) fished harder and harder and then eased, with CPUE observed
// with a multiplicative error of about 8 %: the shape of a real fishery's
// history, so that every model and objective has a clear but imperfect fit.
inline data::CatchEffortSeries FishedStock(int years = 22, std::uint32_t seed = 11) {
  model::RandomSource random(seed);
  const double r = 0.45, K = 12000.0, q = 0.0002;
  data::CatchEffortSeries s;
  s.FirstYear = 1934;
  double B = 0.95 * K;
  for (int t = 0; t < years; ++t) {
    const double rising = std::min(1.0, 0.15 + 0.06 * t);
    const double effort = 1000.0 * (t < (2 * years) / 3 ? rising : rising * 0.7);
    const double C = q * effort * B;
    const double U = q * B * std::exp(random.RandomGauss(0.0, 0.08));
    s.U.push_back(U);
    s.E.push_back(C / U);
    s.C.push_back(C);
    B = std::max(B + r * B * (1.0 - B / K) - C, 100.0);
  }
  return s;
}

// A series that the model of `kind` (exponent p for Pella-Tomlinson)
// reproduces exactly: effort rising for 15 years and then held, the CPUE
// made by the model's own two-year step
//   U[t] = U[t−2] + (r·g)·S − (2q)·C[t−1],  S = U[t−1] + U[t−2],  g = Shape(S/(2q)/K),
// and the catch C = E·U; every residual at (r, K, q, p) is 0 to rounding.
inline data::CatchEffortSeries ExactSeries(model::ProductionModelKind kind, double r, double K,
                                           double q, double p, int years = 25) {
  data::CatchEffortSeries s;
  s.FirstYear = 1980;
  s.U = {0.9 * q * K, 0.88 * q * K};
  for (int t = 0; t < years; ++t) s.E.push_back(t < 15 ? 200.0 + 40.0 * t : 500.0);
  s.C = {s.E[0] * s.U[0], s.E[1] * s.U[1]};
  for (std::size_t t = 2; t < s.E.size(); ++t) {
    const double S = s.U[t - 1] + s.U[t - 2];
    const double x = S / (2.0 * q) / K;
    const double g = kind == model::ProductionModelKind::Schaefer ? 1.0 - x
                     : kind == model::ProductionModelKind::Fox    ? -std::log(x)
                                                                  : 1.0 - std::pow(x, p);
    s.U.push_back(s.U[t - 2] + r * g * S - 2.0 * q * s.C[t - 1]);
    s.C.push_back(s.E[t] * s.U[t]);
  }
  return s;
}

inline data::CatchEffortSeries ExactSchaeferSeries(double r = 0.4, double K = 50000.0,
                                                   double q = 0.0003, int years = 25) {
  return ExactSeries(model::ProductionModelKind::Schaefer, r, K, q, 2.0, years);
}

// Where the full default search (1 000 000 failures, nine variants, trim 0)
// of the yellowfin example ends, per ModelFits index: r, K, q, objective and
// (Pella-Tomlinson) p, bit for bit.
struct RecordedFit {
  double r, K, q, L, p;
};
inline constexpr RecordedFit kYellowfinDefaultSearch[9] = {
    {0.3211397097927302, 1908379.492948435, 0.005856378007974262, 2002.740481284859, 0.0},
    {0.18756487647887124, 2057359.7774398935, 0.005981029007347222, 250.266408095967, 0.0},
    {0.15172729536807406, 2338739.0488588633, 0.005150931054758603, 1361.2813848368546, 0.0},
    {0.31379455161472825, 1638688.9455805807, 0.00697332946437937, 1953.3932901480437, 0.0},
    {0.11191720485109136, 2415896.981807907, 0.005068053809418879, 286.3169205134921, 0.0},
    {0.11507571804897142, 2388089.8229111987, 0.005181083949544943, 1353.4581023736814, 0.0},
    {0.32463460181908815, 1867724.043525732, 0.005996124363488553, 2003.1889756344742, 1.01},
    {0.15082578386278528, 2295816.100848721, 0.005289998728537369, 280.58636870589515, 1.01},
    {0.14928180128013988, 2340731.313663609, 0.005144253741439259, 1361.9085186881596, 1.01},
};

// Text of a number that reads back to the same double.
inline std::string Exact(double x) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return buffer;
}

// The data table holding a series (years FirstYear, FirstYear + 1, …).
inline data::DataTable TableOf(const data::CatchEffortSeries& s) {
  std::vector<std::array<std::string, 4>> rows;
  for (std::size_t i = 0; i < s.size(); ++i) {
    rows.push_back({std::to_string(s.FirstYear + i), Exact(s.U[i]), Exact(s.E[i]), Exact(s.C[i])});
  }
  return data::DataTable::FromRows(rows);
}

}  // namespace tarvik::estimation::testing
