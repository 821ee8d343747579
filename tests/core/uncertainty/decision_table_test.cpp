#include "uncertainty/decision_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <stop_token>
#include <string>
#include <vector>

#include "core/estimation/test_series.h"
#include "estimation/observation_error.h"
#include "estimation/search_engine.h"
#include "model/production.h"
#include "uncertainty/decision_view.h"

namespace tarvik::uncertainty {
namespace {

using model::ProductionModelKind;

// Bootstraps (100 replicates) of both estimators on the fished Schaefer
// stock: the procedure from the true parameters, the observation-error
// estimator from its fit.
struct Bases {
  ProjectionBasis Procedure, Observation;
};

const Bases& FishedStockBases() {
  static const Bases bases = [] {
    const data::CatchEffortSeries series = estimation::testing::FishedStock();
    estimation::ParameterBounds bounds;
    bounds.MinR = 0.0;
    bounds.MaxR = 1.0;
    bounds.MinK = 2000.0;
    bounds.MaxK = 200000.0;
    bounds.MinQ = 1e-5;
    bounds.MaxQ = 0.01;
    BootstrapOptions options;
    options.Replicates = kMinReplicates;
    options.Threads = 2;
    model::ModelFit fit;
    fit.R = 0.45;
    fit.K = 12000.0;
    fit.Q = 0.0002;
    const auto keep = static_cast<std::uint8_t>(series.size() - 2);
    estimation::ObservationErrorOptions fitOptions;
    fitOptions.Bounds = bounds;
    const auto observed =
        estimation::FitObservationError(series, ProductionModelKind::Schaefer, fitOptions);
    return Bases{
        ProcedureBasis(series, BootstrapProcedure(series, fit, bounds, keep, options)),
        ObservationErrorBasis(
            series, BootstrapObservationError(series, observed, fitOptions, options), observed)};
  }();
  return bases;
}

std::vector<CatchOption> DefaultOptions(const ProjectionBasis& basis) {
  return ResolveCatchOptions(DefaultCatchOptionEntries(), basis.PointMsy, basis.LastCatch,
                             std::nullopt);
}

DecisionTableOptions Settings(int horizon, long long threads = 1) {
  DecisionTableOptions settings;
  settings.Horizon = horizon;
  settings.Threads = threads;
  return settings;
}

std::vector<CatchOption> Tonnes(const std::vector<double>& catches) {
  std::vector<CatchOptionEntry> entries;
  for (double c : catches) entries.push_back({CatchOptionKind::Tonnes, c});
  return ResolveCatchOptions(entries, 0.0, 0.0, std::nullopt);
}

// The procedure's replicates start where the projection starts, from U0/q:
// U = …, 0.42, 0.40, 0.41 and C = …, 100, 95 with Schaefer r = 0.5, K = 1000,
// q = 0.001: S = 0.82, B̄ = S/(2q) = 410, shape 1 − 0.41 = 0.59,
// U0 = 0.42 + 0.5·0.82·0.59 − 0.002·100 = 0.4619, B_L = 461.9; the table's
// first year removes the last observed catch 95.
TEST(DecisionTable, StartsFromTheHandComputedU0) {
  data::CatchEffortSeries series;
  series.U = {0.50, 0.45, 0.42, 0.40, 0.41};
  series.C = {100.0, 110.0, 105.0, 100.0, 95.0};
  for (std::size_t i = 0; i < series.U.size(); ++i) series.E.push_back(series.C[i] / series.U[i]);
  BootstrapResult bootstrap;
  bootstrap.Method = Estimator::Procedure;
  bootstrap.Kind = ProductionModelKind::Schaefer;
  bootstrap.Estimate.R = 0.5;
  bootstrap.Estimate.K = 1000.0;
  bootstrap.Estimate.Q = 0.001;
  const ProjectionBasis basis = ProcedureBasis(series, bootstrap);
  EXPECT_EQ(basis.LastCatch, 95.0);
  EXPECT_EQ(basis.FirstYear, 5);
  EXPECT_NEAR(model::StartCpue(basis.Kind, 0.5, 1000.0, 0.001, 0.0, 0.42, 0.40, 100.0), 0.4619,
              1e-15);
}

TEST(DecisionTable, RiskGrowsWithTheCatchInEveryYearAndIsLowestWithoutCatch) {
  for (const ProjectionBasis* basis :
       {&FishedStockBases().Procedure, &FishedStockBases().Observation}) {
    const DecisionTable table = BuildDecisionTable(*basis, DefaultOptions(*basis), Settings(10, 2));
    SCOPED_TRACE(basis == &FishedStockBases().Procedure ? "procedure" : "observation error");
    ASSERT_EQ(table.Rows.front().Option.Catch, 0.0);
    for (std::size_t o = 1; o < table.Rows.size(); ++o) {
      for (std::size_t i = 0; i < 10; ++i) {
        const YearOutlook& less = table.Rows[o - 1].Years[i];
        const YearOutlook& more = table.Rows[o].Years[i];
        SCOPED_TRACE("option " + std::to_string(o) + ", year " + std::to_string(i));
        EXPECT_LE(less.ProbBelowBlim, more.ProbBelowBlim);
        EXPECT_LE(less.ProbBelowBmsy, more.ProbBelowBmsy);
        EXPECT_LE(less.ProbAboveFmsy, more.ProbAboveFmsy);
        EXPECT_GE(less.ProbGreen, more.ProbGreen);
        EXPECT_GE(less.MedianBOverBmsy, more.MedianBOverBmsy);
      }
    }
    // The catch acts: 1.5·MSY for ten years leaves most replicates below BMSY.
    EXPECT_LT(table.Rows.front().Years.back().ProbBelowBmsy, 0.5);
    EXPECT_GT(table.Rows.back().Years.back().ProbBelowBmsy, 0.5);
  }
}

// One Schaefer replicate, r = 0.5, K = 1000, BMSY = 500, FMSY = 0.25 (MSY
// 125), from B_L = 400 (or `bLast`) with the last catch C_L = 100.
ProjectionBasis HandBasis(double bLast = 400.0) {
  ProjectionBasis basis;
  basis.FirstYear = 2025;
  basis.PointMsy = 125.0;
  basis.LastCatch = 100.0;
  Replicate x;
  x.R = 0.5;
  x.K = 1000.0;
  x.Q = 0.01;
  x.BMSY = 500.0;
  x.FMSY = 0.25;
  x.BLast = bLast;
  basis.Replicates = {x};
  return basis;
}

// HandBasis without process error, two years, Blim = 0.5·BMSY = 250:
//   B0 = 400 + 0.0005·400·600 − 100 = 420
//   B1 = 420 + 0.0005·420·580 − C = 541.8 − C: 541.8, 391.8, 241.8; 600 → the
//   floor 10⁻³, a collapse.
// Status letters: G green, O orange (B ≥ BMSY, F > FMSY), Y yellow, R red,
// L red below Blim, C collapse (counted below Blim).
TEST(DecisionTable, OneReplicateWithoutProcessErrorIsTheHandComputedProjection) {
  struct Year {
    double B;
    char status;
  };
  const std::vector<double> catches = {0, 150, 300, 600};
  const std::vector<std::vector<Year>> years = {{{420, 'Y'}, {541.8, 'G'}},
                                                {{420, 'R'}, {391.8, 'R'}},
                                                {{420, 'R'}, {241.8, 'L'}},
                                                {{420, 'R'}, {0.001, 'C'}}};
  DecisionTableOptions settings = Settings(2);
  settings.BlimFraction = 0.5;
  settings.ProcessSigma = 0.0;
  const DecisionTable table = BuildDecisionTable(HandBasis(), Tonnes(catches), settings);
  ASSERT_EQ(table.Rows.size(), catches.size());
  for (std::size_t o = 0; o < catches.size(); ++o) {
    for (std::size_t i = 0; i < 2; ++i) {
      const YearOutlook& cell = table.Rows[o].Years[i];
      const Year& want = years[o][i];
      SCOPED_TRACE("catch " + std::to_string(catches[o]) + ", year " + std::to_string(i));
      const std::string low = "LC", below = "YRLC", over = "ORLC", green = "G";
      EXPECT_EQ(cell.Year, 2025 + static_cast<int>(i));
      EXPECT_NEAR(cell.MedianBOverBmsy, want.B / 500.0, 1e-12);
      EXPECT_EQ(cell.ProbBelowBlim, low.find(want.status) != std::string::npos);
      EXPECT_EQ(cell.ProbBelowBmsy, below.find(want.status) != std::string::npos);
      EXPECT_EQ(cell.ProbAboveFmsy, over.find(want.status) != std::string::npos);
      EXPECT_EQ(cell.ProbGreen, green.find(want.status) != std::string::npos);
    }
  }
}

// The noise multiplies the balance after the catch is removed: with one
// replicate, B1 under catch C is (B0 + P(B0) − C)·m1, so the multiplier m1
// read from C = 0 predicts B1 under C = 150 (noise before the catch would
// not). Its mean is 1: the median of exp(η − σ²/2) over 4001 copies of the
// replicate is exp(−σ²/2) = exp(−0.125), so the median of B0/BMSY is
// 0.84·0.8825 = 0.7413 (0.84 without the correction).
TEST(DecisionTable, ProcessErrorIsLognormalBiomassNoiseAfterTheCatch) {
  DecisionTableOptions settings = Settings(2);
  settings.ProcessSigma = 0.5;
  const DecisionTable one = BuildDecisionTable(HandBasis(), Tonnes({0.0, 150.0}), settings);
  const double b0 = one.Rows[0].Years[0].MedianBOverBmsy * 500.0;
  EXPECT_EQ(one.Rows[1].Years[0].MedianBOverBmsy * 500.0, b0);  // the first year takes C_L
  EXPECT_NE(b0, 420.0);
  const double grown = b0 + 0.0005 * b0 * (1000.0 - b0);
  const double m1 = one.Rows[0].Years[1].MedianBOverBmsy * 500.0 / grown;
  EXPECT_NEAR(one.Rows[1].Years[1].MedianBOverBmsy * 500.0, (grown - 150.0) * m1, 1e-9);

  ProjectionBasis many = HandBasis();
  many.Replicates.assign(4001, many.Replicates.front());
  const DecisionTable spread = BuildDecisionTable(many, Tonnes({0.0}), settings);
  EXPECT_NEAR(spread.Rows[0].Years[0].MedianBOverBmsy, 0.84 * std::exp(-0.125), 0.02);
}

// Blim = 0.1·BMSY = 50: B1 = 541.8 − C falls below it from C > 491.8 on, so
// the largest catch on the grid of whole tonnes is 491 (3.93·MSY), its
// B1 = 50.8 < BMSY.
TEST(DecisionTable, ReportLinesOfTheHandComputedProjection) {
  DecisionTableOptions settings = Settings(2);
  settings.ProcessSigma = 0.0;
  settings.ProcessSource = ProcessErrorSource::Stated;
  const DecisionTable table = BuildDecisionTable(
      HandBasis(),
      ResolveCatchOptions(ParseCatchOptions("0; 1,2*MSY; 300; 1000", ','), 125.0, 0.0,
                          std::nullopt, ','),
      settings);
  EXPECT_EQ(table.MaxCatch.Catch, 491.0);
  // The catches are in the data's unit: the head and the sentence name it.
  struct Case {
    int unit;
    std::string head, sentence;
  };
  for (const Case& c : {Case{0, "Улов, т", "491 т (3,93·MSY)"},
                        Case{3, "Улов, тыс. т", "491 тыс. т (3,93·MSY)"},
                        Case{-3, "Улов, кг", "491 кг (3,93·MSY)"}}) {
    SCOPED_TRACE(c.unit);
    const std::vector<std::string> expected = {
        "Таблица решений: вероятность B < Blim при постоянном улове (Blim = 0,1·BMSY каждого "
        "повтора; повторов 1, зерно 1)",
        "Динамика запаса: годовой баланс биомассы с параметрами каждого повтора, от его биомассы "
        "на начало последнего года данных",
        "Ошибка процесса: σ = 0 (риск только от неопределённости параметров)",
        "Вариант\t" + c.head + "\t2025\t2026",
        "0\t0\t0,0 %\t0,0 %",
        "1,2·MSY\t150\t0,0 %\t0,0 %",
        "300\t300\t0,0 %\t0,0 %",
        "1000\t1000\t0,0 %\t100,0 %",
        "Наибольший постоянный улов, при котором вероятность B < Blim не выше 5 % в каждом году "
        "2025–2026: " + c.sentence + "; вероятность B < BMSY в 2026 г. при нём 100,0 %."};
    EXPECT_EQ(DecisionReportLines(table, c.unit, ','), expected);
    EXPECT_EQ(DecisionGridOf(table, Outlook::ProbBelowBlim, c.unit, ',').Cells[0][1], c.head);
  }
}

// The other criteria, from B_L = 600: B0 = 600 + 0.0005·600·400 − 100 = 620,
// B1 = 620 + 0.0005·620·380 − C = 737.8 − C. P(B < BMSY) ≤ 5 % holds while
// B1 ≥ 500 (C ≤ 237.8: 237 t); P(green) ≥ 60 % also needs F ≤ 0.25 in both
// years, C/620 ≤ 0.25 and C ≤ 0.25·(737.8 − C), C ≤ 147.56: 147 t. The
// sentence names the criterion and its threshold.
TEST(DecisionTable, TheLargestCatchFollowsTheChosenCriterion) {
  struct Case {
    RiskCriterion criterion;
    double threshold;
    double largest;
    std::string named;
  };
  for (const Case& c :
       {Case{RiskCriterion::BelowBlim, 0.05, 687.0, "вероятность B < Blim не выше 5 %"},
        Case{RiskCriterion::BelowBmsy, 0.05, 237.0, "вероятность B < BMSY не выше 5 %"},
        Case{RiskCriterion::Green, 0.6, 147.0, "вероятность зелёной зоны не ниже 60 %"}}) {
    DecisionTableOptions settings = Settings(2);
    settings.ProcessSigma = 0.0;
    settings.Criterion = c.criterion;
    settings.Risk = c.threshold;
    const DecisionTable table = BuildDecisionTable(HandBasis(600.0), Tonnes({0.0, 1000.0}), settings);
    SCOPED_TRACE(CriterionKey(c.criterion));
    EXPECT_EQ(table.MaxCatch.Outcome, CatchSearch::Found);
    EXPECT_EQ(table.MaxCatch.Catch, c.largest);
    EXPECT_NE(MaxCatchSentence(table, 0).find(c.named), std::string::npos);
  }
}

// The search itself, on replicates whose bounds are not held against them
// (12 % of this bootstrap end with q on its lower bound, which would refuse
// any catch).
ProjectionBasis WithoutTruncation(ProjectionBasis basis) {
  basis.Truncation.clear();
  return basis;
}

TEST(DecisionTable, TheLargestCatchIsWithinTheRiskAndTheNextOptionIsNot) {
  const ProjectionBasis basis = WithoutTruncation(FishedStockBases().Procedure);
  const std::vector<CatchOption> options = DefaultOptions(basis);
  for (double risk : {0.05, 0.2, 0.5}) {
    DecisionTableOptions settings = Settings(10, 2);
    settings.Risk = risk;
    const MaxCatchAtRisk found = BuildDecisionTable(basis, options, settings).MaxCatch;
    SCOPED_TRACE(risk);
    ASSERT_EQ(found.Outcome, CatchSearch::Found);
    const auto above = std::find_if(options.begin(), options.end(),
                                    [&](const CatchOption& o) { return o.Catch > found.Catch; });
    ASSERT_NE(above, options.end());
    const double next = above->Catch;
    const double unit = std::pow(10.0, std::floor(std::log10(next)) - 3.0);
    const DecisionTable check =
        BuildDecisionTable(basis, Tonnes({found.Catch, found.Catch + unit, next}), settings);
    EXPECT_LE(check.Rows[0].MaxProbBelowBlim, risk);
    EXPECT_EQ(check.Rows[0].MaxProbBelowBlim, found.WorstValue);
    EXPECT_EQ(check.Rows[0].Years.back().ProbBelowBmsy, found.ProbBelowBmsyEnd);
    EXPECT_GT(check.Rows[1].MaxProbBelowBlim, risk);
    EXPECT_GT(check.Rows[2].MaxProbBelowBlim, risk);
  }
}

TEST(DecisionTable, SaysWhenNoCatchOrEveryOptionIsWithinTheRisk) {
  ProjectionBasis basis = WithoutTruncation(FishedStockBases().Procedure);
  DecisionTableOptions settings = Settings(5, 2);
  const DecisionTable small = BuildDecisionTable(basis, Tonnes({0.0, 1.0}), settings);
  EXPECT_EQ(small.MaxCatch.Outcome, CatchSearch::LargestOptionWithinRisk);
  EXPECT_EQ(small.MaxCatch.Catch, 1.0);
  EXPECT_NE(MaxCatchSentence(small, 0).find("не меньше"), std::string::npos);

  // A last observed catch that empties every replicate's stock: even without
  // catch every replicate is below Blim in the first year.
  basis.LastCatch = 1e6;
  for (const std::vector<double>& catches : {std::vector<double>{0.0, 100.0}, {100.0}}) {
    const DecisionTable none = BuildDecisionTable(basis, Tonnes(catches), settings);
    EXPECT_EQ(none.MaxCatch.Outcome, CatchSearch::NoneWithinRisk);
    EXPECT_EQ(none.MaxCatch.Catch, 0.0);
    EXPECT_GT(none.MaxCatch.WorstValue, settings.Risk);
    EXPECT_EQ(MaxCatchSentence(none, 0).rfind("Даже без вылова", 0), 0u);
  }
}

// On a bound means within 0.1 % of the bound's own value on the log scale,
// not of the range's width: q = 0.0105 under an upper bound of 1 is inside
// (the width rule took 1 − 0.001), a bound of 0 is reached by 0 only.
TEST(OnBound, IsMeasuredAgainstTheBoundsOwnValue) {
  using estimation::BoundSide;
  struct Case {
    double x, lo, hi;
    BoundSide side;
  };
  for (const Case& c : {Case{0.0105, 1e-4, 1.0, BoundSide::None},
                        Case{0.9995, 1e-4, 1.0, BoundSide::Upper},
                        Case{0.998, 1e-4, 1.0, BoundSide::None},
                        Case{1.0009e-4, 1e-4, 1.0, BoundSide::Lower},
                        Case{1.0011e-4, 1e-4, 1.0, BoundSide::None},
                        Case{0.0009, 0.0, 1.0, BoundSide::None},
                        Case{0.0, 0.0, 1.0, BoundSide::Lower},
                        Case{2.0, 0.0, 1.0, BoundSide::Upper},
                        Case{1.0, 1.0, 1.0, BoundSide::None}}) {
    EXPECT_EQ(estimation::SideOnBound(c.x, c.lo, c.hi), c.side) << c.x << " in " << c.lo << " … "
                                                                << c.hi;
  }
}

// K's upper bound a little above the true K = 12000 holds many replicates:
// their share is counted on that bound, the intervals say they are
// truncated, and the decision table names no largest catch.
TEST(DecisionTable, ReplicatesOnKsBoundAreNamedAndNoCatchIsNamedFromThem) {
  const data::CatchEffortSeries series = estimation::testing::FishedStock();
  estimation::ParameterBounds bounds;
  bounds.MinR = 0.0;
  bounds.MaxR = 1.0;
  bounds.MinK = 2000.0;
  bounds.MaxK = 12500.0;
  bounds.MinQ = 1e-5;
  bounds.MaxQ = 0.01;
  BootstrapOptions options;
  options.Replicates = kMinReplicates;
  options.Threads = 2;
  model::ModelFit fit;
  fit.R = 0.45;
  fit.K = 12000.0;
  fit.Q = 0.0002;
  const BootstrapResult bootstrap = BootstrapProcedure(
      series, fit, bounds, static_cast<std::uint8_t>(series.size() - 2), options);
  const int used = bootstrap.ReplicateCount - bootstrap.Failed;
  const auto k = static_cast<std::size_t>(BoundParameter::K);
  int onK = 0;
  for (const Replicate& x : bootstrap.Replicates) {
    const bool near = !x.Failed && std::fabs(std::log(x.K) - std::log(12500.0)) < 0.001;
    onK += near;
    EXPECT_EQ(near, !x.Failed && (x.BoundHits & BoundBit(BoundParameter::K, true)) != 0);
  }
  EXPECT_EQ(bootstrap.BoundCounts[k][1], onK);
  ASSERT_GT(onK, used / 20);
  const std::vector<BoundShare> truncating = TruncatingBounds(bootstrap);
  ASSERT_FALSE(truncating.empty());
  EXPECT_EQ(truncating.front().Parameter, BoundParameter::K);
  EXPECT_TRUE(truncating.front().Upper);
  EXPECT_EQ(truncating.front().Share, onK / static_cast<double>(used));

  const DecisionTable table = BuildDecisionTable(ProcedureBasis(series, bootstrap),
                                                 Tonnes({0.0, 500.0, 1000.0}), Settings(5, 2));
  EXPECT_EQ(table.MaxCatch.Outcome, CatchSearch::RefusedAtBounds);
  const std::string sentence = MaxCatchSentence(table, 0);
  EXPECT_EQ(sentence.rfind("Наибольший улов не назван: риск определяется границами", 0), 0u);
  EXPECT_NE(sentence.find("K на верхней границе у "), std::string::npos);
  EXPECT_NE(sentence.find("«Границы по данным»"), std::string::npos);
}

// Without process error and without replicates on a bound, a stock left
// unfished never falls below Blim: the risk at catch 0 is 0 in every year.
TEST(DecisionTable, CatchZeroWithoutProcessErrorOrBoundsCarriesNoRisk) {
  ProjectionBasis basis = FishedStockBases().Procedure;
  for (Replicate& x : basis.Replicates) x.Failed = x.Failed || x.AtBound;
  DecisionTableOptions settings = Settings(10, 2);
  settings.ProcessSigma = 0.0;
  const DecisionTable table = BuildDecisionTable(basis, Tonnes({0.0}), settings);
  for (const YearOutlook& year : table.Rows.front().Years) {
    EXPECT_EQ(year.ProbBelowBlim, 0.0) << year.Year;
  }
}

std::vector<std::uint64_t> BitsOf(const DecisionTable& table) {
  std::vector<std::uint64_t> bits;
  for (const OptionOutlook& row : table.Rows) {
    for (const YearOutlook& cell : row.Years) {
      for (std::size_t k = 0; k < kOutlookCount; ++k) {
        bits.push_back(std::bit_cast<std::uint64_t>(ValueOf(cell, static_cast<Outlook>(k))));
      }
    }
  }
  for (double v : {table.MaxCatch.Catch, table.MaxCatch.ProbBelowBmsyEnd}) {
    bits.push_back(std::bit_cast<std::uint64_t>(v));
  }
  return bits;
}

TEST(DecisionTable, TheThreadCountDoesNotChangeTheBits) {
  for (const ProjectionBasis* basis :
       {&FishedStockBases().Procedure, &FishedStockBases().Observation}) {
    const std::vector<CatchOption> options = DefaultOptions(*basis);
    const std::vector<std::uint64_t> one =
        BitsOf(BuildDecisionTable(*basis, options, Settings(8, 1)));
    EXPECT_EQ(BitsOf(BuildDecisionTable(*basis, options, Settings(8, 2))), one);
    EXPECT_EQ(BitsOf(BuildDecisionTable(*basis, options, Settings(8, 3))), one);
  }
}

TEST(DecisionTable, ReportsProgressToTheTotalAndStopsWhenAsked) {
  const ProjectionBasis& basis = FishedStockBases().Observation;
  DecisionTableOptions settings = Settings(5, 2);
  std::vector<int> done;
  settings.OnProgress = [&](int d, int total) {
    EXPECT_EQ(total, 9 * kMinReplicates);  // eight options and the search
    done.push_back(d);
  };
  BuildDecisionTable(basis, DefaultOptions(basis), settings);
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back(), 9 * kMinReplicates);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_LE(done.size(), 101u);

