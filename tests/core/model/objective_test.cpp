#include "model/objective.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/error.h"
#include "model/production.h"
#include "model/random.h"

namespace tarvik::model {
namespace {

const std::vector<double> kResiduals = {3.0, -1.0, 0.5, -2.0, 4.0};

TEST(TrimmedObjectives, KeepingEveryResidual) {
  EXPECT_NEAR(TrimmedRms(kResiduals, 5), 2.4597, 5e-5);
  EXPECT_EQ(TrimmedRms(kResiduals, 5), std::sqrt(30.25 / 5.0));
  EXPECT_EQ(TrimmedMeanAbs(kResiduals, 5), 2.1);
  double logSum = 0.0;
  for (double e : {0.5, 1.0, 2.0, 3.0, 4.0}) logSum += std::log(1.0 + e * e);
  EXPECT_EQ(TrimmedLogRms(kResiduals, 5), std::sqrt(std::exp(logSum / 5.0) - 1.0));
}

TEST(TrimmedObjectives, OddTrimDropsOneSmallestAndOneLargest) {
  // Sorted 0.5, 1, 2, 3, 4; c = 1; kept 1, 2, 3; D = 3.
  EXPECT_EQ(TrimmedMeanAbs(kResiduals, 3), 2.0);
  EXPECT_EQ(TrimmedRms(kResiduals, 3), std::sqrt(14.0 / 3.0));
}

TEST(TrimmedObjectives, EvenTrimDividesByOneMoreThanTheKeptCount) {
  // m = 2: c = 3 div 2 = 1; kept 1, 2; D = 3 (not 2).
  EXPECT_EQ(TrimmedRms(kResiduals, 2), std::sqrt(5.0 / 3.0));
  EXPECT_NEAR(TrimmedRms(kResiduals, 2), 1.2910, 5e-5);
  EXPECT_EQ(TrimmedMeanAbs(kResiduals, 2), 1.0);
}

TEST(TrimmedObjectives, PerfectFitGivesZero) {
  const std::vector<double> zeros(7, 0.0);
  for (std::uint8_t m : {7, 5, 1}) {
    EXPECT_EQ(TrimmedRms(zeros, m), 0.0);
    EXPECT_EQ(TrimmedLogRms(zeros, m), 0.0);
    EXPECT_EQ(TrimmedMeanAbs(zeros, m), 0.0);
  }
}

TEST(TrimmedObjectives, LogRmsOfOneResidualIsItsAbsoluteValue) {
  const std::vector<double> one = {-1.75};
  EXPECT_NEAR(TrimmedLogRms(one, 1), 1.75, 1e-12);
}

TEST(TrimmedObjectives, ZeroDivisorRaises) {
  // N = 2, m = 0: c = 1, D = 0.
  const std::vector<double> two = {1.0, 2.0};
  EXPECT_THROW(TrimmedRms(two, 0), Error);
  EXPECT_THROW(TrimmedMeanAbs(std::vector<double>{}, 0), Error);
  try {
    TrimmedLogRms(two, 0);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Деление на ноль при расчёте целевой функции");
  }
}

TEST(TrimmedObjectives, KeepCountAboveResidualCountRaises) {
  EXPECT_THROW(TrimmedRms(kResiduals, 6), Error);
}

TEST(SortResiduals, AbsoluteAscendingAndInputUnchanged) {
  const std::vector<double> input = kResiduals;
  EXPECT_EQ(SortResiduals(input), (std::vector<double>{0.5, 1.0, 2.0, 3.0, 4.0}));
  EXPECT_EQ(input, kResiduals);
}

TEST(KeepCount, RoundsHalvesToEven) {
  EXPECT_EQ(KeepCountFor(22, 0), 20);
  EXPECT_EQ(KeepCountFor(22, 3), 14);  // 20 · 0.7
  EXPECT_EQ(KeepCountFor(7, 1), 4);    // 5 · 0.9 = 4.5 → 4
  EXPECT_EQ(KeepCountFor(7, 3), 4);    // 5 · 0.7 = 3.5 → 4
  EXPECT_EQ(KeepCountFor(7, 9), 0);    // 0.5 → 0
}

// The residuals and objectives written out literally: arrays allocated per
// call, a bubble sort, the sums in the order written.
double LiteralObjective(const std::vector<double>& U, const std::vector<double>& C,
                        ObjectiveKind objective, ProductionModelKind kind, double r, double K,
                        double q, double p, int m) {
  std::vector<double> residuals;
  for (std::size_t t = 2; t < U.size(); ++t) {
    const double S = U[t - 1] + U[t - 2];
    const double B = S / (2 * q);
    const double g = ProductionShape(kind, B, K, p);
    const double predicted = U[t - 2] + (r * g) * S - (2 * q) * C[t - 1];
    residuals.push_back(U[t] - predicted);
  }
  std::vector<double> a;
  for (double e : residuals) a.push_back(std::fabs(e));
  const int N = static_cast<int>(a.size());
  for (int i = 1; i <= N - 1; ++i) {
    for (int j = 0; j <= N - 1 - i; ++j) {
      if (a[j] > a[j + 1]) std::swap(a[j], a[j + 1]);
    }
  }
  const int c = (N - m) / 2;
  const double D = N - 2 * c;
  double sum = 0.0;
  for (int i = c; i < c + m; ++i) {
    if (objective == ObjectiveKind::SumOfSquares) sum += a[i] * a[i];
    if (objective == ObjectiveKind::LogSumOfSquares) sum += std::log(1 + a[i] * a[i]);
    if (objective == ObjectiveKind::Median) sum += a[i];
  }
  if (objective == ObjectiveKind::SumOfSquares) return std::sqrt(sum / D);
  if (objective == ObjectiveKind::LogSumOfSquares) return std::sqrt(std::exp(sum / D) - 1);
  return sum / D;
}

// A noisy Schaefer series of n years.
void MakeSeries(int n, std::vector<double>& U, std::vector<double>& C) {
  RandomSource random(12345);
  const double r = 0.4, K = 5000.0, q = 0.001;
  double B = K;
  U.clear();
  C.clear();
  for (int t = 0; t < n; ++t) {
    const double catchYear = B * (0.1 + 0.3 * random.RandomReal());
    U.push_back(q * B * std::exp(random.RandomGauss(0.0, 0.1)));
    C.push_back(catchYear);
    B = std::max(B + r * B * (1 - B / K) - catchYear, 50.0);
  }
}

TEST(EvaluateObjective, GivesTheSameBitsAsTheLiteralAlgorithm) {
  for (int n : {3, 8, 22, 60, 100}) {
    std::vector<double> U, C;
    MakeSeries(n, U, C);
    for (auto kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                      ProductionModelKind::PellaTomlinson}) {
      for (auto objective : {ObjectiveKind::SumOfSquares, ObjectiveKind::LogSumOfSquares,
                             ObjectiveKind::Median}) {
        for (int s : {0, 3, 9}) {
          const auto m = KeepCountFor(n, s);
          if (n - 2 - m == 0 && m == 0) continue;
          for (double p : {2.0, 1.37, 10.0}) {
            const double expected =
                LiteralObjective(U, C, objective, kind, 0.41, 5300.0, 0.00097, p, m);
            const double actual =
                EvaluateObjective(U, C, objective, kind, 0.41, 5300.0, 0.00097, p, m);
            ASSERT_EQ(actual, expected) << "n=" << n << " kind=" << int(kind)
                                        << " objective=" << int(objective) << " s=" << s;
          }
        }
      }
    }
  }
}

TEST(EvaluateObjective, ThreeYearsGiveOneResidual) {
  const std::vector<double> U = {1.0, 0.9, 0.85}, C = {100.0, 120.0, 110.0};
  const auto residuals = CpueResiduals(U, C, ProductionModelKind::Schaefer, 0.5, 2000.0, 0.001, 0);
  ASSERT_EQ(residuals.size(), 1u);
  EXPECT_EQ(EvaluateObjective(U, C, ObjectiveKind::Median, ProductionModelKind::Schaefer, 0.5,
                              2000.0, 0.001, 0, 1),
            std::fabs(residuals[0]));
}

TEST(EvaluateObjective, ExactModelGivesZero) {
  // Build U from the model's own recursion so that every residual is 0.
  const double r = 0.5, K = 1000.0, q = 0.01;
  std::vector<double> U = {6.0, 5.5}, C = {40.0, 45.0};
  for (int t = 2; t < 12; ++t) {
    C.push_back(30.0 + t);
    const double S = U[t - 1] + U[t - 2];
    U.push_back(U[t - 2] + r * ProductionShape(ProductionModelKind::Schaefer, S / (2 * q), K, 0) * S -
                2 * q * C[t - 1]);
  }
  EXPECT_EQ(EvaluateObjective(U, C, ObjectiveKind::SumOfSquares, ProductionModelKind::Schaefer,
                              r, K, q, 0, 10),
            0.0);
}

TEST(EvaluateObjective, ZeroCatchabilityAndFoxNonPositiveBiomassRaise) {
  const std::vector<double> U = {1.0, 0.9, 0.85, 0.8}, C = {100.0, 120.0, 110.0, 90.0};
  EXPECT_THROW(EvaluateObjective(U, C, ObjectiveKind::SumOfSquares,
                                 ProductionModelKind::Schaefer, 0.5, 2000.0, 0.0, 0, 2),
               Error);
  const std::vector<double> negative = {-1.0, 0.5, 0.4, 0.3};
  EXPECT_THROW(EvaluateObjective(negative, C, ObjectiveKind::SumOfSquares,
                                 ProductionModelKind::Fox, 0.5, 2000.0, 0.001, 0, 2),
               Error);
  EXPECT_THROW(EvaluateObjective(std::vector<double>{1.0, 2.0}, std::vector<double>{1.0, 2.0},
                                 ObjectiveKind::SumOfSquares, ProductionModelKind::Schaefer,
                                 0.5, 2000.0, 0.001, 0, 0),
               Error);
}

}  // namespace
}  // namespace tarvik::model
