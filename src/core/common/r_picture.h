#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// How a contour picture drawn by R shows the numbers of one quantity: divided
// by 10^Exponent, so that no tick label needs more than four digits before the
// decimal point, and named by Unit in its axis or key title.
struct PictureScale {
  int Exponent = 0;  // 0, or a multiple of 3
  std::string Unit;  // UTF-8; empty for a plain number shown as it is
};

// The largest magnitude among the values (0 for none).
double LargestMagnitude(std::span<const double> values);

// The exponent: 0 while the largest magnitude is below 10 000 (also for 0 or
// a value that is not finite), otherwise the largest multiple of 3 that keeps
// the shown largest magnitude at 1 or above (2 300 000 → 6, shown 2.3).
//
// MassScale is for masses measured in units of 10^tonnesExponent tonnes (the
// catch unit of the data): Unit names 10^(tonnesExponent + Exponent) tonnes,
// "г", "кг", "т", "тыс. т", "млн т" or "млрд т", otherwise "10ⁿ т" with n in
// superscript digits ("10 т" for n = 1).
PictureScale MassScale(double largestMagnitude, int tonnesExponent);
// PlainScale is for numbers without a unit: Unit is empty, or "×10ⁿ" when
// the numbers are divided.
PictureScale PlainScale(double largestMagnitude);

// The title of a chart axis of a mass in the catch unit of the data,
// 10^tonnesExponent tonnes: "name, unit" with the unit as MassScale names it
// ("Биомасса, тыс. т" for 3). UTF-8, for the window's charts.
std::string MassTitle(std::string_view name, int tonnesExponent);

// The catch unit of the data itself, 10^tonnesExponent tonnes, as MassScale
// names it: "т" for 0, "тыс. т" for 3. UTF-8, for tables and sentences.
std::string MassUnit(int tonnesExponent);

// " / 1e6" for Exponent 6; empty for Exponent 0. Appended to the R expression
// that reads the values.
std::string RDivision(const PictureScale& scale);

// "name, unit", or "name" when the unit is empty, as the inside of an R
// string literal (RStringContent).
std::string RTitle(std::string_view name, const PictureScale& scale);

// The R functions (one line each, no line ends) that the contour scripts
// define before drawing, to give filled.contour labels that are whole and
// distinct:
//   fit.margins(mar, y, z, n)   `mar` with a left margin that holds the
//                               labels of the y axis and of the colour key
//                               (filled.contour gives both the same room);
//   draw.axes(x, y, xtitle, ytitle, cex, font)   for plot.axes: both axes,
//                               the x title below the tick labels and the y
//                               title above the top left corner;
//   draw.key(z, n, title, cex, font)   for key.axes: the key's labels and an
//                               optional title under the key;
//   draw.title(main, ytitle, cex, font)   for plot.title: a title in the top
//                               line beside the y title, made smaller when
//                               it would not fit the picture's width.
// Tick values are pretty() values inside the range; each label has the
// fewest decimals that write every value exactly and tell all apart.
const std::vector<std::string>& RContourHelpers();

}  // namespace tarvik
