#pragma once

// The decision table of the chosen variant as the assessment keeps it: made
// from a bootstrap of the procedure's estimator (one handed over, or one run
// here with the given settings), the page-3 Blim and the forecast's TAC, and
// stored in AssessmentState::Decision by one transition.

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "estimation/search_engine.h"
#include "model/model_fit.h"
#include "uncertainty/bootstrap.h"
#include "uncertainty/catch_options.h"
#include "uncertainty/decision_table.h"

namespace tarvik {
struct AssessmentState;
}

namespace tarvik::uncertainty {

// What the table is made with.
struct DecisionRequest {
  std::vector<CatchOptionEntry> Entries = DefaultCatchOptionEntries();
  double Risk = kDefaultRisk;  // 0 < p < 1
  int Horizon = 5;             // 1 … kMaxDecisionHorizon
  // The bootstrap run when none is handed over: replicates, seed, level and
  // the bounds of the refits (those of the search).
  int Replicates = kDefaultReplicates;
  std::uint64_t Seed = 1;
  int Level = 90;
  estimation::ParameterBounds Bounds;
  long long Threads = 0;  // as ThreadsFor; the result does not depend on it
  char DecimalMark = '.';
  // 0 … 1000 over the bootstrap (when run) and the table; as the cores call it.
  std::function<void(int done, int total)> OnProgress;
  std::stop_token Stop;
};

// The decision table the assessment holds and what it was made with.
struct DecisionTableResult {
  DecisionTable Table;
  std::vector<CatchOptionEntry> Entries;  // the options as given
  std::uint8_t Variant = 0;               // ModelFits index of the chosen variant
  int Replicates = 0;                     // of the bootstrap
  int FailedReplicates = 0;               // left out of the table
  bool BootstrapRunHere = false;          // false: the bootstrap handed over
  Estimator Method = Estimator::Procedure;  // of the bootstrap projected
};

// The page-3 Blim of a record as a fraction of its BMSY: the item of the
// Blim selector (0.1, 0.2, 0.3, 0.5) nearest BLimit / BMSY. Raises
// tarvik::Error when the record has no positive BMSY and BLimit (the
// reference points are not computed).
double LimitFractionOf(const model::ModelFit& fit);

// Transition «Рассчитать» of the decision table, for the chosen variant
// (estimation::ChosenVariant) on state.AnalysisSeries:
//   - the bootstrap: `bootstrap` when it is one of the procedure's estimator
//     made for the record's kind, objective and r, K, q as they are now;
//     otherwise BootstrapProcedure with the request's settings and the page-3
//     Blim fraction;
//   - the options: request.Entries resolved with the point estimate's MSY, the
//     last observed catch and, when the forecast drawn is of this variant,
//     its mean catch of the first forecast year as the rule's TAC;
//   - BuildDecisionTable with the request's horizon and risk, with process
//     error.
// Stores the result in state.Decision and returns it. Reads the state's
// random source never. Raises tarvik::Error, changing nothing, without a
// chosen model or its reference points, for bad options, and for the faults
// of the bootstrap and the table; Cancelled or DecisionTableCancelled when
// request.Stop asked to stop.
const DecisionTableResult& UpdateDecisionTable(AssessmentState& state,
                                               const DecisionRequest& request,
                                               const BootstrapResult* bootstrap = nullptr);

// The report section of the decision table the state holds
// (DecisionReportLines), or nothing when it holds none.
std::vector<std::string> DecisionSectionOf(const AssessmentState& state, char decimalMark = '.');

}  // namespace tarvik::uncertainty
