#include "assessment/rules.h"
#include "rules/rule_list.h"

#include <gtest/gtest.h>

#include "assessment/state.h"
#include "common/error.h"

namespace tarvik::rules {
namespace {

AssessmentState StateWithOneVariant() {
  AssessmentState state;
  model::ModelFit fit;
  fit.Kind = model::ProductionModelKind::Schaefer;
  fit.R = 0.8;
  fit.K = 2000.0;
  fit.Q = 0.001;
  fit.FMSY = 0.4;
  fit.BMSY = 1000.0;
  fit.BTarget = 1000.0;
  state.ModelFits = {fit};
  state.ActiveVariants = {0};
  state.AnalysisSeries.U = {0.5, 0.4, 0.3};
  state.AnalysisSeries.E = {100.0, 150.0, 200.0};
  state.AnalysisSeries.C = {50.0, 60.0, 60.0};
  return state;
}

RuleEditor Linear(const std::string& alpha, int target = 0) {
  RuleEditor editor;
  editor.Shape = RuleKind::PiecewiseLinear;
  editor.AlphaText = alpha;
  editor.TargetIndex = target;
  return editor;
}

// --- names -------------------------------------------------------------------

TEST(RuleName, JoinsThePrefixTheShapeAndTheTexts) {
  EXPECT_EQ(RuleName(Linear("0,5")), "FMSY Линейно-кусочное ПРП -0,5");
  RuleEditor logistic;
  logistic.Shape = RuleKind::Logistic;
  logistic.AlphaText = "2";
  logistic.BetaText = "0.5";
  logistic.TargetIndex = 1;
  EXPECT_EQ(RuleName(logistic), "F01 Логистическое ПРП -2 0.5");
  RuleEditor nonZonal;
  nonZonal.Shape = RuleKind::NonZonal;
  nonZonal.TargetIndex = 4;
  EXPECT_EQ(RuleName(nonZonal), "Fsq125 ");
  EXPECT_EQ(RuleName(Linear("1", -1)), "Линейно-кусочное ПРП -1");
}

// The lists show the stored name with its parameters in plain words, so
// that «--1» reads as alpha −1 and «-0,3» as alpha 0,3.
TEST(RuleName, TheReadableNameSpellsOutTheParameters) {
  struct Case {
    std::string stored;
    HarvestRule rule;
    std::string shown;
  };
  for (const Case& c : {
           Case{"FMSY Линейно-кусочное ПРП --1", {RuleKind::PiecewiseLinear, -1.0, 0.0},
                "FMSY Линейно-кусочное ПРП --1 (α = -1)"},
           Case{"FMSY Линейно-кусочное ПРП -0,3", {RuleKind::PiecewiseLinear, 0.3, 0.0},
                "FMSY Линейно-кусочное ПРП -0,3 (α = 0,3)"},
           Case{"F01 Логистическое ПРП -2 0,5", {RuleKind::Logistic, 2.0, 0.5},
                "F01 Логистическое ПРП -2 0,5 (α = 2, β = 0,5)"},
           Case{"FMSY ", {RuleKind::Precautionary, 0.0, 0.0}, "FMSY "}}) {
    EXPECT_EQ(ReadableRuleName(c.stored, c.rule, ','), c.shown);
  }
}

TEST(RuleName, TargetIndexOutsideTheListMapsToFsq125WithoutPrefix) {
  EXPECT_EQ(TargetKindForIndex(-1), FTargetKind::Fsq125);
  EXPECT_EQ(TargetKindForIndex(3), FTargetKind::Fsq75);
  EXPECT_EQ(TargetKindForIndex(9), FTargetKind::Fsq125);
  EXPECT_EQ(TargetPrefixForIndex(9), "");
}

// --- add and delete -----------------------------------------------------------

TEST(AddRule, PrecautionaryKeepsItsDefaults) {
  AssessmentState state = StateWithOneVariant();
  RuleEditor editor;
  editor.Shape = RuleKind::Precautionary;
  editor.AlphaText = "0,7";
  editor.BetaText = "0,2";
  editor.TargetIndex = 2;
  ASSERT_TRUE(AddRule(state, editor, ',').Added);
  const HarvestRule& rule = state.RuleList[0];
  EXPECT_EQ(rule.Kind, RuleKind::Precautionary);
  EXPECT_EQ(rule.Alpha, 0.0);
  EXPECT_EQ(rule.Beta, 0.0);
  EXPECT_EQ(rule.TargetKind, FTargetKind::FMSY);
  // F rises linearly from 0 to FMSY at Bref.
  const RuleContext context = MakeRuleContext(state);
  EXPECT_DOUBLE_EQ(RuleFishingMortality(context, rule.Kind, 0, rule.TargetKind, 500.0,
                                        rule.Alpha, rule.Beta),
                   0.2);
}

TEST(AddRule, DuplicateNamesKeepOneEntryAndDeleteShowsFromTwoRules) {
  AssessmentState state = StateWithOneVariant();
  AddRuleResult first = AddRule(state, Linear("0.3"));
  EXPECT_TRUE(first.Added);
  EXPECT_FALSE(first.DeleteVisible);
  AddRuleResult again = AddRule(state, Linear("0.3"));
  EXPECT_FALSE(again.Added);
  EXPECT_FALSE(again.DeleteVisible);
  EXPECT_EQ(state.RuleList.size(), 1u);
  AddRuleResult second = AddRule(state, Linear("-0.5"));
  EXPECT_TRUE(second.Added);
  EXPECT_TRUE(second.DeleteVisible);
  ASSERT_EQ(state.RuleNames.size(), 2u);
  EXPECT_EQ(state.RuleNames[1], "FMSY Линейно-кусочное ПРП --0.5");
  EXPECT_EQ(state.RuleList[1].Alpha, -0.5);
}

TEST(AddRule, ABadNumberAddsNothing) {
  AssessmentState state = StateWithOneVariant();
  EXPECT_THROW(AddRule(state, Linear("abc")), Error);
  EXPECT_THROW(AddRule(state, Linear("0.5"), ','), Error);  // wrong decimal mark
  RuleEditor logistic;
  logistic.Shape = RuleKind::Logistic;
  logistic.AlphaText = "2";
  logistic.BetaText = "";
  EXPECT_THROW(AddRule(state, logistic), Error);
  EXPECT_TRUE(state.RuleList.empty());
  EXPECT_TRUE(state.RuleNames.empty());
}

TEST(AddRule, TheListIsLimitedToAByteOfIndices) {
  AssessmentState state = StateWithOneVariant();
  for (std::size_t i = 0; i < kMaxRules; ++i) {
    ASSERT_TRUE(AddRule(state, Linear(std::to_string(i))).Added);
  }
  EXPECT_THROW(AddRule(state, Linear("1000")), Error);
  EXPECT_EQ(state.RuleList.size(), kMaxRules);
  EXPECT_EQ(state.RuleNames.size(), kMaxRules);
}

TEST(DeleteRule, NeedsASelectionAndKeepsTheLastRule) {
  AssessmentState state = StateWithOneVariant();
  AddRule(state, Linear("0.3"));
  AddRule(state, Linear("0.6"));
  DeleteRuleResult none = DeleteRule(state, std::nullopt);
  EXPECT_FALSE(none.Deleted);
  EXPECT_EQ(none.Message, "Выберите ПРП для удаления");
  EXPECT_EQ(state.RuleList.size(), 2u);

  DeleteRuleResult first = DeleteRule(state, 0);
  EXPECT_TRUE(first.Deleted);
  EXPECT_FALSE(first.DeleteVisible);
  ASSERT_EQ(state.RuleList.size(), 1u);
  EXPECT_EQ(state.RuleList[0].Alpha, 0.6);
  EXPECT_EQ(state.RuleNames[0], "FMSY Линейно-кусочное ПРП -0.6");

  DeleteRuleResult last = DeleteRule(state, 0);
  EXPECT_FALSE(last.Deleted);
  EXPECT_FALSE(last.Message.empty());
  EXPECT_EQ(state.RuleList.size(), 1u);
  EXPECT_EQ(state.RuleNames.size(), 1u);
}

// --- chart points ---------------------------------------------------------------

TEST(PlotRule, HundredPointsThenTheFlatSegmentToOneAndAHalfBref) {
  const AssessmentState state = StateWithOneVariant();
  const RulePlot plot = PlotRule(MakeRuleContext(state), RuleKind::PiecewiseLinear, 0,
                                 FTargetKind::FMSY, "0,3", "0", ',');
  ASSERT_EQ(plot.Rule.size(), 102u);
  EXPECT_EQ(plot.Rule[0], (Point{0.0, 0.0}));
  EXPECT_EQ(plot.Rule[30].y, 0.0);  // B = 0.3·Bref, the threshold
  EXPECT_DOUBLE_EQ(plot.Rule[65].y, 0.5 * 0.4);
  EXPECT_DOUBLE_EQ(plot.Rule[99].x, 990.0);
  EXPECT_EQ(plot.Rule[100], (Point{1000.0, 0.4}));
  EXPECT_EQ(plot.Rule[101], (Point{1500.0, 0.4}));
  ASSERT_EQ(plot.TargetLine.size(), 2u);
  EXPECT_EQ(plot.TargetLine[0], (Point{0.0, 0.4}));
  EXPECT_EQ(plot.TargetLine[1], (Point{1000.0, 0.4}));
}

TEST(PlotRule, NonZonalIsAFlatLineAndReadsNoTexts) {
  const AssessmentState state = StateWithOneVariant();
  const RulePlot plot = PlotRule(MakeRuleContext(state), RuleKind::NonZonal, 0,
                                 FTargetKind::Fsq, "not a number", "", '.');
  // Fsq = q · E_last = 0.001 · 200.
  ASSERT_EQ(plot.Rule.size(), 3u);
  EXPECT_DOUBLE_EQ(plot.Rule[0].y, 0.2);
  EXPECT_EQ(plot.Rule[0].x, 0.0);
  EXPECT_EQ(plot.Rule[2].x, 1500.0);
  EXPECT_THROW(PlotRule(MakeRuleContext(state), RuleKind::Logistic, 0, FTargetKind::FMSY, "x",
                        "0.5"),
               Error);
}

TEST(ObservedPoints, FIsQTimesEffortAndBIsCatchOverF) {
  const AssessmentState state = StateWithOneVariant();
  const PointList points = ObservedPoints(state.AnalysisSeries, state.ModelFits[0]);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_DOUBLE_EQ(points[0].y, 0.1);
  EXPECT_DOUBLE_EQ(points[0].x, 500.0);
  EXPECT_DOUBLE_EQ(points[2].y, 0.2);
  EXPECT_DOUBLE_EQ(points[2].x, 300.0);
  data::CatchEffortSeries zero = state.AnalysisSeries;
  zero.E[1] = 0.0;
  EXPECT_THROW(ObservedPoints(zero, state.ModelFits[0]), Error);
}

}  // namespace
}  // namespace tarvik::rules
