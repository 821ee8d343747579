#include "data/statistics.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "model/production.h"

namespace tarvik::data {
namespace {

void RequireAtLeast(std::span<const double> x, std::size_t n, const char* what) {
  if (x.size() < n) {
    throw Error(std::string("Недостаточно данных для расчёта ") + what + ": нужно не менее " +
                std::to_string(n) + " значений, имеется " + std::to_string(x.size()));
  }
}

void RequireSameLength(std::span<const double> x, std::span<const double> y) {
  if (y.size() < x.size()) throw Error("Ряды для расчёта имеют разную длину");
}

}  // namespace

double SeriesMean(std::span<const double> x) {
  RequireAtLeast(x, 1, "среднего");
  double sum = 0.0;
  for (double v : x) sum += v;
  return sum / static_cast<double>(x.size());
}

double SeriesMax(std::span<const double> x) {
  RequireAtLeast(x, 1, "максимума");
  double best = x[0];
  for (double v : x) {
    if (!(best >= v)) best = v;
  }
  return best;
}

double SeriesMin(std::span<const double> x) {
  RequireAtLeast(x, 1, "минимума");
  double best = x[0];
  for (double v : x) {
    if (v < best) best = v;
  }
  return best;
}

CentredSums CentredSumsOf(std::span<const double> x, std::span<const double> y) {
  const std::size_t n = x.size();
  const double mx = SeriesMean(x);
  const double my = SeriesMean(y.first(n));
  CentredSums s;
  for (std::size_t i = 0; i < n; ++i) {
    s.Sxy += (x[i] - mx) * (y[i] - my);
    s.Sxx += (x[i] - mx) * (x[i] - mx);
    s.Syy += (y[i] - my) * (y[i] - my);
  }
  return s;
}

double Correlation(std::span<const double> x, std::span<const double> y) {
  RequireAtLeast(x, 2, "коэффициента корреляции");
  RequireSameLength(x, y);
  const CentredSums s = CentredSumsOf(x, y);
  const double denominator = std::sqrt(s.Sxx * s.Syy);
  if (denominator == 0.0) {
    throw Error("Деление на ноль при расчёте коэффициента корреляции: один из рядов постоянен");
  }
  return RoundDecimals(s.Sxy / denominator, 4);
}

double SeriesMedian(std::span<double> values) {
  RequireAtLeast(values, 1, "медианы");
  const std::size_t n = values.size();
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (n % 2 == 1) return *middle;
  const double below = *std::max_element(values.begin(), middle);
  return below + 0.5 * (*middle - below);
}

Line LinearFit(std::span<const double> x, std::span<const double> y) {
  RequireAtLeast(x, 2, "линейной регрессии");
  RequireSameLength(x, y);
  const double n = static_cast<double>(x.size());
  double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
    sxy += x[i] * y[i];
    sxx += x[i] * x[i];
  }
  const double denominator = n * sxx - sx * sx;
  if (denominator == 0.0) {
    throw Error(
        "Деление на ноль при расчёте линейной регрессии: все значения усилия одинаковы");
  }
  return {(n * sxy - sy * sx) / denominator, (sxx * sy - sxy * sx) / denominator};
}

std::vector<double> LogSeries(std::span<const double> x) {
  std::vector<double> out(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (!(x[i] > 0.0)) {
      throw Error("Логарифм неположительного числа: значение " + FormatGeneral(x[i]) +
                  " (элемент " + std::to_string(i + 1) + ")");
    }
    out[i] = elementary::Log(x[i]);
  }
  return out;
}

std::vector<double> PowerSeries(std::span<const double> x, double m) {
  std::vector<double> out(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) out[i] = model::Power(x[i], m);
  return out;
}

}  // namespace tarvik::data
