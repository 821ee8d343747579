#include "assessment/reference_points.h"
#include "assessment/journal.h"

#include <string>
#include <utility>

#include "common/error.h"
#include "common/numbers.h"

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
  assessment::StepScope scope(state);
  AssessmentState next = state;
  std::vector<ReferenceTab> tabs = BuildReferenceTabs(next);
  CalculateReferencePoints(next, selectors, tabs, mark);
  assessment::ClearDependents(next, assessment::Stage::Targets);
  next.ReferencePoints.Tabs = std::move(tabs);
  next.ReferencePoints.LimitFraction =
      LimitFraction(selectors.Blim).value_or(state.ReferencePoints.LimitFraction);
  next.ReferencePoints.ComputedFrom = ActiveFits(next);
  state = std::move(next);
  scope.Commit(assessment::steps::ReferencePoints(selectors, mark));
}

void ChangeSelector(AssessmentState& state, Selector selector, int choice, char mark) {
  assessment::StepScope scope(state);
  if (selector == Selector::LimitBiomass) {
    const std::optional<double> fraction = LimitFraction(choice);
    if (!fraction) throw Error("Выбор Blim: нет такого пункта");
    if (state.ReferencePoints.Tabs.empty()) {
      // Before the computation only the fraction changes, and what was made
      // with the previous one goes.
      AssessmentState next = state;
      next.ReferencePoints.LimitFraction = *fraction;
      assessment::ClearDependents(next, assessment::Stage::LimitBiomass);
      state = std::move(next);
      scope.Commit(assessment::steps::ChangeSelector(static_cast<int>(selector), choice, mark));
      return;
    }
  }
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
      next.ReferencePoints.LimitFraction = *LimitFraction(choice);
      // Their probabilities below Blim are of the previous Blim.
      assessment::ClearDependents(next, assessment::Stage::LimitBiomass);
      break;
  }
  assessment::ClearDependents(next, assessment::Stage::Targets);
  state = std::move(next);
  scope.Commit(assessment::steps::ChangeSelector(static_cast<int>(selector), choice, mark));
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

}  // namespace tarvik::refpoints
