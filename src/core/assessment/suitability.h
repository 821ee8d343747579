#pragma once

// The model-suitability check as a change of the assessment.

#include "assessment/state.h"
#include "data/data_table.h"
#include "data/suitability.h"

namespace tarvik::data {

// Transition: the check (CheckSuitability) on table rows 1 … n, n = data
// rows − heldOutYears, handed to the state: its series becomes
// state.AnalysisSeries, its exponent state.PTExponent and the Exponent of
// every Pella-Tomlinson record; state.SuitabilityChecked and
// state.PositiveCorrelation record it. The fits were made on another series:
// the model choice and everything after it are cleared (the records keep
// their values until the next search), and so are the observation-error fits
// when the series is another. Raises as CheckSuitability, and then leaves
// `state` unchanged.
SuitabilityResult SuitabilityCheck(const DataTable& table, int heldOutYears, char decimalMark,
                                   AssessmentState& state);

}  // namespace tarvik::data
