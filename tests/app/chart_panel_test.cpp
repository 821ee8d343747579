#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>

#include "app/chart_panel.h"

namespace tarvik::app::testing {
namespace {

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
