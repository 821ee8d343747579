#pragma once

// The linear form of the CPUE residuals, shared by the convergence check and
// the exact minimum of the median objective. With every term written out,
// the residual of year t is
//   e = y − X·θ,  y = U[t] − U[t−2],  S = U[t−1] + U[t−2],
// Schaefer        X = [S, −S², −C[t−1]],      θ = (r, r/(2qK), 2q)
// Fox             X = [S, −S·ln S, −C[t−1]],  θ = (r·ln(2qK), r, 2q)
// Pella-Tomlinson X = [S, −S^(p+1), −C[t−1]], θ = (r, r·(2qK)^−p, 2q) at fixed p,
// so the residuals are linear in θ. The columns are kept scaled to unit
// length (φ_j = θ_j · Scale_j), with their QR factors for coordinates in
// which every unit step changes the residual vector by one unit of length.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/search_engine.h"
#include "model/kinds.h"
#include "model/random.h"

namespace tarvik::estimation::linear {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

bool Finite(const Vec3& v);

// Solves A·x = b (n = 2 or 3 unknowns) by Gaussian elimination with partial
// pivoting; false when A is singular to working precision.
bool SolveSmall(Mat3 A, Vec3 b, int n, Vec3& x);

struct Design {
  bool Valid = false;
  std::size_t N = 0;
  double P = 0.0;
  std::vector<double> y;
  std::array<std::vector<double>, 3> X;  // scaled columns
  Vec3 Scale{};                          // the columns' lengths
  std::array<std::vector<double>, 3> Q;  // orthonormal factor
  Mat3 R{};                              // upper triangular factor
  bool FullRank = false;
};

// The form of the series at exponent p (used by Pella-Tomlinson only). Not
// Valid for fewer than 3 years, a sum S ≤ 0 where a logarithm or power needs
// it, a zero column or values that are not finite; FullRank when the columns
// are independent.
Design MakeDesign(const data::CatchEffortSeries& s, model::ProductionModelKind kind, double p);

// θ of a point (false where the form has no θ: 2qK not positive for Fox and
// Pella-Tomlinson, or values that are not finite).
bool ThetaOf(model::ProductionModelKind kind, const ParameterPoint& x, Vec3& theta);

// The point of θ at exponent p, before clamping (infinite values are clamped
// to the bounds later); false when a value is undefined.
bool PointOfTheta(model::ProductionModelKind kind, const Vec3& theta, double p, ParameterPoint& x);

Vec3 ThetaOfScaled(const Design& d, const Vec3& phi);
Vec3 ScaledOfTheta(const Design& d, const Vec3& theta);

// Residual of row i of the linear form at scaled θ.
inline double LinearResidual(const Design& d, const Vec3& phi, std::size_t i) {
  return d.y[i] - (d.X[0][i] * phi[0] + d.X[1][i] * phi[1] + d.X[2][i] * phi[2]);
}

// The scaled θ at which the residuals of the three rows rows[0 … 2] are
// zero (an exact solution of the form); false when they do not fix it.
bool ThroughRows(const Design& d, const std::size_t* rows, Vec3& phi);

// Weighted least squares of the linear form (every weight 1: ordinary least
// squares), by the normal equations of the unit-length columns; of the
// responses `y` (N values) instead of d.y when given.
bool WeightedLeastSquares(const Design& d, std::span<const double> w, Vec3& phi,
                          std::span<const double> y = {});

// The objective of a variant (its kind, objective and keep count) through the
// linear form, e = y* − X·θ with y* the responses plus `responseShift` (a
// fixed-design bootstrap replicate, as ObjectiveEvaluator): the same
// function as ObjectiveEvaluator's up to rounding, but several times cheaper
// at a fixed exponent, because the column of p is kept for the last p asked
// and no residual needs a logarithm or a power. The kept terms are summed in
// year order (sorted only when some are trimmed), and Σ ln(1 + e²) is the
// logarithm of the product of the 1 + e².
class FormObjective {
 public:
  // `responseShift`: empty, or one value per residual.
  FormObjective(const data::CatchEffortSeries& s, model::ProductionModelKind kind,
                model::ObjectiveKind objective, std::uint8_t keepCount,
                std::span<const double> responseShift);
  // False when the form cannot stand for the objective on this series: fewer
  // than 3 years, a shift of another length, a keep count outside 1 … N,
  // values that are not finite, or a sum S of two CPUE that is not positive
  // (Fox) or negative (Pella-Tomlinson). Value must not be called then.
  bool Usable() const { return usable_; }
  // The objective at x (its p counts for Pella-Tomlinson only); +inf where θ
  // of x is undefined (ThetaOf) or a residual or the value is not finite,
  // and when every residual is kept also where the sum of the terms so far
  // shows that the value is not below `limit`.
  double Value(const ParameterPoint& x, double limit = std::numeric_limits<double>::infinity());

 private:
  void ColumnAt(double p);

