#include "assessment/data_set.h"

#include <utility>

#include "assessment/journal.h"
#include "assessment/variants.h"
#include "data/data_table.h"
#include "estimation/variants.h"

namespace tarvik::estimation {

void ReplaceDataSet(AssessmentState& state, data::DataTable table,
                    data::CatchEffortSeries loadedSeries) {
  assessment::StepScope scope(state);
  RecordedStep step =
      assessment::steps::ReplaceDataSet(table, loadedSeries, state.Journal.DecimalMark);
  state.Table = std::move(table);
  state.LoadedSeries = std::move(loadedSeries);
  assessment::ClearDependents(state, assessment::Stage::Data);
  scope.Commit(std::move(step));
}

void EditCell(AssessmentState& state, int column, int row, std::string text) {
  assessment::StepScope scope(state);
  if (state.Table.Cell(column, row) == text) return;
  RecordedStep step = assessment::steps::EditCell(column, row, text, state.Journal.DecimalMark);
  state.Table.SetCell(column, row, std::move(text));
  assessment::ClearDependents(state, assessment::Stage::Data);
  scope.Commit(std::move(step));
}

void PasteDataSet(AssessmentState& state, std::string_view clipboardText, char decimalMark) {
  assessment::StepScope scope(state);
  data::DataTable table = state.Table;
  data::CatchEffortSeries series = state.LoadedSeries;
  data::PasteClipboardRows(table, clipboardText, decimalMark, series);
  ReplaceDataSet(state, std::move(table), std::move(series));
  scope.Commit(assessment::steps::PasteDataSet(clipboardText, decimalMark));
}

void RebuildVariants(AssessmentState& state, std::string_view cutOffList) {
  assessment::StepScope scope(state);
  BuildModelFits(state, cutOffList);
  assessment::ClearDependents(state, assessment::Stage::Variants);
  scope.Commit(assessment::steps::RebuildVariants(cutOffList));
}

void OpenDataSet(AssessmentState& state, const data::DataFile& file, const std::string& path,
                 std::string_view cutOffList) {
  assessment::StepScope scope(state);
  ParseCutOffList(cutOffList);  // a bad list raises before anything changes
  AssessmentState next = state;
  ReplaceDataSet(next, file.table, file.series);
  next.DataFileName = path;
  RebuildVariants(next, cutOffList);
  // The rules outlive the data set: the step carries them.
  RecordedStep step = assessment::steps::OpenDataSet(state, path, cutOffList);
  const std::uint32_t seed = state.Random.Seed();
  state = std::move(next);
  scope.CommitStart(std::move(step), file.table, file.description, seed);
}

}  // namespace tarvik::estimation
