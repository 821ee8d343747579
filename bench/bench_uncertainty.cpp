// Bootstrap confidence intervals: 1000 replicates of the 30-year simulated
// example on two threads, for the Schaefer model under each objective of
// the procedure and Pella-Tomlinson under the sum of squares (kind and
// objective as numbered in model/kinds.h; from the objective's minimum
// within the estimation page's bounds: r 0 … 1, K from the largest catch to
// 100 times it, q 0.0001 … 1), and for the observation-error estimator
// (Schaefer, same r and K bounds, B₁ = K).
//
// Run: build/bench/bench_uncertainty [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "estimation/observation_error.h"
#include "page_fits.h"
#include "uncertainty/bootstrap.h"

namespace {

using namespace tarvik;
using model::ObjectiveKind;
using model::ProductionModelKind;

constexpr int kReplicates = 1000;
constexpr int kThreads = 2;

const data::CatchEffortSeries& Simulated() {
  return bench::SimulatedExample();
}

estimation::ParameterBounds PageBounds() {
  return bench::PageBounds(Simulated());
}

std::uint8_t KeepAll() {
  return static_cast<std::uint8_t>(Simulated().size() - 2);
}

uncertainty::BootstrapOptions Options() {
  uncertainty::BootstrapOptions options;
  options.Replicates = kReplicates;
  options.Threads = kThreads;
  return options;
}

void Report(benchmark::State& bench, const uncertainty::BootstrapResult& result) {
  const uncertainty::Interval& msy = result.Of(uncertainty::Quantity::Msy);
  bench.counters["msy_lower"] = msy.Lower;
  bench.counters["msy_upper"] = msy.Upper;
  bench.counters["failed"] = result.Failed;
  bench.counters["at_bounds"] = result.AtBounds;
}

void BM_Procedure(benchmark::State& bench) {
  const model::ModelFit fit =
      bench::VariantMinimum(Simulated(), static_cast<ProductionModelKind>(bench.range(0)),
                            static_cast<ObjectiveKind>(bench.range(1)), PageBounds(), KeepAll());
  uncertainty::BootstrapResult result;
  for (auto _ : bench) {
    result = uncertainty::BootstrapProcedure(Simulated(), fit, PageBounds(), KeepAll(), Options());
    benchmark::DoNotOptimize(result.Replicates.data());
  }
  Report(bench, result);
}
BENCHMARK(BM_Procedure)
    ->ArgNames({"kind", "objective"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ObservationError(benchmark::State& bench) {
  estimation::ObservationErrorOptions fitOptions;
  fitOptions.Bounds = PageBounds();
  const estimation::ObservationErrorFit fit =
      estimation::FitObservationError(Simulated(), ProductionModelKind::Schaefer, fitOptions);
  uncertainty::BootstrapResult result;
  for (auto _ : bench) {
    result = uncertainty::BootstrapObservationError(Simulated(), fit, fitOptions, Options());
    benchmark::DoNotOptimize(result.Replicates.data());
  }
  Report(bench, result);
}
BENCHMARK(BM_ObservationError)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
