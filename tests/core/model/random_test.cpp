#include "model/random.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvik::model {
namespace {

TEST(RandomSource, StartsAtZeroAndStepsAsTheLinearCongruentialGenerator) {
  RandomSource random;
  EXPECT_EQ(random.Seed(), 0u);
  // 0 → 1 → 134775814 → 3698175007 → 870078620; results ⌊seed·10 / 2^32⌋.
  EXPECT_EQ(random.RandomInt(10), 0u);
  EXPECT_EQ(random.Seed(), 1u);
  EXPECT_EQ(random.RandomInt(10), 0u);
  EXPECT_EQ(random.Seed(), 134775814u);
  EXPECT_EQ(random.RandomInt(10), 8u);
  EXPECT_EQ(random.Seed(), 3698175007u);
  EXPECT_EQ(random.RandomInt(10), 2u);
  EXPECT_EQ(random.Seed(), 870078620u);
}

TEST(RandomSource, FirstRealAfterStartIsTwoToTheMinus32) {
  RandomSource random;
  EXPECT_EQ(random.RandomReal(), std::ldexp(1.0, -32));
  EXPECT_EQ(random.Seed(), 1u);
}

TEST(RandomSource, RealsLieInTheUnitIntervalAndIntsBelowTheirBound) {
  RandomSource random(0xFFFFFFF0u);
  for (int i = 0; i < 100000; ++i) {
    const double u = random.RandomReal();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    ASSERT_LT(random.RandomInt(7), 7u);
  }
}

TEST(RandomSource, GaussWithZeroDeviationReturnsTheMeanAndStillAdvances) {
  RandomSource random;
  for (int i = 0; i < 50; ++i) {
    const std::uint32_t before = random.Seed();
    EXPECT_EQ(random.RandomGauss(3.25, 0.0), 3.25);
    EXPECT_NE(random.Seed(), before);
  }
}

TEST(RandomSource, GaussTakesAnEvenNumberOfStepsPerCall) {
  RandomSource gauss;
  RandomSource reals;
  for (int i = 0; i < 1000; ++i) {
    gauss.RandomGauss(0.0, 1.0);
    // Replay the same draws two at a time until the states meet again.
    int steps = 0;
    while (reals.Seed() != gauss.Seed()) {
      reals.RandomReal();
      ++steps;
      ASSERT_LT(steps, 1000);
    }
    EXPECT_EQ(steps % 2, 0);
  }
}

TEST(RandomSource, GaussIsThePolarMethodOnTheFirstDeviate) {
  RandomSource random;
  RandomSource replay;
  const double g = random.RandomGauss(1.0, 2.0);
  double u1 = 0.0, s = 0.0;
  do {
    u1 = 2.0 * replay.RandomReal() - 1.0;
    const double u2 = 2.0 * replay.RandomReal() - 1.0;
    s = u2 * u2 + u1 * u1;
  } while (s >= 1.0);
  EXPECT_EQ(g, 1.0 + 2.0 * u1 * std::sqrt(-2.0 * std::log(s) / s));
}

TEST(RandomSource, GaussDrawsHaveTheRequestedMoments) {
  RandomSource random;
  const int n = 200000;
  double sum = 0.0, sumSq = 0.0;
  for (int i = 0; i < n; ++i) {
    const double x = random.RandomGauss(5.0, 0.5);
    sum += x;
    sumSq += x * x;
  }
  const double mean = sum / n;
  EXPECT_NEAR(mean, 5.0, 0.01);
  EXPECT_NEAR(std::sqrt(sumSq / n - mean * mean), 0.5, 0.01);
}

}  // namespace
}  // namespace tarvik::model
