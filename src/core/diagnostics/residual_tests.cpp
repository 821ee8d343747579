#include "common/elementary.h"
#include "diagnostics/residual_tests.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <numbers>
#include <vector>

namespace tarvik::diagnostics {
namespace {

constexpr std::size_t kFewest = 3;

// Why the residuals allow no test, or an empty text.
std::string Unusable(std::span<const double> x) {
  for (double v : x) {
    if (!std::isfinite(v)) return "среди остатков есть нечисловые значения";
  }
  if (x.size() < kFewest) {
    return "нужно не меньше 3 остатков, а их " + std::to_string(x.size());
  }
  const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
  const double largest = std::max(std::fabs(*lo), std::fabs(*hi));
  if (!(*hi - *lo > 1e-10 * largest)) return "все остатки равны";
  return {};
}

double UpperNormal(double z) {
  return boost::math::cdf(boost::math::complement(boost::math::normal_distribution<>(), z));
}

double Polynomial(std::initializer_list<double> c, double x) {
  double value = 0.0, power = 1.0;
  for (double coefficient : c) {
    value += coefficient * power;
    power *= x;
  }
  return value;
}

}  // namespace

RunsTest RunsTestOfSigns(std::span<const double> residuals) {
  RunsTest t;
  for (double v : residuals) {
    if (!std::isfinite(v)) {
      t.Reason = "среди остатков есть нечисловые значения";
      return t;
    }
  }
  int previous = 0;
  std::size_t positive = 0, negative = 0, runs = 0;
  for (double v : residuals) {
    if (v == 0.0) continue;
    const int sign = v > 0.0 ? 1 : -1;
    (sign > 0 ? positive : negative) += 1;
    if (sign != previous) ++runs;
    previous = sign;
  }
  const double n1 = static_cast<double>(positive), n2 = static_cast<double>(negative);
  const double n = n1 + n2;
  if (positive + negative < kFewest) {
    t.Reason = "нужно не меньше 3 ненулевых остатков, а их " + std::to_string(positive + negative);
    return t;
  }
  const double variance = 2.0 * n1 * n2 * (2.0 * n1 * n2 - n) / (n * n * (n - 1.0));
  if (!(variance > 0.0)) {
    t.Reason = "все остатки одного знака";
    return t;
  }
  t.Assessable = true;
  t.Positive = positive;
  t.Negative = negative;
  t.Runs = runs;
  t.Z = (static_cast<double>(runs) - (2.0 * n1 * n2 / n + 1.0)) / std::sqrt(variance);
  t.P = 2.0 * UpperNormal(std::fabs(t.Z));
  return t;
}

ShapiroWilk ShapiroWilkTest(std::span<const double> residuals) {
  ShapiroWilk t;
  t.Reason = Unusable(residuals);
  if (!t.Reason.empty()) return t;
  const std::size_t n = residuals.size();
  if (n > 5000) {
    t.Reason = "тест Шапиро — Уилка рассчитан не более чем на 5000 остатков";
    return t;
  }
  std::vector<double> x(residuals.begin(), residuals.end());
  std::sort(x.begin(), x.end());
  const double count = static_cast<double>(n);

  // Coefficients a (antisymmetric, Σa² = 1): normal scores m, the two
  // extreme ones corrected by Royston's polynomials in 1/√n.
  std::vector<double> a(n, 0.0);
  if (n == 3) {
    a[0] = -std::sqrt(0.5);
    a[2] = std::sqrt(0.5);
  } else {
    const boost::math::normal_distribution<> normal;
    std::vector<double> m(n);
    double sumSquares = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      m[i] = boost::math::quantile(normal, (static_cast<double>(i + 1) - 0.375) / (count + 0.25));
      sumSquares += m[i] * m[i];
    }
    const double u = 1.0 / std::sqrt(count);
    const double root = std::sqrt(sumSquares);
    const double last =
        m[n - 1] / root + Polynomial({0.0, 0.221157, -0.147981, -2.071190, 4.434685, -2.706056}, u);
    a[n - 1] = last;
    a[0] = -last;
    std::size_t corrected = 1;
    double phi = 0.0;
    if (n > 5) {
      const double second =
          m[n - 2] / root +
          Polynomial({0.0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633}, u);
      a[n - 2] = second;
      a[1] = -second;
      corrected = 2;
      phi = (sumSquares - 2.0 * m[n - 1] * m[n - 1] - 2.0 * m[n - 2] * m[n - 2]) /
            (1.0 - 2.0 * last * last - 2.0 * second * second);
    } else {
      phi = (sumSquares - 2.0 * m[n - 1] * m[n - 1]) / (1.0 - 2.0 * last * last);
    }
    for (std::size_t i = corrected; i < n - corrected; ++i) a[i] = m[i] / std::sqrt(phi);
  }

