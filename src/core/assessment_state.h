#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "data/data_table.h"
#include "estimation/observation_error.h"
#include "estimation/state_space.h"
#include "model/model_fit.h"
#include "model/random.h"
#include "projection/forecast.h"
#include "projection/indicators.h"
#include "refpoints/reference_points.h"
#include "rules/harvest_rule.h"
#include "rules/optimisation_grid.h"
#include "uncertainty/bootstrap.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik {

// The reference points of the active variants as the last computation left
// them (refpoints::UpdateReferencePoints): one tab per variant with its
// texts, and the records they were computed from (so a record changed behind
// the transitions' back is noticed as well).
struct ReferencePointResults {
  std::vector<refpoints::ReferenceTab> Tabs;           // empty: not computed
  std::vector<refpoints::FittedVariant> ComputedFrom;  // the active records then
};

// The bootstrap indicators of the last complete evaluation
// (projection::EvaluateRules): one row per pair of active variant and rule.
struct IndicatorResults {
  bool Evaluated = false;
  std::vector<projection::IndicatorRowResult> Rows;
};

// The observation-error fits of the analysis series (FitObservationErrorModels),
// a second estimator beside the search: nothing depends on them until their
// values are adopted into a record.
struct ObservationErrorResults {
  bool EstimateB1 = false;                            // the option they were fitted with
  std::vector<estimation::ObservationErrorFit> Fits;  // empty: not fitted; else indexed by kind
};

// The state-space fits of the analysis series (estimation/state_space_state.h),
// a third estimator: nothing depends on them until their values are adopted.
struct StateSpaceResults {
  estimation::StateSpaceOptions Options;         // the options (and prior) they were fitted with
  std::vector<estimation::StateSpaceFit> Fits;  // empty: not fitted; else indexed by kind
};

// Everything one assessment shares across its stages. The program (the window
// or the command line) owns one instance and passes it explicitly; nothing of
// it lives in globals.
//
// The fields are grouped by the stage that writes them. A stage's results
// depend on the stages before it: every change goes through one core
// function (a transition) that clears, with the invalidation functions
// below, whatever it makes stale; a transition that fails leaves the state as
// it was. Where the transitions live:
//   data set, variants   estimation/workflow.h (OpenDataSet, PasteDataSet,
//                        RebuildVariants)
//   suitability check    data/suitability.h (SuitabilityCheck)
//   search, model choice estimation/parameter_search.h (RunEstimation),
//                        estimation/variants.h (ChooseModel), estimation/workflow.h
//   refined values       estimation/refinement.h (AdoptRefinement)
//   observation error    estimation/observation_error_state.h
//                        (EstimateObservationError, AdoptObservationError)
//   state space          estimation/state_space_state.h
//                        (EstimateStateSpace, AdoptStateSpace)
//   reference points     refpoints/reference_points.h (UpdateReferencePoints,
//                        ChangeSelector)
//   confidence intervals uncertainty/uncertainty_state.h (EstimateUncertainty)
//   rule list            rules/rule_list.h (AddRule, DeleteRule)
//   indicators, rule     projection/indicators.h (EvaluateRules, ChooseRule)
//   forecast             projection/forecast.h (DrawForecast, DrawSensitivity)
//   decision table       uncertainty/decision_workflow.h (UpdateDecisionTable)
struct AssessmentState {
  // --- The data set: «Открыть», a paste, the cells typed in the table.
  data::DataTable Table;                 // the data table as text cells (row 0 = header)
  data::CatchEffortSeries LoadedSeries;  // the table as loaded (paste or file)
  std::string DataFileName;              // path of the data file last opened or saved (UTF-8)

  // --- The suitability check of the data set now in the table.
  bool SuitabilityChecked = false;         // it ran on this data set
  bool PositiveCorrelation = false;        // one of its correlations is above 0
  data::CatchEffortSeries AnalysisSeries;  // the series all model work runs on
  double PTExponent = 0.0;                 // Pella-Tomlinson exponent it chose

