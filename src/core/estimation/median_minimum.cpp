#include "estimation/median_minimum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "common/elementary.h"
#include "estimation/linear_form.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;
using namespace linear;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Residuals computed at candidate points before the vertices are sampled
// instead of taken all: at one exponent (Schaefer, Fox, the final exponents
// of Pella-Tomlinson), and in the search over p.
constexpr double kWorkPerExponent = 6.0e7;
constexpr double kExponentSearchWork = 1.2e7;
// Exponents at which every vertex is visited after a sampled search over p.
constexpr std::size_t kFinalExponents = 2;
// Distinct best points returned.
constexpr std::size_t kKeep = 8;
// The search over q on a face K = bound: grid points (and both ends), then
// golden-section steps around the two best.
constexpr int kQGrid = 24;
constexpr int kQSteps = 16;
// The search over p: this grid clamped into the bounds of p, with both
// bounds added, then golden-section steps around the two best.
constexpr double kExponentGrid[] = {1.01, 1.1, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.5, 8.0, 10.0};
constexpr int kExponentSteps = 8;

// The values a bound pair lets through: [lo, hi], or hi alone when lo ≥ hi
// (the search's clamping then sets every value to hi).
struct Range {
  double Lo = 0.0;
  double Hi = 0.0;
  Range(double lo, double hi) : Lo(lo < hi ? lo : hi), Hi(hi) {}
  bool Fixed() const { return !(Lo < Hi); }
  // Within the range up to rounding of the vertex's arithmetic.
  bool Holds(double x) const {
    const double tolerance = 1e-9 * std::max(std::fabs(Lo), std::fabs(Hi));
    return x >= Lo - tolerance && x <= Hi + tolerance;
  }
  double Clamp(double x) const { return std::min(std::max(x, Lo), Hi); }
};

// The sum of the central window of absolute values over its divisor.
class Window {
  // Levels of the bound of ValueBelow, in units of the threshold's mean.
  static constexpr std::array<double, 5> kLevels = {0.5, 1.0, 1.5, 2.5, 5.0};

 public:
  Window(std::size_t n, std::size_t m)
      : n_(n),
        m_(m),
        c_((n - m) / 2),
        divisor_(static_cast<double>(n - 2 * ((n - m) / 2))),
        a_(n) {}
  bool TrimsBelow() const { return c_ > 0; }
  double* Values() { return a_.data(); }
  // The objective of the absolute values in Values() (which it may reorder)
  // when it is below `threshold`, else +inf. Most candidates lie far above
  // it, and a bound rejects them without selecting the window: with L_j
  // values below a level τ_j, the sorted values from rank L_j on are at
  // least τ_j, so the window's sum is at least the sum over its ranks of the
  // highest level reached.
  double ValueBelow(double threshold) {
    double* a = a_.data();
    if (std::isfinite(threshold)) {
      const double scale = threshold * divisor_ / static_cast<double>(m_);
      std::array<std::size_t, kLevels.size()> below{};
      for (std::size_t i = 0; i < n_; ++i) {
        for (std::size_t j = 0; j < kLevels.size(); ++j)
          below[j] += a[i] < kLevels[j] * scale ? 1 : 0;
      }
      double bound = 0.0;
      std::size_t upper = c_ + m_;
      for (std::size_t j = kLevels.size(); j-- > 0;) {
        const std::size_t from = std::max(c_, below[j]);
        if (from < upper) {
          bound += kLevels[j] * scale * static_cast<double>(upper - from);
          upper = from;
        }
      }
      if (bound >= threshold * divisor_) return kInf;
    }
    if (c_ > 0) std::nth_element(a, a + c_, a + n_);
    if (c_ + m_ < n_) std::nth_element(a + c_, a + c_ + m_, a + n_);
    double sum = 0.0;
    for (std::size_t k = c_; k < c_ + m_; ++k) sum += a[k];
    const double value = sum / divisor_;
    return value < threshold ? value : kInf;
  }

 private:
  std::size_t n_, m_, c_;
  double divisor_;
  std::vector<double> a_;
};

// Golden-section search for the minimum of f on [lo, hi] in `steps` steps.
template <typename F>
void GoldenSection(double lo, double hi, int steps, F f) {
  const double ratio = 0.5 * (std::sqrt(5.0) - 1.0);
  double x1 = hi - ratio * (hi - lo), x2 = lo + ratio * (hi - lo);
  double f1 = f(x1), f2 = f(x2);
  for (int k = 0; k < steps; ++k) {
    if (f1 <= f2) {
      hi = x2;
      x2 = x1;
      f2 = f1;
      x1 = hi - ratio * (hi - lo);
      f1 = f(x1);
    } else {
      lo = x1;
      x1 = x2;
      f1 = f2;
      x2 = lo + ratio * (hi - lo);
      f2 = f(x2);
    }
  }
}

