#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/estimate_command.h"

namespace tarvik::cli {

// `tarvik-cli retrospective FILE --variant LABEL [estimate options]`: the
// estimation of `estimate`, then the retrospective analysis of one variant
// (as the menu item «Ретроспектива» of its check box).
struct RetrospectiveCommandOptions {
  EstimateOptions Estimate;
  std::string Variant;  // label, e.g. "Шефер СК"
};

CLI::App* AddRetrospectiveCommand(CLI::App& app, RetrospectiveCommandOptions& options);
std::string RunRetrospectiveCommand(const RetrospectiveCommandOptions& options);

}  // namespace tarvik::cli
