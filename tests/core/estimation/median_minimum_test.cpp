#include "estimation/median_minimum.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "assessment/refinement.h"
#include "assessment/variants.h"
#include "estimation/refinement.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;

// The median objective's minimum by brute force, independently of the
// enumeration under test: the objective is piecewise linear in
// θ = (r, r/(2qK), 2q) (Schaefer) or (r·ln(2qK), r, 2q) (Fox), with kinks only
// where a residual is zero or two residuals are equal in size (e_i = ±e_j),
// so its minimum over a box lies where three of those planes meet, or, on
// the faces q = MinQ and q = MaxQ (θ2 fixed), where two meet (the bounds of
// r and K are wide enough not to matter). Every such point is taken
// and evaluated with the objective itself.
struct Plane {
  std::array<double, 3> a;  // a·θ = b
  double b;
};

bool PointOf(ProductionModelKind kind, const std::array<double, 3>& t, ParameterPoint& x) {
  x.q = t[2] / 2.0;
  if (kind == ProductionModelKind::Schaefer) {
    x.r = t[0];
    x.K = t[0] / (t[1] * t[2]);
  } else {
    x.r = t[1];
    x.K = std::exp(t[0] / t[1]) / t[2];
  }
  return std::isfinite(x.r) && std::isfinite(x.K) && std::isfinite(x.q);
}

