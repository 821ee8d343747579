#pragma once

#include "app/chart_panel.h"
#include "estimation/estimation_view.h"

namespace tarvik::app {

// The residuals of the chosen variant against the year, with the zero line
// (ChartResiduals): a trend or an outlier shows at once. The legend names
// the values (the left axis has no room for the long title at the smallest
// window).
class ResidualsChart : public ChartPanel {
  Q_OBJECT

 public:
  explicit ResidualsChart(QWidget* parent = nullptr);

  void Show(const estimation::ResidualChart& chart);
  // Empty and hidden (no model chosen).
  void ClearResults();
};

}  // namespace tarvik::app
