#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "assessment_state.h"
#include "cli/json_output.h"
#include "diagnostics/bounds.h"
#include "estimation/refinement.h"
#include "estimation/workflow.h"

namespace tarvik::cli {

// The options of `tarvik-cli estimate`, shared by every subcommand that
// starts by estimating the parameters (retrospective, surface, assess, …).
struct EstimateOptions {
  std::string File;           // data file, read with '.' as the decimal mark
  int Trim = 0;               // --trim S: position of TrackBarMedWin, 0 … 9
  std::string CutOffs = "4";  // --cutoffs LIST: Edit11
  std::string Variants;       // --variants i,j,…: ModelFits indices left ticked; "" = all
  std::string Start;          // --start r,K,q: texts of the start values ("" keeps a field)
  std::string Bounds;         // --bounds rmin,rmax,Kmin,Kmax,qmin,qmax
  int HoldOut = 0;            // --holdout N: CheckBox4 ticked, SpinEdit1 = N
  int Threads = 0;            // --threads T: 0 = every core
  bool Json = false;          // --json
  // --refine (commands that choose a variant): adopt the refined values of
  // the chosen variant («Принять уточнённые значения») before going on.
  bool Refine = false;
};

// Adds FILE and the options above to a subcommand.
void AddEstimateOptions(CLI::App& sub, EstimateOptions& options);

// The fresh-start request the options describe. Malformed lists raise
// tarvik::Error naming the option.
estimation::FreshStartRequest MakeFreshStartRequest(const EstimateOptions& options);

// Search options of the command line: the default failure limit, the thread
// count of --threads.
estimation::SearchOptions MakeSearchOptions(const EstimateOptions& options);

// Runs the fresh-start workflow (open the file, show the estimation page,
// set the controls, click «Оценка параметров») on `state`.
estimation::FreshStart RunEstimateWorkflow(AssessmentState& state, const EstimateOptions& options);

// The JSON object of an estimation: n, keep_count, pt_exponent,
// correlations, k_start/k_min/k_max, variants (each with at_bounds, the
// parameters on a bound of the search), proposed_bounds (null when the series
// allows none), holdout, random_seed_after, … and, when given, the refinement of the variants as
// `refined`.
Json EstimateJson(const AssessmentState& state, const estimation::FreshStart& run,
                  const EstimateOptions& options,
                  const estimation::RefinementReport* refinement = nullptr);

// The readable report of an estimation (the results table, the
// correlations, the exponent and the hold-out check) and, when given, a line
// per refined variant.
std::string EstimateText(const AssessmentState& state, const estimation::FreshStart& run,
                         const estimation::RefinementReport* refinement = nullptr);

// The bounds proposed from the data as JSON ({r, K, q: [min, max]}), null
// without a proposal.
Json ProposedBoundsJson(const std::optional<diagnostics::ProposedBounds>& proposal);

// The refinement of one variant as JSON: index, label, available, L, r, K,
// q, p (null but for Pella-Tomlinson), search_L, gap, relative_gap,
// not_converged (and message when not available).
Json RefinementJson(const estimation::VariantRefinement& refinement);

// A subcommand that estimates and goes on with one variant: FILE and the
// estimate options, then --variant LABEL (required; `help` says what the
// variant is for).
CLI::App* AddVariantCommand(CLI::App& app, const char* name, const char* description,
                            EstimateOptions& options, std::string& variant,
                            const char* help = "Выбранный вариант модели, например \"Шефер СК\"");

// Adds --refine to a subcommand that chooses a variant.
void AddRefineOption(CLI::App& sub, EstimateOptions& options);

// What --refine did to the chosen variant.
struct AdoptedRefinement {
  estimation::VariantRefinement Refinement;
  bool Adopted = false;  // false: not available, or not below the search's value
};

// With --refine: refines the chosen variant on the series and bounds of its
// last search (`last`) and adopts the result when it is below the search's
// value; nothing without --refine.
std::optional<AdoptedRefinement> RefineChosenVariant(AssessmentState& state,
                                                     const estimation::EstimationOutcome& last,
                                                     std::size_t variant,
                                                     const EstimateOptions& options);

// What the commands that go on with one variant start with: the fresh start
// (RunEstimateWorkflow), with `choose` the model choice of `label` with its
// refits (estimation::ChooseModelAndRefit), and --refine on the variant
// (RefineChosenVariant, on the series and bounds of its last search).
struct ChosenVariantRun {
  estimation::FreshStart Run;
  std::optional<estimation::ModelChoiceOutcome> Choice;  // with `choose`
  std::size_t Variant = 0;                               // the ModelFits index of `label`
  std::optional<AdoptedRefinement> Refinement;
  // The last search of the variant: the final refit of the choice, or the
  // estimation.
  const estimation::EstimationOutcome& LastSearch() const {
    return Choice && Choice->FinalRun ? *Choice->FinalRun : Run.Estimation;
  }
};
ChosenVariantRun EstimateAndChoose(AssessmentState& state, const EstimateOptions& options,
                                   const std::string& label, bool choose = true);

// The refinement's entry of a command's JSON (RefinementJson with `adopted`).
Json AdoptedRefinementJson(const AdoptedRefinement& adopted);

// Its line of a readable report.
std::string AdoptedRefinementText(const AdoptedRefinement& adopted);

// `tarvik-cli estimate`.
CLI::App* AddEstimateCommand(CLI::App& app, EstimateOptions& options);
std::string RunEstimateCommand(const EstimateOptions& options);

}  // namespace tarvik::cli
