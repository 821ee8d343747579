#include "refpoints/reference_points.h"

#include <cmath>
#include <string>
#include <utility>

#include "common/error.h"
#include "common/numbers.h"
#include "model/checked.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::refpoints {
namespace {


}  // namespace

std::optional<double> LimitFraction(int index) {
  switch (index) {
    case 0:
      return 0.1;
    case 1:
      return 0.2;
    case 2:
      return 0.3;
    case 3:
      return 0.5;
    default:
      return std::nullopt;
  }
}

std::optional<int> LimitChoice(double fraction) {
  for (int index = 0; const std::optional<double> offered = LimitFraction(index); ++index) {
    if (*offered == fraction) return index;
  }
  return std::nullopt;
}

double RmsDeviation(std::span<const double> values, double centre) {
  if (values.empty()) throw Error("Нет значений для расчёта среднеквадратичного отклонения");
  const double n = static_cast<double>(values.size());
  double c = centre;
  if (c == 0.0) {
    double sum = 0.0;
    for (double v : values) sum += v;
    c = sum / n;
  }
  double squares = 0.0;
  for (double v : values) squares += (v - c) * (v - c);
  return std::sqrt(squares / n);
}

double StandardTerm(std::span<const double> values) {
  return std::sqrt(RmsDeviation(values, 0.0) / static_cast<double>(values.size()));
}

void ComputeReferencePoints(model::ModelFit& fit, int blimIndex) {
  model::ReferenceMsy(fit);  // BMSY, MSY, FMSY, EMSY unrounded
  if (const auto fraction = LimitFraction(blimIndex)) fit.BLimit = *fraction * fit.BMSY;
  fit.BMSY = RoundDecimals(fit.BMSY, 1);
  fit.BLimit = RoundDecimals(fit.BLimit, 1);
  fit.MSY = RoundDecimals(fit.MSY, 1);
}

double SelectTargetBiomass(model::ModelFit& fit, int choice,
                           const data::CatchEffortSeries& series) {
  double target = 0.0;
  if (choice == 0) {
    target = fit.BMSY;
  } else if (choice == 1) {
    target = model::BiomassB01(fit);
  } else {
    const std::vector<double> residuals =
        model::CpueResiduals(series.U, series.C, fit.Kind, fit.R, fit.K, fit.Q, fit.Exponent);
    const double st = StandardTerm(residuals);
    target = fit.BMSY + model::Divide(1.7 * st, fit.Q, "расчёте целевой биомассы BMSY+ st");
  }
  if (!std::isfinite(target)) throw Error("Целевая биомасса не является конечным числом");
  fit.BTarget = target;
  return target;
}

void ComputeTargetPoints(model::ModelFit& fit) {
  const double btr = fit.BTarget;
  const double production = model::SurplusProduction(fit.Kind, btr, fit.R, fit.K, fit.Exponent);
  fit.FTarget = model::Divide(production, btr, "расчёте Ftr: целевая биомасса равна 0");
  fit.ETarget = model::Divide(production, fit.Q * btr, "расчёте Etr");
}

std::string VariantName(const model::ModelFit& fit) {
  return model::ModelName(fit.Kind) + model::ObjectiveName(fit.Objective);
}

const std::array<std::string, 10>& ReferencePointNames() {
  static const std::array<std::string, 10> names = {"MSY", "BMSY", "FMSY", "EMSY", "Btr",
                                                    "Ftr", "Etr",  "Blim", "Flim", "Elim"};
  return names;
}

std::array<const std::string*, 10> EditTexts(const ReferenceEdits& e) {
  return {&e.Msy, &e.Bmsy, &e.Fmsy, &e.Emsy, &e.Btr, &e.Ftr, &e.Etr, &e.Blim, &e.Flim, &e.Elim};
}

TextTable ReferenceTable(const std::vector<ReferenceTab>& tabs) {
  TextTable table(1 + ReferencePointNames().size());
  table[0].push_back("Ориентир");
  for (std::size_t k = 0; k < ReferencePointNames().size(); ++k) {
    table[k + 1].push_back(ReferencePointNames()[k]);
  }
  for (const ReferenceTab& tab : tabs) {
    table[0].push_back(tab.Caption);
    const auto texts = EditTexts(tab.Edits);
    for (std::size_t k = 0; k < texts.size(); ++k) table[k + 1].push_back(*texts[k]);
  }
  return table;
}

const std::vector<std::string>& TargetBiomassItems() {
  static const std::vector<std::string> items = {"BMSY", "B0.1", "BMSY+ st"};
  return items;
}

const std::vector<std::string>& TargetEffortItems() {
  static const std::vector<std::string> items = {"EMSY", "E0,1", "EMSY+ st"};
  return items;
}

const std::vector<std::string>& LimitBiomassItems() {
  static const std::vector<std::string> items = {"0,1*BMSY", "0,2*BMSY", "0,3*BMSY", "0,5*BMSY"};
  return items;
}

PointList ProductionCurve(const model::ModelFit& fit) {
  const double K = fit.K;
  if (!std::isfinite(K)) throw Error("Ёмкость среды K не является конечным числом");
  PointList points;
  points.push_back({0.0, 0.0});
  const double last = RoundHalfEven(K) - 1.0;  // the last whole tonne below K
  if (last >= 1.0 && last <= static_cast<double>(kMaxCurveInteriorPoints)) {
    const auto count = static_cast<std::size_t>(last);
    points.reserve(count + 2);
    for (std::size_t b = 1; b <= count; ++b) {
      const double B = static_cast<double>(b);
      points.push_back({B, model::SurplusProduction(fit.Kind, B, fit.R, K, fit.Exponent)});
    }
  } else if (last > static_cast<double>(kMaxCurveInteriorPoints)) {
    const double intervals = static_cast<double>(kMaxCurveInteriorPoints + 1);
    points.reserve(kMaxCurveInteriorPoints + 2);
    for (std::size_t j = 1; j <= kMaxCurveInteriorPoints; ++j) {
      const double B = K * static_cast<double>(j) / intervals;
      points.push_back({B, model::SurplusProduction(fit.Kind, B, fit.R, K, fit.Exponent)});
    }
  }
  points.push_back({K, 0.0});
  return points;
}

PointList CurveMarkers(const model::ModelFit& fit) {
  return {
      {fit.BMSY, model::SurplusProduction(fit.Kind, fit.BMSY, fit.R, fit.K, fit.Exponent)},
      {fit.BTarget, model::SurplusProduction(fit.Kind, fit.BTarget, fit.R, fit.K, fit.Exponent)}};
}

}  // namespace tarvik::refpoints
