#include "estimation/retro_analysis.h"

#include <algorithm>
#include <span>

#include "common/error.h"
#include "common/threads.h"
#include "estimation/objective_evaluator.h"
#include "model/checked.h"

namespace tarvik::estimation {
namespace {

constexpr std::size_t kMinimumYears = 8;  // the shortest run keeps n − 5 ≥ 3 years

double Biomass(double C, double q, double E) {
  return model::Divide(C, q * E, "расчёте биомассы ретроспективного анализа");
}

}  // namespace

RetrospectiveResult RunRetrospective(AssessmentState& state, const data::DataTable& table,
                                     std::size_t variant, const SearchTexts& texts,
                                     char decimalMark, const RetrospectiveOptions& options) {
  if (variant >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(variant));
  }
  SearchSettings settings = ReadSearchSettings(texts, decimalMark);
  settings.Bounds.MinP = 2.0;
  settings.Bounds.MaxP = 100.0;
  const data::CatchEffortSeries& s = state.AnalysisSeries;
  const std::size_t n = s.size();
  if (n < kMinimumYears) {
    throw Error("Для ретроспективного анализа нужно не менее " + std::to_string(kMinimumYears) +
                " лет данных (в ряду " + std::to_string(n) + ")");
  }
  if (state.MedianKeepCount == 0) {
    // A series of 8 or more years never gives a keep count of 0: no search
    // has run yet, and the objectives would have nothing to keep.
    throw Error("Сначала выполните оценку параметров: число учитываемых остатков ещё не задано");
  }
  const int firstYear = data::CellYear(table, 1);
  const model::ModelFit& fit = state.ModelFits[variant];

  EngineOptions engine;
  engine.MaxFailures = options.MaxFailures;
  engine.Threads = ThreadsFor(options.Threads);

  RetrospectiveResult result;
  ParameterPoint current = settings.Start;
  for (int k = 1; k <= 10; ++k) {
    if (options.OnMemoLine) options.OnMemoLine(std::to_string(k));
    // Kept years [first, first + length) of the full series.
    const std::size_t first = k <= 5 ? static_cast<std::size_t>(k) : 0;
    const std::size_t length =
        k <= 5 ? n - static_cast<std::size_t>(k) : n - static_cast<std::size_t>(k - 5);
    const std::span<const double> U(s.U.data() + first, length);
    const std::span<const double> C(s.C.data() + first, length);
    const std::uint8_t keep = state.MedianKeepCount > length - 2
                                  ? static_cast<std::uint8_t>(length - 2)
                                  : state.MedianKeepCount;
    if (keep != state.MedianKeepCount) result.KeepCountReduced = true;

    const ObjectiveEvaluator evaluator(U, C, fit.Objective, fit.Kind, keep);
    const SearchOutcome outcome =
        SearchVariant(evaluator, current, settings.Bounds, state.Random, engine);
    current = outcome.Best;

    RetrospectiveRun& run = result.Runs[static_cast<std::size_t>(k - 1)];
    run.Run = k;
    run.Years = length;
    run.KeepCount = keep;
    run.Best = outcome.Best;
    run.Objective = outcome.Objective;
    run.Q = outcome.Best.q;
  }
  if (options.OnMemoLine) options.OnMemoLine("Расчёт окончен");

  // The curves are drawn after all ten runs.
  for (int k = 1; k <= 10; ++k) {
    RetrospectiveRun& run = result.Runs[static_cast<std::size_t>(k - 1)];
    const double q = run.Q;
    if (k <= 5) {
      const std::size_t kk = static_cast<std::size_t>(k);
      run.Curve.push_back({static_cast<double>(firstYear + k), 0.0});
      for (std::size_t g = 0; g + kk < n; ++g) {
        run.Curve.push_back({static_cast<double>(firstYear + k + static_cast<int>(g)),
                             Biomass(s.C[kk + g], q, s.E[kk + g])});
      }
    } else {
      const std::size_t d = static_cast<std::size_t>(k - 5);
      for (std::size_t g = 0; g + d < n; ++g) {
        run.Curve.push_back(
            {static_cast<double>(firstYear + static_cast<int>(g)), Biomass(s.C[g], q, s.E[g])});
      }
      run.Curve.push_back({static_cast<double>(firstYear + static_cast<int>(n - d) - 1), 0.0});
    }
  }
  return result;
}

}  // namespace tarvik::estimation
