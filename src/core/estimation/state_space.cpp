#include "estimation/state_space.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <cstddef>
#include <exception>
#include <limits>
#include <nlopt.hpp>
#include <numbers>
#include <string>
#include <unsupported/Eigen/AutoDiff>
#include <vector>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/observation_error.h"
#include "model/model_fit.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;

// θ has at most 7 components; forward derivatives carry all of them.
constexpr int kMaxTheta = 7;
using Derivatives = Eigen::Matrix<double, kMaxTheta, 1>;
using Dual = Eigen::AutoDiffScalar<Derivatives>;

constexpr double kHalfLog2Pi = 0.91893853320467274178;  // ½ ln 2π
// The smooth floor: beyond ±kFloorSwitch (in units of ε) m̃ is m, or ε·e^{m/ε}.
constexpr double kFloorSwitch = 30.0;
// The inner Newton: iterations, and the step below which the mode is found.
constexpr int kInnerIterations = 100;
constexpr double kInnerStepTolerance = 1e-8;
// The outer optimiser: evaluations per start, relative tolerance of L.
constexpr int kOuterEvaluations = 3000;
constexpr double kOuterRelativeTolerance = 1e-10;
// The split σ_p/σ_o of the starts; the first goes with the observation-error
// fit as it is (nearly all its σ observation error).
constexpr double kStartRatios[] = {0.1, 0.5, 1.0, 2.0};
// σ of the observation-error fit below this is taken as this for the starts.
constexpr double kMinStartSigma = 0.02;
// Newton steps on L after the best start, and the relative step of the
// central differences of the gradient that give the Hessian of L.
constexpr int kPolishSteps = 6;
constexpr double kHessianStep = 1e-4;
// Wide bounds of the coordinates that the issue leaves free: they keep the
// optimiser's trials where the arithmetic holds.
constexpr double kMinR = 1e-4, kMaxR = 5.0;
constexpr double kMinSigma = 1e-4, kMaxSigma = 2.0;

inline double ValueOf(double x) { return x; }
inline double ValueOf(const Dual& x) { return x.value(); }
// exp, ln and ln(1 + x) of the program's own, so that a fit gives the same
// bits on every system; derivatives as Eigen's AutoDiff forms them.
inline double Exp(double x) { return elementary::Exp(x); }
template <class D>
Dual Exp(const Eigen::AutoDiffScalar<D>& x) {
  const double e = elementary::Exp(x.value());
  return Dual(e, x.derivatives() * e);
}
inline double Log(double x) { return elementary::Log(x); }
template <class D>
Dual Log(const Eigen::AutoDiffScalar<D>& x) {
  return Dual(elementary::Log(x.value()), x.derivatives() * (1.0 / x.value()));
}
inline double Log1p(double x) { return elementary::Log1p(x); }
inline Dual Log1p(const Dual& x) {
  return Dual(elementary::Log1p(x.value()), x.derivatives() / (1.0 + x.value()));
}

std::string Where(const data::CatchEffortSeries& s, std::size_t t) {
  if (s.FirstYear > 0) return "в " + std::to_string(s.FirstYear + t) + " году";
  return "в строке " + std::to_string(t + 1) + " ряда";
}

std::string ModelText(ProductionModelKind kind) {
  return "модель пространства состояний, модель " + model::ModelName(kind);
}

// The positions of the coordinates in θ.
struct Layout {
  int P = -1;    // ln p, Pella–Tomlinson
  int Phi = -1;  // ln φ, when estimated
  int Count = 5;
};

Layout LayoutOf(ProductionModelKind kind, bool estimateB1) {
  Layout l;
  if (kind == ProductionModelKind::PellaTomlinson) l.P = l.Count++;
  if (estimateB1) l.Phi = l.Count++;
  return l;
}

// θ on the log scale in scalar type T; the coordinates that are not
// estimated hold their fixed values (ln p unused but for Pella–Tomlinson).
template <class T>
struct Theta {
  T LogR, LogK, LogQ, LogSp, LogSo, LogP, LogPhi;
};

// ln m̃_t as a function of a = u_t, and its first two derivatives in a.
template <class T>
struct Transition {
  T H, Ha, Haa;
};

template <class T>
Transition<T> Step(ProductionModelKind kind, const T& a, const T& r, const T& p, const T& cOverK) {
  const T P = Exp(a);
  T g = T(0.0), g1 = T(0.0), g2 = T(0.0);  // g(P), g'(P), P²·g''(P) (no division: P may underflow)
  switch (kind) {
    case ProductionModelKind::Schaefer:
      g = r * P * (1.0 - P);
      g1 = r * (1.0 - 2.0 * P);
      g2 = -2.0 * r * P * P;
      break;
    case ProductionModelKind::Fox:
      g = r * P * (-a);
      g1 = -r * (a + 1.0);
      g2 = -r * P;
      break;
    case ProductionModelKind::PellaTomlinson: {
      const T Pp = Exp(p * a);
      g = r * P * (1.0 - Pp);
      g1 = r * (1.0 - (1.0 + p) * Pp);
      g2 = -r * p * (1.0 + p) * Pp * P;
      break;
    }
  }
  const T m = P + g - cOverK;
  const T m1 = P * (1.0 + g1);
  const T m2 = m1 + g2;
  const T x = m / kSmoothFloor;
  T L, Lm, Lmm;
  if (ValueOf(x) > kFloorSwitch) {
    L = Log(m);
    Lm = 1.0 / m;
    Lmm = -Lm * Lm;
  } else if (ValueOf(x) < -kFloorSwitch) {
    L = Log(kSmoothFloor) + x;
    Lm = T(1.0 / kSmoothFloor);
    Lmm = T(0.0);
  } else {
    const T e = Exp(x);
    const T s = e / (1.0 + e);
    const T smooth = kSmoothFloor * Log1p(e);
    L = Log(smooth);
    Lm = s / smooth;
    Lmm = s * (1.0 - s) / kSmoothFloor / smooth - Lm * Lm;
  }
  return {L, Lm * m1, Lmm * m1 * m1 + Lm * m2};
}