  std::stop_source stop;
  settings.Stop = stop.get_token();
  settings.OnProgress = [&](int d, int) {
    if (d >= 300) stop.request_stop();
  };
  EXPECT_THROW(BuildDecisionTable(basis, DefaultOptions(basis), settings), DecisionTableCancelled);
}

TEST(CatchOptions, ReadTheListAndWriteItBack) {
  struct Case {
    const char* text;
    char mark;
    std::vector<CatchOptionEntry> entries;
  };
  using K = CatchOptionKind;
  const Case cases[] = {
      {"0; 0,5*MSY; 1200", ',', {{K::Tonnes, 0}, {K::MsyMultiple, 0.5}, {K::Tonnes, 1200}}},
      {" msy ;\n1.25 · MSY;;Текущий улов\nОДУ правила ",
       '.',
       {{K::MsyMultiple, 1}, {K::MsyMultiple, 1.25}, {K::CurrentCatch, 0}, {K::RuleTac, 0}}},
      {"2×MSY; 3 MSY; ТЕКУЩИЙ; оду",
       '.',
       {{K::MsyMultiple, 2}, {K::MsyMultiple, 3}, {K::CurrentCatch, 0}, {K::RuleTac, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<CatchOptionEntry> entries = ParseCatchOptions(c.text, c.mark);
    ASSERT_EQ(entries.size(), c.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].Kind, c.entries[i].Kind);
      EXPECT_EQ(entries[i].Value, c.entries[i].Value);
    }
    const std::vector<CatchOptionEntry> again =
        ParseCatchOptions(CatchOptionsText(entries, c.mark), c.mark);
    ASSERT_EQ(again.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(again[i].Value, entries[i].Value);
  }
  EXPECT_EQ(CatchOptionsText(DefaultCatchOptionEntries(), ','),
            "0; 0,25*MSY; 0,5*MSY; 0,75*MSY; MSY; 1,25*MSY; 1,5*MSY; текущий; ОДУ");
}

TEST(CatchOptions, RejectWhatIsNotACatchNamingTheItem) {
  struct Case {
    const char* text;
    char mark;
    const char* message;  // a part of it
  };
  const Case cases[] = {
      {"0; abc", '.', "Вариант улова № 2 «abc» не распознан"},
      {"0; 0.5*MSY", ',', "Вариант улова № 2 «0.5*MSY» не распознан"},
      {"100; -5", '.', "Вариант улова № 2 «-5» отрицателен"},
      {" ; \n ", '.', "Список вариантов улова пуст"},
      {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25;26;27;28;29;30;31", '.',
       "31 вариант улова, допускается не более 30"},
  };
  for (const Case& c : cases) {
    try {
      ParseCatchOptions(c.text, c.mark);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(CatchOptions, ResolveInAscendingOrderWithTheirLabels) {
  const std::vector<CatchOption> options = ResolveCatchOptions(
      DefaultCatchOptionEntries(), 1000.0, 600.0, std::optional<double>(820.5), ',');
  std::string rows;
  for (const CatchOption& o : options) rows += o.Label + " " + CatchText(o.Catch, ',') + "; ";
  EXPECT_EQ(rows,
            "0 0; 0,25·MSY 250; 0,5·MSY 500; Текущий улов 600; 0,75·MSY 750; ОДУ правила 820,5; "
            "MSY 1000; 1,25·MSY 1250; 1,5·MSY 1500; ");
  // Without a forecast there is no TAC row.
  EXPECT_EQ(ResolveCatchOptions(DefaultCatchOptionEntries(), 1000.0, 600.0, std::nullopt).size(),
            8u);
}

TEST(DecisionTable, CellClassesFollowTheKobeScaleAndTheChosenRisk) {
  struct Case {
    Outlook outlook;
    double value;
    RiskColour colour;
  };
  const Case cases[] = {
      {Outlook::ProbGreen, 0.75, RiskColour::DarkGreen},
      {Outlook::ProbGreen, 0.749, RiskColour::LightGreen},
      {Outlook::ProbGreen, 0.499, RiskColour::Red},
      {Outlook::ProbBelowBmsy, 0.25, RiskColour::DarkGreen},
      {Outlook::ProbAboveFmsy, 0.501, RiskColour::Red},
      {Outlook::ProbBelowBlim, 0.05, RiskColour::LightGreen},
      {Outlook::ProbBelowBlim, 0.051, RiskColour::Yellow},
      {Outlook::ProbBelowBlim, 0.201, RiskColour::Red},
      {Outlook::MedianBOverBmsy, 0.49, RiskColour::Red},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ColourOf(c.outlook, c.value, 0.05), c.colour)
        << OutlookName(c.outlook) << " " << c.value;
  }
}

}  // namespace
}  // namespace tarvik::uncertainty