// A one-dimensional search: f on the grid, then golden section between the
// neighbours of the two best grid points.
template <typename F>
void GridAndGolden(const std::vector<double>& grid, int steps, F f) {
  std::vector<double> values(grid.size());
  for (std::size_t i = 0; i < grid.size(); ++i) values[i] = f(grid[i]);
  std::vector<std::size_t> order(grid.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&values](std::size_t a, std::size_t b) { return values[a] < values[b]; });
  for (std::size_t k = 0; k < std::min<std::size_t>(2, order.size()); ++k) {
    const std::size_t i = order[k];
    if (!std::isfinite(values[i]) || grid.size() < 2) continue;
    const double lo = grid[i == 0 ? 0 : i - 1];
    const double hi = grid[std::min(i + 1, grid.size() - 1)];
    GoldenSection(lo, hi, steps, f);
  }
}

// The vertices at one exponent.
class VertexSearch {
 public:
  VertexSearch(const data::CatchEffortSeries& series, ProductionModelKind kind,
               const ParameterBounds& bounds, const Design& d, Window& window, StartList& best)
      : series_(series),
        kind_(kind),
        d_(d),
        window_(window),
        best_(best),
        r_(bounds.MinR, bounds.MaxR),
        K_(bounds.MinK, bounds.MaxK),
        q_(bounds.MinQ, bounds.MaxQ) {}

  // The candidates this search visits when none is sampled.
  double FullWork() {
    share_ = 1.0;
    counting_ = true;
    work_ = 0.0;
    Run();
    counting_ = false;
    return work_;
  }

  // Runs with every row-set count scaled by `share` (≤ 1: sampled); returns
  // the lowest value found.
  double Run(double share) {
    share_ = share;
    lowest_ = kInf;
    Run();
    return lowest_;
  }

  std::uint64_t Vertices() const { return vertices_; }
  bool Complete() const { return complete_; }

 private:
  void Run() {
    const int rComponent = kind_ == ProductionModelKind::Fox ? 1 : 0;
    const int otherComponent = 1 - rComponent;
    const std::array<int, 3> all = {0, 1, 2};
    Subspace(all.data(), 3, Vec3{}, false);
    for (double r : Ends(r_)) {
      if (r == 0.0) {
        // r = 0 zeroes θ0 and θ1 whatever K: the line θ = (0, 0, 2q).
        const int free[1] = {2};
        Subspace(free, 1, Vec3{}, true);
        for (double q : Ends(q_)) Visit({0.0, 0.0, 2.0 * q * d_.Scale[2]}, true);
        continue;
      }
      Vec3 fixed{};
      fixed[rComponent] = r * d_.Scale[rComponent];
      const int face[2] = {otherComponent, 2};
      Subspace(face, 2, fixed, false);
      for (double q : Ends(q_)) {
        fixed[2] = 2.0 * q * d_.Scale[2];
        const int edge[1] = {otherComponent};
        Subspace(edge, 1, fixed, false);
      }
    }
    for (double q : Ends(q_)) {
      Vec3 fixed{};
      fixed[2] = 2.0 * q * d_.Scale[2];
      const int face[2] = {0, 1};
      Subspace(face, 2, fixed, false);
    }
    for (double K : Ends(K_)) FaceK(K);
  }

  static std::vector<double> Ends(const Range& range) {
    if (range.Fixed()) return {range.Hi};
    return {range.Lo, range.Hi};
  }

  // Row-set limit of a count under the current share.
  double Limit(double count) const { return std::max(1.0, std::floor(count * share_)); }

