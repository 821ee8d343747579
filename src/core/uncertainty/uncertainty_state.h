#pragma once

// The bootstrap of the chosen variant as a change of the assessment.

#include <cstddef>
#include <optional>

#include "assessment_state.h"
#include "estimation/search_engine.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::uncertainty {

// Whether `bootstrap` was made for the record `fit` as it is now: by the
// estimator its values came from, of its kind (and objective, for the
// procedure's), at its r, K and q.
bool MadeForRecord(const BootstrapResult& bootstrap, const model::ModelFit& fit);

// The bootstrap of record `index` as it is now, by the estimator its values
// came from: BootstrapObservationError of the state's observation-error fit
// of its kind when it holds adopted observation-error estimates (fitted
// again within `bounds`, with the B₁ option they were fitted with), else
// BootstrapProcedure within `bounds`. Reads the state only. Raises as those.
BootstrapResult BootstrapRecord(const AssessmentState& state, std::size_t index,
                                const estimation::ParameterBounds& bounds,
                                const BootstrapOptions& options);

// Bootstraps the chosen variant's record (estimation::ChosenVariant) as it
// is now (the search's values, the refined ones or the observation-error
// estimates it adopted) by BootstrapRecord within `bounds`, and stores
// the result as state.Uncertainty (ClearUncertainty first). The forecast is
// cleared as well: the report it was drawn with lacks the intervals. Reads
// the series and the records only; the random source is never touched.
// Raises tarvik::Error when no model is chosen and as BootstrapProcedure
// (Cancelled on a stop); the state is then as it was.
void EstimateUncertainty(AssessmentState& state, const estimation::ParameterBounds& bounds,
                         const BootstrapOptions& options);

// The upper over the lower end of the MSY interval of state.Uncertainty when
// it was made for record `index` as the record is now (its kind and r, K, q),
// for the diagnostics; nothing otherwise or when the lower end is not above 0.
std::optional<double> MsyIntervalRatioOf(const AssessmentState& state, std::size_t index);

}  // namespace tarvik::uncertainty
