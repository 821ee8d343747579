#pragma once

// The refinement of the searched variants as the assessment holds it: the
// convergence check of the active variants and the adoption of refined
// values into a record.

#include <cstddef>
#include <optional>
#include <string>

#include "assessment/state.h"
#include "estimation/refinement.h"

namespace tarvik::estimation {

// RefineVariant for every index of state.ActiveVariants on
// state.AnalysisSeries with state.MedianKeepCount (what the last search ran
// with), the variants spread over `threads` threads (0 = every hardware
// thread; the results are the same for any count). Reads the state only.
RefinementReport RefineActiveVariants(const AssessmentState& state, const ParameterBounds& bounds,
                                      char decimalMark = '.', int threads = 0);

// Why the refinement `refinement` cannot be adopted into the record it
// belongs to as that record is now, or nothing when it can: not available,
// already adopted, made for other values than the record holds (a newer
// search), or not below the search's value. The one test behind
// «Принять уточнённые значения» and AdoptRefinement.
std::optional<std::string> AdoptionRefusal(const AssessmentState& state,
                                           const VariantRefinement& refinement);

// Transition «Принять уточнённые значения»: writes the refined r, K, q, (p
// for Pella-Tomlinson) and objective value into the record refinement.Index
// with WriteFit (origin Refinement). A new fit of the variant: its reference
// points and everything after them are invalidated (ClearReferencePoints);
// the model choice stays. Raises tarvik::Error with AdoptionRefusal's reason,
// changing nothing, when it cannot be adopted.
void AdoptRefinement(AssessmentState& state, const VariantRefinement& refinement);

// Whether the record `index` holds values adopted from a refinement (its
// origin is Refinement; a new search of the record or a rebuild of the
// variants ends that).
bool IsRefined(const AssessmentState& state, std::size_t index);

}  // namespace tarvik::estimation
