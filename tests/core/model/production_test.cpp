#include "model/production.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::model {
namespace {

ModelFit Fit(ProductionModelKind kind, double r, double K, double q, double p = 0.0) {
  ModelFit fit;
  fit.Kind = kind;
  fit.R = r;
  fit.K = K;
  fit.Q = q;
  fit.Exponent = p;
  return fit;
}

TEST(ReferencePoints, SchaeferExample) {
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001);
  EXPECT_DOUBLE_EQ(SurplusProduction(fit.Kind, 500.0, 0.5, 1000.0, 0.0), 125.0);
  ReferenceMsy(fit);
  EXPECT_DOUBLE_EQ(fit.BMSY, 500.0);
  EXPECT_DOUBLE_EQ(fit.MSY, 125.0);
  EXPECT_DOUBLE_EQ(fit.FMSY, 0.25);
  EXPECT_DOUBLE_EQ(fit.EMSY, 250.0);
  EXPECT_DOUBLE_EQ(BiomassB01(fit), 550.0);
}

TEST(ReferencePoints, FoxExample) {
  ModelFit fit = Fit(ProductionModelKind::Fox, 0.5, 1000.0, 0.001);
  ReferenceMsy(fit);
  EXPECT_EQ(RoundDecimals(fit.BMSY, 3), RoundDecimals(367.879, 3));
  EXPECT_EQ(RoundDecimals(fit.MSY, 3), RoundDecimals(183.940, 3));
  EXPECT_DOUBLE_EQ(fit.FMSY, 0.5);
  EXPECT_DOUBLE_EQ(fit.EMSY, 500.0);
  EXPECT_EQ(RoundDecimals(BiomassB01(fit), 3), RoundDecimals(406.570, 3));
}

TEST(ReferencePoints, PellaTomlinsonWithExponentOneIsSchaefer) {
  ModelFit pt = Fit(ProductionModelKind::PellaTomlinson, 0.5, 1000.0, 0.001, 1.0);
  ReferenceMsy(pt);
  EXPECT_DOUBLE_EQ(pt.BMSY, 500.0);
  EXPECT_DOUBLE_EQ(pt.MSY, 125.0);
  EXPECT_DOUBLE_EQ(pt.FMSY, 0.25);
  EXPECT_DOUBLE_EQ(pt.EMSY, 250.0);
  EXPECT_DOUBLE_EQ(BiomassB01(pt), 550.0);
}

TEST(ReferencePoints, PellaTomlinsonWithExponentTwoAndTen) {
  ModelFit pt = Fit(ProductionModelKind::PellaTomlinson, 0.5, 1000.0, 0.001, 2.0);
  ReferenceMsy(pt);
  EXPECT_EQ(RoundDecimals(pt.BMSY, 3), RoundDecimals(577.350, 3));
  EXPECT_EQ(RoundDecimals(BiomassB01(pt), 3), RoundDecimals(632.456, 3));
  // Closed forms: MSY = r·BMSY·p/(p+1), FMSY = r·p/(p+1).
  EXPECT_NEAR(pt.MSY, 0.5 * pt.BMSY * 2.0 / 3.0, 1e-9);
  EXPECT_NEAR(pt.FMSY, 0.5 * 2.0 / 3.0, 1e-12);
  pt.Exponent = 10.0;
  EXPECT_NEAR(BiomassB01(pt) / 1000.0, 0.84326, 5e-6);
}

TEST(ReferencePoints, ProductionIsZeroAtKAndNegativeAbove) {
  for (auto kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                    ProductionModelKind::PellaTomlinson}) {
    EXPECT_EQ(SurplusProduction(kind, 1000.0, 0.5, 1000.0, 2.0), 0.0);
    EXPECT_LT(SurplusProduction(kind, 1200.0, 0.5, 1000.0, 2.0), 0.0);
    EXPECT_GT(SurplusProduction(kind, 300.0, 0.5, 1000.0, 2.0), 0.0);
  }
}

TEST(ReferencePoints, ShapeTimesRAndBIsProduction) {
  for (auto kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                    ProductionModelKind::PellaTomlinson}) {
    const double B = 321.0, r = 0.37, K = 1500.0, p = 2.6;
    EXPECT_NEAR(r * B * ProductionShape(kind, B, K, p), SurplusProduction(kind, B, r, K, p),
                1e-9);
  }
}

