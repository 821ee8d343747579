#include "estimation/refinement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlopt.hpp>
#include <span>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/objective_evaluator.h"
#include "estimation/variants.h"
#include "model/random.h"

namespace tarvik::estimation {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;

constexpr double kInf = std::numeric_limits<double>::infinity();

// How much work the starting points may take: residual evaluations spent on
// the exact solutions through rows of the linear form (see Design).
constexpr double kStartBudget = 3.0e6;
// Residual evaluations the local optimiser may spend on one variant; the
// starts are taken best first until it is spent (then once more from the
// best point found).
constexpr double kLocalBudget = 5.0e6;
// Starting points kept for the local optimiser (four times as many when the
// objective trims residuals: its minima are many and narrow).
constexpr std::size_t kLocalStarts = 12;
constexpr std::size_t kLocalStartsPellaTomlinson = 16;
// Rounds of the local optimiser from one start (each round re-centres its
// coordinates at the best point so far) and evaluations per round.
constexpr int kLocalRounds = 6;
constexpr int kRoundEvaluations = 2000;
// Points of the one-dimensional grids: q along the faces K = MinK, K = MaxK,
// and every axis of the coarse grid over the box.
constexpr int kFaceGrid = 40;
constexpr int kBoxGrid = 5;

// Exponents of Pella-Tomlinson at which the linear form is solved, besides
// the bounds and the search's exponent.
constexpr double kExponentGrid[] = {1.01, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0,
                                    3.5,  4.0, 5.0,  6.0, 7.0,  8.0, 9.0, 10.0};

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

bool Finite(const Vec3& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// Solves A·x = b (n = 2 or 3 unknowns) by Gaussian elimination with partial
// pivoting; false when A is singular to working precision.
bool SolveSmall(Mat3 A, Vec3 b, int n, Vec3& x) {
  double largest = 0.0;
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) largest = std::max(largest, std::fabs(A[r][c]));
  if (!(largest > 0.0) || !std::isfinite(largest)) return false;
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n; ++r) {
      if (std::fabs(A[r][col]) > std::fabs(A[pivot][col])) pivot = r;
    }
    if (!(std::fabs(A[pivot][col]) > 1e-13 * largest)) return false;
    std::swap(A[col], A[pivot]);
    std::swap(b[col], b[pivot]);
    for (int r = col + 1; r < n; ++r) {
      const double f = A[r][col] / A[col][col];
      for (int c = col; c < n; ++c) A[r][c] -= f * A[col][c];
      b[r] -= f * b[col];
    }
  }
  x = {0.0, 0.0, 0.0};
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int c = r + 1; c < n; ++c) s -= A[r][c] * x[c];
    x[r] = s / A[r][r];
  }
  return Finite(x);
}

// ---------------------------------------------------------------------------
// The linear form of the residuals. With every term written out, the
// residual of year t is
//   e = y − X·θ,  y = U[t] − U[t−2],  S = U[t−1] + U[t−2],
// Schaefer        X = [S, −S², −C[t−1]],      θ = (r, r/(2qK), 2q)
// Fox             X = [S, −S·ln S, −C[t−1]],  θ = (r·ln(2qK), r, 2q)
// Pella-Tomlinson X = [S, −S^(p+1), −C[t−1]], θ = (r, r·(2qK)^−p, 2q) at fixed p,
// so the residuals are linear in θ. The columns are kept scaled to unit
// length (φ_j = θ_j · Scale_j), with their QR factors for coordinates in
// which every unit step changes the residual vector by one unit of length.

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

