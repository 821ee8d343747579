#include "app/residuals_chart.h"

#include "app/locale_mark.h"

namespace tarvik::app {

ResidualsChart::ResidualsChart(QWidget* parent) : ChartPanel(parent) {
  setObjectName("ChartResiduals");
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  AddSeries("ZeroLine", {Kind::Line, Qt::gray, 1, Marker::None, 3, false, false, {}});
  AddSeries("Residuals", {Kind::Line, Qt::blue, 1, Marker::Circle, 5, false, true, {}});
  SetLegendVisible(true, true);
}

void ResidualsChart::Show(const estimation::ResidualChart& chart) {
  SetTitle(FromUtf8(chart.Title));
  SetAxisTitle(Axis::Bottom, FromUtf8(chart.XTitle));
  SetSeriesTitle("Residuals", FromUtf8(chart.YTitle), true);
  SetPoints("Residuals", chart.Residuals);
  SetPoints("ZeroLine", chart.ZeroLine);
}

void ResidualsChart::ClearResults() {
  ClearAll();
  hide();
}

}  // namespace tarvik::app
