#pragma once

// What the window shows of a variant's diagnosis: the checklist rows with
// their marks, the residual tests beside the residuals chart and the verdict.

#include <array>
#include <string>
#include <vector>

#include "diagnostics/checklist.h"
#include "estimation/estimation_view.h"

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

// The view of `d` with the decimal mark `mark`; never raises (figures that
// are not finite are written "—").
DiagnosisView ViewOfDiagnosis(const VariantDiagnosis& d, char mark);

// The residuals the tests of `d` judged, by year, for the chart beside the
// checklist: the procedure's CPUE residuals for its variants, the log
// residuals of an estimator whose values were adopted; "Остатки по годам: " +
// the label, the series named by ResidualsName, the zero line over their
// years. Empty points when there are none.
estimation::ResidualChart ResidualChartOf(const VariantDiagnosis& d);

}  // namespace tarvik::diagnostics
