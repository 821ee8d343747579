#include "estimation/refinement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlopt.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/linear_form.h"
#include "estimation/median_minimum.h"
#include "estimation/objective_evaluator.h"
#include "estimation/variants.h"

namespace tarvik::estimation {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;
using namespace linear;

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
// Enumerated vertices of the median objective descended from.
constexpr std::size_t kMedianDescents = 4;
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

// ---------------------------------------------------------------------------
// The objective of one variant within the bounds.

class Problem {
 public:
  // With `viaForm` the objective is evaluated through the linear form
  // (FormObjective) wherever the form holds the series.
  Problem(const data::CatchEffortSeries& series, const model::ModelFit& fit,
          const ParameterBounds& bounds, std::uint8_t keepCount,
          std::span<const double> responseShift = {}, bool viaForm = false)
      : series_(series),
        shift_(responseShift),
        evaluator_(series.U, series.C, fit.Objective, fit.Kind, keepCount, responseShift),
        bounds_(bounds),
        kind_(fit.Kind),
        objective_(fit.Objective),
        pt_(fit.Kind == ProductionModelKind::PellaTomlinson),
        exponent_(fit.Exponent),
        keepCount_(keepCount) {
    if (viaForm) {
      form_.emplace(series, fit.Kind, fit.Objective, keepCount, responseShift);
      if (!form_->Usable()) form_.reset();
    }
  }

  // The objective at x clamped to the bounds (x is clamped in place); +inf
  // where it cannot be evaluated (the evaluation raised, or x is undefined),
  // and through the linear form also where it is not below `limit`.
  double Value(ParameterPoint& x, double limit = kInf) {
    if (!pt_) x.p = exponent_;
    if (fixedExponent_) x.p = *fixedExponent_;
    if (std::isnan(x.r) || std::isnan(x.K) || std::isnan(x.q) || std::isnan(x.p)) return kInf;
    ClampToBounds(x, bounds_, pt_);
    if (!std::isfinite(x.r) || !std::isfinite(x.K) || !std::isfinite(x.q) || !std::isfinite(x.p)) {
      return kInf;
    }
    ++evaluations_;
    double f = kInf;
    if (form_) {
      f = form_->Value(x, limit);
    } else {
      try {
        f = evaluator_.Evaluate(x.r, x.K, x.q, x.p);
      } catch (const Error& e) {
        if (firstError_.empty()) firstError_ = e.what();
        return kInf;
      }
    }
    if (!std::isfinite(f)) return kInf;
    if (f < best_.Value) best_ = {x, f};
    return f;
  }

  // Holds the exponent of Pella-Tomlinson at p (within its bounds) until
  // FreeExponent: the local optimiser then moves r, K and q only.
  void FixExponent(double p) { fixedExponent_ = p; }
  void FreeExponent() { fixedExponent_.reset(); }
  // The local optimiser moves p.
  bool ExponentFree() const { return pt_ && !fixedExponent_ && bounds_.MinP < bounds_.MaxP; }

  const Candidate& Best() const { return best_; }
  std::uint64_t Evaluations() const { return evaluations_; }
  const std::string& FirstError() const { return firstError_; }
  const data::CatchEffortSeries& Series() const { return series_; }
  std::span<const double> Shift() const { return shift_; }
  const ParameterBounds& Bounds() const { return bounds_; }
  ProductionModelKind Kind() const { return kind_; }
  ObjectiveKind Objective() const { return objective_; }
  bool PellaTomlinson() const { return pt_; }
  double Exponent() const { return exponent_; }
  std::size_t KeepCount() const { return keepCount_; }