Design MakeDesign(const data::CatchEffortSeries& s, ProductionModelKind kind, double p) {
  Design d;
  const std::size_t n = s.size();
  if (n < 3 || s.C.size() != n) return d;
  d.N = n - 2;
  d.P = p;
  d.y.resize(d.N);
  for (auto& column : d.X) column.resize(d.N);
  for (std::size_t t = 2; t < n; ++t) {
    const std::size_t i = t - 2;
    const double S = s.U[t - 1] + s.U[t - 2];
    d.y[i] = s.U[t] - s.U[t - 2];
    d.X[0][i] = S;
    switch (kind) {
      case ProductionModelKind::Schaefer:
        d.X[1][i] = -S * S;
        break;
      case ProductionModelKind::Fox:
        if (!(S > 0.0)) return d;
        d.X[1][i] = -S * std::log(S);
        break;
      case ProductionModelKind::PellaTomlinson:
        if (!(S > 0.0)) return d;
        d.X[1][i] = -std::pow(S, p + 1.0);
        break;
    }
    d.X[2][i] = -s.C[t - 1];
  }
  for (int j = 0; j < 3; ++j) {
    double squares = 0.0;
    for (double v : d.X[j]) squares += v * v;
    const double length = std::sqrt(squares);
    if (!(length > 0.0) || !std::isfinite(length)) return d;
    d.Scale[j] = length;
    for (double& v : d.X[j]) v /= length;
  }
  for (double v : d.y) {
    if (!std::isfinite(v)) return d;
  }
  d.Valid = true;
  // Modified Gram-Schmidt, twice, on the unit-length columns.
  for (int j = 0; j < 3; ++j) {
    std::vector<double> v = d.X[j];
    for (int pass = 0; pass < 2; ++pass) {
      for (int k = 0; k < j; ++k) {
        double dot = 0.0;
        for (std::size_t i = 0; i < d.N; ++i) dot += d.Q[k][i] * v[i];
        d.R[k][j] += dot;
        for (std::size_t i = 0; i < d.N; ++i) v[i] -= dot * d.Q[k][i];
      }
    }
    double squares = 0.0;
    for (double x : v) squares += x * x;
    d.R[j][j] = std::sqrt(squares);
    if (!(d.R[j][j] > 1e-10)) return d;
    for (double& x : v) x /= d.R[j][j];
    d.Q[j] = std::move(v);
  }
  d.FullRank = true;
  return d;
}

// θ of a point (false where the form has no θ: 2qK not positive for Fox and
// Pella-Tomlinson, or values that are not finite).
bool ThetaOf(ProductionModelKind kind, const ParameterPoint& x, Vec3& theta) {
  const double twoQ = 2.0 * x.q;
  const double kappa = twoQ * x.K;
  switch (kind) {
    case ProductionModelKind::Schaefer:
      if (kappa == 0.0) return false;
      theta = {x.r, x.r / kappa, twoQ};
      break;
    case ProductionModelKind::Fox:
      if (!(kappa > 0.0)) return false;
      theta = {x.r * std::log(kappa), x.r, twoQ};
      break;
    case ProductionModelKind::PellaTomlinson:
      if (!(kappa > 0.0)) return false;
      theta = {x.r, x.r * std::pow(kappa, -x.p), twoQ};
      break;
  }
  return Finite(theta);
}

// The point of θ at exponent p, before clamping (infinite values are clamped
// to the bounds later); false when a value is undefined.
bool PointOfTheta(ProductionModelKind kind, const Vec3& theta, double p, ParameterPoint& x) {
  x.q = theta[2] / 2.0;
  x.p = p;
  switch (kind) {
    case ProductionModelKind::Schaefer:
      x.r = theta[0];
      x.K = theta[0] / (theta[1] * theta[2]);
      break;
    case ProductionModelKind::Fox:
      x.r = theta[1];
      x.K = std::exp(theta[0] / theta[1]) / theta[2];
      break;
    case ProductionModelKind::PellaTomlinson:
      x.r = theta[0];
      x.K = std::pow(theta[0] / theta[1], 1.0 / p) / theta[2];
      break;
  }
  return !std::isnan(x.r) && !std::isnan(x.K) && !std::isnan(x.q);
}

Vec3 ThetaOfScaled(const Design& d, const Vec3& phi) {
  return {phi[0] / d.Scale[0], phi[1] / d.Scale[1], phi[2] / d.Scale[2]};
}

Vec3 ScaledOfTheta(const Design& d, const Vec3& theta) {
  return {theta[0] * d.Scale[0], theta[1] * d.Scale[1], theta[2] * d.Scale[2]};
}

// Residual of row i of the linear form at scaled θ.
double LinearResidual(const Design& d, const Vec3& phi, std::size_t i) {
  return d.y[i] - (d.X[0][i] * phi[0] + d.X[1][i] * phi[1] + d.X[2][i] * phi[2]);
}

// Weighted least squares of the linear form (every weight 1: ordinary least
// squares), by the normal equations of the unit-length columns.
bool WeightedLeastSquares(const Design& d, std::span<const double> w, Vec3& phi) {
  Mat3 A{};
  Vec3 b{};
  for (std::size_t i = 0; i < d.N; ++i) {
    const double wi = w.empty() ? 1.0 : w[i];
    for (int r = 0; r < 3; ++r) {
      b[r] += wi * d.X[r][i] * d.y[i];
      for (int c = 0; c < 3; ++c) A[r][c] += wi * d.X[r][i] * d.X[c][i];
    }
  }
  return SolveSmall(A, b, 3, phi);
}