// J, ∂J/∂u and the tridiagonal ∂²J/∂u² (diagonal n + 1, off-diagonal n).
template <class T>
struct Joint {
  T J;
  std::vector<T> Grad, Diag, Off;
};

struct Data {
  ProductionModelKind Kind;
  data::CatchEffortSeries Years;  // FirstYear only, for the messages
  std::vector<double> LogI;
  std::vector<double> C;
  StateSpaceOptions Options;
};

template <class T>
void EvaluateJoint(const Data& d, const Theta<T>& th, const std::vector<T>& u, Joint<T>& out) {
  const std::size_t n = d.LogI.size();
  out.Grad.assign(n + 1, T(0.0));
  out.Diag.assign(n + 1, T(0.0));
  out.Off.assign(n, T(0.0));
  const T wp = Exp(-2.0 * th.LogSp);
  const T wo = Exp(-2.0 * th.LogSo);
  const T r = Exp(th.LogR);
  const T K = Exp(th.LogK);
  const T p = Exp(th.LogP);
  const T level = th.LogQ + th.LogK;
  const double count = static_cast<double>(2 * n + 1);
  T J = count * kHalfLog2Pi + static_cast<double>(n + 1) * th.LogSp +
        static_cast<double>(n) * th.LogSo;
  const T e0 = u[0] - th.LogPhi;
  J += 0.5 * e0 * e0 * wp;
  out.Grad[0] += e0 * wp;
  out.Diag[0] += wp;
  for (std::size_t t = 0; t < n; ++t) {
    const T eo = d.LogI[t] - level - u[t];
    J += 0.5 * eo * eo * wo;
    out.Grad[t] -= eo * wo;
    out.Diag[t] += wo;
    const Transition<T> s = Step<T>(d.Kind, u[t], r, p, T(d.C[t] / K));
    const T e = u[t + 1] - s.H;
    J += 0.5 * e * e * wp;
    out.Grad[t + 1] += e * wp;
    out.Grad[t] -= e * s.Ha * wp;
    out.Diag[t + 1] += wp;
    out.Diag[t] += wp * (s.Ha * s.Ha - e * s.Haa);
    out.Off[t] = -wp * s.Ha;
  }
  const double priorConstant = kHalfLog2Pi + Log(kWeakPriorSd);
  const T ratio = (th.LogSp - th.LogSo) / kWeakPriorSd;
  J += priorConstant + 0.5 * ratio * ratio;
  if (d.Kind == ProductionModelKind::PellaTomlinson) {
    const T z = th.LogP / kWeakPriorSd;
    J += priorConstant + 0.5 * z * z;
  }
  if (d.Options.SigmaPPrior) {
    const double s = d.Options.SigmaPLogSd;
    const T z = (th.LogSp - d.Options.SigmaPLogMean) / s;
    J += kHalfLog2Pi + Log(s) + 0.5 * z * z;
  }
  out.J = J;
}

// The tridiagonal LDLᵀ of (Diag, Off): pivots D and multipliers M; false
// when a pivot is not positive.
template <class T>
bool Factor(const std::vector<T>& diag, const std::vector<T>& off, std::vector<T>& D,
            std::vector<T>& M) {
  const std::size_t m = diag.size();
  D.resize(m);
  M.resize(m - 1);
  D[0] = diag[0];
  if (!(ValueOf(D[0]) > 0.0)) return false;
  for (std::size_t i = 0; i + 1 < m; ++i) {
    M[i] = off[i] / D[i];
    D[i + 1] = diag[i + 1] - M[i] * off[i];
    if (!(ValueOf(D[i + 1]) > 0.0) || !std::isfinite(ValueOf(D[i + 1]))) return false;
  }
  return true;
}

// Solves (L D Lᵀ) x = b in place.
template <class T>
void Solve(const std::vector<T>& D, const std::vector<T>& M, std::vector<T>& b) {
  const std::size_t m = D.size();
  for (std::size_t i = 1; i < m; ++i) b[i] -= M[i - 1] * b[i - 1];
  for (std::size_t i = 0; i < m; ++i) b[i] /= D[i];
  for (std::size_t i = m - 1; i-- > 0;) b[i] -= M[i] * b[i + 1];
}

template <class T>
T LogDet(const std::vector<T>& D) {
  T sum(0.0);
  for (const T& d : D) sum += Log(d);
  return sum;
}

