#pragma once

#include "app/chart_panel.h"
#include "assessment/estimation_view.h"
#include "estimation/estimation_view.h"

namespace tarvik::app {

// The residuals of the chosen variant against the year, with the zero line,
// on its own chart (ChartResiduals): a trend or an outlier shows at once.
// The legend names the values (the left axis has no room for the long title
// at the smallest window).
class ResidualsChart {
 public:
  // `name`: the chart's object name (the estimation page's is ChartResiduals).
  explicit ResidualsChart(const char* name = "ChartResiduals");

  // The chart, for the page's layout; it starts hidden.
  ChartPanel* Panel() const { return panel_; }

  void Show(const estimation::ResidualChart& chart);
  // Empty and hidden: no model is chosen.
  void Clear();

 private:
  ChartPanel* panel_;
};

}  // namespace tarvik::app
