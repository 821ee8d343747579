#pragma once

// What the panel «Модель ошибки наблюдения» of the estimation page shows:
// the observation-error fits of the three model kinds, the chosen variant
// beside the fit of its kind, and observed CPUE with both predictions.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "assessment/state.h"
#include "common/point.h"
#include "common/table_text.h"
#include "data/data_table.h"
#include "estimation/observation_error.h"

namespace tarvik::estimation {

inline constexpr std::string_view kObservationErrorTitle = "Модель ошибки наблюдения";

// A number to four significant digits at least (no exponent): "1500",
// "150.0", "0.4000". Raises as FormatFixed for a value that is not finite.
std::string SignificantText(double x, char decimalMark);

// One row per fit under the header: the model ("Шефера", as model::ModelName),
// r, K, q, p, φ, σ, RSS, n, AICc, MSY, BMSY, FMSY, EMSY, B/BMSY and F/FMSY
// of the last year, the parameters on a bound, convergence. p is "—" but for
// Pella-Tomlinson, φ "1.000" when not estimated.
TextTable ObservationErrorTable(const std::vector<ObservationErrorFit>& fits, char decimalMark);

// The chosen variant (record `index`) beside the fit of its model kind: a
// header (quantity, the variant's label, "Ошибка наблюдения") and the rows
// MSY, BMSY, FMSY, B/BMSY of the last year. The procedure's values come from
// the record's r, K, (p) by the same formulas, its last biomass is U/q of the
// last year. Empty before «Оценить» or without such a record; a value that
// cannot be computed is "—".
TextTable ObservationErrorComparison(const AssessmentState& state, std::size_t index,
                                     char decimalMark);

// Observed CPUE against the year and the two predictions for the kind of
// record `index`: the procedure's Û of years 3 … n (U minus its residual) and
// the observation-error q̂·B_t of every year. Years are those of the table
// rows. A series that cannot be computed is left empty.
struct CpuePredictionChart {
  std::string Title;  // "Улов на усилие: " + the variant's label
  std::string XTitle = "Год";
  std::string YTitle = "Улов на усилие";
  std::string ObservedName = "Наблюдения";
  std::string ProcedureName;  // "Процедура (" + label + ")"
  std::string ObservationErrorName = "Модель ошибки наблюдения";
  PointList Observed;
  PointList Procedure;
  PointList ObservationError;
};
CpuePredictionChart ObservationErrorChart(const AssessmentState& state, std::size_t index);

}  // namespace tarvik::estimation
