#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "assessment/uncertainty.h"
#include "cli/estimate_command.h"
#include "cli/json_output.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::cli {

// The bootstrap's settings on the command line.
struct UncertaintySettings {
  int Replicates = uncertainty::kDefaultReplicates;  // 0: no bootstrap (assess)
  std::uint64_t Seed = 1;                            // --seed S
  int Level = 90;                                    // --level 90|95
};

// Adds `replicatesOption` (the replicate count, with `replicatesHelp`),
// --seed and --level to a subcommand.
void AddUncertaintyOptions(CLI::App& sub, UncertaintySettings& settings,
                           const char* replicatesOption, const char* replicatesHelp);

// Raises tarvik::Error naming the option when a setting is outside its
// range; run before the long estimation.
void CheckUncertaintySettings(const UncertaintySettings& settings, const char* replicatesOption);

// The bounds the chosen variant was last searched within.
const estimation::ParameterBounds& SearchBoundsOf(const ChosenVariantRun& chosen);

// Bootstraps the chosen variant of `chosen` on `state`
// (uncertainty::EstimateUncertainty) with `blimFraction` and --threads.
void EstimateChosenUncertainty(Session& session, const ChosenVariantRun& chosen,
                               const UncertaintySettings& settings, double blimFraction,
                               const EstimateOptions& options);

// The object `uncertainty`: method, estimator ("procedure", "refined" for
// values of that `origin`, "observation-error"), replicates, seed, level,
// blim_fraction, failed, at_bounds, quantities ({estimate, median, lower,
// upper} of r, K, q, p, msy, bmsy, fmsy, emsy, b_last_bmsy, f_last_fmsy; null
// for a quantity without a value), probabilities, correlations, b_last.
Json UncertaintyJson(const uncertainty::BootstrapResult& result, model::FitOrigin origin);

// The cloud of the Kobe plot: `cloud` ([B/BMSY, F/FMSY] per replicate) and
// `quadrant_probabilities` (green, yellow, orange, red), added to `kobe`.
void AddKobeCloudJson(const uncertainty::BootstrapResult& result, Json& kobe);

// `tarvik-cli uncertainty FILE --variant LABEL …`.
struct UncertaintyCommandOptions {
  EstimateOptions Estimate;
  std::string Variant;
  std::string Blim;  // --blim 0.1|0.2|0.3|0.5 (empty: 0.1)
  UncertaintySettings Settings;
};
CLI::App* AddUncertaintyCommand(CLI::App& app, UncertaintyCommandOptions& options);
std::string RunUncertaintyCommand(const UncertaintyCommandOptions& options);

}  // namespace tarvik::cli