// ---------------------------------------------------------------------------
// The objective of one variant within the bounds.

struct Candidate {
  ParameterPoint Point;
  double Value = kInf;
};

class Problem {
 public:
  Problem(const data::CatchEffortSeries& series, const model::ModelFit& fit,
          const ParameterBounds& bounds, std::uint8_t keepCount)
      : series_(series),
        evaluator_(series.U, series.C, fit.Objective, fit.Kind, keepCount),
        bounds_(bounds),
        kind_(fit.Kind),
        objective_(fit.Objective),
        pt_(fit.Kind == ProductionModelKind::PellaTomlinson),
        exponent_(fit.Exponent),
        keepCount_(keepCount) {}

  // The objective at x clamped to the bounds (x is clamped in place); +inf
  // where it cannot be evaluated (the evaluation raised, or x is undefined).
  double Value(ParameterPoint& x) {
    if (!pt_) x.p = exponent_;
    if (std::isnan(x.r) || std::isnan(x.K) || std::isnan(x.q) || std::isnan(x.p)) return kInf;
    ClampToBounds(x, bounds_, pt_);
    if (!std::isfinite(x.r) || !std::isfinite(x.K) || !std::isfinite(x.q) || !std::isfinite(x.p)) {
      return kInf;
    }
    ++evaluations_;
    double f = kInf;
    try {
      f = evaluator_.Evaluate(x.r, x.K, x.q, x.p);
    } catch (const Error& e) {
      if (firstError_.empty()) firstError_ = e.what();
      return kInf;
    }
    if (!std::isfinite(f)) return kInf;
    if (f < best_.Value) best_ = {x, f};
    return f;
  }

  const Candidate& Best() const { return best_; }
  std::uint64_t Evaluations() const { return evaluations_; }
  const std::string& FirstError() const { return firstError_; }
  const data::CatchEffortSeries& Series() const { return series_; }
  const ParameterBounds& Bounds() const { return bounds_; }
  ProductionModelKind Kind() const { return kind_; }
  ObjectiveKind Objective() const { return objective_; }
  bool PellaTomlinson() const { return pt_; }
  double Exponent() const { return exponent_; }
  std::size_t KeepCount() const { return keepCount_; }

