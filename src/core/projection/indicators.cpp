#include "projection/indicators.h"

#include <array>
#include <cmath>
#include <string>

#include "common/error.h"
#include "common/numbers.h"
#include "common/progress.h"
#include "data/statistics.h"
#include "model/checked.h"
#include "projection/projection.h"
#include "refpoints/reference_points.h"
#include "rules/rule_list.h"

namespace tarvik::projection {
namespace {

constexpr int kMaxHorizon = 50;

const model::ModelFit& FitAt(std::span<const model::ModelFit> fits, std::uint8_t variant) {
  if (variant >= fits.size()) {
    throw Error("Вариант модели " + std::to_string(variant) + " не существует");
  }
  return fits[variant];
}

void Emit(RuleEvaluation& result, const BootstrapOptions& options, const std::string& line) {
  result.MemoLines.push_back(line);
  if (options.OnMemoLine) options.OnMemoLine(line);
}

}  // namespace

double RuleLimitBiomass(const rules::HarvestRule& rule, const model::ModelFit& fit) {
  if (rule.Kind == rules::RuleKind::Logistic || rule.Alpha == 0.0) return 0.0;
  return (1.0 - 1.0 / rule.Alpha) * fit.BTarget;
}

void TallyRun(BootstrapTally& tally, std::span<const double> biomass,
              std::span<const double> catches, double bmsy, double limit, double cmin,
              double referenceLimit) {
  const std::size_t h = biomass.size();
  std::size_t recovery = 0;
  while (recovery < h && biomass[recovery] <= bmsy) ++recovery;
  tally.RecoveryYears += static_cast<double>(recovery);
  for (std::size_t i = 0; i < h; ++i) {
    double b = biomass[i];
    double c = catches[i];
    if (b <= 0.0) {
      b = 0.0;
      tally.ZeroBiomass += 1.0;
    }
    tally.BiomassSum += b;
    if (c <= 0.0) {
      c = 0.0;
      tally.ZeroCatch += 1.0;
    }
    tally.CatchSum += c;
    if (limit > b) tally.BelowLimit += 1.0;
    if (cmin > c) tally.BelowMinCatch += 1.0;
    if (referenceLimit > b) tally.BelowReferenceLimit += 1.0;
  }
}

RuleIndicators IndicatorsFromTally(const BootstrapTally& tally, std::size_t runs,
                                   std::size_t horizon, double bretro, double cmean) {
  const double N = static_cast<double>(runs);
  const double runYears = N * static_cast<double>(horizon);
  RuleIndicators values;
  values.RecoveryTime = RoundTo(tally.RecoveryYears / N, 0);
  values.MeanForecastBiomass = RoundTo(tally.BiomassSum / (runYears - tally.ZeroBiomass + 1.0), -1);
  values.MeanForecastCatch = RoundTo(tally.CatchSum / (runYears - tally.ZeroCatch + 1.0), -1);
  values.BiomassRatio =
      RoundTo(model::Divide(values.MeanForecastBiomass, bretro,
                            "расчёте отношения биомасс: средняя ретроспективная биомасса равна 0"),
              -1);
  values.CatchRatio =
      RoundTo(model::Divide(values.MeanForecastCatch, cmean,
                            "расчёте отношения уловов: средний наблюдённый улов равен 0"),
              -1);
  values.ProbBelowBlim = RoundTo(tally.BelowLimit / runYears, -2);
  values.ProbBelowCmin = RoundTo(tally.BelowMinCatch / runYears, -2);
  values.ProbBelowReferenceBlim = RoundTo(tally.BelowReferenceLimit / runYears, -2);
  return values;
}

double RetrospectiveBiomass(const data::CatchEffortSeries& s, const model::ModelFit& fit) {
  const std::size_t n = s.size();
  if (n < 2)
    throw Error("Для расчёта ретроспективной биомассы нужны данные не менее чем за 2 года");
  model::RandomSource unused;  // no draws without noise
  double sum = 0.0;
  for (std::size_t t = 0; t + 1 < n; ++t) {
    const double cpue =
        ProjectionStep(fit, false, {}, s.U[t], s.U[t + 1], s.C[t + 1], false, 0.0, 0.0, unused);
    sum += cpue / fit.Q;
  }
  return sum / static_cast<double>(n - 1);
}

std::uint16_t ValidateBootstrapOptions(const BootstrapOptions& options) {
  const auto runs = TryParseInteger(options.RunsText);
  if (!runs) {
    throw Error("Количество прогонов «" + MessageExcerpt(options.RunsText) +
                "» не является целым числом");
  }
  if (*runs < 1 || *runs > 65535) {
    throw Error("Количество прогонов должно быть от 1 до 65535, задано " + std::to_string(*runs));
  }
  if (options.Horizon < 1 || options.Horizon > kMaxHorizon) {
    throw Error("Прогнозный горизонт должен быть от 1 до " + std::to_string(kMaxHorizon) +
                " лет, задано " + std::to_string(options.Horizon));
  }
  return static_cast<std::uint16_t>(*runs);
}

RuleEvaluation EvaluateRulesByBootstrap(const RuleEvaluationBasis& basis,
                                        const BootstrapOptions& options,
                                        model::RandomSource& random) {
  const std::uint16_t N = ValidateBootstrapOptions(options);
  const auto h = static_cast<std::uint8_t>(options.Horizon);
  const data::CatchEffortSeries& series = basis.Series;
  const std::span<const model::ModelFit> fits = basis.Context.Fits;
  if (series.size() < 3) throw Error("Для оценки ПРП нужны данные не менее чем за 3 года");
  if (basis.Rules.empty()) throw Error("Список ПРП пуст: добавьте правило");
  if (basis.Active.empty()) throw Error("Не выбран ни один вариант модели");
  for (std::uint8_t v : basis.Active) FitAt(fits, v);
  const double Cmin = data::SeriesMin(series.C);
  const double Cmean = data::SeriesMean(series.C);
  if (Cmean == 0.0) {
    throw Error(
        "Средний наблюдённый улов равен 0: отношение прогнозного улова к "
        "ретроспективному не определено");
  }

  const IndicatorTable table =
      BuildIndicatorTable(fits, basis.Active, basis.Rules, options.DecimalMark);
  const std::size_t R = basis.Rules.size();
  const rules::RuleContext& context = basis.Context;
  // Progress in runs of all pairs.
  ProgressThrottle progress(static_cast<std::int64_t>(N) * static_cast<std::int64_t>(R) *
                                static_cast<std::int64_t>(basis.Active.size()),
                            options.OnProgress);
  std::int64_t runsDone = 0;
  std::array<double, kMaxHorizon> biomass{};
  std::array<double, kMaxHorizon> catches{};

  RuleEvaluation result;
  try {
    for (std::size_t j = 0; j < basis.Active.size(); ++j) {
      const std::uint8_t v = basis.Active[j];
      Emit(result, options, table.Cells[IndicatorRow(j, 0, R)][0]);
      for (std::size_t s = 0; s < R; ++s) {
        const std::size_t row = IndicatorRow(j, s, R);
        Emit(result, options, table.Cells[row][1]);
        const rules::HarvestRule& rule = basis.Rules[s];
        const model::ModelFit& fit = fits[v];
        const StockProjection projection(series, context, v, rule, h,
                                         ProcessError{true, options.Parametric});
        const double limit = RuleLimitBiomass(rule, fit);
        const double bmsy = fit.BMSY;
        BootstrapTally tally;
        for (std::size_t k = 0; k < N; ++k) {
          projection.Run(random, {biomass.data(), h}, {catches.data(), h}, {});
          TallyRun(tally, {biomass.data(), h}, {catches.data(), h}, bmsy, limit, Cmin, fit.BLimit);
          progress.Report(runsDone + static_cast<std::int64_t>(k + 1));
        }
        runsDone += static_cast<std::int64_t>(N);
        const double bretro = RetrospectiveBiomass(series, fit);
        if (bretro == 0.0) {
          throw Error("Средняя ретроспективная биомасса варианта «" + refpoints::VariantName(fit) +
                      "» равна 0: отношение прогнозной биомассы к ретроспективной не определено");
        }
        const RuleIndicators values = IndicatorsFromTally(tally, N, h, bretro, Cmean);

        IndicatorRowResult done;
        done.Row = row;
        done.Variant = v;
        done.Rule = s;
        done.Values = values;
        done.Cells = IndicatorCells(values, options.DecimalMark);
        if (options.OnRow) options.OnRow(done.Row, done.Cells);
        result.Rows.push_back(std::move(done));
      }
    }
  } catch (const Error& error) {
    result.ErrorMessage = error.what();
    return result;
  }
  Emit(result, options, "Расчет окончен");
  result.RuleSelectorItems = basis.RuleNames;
  result.Completed = true;
  return result;
}

}  // namespace tarvik::projection
