#include "data/data_table.h"

#include <cmath>
#include <functional>
#include <utility>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::data {
namespace {

constexpr int kMaxRowCount = DataTable::kMaxDataRows + 1;

std::string TooManyRowsMessage(std::size_t rows) {
  return "Слишком много строк данных: " + std::to_string(rows) + "; таблица вмещает не более " +
         std::to_string(DataTable::kMaxDataRows) + " лет";
}

std::string ColumnName(int column) {
  return "\"" + TableHeader()[column] + "\"";
}

}  // namespace

const std::array<std::string, DataTable::kColumns>& TableHeader() {
  // С and Е of "U = С/Е" are Cyrillic (U+0421, U+0415); E and C of the other
  // two headers are Latin.
  static const std::array<std::string, DataTable::kColumns> header = {"Год", "U = \u0421/\u0415",
                                                                      "E (Усилие)", "C (Улов)"};
  return header;
}

DataTable::DataTable() : rows_(2) {
  rows_[0] = TableHeader();
}

DataTable DataTable::FromRows(const std::vector<std::array<std::string, kColumns>>& dataRows) {
  if (dataRows.size() > static_cast<std::size_t>(kMaxDataRows)) {
    throw Error(TooManyRowsMessage(dataRows.size()));
  }
  DataTable table;
  table.rows_.resize(1);
  table.rows_.insert(table.rows_.end(), dataRows.begin(), dataRows.end());
  return table;
}

void DataTable::CheckCell(int column, int row) const {
  if (column < 0 || column >= kColumns || row < 0 || row >= RowCount()) {
    throw Error("Ячейка (" + std::to_string(column) + ", " + std::to_string(row) +
                ") вне таблицы данных");
  }
}

