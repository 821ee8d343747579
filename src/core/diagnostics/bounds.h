#pragma once

// Where a fit is held by the bounds of the search rather than by the data,
// bounds proposed from the data, and the shortest series a variant can be
// fitted to.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/parameter_search.h"
#include "estimation/search_engine.h"
#include "model/kinds.h"

namespace tarvik::diagnostics {

// A value at, or within this fraction of, a bound counts as on the bound
// (0.1 % of the bound's own value on the log scale, estimation::SideOnBound;
// a bound of 0 is reached by 0 only).
inline constexpr double kBoundTolerance = estimation::kOnBoundTolerance;

// One parameter on one bound.
struct BoundHit {
  std::string Parameter;  // "r", "K", "q" or "p"
  bool Upper = false;
  double Value = 0.0;
  double Bound = 0.0;
  // «q = 0,0001000 на нижней границе 0,0001: оценка определяется границей,
  // а не данными» (the value as the results panel writes it, q by
  // FormatCatchability; the bound in the general format).
  std::string Text;
};

// The parameters of `x` on a bound of `bounds`: r, K, q and, for
// Pella-Tomlinson, p, in that order (a bound pair whose minimum is not below
// its maximum fixes the value at the maximum, which then counts as on the
// upper bound).
std::vector<BoundHit> ParametersAtBounds(const estimation::ParameterPoint& x,
                                         const estimation::ParameterBounds& bounds,
                                         bool pellaTomlinson, char decimalMark = '.');

// Start values and bounds of r, K and q from the data, so that a series in
// any units gets estimates inside them («Границы по данным»):
//   r: 0.01 … 1.5, start 0.5 — the span of the resilience classes of
//      fished stocks, from very low (0.015 … 0.1) to high (0.6 … 1.5);
//   K: Cmax … 1000·Cmax (a stock must hold its largest catch; the upper end
//      ten times the default 100·Cmax), start 4·Cmax/r₀ = 8·Cmax, whose MSY
//      r₀K/4 is the largest catch;
//   q: U = q·B with B ≤ K, so min U / max K … max U / min K, widened ten
//      times each way (B may fall below min K), start max U / K₀ (the
//      highest CPUE taken as the unfished stock).
// Each value is rounded to 3 significant digits, lower bounds down, upper
// bounds up. p keeps 1.01 … 10 and the start 2. Raises tarvik::Error when
// the series has no positive catch or CPUE.
struct ProposedBounds {
  estimation::ParameterPoint Start;
  estimation::ParameterBounds Bounds;
};
ProposedBounds ProposeBounds(const data::CatchEffortSeries& series);

// The texts of the nine edits of «Начальные условия» for the proposal
// (general format, the locale's mark).
estimation::SearchTexts SearchTextsOf(const ProposedBounds& proposal, char decimalMark);

// Parameters the model estimates: r, K, q, and p for Pella-Tomlinson.
int ParameterCount(model::ProductionModelKind kind);

// The fewest years of data for a variant: its residuals (years − 2) must
// outnumber its parameters, otherwise the model passes through every
// residual whatever the data: 6 years (Schaefer, Fox), 7 (Pella-Tomlinson).
std::size_t FewestYears(model::ProductionModelKind kind);

// The refusal before a search of variant `label` on `years` years, or
// nothing when there are enough: «Вариант «ПТ М»: 5 лет данных дают
// 3 остатка, а модель оценивает 4 параметра (r, K, q, p); нужно не меньше
// 7 лет».
std::optional<std::string> TooFewYears(std::size_t years, model::ProductionModelKind kind,
                                       std::string_view label);

}  // namespace tarvik::diagnostics
