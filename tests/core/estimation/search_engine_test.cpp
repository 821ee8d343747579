#include "estimation/search_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/error.h"
#include "estimation/objective_evaluator.h"
#include "estimation/sorting.h"
#include "model/objective.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

const ProductionModelKind kKinds[] = {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                      ProductionModelKind::PellaTomlinson};
const ObjectiveKind kObjectives[] = {ObjectiveKind::SumOfSquares, ObjectiveKind::LogSumOfSquares,
                                     ObjectiveKind::Median};

// ---------------------------------------------------------------------------
// Sorting and the prepared evaluator against the reference.

TEST(SortFiniteAscending, MatchesStdSortForEveryLengthWithTies) {
  model::RandomSource random(3);
  for (std::size_t n = 0; n <= 256; ++n) {
    std::vector<double> a(n);
    for (double& x : a) x = std::floor(random.RandomReal() * 40.0) * 0.25;  // many ties
    std::vector<double> expected = a;
    std::sort(expected.begin(), expected.end());
    SortFiniteAscending(a.data(), n);
    ASSERT_EQ(a, expected) << "n = " << n;
  }
}

TEST(ObjectiveEvaluator, GivesTheReferenceBitsAtRandomPoints) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  model::RandomSource random(5);
  for (ProductionModelKind kind : kKinds) {
    for (ObjectiveKind objective : kObjectives) {
      for (int trim : {0, 3, 9}) {
        const std::uint8_t keep = model::KeepCountFor(s.size(), trim);
        const ObjectiveEvaluator evaluator(s.U, s.C, objective, kind, keep);
        for (int i = 0; i < 2000; ++i) {
          const double r = std::exp(std::log(0.4) + random.GaussDeviate(1.0));
          const double K = std::exp(std::log(12000.0) + random.GaussDeviate(1.0));
          const double q = std::exp(std::log(0.0002) + random.GaussDeviate(1.0));
          const double p = 1.01 + 9.0 * random.RandomReal();
          double fast = 0.0;
          if (!evaluator.TryEvaluate(r, K, q, p, fast)) {
            EXPECT_THROW(model::EvaluateObjective(s, objective, kind, r, K, q, p, keep), Error);
            continue;
          }
          const double reference = model::EvaluateObjective(s, objective, kind, r, K, q, p, keep);
          ASSERT_EQ(Bits(fast), Bits(reference))
              << "kind " << int(kind) << " objective " << int(objective) << " trim " << trim;
        }
      }
    }
  }
}

TEST(ObjectiveEvaluator, LongSeriesAndIntegralExponentAgreeWithTheReference) {
  const data::CatchEffortSeries s = testing::FishedStock(120, 23);
  for (ObjectiveKind objective : kObjectives) {
    const ObjectiveEvaluator evaluator(s.U, s.C, objective, ProductionModelKind::PellaTomlinson,
                                       model::KeepCountFor(s.size(), 2));
    for (double p : {10.0, 2.0, 1.01, 3.7}) {
      const double fast = evaluator.Evaluate(0.41, 11800.0, 0.000197, p);
      EXPECT_EQ(Bits(fast), Bits(model::EvaluateObjective(
                                s, objective, ProductionModelKind::PellaTomlinson, 0.41, 11800.0,
                                0.000197, p, model::KeepCountFor(s.size(), 2))));
    }
  }
}

TEST(ObjectiveEvaluator, FaultsAreLeftToTheReferenceWhichRaises) {
  const data::CatchEffortSeries s = testing::FishedStock(10);
  const ObjectiveEvaluator fox(s.U, s.C, ObjectiveKind::SumOfSquares, ProductionModelKind::Fox, 8);
  double value = 0.0;
  EXPECT_FALSE(fox.TryEvaluate(0.4, 1000.0, 0.0, 2.0, value));  // q = 0
  EXPECT_THROW(fox.Evaluate(0.4, 1000.0, 0.0, 2.0), Error);
  EXPECT_FALSE(fox.TryEvaluate(0.4, -1000.0, 0.0002, 2.0, value));  // ln of B/K < 0
  EXPECT_THROW(fox.Evaluate(0.4, -1000.0, 0.0002, 2.0), Error);
  // A keep count above the residual count cannot be evaluated.
  const ObjectiveEvaluator tooMany(s.U, s.C, ObjectiveKind::Median, ProductionModelKind::Schaefer,
                                   9);
  EXPECT_FALSE(tooMany.TryEvaluate(0.4, 1000.0, 0.0002, 2.0, value));
  EXPECT_THROW(tooMany.Evaluate(0.4, 1000.0, 0.0002, 2.0), Error);
}

