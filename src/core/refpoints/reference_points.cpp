#include "refpoints/reference_points.h"

#include <cmath>
#include <string>
#include <utility>

#include "assessment_state.h"
#include "common/error.h"
#include "common/numbers.h"
#include "model/checked.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::refpoints {
namespace {

model::ModelFit& FitOf(AssessmentState& state, std::uint8_t variant) {
  if (variant >= state.ModelFits.size()) {
    throw Error("Вариант модели " + std::to_string(variant) + " не существует");
  }
  return state.ModelFits[variant];
}

void RequireTabsMatch(const AssessmentState& state, const std::vector<ReferenceTab>& tabs) {
  bool match = tabs.size() == state.ActiveVariants.size();
  for (std::size_t i = 0; match && i < tabs.size(); ++i) {
    match = tabs[i].Variant == state.ActiveVariants[i];
  }
  if (!match) {
    throw Error("Закладки ориентиров не соответствуют выбранным вариантам модели");
  }
}

// Runs `change` on the record and the texts of every tab, after checking that
// the tabs are those of the active variants.
template <typename Change>
void ForEachTab(AssessmentState& state, std::vector<ReferenceTab>& tabs, Change change) {
  RequireTabsMatch(state, tabs);
  for (ReferenceTab& tab : tabs) change(FitOf(state, tab.Variant), tab.Edits);
}

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

std::vector<ReferenceTab> BuildReferenceTabs(const AssessmentState& state) {
  std::vector<ReferenceTab> tabs;
  tabs.reserve(state.ActiveVariants.size());
  for (std::uint8_t variant : state.ActiveVariants) {
    if (variant >= state.ModelFits.size()) {
      throw Error("Вариант модели " + std::to_string(variant) + " не существует");
    }
    ReferenceTab tab;
    tab.Variant = variant;
    tab.Caption = VariantName(state.ModelFits[variant]);
    tabs.push_back(std::move(tab));
  }
  return tabs;
}

void CalculateReferencePoints(AssessmentState& state, const ReferenceSelectors& selectors,
                              std::vector<ReferenceTab>& tabs, char mark) {
  RequireTabsMatch(state, tabs);
  for (ReferenceTab& tab : tabs) {
    model::ModelFit& fit = FitOf(state, tab.Variant);
    ComputeReferencePoints(fit, selectors.Blim);
    ReferenceEdits& e = tab.Edits;
    const std::string fmsy = FormatGeneral(RoundTo(fit.FMSY, -2), mark);
    const std::string emsy = FormatGeneral(RoundTo(fit.EMSY, -2), mark);
    e.Msy = FormatGeneral(fit.MSY, mark);
    e.Bmsy = FormatGeneral(fit.BMSY, mark);
    e.Fmsy = fmsy;
    e.Emsy = emsy;
    e.Btr = FormatGeneral(fit.BMSY, mark);
    e.Ftr = fmsy;
    e.Etr = emsy;
    e.Blim = FormatGeneral(fit.BLimit, mark);
    e.Flim = fmsy;
    e.Elim = emsy;
  }
  ChangeTargetBiomass(state, selectors.Btg, tabs, mark);
  ChangeTargetEffort(state, selectors.Etg, tabs, mark);
}

void ChangeTargetBiomass(AssessmentState& state, int choice, std::vector<ReferenceTab>& tabs,
                         char mark) {
  ForEachTab(state, tabs, [&](model::ModelFit& fit, ReferenceEdits& edits) {
    SelectTargetBiomass(fit, choice, state.AnalysisSeries);
    edits.Btr = FormatGeneral(RoundTo(fit.BTarget, -2), mark);
  });
}

void ChangeTargetEffort(AssessmentState& state, int choice, std::vector<ReferenceTab>& tabs,
                        char mark) {
  ForEachTab(state, tabs, [&](model::ModelFit& fit, ReferenceEdits& edits) {
    SelectTargetBiomass(fit, choice, state.AnalysisSeries);
    ComputeTargetPoints(fit);
    // The Btr edit shows the target the rules use.
    edits.Btr = FormatGeneral(RoundTo(fit.BTarget, -2), mark);
    edits.Ftr = FormatGeneral(RoundTo(fit.FTarget, -2), mark);
    edits.Etr = FormatGeneral(RoundTo(fit.ETarget, -2), mark);
  });
}

void ChangeLimitBiomass(AssessmentState& state, int index, std::vector<ReferenceTab>& tabs,
                        char mark) {
  RequireTabsMatch(state, tabs);
  const auto fraction = LimitFraction(index);
  if (!fraction) return;
  ForEachTab(state, tabs, [&](model::ModelFit& fit, ReferenceEdits& edits) {
    fit.BLimit = *fraction * fit.BMSY;
    edits.Blim = FormatGeneral(fit.BLimit, mark);
  });
}

std::vector<FittedVariant> ActiveFits(const AssessmentState& state) {
  std::vector<FittedVariant> fits;
  for (std::uint8_t index : state.ActiveVariants) {
    if (index >= state.ModelFits.size()) continue;
    const model::ModelFit& fit = state.ModelFits[index];
    fits.push_back({index, fit.Kind, fit.Objective, fit.R, fit.K, fit.Q, fit.Exponent});
  }
  return fits;
}

bool ReferencePointsCurrent(const AssessmentState& state) {
  const ReferencePointResults& computed = state.ReferencePoints;
  return !computed.Tabs.empty() && computed.Tabs.size() == state.ActiveVariants.size() &&
         computed.ComputedFrom == ActiveFits(state);
}

void UpdateReferencePoints(AssessmentState& state, const ReferenceSelectors& selectors, char mark) {
  AssessmentState next = state;
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(next);
  CalculateReferencePoints(next, selectors, tabs, mark);
  ClearIndicators(next);
  ClearForecast(next);
  ClearDecisionTable(next);
  next.ReferencePoints.Tabs = std::move(tabs);
  next.ReferencePoints.ComputedFrom = ActiveFits(next);
  state = std::move(next);
}

void ChangeSelector(AssessmentState& state, Selector selector, int choice, char mark) {
  if (state.ReferencePoints.Tabs.empty()) {
    throw Error("Ориентиры управления ещё не рассчитаны");
  }
  AssessmentState next = state;
  std::vector<ReferenceTab>& tabs = next.ReferencePoints.Tabs;
  switch (selector) {
    case Selector::TargetBiomass:
      ChangeTargetBiomass(next, choice, tabs, mark);
      break;
    case Selector::TargetEffort:
      ChangeTargetEffort(next, choice, tabs, mark);
      break;
    case Selector::LimitBiomass:
      ChangeLimitBiomass(next, choice, tabs, mark);
      // Their probabilities below Blim are of the previous Blim.
      ClearUncertainty(next);
      ClearDecisionTable(next);
      break;
  }
  ClearIndicators(next);
  ClearForecast(next);
  state = std::move(next);
}

void UpdateReferencePoints(AssessmentState& state, const SelectorChanges& changes, char mark) {
  AssessmentState next = state;
  UpdateReferencePoints(next, ReferenceSelectors{}, mark);
  const std::pair<Selector, std::optional<int>> steps[] = {
      {Selector::TargetBiomass, changes.TargetBiomass},
      {Selector::TargetEffort, changes.TargetEffort},
      {Selector::LimitBiomass, changes.LimitBiomass}};
  for (const auto& [selector, choice] : steps) {
    if (choice) ChangeSelector(next, selector, *choice, mark);
  }
  state = std::move(next);
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
