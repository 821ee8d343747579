#pragma once

// The decision table of the chosen variant as the assessment keeps it: made
// from a bootstrap of the procedure's estimator (one handed over, or one run
// here with the given settings), the page-3 Blim and the forecast's TAC, and
// stored in AssessmentState::Decision by one transition.

#include <string>
#include <vector>

#include "assessment/state.h"
#include "uncertainty/decision_workflow.h"

namespace tarvik::uncertainty {

// Transition «Рассчитать» of the decision table, for the chosen variant
// (estimation::ChosenVariant) on state.AnalysisSeries:
//   - the bootstrap: `bootstrap` when it is one of the procedure's estimator
//     made for the record's kind, objective and r, K, q as they are now;
//     otherwise BootstrapProcedure with the request's settings and the page-3
//     Blim fraction;
//   - the options: request.Entries resolved with the point estimate's MSY, the
//     last observed catch and, when the forecast drawn is of this variant,
//     its mean catch of the first forecast year as the rule's TAC;
//   - BuildDecisionTable with the request's horizon, criterion, threshold and
//     σ_p of the process error;
//   - beside it, the state-space estimator's σ_p for the record's kind (the
//     state's fit, or one made here), shown and not used.
// Stores the result in state.Decision and returns it. Reads the state's
// random source never. Raises tarvik::Error, changing nothing, without a
// chosen model or its reference points, for bad options, and for the faults
// of the bootstrap and the table; Cancelled or DecisionTableCancelled when
// request.Stop asked to stop.
const DecisionTableResult& UpdateDecisionTable(AssessmentState& state,
                                               const DecisionRequest& request,
                                               const BootstrapResult* bootstrap = nullptr);

// The report section of the decision table the state holds
// (DecisionReportLines, catches in 10^catchUnit tonnes), or nothing when it
// holds none.
std::vector<std::string> DecisionSectionOf(const AssessmentState& state, int catchUnit,
                                           char decimalMark = '.');

}  // namespace tarvik::uncertainty
