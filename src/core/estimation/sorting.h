#pragma once

#include <cstddef>

namespace tarvik::estimation {

// Sorts a[0 … n−1] ascending (n ≤ 256). The values must not be NaN; then
// the result is the one ascending arrangement of the values, the same as any
// other sort gives. Up to 32 values are sorted by a fixed comparison network
// without branches (the trimmed objectives sort 20 or so residuals per
// evaluation, where a branching sort mispredicts on almost every comparison);
// longer arrays are sorted in blocks of 32 that are then merged.
void SortFiniteAscending(double* a, std::size_t n) noexcept;

}  // namespace tarvik::estimation
