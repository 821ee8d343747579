#pragma once

// The bootstrap of the chosen variant as a change of the assessment.

#include <cstddef>
#include <optional>

#include "assessment/state.h"
#include "estimation/search_engine.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::uncertainty {

// The bootstrap of record `index` as it is now, by the estimator its values
// came from: BootstrapObservationError of the state's observation-error fit
// of its kind when it holds adopted observation-error estimates (fitted
// again within `bounds`, with the B₁ option they were fitted with), else
// BootstrapProcedure within `bounds`. Reads the state only. Raises as those.
BootstrapResult BootstrapRecord(const AssessmentState& state, std::size_t index,
                                const estimation::ParameterBounds& bounds,
                                const BootstrapOptions& options);

// The procedure's bootstrap of record `index`: BootstrapProcedure of state.ModelFits
// on state.AnalysisSeries with state.MedianKeepCount; reads the state only
// (its random source is never touched). An index outside the records raises
// tarvik::Error.
BootstrapResult BootstrapProcedure(const AssessmentState& state, std::size_t index,
                                   const estimation::ParameterBounds& bounds,
                                   const BootstrapOptions& options);

// Bootstraps the chosen variant's record (estimation::ChosenVariant) as it
// is now (the search's values, the refined ones or the observation-error
// estimates it adopted) by BootstrapRecord within `bounds`, and stores
// the result as state.Uncertainty; what was made from the old one goes (the
// forecast, whose report carries the intervals, and the decision table). Reads
// the series and the records only; the random source is never touched.
// Raises tarvik::Error when no model is chosen and as BootstrapProcedure
// (Cancelled on a stop); the state is then as it was.
void EstimateUncertainty(AssessmentState& state, const estimation::ParameterBounds& bounds,
                         const BootstrapOptions& options);

// The upper over the lower end of the MSY interval of state.Uncertainty when
// it was made for record `index` as the record is now (its kind and r, K, q),
// for the diagnostics; nothing otherwise or when the lower end is not above 0.
std::optional<double> MsyIntervalRatioOf(const AssessmentState& state, std::size_t index);

// TruncationText of the intervals the state holds when they were made for
// record `index` as it is now; "" otherwise.
std::string IntervalTruncationOf(const AssessmentState& state, std::size_t index,
                                 char decimalMark = '.');

}  // namespace tarvik::uncertainty