// A shifted evaluator (a fixed-design bootstrap replicate) gives the trimmed
// objective of the residuals plus the shift, and raises where it cannot
// evaluate instead of falling back to the unshifted series.
TEST(ObjectiveEvaluator, ShiftedResponsesGiveTheObjectiveOfTheShiftedResiduals) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const double r = 0.43, K = 12500.0, q = 0.00021, p = 2.4;
  for (ProductionModelKind kind : kKinds) {
    std::vector<double> residuals = model::CpueResiduals(s.U, s.C, kind, r, K, q, p);
    std::vector<double> shift(residuals.size());
    for (std::size_t i = 0; i < shift.size(); ++i) shift[i] = 0.3 * std::sin(1.0 + i);
    for (std::size_t i = 0; i < shift.size(); ++i) residuals[i] += shift[i];
    for (ObjectiveKind objective : kObjectives) {
      for (int trim : {0, 4}) {
        const std::uint8_t keep = model::KeepCountFor(s.size(), trim);
        const ObjectiveEvaluator shifted(s.U, s.C, objective, kind, keep, shift);
        const double expected =
            objective == ObjectiveKind::SumOfSquares      ? model::TrimmedRms(residuals, keep)
            : objective == ObjectiveKind::LogSumOfSquares ? model::TrimmedLogRms(residuals, keep)
                                                          : model::TrimmedMeanAbs(residuals, keep);
        EXPECT_NEAR(shifted.Evaluate(r, K, q, p), expected, 1e-12 * expected)
            << "kind " << int(kind) << " objective " << int(objective) << " trim " << trim;
      }
    }
  }
  const std::vector<double> shift(s.size() - 2, 0.1);
  const ObjectiveEvaluator fox(s.U, s.C, ObjectiveKind::SumOfSquares, ProductionModelKind::Fox, 20,
                               shift);
  EXPECT_THROW(fox.Evaluate(0.4, -1000.0, 0.0002, 2.0), Error);
}

// Compare may reject a trial without finishing its evaluation; it must
// reject exactly the trials whose full objective is not below the best value
// and never pass over a fault the full evaluation raises.
void CheckCompare(const data::CatchEffortSeries& s, ProductionModelKind kind,
                  ObjectiveKind objective, std::uint8_t keep, double logSpread, int points,
                  std::uint32_t seed, int* rejected, int* raised = nullptr) {
  const ObjectiveEvaluator evaluator(s.U, s.C, objective, kind, keep);
  model::RandomSource random(seed);
  for (int i = 0; i < points; ++i) {
    const double r = std::exp(std::log(0.4) + random.GaussDeviate(logSpread / 4.0));
    const double K = std::exp(std::log(12000.0) + random.GaussDeviate(logSpread));
    const double q = std::exp(std::log(0.0002) + random.GaussDeviate(logSpread));
    const double p = 1.01 + 9.0 * random.RandomReal();
    double reference = 0.0;
    bool raises = false;
    try {
      reference = model::EvaluateObjective(s, objective, kind, r, K, q, p, keep);
    } catch (const Error&) {
      raises = true;
      if (raised) ++*raised;
    }
    // Best values below, at and above the point's own value.
    for (double factor : {0.3, 0.999999, 1.0, 1.0000001, 3.0}) {
      const double best = raises ? 1.0 : reference * factor;
      double value = 0.0;
      // Residuals in year order, or largest first at a nearby best point.
      const ObjectiveEvaluator::RejectionLimit limit =
          i % 2 == 0 ? evaluator.LimitFor(best)
                     : evaluator.LimitFor(best, r * 1.05, K * 0.97, q * 1.02, p);
      switch (evaluator.Compare(r, K, q, p, limit, value)) {
        case ObjectiveEvaluator::Verdict::NotBetter:
          ASSERT_FALSE(raises) << "a fault passed over at r " << r << " K " << K << " q " << q;
          ASSERT_GE(reference, best);
          ++*rejected;
          break;
        case ObjectiveEvaluator::Verdict::Value:
          ASSERT_FALSE(raises);
          ASSERT_EQ(Bits(value), Bits(reference));
          break;
        case ObjectiveEvaluator::Verdict::Fallback:
          break;
      }
    }
  }
}