// The shape that reports its domain by a flag is the same function: equal
// values inside the domain, false exactly where ProductionShape raises.
TEST(ReferencePoints, TheFlaggedShapeAgreesWithTheRaisingOne) {
  struct Case {
    ProductionModelKind kind;
    double B, p;
    bool inDomain;
  };
  const Case cases[] = {
      {ProductionModelKind::Schaefer, 321.0, 0.0, true},
      {ProductionModelKind::Schaefer, -40.0, 0.0, true},  // 1 − x: every B
      {ProductionModelKind::Fox, 321.0, 0.0, true},
      {ProductionModelKind::Fox, 0.0, 0.0, false},
      {ProductionModelKind::PellaTomlinson, 321.0, 2.6, true},
      {ProductionModelKind::PellaTomlinson, -40.0, 2.0, true},  // integral p: x·x
      {ProductionModelKind::PellaTomlinson, -40.0, 2.6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.B);
    double shape = -7.0;
    EXPECT_EQ(TryProductionShape(c.kind, c.B, 1500.0, c.p, shape), c.inDomain);
    if (c.inDomain) {
      EXPECT_EQ(shape, ProductionShape(c.kind, c.B, 1500.0, c.p));
    } else {
      EXPECT_EQ(shape, -7.0);
      EXPECT_THROW(ProductionShape(c.kind, c.B, 1500.0, c.p), Error);
    }
  }
  // Schaefer at x = 0.2 by hand: 1 − 0.2.
  double shape = 0.0;
  ASSERT_TRUE(TryProductionShape(ProductionModelKind::Schaefer, 300.0, 1500.0, 0.0, shape));
  EXPECT_DOUBLE_EQ(shape, 0.8);
}

// B + P(B) − C: Schaefer r = 0.5, K = 1000 at B = 400 produces
// 0.5/1000 · 400 · 600 = 120, so 400 + 120 − 50 = 470; a catch above that
// leaves a negative biomass, as it is.
TEST(ReferencePoints, NextBiomassIsTheBalanceOfOneYear) {
  EXPECT_DOUBLE_EQ(NextBiomass(ProductionModelKind::Schaefer, 400.0, 0.5, 1000.0, 0.0, 50.0),
                   470.0);
  EXPECT_DOUBLE_EQ(NextBiomass(ProductionModelKind::Schaefer, 400.0, 0.5, 1000.0, 0.0, 600.0),
                   -80.0);
  EXPECT_THROW(NextBiomass(ProductionModelKind::Fox, 0.0, 0.5, 1000.0, 0.0, 1.0), Error);
}

TEST(ModelFaults, FoxWithNonPositiveBiomassRaises) {
  EXPECT_THROW(ProductionShape(ProductionModelKind::Fox, 0.0, 1000.0, 0.0), Error);
  EXPECT_THROW(ProductionShape(ProductionModelKind::Fox, -5.0, 1000.0, 0.0), Error);
  EXPECT_THROW(SurplusProduction(ProductionModelKind::Fox, 0.0, 0.5, 1000.0, 0.0), Error);
}

TEST(ModelFaults, ZeroCarryingCapacityAndZeroCatchabilityRaise) {
  EXPECT_THROW(ProductionShape(ProductionModelKind::Schaefer, 10.0, 0.0, 0.0), Error);
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.0);
  EXPECT_THROW(ReferenceMsy(fit), Error);
}

TEST(Power, IntegralExponentsAreRepeatedMultiplication) {
  const double x = 0.7318;
  EXPECT_EQ(Power(x, 2.0), x * x);
  EXPECT_EQ(Power(x, 3.0), x * x * x);
  EXPECT_EQ(Power(x, 10.0), x * x * x * x * x * x * x * x * x * x);
  EXPECT_EQ(Power(x, 0.0), 1.0);
  EXPECT_EQ(Power(-2.0, 3.0), -8.0);
  EXPECT_EQ(Power(x, 2.5), std::pow(x, 2.5));
  EXPECT_EQ(Power(0.0, 2.5), 0.0);
}

TEST(Power, NegativeBaseWithFractionalExponentRaises) {
  EXPECT_THROW(Power(-0.5, 2.5), Error);
  EXPECT_THROW(Power(0.0, -1.0), Error);
  double out = 0.0;
  EXPECT_FALSE(TryPower(-0.5, 0.3, out));
}

TEST(ModelNames, RussianNames) {
  EXPECT_EQ(ModelName(ProductionModelKind::Schaefer), "Шефера");
  EXPECT_EQ(ModelName(ProductionModelKind::Fox), "Фокса");
  EXPECT_EQ(ModelName(ProductionModelKind::PellaTomlinson), "Пелла-Томлинсона");
  EXPECT_EQ(ObjectiveName(ObjectiveKind::SumOfSquares), " Сумма квадратов");
  EXPECT_EQ(ObjectiveName(ObjectiveKind::LogSumOfSquares), " Лог. сумма кв.");
  EXPECT_EQ(ObjectiveName(ObjectiveKind::Median), " Медианная");
}

}  // namespace
}  // namespace tarvik::model
