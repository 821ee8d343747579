#pragma once

// The variants of an assessment as it holds them: built for a cut-off list,
// ticked and unticked, and the model choice with its one query.

#include <cstddef>
#include <optional>
#include <string_view>

#include "assessment/state.h"
#include "estimation/variants.h"

namespace tarvik::estimation {

// Rebuilds ModelFits for the cut-off list text (the results panel's creation):
// resizes the array to 3 × VariantsPerModel records (records that already
// exist keep their fitted values, but their origin becomes None: they may
// stand for other variants now), enables every variant and sets Kind,
// Objective and, for the median slots, CutOff. Stores the parsed list in
// state.CutOffValues and rebuilds ActiveVariants (every index). A bad list
// raises tarvik::Error and changes nothing; so does a list that would give
// more than 255 variants (indices are 8-bit). The building block of
// RebuildVariants (estimation/workflow.h), which also clears the values.
void BuildModelFits(AssessmentState& state, std::string_view cutOffList);

// A variant check box: sets Enabled of record `index` and rebuilds
// ActiveVariants. It clears nothing: the model choice stands, and the stages
// that work on the active variants see that they changed
// (refpoints::ReferencePointsCurrent). An index outside the array raises
// tarvik::Error.
void SetVariantEnabled(AssessmentState& state, std::size_t index, bool enabled);

// A model check box: sets Enabled of every variant of `kind` and rebuilds
// ActiveVariants (as SetVariantEnabled).
void SetModelEnabled(AssessmentState& state, model::ProductionModelKind kind, bool enabled);

// Transition: the model choice. Disables every variant except the one
// labelled `label`, which is enabled, so that ActiveVariants holds exactly
// its index, and stores the label as state.ModelChoiceText. Returns that
// index. The previous choice and everything after it are invalidated
// (ClearModelChoice). An unknown label raises tarvik::Error and changes
// nothing.
std::size_t ChooseModel(AssessmentState& state, std::string_view label);

// The chosen variant: the record state.ModelChoiceText names, or nothing
// while no model is chosen (or the label names no record). The one
// definition every stage after the model choice uses.
std::optional<std::size_t> ChosenVariant(const AssessmentState& state);

}  // namespace tarvik::estimation
