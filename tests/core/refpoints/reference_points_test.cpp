#include "assessment/reference_points.h"
#include "refpoints/reference_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "assessment/state.h"
#include "common/error.h"
#include "common/numbers.h"
#include "model/production.h"

namespace tarvik::refpoints {
namespace {

using model::ModelFit;
using model::ObjectiveKind;
using model::ProductionModelKind;

ModelFit Fit(ProductionModelKind kind, double r, double K, double q, double p = 0.0) {
  ModelFit fit;
  fit.Kind = kind;
  fit.R = r;
  fit.K = K;
  fit.Q = q;
  fit.Exponent = p;
  return fit;
}

// A state with one active Schaefer variant K = 1000, r = 0.5, q = 0.001.
AssessmentState SchaeferState() {
  AssessmentState state;
  state.ModelFits.push_back(Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001));
  state.ActiveVariants = {0};
  state.AnalysisSeries.U = {1.0, 1.0, 2.0, 1.0, 1.0};
  state.AnalysisSeries.C = {0.0, 0.0, 0.0, 0.0, 0.0};
  state.AnalysisSeries.E = {1.0, 1.0, 1.0, 1.0, 1.0};
  return state;
}

// --- MSY point and its roundings -------------------------------------------

TEST(ComputeReferencePoints, SchaeferExample) {
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001);
  ComputeReferencePoints(fit, 1);  // "0,2*BMSY"
  EXPECT_EQ(fit.BMSY, 500.0);
  EXPECT_EQ(fit.MSY, 125.0);
  EXPECT_EQ(fit.FMSY, 0.25);
  EXPECT_EQ(fit.EMSY, 250.0);
  EXPECT_EQ(fit.BLimit, 100.0);
}

TEST(ComputeReferencePoints, FmsyAndEmsyComeFromUnroundedValues) {
  // K = 1000.5: BMSY = 500.25 is stored as 500.2 (5002.5 → 5002, ties to
  // even), MSY = 125.0625 as 125.1. From the rounded values FMSY would be
  // 125.1/500.2 = 0.2501; from the unrounded ones it is exactly r/2 = 0.25.
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.5, 0.001);
  ComputeReferencePoints(fit, 2);
  EXPECT_EQ(fit.BMSY, RoundDecimals(500.25, 1));
  EXPECT_DOUBLE_EQ(fit.BMSY, 500.2);
  EXPECT_DOUBLE_EQ(fit.MSY, 125.1);
  EXPECT_EQ(fit.FMSY, 0.25);
  EXPECT_DOUBLE_EQ(fit.EMSY, 250.0);
  // Blim = 0.3 · 500.25 = 150.075, rounded to one decimal.
  EXPECT_DOUBLE_EQ(fit.BLimit, 150.1);
}

TEST(ComputeReferencePoints, UnknownBlimIndexKeepsTheStoredLimit) {
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001);
  fit.BLimit = 42.0;
  ComputeReferencePoints(fit, 7);
  EXPECT_EQ(fit.BLimit, 42.0);
  EXPECT_FALSE(LimitFraction(-1).has_value());
  EXPECT_EQ(*LimitFraction(3), 0.5);
}

TEST(LimitChoice, FindsTheSelectorItemOfEachOfferedFraction) {
  for (int index = 0; index < 4; ++index) EXPECT_EQ(LimitChoice(*LimitFraction(index)), index);
  EXPECT_FALSE(LimitChoice(0.25).has_value());
  EXPECT_FALSE(LimitChoice(0.0).has_value());
}

TEST(ComputeReferencePoints, RunningTwiceGivesTheSameValues) {
  AssessmentState state = SchaeferState();
  state.ModelFits[0].K = 1000.5;
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(state);
  CalculateReferencePoints(state, {}, tabs);
  const ModelFit first = state.ModelFits[0];
  const ReferenceEdits firstEdits = tabs[0].Edits;
  CalculateReferencePoints(state, {}, tabs);
  const ModelFit& second = state.ModelFits[0];
  EXPECT_EQ(second.BMSY, first.BMSY);
  EXPECT_EQ(second.MSY, first.MSY);
  EXPECT_EQ(second.BTarget, first.BTarget);
  EXPECT_EQ(second.FTarget, first.FTarget);
  EXPECT_EQ(tabs[0].Edits.Msy, firstEdits.Msy);
  EXPECT_EQ(tabs[0].Edits.Btr, firstEdits.Btr);
}

// --- target biomass ----------------------------------------------------------