  // The vertices of the subspace in which the components `free` (k of them)
  // vary and the others keep the values of `fixed` (scaled).
  void Subspace(const int* free, int k, const Vec3& fixed, bool rZero) {
    const std::size_t n = d_.N;
    const double zeroSets = Combinations(n, k);
    const double equalSets = window_.TrimsBelow() ? Combinations(n, k + 1) : 0.0;
    const double patterns = static_cast<double>(1 << k);
    if (counting_) {
      work_ += zeroSets + equalSets * patterns;
      return;
    }
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) {
      double known = 0.0;
      for (int j = 0; j < 3; ++j) {
        if (std::find(free, free + k, j) == free + k) known += d_.X[j][i] * fixed[j];
      }
      y[i] = d_.y[i] - known;
    }
    const auto solve = [&](const Mat3& A, const Vec3& b) {
      Vec3 x{};
      if (!SolveSmall(A, b, k, x)) return;
      Vec3 phi = fixed;
      for (int j = 0; j < k; ++j) phi[free[j]] = x[j];
      Visit(phi, rZero);
    };
    if (zeroSets > Limit(zeroSets)) complete_ = false;
    ForRowSets(n, k, Limit(zeroSets), [&](const RowSet& rows) {
      Mat3 A{};
      Vec3 b{};
      for (int l = 0; l < k; ++l) {
        for (int j = 0; j < k; ++j) A[l][j] = d_.X[free[j]][rows[l]];
        b[l] = y[rows[l]];
      }
      solve(A, b);
    });
    if (equalSets == 0.0) return;
    if (equalSets > Limit(equalSets)) complete_ = false;
    ForRowSets(n, k + 1, Limit(equalSets), [&](const RowSet& rows) {
      // e[rows[0]] = t and e[rows[l]] = ±t: k equations without t.
      for (int signs = 0; signs < (1 << k); ++signs) {
        Mat3 A{};
        Vec3 b{};
        for (int l = 0; l < k; ++l) {
          const double s = (signs >> l) & 1 ? -1.0 : 1.0;
          const std::size_t i0 = rows[0], il = rows[l + 1];
          for (int j = 0; j < k; ++j) A[l][j] = d_.X[free[j]][i0] - s * d_.X[free[j]][il];
          b[l] = y[i0] - s * y[il];
        }
        solve(A, b);
      }
    });
  }

  // The objective of the linear form at scaled θ; a better one than the
  // list's worst is kept when its point lies within the bounds.
  void Visit(const Vec3& phi, bool rZero) {
    if (counting_) {
      work_ += 1.0;
      return;
    }
    ++vertices_;
    // Only a value below the list's worst, or below the lowest at this
    // exponent so far, matters.
    double* a = window_.Values();
    for (std::size_t i = 0; i < d_.N; ++i) a[i] = std::fabs(LinearResidual(d_, phi, i));
    const double f = window_.ValueBelow(std::max(best_.Worst(), lowest_));
    if (!std::isfinite(f)) return;
    const Vec3 theta = ThetaOfScaled(d_, phi);
    ParameterPoint x;
    if (rZero) {
      x = {0.0, K_.Hi, theta[2] / 2.0, d_.P};  // K does not matter at r = 0
    } else if (!PointOfTheta(kind_, theta, d_.P, x)) {
      return;
    }
    Offer(x, f);
  }

  void Offer(ParameterPoint x, double f) {
    if (!r_.Holds(x.r) || !K_.Holds(x.K) || !q_.Holds(x.q)) return;
    x.r = r_.Clamp(x.r);
    x.K = K_.Clamp(x.K);
    x.q = q_.Clamp(x.q);
    lowest_ = std::min(lowest_, f);
    best_.Offer(x, f);
  }

  // The face K = bound: for each q the residuals are a − r·b, exact in r;
  // q by grid and golden section (in ln q when its range is positive).
  void FaceK(double K) {
    if (!(K > 0.0) || !std::isfinite(K)) return;
    const std::size_t n = d_.N;
    const double pairs = window_.TrimsBelow() ? Combinations(n, 2) : 0.0;
    const double evaluations = q_.Fixed() ? 1.0 : kQGrid + 1.0 + 2.0 * (kQSteps + 2.0);
    if (counting_) {
      work_ += evaluations * (static_cast<double>(n) + 2.0 + 2.0 * pairs);
      return;
    }
    if (pairs > Limit(pairs)) complete_ = false;
    std::vector<double> a, b, rs;
    const auto atQ = [&](double q) {
      if (!ResidualsLinearInR(series_, kind_, K, q, d_.P, a, b)) return kInf;
      rs = {r_.Lo, r_.Hi};
      for (std::size_t i = 0; i < n; ++i) {
        if (b[i] != 0.0) rs.push_back(a[i] / b[i]);
      }
      if (pairs > 0.0) {
        ForRowSets(n, 2, Limit(pairs), [&](const RowSet& rows) {
          const std::size_t i = rows[0], j = rows[1];
          for (double s : {1.0, -1.0}) {
            const double slope = b[i] - s * b[j];
            if (slope != 0.0) rs.push_back((a[i] - s * a[j]) / slope);
          }
        });
      }
      double lowest = kInf, at = r_.Hi;
      for (double r : rs) {
        if (!r_.Holds(r)) continue;
        r = r_.Clamp(r);
        double* e = window_.Values();
        for (std::size_t i = 0; i < n; ++i) e[i] = std::fabs(a[i] - r * b[i]);
        const double f = window_.ValueBelow(lowest);
        ++vertices_;
        if (f < lowest) {
          lowest = f;
          at = r;
        }
      }
      if (std::isfinite(lowest)) Offer({at, K, q, d_.P}, lowest);
      return lowest;
    };
    if (q_.Fixed()) {
      atQ(q_.Hi);
      return;
    }
    const bool logScale = q_.Lo > 0.0;
    std::vector<double> grid;
    for (int g = 0; g <= kQGrid; ++g) {
      const double f = static_cast<double>(g) / kQGrid;
      grid.push_back(logScale ? elementary::Log(q_.Lo) + f * elementary::Log(q_.Hi / q_.Lo)
                              : q_.Lo + f * (q_.Hi - q_.Lo));
    }
    GridAndGolden(grid, kQSteps,
                  [&](double z) { return atQ(q_.Clamp(logScale ? elementary::Exp(z) : z)); });
  }

  const data::CatchEffortSeries& series_;
  ProductionModelKind kind_;
  const Design& d_;
  Window& window_;
  StartList& best_;
  Range r_, K_, q_;
  double share_ = 1.0;
  bool counting_ = false;
  double work_ = 0.0;
  double lowest_ = kInf;
  bool complete_ = true;
  std::uint64_t vertices_ = 0;
};

}  // namespace

