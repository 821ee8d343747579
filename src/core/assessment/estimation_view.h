#pragma once

// What the estimation page shows of the assessment: the texts of a record,
// the display after a search and the mark of a record's refinement.

#include <cstddef>

#include "assessment/state.h"
#include "data/data_table.h"
#include "estimation/estimation_view.h"
#include "estimation/parameter_search.h"

namespace tarvik::estimation {

// The texts of the r, K, q and L fields of record `index` as the results
// panel shows them for the values it holds now. Raises tarvik::Error for an
// index outside the records.
projection::ResultFieldTexts ResultTextsOf(const AssessmentState& state, std::size_t index,
                                           char decimalMark);

// Fills the display from the state after EstimateParameters. `settings` are
// the numbers read at the start of the run (the bounds colour the values).
// A slider whose bounds are equal (empty range) is set to position 0;
// positions are kept within 0 … 100 as the control does.
EstimationDisplay MakeEstimationDisplay(const AssessmentState& state,
                                        const SearchSettings& settings,
                                        const ParameterPoint& finalPoint,
                                        const data::DataTable& table, char decimalMark);

// The mark of record `index` given its refinement (nothing: not refined since
// its last search). An adopted record's tip starts with the report's line
// kRefinedParametersLine, or kObservationErrorParametersLine for adopted
// observation-error estimates (whatever the refinement).
RefinementMarkView MarkOf(const AssessmentState& state, std::size_t index,
                          const VariantRefinement* refinement);

}  // namespace tarvik::estimation
