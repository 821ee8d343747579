#pragma once

// The observation-error estimator in the assessment: its fits of the analysis
// series kept in the state (AssessmentState::ObservationError) and their
// adoption into a variant's record, the way refined values are adopted.

#include <cstddef>
#include <optional>
#include <string>

#include "assessment/state.h"
#include "common/progress.h"
#include "estimation/observation_error.h"
#include "model/kinds.h"

namespace tarvik::estimation {

// Transition «Оценить»: the fits of Schaefer, Fox and Pella-Tomlinson on
// state.AnalysisSeries with `options` (FitObservationErrorModels) replace
// state.ObservationError; what was made from the old fits is cleared
// (ClearObservationError); nothing else changes (the random stream neither).
// `progress` (when set) hears (k, 3) after the k-th kind. Raises
// tarvik::Error, changing nothing, before the suitability check (no analysis
// series) and as FitObservationErrorModels.
void EstimateObservationError(AssessmentState& state, const ObservationErrorOptions& options,
                              const ProgressCallback& progress = {});

// The fit of `kind` in the state, or nullptr before «Оценить».
const ObservationErrorFit* ObservationErrorFitOf(const AssessmentState& state,
                                                 model::ProductionModelKind kind);

// Why the observation-error estimates of its model kind cannot be adopted
// into record `index` as the state is now, or nothing when they can: no such
// record, the record not searched yet, no fit (or one of another kind), the
// optimiser not converged, an infeasible fit, the record's objective not
// computable at that point, or already adopted. The one test behind
// «Принять оценки модели ошибки наблюдения» and AdoptObservationError.
std::optional<std::string> ObservationErrorAdoptionRefusal(const AssessmentState& state,
                                                           std::size_t index);

// Transition «Принять оценки модели ошибки наблюдения»: writes the fit's r,
// K, q (and p for Pella-Tomlinson) into record `index` with WriteFit (origin
// ObservationError). φ = B₁/K has no place in the record and is dropped. The
// record's ObjectiveValue becomes the record's own objective (kind,
// objective, keep count) evaluated at the adopted point, so that L stays the
// value of the variant's objective at its r, K, q. Its reference points and
// everything after them are invalidated (ClearReferencePoints); the model
// choice stays. Raises tarvik::Error with the refusal's reason, changing
// nothing, when it cannot be adopted.
void AdoptObservationError(AssessmentState& state, std::size_t index);

// Whether record `index` holds adopted observation-error estimates (until a
// new search of the record or a rebuild of the variants).
bool HoldsObservationError(const AssessmentState& state, std::size_t index);

}  // namespace tarvik::estimation