  model::ProductionModelKind kind_;
  model::ObjectiveKind objective_;
  std::size_t n_ = 0;      // residuals
  std::size_t first_ = 0;  // the kept window of the sorted sizes
  std::size_t keep_ = 0;
  double divisor_ = 1.0;
  bool usable_ = false;
  std::vector<double> y_, S_, C_;  // responses (shifted), X0 = S, X2 = −C
  std::vector<double> column_;     // −X1 at columnP_
  double columnP_ = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> sizes_;
};

// A point and its objective value.
struct Candidate {
  ParameterPoint Point;
  double Value = std::numeric_limits<double>::infinity();
};

// The best few distinct starting points seen.
class StartList {
 public:
  explicit StartList(std::size_t capacity) : capacity_(capacity) {}

  void Offer(const ParameterPoint& x, double value) {
    if (!std::isfinite(value)) return;
    for (Candidate& c : list_) {
      if (Close(c.Point, x)) {
        if (value < c.Value) c = {x, value};
        Sort();
        return;
      }
    }
    if (list_.size() < capacity_) {
      list_.push_back({x, value});
    } else if (value < list_.back().Value) {
      list_.back() = {x, value};
    } else {
      return;
    }
    Sort();
  }

  const std::vector<Candidate>& Items() const { return list_; }
  // The value a new point must be below to be taken (infinite while there
  // is room).
  double Worst() const {
    return list_.size() < capacity_ ? std::numeric_limits<double>::infinity() : list_.back().Value;
  }
  // Whether Offer would take a new point of this value.
  bool Accepts(double value) const {
    return std::isfinite(value) && (list_.size() < capacity_ || value < list_.back().Value);
  }

 private:
  static bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-7 * std::max(std::fabs(a), std::fabs(b));
  }
  static bool Close(const ParameterPoint& a, const ParameterPoint& b) {
    return Near(a.r, b.r) && Near(a.K, b.K) && Near(a.q, b.q) && Near(a.p, b.p);
  }
  void Sort() {
    std::stable_sort(list_.begin(), list_.end(),
                     [](const Candidate& a, const Candidate& b) { return a.Value < b.Value; });
  }

  std::size_t capacity_;
  std::vector<Candidate> list_;
};

// At fixed K and q the residual of year t is linear in r: e = a − r·b with
//   a = U[t] − U[t−2] + 2q·C[t−1],  b = Shape(S/(2q)/K)·S,
// the shape 1 − x (Schaefer), −ln x (Fox), 1 − x^p (Pella-Tomlinson). Fills
// a and b (n − 2 values each); false where the shape is undefined (x ≤ 0
// for Fox, x < 0 for Pella-Tomlinson).
bool ResidualsLinearInR(const data::CatchEffortSeries& s, model::ProductionModelKind kind, double K,
                        double q, double p, std::vector<double>& a, std::vector<double>& b);

// A deterministic choice of distinct row indices for the exact solutions
// when there are too many combinations to take all (its own generator: the
// program's random stream is not touched).
class RowSampler {
 public:
  explicit RowSampler(std::size_t n) : n_(static_cast<std::uint32_t>(n)) {}
  void Distinct(std::size_t* rows, int count) {
    for (int k = 0; k < count; ++k) {
      for (;;) {
        const std::size_t candidate = random_.RandomInt(n_);
        bool repeated = false;
        for (int j = 0; j < k; ++j) repeated = repeated || rows[j] == candidate;
        if (!repeated) {
          rows[k] = candidate;
          break;
        }
      }
    }
    std::sort(rows, rows + count);
  }

 private:
  std::uint32_t n_;
  model::RandomSource random_{20240607u};
};

inline double Combinations(std::size_t n, int k) {
  double c = 1.0;
  for (int j = 0; j < k; ++j)
    c = c * static_cast<double>(n - static_cast<std::size_t>(j)) / (j + 1);
  return c;
}

// Up to four row indices, ascending.
using RowSet = std::array<std::size_t, 4>;

// Calls visit(rows) for every set of `count` (1 … 4) rows, ascending, in
// lexicographic order, or for `limit` sets drawn by the sampler when there
// are more.
template <typename Visit>
void ForRowSets(std::size_t n, int count, double limit, Visit visit) {
  RowSet rows{};
  if (count < 1 || count > 4 || n < static_cast<std::size_t>(count)) return;
  const auto size = static_cast<std::size_t>(count);
  if (Combinations(n, count) <= limit) {
    for (std::size_t k = 0; k < size; ++k) rows[k] = k;
    for (;;) {
      visit(rows);
      std::size_t k = size;
      while (k > 0 && rows[k - 1] == n - size + (k - 1)) --k;
      if (k == 0) return;
      ++rows[k - 1];
      for (std::size_t j = k; j < size; ++j) rows[j] = rows[j - 1] + 1;
    }
  }
  RowSampler sampler(n);
  const auto draws = static_cast<std::size_t>(limit);
  for (std::size_t k = 0; k < draws; ++k) {
    sampler.Distinct(rows.data(), count);
    visit(rows);
  }
}

}  // namespace tarvik::estimation::linear
