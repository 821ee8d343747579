#pragma once

// The management stages in the order an analyst runs them once a model
// variant has been chosen: reference points (with the selector changes),
// rules, bootstrap indicators, the choice of a rule, the forecast, an optional
// sensitivity run and the TAC report file. The command line runs it as one
// step; the window runs the same core functions from its pages.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "assessment/state.h"
#include "projection/forecast.h"
#include "projection/indicators.h"
#include "refpoints/reference_points.h"
#include "rules/rule_list.h"

namespace tarvik::projection {

struct SensitivityRequest {
  SensitivityParameter Parameter = SensitivityParameter::R;
  int StepPercent = 10;
};

struct ManagementOptions {
  // Selector changes after "Рассчет ориентиров" (which runs with every
  // selector at item 0), applied in this order: Btr, Etr, Blim.
  std::optional<int> TargetBiomassChoice;
  std::optional<int> TargetEffortChoice;
  std::optional<int> LimitBiomassChoice;
  std::vector<rules::RuleEditor> Rules;  // added in order
  BootstrapOptions Bootstrap;
  std::size_t SelectedRule = 0;  // index into the rule list after the additions
  ForecastOptions Forecast;      // Variant, Rule and RuleText are set by the workflow
  std::optional<SensitivityRequest> Sensitivity;
  std::string ReportPath;  // empty: no report file
  char DecimalMark = '.';
};

struct ManagementResult {
  std::vector<refpoints::ReferenceTab> ReferenceTabs;
  std::vector<rules::AddRuleResult> AddedRules;  // one per requested rule
  IndicatorTable Indicators;                     // laid out and filled
  RuleEvaluation Bootstrap;
  ForecastResult Forecast;
  std::optional<SensitivityResult> Sensitivity;
  TacReportInput Report;                     // the page as a report would be saved now
  std::vector<std::string> ReportFileLines;  // the lines of that report file
  std::string ReportImageFile;               // the image name beside the report
};

// The forecast's settings as the state holds them: the chosen variant
// (estimation::ChosenVariant) with its label and the texts of its result
// fields, the chosen rule with its name, the years of the table; the
// horizon, the noise and the species and stock as given. Raises
// tarvik::Error naming what to do when no model or no rule is chosen.
ForecastOptions ForecastOptionsFor(const AssessmentState& state, int horizon, bool addNoise,
                                   const std::string& species, const std::string& stock,
                                   char decimalMark);

// Runs the stages on the state (each through its transition), whose ActiveVariants must hold
// exactly the chosen variant (fitted, with the analysis series in place). Any failure raises Error
// with the stage's message and writes no report file; a bootstrap that stops early raises its
// message too.
ManagementResult RunManagementWorkflow(AssessmentState& state, const ManagementOptions& options);

}  // namespace tarvik::projection