TEST(ObjectiveEvaluator, CompareRejectsOnlyTrialsThatAreNotBetter) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  int rejected = 0;
  for (ProductionModelKind kind : kKinds) {
    for (ObjectiveKind objective : kObjectives) {
      CheckCompare(s, kind, objective, 20, 1.0, 400, 9, &rejected);
      CheckCompare(s, kind, objective, 14, 1.0, 100, 9, &rejected);  // trimmed: no shortcut
    }
  }
  EXPECT_GT(rejected, 2000);
}

TEST(ObjectiveEvaluator, CompareNeverPassesOverAFault) {
  // Points spread over hundreds of orders of magnitude reach overflowing
  // biomass, powers and residuals.
  const data::CatchEffortSeries s = testing::FishedStock(22);
  int rejected = 0;
  int raised = 0;
  for (ProductionModelKind kind : kKinds) {
    for (ObjectiveKind objective : kObjectives) {
      CheckCompare(s, kind, objective, 20, 150.0, 400, 13, &rejected, &raised);
    }
  }
  EXPECT_GT(rejected, 100);
  EXPECT_GT(raised, 100);
}

TEST(ObjectiveEvaluator, NoShortcutWhenResidualsAreTrimmed) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const ObjectiveEvaluator trimmed(s.U, s.C, ObjectiveKind::SumOfSquares,
                                   ProductionModelKind::Schaefer, 14);
  EXPECT_FALSE(trimmed.LimitFor(1.0).usable);
  const ObjectiveEvaluator all(s.U, s.C, ObjectiveKind::LogSumOfSquares,
                               ProductionModelKind::Schaefer, 20);
  EXPECT_TRUE(all.LimitFor(1.0).usable);
  EXPECT_FALSE(all.LimitFor(1e-4).usable);  // exp(s) − 1 is too inexact for tiny values
}

// ---------------------------------------------------------------------------
// The search loop.

ParameterBounds WideBounds() {
  ParameterBounds b;
  b.MinR = 0.0;
  b.MaxR = 1.0;
  b.MinK = 2000.0;
  b.MaxK = 200000.0;
  b.MinQ = 0.000001;
  b.MaxQ = 1.0;
  return b;
}

struct SearchRun {
  SearchOutcome outcome;
  std::uint32_t seed = 0;
  std::vector<int> checkpoints;
};

SearchRun Search(const data::CatchEffortSeries& s, ProductionModelKind kind,
                 ObjectiveKind objective, int threads, int maxFailures, std::uint32_t seed,
                 bool reference = false) {
  const ObjectiveEvaluator evaluator(s.U, s.C, objective, kind, model::KeepCountFor(s.size(), 0));
  model::RandomSource random(seed);
  SearchRun run;
  EngineOptions options;
  options.MaxFailures = maxFailures;
  options.Threads = threads;
  options.ReferenceEvaluator = reference;
  options.OnCheckpoint = [&run](int failures) { run.checkpoints.push_back(failures); };
  run.outcome =
      SearchVariant(evaluator, {0.5, 15000.0, 0.0001, 2.0}, WideBounds(), random, options);
  run.seed = random.Seed();
  return run;
}

void ExpectSameBits(const SearchRun& a, const SearchRun& b) {
  EXPECT_EQ(Bits(a.outcome.Best.r), Bits(b.outcome.Best.r));
  EXPECT_EQ(Bits(a.outcome.Best.K), Bits(b.outcome.Best.K));
  EXPECT_EQ(Bits(a.outcome.Best.q), Bits(b.outcome.Best.q));
  EXPECT_EQ(Bits(a.outcome.Best.p), Bits(b.outcome.Best.p));
  EXPECT_EQ(Bits(a.outcome.Objective), Bits(b.outcome.Objective));
  EXPECT_EQ(a.outcome.Trials, b.outcome.Trials);
  EXPECT_EQ(a.outcome.Evaluations, b.outcome.Evaluations);
  EXPECT_EQ(a.outcome.Improvements, b.outcome.Improvements);
  EXPECT_EQ(a.seed, b.seed);
  EXPECT_EQ(a.checkpoints, b.checkpoints);
}

