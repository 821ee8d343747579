#include "assessment/fit_checks.h"
#include "estimation/retro_analysis.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "assessment/search.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/objective_evaluator.h"
#include "estimation/variants.h"
#include "model/model_fit.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

struct Case {
  AssessmentState state;
  data::DataTable table;
  SearchTexts texts;
};

Case Prepared(std::uint8_t keepCount) {
  Case c;
  BuildModelFits(c.state, "4");
  c.state.AnalysisSeries = testing::FishedStock(22);
  c.table = testing::TableOf(c.state.AnalysisSeries);
  c.state.MedianKeepCount = keepCount;
  c.texts.InitialK = "15000";
  c.texts.MinK = "2000";
  c.texts.MaxK = "200000";
  return c;
}

RetrospectiveOptions Short(int threads = 1) {
  RetrospectiveOptions options;
  options.MaxFailures = 2000;
  options.Threads = threads;
  return options;
}

TEST(RunRetrospective, CurvesCoverTheYearsOfEachShortenedSeries) {
  Case c = Prepared(20);
  const RetrospectiveResult result = RunRetrospective(c.state, c.table, 0, c.texts, '.', Short());
  const data::CatchEffortSeries& s = c.state.AnalysisSeries;
  for (int k = 1; k <= 10; ++k) {
    const RetrospectiveRun& run = result.Runs[k - 1];
    const int cut = k <= 5 ? k : k - 5;
    EXPECT_EQ(run.Run, k);
    EXPECT_EQ(run.Years, 22u - cut);
    EXPECT_EQ(run.Curve.size(), 22u - cut + 1) << "run " << k;  // plus the zero point
    EXPECT_EQ(run.Q, run.Best.q);
  }
  // Run 3 starts at 1934 + 3 with a zero point, then the first kept year at the same x.
  const RetrospectiveRun& third = result.Runs[2];
  EXPECT_EQ(third.Curve[0].x, 1937.0);
  EXPECT_EQ(third.Curve[0].y, 0.0);
  EXPECT_EQ(third.Curve[1].x, 1937.0);
  EXPECT_DOUBLE_EQ(third.Curve[1].y, s.C[3] / (third.Q * s.E[3]));
  EXPECT_EQ(third.Curve.back().x, 1955.0);
  // Run 7 (the last two years dropped) ends at 1953 and is closed by a zero there.
  const RetrospectiveRun& seventh = result.Runs[6];
  EXPECT_EQ(seventh.Curve[0].x, 1934.0);
  EXPECT_DOUBLE_EQ(seventh.Curve[0].y, s.C[0] / (seventh.Q * s.E[0]));
  EXPECT_EQ(seventh.Curve[seventh.Curve.size() - 2].x, 1953.0);
  EXPECT_EQ(seventh.Curve.back().x, 1953.0);
  EXPECT_EQ(seventh.Curve.back().y, 0.0);
}

TEST(RunRetrospective, RunsContinueFromEachOtherAndTheStream) {
  Case c = Prepared(12);
  c.state.Random.Restore(777);
  const RetrospectiveResult result = RunRetrospective(c.state, c.table, 7, c.texts, '.', Short());

  // The same ten searches by hand: Pella-Tomlinson, log sum of squares, p in [2, 100].
  SearchSettings settings = ReadSearchSettings(c.texts, '.');
  settings.Bounds.MinP = 2.0;
  settings.Bounds.MaxP = 100.0;
  model::RandomSource random(777);
  EngineOptions engine;
  engine.MaxFailures = 2000;
  ParameterPoint x = settings.Start;
  const data::CatchEffortSeries& s = c.state.AnalysisSeries;
  for (int k = 1; k <= 10; ++k) {
    const std::size_t first = k <= 5 ? k : 0;
    const std::size_t length = 22 - (k <= 5 ? k : k - 5);
    const ObjectiveEvaluator evaluator(
        std::span(s.U).subspan(first, length), std::span(s.C).subspan(first, length),
        model::ObjectiveKind::LogSumOfSquares, model::ProductionModelKind::PellaTomlinson, 12);
    const SearchOutcome outcome = SearchVariant(evaluator, x, settings.Bounds, random, engine);
    x = outcome.Best;
    const RetrospectiveRun& run = result.Runs[k - 1];
    EXPECT_EQ(Bits(run.Best.r), Bits(x.r)) << "run " << k;
    EXPECT_EQ(Bits(run.Best.p), Bits(x.p)) << "run " << k;
    EXPECT_EQ(Bits(run.Objective), Bits(outcome.Objective)) << "run " << k;
    EXPECT_GE(run.Best.p, 2.0);
    EXPECT_LE(run.Best.p, 100.0);
    EXPECT_EQ(run.KeepCount, 12);
  }
  EXPECT_EQ(c.state.Random.Seed(), random.Seed());
  EXPECT_FALSE(result.KeepCountReduced);
  // The records are not changed.
  EXPECT_EQ(c.state.ModelFits[7].R, 0.0);
}