double BruteForceMinimum(const data::CatchEffortSeries& s, ProductionModelKind kind,
                         const ParameterBounds& b, std::uint8_t keep) {
  std::vector<Plane> planes;
  std::vector<std::array<double, 3>> X;
  std::vector<double> y;
  for (std::size_t t = 2; t < s.size(); ++t) {
    const double S = s.U[t - 1] + s.U[t - 2];
    const double second = kind == ProductionModelKind::Schaefer ? -S * S : -S * std::log(S);
    X.push_back({S, second, -s.C[t - 1]});
    y.push_back(s.U[t] - s.U[t - 2]);
  }
  const std::size_t n = y.size();
  for (std::size_t i = 0; i < n; ++i) {
    planes.push_back({X[i], y[i]});
    for (std::size_t j = i + 1; j < n; ++j) {
      for (double sign : {1.0, -1.0}) {
        planes.push_back(
            {{X[i][0] - sign * X[j][0], X[i][1] - sign * X[j][1], X[i][2] - sign * X[j][2]},
             y[i] - sign * y[j]});
      }
    }
  }
  double best = std::numeric_limits<double>::infinity();
  const auto consider = [&](const std::array<double, 3>& theta) {
    ParameterPoint x;
    if (!PointOf(kind, theta, x)) return;
    const double tol = 1e-9;
    if (x.r < b.MinR - tol || x.r > b.MaxR * (1 + tol) || x.K < b.MinK * (1 - tol) ||
        x.K > b.MaxK * (1 + tol) || x.q < b.MinQ * (1 - tol) || x.q > b.MaxQ * (1 + tol)) {
      return;
    }
    ClampToBounds(x, b, false);
    best = std::min(
        best, model::EvaluateObjective(s, ObjectiveKind::Median, kind, x.r, x.K, x.q, 0.0, keep));
  };
  // Cramer's rule for three planes; two planes on the faces of q.
  const auto det3 = [](const std::array<std::array<double, 3>, 3>& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  for (std::size_t i = 0; i < planes.size(); ++i) {
    for (std::size_t j = i + 1; j < planes.size(); ++j) {
      for (double t2 : {2.0 * b.MinQ, 2.0 * b.MaxQ}) {
        const double a00 = planes[i].a[0], a01 = planes[i].a[1], a10 = planes[j].a[0],
                     a11 = planes[j].a[1];
        const double d2 = a00 * a11 - a01 * a10;
        if (d2 == 0.0) continue;
        const double b0 = planes[i].b - planes[i].a[2] * t2, b1 = planes[j].b - planes[j].a[2] * t2;
        consider({(b0 * a11 - a01 * b1) / d2, (a00 * b1 - b0 * a10) / d2, t2});
      }
      for (std::size_t k = j + 1; k < planes.size(); ++k) {
        const std::array<std::array<double, 3>, 3> m = {planes[i].a, planes[j].a, planes[k].a};
        const double d = det3(m);
        if (std::fabs(d) < 1e-14 * (1.0 + std::fabs(m[0][0]))) continue;
        std::array<double, 3> theta{};
        for (int c = 0; c < 3; ++c) {
          auto mc = m;
          mc[0][c] = planes[i].b;
          mc[1][c] = planes[j].b;
          mc[2][c] = planes[k].b;
          theta[c] = det3(mc) / d;
        }
        consider(theta);
      }
    }
  }
  return best;
}

struct MedianCase {
  std::string Name;
  ProductionModelKind Kind;
  std::uint8_t Keep;  // of 7 residuals
  double MaxQ;        // 1: the minimum lies inside; 0.00018: on the face q = MaxQ
};

class ExactMedianMinimum : public ::testing::TestWithParam<MedianCase> {};

// Nine years of a fished stock (7 residuals), every residual kept or a
// window of 4 (c = 1, D = 5): the enumeration's lowest vertex and the
// refinement's minimum are the brute-force minimum.
TEST_P(ExactMedianMinimum, EqualsTheMinimumOverEveryVertex) {
  const MedianCase& c = GetParam();
  const data::CatchEffortSeries s = testing::FishedStock(9, 5);
  const ParameterBounds bounds{0.0, 5.0, 100.0, 1.0e7, 1.0e-6, c.MaxQ, 1.01, 10.0};
  const double brute = BruteForceMinimum(s, c.Kind, bounds, c.Keep);
  ASSERT_TRUE(std::isfinite(brute));

  AssessmentState state;
  BuildModelFits(state, "4");
  const std::size_t index = c.Kind == ProductionModelKind::Schaefer ? 2 : 5;  // «М» variants
  model::ModelFit& fit = state.ModelFits[index];
  fit.R = 0.4;
  fit.K = 15000.0;
  fit.Q = std::min(0.0002, c.MaxQ);
  fit.ObjectiveValue =
      model::EvaluateObjective(s, ObjectiveKind::Median, c.Kind, fit.R, fit.K, fit.Q, 0.0, c.Keep);
  const VariantRefinement v = RefineVariant(s, state.ModelFits, index, bounds, c.Keep);
  ASSERT_TRUE(v.Available);
  EXPECT_TRUE(v.Enumerated);
  EXPECT_NEAR(v.Objective, brute, 1e-9 * brute);
  EXPECT_LE(v.Point.q, c.MaxQ);
  // The enumeration alone, before any descent.
  const MedianMinimum vertices = FindMedianMinimum(s, c.Kind, bounds, c.Keep, 0.0);
  ASSERT_FALSE(vertices.Best.empty());
  EXPECT_TRUE(vertices.Complete);
  EXPECT_NEAR(vertices.Best[0].Value, brute, 1e-9 * brute);
}

INSTANTIATE_TEST_SUITE_P(
    SmallCases, ExactMedianMinimum,
    ::testing::Values(MedianCase{"SchaeferEveryResidual", ProductionModelKind::Schaefer, 7, 1.0},
                      MedianCase{"SchaeferWindow", ProductionModelKind::Schaefer, 1, 1.0},
                      MedianCase{"FoxWindow", ProductionModelKind::Fox, 2, 1.0},
                      MedianCase{"SchaeferOnTheFaceOfQ", ProductionModelKind::Schaefer, 7, 0.00018},
                      MedianCase{"FoxWindowOnTheFaceOfQ", ProductionModelKind::Fox, 1, 0.00018}),
    [](const ::testing::TestParamInfo<MedianCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace tarvik::estimation
