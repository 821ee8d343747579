#include "assessment/uncertainty.h"
#include "uncertainty/bootstrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

#include "assessment/search.h"
#include "core/estimation/test_series.h"
#include "model/production.h"
#include "projection/kobe.h"
#include "uncertainty/bootstrap_view.h"

namespace tarvik::uncertainty {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;

// The yellowfin example with its records where the full default search
// ends (as the refinement tests set them), and the page's bounds.
struct Yellowfin {
  AssessmentState State;
  estimation::ParameterBounds Bounds;
};

const Yellowfin& YellowfinExample() {
  static const Yellowfin example = [] {
    Yellowfin y;
    estimation::FreshStartRequest request;
    request.DataFile = std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt";
    estimation::SearchOptions options;
    options.MaxFailures = 1;
    options.Threads = 1;
    y.Bounds =
        estimation::RunFreshStartEstimation(y.State, request, options).Estimation.Settings.Bounds;
    for (std::size_t i = 0; i < 9; ++i) {
      const estimation::testing::RecordedFit& searched =
          estimation::testing::kYellowfinDefaultSearch[i];
      model::ModelFit& fit = y.State.ModelFits[i];
      fit.R = searched.r;
      fit.K = searched.K;
      fit.Q = searched.q;
      if (fit.Kind == ProductionModelKind::PellaTomlinson) fit.Exponent = searched.p;
    }
    return y;
  }();
  return example;
}

estimation::ObservationErrorOptions ObservationOptions(const estimation::ParameterBounds& bounds) {
  estimation::ObservationErrorOptions options;
  options.Bounds = bounds;
  return options;
}

BootstrapOptions Options(long long threads = 1, std::uint64_t seed = 1) {
  BootstrapOptions options;
  options.Replicates = 200;
  options.Threads = threads;
  options.Seed = seed;
  return options;
}

// The two estimators on the yellowfin example: the procedure's Schaefer
// sum-of-squares variant and the observation-error Schaefer fit.
BootstrapResult RunEstimator(Estimator estimator, const BootstrapOptions& options) {
  const Yellowfin& y = YellowfinExample();
  if (estimator == Estimator::Procedure) return BootstrapProcedure(y.State, 0, y.Bounds, options);
  const auto fitOptions = ObservationOptions(y.Bounds);
  const auto fit = estimation::FitObservationError(y.State.AnalysisSeries,
                                                   ProductionModelKind::Schaefer, fitOptions);
  return BootstrapObservationError(y.State.AnalysisSeries, fit, fitOptions, options);
}

std::vector<std::uint64_t> BitsOf(const BootstrapResult& result) {
  std::vector<std::uint64_t> bits;
  for (const Replicate& x : result.Replicates) {
    for (double v : {x.R, x.K, x.Q, x.P, x.Phi, x.MSY, x.BMSY, x.FMSY, x.EMSY, x.BLast, x.FLast}) {
      bits.push_back(std::bit_cast<std::uint64_t>(v));
    }
    bits.push_back(x.Failed * 2u + x.AtBound);
  }
  for (const Interval& i : result.Quantities) {
    for (double v : {i.Estimate, i.Median, i.Lower, i.Upper}) {
      bits.push_back(std::bit_cast<std::uint64_t>(v));
    }
  }
  return bits;
}

// The resampler draws every residual of its pool, the last one included,
// and nothing else.
TEST(DrawResidual, ReachesEveryResidualOfThePool) {
  const std::vector<double> pool = {-0.3, -0.1, 0.05, 0.2, 0.4};
  ReplicateRandom random(7, 3);
  std::vector<int> hits(pool.size());
  for (int k = 0; k < 500; ++k) {
    const double e = DrawResidual(pool, random);
    const auto at = std::find(pool.begin(), pool.end(), e);
    ASSERT_NE(at, pool.end()) << e;
    ++hits[static_cast<std::size_t>(at - pool.begin())];
  }
  for (std::size_t i = 0; i < pool.size(); ++i) EXPECT_GT(hits[i], 50) << i;
}

TEST(Bootstrap, TheSeedAloneDecidesTheBitsWhateverTheThreads) {
  for (Estimator estimator : {Estimator::Procedure, Estimator::ObservationError}) {
    SCOPED_TRACE(static_cast<int>(estimator));
    const std::vector<std::uint64_t> one = BitsOf(RunEstimator(estimator, Options(1)));
    EXPECT_EQ(BitsOf(RunEstimator(estimator, Options(2))), one);
    EXPECT_NE(BitsOf(RunEstimator(estimator, Options(1, 2))), one);
  }
}

TEST(Bootstrap, LeavesTheProceduresRandomStreamAndRecordsAlone) {
  const Yellowfin& y = YellowfinExample();
  AssessmentState state = y.State;
  const std::uint32_t seed = state.Random.Seed();
  const double r = state.ModelFits[4].R;
  BootstrapProcedure(state, 4, y.Bounds, Options(2));
  EXPECT_EQ(state.Random.Seed(), seed);
  EXPECT_EQ(state.ModelFits[4].R, r);
}

// Every variant of the example and the observation-error fit of every kind:
// lower ≤ median ≤ upper and the interval holds the estimate; the Kobe
// cloud's quadrants agree with the probabilities.
TEST(Bootstrap, IntervalsAreOrderedAndHoldTheEstimateOnTheYellowfinExample) {
  const Yellowfin& y = YellowfinExample();
  std::vector<BootstrapResult> results;
  for (std::size_t i = 0; i < 9; ++i)
    results.push_back(BootstrapProcedure(y.State, i, y.Bounds, Options(2)));
  const auto fitOptions = ObservationOptions(y.Bounds);
  for (ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                   ProductionModelKind::PellaTomlinson}) {
    const auto fit = estimation::FitObservationError(y.State.AnalysisSeries, kind, fitOptions);
    results.push_back(
        BootstrapObservationError(y.State.AnalysisSeries, fit, fitOptions, Options(2)));
  }
  for (std::size_t v = 0; v < results.size(); ++v) {
    const BootstrapResult& result = results[v];
    EXPECT_LT(result.Failed, result.ReplicateCount / 20) << "result " << v;
    for (std::size_t q = 0; q < kQuantityCount; ++q) {
      const Interval& i = result.Quantities[q];
      SCOPED_TRACE("result " + std::to_string(v) + ", " + QuantityName(static_cast<Quantity>(q)));
      EXPECT_EQ(i.Estimated, q != static_cast<std::size_t>(Quantity::P) ||
                                 result.Kind == ProductionModelKind::PellaTomlinson);
      if (!i.Estimated) continue;
      EXPECT_LE(i.Lower, i.Median);
      EXPECT_LE(i.Median, i.Upper);
      EXPECT_LE(i.Lower, i.Estimate);
      EXPECT_LE(i.Estimate, i.Upper);
    }
    const KobeCloud cloud = KobeCloudOf(result);
    const auto share = [&](projection::KobeQuadrant quadrant) {
      return cloud.QuadrantProbabilities[static_cast<std::size_t>(quadrant)];
    };
    EXPECT_EQ(cloud.Points.size(), static_cast<std::size_t>(result.ReplicateCount - result.Failed -
                                                            result.ZeroProduction));
    EXPECT_NEAR(share(projection::KobeQuadrant::Yellow) + share(projection::KobeQuadrant::Red),
                result.ProbBelowBmsy, 1e-12);
    EXPECT_NEAR(share(projection::KobeQuadrant::Orange) + share(projection::KobeQuadrant::Red),
                result.ProbAboveFmsy, 1e-12);
    EXPECT_NEAR(share(projection::KobeQuadrant::Green) + share(projection::KobeQuadrant::Yellow) +
                    share(projection::KobeQuadrant::Orange) + share(projection::KobeQuadrant::Red),
                1.0, 1e-12);
    EXPECT_LE(result.ProbBelowBlim, result.ProbBelowBmsy);
  }
}

