#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "assessment_state.h"
#include "common/point.h"
#include "data/data_table.h"
#include "estimation/holdout.h"
#include "estimation/search_engine.h"

namespace tarvik::estimation {

// Text of the model-choice list cbb1 while it offers nothing yet.
inline constexpr std::string_view kModelChoicePrompt = "Выбор модели";
// The memo's line when a computation has ended.
inline constexpr std::string_view kFinishedMemoLine = "Расчёт окончен";

// Hint of the trimming track bar TrackBarMedWin at `position` (0 … 9): the
// percentage of residuals cut off, position × 10 ("30" at 3).
std::string TrimPositionHint(int position);

// Texts of the nine edits of the group «Начальные условия», as typed (read
// with the locale's decimal mark). The K texts are set by the suitability
// check; the others have the page's defaults.
struct SearchTexts {
  std::string InitialR = "0.5";     // EditInitialR
  std::string InitialK;             // EditInitialK
  std::string InitialQ = "0.0001";  // EditInitialQ
  std::string MinR = "0";           // EditMinR
  std::string MaxR = "1";           // EditMaxR
  std::string MinK;                 // EditMinK
  std::string MaxK;                 // EditMaxK
  std::string MinQ = "0.0001";      // EditMinQ
  std::string MaxQ = "1";           // EditMaxQ
};

// The numbers of a run: the start point (p = 2.0) and the bounds (p from
// 1.01 to 10).
struct SearchSettings {
  ParameterPoint Start;
  ParameterBounds Bounds;
};

// Converts the nine texts. A text that is not a number raises tarvik::Error
// naming the edit, e.g. "Начальное значение r (EditInitialR): «0,5» не
// является числом"; so does a lower bound above its upper bound (r, K or q;
// equal bounds are allowed), naming both edits (EditMinR, EditMaxR, …).
SearchSettings ReadSearchSettings(const SearchTexts& texts, char decimalMark);

// How EstimateParameters runs and reports.
struct SearchOptions {
  // Consecutive failures that end a variant. The program always uses the
  // default; tests may shorten it.
  int MaxFailures = 1000000;
  // Threads evaluating trials: 0 = every hardware thread, 1 = the plain
  // sequential loop, at most kMaxThreads (64; more raise tarvik::Error before
  // anything changes). The results are the same bits either way.
  int Threads = 0;
  // The gauge g1: called with (position, maximum) at the start (0) and each
  // time the position grows; maximum = 100 × number of active variants.
  std::function<void(int position, int maximum)> OnProgress;
  // The memo Memo1: called with its complete new contents each time they
  // change (the model and objective names of each variant, then
  // "Расчёт окончен").
  std::function<void(const std::vector<std::string>& lines)> OnMemo;
};

// What the search ended with.
struct EstimateSummary {
  ParameterPoint Final;        // the shared best point after the last variant
  std::uint8_t KeepCount = 0;  // MedianKeepCount of the run
  int GaugeMaximum = 0;
  int GaugePosition = 0;
  std::uint64_t Evaluations = 0;  // objective evaluations in sequence order
  std::uint64_t Trials = 0;
  std::uint64_t ParallelRounds = 0;  // work of the parallel evaluation (SearchOutcome)
  std::uint64_t Discarded = 0;
  std::vector<std::string> Memo;  // the memo's final contents
};

// The parameter search (button «Оценка параметров»), on state.AnalysisSeries:
//   - rebuilds state.ActiveVariants from Enabled; none enabled raises
//     tarvik::Error ("nothing to estimate") and searches nothing;
//   - sets state.MedianKeepCount = Round((n − 2)(1 − s/10)), s = trimPosition
//     (0 … 9);
//   - searches the active variants in ascending index order with one shared
//     best point: r, K, q from settings.Start, p = 2.0; each variant starts
//     from the best point the previous one ended with (see SearchVariant);
//   - writes R, K, Q, ObjectiveValue, FittedR, FittedQ, FittedK and, for
//     Pella-Tomlinson, Exponent of each searched record.
// A fault raises tarvik::Error; records of variants finished before keep
// what was written, and state.Random is left after the failing trial.
EstimateSummary EstimateParameters(AssessmentState& state, const SearchSettings& settings,
                                   int trimPosition, const SearchOptions& options);

// The predicted CPUE curve CpueTheor of Chart7: with the final point and
// always the Schaefer shape, Û[t] = U[t−2] + (r·g)·S − (2·q)·C[t−1],
// S = U[t−1] + U[t−2], g = 1 − S/(2q)/K, for t = 2 … n − 1, each at the year
// of table row t + 1.
PointList TheoreticalCpue(const data::CatchEffortSeries& series, const data::DataTable& table,
                          const ParameterPoint& point);

// The CPUE residuals of a record against the year, for the chart of
// residuals by year: residual t − 2 of CpueResiduals (U[t] − Û[t] at the
// record's R, K, Q, Exponent) at the year of table row t + 1, t = 2 … n − 1,
// and the zero line over the same years.
struct ResidualChart {
  std::string Title;  // "Остатки по годам: " + the variant's label
  std::string XTitle = "Год";
  std::string YTitle = "Остаток улова на усилие";
  PointList Residuals;
  PointList ZeroLine;  // (first year, 0), (last year, 0)
};

// Raises tarvik::Error when the residuals cannot be computed (q = 0, K = 0,
// a fault of the model) or are not finite.
ResidualChart ResidualsByYear(const data::CatchEffortSeries& series, const data::DataTable& table,
                              const std::vector<model::ModelFit>& fits, std::size_t index);

// Position (0 … 100) and hint of a track bar of the tuning panel.
struct TrackBarSetting {
  int Position = 0;
  std::string Hint;
  bool operator==(const TrackBarSetting&) const = default;
};

// One row of the results panel.
struct VariantRow {
  std::string RText;         // r, "0.00"
  std::string KText;         // K rounded to an integer
  std::string QText;         // q, "0.000000"
  std::string LText;         // objective value, "0.000"
  std::string ExponentHint;  // hint of the variant's check box: p, "0.0"
  // Shown red: the value lies on or outside its bound (not strictly inside).
  bool ROutOfBounds = false;
  bool KOutOfBounds = false;
  bool QOutOfBounds = false;
};

// The texts of the row's r, K, q and L fields, as the forecast and the TAC
// report copy them.
inline projection::ResultEditTexts ResultTextsOf(const VariantRow& row) {
  return {row.RText, row.KText, row.QText, row.LText};
}

// The row of one record: its texts, and the red marks from the bounds of the
// run that wrote it.
VariantRow MakeVariantRow(const model::ModelFit& fit, const ParameterBounds& bounds,
                          char decimalMark);

// Everything the estimation page shows after a search.
struct EstimationDisplay {
  PointList TheoreticalCpue;
  TrackBarSetting TrackBarR;                // Round(100·r), hint r to 3 decimals
  TrackBarSetting TrackBarK;                // Round(100·K / (MaxK − MinK)), hint K to an integer
  TrackBarSetting TrackBarQ;                // Round(100·q / (MaxQ − MinQ)), hint q to 6 decimals
  std::vector<VariantRow> Rows;             // one per ModelFits record, active or not
  std::vector<std::string> ChoiceLabels;    // items of cbb1: labels of the enabled variants
  std::vector<std::uint8_t> ChoiceIndices;  // their record indices
};

// Fills the display from the state after EstimateParameters. `settings` are
// the numbers read at the start of the run (the bounds colour the values).
// A track bar whose bounds are equal (empty range) is set to position 0;
// positions are kept within 0 … 100 as the control does.
EstimationDisplay MakeEstimationDisplay(const AssessmentState& state,
                                        const SearchSettings& settings,
                                        const ParameterPoint& finalPoint,
                                        const data::DataTable& table, char decimalMark);

// One click on «Оценка параметров».
struct EstimationRequest {
  SearchTexts Texts;
  char DecimalMark = '.';
  int TrimPosition = 0;  // TrackBarMedWin, 0 … 9
  // SpinEdit1 when CheckBox4 «Выбор модели» is ticked, else 0. The analysis
  // series must then lack exactly these last years of the table.
  int HoldOutYears = 0;
};

struct EstimationOutcome {
  SearchSettings Settings;
  EstimateSummary Summary;
  EstimationDisplay Display;
  std::optional<HoldOutResult> HoldOut;  // with HoldOutYears > 0
};

// Reads the texts (a bad text raises before anything changes), checks the
// trim position and the hold-out request (N ≥ 2 and the analysis series
// being the table without its last N years — otherwise tarvik::Error before
// the search), runs EstimateParameters, the hold-out check when asked, and
// fills the display.
EstimationOutcome RunEstimation(AssessmentState& state, const data::DataTable& table,
                                const EstimationRequest& request, const SearchOptions& options);

}  // namespace tarvik::estimation
