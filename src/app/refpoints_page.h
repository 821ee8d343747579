#pragma once

#include <QComboBox>
#include <QTabWidget>

#include "app/chart_panel.h"
#include "app/page.h"

namespace tarvik::app {

// Page 3 "Оценка ориентиров управления": the reference points of the chosen
// model variant, one tab per variant, and the sustainable-yield curves.
class ReferencePointsPage : public Page {
  Q_OBJECT

 public:
  explicit ReferencePointsPage(PageContext context, QWidget* parent = nullptr);

  // TabSheet3Show.
  void Shown() override;

 private:
  void Button9Click() {}
  void Button10Click() {}
  void Button11Click() {}
  void ComboBoxBtgChange() {}
  void ComboBoxEtgChange() {}
  void ComboBoxBlimChange() {}

  ChartPanel* chart3_ = nullptr;
  QTabWidget* pageControl2_ = nullptr;
};

}  // namespace tarvik::app
