#pragma once

#include <cstddef>

#include "app/chart_panel.h"
#include "assessment/fit_checks.h"
#include "assessment/suitability.h"
#include "data/suitability.h"
#include "estimation/holdout.h"

namespace tarvik::app {

// The chart of the estimation page that compares models with the data
// (Chart2): after the suitability check the observed CPUE against effort with
// the equilibrium curves of the three models; after a search with held-out
// years the observed CPUE of those years and each variant's prediction.
class HoldOutChart : public ChartPanel {
  Q_OBJECT

 public:
  explicit HoldOutChart(QWidget* parent = nullptr);

  // The scatter and the three curves of a suitability check.
  void ShowSuitability(const data::SuitabilityResult& check);
  // The observations of the held-out years and every variant's prediction,
  // with the legend that names each with its standard deviation.
  void ShowHoldOut(const estimation::HoldOutResult& holdOut);
  // Nothing of a data set.
  void ClearResults();

 private:
  void ClearHoldOutSeries();
};

}  // namespace tarvik::app
