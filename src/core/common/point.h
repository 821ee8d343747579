#pragma once

#include <vector>

namespace tarvik {

// One point of a chart series, as the core hands it to the display.
struct Point {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const Point&) const = default;
};

using PointList = std::vector<Point>;

}  // namespace tarvik
