#include "uncertainty/bootstrap_view.h"

#include <gtest/gtest.h>

#include "projection/kobe.h"

namespace tarvik::uncertainty {
namespace {

// A plot of 2 × 2 (as BuildKobeChart lays it out) widened for a cloud: the
// axes follow 90 % of the cloud, rounded up to 0.5, never shrink and never
// go beyond twice their ends; the zones and borders that ended at the old
// ends end at the new ones.
TEST(BootstrapView, TheKobePlotWidensForMostOfTheCloudAndNoFurther) {
  struct Case {
    const char* name;
    double x, y;  // every point of the cloud but one far out
    double xEnd, yEnd;
  };
  const Case cases[] = {
      {"inside", 1.5, 0.5, 2.0, 2.0},
      {"beyond on one axis", 2.2, 0.5, 2.5, 2.0},
      {"far out", 9.0, 30.0, 4.0, 4.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    projection::KobeChart chart;
    chart.XMax = chart.YMax = 2.0;
    chart.Areas = {{{projection::KobeQuadrant::Green, 1.0, 2.0, 0.0, 1.0},
                    {projection::KobeQuadrant::Yellow, 0.0, 1.0, 0.0, 1.0},
                    {projection::KobeQuadrant::Orange, 1.0, 2.0, 1.0, 2.0},
                    {projection::KobeQuadrant::Red, 0.0, 1.0, 1.0, 2.0}}};
    KobeCloud cloud;
    cloud.Points.assign(19, {c.x, c.y});
    cloud.Points.push_back({100.0, 100.0});
    WidenKobeForCloud(chart, cloud);
    EXPECT_EQ(chart.XMax, c.xEnd);
    EXPECT_EQ(chart.YMax, c.yEnd);
    EXPECT_EQ(chart.Areas[0].XMax, c.xEnd);
    EXPECT_EQ(chart.Areas[1].XMax, 1.0);
    EXPECT_EQ(chart.Areas[3].YMax, c.yEnd);
    EXPECT_EQ(chart.BmsyLine, (PointList{{1.0, 0.0}, {1.0, c.yEnd}}));
    EXPECT_EQ(chart.FmsyLine, (PointList{{0.0, 1.0}, {c.xEnd, 1.0}}));
  }
}

}  // namespace
}  // namespace tarvik::uncertainty
