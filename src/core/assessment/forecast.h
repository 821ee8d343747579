#pragma once

// The forecast of the chosen variant under the chosen rule as the assessment
// keeps it: what the TAC report is written from.

#include "assessment/state.h"
#include "projection/forecast.h"
#include "projection/projection.h"

namespace tarvik::projection {

// What a forecast on the state is drawn from (ForecastBasis): its series,
// records, rules, data file and the intervals of its bootstrap.
ForecastBasis ForecastBasisOf(const AssessmentState& state, char decimalMark);

// ProjectStock on the state: its analysis series, its records and its random
// source.
ProjectionResult ProjectStock(AssessmentState& state, std::uint8_t horizon,
                              std::uint8_t modelIndex, const rules::HarvestRule& rule,
                              bool addNoise, bool parametric);

// Transition "Построить график": 10000 projections of the chosen variant under the
// chosen rule with resampled residuals (when AddNoise), their per-year
// statistics, the chart series, the interval of the TAC (mean ± 1.645·sd,
// each end rounded to an integer), the report and the year table. Without
// noise the 10000 runs are identical and draw nothing. Bad options (unknown
// variant or rule, horizon outside 1 … 20, a year cell that is not an
// integer) raise Error before anything is computed. Draws continue
// state.Random. The state takes the forecast (state.Forecast, what the TAC
// report is written from) and the random stream as the draws left it; the
// decision table made for the old forecast's TAC goes. A failure leaves the
// state as it was.
ForecastResult BuildForecast(AssessmentState& state, const ForecastOptions& options);

// Transition "Анализ чувствительности": the forecast again without noise,
// then two noise-free projections with the parameter set to (1 − p/100)·P0
// and (1 + p/100)·P0 in the variant's record of a copy of the state (so the
// rule's Fsq target sees it too; the state's record is never changed). Every
// series starts at the last observed point of the forecast chart; points at
// OriginYear + 1 + i. stepPercent: 5 … 50. The state takes the noise-free
// forecast (state.Forecast), and the decision table made for the old
// forecast's TAC goes; a failure leaves the state as it was.
SensitivityResult RunSensitivityAnalysis(AssessmentState& state, ForecastOptions options,
                                         SensitivityParameter parameter, int stepPercent);

}  // namespace tarvik::projection
