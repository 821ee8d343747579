#pragma once

// The journal of an assessment: every transition of this folder records
// itself here (its name and inputs) when it completes, and the steps can be
// run again on a fresh state to give the same results bit for bit. The
// assessment file (assessment_file.h) is the journal written down.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assessment/assessment_file.h"
#include "assessment/dependencies.h"
#include "assessment/state.h"
#include "estimation/observation_error.h"
#include "estimation/parameter_search.h"
#include "estimation/refinement.h"
#include "estimation/state_space.h"
#include "projection/forecast.h"
#include "projection/indicators.h"
#include "refpoints/reference_points.h"
#include "rules/optimisation.h"
#include "rules/rule_list.h"
#include "uncertainty/bootstrap.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik::estimation {
struct EstimationRequest;
}

namespace tarvik::assessment {

// Put at the start of a transition; Commit(step) once it has succeeded
// appends the step to state.Journal, unless the transition runs inside
// another one (the outer transition is then the step that is replayed). A
// transition that raises commits nothing. Nesting is counted per thread:
// a transition runs on one thread from start to end.
class StepScope {
 public:
  explicit StepScope(AssessmentState& state);
  ~StepScope();
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

  void Commit(RecordedStep step);
  // Commit of «Открыть»: the journal starts afresh with `step`, from `table`
  // and `description` with the random source at `seed`.
  void CommitStart(RecordedStep step, const data::DataTable& table,
                   const data::DataDescription& description, std::uint32_t seed);