  // --- The observation-error estimator on AnalysisSeries.
  ObservationErrorResults ObservationError;
  // --- The state-space estimator on AnalysisSeries.
  StateSpaceResults StateSpace;

  // --- The model variants and their fits.
  std::vector<model::ModelFit> ModelFits;    // kind-major: kind × VariantsPerModel + slot
  std::vector<std::uint8_t> ActiveVariants;  // indices of enabled fits, ascending
  std::vector<std::uint8_t> CutOffValues;    // cut-off list of the median slots
  std::uint8_t MedianKeepCount = 0;          // residuals kept by the trimmed objectives

  // --- The model choice: the label of the chosen variant ("Шефер СК"; empty
  // until a model is chosen). estimation::ChosenVariant reads it.
  std::string ModelChoiceText;

  // --- Reference points of the active variants.
  ReferencePointResults ReferencePoints;

  // --- The bootstrap of the chosen variant's values as they are now (its
  // replicates, and the replicate count, seed, level and Blim fraction it
  // was made with); nothing until «Рассчитать» of «Доверительные интервалы».
  std::optional<uncertainty::BootstrapResult> Uncertainty;

  // --- The rules: the list the user builds (independent of the data) and
  // the rule page's optimisation.
  std::vector<rules::HarvestRule> RuleList;  // the rules to evaluate, in the order added
  std::vector<std::string> RuleNames;        // their names, parallel to RuleList
  rules::HarvestRule WorkingRule;            // the rule the optimisation sweeps
  std::uint8_t OptimisationVariant = 0;      // ModelFits index of the last optimisation
  rules::BestPoints OptimisationBest;        // best points of the last optimisation, for the picks

  // --- The bootstrap indicators of the rules and the rule chosen for the
  // forecast (a RuleList index; it follows its rule when the list changes).
  IndicatorResults Indicators;
  std::optional<std::size_t> ChosenRule;

  // --- The forecast drawn last: what the TAC report is written from.
  std::optional<projection::ForecastResult> Forecast;

  // --- The decision table of the chosen variant (catch options × years)
  // and the options it was made with.
  std::optional<uncertainty::DecisionTableResult> Decision;

  // --- Shared by every stage.
  model::RandomSource Random;  // RandomSeed: 0 at start, never reseeded
  std::string RDirectory;      // R's folder with trailing separator, or "Not found"
};

// Invalidation. Each function clears the results of one stage and calls the
// function of every stage that depends on it; a transition calls the one of
// the first stage its change makes stale. A new result of a stage is one
// field above and one line in its stage's function.

// The suitability check (flag, analysis series, exponent); then
// ClearObservationError, ClearStateSpace and ClearFits.
void ClearSuitability(AssessmentState& state);
// The observation-error fits (the analysis series they belong to changed).
void ClearObservationError(AssessmentState& state);
// The state-space fits (likewise).
void ClearStateSpace(AssessmentState& state);
// The fitted values of every record (back to an unfitted record of its
// variant: Kind, Objective, CutOff and Enabled stay, a Pella-Tomlinson record
// takes state.PTExponent) and the keep count; then ClearModelChoice.
void ClearFits(AssessmentState& state);
// The model choice; then ClearReferencePoints.
void ClearModelChoice(AssessmentState& state);
// The reference points stored in every record and the computed tabs; then
// ClearUncertainty, ClearIndicators, ClearForecast and ClearDecisionTable.
// Every change of the chosen record's values (a search, a model choice,
// adopted values, a new data set) ends here.
void ClearReferencePoints(AssessmentState& state);
// The bootstrap of the chosen variant.
void ClearUncertainty(AssessmentState& state);
// The bootstrap indicators.
void ClearIndicators(AssessmentState& state);
// The forecast.
void ClearForecast(AssessmentState& state);
// The decision table (it rests on the chosen record's values and its Blim).
void ClearDecisionTable(AssessmentState& state);

}  // namespace tarvik
