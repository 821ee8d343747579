#include "assessment/forecast.h"
#include "projection/projection.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "assessment/rules.h"
#include "common/error.h"
#include "fixture.h"
#include "model/objective.h"
#include "rules/rule_list.h"

namespace tarvik::projection {
namespace {

using testing::LinearRule;
using testing::SmallState;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// --- the deterministic engine ---------------------------------------------------

TEST(ProjectStock, FirstYearFollowsTheWrittenFormulas) {
  AssessmentState state = SmallState();
  const ProjectionResult result = ProjectStock(state, 2, 0, LinearRule(0.3), false, false);
  ASSERT_EQ(result.Biomass.size(), 2u);
  // U0 = U[2] + (r·S)·(1 − S/(2q)/K) − 2q·C[3], S = 0.40 + 0.42.
  const double S0 = 0.40 + 0.42;
  const double U0 = 0.42 + 0.5 * S0 * (1.0 - S0 / 0.002 / 1000.0) - 0.002 * 100.0;
  // A[0] = U[3] + (r·S)·Shape − 2q·C[4], S = U[3] + U0.
  const double S1 = 0.40 + U0;
  const double A0 = 0.40 + 0.5 * S1 * (1.0 - S1 / 0.002 / 1000.0) - 0.002 * 95.0;
  const double B0 = (A0 + U0) / 0.002;  // ≈ 458.566
  EXPECT_NEAR(result.Biomass[0], B0, 1e-9);
  // Btr = 500, Bthr = 150: F = 0.25 · (B − 150) / 350.
  const double F0 = 0.25 * (B0 - 150.0) / 350.0;
  EXPECT_NEAR(result.FishingMortality[0], F0, 1e-12);
  EXPECT_NEAR(result.Catch[0], B0 * F0, 1e-9);
  // The second year starts from U0 and A[0] with the first forecast catch.
  const double S2 = U0 + A0;
  const double A1 = U0 + 0.5 * S2 * (1.0 - S2 / 0.002 / 1000.0) - 0.002 * (B0 * F0);
  EXPECT_NEAR(result.Biomass[1], (A1 + A0) / 0.002, 1e-9);
}

TEST(ProjectStock, WithoutNoiseIsRepeatableAndDrawsNothing) {
  AssessmentState state = SmallState();
  state.Random.Restore(12345);
  const ProjectionResult a = ProjectStock(state, 5, 0, LinearRule(0.3), false, true);
  const ProjectionResult b = ProjectStock(state, 5, 0, LinearRule(0.3), false, false);
  EXPECT_EQ(state.Random.Seed(), 12345u);
  EXPECT_EQ(a.Biomass, b.Biomass);
  EXPECT_EQ(a.Catch, b.Catch);
  EXPECT_EQ(a.FishingMortality, b.FishingMortality);
}

TEST(ProjectStock, ZeroMortalityFollowsTheUnfishedModel) {
  AssessmentState state = SmallState();
  state.ModelFits[0].BTarget = 1e9;  // threshold 0.5·Btr is never reached
  const int h = 6;
  const ProjectionResult result = ProjectStock(state, h, 0, LinearRule(0.5), false, false);
  const double S0 = 0.40 + 0.42;
  const double U0 = 0.42 + 0.5 * S0 * (1.0 - S0 / 0.002 / 1000.0) - 0.002 * 100.0;
  double older = 0.40, previous = U0, previousCatch = 95.0;
  for (int i = 0; i < h; ++i) {
    const double S = older + previous;
    const double a = older + 0.5 * S * (1.0 - S / 0.002 / 1000.0) - 0.002 * previousCatch;
    EXPECT_DOUBLE_EQ(result.Biomass[i], (a + previous) / 0.002) << "year " << i;
    EXPECT_EQ(result.Catch[i], 0.0);
    EXPECT_EQ(result.FishingMortality[i], 0.0);
    older = previous;
    previous = a;
    previousCatch = 0.0;
  }
}

TEST(ProjectStock, AHugeLastCatchEmptiesTheFirstYear) {
  AssessmentState state = SmallState();
  state.AnalysisSeries.C.back() = 1e6;
  const ProjectionResult result = ProjectStock(state, 3, 0, LinearRule(0.3), false, false);
  const double S0 = 0.40 + 0.42;
  const double U0 = 0.42 + 0.5 * S0 * (1.0 - S0 / 0.002 / 1000.0) - 0.002 * 100.0;
  // A[0] = 0, so Biomass[0] = (0 + U0) / (2q).
  EXPECT_EQ(result.Biomass[0], U0 / 0.002);
}

TEST(ProjectStock, HorizonOneUsesTheStartValuesOnly) {
  AssessmentState state = SmallState();
  const ProjectionResult one = ProjectStock(state, 1, 0, LinearRule(0.3), false, false);
  const ProjectionResult five = ProjectStock(state, 5, 0, LinearRule(0.3), false, false);
  ASSERT_EQ(one.Biomass.size(), 1u);
  ASSERT_EQ(one.Catch.size(), 1u);
  ASSERT_EQ(one.FishingMortality.size(), 1u);
  EXPECT_EQ(one.Biomass[0], five.Biomass[0]);
  EXPECT_EQ(one.Catch[0], five.Catch[0]);
}

TEST(ProjectStock, ASeriesOfTwoYearsIsRefused) {
  AssessmentState state = SmallState();
  state.AnalysisSeries.U.resize(2);
  state.AnalysisSeries.C.resize(2);
  state.AnalysisSeries.E.resize(2);
  EXPECT_THROW(ProjectStock(state, 1, 0, LinearRule(0.3), false, false), Error);
}

// --- process error ---------------------------------------------------------------

struct NoiseFixture : ::testing::Test {
  AssessmentState state = SmallState();
  std::vector<double> residuals = model::CpueResiduals(
      state.AnalysisSeries.U, state.AnalysisSeries.C, model::ProductionModelKind::Schaefer, 0.5,
      1000.0, 0.001, 0.0);
  double U0() const {
    const double S0 = 0.40 + 0.42;
    return 0.42 + 0.5 * S0 * (1.0 - S0 / 0.002 / 1000.0) - 0.002 * 100.0;
  }
  // U2 + (r·S)·Shape of the first forecast year.
  double FirstBase() const {
    const double S1 = 0.40 + U0();
    return 0.40 + 0.5 * S1 * (1.0 - S1 / 0.002 / 1000.0);
  }
};

TEST_F(NoiseFixture, ResamplingPicksEveryResidualWithEqualChance) {
  ASSERT_EQ(residuals.size(), 3u);
  model::RandomSource expected(state.Random.Seed());
  std::array<int, 3> picks{};
  const int runs = 30000;
  for (int k = 0; k < runs; ++k) {
    const ProjectionResult result = ProjectStock(state, 1, 0, LinearRule(0.3), true, false);
    const std::uint32_t j = expected.RandomInt(3);
    ++picks[j];
    // One draw per year here: the value is positive on the first attempt.
    const double a = FirstBase() + residuals[j] - 0.002 * 95.0;
    ASSERT_EQ(result.Biomass[0], (a + U0()) / 0.002) << "run " << k;
  }
  EXPECT_EQ(state.Random.Seed(), expected.Seed());
  // Binomial(30000, 1/3): sd ≈ 82, so ±500 is more than six sd.
  for (int count : picks) EXPECT_NEAR(count, runs / 3, 500);
}

TEST_F(NoiseFixture, NormalErrorsUseTheMeanAndPopulationSdOfTheResiduals) {
  double mean = 0.0;
  for (double r : residuals) mean += r;
  mean /= 3.0;
  double squares = 0.0;
  for (double r : residuals) squares += (r - mean) * (r - mean);
  const double sd = std::sqrt(squares / 3.0);
  model::RandomSource expected(state.Random.Seed());
  const ProjectionResult result = ProjectStock(state, 1, 0, LinearRule(0.3), true, true);
  const double a = FirstBase() + expected.RandomGauss(mean, sd) - 0.002 * 95.0;
  EXPECT_EQ(result.Biomass[0], (a + U0()) / 0.002);
  EXPECT_EQ(state.Random.Seed(), expected.Seed());
}

TEST_F(NoiseFixture, AStepThatStaysNonPositiveGivesZeroAfterAThousandAttempts) {
  state.AnalysisSeries.C.back() = 1e6;  // every attempt of the first year fails
  // The residuals do not depend on the last catch (it is not a predictor).
  model::RandomSource expected(state.Random.Seed());
  const ProjectionResult result = ProjectStock(state, 1, 0, LinearRule(0.3), true, false);
  for (int i = 0; i < 1000; ++i) expected.RandomInt(3);
  EXPECT_EQ(state.Random.Seed(), expected.Seed());
  EXPECT_EQ(result.Biomass[0], U0() / 0.002);
}

TEST_F(NoiseFixture, APreparedProjectionDrawsLikeFreshCalls) {
  // Preparing the residuals once per pair must not change a single bit.
  const rules::RuleContext context = rules::MakeRuleContext(state);
  for (bool parametric : {true, false}) {
    model::RandomSource a(777), b(777);
    const StockProjection prepared(state.AnalysisSeries, context, 0, LinearRule(0.3), 5,
                                   ProcessError{true, parametric});
    for (int k = 0; k < 200; ++k) {
      const ProjectionResult x = prepared.Run(a);
      const ProjectionResult y = ProjectStock(state.AnalysisSeries, 5, context, 0,
                                              LinearRule(0.3), true, parametric, b);
      ASSERT_EQ(x.Biomass, y.Biomass);
      ASSERT_EQ(x.Catch, y.Catch);
    }
    EXPECT_EQ(a.Seed(), b.Seed());
  }
}

// --- faults -----------------------------------------------------------------------

TEST(ProjectStock, FoxWithANegativeStartNamesTheVariantAndTheReason) {
  AssessmentState state = SmallState();
  state.ModelFits[0].Kind = model::ProductionModelKind::Fox;
  state.AnalysisSeries.C[3] = 1000.0;  // U0 = 0.42 + … − 2 < 0
  try {
    ProjectStock(state, 5, 0, LinearRule(0.3), false, false);
    FAIL() << "no error";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_TRUE(Contains(message, "«Фокса Сумма квадратов»")) << message;
    EXPECT_TRUE(Contains(message, "U0")) << message;
    EXPECT_TRUE(Contains(message, "логарифм")) << message;
  }
}

TEST(ProjectStock, PellaTomlinsonWithAFractionalExponentAndNegativeBiomass) {
  AssessmentState state = SmallState();
  state.ModelFits[0].Kind = model::ProductionModelKind::PellaTomlinson;
  state.ModelFits[0].Exponent = 1.5;
  state.ModelFits[0].Objective = model::ObjectiveKind::Median;
  state.AnalysisSeries.C[3] = 1000.0;
  try {
    ProjectStock(state, 5, 0, LinearRule(0.3), false, false);
    FAIL() << "no error";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_TRUE(Contains(message, "«Пелла-Томлинсона Медианная»")) << message;
    EXPECT_TRUE(Contains(message, "U0")) << message;
  }
  // An integral exponent is defined for a negative base: no error.
  state.ModelFits[0].Exponent = 2.0;
  EXPECT_NO_THROW(ProjectStock(state, 5, 0, LinearRule(0.3), false, false));
}

TEST(ProjectionStep, WithoutNoiseIsTheNonNegativePartOfTheModelValue) {
  const model::ModelFit fit = testing::SchaeferFit();
  model::RandomSource random(5);
  // S = 1, B̄ = 500, Shape = 0.5: 0.5 + 0.5·1·0.5 − 0.002·C.
  EXPECT_DOUBLE_EQ(ProjectionStep(fit, false, {}, 0.5, 0.5, 100.0, false, 0.0, 0.0, random),
                   0.75 - 0.2);
  EXPECT_EQ(ProjectionStep(fit, false, {}, 0.5, 0.5, 1000.0, false, 0.0, 0.0, random), 0.0);
  EXPECT_EQ(random.Seed(), 5u);
}

}  // namespace
}  // namespace tarvik::projection
