#include "assessment/state_space_view.h"

#include <cmath>

#include "common/error.h"
#include "common/numbers.h"
#include "common/r_picture.h"
#include "data/data_table.h"
#include "assessment/observation_error_view.h"
#include "estimation/variants.h"
#include "model/kinds.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;

const char* const kNone = "—";

std::string Ratio(double value, char mark) {
  return std::isfinite(value) ? FormatFixed(value, 2, mark) : kNone;
}

std::string Value(double value, char mark) {
  return std::isfinite(value) ? SignificantText(value, mark) : kNone;
}

std::string IntervalText(const StateSpaceEstimate& e, char mark) {
  if (!e.HasSe || !std::isfinite(e.Lower) || !std::isfinite(e.Upper)) return kNone;
  return SignificantText(e.Lower, mark) + " – " + SignificantText(e.Upper, mark);
}

std::string Percent(double level) {
  return std::to_string(static_cast<int>(std::lround(level * 100.0))) + " %";
}

double Year(const data::DataTable& table, std::size_t t) {
  return static_cast<double>(data::CellYear(table, static_cast<int>(t) + 1));
}

void AddFinite(PointList& points, double x, double y) {
  if (std::isfinite(y)) points.push_back({x, y});
}

}  // namespace

TextTable StateSpaceTable(const std::vector<StateSpaceFit>& fits, int catchUnit, char mark) {
  const std::string level = fits.empty() ? Percent(0.90) : Percent(fits.front().Level);
  TextTable table = {{"Модель", "r", MassTitle("K", catchUnit), "q", "p", "B₁/K", "σ_p", "σ_o",
                      MassTitle("MSY", catchUnit), "MSY " + level, MassTitle("BMSY", catchUnit),
                      "FMSY", "B/BMSY след. (модель)", "F/FMSY посл.",
                      "Целевая функция", "n", "Сошлась", "Гессиан пол. опр."}};
  for (const StateSpaceFit& f : fits) {
    const bool pt = f.Kind == ProductionModelKind::PellaTomlinson;
    const double phi = f.EstimateB1 ? f.Phi.Value : 1.0;
    table.push_back({model::ModelName(f.Kind), Value(f.R.Value, mark), Value(f.K.Value, mark),
                     std::isfinite(f.Q.Value) ? FormatCatchability(f.Q.Value, mark) : kNone,
                     pt && std::isfinite(f.P.Value) ? FormatFixed(f.P.Value, 2, mark) : kNone,
                     std::isfinite(phi) ? FormatFixed(phi, 3, mark) : kNone,
                     std::isfinite(f.SigmaP.Value) ? FormatFixed(f.SigmaP.Value, 4, mark) : kNone,
                     std::isfinite(f.SigmaO.Value) ? FormatFixed(f.SigmaO.Value, 4, mark) : kNone,
                     Value(f.MSY.Value, mark), IntervalText(f.MSY, mark),
                     Value(f.BMSY.Value, mark), Value(f.FMSY.Value, mark),
                     Ratio(f.BNextOverBMSY.Value, mark), Ratio(f.FLastOverFMSY.Value, mark),
                     std::isfinite(f.Objective) ? FormatFixed(f.Objective, 3, mark) : kNone,
                     std::to_string(f.N), f.Converged ? "да" : "нет",
                     f.HessianPositiveDefinite ? "да" : "нет"});
  }
  return table;
}

TextTable StateSpaceComparison(const AssessmentState& state, std::size_t index, int catchUnit,
                               char mark) {
  if (index >= state.ModelFits.size()) return {};
  ModelFit record = state.ModelFits[index];
  const std::vector<StateSpaceFit>& fits = state.StateSpace.Fits;
  const std::size_t kind = static_cast<std::size_t>(record.Kind);
  if (kind >= fits.size() || state.AnalysisSeries.empty()) return {};
  const StateSpaceFit& f = fits[kind];

  LastYearRatios procedure;
  try {
    model::ReferenceMsy(record);
    procedure = ProcedureLastYear(state.AnalysisSeries, record);
  } catch (const Error&) {
    record.MSY = record.BMSY = record.FMSY = NAN;
  }
  const std::size_t n = state.AnalysisSeries.size();
  const double lastRatio =
      n < f.Biomass.size() ? f.Biomass[n - 1].Value / f.BMSY.Value : NAN;
  const double observed = state.AnalysisSeries.U.back() / f.Q.Value / f.BMSY.Value;
  return {{"Величина", VariantLabel(state.ModelFits, index), "Пространство состояний"},
          {MassTitle("MSY", catchUnit), Value(record.MSY, mark), Value(f.MSY.Value, mark)},
          {MassTitle("BMSY", catchUnit), Value(record.BMSY, mark), Value(f.BMSY.Value, mark)},
          {"FMSY", Value(record.FMSY, mark), Value(f.FMSY.Value, mark)},
          {std::string(kLastRatioObserved), Ratio(procedure.Observed, mark), Ratio(observed, mark)},
          {std::string(kLastRatioModel), Ratio(procedure.Model, mark), Ratio(lastRatio, mark)},
          {"σ_p", kNone,
           std::isfinite(f.SigmaP.Value) ? FormatFixed(f.SigmaP.Value, 4, mark) : kNone},
          {"σ_o", kNone,
           std::isfinite(f.SigmaO.Value) ? FormatFixed(f.SigmaO.Value, 4, mark) : kNone}};
}

StateSpaceBiomassChart StateSpaceChart(const AssessmentState& state, std::size_t index,
                                       int tonnesExponent) {
  StateSpaceBiomassChart chart;
  chart.YTitle = MassTitle("Биомасса", tonnesExponent);
  const data::CatchEffortSeries& series = state.AnalysisSeries;
  if (index >= state.ModelFits.size() || series.empty()) return chart;
  const ModelFit& record = state.ModelFits[index];
  chart.Title = "Биомасса запаса: модель " + model::ModelName(record.Kind);
  const std::size_t kind = static_cast<std::size_t>(record.Kind);
  if (kind >= state.StateSpace.Fits.size()) return chart;
  const StateSpaceFit& f = state.StateSpace.Fits[kind];
  chart.BandName = "Интервал " + Percent(f.Level);
  const std::size_t n = series.size();
  if (f.Q.Value > 0.0) {
    for (std::size_t t = 0; t < n; ++t) {
      AddFinite(chart.Observed, Year(state.Table, t), series.U[t] / f.Q.Value);
    }
  }
  for (std::size_t t = 0; t < f.Biomass.size() && t <= n; ++t) {
    const double year = t < n ? Year(state.Table, t) : Year(state.Table, n - 1) + 1.0;
    const StateSpaceEstimate& b = f.Biomass[t];
    AddFinite(chart.Biomass, year, b.Value);
    if (b.HasSe) {
      AddFinite(chart.Lower, year, b.Lower);
      AddFinite(chart.Upper, year, b.Upper);
    }
  }
  return chart;
}

}  // namespace tarvik::estimation
