// The observation-error estimator: Schaefer, Fox and Pella-Tomlinson fitted
// to the 30-year simulated example within the bounds the estimation page
// starts with (r 0 … 1, K from the largest catch to 100 times it), with
// B₁ = K and with B₁/K estimated; one thread.
//
// Run: build/bench/bench_observation_error [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "data/data_file.h"
#include "estimation/observation_error.h"

namespace {

using namespace tarvik;

const data::CatchEffortSeries& Simulated() {
  static const data::CatchEffortSeries series =
      data::ReadDataFile(
          std::string(TARVIK_SOURCE_DIR) + "/examples/schaefer_simulated_1990_2019.txt", '.')
          .series;
  return series;
}

estimation::ObservationErrorOptions PageOptions(bool estimateB1) {
  const data::CatchEffortSeries& s = Simulated();
  const double maxCatch = *std::max_element(s.C.begin(), s.C.end());
  estimation::ObservationErrorOptions options;
  options.EstimateB1 = estimateB1;
  options.Bounds.MinR = 0.0;
  options.Bounds.MaxR = 1.0;
  options.Bounds.MinK = maxCatch;
  options.Bounds.MaxK = 100.0 * maxCatch;
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
