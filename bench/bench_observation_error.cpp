// The observation-error estimator: Schaefer, Fox and Pella-Tomlinson fitted
// to the 30-year simulated example within the bounds the estimation page
// starts with (r 0 … 1, K from the largest catch to 100 times it), with
// B₁ = K and with B₁/K estimated; one thread.
//
// Run: build/bench/bench_observation_error [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <array>

#include "estimation/observation_error.h"
#include "page_fits.h"

namespace {

using namespace tarvik;

const data::CatchEffortSeries& Simulated() {
  return bench::SimulatedExample();
}

estimation::ObservationErrorOptions PageOptions(bool estimateB1) {
  estimation::ObservationErrorOptions options;
  options.EstimateB1 = estimateB1;
  options.Bounds = bench::PageBounds(Simulated());
  return options;
}

void BM_FitThreeKinds(benchmark::State& bench) {
  const estimation::ObservationErrorOptions options = PageOptions(bench.range(0) != 0);
  std::array<estimation::ObservationErrorFit, 3> fits;
  for (auto _ : bench) {
    fits = estimation::FitObservationErrorModels(Simulated(), options);
    benchmark::DoNotOptimize(fits.data());
  }
  bench.counters["schaefer_msy"] = fits[0].MSY;
  bench.counters["evaluations"] =
      static_cast<double>(fits[0].Evaluations + fits[1].Evaluations + fits[2].Evaluations);
}
BENCHMARK(BM_FitThreeKinds)->ArgName("b1k_free")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
