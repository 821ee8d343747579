// Rule optimisation sweeps on the yellowfin example: 51 piecewise-linear
// candidates and 51 × 51 logistic candidates, 1000 projections of 5 years
// each. Threads 1 is the strict sequential loop; 0 uses every processor.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "assessment/rules.h"
#include "data/data_file.h"
#include "model/model_fit.h"
#include "model/random.h"
#include "rules/optimisation.h"

namespace {

using namespace tarvik;

struct Case {
  data::CatchEffortSeries Series;
  std::vector<model::ModelFit> Fits;
};

// The Schaefer least-squares variant as `tarvik-cli estimate` fits it to the
// example (catch in thousands of pounds), with its MSY reference points.
Case YellowfinCase() {
  Case c;
  c.Series = data::ReadDataFile(
                 std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt", '.')
                 .series;
  model::ModelFit fit;
  fit.R = 0.32113970979273;
  fit.K = 1908379.49294844;
  fit.Q = 0.00585637800797426;
  fit.Kind = model::ProductionModelKind::Schaefer;
  fit.BMSY = fit.K / 2.0;
  fit.MSY = fit.R * fit.K / 4.0;
  fit.FMSY = fit.MSY / fit.BMSY;
  fit.BTarget = fit.BMSY;
  fit.FTarget = fit.FMSY;
  c.Fits = {fit};
  return c;
}

void BM_OptimiseRule(benchmark::State& state) {
  const Case c = YellowfinCase();
  const rules::RuleContext context{c.Fits, c.Series.E.back()};
  rules::OptimisationOptions options;
  options.Kind = static_cast<rules::RuleKind>(state.range(0));
  options.Threads = static_cast<unsigned>(state.range(1));
  options.Horizon = 5;
  model::RandomSource random;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rules::OptimiseRule(c.Series, context, options, random));
  }
}

BENCHMARK(BM_OptimiseRule)
    ->ArgNames({"kind", "threads"})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);
BENCHMARK(BM_OptimiseRule)
    ->ArgNames({"kind", "threads"})
    ->Args({2, 1})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
