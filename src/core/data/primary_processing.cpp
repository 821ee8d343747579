#include "data/primary_processing.h"

#include <algorithm>
#include <string>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::data {
namespace {

ExploratoryPlot MakePlot(const DataTable& table, char decimalMark, int xColumn, int yColumn,
                         ExploratoryPlot::Series series, const char* leftTitle,
                         const char* bottomTitle) {
  ExploratoryPlot plot;
  plot.series = series;
  plot.leftAxisTitle = leftTitle;
  plot.bottomAxisTitle = bottomTitle;
  for (int row = 1; row <= table.DataRowCount(); ++row) {
    const double x = xColumn == DataTable::kYear ? static_cast<double>(CellYear(table, row))
                                                 : CellNumber(table, xColumn, row, decimalMark);
    const double y = CellNumber(table, yColumn, row, decimalMark);
    plot.points.push_back({x, y});
  }
  if (series == ExploratoryPlot::Series::Line) {
    // The line series keeps its points in ascending x; a point equal in x to
    // earlier ones goes after them.
    std::stable_sort(plot.points.begin(), plot.points.end(),
                     [](const Point& a, const Point& b) { return a.x < b.x; });
  }
  return plot;
}

}  // namespace

DataTable MovingAverageEffort(const CatchEffortSeries& loaded, int window, char decimalMark) {
  const int n = static_cast<int>(loaded.size());
  if (window < 1 || window > n) {
    throw Error("Интервал усреднения " + std::to_string(window) + " недопустим: нужно от 1 до " +
                std::to_string(n) + " (число лет в загруженных данных)");
  }
  DataTable table;
  table.SetRowCount(n - window + 2);
  for (int i = 0; i <= n - window; ++i) {
    const int row = i + 1;
    double sum = 0.0;
    for (int j = i; j <= i + window - 1; ++j) sum += loaded.E[static_cast<std::size_t>(j)];
    const auto last = static_cast<std::size_t>(window - 1 + i);
    table.SetCell(DataTable::kYear, row, std::to_string(loaded.FirstYear + window - 1 + i));
    table.SetCell(DataTable::kCpue, row, FormatGeneral(loaded.U[last], decimalMark));
    table.SetCell(DataTable::kEffort, row, FormatGeneral(sum / window, decimalMark));
    table.SetCell(DataTable::kCatch, row, FormatGeneral(loaded.C[last], decimalMark));
  }
  return table;
}

ExploratoryPlot PlotCpueOverTime(const DataTable& table, char decimalMark) {
  return MakePlot(table, decimalMark, DataTable::kYear, DataTable::kCpue,
                  ExploratoryPlot::Series::Line, "Улов на усилие", "Год");
}

ExploratoryPlot PlotEffortOverTime(const DataTable& table, char decimalMark) {
  return MakePlot(table, decimalMark, DataTable::kYear, DataTable::kEffort,
                  ExploratoryPlot::Series::Line, "Усилие", "Год");
}

ExploratoryPlot PlotCpueOverEffort(const DataTable& table, char decimalMark) {
  return MakePlot(table, decimalMark, DataTable::kEffort, DataTable::kCpue,
                  ExploratoryPlot::Series::Points, "Улов на усилие", "Усилие");
}

}  // namespace tarvik::data
