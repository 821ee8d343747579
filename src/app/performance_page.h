#pragma once

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "app/page.h"

namespace tarvik::app {

// Page 5 "Коэффициенты эффективности": the bootstrap performance indicators
// of every pair of model variant and rule, and the choice of a rule.
class PerformancePage : public Page {
  Q_OBJECT

 public:
  explicit PerformancePage(PageContext context, QWidget* parent = nullptr);

  // Lays out the indicator table for the current variants and rules (the
  // hidden Button15 "Построить таблицу"); runs whenever the rule list changes.
  void RebuildIndicatorTable() { Button15Click(); }

 private:
  void Button14Click() {}
  void Button15Click() {}
  // Choosing a rule opens the TAC page.
  void cbb2Change();

  QTableWidget* stringGrid2_ = nullptr;
  QPlainTextEdit* memo2_ = nullptr;
  QComboBox* cbb2_ = nullptr;
};

}  // namespace tarvik::app
