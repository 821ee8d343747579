#pragma once

#include <string>
#include <vector>

#include <QFile>
#include <QString>

#include "app/data_page.h"
#include "app/locale_mark.h"
#include "app/main_window.h"
#include "app/performance_page.h"
#include "assessment/reference_points.h"
#include "assessment/rules.h"
#include "assessment/search.h"
#include "assessment/variants.h"
#include "estimation/variants.h"
#include "refpoints/reference_points.h"
#include "rules/rule_list.h"

namespace tarvik::app::testing {

// The window as the estimation page leaves it after the model choice, set up
// through the core as tarvik-cli does it with `--variants 0 --variant "Шефер
// СК"`: the data file opened (its description on the data page), the Schaefer
// sum-of-squares variant fitted (`maxFailures` consecutive failures end the
// search) and chosen, the result texts of the panel in the state, the tabs
// revealed.
inline void EstimateSchaefer(MainWindow& window, const QString& dataFile, int maxFailures) {
  AssessmentState& state = window.State();
  estimation::FreshStartRequest request;
  request.DataFile = ToUtf8(dataFile);
  request.DecimalMark = DecimalMark();
  request.TickedVariants = std::vector<std::size_t>{0};
  estimation::SearchOptions search;
  search.MaxFailures = maxFailures;
  search.Threads = 1;
  const estimation::FreshStart run = estimation::RunFreshStartEstimation(state, request, search);
  state.Table = run.File.table;
  window.Data()->ShowDescription(run.File.description);
  window.Data()->ShowTable();
  window.Flow().DataFileOpened();
  estimation::ChooseModel(state, "Шефер СК");
  window.Flow().ModelChosen();
}

// The stages before page 5 after a model choice: the reference points
// computed and the rules added (the indicator table laid out after each, the
// page revealed).
inline void AddReferencePointsAndRules(MainWindow& window,
                                       const std::vector<rules::RuleEditor>& ruleEditors) {
  AssessmentState& state = window.State();
  const char mark = DecimalMark();
  refpoints::UpdateReferencePoints(state, refpoints::ReferenceSelectors{}, mark);
  window.Flow().ReferencePointsShown();
  for (const rules::RuleEditor& editor : ruleEditors) {
    rules::AddRule(state, editor, mark);
    window.Performance()->RebuildIndicatorTable();
    window.Flow().RuleAdded();
  }
}

// The window as the stages before page 5 leave it: EstimateSchaefer with a
// short search, then AddReferencePointsAndRules.
inline void SetUpFittedSchaefer(MainWindow& window, const QString& dataFile,
                                const std::vector<rules::RuleEditor>& ruleEditors,
                                int maxFailures = 3000) {
  EstimateSchaefer(window, dataFile, maxFailures);
  AddReferencePointsAndRules(window, ruleEditors);
}

// A number written with a point, as the window's locale writes it.
inline std::string InTheLocale(std::string number) {
  for (char& c : number) {
    if (c == '.') c = DecimalMark();
  }
  return number;
}

inline rules::RuleEditor LinearRule(const std::string& alpha, int target = 0) {
  rules::RuleEditor editor;
  editor.Shape = rules::RuleKind::PiecewiseLinear;
  editor.AlphaText = InTheLocale(alpha);
  editor.TargetIndex = target;
  return editor;
}

inline rules::RuleEditor LogisticRule(const std::string& alpha, const std::string& beta,
                                      int target = 0) {
  rules::RuleEditor editor;
  editor.Shape = rules::RuleKind::Logistic;
  editor.AlphaText = InTheLocale(alpha);
  editor.BetaText = InTheLocale(beta);
  editor.TargetIndex = target;
  return editor;
}

}  // namespace tarvik::app::testing
