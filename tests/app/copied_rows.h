#pragma once

#include <QString>

#include "common/table_text.h"
#include "data/data_table.h"

namespace tarvik::app::testing {

// The data rows of a table as a spreadsheet copies them (TAB, LF), with
// `decimalMark` in place of the table's '.'.
inline QString CopiedRows(const data::DataTable& table, char decimalMark = '.') {
  TextTable rows;
  for (int row = 1; row <= table.DataRowCount(); ++row) {
    rows.emplace_back();
    for (int column = 0; column < data::DataTable::kColumns; ++column) {
      rows.back().push_back(table.Cell(column, row));
    }
  }
  return QString::fromStdString(TabSeparatedText(rows))
      .replace(QLatin1Char('.'), QLatin1Char(decimalMark));
}

}  // namespace tarvik::app::testing
