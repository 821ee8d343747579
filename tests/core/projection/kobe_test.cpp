#include "projection/kobe.h"

#include <gtest/gtest.h>

#include <string>

#include "fixture.h"
#include "support/error_of.h"

namespace tarvik::projection {
namespace {

using testing_support::ErrorOf;

// Four observed years of a Schaefer variant with q = 0.001, BMSY = 500,
// FMSY = 0.25, worked out by hand:
//   2000  U 0.60  C 200  B 600  F 0.3333  B/BMSY 1.2  F/FMSY 1.3333  orange
//   2001  U 0.45  C 150  B 450  F 0.3333  B/BMSY 0.9  F/FMSY 1.3333  red
//   2002  U 0.55  C 100  B 550  F 0.1818  B/BMSY 1.1  F/FMSY 0.7273  green
//   2003  U 0.30  C  60  B 300  F 0.2     B/BMSY 0.6  F/FMSY 0.8     yellow
data::CatchEffortSeries FourYears() {
  data::CatchEffortSeries s;
  s.U = {0.60, 0.45, 0.55, 0.30};
  s.C = {200.0, 150.0, 100.0, 60.0};
  for (std::size_t t = 0; t < 4; ++t) s.E.push_back(s.C[t] / s.U[t]);
  return s;
}

TEST(Kobe, ObservedYearsByTheFormulasAndTheirQuadrants) {
  const KobeChart chart = BuildKobeChart(FourYears(), testing::SchaeferFit(), 2000, nullptr);
  ASSERT_EQ(chart.Points.size(), 4u);
  const KobePoint& first = chart.Points[0];
  EXPECT_EQ(first.Year, 2000.0);
  EXPECT_NEAR(first.Biomass, 600.0, 1e-9);
  EXPECT_NEAR(first.FishingMortality, 1.0 / 3.0, 1e-12);
  EXPECT_NEAR(first.BRatio, 1.2, 1e-12);
  EXPECT_NEAR(first.FRatio, 4.0 / 3.0, 1e-12);
  const KobePoint& second = chart.Points[1];
  EXPECT_NEAR(second.BRatio, 0.9, 1e-12);
  EXPECT_NEAR(second.FRatio, 4.0 / 3.0, 1e-12);
  EXPECT_NEAR(chart.Points[2].FRatio, 100.0 / 550.0 / 0.25, 1e-12);
  EXPECT_EQ(first.Quadrant, KobeQuadrant::Orange);
  EXPECT_EQ(second.Quadrant, KobeQuadrant::Red);
  EXPECT_EQ(chart.Points[2].Quadrant, KobeQuadrant::Green);
  EXPECT_EQ(chart.Points[3].Quadrant, KobeQuadrant::Yellow);
  for (const KobePoint& p : chart.Points) EXPECT_FALSE(p.Forecast);

  // Joined in time order; the first and last years labelled.
  ASSERT_EQ(chart.Observed.size(), 4u);
  EXPECT_EQ(chart.Observed[1].x, second.BRatio);
  EXPECT_EQ(chart.Observed[1].y, second.FRatio);
  EXPECT_EQ(first.Label, "2000");
  EXPECT_EQ(chart.Points[1].Label, "");
  EXPECT_EQ(chart.Points[3].Label, "2003");
  EXPECT_TRUE(chart.Forecast.empty());
  ASSERT_EQ(chart.Summary.size(), 1u);
  EXPECT_EQ(chart.Summary[0],
            "Последний год наблюдений (2003): B/BMSY = 0.60, F/FMSY = 0.80 — жёлтая зона: "
            "запас переловлен, перелова нет");
}

TEST(Kobe, QuadrantBordersBelongToTheGreenSide) {
  EXPECT_EQ(QuadrantOf(500.0, 0.25, 500.0, 0.25), KobeQuadrant::Green);
  EXPECT_EQ(QuadrantOf(499.9, 0.25, 500.0, 0.25), KobeQuadrant::Yellow);
  EXPECT_EQ(QuadrantOf(500.0, 0.2501, 500.0, 0.25), KobeQuadrant::Orange);
  EXPECT_EQ(QuadrantOf(499.9, 0.2501, 500.0, 0.25), KobeQuadrant::Red);
  EXPECT_EQ(QuadrantKey(KobeQuadrant::Orange), "orange");
  EXPECT_EQ(QuadrantText(KobeQuadrant::Red).rfind("красная зона", 0), 0u);
}

TEST(Kobe, MeanForecastFollowsTheObservedYears) {
  ForecastResult forecast;
  forecast.Years = {2004.0, 2005.0, 2006.0};
  forecast.BiomassMean = {400.0, 800.0, 0.0};  // the stock collapsed in every run in 2006
  forecast.CatchMean = {40.0, 300.0, 0.0};
  const KobeChart chart = BuildKobeChart(FourYears(), testing::SchaeferFit(), 2000, &forecast);
  ASSERT_EQ(chart.Points.size(), 6u);  // 2006 has no F
  const KobePoint& year1 = chart.Points[4];
  EXPECT_TRUE(year1.Forecast);
  EXPECT_EQ(year1.Year, 2004.0);
  EXPECT_DOUBLE_EQ(year1.BRatio, 0.8);
  EXPECT_DOUBLE_EQ(year1.FRatio, 0.4);  // F = 40/400 = 0.1
  EXPECT_EQ(year1.Quadrant, KobeQuadrant::Yellow);
  const KobePoint& year2 = chart.Points[5];
  EXPECT_DOUBLE_EQ(year2.BRatio, 1.6);
  EXPECT_DOUBLE_EQ(year2.FRatio, 1.5);  // F = 300/800 = 0.375
  EXPECT_EQ(year2.Quadrant, KobeQuadrant::Orange);
  EXPECT_EQ(year2.Label, "2005");
  EXPECT_EQ(chart.Points[3].Label, "2003");
  EXPECT_TRUE(chart.ForecastTruncated);
  // The forecast line starts at the last observed point.
  ASSERT_EQ(chart.Forecast.size(), 3u);
  EXPECT_EQ(chart.Forecast[0], chart.Observed.back());
  EXPECT_EQ(chart.Forecast[2].x, year2.BRatio);
  ASSERT_EQ(chart.Summary.size(), 3u);
  EXPECT_EQ(chart.Summary[1].rfind("Конец прогноза (2005): B/BMSY = 1.60, F/FMSY = 1.50", 0), 0u);
  // Axes from 0 to at least 2; quadrants split at 1.
  EXPECT_EQ(chart.XMax, 2.0);
  EXPECT_EQ(chart.YMax, 2.0);
  EXPECT_EQ(chart.Areas[0].Quadrant, KobeQuadrant::Green);
  EXPECT_EQ(chart.Areas[0].XMin, 1.0);
  EXPECT_EQ(chart.Areas[0].YMax, 1.0);
  EXPECT_EQ(chart.Areas[3].Quadrant, KobeQuadrant::Red);
  EXPECT_EQ(chart.Areas[3].XMax, 1.0);
  EXPECT_EQ(chart.Areas[3].YMin, 1.0);
}

TEST(Kobe, AxesGrowWithTheRatiosAndFaultsAreReported) {
  data::CatchEffortSeries s = FourYears();
  s.C[1] = 450.0;  // F = 1, F/FMSY = 4
  const KobeChart chart = BuildKobeChart(s, testing::SchaeferFit(), 2000, nullptr);
  EXPECT_EQ(chart.YMax, 4.5);  // 1.1 · 4 = 4.4, up to a half
  EXPECT_EQ(chart.XMax, 2.0);

  model::ModelFit noReferencePoints = testing::SchaeferFit();
  noReferencePoints.BMSY = 0.0;
  EXPECT_NE(ErrorOf([&] { BuildKobeChart(s, noReferencePoints, 2000, nullptr); }).find("ориентиры"),
            std::string::npos);
  s.U[2] = 0.0;
  EXPECT_NE(ErrorOf([&] { BuildKobeChart(s, testing::SchaeferFit(), 2000, nullptr); }).find("2002"),
            std::string::npos);
}

}  // namespace
}  // namespace tarvik::projection
