#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "assessment/rules.h"
#include "cli/common_options.h"
#include "cli/estimate_command.h"
#include "cli/uncertainty_command.h"
#include "rules/rule_list.h"

namespace tarvik::cli {

// The options of `tarvik-cli assess`: the estimate options plus the choices
// of the management stages.
struct AssessOptions {
  EstimateOptions Estimate;
  std::string Variant;  // --variant LABEL ("Шефер СК", …)
  // --btr BMSY|B0.1|BMSY+st, --etr EMSY|E0,1|EMSY+st, --blim 0.1|0.2|0.3|0.5
  // (empty: untouched)
  ReferenceSelectorTexts Selectors;
  std::vector<std::string> Rules;        // --rule RULE, in order
  std::string Bootstrap = "parametric";  // --bootstrap parametric|nonparametric
  std::string Runs = "10000";            // --runs N (the text of "Кол-во прогонов")
  int Horizon = 5;                       // --horizon H (indicators, 1 … 50)
  int SelectRule = 1;                    // --select-rule K (1-based)
  int ForecastHorizon = 5;               // --forecast-horizon H (1 … 20)
  bool NoNoise = false;                  // --no-noise
  std::string Sensitivity;               // --sensitivity r|K|q (empty: none)
  int Step = 10;                         // --step P, percent
  std::string Report;                    // --report FILE.txt (empty: none)
  // --uncertainty N (0: no bootstrap), --seed, --level: the confidence
  // intervals of the chosen variant, in the report and with the Kobe cloud.
  UncertaintySettings Uncertainty{0};
  bool DecisionTable = false;            // --decision-table
  std::string CatchOptions;              // --catch-options LIST (empty: the default list)
  double RiskPercent = 5.0;              // --risk PERCENT
  std::string Criterion;                 // --criterion blim|bmsy|green (empty: blim)
  std::optional<double> ProcessError;    // --process-error S (empty: the default σ_p)
  // --save-assessment FILE.tarvik (empty: none): the whole assessment, for
  // the window's «Открыть оценку…» and `replay`.
  std::string SaveAssessment;
};

// A rule of the command line, `ruleText` one of
//   linear:ALPHA[:TARGET]  logistic:ALPHA:BETA[:TARGET]  precautionary  nonzonal[:TARGET]
// TARGET one of FMSY, F01, Fsq, Fsq75, Fsq125 (default FMSY), as the rule
// editor would hold it (ALPHA and BETA as typed, with a point). A malformed
// rule text raises tarvik::Error naming it.
rules::RuleEditor ParseRuleText(const std::string& ruleText);

CLI::App* AddAssessCommand(CLI::App& app, AssessOptions& options);

// Runs the whole assessment from a fresh start and returns what is printed:
// the indicator table and the on-screen report (or the JSON document).
std::string RunAssessCommand(const AssessOptions& options);

}  // namespace tarvik::cli