const std::string& DataTable::Cell(int column, int row) const {
  CheckCell(column, row);
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void DataTable::SetCell(int column, int row, std::string text) {
  CheckCell(column, row);
  rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(text);
}

void DataTable::SetRowCount(int rowCount) {
  if (rowCount > kMaxRowCount) {
    throw Error(TooManyRowsMessage(static_cast<std::size_t>(rowCount - 1)));
  }
  if (rowCount < 1) {
    throw Error("Недопустимое число строк таблицы: " + std::to_string(rowCount));
  }
  rows_.resize(static_cast<std::size_t>(rowCount));
}

double CellNumber(const DataTable& table, int column, int row, char decimalMark) {
  const std::string& text = table.Cell(column, row);
  const std::optional<double> value = TryParseDouble(text, decimalMark);
  if (!value) {
    throw Error("Строка " + std::to_string(row) + ", столбец " + ColumnName(column) +
                ": значение \"" + MessageExcerpt(text) + "\" не является числом");
  }
  if (std::fabs(*value) > kMaxCellMagnitude) {
    throw Error("Строка " + std::to_string(row) + ", столбец " + ColumnName(column) +
                ": значение \"" + MessageExcerpt(text) + "\" по модулю больше " +
                kMaxCellMagnitudeText + ", такого значения не бывает");
  }
  return *value;
}

int CellYear(const DataTable& table, int row) {
  const std::string& text = table.Cell(DataTable::kYear, row);
  const std::optional<long long> value = TryParseInteger(text);
  if (!value) {
    throw Error("Строка " + std::to_string(row) + ", столбец " + ColumnName(DataTable::kYear) +
                ": значение \"" + MessageExcerpt(text) + "\" не является целым числом");
  }
  if (*value < 0 || *value > 65535) {
    throw Error("Строка " + std::to_string(row) + ", столбец " + ColumnName(DataTable::kYear) +
                ": год \"" + MessageExcerpt(text) + "\" вне допустимого диапазона 0 … 65535");
  }
  return static_cast<int>(*value);
}

std::string YearSequenceProblem(long long year, long long previousYear, std::size_t previousRow) {
  return "год " + std::to_string(year) + " не следует за годом " + std::to_string(previousYear) +
         " строки " + std::to_string(previousRow) + " (ожидался " +
         std::to_string(previousYear + 1) + "): годы должны идти подряд, без пропусков и повторов";
}

int SequenceYear(const DataTable& table, int row) {
  const int year = CellYear(table, row);
  if (row > 1) {
    const int previous = CellYear(table, row - 1);
    if (year != previous + 1) {
      throw Error("Строка " + std::to_string(row) + ": " +
                  YearSequenceProblem(year, previous, static_cast<std::size_t>(row - 1)));
    }
  }
  return year;
}

void CheckYearSequence(const DataTable& table) {
  for (int row = 1; row <= table.DataRowCount(); ++row) SequenceYear(table, row);
}

std::string CellProblem(const DataTable& table, int column, int row, char decimalMark) {
  table.Cell(column, row);  // a cell outside the table raises here, not below
  if (row == 0) return {};
  try {
    if (column == DataTable::kYear) {
      CellYear(table, row);
    } else {
      CellNumber(table, column, row, decimalMark);
    }
  } catch (const Error& error) {
    return error.what();
  }
  return {};
}

CatchEffortSeries SeriesOfRows(
    const DataTable& table, int rows, char decimalMark,
    const std::function<void(int row, std::size_t k, const CatchEffortSeries&)>& checkRow) {
  CatchEffortSeries series;
  series.U.resize(static_cast<std::size_t>(rows));
  series.E.resize(static_cast<std::size_t>(rows));
  series.C.resize(static_cast<std::size_t>(rows));
  for (int i = 1; i <= rows; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    SequenceYear(table, i);
    series.U[k] = CellNumber(table, DataTable::kCpue, i, decimalMark);
    series.E[k] = CellNumber(table, DataTable::kEffort, i, decimalMark);
    series.C[k] = CellNumber(table, DataTable::kCatch, i, decimalMark);
    if (checkRow) checkRow(i, k, series);
  }
  return series;
}

CatchEffortSeries RebuildLoadedSeries(const DataTable& table, char decimalMark) {
  const int n = table.DataRowCount();
  CatchEffortSeries series = SeriesOfRows(table, n, decimalMark);
  if (n > 0) series.FirstYear = static_cast<std::uint16_t>(CellYear(table, 1));
  return series;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

void PasteClipboardRows(DataTable& table, std::string_view clipboardText, char decimalMark,
                        CatchEffortSeries& loadedSeries) {
  std::vector<std::string_view> lines = SplitLines(clipboardText);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.empty()) {
    throw Error("Буфер обмена не содержит строк данных; таблица не изменена");
  }
  if (lines.size() > static_cast<std::size_t>(DataTable::kMaxDataRows)) {
    throw Error(TooManyRowsMessage(lines.size()) + "; таблица не изменена");
  }

  DataTable pasted;
  pasted.SetRowCount(static_cast<int>(lines.size()) + 1);
  for (std::size_t r = 0; r < lines.size(); ++r) {
    const int row = static_cast<int>(r) + 1;
    std::string_view line = lines[r];
    int column = 0;
    while (column < DataTable::kColumns) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string_view::npos) {
        pasted.SetCell(column, row, std::string(line));
        ++column;
        break;
      }
      pasted.SetCell(column, row, std::string(line.substr(0, tab)));
      line.remove_prefix(tab + 1);
      ++column;
    }
    if (column < DataTable::kColumns) {
      throw Error("Строка " + std::to_string(row) + ": полей " + std::to_string(column) +
                  ", нужно 4 (год, U, E, C) через табуляцию; таблица не изменена");
    }
  }
  CatchEffortSeries series = RebuildLoadedSeries(pasted, decimalMark);
  table = std::move(pasted);
  loadedSeries = std::move(series);
}

CatchUnitLabels ShowCatchUnit(int exponent) {
  if (exponent < -6 || exponent > 5) {
    throw Error("Показатель единицы улова " + std::to_string(exponent) +
                " вне допустимого диапазона -6 … 5");
  }
  CatchUnitLabels labels;
  labels.exponentText = std::to_string(exponent);
  if (exponent == 0) {
    labels.unitText = "Улов: т";
  } else if (exponent == 1) {
    labels.unitText = "Улов * 10 т";
  } else {
    labels.unitText = "Улов * 10   т";
    labels.exponentVisible = true;
  }
  return labels;
}

}  // namespace tarvik::data
