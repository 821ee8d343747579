#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "assessment/refinement.h"
#include "assessment/search.h"
#include "assessment/session.h"
#include "cli/json_output.h"
#include "cli/state_space_output.h"
#include "diagnostics/bounds.h"
#include "estimation/observation_error.h"
#include "estimation/refinement.h"

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
  // --estimator (commands that choose a variant): which values the chosen
  // variant carries on: "procedure" (the search's), "refined" (the refined
  // values, «Принять уточнённые значения») or "observation-error" (the
  // observation-error estimates of its model kind) or "state-space" (the
  // state-space estimates of its model kind). --refine is "refined".
  std::string Estimator = "procedure";
  bool Refine = false;
  // --observation-error (estimate): the observation-error fits of the three
  // model kinds as well.
  bool ObservationError = false;
  // --state-space (estimate): the state-space fits of the three model kinds
  // as well.
  bool StateSpace = false;
  // --b1k fixed|free: B₁ = K, or φ = B₁/K estimated («B₁/K оценивается»).
  std::string B1k = "fixed";
  // --ss-level 90|95: the level of the state-space intervals.
  int StateSpaceLevel = 90;
  // --sigma-p-prior M,S: the stated prior ln σ_p ~ N(ln M, S²) of the
  // state-space model; empty: none.
  std::string SigmaPPrior;
};

// The estimator --estimator and --refine ask for; conflicting or unknown
// values raise tarvik::Error naming the option.
enum class Estimator { Procedure, Refined, ObservationError, StateSpace };
Estimator EstimatorOf(const EstimateOptions& options);

// The options of the observation-error estimator: --b1k and the bounds of r,
// K and p of the search `bounds`. An unknown --b1k raises tarvik::Error.
estimation::ObservationErrorOptions MakeObservationErrorOptions(
    const EstimateOptions& options, const estimation::ParameterBounds& bounds);

// One observation-error fit as JSON: r, K, q, p (null but for
// Pella-Tomlinson), b1k, sigma, rss, aicc, n, msy, bmsy, fmsy, emsy,
// b_last_bmsy, f_last_fmsy, at_bounds, converged.
Json ObservationErrorFitJson(const estimation::ObservationErrorFit& fit);
// The fits of the three kinds as the object {schaefer, fox, pella_tomlinson}.
Json ObservationErrorJson(const std::vector<estimation::ObservationErrorFit>& fits);

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
estimation::FreshStart RunEstimateWorkflow(Session& session, const EstimateOptions& options);

// The JSON object of an estimation: n, keep_count, pt_exponent,
// correlations, k_start/k_min/k_max, variants (each with at_bounds, the
// parameters on a bound of the search), proposed_bounds (null when the series
// allows none), holdout, random_seed_after, … and, when given, the refinement
// of the variants as `refined`, and with state.ObservationError fitted its
// fits as `observation_error`.
Json EstimateJson(const Session& session, const estimation::FreshStart& run,
                  const EstimateOptions& options,
                  const estimation::RefinementReport* refinement = nullptr);

// The readable report of an estimation (the results table, the
// correlations, the exponent and the hold-out check) and, when given, a line
// per refined variant, and the table of the observation-error fits.
std::string EstimateText(const Session& session, const estimation::FreshStart& run,
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

// Adds --b1k (the B₁ option of the observation-error and state-space
// estimators) to a subcommand.
void AddB1kOption(CLI::App& sub, EstimateOptions& options);

// Adds --estimator, its alias --refine and --b1k to a subcommand that
// chooses a variant.
void AddEstimatorOption(CLI::App& sub, EstimateOptions& options);

// What --refine did to the chosen variant.
struct AdoptedRefinement {
  estimation::VariantRefinement Refinement;
  bool Adopted = false;  // false: not available, or not below the search's value
};

// With --estimator refined: refines the chosen variant on the series and bounds of its
// last search (`last`) and adopts the result when it is below the search's
// value; nothing with another estimator.
std::optional<AdoptedRefinement> RefineChosenVariant(Session& session,
                                                     const estimation::EstimationOutcome& last,
                                                     std::size_t variant,
                                                     const EstimateOptions& options);

// What --estimator observation-error did to the chosen variant.
struct AdoptedObservationError {
  std::string Label;  // the chosen variant's
  estimation::ObservationErrorFit Fit;
  bool Adopted = false;
  std::string Message;  // why not, when not adopted
};

// With --estimator observation-error: fits the observation-error models on
// the analysis series within the bounds of the last search (`last`) and
// adopts the fit of the chosen variant's kind when it can
// (estimation::AdoptObservationError); nothing with another estimator.
std::optional<AdoptedObservationError> AdoptObservationErrorOfChosen(
    Session& session, const estimation::EstimationOutcome& last, std::size_t variant,
    const EstimateOptions& options);

// What the estimator did to the chosen variant (at most one is set).
struct AdoptedEstimate {
  std::optional<AdoptedRefinement> Refinement;
  std::optional<AdoptedObservationError> ObservationError;
  std::optional<AdoptedStateSpace> StateSpace;
};

// What the commands that go on with one variant start with: the fresh start
// (RunEstimateWorkflow), with `choose` the model choice of `label` with its
// refits (estimation::ChooseModelAndRefit), and the estimator on the variant
// (on the series and bounds of its last search).
struct ChosenVariantRun {
  estimation::FreshStart Run;
  std::optional<estimation::ModelChoiceOutcome> Choice;  // with `choose`
  std::size_t Variant = 0;                               // the ModelFits index of `label`
  AdoptedEstimate Adopted;
  // The last search of the variant: the final refit of the choice, or the
  // estimation.
  const estimation::EstimationOutcome& LastSearch() const {
    return Choice && Choice->FinalRun ? *Choice->FinalRun : Run.Estimation;
  }
};
ChosenVariantRun EstimateAndChoose(Session& session, const EstimateOptions& options,
                                   const std::string& label, bool choose = true);

// The refinement's entry of a command's JSON (RefinementJson with `adopted`).
Json AdoptedRefinementJson(const AdoptedRefinement& adopted);

// Its line of a readable report.
std::string AdoptedRefinementText(const AdoptedRefinement& adopted);

// The estimator's entry of a command's JSON: "refinement" or
// "observation_error" (the fit, label, adopted and, when refused, message).
void AddAdoptedEstimateJson(Json& j, const AdoptedEstimate& adopted);
// Its line of a readable report, ended by a line break; empty for the
// procedure's values.
std::string AdoptedEstimateText(const AdoptedEstimate& adopted);

// `tarvik-cli estimate`.
CLI::App* AddEstimateCommand(CLI::App& app, EstimateOptions& options);
std::string RunEstimateCommand(const EstimateOptions& options);

}  // namespace tarvik::cli