// The observation-error model's own yearly balance without error.
data::CatchEffortSeries ExactBalance(double r, double K, double q) {
  data::CatchEffortSeries s;
  s.FirstYear = 1990;
  double B = K;
  for (int t = 0; t < 30; ++t) {
    const double C = (t < 18 ? 0.05 + 0.02 * t : 0.15) * B;
    s.U.push_back(q * B);
    s.C.push_back(C);
    s.E.push_back(C / (q * B));
    B = B + model::SurplusProduction(ProductionModelKind::Schaefer, B, r, K, 2.0) - C;
  }
  return s;
}

TEST(Bootstrap, ASeriesWithoutErrorGivesIntervalsOfNearZeroWidth) {
  std::vector<BootstrapResult> results;
  const data::CatchEffortSeries exact = estimation::testing::ExactSchaeferSeries();
  estimation::ParameterBounds bounds;
  bounds.MinR = 0.0;
  bounds.MaxR = 1.0;
  bounds.MinK = 5000.0;
  bounds.MaxK = 500000.0;
  for (ObjectiveKind objective :
       {ObjectiveKind::SumOfSquares, ObjectiveKind::LogSumOfSquares, ObjectiveKind::Median}) {
    model::ModelFit fit;
    fit.Objective = objective;
    fit.R = 0.4;
    fit.K = 50000.0;
    fit.Q = 0.0003;
    results.push_back(BootstrapProcedure(exact, fit, bounds,
                                         static_cast<std::uint8_t>(exact.size() - 2), Options(2)));
  }
  const data::CatchEffortSeries balance = ExactBalance(0.5, 1000.0, 0.01);
  estimation::ObservationErrorOptions fitOptions;
  fitOptions.Bounds.MinK = 100.0;
  fitOptions.Bounds.MaxK = 100000.0;
  const auto fit =
      estimation::FitObservationError(balance, ProductionModelKind::Schaefer, fitOptions);
  results.push_back(BootstrapObservationError(balance, fit, fitOptions, Options(2)));
  for (const BootstrapResult& result : results) {
    EXPECT_EQ(result.Failed, 0);
    for (std::size_t q = 0; q < kQuantityCount; ++q) {
      const Interval& i = result.Quantities[q];
      if (!i.Estimated) continue;
      EXPECT_LT(i.Upper - i.Lower, 1e-6 * std::fabs(i.Estimate))
          << QuantityName(static_cast<Quantity>(q)) << ", objective "
          << static_cast<int>(result.Objective) << ", method " << static_cast<int>(result.Method);
    }
  }
}

