#include "projection/management_workflow.h"

#include "assessment_state.h"
#include "common/error.h"

namespace tarvik::projection {

ManagementResult RunManagementWorkflow(AssessmentState& state, const ManagementOptions& options) {
  if (state.ActiveVariants.size() != 1) {
    throw Error("Для обоснования ОДУ должен быть выбран ровно один вариант модели");
  }
  const char mark = options.DecimalMark;
  ManagementResult result;

  // Reference points: the page shows them with every selector at its first
  // item, then the analyst changes the selectors.
  result.ReferenceTabs = refpoints::BuildReferenceTabs(state);
  refpoints::CalculateReferencePoints(state, {}, result.ReferenceTabs, mark);
  if (options.TargetBiomassChoice) {
    refpoints::ChangeTargetBiomass(state, *options.TargetBiomassChoice, result.ReferenceTabs,
                                   mark);
  }
  if (options.TargetEffortChoice) {
    refpoints::ChangeTargetEffort(state, *options.TargetEffortChoice, result.ReferenceTabs, mark);
  }
  if (options.LimitBiomassChoice) {
    refpoints::ChangeLimitBiomass(state, *options.LimitBiomassChoice, result.ReferenceTabs, mark);
  }

  // Rules, in the order given.
  for (const rules::RuleEditor& editor : options.Rules) {
    result.AddedRules.push_back(rules::AddRule(state, editor, mark));
  }
  if (state.RuleList.empty()) throw Error("Не задано ни одного ПРП");

  // Indicators.
  result.Indicators = BuildIndicatorTable(state, mark);
  BootstrapOptions bootstrap = options.Bootstrap;
  bootstrap.DecimalMark = mark;
  result.Bootstrap = EvaluateRulesByBootstrap(state, bootstrap);
  ApplyIndicatorRows(result.Indicators, result.Bootstrap.Rows);
  if (!result.Bootstrap.Completed) throw Error(result.Bootstrap.ErrorMessage);

  // The rule selector, then the forecast.
  if (options.SelectedRule >= state.RuleList.size()) {
    throw Error("ПРП номер " + std::to_string(options.SelectedRule + 1) +
                " не существует: в списке " + std::to_string(state.RuleList.size()) + " ПРП");
  }
  ForecastOptions forecast = options.Forecast;
  forecast.Variant = state.ActiveVariants[0];
  forecast.Rule = options.SelectedRule;
  forecast.RuleText = state.RuleNames[options.SelectedRule];
  forecast.DecimalMark = mark;
  result.Forecast = BuildForecast(state, forecast);
  TacReportInput report = result.Forecast.Report;

  if (options.Sensitivity) {
    result.Sensitivity = RunSensitivityAnalysis(state, forecast, options.Sensitivity->Parameter,
                                                options.Sensitivity->StepPercent);
    // The page now shows the noise-free forecast of the sensitivity run with
    // "Добавить шум" unchecked; a report saved afterwards is written from it.
    report = result.Sensitivity->Forecast.Report;
  }

  result.ReportFileLines = TacReportFileLines(report);
  if (!options.ReportPath.empty()) {
    SaveTacReport(options.ReportPath, report);
    result.ReportImageFile = ReportImageFileName(options.ReportPath);
  }
  result.Report = std::move(report);
  return result;
}

}  // namespace tarvik::projection
