#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "data/data_table.h"
#include "model/model_fit.h"

namespace tarvik::estimation {

// Titles of the hold-out chart (the CPUE–effort chart of the estimation page).
inline constexpr std::string_view kHoldOutLeftAxisTitle = "Улов на усилие";
inline constexpr std::string_view kHoldOutBottomAxisTitle = "Год";
inline constexpr std::string_view kHoldOutOriginalTitle = "Исходные";  // the observations

// The hold-out check of one variant.
struct HoldOutVariant {
  std::uint8_t Index = 0;         // ModelFits index
  std::string Label;              // short label ("Шефер СК", …)
  double SD = 0.0;                // sqrt(Σ (O_k − P_k)² / (N − 1))
  std::vector<double> Predicted;  // P_1 … P_N
  std::string SeriesTitle;        // label + " StdDev=" + SD rounded to 1 decimal
  PointList Points;               // (year of row R − N + k − 1, P_k), k = 1 … N
};

struct HoldOutResult {
  int HeldOutYears = 0;          // N
  std::vector<double> Observed;  // O_1 … O_N
  PointList Original;            // «Исходные»: (year of row k, mean U of rows k−1, k)
  std::vector<HoldOutVariant> Variants;  // one per active variant, ascending index
};

// Compares every variant of `active` (indices of `fits`) with the last N
// years of the table, which the fit has not seen (`series`, the analysis
// series, holds the table without them).
// With R = table rows including the header, n = R − 1 − N fitted years and,
// for each variant, the ReferenceMsy of a copy of its record (the records
// are only read):
//   x_0 = ln(S_0 / (2·q·BMSY));
//   for k = 1 … N:
//     h   = 2 − e^x (Schaefer), 1 − x (Fox), (p + 1 − e^(p·x)) / p (Pella-Tomlinson),
//           x = x_{k−1};
//     c   = 2·q·C_k / S_k;
//     x_k = x_{k−1} + h·MSY/BMSY − c;
//     P_k = e^(x_k)·q·BMSY;
//     O_k = mean U of table rows R + k − N − 2 and R + k − N − 1;
//   SD = sqrt(Σ (O_k − P_k)² / (N − 1)).
// C_k is the catch of row R − N + k − 1 (the later row of O_k's pair). The
// CPUE sums are taken over the same pairs as the observations: S_0 = U of
// rows R − N − 2 and R − N − 1 (the last two fitted years, the pair of O_0)
// and S_k = U of rows R + k − N − 2 and R + k − N − 1 (the pair of O_k), so
// that c is the catch over the mean biomass of the pair the step ends at.
// Raises tarvik::Error for N < 2, fewer than two fitted years, a table that
// does not hold n + N rows, cells that do not convert, and arithmetic faults.
HoldOutResult HoldOutCheck(const data::CatchEffortSeries& series,
                           const std::vector<model::ModelFit>& fits,
                           const std::vector<std::uint8_t>& active, const data::DataTable& table,
                           int heldOutYears, char decimalMark);

}  // namespace tarvik::estimation
