#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/catch_effort_series.h"

namespace tarvik::data {

// The data table of the page «Данные» as text cells: row 0 is the header
// ("Год", "U = С/Е", "E (Усилие)", "C (Улов)"), rows 1 … n hold one year each
// in the order entered (no sorting). Numbers stay text until a series is
// built from the table. At most 255 data rows: every year index of the program
// is an 8-bit number.
class DataTable {
 public:
  static constexpr int kColumns = 4;
  static constexpr int kMaxDataRows = 255;

  // Column numbers.
  static constexpr int kYear = 0;
  static constexpr int kCpue = 1;
  static constexpr int kEffort = 2;
  static constexpr int kCatch = 3;

  // Header row + one empty data row (row count 2), as the grid starts.
  DataTable();

  // A table of the given data rows under the standard header. More than 255
  // rows raise tarvik::Error.
  static DataTable FromRows(const std::vector<std::array<std::string, kColumns>>& dataRows);

  int RowCount() const { return static_cast<int>(rows_.size()); }  // including the header row
  int DataRowCount() const { return RowCount() - 1; }

  // Cell text; column 0 … 3, row 0 … RowCount() − 1, otherwise tarvik::Error.
  const std::string& Cell(int column, int row) const;
  void SetCell(int column, int row, std::string text);

  // Sets the number of rows including the header (1 … 256). New rows are
  // empty; rows beyond the new count are dropped. Any other count raises
  // tarvik::Error and leaves the table unchanged. Row 0 always stays the header.
  void SetRowCount(int rowCount);

  bool operator==(const DataTable&) const = default;

 private:
  void CheckCell(int column, int row) const;
  std::vector<std::array<std::string, kColumns>> rows_;
};

// Header texts of the four columns. In "U = С/Е" the letters С and Е are
// Cyrillic; in "E (Усилие)" and "C (Улов)" the leading E and C are Latin.
const std::array<std::string, DataTable::kColumns>& TableHeader();

// Reads table rows 1 … n into a new series: U, E, C from columns 1 … 3 (real
// numbers with `decimalMark`, surrounding blanks allowed) and FirstYear from
// the "Год" cell of row 1 (an integer 0 … 65535). The years must be
// consecutive (CheckYearSequence): every output labels element i with
// FirstYear + i. A table without data rows gives an empty series with
// FirstYear 0. A cell that does not convert raises tarvik::Error naming row,
// column and text, e.g.
//   Строка 5, столбец "E (Усилие)": значение "12,x" не является числом
// Nothing is built half-way: the caller assigns the returned series.
// A quoted cell text is shortened as MessageExcerpt does.
CatchEffortSeries RebuildLoadedSeries(const DataTable& table, char decimalMark);

// The series of table rows 1 … `rows` (each row as RebuildLoadedSeries reads
// it, FirstYear left 0); `checkRow`, when given, is called after each row is
// read with its table row, its index in the series and the series so far, and
// may raise to refuse it.
CatchEffortSeries SeriesOfRows(
    const DataTable& table, int rows, char decimalMark,
    const std::function<void(int row, std::size_t k, const CatchEffortSeries&)>& checkRow = {});

// Replaces the data rows of `table` by the TAB-separated lines of a
// spreadsheet copy (data rows only, no header line) and rebuilds
// `loadedSeries` from the new table.
//   - A line ends at CR LF, at a bare LF or at a bare CR; a last line without
//     a line end is kept; empty lines at the end of the text are ignored.
//   - Each line must hold at least four fields; fields after the fourth are
//     ignored; fields are taken as they are (no trimming, no change of the
//     decimal mark).
// All or nothing: an empty text, more than 255 lines, a line of fewer than
// four fields (an empty line in the middle included) or a cell that does not
// convert raises tarvik::Error, and then the table and the series stay exactly
// as they were.
void PasteClipboardRows(DataTable& table, std::string_view clipboardText, char decimalMark,
                        CatchEffortSeries& loadedSeries);

// Texts of the catch unit labels for a catch unit of 10^exponent tonnes
// (exponent −6 … 5, the range of the up-down control; others raise
// tarvik::Error). unitText: "Улов: т" (0), "Улов * 10 т" (1), otherwise
// "Улов * 10   т" with exponentText, the exponent as decimal text, shown
// raised above "10".
struct CatchUnitLabels {
  std::string unitText;
  std::string exponentText;
  bool exponentVisible = false;
};
CatchUnitLabels ShowCatchUnit(int exponent);

// The number in a cell, read with `decimalMark` (surrounding blanks allowed).
// A text that is not a number raises tarvik::Error naming row, column and
// text.
double CellNumber(const DataTable& table, int column, int row, char decimalMark);

// The largest magnitude a CPUE, effort or catch may have (in the table's
// units): beyond it no stock's numbers lie, and the quantities derived from
// them (K up to 1000 times the catch, q down to the CPUE over that) leave the
// range the program's roundings and displays hold.
inline constexpr double kMaxCellMagnitude = 1e15;
// The text naming that limit in messages.
inline constexpr const char* kMaxCellMagnitudeText = "10¹⁵";

// The year in the "Год" cell of a row (a decimal integer 0 … 65535); anything
// else raises tarvik::Error naming the row and the text.
int CellYear(const DataTable& table, int row);

// The year of a row (CellYear) that must be one more than the year of the
// row above (from row 2 on); otherwise tarvik::Error naming the row and both
// years, e.g.
//   Строка 5: год 1937 не следует за годом 1935 строки 4 (ожидался 1936): …
int SequenceYear(const DataTable& table, int row);

// SequenceYear for rows 1 … n: the years of the table are consecutive.
void CheckYearSequence(const DataTable& table);

// The words of that message after "Строка N: " (also used for file lines).
std::string YearSequenceProblem(long long year, long long previousYear, std::size_t previousRow);

// What is wrong with a data cell's text, read as the program reads it: the
// year column as CellYear, the U, E and C columns as CellNumber with
// `decimalMark`. Returns the message those raise (naming row, column and
// text), or an empty text when the cell reads; the header row always reads.
std::string CellProblem(const DataTable& table, int column, int row, char decimalMark);

// Lines of a text: a line ends at CR LF, LF or a bare CR; a final line
// without a line end is kept; a text ending with a line end has no empty last
// line ("" gives no line).
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace tarvik::data
