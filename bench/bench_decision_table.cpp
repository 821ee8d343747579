// The decision table: 9 catch options (the default seven multiples of MSY,
// the current catch and a TAC of 0.9·MSY) × the 1000 bootstrap replicates
// of the 30-year simulated example × 10 years on two threads, with process
// error, and the search for the largest catch at 5 % risk; for the
// procedure's Schaefer sum-of-squares variant (CPUE step, from the
// objective's minimum within the estimation page's bounds) and the
// observation-error Schaefer fit (biomass balance). The bootstraps are made
// once, outside the timing. Target: under 0.5 s on the 2-core machine.
//
// Run: build/bench/bench_decision_table [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <optional>

#include "assessment/uncertainty.h"
#include "estimation/observation_error.h"
#include "page_fits.h"
#include "uncertainty/bootstrap.h"
#include "uncertainty/decision_table.h"

namespace {

using namespace tarvik;
using model::ObjectiveKind;
using model::ProductionModelKind;

constexpr int kThreads = 2;

const data::CatchEffortSeries& Simulated() {
  return bench::SimulatedExample();
}

uncertainty::BootstrapOptions Options() {
  uncertainty::BootstrapOptions options;
  options.Replicates = 1000;
  options.Threads = kThreads;
  return options;
}

const uncertainty::ProjectionBasis& ProcedureBasis() {
  static const uncertainty::ProjectionBasis basis = [] {
    const estimation::ParameterBounds bounds = bench::PageBounds(Simulated());
    const auto keep = static_cast<std::uint8_t>(Simulated().size() - 2);
    const model::ModelFit fit = bench::VariantMinimum(Simulated(), ProductionModelKind::Schaefer,
                                                      ObjectiveKind::SumOfSquares, bounds, keep);
    return uncertainty::ProcedureBasis(
        Simulated(), uncertainty::BootstrapProcedure(Simulated(), fit, bounds, keep, Options()));
  }();
  return basis;
}

const uncertainty::ProjectionBasis& ObservationErrorBasis() {
  static const uncertainty::ProjectionBasis basis = [] {
    estimation::ObservationErrorOptions fitOptions;
    fitOptions.Bounds = bench::PageBounds(Simulated());
    const estimation::ObservationErrorFit fit =
        estimation::FitObservationError(Simulated(), ProductionModelKind::Schaefer, fitOptions);
    return uncertainty::ObservationErrorBasis(
        Simulated(),
        uncertainty::BootstrapObservationError(Simulated(), fit, fitOptions, Options()), fit);
  }();
  return basis;
}

void Run(benchmark::State& bench, const uncertainty::ProjectionBasis& basis) {
  const std::vector<uncertainty::CatchOption> options =
      uncertainty::ResolveCatchOptions(uncertainty::DefaultCatchOptionEntries(), basis.PointMsy,
                                       basis.LastCatch, 0.9 * basis.PointMsy);
  uncertainty::DecisionTableOptions settings;
  settings.Horizon = 10;
  settings.Threads = kThreads;
  uncertainty::DecisionTable table;
  for (auto _ : bench) {
    table = uncertainty::BuildDecisionTable(basis, options, settings);
    benchmark::DoNotOptimize(table.Rows.data());
  }
  bench.counters["options"] = static_cast<double>(table.Rows.size());
  bench.counters["replicates"] = table.ReplicatesUsed;
  bench.counters["max_catch"] = table.MaxCatch.Catch;
  bench.counters["max_catch_msy"] = table.MaxCatch.Catch / basis.PointMsy;
}

void BM_ProcedureCpueStep(benchmark::State& bench) {
  Run(bench, ProcedureBasis());
}
BENCHMARK(BM_ProcedureCpueStep)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ObservationErrorBalance(benchmark::State& bench) {
  Run(bench, ObservationErrorBasis());
}
BENCHMARK(BM_ObservationErrorBalance)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