 private:
  const data::CatchEffortSeries& series_;
  std::span<const double> shift_;
  ObjectiveEvaluator evaluator_;
  ParameterBounds bounds_;
  ProductionModelKind kind_;
  ObjectiveKind objective_;
  bool pt_;
  double exponent_;
  std::size_t keepCount_;
  std::optional<linear::FormObjective> form_;
  std::optional<double> fixedExponent_;
  Candidate best_;
  std::uint64_t evaluations_ = 0;
  std::string firstError_;
};

// Evaluates the point of scaled θ and offers it (through the linear form
// only when the list would take it).
void OfferTheta(Problem& problem, StartList& starts, const Design& d, const Vec3& phi) {
  ParameterPoint x;
  if (!PointOfTheta(problem.Kind(), ThetaOfScaled(d, phi), d.P, x)) return;
  const double f = problem.Value(x, starts.Worst());
  starts.Offer(x, f);
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

  ForRowSets(d.N, 3, rowSetLimit, [&](const RowSet& rows) {
    Vec3 solution{};
    if (ThroughRows(d, rows.data(), solution)) OfferTheta(problem, starts, d, solution);
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
    ForRowSets(d.N, 2, rowSetLimit / 4.0, [&](const RowSet& rows) {
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
  std::vector<double> a, slope;
  for (double K : {b.MinK, b.MaxK}) {
    if (!(K > 0.0) || !std::isfinite(K)) continue;
    for (int g = 0; g < kFaceGrid; ++g) {
      const double q = b.MinQ * elementary::Pow(b.MaxQ / b.MinQ, (g + 0.5) / kFaceGrid);
      if (!ResidualsLinearInR(s, problem.Kind(), K, q, d.P, a, slope)) return;
      double sumAB = 0.0, sumBB = 0.0;
      std::vector<double> ratios;
      for (std::size_t i = 0; i < a.size(); ++i) {
        sumAB += a[i] * slope[i];
        sumBB += slope[i] * slope[i];
        if (slope[i] != 0.0) ratios.push_back(a[i] / slope[i]);
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
    if (geometric && lo > 0.0) return lo * elementary::Pow(hi / lo, f);
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
std::vector<std::uint8_t> KeptOf(std::span<const double> residuals, std::size_t keep) {
  const std::size_t n = residuals.size();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&residuals](std::size_t x, std::size_t y) {
    return std::fabs(residuals[x]) < std::fabs(residuals[y]);
  });
  std::vector<std::uint8_t> kept(n, 0);
  const std::size_t m = std::min(keep, n);
  const std::size_t c = (n - m) / 2;
  for (std::size_t k = c; k < c + m; ++k) kept[order[k]] = 1;
  return kept;
}

std::vector<double> ResidualsOf(const Design& d, const Vec3& phi) {
  std::vector<double> e(d.N);
  for (std::size_t i = 0; i < d.N; ++i) e[i] = LinearResidual(d, phi, i);
  return e;
}

std::vector<std::uint8_t> KeptRows(const Design& d, const Vec3& phi, std::size_t keep) {
  return KeptOf(ResidualsOf(d, phi), keep);
}

// Minimises the objective's sum over the kept rows alone, for the linear
// form: least squares; for Σ ln(1 + e²) iteratively reweighted least squares
// with weights 1/(1 + e²) (each step minimises a majorant, so the sum never
// grows); for Σ |e| weights 1/|e|. With `carried` (residuals of a point,
// perhaps of another form) the reweighting starts from the form fitted to
// those residuals with their weights, so that rows fitted closely there stay
// close, rather than from phi. Unconstrained; false when a system is
// singular.
bool FitKeptRows(const Design& d, ObjectiveKind objective, const std::vector<std::uint8_t>& kept,
                 Vec3& phi, std::span<const double> carried = {}) {
  std::vector<double> w(d.N);
  for (std::size_t i = 0; i < d.N; ++i) w[i] = kept[i];
  if (objective == ObjectiveKind::SumOfSquares) return WeightedLeastSquares(d, w, phi);
  double scale = 0.0;
  for (double y : d.y) scale = std::max(scale, std::fabs(y));
  const double floor = 1e-9 * std::max(scale, 1e-300);
  const auto weight = [&](double e) {
    return objective == ObjectiveKind::LogSumOfSquares ? 1.0 / (1.0 + e * e)
                                                       : 1.0 / std::max(std::fabs(e), floor);
  };
  if (carried.size() == d.N) {
    std::vector<double> fitted(d.N);
    for (std::size_t i = 0; i < d.N; ++i) {
      if (kept[i]) w[i] = weight(carried[i]);
      fitted[i] = d.y[i] - carried[i];
    }
    if (!WeightedLeastSquares(d, w, phi, fitted)) return false;
  }
  double previous = kInf;
  for (int iteration = 0; iteration < 100; ++iteration) {
    double sum = 0.0;
    for (std::size_t i = 0; i < d.N; ++i) {
      if (!kept[i]) continue;
      const double e = LinearResidual(d, phi, i);
      w[i] = weight(e);
      sum += objective == ObjectiveKind::LogSumOfSquares ? elementary::Log(1.0 + e * e) : std::fabs(e);
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
      x.q = Centre.q * elementary::Exp(z[2]);
      x.K = Centre.K * elementary::Exp(z[1]) / elementary::Exp(z[2]);
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
  c.WithExponent = problem.ExponentFree();
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

// How the local optimiser runs from one point.
struct LocalSettings {
  int Rounds = kLocalRounds;
  int RoundEvaluations = kRoundEvaluations;
  double Step = 1.0;          // the first round's step, in the coordinates' steps
  double Tolerance = 1e-9;    // of the position, in units of the round's step
  double FTolerance = 1e-13;  // relative, of the value
  // A round that does not improve is followed by one with a step 10⁻³ times
  // as large before giving up.
  bool FineRound = true;
};

// Subplex from one point, re-centred after each round while it improves;
// returns the lowest point it saw.
Candidate LocalSearch(Problem& problem, Candidate start, const LocalSettings& settings = {}) {
  double stepFactor = settings.Step;
  for (int round = 0; round < settings.Rounds; ++round) {
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
      for (double& t : tolerance) t *= settings.Tolerance;
      opt.set_xtol_abs(tolerance);
      opt.set_ftol_rel(settings.FTolerance);
      opt.set_maxeval(settings.RoundEvaluations);
      std::vector<double> z(dimension, 0.0);
      double value = 0.0;
      opt.optimize(z, value);
    } catch (const std::exception&) {
      // A stop for rounding or any other reason: the best point seen counts.
    }
    const bool improved = run.Best.Value < start.Value * (1.0 - 1e-10);
    start = run.Best;
    if (!improved) {
      if (!settings.FineRound || stepFactor < settings.Step) break;
      stepFactor = 1e-3 * settings.Step;  // once more with a fine step before giving up
    }
  }
  return start;
}

// The sum-of-squares and log objectives: starting points from the linear
// form and a coarse grid, the best of them refitted on the rows they keep,
// then local descents from the best, within a budget.
void DescentsFromStarts(Problem& problem, const Candidate& start) {
  const data::CatchEffortSeries& series = problem.Series();
  const ParameterBounds& bounds = problem.Bounds();
  const double exponent = problem.Exponent();
  const bool pt = problem.PellaTomlinson();
  const bool trimmed = series.size() < 3 || problem.KeepCount() != series.size() - 2;
  StartList starts((pt ? kLocalStartsPellaTomlinson : kLocalStarts) * (trimmed ? 4 : 1));

  // Where the search stopped.
  starts.Offer(start.Point, start.Value);

  std::vector<double> exponents = {exponent};
  if (pt) {
    exponents.assign(std::begin(kExponentGrid), std::end(kExponentGrid));
    exponents.push_back(bounds.MinP);
    exponents.push_back(bounds.MaxP);
    exponents.push_back(ClampValue(exponent, bounds.MinP, bounds.MaxP));
    for (double& p : exponents) p = ClampValue(p, bounds.MinP, bounds.MaxP);
    std::sort(exponents.begin(), exponents.end());
    exponents.erase(std::unique(exponents.begin(), exponents.end()), exponents.end());
  }
  const double residuals = std::max<double>(1.0, series.size() >= 2 ? series.size() - 2.0 : 1.0);
  const double rowSetLimit =
      std::max(200.0, kStartBudget / (residuals * static_cast<double>(exponents.size())));
  for (double p : exponents) {
    LinearStarts(problem, starts, MakeDesign(series, problem.Kind(), p), rowSetLimit);
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
}

// The median objective: the lowest vertices of the linear form within the
// bounds (FindMedianMinimum), each of the best few and the search's point
// then descended from (the faces K = bound and, for Pella-Tomlinson, p move
// there). True when every vertex was enumerated.
bool MedianFromVertices(Problem& problem, const Candidate& start) {
  const MedianMinimum vertices =
      FindMedianMinimum(problem.Series(), problem.Kind(), problem.Bounds(),
                        static_cast<std::uint8_t>(problem.KeepCount()), problem.Exponent());
  StartList starts(kMedianDescents + 1);
  starts.Offer(start.Point, start.Value);
  for (const Candidate& c : vertices.Best) {
    ParameterPoint x = c.Point;
    starts.Offer(x, problem.Value(x));
  }
  const std::vector<Candidate> seeds = starts.Items();
  for (const Candidate& c : seeds) LocalSearch(problem, c);
  if (std::isfinite(problem.Best().Value)) LocalSearch(problem, problem.Best());
  return vertices.Complete && !vertices.Best.empty();
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
  // Where the search stopped, clamped as its trial points are.
  ParameterPoint searched = v.SearchPoint;
  const Candidate start{searched, problem.Value(searched)};
  if (fit.Objective == ObjectiveKind::Median) {
    v.Enumerated = MedianFromVertices(problem, start);
  } else {
    DescentsFromStarts(problem, start);
  }

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
    v.Degenerate = v.Objective <= 1e-12 * scale;
  }
  DescribeRefinement(v, fit, bounds, decimalMark);
  return v;
}

namespace {

// The descents of RefitLocally with row starts: from the best starts (the
// given start among them).
constexpr std::size_t kRowStartDescents = 3;

// The local optimiser for intervals, where reweighting leaves the bounds:
// positions to 10⁻⁷ of the first step (which is 5 % of the residuals' root
// mean square) and values to 10⁻¹², without the fine round. (A looser
// value tolerance stops it early where the minimum lies in a corner of the
// bounds, r near 0 with K or q on a bound.)
constexpr LocalSettings kIntervalSettings{
    .Tolerance = 1e-7, .FTolerance = 1e-12, .FineRound = false};
// Minima at the start's exponent whose values differ by less than this
// fraction are taken for one.
constexpr double kSameMinimum = 1e-6;
// The search over p of Pella-Tomlinson: the first step and the width of the
// final bracket.
constexpr double kExponentStep = 0.1;
constexpr double kExponentTolerance = 1e-3;

// The linear form at p of the problem's responses, shifted as its
// objective's.
Design FormAt(const Problem& problem, double p) {
  Design d = MakeDesign(problem.Series(), problem.Kind(), p);
  const std::span<const double> shift = problem.Shift();
  if (d.Valid && shift.size() == d.N) {
    for (std::size_t i = 0; i < d.N; ++i) d.y[i] += shift[i];
  }
  return d;
}

// The residuals of x in the form d (empty where x has no θ).
std::vector<double> FormResiduals(const Problem& problem, const Design& d,
                                  const ParameterPoint& x) {
  Vec3 theta{};
  if (!d.Valid || !ThetaOf(problem.Kind(), x, theta)) return {};
  return ResidualsOf(d, ScaledOfTheta(d, theta));
}

// x carried to exponent p: r and q kept, and θ1 (so K) such that the
// production column at p matches the one at x.p in least squares, which
// keeps the model's CPUE nearly as it was.
ParameterPoint CarriedTo(const Problem& problem, const ParameterPoint& x, double p) {
  ParameterPoint out = x;
  out.p = p;
  Vec3 theta{};
  if (!ThetaOf(problem.Kind(), x, theta)) return out;
  const data::CatchEffortSeries& s = problem.Series();
  double cross = 0.0, squares = 0.0;
  for (std::size_t t = 2; t < s.size(); ++t) {
    const double S = s.U[t - 1] + s.U[t - 2];
    const double before = elementary::Pow(S, x.p + 1.0), after = elementary::Pow(S, p + 1.0);
    cross += after * before;
    squares += after * after;
  }
  if (!(squares > 0.0)) return out;
  theta[1] *= cross / squares;
  ParameterPoint moved;
  if (PointOfTheta(problem.Kind(), theta, p, moved)) out = moved;
  return out;
}

// A local minimum of f over [lo, hi] from x0 (where f is f0): walks downhill
// in steps that double from `step` until the value rises or a bound is
// reached, then narrows the bracket to `tolerance` by Brent's method; a
// bound is taken as the minimum when the value rises a tolerance inside it.
// Returns the lowest point found.
template <typename F>
double MinimiseAlong(const F& f, double x0, double f0, double lo, double hi, double step,
                     double tolerance) {
  // Bracket [a, c] around x1, the lowest value found.
  double direction = 1.0;
  double x1 = ClampValue(x0 + step, lo, hi);
  double f1 = x1 != x0 ? f(x1) : kInf;
  double a = x0, c = x1;
  if (!(f1 < f0)) {
    const double xm = ClampValue(x0 - step, lo, hi);
    const double fm = xm != x0 ? f(xm) : kInf;
    if (fm < f0) {
      direction = -1.0;
      x1 = xm;
      f1 = fm;
    } else {
      a = xm;
      c = x1;
      x1 = x0;
      f1 = f0;
      direction = 0.0;
    }
  }
  if (direction != 0.0) {
    // x1 lies below x0: walk on.
    for (;;) {
      step *= 2.0;
      const double x2 = ClampValue(x1 + direction * step, lo, hi);
      if (x2 == x1) {
        // At a bound, still descending: the bound, unless the value falls
        // just inside it.
        const double inside = x1 - direction * tolerance;
        const double fi = f(inside);
        if (!(fi < f1)) return x1;
        a = std::min(x0, x1);
        c = std::max(x0, x1);
        x1 = inside;
        f1 = fi;
        break;
      }
      const double f2 = f(x2);
      if (!(f2 < f1)) {
        a = std::min(x0, x2);
        c = std::max(x0, x2);
        break;
      }
      x0 = x1;
      f0 = f1;
      x1 = x2;
      f1 = f2;
    }
  }
  // Brent's method within [a, c] from x1: a parabola through the three
  // lowest points where it falls well inside the bracket, else a golden
  // section step into the larger part; steps of at least half the
  // tolerance, until x lies within the tolerance of both ends.
  constexpr double kGolden = 0.3819660112501051;
  const double least = 0.5 * tolerance;
  double x = x1, w = x1, v = x1, fx = f1, fw = f1, fv = f1;
  double move = 0.0, previous = 0.0;  // the last two steps
  while (std::max(x - a, c - x) > tolerance) {
    const double middle = 0.5 * (a + c);
    double stepTo = 0.0;
    bool parabolic = false;
    if (std::fabs(previous) > least) {
      const double r = (x - w) * (fx - fv);
      double q = (x - v) * (fx - fw);
      double p = (x - v) * q - (x - w) * r;
      q = 2.0 * (q - r);
      if (q > 0.0) p = -p;
      q = std::fabs(q);
      if (std::fabs(p) < std::fabs(0.5 * q * previous) && p > q * (a - x) && p < q * (c - x)) {
        previous = move;
        stepTo = p / q;
        const double u = x + stepTo;
        if (u - a < tolerance || c - u < tolerance) stepTo = middle > x ? least : -least;
        parabolic = true;
      }
    }
    if (!parabolic) {
      previous = x >= middle ? a - x : c - x;
      stepTo = kGolden * previous;
    }
    move = stepTo;
    const double u = std::fabs(stepTo) >= least ? x + stepTo : x + (stepTo > 0.0 ? least : -least);
    const double fu = f(u);
    if (fu <= fx) {
      (u >= x ? a : c) = x;
      v = w;
      fv = fw;
      w = x;
      fw = fx;
      x = u;
      fx = fu;
    } else {
      (u < x ? a : c) = u;
      if (fu <= fw || w == x) {
        v = w;
        fv = fw;
        w = u;
        fw = fu;
      } else if (fu <= fv || v == x || v == w) {
        v = u;
        fv = fu;
      }
    }
  }
  return x;
}

// A local minimum at the exponent of d (which the problem holds), for
// intervals. The objective is a function of the residuals of the linear
// form, so iteratively reweighted least squares over the rows it keeps
// (FitKeptRows) finds the minimum without a search: first the form is
// fitted, with the objective's weights, to `residuals` (those of the point
// descended from, perhaps at another exponent), so that the rows that point
// fits closely stay close (the deep minima of the log and median objectives
// lie where some residuals are zero), then reweighted to convergence, the
// kept rows re-chosen while they change. Its point is taken when it lies
// within the bounds; otherwise the local optimiser descends from the better
// of that point clamped into them and `from` (a point at the exponent of
// d).
Candidate DescentAt(Problem& problem, const Design& d, const Candidate& from,
                    std::span<const double> residuals, const LocalSettings& settings) {
  Candidate start = from;
  if (d.FullRank && residuals.size() == d.N) {
    const ObjectiveKind objective = problem.Objective();
    std::vector<std::uint8_t> kept = KeptOf(residuals, problem.KeepCount());
    Vec3 phi{};
    bool solved = FitKeptRows(d, objective, kept, phi, residuals);
    for (int step = 0; solved && step < 8; ++step) {
      std::vector<std::uint8_t> next = KeptRows(d, phi, problem.KeepCount());
      if (next == kept) break;
      kept = std::move(next);
      solved = FitKeptRows(d, objective, kept, phi);
    }
    std::vector<Vec3> fits;
    if (solved) fits.push_back(phi);
    // With none of the smallest residuals trimmed the median objective is
    // least at a vertex, three residuals zero: those the reweighting brings
    // nearest zero name it (reweighting only approaches it).
    if (solved && objective == ObjectiveKind::Median &&
        (d.N - std::min(problem.KeepCount(), d.N)) / 2 == 0) {
      const std::vector<double> e = ResidualsOf(d, phi);
      std::vector<std::size_t> order(d.N);
      for (std::size_t i = 0; i < d.N; ++i) order[i] = i;
      std::partial_sort(
          order.begin(), order.begin() + 3, order.end(),
          [&](std::size_t a, std::size_t b) { return std::fabs(e[a]) < std::fabs(e[b]); });
      Vec3 vertex{};
      if (ThroughRows(d, order.data(), vertex)) fits.push_back(vertex);
    }
    Candidate inside;
    for (const Vec3& fit : fits) {
      ParameterPoint x;
      if (!PointOfTheta(problem.Kind(), ThetaOfScaled(d, fit), d.P, x)) continue;
      ParameterPoint clamped = x;
      const double value = problem.Value(clamped);
      if (clamped.r == x.r && clamped.K == x.K && clamped.q == x.q) {
        if (value < inside.Value) inside = {clamped, value};
      } else if (value < start.Value) {
        start = {clamped, value};
      }
    }
    // Trimming makes the objective piecewise in the rows it keeps, with
    // minima the reweighting does not reach alone: the optimiser goes on
    // from the reweighted point.
    const bool trimmed = problem.KeepCount() < d.N;
    if (std::isfinite(inside.Value) && !trimmed) return inside;
    if (inside.Value < start.Value) start = inside;
  }
  if (!std::isfinite(start.Value)) return start;
  return LocalSearch(problem, start, settings);
}

// A local minimum at an exponent with its residuals in the form there.
struct Found {
  Candidate Point;
  std::vector<double> Residuals;
};

// Pella-Tomlinson with p free, for intervals: the lowest over p of the local
// minimum over r, K and q at that p (DescentAt), each descended from the one
// found at the nearest p searched, from `start`. From the start's p the
// search walks downhill in steps that double until the value rises or p
// reaches a bound, then narrows the bracket by golden section to
// `tolerance`; a bound is taken as the minimum when the value rises a
// tolerance inside it. (Descending in r, K, q and p together crawls along
// the valley that p and the level of the production column form, for
// thousands of evaluations.)
void ProfileExponent(Problem& problem, const Found& start, double tolerance) {
  const ParameterBounds& b = problem.Bounds();
  std::vector<Found> found = {start};  // the minimum at each p searched
  const auto at = [&](double p) {
    p = ClampValue(p, b.MinP, b.MaxP);
    const Found* nearest = &found.front();
    for (const Found& f : found) {
      if (f.Point.Point.p == p) return f.Point.Value;
      if (std::fabs(f.Point.Point.p - p) < std::fabs(nearest->Point.Point.p - p)) nearest = &f;
    }
    problem.FixExponent(p);
    const Design d = FormAt(problem, p);
    // From the better of the nearest minimum carried to p and the same r, K
    // and q at p (near r = 0 the exponent hardly matters).
    Candidate from{CarriedTo(problem, nearest->Point.Point, p), kInf};
    from.Value = problem.Value(from.Point);
    Candidate same{nearest->Point.Point, kInf};
    same.Value = problem.Value(same.Point);
    if (same.Value < from.Value) from = same;
    Candidate c = DescentAt(problem, d, from, nearest->Residuals, kIntervalSettings);
    c.Point.p = p;
    found.push_back({c, FormResiduals(problem, d, c.Point)});
    return c.Value;
  };
  MinimiseAlong(at, start.Point.Point.p, start.Point.Value, b.MinP, b.MaxP, kExponentStep,
                tolerance);
  problem.FreeExponent();
}

// For intervals: a local minimum at the start's exponent from each of
// `seeds` (DescentAt), and for Pella-Tomlinson with p free then the search
// over p from each distinct one of them (ProfileExponent): a minimum that is
// not the lowest at the start's p may become it at another.
void DescentsForIntervals(Problem& problem, const std::vector<Candidate>& seeds, double exponent,
                          bool profile) {
  const Design d0 = FormAt(problem, exponent);
  StartList minima(seeds.size());
  for (const Candidate& seed : seeds) {
    const Candidate c =
        DescentAt(problem, d0, seed, FormResiduals(problem, d0, seed.Point), kIntervalSettings);
    minima.Offer(c.Point, c.Value);
  }
  if (!profile) return;
  std::vector<double> profiled;  // the values of the minima searched from
  for (const Candidate& c : minima.Items()) {
    const bool seen = std::any_of(profiled.begin(), profiled.end(), [&](double v) {
      return std::fabs(v - c.Value) <= kSameMinimum * v;
    });
    if (seen) continue;
    profiled.push_back(c.Value);
    ProfileExponent(problem, {c, FormResiduals(problem, d0, c.Point)}, kExponentTolerance);
  }
}

}  // namespace

LocalRefit RefitLocally(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                        const ParameterPoint& start, const ParameterBounds& bounds,
                        std::uint8_t keepCount, const LocalRefitOptions& options) {
  const std::span<const double> shift = options.ResponseShift;
  const std::size_t startRows = options.StartRows;
  Problem problem(series, fit, bounds, keepCount, shift, options.ForIntervals);
  StartList starts(startRows >= 3 ? kRowStartDescents : 1);
  ParameterPoint x = start;
  const double value = problem.Value(x);  // clamps x
  starts.Offer(x, value);
  // For intervals p stays at the start's until the search over p, when
  // every residual is kept: with some trimmed the minimum at fixed p needs
  // the optimiser, and one descent in r, K, q and p together costs less than
  // a search over p of them.
  const bool trimmed = series.size() < 3 || keepCount < series.size() - 2;
  const bool profile = options.ForIntervals && problem.ExponentFree() && !trimmed;
  if (profile) problem.FixExponent(x.p);
  Vec3 theta{};
  if (startRows >= 3 && ThetaOf(fit.Kind, x, theta)) {
    const Design d = FormAt(problem, x.p);
    if (d.Valid && (shift.empty() || shift.size() == d.N)) {
      // The rows the start fits best, by the size of their residuals.
      const Vec3 phi = ScaledOfTheta(d, theta);
      std::vector<std::size_t> rows(d.N);
      for (std::size_t i = 0; i < d.N; ++i) rows[i] = i;
      std::stable_sort(rows.begin(), rows.end(), [&](std::size_t a, std::size_t b) {
        return std::fabs(LinearResidual(d, phi, a)) < std::fabs(LinearResidual(d, phi, b));
      });
      rows.resize(std::min(rows.size(), startRows));
      for (std::size_t a = 0; a < rows.size(); ++a)
        for (std::size_t b = a + 1; b < rows.size(); ++b)
          for (std::size_t c = b + 1; c < rows.size(); ++c) {
            const std::size_t set[3] = {rows[a], rows[b], rows[c]};
            Vec3 solution{};
            if (ThroughRows(d, set, solution)) OfferTheta(problem, starts, d, solution);
          }
    }
  }
  const std::vector<Candidate> seeds = starts.Items();
  if (options.ForIntervals) {
    DescentsForIntervals(problem, seeds, x.p, profile);
  } else {
    for (const Candidate& c : seeds) LocalSearch(problem, c);
  }
  LocalRefit refit;
  refit.Evaluations = problem.Evaluations();
  const Candidate& best = problem.Best();
  if (!std::isfinite(best.Value)) {
    refit.Message = problem.FirstError().empty()
                        ? "в начальной точке целевая функция не вычисляется"
                        : problem.FirstError();
    return refit;
  }
  refit.Available = true;
  refit.Point = best.Point;
  refit.Objective = best.Value;
  return refit;
}

}  // namespace tarvik::estimation
