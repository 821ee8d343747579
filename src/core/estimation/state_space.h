#pragma once

// The state-space surplus-production estimator: the biomass follows the
// model's yearly balance with process error, the CPUE observes it with
// observation error, and the fit maximises the marginal likelihood of the
// CPUE by the Laplace approximation.
//
// The model. Years t = 1..n of the series, catch C_t and CPUE I_t = U_t.
// Random effects u_t = ln(B_t/K), t = 1..n+1 (n+1: the start of the year
// after the last). With P = e^u and the production per unit K of the kind
//   Schaefer g = r·P·(1 − P),  Fox g = r·P·(−ln P),  Pella–Tomlinson g = r·P·(1 − P^p)
// (model::SurplusProduction divided by K):
//   u₁ ~ N(ln φ, σ_p²),
//   m_t = P_t + g(P_t) − C_t/K,  m̃_t = ε·ln(1 + e^{m_t/ε}) (m_t itself when
//   m_t/ε > 30), ε = kSmoothFloor,  u_{t+1} ~ N(ln m̃_t, σ_p²),  t = 1..n,
//   ln I_t ~ N(ln q + ln K + u_t, σ_o²),  t = 1..n.
// The smooth floor keeps a path that the catch would drive below zero
// finite: m̃ stays positive (for m_t/ε < −30 ln m̃ is taken as ln ε + m_t/ε,
// its value to 1e-13). Weak priors, always on, as full normal log
// densities: ln(σ_p/σ_o) ~ N(0, 2²), and for Pella–Tomlinson ln p ~ N(0, 2²);
// optionally a stated prior ln σ_p ~ N(μ, s²).
//
// The fixed effects θ (in this order): ln r, ln K, ln q, ln σ_p, ln σ_o, and
// ln p (Pella–Tomlinson), ln φ (when B₁/K is estimated; otherwise φ = 1).
// The objective is the Laplace approximation of the marginal negative
// log-likelihood, every normal constant included:
//   L(θ) = J(û, θ) + ½ ln det H(θ) − ((n+1)/2) ln 2π,
// J the joint negative log density (priors included), û its minimum over u
// and H = ∂²J/∂u² at û, tridiagonal: the inner problem is solved by Newton's
// method with a tridiagonal LDLᵀ factorisation (O(n)). The gradient of L is
// exact: the derivatives of J in u are analytic, their dependence on θ and
// the dependence of û on θ (dû/dθ = −H⁻¹ ∂²J/∂u∂θ) are carried by forward
// automatic differentiation. L is minimised by NLopt's L-BFGS from several
// starts (the observation-error fit of the kind, and several splits of its
// σ between σ_p and σ_o), and the best end is polished by Newton steps on
// the Hessian of L (central differences of the exact gradient).
//
// Intervals: the covariance of θ is the inverse Hessian of L; a quantity x
// that depends on u as well has Var(ln x) = G Σ Gᵀ + D H⁻¹ Dᵀ (G its total
// derivative in θ, D its derivative in u), the generalised delta method of
// TMB's sdreport; the interval is exp(ln x ± z·SE).
//
// One-step-ahead residuals of ln I_t: the standardised innovations of the
// extended Kalman filter of the model at θ̂.
//
// Every function is a pure function of its arguments (single-threaded, no
// random numbers), so the same input gives the same bits.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "diagnostics/residual_tests.h"
#include "estimation/search_engine.h"
#include "model/kinds.h"