  double mean = 0.0;
  for (double v : x) mean += v;
  mean /= count;
  double ax = 0.0, aa = 0.0, xx = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = x[i] - mean;
    ax += a[i] * d;
    aa += a[i] * a[i];
    xx += d * d;
  }
  t.W = std::min(1.0, ax * ax / (aa * xx));
  t.Assessable = true;

  if (n == 3) {
    // Exact: p = (6/π)(asin √W − asin √(3/4)).
    t.P = std::clamp(6.0 / std::numbers::pi * (std::asin(std::sqrt(t.W)) - std::numbers::pi / 3.0),
                     0.0, 1.0);
    return t;
  }
  const double lnOneMinusW = elementary::Log1p(-t.W);
  if (!std::isfinite(lnOneMinusW)) {  // W = 1: a perfect straight line of normal scores
    t.P = 1.0;
    return t;
  }
  double z = 0.0;
  if (n <= 11) {
    const double gamma = Polynomial({-2.273, 0.459}, count);
    if (lnOneMinusW >= gamma) {  // beyond the transformation: far in the lower tail of W
      t.P = 0.0;
      return t;
    }
    const double mu = Polynomial({0.5440, -0.39978, 0.025054, -6.714e-4}, count);
    const double sigma = elementary::Exp(Polynomial({1.3822, -0.77857, 0.062767, -0.0020322}, count));
    z = (-elementary::Log(gamma - lnOneMinusW) - mu) / sigma;
  } else {
    const double ln = elementary::Log(count);
    const double mu = Polynomial({-1.5861, -0.31082, -0.083751, 0.0038915}, ln);
    const double sigma = elementary::Exp(Polynomial({-0.4803, -0.082676, 0.0030302}, ln));
    z = (lnOneMinusW - mu) / sigma;
  }
  t.P = UpperNormal(z);
  return t;
}

int LjungBoxLag(std::size_t n) {
  return n < 8 ? static_cast<int>(n / 2) : 4;
}

LjungBox LjungBoxTest(std::span<const double> residuals) {
  LjungBox t;
  t.Reason = Unusable(residuals);
  if (!t.Reason.empty()) return t;
  const std::size_t n = residuals.size();
  double mean = 0.0;
  for (double v : residuals) mean += v;
  mean /= static_cast<double>(n);
  double c0 = 0.0;
  for (double v : residuals) c0 += (v - mean) * (v - mean);
  const int lag = LjungBoxLag(n);
  double sum = 0.0;
  for (int k = 1; k <= lag; ++k) {
    const auto shift = static_cast<std::size_t>(k);
    double ck = 0.0;
    for (std::size_t i = 0; i + shift < n; ++i) {
      ck += (residuals[i] - mean) * (residuals[i + shift] - mean);
    }
    const double rho = ck / c0;
    sum += rho * rho / static_cast<double>(n - shift);
  }
  const double count = static_cast<double>(n);
  t.Assessable = true;
  t.Lag = lag;
  t.Q = count * (count + 2.0) * sum;
  t.P = boost::math::cdf(boost::math::complement(
      boost::math::chi_squared_distribution<>(static_cast<double>(lag)), t.Q));
  return t;
}

}  // namespace tarvik::diagnostics
