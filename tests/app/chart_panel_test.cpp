#include "app/chart_panel.h"

#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>

namespace tarvik::app::testing {
namespace {

// What an axis shows.
struct Shown {
  std::pair<double, double> range;
  int ticks;
  bool operator==(const Shown&) const = default;
};

Shown Of(const ChartPanel& chart, Axis axis) {
  return {chart.AxisRange(axis), chart.AxisTickCount(axis)};
}

// An automatic axis follows the points alone: the same points give the same
// axes whatever the chart showed before (other points, none, a fixed range).
TEST(ChartPanelAxes, TheSamePointsAlwaysGiveTheSameAxes) {
  ChartPanel chart;
  chart.AddSeries("line", {});
  const PointList years = {{1934, 10361.1}, {1940, 7000}, {1955, 7895.1}};
  chart.SetPoints("line", years);
  const Shown bottom = Of(chart, Axis::Bottom);
  const Shown left = Of(chart, Axis::Left);
  EXPECT_EQ(bottom.range, (std::pair<double, double>{1930, 1960}));
  EXPECT_LE(left.range.first, 7000);
  EXPECT_GE(left.range.second, 10361.1);

  chart.SetPoints("line", {{0, 0}, {1, 1e6}});
  chart.Clear("line");
  chart.SetPoints("line", years);
  EXPECT_EQ(Of(chart, Axis::Bottom), bottom);
  EXPECT_EQ(Of(chart, Axis::Left), left);

  chart.SetAxisRange(Axis::Bottom, 1900, 2000);
  EXPECT_EQ(chart.AxisRange(Axis::Bottom), (std::pair<double, double>{1900, 2000}));
  chart.SetAxisAutomatic(Axis::Bottom);
  EXPECT_EQ(Of(chart, Axis::Bottom), bottom);
}

TEST(ChartPanelAxes, AnEmptyChartShowsTheAxesOfANewOne) {
  ChartPanel fresh;
  fresh.AddSeries("line", {});
  ChartPanel emptied;
  emptied.AddSeries("line", {});
  emptied.SetPoints("line", {{3, 4}, {5, 6}});
  emptied.ClearAll();
  EXPECT_EQ(Of(emptied, Axis::Bottom), Of(fresh, Axis::Bottom));
  EXPECT_EQ(Of(emptied, Axis::Left), (Shown{{0, 1}, 5}));
}

// Filled areas and point labels are drawn where they are given; neither
// moves an automatic axis, and ClearAll takes them off with the points.
TEST(ChartPanelAreasAndLabels, KeepTheirPlacesAndLeaveTheAxesToThePoints) {
  ChartPanel chart;
  chart.AddArea("zone", QColor(10, 200, 10));
  chart.AddSeries("line", {});
  EXPECT_EQ(chart.Area("zone"), std::nullopt);
  chart.SetPoints("line", {{0, 0}, {1, 1}});
  const Shown bottom = Of(chart, Axis::Bottom);
  const Shown left = Of(chart, Axis::Left);

  chart.SetArea("zone", {-50, 80, 3, 900});
  chart.SetLabels("years", {{{0, 0}, "1934"}, {{1, 1}, "1955"}});
  EXPECT_EQ(chart.Area("zone"), (ChartArea{-50, 80, 3, 900}));
  EXPECT_EQ(chart.AreaColor("zone"), QColor(10, 200, 10));
  EXPECT_EQ(chart.Labels("years"), (std::vector<ChartLabel>{{{0, 0}, "1934"}, {{1, 1}, "1955"}}));
  EXPECT_EQ(Of(chart, Axis::Bottom), bottom);
  EXPECT_EQ(Of(chart, Axis::Left), left);

  // New labels replace the group's old ones.
  chart.SetLabels("years", {{{1, 1}, "1960"}});
  EXPECT_EQ(chart.Labels("years"), (std::vector<ChartLabel>{{{1, 1}, "1960"}}));

  chart.ClearAll();
  EXPECT_EQ(chart.Area("zone"), std::nullopt);
  EXPECT_TRUE(chart.Labels("years").empty());
  EXPECT_TRUE(chart.Points("line").empty());
}

// The pictures beside a report are JPEG and those beside a data file BMP;
// JPEG needs Qt's image plugin, which a bare machine gets only from the
// package list.
TEST(ChartPanelImage, WritesJpegAndBmpOfTheWidgetsSize) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  ChartPanel chart;
  chart.AddSeries("Series1", {});
  chart.SetPoints("Series1", {{1, 2}, {2, 1}, {3, 3}});
  chart.resize(400, 300);
  for (const char* format : {"jpeg", "bmp"}) {
    const QString path = folder.filePath(format == QByteArray("jpeg") ? "chart.jpg" : "chart.bmp");
    ASSERT_TRUE(chart.SaveImage(path)) << format;
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), format);
    EXPECT_EQ(reader.size(), QSize(400, 300)) << format;
  }
}

}  // namespace
}  // namespace tarvik::app::testing
