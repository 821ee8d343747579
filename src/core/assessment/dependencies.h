#pragma once

// Which results of an assessment rest on which: written once, here. The
// invalidation functions below clear by this table, and the tests read it.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvik {
struct AssessmentState;
}

namespace tarvik::assessment {

// The stages of an assessment. The first group holds results in the state;
// the second are the user's inputs that results rest on (changing one
// clears what rests on it and nothing of its own).
enum class Stage : std::uint8_t {
  Suitability,       // the check: AnalysisSeries, PTExponent and its flags
  ObservationError,  // the observation-error fits of the analysis series
  StateSpace,        // the state-space fits of the analysis series
  Fits,              // the fitted values of every record, the keep count and
                     // the settings of the search
  ModelChoice,       // the chosen variant
  ReferencePoints,   // the records' reference points and their tabs
  Uncertainty,       // the bootstrap of the chosen variant
  Indicators,        // the bootstrap indicators of the rules
  Forecast,          // the forecast drawn last
  DecisionTable,     // the decision table
  // Inputs.
  Data,          // the data table
  Variants,      // the variants (cut-off list)
  Targets,       // the target selectors of the reference points
  LimitBiomass,  // the Blim selector
  RuleList,      // the rules to evaluate
  RuleChoice,    // the rule chosen for the forecast
};
inline constexpr std::size_t kStageCount = 16;

// Dependent's results rest on Source's. With OnlyWhatItMade, only what was
// made from Source goes (a bootstrap by the observation-error estimator, a
// decision table that projected one), not every result of Dependent.
struct Dependency {
  Stage Source;
  Stage Dependent;
  bool OnlyWhatItMade = false;
};

inline constexpr std::array<Dependency, 23> kDependencies = {{
    {Stage::Data, Stage::Suitability},
    {Stage::Suitability, Stage::ObservationError},
    {Stage::Suitability, Stage::StateSpace},
    {Stage::Suitability, Stage::Fits},
    {Stage::Variants, Stage::Fits},
    {Stage::Fits, Stage::ModelChoice},
    {Stage::ModelChoice, Stage::ReferencePoints},
    // A record's values changed (a new choice, adopted values): everything
    // made from them.
    {Stage::ReferencePoints, Stage::Uncertainty},
    {Stage::ReferencePoints, Stage::Indicators},
    {Stage::ReferencePoints, Stage::Forecast},
    {Stage::ReferencePoints, Stage::DecisionTable},
    {Stage::ObservationError, Stage::Uncertainty, true},
    {Stage::ObservationError, Stage::DecisionTable, true},
    // The forecast's report carries the intervals.
    {Stage::Uncertainty, Stage::Forecast},
    // The decision table's «ОДУ» option is the forecast's TAC.
    {Stage::Forecast, Stage::DecisionTable},
    {Stage::Targets, Stage::Indicators},
    {Stage::Targets, Stage::Forecast},
    {Stage::LimitBiomass, Stage::Uncertainty},
    {Stage::LimitBiomass, Stage::Indicators},
    {Stage::LimitBiomass, Stage::Forecast},
    {Stage::LimitBiomass, Stage::DecisionTable},
    {Stage::RuleList, Stage::Indicators},
    {Stage::RuleChoice, Stage::Forecast},
}};

// Clears the results of `stage` (nothing for an input), then, by the table,
// what rests on them.
void Clear(AssessmentState& state, Stage stage);
// Clears, by the table, what rests on `stage`, but not its own results: a
// transition that has just made them calls this.
void ClearDependents(AssessmentState& state, Stage stage);

}  // namespace tarvik::assessment

namespace tarvik {

// The invalidation of each stage by name (assessment::Clear).
// The check (flag, analysis series, exponent); then the observation-error
// fits and the fits.
void ClearSuitability(AssessmentState& state);
// The observation-error fits; then the bootstrap made by their estimator and
// a decision table that projected one. Records holding adopted estimates
// keep them.
void ClearObservationError(AssessmentState& state);
// The state-space fits (records holding adopted estimates keep them).
void ClearStateSpace(AssessmentState& state);
// The fitted values of every record (back to an unfitted record of its
// variant: Kind, Objective, CutOff and Enabled stay, a Pella-Tomlinson record
// takes state.PTExponent) and the keep count; then the model choice.
void ClearFits(AssessmentState& state);
// The model choice; then the reference points.
void ClearModelChoice(AssessmentState& state);
// The reference points stored in every record and the computed tabs; then
// everything made from the chosen record's values. Every change of those
// values (a search, a model choice, adopted values, a new data set) ends here.
void ClearReferencePoints(AssessmentState& state);
// The bootstrap of the chosen variant; then the forecast.
void ClearUncertainty(AssessmentState& state);
// The bootstrap indicators.
void ClearIndicators(AssessmentState& state);
// The forecast; then the decision table made for its TAC.
void ClearForecast(AssessmentState& state);
// The decision table.
void ClearDecisionTable(AssessmentState& state);

}  // namespace tarvik
