#pragma once

// What a decision table of the assessment is made with, and what it keeps
// beside the table (the transition that makes it: assessment/decision_table.h).

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

namespace tarvik::uncertainty {

// What the table is made with.
struct DecisionRequest {
  std::vector<CatchOptionEntry> Entries = DefaultCatchOptionEntries();
  double Risk = kDefaultRisk;  // the criterion's threshold, 0 < p < 1
  RiskCriterion Criterion = RiskCriterion::BelowBlim;
  double ProcessSigma = kDefaultProcessSigma;  // σ_p of the projections
  ProcessErrorSource ProcessSource = ProcessErrorSource::Default;
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

// The state-space estimator's σ_p for the variant's kind on the same series,
// shown beside the setting and never used by itself: on 20–30-year series
// it falls towards 0 and would understate the risk.
struct ProcessSigmaReference {
  bool Available = false;
  double Value = 0.0;
  bool HasInterval = false;  // the Hessian gave a standard error
  double Lower = 0.0, Upper = 0.0;
  double Level = 0.90;
  std::string Reason;  // why it is not available
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
  ProcessSigmaReference StateSpaceSigma;
};

}  // namespace tarvik::uncertainty
