#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "data/data_table.h"
#include "estimation/parameter_search.h"
#include "model/model_fit.h"
#include "model/random.h"

namespace tarvik::estimation {

// How the retrospective analysis runs.
struct RetrospectiveOptions {
  int MaxFailures = 1000000;  // as SearchOptions: the program keeps the default
  int Threads = 0;            // 0 = every hardware thread, 1 = the sequential loop
  // The progress memo: called for each line appended ("1" … "10", then
  // "Расчёт окончен"); the memo is not cleared.
  std::function<void(const std::string& line)> OnMemoLine;
};

struct RetrospectiveRun {
  int Run = 0;                 // k = 1 … 10
  std::size_t Years = 0;       // length of the shortened series
  std::uint8_t KeepCount = 0;  // keep count its objective used
  ParameterPoint Best;         // where its search ended
  double Objective = 0.0;
  double Q = 0.0;   // q_k
  PointList Curve;  // biomass C / (q_k·E) over its years, closed by a zero point
};

// Range of Mohn's rho usually judged acceptable.
struct MohnRange {
  double Low = 0.0;
  double High = 0.0;
  bool Contains(double rho) const { return Low <= rho && rho <= High; }
};
inline constexpr MohnRange kMohnLongLived{-0.15, 0.20};
inline constexpr MohnRange kMohnShortLived{-0.22, 0.30};

// One peel of Mohn's rho: run 6 … 10 (the series without its last 1 … 5
// years) in its own last year.
struct MohnPeel {
  int Run = 0;
  int Year = 0;
  double PeelBiomass = 0.0;         // C / (q_k·E) of that year, with the run's q
  double FullBiomass = 0.0;         // C / (q·E) of that year, with the variant's fitted q
  double RelativeDifference = 0.0;  // (PeelBiomass − FullBiomass) / FullBiomass
};

// Mohn's rho of the retrospective analysis: the mean of the five relative
// differences of the peels, ρ = Σ (B_peel − B_full)/B_full / 5 (runs 6 … 10
// in order).
struct MohnRho {
  // False when a biomass is not defined (zero catch, effort or q in a peel's
  // last year); Message says where, the figures are 0.
  bool Available = false;
  std::string Message;
  double Rho = 0.0;
  std::array<MohnPeel, 5> Peels;
  bool WithinLongLived = false;   // −0.15 … 0.20
  bool WithinShortLived = false;  // −0.22 … 0.30
  // "Коэффициент Мона ρ = 0.034" with the ranges and the verdict, for the
  // memo; the short label for the chart ("ρ Мона = 0.034").
  std::string Text;
  std::string ChartLabel;
};

// Mohn's rho from the ten runs on `series` (the analysis series the runs
// were made on), the year of its first row and the analysed variant's fitted
// q. Never raises: an undefined biomass makes it unavailable.
MohnRho ComputeMohnRho(const std::array<RetrospectiveRun, 10>& runs,
                       const data::CatchEffortSeries& series, int firstYear, double fittedQ,
                       char decimalMark = '.');

struct RetrospectiveResult {
  std::array<RetrospectiveRun, 10> Runs;
  // Mohn's rho of the runs 6 … 10 against the variant's fitted q (FittedQ).
  MohnRho Mohn;
  // True when the keep count of the last search
  // exceeded the residuals of some shortened series; those runs keep every
  // residual instead.
  bool KeepCountReduced = false;
};

// Re-estimates the variant of record `fit` ten times on `series` (the
// analysis series) without its first 1 … 5 years (runs 1 … 5) and without
// its last 1 … 5 years (runs 6 … 10), with the random search of the
// parameter search (step 0.5 on the log scale, MaxFailures failures) but with
// p starting at 2.0 and bounded by 2 and 100. Start values and bounds of r,
// K, q come from the texts, read once; each run starts from the point the
// previous one ended with, drawing from `random`.
// The objective's keep count is `keepCount` (that of the last parameter
// search), lowered to the residual count of a shortened series where it
// exceeds it.
// Curves, FirstYear = year of table row 1:
//   runs 1 … 5: (FirstYear + k, 0), then (FirstYear + k + g, C[k+g] / (q_k·E[k+g]))
//               for g = 0 … n − k − 1;
//   runs 6 … 10, d = k − 5: (FirstYear + g, C[g] / (q_k·E[g])) for
//               g = 0 … n − d − 1, then (FirstYear + n − d − 1, 0).
// Mohn's rho of runs 6 … 10 is computed with the record's FittedQ.
// A bad text raises tarvik::Error before the first run, so does a series
// shorter than 8 years or a keep count of 0 (no parameter search has run);
// faults during a run raise it too.
RetrospectiveResult RunRetrospective(const data::CatchEffortSeries& series,
                                     const model::ModelFit& fit, std::uint8_t keepCount,
                                     const data::DataTable& table, const SearchTexts& texts,
                                     char decimalMark, const RetrospectiveOptions& options,
                                     model::RandomSource& random);

}  // namespace tarvik::estimation
