#pragma once

#include <vector>

#include <QButtonGroup>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "app/chart_panel.h"
#include "app/page.h"
#include "app/page_control.h"
#include "common/point.h"

namespace tarvik::app {

// Page 6 "Обоснование расчетного значения ОДУ": the forecast of biomass and
// catch under the chosen rule, the sensitivity analysis, the TAC report and
// the retrospective analysis.
class TacPage : public Page {
  Q_OBJECT

 public:
  explicit TacPage(PageContext context, QWidget* parent = nullptr);

  // PageControl3 with TabSheet7 "Прогноз биомассы и уловов", TabSheet8
  // "Результаты" and TabSheet9 "График" (its tab hidden).
  PageControl* Results() const { return pageControl3_; }

  // The retrospective analysis of the estimation page: adds its curves to
  // Chart6 (never removing earlier ones) and brings the tab "График" with the
  // chart to the front.
  void AddRetrospectiveCurves(const std::vector<PointList>& curves);

 private:
  QWidget* BuildControls();
  void BuildResults();

  void Button16Click() {}
  void Button19Click() {}
  void RadioGroup1Click() {}
  void se2Change() {}
  void N6Click() {}

  PageControl* pageControl3_ = nullptr;
  ChartPanel* chart5_ = nullptr;
  ChartPanel* chart6_ = nullptr;
  QPlainTextEdit* memo3_ = nullptr;
  QPlainTextEdit* memo4_ = nullptr;
  QMenu* popupMenu3_ = nullptr;
};

}  // namespace tarvik::app
