// The parameter search, the program's longest computation: the full default
// estimation (nine variants, trim 0) of the yellowfin example, sequential and
// on every core, against a straightforward implementation (arrays allocated
// per evaluation, bubble sort, logarithms of the best point recomputed every
// trial) that must give the same bits; and objective evaluations per second
// per model and objective.
//
// Run: build/bench/bench_estimation [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assessment/search.h"
#include "assessment/state.h"
#include "assessment/suitability.h"
#include "assessment/variants.h"
#include "data/data_file.h"
#include "data/suitability.h"
#include "estimation/objective_evaluator.h"
#include "estimation/parameter_search.h"
#include "estimation/search_engine.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "model/production.h"

namespace {

using namespace tarvik;
using estimation::ParameterPoint;
using model::ObjectiveKind;
using model::ProductionModelKind;

struct Example {
  data::DataFile file;
  AssessmentState state;  // after «Открыть» and the first showing of the page
  estimation::SearchSettings settings;
};

const Example& Yellowfin() {
  static const Example example = [] {
    Example e;
    estimation::BuildModelFits(e.state, "4");
    e.file = data::ReadDataFile(
        std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt", '.');
    const data::SuitabilityResult check = data::SuitabilityCheck(e.file.table, 0, '.', e.state);
    estimation::SearchTexts texts;
    texts.InitialK = check.initialKText;
    texts.MinK = check.minKText;
    texts.MaxK = check.maxKText;
    e.settings = estimation::ReadSearchSettings(texts, '.');
    return e;
  }();
  return example;
}

// ---------------------------------------------------------------------------
// The straightforward implementation, kept here only to measure against.

double NaiveObjective(const data::CatchEffortSeries& s, ObjectiveKind objective,
                      ProductionModelKind kind, double r, double K, double q, double p,
                      std::uint8_t keep) {
  const std::size_t n = s.size();
  std::vector<double> residuals(n - 2);
  for (std::size_t t = 2; t < n; ++t) {
    const double S = s.U[t - 1] + s.U[t - 2];
    const double B = S / (2.0 * q);
    const double g = model::ProductionShape(kind, B, K, p);
    const double predicted = s.U[t - 2] + r * g * S - 2.0 * q * s.C[t - 1];
    residuals[t - 2] = s.U[t] - predicted;
  }
  std::vector<double> a(residuals.size());
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = std::fabs(residuals[i]);
  const std::size_t N = a.size();
  for (std::size_t i = 1; i < N; ++i) {
    for (std::size_t j = 0; j + i < N; ++j) {
      if (a[j] > a[j + 1]) std::swap(a[j], a[j + 1]);
    }
  }
  const std::size_t c = (N - keep) / 2;
  const double D = static_cast<double>(N - 2 * c);
  double sum = 0.0;
  switch (objective) {
    case ObjectiveKind::SumOfSquares:
      for (std::size_t i = c; i < c + keep; ++i) sum += a[i] * a[i];
      return std::sqrt(sum / D);
    case ObjectiveKind::LogSumOfSquares:
      for (std::size_t i = c; i < c + keep; ++i) sum += std::log(1.0 + a[i] * a[i]);
      return std::sqrt(std::exp(sum / D) - 1.0);
    case ObjectiveKind::Median:
      for (std::size_t i = c; i < c + keep; ++i) sum += a[i];
      return sum / D;
  }
  return 0.0;
}

// Nine variants in index order from the shared best point, as written.
std::vector<model::ModelFit> NaiveEstimate(AssessmentState& state,
                                           const estimation::SearchSettings& settings) {
  const auto& b = settings.Bounds;
  ParameterPoint x = settings.Start;
  const std::uint8_t keep = model::KeepCountFor(state.AnalysisSeries.size(), 0);
  for (model::ModelFit& fit : state.ModelFits) {
    const bool pt = fit.Kind == ProductionModelKind::PellaTomlinson;
    double best =
        NaiveObjective(state.AnalysisSeries, fit.Objective, fit.Kind, x.r, x.K, x.q, x.p, keep);
    int failures = 0;
    while (failures < 1000000) {
      ++failures;
      double r = std::exp(state.Random.RandomGauss(std::log(x.r), 0.5));
      double K = std::exp(state.Random.RandomGauss(std::log(x.K), 0.5));
      double q = std::exp(state.Random.RandomGauss(std::log(x.q), 0.5));
      double p = pt ? std::exp(state.Random.RandomGauss(std::log(x.p), 0.5)) : x.p;
      if (pt) {
        if (p < 1.01) p = 1.01;
        if (p > 10.0) p = 10.0;
      }
      if (r < b.MinR) r = b.MinR;
      if (r > b.MaxR) r = b.MaxR;
      if (K < b.MinK) K = b.MinK;
      if (K > b.MaxK) K = b.MaxK;
      if (q < b.MinQ) q = b.MinQ;
      if (q > b.MaxQ) q = b.MaxQ;
      const double f =
          NaiveObjective(state.AnalysisSeries, fit.Objective, fit.Kind, r, K, q, p, keep);
      if (f < best) {
        best = f;
        x = {r, K, q, pt ? p : x.p};
        failures = 0;
      }
    }
    fit.R = x.r;
    fit.K = x.K;
    fit.Q = x.q;
    fit.ObjectiveValue = best;
    if (pt) fit.Exponent = x.p;
  }
  return state.ModelFits;
}

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// ---------------------------------------------------------------------------

void BM_FullEstimation(benchmark::State& st) {
  const int threads = static_cast<int>(st.range(0));
  std::uint64_t evaluations = 0;
  for (auto _ : st) {
    AssessmentState state = Yellowfin().state;
    estimation::SearchOptions options;
    options.Threads = threads;
    const auto summary = estimation::EstimateParameters(state, Yellowfin().settings, 0, options);
    evaluations = summary.Evaluations;
    benchmark::DoNotOptimize(state.ModelFits.data());
  }
  st.counters["evaluations"] = static_cast<double>(evaluations);
  st.counters["evals_per_s"] =
      benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullEstimation)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_FullEstimationStraightforward(benchmark::State& st) {
  std::vector<model::ModelFit> naive;
  for (auto _ : st) {
    AssessmentState state = Yellowfin().state;
    naive = NaiveEstimate(state, Yellowfin().settings);
  }
  // The same bits as the program's search.
  AssessmentState state = Yellowfin().state;
  estimation::SearchOptions options;
  options.Threads = 1;
  estimation::EstimateParameters(state, Yellowfin().settings, 0, options);
  for (std::size_t i = 0; i < naive.size(); ++i) {
    const auto& a = naive[i];
    const auto& b = state.ModelFits[i];
    if (!SameBits(a.R, b.R) || !SameBits(a.K, b.K) || !SameBits(a.Q, b.Q) ||
        !SameBits(a.ObjectiveValue, b.ObjectiveValue) || !SameBits(a.Exponent, b.Exponent)) {
      st.SkipWithError("the straightforward search gave other bits");
      return;
    }
  }
}
BENCHMARK(BM_FullEstimationStraightforward)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// One variant's search (1 000 000 failures) on one thread from the start
// values: evaluations per second as the search makes them (most trials are
// rejected before every residual is computed).
void BM_SearchOneVariant(benchmark::State& st) {
  const auto kind = static_cast<ProductionModelKind>(st.range(0));
  const auto objective = static_cast<ObjectiveKind>(st.range(1));
  const data::CatchEffortSeries& s = Yellowfin().state.AnalysisSeries;
  const estimation::ObjectiveEvaluator evaluator(s.U, s.C, objective, kind,
                                                 model::KeepCountFor(s.size(), 0));
  std::uint64_t evaluations = 0;
  for (auto _ : st) {
    model::RandomSource random(0);
    estimation::EngineOptions options;
    const estimation::SearchOutcome outcome = estimation::SearchVariant(
        evaluator, Yellowfin().settings.Start, Yellowfin().settings.Bounds, random, options);
    evaluations = outcome.Evaluations;
  }
  st.counters["evaluations"] = static_cast<double>(evaluations);
  st.counters["evals_per_s"] =
      benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
}

// Evaluations per second of one objective at points spread as the search's
// trials are (log-normal steps of 0.5 around the estimate).
template <bool Prepared>
void BM_Evaluate(benchmark::State& st) {
  const auto kind = static_cast<ProductionModelKind>(st.range(0));
  const auto objective = static_cast<ObjectiveKind>(st.range(1));
  const data::CatchEffortSeries& s = Yellowfin().state.AnalysisSeries;
  const std::uint8_t keep = model::KeepCountFor(s.size(), 0);
  const estimation::ObjectiveEvaluator evaluator(s.U, s.C, objective, kind, keep);
  model::RandomSource random(1);
  std::vector<ParameterPoint> points(4096);
  for (auto& x : points) {
    x = {0.3 * std::exp(random.GaussDeviate(0.5)), 2.0e6 * std::exp(random.GaussDeviate(0.5)),
         0.006 * std::exp(random.GaussDeviate(0.5)), 1.5 * std::exp(random.GaussDeviate(0.5))};
    x.p = std::max(1.01, std::min(10.0, x.p));
  }
  std::size_t i = 0;
  for (auto _ : st) {
    const ParameterPoint& x = points[i++ & 4095];
    if constexpr (Prepared) {
      benchmark::DoNotOptimize(evaluator.Evaluate(x.r, x.K, x.q, x.p));
    } else {
      benchmark::DoNotOptimize(NaiveObjective(s, objective, kind, x.r, x.K, x.q, x.p, keep));
    }
  }
  st.counters["evals_per_s"] =
      benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}

void KindsAndObjectives(benchmark::internal::Benchmark* b) {
  b->ArgNames({"kind", "objective"});
  for (int kind = 0; kind < 3; ++kind)
    for (int objective = 0; objective < 3; ++objective) b->Args({kind, objective});
}
BENCHMARK(BM_SearchOneVariant)
    ->Apply(KindsAndObjectives)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Evaluate<true>)->Name("BM_EvaluatePrepared")->Apply(KindsAndObjectives);
BENCHMARK(BM_Evaluate<false>)->Name("BM_EvaluateStraightforward")->Apply(KindsAndObjectives);

}  // namespace

BENCHMARK_MAIN();
