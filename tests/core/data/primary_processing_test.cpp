#include "data/primary_processing.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"

namespace tarvik::data {
namespace {

// Ten years from 1995: U = 1.5, 2.5, …; E = 3, 6, …, 30; C = 100, 101, ….
CatchEffortSeries TenYears() {
  CatchEffortSeries s;
  for (int i = 0; i < 10; ++i) {
    s.U.push_back(1.5 + i);
    s.E.push_back(3.0 * (i + 1));
    s.C.push_back(100.0 + i);
  }
  s.FirstYear = 1995;
  return s;
}

TEST(MovingAverageEffort, ThreeYearWindowOverTenYears) {
  const DataTable table = MovingAverageEffort(TenYears(), 3, ',');
  ASSERT_EQ(table.DataRowCount(), 8);
  EXPECT_EQ(table.Cell(0, 0), "Год");
  // Row 1 is 1997: E = (3 + 6 + 9) / 3 = 6, U and C of 1997 (element 2).
  EXPECT_EQ(table.Cell(0, 1), "1997");
  EXPECT_EQ(table.Cell(1, 1), "3,5");
  EXPECT_EQ(table.Cell(2, 1), "6");
  EXPECT_EQ(table.Cell(3, 1), "102");
  // Row 8 is 2004: E = (24 + 27 + 30) / 3 = 27 — the sum restarts for every row.
  EXPECT_EQ(table.Cell(0, 8), "2004");
  EXPECT_EQ(table.Cell(1, 8), "10,5");
  EXPECT_EQ(table.Cell(2, 8), "27");
  EXPECT_EQ(table.Cell(3, 8), "109");
}

TEST(MovingAverageEffort, AveragesAreWrittenInTheGeneralFormat) {
  CatchEffortSeries s;
  s.U = {1, 1, 1};
  s.E = {1, 2, 2};
  s.C = {1, 1, 1};
  s.FirstYear = 2000;
  const DataTable table = MovingAverageEffort(s, 3, '.');
  ASSERT_EQ(table.DataRowCount(), 1);
  EXPECT_EQ(table.Cell(0, 1), "2002");
  EXPECT_EQ(table.Cell(2, 1), "1.66666666666667");  // 5 / 3 with 15 significant digits
}

TEST(MovingAverageEffort, WindowOneGivesBackTheLoadedTable) {
  const DataTable loadedTable = DataTable::FromRows(
      {{"1995", "2,50", "10", "25"}, {"1996", "2", "12,50", "25"}, {"1997", "1,5", "15", "22,5"}});
  const CatchEffortSeries loaded = RebuildLoadedSeries(loadedTable, ',');
  const DataTable table = MovingAverageEffort(loaded, 1, ',');
  EXPECT_EQ(table, DataTable::FromRows({{"1995", "2,5", "10", "25"},
                                        {"1996", "2", "12,5", "25"},
                                        {"1997", "1,5", "15", "22,5"}}));
}

TEST(MovingAverageEffort, WindowMustLieBetweenOneAndTheNumberOfYears) {
  EXPECT_NO_THROW(MovingAverageEffort(TenYears(), 10, '.'));
  EXPECT_THROW(MovingAverageEffort(TenYears(), 11, '.'), Error);
  EXPECT_THROW(MovingAverageEffort(TenYears(), 0, '.'), Error);
  EXPECT_THROW(MovingAverageEffort(TenYears(), -1, '.'), Error);
  EXPECT_THROW(MovingAverageEffort(CatchEffortSeries{}, 1, '.'), Error);
}

DataTable Unordered() {
  return DataTable::FromRows({{"1997", "1,5", "15", "22,5"},
                              {"1995", "2,5", "10", "25"},
                              {"1996", "2", "12,5", "25"},
                              {"1995", "9", "1", "9"}});
}

TEST(ExploratoryPlots, CpueOverTimeIsALineSortedByYear) {
  const ExploratoryPlot plot = PlotCpueOverTime(Unordered(), ',');
  EXPECT_EQ(plot.series, ExploratoryPlot::Series::Line);
  EXPECT_EQ(plot.leftAxisTitle, "Улов на усилие");
  EXPECT_EQ(plot.bottomAxisTitle, "Год");
  // Equal years keep their row order.
  EXPECT_EQ(plot.points, (PointList{{1995, 2.5}, {1995, 9}, {1996, 2}, {1997, 1.5}}));
}

TEST(ExploratoryPlots, EffortOverTime) {
  const ExploratoryPlot plot = PlotEffortOverTime(Unordered(), ',');
  EXPECT_EQ(plot.series, ExploratoryPlot::Series::Line);
  EXPECT_EQ(plot.leftAxisTitle, "Усилие");
  EXPECT_EQ(plot.bottomAxisTitle, "Год");
  EXPECT_EQ(plot.points, (PointList{{1995, 10}, {1995, 1}, {1996, 12.5}, {1997, 15}}));
}

TEST(ExploratoryPlots, CpueOverEffortIsAPointSeriesInRowOrder) {
  const ExploratoryPlot plot = PlotCpueOverEffort(Unordered(), ',');
  EXPECT_EQ(plot.series, ExploratoryPlot::Series::Points);
  EXPECT_EQ(plot.leftAxisTitle, "Улов на усилие");
  EXPECT_EQ(plot.bottomAxisTitle, "Усилие");
  EXPECT_EQ(plot.points, (PointList{{15, 1.5}, {10, 2.5}, {12.5, 2}, {1, 9}}));
}

TEST(ExploratoryPlots, ACellThatDoesNotConvertStopsThePlot) {
  DataTable table = Unordered();
  table.SetCell(0, 3, "1996г");
  EXPECT_THROW(PlotCpueOverTime(table, ','), Error);
  EXPECT_NO_THROW(PlotCpueOverEffort(table, ','));            // the year is not read there
  EXPECT_THROW(PlotCpueOverEffort(Unordered(), '.'), Error);  // "1,5" in a point locale
}

}  // namespace
}  // namespace tarvik::data
