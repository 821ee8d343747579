#include "assessment/fit_checks.h"
#include "assessment/journal.h"

#include <string>

#include "common/error.h"
#include "data/data_table.h"

namespace tarvik::estimation {

HoldOutResult HoldOutCheck(const AssessmentState& state, const data::DataTable& table,
                           int heldOutYears, char decimalMark) {
  return HoldOutCheck(state.AnalysisSeries, state.ModelFits, state.ActiveVariants, table,
                      heldOutYears, decimalMark);
}

SurfaceGrids ComputeObjectiveSurface(const AssessmentState& state, std::size_t variant,
                                     int trimPosition, const SurfaceOptions& options) {
  return ComputeObjectiveSurface(state.AnalysisSeries, state.ModelFits, variant, trimPosition,
                                 state.DataFileName, options);
}

RetrospectiveResult RunRetrospective(AssessmentState& state, const data::DataTable& table,
                                     std::size_t variant, const SearchTexts& texts,
                                     char decimalMark, const RetrospectiveOptions& options) {
  assessment::StepScope scope(state);
  if (variant >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(variant));
  }
  model::RandomSource random = state.Random;
  RetrospectiveResult result =
      RunRetrospective(state.AnalysisSeries, state.ModelFits[variant], state.MedianKeepCount,
                       table, texts, decimalMark, options, random);
  state.Random = random;
  scope.Commit(assessment::steps::Retrospective(variant, texts, decimalMark));
  return result;
}

}  // namespace tarvik::estimation

namespace tarvik::diagnostics {

data::CatchEffortSeries DiagnosedSeries(const AssessmentState& state) {
  data::CatchEffortSeries series = state.AnalysisSeries;
  if (state.Table.DataRowCount() > 0) {
    series.FirstYear = static_cast<std::uint16_t>(data::CellYear(state.Table, 1));
  }
  return series;
}

}  // namespace tarvik::diagnostics
