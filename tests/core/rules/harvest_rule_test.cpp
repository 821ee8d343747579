#include "rules/harvest_rule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/production.h"

namespace tarvik::rules {
namespace {

// One Schaefer variant with Btr = 1000, FMSY = 0.4, q = 0.001 and a last
// effort of 200, so Fsq = 0.2.
struct RuleFixture : ::testing::Test {
  void SetUp() override {
    model::ModelFit fit;
    fit.Kind = model::ProductionModelKind::Schaefer;
    fit.R = 0.8;
    fit.K = 2000.0;
    fit.Q = 0.001;
    fit.BMSY = 1000.0;
    fit.FMSY = 0.4;
    fit.BTarget = 1000.0;
    fits = {fit};
    context.Fits = fits;
    context.LastEffort = 200.0;
  }
  double F(RuleKind kind, double B, double alpha, double beta = 0.0,
           FTargetKind target = FTargetKind::FMSY) const {
    return RuleFishingMortality(context, kind, 0, target, B, alpha, beta);
  }
  std::vector<model::ModelFit> fits;
  RuleContext context;
  const double Ft = 0.4;
};

// --- target mortality --------------------------------------------------------

TEST_F(RuleFixture, StatusQuoTargetsScaleQTimesTheLastEffort) {
  const model::ModelFit& fit = fits[0];
  EXPECT_DOUBLE_EQ(TargetFishingMortality(fit, FTargetKind::Fsq, 200.0), 0.2);
  EXPECT_DOUBLE_EQ(TargetFishingMortality(fit, FTargetKind::Fsq75, 200.0), 0.75 * 0.2);
  EXPECT_DOUBLE_EQ(TargetFishingMortality(fit, FTargetKind::Fsq125, 200.0), 1.25 * 0.2);
  // A value beyond the enumeration is read as Fsq125.
  EXPECT_DOUBLE_EQ(TargetFishingMortality(fit, static_cast<FTargetKind>(5), 200.0), 0.25);
  EXPECT_EQ(TargetFishingMortality(fit, FTargetKind::FMSY, 200.0), 0.4);
}

TEST_F(RuleFixture, F01IsTheProductionAtTheStoredTargetOverB01) {
  model::ModelFit fit = fits[0];
  fit.BTarget = 0.55 * fit.K;  // target chosen as B0.1
  // P(B0.1) / B0.1 = r · (1 − 0.55) = 0.36.
  EXPECT_DOUBLE_EQ(TargetFishingMortality(fit, FTargetKind::F01, 0.0), 0.45 * 0.8);
  fit.BTarget = 1000.0;  // BMSY: the numerator stays the production at BTarget
  EXPECT_DOUBLE_EQ(TargetFishingMortality(fit, FTargetKind::F01, 0.0),
                   model::SurplusProduction(fit.Kind, 1000.0, 0.8, 2000.0, 0.0) / 1100.0);
}

// --- piecewise-linear and precautionary ---------------------------------------

TEST_F(RuleFixture, PiecewiseLinearWithPositiveAlphaHasAThreshold) {
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 200.0, 0.3), 0.0);   // below 0.3·Bref
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 300.0, 0.3), 0.0);   // at the threshold
  EXPECT_DOUBLE_EQ(F(RuleKind::PiecewiseLinear, 650.0, 0.3), 0.5 * Ft);
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 1000.0, 0.3), Ft);
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 5000.0, 0.3), Ft);
}

TEST_F(RuleFixture, PiecewiseLinearWithNegativeAlphaStartsAboveZero) {
  EXPECT_DOUBLE_EQ(F(RuleKind::PiecewiseLinear, 0.0, -0.5), 0.5 * Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::PiecewiseLinear, 500.0, -0.5), 0.75 * Ft);
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 1200.0, -0.5), Ft);
  // alpha = −1: Ft everywhere; alpha = 0: a line through the origin.
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 10.0, -1.0), Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::PiecewiseLinear, 250.0, 0.0), 0.25 * Ft);
}