// The parameters of the natural scale as θ (double), the fixed ones in place.
Theta<double> ThetaOf(const StateSpaceParameters& x, ProductionModelKind kind, bool estimateB1) {
  return {Log(x.r),
          Log(x.K),
          Log(x.q),
          Log(x.SigmaP),
          Log(x.SigmaO),
          kind == ProductionModelKind::PellaTomlinson ? Log(x.p) : 0.0,
          estimateB1 ? Log(x.phi) : 0.0};
}

class Problem {
 public:
  Problem(const data::CatchEffortSeries& series, ProductionModelKind kind,
          const StateSpaceOptions& options)
      : layout_(LayoutOf(kind, options.EstimateB1)) {
    CheckStateSpaceOptions(options);
    const std::size_t n = series.size();
    if (series.C.size() != n) {
      throw Error("Ряды улова и улова на усилие разной длины: " + std::to_string(series.C.size()) +
                  " и " + std::to_string(n));
    }
    for (std::size_t t = 0; t < n; ++t) {
      if (!(series.U[t] > 0.0) || !std::isfinite(series.U[t])) {
        throw Error(
            "Для модели пространства состояний улов на усилие должен быть положительным, а " +
            Where(series, t) +
            (std::isfinite(series.U[t]) ? " он равен " + FormatGeneral(series.U[t])
                                        : std::string(" он не задан числом")));
      }
      if (!std::isfinite(series.C[t])) throw Error("Улов " + Where(series, t) + " не задан числом");
    }
    if (static_cast<int>(n) < layout_.Count + 2) {
      throw Error("Ряд слишком короткий (" + ModelText(kind) + "): число лет " + std::to_string(n) +
                  " при " + std::to_string(layout_.Count) +
                  " оцениваемых параметрах, нужно не менее " + std::to_string(layout_.Count + 2));
    }
    data_.Kind = kind;
    data_.Years.FirstYear = series.FirstYear;
    data_.Options = options;
    data_.C = series.C;
    data_.LogI.resize(n);
    for (std::size_t t = 0; t < n; ++t) data_.LogI[t] = Log(series.U[t]);
  }

  const Layout& Lay() const { return layout_; }
  const Data& D() const { return data_; }
  std::size_t Years() const { return data_.LogI.size(); }
  std::uint64_t Evaluations() const { return evaluations_; }

  // θ (double) from the coordinates z (length Count).
  Theta<double> ThetaAt(const double* z) const {
    Theta<double> th{z[0], z[1], z[2], z[3], z[4], 0.0, 0.0};
    if (layout_.P >= 0) th.LogP = z[layout_.P];
    if (layout_.Phi >= 0) th.LogPhi = z[layout_.Phi];
    return th;
  }

  Theta<Dual> DualThetaAt(const double* z) const {
    auto unit = [&](int i) { return Dual(z[i], Derivatives::Unit(i)); };
    Theta<Dual> th{unit(0), unit(1), unit(2), unit(3), unit(4), Dual(0.0), Dual(0.0)};
    if (layout_.P >= 0) th.LogP = unit(layout_.P);
    if (layout_.Phi >= 0) th.LogPhi = unit(layout_.Phi);
    return th;
  }

  std::vector<double> Coordinates(const StateSpaceParameters& x) const {
    const Theta<double> th = ThetaOf(x, data_.Kind, layout_.Phi >= 0);
    std::vector<double> z = {th.LogR, th.LogK, th.LogQ, th.LogSp, th.LogSo};
    if (layout_.P >= 0) z.push_back(th.LogP);
    if (layout_.Phi >= 0) z.push_back(th.LogPhi);
    return z;
  }

  // A starting path: the CPUE scaled by q·K, and the mean of the last step.
  std::vector<double> StartPath(const Theta<double>& th) const {
    const std::size_t n = Years();
    std::vector<double> u(n + 1);
    for (std::size_t t = 0; t < n; ++t) {
      u[t] = std::clamp(data_.LogI[t] - th.LogQ - th.LogK, -10.0, 2.0);
    }
    const Transition<double> s = Step(data_.Kind, u[n - 1], Exp(th.LogR), Exp(th.LogP),
                                      data_.C[n - 1] / Exp(th.LogK));
    u[n] = std::isfinite(s.H) ? std::clamp(s.H, -10.0, 2.0) : u[n - 1];
    return u;
  }