 private:
  AssessmentState& state_;
  bool outermost_;
};

// The step of each transition with its inputs (the names are those of
// KnownTransitions).
namespace steps {
RecordedStep OpenDataSet(const AssessmentState& state, const std::string& path,
                         std::string_view cutOffList);
RecordedStep EditCell(int column, int row, const std::string& text, char decimalMark);
RecordedStep PasteDataSet(std::string_view clipboardText, char decimalMark);
RecordedStep ReplaceDataSet(const data::DataTable& table, const data::CatchEffortSeries& loaded,
                            char decimalMark);
RecordedStep RebuildVariants(std::string_view cutOffList);
RecordedStep EnableVariant(std::size_t index, bool enabled);
RecordedStep EnableModel(model::ProductionModelKind kind, bool enabled);
RecordedStep SuitabilityCheck(int heldOutYears, char decimalMark);
RecordedStep Search(const estimation::EstimationRequest& request);
RecordedStep ChooseModel(std::string_view label, const estimation::EstimationRequest* refit);
RecordedStep AdoptRefinement(const estimation::VariantRefinement& refinement);
RecordedStep EstimateObservationError(const estimation::ObservationErrorOptions& options);
RecordedStep AdoptObservationError(std::size_t index);
RecordedStep EstimateStateSpace(const estimation::StateSpaceOptions& options);
RecordedStep AdoptStateSpace(std::size_t index);
RecordedStep ReferencePoints(const refpoints::ReferenceSelectors& selectors, char decimalMark);
RecordedStep ChangeSelector(int selector, int choice, char decimalMark);
RecordedStep ConfidenceIntervals(const estimation::ParameterBounds& bounds,
                                 const uncertainty::BootstrapOptions& options);
RecordedStep AddRule(const rules::RuleEditor& editor, char decimalMark);
RecordedStep DeleteRule(std::optional<std::size_t> selected);
RecordedStep ChooseRule(std::optional<std::size_t> rule);
RecordedStep OptimiseRule(const rules::OptimisePageRequest& request, char decimalMark);
RecordedStep EvaluateRules(const projection::BootstrapOptions& options);
RecordedStep Forecast(const projection::ForecastOptions& options);
RecordedStep Sensitivity(const projection::ForecastOptions& options,
                         projection::SensitivityParameter parameter, int stepPercent);
RecordedStep DecisionTable(const uncertainty::DecisionRequest& request, bool handedOver);
RecordedStep Retrospective(std::size_t variant, const estimation::SearchTexts& texts,
                           char decimalMark);
}  // namespace steps

// --- What the journal tells the pages (of an opened assessment: what the
// controls showed when its steps ran).

// The rule editor as the last «Добавить ПРП» or «Оптимизация ПРП» left it:
// the rule added, or the shape optimised with α (and β) of its best mean
// catch and the working rule's target. Texts in `decimalMark`.
std::optional<rules::RuleEditor> LastRuleEditor(const AssessmentState& state, char decimalMark);
// The settings of the last evaluation of the rules.
std::optional<projection::BootstrapOptions> LastRuleEvaluation(const AssessmentState& state,
                                                               char decimalMark);
// The options of the last forecast (drawn, or of the sensitivity run).
std::optional<projection::ForecastOptions> LastForecast(const AssessmentState& state,
                                                        char decimalMark);
// The request of the last decision table.
std::optional<uncertainty::DecisionRequest> LastDecisionRequest(const AssessmentState& state,
                                                                char decimalMark);

// For the results of `stage` (Uncertainty, Indicators, Forecast,
// DecisionTable, ReferencePoints) that were made on this data set and have
// been cleared since: «Нужно рассчитать заново: <why>.», why being the first
// later step whose change reaches them by the table of dependencies. "" when
// the state holds them or they were never made on this data set.
std::string RecomputeNote(const AssessmentState& state, Stage stage);

// The request of the last «Оценка параметров» the journal holds (a model
// choice that searched again counts), its texts written with `decimalMark`;
// nothing before a search. What the estimation page shows as typed after an
// assessment was opened.
std::optional<estimation::EstimationRequest> LastSearchRequest(const AssessmentState& state,
                                                               char decimalMark);

// The target and limit selectors as the journal's steps left them (nothing
// before the first reference-point step), and the settings of the last
// confidence intervals: what page 3 shows as chosen after opening.
std::optional<refpoints::ReferenceSelectors> LastSelectors(const AssessmentState& state);
std::optional<uncertainty::BootstrapOptions> LastIntervalOptions(const AssessmentState& state);

// The results a replay must reproduce, as the state holds them now: every
// searched or adopted variant's r, K, q, L; the chosen variant's MSY (once
// its reference points are computed); the first forecast year's TAC
// interval; the decision table's largest catch within its risk.
Fingerprint FingerprintOf(const AssessmentState& state);

// The assessment file of the state: its journal, the data set the journal
// began with (its cells in state.Journal.DecimalMark), the page in front and
// the fingerprint. `description` is the
// data set's description as the user sees it now.
AssessmentFile AssessmentFileOf(const AssessmentState& state,
                                const data::DataDescription& description, int frontPage,
                                const std::string& programVersion);

struct ReplayOptions {
  char DecimalMark = '.';  // the mark the replayed state's texts are written with
  int Threads = 0;         // of the searches; the results do not depend on it
  // Consecutive failures that end a search's variant: the program keeps the
  // default; a test that recorded shortened searches shortens them alike.
  int MaxFailures = estimation::SearchOptions{}.MaxFailures;
  // Called before each step with its number (0 …) and the count, and once
  // with (count, count) at the end; it may raise to stop the replay.
  std::function<void(std::size_t done, std::size_t total)> OnStep;
};

// Runs the file's steps in order on a fresh state that begins with the
// file's table and random source, each through its transition. Texts
// recorded with another decimal mark are read with options.DecimalMark.
// A step that fails raises tarvik::Error naming it ("шаг 3 («search»): …");
// nothing is returned half-done.
AssessmentState ReplayAssessment(const AssessmentFile& file, const ReplayOptions& options);

// What a replay ended with: the state and the results that differ from the
// file's fingerprint (empty: every result reproduced bit for bit).
struct ReplayOutcome {
  AssessmentState State;
  std::vector<FingerprintDifference> Differences;
};
ReplayOutcome ReplayAndCompare(const AssessmentFile& file, const ReplayOptions& options);

// The Russian lines that name each difference, its two values and the
// relative difference ("MSY выбранного варианта: в файле 154223.8, получено
// 154223.9 (отличие 6,5e-07)").
std::vector<std::string> DifferenceLines(const std::vector<FingerprintDifference>& differences);

}  // namespace tarvik::assessment
