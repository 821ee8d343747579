#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/common_options.h"
#include "cli/estimate_command.h"

namespace tarvik::cli {

// `tarvik-cli optimise FILE --variant LABEL --shape linear|logistic
//  [--target T] [--horizon H] [--dir DIR] [--btr …] [--etr …] [--blim …]
//  [estimate options] [--json]`: from a fresh start the estimation of
// `estimate`, the model choice of LABEL, the reference points (selectors as
// in `assess`), the rule page with the shape and the target, and
// «Оптимизация ПРП». Prints the four best points and the editor's new alpha
// (and beta); for the logistic shape writes "OutMatrix.txt" and "Graph.R"
// into DIR and, when R is installed, lets R draw "graph.bmp" … "graph4.bmp".
struct OptimiseCommandOptions {
  EstimateOptions Estimate;
  std::string Variant;          // --variant LABEL ("Шефер СК", …)
  std::string Shape;            // --shape linear|logistic
  std::string Target = "FMSY";  // --target FMSY|F01|Fsq|Fsq75|Fsq125
  int Horizon = 5;              // --horizon H (1 … 20)
  std::string Directory;        // --dir DIR; empty: the data file's folder (or a fallback)
  ReferenceSelectorTexts Selectors;  // --btr, --etr, --blim as in `assess`
  int TimeLimit = 120;          // --r-time-limit S: seconds R may run
};

CLI::App* AddOptimiseCommand(CLI::App& app, OptimiseCommandOptions& options);
std::string RunOptimiseCommand(const OptimiseCommandOptions& options);

}  // namespace tarvik::cli
