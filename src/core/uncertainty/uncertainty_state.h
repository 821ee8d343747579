#pragma once

// The bootstrap of the chosen variant as a change of the assessment.

#include "assessment_state.h"
#include "estimation/search_engine.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::uncertainty {

// Bootstraps the chosen variant's record (estimation::ChosenVariant) as it
// is now (the search's values, or the refined ones it adopted) by
// BootstrapProcedure within `bounds`, the bounds of its search, and stores
// the result as state.Uncertainty (ClearUncertainty first). The forecast is
// cleared as well: the report it was drawn with lacks the intervals. Reads
// the series and the records only; the random source is never touched.
// Raises tarvik::Error when no model is chosen and as BootstrapProcedure
// (Cancelled on a stop); the state is then as it was.
void EstimateUncertainty(AssessmentState& state, const estimation::ParameterBounds& bounds,
                         const BootstrapOptions& options);

}  // namespace tarvik::uncertainty
