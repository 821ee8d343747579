#pragma once

// The state-space estimator in the assessment: its fits of the analysis
// series kept in the state (AssessmentState::StateSpace) and their adoption
// into a variant's record, the way observation-error estimates are adopted.

#include <cstddef>
#include <optional>
#include <string>

#include "assessment/state.h"
#include "common/progress.h"
#include "estimation/state_space.h"
#include "model/kinds.h"

namespace tarvik::estimation {

// Transition «Оценить» of «Модель пространства состояний»: the fits of
// Schaefer, Fox and Pella-Tomlinson on state.AnalysisSeries with `options`
// (FitStateSpace kind by kind) replace state.StateSpace, the options with
// them. What was made from the older fits goes: when the chosen variant holds
// adopted state-space values, its intervals, forecast and decision table
// (the values themselves stay, as adopted). The random stream does not move.
// `progress` (when set) hears (k, 3) after the k-th kind. Raises
// tarvik::Error, changing nothing, before the suitability check (no analysis
// series) and as FitStateSpace.
void EstimateStateSpace(AssessmentState& state, const StateSpaceOptions& options,
                        const ProgressCallback& progress = {});

// The fit of `kind` in the state, or nullptr before «Оценить».
const StateSpaceFit* StateSpaceFitOf(const AssessmentState& state,
                                     model::ProductionModelKind kind);

// Why the state-space estimates of its model kind cannot be adopted into
// record `index` as the state is now, or nothing when they can: no such
// record, the record not searched yet, no fit (or one of another kind), a
// value that is not a finite positive number, the optimiser not converged,
// the Hessian of the objective not positive definite, the record's objective
// not computable at that point, or already adopted. The one test behind
// «Принять оценки модели пространства состояний» and AdoptStateSpace.
std::optional<std::string> StateSpaceAdoptionRefusal(const AssessmentState& state,
                                                     std::size_t index);

// Transition «Принять оценки модели пространства состояний»: writes the
// fit's r, K, q (and p for Pella-Tomlinson) into record `index` with
// WriteFit (origin StateSpace); σ_p, σ_o and φ have no place in the record.
// The record's ObjectiveValue becomes the record's own objective evaluated at
// the adopted point. Its reference points and everything after them are
// invalidated (ClearReferencePoints); the model choice stays. Raises
// tarvik::Error with the refusal's reason, changing nothing, when it cannot
// be adopted.
void AdoptStateSpace(AssessmentState& state, std::size_t index);

// Whether record `index` holds adopted state-space estimates (until a new
// search of the record or a rebuild of the variants).
bool HoldsStateSpace(const AssessmentState& state, std::size_t index);

}  // namespace tarvik::estimation
