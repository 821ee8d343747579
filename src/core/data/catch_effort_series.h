#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvik::data {

// A yearly series of catch per unit effort U, effort E and catch C, element i
// belonging to table row i + 1; at most 255 years. FirstYear is kept only for
// the series as loaded.
struct CatchEffortSeries {
  std::vector<double> U;
  std::vector<double> E;
  std::vector<double> C;
  std::uint16_t FirstYear = 0;

  std::size_t size() const { return U.size(); }
  bool empty() const { return U.empty(); }
};

constexpr std::size_t kMaxYears = 255;

}  // namespace tarvik::data