namespace tarvik::estimation {

// ε of the smooth floor of m_t.
inline constexpr double kSmoothFloor = 0.001;
// The bounds of p and φ = B₁/K.
inline constexpr double kStateSpaceMinP = 0.1;
inline constexpr double kStateSpaceMaxP = 10.0;
inline constexpr double kStateSpaceMinB1OverK = 0.05;
inline constexpr double kStateSpaceMaxB1OverK = 2.0;
// The spread (log scale) of the weak priors on ln(σ_p/σ_o) and ln p.
inline constexpr double kWeakPriorSd = 2.0;
// A fit whose largest gradient component of L is above this is not converged.
inline constexpr double kStateSpaceGradientTolerance = 1e-3;

struct StateSpaceOptions {
  // «B₁/K оценивается»: φ is estimated within kStateSpaceMinB1OverK …
  // kStateSpaceMaxB1OverK; otherwise φ = 1.
  bool EstimateB1 = false;
  // The level of the intervals: 0.90 or 0.95.
  double Level = 0.90;
  // The stated prior ln σ_p ~ N(SigmaPLogMean, SigmaPLogSd²), off by default.
  bool SigmaPPrior = false;
  double SigmaPLogMean = -2.302585092994046;  // ln 0.1
  double SigmaPLogSd = 1.0;
  // The bounds of r and K of the observation-error fit that gives the first
  // start (MaxK = 0: r 0 … 1, K from the largest catch to 100 times it, as
  // the estimation page starts).
  ParameterBounds StartBounds;
};

// Raises tarvik::Error (in Russian, naming the setting) for a level other
// than 0.90 or 0.95 and for a stated prior whose mean is not finite or whose
// spread is not a positive finite number.
void CheckStateSpaceOptions(const StateSpaceOptions& options);

// The parameters of the model on their natural scale.
struct StateSpaceParameters {
  double r = 0.0;
  double K = 0.0;
  double q = 0.0;
  double SigmaP = 0.0;
  double SigmaO = 0.0;
  double p = 2.0;    // read for Pella–Tomlinson only
  double phi = 1.0;  // read when B₁/K is estimated only
};

// An estimate with its standard error on the log scale and its interval
// exp(ln x ± z·SE). A value that is not estimated (p of Schaefer and Fox, φ
// when fixed) or whose SE is not available (the Hessian of L is not positive
// definite) has HasSe false, SeLog, Lower and Upper 0.
struct StateSpaceEstimate {
  double Value = 0.0;
  bool HasSe = false;
  double SeLog = 0.0;
  double Lower = 0.0;
  double Upper = 0.0;
};

// The fit of one kind. Series are indexed as the series is: element t
// belongs to year FirstYear + t; Biomass has n + 1 elements.
struct StateSpaceFit {
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  bool EstimateB1 = false;
  double Level = 0.90;
  // The stated prior on ln σ_p it was fitted with (StateSpaceOptions).
  bool SigmaPPrior = false;
  double SigmaPLogMean = 0.0;
  double SigmaPLogSd = 0.0;
  StateSpaceEstimate R, K, Q, P, Phi, SigmaP, SigmaO;
  StateSpaceEstimate MSY, BMSY, FMSY;
  StateSpaceEstimate BNext;          // B_{n+1} = K·e^{u_{n+1}}
  StateSpaceEstimate BNextOverBMSY;  // B_{n+1}/BMSY
  StateSpaceEstimate FLastOverFMSY;  // F_n/FMSY, F_n = C_n/B_n
  double Objective = 0.0;            // L(θ̂)
  int N = 0;                         // years of the series
  int ParameterCount = 0;            // the length of θ
  bool Converged = false;            // the optimiser stopped by its tolerance, gradient small
  double MaxGradient = 0.0;          // max |∂L/∂θ_i| at θ̂
  bool HessianPositiveDefinite = false;
  // θ̂ and the Hessian of L there (row-major ParameterCount²).
  std::vector<double> Theta;
  std::vector<double> Hessian;
  // The objective at the end of each start, in the order of the starts.
  std::vector<double> StartObjectives;
  // The biomass B_t = K·e^{û_t}, t = 1..n+1, with the SE of ln B_t (0 when
  // not available) and its interval.
  std::vector<StateSpaceEstimate> Biomass;
  // The normal approximation of (θ, u_n, u_{n+1}) together, from which
  // draws are made: θ̂, û_n, û_{n+1} and their covariance (row-major,
  // (ParameterCount + 2)²): Σ_θ = H_θ⁻¹ for θ, Σ_θ·dû/dθ across, and
  // dû_s/dθ·Σ_θ·dû_t/dθ + (H_uu⁻¹)_st for the states. Both empty when the
  // Hessian is not positive definite. θ's order: ln r, ln K, ln q, ln σ_p,
  // ln σ_o, then ln p at IndexP and ln φ at IndexPhi (−1 when not estimated).
  std::vector<double> JointMean;
  std::vector<double> JointCovariance;
  int IndexP = -1;
  int IndexPhi = -1;
  // One-step-ahead residuals of ln I_t (standardised) and their tests.
  std::vector<double> OsaResiduals;
  diagnostics::RunsTest Runs;
  diagnostics::ShapiroWilk Normality;
  diagnostics::LjungBox Autocorrelation;
  std::uint64_t Evaluations = 0;  // evaluations of L
};

// The fit of one kind, the best of the starts. Raises tarvik::Error for
// options CheckStateSpaceOptions refuses, a series whose CPUE is not
// positive or whose catch is not finite or negative (naming the year), a
// series shorter than ParameterCount + 2 years, and when no start gives a
// finite objective.
StateSpaceFit FitStateSpace(const data::CatchEffortSeries& series,
                            model::ProductionModelKind kind, const StateSpaceOptions& options);

// FitStateSpace for Schaefer, Fox and Pella–Tomlinson, indexed by kind.
std::array<StateSpaceFit, 3> FitStateSpaceModels(const data::CatchEffortSeries& series,
                                                 const StateSpaceOptions& options);

// The joint negative log density J(u, θ) (priors included), u of n + 1
// elements.
double StateSpaceJointNll(const data::CatchEffortSeries& series, model::ProductionModelKind kind,
                          const StateSpaceOptions& options, const StateSpaceParameters& x,
                          const std::vector<double>& u);

// L at x, its gradient in θ (the order above), and the inner mode û. Raises
// tarvik::Error when the inner problem has no mode the arithmetic can give.
struct StateSpaceLaplace {
  double Objective = 0.0;
  std::vector<double> Gradient;
  std::vector<double> Mode;
};
StateSpaceLaplace EvaluateStateSpace(const data::CatchEffortSeries& series,
                                     model::ProductionModelKind kind,
                                     const StateSpaceOptions& options,
                                     const StateSpaceParameters& x);

}  // namespace tarvik::estimation
