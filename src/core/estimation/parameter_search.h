#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/point.h"
#include "common/progress.h"
#include "data/catch_effort_series.h"
#include "data/data_table.h"
#include "estimation/search_engine.h"
#include "model/model_fit.h"
#include "model/random.h"

namespace tarvik::estimation {

// The progress log's line when a computation has ended.
inline constexpr std::string_view kFinishedMemoLine = "Расчёт окончен";

// The nine texts of «Начальные условия» (start point and bounds of r, K, q),
// as typed (read with the locale's decimal mark). The K texts are set by the
// suitability check; the others have the page's defaults.
struct SearchTexts {
  std::string InitialR = "0.5";
  std::string InitialK;
  std::string InitialQ = "0.0001";
  std::string MinR = "0";
  std::string MaxR = "1";
  std::string MinK;
  std::string MaxK;
  std::string MinQ = "0.0001";
  std::string MaxQ = "1";
};

// The texts a search starts with before anything is typed, in the general
// format with `decimalMark`: r 0.5 within 0 … 1, q 0.0001 within 0.0001 … 1;
// the K texts empty (the suitability check proposes them). The window's
// fields and the command line's fresh start both begin from these.
SearchTexts DefaultSearchTexts(char decimalMark);

// The numbers of a run: the start point (p = 2.0) and the bounds (p from
// 1.01 to 10).
struct SearchSettings {
  ParameterPoint Start;
  ParameterBounds Bounds;
};

// Converts the nine texts. A text that is not a number raises tarvik::Error
// naming its field and the text ("Начальное значение r … «0,5» не является
// числом"); so does a lower bound above its upper bound (r, K or q; equal
// bounds are allowed), naming both fields.
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
  // Progress: 0 at the start, then each time it grows; the total is
  // 100 × the number of active variants.
  ProgressCallback OnProgress;
  // The progress log: called with its complete new contents each time they
  // change (the model and objective names of each variant, then
  // "Расчёт окончен").
  std::function<void(const std::vector<std::string>& lines)> OnMemo;
};

// What the search ended with.
struct EstimateSummary {
  ParameterPoint Final;        // the shared best point after the last variant
  std::uint8_t KeepCount = 0;  // MedianKeepCount of the run
  int ProgressTotal = 0;
  int ProgressDone = 0;
  std::uint64_t Evaluations = 0;  // objective evaluations in sequence order
  std::uint64_t Trials = 0;
  std::uint64_t ParallelRounds = 0;  // work of the parallel evaluation (SearchOutcome)
  std::uint64_t Discarded = 0;
  std::vector<std::string> Memo;  // the progress log's final contents
};

// What one parameter search made: the records with the searched variants
// written, the variants it searched and the keep count it used.
struct SearchRun {
  std::vector<model::ModelFit> Fits;
  std::vector<std::uint8_t> Active;
  std::uint8_t KeepCount = 0;
  EstimateSummary Summary;
};

// The parameter search (button «Оценка параметров») on `series`:
//   - the variants enabled in `fits` are searched; none enabled raises
//     tarvik::Error ("nothing to estimate") and searches nothing;
//   - the keep count is Round((n − 2)(1 − s/10)), s = trimPosition (0 … 9,
//     CheckTrimPosition);
//   - the active variants are searched in ascending index order with one
//     shared best point: r, K, q from settings.Start, p = 2.0; each variant
//     starts from the best point the previous one ended with (see
//     SearchVariant), drawing from `random`;
//   - each searched record is written with WriteFit (origin Search).
// A fault raises tarvik::Error (`random` may then have moved: the caller
// hands a copy).
SearchRun SearchVariants(const data::CatchEffortSeries& series, std::vector<model::ModelFit> fits,
                         const SearchSettings& settings, int trimPosition,
                         const SearchOptions& options, model::RandomSource& random);

// The predicted CPUE curve of the tuning panel: with the final point and
// always the Schaefer shape, Û[t] = U[t−2] + (r·g)·S − (2·q)·C[t−1],
// S = U[t−1] + U[t−2], g = 1 − S/(2q)/K, for t = 2 … n − 1, each at the year
// of table row t + 1.
PointList TheoreticalCpue(const data::CatchEffortSeries& series, const data::DataTable& table,
                          const ParameterPoint& point);

// The one writer of a fitted point into a record: R, K, Q and their fitted
// copies FittedR, FittedK, FittedQ, the objective value, the exponent of a
// Pella-Tomlinson record, and where they came from.
void WriteFit(model::ModelFit& fit, const ParameterPoint& point, double objective,
              model::FitOrigin origin);

// The trim position (0 … 9, tenths of the residuals cut off) or
// tarvik::Error naming it.
void CheckTrimPosition(int trimPosition);

}  // namespace tarvik::estimation
