#pragma once

// The forecast of biomass and catch under the chosen rule with the 90 %
// interval of the TAC, and the one-parameter sensitivity analysis.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "model/random.h"
#include "projection/tac_report.h"
#include "rules/harvest_rule.h"

namespace tarvik::projection {

constexpr int kForecastRuns = 10000;
constexpr int kMaxForecastHorizon = 20;

struct ForecastOptions {
  std::uint8_t Variant = 0;     // ModelFits index of the chosen variant
  std::string ModelChoiceText;  // the model-choice label ("Шефер СК")
  std::size_t Rule = 0;         // RuleList index (the chosen rule)
  std::string RuleText;         // the selector's item text; empty: the rule-list name
  int Horizon = 5;              // "Прогнозный горизонт", 1 … 20
  bool AddNoise = true;         // "Добавить шум"
  // The year cells of the data table, rows 1 … in order. The first and the
  // last give the observation period; the forecast follows the year of the
  // last row of the analysis series (the last table year unless years are
  // held out).
  std::vector<std::string> YearTexts;
  std::string Species;
  std::string Stock;
  ResultFieldTexts Results;  // the result fields of the chosen variant
  char DecimalMark = '.';
};

// The forecast chart: fixed axes and its series.
struct ForecastChart {
  std::string Title;  // "Модель: " + model choice + ",   ПРП: " + rule text
  // YMax: the larger of 1.1·K and the largest value of the series below.
  double XMin = 0.0, XMax = 0.0, YMin = 0.0, YMax = 0.0;
  PointList Capacity;         // "Ёмкость среды"
  PointList Bmsy;             // "BMSY"
  PointList Msy;              // "MSY"
  PointList Biomass;          // "Биомасса": observed, then forecast
  PointList Catch;            // "Улов / ОДУ": observed, then forecast
  PointList CatchInterval;    // "Интервал": per year upper end, then lower end
  PointList BiomassInterval;  // the biomass interval, as CatchInterval
};

// The interval estimate of the TAC of one forecast year as the report shows it.
struct TacInterval {
  double Year = 0.0;
  double Lower = 0.0;  // RoundTo(·, −1), 0 when not positive (the chart keeps the value)
  double Upper = 0.0;
};

struct ForecastResult {
  std::uint8_t Variant = 0;
  std::size_t Rule = 0;
  int Horizon = 0;
  bool AddNoise = false;
  int FirstYear = 0;   // first table year
  int LastYear = 0;    // last table year
  int OriginYear = 0;  // the year forecast year i follows: forecast year i is OriginYear + i
  // Per forecast year i = 1 … h (index i − 1), over the 10000 runs:
  // mean = Σx / 10000 in run order, sd = sqrt(Σ(x − mean)² / 9999).
  std::vector<double> Years;
  std::vector<double> CatchMean, CatchSd, BiomassMean, BiomassSd;
  ForecastChart Chart;
  std::vector<TacInterval> Intervals;    // with noise only
  std::vector<std::string> ReportLines;  // the on-screen report (first memo)
  std::vector<std::string> TableLines;   // the year table (second memo)
  TacReportInput Report;                 // what "Сохранить в файл" writes from
};

// What a forecast is drawn from: the analysis series, the records (with the
// last observed effort), the rules with their names, the data file and the
// report lines of the bootstrap intervals, when there are any.
struct ForecastBasis {
  const data::CatchEffortSeries& Series;
  rules::RuleContext Context;
  const std::vector<rules::HarvestRule>& Rules;
  const std::vector<std::string>& RuleNames;
  std::string DataFileName;
  std::vector<std::string> UncertaintyLines;
};

// "Построить график": 10000 projections of the chosen variant under the
// chosen rule with resampled residuals (when AddNoise), their per-year
// statistics, the chart series, the interval of the TAC (mean ± 1.645·sd,
// each end rounded to an integer), the report and the year table. Without
// noise the 10000 runs are identical and draw nothing. Bad options (unknown
// variant or rule, horizon outside 1 … 20, a year cell that is not an
// integer) raise Error before anything is computed. Draws from `random`.
ForecastResult Forecast(const ForecastBasis& basis, const ForecastOptions& options,
                        model::RandomSource& random);

// The parameter the sensitivity analysis varies.
enum class SensitivityParameter : std::uint8_t { R = 0, K = 1, Q = 2 };

struct SensitivityResult {
  ForecastResult Forecast;  // the forecast without noise, as on the page
  PointList BiomassLower, BiomassUpper, CatchLower, CatchUpper;
};

// "Анализ чувствительности": the forecast again without noise, then two
// noise-free projections with the parameter set to (1 − p/100)·P0 and
// (1 + p/100)·P0 in the variant's record of a copy of the records (so the
// rule's Fsq target sees it too). Every series starts at the last observed
// point of the forecast chart; points at OriginYear + 1 + i. stepPercent:
// 5 … 50. Draws nothing.
SensitivityResult RunSensitivityAnalysis(const ForecastBasis& basis, ForecastOptions options,
                                         SensitivityParameter parameter, int stepPercent);

}  // namespace tarvik::projection
