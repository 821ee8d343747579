#include "projection/forecast.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "common/error.h"
#include "common/numbers.h"
#include "projection/projection.h"

namespace tarvik::projection {
namespace {

int ParseYear(const std::string& text) {
  const auto year = TryParseInteger(text);
  if (!year || *year < 0 || *year > 65535) {
    throw Error("Год «" + MessageExcerpt(text) + "» не является целым числом от 0 до 65535");
  }
  return static_cast<int>(*year);
}

struct Checked {
  int FirstYear = 0;
  int LastYear = 0;
  int OriginYear = 0;
};

Checked CheckOptions(const ForecastBasis& basis, const ForecastOptions& options) {
  if (options.Variant >= basis.Context.Fits.size()) {
    throw Error("Вариант модели не выбран или не существует");
  }
  if (options.Rule >= basis.Rules.size()) throw Error("ПРП не выбрано или не существует");
  if (options.Horizon < 1 || options.Horizon > kMaxForecastHorizon) {
    throw Error("Количество лет прогноза должно быть от 1 до " +
                std::to_string(kMaxForecastHorizon) + ", задано " +
                std::to_string(options.Horizon));
  }
  const std::size_t n = basis.Series.size();
  if (n < 3) throw Error("Для прогноза нужны данные не менее чем за 3 года");
  if (options.YearTexts.size() < n) {
    throw Error("В таблице данных меньше лет, чем в ряду для анализа");
  }
  Checked c;
  c.FirstYear = ParseYear(options.YearTexts.front());
  c.LastYear = ParseYear(options.YearTexts.back());
  c.OriginYear = ParseYear(options.YearTexts[n - 1]);
  return c;
}

}  // namespace

ForecastResult Forecast(const ForecastBasis& basis, const ForecastOptions& options,
                        model::RandomSource& random) {
  const Checked years = CheckOptions(basis, options);
  const data::CatchEffortSeries& series = basis.Series;
  const std::size_t n = series.size();
  const model::ModelFit& fit = basis.Context.Fits[options.Variant];
  const rules::HarvestRule& rule = basis.Rules[options.Rule];
  const auto h = static_cast<std::uint8_t>(options.Horizon);
  const char mark = options.DecimalMark;
  const std::string ruleText = options.RuleText.empty() && options.Rule < basis.RuleNames.size()
                                   ? basis.RuleNames[options.Rule]
                                   : options.RuleText;

  ForecastResult result;
  result.Variant = options.Variant;
  result.Rule = options.Rule;
  result.Horizon = options.Horizon;
  result.AddNoise = options.AddNoise;
  result.FirstYear = years.FirstYear;
  result.LastYear = years.LastYear;
  result.OriginYear = years.OriginYear;

  // The runs, stored year-major: value of run k in year i at [i·runs + k].
  const StockProjection projection(series, basis.Context, options.Variant, rule, h,
                                   ProcessError{options.AddNoise, false});
  constexpr std::size_t runs = kForecastRuns;
  std::vector<double> biomass(static_cast<std::size_t>(h) * runs);
  std::vector<double> catches(static_cast<std::size_t>(h) * runs);
  std::array<double, kMaxForecastHorizon> b{};
  std::array<double, kMaxForecastHorizon> c{};
  for (std::size_t k = 0; k < runs; ++k) {
    // Without noise every run is the same trajectory and draws nothing.
    if (options.AddNoise || k == 0) projection.Run(random, {b.data(), h}, {c.data(), h}, {});
    for (std::size_t i = 0; i < h; ++i) {
      biomass[i * runs + k] = b[i];
      catches[i * runs + k] = c[i];
    }
  }
  auto statistics = [&](const std::vector<double>& values, std::size_t i, double& mean,
                        double& sd) {
    const double* x = values.data() + i * runs;
    double sum = 0.0;
    for (std::size_t k = 0; k < runs; ++k) sum += x[k];
    mean = sum / static_cast<double>(runs);
    double squares = 0.0;
    for (std::size_t k = 0; k < runs; ++k) squares += (x[k] - mean) * (x[k] - mean);
    sd = std::sqrt(squares / static_cast<double>(runs - 1));
  };
  result.Years.resize(h);
  result.CatchMean.resize(h);
  result.CatchSd.resize(h);
  result.BiomassMean.resize(h);
  result.BiomassSd.resize(h);
  for (std::size_t i = 0; i < h; ++i) {
    result.Years[i] = static_cast<double>(years.OriginYear) + static_cast<double>(i + 1);
    statistics(catches, i, result.CatchMean[i], result.CatchSd[i]);
    statistics(biomass, i, result.BiomassMean[i], result.BiomassSd[i]);
  }

  ForecastChart& chart = result.Chart;
  chart.Title = "Модель: " + options.ModelChoiceText + ",   ПРП: " + ruleText;
  chart.XMax = static_cast<double>(years.OriginYear + options.Horizon);
  chart.XMin = static_cast<double>(years.FirstYear);
  chart.YMin = 0.0;
  chart.YMax = 1.1 * fit.K;
  chart.Capacity = {{chart.XMin, fit.K}, {chart.XMax, fit.K}};
  chart.Bmsy = {{chart.XMin, fit.BMSY}, {chart.XMax, fit.BMSY}};
  chart.Msy = {{chart.XMin, fit.MSY}, {chart.XMax, fit.MSY}};
  for (std::size_t t = 0; t < n; ++t) {
    const double year = static_cast<double>(years.FirstYear) + static_cast<double>(t);
    chart.Biomass.push_back({year, series.U[t] / fit.Q});
    chart.Catch.push_back({year, series.C[t]});
  }
  for (std::size_t i = 0; i < h; ++i) {
    chart.Biomass.push_back({result.Years[i], RoundHalfEven(result.BiomassMean[i])});
    chart.Catch.push_back({result.Years[i], RoundHalfEven(result.CatchMean[i])});
  }
  if (options.AddNoise) {
    for (std::size_t j = 2; j <= 2 * static_cast<std::size_t>(h) + 1; ++j) {
      const std::size_t i = j / 2;  // forecast year 1 … h
      const double sign = j % 2 == 0 ? 1.0 : -1.0;
      const double year = result.Years[i - 1];
      chart.CatchInterval.push_back(
          {year, RoundHalfEven(result.CatchMean[i - 1] + sign * 1.645 * result.CatchSd[i - 1])});
      chart.BiomassInterval.push_back(
          {year,
           RoundHalfEven(result.BiomassMean[i - 1] + sign * 1.645 * result.BiomassSd[i - 1])});
    }
    for (std::size_t k = 0; k + 1 < chart.CatchInterval.size(); k += 2) {
      const double lower = RoundTo(chart.CatchInterval[k + 1].y, -1);
      result.Intervals.push_back({RoundTo(chart.CatchInterval[k].x, -1), lower > 0.0 ? lower : 0.0,
                                  RoundTo(chart.CatchInterval[k].y, -1)});
    }
  }
  for (const PointList* points :
       {&chart.Biomass, &chart.Catch, &chart.CatchInterval, &chart.BiomassInterval}) {
    for (const Point& p : *points) {
      if (!std::isfinite(p.y)) throw Error("Прогноз дал бесконечное значение");
      // The left axis reaches 1.1·K, or further when a point lies above it
      // (an observed biomass U/q, an interval end).
      chart.YMax = std::max(chart.YMax, p.y);
    }
  }

  TacReportInput& report = result.Report;
  report.Species = options.Species;
  report.Stock = options.Stock;
  report.FirstYearText = options.YearTexts.front();
  report.LastYearText = options.YearTexts.back();
  report.DataFileName = basis.DataFileName;
  report.ModelChoiceText = options.ModelChoiceText;
  report.Results = options.Results;
  report.RuleText = ruleText;
  report.Fit = fit;
  report.Rule = rule;
  report.Horizon = options.Horizon;
  report.AddNoise = options.AddNoise;
  report.CatchInterval = chart.CatchInterval;
  report.Biomass = chart.Biomass;
  report.Catch = chart.Catch;
  report.DecimalMark = mark;
  report.UncertaintyLines = basis.UncertaintyLines;
  result.ReportLines = ScreenReportLines(report);
  result.TableLines = ScreenTableLines(report);
  return result;
}


SensitivityResult RunSensitivityAnalysis(const ForecastBasis& basis, ForecastOptions options,
                                         SensitivityParameter parameter, int stepPercent) {
  if (stepPercent < 5 || stepPercent > 50) {
    throw Error("Приращение параметра должно быть от 5 до 50 %, задано " +
                std::to_string(stepPercent));
  }
  options.AddNoise = false;
  SensitivityResult result;
  // Without noise the forecast draws nothing.
  model::RandomSource unused;
  result.Forecast = Forecast(basis, options, unused);
  const std::uint8_t v = options.Variant;
  const auto h = static_cast<std::uint8_t>(options.Horizon);
  const rules::HarvestRule rule = basis.Rules[options.Rule];

  // The changed value stands in a copy of the records, never in the records.
  std::vector<model::ModelFit> fits(basis.Context.Fits.begin(), basis.Context.Fits.end());
  const rules::RuleContext changed{fits, basis.Context.LastEffort};
  double* field = nullptr;
  switch (parameter) {
    case SensitivityParameter::R:
      field = &fits[v].R;
      break;
    case SensitivityParameter::K:
      field = &fits[v].K;
      break;
    case SensitivityParameter::Q:
      field = &fits[v].Q;
      break;
  }
  if (field == nullptr) throw Error("Неизвестный параметр анализа чувствительности");
  const double p0 = *field;
  const double step = static_cast<double>(stepPercent) / 100.0;

  *field = (1.0 - step) * p0;
  const ProjectionResult lower = ProjectStock(basis.Series, h, changed, v, rule, false, false, unused);
  *field = (1.0 + step) * p0;
  const ProjectionResult upper = ProjectStock(basis.Series, h, changed, v, rule, false, false, unused);

  const ForecastChart& chart = result.Forecast.Chart;
  const std::size_t last = basis.Series.size() - 1;  // the last observed point
  const double startYear = static_cast<double>(result.Forecast.OriginYear);
  result.BiomassLower = {{startYear, chart.Biomass[last].y}};
  result.BiomassUpper = {{startYear, chart.Biomass[last].y}};
  result.CatchLower = {{startYear, chart.Catch[last].y}};
  result.CatchUpper = {{startYear, chart.Catch[last].y}};
  for (std::size_t i = 0; i < h; ++i) {
    const double year = startYear + 1.0 + static_cast<double>(i);
    result.BiomassLower.push_back({year, lower.Biomass[i]});
    result.BiomassUpper.push_back({year, upper.Biomass[i]});
    result.CatchLower.push_back({year, lower.Catch[i]});
    result.CatchUpper.push_back({year, upper.Catch[i]});
  }
  return result;
}

}  // namespace tarvik::projection
