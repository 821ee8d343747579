#include "assessment/observation_error_view.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"
#include "common/r_picture.h"
#include "estimation/variants.h"
#include "model/kinds.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;

const char* const kNone = "—";

std::string Joined(const std::vector<std::string>& names) {
  if (names.empty()) return kNone;
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The ratio, or "—" when it is not a finite number.
std::string Ratio(double value, char mark) {
  return std::isfinite(value) ? FormatFixed(value, 2, mark) : kNone;
}

std::string Value(double value, char mark) {
  return std::isfinite(value) ? SignificantText(value, mark) : kNone;
}

double Year(const data::DataTable& table, std::size_t t) {
  return static_cast<double>(data::CellYear(table, static_cast<int>(t) + 1));
}

}  // namespace

std::string SignificantText(double x, char mark) {
  const double size = std::fabs(x);
  const int decimals = size > 0.0 && std::isfinite(size)
                           ? std::clamp(3 - static_cast<int>(std::floor(std::log10(size))), 0, 8)
                           : 0;
  return FormatFixed(x, decimals, mark);
}

LastYearRatios ProcedureLastYear(const data::CatchEffortSeries& series,
                                 const model::ModelFit& record) {
  LastYearRatios ratios;
  if (series.empty() || !(record.Q > 0.0) || !(record.BMSY > 0.0)) return ratios;
  ratios.Observed = series.U.back() / record.Q / record.BMSY;
  if (series.size() >= 3) {
    const std::size_t L = series.size() - 1;
    try {
      const double u0 = model::StartCpue(record.Kind, record.R, record.K, record.Q,
                                         record.Exponent, series.U[L - 2], series.U[L - 1],
                                         series.C[L - 1]);
      ratios.Model = u0 / record.Q / record.BMSY;
    } catch (const Error&) {
      ratios.Model = NAN;
    }
  }
  return ratios;
}

TextTable ObservationErrorTable(const std::vector<ObservationErrorFit>& fits, int catchUnit,
                                char mark) {
  TextTable table = {{"Модель", "r", MassTitle("K", catchUnit), "q", "p", "B₁/K", "σ", "RSS", "n",
                      "AICc", MassTitle("MSY", catchUnit), MassTitle("BMSY", catchUnit), "FMSY",
                      "EMSY", "B/BMSY посл. (модель)", "F/FMSY посл.", "На границе", "Сошлась"}};
  for (const ObservationErrorFit& f : fits) {
    const bool pt = f.Kind == ProductionModelKind::PellaTomlinson;
    table.push_back(
        {model::ModelName(f.Kind), SignificantText(f.R, mark), SignificantText(f.K, mark),
         FormatCatchability(f.Q, mark), pt ? FormatFixed(f.P, 2, mark) : kNone,
         FormatFixed(f.Phi, 3, mark), FormatFixed(f.Sigma, 4, mark), SignificantText(f.RSS, mark),
         std::to_string(f.N), FormatFixed(f.AICc, 2, mark), Value(f.MSY, mark), Value(f.BMSY, mark),
         Value(f.FMSY, mark), Value(f.EMSY, mark), Ratio(f.BLastOverBMSY, mark),
         Ratio(f.FLastOverFMSY, mark), Joined(f.AtBounds), f.Converged ? "да" : "нет"});
  }
  return table;
}

TextTable ObservationErrorComparison(const AssessmentState& state, std::size_t index, int catchUnit,
                                     char mark) {
  if (index >= state.ModelFits.size()) return {};
  ModelFit record = state.ModelFits[index];
  const std::vector<ObservationErrorFit>& fits = state.ObservationError.Fits;
  const std::size_t kind = static_cast<std::size_t>(record.Kind);
  if (kind >= fits.size() || state.AnalysisSeries.empty()) return {};
  const ObservationErrorFit& f = fits[kind];

  // The procedure's reference points from the record's r, K, p; its last
  // biomass both ways: observed U/q and the model's U0/q.
  LastYearRatios procedure;
  try {
    model::ReferenceMsy(record);
    procedure = ProcedureLastYear(state.AnalysisSeries, record);
  } catch (const Error&) {
    record.MSY = record.BMSY = record.FMSY = NAN;
  }
  const double observed = state.AnalysisSeries.U.back() / f.Q / f.BMSY;
  return {{"Величина", VariantLabel(state.ModelFits, index), std::string(kObservationErrorTitle)},
          {MassTitle("MSY", catchUnit), Value(record.MSY, mark), Value(f.MSY, mark)},
          {MassTitle("BMSY", catchUnit), Value(record.BMSY, mark), Value(f.BMSY, mark)},
          {"FMSY", Value(record.FMSY, mark), Value(f.FMSY, mark)},
          {std::string(kLastRatioObserved), Ratio(procedure.Observed, mark), Ratio(observed, mark)},
          {std::string(kLastRatioModel), Ratio(procedure.Model, mark),
           Ratio(f.BLastOverBMSY, mark)}};
}

CpuePredictionChart ObservationErrorChart(const AssessmentState& state, std::size_t index) {
  CpuePredictionChart chart;
  const data::CatchEffortSeries& series = state.AnalysisSeries;
  if (index >= state.ModelFits.size() || series.empty()) return chart;
  const ModelFit& record = state.ModelFits[index];
  const std::string label = VariantLabel(state.ModelFits, index);
  chart.Title = "Улов на усилие: " + label;
  chart.ProcedureName = "Процедура (" + label + ")";
  for (std::size_t t = 0; t < series.size(); ++t) {
    chart.Observed.push_back({Year(state.Table, t), series.U[t]});
  }
  if (record.Origin != model::FitOrigin::None && record.Q != 0.0) {
    try {
      const std::vector<double> residuals = model::CpueResiduals(
          series.U, series.C, record.Kind, record.R, record.K, record.Q, record.Exponent);
      for (std::size_t k = 0; k < residuals.size(); ++k) {
        const double predicted = series.U[k + 2] - residuals[k];
        if (!std::isfinite(predicted)) {
          chart.Procedure.clear();
          break;
        }
        chart.Procedure.push_back({Year(state.Table, k + 2), predicted});
      }
    } catch (const Error&) {
      chart.Procedure.clear();
    }
  }
  if (const std::size_t kind = static_cast<std::size_t>(record.Kind);
      kind < state.ObservationError.Fits.size()) {
    const std::vector<double>& predicted = state.ObservationError.Fits[kind].PredictedCpue;
    for (std::size_t t = 0; t < predicted.size() && t < series.size(); ++t) {
      chart.ObservationError.push_back({Year(state.Table, t), predicted[t]});
    }
  }
  return chart;
}

}  // namespace tarvik::estimation
