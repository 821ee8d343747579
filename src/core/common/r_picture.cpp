#include "common/r_picture.h"

#include <cmath>
#include <cstdlib>

#include "common/elementary.h"
#include "common/r_text.h"

namespace tarvik {

namespace {

// 10ⁿ with n in superscript digits.
std::string PowerOfTen(int n) {
  static const char* const digits[] = {"⁰", "¹", "²", "³", "⁴", "⁵", "⁶", "⁷", "⁸", "⁹"};
  std::string power;
  for (const char ch : std::to_string(std::abs(n))) power += digits[ch - '0'];
  return std::string("10") + (n < 0 ? "⁻" : "") + power;
}

int ScaleExponent(double largest) {
  if (!std::isfinite(largest) || !(largest >= 1e4)) return 0;
  int exponent = 0;
  while (largest / elementary::Pow(10.0, exponent + 3) >= 1.0) exponent += 3;
  return exponent;
}

}  // namespace

double LargestMagnitude(std::span<const double> values) {
  double largest = 0.0;
  for (const double v : values) largest = std::fmax(largest, std::fabs(v));
  return largest;
}

PictureScale MassScale(double largestMagnitude, int tonnesExponent) {
  PictureScale scale;
  scale.Exponent = ScaleExponent(largestMagnitude);
  switch (const int n = tonnesExponent + scale.Exponent) {
    case -6:
      scale.Unit = "г";
      break;
    case -3:
      scale.Unit = "кг";
      break;
    case 0:
      scale.Unit = "т";
      break;
    case 1:
      scale.Unit = "10 т";
      break;
    case 3:
      scale.Unit = "тыс. т";
      break;
    case 6:
      scale.Unit = "млн т";
      break;
    case 9:
      scale.Unit = "млрд т";
      break;
    default:
      scale.Unit = PowerOfTen(n) + " т";
  }
  return scale;
}

PictureScale PlainScale(double largestMagnitude) {
  PictureScale scale;
  scale.Exponent = ScaleExponent(largestMagnitude);
  if (scale.Exponent != 0) scale.Unit = "×" + PowerOfTen(scale.Exponent);
  return scale;
}

std::string MassTitle(std::string_view name, int tonnesExponent) {
  return std::string(name) + ", " + MassUnit(tonnesExponent);
}

std::string MassUnit(int tonnesExponent) { return MassScale(0.0, tonnesExponent).Unit; }

std::string RDivision(const PictureScale& scale) {
  if (scale.Exponent == 0) return "";
  return " / 1e" + std::to_string(scale.Exponent);
}

std::string RTitle(std::string_view name, const PictureScale& scale) {
  std::string title(name);
  if (!scale.Unit.empty()) title += ", " + scale.Unit;
  return RStringContent(title);
}

const std::vector<std::string>& RContourHelpers() {
  static const std::vector<std::string> lines = {
      "labels.of <- function(v) {",
      "  v[abs(v) < 1e-9 * max(abs(v))] <- 0",
      "  for (d in 0:8) {",
      "    s <- formatC(v, format = \"f\", digits = d)",
      "    if (!anyDuplicated(s) && all(abs(as.numeric(s) - v) <= 1e-6 * max(abs(v)))) break",
      "  }",
      "  s",
      "}",
      "axis.ticks <- function(v) {",
      "  lim <- range(v, finite = TRUE)",
      "  t <- pretty(lim)",
      "  t[t >= lim[1] - 1e-7 * diff(lim) & t <= lim[2] + 1e-7 * diff(lim)]",
      "}",
      "key.ticks <- function(z, n) axis.ticks(pretty(range(z, finite = TRUE), n))",
      "label.lines <- function(v) {",
      "  if (length(v) == 0) return(0)",
      "  w <- strwidth(labels.of(v), units = \"inches\", cex = par(\"cex.axis\"), "
      "font = par(\"font.axis\"))",
      "  max(w) / (par(\"csi\") * par(\"mex\"))",
      "}",
      "fit.margins <- function(mar, y, z, n) {",
      "  mar[2] <- par(\"mgp\")[2] + 0.4 + max(label.lines(axis.ticks(y)), "
      "label.lines(key.ticks(z, n)))",
      "  mar",
      "}",
      "draw.axes <- function(x, y, xtitle, ytitle, cex, font) {",
      "  xt <- axis.ticks(x)",
      "  axis(1, at = xt, labels = labels.of(xt))",
      "  mtext(xtitle, side = 1, line = par(\"mgp\")[2] + par(\"cex.axis\"), cex = cex, "
      "font = font)",
      "  yt <- axis.ticks(y)",
      "  axis(2, at = yt, labels = labels.of(yt))",
      "  mtext(ytitle, side = 3, line = 0.2, at = grconvertX(0.01, \"ndc\", \"user\"), adj = 0, "
      "cex = cex, font = font)",
      "}",
      "draw.key <- function(z, n, title, cex, font) {",
      "  kt <- key.ticks(z, n)",
      "  axis(4, at = kt, labels = labels.of(kt))",
      "  if (nchar(title) == 0) return(invisible())",
      "  right <- grconvertX(0.99, \"ndc\", \"user\") - strwidth(title, cex = cex, font = font)",
      "  mtext(title, side = 1, line = par(\"mgp\")[2], at = min(0, right), adj = 0, cex = cex, "
      "font = font)",
      "}",
      "draw.title <- function(main, ytitle, cex, font) {",
      "  left <- grconvertX(0.01, \"ndc\", \"user\") + strwidth(paste0(ytitle, \"  \"), "
      "cex = cex, font = font)",
      "  right <- grconvertX(0.99, \"ndc\", \"user\")",
      "  size <- par(\"cex.main\")",
      "  w <- strwidth(main, cex = size, font = par(\"font.main\"))",
      "  if (w > right - left) {",
      "    size <- size * (right - left) / w",
      "    w <- right - left",
      "  }",
      "  at <- min(max(grconvertX(0.5, \"ndc\", \"user\"), left + w / 2), right - w / 2)",
      "  mtext(main, side = 3, line = 0.2, at = at, cex = size, font = par(\"font.main\"))",
      "}",
  };
  return lines;
}

}  // namespace tarvik
