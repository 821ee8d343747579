#include "estimation/parameter_search.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/objective_evaluator.h"
#include "estimation/refinement.h"
#include "estimation/variants.h"
#include "model/checked.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;

constexpr double kStartExponent = 2.0;

double ReadEdit(const std::string& text, char decimalMark, const char* what, const char* edit) {
  const std::optional<double> value = TryParseDouble(text, decimalMark);
  if (!value) {
    throw Error(std::string(what) + " (" + edit + "): «" + MessageExcerpt(text) +
                "» не является числом");
  }
  return *value;
}

// Equal bounds fix the parameter; a minimum above the maximum would pin every
// trial to one of them.
void CheckBounds(double min, double max, const std::string& minText, const std::string& maxText,
                 const char* parameter, const char* minEdit, const char* maxEdit) {
  if (min > max) {
    throw Error(std::string("Нижняя граница ") + parameter + " (" + minEdit + ") «" +
                MessageExcerpt(minText) + "» больше верхней (" + maxEdit + ") «" +
                MessageExcerpt(maxText) + "»; исправьте границы");
  }
}

void CheckTrimPosition(int trimPosition) {
  if (trimPosition < 0 || trimPosition > 9) {
    throw Error("Доля отсекаемых остатков задаётся положением от 0 до 9 (задано " +
                std::to_string(trimPosition) + ")");
  }
}

// The gauge position for `failures` of the variant at position j:
// Round(j·100 + failures / 10000).
int GaugeValue(std::size_t j, int failures) {
  return static_cast<int>(
      RoundHalfEven(static_cast<double>(j) * 100.0 + static_cast<double>(failures) / 10000.0));
}

TrackBarSetting TrackBar(double numerator, double range, std::string hint) {
  TrackBarSetting bar;
  bar.Hint = std::move(hint);
  if (range != 0.0) {
    const double position = RoundHalfEven(100.0 * numerator / range);
    bar.Position = static_cast<int>(std::clamp(position, 0.0, 100.0));
  }
  return bar;
}

}  // namespace

std::string TrimPositionHint(int position) { return std::to_string(position * 10); }

SearchSettings ReadSearchSettings(const SearchTexts& t, char mark) {
  SearchSettings s;
  s.Start.r = ReadEdit(t.InitialR, mark, "Начальное значение r", "EditInitialR");
  s.Start.K = ReadEdit(t.InitialK, mark, "Начальное значение K", "EditInitialK");
  s.Start.q = ReadEdit(t.InitialQ, mark, "Начальное значение q", "EditInitialQ");
  s.Start.p = kStartExponent;
  s.Bounds.MinR = ReadEdit(t.MinR, mark, "Нижняя граница r", "EditMinR");
  s.Bounds.MaxR = ReadEdit(t.MaxR, mark, "Верхняя граница r", "EditMaxR");
  s.Bounds.MinK = ReadEdit(t.MinK, mark, "Нижняя граница K", "EditMinK");
  s.Bounds.MaxK = ReadEdit(t.MaxK, mark, "Верхняя граница K", "EditMaxK");
  s.Bounds.MinQ = ReadEdit(t.MinQ, mark, "Нижняя граница q", "EditMinQ");
  s.Bounds.MaxQ = ReadEdit(t.MaxQ, mark, "Верхняя граница q", "EditMaxQ");
  s.Bounds.MinP = 1.01;
  s.Bounds.MaxP = 10.0;
  CheckBounds(s.Bounds.MinR, s.Bounds.MaxR, t.MinR, t.MaxR, "r", "EditMinR", "EditMaxR");
  CheckBounds(s.Bounds.MinK, s.Bounds.MaxK, t.MinK, t.MaxK, "K", "EditMinK", "EditMaxK");
  CheckBounds(s.Bounds.MinQ, s.Bounds.MaxQ, t.MinQ, t.MaxQ, "q", "EditMinQ", "EditMaxQ");
  return s;
}

