#pragma once

// Management reference points of a fitted model variant: the MSY point
// (MSY, BMSY, FMSY, EMSY), the target point (Btr, Ftr, Etr) and the limit
// biomass Blim, stored in the variant's ModelFit record, plus everything the
// reference-point page shows (edit texts, production curves).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/point.h"
#include "common/table_text.h"
#include "data/catch_effort_series.h"
#include "model/model_fit.h"

namespace tarvik::refpoints {

// Fraction of BMSY that defines Blim for an index of the Blim selector:
// 0 → 0.1, 1 → 0.2, 2 → 0.3, 3 → 0.5; any other index has no fraction (the
// stored Blim is then left as it is).
std::optional<double> LimitFraction(int index);
// The selector's index of a fraction (LimitFraction's inverse); none for a
// fraction the selector does not offer.
std::optional<int> LimitChoice(double fraction);

// Root mean squared deviation of the values from `centre`, divisor n (not
// n − 1): sqrt(Σ (x − c)² / n). A centre of exactly 0 stands for the
// arithmetic mean of the values. Raises Error for an empty list.
double RmsDeviation(std::span<const double> values, double centre);

// sqrt(RmsDeviation(values, 0) / n): the square root of the standard
// deviation divided by the count.
double StandardTerm(std::span<const double> values);

// MSY point and limit biomass of one record from its Kind, R, K, Q, Exponent:
//   BMSY  Schaefer K/2, Fox K/e, Pella-Tomlinson K/(p+1)^(1/p)
//   MSY   SurplusProduction(BMSY);  FMSY = MSY/BMSY;  EMSY = MSY/(q·BMSY)
//   Blim  LimitFraction(blimIndex) · BMSY (unchanged for an unknown index)
// FMSY and EMSY come from the unrounded values and are stored unrounded;
// BMSY, Blim and MSY are then stored rounded to one decimal (ties to even).
void ComputeReferencePoints(model::ModelFit& fit, int blimIndex);

// Target biomass for a choice of the Btr/Etr selectors, written to BTarget
// and returned: 0 the stored BMSY; 1 B0.1; 2 (or any other index)
// BMSY + 1.7·st/q with st = StandardTerm of the model's CPUE residuals on
// `series` (the analysis series).
double SelectTargetBiomass(model::ModelFit& fit, int choice, const data::CatchEffortSeries& series);

// FTarget = P(Btr)/Btr and ETarget = P(Btr)/(q·Btr) from the stored BTarget,
// P being the surplus production. A zero Btr or q raises Error.
void ComputeTargetPoints(model::ModelFit& fit);

// Name of a variant on tabs, radio buttons and tables: the model name
// followed directly by the objective name ("Шефера Сумма квадратов").
std::string VariantName(const model::ModelFit& fit);

// The ten read-only edits of a variant's tab.
struct ReferenceEdits {
  std::string Msy, Bmsy, Fmsy, Emsy;
  std::string Btr, Ftr, Etr;
  std::string Blim, Flim, Elim;
};

// The ten points in the order the page and its table list them: "MSY",
// "BMSY", "FMSY", "EMSY", "Btr", "Ftr", "Etr", "Blim", "Flim", "Elim".
const std::array<std::string, 10>& ReferencePointNames();

// The edits' texts in the order of ReferencePointNames.
std::array<const std::string*, 10> EditTexts(const ReferenceEdits& edits);

// One tab of the reference-point page.
struct ReferenceTab {
  std::uint8_t Variant = 0;  // ModelFits index (the tag of its "Построить график")
  std::string Caption;       // VariantName of the variant
  ReferenceEdits Edits;
};

// The page's points as a table to copy or save: the head row «Ориентир» and
// the tabs' captions, then one row per point (ReferencePointNames) with the
// texts of its edit on every tab.
TextTable ReferenceTable(const std::vector<ReferenceTab>& tabs);

// Indices of the three selectors of "Настройка ориентиров".
struct ReferenceSelectors {
  int Btg = 0;   // "BMSY", "B0.1", "BMSY+ st"
  int Etg = 0;   // "EMSY", "E0,1", "EMSY+ st"
  int Blim = 0;  // "0,1*BMSY", "0,2*BMSY", "0,3*BMSY", "0,5*BMSY"
};

// Items of the selectors, in index order.
const std::vector<std::string>& TargetBiomassItems();  // target biomass Btr
const std::vector<std::string>& TargetEffortItems();   // target effort Etr
const std::vector<std::string>& LimitBiomassItems();   // limit biomass Blim

// What a variant's reference points are computed from: the record's index,
// model, objective and fitted parameters.
struct FittedVariant {
  std::uint8_t Index = 0;
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  model::ObjectiveKind Objective = model::ObjectiveKind::SumOfSquares;
  double R = 0.0, K = 0.0, Q = 0.0, Exponent = 0.0;
  bool operator==(const FittedVariant&) const = default;
};

// Most points a production curve gets between its end points.
constexpr std::size_t kMaxCurveInteriorPoints = 4000;

// Equilibrium production curve of a variant: (0, 0), then (B, P(B)) for
// B = 1, 2, …, Round(K) − 1 tonnes, then (K, 0). When K is so large that this
// would exceed kMaxCurveInteriorPoints, the interior points are instead
// kMaxCurveInteriorPoints biomasses evenly spaced strictly between 0 and K.
PointList ProductionCurve(const model::ModelFit& fit);

// The two markers a tab's "Построить график" draws on the curve:
// (BMSY, P(BMSY)) and (Btr, P(Btr)) from the stored BMSY and BTarget.
PointList CurveMarkers(const model::ModelFit& fit);

}  // namespace tarvik::refpoints
