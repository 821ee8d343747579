#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "data/data_file.h"
#include "data/data_table.h"
#include "estimation/observation_error.h"
#include "estimation/parameter_search.h"
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
  // Blim as a fraction of BMSY, as the Blim selector stands (its first item
  // until it is changed): the one source of the fraction for every stage
  // after, the intervals of the chosen variant included. An input, not a
  // result: it stays when the reference points are cleared.
  double LimitFraction = 0.1;
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

// The state-space fits of the analysis series (assessment/state_space.h),
// a third estimator: nothing depends on them until their values are adopted.
struct StateSpaceResults {
  estimation::StateSpaceOptions Options;         // the options (and prior) they were fitted with
  std::vector<estimation::StateSpaceFit> Fits;  // empty: not fitted; else indexed by kind
};

// One transition as the user ran it: its name in the words of the
// assessment file and its inputs as a compact JSON object (written and read
// by assessment/journal.h only).
struct RecordedStep {
  std::string Transition;
  std::string Inputs;
  bool operator==(const RecordedStep&) const = default;
};

// The transitions run on the data set now in the table, in order, and where
// they began: enough to run them again on a fresh state and get the same
// bits (assessment/journal.h). «Открыть» of a data file starts it afresh.
struct AssessmentJournal {
  std::uint32_t SeedAtStart = 0;      // the random source before the first step
  data::DataTable TableAtStart;       // the table the first step found
  data::DataDescription Description;  // of the data file the steps began with
  std::vector<RecordedStep> Steps;
  // The decimal mark the state's texts are written with (the owner sets it:
  // the window the locale's, the command line "."); the steps that carry
  // cell texts record it.
  char DecimalMark = '.';
  // Counts every step recorded in this state, also across «Открыть»: a
  // saved copy with another count is out of date.
  std::uint64_t Revision = 0;
};

// Everything one assessment shares across its stages. The program (the window
// or the command line) owns one instance through a Session (session.h) and
// passes it explicitly; nothing of it lives in globals.
//
// The fields are grouped by the stage that writes them. Every change goes
// through one transition of this folder (a file per stage: data_set.h,
// suitability.h, search.h, variants.h, refinement.h, observation_error.h,
// state_space.h, reference_points.h, uncertainty.h, rules.h, indicators.h, forecast.h,
// decision_table.h), which clears what the change makes stale by the one
// table of dependencies (dependencies.h) and changes nothing when it fails.
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
  // The settings of the search the fits come from (bounds and start values),
  // as it ran: every later stage takes the bounds from here, never from the
  // page's fields; nothing before the first search.
  std::optional<estimation::SearchSettings> LastSearch;

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

  // --- What was done, for saving and replaying the assessment.
  AssessmentJournal Journal;
};

}  // namespace tarvik

// Every change of the state clears what rests on it: the table of stages.
#include "assessment/dependencies.h"
