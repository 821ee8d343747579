#include "estimation/linear_form.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "common/elementary.h"
#include "estimation/sorting.h"

namespace tarvik::estimation::linear {

using model::ProductionModelKind;

bool Finite(const Vec3& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

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
        d.X[1][i] = -S * elementary::Log(S);
        break;
      case ProductionModelKind::PellaTomlinson:
        if (!(S > 0.0)) return d;
        d.X[1][i] = -elementary::Pow(S, p + 1.0);
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
      theta = {x.r * elementary::Log(kappa), x.r, twoQ};
      break;
    case ProductionModelKind::PellaTomlinson:
      if (!(kappa > 0.0)) return false;
      theta = {x.r, x.r * elementary::Pow(kappa, -x.p), twoQ};
      break;
  }
  return Finite(theta);
}

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
      x.K = elementary::Exp(theta[0] / theta[1]) / theta[2];
      break;
    case ProductionModelKind::PellaTomlinson:
      x.r = theta[0];
      x.K = elementary::Pow(theta[0] / theta[1], 1.0 / p) / theta[2];
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

bool ThroughRows(const Design& d, const std::size_t* rows, Vec3& phi) {
  Mat3 A{};
  Vec3 rhs{};
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 3; ++j) A[k][j] = d.X[j][rows[k]];
    rhs[k] = d.y[rows[k]];
  }
  return SolveSmall(A, rhs, 3, phi);
}

bool WeightedLeastSquares(const Design& d, std::span<const double> w, Vec3& phi,
                          std::span<const double> y) {
  if (y.empty()) y = d.y;
  Mat3 A{};
  Vec3 b{};
  for (std::size_t i = 0; i < d.N; ++i) {
    const double wi = w.empty() ? 1.0 : w[i];
    for (int r = 0; r < 3; ++r) {
      b[r] += wi * d.X[r][i] * y[i];
      for (int c = 0; c < 3; ++c) A[r][c] += wi * d.X[r][i] * d.X[c][i];
    }
  }
  return SolveSmall(A, b, 3, phi);
}

bool ResidualsLinearInR(const data::CatchEffortSeries& s, ProductionModelKind kind, double K,
                        double q, double p, std::vector<double>& a, std::vector<double>& b) {
  a.clear();
  b.clear();
  for (std::size_t t = 2; t < s.size(); ++t) {
    const double S = s.U[t - 1] + s.U[t - 2];
    const double x = S / (2.0 * q) / K;
    double shape = 0.0;
    switch (kind) {
      case ProductionModelKind::Schaefer:
        shape = 1.0 - x;
        break;
      case ProductionModelKind::Fox:
        if (!(x > 0.0)) return false;
        shape = -elementary::Log(x);
        break;
      case ProductionModelKind::PellaTomlinson:
        if (!(x >= 0.0)) return false;
        shape = 1.0 - elementary::Pow(x, p);
        break;
    }
    a.push_back(s.U[t] - s.U[t - 2] + 2.0 * q * s.C[t - 1]);
    b.push_back(shape * S);
  }
  return true;
}

FormObjective::FormObjective(const data::CatchEffortSeries& s, ProductionModelKind kind,
                             model::ObjectiveKind objective, std::uint8_t keepCount,
                             std::span<const double> responseShift)
    : kind_(kind), objective_(objective) {
  const std::size_t years = s.size();
  if (years < 3 || s.C.size() != years) return;
  n_ = years - 2;
  if (!responseShift.empty() && responseShift.size() != n_) return;
  if (keepCount < 1 || keepCount > n_) return;
  keep_ = keepCount;
  first_ = (n_ - keep_) / 2;
  divisor_ = static_cast<double>(n_ - 2 * first_);
  y_.resize(n_);
  S_.resize(n_);
  C_.resize(n_);
  column_.resize(n_);
  sizes_.resize(n_);
  for (std::size_t i = 0; i < n_; ++i) {
    S_[i] = s.U[i + 1] + s.U[i];
    y_[i] = s.U[i + 2] - s.U[i] + (responseShift.empty() ? 0.0 : responseShift[i]);
    C_[i] = s.C[i + 1];
    if (!std::isfinite(S_[i]) || !std::isfinite(y_[i]) || !std::isfinite(C_[i])) return;
    if (kind == ProductionModelKind::Fox && !(S_[i] > 0.0)) return;
    if (kind == ProductionModelKind::PellaTomlinson && !(S_[i] >= 0.0)) return;
  }
  if (kind == ProductionModelKind::Schaefer) ColumnAt(1.0);
  if (kind == ProductionModelKind::Fox) {
    for (std::size_t i = 0; i < n_; ++i) column_[i] = S_[i] * elementary::Log(S_[i]);
  }
  usable_ = true;
}

