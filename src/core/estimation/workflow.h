#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assessment_state.h"
#include "data/data_file.h"
#include "data/suitability.h"
#include "estimation/parameter_search.h"

namespace tarvik::estimation {

// What a user does from a fresh start up to «Оценка параметров», as settings.
struct FreshStartRequest {
  std::string DataFile;          // path (UTF-8)
  char DecimalMark = '.';        // the locale's decimal mark
  std::string CutOffList = "4";  // Edit11
  int TrimPosition = 0;          // TrackBarMedWin, 0 … 9
  // ModelFits indices left ticked; nothing = all.
  std::optional<std::vector<std::size_t>> TickedVariants;
  // Texts typed over the page's start values r, K, q and bounds rmin, rmax,
  // Kmin, Kmax, qmin, qmax; an empty text keeps what the page shows.
  std::array<std::string, 3> StartTexts;
  std::array<std::string, 6> BoundTexts;
  // CheckBox4 «Выбор модели» ticked with SpinEdit1 = HoldOutYears; 0 = unticked.
  int HoldOutYears = 0;
};

struct FreshStart {
  data::DataFile File;               // what «Открыть» read
  data::TabSheet2Decision PageShow;  // the first showing of the estimation page
  data::SuitabilityResult Check;     // the check whose series the search ran on
  EstimationRequest Request;         // the texts and settings of the click
  EstimationOutcome Estimation;
};

// The fresh-start workflow on `state` (a new AssessmentState):
//   1. «Открыть»: BuildModelFits(CutOffList), then the data file is read into
//      the table, state.LoadedSeries and state.DataFileName;
//   2. the estimation page is shown (data::TabSheet2Show: the suitability
//      check on every year, K start value and bounds as texts);
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

// The model choice in cbb1 (label as VariantLabels gives it): leaves exactly
// that variant active and, when `request.HoldOutYears` > 0, refits it as
// ModelChoiceOutcome describes. An unknown label raises tarvik::Error and
// changes nothing.
ModelChoiceOutcome ChooseModelAndRefit(AssessmentState& state, const data::DataTable& table,
                                       std::string_view label, const EstimationRequest& request,
                                       const SearchOptions& options);

}  // namespace tarvik::estimation
