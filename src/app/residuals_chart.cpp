#include "app/residuals_chart.h"

#include "app/locale_mark.h"
#include "app/widgets.h"

namespace tarvik::app {

ResidualsChart::ResidualsChart(const char* name) : panel_(Hidden(Named<ChartPanel>(name))) {
  using Kind = SeriesStyle::Kind;
  using Marker = SeriesStyle::Marker;
  panel_->SetAxisLabelFormat(Axis::Bottom, QStringLiteral("%.7g"));
  panel_->AddSeries("ZeroLine", {Kind::Line, Qt::gray, 1, Marker::None, 3, false, false, {}});
  panel_->AddSeries("Residuals", {Kind::Line, Qt::blue, 1, Marker::Circle, 5, false, true, {}});
  panel_->SetLegendVisible(true, true);
}

void ResidualsChart::Show(const estimation::ResidualChart& chart) {
  panel_->SetTitle(FromUtf8(chart.Title));
  panel_->SetAxisTitle(Axis::Bottom, FromUtf8(chart.XTitle));
  panel_->SetSeriesTitle("Residuals", FromUtf8(chart.YTitle), true);
  panel_->SetPoints("Residuals", chart.Residuals);
  panel_->SetPoints("ZeroLine", chart.ZeroLine);
}

void ResidualsChart::Clear() {
  panel_->ClearAll();
  panel_->hide();
}

}  // namespace tarvik::app
