#include "assessment/refinement.h"
#include "assessment/journal.h"

#include <utility>
#include <vector>

#include "common/error.h"
#include "common/threads.h"
#include "estimation/parameter_search.h"

namespace tarvik::estimation {

using model::ProductionModelKind;

RefinementReport RefineActiveVariants(const AssessmentState& state, const ParameterBounds& bounds,
                                      char decimalMark, int threads) {
  const std::vector<std::uint8_t>& indices = state.ActiveVariants;
  for (std::uint8_t index : indices) {
    if (index >= state.ModelFits.size()) {
      throw Error("Нет варианта модели с номером " + std::to_string(index));
    }
  }
  // The variants are independent: the results do not depend on the number
  // of threads.
  std::vector<VariantRefinement> results(indices.size());
  ParallelFor(indices.size(), ThreadsFor(threads), [&](std::size_t k) {
    results[k] = RefineVariant(state.AnalysisSeries, state.ModelFits, indices[k], bounds,
                               state.MedianKeepCount, decimalMark);
  });

  RefinementReport report;
  report.MemoLines.push_back(
      "Проверка сходимости поиска: минимум целевой функции в тех же границах");
  for (VariantRefinement& v : results) {
    report.AnyNotConverged = report.AnyNotConverged || v.NotConverged;
    report.MemoLines.push_back(v.MemoLine);
    report.Variants.push_back(std::move(v));
  }
  return report;
}

std::optional<std::string> AdoptionRefusal(const AssessmentState& state,
                                           const VariantRefinement& v) {
  if (v.Index >= state.ModelFits.size()) {
    return "Нет варианта модели с номером " + std::to_string(v.Index);
  }
  const model::ModelFit& fit = state.ModelFits[v.Index];
  if (!v.Available) return "Уточнение варианта «" + v.Label + "» невозможно: " + v.Message;
  const bool pt = fit.Kind == ProductionModelKind::PellaTomlinson;
  const bool holdsRefined = fit.R == v.Point.r && fit.K == v.Point.K && fit.Q == v.Point.q &&
                            (!pt || fit.Exponent == v.Point.p) && fit.ObjectiveValue == v.Objective;
  if (holdsRefined && IsRefined(state, v.Index)) {
    return "Уточнённые значения варианта «" + v.Label + "» уже приняты";
  }
  const bool holdsSearched = fit.R == v.SearchPoint.r && fit.K == v.SearchPoint.K &&
                             fit.Q == v.SearchPoint.q && fit.Exponent == v.SearchPoint.p &&
                             fit.ObjectiveValue == v.SearchObjective;
  if (!holdsSearched) {
    return "Уточнение варианта «" + v.Label +
           "» относится к прежней оценке параметров: повторите уточнение";
  }
  if (!(v.Objective < v.SearchObjective)) {
    return "Уточнённое значение целевой функции варианта «" + v.Label +
           "» не ниже найденного поиском: принимать нечего";
  }
  return std::nullopt;
}

void AdoptRefinement(AssessmentState& state, const VariantRefinement& v) {
  assessment::StepScope scope(state);
  if (const std::optional<std::string> refusal = AdoptionRefusal(state, v)) throw Error(*refusal);
  WriteFit(state.ModelFits[v.Index], v.Point, v.Objective, model::FitOrigin::Refinement);
  assessment::Clear(state, assessment::Stage::ReferencePoints);
  scope.Commit(assessment::steps::AdoptRefinement(v));
}

bool IsRefined(const AssessmentState& state, std::size_t index) {
  return index < state.ModelFits.size() &&
         state.ModelFits[index].Origin == model::FitOrigin::Refinement;
}

}  // namespace tarvik::estimation
