#pragma once

// What the panel «Модель ошибки наблюдения» of the estimation page shows:
// the observation-error fits of the three model kinds, the chosen variant
// beside the fit of its kind, and observed CPUE with both predictions.

#include <cmath>
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

// The names of the two last-year ratios the comparisons show, one row each,
// so that every column compares the same biomass: the observed CPUE over the
// column's q, and the model's own biomass (the procedure's U0/q, where its
// projections start; the other estimators' fitted B of the last year).
inline constexpr std::string_view kLastRatioObserved = "B/BMSY посл. (U/q наблюд.)";
inline constexpr std::string_view kLastRatioModel = "B/BMSY посл. (модель)";

// B/BMSY of the last data year of a record with reference points, both ways:
// Observed = U[L]/q/BMSY, Model = U0/q/BMSY (model::StartCpue). NaN where it
// cannot be computed (no series, q or BMSY not positive, fewer than 3 years).
struct LastYearRatios {
  double Observed = NAN;
  double Model = NAN;
};
LastYearRatios ProcedureLastYear(const data::CatchEffortSeries& series,
                                 const model::ModelFit& record);

// One row per fit under the header: the model ("Шефера", as model::ModelName),
// r, K, q, p, φ, σ, RSS, n, AICc, MSY, BMSY, FMSY, EMSY, B/BMSY (the model's
// biomass) and F/FMSY of the last year, the parameters on a bound,
// convergence. K, MSY and BMSY are headed with the data's unit, 10^catchUnit
// tonnes. p is "—" but for Pella-Tomlinson, φ "1.000" when not estimated.
TextTable ObservationErrorTable(const std::vector<ObservationErrorFit>& fits, int catchUnit,
                                char decimalMark);

// The chosen variant (record `index`) beside the fit of its model kind: a
// header (quantity, the variant's label, "Ошибка наблюдения") and the rows
// MSY, BMSY (in the data's unit), FMSY, and B/BMSY of the last year both
// ways (kLastRatioObserved, kLastRatioModel). The procedure's values come
// from the record's r, K, (p) by the same formulas (ProcedureLastYear).
// Empty before «Оценить» or without such a record; a value that cannot be
// computed is "—".
TextTable ObservationErrorComparison(const AssessmentState& state, std::size_t index,
                                     int catchUnit, char decimalMark);

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
