#include "diagnostics/residual_tests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tarvik::diagnostics {
namespace {

// Residuals and R's figures for them (R 4.2, computed once):
//   a <- c(312.5, -120.25, 48.0, -410.75, 95.5, 1220.0, -35.125, -260.5,
//          150.25, 18.75, -88.0, 401.0)
//   b <- c(0.82, -1.37, 0.15, 2.41, -0.66, -0.09, 1.12)
//   c3 <- c(1.5, -0.25, 0.75)
//   shapiro.test(a): W = 0.845156028834856, p = 0.032005639681952
//   shapiro.test(b): W = 0.986039559811696, p = 0.983514081500162
//   shapiro.test(c3): W = 0.993243243243243, p = 0.842833201535051
//   Box.test(a, lag = 4, type = "Ljung-Box"): X-squared = 4.148603754433956,
//                                             p = 0.386267929073784
//   Box.test(b, lag = 3, type = "Ljung-Box"): X-squared = 8.3832406587443096,
//                                             p = 0.0387209767088025
// The three sets take the three branches of Royston's p-value (n ≥ 12,
// 4 … 11, exactly 3) and both lag rules (4, and n div 2 below 8).
struct RCase {
  std::string Name;
  std::vector<double> Residuals;
  double W, SwP;
  double Q;  // NaN: no Ljung-Box figure from R
  int Lag;
  double LbP;
};

class AgainstR : public ::testing::TestWithParam<RCase> {};

TEST_P(AgainstR, ShapiroWilkAndLjungBoxMatchR) {
  const RCase& c = GetParam();
  const ShapiroWilk sw = ShapiroWilkTest(c.Residuals);
  ASSERT_TRUE(sw.Assessable) << sw.Reason;
  EXPECT_NEAR(sw.W, c.W, 1e-6);
  EXPECT_NEAR(sw.P, c.SwP, 1e-6);
  if (std::isnan(c.Q)) return;
  const LjungBox lb = LjungBoxTest(c.Residuals);
  ASSERT_TRUE(lb.Assessable) << lb.Reason;
  EXPECT_EQ(lb.Lag, c.Lag);
  EXPECT_NEAR(lb.Q, c.Q, 1e-6 * c.Q);
  EXPECT_NEAR(lb.P, c.LbP, 1e-6);
}

const double kNone = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    ResidualSets, AgainstR,
    ::testing::Values(
        RCase{"TwelveWithAnOutlier",
              {312.5, -120.25, 48.0, -410.75, 95.5, 1220.0, -35.125, -260.5, 150.25, 18.75, -88.0,
               401.0},
              0.845156028834856,
              0.032005639681952,
              4.148603754433956,
              4,
              0.386267929073784},
        RCase{"Seven",
              {0.82, -1.37, 0.15, 2.41, -0.66, -0.09, 1.12},
              0.986039559811696,
              0.983514081500162,
              8.3832406587443096,
              3,
              0.0387209767088025},
        RCase{"Three", {1.5, -0.25, 0.75}, 0.993243243243243, 0.842833201535051, kNone, 1, kNone}),
    [](const ::testing::TestParamInfo<RCase>& info) { return info.param.Name; });

// Signs + + + + − − (0 left out) − − +: n₊ = 5, n₋ = 4, n = 9, R = 3 runs;
// μ = 2·5·4/9 + 1 = 5.444444, σ² = 40·(40 − 9)/(81·8) = 1.913580,
// z = (3 − 5.444444)/1.383322 = −1.767083, p = 2Φ(−1.767083) = 0.077214.
TEST(RunsTest, CountsTheRunsOfTheSignsByHand) {
  const RunsTest t = RunsTestOfSigns({{1.2, 0.4, 2.0, 0.7, -0.3, -1.1, 0.0, -0.8, -2.2, 0.9}});
  ASSERT_TRUE(t.Assessable) << t.Reason;
  EXPECT_EQ(t.Positive, 5u);
  EXPECT_EQ(t.Negative, 4u);
  EXPECT_EQ(t.Runs, 3u);
  EXPECT_NEAR(t.Z, -1.7670825235854977, 1e-12);
  EXPECT_NEAR(t.P, 0.0772144088743037, 1e-12);
}

// Residuals no test can take: a reason, and figures of 0 rather than NaN.
TEST(ResidualTests, SayWhyTheyCannotBeAssessed) {
  const std::vector<std::vector<double>> sets = {
      {1.0, -2.0},                    // too few
      {0.5, 0.5, 0.5, 0.5},           // all equal
      {1.0, 2.0, std::nan(""), 0.5},  // not a number
      {1.0, 3.0, 0.0, 2.0, 0.25}};    // one sign (runs test only)
  for (std::size_t k = 0; k < sets.size(); ++k) {
    SCOPED_TRACE(k);
    const RunsTest runs = RunsTestOfSigns(sets[k]);
    EXPECT_FALSE(runs.Assessable);
    EXPECT_FALSE(runs.Reason.empty());
    EXPECT_EQ(runs.Z, 0.0);
    EXPECT_EQ(runs.P, 0.0);
    if (k == 3) continue;
    const ShapiroWilk sw = ShapiroWilkTest(sets[k]);
    const LjungBox lb = LjungBoxTest(sets[k]);
    EXPECT_FALSE(sw.Assessable);
    EXPECT_FALSE(lb.Assessable);
    EXPECT_FALSE(sw.Reason.empty());
    EXPECT_EQ(sw.W, 0.0);
    EXPECT_EQ(lb.Q, 0.0);
  }
}

}  // namespace
}  // namespace tarvik::diagnostics
