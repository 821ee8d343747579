#include "rules/harvest_rule.h"

#include <cmath>
#include <string>

#include "common/error.h"
#include "model/checked.h"
#include "model/production.h"

namespace tarvik::rules {

double TargetFishingMortality(const model::ModelFit& fit, FTargetKind target,
                              double lastEffort) {
  switch (target) {
    case FTargetKind::FMSY:
      return fit.FMSY;
    case FTargetKind::F01:
      return model::Divide(
          model::SurplusProduction(fit.Kind, fit.BTarget, fit.R, fit.K, fit.Exponent),
          model::BiomassB01(fit), "расчёте F0.1: биомасса B0.1 равна 0");
    case FTargetKind::Fsq:
      return fit.Q * lastEffort;
    case FTargetKind::Fsq75:
      return 0.75 * fit.Q * lastEffort;
    case FTargetKind::Fsq125:
    default:
      return 1.25 * fit.Q * lastEffort;
  }
}

double RuleFishingMortalityFor(RuleKind kind, double Bref, double Ft, double B, double alpha,
                               double beta) {
  switch (kind) {
    case RuleKind::Precautionary:
    case RuleKind::PiecewiseLinear: {
      const double threshold = alpha > 0.0 ? alpha * Bref : 0.0;
      if (B >= Bref) return Ft;
      if (kind == RuleKind::PiecewiseLinear && alpha < 0.0) {
        if (Bref == 0.0) return 0.0;  // only reached by a negative biomass
        return Ft * (-alpha + (1.0 + alpha) * B / Bref);
      }
      if (B <= threshold) return 0.0;
      // Here threshold < B < Bref, so the denominator is positive.
      return Ft * (B - threshold) / (Bref - threshold);
    }
    case RuleKind::Logistic: {
      if (B == 0.0) return 0.0;
      if (!(Bref > 0.0)) return 0.0;  // no biomass scale: nothing to regulate against
      const double Bs = beta * Bref;
      double F = 0.0;
      if (0.0 <= B && B <= Bs) {
        F = Ft * beta * model::Power(B / Bs, alpha);
      }
      if (Bs <= B && B <= Bref) {
        const double scale = Bref * (1.0 - beta);
        if (scale == 0.0) {
          // beta = 1: the interval is the single point B = Bref, where the
          // curve has reached Ft.
          F = Ft;
        } else {
          F = Ft * (1.0 - (1.0 - beta) * model::Power((Bref - B) / scale, alpha));
        }
      }
      if (B > Bref) F = Ft;
      return F;
    }
    case RuleKind::NonZonal:
      return Ft;
  }
  return 0.0;
}

double RuleFishingMortality(const RuleContext& context, RuleKind kind, std::uint8_t variant,
                            FTargetKind target, double B, double alpha, double beta) {
  if (variant >= context.Fits.size()) {
    throw Error("Вариант модели " + std::to_string(variant) + " не существует");
  }
  const model::ModelFit& fit = context.Fits[variant];
  const double Ft = TargetFishingMortality(fit, target, context.LastEffort);
  return RuleFishingMortalityFor(kind, fit.BTarget, Ft, B, alpha, beta);
}

}  // namespace tarvik::rules
