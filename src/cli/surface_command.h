#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/estimate_command.h"

namespace tarvik::cli {

// `tarvik-cli surface FILE --variant LABEL [--dir DIR] [--r-time-limit S]
// [estimate options]`:
// the estimation of `estimate`, the model choice of LABEL and the objective
// surface analysis («Анализ целевой функции»): "OutMatrix.txt" and "Graph2.R"
// are written into DIR (an existing folder; by default the data file's folder,
// or a per-user fallback folder when that one cannot be written, which the
// output names); R, when installed, draws "graph5.bmp" and "graph6.bmp" there,
// within --r-time-limit seconds.
struct SurfaceCommandOptions {
  EstimateOptions Estimate;
  std::string Variant;
  std::string Directory;  // --dir DIR; empty: the data file's folder (or a fallback)
  int TimeLimit = 120;    // --r-time-limit S: seconds R may run
};

CLI::App* AddSurfaceCommand(CLI::App& app, SurfaceCommandOptions& options);
std::string RunSurfaceCommand(const SurfaceCommandOptions& options);

}  // namespace tarvik::cli
