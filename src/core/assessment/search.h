#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assessment/data_set.h"
#include "assessment/estimation_view.h"
#include "assessment/state.h"
#include "assessment/suitability.h"
#include "assessment/suitability_view.h"
#include "data/data_file.h"
#include "estimation/holdout.h"
#include "estimation/parameter_search.h"

namespace tarvik::estimation {

// --- «Оценка параметров» ---------------------------------------------------

// Transition: the parameter search (SearchVariants) on state.AnalysisSeries
// with the state's records and random stream, handed to the state:
//   - rebuilds state.ActiveVariants from Enabled; none enabled raises
//     tarvik::Error ("nothing to estimate") and searches nothing;
//   - sets state.MedianKeepCount = Round((n − 2)(1 − s/10)), s = trimPosition
//     (0 … 9, CheckTrimPosition);
//   - searches the active variants in ascending index order with one shared
//     best point: r, K, q from settings.Start, p = 2.0; each variant starts
//     from the best point the previous one ended with (see SearchVariant);
//   - writes each searched record with WriteFit (origin Search).
// The records written are new fits: the model choice and everything after
// it are invalidated (ClearModelChoice). All or nothing: a fault raises
// tarvik::Error and leaves the state, the random stream too, as it was.
EstimateSummary EstimateParameters(AssessmentState& state, const SearchSettings& settings,
                                   int trimPosition, const SearchOptions& options);

// One click on «Оценка параметров».
struct EstimationRequest {
  SearchTexts Texts;
  char DecimalMark = '.';
  int TrimPosition = 0;  // the trimming slider, 0 … 9
  // The number of held-out years when the hold-out option («Выбор модели»)
  // is ticked, else 0. The analysis series must then lack exactly these last
  // years of the table.
  int HoldOutYears = 0;
};

struct EstimationOutcome {
  SearchSettings Settings;
  EstimateSummary Summary;
  EstimationDisplay Display;
  std::optional<HoldOutResult> HoldOut;  // with HoldOutYears > 0
};

// Transition: reads the texts (a bad text raises before anything changes),
// checks the trim position and the hold-out request (N ≥ 2 and the analysis
// series being the table without its last N years — otherwise tarvik::Error
// before the search), refuses a ticked variant the series is too short for
// (diagnostics::TooFewYears, tarvik::Error before the search), runs EstimateParameters (which
// invalidates the model choice and everything after it), the hold-out check when asked, and fills
// the display. All or nothing: a failure leaves the state as it was.
EstimationOutcome RunEstimation(AssessmentState& state, const data::DataTable& table,
                                const EstimationRequest& request, const SearchOptions& options);

// What a user does from a fresh start up to «Оценка параметров», as settings.
struct FreshStartRequest {
  std::string DataFile;          // path (UTF-8)
  char DecimalMark = '.';        // the locale's decimal mark
  std::string CutOffList = "4";  // the cut-off list of the median slots
  int TrimPosition = 0;          // the trimming slider, 0 … 9
  // ModelFits indices left ticked; nothing = all.
  std::optional<std::vector<std::size_t>> TickedVariants;
  // Texts typed over the page's start values r, K, q and bounds rmin, rmax,
  // Kmin, Kmax, qmin, qmax; an empty text keeps what the page shows.
  std::array<std::string, 3> StartTexts;
  std::array<std::string, 6> BoundTexts;
  // The hold-out option «Выбор модели» ticked with this many years; 0 = unticked.
  int HoldOutYears = 0;
};

struct FreshStart {
  data::DataFile File;                // what «Открыть» read
  data::EstimationPageShow PageShow;  // the first showing of the estimation page
  data::SuitabilityResult Check;      // the check whose series the search ran on
  EstimationRequest Request;          // the texts and settings of the click
  EstimationOutcome Estimation;
};

// The fresh-start workflow on `state` (a new AssessmentState):
//   1. «Открыть»: the data file is read, then OpenDataSet with CutOffList;
//   2. the estimation page is shown (data::ShowEstimationPage: the
//      suitability check on every year, K start value and bounds as texts);
//   3. with HoldOutYears = N: the box is ticked and the spin set to N, which
//      the table must allow (at least 15 years, 2 ≤ N ≤ years div 2); the
//      suitability check then runs again without the last N years, so that
//      the search never sees the years the hold-out check compares with (the
//      K texts come from that check);
//   4. the variants not in TickedVariants are unticked, the typed texts
//      replace the page's;
//   5. «Оценка параметров» (RunEstimation).
// Errors raise tarvik::Error (a bad argument before the file is read).
FreshStart RunFreshStartEstimation(AssessmentState& state, const FreshStartRequest& request,
                                   const SearchOptions& options);

// The series a click on «Оценка параметров» needs: the table without its last
// `heldOutYears` years (0 when the hold-out box is unticked). When
// state.AnalysisSeries does not have that length, the suitability check runs
// again with those years held out, and its result (new K texts, correlations,
// exponent) is returned for the page to show; otherwise nothing happens.
std::optional<data::SuitabilityResult> MatchAnalysisSeries(AssessmentState& state,
                                                           const data::DataTable& table,
                                                           int heldOutYears, char decimalMark);

struct ModelChoiceOutcome {
  std::size_t Index = 0;  // the chosen ModelFits index, the one active variant
  // With the hold-out box ticked: the search once more for the chosen variant
  // on the shortened series with the hold-out check, then the suitability
  // check on every year (the box unticked; it resets the K texts) and the
  // final search on the whole series.
  std::optional<EstimationOutcome> HoldOutRun;
  std::optional<data::SuitabilityResult> Recheck;
  std::optional<EstimationOutcome> FinalRun;
};

// Transition: the model choice in the model-choice list (label as
// VariantLabels gives it): ChooseModel and, when `request.HoldOutYears` > 0,
// the refits ModelChoiceOutcome describes, after which the variant stands
// chosen again. All or nothing: an unknown label or a failing refit raises
// tarvik::Error and leaves the state as it was.
ModelChoiceOutcome ChooseModelAndRefit(AssessmentState& state, const data::DataTable& table,
                                       std::string_view label, const EstimationRequest& request,
                                       const SearchOptions& options);

}  // namespace tarvik::estimation