 private:
  const data::CatchEffortSeries& series_;
  ObjectiveEvaluator evaluator_;
  ParameterBounds bounds_;
  ProductionModelKind kind_;
  ObjectiveKind objective_;
  bool pt_;
  double exponent_;
  std::size_t keepCount_;
  Candidate best_;
  std::uint64_t evaluations_ = 0;
  std::string firstError_;
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

// Evaluates the point of scaled θ and offers it.
void OfferTheta(Problem& problem, StartList& starts, const Design& d, const Vec3& phi) {
  ParameterPoint x;
  if (!PointOfTheta(problem.Kind(), ThetaOfScaled(d, phi), d.P, x)) return;
  const double f = problem.Value(x);
  starts.Offer(x, f);
}

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

double Combinations(std::size_t n, int k) {
  double c = 1.0;
  for (int j = 0; j < k; ++j)
    c = c * static_cast<double>(n - static_cast<std::size_t>(j)) / (j + 1);
  return c;
}

// Calls visit(rows) for every set of `count` rows (ascending), or for
// `limit` sets drawn by the sampler when there are more.
template <typename Visit>
void ForRowSets(std::size_t n, int count, double limit, Visit visit) {
  std::array<std::size_t, 3> rows{};
  if (n < static_cast<std::size_t>(count)) return;
  if (Combinations(n, count) <= limit) {
    if (count == 2) {
      for (rows[0] = 0; rows[0] < n; ++rows[0])
        for (rows[1] = rows[0] + 1; rows[1] < n; ++rows[1]) visit(rows);
    } else {
      for (rows[0] = 0; rows[0] < n; ++rows[0])
        for (rows[1] = rows[0] + 1; rows[1] < n; ++rows[1])
          for (rows[2] = rows[1] + 1; rows[2] < n; ++rows[2]) visit(rows);
    }
    return;
  }
  RowSampler sampler(n);
  const auto draws = static_cast<std::size_t>(limit);
  for (std::size_t k = 0; k < draws; ++k) {
    sampler.Distinct(rows.data(), count);
    visit(rows);
  }
}

// Starting points from the linear form at one exponent:
//  - least squares (the minimum of the sum of squares when every residual
//    counts);
//  - the exact solutions through three rows, the basic solutions of the
//    linear form (the least absolute deviations are minimal at one of them,
//    and the log objective has its deep minima near them);
//  - on the faces r = bound and q = bound, where one component of θ is
//    fixed, the exact solutions through two rows;
//  - on the faces K = bound, along a grid of q, the r that zeroes one row
//    and the least-squares r.
void LinearStarts(Problem& problem, StartList& starts, const Design& d, double rowSetLimit) {
  if (!d.Valid) return;
  const ParameterBounds& b = problem.Bounds();
  Vec3 phi{};
  if (WeightedLeastSquares(d, {}, phi)) OfferTheta(problem, starts, d, phi);

  ForRowSets(d.N, 3, rowSetLimit, [&](const std::array<std::size_t, 3>& rows) {
    Mat3 A{};
    Vec3 rhs{};
    for (int k = 0; k < 3; ++k) {
      for (int j = 0; j < 3; ++j) A[k][j] = d.X[j][rows[k]];
      rhs[k] = d.y[rows[k]];
    }
    Vec3 solution{};
    if (SolveSmall(A, rhs, 3, solution)) OfferTheta(problem, starts, d, solution);
  });

  // Faces on which one component of θ is fixed: r (θ0, for Fox θ1) and q (θ2).
  const int rComponent = problem.Kind() == ProductionModelKind::Fox ? 1 : 0;
  const std::array<std::pair<int, double>, 4> faces = {
      {{rComponent, b.MinR}, {rComponent, b.MaxR}, {2, 2.0 * b.MinQ}, {2, 2.0 * b.MaxQ}}};
  for (const auto& face : faces) {
    // Plain names, not a structured binding: the lambda below captures them,
    // which clang before version 16 does not allow for bindings.
    const int fixed = face.first;
    const double value = face.second;
    if (!std::isfinite(value)) continue;
    const double fixedScaled = value * d.Scale[fixed];
    int free[2];
    for (int j = 0, k = 0; j < 3; ++j) {
      if (j != fixed) free[k++] = j;
    }
    ForRowSets(d.N, 2, rowSetLimit / 4.0, [&](const std::array<std::size_t, 3>& rows) {
      Mat3 A{};
      Vec3 rhs{};
      for (int k = 0; k < 2; ++k) {
        const std::size_t i = rows[k];
        A[k][0] = d.X[free[0]][i];
        A[k][1] = d.X[free[1]][i];
        rhs[k] = d.y[i] - d.X[fixed][i] * fixedScaled;
      }
      Vec3 solution{};
      if (!SolveSmall(A, rhs, 2, solution)) return;
      Vec3 full{};
      full[fixed] = fixedScaled;
      full[free[0]] = solution[0];
      full[free[1]] = solution[1];
      OfferTheta(problem, starts, d, full);
    });
  }

  // Faces K = MinK and K = MaxK: at fixed K and q the residual is linear in r.
  if (!(b.MinQ > 0.0) || !(b.MaxQ > b.MinQ)) return;
  const data::CatchEffortSeries& s = problem.Series();
  for (double K : {b.MinK, b.MaxK}) {
    if (!(K > 0.0) || !std::isfinite(K)) continue;
    for (int g = 0; g < kFaceGrid; ++g) {
      const double q = b.MinQ * std::pow(b.MaxQ / b.MinQ, (g + 0.5) / kFaceGrid);
      double sumAB = 0.0, sumBB = 0.0;
      std::vector<double> ratios;
      for (std::size_t t = 2; t < s.size(); ++t) {
        const double S = s.U[t - 1] + s.U[t - 2];
        const double x = S / (2.0 * q) / K;
        double shape = 0.0;
        switch (problem.Kind()) {
          case ProductionModelKind::Schaefer:
            shape = 1.0 - x;
            break;
          case ProductionModelKind::Fox:
            if (!(x > 0.0)) return;
            shape = -std::log(x);
            break;
          case ProductionModelKind::PellaTomlinson:
            if (!(x >= 0.0)) return;
            shape = 1.0 - std::pow(x, d.P);
            break;
        }
        const double a = s.U[t] - s.U[t - 2] + 2.0 * q * s.C[t - 1];  // e = a − r·(shape·S)
        const double slope = shape * S;
        sumAB += a * slope;
        sumBB += slope * slope;
        if (slope != 0.0) ratios.push_back(a / slope);
      }
      if (sumBB > 0.0) ratios.push_back(sumAB / sumBB);
      for (double r : ratios) {
        ParameterPoint x{r, K, q, d.P};
        starts.Offer(x, problem.Value(x));
      }
    }
  }
}

// A coarse grid over the box: r evenly, K and q geometrically (evenly when a
// lower bound is not positive), p at a few exponents.
void GridStarts(Problem& problem, StartList& starts) {
  const ParameterBounds& b = problem.Bounds();
  const auto axis = [](double lo, double hi, int i, bool geometric) {
    const double f = (i + 0.5) / kBoxGrid;
    if (!(lo < hi)) return hi;
    if (geometric && lo > 0.0) return lo * std::pow(hi / lo, f);
    return lo + (hi - lo) * f;
  };
  std::vector<double> exponents = {problem.Exponent()};
  if (problem.PellaTomlinson()) exponents = {b.MinP, 2.0, 4.0, b.MaxP};
  for (double p : exponents)
    for (int i = 0; i < kBoxGrid; ++i)
      for (int j = 0; j < kBoxGrid; ++j)
        for (int k = 0; k < kBoxGrid; ++k) {
          ParameterPoint x{axis(b.MinR, b.MaxR, i, false), axis(b.MinK, b.MaxK, j, true),
                           axis(b.MinQ, b.MaxQ, k, true), p};
          starts.Offer(x, problem.Value(x));
        }
}

// Rows the trimmed objective keeps at scaled θ: the central window of the
// residuals sorted by absolute value (c = (N − m) div 2 smallest dropped,
// then m kept), as 0/1 flags.
std::vector<std::uint8_t> KeptRows(const Design& d, const Vec3& phi, std::size_t keep) {
  std::vector<std::size_t> order(d.N);
  std::vector<double> a(d.N);
  for (std::size_t i = 0; i < d.N; ++i) {
    order[i] = i;
    a[i] = std::fabs(LinearResidual(d, phi, i));
  }
  std::stable_sort(order.begin(), order.end(),
                   [&a](std::size_t x, std::size_t y) { return a[x] < a[y]; });
  std::vector<std::uint8_t> kept(d.N, 0);
  const std::size_t m = std::min(keep, d.N);
  const std::size_t c = (d.N - m) / 2;
  for (std::size_t k = c; k < c + m; ++k) kept[order[k]] = 1;
  return kept;
}

// Minimises the objective's sum over the kept rows alone, for the linear
// form: least squares; for Σ ln(1 + e²) iteratively reweighted least squares
// with weights 1/(1 + e²) (each step minimises a majorant, so the sum never
// grows); for Σ |e| weights 1/|e|. Unconstrained; false when a system is
// singular.
bool FitKeptRows(const Design& d, ObjectiveKind objective, const std::vector<std::uint8_t>& kept,
                 Vec3& phi) {
  std::vector<double> w(d.N);
  for (std::size_t i = 0; i < d.N; ++i) w[i] = kept[i];
  if (objective == ObjectiveKind::SumOfSquares) return WeightedLeastSquares(d, w, phi);
  double scale = 0.0;
  for (double y : d.y) scale = std::max(scale, std::fabs(y));
  const double floor = 1e-9 * std::max(scale, 1e-300);
  double previous = kInf;
  for (int iteration = 0; iteration < 100; ++iteration) {
    double sum = 0.0;
    for (std::size_t i = 0; i < d.N; ++i) {
      if (!kept[i]) continue;
      const double e = LinearResidual(d, phi, i);
      if (objective == ObjectiveKind::LogSumOfSquares) {
        w[i] = 1.0 / (1.0 + e * e);
        sum += std::log(1.0 + e * e);
      } else {
        w[i] = 1.0 / std::max(std::fabs(e), floor);
        sum += std::fabs(e);
      }
    }
    if (!(sum < previous * (1.0 - 1e-13))) break;
    previous = sum;
    Vec3 next{};
    if (!WeightedLeastSquares(d, w, next)) return false;
    phi = next;
  }
  return true;
}

// Starting points from a point: fit the rows the objective keeps there,
// take the rows kept at the fit, and again, while the kept rows change.
void WindowRefits(Problem& problem, StartList& starts, const ParameterPoint& x0) {
  const Design d = MakeDesign(problem.Series(), problem.Kind(), x0.p);
  Vec3 theta{};
  if (!d.Valid || !ThetaOf(problem.Kind(), x0, theta)) return;
  Vec3 phi = ScaledOfTheta(d, theta);
  std::vector<std::uint8_t> kept = KeptRows(d, phi, problem.KeepCount());
  for (int step = 0; step < 8; ++step) {
    if (!FitKeptRows(d, problem.Objective(), kept, phi)) return;
    OfferTheta(problem, starts, d, phi);
    std::vector<std::uint8_t> next = KeptRows(d, phi, problem.KeepCount());
    if (next == kept) return;
    kept = std::move(next);
  }
}

// ---------------------------------------------------------------------------
// Local optimisation (NLopt's subplex, derivative-free, on the clamped
// objective) in coordinates centred at a point:
//  - where the linear form exists there: z = the orthonormal coordinates of
//    scaled θ around the point, φ = φ0 + R⁻¹·z, so that a unit step in any
//    direction changes the residuals by one unit of length;
//  - otherwise r, ln(qK) and ln q around the point;
// for Pella-Tomlinson with the exponent as a fourth coordinate (moving it
// keeps r, K and q).

struct Coordinates {
  ProductionModelKind Kind = ProductionModelKind::Schaefer;
  bool WithExponent = false;
  bool Whitened = false;
  ParameterPoint Centre;
  // Whitened: φ = Phi0 + Rinv·z.
  Vec3 Phi0{};
  Mat3 Rinv{};
  Vec3 Scale{};
  std::vector<double> Steps;

