#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "assessment/session.h"
#include "cli/estimate_command.h"
#include "cli/json_output.h"
#include "diagnostics/checklist.h"

namespace tarvik::cli {

// `tarvik-cli diagnose FILE --variant LABEL [estimate options] [--json]`:
// the acceptance checklist of one variant after the estimation and the model
// choice of the other commands (EstimateAndChoose).
struct DiagnoseOptions {
  EstimateOptions Estimate;
  std::string Variant;
};

CLI::App* AddDiagnoseCommand(CLI::App& app, DiagnoseOptions& options);
std::string RunDiagnoseCommand(const DiagnoseOptions& options);

// The diagnosis of the chosen variant of `chosen` on the state it left: the
// series, bounds and keep count of its last search; the jitter on
// `--threads` threads (its results do not depend on them). No
// retrospective and no intervals are run here: their items are not
// assessable.
diagnostics::VariantDiagnosis DiagnoseChosen(const Session& session, const ChosenVariantRun& chosen,
                                             const EstimateOptions& options);

// The `diagnostics` object of `diagnose --json` and `assess --json`:
// variant, verdict, checks [{name, status, value, text}], years, residuals,
// runs_test {runs, z, p}, shapiro_wilk {W, p}, ljung_box {Q, lag, p} (null
// figures and a reason when a test is not assessable), at_bounds (names),
// proposed_bounds {r, K, q: [min, max]} (null when the series allows none),
// hindcast {mase, peels}, jitter {starts, agree}, mohn_rho and
// msy_interval_ratio (null when not run).
Json DiagnosisJson(const diagnostics::VariantDiagnosis& d,
                   const diagnostics::DiagnosisOptions& options = {});

// The readable report: the verdict, the checklist, the residual tests and
// the residuals by year.
std::string DiagnosisText(const diagnostics::VariantDiagnosis& d);

}  // namespace tarvik::cli