TEST(RunRetrospective, KeepCountAboveTheResidualsOfAShortSeriesKeepsThemAll) {
  Case c = Prepared(20);  // 22 years at trim 0
  const RetrospectiveResult result = RunRetrospective(c.state, c.table, 2, c.texts, '.', Short());
  EXPECT_TRUE(result.KeepCountReduced);
  EXPECT_EQ(result.Runs[0].KeepCount, 19);  // 21 years, 19 residuals
  EXPECT_EQ(result.Runs[4].KeepCount, 15);
  EXPECT_EQ(result.Runs[9].KeepCount, 15);
  EXPECT_EQ(c.state.MedianKeepCount, 20);  // the search's count stays
}

TEST(RunRetrospective, ParallelGivesTheSequentialBits) {
  Case a = Prepared(14);
  Case b = Prepared(14);
  RetrospectiveOptions parallel = Short(2);
  parallel.MaxFailures = 5000;
  RetrospectiveOptions sequential = Short(1);
  sequential.MaxFailures = 5000;
  const RetrospectiveResult ra = RunRetrospective(a.state, a.table, 4, a.texts, '.', sequential);
  const RetrospectiveResult rb = RunRetrospective(b.state, b.table, 4, b.texts, '.', parallel);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(Bits(ra.Runs[k].Q), Bits(rb.Runs[k].Q));
    EXPECT_EQ(Bits(ra.Runs[k].Objective), Bits(rb.Runs[k].Objective));
    EXPECT_EQ(ra.Runs[k].Curve, rb.Runs[k].Curve);
  }
  EXPECT_EQ(a.state.Random.Seed(), b.state.Random.Seed());
}

TEST(RunRetrospective, MemoCountsTheRuns) {
  Case c = Prepared(10);
  std::vector<std::string> lines;
  RetrospectiveOptions options = Short();
  options.OnMemoLine = [&](const std::string& line) { lines.push_back(line); };
  RunRetrospective(c.state, c.table, 0, c.texts, '.', options);
  EXPECT_EQ(lines, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10",
                                             "Расчёт окончен"}));
}

TEST(RunRetrospective, RefusesBeforeSearching) {
  Case c = Prepared(10);
  SearchTexts bad = c.texts;
  bad.MaxR = "один";
  EXPECT_THROW(RunRetrospective(c.state, c.table, 0, bad, '.', Short()), Error);
  EXPECT_THROW(RunRetrospective(c.state, c.table, 9, c.texts, '.', Short()), Error);
  c.state.MedianKeepCount = 0;  // no search has run
  EXPECT_THROW(RunRetrospective(c.state, c.table, 0, c.texts, '.', Short()), Error);
  c.state.MedianKeepCount = 5;
  c.state.AnalysisSeries = testing::FishedStock(7);
  EXPECT_THROW(RunRetrospective(c.state, c.table, 0, c.texts, '.', Short()), Error);
  EXPECT_EQ(c.state.Random.Seed(), 0u);
}

