#include "estimation/estimation_view.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"
#include "estimation/refinement.h"
#include "estimation/variants.h"
#include "model/objective.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;

TuningSetting Tuning(double numerator, double range, std::string hint) {
  TuningSetting setting;
  setting.Hint = std::move(hint);
  if (range != 0.0) {
    const double position = RoundHalfEven(100.0 * numerator / range);
    setting.Position = static_cast<int>(std::clamp(position, 0.0, 100.0));
  }
  return setting;
}

std::string Percent(double fraction, char mark) {
  return FormatFixed(100.0 * fraction, 2, mark) + " %";
}

}  // namespace

std::string TrimPositionHint(int position) {
  return std::to_string(position * 10);
}

projection::ResultFieldTexts ResultTextsOf(const AssessmentState& state, std::size_t index,
                                           char decimalMark) {
  if (index >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(index));
  }
  // The bounds colour a row; they do not change its texts.
  return ResultTextsOf(MakeVariantRow(state.ModelFits[index], {}, decimalMark));
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
  row.QShown = FormatCatchability(fit.Q, mark);
  row.LText = FormatFixed(fit.ObjectiveValue, 3, mark);
  row.ExponentHint = FormatFixed(fit.Exponent, 1, mark);
  row.ROutOfBounds = !(b.MinR < fit.R && fit.R < b.MaxR);
  row.KOutOfBounds = !(b.MinK < fit.K && fit.K < b.MaxK);
  row.QOutOfBounds = !(b.MinQ < fit.Q && fit.Q < b.MaxQ);
  return row;
}

TextTable ResultsTable(const std::vector<ShownVariantRow>& rows) {
  TextTable table{{"Вариант", "r", "K", "q", "p", "L", "Отметка"}};
  for (const ShownVariantRow& shown : rows) {
    const VariantRow& row = shown.Row;
    table.push_back({shown.Label, row.RText, row.KText, row.QText,
                     shown.Kind == ProductionModelKind::PellaTomlinson ? row.ExponentHint : "",
                     row.LText, shown.Mark});
  }
  return table;
}

EstimationDisplay MakeEstimationDisplay(const AssessmentState& state,
                                        const SearchSettings& settings, const ParameterPoint& x,
                                        const data::DataTable& table, char mark) {
  const ParameterBounds& b = settings.Bounds;
  EstimationDisplay d;
  d.TheoreticalCpue = TheoreticalCpue(state.AnalysisSeries, table, x);
  d.TuningR = Tuning(x.r, 1.0, FormatGeneral(RoundDecimals(x.r, 3), mark));
  d.TuningK = Tuning(x.K, b.MaxK - b.MinK, FormatGeneral(RoundDecimals(x.K, 0), mark));
  d.TuningQ = Tuning(x.q, b.MaxQ - b.MinQ, FormatGeneral(RoundDecimals(x.q, 6), mark));
  for (const ModelFit& fit : state.ModelFits) d.Rows.push_back(MakeVariantRow(fit, b, mark));
  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    if (state.ModelFits[i].Enabled == 1) {
      d.ChoiceLabels.push_back(VariantLabel(state.ModelFits, i));
      d.ChoiceIndices.push_back(static_cast<std::uint8_t>(i));
    }
  }
  return d;
}

RefinementMarkView MarkOf(const AssessmentState& state, std::size_t index,
                          const VariantRefinement* refinement) {
  RefinementMarkView view;
  if (index < state.ModelFits.size() &&
      state.ModelFits[index].Origin == model::FitOrigin::ObservationError) {
    view.Mark = RefinementMark::ObservationErrorAdopted;
    view.Symbol = "✓";
    view.Tip = std::string(projection::kObservationErrorParametersLine) +
               "\nL — значение целевой функции варианта при этих r, K, q";
    return view;
  }
  if (index < state.ModelFits.size() &&
      state.ModelFits[index].Origin == model::FitOrigin::StateSpace) {
    view.Mark = RefinementMark::StateSpaceAdopted;
    view.Symbol = "✓";
    view.Tip = std::string(projection::kStateSpaceParametersLine) +
               "\nL — значение целевой функции варианта при этих r, K, q";
    return view;
  }
  if (refinement == nullptr) return view;
  view.Tip = refinement->Tooltip;
  if (!refinement->Available) {
    view.Mark = RefinementMark::Unavailable;
    view.Symbol = "?";
  } else if (IsRefined(state, index)) {
    view.Mark = RefinementMark::Adopted;
    view.Symbol = "✓";
    view.Tip = std::string(projection::kRefinedParametersLine) + "\n" + view.Tip;
  } else if (refinement->Degenerate) {
    view.Mark = RefinementMark::NotAssessable;
    view.Symbol = "–";
  } else if (refinement->NotConverged) {
    view.Mark = RefinementMark::NotConverged;
    view.Symbol = "!";
  } else {
    view.Mark = RefinementMark::Converged;
    view.Symbol = "≈";
  }
  return view;
}

void DescribeRefinement(VariantRefinement& v, const model::ModelFit& fit,
                        const ParameterBounds& bounds, char mark) {
  model::ModelFit refined = fit;
  refined.R = v.Point.r;
  refined.K = v.Point.K;
  refined.Q = v.Point.q;
  refined.ObjectiveValue = v.Objective;
  if (v.Kind == ProductionModelKind::PellaTomlinson) refined.Exponent = v.Point.p;
  v.Row = MakeVariantRow(refined, bounds, mark);
  if (!v.Available) {
    v.GapText.clear();
    v.Tooltip = "Уточнение невозможно: " + v.Message;
    v.MemoLine = v.Label + ": уточнение невозможно: " + v.Message;
    return;
  }
  v.GapText = FormatFixed(v.Gap, 3, mark);
  if (v.RelativeGap) v.GapText += " (" + Percent(*v.RelativeGap, mark) + ")";
  std::string point = "r = " + v.Row.RText + ", K = " + v.Row.KText + ", q = " + v.Row.QShown;
  if (v.Kind == ProductionModelKind::PellaTomlinson) {
    point += ", p = " + FormatGeneral(RoundDecimals(v.Point.p, 3), mark);
  }
  // A minimum of 0 (the model passes through every kept residual) leaves
  // nothing to compare the search with.
  const std::string verdict = v.Degenerate     ? std::string(kDegenerateMinimumText)
                              : v.NotConverged ? "поиск не сошёлся"
                                               : "поиск сошёлся (не выше минимума более чем на " +
                                                     Percent(kConvergenceTolerance, mark) + ")";
  v.Tooltip = "Минимум целевой функции в тех же границах: " + v.Row.LText + "\n" + point +
              "\nПоиск остановился выше минимума на " + v.GapText + ": " + verdict;
  v.MemoLine = v.Label + ": L = " + FormatFixed(v.SearchObjective, 3, mark) + ", минимум " +
               v.Row.LText + ", разница " + v.GapText + " — " + verdict;
}

}  // namespace tarvik::estimation
