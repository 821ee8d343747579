#pragma once

#include <string>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "data/data_table.h"

namespace tarvik::data {

// Moving average of effort over a trailing window of w years, computed from
// the series as loaded (so another window recomputes from the loaded data
// instead of averaging averages). Returns the new table of n − w + 1 data
// rows: row i + 1 (i = 0 … n − w) holds the year FirstYear + w − 1 + i, U and
// C of that year unaveraged, and E = (E[i] + … + E[i + w − 1]) / w, the sum
// restarted at 0 for every row; numbers in the general format with
// `decimalMark`. w = 1 gives back the loaded table (re-formatted).
// A window w < 1 or w > n raises tarvik::Error.
DataTable MovingAverageEffort(const CatchEffortSeries& loaded, int window, char decimalMark);

// One exploratory plot of the data page. A line keeps its points sorted by
// ascending x; points stay in row order.
struct ExploratoryPlot {
  enum class Series { Line, Points };  // how the points are drawn
  Series series = Series::Line;
  PointList points;
  std::string leftAxisTitle;
  std::string bottomAxisTitle;
};

// "U = f(t)": (year, U) of every data row, line series, axes "Улов на усилие"
// over "Год".
ExploratoryPlot PlotCpueOverTime(const DataTable& table, char decimalMark);
// "E = f(t)": (year, E), line series, axes "Усилие" over "Год".
ExploratoryPlot PlotEffortOverTime(const DataTable& table, char decimalMark);
// "U = f(E)": (E, U), point series, axes "Улов на усилие" over "Усилие".
ExploratoryPlot PlotCpueOverEffort(const DataTable& table, char decimalMark);
// The plots read the table afresh (not a series). A cell that does not
// convert raises tarvik::Error naming row, column and text; no plot is
// returned then.

}  // namespace tarvik::data
