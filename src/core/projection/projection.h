#pragma once

// The projection engine: the fitted surplus-production model of one variant
// run forward year by year under one harvest control rule, in CPUE space,
// optionally with process error drawn from the shared random source.

#include <cstdint>
#include <span>
#include <vector>

#include "data/catch_effort_series.h"
#include "model/model_fit.h"
#include "model/random.h"
#include "rules/harvest_rule.h"

namespace tarvik::projection {

// One trajectory; index i = 0 is the first year after the last data year.
struct ProjectionResult {
  std::vector<double> Biomass;           // mean biomass of the year: (A[i] + A[i−1]) / (2q)
  std::vector<double> Catch;             // Biomass[i] · FishingMortality[i]
  std::vector<double> FishingMortality;  // the rule's F at Biomass[i]
};

// How a projection draws its process error.
struct ProcessError {
  bool AddNoise = false;
  bool Parametric = true;  // read only with AddNoise: normal (true) or resampled residuals
};

// One model year in CPUE space from the CPUE two years back (U2), one year
// back (U1) and the catch one year back (Cprev):
//   S = U2 + U1;  B̄ = S / (2q)
//   value = U2 + (r·S)·Shape(B̄) + ε − (2q)·Cprev
// ε = 0 without noise; RandomGauss(mean, sd) when parametric; otherwise
// residuals[RandomInt(m)]. While value ≤ 0 the attempt is repeated with a
// fresh ε, at most 1000 attempts; the result is the first positive value, or
// 0. Without noise the value is computed once (no draws) and a non-positive
// value gives 0. A B̄ outside the domain of the shape (Fox: B̄ ≤ 0;
// Pella-Tomlinson with a fractional p: B̄ < 0) raises Error naming the
// variant and the reason.
double ProjectionStep(const model::ModelFit& fit, bool addNoise,
                      std::span<const double> residuals, double U2, double U1, double Cprev,
                      bool parametric, double mean, double sd, model::RandomSource& random);

// The projection of one pair of a variant and a rule, prepared once and run
// many times. Construction copies R, K, Q, Kind and Exponent of the variant,
// evaluates the rule's target mortality and biomass scale, the start value
//   U0 = U[L−2] + (r·S)·Shape(S/(2q)) − (2q)·C[L−1],  S = U[L−1] + U[L−2]
// and, with noise, the residuals of the variant on the series (and for
// normal errors their mean and sd = RmsDeviation with divisor m). These do not
// change from run to run, so a run gives the same bits as a fresh
// ProjectStock call. The series needs at least 3 years.
class StockProjection {
 public:
  StockProjection(const data::CatchEffortSeries& series, const rules::RuleContext& context,
                  std::uint8_t variant, const rules::HarvestRule& rule, std::uint8_t horizon,
                  ProcessError error);

  std::uint8_t Horizon() const { return horizon_; }
  double StartCpue() const { return u0_; }  // U0

  // One trajectory into caller storage of at least Horizon() elements each
  // (mortality may be empty). Years i = 0 … h−1:
  //   A[0] = Step(U[L−1], U0, C[L]);       Biomass[0] = (A[0] + U0) / (2q)
  //   A[1] = Step(U0, A[0], Catch[0]);     Biomass[1] = (A[1] + A[0]) / (2q)
  //   A[i] = Step(A[i−2], A[i−1], Catch[i−1]), Biomass[i] = (A[i] + A[i−1]) / (2q)
  //   FishingMortality[i] = rule F at Biomass[i];  Catch[i] = Biomass[i] · F
  // Allocates nothing. Raises Error (naming the variant) when a step leaves
  // the domain of the model or a value is not finite.
  void Run(model::RandomSource& random, std::span<double> biomass, std::span<double> catches,
           std::span<double> mortality) const;

  ProjectionResult Run(model::RandomSource& random) const;

 private:
  double Step(model::RandomSource& random, double U2, double U1, double Cprev) const;
  [[noreturn]] void DomainFault(double meanBiomass) const;

  model::ModelFit fit_;  // copy: R, K, Q, Kind, Exponent and the name fields
  rules::HarvestRule rule_;
  std::uint8_t horizon_;
  ProcessError error_;
  double bref_ = 0.0;  // BTarget of the variant
  double ft_ = 0.0;    // target fishing mortality of the rule for the variant
  double twoQ_ = 0.0;
  double lastCpue_ = 0.0;   // U[L−1]
  double lastCatch_ = 0.0;  // C[L]
  double u0_ = 0.0;
  std::vector<double> residuals_;
  double mean_ = 0.0;
  double sd_ = 0.0;
};

// One trajectory of `horizon` years of variant `modelIndex` (an index of
// context.Fits) under `rule` on the series (U and C are read; E is not).
ProjectionResult ProjectStock(const data::CatchEffortSeries& series, std::uint8_t horizon,
                              const rules::RuleContext& context, std::uint8_t modelIndex,
                              const rules::HarvestRule& rule, bool addNoise, bool parametric,
                              model::RandomSource& random);

}  // namespace tarvik::projection