TEST(SelectTargetBiomass, B01OfSchaeferGivesFtrOf045R) {
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001);
  ComputeReferencePoints(fit, 0);
  data::CatchEffortSeries unused;
  EXPECT_DOUBLE_EQ(SelectTargetBiomass(fit, 1, unused), 550.0);
  ComputeTargetPoints(fit);
  // P(550) / 550 = r · (1 − 0.55) = 0.45 · 0.5.
  EXPECT_DOUBLE_EQ(fit.FTarget, 0.45 * 0.5);
  EXPECT_DOUBLE_EQ(fit.ETarget, 0.45 * 0.5 / 0.001);
}

TEST(SelectTargetBiomass, BmsyPlusStandardTermUsesTheResiduals) {
  // r = 0 and no catch: the model predicts U[t] = U[t−2], so the residuals
  // of U = 1, 1, 2, 1, 1 are 1, 0, −1. RmsDeviation (about their mean 0) =
  // sqrt(2/3); StandardTerm = sqrt(sqrt(2/3) / 3) = 0.52169.
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.0, 1000.0, 0.01);
  fit.BMSY = 500.0;
  const AssessmentState state = SchaeferState();
  const double st = std::sqrt(std::sqrt(2.0 / 3.0) / 3.0);
  EXPECT_NEAR(SelectTargetBiomass(fit, 2, state.AnalysisSeries), 500.0 + 1.7 * st / 0.01, 1e-9);
  EXPECT_EQ(fit.BTarget, 500.0 + 1.7 * st / 0.01);
  // Any other index is read as "BMSY+ st" too.
  EXPECT_EQ(SelectTargetBiomass(fit, 5, state.AnalysisSeries), fit.BTarget);
}

TEST(RmsDeviation, DividesByNAndTakesAZeroCentreAsTheMean) {
  const std::vector<double> values = {1.0, 2.0, 3.0, 4.0};
  // About the mean 2.5: (2.25 + 0.25 + 0.25 + 2.25) / 4 = 1.25.
  EXPECT_DOUBLE_EQ(RmsDeviation(values, 0.0), std::sqrt(1.25));
  // About 1: (0 + 1 + 4 + 9) / 4 = 3.5.
  EXPECT_DOUBLE_EQ(RmsDeviation(values, 1.0), std::sqrt(3.5));
  EXPECT_DOUBLE_EQ(StandardTerm(values), std::sqrt(std::sqrt(1.25) / 4.0));
  EXPECT_THROW(RmsDeviation(std::vector<double>{}, 0.0), Error);
}

// --- selector handlers -----------------------------------------------------

TEST(ReferenceSelectors, Button10FillsTheEditsAndLeavesTheEtgChoiceStored) {
  AssessmentState state = SchaeferState();
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(state);
  ASSERT_EQ(tabs.size(), 1u);
  EXPECT_EQ(tabs[0].Caption, "Шефера Сумма квадратов");
  ReferenceSelectors selectors;
  selectors.Btg = 1;  // "B0.1"
  selectors.Etg = 0;  // "EMSY"
  selectors.Blim = 1;
  CalculateReferencePoints(state, selectors, tabs, ',');
  const ReferenceEdits& e = tabs[0].Edits;
  EXPECT_EQ(e.Msy, "125");
  EXPECT_EQ(e.Bmsy, "500");
  EXPECT_EQ(e.Fmsy, "0,25");
  EXPECT_EQ(e.Emsy, "250");
  EXPECT_EQ(e.Blim, "100");
  EXPECT_EQ(e.Flim, "0,25");
  EXPECT_EQ(e.Elim, "250");
  // The Btg handler wrote B0.1 into the Btr edit, the Etg handler then put
  // BMSY back into BTarget, and the edit shows it.
  EXPECT_EQ(e.Btr, "500");
  EXPECT_EQ(state.ModelFits[0].BTarget, 500.0);
  EXPECT_EQ(e.Ftr, "0,25");
  EXPECT_EQ(e.Etr, "250");
}