  bool Point(const double* z, ParameterPoint& x) const {
    if (Whitened) {
      Vec3 theta{};
      for (int r = 0; r < 3; ++r) {
        double v = Phi0[r];
        for (int c = r; c < 3; ++c) v += Rinv[r][c] * z[c];
        theta[r] = v / Scale[r];
      }
      if (!PointOfTheta(Kind, theta, Centre.p, x)) return false;
    } else {
      x.r = Centre.r + z[0];
      x.q = Centre.q * std::exp(z[2]);
      x.K = Centre.K * std::exp(z[1]) / std::exp(z[2]);
    }
    x.p = WithExponent ? Centre.p + z[3] : Centre.p;
    return true;
  }
};

Mat3 InverseUpper(const Mat3& R) {
  Mat3 inv{};
  for (int c = 0; c < 3; ++c) {
    inv[c][c] = 1.0 / R[c][c];
    for (int r = c - 1; r >= 0; --r) {
      double s = 0.0;
      for (int k = r + 1; k <= c; ++k) s += R[r][k] * inv[k][c];
      inv[r][c] = -s / R[r][r];
    }
  }
  return inv;
}

Coordinates CoordinatesAt(const Problem& problem, const ParameterPoint& centre) {
  Coordinates c;
  c.Kind = problem.Kind();
  c.WithExponent = problem.PellaTomlinson() && problem.Bounds().MinP < problem.Bounds().MaxP;
  c.Centre = centre;
  const Design d = MakeDesign(problem.Series(), problem.Kind(), centre.p);
  Vec3 theta{};
  if (d.FullRank && ThetaOf(problem.Kind(), centre, theta)) {
    c.Whitened = true;
    c.Phi0 = ScaledOfTheta(d, theta);
    c.Rinv = InverseUpper(d.R);
    c.Scale = d.Scale;
    double squares = 0.0, observed = 0.0;
    for (std::size_t i = 0; i < d.N; ++i) {
      const double e = LinearResidual(d, c.Phi0, i);
      squares += e * e;
      observed = std::max(observed, std::fabs(d.y[i]));
    }
    const double rms = std::sqrt(squares / static_cast<double>(d.N));
    const double step = std::max(0.05 * rms, 1e-9 * std::max(observed, 1e-300));
    c.Steps = {step, step, step};
  } else {
    const ParameterBounds& b = problem.Bounds();
    const double rRange = b.MaxR > b.MinR ? b.MaxR - b.MinR : 1.0;
    c.Steps = {0.05 * rRange, 0.05, 0.05};
  }
  if (c.WithExponent) c.Steps.push_back(0.05);
  return c;
}

struct LocalRun {
  Problem* Problem_ = nullptr;
  const Coordinates* Coordinates_ = nullptr;
  Candidate Best;
};

double LocalObjective(unsigned n, const double* z, double* gradient, void* data) {
  (void)n;
  (void)gradient;  // derivative-free
  auto* run = static_cast<LocalRun*>(data);
  ParameterPoint x;
  if (!run->Coordinates_->Point(z, x)) return kInf;
  const double f = run->Problem_->Value(x);
  if (f < run->Best.Value) run->Best = {x, f};
  return f;
}

// Subplex from one point, re-centred after each round while it improves.
void LocalSearch(Problem& problem, Candidate start) {
  double stepFactor = 1.0;
  for (int round = 0; round < kLocalRounds; ++round) {
    const Coordinates c = CoordinatesAt(problem, start.Point);
    const unsigned dimension = static_cast<unsigned>(c.Steps.size());
    LocalRun run{&problem, &c, start};
    try {
      nlopt::opt opt(nlopt::LN_SBPLX, dimension);
      opt.set_min_objective(LocalObjective, &run);
      std::vector<double> steps = c.Steps;
      for (double& s : steps) s *= stepFactor;
      opt.set_initial_step(steps);
      std::vector<double> tolerance = steps;
      for (double& t : tolerance) t *= 1e-9;
      opt.set_xtol_abs(tolerance);
      opt.set_ftol_rel(1e-13);
      opt.set_maxeval(kRoundEvaluations);
      std::vector<double> z(dimension, 0.0);
      double value = 0.0;
      opt.optimize(z, value);
    } catch (const std::exception&) {
      // A stop for rounding or any other reason: the best point seen counts.
    }
    const bool improved = run.Best.Value < start.Value * (1.0 - 1e-10);
    start = run.Best;
    if (!improved) {
      if (stepFactor < 1.0) break;
      stepFactor = 1e-3;  // once more with a fine step before giving up
    }
  }
}

// ---------------------------------------------------------------------------

}  // namespace

