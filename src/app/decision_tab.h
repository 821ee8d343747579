#pragma once

#include <functional>
#include <string>
#include <stop_token>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "app/page.h"
#include "estimation/search_engine.h"

namespace tarvik::app {

// The tab «Таблица решений» of the TAC page: the catch options, the
// criterion of the largest catch and its threshold, the process error σ_p
// (with the state-space estimator's σ_p beside it once a table is made),
// «Рассчитать» (in the background, with progress, «Прервать» stops it), the
// options × years table of the outlook chosen above it, shaded as Kobe II
// strategy matrices are, and the sentence with the largest catch within the
// risk. The texts come from uncertainty/decision_view.h.
class DecisionTab : public Page {
  Q_OBJECT

 public:
  // `horizon`: the forecast horizon the page shows; `bounds`: the bounds of
  // the search the bootstrap refits within; `changed`: called after a new
  // table is stored (the report shows it); `catchUnit`: N of the data's catch
  // unit, 10^N tonnes, that the catches are shown in.
  DecisionTab(PageContext context, std::function<int()> horizon,
              std::function<estimation::ParameterBounds()> bounds, std::function<void()> changed,
              std::function<int()> catchUnit, QWidget* parent = nullptr);

  // The table as the state holds it (none: the empty tab).
  void Shown() override;

  // The table the state holds, or why it must be computed again; the
  // sentence says when the settings shown are not those of the table.
  void Redraw() override;
  // The settings of the assessment's last decision table.
  void Opened() override;

  QTableWidget* Table() const { return table_; }
  QComboBox* OutlookSelector() const { return outlook_; }
  QLabel* Sentence() const { return sentence_; }

 private:
  void Compute();
  void ShowTable();
  // The sentence under the table, or that the settings changed since it was
  // computed; the caption says whether the «ОДУ» option was left out.
  void ShowSentence();
  // What differs between the settings shown and those the table was
  // computed with ("" when nothing does).
  std::string ChangedSettings() const;

  std::function<int()> horizon_;
  std::function<estimation::ParameterBounds()> bounds_;
  std::function<void()> changed_;
  std::function<int()> catchUnit_;
  std::stop_source stop_;

  QLineEdit* options_ = nullptr;
  QDoubleSpinBox* risk_ = nullptr;
  QComboBox* criterion_ = nullptr;
  QDoubleSpinBox* processSigma_ = nullptr;
  QLabel* stateSpaceSigma_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QComboBox* outlook_ = nullptr;
  QLabel* caption_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* sentence_ = nullptr;
};

}  // namespace tarvik::app
