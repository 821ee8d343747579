#pragma once

#include <span>
#include <vector>

namespace tarvik::data {

// Arithmetic mean (x[0] + … + x[n−1]) / n, summed left to right. n ≥ 1.
double SeriesMean(std::span<const double> x);

// Largest element: starts with x[0] and takes each x[i] it is not ≥ to. n ≥ 1.
double SeriesMax(std::span<const double> x);

// Smallest element: starts with x[0] and takes each smaller x[i]. n ≥ 1.
double SeriesMin(std::span<const double> x);

// The centred sums of x and y (n = size of x; y at least as long), the
// means x̄, ȳ summed left to right: Σ(x−x̄)(y−ȳ), Σ(x−x̄)², Σ(y−ȳ)². The one
// computation behind every correlation of the program.
struct CentredSums {
  double Sxy = 0.0;
  double Sxx = 0.0;
  double Syy = 0.0;
};
CentredSums CentredSumsOf(std::span<const double> x, std::span<const double> y);

// Pearson correlation of x and y (n = size of x ≥ 2), rounded to 4 decimals
// with ties to even. A zero variance raises tarvik::Error.
double Correlation(std::span<const double> x, std::span<const double> y);

// The median of `values` (n ≥ 1; reordered): the middle element, or for an
// even n the lower middle one plus half the difference to the upper.
double SeriesMedian(std::span<double> values);

// Least-squares line y = a·x + b.
struct Line {
  double a = 0.0;
  double b = 0.0;
};

// a = (nΣxy − ΣyΣx) / (nΣx² − (Σx)²), b = (Σx²Σy − ΣxyΣx) / (nΣx² − (Σx)²).
// n ≥ 2; a zero denominator (all x equal) raises tarvik::Error.
Line LinearFit(std::span<const double> x, std::span<const double> y);

// ln x[i]; a non-positive element raises tarvik::Error.
std::vector<double> LogSeries(std::span<const double> x);

// x[i]^m with the program's power (integral m by repeated multiplication);
// a negative element with a fractional m raises tarvik::Error.
std::vector<double> PowerSeries(std::span<const double> x, double m);

}  // namespace tarvik::data