TEST(Bootstrap, OptionsOutsideTheirRangesRaiseBeforeAnyReplicate) {
  struct Case {
    int replicates, level;
    double fraction;
    long long threads;
  };
  const Case cases[] = {{99, 90, 0.1, 1},   {10001, 90, 0.1, 1}, {1000, 80, 0.1, 1},
                        {1000, 90, 0.0, 1}, {1000, 90, 1.0, 1},  {1000, 90, 0.5, 65}};
  const Yellowfin& y = YellowfinExample();
  for (const Case& c : cases) {
    BootstrapOptions options;
    options.Replicates = c.replicates;
    options.Level = c.level;
    options.BlimFraction = c.fraction;
    options.Threads = c.threads;
    int calls = 0;
    options.OnProgress = [&](int, int) { ++calls; };
    EXPECT_THROW(BootstrapProcedure(y.State, 0, y.Bounds, options), Error);
    EXPECT_EQ(calls, 0);
  }
}

TEST(Bootstrap, ReportsProgressToTheTotalAndStopsWhenAskedOrWhenProgressRaises) {
  const Yellowfin& y = YellowfinExample();
  for (long long threads : {1LL, 2LL}) {
    BootstrapOptions options = Options(threads);
    std::vector<int> done;
    options.OnProgress = [&](int d, int total) {
      EXPECT_EQ(total, 200);
      done.push_back(d);
    };
    BootstrapProcedure(y.State, 0, y.Bounds, options);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), 200);
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    EXPECT_LE(done.size(), 101u);

    std::stop_source stop;
    options.Stop = stop.get_token();
    options.OnProgress = [&](int d, int) {
      if (d >= 50) stop.request_stop();
    };
    EXPECT_THROW(BootstrapProcedure(y.State, 0, y.Bounds, options), Cancelled);

    options.Stop = {};
    options.OnProgress = [](int d, int) {
      if (d >= 50) throw std::runtime_error("closed");
    };
    EXPECT_THROW(BootstrapProcedure(y.State, 0, y.Bounds, options), std::runtime_error);
  }
}

TEST(Bootstrap, ReportLinesWriteTheLocalesDecimalMark) {
  const BootstrapResult result = RunEstimator(Estimator::Procedure, Options(2));
  const std::vector<std::string> lines = ReportLines(result, ',');
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(),
            "Доверительные интервалы (бутстреп остатков, N = 200, зерно 1, уровень 90 %)");
  int quantities = 0;
  for (const std::string& line : lines) {
    if (line.rfind("FMSY: ", 0) == 0 || line.rfind("r: ", 0) == 0 || line.rfind("q: ", 0) == 0) {
      ++quantities;
      EXPECT_EQ(line.find('.'), std::string::npos) << line;
      EXPECT_NE(line.find(','), std::string::npos) << line;
    }
  }
  EXPECT_EQ(quantities, 3);
}

}  // namespace
}  // namespace tarvik::uncertainty
