#include "assessment/indicators.h"
#include "projection/indicators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assessment/forecast.h"
#include "assessment/rules.h"
#include "common/error.h"
#include "fixture.h"
#include "projection/projection.h"

namespace tarvik::projection {
namespace {

using testing::LinearRule;
using testing::SmallState;

// Two variants (Schaefer and Fox, both sum of squares) and one rule.
AssessmentState TwoVariantsOneRule() {
  AssessmentState state = SmallState();
  model::ModelFit fox = testing::SchaeferFit();
  fox.Kind = model::ProductionModelKind::Fox;
  fox.R = 0.3;
  state.ModelFits.push_back(fox);
  state.ActiveVariants = {0, 1};
  state.RuleList = {LinearRule(0.3)};
  state.RuleNames = {"FMSY Линейно-кусочное ПРП -0.3"};
  return state;
}

BootstrapOptions Options(const std::string& runs, int horizon = 5) {
  BootstrapOptions options;
  options.RunsText = runs;
  options.Horizon = horizon;
  return options;
}

// --- table layout ------------------------------------------------------------------

TEST(BuildIndicatorTable, TwoVariantsAndOneRule) {
  const AssessmentState state = TwoVariantsOneRule();
  const IndicatorTable table = BuildIndicatorTable(state);
  ASSERT_EQ(table.Cells.size(), 3u);
  for (const auto& row : table.Cells) ASSERT_EQ(row.size(), kIndicatorColumns);
  EXPECT_EQ(table.Cells[0][0], "Модель и метод аппроксимации");
  EXPECT_EQ(table.Cells[0][8], "Вероятность C прогнозный < C min");
  EXPECT_EQ(table.Cells[1][0], "Шефера Сумма квадратов");
  EXPECT_EQ(table.Cells[1][1], "FMSY Линейно-Кусочное 0.3");
  EXPECT_EQ(table.Cells[2][0], "Фокса Сумма квадратов");
  EXPECT_EQ(table.Cells[2][1], "FMSY Линейно-Кусочное 0.3");
  EXPECT_EQ(table.Cells[1][2], "");
}

TEST(BuildIndicatorTable, RowsRunThroughAllRulesOfAVariantFirst) {
  EXPECT_EQ(IndicatorRow(0, 0, 3), 1u);
  EXPECT_EQ(IndicatorRow(0, 2, 3), 3u);
  EXPECT_EQ(IndicatorRow(1, 0, 3), 4u);
}

TEST(RuleText, UsesItsOwnSpellings) {
  rules::HarvestRule logistic{rules::RuleKind::Logistic, 2.0, 0.5, rules::FTargetKind::F01};
  EXPECT_EQ(RuleText(logistic, ','), "F01 Логистическое 2 0,5");
  rules::HarvestRule precautionary{};
  EXPECT_EQ(RuleText(precautionary), "FMSY Предосторожный подход");
  rules::HarvestRule nonZonal{rules::RuleKind::NonZonal, 0.0, 0.0, rules::FTargetKind::Fsq125};
  EXPECT_EQ(RuleText(nonZonal), "Fsq125 Незональное");
  rules::HarvestRule linear = LinearRule(-0.5);
  linear.TargetKind = rules::FTargetKind::Fsq75;
  EXPECT_EQ(RuleText(linear), "Fsq75 Линейно-Кусочное -0.5");
}

// --- limit biomass ---------------------------------------------------------------------

TEST(RuleLimitBiomass, ZeroForLogisticAndAlphaZero) {
  const model::ModelFit fit = testing::SchaeferFit();  // Btr = 500
  EXPECT_EQ(RuleLimitBiomass(rules::HarvestRule{}, fit), 0.0);
  EXPECT_EQ(RuleLimitBiomass({rules::RuleKind::Logistic, 2.0, 0.5, {}}, fit), 0.0);
  EXPECT_EQ(RuleLimitBiomass(LinearRule(0.5), fit), -500.0);   // (1 − 2)·Btr
  EXPECT_EQ(RuleLimitBiomass(LinearRule(-0.5), fit), 1500.0);  // (1 + 2)·Btr
}

// --- tallies and roundings --------------------------------------------------------------

TEST(TallyRun, RecoveryCountsYearsUntilTheBiomassFirstExceedsBmsy) {
  BootstrapTally tally;
  const std::vector<double> never = {100.0, 200.0, 500.0};  // ≤ BMSY = 500 throughout
  const std::vector<double> catches = {10.0, 10.0, 10.0};
  TallyRun(tally, never, catches, 500.0, 0.0, 0.0);
  EXPECT_EQ(tally.RecoveryYears, 3.0);  // h
  const std::vector<double> atOnce = {600.0, 100.0, 100.0};
  TallyRun(tally, atOnce, catches, 500.0, 0.0, 0.0);
  EXPECT_EQ(tally.RecoveryYears, 3.0);  // + 0
  const std::vector<double> second = {400.0, 501.0, 100.0};
  TallyRun(tally, second, catches, 500.0, 0.0, 0.0);
  EXPECT_EQ(tally.RecoveryYears, 4.0);  // + 1: the later dip does not count
}

TEST(TallyRun, NonPositiveValuesAreCountedAndTakenAsZero) {
  BootstrapTally tally;
  const std::vector<double> biomass = {-5.0, 0.0, 300.0};
  const std::vector<double> catches = {0.0, -1.0, 30.0};
  TallyRun(tally, biomass, catches, 500.0, 100.0, 40.0);
  EXPECT_EQ(tally.ZeroBiomass, 2.0);
  EXPECT_EQ(tally.BiomassSum, 300.0);
  EXPECT_EQ(tally.ZeroCatch, 2.0);
  EXPECT_EQ(tally.CatchSum, 30.0);
  EXPECT_EQ(tally.BelowLimit, 2.0);     // 100 > 0 twice
  EXPECT_EQ(tally.BelowMinCatch, 3.0);  // zero-catch years count whenever Cmin > 0
}

TEST(IndicatorsFromTally, HalvesGoToTheEvenNeighbour) {
  BootstrapTally tally;
  tally.RecoveryYears = 5.0;  // 5 / 2 = 2.5 → 2
  EXPECT_EQ(IndicatorsFromTally(tally, 2, 5, 1.0, 1.0).RecoveryTime, 2.0);
  tally.RecoveryYears = 7.0;  // 3.5 → 4
  EXPECT_EQ(IndicatorsFromTally(tally, 2, 5, 1.0, 1.0).RecoveryTime, 4.0);
}

TEST(IndicatorsFromTally, DivisorsAddOneAndRatiosUseTheRoundedMeans) {
  BootstrapTally tally;
  tally.BiomassSum = 999.0;  // N·h = 10, zB = 0: 999 / 11 = 90.818… → 90.8
  tally.CatchSum = 100.0;    // zC = 9: 100 / 2 = 50
  tally.ZeroCatch = 9.0;
  tally.BelowLimit = 3.0;
  tally.BelowMinCatch = 10.0;
  const RuleIndicators v = IndicatorsFromTally(tally, 2, 5, 3.0, 40.0);
  EXPECT_DOUBLE_EQ(v.MeanForecastBiomass, 90.8);
  EXPECT_EQ(v.MeanForecastCatch, 50.0);
  EXPECT_DOUBLE_EQ(v.BiomassRatio, 30.3);  // 90.8 / 3 = 30.2666… → 30.3
  EXPECT_DOUBLE_EQ(v.CatchRatio, 1.2);     // 50 / 40 = 1.25: 12.5 tenths → 12 (to even)
  EXPECT_DOUBLE_EQ(v.ProbBelowBlim, 0.3);
  EXPECT_EQ(v.ProbBelowCmin, 1.0);
  EXPECT_THROW(IndicatorsFromTally(tally, 2, 5, 0.0, 40.0), Error);
  EXPECT_THROW(IndicatorsFromTally(tally, 2, 5, 3.0, 0.0), Error);
}

TEST(IndicatorCells, MasksAndGeneralFormat) {
  RuleIndicators v;
  v.RecoveryTime = 3.0;
  v.MeanForecastBiomass = 450.0;
  v.MeanForecastCatch = 99.95;
  v.BiomassRatio = 1.0;
  v.CatchRatio = 0.8;
  v.ProbBelowBlim = 0.05;
  v.ProbBelowCmin = 0.0;
  v.ProbBelowReferenceBlim = 0.125;
  const std::vector<std::string> cells = IndicatorCells(v, ',');
  const std::vector<std::string> expected = {"3",   "450,0", "100,0", "1,0",
                                             "0,8", "0,05",  "0",     "0,125"};
  EXPECT_EQ(cells, expected);
}

// --- the evaluation -------------------------------------------------------------------

TEST(EvaluateRulesByBootstrap, MemoOrderAndRowsOfTwoVariants) {
  AssessmentState state = TwoVariantsOneRule();
  std::vector<std::string> streamed;
  BootstrapOptions options = Options("50");
  options.OnMemoLine = [&](const std::string& line) { streamed.push_back(line); };
  std::vector<std::size_t> rows;
  options.OnRow = [&](std::size_t row, const std::vector<std::string>&) { rows.push_back(row); };
  const RuleEvaluation result = EvaluateRulesByBootstrap(state, options);
  ASSERT_TRUE(result.Completed) << result.ErrorMessage;
  const std::vector<std::string> memo = {"Шефера Сумма квадратов", "FMSY Линейно-Кусочное 0.3",
                                         "Фокса Сумма квадратов", "FMSY Линейно-Кусочное 0.3",
                                         "Расчет окончен"};
  EXPECT_EQ(result.MemoLines, memo);
  EXPECT_EQ(streamed, memo);
  EXPECT_EQ(rows, (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(result.RuleSelectorItems, state.RuleNames);
  IndicatorTable table = BuildIndicatorTable(state);
  ApplyIndicatorRows(table, result.Rows);
  EXPECT_EQ(table.Cells[2][2], result.Rows[1].Cells[0]);
  EXPECT_EQ(table.Cells[2][8], result.Rows[1].Cells[6]);
}

// The column of the reference Blim is counted in the runs the other
// indicators are made of: no draw more, and nothing else moves with it.
TEST(EvaluateRulesByBootstrap, TheReferenceBlimColumnDrawsNothingOfItsOwn) {
  std::vector<RuleEvaluation> results;
  std::vector<std::uint32_t> seeds;
  for (double blim : {0.0, 50.0, 1e9}) {
    AssessmentState state = TwoVariantsOneRule();
    for (model::ModelFit& fit : state.ModelFits) fit.BLimit = blim;
    results.push_back(EvaluateRulesByBootstrap(state, Options("100", 4)));
    ASSERT_TRUE(results.back().Completed) << results.back().ErrorMessage;
    seeds.push_back(state.Random.Seed());
  }
  EXPECT_EQ(seeds[1], seeds[0]);
  EXPECT_EQ(seeds[2], seeds[0]);
  for (std::size_t i = 0; i < results[0].Rows.size(); ++i) {
    const auto& none = results[0].Rows[i];
    const auto& all = results[2].Rows[i];
    EXPECT_EQ(none.Values.ProbBelowReferenceBlim, 0.0);
    EXPECT_EQ(all.Values.ProbBelowReferenceBlim, 1.0);
    ASSERT_EQ(none.Cells.size(), kIndicatorColumns - 2);
    // The nine columns before it are the same whatever Blim is.
    for (const IndicatorRowResult* row :
         std::vector<const IndicatorRowResult*>{&results[1].Rows[i], &all}) {
      EXPECT_EQ(std::vector<std::string>(row->Cells.begin(), row->Cells.end() - 1),
                std::vector<std::string>(none.Cells.begin(), none.Cells.end() - 1));
    }
  }
  EXPECT_EQ(IndicatorTitles().back(), "P(B < Blim ориентира)");
}

TEST(EvaluateRulesByBootstrap, RepeatsBitForBitFromTheSameSeed) {
  AssessmentState a = TwoVariantsOneRule();
  AssessmentState b = TwoVariantsOneRule();
  for (bool parametric : {true, false}) {
    BootstrapOptions options = Options("200", 4);
    options.Parametric = parametric;
    const RuleEvaluation x = EvaluateRulesByBootstrap(a, options);
    const RuleEvaluation y = EvaluateRulesByBootstrap(b, options);
    ASSERT_EQ(x.Rows.size(), y.Rows.size());
    for (std::size_t i = 0; i < x.Rows.size(); ++i) EXPECT_EQ(x.Rows[i].Cells, y.Rows[i].Cells);
    EXPECT_EQ(a.Random.Seed(), b.Random.Seed());
    EXPECT_NE(a.Random.Seed(), 0u);
  }
}

TEST(EvaluateRulesByBootstrap, RecoveryCountIsTheHorizonWhenBiomassNeverExceedsBmsy) {
  AssessmentState state = SmallState();
  state.ModelFits[0].BMSY = 1e9;
  state.RuleList = {LinearRule(0.3)};
  state.RuleNames = {"r"};
  const RuleEvaluation high = EvaluateRulesByBootstrap(state, Options("20", 7));
  ASSERT_TRUE(high.Completed);
  EXPECT_EQ(high.Rows[0].Values.RecoveryTime, 7.0);
  state.ModelFits[0].BMSY = 1.0;  // exceeded in the first year
  const RuleEvaluation low = EvaluateRulesByBootstrap(state, Options("20", 7));
  EXPECT_EQ(low.Rows[0].Values.RecoveryTime, 0.0);
}

TEST(EvaluateRulesByBootstrap, ZeroCatchYearsLeaveTheMeanCatchAndCountBelowCmin) {
  AssessmentState state = SmallState();
  state.ModelFits[0].BTarget = 1e9;  // the threshold is never reached: F = 0
  state.RuleList = {LinearRule(0.5)};
  state.RuleNames = {"r"};
  const RuleEvaluation result = EvaluateRulesByBootstrap(state, Options("30"));
  ASSERT_TRUE(result.Completed);
  EXPECT_EQ(result.Rows[0].Values.MeanForecastCatch, 0.0);  // 0 / (N·h − N·h + 1)
  EXPECT_EQ(result.Rows[0].Values.ProbBelowCmin, 1.0);
  // A limit biomass of (1 − 1/0.5)·Btr < 0 is never above a biomass.
  EXPECT_EQ(result.Rows[0].Values.ProbBelowBlim, 0.0);
}

TEST(EvaluateRulesByBootstrap, BadRunCountsStopBeforeAnything) {
  AssessmentState state = TwoVariantsOneRule();
  for (const char* runs : {"abc", "0", "65536", "-3", "1.5", ""}) {
    EXPECT_THROW(EvaluateRulesByBootstrap(state, Options(runs)), Error) << runs;
  }
  EXPECT_THROW(EvaluateRulesByBootstrap(state, Options("10", 0)), Error);
  EXPECT_THROW(EvaluateRulesByBootstrap(state, Options("10", 51)), Error);
  EXPECT_EQ(state.Random.Seed(), 0u);
  EXPECT_NO_THROW(ValidateBootstrapOptions(Options("65535")));
  EXPECT_NO_THROW(ValidateBootstrapOptions(Options("1")));
}

// Progress counts the runs of every pair: 2 variants × 1 rule × 10 runs.
TEST(EvaluateRulesByBootstrap, ProgressCountsTheRunsOfEveryPair) {
  AssessmentState state = TwoVariantsOneRule();
  BootstrapOptions options = Options("10");
  std::vector<std::pair<int, int>> reports;
  options.OnProgress = [&](int done, int total) { reports.emplace_back(done, total); };
  EvaluateRulesByBootstrap(state, options);
  ASSERT_EQ(reports.size(), 20u);
  EXPECT_EQ(reports.front(), (std::pair{1, 20}));
  EXPECT_EQ(reports[10], (std::pair{11, 20}));  // the second variant's first run
  EXPECT_EQ(reports.back(), (std::pair{20, 20}));
}

TEST(EvaluateRulesByBootstrap, ZeroMeanCatchIsRefusedUpFront) {
  AssessmentState state = TwoVariantsOneRule();
  state.AnalysisSeries.C = {0.0, 0.0, 0.0, 0.0, 0.0};
  EXPECT_THROW(EvaluateRulesByBootstrap(state, Options("10")), Error);
  EXPECT_EQ(state.Random.Seed(), 0u);
}

// The evaluation of a basis keeps the rows finished before a fault; the
// assessment's transition raises with its message and changes nothing.
RuleEvaluation EvaluatedUntilAFault(AssessmentState& state) {
  const RuleEvaluationBasis basis{state.AnalysisSeries, rules::MakeRuleContext(state),
                                  state.ActiveVariants, state.RuleList, state.RuleNames};
  model::RandomSource random = state.Random;
  RuleEvaluation result = EvaluateRulesByBootstrap(basis, Options("10"), random);
  const std::uint32_t seed = state.Random.Seed();
  try {
    EvaluateRulesByBootstrap(state, Options("10"));
    ADD_FAILURE() << "the transition did not raise";
  } catch (const Error& error) {
    EXPECT_EQ(error.what(), result.ErrorMessage);
  }
  EXPECT_EQ(state.Random.Seed(), seed);
  EXPECT_FALSE(state.Indicators.Evaluated);
  return result;
}

TEST(EvaluateRulesByBootstrap, ZeroRetrospectiveBiomassStopsAndKeepsEarlierRows) {
  AssessmentState state = TwoVariantsOneRule();
  // The second variant's catchability makes 2q·C dwarf every CPUE, so every
  // retrospective step is 0.
  state.ModelFits[1].Kind = model::ProductionModelKind::Schaefer;
  state.ModelFits[1].Q = 1.0;
  const RuleEvaluation result = EvaluatedUntilAFault(state);
  EXPECT_FALSE(result.Completed);
  ASSERT_EQ(result.Rows.size(), 1u);
  EXPECT_EQ(result.Rows[0].Row, 1u);
  EXPECT_NE(result.ErrorMessage.find("ретроспективная биомасса"), std::string::npos)
      << result.ErrorMessage;
  EXPECT_TRUE(result.RuleSelectorItems.empty());
  EXPECT_NE(result.MemoLines.back(), "Расчет окончен");
}

TEST(EvaluateRulesByBootstrap, AFoxProjectionFaultNamesTheVariantAndKeepsRows) {
  AssessmentState state = TwoVariantsOneRule();
  // The Fox variant's U0 turns negative with a large catch two years back,
  // but the Schaefer variant (first) still projects.
  state.AnalysisSeries.C[3] = 1000.0;
  const RuleEvaluation result = EvaluatedUntilAFault(state);
  EXPECT_FALSE(result.Completed);
  ASSERT_EQ(result.Rows.size(), 1u);
  EXPECT_NE(result.ErrorMessage.find("«Фокса Сумма квадратов»"), std::string::npos)
      << result.ErrorMessage;
  EXPECT_NE(result.ErrorMessage.find("U0"), std::string::npos) << result.ErrorMessage;
}

}  // namespace
}  // namespace tarvik::projection
