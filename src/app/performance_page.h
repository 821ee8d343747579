#pragma once

#include <string>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>

#include "app/page.h"
#include "app/string_grid.h"
#include "assessment/indicators.h"
#include "projection/indicators.h"

namespace tarvik::app {

// The rule chosen for the forecast (state.ChosenRule): its index into the
// rule list and its name (−1 and empty while none is chosen).
struct ChosenRule {
  int Index = -1;
  std::string Text;
};

// Page 5 "Коэффициенты эффективности": the bootstrap performance indicators
// of every pair of model variant and rule, and the choice of a rule.
class PerformancePage : public Page {
  Q_OBJECT

 public:
  explicit PerformancePage(PageContext context, QWidget* parent = nullptr);

  // Lays out the indicator table for the current variants and rules with the
  // indicators the state holds (the hidden Button15 "Построить таблицу");
  // runs whenever the rule list changes.
  void RebuildIndicatorTable() { Button15Click(); }

  // Showing the page: the table as the state has it.
  void Shown() override { Redraw(); }

  // The table laid out for the variants and rules with the indicators
  // computed (or why they must be computed again), the rule chosen.
  void Redraw() override;
  // The settings of the assessment's last evaluation.
  void Opened() override;

  // The results of another data set are gone: the table keeps its titles
  // only, the log is emptied.
  void ClearResults();

  // The rule the TAC page forecasts with.
  ChosenRule Chosen() const;

  StringGrid* Table() const { return stringGrid2_; }

 private:
  void Button14Click();
  void Button15Click();
  // Choosing a rule opens the TAC page.
  void cbb2Change();

  void ShowTable(const projection::IndicatorTable& table);
  void ShowRow(std::size_t row, const std::vector<std::string>& cells);
  void FitTable();
  void FitRows();
  // The font of the titles' row.
  QFont TitleFont() const;
  void FillRuleSelector(const std::vector<std::string>& names);

  QComboBox* comboBootStrap_ = nullptr;
  QLineEdit* editRuns_ = nullptr;
  QSpinBox* spinEdit3_ = nullptr;
  StringGrid* stringGrid2_ = nullptr;
  QPlainTextEdit* memo2_ = nullptr;
  QComboBox* cbb2_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QLabel* note_ = nullptr;  // «Нужно рассчитать заново: …»
};

}  // namespace tarvik::app
