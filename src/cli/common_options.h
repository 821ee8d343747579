#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "assessment/reference_points.h"
#include "cli/json_output.h"
#include "model/model_fit.h"
#include "rbridge/pictures.h"
#include "rbridge/r_runner.h"
#include "refpoints/reference_points.h"

namespace tarvik::cli {

// Pieces shared by several subcommands.

// The decimal mark of every number typed on the command line.
constexpr char kDecimalMark = '.';

// `text` split at every `separator` (an empty text gives one empty field).
std::vector<std::string> SplitAt(const std::string& text, char separator);

// Index of `text` among `items`; nothing for an empty text. Any other text
// raises tarvik::Error naming `option` and the items allowed.
std::optional<int> Choice(const std::string& text, const std::vector<std::string>& items,
                          const char* option);

// The reference-point selectors --btr, --etr, --blim (item indices of the
// target-biomass, target-effort and limit-biomass lists; nothing = untouched).
struct ReferenceSelectorTexts {
  std::string Btr, Etr, Blim;
};
void AddReferenceSelectorOptions(CLI::App& sub, ReferenceSelectorTexts& texts);
// Checked in the order --btr, --etr, --blim; an unknown item raises tarvik::Error.
refpoints::SelectorChanges ParseReferenceSelectors(const ReferenceSelectorTexts& texts);

// The reference points of a record as the JSON output names them.
Json ReferencePointsJson(const model::ModelFit& fit);

// Raises tarvik::Error unless `label` names a variant of the cut-off list
// `cutOffs`; run before the long estimation.
void RequireVariantLabel(const std::string& cutOffs, const std::string& label);

// --r-time-limit S: the seconds R may run (default 120); RTimeLimit checks
// it (at least 1, at most a day) before any work.
void AddRTimeLimitOption(CLI::App& sub, int& seconds);
std::chrono::seconds RTimeLimit(int seconds);

// After R has run on the files written: a failing R (other than a missing
// one) is reported on stderr as a warning; the files stay written.
void WarnWhenRFailed(const rbridge::PictureRun& pictures);

// The key of R's outcome in the JSON output ("done", "r_not_found",
// "start_failed", "timed_out", "pictures_missing", "r_failed",
// "nothing_to_draw").
const char* RStatusKey(rbridge::RRunStatus status);

// The line listing the pictures R drew ("Рисунки: …"), or R's message when
// it did not draw them; each ended by a line break.
void WritePictureLines(std::ostream& out, const rbridge::PictureRun& pictures);

}  // namespace tarvik::cli