  // The inner mode û at θ by damped Newton steps from `u` (replaced by the
  // mode). False when no mode is found.
  bool Mode(const Theta<double>& th, std::vector<double>& u) const {
    Joint<double> joint, trial;
    std::vector<double> D, M, step, v;
    EvaluateJoint(data_, th, u, joint);
    if (!std::isfinite(joint.J)) return false;
    for (int it = 0; it < kInnerIterations; ++it) {
      double damping = 0.0;
      std::vector<double> diag = joint.Diag;
      double scale = 0.0;
      for (double x : joint.Diag) scale = std::max(scale, std::fabs(x));
      while (!Factor(diag, joint.Off, D, M)) {
        damping = damping == 0.0 ? 1e-8 * (1.0 + scale) : 10.0 * damping;
        if (!(damping < 1e12 * (1.0 + scale))) return false;
        for (std::size_t i = 0; i < diag.size(); ++i) diag[i] = joint.Diag[i] + damping;
      }
      step = joint.Grad;
      Solve(D, M, step);
      double largest = 0.0, slope = 0.0;
      for (std::size_t i = 0; i < step.size(); ++i) {
        step[i] = -step[i];
        largest = std::max(largest, std::fabs(step[i]));
        slope += joint.Grad[i] * step[i];
      }
      if (!std::isfinite(largest)) return false;
      if (largest < kInnerStepTolerance && damping == 0.0) {
        for (std::size_t i = 0; i < u.size(); ++i) u[i] += step[i];
        return true;
      }
      double alpha = 1.0;
      bool moved = false;
      for (int half = 0; half < 30; ++half, alpha *= 0.5) {
        v = u;
        for (std::size_t i = 0; i < v.size(); ++i) v[i] += alpha * step[i];
        EvaluateJoint(data_, th, v, trial);
        if (std::isfinite(trial.J) && trial.J <= joint.J + 1e-4 * alpha * slope) {
          moved = true;
          break;
        }
      }
      if (!moved) {
        // Round-off: no lower value along the Newton direction.
        return damping == 0.0 && largest < 1e-6;
      }
      u.swap(v);
      joint.J = trial.J;
      joint.Grad.swap(trial.Grad);
      joint.Diag.swap(trial.Diag);
      joint.Off.swap(trial.Off);
    }
    return false;
  }

  // L at z, its gradient (Count elements), and the mode (warm start from
  // and back into `u`); with `modeDerivatives`, dû/dθ (row t: the Count
  // derivatives of û_t). False when L is not available at z.
  bool Laplace(const double* z, std::vector<double>& u, double& value, double* gradient,
               std::vector<Derivatives>* modeDerivatives = nullptr) {
    ++evaluations_;
    const Theta<double> th = ThetaAt(z);
    std::vector<double> mode = u.size() == Years() + 1 ? u : StartPath(th);
    if (!Mode(th, mode)) {
      mode = StartPath(th);
      if (!Mode(th, mode)) return false;
    }
    Joint<double> joint;
    EvaluateJoint(data_, th, mode, joint);
    std::vector<double> D, M;
    if (!Factor(joint.Diag, joint.Off, D, M)) return false;
    const double n1 = static_cast<double>(Years() + 1);
    value = joint.J + 0.5 * LogDet(D) - n1 * kHalfLog2Pi;
    if (!std::isfinite(value)) return false;
    u = mode;
    if (gradient == nullptr && modeDerivatives == nullptr) return true;
    // One Newton step in forward derivatives: its derivative part is dû/dθ.
    const Theta<Dual> dth = DualThetaAt(z);
    std::vector<Dual> du(mode.begin(), mode.end());
    Joint<Dual> dj;
    EvaluateJoint(data_, dth, du, dj);
    std::vector<Dual> dD, dM;
    if (!Factor(dj.Diag, dj.Off, dD, dM)) return false;
    std::vector<Dual> shift = dj.Grad;
    Solve(dD, dM, shift);
    for (std::size_t i = 0; i < du.size(); ++i) du[i] = Dual(mode[i]) - shift[i];
    EvaluateJoint(data_, dth, du, dj);
    if (!Factor(dj.Diag, dj.Off, dD, dM)) return false;
    const Dual total = dj.J + 0.5 * LogDet(dD);
    for (int i = 0; gradient != nullptr && i < layout_.Count; ++i) {
      gradient[i] = total.derivatives()[i];
      if (!std::isfinite(gradient[i])) return false;
    }
    if (modeDerivatives != nullptr) {
      modeDerivatives->resize(du.size());
      for (std::size_t i = 0; i < du.size(); ++i) (*modeDerivatives)[i] = du[i].derivatives();
    }
    return true;
  }

  // The diagonal and off-diagonal of H at (θ, u) and its factors.
  bool Factors(const double* z, const std::vector<double>& u, std::vector<double>& D,
               std::vector<double>& M) const {
    Joint<double> joint;
    EvaluateJoint(data_, ThetaAt(z), u, joint);
    return Factor(joint.Diag, joint.Off, D, M);
  }

  void Bounds(std::vector<double>& lower, std::vector<double>& upper) const {
    double maxCatch = 0.0;
    for (double c : data_.C) maxCatch = std::max(maxCatch, c);
    if (!(maxCatch > 0.0)) maxCatch = 1.0;
    double meanLogI = 0.0;
    for (double y : data_.LogI) meanLogI += y;
    meanLogI /= static_cast<double>(Years());
    const double loK = Log(maxCatch) - Log(100.0);
    const double hiK = Log(maxCatch) + Log(1e6);
    lower = {Log(kMinR), loK, meanLogI - hiK - 10.0, Log(kMinSigma), Log(kMinSigma)};
    upper = {Log(kMaxR), hiK, meanLogI - loK + 10.0, Log(kMaxSigma), Log(kMaxSigma)};
    if (layout_.P >= 0) {
      lower.push_back(Log(kStateSpaceMinP));
      upper.push_back(Log(kStateSpaceMaxP));
    }
    if (layout_.Phi >= 0) {
      lower.push_back(Log(kStateSpaceMinB1OverK));
      upper.push_back(Log(kStateSpaceMaxB1OverK));
    }
  }

 private:
  Layout layout_;
  Data data_;
  std::uint64_t evaluations_ = 0;
};

// The end of one start.
struct Candidate {
  std::vector<double> Z;
  std::vector<double> Mode;
  double Value = std::numeric_limits<double>::infinity();
  bool ByTolerance = false;
};

