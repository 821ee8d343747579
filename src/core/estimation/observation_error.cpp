#include "estimation/observation_error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <nlopt.hpp>
#include <string>
#include <utility>
#include <vector>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "model/checked.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;

// Grid points per axis of the starting grid, and starts kept from it.
constexpr int kGridR = 16;
constexpr int kGridK = 16;
constexpr int kGridP = 5;
constexpr int kGridPhi = 5;
constexpr std::size_t kStarts = 4;
// The local optimiser: initial step (log units) of a start from the grid and
// of a refit, tolerance of the coordinates, evaluations per run, runs.
constexpr double kGridStep = 0.1;
constexpr double kRefitStep = 0.05;
constexpr double kCoordinateTolerance = 1e-10;
constexpr int kRunEvaluations = 4000;
constexpr int kRuns = 6;
// A restart that moves no coordinate further than this confirms the minimum.
constexpr double kStill = 1e-7;

enum AxisIndex { kAxisR = 0, kAxisK = 1, kAxisP = 2, kAxisPhi = 3, kAxes = 4 };
constexpr const char* kAxisNames[kAxes] = {"r", "K", "p", "φ"};

// One coordinate: the natural logarithm of a parameter within [Lo, Hi]
// (Free), or the fixed value Hi when the pair leaves no room or the parameter
// is not estimated.
struct Axis {
  double Lo = 1.0;
  double Hi = 1.0;
  bool Free = false;
  int GridPoints = 1;
};

using Coordinates = std::array<double, kAxes>;

std::string Where(const data::CatchEffortSeries& s, std::size_t t) {
  if (s.FirstYear > 0) return "в " + std::to_string(s.FirstYear + t) + " году";
  return "в строке " + std::to_string(t + 1) + " ряда";
}

std::string ModelText(ProductionModelKind kind) {
  return "модель ошибки наблюдения, модель " + model::ModelName(kind);
}

Axis BoundAxis(double lo, double hi, const char* name, int gridPoints) {
  if (!(hi > 0.0) || !std::isfinite(hi) || std::isnan(lo)) {
    throw Error(std::string("Модель ошибки наблюдения: верхняя граница ") + name +
                " должна быть положительным числом");
  }
  Axis a;
  a.Hi = hi;
  a.Lo = lo > 0.0 ? std::min(lo, hi) : kLowerBoundFloor * hi;
  a.Free = a.Lo < a.Hi;
  a.GridPoints = a.Free ? gridPoints : 1;
  return a;
}

Axis FixedAxis(double value) {
  Axis a;
  a.Lo = a.Hi = value;
  return a;
}

class Problem {
 public:
  Problem(const data::CatchEffortSeries& series, ProductionModelKind kind,
          const ObservationErrorOptions& options)
      : series_(series), kind_(kind) {
    const std::size_t n = series.size();
    if (series.C.size() != n) {
      throw Error("Ряды улова и улова на усилие разной длины: " + std::to_string(series.C.size()) +
                  " и " + std::to_string(n));
    }
    for (std::size_t t = 0; t < n; ++t) {
      if (!(series.U[t] > 0.0) || !std::isfinite(series.U[t])) {
        throw Error("Для модели ошибки наблюдения улов на усилие должен быть положительным, а " +
                    Where(series, t) + ValueText(series.U[t]));
      }
      if (!std::isfinite(series.C[t])) throw Error("Улов " + Where(series, t) + " не задан числом");
    }
    const ParameterBounds& b = options.Bounds;
    axes_[kAxisR] = BoundAxis(b.MinR, b.MaxR, "r", kGridR);
    axes_[kAxisK] = BoundAxis(b.MinK, b.MaxK, "K", kGridK);
    axes_[kAxisP] = kind == ProductionModelKind::PellaTomlinson
                        ? BoundAxis(kObservationMinP, kObservationMaxP, "p", kGridP)
                        : FixedAxis(0.0);
    axes_[kAxisPhi] =
        options.EstimateB1 ? BoundAxis(kMinB1OverK, kMaxB1OverK, "B₁/K", kGridPhi) : FixedAxis(1.0);
    for (int i = 0; i < kAxes; ++i) {
      if (axes_[i].Free) free_.push_back(i);
    }
    parameterCount_ = static_cast<int>(free_.size()) + 2;  // and q, σ
    if (static_cast<int>(n) <= parameterCount_ + 1) {
      throw Error("Ряд слишком короткий (" + ModelText(kind) + "): число лет " + std::to_string(n) +
                  " при " + std::to_string(parameterCount_) +
                  " оцениваемых параметрах, нужно не менее " + std::to_string(parameterCount_ + 2));
    }
    logU_.resize(n);
    for (std::size_t t = 0; t < n; ++t) logU_[t] = elementary::Log(series.U[t]);
    biomass_.resize(n);
  }