TEST_F(RuleFixture, TargetBiomassIsTestedBeforeTheThreshold) {
  // alpha = 1 puts the threshold at Bref: B = Bref must give Ft (B ≥ Bref is
  // tested first), not 0.
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 1000.0, 1.0), Ft);
  EXPECT_EQ(F(RuleKind::Precautionary, 1000.0, 1.0), Ft);
  // alpha ≥ 1 makes a step from 0 to Ft at Bref.
  EXPECT_EQ(F(RuleKind::Precautionary, 999.0, 1.5), 0.0);
  EXPECT_EQ(F(RuleKind::Precautionary, 1000.0, 1.5), Ft);
}

TEST_F(RuleFixture, PrecautionaryIgnoresANegativeAlpha) {
  // Bthr = 0 for alpha ≤ 0: linear from the origin, no raised start.
  EXPECT_DOUBLE_EQ(F(RuleKind::Precautionary, 500.0, -0.5), 0.5 * Ft);
  EXPECT_EQ(F(RuleKind::Precautionary, 0.0, -0.5), 0.0);
}

// --- logistic ------------------------------------------------------------------

TEST_F(RuleFixture, LogisticTwoAndAHalf) {
  EXPECT_EQ(F(RuleKind::Logistic, 0.0, 2.0, 0.5), 0.0);
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 250.0, 2.0, 0.5), 0.125 * Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 500.0, 2.0, 0.5), 0.5 * Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 750.0, 2.0, 0.5), 0.875 * Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 1000.0, 2.0, 0.5), Ft);
  EXPECT_EQ(F(RuleKind::Logistic, 1500.0, 2.0, 0.5), Ft);
  EXPECT_EQ(F(RuleKind::Logistic, -5.0, 2.0, 0.5), 0.0);
}

TEST_F(RuleFixture, LogisticWithBetaZeroIsTheUpperBranchOnly) {
  // Ft · (1 − ((Bref − B)/Bref)^alpha): at B = 250, 1 − 0.75² = 0.4375.
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 250.0, 2.0, 0.0), 0.4375 * Ft);
  EXPECT_EQ(F(RuleKind::Logistic, 0.0, 2.0, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 1000.0, 2.0, 0.0), Ft);
}

TEST_F(RuleFixture, LogisticWhereTheFormulaIsUndefinedGivesTheLimit) {
  // beta = 1 at B = Bref divides 0 by 0 in the upper branch: Ft.
  const double atBref = F(RuleKind::Logistic, 1000.0, 2.0, 1.0);
  EXPECT_FALSE(std::isnan(atBref));
  EXPECT_EQ(atBref, Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::Logistic, 500.0, 2.0, 1.0), 0.25 * Ft);
  // No biomass scale: 0, never a NaN.
  fits[0].BTarget = 0.0;
  EXPECT_EQ(F(RuleKind::Logistic, 5.0, 2.0, 0.5), 0.0);
  EXPECT_EQ(F(RuleKind::Logistic, 5.0, 2.0, 1.0), 0.0);
  EXPECT_EQ(F(RuleKind::Logistic, 5.0, 2.0, 0.0), 0.0);
}

TEST_F(RuleFixture, PiecewiseLinearWithoutBiomassScaleIsNeverNaN) {
  fits[0].BTarget = 0.0;
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, -3.0, -0.5), 0.0);
  EXPECT_EQ(F(RuleKind::PiecewiseLinear, 3.0, -0.5), Ft);
}

// --- non-zonal and unknown ------------------------------------------------------

TEST_F(RuleFixture, NonZonalGivesTheTargetAtAnyBiomass) {
  EXPECT_EQ(F(RuleKind::NonZonal, 0.0, 0.0), Ft);
  EXPECT_EQ(F(RuleKind::NonZonal, 1e9, 0.0), Ft);
  EXPECT_DOUBLE_EQ(F(RuleKind::NonZonal, 0.0, 0.0, 0.0, FTargetKind::Fsq75), 0.15);
  EXPECT_EQ(F(static_cast<RuleKind>(7), 500.0, 0.3), 0.0);
}

}  // namespace
}  // namespace tarvik::rules
