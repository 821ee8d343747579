#include "assessment/management.h"

#include <optional>

#include "assessment/estimation_view.h"
#include "assessment/forecast.h"
#include "assessment/indicators.h"
#include "assessment/reference_points.h"
#include "assessment/rules.h"
#include "assessment/variants.h"
#include "common/error.h"

namespace tarvik::projection {

ForecastOptions ForecastOptionsFor(const AssessmentState& state, int horizon, bool addNoise,
                                   const std::string& species, const std::string& stock,
                                   char decimalMark) {
  const std::optional<std::size_t> variant = estimation::ChosenVariant(state);
  if (!variant) {
    throw Error(
        "Модель не выбрана: выберите вариант модели на странице «Оценка параметров "
        "модели»");
  }
  if (!state.ChosenRule || *state.ChosenRule >= state.RuleList.size()) {
    throw Error("ПРП не выбрано: выберите его на странице «Коэффициенты эффективности»");
  }
  ForecastOptions options;
  options.Variant = static_cast<std::uint8_t>(*variant);
  options.ModelChoiceText = state.ModelChoiceText;
  options.Rule = *state.ChosenRule;
  options.RuleText = state.RuleNames[options.Rule];
  options.Horizon = horizon;
  options.AddNoise = addNoise;
  for (int row = 1; row <= state.Table.DataRowCount(); ++row) {
    options.YearTexts.push_back(state.Table.Cell(data::DataTable::kYear, row));
  }
  options.Species = species;
  options.Stock = stock;
  options.Results = estimation::ResultTextsOf(state, options.Variant, decimalMark);
  options.DecimalMark = decimalMark;
  return options;
}

ManagementResult RunManagementWorkflow(AssessmentState& state, const ManagementOptions& options) {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
  if (!chosen || state.ActiveVariants.size() != 1) {
    throw Error("Для обоснования ОДУ должен быть выбран ровно один вариант модели");
  }
  const char mark = options.DecimalMark;
  ManagementResult result;

  // Reference points: the page shows them with every selector at its first
  // item, then the analyst changes the selectors.
  refpoints::UpdateReferencePoints(
      state,
      refpoints::SelectorChanges{options.TargetBiomassChoice, options.TargetEffortChoice,
                                 options.LimitBiomassChoice},
      mark);
  result.ReferenceTabs = state.ReferencePoints.Tabs;

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

  // The rule selector, then the forecast.
  rules::ChooseRule(state, options.SelectedRule);
  ForecastOptions forecast = options.Forecast;
  forecast.Variant = static_cast<std::uint8_t>(*chosen);
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
