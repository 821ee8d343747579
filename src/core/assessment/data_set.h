#pragma once

// The data set of an assessment: the table, the series as loaded and the
// variants, and the transitions that replace or change them. Each clears
// the suitability check (or the fits) and everything after it.

#include <string>
#include <string_view>

#include "assessment/state.h"
#include "data/data_file.h"

namespace tarvik::estimation {

// Transition: another data set in the table (a paste, the undo of one, the
// moving average of effort): the table and the series as loaded are
// replaced; the suitability check and everything after it are invalidated
// (ClearSuitability). The variants and the data file name stay.
void ReplaceDataSet(AssessmentState& state, data::DataTable table,
                    data::CatchEffortSeries loadedSeries);

// Transition: a cell typed in the table (column, row of DataTable; row 0 is
// the header). When the text differs from the cell's, the cell takes it and
// the suitability check and everything after it are invalidated
// (ClearSuitability): the next check, and so the next search, runs on what
// the table shows. The series as loaded stays (it is the file's).
void EditCell(AssessmentState& state, int column, int row, std::string text);

// Transition "Вставить": the data rows replaced by the rows of a spreadsheet
// copy (data::PasteClipboardRows), then as ReplaceDataSet. A text that does
// not paste raises tarvik::Error and changes nothing.
void PasteDataSet(AssessmentState& state, std::string_view clipboardText, char decimalMark);

// Transition: the variants rebuilt for a cut-off list (the results panel's
// creation): BuildModelFits, then ClearFits (the kept values may stand for
// other variants now; this also ends the model choice and everything after
// it). A bad list raises tarvik::Error and changes nothing.
void RebuildVariants(AssessmentState& state, std::string_view cutOffList);

// Transition «Открыть» of a data file already read (data::ReadDataFile, which
// changes nothing when it fails): the cut-off list is read first (a bad list
// raises tarvik::Error and nothing changes); then the table and the series of
// the file replace those of the state (ReplaceDataSet), DataFileName becomes
// `path` and the variants are rebuilt for the list (RebuildVariants). So no
// result of the previous data set is left.
void OpenDataSet(AssessmentState& state, const data::DataFile& file, const std::string& path,
                 std::string_view cutOffList);

}  // namespace tarvik::estimation