  const data::CatchEffortSeries& Series() const { return series_; }
  ProductionModelKind Kind() const { return kind_; }
  const Axis& AxisAt(int i) const { return axes_[i]; }
  const std::vector<int>& Free() const { return free_; }
  int ParameterCount() const { return parameterCount_; }
  std::uint64_t Evaluations() const { return evaluations_; }

  // The point of the coordinates: exp of a free coordinate, kept within its
  // bounds against rounding; the value of a fixed one.
  ObservationErrorPoint PointAt(const Coordinates& z) const {
    double v[kAxes];
    for (int i = 0; i < kAxes; ++i) {
      const Axis& a = axes_[i];
      v[i] = a.Free ? std::clamp(elementary::Exp(z[i]), a.Lo, a.Hi) : a.Hi;
    }
    return {v[kAxisR], v[kAxisK], v[kAxisP], v[kAxisPhi]};
  }

  // The coordinates of a point moved into the bounds.
  Coordinates CoordinatesOf(const ObservationErrorPoint& x) const {
    const double v[kAxes] = {x.r, x.K, x.p, x.phi};
    Coordinates z{};
    for (int i = 0; i < kAxes; ++i) {
      const Axis& a = axes_[i];
      const double value = std::isnan(v[i]) ? a.Hi : std::clamp(v[i], a.Lo, a.Hi);
      z[i] = a.Free ? elementary::Log(value) : 0.0;
    }
    return z;
  }

  // The biomass of every year into biomass_; returns the penalty sum
  // Σ s/(1 + s) of the years below the floor (0 for a feasible walk) and the
  // first such year in `firstBelow`.
  double Walk(const ObservationErrorPoint& x, std::size_t& firstBelow) {
    const std::size_t n = biomass_.size();
    const double floor = kMinBiomassFraction * x.K;
    double shortfall = 0.0;
    firstBelow = n;
    double B = x.phi * x.K;
    for (std::size_t t = 0;; ++t) {
      if (!(B >= floor) || !std::isfinite(B)) {
        const double s = (floor - B) / x.K;
        shortfall += std::isfinite(s) ? s / (1.0 + s) : 1.0;
        firstBelow = std::min(firstBelow, t);
        B = floor;
      }
      biomass_[t] = B;
      if (t + 1 == n) break;
      B = model::NextBiomass(kind_, B, x.r, x.K, x.p, series_.C[t]);
    }
    return shortfall;
  }

  // RSS at x, or the penalty of an infeasible trial.
  double Value(const ObservationErrorPoint& x) {
    ++evaluations_;
    std::size_t firstBelow = 0;
    double shortfall = 0.0;
    try {
      shortfall = Walk(x, firstBelow);
    } catch (const Error&) {
      // A production the arithmetic cannot give (an overflowing power): as
      // infeasible as a trial can be.
      return kInfeasiblePenalty * (1.0 + static_cast<double>(biomass_.size()));
    }
    if (shortfall > 0.0) return kInfeasiblePenalty * (1.0 + shortfall);
    return ResidualSquares(LogQ());
  }

  // ln q̂ of the walk in biomass_.
  double LogQ() const {
    double sum = 0.0;
    for (std::size_t t = 0; t < logU_.size(); ++t) sum += logU_[t] - elementary::Log(biomass_[t]);
    return sum / static_cast<double>(logU_.size());
  }

  double Residual(std::size_t t, double logQ) const {
    return logU_[t] - logQ - elementary::Log(biomass_[t]);
  }

  double ResidualSquares(double logQ) const {
    double rss = 0.0;
    for (std::size_t t = 0; t < logU_.size(); ++t) {
      const double e = Residual(t, logQ);
      rss += e * e;
    }
    return rss;
  }