// Mohn's rho on hand-made runs: with q = 0.001 and run q's of q/1.1, q/1.2,
// q/1.3, q and q/0.9, the peels' biomasses are 1.1, 1.2, 1.3, 1 and 0.9
// times the full ones in their last years, and ρ = (0.1 + 0.2 + 0.3 + 0 − 0.1) / 5 = 0.1.
TEST(MohnRho, MeanRelativeDifferenceOfThePeelsInTheirLastYears) {
  data::CatchEffortSeries s;
  for (int t = 0; t < 12; ++t) {
    s.C.push_back(100.0 + 10.0 * t);
    s.E.push_back(50.0 + t);
    s.U.push_back(s.C.back() / s.E.back());
  }
  const double q = 0.001;
  const double factors[5] = {1.1, 1.2, 1.3, 1.0, 0.9};
  std::array<RetrospectiveRun, 10> runs;
  for (int k = 6; k <= 10; ++k) {
    runs[k - 1].Run = k;
    runs[k - 1].Years = 12 - (k - 5);
    runs[k - 1].Q = q / factors[k - 6];
  }
  const MohnRho m = ComputeMohnRho(runs, s, 2000, q);
  ASSERT_TRUE(m.Available) << m.Message;
  EXPECT_NEAR(m.Rho, 0.1, 1e-12);
  // Run 6 ends in 2010 (index 10): B_full = 200 / (0.001 · 60).
  EXPECT_EQ(m.Peels[0].Run, 6);
  EXPECT_EQ(m.Peels[0].Year, 2010);
  EXPECT_DOUBLE_EQ(m.Peels[0].FullBiomass, 200.0 / (0.001 * 60.0));
  EXPECT_DOUBLE_EQ(m.Peels[0].PeelBiomass, 1.1 * 200.0 / (0.001 * 60.0));
  EXPECT_NEAR(m.Peels[0].RelativeDifference, 0.1, 1e-12);
  EXPECT_EQ(m.Peels[4].Year, 2006);  // run 10: the last five years dropped
  EXPECT_NEAR(m.Peels[4].RelativeDifference, -0.1, 1e-12);
  EXPECT_TRUE(m.WithinLongLived);
  EXPECT_TRUE(m.WithinShortLived);
  EXPECT_EQ(m.ChartLabel, "ρ Мона = 0.100");
  EXPECT_EQ(m.Text.rfind("Коэффициент Мона ρ = 0.100: в пределах", 0), 0u) << m.Text;
  EXPECT_NE(m.Text.find("-0.15 … 0.20"), std::string::npos);
  EXPECT_NE(m.Text.find("-0.22 … 0.30"), std::string::npos);

  // ρ = 0.25: acceptable for short-lived stocks only; ρ = −0.3: for neither.
  for (int k = 6; k <= 10; ++k) runs[k - 1].Q = q / 1.25;
  const MohnRho shortLived = ComputeMohnRho(runs, s, 2000, q, ',');
  EXPECT_NEAR(shortLived.Rho, 0.25, 1e-12);
  EXPECT_FALSE(shortLived.WithinLongLived);
  EXPECT_TRUE(shortLived.WithinShortLived);
  EXPECT_EQ(shortLived.ChartLabel, "ρ Мона = 0,250");
  for (int k = 6; k <= 10; ++k) runs[k - 1].Q = q / 0.7;
  const MohnRho neither = ComputeMohnRho(runs, s, 2000, q);
  EXPECT_NEAR(neither.Rho, -0.3, 1e-12);
  EXPECT_FALSE(neither.WithinShortLived);
  EXPECT_NE(neither.Text.find("вне пределов"), std::string::npos);

  // No effort in a peel's last year: no biomass, no ρ, and no NaN.
  s.E[8] = 0.0;
  const MohnRho undefined = ComputeMohnRho(runs, s, 2000, q);
  EXPECT_FALSE(undefined.Available);
  EXPECT_EQ(undefined.Rho, 0.0);
  EXPECT_NE(undefined.Message.find("2008"), std::string::npos) << undefined.Message;
  EXPECT_EQ(undefined.Text.rfind("Коэффициент Мона не определён", 0), 0u);
}

// On a series the model reproduces without error, the peels estimate the
// same q as the whole series and ρ is near 0.
TEST(MohnRho, NearZeroOnASeriesWithoutError) {
  AssessmentState state;
  BuildModelFits(state, "4");
  state.AnalysisSeries = testing::ExactSchaeferSeries(0.4, 50000.0, 0.0003, 25);
  const data::DataTable table = testing::TableOf(state.AnalysisSeries);
  SearchTexts texts;
  texts.InitialR = "0.3";
  texts.InitialK = "40000";
  texts.InitialQ = "0.0005";
  texts.MinK = "5000";
  texts.MaxK = "500000";
  const SearchSettings settings = ReadSearchSettings(texts, '.');
  SearchOptions search;
  search.MaxFailures = 200000;
  for (ModelFit& fit : state.ModelFits) fit.Enabled = 0;
  state.ModelFits[0].Enabled = 1;  // Шефер СК
  EstimateParameters(state, settings, 0, search);
  RetrospectiveOptions options;
  options.MaxFailures = 200000;
  const RetrospectiveResult result = RunRetrospective(state, table, 0, texts, '.', options);
  ASSERT_TRUE(result.Mohn.Available) << result.Mohn.Message;
  EXPECT_LT(std::fabs(result.Mohn.Rho), 0.05);
  EXPECT_EQ(result.Mohn.Peels[0].Year, 1980 + 23);
}

}  // namespace
}  // namespace tarvik::estimation
