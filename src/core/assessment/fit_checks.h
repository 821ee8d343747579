#pragma once

// The checks of a fit that read the assessment and change at most its random
// stream: the hold-out comparison, the objective surface and the
// retrospective analysis, each on the state's series and records.

#include <cstddef>

#include "assessment/state.h"
#include "data/data_table.h"
#include "estimation/holdout.h"
#include "estimation/retro_analysis.h"
#include "estimation/surface.h"

namespace tarvik::estimation {

// HoldOutCheck of the active variants on state.AnalysisSeries. Reads the
// state only.
HoldOutResult HoldOutCheck(const AssessmentState& state, const data::DataTable& table,
                           int heldOutYears, char decimalMark);

// ComputeObjectiveSurface of record `variant` on state.AnalysisSeries, for
// state.DataFileName. Reads the state only: the record and
// state.MedianKeepCount stay those of the search.
SurfaceGrids ComputeObjectiveSurface(const AssessmentState& state, std::size_t variant,
                                     int trimPosition, const SurfaceOptions& options = {});

// Transition: RunRetrospective of record `variant` on state.AnalysisSeries
// with state.MedianKeepCount, continuing the state's random stream, which
// moves on when all ten runs are done. The records are not changed: it
// invalidates nothing. An unknown variant and every fault raise
// tarvik::Error and leave the state, its random stream too, as it was.
RetrospectiveResult RunRetrospective(AssessmentState& state, const data::DataTable& table,
                                     std::size_t variant, const SearchTexts& texts,
                                     char decimalMark, const RetrospectiveOptions& options);

}  // namespace tarvik::estimation

namespace tarvik::diagnostics {

// The series a variant of `state` is diagnosed on: the analysis series with
// FirstYear set to the year of the table's first row (the analysis series
// itself carries none), so that the residuals are labelled by their years.
// Raises tarvik::Error when that year cannot be read.
data::CatchEffortSeries DiagnosedSeries(const AssessmentState& state);

}  // namespace tarvik::diagnostics
