// The convergence check after «Оценка параметров»: the refinement of all
// nine variants of the yellowfin example after the full default search
// (trim 0), on one thread and on every core, and after a search with 30 %
// of the residuals trimmed (whose minima are many and narrow, so more
// starting points are tried).
//
// Run: build/bench/bench_refinement [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <string>

#include "assessment/refinement.h"
#include "assessment/search.h"
#include "assessment/state.h"
#include "estimation/refinement.h"

namespace {

using namespace tarvik;

struct Searched {
  AssessmentState state;
  estimation::ParameterBounds bounds;
};

Searched Search(int trimPosition, int maxFailures) {
  Searched s;
  estimation::FreshStartRequest request;
  request.DataFile = std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt";
  request.TrimPosition = trimPosition;
  estimation::SearchOptions options;
  options.MaxFailures = maxFailures;
  const estimation::FreshStart run = estimation::RunFreshStartEstimation(s.state, request, options);
  s.bounds = run.Estimation.Settings.Bounds;
  return s;
}

const Searched& Default() {
  static const Searched searched = Search(0, 1000000);
  return searched;
}

const Searched& Trimmed() {
  static const Searched searched = Search(3, 100000);
  return searched;
}

void BM_RefineNineVariants(benchmark::State& bench) {
  const Searched& s = Default();
  const int threads = static_cast<int>(bench.range(0));
  double schaefer = 0.0;
  for (auto _ : bench) {
    const estimation::RefinementReport report =
        estimation::RefineActiveVariants(s.state, s.bounds, '.', threads);
    benchmark::DoNotOptimize(report.Variants.data());
    schaefer = report.Variants[1].Objective;
  }
  bench.counters["schaefer_log_L"] = schaefer;
}
BENCHMARK(BM_RefineNineVariants)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefineNineTrimmedVariants(benchmark::State& bench) {
  const Searched& s = Trimmed();
  for (auto _ : bench) {
    benchmark::DoNotOptimize(estimation::RefineActiveVariants(s.state, s.bounds, '.', 0));
  }
}
BENCHMARK(BM_RefineNineTrimmedVariants)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