VariantRefinement RefineVariant(const data::CatchEffortSeries& series,
                                const std::vector<model::ModelFit>& fits, std::size_t index,
                                const ParameterBounds& bounds, std::uint8_t keepCount,
                                char decimalMark) {
  if (index >= fits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(index));
  }
  const model::ModelFit& fit = fits[index];
  VariantRefinement v;
  v.Index = index;
  v.Label = VariantLabel(fits, index);
  v.Kind = fit.Kind;
  v.SearchPoint = {fit.R, fit.K, fit.Q, fit.Exponent};
  v.SearchObjective = fit.ObjectiveValue;
  v.Point = v.SearchPoint;
  v.Objective = v.SearchObjective;

  Problem problem(series, fit, bounds, keepCount);
  const bool pt = problem.PellaTomlinson();
  const bool trimmed = series.size() < 3 || keepCount != series.size() - 2;
  StartList starts((pt ? kLocalStartsPellaTomlinson : kLocalStarts) * (trimmed ? 4 : 1));

  // Where the search stopped, clamped as its trial points are.
  ParameterPoint searched = v.SearchPoint;
  starts.Offer(searched, problem.Value(searched));

  std::vector<double> exponents = {fit.Exponent};
  if (pt) {
    exponents.assign(std::begin(kExponentGrid), std::end(kExponentGrid));
    exponents.push_back(bounds.MinP);
    exponents.push_back(bounds.MaxP);
    exponents.push_back(ClampValue(fit.Exponent, bounds.MinP, bounds.MaxP));
    for (double& p : exponents) p = ClampValue(p, bounds.MinP, bounds.MaxP);
    std::sort(exponents.begin(), exponents.end());
    exponents.erase(std::unique(exponents.begin(), exponents.end()), exponents.end());
  }
  const double residuals = std::max<double>(1.0, series.size() >= 2 ? series.size() - 2.0 : 1.0);
  const double rowSetLimit =
      std::max(200.0, kStartBudget / (residuals * static_cast<double>(exponents.size())));
  for (double p : exponents) {
    LinearStarts(problem, starts, MakeDesign(series, fit.Kind, p), rowSetLimit);
  }
  GridStarts(problem, starts);

  {
    const std::vector<Candidate> seeds = starts.Items();
    for (const Candidate& c : seeds) WindowRefits(problem, starts, c.Point);
  }

  const std::vector<Candidate> seeds = starts.Items();
  const auto budget = static_cast<std::uint64_t>(kLocalBudget / residuals);
  const std::uint64_t spentOnStarts = problem.Evaluations();
  for (const Candidate& c : seeds) {
    if (problem.Evaluations() - spentOnStarts >= budget) break;
    LocalSearch(problem, c);
  }
  // And once more from the best point found, whichever start led there.
  if (std::isfinite(problem.Best().Value)) LocalSearch(problem, problem.Best());

  v.Evaluations = problem.Evaluations();
  const Candidate& best = problem.Best();
  if (!std::isfinite(best.Value)) {
    v.Available = false;
    v.Message = problem.FirstError().empty()
                    ? "ни в одной точке в пределах границ целевая функция не вычисляется"
                    : problem.FirstError();
  } else {
    v.Available = true;
    v.Point = best.Point;
    v.Objective = best.Value;
    v.Gap = v.SearchObjective - v.Objective;
    if (v.Objective > 0.0) v.RelativeGap = v.Gap / v.Objective;
    // A gap within rounding of the data's scale is no gap (a perfect fit).
    double scale = 0.0;
    for (double u : series.U) scale = std::max(scale, std::fabs(u));
    v.NotConverged = v.Gap > kConvergenceTolerance * v.Objective && v.Gap > 1e-12 * scale;
  }
  DescribeRefinement(v, fit, bounds, decimalMark);
  return v;
}

