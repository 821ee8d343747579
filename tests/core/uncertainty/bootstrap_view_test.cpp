#include "uncertainty/bootstrap_view.h"

#include <gtest/gtest.h>

#include "projection/kobe.h"
#include "uncertainty/bootstrap.h"

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

// The last year's status names its biomass. Without a bootstrap it is the
// trajectory's observed U/q (B/BMSY 1.41: green); with one it is the cloud's
// point estimate (B_last 70 of BMSY 100, F_last 0.3 of FMSY 0.2: red), the
// same point the cloud is drawn around and the zones are counted with; the
// forecast's line follows either way.
TEST(BootstrapView, TheStatusSentenceUsesTheCloudsBiomass) {
  projection::KobeChart chart;
  chart.Points = {{1954.0, 0, 0, 1.2, 0.4, projection::KobeQuadrant::Green, false, ""},
                  {1955.0, 0, 0, 1.41, 0.5, projection::KobeQuadrant::Green, false, "1955"},
                  {1956.0, 0, 0, 1.3, 0.9, projection::KobeQuadrant::Green, true, "1956"}};
  chart.Summary = {"trajectory", "Конец прогноза (1956): …"};
  const std::string green = projection::QuadrantText(projection::KobeQuadrant::Green);
  EXPECT_EQ(KobeStatusLines(chart, nullptr, ','),
            (std::vector<std::string>{"Последний год наблюдений (1955), B = U/q по наблюдениям: "
                                      "B/BMSY = 1,41, F/FMSY = 0,50 — " + green,
                                      "Конец прогноза (1956): …"}));

  BootstrapResult result;
  result.Method = Estimator::Procedure;
  result.Estimate.BLast = 70.0;
  result.Estimate.BMSY = 100.0;
  result.Estimate.FLast = 0.3;
  result.Estimate.FMSY = 0.2;
  result.ReplicateCount = 1;
  result.Replicates = {result.Estimate};
  const std::vector<std::string> lines = KobeStatusLines(chart, &result, '.');
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "Последний год наблюдений (1955), B как у облака: U0/q, модельная биомасса начала "
            "прогноза: B/BMSY = 0.70, F/FMSY = 1.50 — " +
                projection::QuadrantText(projection::KobeQuadrant::Red));
  const KobeCloud cloud = KobeCloudOf(result);
  EXPECT_EQ(KobeCloudEstimate(result).x, 0.7);
  EXPECT_EQ(cloud.QuadrantProbabilities[3], 1.0);  // the one replicate: red, as the sentence
  result.Method = Estimator::ObservationError;
  EXPECT_NE(KobeStatusLines(chart, &result).front().find("B как у облака: биомасса модели"),
            std::string::npos);
}

}  // namespace
}  // namespace tarvik::uncertainty