struct OuterRun {
  Problem* P = nullptr;
  std::vector<double> Mode;
  Candidate Best;
};

double OuterObjective(unsigned n, const double* x, double* gradient, void* data) {
  auto* run = static_cast<OuterRun*>(data);
  std::vector<double> mode = run->Mode;
  double value = 0.0;
  if (!run->P->Laplace(x, mode, value, gradient)) {
    // Not available here: a large value that sends the line search back.
    if (gradient != nullptr) std::fill(gradient, gradient + n, 0.0);
    return 1e10 + std::fabs(run->Best.Value);
  }
  run->Mode = mode;
  if (value < run->Best.Value) {
    run->Best.Z.assign(x, x + n);
    run->Best.Mode = mode;
    run->Best.Value = value;
  }
  return value;
}

Candidate Descend(Problem& problem, const std::vector<double>& start) {
  std::vector<double> lower, upper;
  problem.Bounds(lower, upper);
  std::vector<double> x(start.size());
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::clamp(start[i], lower[i], upper[i]);
  OuterRun run;
  run.P = &problem;
  bool byTolerance = false;
  try {
    nlopt::opt opt(nlopt::LD_LBFGS, static_cast<unsigned>(x.size()));
    opt.set_lower_bounds(lower);
    opt.set_upper_bounds(upper);
    opt.set_min_objective(OuterObjective, &run);
    opt.set_ftol_rel(kOuterRelativeTolerance);
    opt.set_xtol_rel(1e-8);
    opt.set_maxeval(kOuterEvaluations);
    double value = 0.0;
    const nlopt::result result = opt.optimize(x, value);
    byTolerance = result == nlopt::XTOL_REACHED || result == nlopt::FTOL_REACHED ||
                  result == nlopt::SUCCESS;
  } catch (const nlopt::roundoff_limited&) {
    byTolerance = true;
  } catch (const std::exception&) {
    // Any other stop: the best point seen counts.
  }
  run.Best.ByTolerance = byTolerance;
  return run.Best;
}

// The Hessian of L at z by central differences of the exact gradient,
// symmetrised; false when a gradient is not available.
bool HessianAt(Problem& problem, const std::vector<double>& z, const std::vector<double>& mode,
               Eigen::MatrixXd& hessian) {
  const int k = static_cast<int>(z.size());
  hessian.resize(k, k);
  std::vector<double> plus(k), minus(k);
  for (int i = 0; i < k; ++i) {
    const double h = kHessianStep * std::max(1.0, std::fabs(z[i]));
    std::vector<double> zi = z;
    std::vector<double> u = mode;
    double value = 0.0;
    zi[i] = z[i] + h;
    if (!problem.Laplace(zi.data(), u, value, plus.data())) return false;
    u = mode;
    zi[i] = z[i] - h;
    if (!problem.Laplace(zi.data(), u, value, minus.data())) return false;
    for (int j = 0; j < k; ++j) hessian(j, i) = (plus[j] - minus[j]) / (2.0 * h);
  }
  hessian = (0.5 * (hessian + hessian.transpose())).eval();
  return hessian.allFinite();
}

bool PositiveDefinite(const Eigen::MatrixXd& h) {
  if (!h.allFinite()) return false;
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(h, Eigen::EigenvaluesOnly);
  return eigen.info() == Eigen::Success && eigen.eigenvalues().minCoeff() > 0.0;
}

double MaxAbs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// Newton steps on L from the best start while they lower L.
void Polish(Problem& problem, Candidate& best) {
  std::vector<double> lower, upper;
  problem.Bounds(lower, upper);
  const std::size_t k = best.Z.size();
  std::vector<double> gradient(k);
  double value = 0.0;
  std::vector<double> mode = best.Mode;
  if (!problem.Laplace(best.Z.data(), mode, value, gradient.data())) return;
  // One Hessian serves every step: near the optimum the steps converge fast
  // enough with it.
  Eigen::MatrixXd h;
  if (!(MaxAbs(gradient) > 1e-9) || !HessianAt(problem, best.Z, best.Mode, h) ||
      !PositiveDefinite(h)) {
    return;
  }
  const Eigen::LLT<Eigen::MatrixXd> factors(h);
  for (int step = 0; step < kPolishSteps && MaxAbs(gradient) > 1e-9; ++step) {
    const Eigen::VectorXd g = Eigen::Map<const Eigen::VectorXd>(gradient.data(), k);
    const Eigen::VectorXd delta = factors.solve(-g);
    std::vector<double> z = best.Z;
    for (std::size_t i = 0; i < k; ++i) z[i] = std::clamp(z[i] + delta(i), lower[i], upper[i]);
    std::vector<double> u = best.Mode, trialGradient(k);
    double trial = 0.0;
    if (!problem.Laplace(z.data(), u, trial, trialGradient.data())) return;
    if (!(trial <= value + 1e-12 * std::fabs(value)) ||
        !(MaxAbs(trialGradient) < MaxAbs(gradient))) {
      return;
    }
    best.Z = z;
    best.Mode = u;
    best.Value = trial;
    value = trial;
    gradient = trialGradient;
  }
}