  const std::vector<double>& Biomass() const { return biomass_; }

 private:
  static std::string ValueText(double x) {
    return std::isfinite(x) ? " он равен " + FormatGeneral(x) : std::string(" он не задан числом");
  }

  const data::CatchEffortSeries& series_;
  ProductionModelKind kind_;
  Axis axes_[kAxes];
  std::vector<int> free_;
  int parameterCount_ = 0;
  std::vector<double> logU_;
  std::vector<double> biomass_;
  std::uint64_t evaluations_ = 0;
};

struct Candidate {
  Coordinates Z{};
  double Value = std::numeric_limits<double>::infinity();
  bool Converged = false;
};

// Starts from the grid: its feasible local minima (no neighbour along any
// free axis lower), best first; the best grid point when none is feasible.
std::vector<Candidate> GridStarts(Problem& problem) {
  const std::vector<int>& free = problem.Free();
  std::size_t total = 1;
  for (int i : free) total *= static_cast<std::size_t>(problem.AxisAt(i).GridPoints);
  std::vector<Candidate> grid(total);
  for (std::size_t index = 0; index < total; ++index) {
    Coordinates z{};
    std::size_t rest = index;
    for (int i : free) {
      const Axis& a = problem.AxisAt(i);
      const auto m = static_cast<std::size_t>(a.GridPoints);
      const double lo = elementary::Log(a.Lo), hi = elementary::Log(a.Hi);
      z[i] = lo + (static_cast<double>(rest % m) + 0.5) / static_cast<double>(m) * (hi - lo);
      rest /= m;
    }
    grid[index] = {z, problem.Value(problem.PointAt(z)), false};
  }
  std::vector<std::size_t> minima;
  std::size_t stride = 1;
  std::vector<std::size_t> strides;
  for (int i : free) {
    strides.push_back(stride);
    stride *= static_cast<std::size_t>(problem.AxisAt(i).GridPoints);
  }
  for (std::size_t index = 0; index < total; ++index) {
    if (!(grid[index].Value < kInfeasiblePenalty)) continue;
    bool lowest = true;
    for (std::size_t f = 0; f < free.size() && lowest; ++f) {
      const auto m = static_cast<std::size_t>(problem.AxisAt(free[f]).GridPoints);
      const std::size_t j = index / strides[f] % m;
      if (j > 0 && grid[index - strides[f]].Value < grid[index].Value) lowest = false;
      if (j + 1 < m && grid[index + strides[f]].Value < grid[index].Value) lowest = false;
    }
    if (lowest) minima.push_back(index);
  }
  if (minima.empty()) {
    std::size_t best = 0;
    for (std::size_t index = 1; index < total; ++index) {
      if (grid[index].Value < grid[best].Value) best = index;
    }
    minima.push_back(best);
  }
  std::stable_sort(minima.begin(), minima.end(),
                   [&](std::size_t a, std::size_t b) { return grid[a].Value < grid[b].Value; });
  std::vector<Candidate> starts;
  for (std::size_t k = 0; k < minima.size() && k < kStarts; ++k) starts.push_back(grid[minima[k]]);
  return starts;
}

struct LocalRun {
  Problem* Problem_ = nullptr;
  Coordinates Template{};
  Candidate Best;
};

double LocalObjective(unsigned n, const double* x, double* gradient, void* data) {
  (void)gradient;  // derivative-free
  auto* run = static_cast<LocalRun*>(data);
  Coordinates z = run->Template;
  const std::vector<int>& free = run->Problem_->Free();
  for (unsigned f = 0; f < n; ++f) z[free[f]] = x[f];
  const double value = run->Problem_->Value(run->Problem_->PointAt(z));
  if (value < run->Best.Value) run->Best = {z, value, false};
  return value;
}

