#include "assessment/variants.h"

#include <utility>
#include <vector>

#include "assessment/journal.h"
#include "common/error.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;

void RebuildActive(AssessmentState& state) {
  state.ActiveVariants = EnabledIndices(state.ModelFits);
}

}  // namespace

void BuildModelFits(AssessmentState& state, std::string_view cutOffList) {
  std::vector<std::uint8_t> cutOffs = ParseCutOffList(cutOffList);
  std::vector<model::ModelFit> fits = state.ModelFits;
  ShapeVariants(fits, cutOffs);
  state.ModelFits = std::move(fits);
  state.CutOffValues = std::move(cutOffs);
  RebuildActive(state);
}

void SetVariantEnabled(AssessmentState& state, std::size_t index, bool enabled) {
  if (index >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(index));
  }
  assessment::StepScope scope(state);
  state.ModelFits[index].Enabled = enabled ? 1 : 0;
  RebuildActive(state);
  scope.Commit(assessment::steps::EnableVariant(index, enabled));
}

void SetModelEnabled(AssessmentState& state, ProductionModelKind kind, bool enabled) {
  assessment::StepScope scope(state);
  for (ModelFit& fit : state.ModelFits) {
    if (fit.Kind == kind) fit.Enabled = enabled ? 1 : 0;
  }
  RebuildActive(state);
  scope.Commit(assessment::steps::EnableModel(kind, enabled));
}

std::size_t ChooseModel(AssessmentState& state, std::string_view label) {
  assessment::StepScope scope(state);
  const std::size_t chosen = VariantIndexByLabel(state.ModelFits, label);
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    state.ModelFits[i].Enabled = (i == chosen) ? 1 : 0;
  }
  RebuildActive(state);
  assessment::Clear(state, assessment::Stage::ModelChoice);
  state.ModelChoiceText = VariantLabel(state.ModelFits, chosen);
  scope.Commit(assessment::steps::ChooseModel(label, nullptr));
  return chosen;
}

std::optional<std::size_t> ChosenVariant(const AssessmentState& state) {
  if (state.ModelChoiceText.empty()) return std::nullopt;
  return FindVariantByLabel(state.ModelFits, state.ModelChoiceText);
}

}  // namespace tarvik::estimation
