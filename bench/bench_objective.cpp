// Cost of one objective evaluation, the inner loop of the parameter search.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/objective.h"
#include "model/random.h"

namespace {

using tarvik::model::ObjectiveKind;
using tarvik::model::ProductionModelKind;

struct Series {
  std::vector<double> U, C;
};

Series MakeSeries(int n) {
  tarvik::model::RandomSource random(7);
  Series s;
  const double r = 0.4, K = 5000.0, q = 0.001;
  double B = K;
  for (int t = 0; t < n; ++t) {
    const double c = B * (0.1 + 0.3 * random.RandomReal());
    s.U.push_back(q * B * std::exp(random.RandomGauss(0.0, 0.1)));
    s.C.push_back(c);
    B = std::max(B + r * B * (1 - B / K) - c, 50.0);
  }
  return s;
}

void BM_EvaluateObjective(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto kind = static_cast<ProductionModelKind>(state.range(1));
  const auto objective = static_cast<ObjectiveKind>(state.range(2));
  const Series s = MakeSeries(n);
  const auto keep = tarvik::model::KeepCountFor(n, 0);
  double r = 0.41;
  for (auto _ : state) {
    r += 1e-9;  // a new point each call, as in the search
    benchmark::DoNotOptimize(tarvik::model::EvaluateObjective(s.U, s.C, objective, kind, r,
                                                              5300.0, 0.00097, 1.7, keep));
  }
}

void Arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"n", "kind", "objective"});
  for (int n : {22, 100})
    for (int kind = 0; kind < 3; ++kind)
      for (int objective = 0; objective < 3; ++objective) b->Args({n, kind, objective});
}

BENCHMARK(BM_EvaluateObjective)->Apply(Arguments);

}  // namespace

BENCHMARK_MAIN();