// BOBYQA from `start`, restarted from its best point while a restart moves
// it; converged when a run that stopped by its tolerance moved no coordinate
// by more than kStill.
Candidate Descend(Problem& problem, Candidate start, double step) {
  const std::vector<int>& free = problem.Free();
  const auto dimension = static_cast<unsigned>(free.size());
  if (dimension == 0) {
    start.Value = problem.Value(problem.PointAt(start.Z));
    start.Converged = true;
    return start;
  }
  std::vector<double> lower, upper;
  for (int i : free) {
    lower.push_back(elementary::Log(problem.AxisAt(i).Lo));
    upper.push_back(elementary::Log(problem.AxisAt(i).Hi));
  }
  start.Value = problem.Value(problem.PointAt(start.Z));
  start.Converged = false;
  for (int run = 0; run < kRuns; ++run) {
    LocalRun local{&problem, start.Z, start};
    bool byTolerance = false;
    try {
      nlopt::opt opt(nlopt::LN_BOBYQA, dimension);
      opt.set_lower_bounds(lower);
      opt.set_upper_bounds(upper);
      opt.set_min_objective(LocalObjective, &local);
      std::vector<double> steps(dimension), x(dimension);
      for (unsigned f = 0; f < dimension; ++f) {
        steps[f] = std::min(step, 0.4 * (upper[f] - lower[f]));
        x[f] = std::clamp(start.Z[free[f]], lower[f], upper[f]);
      }
      opt.set_initial_step(steps);
      opt.set_xtol_abs(kCoordinateTolerance);
      opt.set_maxeval(kRunEvaluations);
      double value = 0.0;
      const nlopt::result result = opt.optimize(x, value);
      byTolerance = result == nlopt::XTOL_REACHED || result == nlopt::FTOL_REACHED ||
                    result == nlopt::SUCCESS;
    } catch (const nlopt::roundoff_limited&) {
      byTolerance = true;  // no better point can be told apart
    } catch (const std::exception&) {
      // Any other stop: the best point seen counts.
    }
    double moved = 0.0;
    for (int i : free) moved = std::max(moved, std::fabs(local.Best.Z[i] - start.Z[i]));
    start.Z = local.Best.Z;
    start.Value = local.Best.Value;
    if (moved <= kStill) {
      start.Converged = byTolerance;
      break;
    }
    step = std::clamp(moved, 1e-4, kGridStep);
  }
  return start;
}

// The record at x; raises, naming the year, when the walk falls below the
// floor.
ObservationErrorFit Describe(Problem& problem, const ObservationErrorPoint& x, bool converged,
                             const ObservationErrorOptions& options) {
  const data::CatchEffortSeries& s = problem.Series();
  const ProductionModelKind kind = problem.Kind();
  std::size_t firstBelow = 0;
  if (problem.Walk(x, firstBelow) > 0.0) {
    throw Error("При r = " + FormatGeneral(x.r) + ", K = " + FormatGeneral(x.K) + " (" +
                ModelText(kind) + ") биомасса " + Where(s, firstBelow) +
                " падает до нуля (ниже 10⁻⁶·K)");
  }
  const std::size_t n = s.size();
  const double logQ = problem.LogQ();
  ObservationErrorFit fit;
  fit.Kind = kind;
  fit.R = x.r;
  fit.K = x.K;
  fit.Q = elementary::Exp(logQ);
  fit.P = kind == ProductionModelKind::PellaTomlinson ? x.p : 0.0;
  fit.Phi = options.EstimateB1 ? x.phi : 1.0;
  fit.Biomass = problem.Biomass();
  fit.PredictedCpue.resize(n);
  fit.LogResiduals.resize(n);
  for (std::size_t t = 0; t < n; ++t) {
    fit.PredictedCpue[t] = fit.Q * fit.Biomass[t];
    fit.LogResiduals[t] = problem.Residual(t, logQ);
  }
  fit.RSS = problem.ResidualSquares(logQ);
  fit.N = static_cast<int>(n);
  fit.ParameterCount = problem.ParameterCount();
  const double nd = static_cast<double>(n);
  const double k = static_cast<double>(fit.ParameterCount);
  fit.Sigma = std::sqrt(fit.RSS / nd);
  const double meanSquare = std::max(fit.RSS / nd, std::numeric_limits<double>::min());
  fit.AICc = nd * elementary::Log(meanSquare) + 2.0 * k + 2.0 * k * (k + 1.0) / (nd - k - 1.0);

  const model::ModelFit record = ModelFitOf(fit);
  fit.MSY = record.MSY;
  fit.BMSY = record.BMSY;
  fit.FMSY = record.FMSY;
  fit.EMSY = record.EMSY;
  const double bLast = fit.Biomass[n - 1];
  fit.BLastOverBMSY = model::Divide(bLast, fit.BMSY, "расчёте B/BMSY");
  fit.FLastOverFMSY =
      model::Divide(model::Divide(s.C[n - 1], bLast, "расчёте F"), fit.FMSY, "расчёте F/FMSY");

  const double values[kAxes] = {x.r, x.K, x.p, x.phi};
  for (int i : problem.Free()) {
    const Axis& a = problem.AxisAt(i);
    if (values[i] <= a.Lo * (1.0 + kAtBoundTolerance) ||
        values[i] >= a.Hi * (1.0 - kAtBoundTolerance)) {
      fit.AtBounds.emplace_back(kAxisNames[i]);
    }
  }
  fit.Converged = converged;
  fit.Evaluations = problem.Evaluations();
  return fit;
}