TEST(ReferenceSelectors, BtgChangeAloneDoesNotTouchFtrAndEtr) {
  AssessmentState state = SchaeferState();
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(state);
  CalculateReferencePoints(state, {}, tabs);
  ChangeTargetBiomass(state, 1, tabs);
  EXPECT_EQ(state.ModelFits[0].BTarget, 550.0);
  EXPECT_EQ(state.ModelFits[0].FTarget, 0.25);  // still the EMSY choice
  EXPECT_EQ(tabs[0].Edits.Btr, "550");
  EXPECT_EQ(tabs[0].Edits.Ftr, "0.25");
  ChangeTargetEffort(state, 1, tabs);
  // Ftr = P(550)/550 = 0.22500000000000003; / 0.01 = 22.500000000000004 → 23.
  EXPECT_DOUBLE_EQ(state.ModelFits[0].FTarget, 0.225);
  EXPECT_EQ(tabs[0].Edits.Ftr, "0.23");
  EXPECT_EQ(tabs[0].Edits.Btr, "550");
  ChangeTargetEffort(state, 0, tabs);  // back to BMSY: the Btr edit follows
  EXPECT_EQ(tabs[0].Edits.Btr, "500");
}

TEST(ReferenceSelectors, BlimChangeMultipliesTheRoundedBmsyWithoutRounding) {
  AssessmentState state = SchaeferState();
  state.ModelFits[0].K = 1000.5;  // BMSY stored as 500.2
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(state);
  CalculateReferencePoints(state, {}, tabs);
  ChangeLimitBiomass(state, 2, tabs);
  EXPECT_EQ(state.ModelFits[0].BLimit, 0.3 * state.ModelFits[0].BMSY);  // 150.06, not 150.1
  EXPECT_EQ(tabs[0].Edits.Blim, FormatGeneral(0.3 * state.ModelFits[0].BMSY));
  ChangeLimitBiomass(state, 9, tabs);  // no such item: nothing changes
  EXPECT_EQ(state.ModelFits[0].BLimit, 0.3 * state.ModelFits[0].BMSY);
}

TEST(ReferenceSelectors, TabsThatNoLongerMatchTheVariantsAreRefused) {
  AssessmentState state = SchaeferState();
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(state);
  state.ModelFits.push_back(state.ModelFits[0]);
  state.ActiveVariants = {0, 1};
  EXPECT_THROW(CalculateReferencePoints(state, {}, tabs), Error);
}

// --- production curve --------------------------------------------------------

TEST(ProductionCurve, OnePointPerTonneBetweenTheEnds) {
  const ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001);
  const PointList curve = ProductionCurve(fit);
  ASSERT_EQ(curve.size(), 1001u);  // (0,0), B = 1 … 999, (K,0)
  EXPECT_EQ(curve.front(), (Point{0.0, 0.0}));
  EXPECT_EQ(curve[500].x, 500.0);
  EXPECT_DOUBLE_EQ(curve[500].y, 125.0);
  EXPECT_EQ(curve[999].x, 999.0);
  EXPECT_EQ(curve.back(), (Point{1000.0, 0.0}));
}

TEST(ProductionCurve, KRoundingToOneDrawsOnlyTheEnds) {
  const PointList curve = ProductionCurve(Fit(ProductionModelKind::Schaefer, 0.5, 1.2, 0.001));
  ASSERT_EQ(curve.size(), 2u);
  EXPECT_EQ(curve[1], (Point{1.2, 0.0}));
  EXPECT_EQ(ProductionCurve(Fit(ProductionModelKind::Schaefer, 0.5, 0.3, 0.001)).size(), 2u);
}

TEST(ProductionCurve, AHugeKIsCappedAndKeepsItsEnds) {
  const ModelFit fit = Fit(ProductionModelKind::Fox, 0.5, 1e9, 0.001);
  const PointList curve = ProductionCurve(fit);
  ASSERT_EQ(curve.size(), kMaxCurveInteriorPoints + 2);
  EXPECT_EQ(curve.front(), (Point{0.0, 0.0}));
  EXPECT_EQ(curve.back(), (Point{1e9, 0.0}));
  const double spacing = 1e9 / static_cast<double>(kMaxCurveInteriorPoints + 1);
  EXPECT_NEAR(curve[1].x, spacing, 1e-6);
  EXPECT_NEAR(curve[2].x - curve[1].x, spacing, 1e-6);
  EXPECT_GT(curve[curve.size() - 2].x, curve[curve.size() - 3].x);
  EXPECT_LT(curve[curve.size() - 2].x, 1e9);
}

TEST(ProductionCurve, MarkersSitOnTheCurveAtBmsyAndBtr) {
  ModelFit fit = Fit(ProductionModelKind::Schaefer, 0.5, 1000.0, 0.001);
  fit.BMSY = 500.0;
  fit.BTarget = 550.0;
  const PointList markers = CurveMarkers(fit);
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0], (Point{500.0, 125.0}));
  EXPECT_DOUBLE_EQ(markers[1].y, 0.0005 * 550.0 * 450.0);
}

}  // namespace
}  // namespace tarvik::refpoints