void FormObjective::ColumnAt(double p) {
  if (p == columnP_) return;
  for (std::size_t i = 0; i < n_; ++i) {
    column_[i] = p == 1.0 ? S_[i] * S_[i] : elementary::Pow(S_[i], p + 1.0);
  }
  columnP_ = p;
}

double FormObjective::Value(const ParameterPoint& x, double limit) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  Vec3 theta{};
  if (!ThetaOf(kind_, x, theta)) return kInf;
  if (kind_ == ProductionModelKind::PellaTomlinson) ColumnAt(x.p);
  const auto size = [&](std::size_t i) {
    return std::fabs(y_[i] - theta[0] * S_[i] + theta[1] * column_[i] + theta[2] * C_[i]);
  };
  // With every residual kept the sizes are summed as they come, and the sum
  // is given up once it shows the value not below `limit` (with a margin
  // for rounding); otherwise the window of the sorted sizes is summed.
  const bool all = keep_ == n_;
  double* e = sizes_.data();
  if (!all) {
    for (std::size_t i = 0; i < n_; ++i) {
      e[i] = size(i);
      if (!std::isfinite(e[i])) return kInf;
    }
    SortFiniteAscending(e, n_);
    e += first_;
    limit = kInf;
  }
  const auto term = [&](std::size_t i) { return all ? size(i) : e[i]; };
  constexpr double kMargin = 1.0 + 1e-9;
  double value = kInf;
  switch (objective_) {
    case model::ObjectiveKind::SumOfSquares: {
      const double bound = limit * limit * divisor_ * kMargin;
      double sum = 0.0;
      for (std::size_t i = 0; i < keep_; ++i) {
        const double v = term(i);
        sum += v * v;
        if (sum >= bound) return kInf;
      }
      value = std::sqrt(sum / divisor_);
      break;
    }
    case model::ObjectiveKind::LogSumOfSquares: {
      // The product of the 1 + e², rescaled by powers of two as it grows,
      // for one logarithm instead of one per residual.
      const double bound = divisor_ * std::log1p(limit * limit) * kMargin;
      double product = 1.0, logs = 0.0;
      double most = elementary::Exp(bound);  // the product that reaches the bound
      for (std::size_t i = 0; i < keep_; ++i) {
        const double v = term(i);
        const double factor = 1.0 + v * v;
        if (factor < 0x1p256) {
          product *= factor;
          if (product < 0x1p512) {
            if (product >= most) return kInf;
            continue;
          }
          int exponent = 0;
          product = std::frexp(product, &exponent);
          logs += exponent * std::numbers::ln2;
        } else {
          logs += elementary::Log(factor);
        }
        most = elementary::Exp(bound - logs);
        if (product >= most) return kInf;
      }
      value = std::sqrt(elementary::Exp((logs + elementary::Log(product)) / divisor_) - 1.0);
      break;
    }
    case model::ObjectiveKind::Median: {
      const double bound = limit * divisor_ * kMargin;
      double sum = 0.0;
      for (std::size_t i = 0; i < keep_; ++i) {
        sum += term(i);
        if (sum >= bound) return kInf;
      }
      value = sum / divisor_;
      break;
    }
  }
  return std::isfinite(value) ? value : kInf;
}

}  // namespace tarvik::estimation::linear
