// Bootstrap confidence intervals: 1000 replicates on two threads, for every
// variant of the procedure (model kind × objective, every residual kept)
// and the observation-error estimator of every model kind, on both
// examples: 0 the 30-year simulated one, 1 the 22-year yellowfin one. Kind
// and objective as numbered in model/kinds.h; the point estimate is the
// objective's minimum within the estimation page's bounds (r 0 … 1, K from
// the largest catch to 100 times it, q 0.0001 … 1, p 1.01 … 10); the
// observation-error fit uses the same bounds with B₁ = K. Time is the wall
// clock, CPU the time of every thread (on a busy machine CPU / 2 is nearer
// what a quiet one takes).
//
// Run: build/bench/bench_uncertainty [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdint>

#include "assessment/uncertainty.h"
#include "estimation/observation_error.h"
#include "page_fits.h"
#include "uncertainty/bootstrap.h"

namespace {

using namespace tarvik;
using model::ObjectiveKind;
using model::ProductionModelKind;

constexpr int kReplicates = 1000;
constexpr int kThreads = 2;

const data::CatchEffortSeries& Example(std::int64_t example) {
  return example == 0 ? bench::SimulatedExample() : bench::YellowfinExample();
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
  const data::CatchEffortSeries& s = Example(bench.range(0));
  const estimation::ParameterBounds bounds = bench::PageBounds(s);
  const auto keep = static_cast<std::uint8_t>(s.size() - 2);
  const model::ModelFit fit =
      bench::VariantMinimum(s, static_cast<ProductionModelKind>(bench.range(1)),
                            static_cast<ObjectiveKind>(bench.range(2)), bounds, keep);
  uncertainty::BootstrapResult result;
  for (auto _ : bench) {
    result = uncertainty::BootstrapProcedure(s, fit, bounds, keep, Options());
    benchmark::DoNotOptimize(result.Replicates.data());
  }
  Report(bench, result);
}
BENCHMARK(BM_Procedure)
    ->ArgNames({"example", "kind", "objective"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_ObservationError(benchmark::State& bench) {
  const data::CatchEffortSeries& s = Example(bench.range(0));
  estimation::ObservationErrorOptions fitOptions;
  fitOptions.Bounds = bench::PageBounds(s);
  const estimation::ObservationErrorFit fit = estimation::FitObservationError(
      s, static_cast<ProductionModelKind>(bench.range(1)), fitOptions);
  uncertainty::BootstrapResult result;
  for (auto _ : bench) {
    result = uncertainty::BootstrapObservationError(s, fit, fitOptions, Options());
    benchmark::DoNotOptimize(result.Replicates.data());
  }
  Report(bench, result);
}
BENCHMARK(BM_ObservationError)
    ->ArgNames({"example", "kind"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