StateSpaceEstimate EstimateOf(double logValue, double variance, bool available, double z) {
  StateSpaceEstimate e;
  e.Value = Exp(logValue);
  if (available && variance >= 0.0 && std::isfinite(variance)) {
    e.HasSe = true;
    e.SeLog = std::sqrt(variance);
    e.Lower = Exp(logValue - z * e.SeLog);
    e.Upper = Exp(logValue + z * e.SeLog);
    if (!std::isfinite(e.Lower) || !std::isfinite(e.Upper)) e = StateSpaceEstimate{e.Value};
  }
  return e;
}

StateSpaceEstimate FixedEstimate(double value) { return StateSpaceEstimate{value}; }

// ln BMSY and ln FMSY of the kind as functions of ln r, ln K, ln p.
template <class T>
void MsyLogs(ProductionModelKind kind, const Theta<T>& th, T& logB, T& logF) {
  switch (kind) {
    case ProductionModelKind::Schaefer:
      logB = th.LogK - std::numbers::ln2;
      logF = th.LogR - std::numbers::ln2;
      break;
    case ProductionModelKind::Fox:
      logB = th.LogK - 1.0;
      logF = th.LogR;
      break;
    case ProductionModelKind::PellaTomlinson: {
      const T p = Exp(th.LogP);
      const T log1pp = Log(1.0 + p);
      logB = th.LogK - log1pp / p;
      logF = th.LogR + th.LogP - log1pp;
      break;
    }
  }
}