TEST(SearchVariant, ParallelGivesTheSequentialBitsForEveryKindAndObjective) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  for (ProductionModelKind kind : kKinds) {
    for (ObjectiveKind objective : kObjectives) {
      SCOPED_TRACE("kind " + std::to_string(int(kind)) + " objective " +
                   std::to_string(int(objective)));
      const SearchRun sequential = Search(s, kind, objective, 1, 30000, 17);
      ASSERT_GT(sequential.outcome.Improvements, 10u);
      ExpectSameBits(sequential, Search(s, kind, objective, 2, 30000, 17));
      ExpectSameBits(sequential, Search(s, kind, objective, 3, 30000, 17));
    }
  }
}

TEST(SearchVariant, ParallelMatchesAtTinyFailureLimits) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  for (int maxFailures : {0, 1, 2, 255, 256, 257, 700}) {
    SCOPED_TRACE(maxFailures);
    const SearchRun sequential = Search(s, ProductionModelKind::PellaTomlinson,
                                        ObjectiveKind::SumOfSquares, 1, maxFailures, 41);
    ExpectSameBits(sequential, Search(s, ProductionModelKind::PellaTomlinson,
                                      ObjectiveKind::SumOfSquares, 2, maxFailures, 41));
  }
  const SearchRun none =
      Search(s, ProductionModelKind::Schaefer, ObjectiveKind::SumOfSquares, 2, 0, 41);
  EXPECT_EQ(none.outcome.Trials, 0u);
  EXPECT_EQ(none.seed, 41u);
  EXPECT_EQ(none.outcome.Best.r, 0.5);
}

TEST(SearchVariant, PreparedEvaluatorGivesTheReferenceSearch) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  for (ProductionModelKind kind : kKinds) {
    ExpectSameBits(Search(s, kind, ObjectiveKind::Median, 1, 5000, 29, true),
                   Search(s, kind, ObjectiveKind::Median, 1, 5000, 29, false));
  }
}

TEST(SearchVariant, TiesAreFailures) {
  // Bounds that pin every trial to the start point: each trial has exactly
  // the start's objective, and none of them may count as an improvement.
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const ObjectiveEvaluator evaluator(s.U, s.C, ObjectiveKind::SumOfSquares,
                                     ProductionModelKind::Schaefer, 20);
  ParameterBounds pinned;
  pinned.MinR = pinned.MaxR = 0.45;
  pinned.MinK = pinned.MaxK = 12000.0;
  pinned.MinQ = pinned.MaxQ = 0.0002;
  for (int threads : {1, 2}) {
    model::RandomSource random(0);
    EngineOptions options;
    options.MaxFailures = 3000;
    options.Threads = threads;
    const SearchOutcome outcome =
        SearchVariant(evaluator, {0.45, 12000.0, 0.0002, 2.0}, pinned, random, options);
    EXPECT_EQ(outcome.Improvements, 0u);
    EXPECT_EQ(outcome.Trials, 3000u);
    EXPECT_EQ(outcome.Best.r, 0.45);
    // The stream advanced by 3 normal draws per trial, as the loop draws them.
    model::RandomSource replay(0);
    for (int i = 0; i < 3 * 3000; ++i) replay.GaussDeviate(0.5);
    EXPECT_EQ(random.Seed(), replay.Seed());
  }
}

TEST(SearchVariant, StartOutsideTheBoundsIsEvaluatedUnchanged) {
  // Start r = 0.45 lies above MaxR = 0.05: the start is not clamped, while
  // every trial is, to r = 0.05, where the fit is far worse. The search keeps
  // the start.
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const ObjectiveEvaluator evaluator(s.U, s.C, ObjectiveKind::SumOfSquares,
                                     ProductionModelKind::Schaefer, 20);
  ParameterBounds b = WideBounds();
  b.MaxR = 0.05;
  model::RandomSource random(0);
  EngineOptions options;
  options.MaxFailures = 2000;
  const ParameterPoint start{0.45, 12000.0, 0.0002, 2.0};
  const SearchOutcome outcome = SearchVariant(evaluator, start, b, random, options);
  EXPECT_EQ(outcome.Best.r, 0.45);
  EXPECT_EQ(outcome.Objective, evaluator.Evaluate(0.45, 12000.0, 0.0002, 2.0));
}

