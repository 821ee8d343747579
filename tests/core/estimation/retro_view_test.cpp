#include "estimation/retro_view.h"

#include <gtest/gtest.h>

namespace tarvik::estimation {
namespace {

// Four years; run 5 + k lacks the last k years and closes with a zero point,
// as RunRetrospective draws it for Chart6.
TEST(RetrospectiveCurves, TheWholeSeriesAndFivePeelsNamedWithoutTheClosingZeros) {
  data::CatchEffortSeries series;
  series.C = {10.0, 0.0, 30.0, 40.0};
  series.E = {1.0, 2.0, 3.0, 4.0};
  series.U = {10.0, 0.0, 10.0, 10.0};
  RetrospectiveResult result;
  for (int k = 6; k <= 10; ++k) {
    result.Runs[static_cast<std::size_t>(k - 1)].Curve = {
        {2000.0, 5.0 * k}, {2001.0, 6.0 * k}, {2001.0, 0.0}};
  }
  result.Runs[0].Curve = {{2001.0, 0.0}, {2001.0, 99.0}};  // runs 1 … 5 are not drawn
  result.Mohn.ChartLabel = "ρ Мона = 0.1";

  const RetrospectiveChart chart = RetrospectiveCurves(result, series, 2000, 0.5, 3, "Шефер СК");
  EXPECT_EQ(chart.Title, "Шефер СК: ρ Мона = 0.1");
  EXPECT_EQ(chart.XTitle, "Год");
  EXPECT_EQ(chart.YTitle, "Биомасса, тыс. т");
  ASSERT_EQ(chart.Curves.size(), 6u);
  const char* const labels[] = {"все годы",
                                "без последнего года",
                                "без последних 2 лет",
                                "без последних 3 лет",
                                "без последних 4 лет",
                                "без последних 5 лет"};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(chart.Curves[i].Label, labels[i]) << i;
  // C / (q·E); the year of zero catch has no biomass and is left out.
  EXPECT_EQ(chart.Curves[0].Points, (PointList{{2000.0, 20.0}, {2002.0, 20.0}, {2003.0, 20.0}}));
  EXPECT_EQ(chart.Curves[5].Points, (PointList{{2000.0, 50.0}, {2001.0, 60.0}}));
}

}  // namespace
}  // namespace tarvik::estimation
