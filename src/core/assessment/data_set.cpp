#include "assessment/data_set.h"

#include <utility>

#include "assessment/variants.h"
#include "data/data_table.h"
#include "estimation/variants.h"

namespace tarvik::estimation {

void ReplaceDataSet(AssessmentState& state, data::DataTable table,
                    data::CatchEffortSeries loadedSeries) {
  state.Table = std::move(table);
  state.LoadedSeries = std::move(loadedSeries);
  assessment::ClearDependents(state, assessment::Stage::Data);
}

void EditCell(AssessmentState& state, int column, int row, std::string text) {
  if (state.Table.Cell(column, row) == text) return;
  state.Table.SetCell(column, row, std::move(text));
  assessment::ClearDependents(state, assessment::Stage::Data);
}

void PasteDataSet(AssessmentState& state, std::string_view clipboardText, char decimalMark) {
  data::DataTable table = state.Table;
  data::CatchEffortSeries series = state.LoadedSeries;
  data::PasteClipboardRows(table, clipboardText, decimalMark, series);
  ReplaceDataSet(state, std::move(table), std::move(series));
}

void RebuildVariants(AssessmentState& state, std::string_view cutOffList) {
  BuildModelFits(state, cutOffList);
  assessment::ClearDependents(state, assessment::Stage::Variants);
}

void OpenDataSet(AssessmentState& state, const data::DataFile& file, const std::string& path,
                 std::string_view cutOffList) {
  ParseCutOffList(cutOffList);  // a bad list raises before anything changes
  AssessmentState next = state;
  ReplaceDataSet(next, file.table, file.series);
  next.DataFileName = path;
  RebuildVariants(next, cutOffList);
  state = std::move(next);
}

}  // namespace tarvik::estimation
