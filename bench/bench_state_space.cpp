// The state-space estimator: Schaefer, Fox and Pella–Tomlinson fitted by the
// Laplace approximation to the 30-year simulated example (every start, the
// observation-error fits that give the first ones, the Hessian, the
// intervals and the one-step-ahead residuals), with B₁ = K and with B₁/K
// estimated; and one evaluation of the objective with its exact gradient;
// one thread.
//
// Run: build/bench/bench_state_space [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <array>

#include "estimation/state_space.h"
#include "page_fits.h"

namespace {

using namespace tarvik;

const data::CatchEffortSeries& Simulated() {
  return bench::SimulatedExample();
}

void BM_FitThreeKinds(benchmark::State& bench) {
  estimation::StateSpaceOptions options;
  options.EstimateB1 = bench.range(0) != 0;
  std::array<estimation::StateSpaceFit, 3> fits;
  for (auto _ : bench) {
    fits = estimation::FitStateSpaceModels(Simulated(), options);
    benchmark::DoNotOptimize(fits.data());
  }
  bench.counters["schaefer_nll"] = fits[0].Objective;
  bench.counters["evaluations"] =
      static_cast<double>(fits[0].Evaluations + fits[1].Evaluations + fits[2].Evaluations);
}
BENCHMARK(BM_FitThreeKinds)->ArgName("b1k_free")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ObjectiveAndGradient(benchmark::State& bench) {
  estimation::StateSpaceParameters x;
  x.r = 0.6;
  x.K = 1000.0;
  x.q = 0.0075;
  x.SigmaP = 0.05;
  x.SigmaO = 0.08;
  const auto kind = static_cast<model::ProductionModelKind>(bench.range(0));
  estimation::StateSpaceLaplace value;
  for (auto _ : bench) {
    value = estimation::EvaluateStateSpace(Simulated(), kind, {}, x);
    benchmark::DoNotOptimize(value.Objective);
  }
}
BENCHMARK(BM_ObjectiveAndGradient)->ArgName("kind")->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
