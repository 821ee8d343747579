#pragma once

#include <array>

#include <QAction>

#include "app/page_control.h"

namespace tarvik::app {

// The six pages of the main window, in tab order.
enum class PageIndex : int {
  Data = 0,             // "Данные"
  Estimation = 1,       // "Оценка параметров модели"
  ReferencePoints = 2,  // "Оценка ориентиров управления"
  Rule = 3,             // "Правило регулирования промысла"
  Performance = 4,      // "Коэффициенты эффективности"
  Tac = 5,              // "Обоснование расчетного значения ОДУ"
};

// The items of the workflow menu "Этапы приказа №104".
enum class Stage : int {
  N8 = 0,  // "Анализ доступного информационного обеспечения"
  N10,     // "Обоснование выбора метода оценки запаса"
  N11,  // "Ретроспективный анализ состояния запаса и промысла"
  N12,  // "Определение биологических ориентиров"
  N13,  // "Обоснование правила регулирования промысла"
  N14,  // "Прогнозирование состояния запаса"
  N15,  // "Обоснование рекомендуемого объема ОДУ"
  N16,  // "Анализ и диагностика полученных результатов"
};
inline constexpr int kStageCount = 8;

// The page each workflow item brings to the front.
PageIndex PageOfStage(Stage stage);

// Unlocks the pages and the workflow menu step by step. The events below are
// the only ones that change tab visibility or the menu; they only ever reveal
// tabs and enable or check items (the exceptions: a new estimation hides the
// reference-point tab until a model is chosen again, another data set hides
// the tabs after the estimation page); Follow puts tabs and items in line
// with the state after every change.
class Workflow {
 public:
  Workflow(PageControl& pages, const std::array<QAction*, kStageCount>& items);

  // The state at start: only N8 enabled, and checked.
  void Start();
  // A workflow item was clicked: its page comes to the front. A click does
  // not change what is checked.
  void ItemClicked(Stage stage);

  // "Открыть" was used, whether or not a file was chosen.
  void OpenCommandUsed();
  // A data file was read successfully.
  void DataFileOpened();
  // Another data set replaced the one the later pages worked on: their tabs
  // hide again until their stage is reached.
  void DataSetReplaced();
  // "Оценка параметров" ran (again).
  void EstimationStarted();
  // A model variant was chosen in the model list.
  void ModelChosen();
  // A model's page on the reference-point page was shown, or
  // "Построить все графики" ran.
  void ReferencePointsShown();
  // "Добавить ПРП" added a rule.
  void RuleAdded();
  // A rule was chosen on the page of performance coefficients.
  void RuleChosen();
  // "Построить график" drew the forecast.
  void ForecastDrawn();

  // What the assessment has reached, as its state holds it.
  struct Reached {
    bool ModelChosen = false;      // a variant is chosen
    bool ReferencePoints = false;  // the chosen variant's reference points are computed
    bool Rules = false;            // the rule list is not empty
    bool RuleChosen = false;       // a rule is chosen for the forecast
    bool Forecast = false;         // a forecast is drawn
  };
  // After every change of the assessment: the pages after the estimation
  // page are shown exactly when their stage is reached (each needs the one
  // before it), and the menu's marks and items follow; the events above
  // reveal earlier, never later.
  void Follow(const Reached& reached);

  void RevealPage(PageIndex page);
  void BringToFront(PageIndex page);

  QAction* Item(Stage stage) const { return items_[static_cast<int>(stage)]; }

 private:
  void Enable(Stage stage) { Item(stage)->setEnabled(true); }
  void Check(Stage stage);

  PageControl& pages_;
  std::array<QAction*, kStageCount> items_;
  std::array<bool, kStageCount> done_{};
};

}  // namespace tarvik::app