EstimateSummary EstimateParameters(AssessmentState& state, const SearchSettings& settings,
                                   int trimPosition, const SearchOptions& options) {
  CheckTrimPosition(trimPosition);
  const int threads = ThreadsFor(options.Threads);
  if (options.MaxFailures < 0) throw Error("Число неудачных попыток не может быть отрицательным");
  if (state.ModelFits.empty()) {
    throw Error("Варианты моделей не созданы: сначала откройте файл данных");
  }
  state.ActiveVariants = EnabledIndices(state.ModelFits);
  if (state.ActiveVariants.empty()) {
    throw Error("Не отмечен ни один вариант модели: оценивать нечего");
  }
  const data::CatchEffortSeries& series = state.AnalysisSeries;

  EstimateSummary summary;
  summary.GaugeMaximum = 100 * static_cast<int>(state.ActiveVariants.size());
  if (options.OnProgress) options.OnProgress(0, summary.GaugeMaximum);

  EngineOptions engine;
  engine.MaxFailures = options.MaxFailures;
  engine.Threads = threads;

  ParameterPoint current = settings.Start;
  current.p = kStartExponent;
  for (std::size_t j = 0; j < state.ActiveVariants.size(); ++j) {
    ModelFit& fit = state.ModelFits.at(state.ActiveVariants[j]);
    // The keep count is the same for every variant of the run.
    state.MedianKeepCount = model::KeepCountFor(series.size(), trimPosition);
    summary.KeepCount = state.MedianKeepCount;
    summary.Memo = {model::ModelName(fit.Kind), model::ObjectiveName(fit.Objective)};
    if (options.OnMemo) options.OnMemo(summary.Memo);

    engine.OnCheckpoint = [&](int failures) {
      const int value = GaugeValue(j, failures);
      if (summary.GaugePosition < value) {
        summary.GaugePosition = value;
        if (options.OnProgress) options.OnProgress(value, summary.GaugeMaximum);
      }
    };
    const ObjectiveEvaluator evaluator(series.U, series.C, fit.Objective, fit.Kind,
                                       state.MedianKeepCount);
    const SearchOutcome outcome =
        SearchVariant(evaluator, current, settings.Bounds, state.Random, engine);
    current = outcome.Best;
    summary.Evaluations += outcome.Evaluations;
    summary.Trials += outcome.Trials;
    summary.ParallelRounds += outcome.ParallelRounds;
    summary.Discarded += outcome.Discarded;

    fit.R = current.r;
    fit.K = current.K;
    fit.Q = current.q;
    fit.ObjectiveValue = outcome.Objective;
    fit.FittedR = current.r;
    fit.FittedQ = current.q;
    fit.FittedK = current.K;
    if (fit.Kind == ProductionModelKind::PellaTomlinson) fit.Exponent = current.p;
    ClearRefined(state, state.ActiveVariants[j]);
  }
  summary.Final = current;
  summary.Memo = {std::string(kFinishedMemoLine)};
  if (options.OnMemo) options.OnMemo(summary.Memo);
  return summary;
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

ResidualChart ResidualsByYear(const data::CatchEffortSeries& series, const data::DataTable& table,
                              const std::vector<ModelFit>& fits, std::size_t index) {
  if (index >= fits.size()) throw Error("Нет варианта модели с номером " + std::to_string(index));
  const ModelFit& fit = fits[index];
  ResidualChart chart;
  chart.Title = "Остатки по годам: " + VariantLabel(fits, index);
  const std::vector<double> residuals =
      model::CpueResiduals(series.U, series.C, fit.Kind, fit.R, fit.K, fit.Q, fit.Exponent);
  for (std::size_t k = 0; k < residuals.size(); ++k) {
    if (!std::isfinite(residuals[k])) {
      throw Error("Остаток модели за " +
                  table.Cell(data::DataTable::kYear, static_cast<int>(k) + 3) +
                  " год не является конечным числом");
    }
    const double year = static_cast<double>(data::CellYear(table, static_cast<int>(k) + 3));
    chart.Residuals.push_back({year, residuals[k]});
  }
  chart.ZeroLine = {{chart.Residuals.front().x, 0.0}, {chart.Residuals.back().x, 0.0}};
  return chart;
}

VariantRow MakeVariantRow(const ModelFit& fit, const ParameterBounds& b, char mark) {
  VariantRow row;
  row.RText = FormatFixed(fit.R, 2, mark);
  row.KText = FormatGeneral(RoundDecimals(fit.K, 0), mark);
  row.QText = FormatFixed(fit.Q, 6, mark);
  row.LText = FormatFixed(fit.ObjectiveValue, 3, mark);
  row.ExponentHint = FormatFixed(fit.Exponent, 1, mark);
  row.ROutOfBounds = !(b.MinR < fit.R && fit.R < b.MaxR);
  row.KOutOfBounds = !(b.MinK < fit.K && fit.K < b.MaxK);
  row.QOutOfBounds = !(b.MinQ < fit.Q && fit.Q < b.MaxQ);
  return row;
}

EstimationDisplay MakeEstimationDisplay(const AssessmentState& state,
                                        const SearchSettings& settings, const ParameterPoint& x,
                                        const data::DataTable& table, char mark) {
  const ParameterBounds& b = settings.Bounds;
  EstimationDisplay d;
  d.TheoreticalCpue = TheoreticalCpue(state.AnalysisSeries, table, x);
  d.TrackBarR = TrackBar(x.r, 1.0, FormatGeneral(RoundDecimals(x.r, 3), mark));
  d.TrackBarK = TrackBar(x.K, b.MaxK - b.MinK, FormatGeneral(RoundDecimals(x.K, 0), mark));
  d.TrackBarQ = TrackBar(x.q, b.MaxQ - b.MinQ, FormatGeneral(RoundDecimals(x.q, 6), mark));
  for (const ModelFit& fit : state.ModelFits) d.Rows.push_back(MakeVariantRow(fit, b, mark));
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    if (state.ModelFits[i].Enabled == 1) {
      d.ChoiceLabels.push_back(VariantLabel(state.ModelFits, i));
      d.ChoiceIndices.push_back(static_cast<std::uint8_t>(i));
    }
  }
  return d;
}

EstimationOutcome RunEstimation(AssessmentState& state, const data::DataTable& table,
                                const EstimationRequest& request, const SearchOptions& options) {
  EstimationOutcome outcome;
  outcome.Settings = ReadSearchSettings(request.Texts, request.DecimalMark);
  CheckTrimPosition(request.TrimPosition);
  if (request.HoldOutYears != 0) {
    const int fitted = table.DataRowCount() - request.HoldOutYears;
    if (request.HoldOutYears < 2) {
      throw Error("Для выбора модели по отсечённым годам нужно отсечь не менее 2 лет");
    }
    if (static_cast<int>(state.AnalysisSeries.size()) != fitted) {
      throw Error("Ряд для оценки не совпадает с таблицей без " +
                  std::to_string(request.HoldOutYears) +
                  " последних лет: повторите проверку пригодности данных");
    }
  }
  outcome.Summary = EstimateParameters(state, outcome.Settings, request.TrimPosition, options);
  if (request.HoldOutYears != 0) {
    outcome.HoldOut = HoldOutCheck(state, table, request.HoldOutYears, request.DecimalMark);
  }
  outcome.Display = MakeEstimationDisplay(state, outcome.Settings, outcome.Summary.Final, table,
                                          request.DecimalMark);
  return outcome;
}

}  // namespace tarvik::estimation
