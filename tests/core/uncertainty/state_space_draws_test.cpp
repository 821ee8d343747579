#include "uncertainty/state_space_draws.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <string>

#include "data/data_file.h"
#include "estimation/state_space.h"
#include "support/error_of.h"
#include "uncertainty/bootstrap_view.h"
#include "uncertainty/decision_table.h"

namespace tarvik::uncertainty {
namespace {

using estimation::StateSpaceEstimate;
using estimation::StateSpaceFit;
using testing_support::ErrorOf;

data::CatchEffortSeries Example() {
  return data::ReadDataFile(
             std::string(TARVIK_SOURCE_DIR) + "/examples/schaefer_simulated_1990_2019.txt", '.')
      .series;
}

double Share(const std::vector<Replicate>& replicates, double lo, double hi,
             double (*value)(const Replicate&)) {
  int inside = 0;
  for (const Replicate& x : replicates) inside += lo <= value(x) && value(x) <= hi;
  return static_cast<double>(inside) / static_cast<double>(replicates.size());
}

// The draws follow the fit's normal approximation: on a real fit the draws'
// 90 % interval of MSY is the delta method's interval of the fit, and the
// last-year biomass comes from u_n (not u_{n+1}) with its spread. A mapped
// draw uses the lower Cholesky factor: with the upper one the covariance of
// ln r and ln K would be wrong and the MSY interval with it.
TEST(StateSpaceDraws, FollowTheNormalApproximationOfTheFit) {
  const data::CatchEffortSeries series = Example();
  const StateSpaceFit fit =
      estimation::FitStateSpace(series, model::ProductionModelKind::Schaefer, {});
  ASSERT_TRUE(fit.HessianPositiveDefinite);
  const int m = fit.ParameterCount + 2;
  ASSERT_EQ(fit.JointCovariance.size(), static_cast<std::size_t>(m * m));

  BootstrapOptions options;
  options.Replicates = 4000;
  options.Seed = 7;
  const BootstrapResult draws = DrawStateSpace(series, fit, options);
  EXPECT_EQ(draws.Method, Estimator::StateSpace);
  EXPECT_EQ(draws.Failed, 0);
  EXPECT_EQ(draws.Estimate.R, fit.R.Value);
  EXPECT_EQ(draws.Estimate.BLast, fit.Biomass[series.size() - 1].Value);
  const Interval& msy = draws.Of(Quantity::Msy);
  EXPECT_NEAR(std::log(msy.Lower), std::log(fit.MSY.Lower), 0.03);
  EXPECT_NEAR(std::log(msy.Upper), std::log(fit.MSY.Upper), 0.03);
  // ln B_last = ln K + u_n: its interval is the fit's for the last data year.
  const StateSpaceEstimate& bLast = fit.Biomass[series.size() - 1];
  const double inside = Share(draws.Replicates, bLast.Lower, bLast.Upper,
                              [](const Replicate& x) { return x.BLast; });
  EXPECT_NEAR(inside, 0.90, 0.02);
  // Each draw's reference points are its own.
  const Replicate& first = draws.Replicates.front();
  EXPECT_DOUBLE_EQ(first.MSY, first.R * first.K / 4.0);
  EXPECT_DOUBLE_EQ(first.FLast, series.C.back() / first.BLast);

  // The same bits again; another seed, other draws.
  EXPECT_EQ(DrawStateSpace(series, fit, options).Replicates.back().K, draws.Replicates.back().K);
  options.Seed = 8;
  EXPECT_NE(DrawStateSpace(series, fit, options).Replicates.back().K, draws.Replicates.back().K);

  // B_next is the draw's own state u_{n+1}, not the balance from B_last.
  EXPECT_EQ(draws.Estimate.BNext, fit.BNext.Value);
  const StateSpaceEstimate& bNext = fit.Biomass[series.size()];
  EXPECT_NEAR(Share(draws.Replicates, bNext.Lower, bNext.Upper,
                    [](const Replicate& x) { return x.BNext; }),
              0.90, 0.02);
  // The decision table projects each draw from its own B_last.
  const ProjectionBasis basis = StateSpaceBasis(series, draws, fit);
  EXPECT_EQ(basis.Replicates[3].BLast, draws.Replicates[3].BLast);
}

TEST(StateSpaceDraws, RefuseAFitWithoutItsApproximation) {
  const data::CatchEffortSeries series = Example();
  StateSpaceFit fit = estimation::FitStateSpace(series, model::ProductionModelKind::Fox, {});
  StateSpaceFit other = fit;
  other.N += 1;
  EXPECT_NE(ErrorOf([&] { DrawStateSpace(series, other, {}); }).find("другому ряду"),
            std::string::npos);
  fit.JointCovariance.clear();
  EXPECT_NE(ErrorOf([&] { DrawStateSpace(series, fit, {}); }).find("не положительно определена"),
            std::string::npos);
}

// A stated prior on σ_p is named in the method the report prints.
TEST(StateSpaceDraws, NameTheStatedPrior) {
  estimation::StateSpaceOptions options;
  options.SigmaPPrior = true;
  options.SigmaPLogMean = std::log(0.1);
  options.SigmaPLogSd = 1.0;
  const StateSpaceFit fit =
      estimation::FitStateSpace(Example(), model::ProductionModelKind::Schaefer, options);
  BootstrapOptions draws;
  draws.Replicates = 100;
  EXPECT_NE(MethodText(DrawStateSpace(Example(), fit, draws)).find("априорное ln σ_p ~ N(ln 0.1; 1²)"),
            std::string::npos);
  EXPECT_EQ(MethodText(DrawStateSpace(Example(),
                                      estimation::FitStateSpace(
                                          Example(), model::ProductionModelKind::Schaefer, {}),
                                      draws))
                .find("априорное"),
            std::string::npos);
}

// The polar method's normals: mean 0, variance 1, symmetric tails.
TEST(StateSpaceDraws, StandardNormalsHaveTheirMoments) {
  ReplicateRandom random(3, 0, kStateSpaceDrawStream);
  double sum = 0.0, squares = 0.0;
  int beyond = 0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double z = StandardNormal(random);
    sum += z;
    squares += z * z;
    beyond += std::fabs(z) > 1.6448536269514722;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(squares / n, 1.0, 0.01);
  EXPECT_NEAR(static_cast<double>(beyond) / n, 0.10, 0.003);
}

}  // namespace
}  // namespace tarvik::uncertainty
