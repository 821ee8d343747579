#include "data/statistics.h"

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

double Correlation(std::span<const double> x, std::span<const double> y) {
  RequireAtLeast(x, 2, "коэффициента корреляции");
  RequireSameLength(x, y);
  const std::size_t n = x.size();
  const double mx = SeriesMean(x);
  const double my = SeriesMean(y.first(n));
  double sxy = 0.0, sxx = 0.0, syy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  const double denominator = std::sqrt(sxx * syy);
  if (denominator == 0.0) {
    throw Error("Деление на ноль при расчёте коэффициента корреляции: один из рядов постоянен");
  }
  return RoundDecimals(sxy / denominator, 4);
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