StateSpaceFit Describe(Problem& problem, const Candidate& best, bool byTolerance,
                       const StateSpaceOptions& options, const std::vector<double>& starts) {
  const Layout& lay = problem.Lay();
  const Data& d = problem.D();
  const std::size_t n = problem.Years();
  const int k = lay.Count;
  StateSpaceFit fit;
  fit.Kind = d.Kind;
  fit.EstimateB1 = options.EstimateB1;
  fit.Level = options.Level;
  fit.SigmaPPrior = options.SigmaPPrior;
  if (options.SigmaPPrior) {
    fit.SigmaPLogMean = options.SigmaPLogMean;
    fit.SigmaPLogSd = options.SigmaPLogSd;
  }
  fit.N = static_cast<int>(n);
  fit.ParameterCount = k;
  fit.Theta = best.Z;
  fit.StartObjectives = starts;

  std::vector<double> mode = best.Mode;
  std::vector<double> gradient(k);
  std::vector<Derivatives> modeDerivatives;
  double value = 0.0;
  if (!problem.Laplace(best.Z.data(), mode, value, gradient.data(), &modeDerivatives)) {
    throw Error("Оценка невозможна (" + ModelText(d.Kind) +
                "): целевая функция не вычисляется в найденной точке");
  }
  fit.Objective = value;
  fit.MaxGradient = MaxAbs(gradient);
  Eigen::MatrixXd hessian;
  const bool haveHessian = HessianAt(problem, best.Z, mode, hessian);
  fit.HessianPositiveDefinite = haveHessian && PositiveDefinite(hessian);
  if (haveHessian) fit.Hessian.assign(hessian.data(), hessian.data() + k * k);
  fit.Converged = byTolerance && fit.MaxGradient < kStateSpaceGradientTolerance &&
                  fit.HessianPositiveDefinite;
  const bool se = fit.HessianPositiveDefinite;
  Eigen::MatrixXd cov = Eigen::MatrixXd::Zero(k, k);
  if (se) cov = hessian.llt().solve(Eigen::MatrixXd::Identity(k, k));

  const double z = boost::math::quantile(boost::math::normal(), 0.5 + 0.5 * options.Level);
  const Theta<double> th = problem.ThetaAt(best.Z.data());
  // Var of a function of θ alone with gradient g (Count elements).
  auto thetaVariance = [&](const Eigen::VectorXd& g) { return g.dot(cov * g); };
  auto unit = [&](int i) {
    Eigen::VectorXd g = Eigen::VectorXd::Zero(k);
    g(i) = 1.0;
    return g;
  };
  fit.R = EstimateOf(th.LogR, cov(0, 0), se, z);
  fit.K = EstimateOf(th.LogK, cov(1, 1), se, z);
  fit.Q = EstimateOf(th.LogQ, cov(2, 2), se, z);
  fit.SigmaP = EstimateOf(th.LogSp, cov(3, 3), se, z);
  fit.SigmaO = EstimateOf(th.LogSo, cov(4, 4), se, z);
  fit.P = lay.P >= 0 ? EstimateOf(th.LogP, cov(lay.P, lay.P), se, z) : FixedEstimate(0.0);
  fit.Phi = lay.Phi >= 0 ? EstimateOf(th.LogPhi, cov(lay.Phi, lay.Phi), se, z) : FixedEstimate(1.0);

  const Theta<Dual> dth = problem.DualThetaAt(best.Z.data());
  Dual logB, logF;
  MsyLogs(d.Kind, dth, logB, logF);
  const Eigen::VectorXd gB = logB.derivatives().head(k);
  const Eigen::VectorXd gF = logF.derivatives().head(k);
  fit.BMSY = EstimateOf(logB.value(), thetaVariance(gB), se, z);
  fit.FMSY = EstimateOf(logF.value(), thetaVariance(gF), se, z);
  fit.MSY = EstimateOf(logB.value() + logF.value(), thetaVariance(gB + gF), se, z);
  {
    // The model's own reference points: the same values by its formulas.
    model::ModelFit record;
    record.Kind = d.Kind;
    record.R = fit.R.Value;
    record.K = fit.K.Value;
    record.Q = fit.Q.Value;
    record.Exponent = lay.P >= 0 ? fit.P.Value : 0.0;
    const model::MsyPoint msy = model::MsyPointOf(record);
    fit.BMSY.Value = msy.BMSY;
    fit.MSY.Value = msy.MSY;
    fit.FMSY.Value = msy.FMSY;
  }

  // (H⁻¹)_{ts}: column s of the inverse of the tridiagonal H at û.
  std::vector<double> D, M;
  const bool innerFactors = problem.Factors(best.Z.data(), mode, D, M);
  auto inverseColumn = [&](std::size_t s) {
    std::vector<double> e(n + 1, 0.0);
    e[s] = 1.0;
    if (innerFactors) Solve(D, M, e);
    return e;
  };
  auto dMode = [&](std::size_t t) {
    return Eigen::VectorXd(modeDerivatives[t].head(k));
  };
  // ln B_t = ln K + u_t.
  fit.Biomass.resize(n + 1);
  for (std::size_t t = 0; t <= n; ++t) {
    const Eigen::VectorXd g = unit(1) + dMode(t);
    const double var = thetaVariance(g) + inverseColumn(t)[t];
    fit.Biomass[t] = EstimateOf(th.LogK + mode[t], var, se && innerFactors, z);
  }
  fit.BNext = fit.Biomass[n];
  fit.IndexP = lay.P;
  fit.IndexPhi = lay.Phi;
  if (se && innerFactors) {
    const int m = k + 2;
    Eigen::MatrixXd joint = Eigen::MatrixXd::Zero(m, m);
    joint.topLeftCorner(k, k) = cov;
    const std::size_t states[2] = {n - 1, n};
    for (int a = 0; a < 2; ++a) {
      const Eigen::VectorXd da = dMode(states[a]);
      const Eigen::VectorXd across = cov * da;
      joint.block(0, k + a, k, 1) = across;
      joint.block(k + a, 0, 1, k) = across.transpose();
      const std::vector<double> column = inverseColumn(states[a]);
      for (int b = 0; b < 2; ++b) {
        joint(k + a, k + b) = da.dot(cov * dMode(states[b])) + column[states[b]];
      }
    }
    fit.JointMean = best.Z;
    fit.JointMean.push_back(mode[n - 1]);
    fit.JointMean.push_back(mode[n]);
    fit.JointCovariance.resize(static_cast<std::size_t>(m) * m);
    for (int i = 0; i < m; ++i) {
      for (int j = 0; j < m; ++j) fit.JointCovariance[static_cast<std::size_t>(i) * m + j] = joint(i, j);
    }
  }
  {
    const std::vector<double> column = inverseColumn(n);
    const Eigen::VectorXd g = unit(1) + dMode(n) - gB;
    fit.BNextOverBMSY = EstimateOf(th.LogK + mode[n] - logB.value(),
                                   thetaVariance(g) + column[n], se && innerFactors, z);
    fit.BNextOverBMSY.Value = fit.BNext.Value / fit.BMSY.Value;
  }
  {
    // ln F_n/FMSY = ln C_n − ln K − u_n − ln FMSY.
    const std::vector<double> column = inverseColumn(n - 1);
    const double cLast = d.C[n - 1];
    const Eigen::VectorXd g = -unit(1) - dMode(n - 1) - gF;
    if (cLast > 0.0) {
      fit.FLastOverFMSY = EstimateOf(Log(cLast) - th.LogK - mode[n - 1] - logF.value(),
                                     thetaVariance(g) + column[n - 1], se && innerFactors, z);
      fit.FLastOverFMSY.Value = cLast / fit.Biomass[n - 1].Value / fit.FMSY.Value;
    } else {
      fit.FLastOverFMSY = FixedEstimate(0.0);
    }
  }

  // One-step-ahead residuals: the extended Kalman filter at θ̂.
  {
    const double sp2 = Exp(2.0 * th.LogSp), so2 = Exp(2.0 * th.LogSo);
    const double r = Exp(th.LogR), K = Exp(th.LogK), p = Exp(th.LogP);
    double a = th.LogPhi, P = sp2;
    fit.OsaResiduals.resize(n);
    for (std::size_t t = 0; t < n; ++t) {
      const double innovation = d.LogI[t] - th.LogQ - th.LogK - a;
      const double S = P + so2;
      fit.OsaResiduals[t] = innovation / std::sqrt(S);
      a += P / S * innovation;
      P -= P * P / S;
      const Transition<double> s = Step(d.Kind, a, r, p, d.C[t] / K);
      a = s.H;
      P = s.Ha * s.Ha * P + sp2;
      if (!std::isfinite(fit.OsaResiduals[t]) || !std::isfinite(a) || !std::isfinite(P)) {
        throw Error("Остатки на шаг вперёд не вычисляются (" + ModelText(d.Kind) + ") " +
                    Where(d.Years, t));
      }
    }
    fit.Runs = diagnostics::RunsTestOfSigns(fit.OsaResiduals);
    fit.Normality = diagnostics::ShapiroWilkTest(fit.OsaResiduals);
    fit.Autocorrelation = diagnostics::LjungBoxTest(fit.OsaResiduals);
  }
  fit.Evaluations = problem.Evaluations();
  return fit;
}

