#include "rules/optimisation.h"

#include <gtest/gtest.h>

#include <vector>

#include "rules/optimisation_grid.h"

namespace tarvik::rules {
namespace {

// ---- Grids ------------------------------------------------------------------

std::vector<double> ByRepeatedAddition(double start, double step) {
  std::vector<double> values;
  double value = start;
  for (int i = 0; i < 51; ++i, value += step) values.push_back(value);
  return values;
}

TEST(OptimisationGrid, AlphasAndBetasComeFromRepeatedAddition) {
  EXPECT_EQ(PiecewiseLinearAlphas(), ByRepeatedAddition(-1.0, 0.04));
  EXPECT_EQ(LogisticAlphas(), ByRepeatedAddition(1.0, 0.2));
  EXPECT_EQ(LogisticBetas(), ByRepeatedAddition(0.0, 0.02));
}

TEST(OptimisationGrid, RepeatedAdditionDriftsFromTheNominalValues) {
  // The drift is part of the result: the middle piecewise-linear alpha is
  // 3.469446951953614e-16, not 0, and the logistic alpha of row 6 is
  // 1.9999999999999998, not 2 (so the rule takes the general power there).
  EXPECT_EQ(PiecewiseLinearAlphas()[0], -1.0);
  EXPECT_EQ(PiecewiseLinearAlphas()[25], 3.469446951953614e-16);
  EXPECT_EQ(PiecewiseLinearAlphas()[50], 1.0000000000000007);
  EXPECT_EQ(LogisticAlphas()[5], 1.9999999999999998);
  EXPECT_EQ(LogisticAlphas()[50], 10.999999999999993);
  EXPECT_EQ(LogisticBetas()[50], 1.0000000000000004);
}

// ---- Best tracking ------------------------------------------------------------

TEST(TrackBest, StartsFromTheDocumentedValues) {
  const BestPoints best;
  EXPECT_EQ(best.BestCatch, 0.0);
  EXPECT_EQ(best.BestBiomass, 0.0);
  EXPECT_EQ(best.LeastVariability, 1000000.0);
  EXPECT_EQ(best.LeastRisk, 2.0);
}

TEST(TrackBest, TiesKeepTheFirstCandidate) {
  BestPoints best;
  TrackBest(best, {10.0, 500.0, 0.0, 0.0}, 1.0, 0.0);
  TrackBest(best, {10.0, 500.0, 0.0, 0.0}, 1.2, 0.02);
  EXPECT_EQ(best.BestCatchAlpha, 1.0);
  EXPECT_EQ(best.BestBiomassAlpha, 1.0);
  // A risk of exactly 0 is replaced only by a strictly smaller value.
  EXPECT_EQ(best.LeastRisk, 0.0);
  EXPECT_EQ(best.LeastRiskAlpha, 1.0);
  EXPECT_EQ(best.LeastVariabilityAlpha, 1.0);
}

TEST(TrackBest, TakesStrictlyBetterValuesWithTheirParameters) {
  BestPoints best;
  TrackBest(best, {10.0, 500.0, 3.0, 0.5}, 1.0, 0.0);
  TrackBest(best, {12.0, 400.0, 2.0, 0.6}, 1.2, 0.02);
  TrackBest(best, {11.0, 600.0, 4.0, 0.4}, 1.4, 0.04);
  EXPECT_EQ(best.BestCatch, 12.0);
  EXPECT_EQ(best.BestCatchAlpha, 1.2);
  EXPECT_EQ(best.BestCatchBeta, 0.02);
  EXPECT_EQ(best.BestBiomass, 600.0);
  EXPECT_EQ(best.BestBiomassBeta, 0.04);
  EXPECT_EQ(best.LeastVariability, 2.0);
  EXPECT_EQ(best.LeastVariabilityAlpha, 1.2);
  EXPECT_EQ(best.LeastRisk, 0.4);
  EXPECT_EQ(best.LeastRiskAlpha, 1.4);
}

TEST(TrackBest, ZeroCatchEverywhereLeavesTheBestCatchPointAtZero) {
  BestPoints best;
  for (double alpha : LogisticAlphas()) TrackBest(best, {0.0, 100.0, 0.0, 1.0}, alpha, 0.5);
  EXPECT_EQ(best.BestCatch, 0.0);
  EXPECT_EQ(best.BestCatchAlpha, 0.0);
  EXPECT_EQ(best.BestCatchBeta, 0.0);
}

TEST(TrackBest, ValuesNoBetterThanTheStartLeaveTheirPointAtZero) {
  BestPoints best;
  TrackBest(best, {1.0, 1.0, 1000000.0, 2.0}, 1.0, 0.5);
  EXPECT_EQ(best.LeastVariabilityAlpha, 0.0);
  EXPECT_EQ(best.LeastVariabilityBeta, 0.0);
  EXPECT_EQ(best.LeastRiskAlpha, 0.0);
}

// ---- Picks ----------------------------------------------------------------------

TEST(PickValues, FormatsTheIndicatorsBestPointForTheEditor) {
  BestPoints best;
  best.BestCatchAlpha = 3.469446951953614e-16;  // the drifted middle alpha
  best.BestBiomassAlpha = -0.9199999999999999;
  best.BestBiomassBeta = 0.7000000000000003;
  best.LeastRiskAlpha = 10.999999999999993;
  best.LeastRiskBeta = 1.0000000000000004;
  EXPECT_EQ(PickValues(best, Indicator::MeanCatch).Alpha, "0.00");
  EXPECT_EQ(PickValues(best, Indicator::MeanCatch).Beta, "0.00");
  EXPECT_EQ(PickValues(best, Indicator::MeanBiomass, ',').Alpha, "-0,92");
  EXPECT_EQ(PickValues(best, Indicator::MeanBiomass, ',').Beta, "0,70");
  EXPECT_EQ(PickValues(best, Indicator::RiskBelowMean).Alpha, "11.00");
  EXPECT_EQ(PickValues(best, Indicator::RiskBelowMean).Beta, "1.00");
  EXPECT_EQ(PickValues(best, Indicator::CatchVariability).Alpha, "0.00");
}

}  // namespace
}  // namespace tarvik::rules
