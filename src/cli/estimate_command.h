#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "assessment_state.h"
#include "cli/json_output.h"
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
// correlations, k_start/k_min/k_max, variants, holdout, random_seed_after, …
Json EstimateJson(const AssessmentState& state, const estimation::FreshStart& run,
                  const EstimateOptions& options);

// The readable report of an estimation (the results table, the
// correlations, the exponent and the hold-out check).
std::string EstimateText(const AssessmentState& state, const estimation::FreshStart& run);

// `tarvik-cli estimate`.
CLI::App* AddEstimateCommand(CLI::App& app, EstimateOptions& options);
std::string RunEstimateCommand(const EstimateOptions& options);

}  // namespace tarvik::cli