// The observation-error fit of the kind that gives the starts, or a plain
// guess when it fails.
StateSpaceParameters ObservationErrorStart(const data::CatchEffortSeries& series,
                                           ProductionModelKind kind,
                                           const StateSpaceOptions& options) {
  ObservationErrorOptions o;
  o.EstimateB1 = options.EstimateB1;
  o.Bounds = options.StartBounds;
  double maxCatch = 0.0;
  for (double c : series.C) maxCatch = std::max(maxCatch, c);
  if (!(o.Bounds.MaxK > 0.0)) {
    o.Bounds.MinR = 0.0;
    o.Bounds.MaxR = 1.0;
    o.Bounds.MinK = maxCatch;
    o.Bounds.MaxK = 100.0 * std::max(maxCatch, 1.0);
  }
  o.Bounds.MinP = kStateSpaceMinP;
  o.Bounds.MaxP = kStateSpaceMaxP;
  StateSpaceParameters x;
  try {
    const ObservationErrorFit f = FitObservationError(series, kind, o);
    x = {f.R, f.K, f.Q, 0.0, f.Sigma, kind == ProductionModelKind::PellaTomlinson ? f.P : 2.0,
         f.Phi};
  } catch (const Error&) {
    x.r = 0.3;
    x.K = 4.0 * std::max(maxCatch, 1.0);
    double meanLogU = 0.0;
    for (double u : series.U) meanLogU += Log(u);
    x.q = Exp(meanLogU / static_cast<double>(series.size())) / x.K;
    x.SigmaO = 0.3;
  }
  x.SigmaO = std::max(x.SigmaO, kMinStartSigma);
  return x;
}

}  // namespace

void CheckStateSpaceOptions(const StateSpaceOptions& o) {
  if (o.Level != 0.90 && o.Level != 0.95) {
    throw Error("Модель пространства состояний: уровень интервалов должен быть 90 % или 95 %, "
                "задано " +
                FormatGeneral(100.0 * o.Level) + " %");
  }
  if (o.SigmaPPrior) {
    if (!std::isfinite(o.SigmaPLogMean)) {
      throw Error("Априорное распределение σ_p: среднее ln σ_p должно быть числом");
    }
    if (!(o.SigmaPLogSd > 0.0) || !std::isfinite(o.SigmaPLogSd)) {
      throw Error("Априорное распределение σ_p: разброс ln σ_p должен быть положительным числом");
    }
  }
}

StateSpaceFit FitStateSpace(const data::CatchEffortSeries& series, ProductionModelKind kind,
                            const StateSpaceOptions& options) {
  Problem problem(series, kind, options);
  const StateSpaceParameters oe = ObservationErrorStart(series, kind, options);
  Candidate best;
  bool byTolerance = false;
  std::vector<double> starts;
  for (double ratio : kStartRatios) {
    StateSpaceParameters x = oe;
    const double total = x.SigmaO;
    x.SigmaO = total / std::sqrt(1.0 + ratio * ratio);
    x.SigmaP = ratio * x.SigmaO;
    const Candidate end = Descend(problem, problem.Coordinates(x));
    starts.push_back(end.Value);
    if (end.Value < best.Value) {
      best = end;
      byTolerance = end.ByTolerance;
    }
  }
  if (!std::isfinite(best.Value)) {
    throw Error("Оценка невозможна (" + ModelText(kind) +
                "): целевая функция не вычисляется ни из одной начальной точки");
  }
  Polish(problem, best);
  return Describe(problem, best, byTolerance, options, starts);
}

std::array<StateSpaceFit, 3> FitStateSpaceModels(const data::CatchEffortSeries& series,
                                                 const StateSpaceOptions& options) {
  return {FitStateSpace(series, ProductionModelKind::Schaefer, options),
          FitStateSpace(series, ProductionModelKind::Fox, options),
          FitStateSpace(series, ProductionModelKind::PellaTomlinson, options)};
}

double StateSpaceJointNll(const data::CatchEffortSeries& series, ProductionModelKind kind,
                          const StateSpaceOptions& options, const StateSpaceParameters& x,
                          const std::vector<double>& u) {
  Problem problem(series, kind, options);
  if (u.size() != series.size() + 1) {
    throw Error("Модель пространства состояний: нужно " + std::to_string(series.size() + 1) +
                " значений ln(B/K), задано " + std::to_string(u.size()));
  }
  Joint<double> joint;
  EvaluateJoint(problem.D(), ThetaOf(x, kind, options.EstimateB1), u, joint);
  return joint.J;
}

StateSpaceLaplace EvaluateStateSpace(const data::CatchEffortSeries& series,
                                     ProductionModelKind kind, const StateSpaceOptions& options,
                                     const StateSpaceParameters& x) {
  Problem problem(series, kind, options);
  const std::vector<double> z = problem.Coordinates(x);
  StateSpaceLaplace result;
  result.Gradient.resize(z.size());
  if (!problem.Laplace(z.data(), result.Mode, result.Objective, result.Gradient.data())) {
    throw Error("Модель пространства состояний: целевая функция не вычисляется (" +
                ModelText(kind) + ")");
  }
  return result;
}

}  // namespace tarvik::estimation
