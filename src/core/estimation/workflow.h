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
#include "data/suitability_view.h"
#include "estimation/estimation_view.h"
#include "estimation/holdout.h"
#include "estimation/parameter_search.h"

namespace tarvik::estimation {

// --- The data set and the variants -----------------------------------------

// Transition: another data set in the table (a paste, the undo of one, the
// moving average of effort): the table and the series as loaded are
// replaced; the suitability check and everything after it are invalidated
// (ClearSuitability). The variants and the data file name stay.
void ReplaceDataSet(AssessmentState& state, data::DataTable table,
                    data::CatchEffortSeries loadedSeries);

// Transition: a cell typed in the table (column, row of DataTable; row 0 is
// the header). When the text differs from the cell's, the cell takes it and
// the suitability check and everything after it are invalidated
// (ClearSuitability): the next check, and so the next search, runs on what
// the table shows. The series as loaded stays (it is the file's).
void EditCell(AssessmentState& state, int column, int row, std::string text);

// Transition "Вставить": the data rows replaced by the rows of a spreadsheet
// copy (data::PasteClipboardRows), then as ReplaceDataSet. A text that does
// not paste raises tarvik::Error and changes nothing.
void PasteDataSet(AssessmentState& state, std::string_view clipboardText, char decimalMark);

// Transition: the variants rebuilt for a cut-off list (the results panel's
// creation): BuildModelFits, then ClearFits (the kept values may stand for
// other variants now; this also ends the model choice and everything after
// it). A bad list raises tarvik::Error and changes nothing.
void RebuildVariants(AssessmentState& state, std::string_view cutOffList);

// Transition «Открыть» of a data file already read (data::ReadDataFile, which
// changes nothing when it fails): the cut-off list is read first (a bad list
// raises tarvik::Error and nothing changes); then the table and the series of
// the file replace those of the state (ReplaceDataSet), DataFileName becomes
// `path` and the variants are rebuilt for the list (RebuildVariants). So no
// result of the previous data set is left.
void OpenDataSet(AssessmentState& state, const data::DataFile& file, const std::string& path,
                 std::string_view cutOffList);

// --- «Оценка параметров» ---------------------------------------------------

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
