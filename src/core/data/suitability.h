#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "data/data_table.h"

namespace tarvik::data {

// Everything the model-suitability check finds: the start value and bounds
// of K, the correlations of CPUE with effort under the three models with
// their equilibrium curves, and the Pella-Tomlinson exponent. The texts are
// those the estimation page shows (general format, the locale's mark).
struct SuitabilityResult {
  int years = 0;  // length n of the new AnalysisSeries

  // K start value and bounds: the largest catch Cmax, Cmax again and
  // Cmax · 100, as the start and bound fields show them, and the numbers
  // read back from those texts (what the search takes).
  std::string initialKText;
  std::string minKText;
  std::string maxKText;
  double initialK = 0.0;
  double minK = 0.0;
  double maxK = 0.0;

  // Correlation coefficients (4 decimals) of E with U (Schaefer), ln U (Fox)
  // and U^m (Pella-Tomlinson, m = ptExponent), and their texts.
  double correlationSchaefer = 0.0;
  double correlationFox = 0.0;
  double correlationPT = 0.0;
  std::string correlationSchaeferText;
  std::string correlationFoxText;
  std::string correlationPTText;

  double ptExponent = 0.0;     // m of the strongest |correlation|, 0.1 … 10, 0 if all are 0
  std::string ptExponentHint;  // m in the general format

  // The CPUE–effort chart: the observations and the three equilibrium curves.
  PointList scatter;        // (E, U) of every year
  PointList schaeferCurve;  // (Emax, ·) and (Emin, ·) of the line U = a·E + b
  PointList foxCurve;       // exp(a·E + b) every 0.1 of effort from Emin while < Emax
  PointList ptCurve;        // (a·E + b)^(1/m) every 0.2; empty when m = 0

  bool positiveCorrelation = false;  // some coefficient > 0: the warning is due

  std::string bottomAxisTitle = "Усилие";  // of the CPUE–effort chart (no legend)

  CatchEffortSeries series;  // U, E, C of table rows 1 … n (FirstYear 0)
};

// The model-suitability check on table rows 1 … n, n = data rows −
// heldOutYears:
//   - builds the series of U, E, C of those rows (`series`, FirstYear 0);
//   - proposes K (see SuitabilityResult);
//   - measures the three correlations and fits the three equilibrium curves;
//   - chooses the Pella-Tomlinson exponent m = k/10 (k = 1 … 100) with the
//     largest |correlation of E with U^m| (the smallest m of a tie; 0 when all
//     are 0).
// Raises tarvik::Error for: heldOutYears < 0, fewer than 3 years, years of
// the table that are not consecutive (CheckYearSequence), a cell that does
// not convert (row, column, text), a year with U ≤ 0, E ≤ 0 or C < 0 (naming
// the year), all catches 0, the same effort in every year, the same U in
// every year.
SuitabilityResult CheckSuitability(const DataTable& table, int heldOutYears, char decimalMark);

}  // namespace tarvik::data