MedianMinimum FindMedianMinimum(const data::CatchEffortSeries& series,
                                model::ProductionModelKind kind, const ParameterBounds& bounds,
                                std::uint8_t keepCount, double exponent) {
  MedianMinimum result;
  if (series.size() < 3 || series.C.size() != series.size()) return result;
  const std::size_t n = series.size() - 2;
  if (keepCount < 1 || keepCount > n) return result;
  Window window(n, keepCount);
  StartList best(kKeep);

  std::vector<double> exponents = {exponent};
  const bool pt = kind == ProductionModelKind::PellaTomlinson;
  const Range p(bounds.MinP, bounds.MaxP);
  if (pt) {
    exponents.assign(std::begin(kExponentGrid), std::end(kExponentGrid));
    exponents.push_back(p.Lo);
    exponents.push_back(p.Hi);
    for (double& x : exponents) x = p.Clamp(x);
    std::sort(exponents.begin(), exponents.end());
    exponents.erase(std::unique(exponents.begin(), exponents.end()), exponents.end());
  }
  // Every exponent searched, with the lowest value found there.
  std::vector<std::pair<double, double>> searched;
  const auto searchAt = [&](double exponentValue, double share, bool final) {
    const Design d = MakeDesign(series, kind, exponentValue);
    if (!d.Valid) return kInf;
    VertexSearch search(series, kind, bounds, d, window, best);
    const double lowest = search.Run(share);
    result.Vertices += search.Vertices();
    if (final) result.Complete = result.Complete && search.Complete();
    searched.emplace_back(exponentValue, lowest);
    return lowest;
  };
  // The candidates of one exponent (the same count at every exponent).
  double work = 0.0;
  {
    const Design d = MakeDesign(series, kind, exponents.front());
    if (d.Valid)
      work =
          static_cast<double>(n) * VertexSearch(series, kind, bounds, d, window, best).FullWork();
  }
  const auto shareOf = [work](double limit, double searches) {
    return work > 0.0 ? std::min(1.0, limit / (work * searches)) : 1.0;
  };
  if (!pt || exponents.size() == 1) {
    const double share = shareOf(kWorkPerExponent, 1.0);
    for (double x : exponents) searchAt(x, share, true);
  } else {
    // The search over p, sampled when its work would exceed the limit (the
    // same rows at every p, so that the sampled minimum is a continuous
    // function of p), then every vertex at the best exponents found.
    const double searches = static_cast<double>(exponents.size()) + 2.0 * (kExponentSteps + 2.0);
    const double share = shareOf(kExponentSearchWork, searches);
    GridAndGolden(exponents, kExponentSteps,
                  [&](double x) { return searchAt(p.Clamp(x), share, share >= 1.0); });
    if (share < 1.0) {
      std::vector<std::pair<double, double>> order = searched;
      std::stable_sort(order.begin(), order.end(),
                       [](const auto& a, const auto& b) { return a.second < b.second; });
      const double finalShare = shareOf(kWorkPerExponent, kFinalExponents);
      std::vector<double> finals;
      for (const auto& [exponentValue, lowest] : order) {
        if (finals.size() == kFinalExponents || !std::isfinite(lowest)) break;
        if (std::find(finals.begin(), finals.end(), exponentValue) != finals.end()) continue;
        finals.push_back(exponentValue);
        searchAt(exponentValue, finalShare, true);
      }
      if (finals.empty()) result.Complete = false;
    }
  }
  result.Best = best.Items();
  return result;
}

}  // namespace tarvik::estimation
