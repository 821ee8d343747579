#pragma once

// What the window shows of a variant's diagnosis: the checklist rows with
// their marks, the residual tests beside the residuals chart and the verdict.

#include <array>
#include <string>
#include <vector>

#include "assessment_state.h"
#include "diagnostics/checklist.h"

namespace tarvik::diagnostics {

// The mark of an item: "✓" ok, "!" warning, "✗" fail, "–" not assessable.
const char* StatusMark(CheckStatus status);

struct CheckRowView {
  CheckStatus Status = CheckStatus::NotAssessable;
  std::string Mark;
  std::string Name;
  std::string Value;
  std::string Explanation;
};

struct DiagnosisView {
  std::string Heading;  // «Вариант «Шефер СК»»
  Verdict Result = Verdict::Fit;
  std::string VerdictText;  // the checklist's
  std::vector<CheckRowView> Checks;
  // One row per residual test: the test, its statistic(s), p, the
  // conclusion at the 5 % level (or why the test could not be made).
  std::vector<std::array<std::string, 4>> Tests;
  // The verdict for the tooltip of the variant's mark in the results panel.
  std::string MarkTip;
};

// The series a variant of `state` is diagnosed on: the analysis series with
// FirstYear set to the year of the table's first row (the analysis series
// itself carries none), so that the residuals are labelled by their years.
// Raises tarvik::Error when that year cannot be read.
data::CatchEffortSeries DiagnosedSeries(const AssessmentState& state);

// The view of `d` with the decimal mark `mark`; never raises (figures that
// are not finite are written "—").
DiagnosisView ViewOfDiagnosis(const VariantDiagnosis& d, char mark);

}  // namespace tarvik::diagnostics
