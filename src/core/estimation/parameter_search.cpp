#include "estimation/parameter_search.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/objective_evaluator.h"
#include "estimation/variants.h"
#include "model/checked.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;

constexpr double kStartExponent = 2.0;

double ReadEdit(const std::string& text, char decimalMark, const char* what) {
  const std::optional<double> value = TryParseDouble(text, decimalMark);
  if (!value) {
    throw Error(std::string(what) + ": «" + MessageExcerpt(text) + "» не является числом");
  }
  return *value;
}

// Equal bounds fix the parameter; a minimum above the maximum would pin every
// trial to one of them.
void CheckBounds(double min, double max, const std::string& minText, const std::string& maxText,
                 const char* parameter) {
  if (min > max) {
    throw Error(std::string("Нижняя граница ") + parameter + " «" + MessageExcerpt(minText) +
                "» больше верхней «" + MessageExcerpt(maxText) + "»; исправьте границы");
  }
}

// The progress for `failures` of the variant at position j:
// Round(j·100 + failures / 10000).
int ProgressValue(std::size_t j, int failures) {
  return static_cast<int>(
      RoundHalfEven(static_cast<double>(j) * 100.0 + static_cast<double>(failures) / 10000.0));
}

}  // namespace

void CheckTrimPosition(int trimPosition) {
  if (trimPosition < 0 || trimPosition > 9) {
    throw Error("Доля отсекаемых остатков задаётся положением от 0 до 9 (задано " +
                std::to_string(trimPosition) + ")");
  }
}

void WriteFit(ModelFit& fit, const ParameterPoint& point, double objective,
              model::FitOrigin origin) {
  fit.R = point.r;
  fit.K = point.K;
  fit.Q = point.q;
  fit.ObjectiveValue = objective;
  fit.FittedR = point.r;
  fit.FittedQ = point.q;
  fit.FittedK = point.K;
  if (fit.Kind == ProductionModelKind::PellaTomlinson) fit.Exponent = point.p;
  fit.Origin = origin;
}

SearchTexts DefaultSearchTexts(char mark) {
  SearchTexts t;
  t.InitialR = FormatGeneral(0.5, mark);
  t.InitialQ = FormatGeneral(0.0001, mark);
  t.MinR = FormatGeneral(0.0, mark);
  t.MaxR = FormatGeneral(1.0, mark);
  t.MinQ = t.InitialQ;
  t.MaxQ = FormatGeneral(1.0, mark);
  return t;
}

SearchSettings ReadSearchSettings(const SearchTexts& t, char mark) {
  SearchSettings s;
  s.Start.r = ReadEdit(t.InitialR, mark, "Начальная точка, r");
  s.Start.K = ReadEdit(t.InitialK, mark, "Начальная точка, K");
  s.Start.q = ReadEdit(t.InitialQ, mark, "Начальная точка, q");
  s.Start.p = kStartExponent;
  s.Bounds.MinR = ReadEdit(t.MinR, mark, "Нижняя граница r");
  s.Bounds.MaxR = ReadEdit(t.MaxR, mark, "Верхняя граница r");
  s.Bounds.MinK = ReadEdit(t.MinK, mark, "Нижняя граница K");
  s.Bounds.MaxK = ReadEdit(t.MaxK, mark, "Верхняя граница K");
  s.Bounds.MinQ = ReadEdit(t.MinQ, mark, "Нижняя граница q");
  s.Bounds.MaxQ = ReadEdit(t.MaxQ, mark, "Верхняя граница q");
  s.Bounds.MinP = 1.01;
  s.Bounds.MaxP = 10.0;
  CheckBounds(s.Bounds.MinR, s.Bounds.MaxR, t.MinR, t.MaxR, "r");
  CheckBounds(s.Bounds.MinK, s.Bounds.MaxK, t.MinK, t.MaxK, "K");
  CheckBounds(s.Bounds.MinQ, s.Bounds.MaxQ, t.MinQ, t.MaxQ, "q");
  return s;
}

SearchRun SearchVariants(const data::CatchEffortSeries& series, std::vector<ModelFit> fits,
                         const SearchSettings& settings, int trimPosition,
                         const SearchOptions& options, model::RandomSource& random) {
  CheckTrimPosition(trimPosition);
  const int threads = ThreadsFor(options.Threads);
  if (options.MaxFailures < 0) throw Error("Число неудачных попыток не может быть отрицательным");
  if (fits.empty()) {
    throw Error("Варианты моделей не созданы: сначала откройте файл данных");
  }
  const std::vector<std::uint8_t> active = EnabledIndices(fits);
  if (active.empty()) {
    throw Error("Не отмечен ни один вариант модели: оценивать нечего");
  }
  // The keep count is the same for every variant of the run.
  const std::uint8_t keepCount = model::KeepCountFor(series.size(), trimPosition);

  EstimateSummary summary;
  summary.ProgressTotal = 100 * static_cast<int>(active.size());
  if (options.OnProgress) options.OnProgress(0, summary.ProgressTotal);

  EngineOptions engine;
  engine.MaxFailures = options.MaxFailures;
  engine.Threads = threads;

  ParameterPoint current = settings.Start;
  current.p = kStartExponent;
  for (std::size_t j = 0; j < active.size(); ++j) {
    ModelFit& fit = fits.at(active[j]);
    summary.KeepCount = keepCount;
    summary.Memo = {model::ModelName(fit.Kind), model::ObjectiveName(fit.Objective)};
    if (options.OnMemo) options.OnMemo(summary.Memo);

    engine.OnCheckpoint = [&](int failures) {
      const int value = ProgressValue(j, failures);
      if (summary.ProgressDone < value) {
        summary.ProgressDone = value;
        if (options.OnProgress) options.OnProgress(value, summary.ProgressTotal);
      }
    };
    const ObjectiveEvaluator evaluator(series.U, series.C, fit.Objective, fit.Kind, keepCount);
    const SearchOutcome outcome =
        SearchVariant(evaluator, current, settings.Bounds, random, engine);
    current = outcome.Best;
    summary.Evaluations += outcome.Evaluations;
    summary.Trials += outcome.Trials;
    summary.ParallelRounds += outcome.ParallelRounds;
    summary.Discarded += outcome.Discarded;
    WriteFit(fit, current, outcome.Objective, model::FitOrigin::Search);
  }
  summary.Final = current;
  summary.Memo = {std::string(kFinishedMemoLine)};
  if (options.OnMemo) options.OnMemo(summary.Memo);

  return {std::move(fits), active, keepCount, std::move(summary)};
}

PointList TheoreticalCpue(const data::CatchEffortSeries& series, const data::DataTable& table,
                          const ParameterPoint& x) {
  PointList points;
  const std::size_t n = series.size();
  for (std::size_t t = 2; t < n; ++t) {
    const double S = series.U[t - 1] + series.U[t - 2];
    const double g =
        model::ProductionShape(ProductionModelKind::Schaefer,
                               model::Divide(S, 2.0 * x.q, "расчёте кривой CPUE"), x.K, x.p);
    const double predicted = series.U[t - 2] + x.r * g * S - 2.0 * x.q * series.C[t - 1];
    if (!std::isfinite(predicted)) {
      throw Error("Переполнение при расчёте теоретической кривой улова на усилие");
    }
    points.push_back(
        {static_cast<double>(data::CellYear(table, static_cast<int>(t) + 1)), predicted});
  }
  return points;
}

}  // namespace tarvik::estimation