TEST(SearchVariant, CheckpointsEveryTenThousandFailuresAndAfterEachImprovement) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const SearchRun run =
      Search(s, ProductionModelKind::Schaefer, ObjectiveKind::SumOfSquares, 1, 25000, 3);
  // One 0 per improvement, then 10000 and 20000 after the last one.
  ASSERT_GE(run.checkpoints.size(), 3u);
  EXPECT_EQ(run.checkpoints[run.checkpoints.size() - 1], 20000);
  EXPECT_EQ(run.checkpoints[run.checkpoints.size() - 2], 10000);
  EXPECT_EQ(std::count(run.checkpoints.begin(), run.checkpoints.end(), 0),
            static_cast<long>(run.outcome.Improvements));
}

TEST(SearchVariant, NonPositiveStartValueRaises) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const ObjectiveEvaluator evaluator(s.U, s.C, ObjectiveKind::SumOfSquares,
                                     ProductionModelKind::Schaefer, 20);
  model::RandomSource random(0);
  EngineOptions options;
  options.MaxFailures = 10;
  EXPECT_THROW(SearchVariant(evaluator, {0.0, 12000.0, 0.0002, 2.0}, WideBounds(), random, options),
               Error);
  EXPECT_EQ(random.Seed(), 0u);  // nothing drawn
}

TEST(SearchVariant, FaultInATrialRaisesWithTheStreamAfterThatTrial) {
  // MaxQ = 0 turns every trial's q into 0: the first trial divides by zero.
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const ObjectiveEvaluator evaluator(s.U, s.C, ObjectiveKind::SumOfSquares,
                                     ProductionModelKind::Schaefer, 20);
  ParameterBounds b = WideBounds();
  b.MinQ = -1.0;
  b.MaxQ = 0.0;
  model::RandomSource replay(0);
  for (int i = 0; i < 3; ++i) replay.GaussDeviate(0.5);
  for (int threads : {1, 2}) {
    model::RandomSource random(0);
    EngineOptions options;
    options.MaxFailures = 100000;
    options.Threads = threads;
    EXPECT_THROW(SearchVariant(evaluator, {0.45, 12000.0, 0.0002, 2.0}, b, random, options), Error);
    EXPECT_EQ(random.Seed(), replay.Seed()) << threads << " threads";
  }
}

TEST(SearchVariant, LateFaultInAParallelRoundRaisesWhereTheSequentialLoopDoes) {
  // K starts near the largest double: some trial step eventually overflows.
  // With this stream that happens after about 11 500 trials, well inside
  // the rounds evaluated in parallel.
  const data::CatchEffortSeries s = testing::FishedStock(22);
  const ObjectiveEvaluator evaluator(s.U, s.C, ObjectiveKind::SumOfSquares,
                                     ProductionModelKind::Schaefer, 20);
  ParameterBounds b = WideBounds();
  b.MinK = 1.0;
  b.MaxK = std::numeric_limits<double>::max();
  std::uint32_t seeds[2] = {0, 0};
  for (int threads : {1, 2}) {
    model::RandomSource random(2);
    EngineOptions options;
    options.MaxFailures = 200000;
    options.Threads = threads;
    EXPECT_THROW(SearchVariant(evaluator, {0.45, 5e306, 0.0002, 2.0}, b, random, options), Error);
    seeds[threads - 1] = random.Seed();
  }
  EXPECT_EQ(seeds[0], seeds[1]);
  model::RandomSource replay(2);
  int steps = 0;
  while (replay.Seed() != seeds[0] && steps < 1000000) {
    replay.RandomReal();
    ++steps;
  }
  EXPECT_GT(steps, 8 * 2000);  // the fault came after the first parallel rounds
}

}  // namespace
}  // namespace tarvik::estimation