ObservationErrorFit Finish(Problem& problem, const Candidate& best,
                           const ObservationErrorOptions& options) {
  if (!(best.Value < kInfeasiblePenalty)) {
    throw Error("Оценка невозможна (" + ModelText(problem.Kind()) +
                "): ни при каких r и K в пределах границ биомасса не остаётся положительной "
                "во все годы ряда; расширьте границы r и K");
  }
  return Describe(problem, problem.PointAt(best.Z), best.Converged, options);
}

}  // namespace

ObservationErrorFit FitObservationError(const data::CatchEffortSeries& series,
                                        ProductionModelKind kind,
                                        const ObservationErrorOptions& options) {
  Problem problem(series, kind, options);
  Candidate best;
  for (const Candidate& start : GridStarts(problem)) {
    const Candidate end = Descend(problem, start, kGridStep);
    if (end.Value < best.Value) best = end;
  }
  // A best run that ran out of restarts (while creeping along a long valley)
  // goes on from where it stopped.
  if (!best.Converged && best.Value < kInfeasiblePenalty) best = Descend(problem, best, kRefitStep);
  return Finish(problem, best, options);
}

std::array<ObservationErrorFit, 3> FitObservationErrorModels(
    const data::CatchEffortSeries& series, const ObservationErrorOptions& options) {
  return {FitObservationError(series, ProductionModelKind::Schaefer, options),
          FitObservationError(series, ProductionModelKind::Fox, options),
          FitObservationError(series, ProductionModelKind::PellaTomlinson, options)};
}

ObservationErrorFit RefitObservationError(const data::CatchEffortSeries& series,
                                          ProductionModelKind kind,
                                          const ObservationErrorOptions& options,
                                          const ObservationErrorPoint& start) {
  Problem problem(series, kind, options);
  Candidate from;
  from.Z = problem.CoordinatesOf(start);
  return Finish(problem, Descend(problem, from, kRefitStep), options);
}

ObservationErrorFit EvaluateObservationError(const data::CatchEffortSeries& series,
                                             ProductionModelKind kind,
                                             const ObservationErrorOptions& options,
                                             const ObservationErrorPoint& point) {
  Problem problem(series, kind, options);
  ObservationErrorPoint x = point;
  if (!options.EstimateB1) x.phi = 1.0;
  const bool pt = kind == ProductionModelKind::PellaTomlinson;
  for (const auto& [value, name] : {std::pair{x.r, "r"}, std::pair{x.K, "K"},
                                    std::pair{pt ? x.p : 1.0, "p"}, std::pair{x.phi, "B₁/K"}}) {
    if (!(value > 0.0) || !std::isfinite(value)) {
      throw Error(std::string("Модель ошибки наблюдения: параметр ") + name +
                  " должен быть положительным числом");
    }
  }
  return Describe(problem, x, false, options);
}

ObservationErrorPoint PointOf(const ObservationErrorFit& fit) {
  ObservationErrorPoint x;
  x.r = fit.R;
  x.K = fit.K;
  if (fit.Kind == ProductionModelKind::PellaTomlinson) x.p = fit.P;
  x.phi = fit.Phi;
  return x;
}

model::ModelFit ModelFitOf(const ObservationErrorFit& fit) {
  model::ModelFit record;
  record.Kind = fit.Kind;
  record.R = fit.R;
  record.K = fit.K;
  record.Q = fit.Q;
  record.Exponent = fit.P;
  model::ReferenceMsy(record);
  return record;
}

}  // namespace tarvik::estimation
