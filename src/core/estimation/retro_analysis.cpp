#include "estimation/retro_analysis.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/objective_evaluator.h"
#include "model/checked.h"

namespace tarvik::estimation {
namespace {

constexpr std::size_t kMinimumYears = 8;  // the shortest run keeps n − 5 ≥ 3 years

MohnRho Unavailable(std::string message) {
  MohnRho m;
  m.Message = std::move(message);
  m.Text = "Коэффициент Мона не определён: " + m.Message;
  m.ChartLabel = "ρ Мона не определён";
  return m;
}

double Biomass(double C, double q, double E) {
  return model::Divide(C, q * E, "расчёте биомассы ретроспективного анализа");
}

}  // namespace

RetrospectiveResult RunRetrospective(const data::CatchEffortSeries& s, const model::ModelFit& fit,
                                     std::uint8_t keepCount, const data::DataTable& table,
                                     const SearchTexts& texts, char decimalMark,
                                     const RetrospectiveOptions& options,
                                     model::RandomSource& random) {
  SearchSettings settings = ReadSearchSettings(texts, decimalMark);
  settings.Bounds.MinP = 2.0;
  settings.Bounds.MaxP = 100.0;
  const std::size_t n = s.size();
  if (n < kMinimumYears) {
    throw Error("Для ретроспективного анализа нужно не менее " + std::to_string(kMinimumYears) +
                " лет данных (в ряду " + std::to_string(n) + ")");
  }
  if (keepCount == 0) {
    // A series of 8 or more years never gives a keep count of 0: no search
    // has run yet, and the objectives would have nothing to keep.
    throw Error("Сначала выполните оценку параметров: число учитываемых остатков ещё не задано");
  }
  const int firstYear = data::CellYear(table, 1);

  EngineOptions engine;
  engine.MaxFailures = options.MaxFailures;
  engine.Threads = ThreadsFor(options.Threads);

  RetrospectiveResult result;
  ParameterPoint current = settings.Start;
  // The runs continue the caller's stream.
  for (int k = 1; k <= 10; ++k) {
    if (options.OnMemoLine) options.OnMemoLine(std::to_string(k));
    // Kept years [first, first + length) of the full series.
    const std::size_t first = k <= 5 ? static_cast<std::size_t>(k) : 0;
    const std::size_t length =
        k <= 5 ? n - static_cast<std::size_t>(k) : n - static_cast<std::size_t>(k - 5);
    const std::span<const double> U(s.U.data() + first, length);
    const std::span<const double> C(s.C.data() + first, length);
    const std::uint8_t keep = keepCount > length - 2
                                  ? static_cast<std::uint8_t>(length - 2)
                                  : keepCount;
    if (keep != keepCount) result.KeepCountReduced = true;

    const ObjectiveEvaluator evaluator(U, C, fit.Objective, fit.Kind, keep);
    const SearchOutcome outcome =
        SearchVariant(evaluator, current, settings.Bounds, random, engine);
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
  result.Mohn = ComputeMohnRho(result.Runs, s, firstYear, fit.FittedQ, decimalMark);
  return result;
}

MohnRho ComputeMohnRho(const std::array<RetrospectiveRun, 10>& runs,
                       const data::CatchEffortSeries& series, int firstYear, double fittedQ,
                       char mark) {
  MohnRho m;
  double sum = 0.0;
  for (std::size_t k = 0; k < 5; ++k) {
    const RetrospectiveRun& run = runs[5 + k];
    MohnPeel& peel = m.Peels[k];
    peel.Run = static_cast<int>(6 + k);
    if (run.Years == 0 || run.Years > series.size()) {
      return Unavailable("прогон " + std::to_string(peel.Run) + " не выполнен");
    }
    const std::size_t last = run.Years - 1;  // runs 6 … 10 keep the years 0 … n − 1 − d
    peel.Year = firstYear + static_cast<int>(last);
    const double C = series.C[last];
    const double E = series.E[last];
    peel.PeelBiomass = C / (run.Q * E);
    peel.FullBiomass = C / (fittedQ * E);
    peel.RelativeDifference = (peel.PeelBiomass - peel.FullBiomass) / peel.FullBiomass;
    if (!std::isfinite(peel.PeelBiomass) || !std::isfinite(peel.FullBiomass) ||
        !std::isfinite(peel.RelativeDifference)) {
      return Unavailable("биомасса " + std::to_string(peel.Year) +
                         " года не определена (нулевой улов, усилие или коэффициент "
                         "улавливаемости)");
    }
    sum += peel.RelativeDifference;
  }
  m.Available = true;
  m.Rho = sum / 5.0;
  m.WithinLongLived = kMohnLongLived.Contains(m.Rho);
  m.WithinShortLived = kMohnShortLived.Contains(m.Rho);
  const auto range = [mark](const MohnRange& r) {
    return FormatFixed(r.Low, 2, mark) + " … " + FormatFixed(r.High, 2, mark);
  };
  const std::string rho = FormatFixed(m.Rho, 3, mark);
  m.ChartLabel = "ρ Мона = " + rho;
  std::string verdict;
  if (m.WithinLongLived) {
    verdict = "в пределах, обычно допустимых и для долгоживущих, и для короткоживущих видов";
  } else if (m.WithinShortLived) {
    verdict = "вне пределов для долгоживущих видов, в пределах для короткоживущих";
  } else {
    verdict = "вне пределов, обычно допустимых и для долгоживущих, и для короткоживущих видов";
  }
  m.Text = "Коэффициент Мона ρ = " + rho + ": " + verdict + " (долгоживущие " +
           range(kMohnLongLived) + ", короткоживущие " + range(kMohnShortLived) + ")";
  return m;
}

}  // namespace tarvik::estimation
