#include "data/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::data {
namespace {

TEST(SeriesStatistics, MeanMaxMin) {
  const std::vector<double> x = {3.0, -1.0, 7.5, 2.0};
  EXPECT_EQ(SeriesMean(x), 11.5 / 4.0);
  EXPECT_EQ(SeriesMax(x), 7.5);
  EXPECT_EQ(SeriesMin(x), -1.0);
  EXPECT_THROW(SeriesMean(std::vector<double>{}), Error);
  EXPECT_THROW(SeriesMax(std::vector<double>{}), Error);
}

TEST(Correlation, ExactValuesAndSign) {
  EXPECT_EQ(Correlation(std::vector<double>{1, 2, 3}, std::vector<double>{1, 3, 2}), 0.5);
  EXPECT_EQ(Correlation(std::vector<double>{1, 2, 3, 4}, std::vector<double>{8, 6, 4, 2}), -1.0);
}

TEST(Correlation, RoundsToFourDecimalsHalvesToEven) {
  // x = 1..4, y = 1, 3, 2, 5: r = 0.8 / sqrt(1.25 · 0.8... ) computed exactly below.
  const std::vector<double> x = {1, 2, 3, 4}, y = {1, 3, 2, 5};
  const double r = Correlation(x, y);
  EXPECT_EQ(r, std::nearbyint(0.8315218406202999 / 1e-4) * 1e-4);  // 0.8315
  EXPECT_NEAR(r, 0.8315, 1e-12);
  // The rounding itself: 312.5 → 312 and 937.5 → 938 (ties to even).
  EXPECT_EQ(RoundDecimals(0.03125, 4), 312 * 1e-4);
  EXPECT_EQ(RoundDecimals(0.09375, 4), 938 * 1e-4);
  EXPECT_EQ(RoundDecimals(-0.03125, 4), -312 * 1e-4);
}

TEST(Correlation, GuardsAgainstTooFewValuesAndConstantSeries) {
  EXPECT_THROW(Correlation(std::vector<double>{1.0}, std::vector<double>{2.0}), Error);
  EXPECT_THROW(Correlation(std::vector<double>{1, 2, 3}, std::vector<double>{2, 2, 2}), Error);
}

TEST(LinearFit, RecoversALine) {
  const std::vector<double> x = {1, 2, 3, 4, 5};
  std::vector<double> y;
  for (double v : x) y.push_back(-0.5 * v + 7.0);
  const Line line = LinearFit(x, y);
  EXPECT_DOUBLE_EQ(line.a, -0.5);
  EXPECT_DOUBLE_EQ(line.b, 7.0);
}

TEST(LinearFit, EqualEffortEverywhereRaises) {
  EXPECT_THROW(LinearFit(std::vector<double>{3, 3}, std::vector<double>{1, 2}), Error);
  EXPECT_THROW(LinearFit(std::vector<double>{3}, std::vector<double>{1}), Error);
}

TEST(LogAndPowerSeries, ValuesAndFaults) {
  EXPECT_EQ(LogSeries(std::vector<double>{1.0, std::exp(2.0)})[1], std::log(std::exp(2.0)));
  EXPECT_THROW(LogSeries(std::vector<double>{1.0, 0.0}), Error);
  const auto squares = PowerSeries(std::vector<double>{1.5, -2.0, 0.0}, 2.0);
  EXPECT_EQ(squares, (std::vector<double>{2.25, 4.0, 0.0}));
  EXPECT_EQ(PowerSeries(std::vector<double>{0.0}, 0.3)[0], 0.0);
  EXPECT_THROW(PowerSeries(std::vector<double>{-1.0}, 0.5), Error);
}

// The one median of the program (replicate columns, residual locations):
// the middle element, or the lower middle one plus half the difference.
TEST(SeriesMedian, OddAndEvenCounts) {
  struct Case {
    std::vector<double> values;
    double median;
  };
  const Case cases[] = {{{5.0}, 5.0},
                        {{3.0, -1.0, 2.0}, 2.0},
                        {{4.0, 1.0, 3.0, 2.0}, 2.5},
                        {{0.1, 0.7}, 0.1 + 0.5 * (0.7 - 0.1)}};
  for (Case c : cases) EXPECT_EQ(SeriesMedian(c.values), c.median);
  std::vector<double> none;
  EXPECT_THROW(SeriesMedian(none), Error);
}

}  // namespace
}  // namespace tarvik::data
