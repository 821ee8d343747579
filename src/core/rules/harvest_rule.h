#pragma once

// Harvest control rules ("ПРП"): fishing mortality as a function of stock
// biomass, scaled by the reference points of one fitted model variant.

#include <cstdint>
#include <span>

#include "model/model_fit.h"

namespace tarvik::rules {

// Shape of a rule.
enum class RuleKind : std::uint8_t { Precautionary = 0, PiecewiseLinear = 1, Logistic = 2, NonZonal = 3 };

// Target fishing mortality Ft of a rule.
enum class FTargetKind : std::uint8_t { FMSY = 0, F01 = 1, Fsq = 2, Fsq75 = 3, Fsq125 = 4 };

// One rule of the rule list.
struct HarvestRule {
  RuleKind Kind = RuleKind::Precautionary;
  double Alpha = 0.0;  // PiecewiseLinear: threshold fraction in [-1, 1]; Logistic: exponent
  double Beta = 0.0;   // Logistic: fraction of Btr at which F reaches beta·Ft, in [0, 1]
  FTargetKind TargetKind = FTargetKind::FMSY;
  bool operator==(const HarvestRule&) const = default;
};

// What the rule functions read besides the rule: the fitted variants (a rule
// is scaled by BTarget, FMSY, … of the variant it is applied to) and the
// effort of the last year of the analysis series (for the status-quo targets).
struct RuleContext {
  std::span<const model::ModelFit> Fits;
  double LastEffort = 0.0;
};

// Target fishing mortality of a variant:
//   FMSY    the fit's FMSY
//   F01     SurplusProduction(BTarget) / B0.1
//   Fsq     q · E_last
//   Fsq75   0.75 · q · E_last
//   Fsq125  1.25 · q · E_last (also any value outside the enumeration)
double TargetFishingMortality(const model::ModelFit& fit, FTargetKind target, double lastEffort);

// Fishing mortality the rule prescribes at biomass B for the variant
// `variant` (an index of context.Fits). With Bref = BTarget of the variant,
// Ft = TargetFishingMortality and Bthr = alpha·Bref when the kind is not
// Logistic and alpha > 0, else 0:
//   Precautionary    B ≥ Bref: Ft; B ≤ Bthr: 0; else Ft·(B − Bthr)/(Bref − Bthr)
//   PiecewiseLinear  B ≥ Bref: Ft; alpha ≥ 0 as Precautionary;
//                    alpha < 0: Ft·(−alpha + (1 + alpha)·B/Bref)
//   Logistic         B = 0: 0; with Bs = beta·Bref, starting from 0:
//                    0 ≤ B ≤ Bs: Ft·beta·(B/Bs)^alpha;
//                    then Bs ≤ B ≤ Bref: Ft·(1 − (1 − beta)·((Bref − B)/(Bref·(1 − beta)))^alpha);
//                    then B > Bref: Ft
//   NonZonal         Ft
//   any other kind   0
// Where a formula is undefined the limit value is returned, never a NaN:
// a logistic rule with beta = 1 gives Ft at B = Bref, a logistic rule with a
// non-positive Bref gives 0, and the line of a piecewise-linear rule with
// alpha < 0 gives 0 when Bref is 0.
double RuleFishingMortality(const RuleContext& context, RuleKind kind, std::uint8_t variant,
                            FTargetKind target, double B, double alpha, double beta);

// The same with the variant's record and Ft already at hand (the projection's
// inner loop evaluates Ft once per trajectory).
double RuleFishingMortalityFor(RuleKind kind, double Bref, double Ft, double B, double alpha,
                               double beta);

}  // namespace tarvik::rules