RefinementReport RefineActiveVariants(const AssessmentState& state, const ParameterBounds& bounds,
                                      char decimalMark, int threads) {
  const std::vector<std::uint8_t>& indices = state.ActiveVariants;
  for (std::uint8_t index : indices) {
    if (index >= state.ModelFits.size()) {
      throw Error("Нет варианта модели с номером " + std::to_string(index));
    }
  }
  // The variants are independent: each thread takes the next one; the
  // results do not depend on the number of threads.
  std::vector<VariantRefinement> results(indices.size());
  ParallelFor(indices.size(), ThreadsFor(threads), [&](std::size_t k) {
    results[k] = RefineVariant(state.AnalysisSeries, state.ModelFits, indices[k], bounds,
                               state.MedianKeepCount, decimalMark);
  });

  RefinementReport report;
  report.MemoLines.push_back(
      "Проверка сходимости поиска: минимум целевой функции в тех же границах");
  for (VariantRefinement& v : results) {
    report.AnyNotConverged = report.AnyNotConverged || v.NotConverged;
    report.MemoLines.push_back(v.MemoLine);
    report.Variants.push_back(std::move(v));
  }
  return report;
}

std::optional<std::string> AdoptionRefusal(const AssessmentState& state,
                                           const VariantRefinement& v) {
  if (v.Index >= state.ModelFits.size()) {
    return "Нет варианта модели с номером " + std::to_string(v.Index);
  }
  const model::ModelFit& fit = state.ModelFits[v.Index];
  if (!v.Available) return "Уточнение варианта «" + v.Label + "» невозможно: " + v.Message;
  const bool pt = fit.Kind == ProductionModelKind::PellaTomlinson;
  const bool holdsRefined = fit.R == v.Point.r && fit.K == v.Point.K && fit.Q == v.Point.q &&
                            (!pt || fit.Exponent == v.Point.p) && fit.ObjectiveValue == v.Objective;
  if (holdsRefined && IsRefined(state, v.Index)) {
    return "Уточнённые значения варианта «" + v.Label + "» уже приняты";
  }
  const bool holdsSearched = fit.R == v.SearchPoint.r && fit.K == v.SearchPoint.K &&
                             fit.Q == v.SearchPoint.q && fit.Exponent == v.SearchPoint.p &&
                             fit.ObjectiveValue == v.SearchObjective;
  if (!holdsSearched) {
    return "Уточнение варианта «" + v.Label +
           "» относится к прежней оценке параметров: повторите уточнение";
  }
  if (!(v.Objective < v.SearchObjective)) {
    return "Уточнённое значение целевой функции варианта «" + v.Label +
           "» не ниже найденного поиском: принимать нечего";
  }
  return std::nullopt;
}

void AdoptRefinement(AssessmentState& state, const VariantRefinement& v) {
  if (const std::optional<std::string> refusal = AdoptionRefusal(state, v)) throw Error(*refusal);
  WriteFit(state.ModelFits[v.Index], v.Point, v.Objective, model::FitOrigin::Refinement);
  ClearReferencePoints(state);
}

bool IsRefined(const AssessmentState& state, std::size_t index) {
  return index < state.ModelFits.size() &&
         state.ModelFits[index].Origin == model::FitOrigin::Refinement;
}

}  // namespace tarvik::estimation
