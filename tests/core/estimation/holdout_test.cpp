#include "assessment/fit_checks.h"
#include "estimation/holdout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/variants.h"
#include "model/production.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;

// Relative growth of the hold-out recursion at log relative biomass x.
double Growth(ProductionModelKind kind, double x, double p) {
  switch (kind) {
    case ProductionModelKind::Schaefer:
      return 2.0 - std::exp(x);
    case ProductionModelKind::Fox:
      return 1.0 - x;
    case ProductionModelKind::PellaTomlinson:
      return (p + 1.0 - std::exp(p * x)) / p;
  }
  return 0.0;
}

// A table of `years` years whose last `heldOut` catches are those under
// which the variant's recursion predicts exactly the observed mean CPUE of
// each held-out pair: with S_k the CPUE sum of O_k's pair,
//   x_k = ln(S_k / (2q·BMSY)) and C_k = (x_{k−1} + h·MSY/BMSY − x_k)·S_k / (2q).
struct ExactCase {
  AssessmentState state;
  data::DataTable table;
};

ExactCase Exact(ProductionModelKind kind, int years, int heldOut) {
  ExactCase c;
  BuildModelFits(c.state, "4");
  const std::size_t index = static_cast<std::size_t>(kind) * 3;
  ChooseModel(c.state, VariantLabel(c.state.ModelFits, index));
  model::ModelFit& fit = c.state.ModelFits[index];
  fit.R = 0.4;
  fit.K = 1000.0;
  fit.Q = 0.01;
  fit.Exponent = 1.7;
  model::ModelFit msy = fit;
  model::ReferenceMsy(msy);

  data::CatchEffortSeries s;
  s.FirstYear = 1990;
  for (int i = 0; i < years; ++i) {
    s.U.push_back(6.0 - 0.1 * i + 0.05 * std::sin(i));
    s.C.push_back(100.0 + i);
    s.E.push_back(s.C.back() / s.U.back());
  }
  const int n = years - heldOut;
  const auto pairSum = [&](int k) { return s.U[n + k - 2] + s.U[n + k - 1]; };
  double x = std::log(pairSum(0) / (2.0 * fit.Q * msy.BMSY));
  for (int k = 1; k <= heldOut; ++k) {
    const double target = std::log(pairSum(k) / (2.0 * fit.Q * msy.BMSY));
    const double c = x + Growth(kind, x, fit.Exponent) * msy.MSY / msy.BMSY - target;
    s.C[n + k - 1] = c * pairSum(k) / (2.0 * fit.Q);
    EXPECT_GT(s.C[n + k - 1], 0.0);
    x = target;
  }
  c.table = testing::TableOf(s);
  c.state.AnalysisSeries = s;
  c.state.AnalysisSeries.U.resize(n);
  c.state.AnalysisSeries.E.resize(n);
  c.state.AnalysisSeries.C.resize(n);
  return c;
}

TEST(HoldOutCheck, ExactModelGivesZeroDeviation) {
  for (ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                   ProductionModelKind::PellaTomlinson}) {
    ExactCase c = Exact(kind, 20, 4);
    const HoldOutResult result = HoldOutCheck(c.state, c.table, 4, '.');
    ASSERT_EQ(result.Variants.size(), 1u);
    const HoldOutVariant& v = result.Variants[0];
    ASSERT_EQ(v.Predicted.size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(v.Predicted[k], result.Observed[k], 1e-12);
    EXPECT_LT(v.SD, 1e-12) << int(kind);
  }
}

// The check works on the MSY point of a copy of each record: the records
// (what the reference points and the adoption read) stay as they were.
TEST(HoldOutCheck, UsesTheMsyPointOfACopyAndLeavesTheRecords) {
  ExactCase c = Exact(ProductionModelKind::Schaefer, 20, 4);
  const std::vector<model::ModelFit> before = c.state.ModelFits;
  const HoldOutResult result = HoldOutCheck(c.state, c.table, 4, '.');
  // Schaefer r = 0.4, K = 1000, q = 0.01: BMSY 500, MSY 100; the exact
  // series is predicted exactly.
  EXPECT_LT(result.Variants[0].SD, 1e-9);
  EXPECT_EQ(result.Variants[0].SeriesTitle, "Шефер СК StdDev=0");
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(c.state.ModelFits[i].BMSY, before[i].BMSY) << i;
    EXPECT_EQ(c.state.ModelFits[i].MSY, before[i].MSY) << i;
    EXPECT_EQ(c.state.ModelFits[i].EMSY, before[i].EMSY) << i;
  }
}

TEST(HoldOutCheck, DeviationUsesNMinusOneAndChartYears) {
  ExactCase c = Exact(ProductionModelKind::Fox, 20, 5);
  c.state.ModelFits[3].R = 0.45;  // no longer exact
  const HoldOutResult result = HoldOutCheck(c.state, c.table, 5, '.');
  const HoldOutVariant& v = result.Variants[0];
  double ss = 0.0;
  for (int k = 0; k < 5; ++k)
    ss += (result.Observed[k] - v.Predicted[k]) * (result.Observed[k] - v.Predicted[k]);
  EXPECT_GT(v.SD, 0.01);
  EXPECT_DOUBLE_EQ(v.SD, std::sqrt(ss / 4.0));
  // P_k is drawn at the year of the pair's later row: 2005 … 2009 (15 fitted years).
  ASSERT_EQ(v.Points.size(), 5u);
  EXPECT_EQ(v.Points.front().x, 2005.0);
  EXPECT_EQ(v.Points.back().x, 2009.0);
  EXPECT_EQ(v.Points[2].y, v.Predicted[2]);
  // «Исходные»: the mean CPUE of each pair of rows, at the later year.
  ASSERT_EQ(result.Original.size(), 19u);
  EXPECT_EQ(result.Original.front().x, 1991.0);
  EXPECT_DOUBLE_EQ(result.Original.back().y, result.Observed.back());
}

TEST(HoldOutCheck, NeedsTwoHeldOutYearsAndTheShortenedSeries) {
  ExactCase c = Exact(ProductionModelKind::Schaefer, 20, 4);
  EXPECT_THROW(HoldOutCheck(c.state, c.table, 1, '.'), Error);
  EXPECT_THROW(HoldOutCheck(c.state, c.table, 3, '.'), Error);  // the series lacks 4 years
  EXPECT_EQ(c.state.ModelFits[0].BMSY, 0.0);
}

}  // namespace
}  // namespace tarvik::estimation
