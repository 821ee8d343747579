// Cost of the stochastic projections: one pair of the bootstrap indicators
// (10000 runs, h = 5) and one forecast (10000 runs, h = 5), per model kind.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "assessment/forecast.h"
#include "assessment/indicators.h"
#include "assessment/reference_points.h"
#include "assessment/state.h"
#include "model/production.h"
#include "projection/forecast.h"
#include "projection/indicators.h"
#include "refpoints/reference_points.h"

namespace {

using tarvik::AssessmentState;
using tarvik::model::ProductionModelKind;

// A 22-year series simulated from a Schaefer stock with log-normal CPUE
// noise, and one variant of the given kind fitted roughly to it.
AssessmentState MakeState(ProductionModelKind kind) {
  AssessmentState state;
  tarvik::model::RandomSource random(7);
  const double r = 0.4, K = 5000.0, q = 0.001;
  double B = K;
  for (int t = 0; t < 22; ++t) {
    const double c = B * (0.1 + 0.2 * random.RandomReal());
    const double u = q * B * std::exp(random.RandomGauss(0.0, 0.05));
    state.AnalysisSeries.U.push_back(u);
    state.AnalysisSeries.C.push_back(c);
    state.AnalysisSeries.E.push_back(c / u);
    B = std::max(B + r * B * (1 - B / K) - c, 50.0);
  }
  tarvik::model::ModelFit fit;
  fit.Kind = kind;
  fit.R = kind == ProductionModelKind::Fox ? 0.25 : 0.4;
  fit.K = 5000.0;
  fit.Q = 0.001;
  fit.Exponent = 1.7;
  tarvik::refpoints::ComputeReferencePoints(fit, 0);
  tarvik::refpoints::SelectTargetBiomass(fit, 0, state.AnalysisSeries);
  tarvik::refpoints::ComputeTargetPoints(fit);
  state.ModelFits = {fit};
  state.ActiveVariants = {0};
  tarvik::rules::HarvestRule rule;
  rule.Kind = tarvik::rules::RuleKind::PiecewiseLinear;
  rule.Alpha = 0.3;
  state.RuleList = {rule};
  state.RuleNames = {"FMSY Линейно-кусочное ПРП -0.3"};
  return state;
}

void BM_BootstrapPair(benchmark::State& bench) {
  AssessmentState state = MakeState(static_cast<ProductionModelKind>(bench.range(0)));
  tarvik::projection::BootstrapOptions options;
  options.Parametric = bench.range(1) != 0;
  for (auto _ : bench) {
    const auto result = tarvik::projection::EvaluateRulesByBootstrap(state, options);
    if (!result.Completed) bench.SkipWithError(result.ErrorMessage.c_str());
    benchmark::DoNotOptimize(result.Rows.data());
  }
}

void BM_Forecast(benchmark::State& bench) {
  AssessmentState state = MakeState(static_cast<ProductionModelKind>(bench.range(0)));
  tarvik::projection::ForecastOptions options;
  options.ModelChoiceText = "Шефер СК";
  options.AddNoise = bench.range(1) != 0;
  for (int year = 1934; year < 1934 + 22; ++year) options.YearTexts.push_back(std::to_string(year));
  for (auto _ : bench) {
    const auto result = tarvik::projection::BuildForecast(state, options);
    benchmark::DoNotOptimize(result.CatchMean.data());
  }
}

BENCHMARK(BM_BootstrapPair)
    ->ArgNames({"kind", "parametric"})
    ->ArgsProduct({{0, 1, 2}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Forecast)
    ->ArgNames({"kind", "noise"})
    ->ArgsProduct({{0, 1, 2}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
