#pragma once

// What the panel «Модель пространства состояний» of the estimation page
// shows: the state-space fits of the three model kinds, the chosen variant
// beside the fit of its kind, and the fitted biomass with its interval
// against the observed CPUE scaled by q.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "assessment/state.h"
#include "common/point.h"
#include "common/table_text.h"
#include "estimation/state_space.h"

namespace tarvik::estimation {

inline constexpr std::string_view kStateSpaceTitle = "Модель пространства состояний";

// One row per fit under the header: the model ("Шефера"), r, K, q, p, B₁/K,
// σ_p, σ_o, MSY with its interval, BMSY, FMSY, B/BMSY of the year after the
// last, F/FMSY of the last year, the objective, n, convergence and whether
// the Hessian is positive definite. K, MSY and BMSY are headed with the
// data's unit, 10^catchUnit tonnes. p is "—" but for Pella-Tomlinson, B₁/K
// "1.000" when fixed; a value that is not finite, or an interval not
// available, is "—". The interval's header names the level of the fits.
TextTable StateSpaceTable(const std::vector<StateSpaceFit>& fits, int catchUnit, char decimalMark);

// The chosen variant (record `index`) beside the fit of its model kind: a
// header (quantity, the variant's label, "Пространство состояний") and the
// rows MSY, BMSY (in the data's unit), FMSY, B/BMSY of the last year both
// ways (kLastRatioObserved, kLastRatioModel), σ_p and σ_o (the procedure has
// neither: "—"). The procedure's values come from the record's r, K, (p)
// (ProcedureLastYear). Empty before «Оценить» or without such a record.
TextTable StateSpaceComparison(const AssessmentState& state, std::size_t index, int catchUnit,
                               char decimalMark);

// The fitted biomass B_t of the kind of record `index`, t = 1..n+1 (the
// year after the last data year included), its interval band, and the
// observed CPUE divided by q̂ of the same fit. Years are those of the table
// rows. Empty series before «Оценить»; the band is empty when the standard
// errors are not available; points that are not finite are left out.
struct StateSpaceBiomassChart {
  std::string Title;  // "Биомасса запаса: " + the model's name
  std::string XTitle = "Год";
  std::string YTitle = "Биомасса";
  std::string ObservedName = "Улов на усилие / q";
  std::string BiomassName = "Оценка биомассы";
  std::string BandName;  // "Интервал 90 %"
  PointList Observed;
  PointList Biomass;
  PointList Lower;
  PointList Upper;
};
StateSpaceBiomassChart StateSpaceChart(const AssessmentState& state, std::size_t index,
                                       int tonnesExponent = 0);

}  // namespace tarvik::estimation
