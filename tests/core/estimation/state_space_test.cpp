#include "estimation/state_space.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlopt.hpp>
#include <random>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "support/error_of.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;
using testing_support::ErrorOf;

// A series of the model itself: Schaefer, B₁ = K, process error σ_p on the
// log biomass and observation error σ_o on the log CPUE; the harvest rate
// rises for 18 years, then eases.
data::CatchEffortSeries Simulated(double sigmaP, double sigmaO, unsigned seed, int years = 30) {
  const double r = 0.4, K = 1000.0, q = 0.01;
  std::mt19937_64 generator(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  data::CatchEffortSeries s;
  s.FirstYear = 1990;
  double B = K;
  for (int t = 0; t < years; ++t) {
    const double C = (t < 18 ? 0.05 + 0.02 * t : 0.12) * B;
    const double U = q * B * std::exp(sigmaO * gauss(generator));
    s.U.push_back(U);
    s.C.push_back(C);
    s.E.push_back(C / U);
    B = (B + r * B * (1.0 - B / K) - C) * std::exp(sigmaP * gauss(generator));
  }
  return s;
}

StateSpaceParameters Point(double sigmaP = 0.1, double sigmaO = 0.15) {
  StateSpaceParameters x;
  x.r = 0.4;
  x.K = 1000.0;
  x.q = 0.01;
  x.SigmaP = sigmaP;
  x.SigmaO = sigmaO;
  x.p = 1.5;
  x.phi = 0.9;
  return x;
}

TEST(StateSpace, RecoversTheParametersOfANearlyExactSeries) {
  const data::CatchEffortSeries s = Simulated(0.02, 0.02, 7);
  const StateSpaceFit f = FitStateSpace(s, ProductionModelKind::Schaefer, {});
  EXPECT_TRUE(f.Converged);
  EXPECT_TRUE(f.HessianPositiveDefinite);
  EXPECT_LT(f.MaxGradient, 1e-6);
  EXPECT_NEAR(f.R.Value / 0.4, 1.0, 0.1);
  EXPECT_NEAR(f.K.Value / 1000.0, 1.0, 0.1);
  EXPECT_NEAR(f.Q.Value / 0.01, 1.0, 0.1);
  EXPECT_NEAR(f.MSY.Value / 100.0, 1.0, 0.03);
  // The intervals hold the truth, and MSY = r·K/4 is the model's.
  EXPECT_LT(f.MSY.Lower, 100.0);
  EXPECT_GT(f.MSY.Upper, 100.0);
  EXPECT_DOUBLE_EQ(f.MSY.Value, f.R.Value * f.K.Value / 4.0);
  EXPECT_DOUBLE_EQ(f.BNextOverBMSY.Value, f.BNext.Value / (f.K.Value / 2.0));
  ASSERT_EQ(f.Biomass.size(), 31u);
  ASSERT_EQ(f.OsaResiduals.size(), 30u);
  EXPECT_TRUE(f.Normality.Assessable);
  // Every start ends at the same optimum on such a series.
  for (double v : f.StartObjectives) EXPECT_NEAR(v, f.Objective, 1e-6);
}

// The objective of the yellowfin example at its optimum and the estimates,
// as R's TMB gives them (bench/validation/state_space_check.R).
TEST(StateSpace, EqualsTheIndependentImplementationOnTheYellowfinExample) {
  const data::CatchEffortSeries s =
      data::ReadDataFile(std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt",
                         '.')
          .series;
  struct Case {
    ProductionModelKind kind;
    double objective, logR, logK, logSigmaP, seLogMsy;
  };
  for (const Case& c :
       {Case{ProductionModelKind::Schaefer, -5.341407996, -1.15909388, 14.36040396, -3.85059450,
             0.300384},
        Case{ProductionModelKind::Fox, -5.626085701, -1.34535698, 14.32774286, -3.82845269,
             0.221877}}) {
    const StateSpaceFit f = FitStateSpace(s, c.kind, {});
    EXPECT_NEAR(f.Objective, c.objective, 1e-6 * std::fabs(c.objective));
    EXPECT_NEAR(std::log(f.R.Value), c.logR, 1e-6);
    EXPECT_NEAR(std::log(f.K.Value), c.logK, 1e-6);
    EXPECT_NEAR(std::log(f.SigmaP.Value), c.logSigmaP, 1e-6);
    EXPECT_NEAR(f.MSY.SeLog / c.seLogMsy, 1.0, 0.01);
  }
}

TEST(StateSpace, InnerModeEqualsADirectMinimisation) {
  const data::CatchEffortSeries s = Simulated(0.1, 0.1, 3, 8);
  for (ProductionModelKind kind :
       {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
        ProductionModelKind::PellaTomlinson}) {
    const StateSpaceParameters x = Point(0.2, 0.2);
    const StateSpaceLaplace laplace = EvaluateStateSpace(s, kind, {}, x);
    std::vector<double> u(s.size() + 1, -0.5);
    nlopt::opt opt(nlopt::LN_BOBYQA, static_cast<unsigned>(u.size()));
    using Args = std::pair<const data::CatchEffortSeries*, std::pair<ProductionModelKind, StateSpaceParameters>>;
    Args args{&s, {kind, x}};
    opt.set_min_objective(
        [](unsigned n, const double* v, double*, void* data) {
          const auto* a = static_cast<const Args*>(data);
          return StateSpaceJointNll(*a->first, a->second.first, {}, a->second.second,
                                    std::vector<double>(v, v + n));
        },
        &args);
    opt.set_xtol_abs(1e-10);
    opt.set_maxeval(200000);
    double value = 0.0;
    opt.optimize(u, value);
    for (std::size_t t = 0; t < u.size(); ++t) {
      EXPECT_NEAR(laplace.Mode[t], u[t], 1e-6) << model::ModelName(kind) << " t = " << t;
    }
  }
}

TEST(StateSpace, GradientEqualsFiniteDifferencesOfTheObjective) {
  const data::CatchEffortSeries s = Simulated(0.1, 0.15, 5, 20);
  StateSpaceOptions options;
  options.EstimateB1 = true;
  options.SigmaPPrior = true;
  for (ProductionModelKind kind :
       {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
        ProductionModelKind::PellaTomlinson}) {
    const StateSpaceParameters x = Point();
    const StateSpaceLaplace at = EvaluateStateSpace(s, kind, options, x);
    // θ: ln r, ln K, ln q, ln σ_p, ln σ_o, (ln p), ln φ.
    const bool pt = kind == ProductionModelKind::PellaTomlinson;
    ASSERT_EQ(at.Gradient.size(), pt ? 7u : 6u);
    for (std::size_t i = 0; i < at.Gradient.size(); ++i) {
      const double h = 1e-5;
      auto moved = [&](double sign) {
        StateSpaceParameters y = x;
        double* fields[] = {&y.r, &y.K, &y.q, &y.SigmaP, &y.SigmaO, pt ? &y.p : &y.phi, &y.phi};
        *fields[i] *= std::exp(sign * h);
        return EvaluateStateSpace(s, kind, options, y).Objective;
      };
      const double numeric = (moved(1.0) - moved(-1.0)) / (2.0 * h);
      EXPECT_NEAR(at.Gradient[i], numeric, 1e-5 * (1.0 + std::fabs(numeric)))
          << model::ModelName(kind) << " θ" << i;
    }
  }
}

TEST(StateSpace, SmoothFloorKeepsACollapsedPathFinite) {
  // The catch of the fifth year is twice K: the balance falls far below zero.
  data::CatchEffortSeries s = Simulated(0.05, 0.1, 9, 12);
  s.C[4] = 2000.0;
  const StateSpaceParameters x = Point();
  std::vector<double> u(s.size() + 1, std::log(0.5));
  const double joint = StateSpaceJointNll(s, ProductionModelKind::Schaefer, {}, x, u);
  EXPECT_TRUE(std::isfinite(joint));
  // m = 0.5 + 0.4·0.5·0.5 − 2 = −1.4: the mean of u₆ is ln ε + m/ε = ln 0.001 − 1400.
  std::vector<double> v = u;
  v[5] = std::log(0.001) - 1400.0;
  EXPECT_LT(StateSpaceJointNll(s, ProductionModelKind::Schaefer, {}, x, v), joint);
  for (ProductionModelKind kind :
       {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
        ProductionModelKind::PellaTomlinson}) {
    const StateSpaceLaplace laplace = EvaluateStateSpace(s, kind, {}, x);
    EXPECT_TRUE(std::isfinite(laplace.Objective));
    for (double g : laplace.Gradient) EXPECT_TRUE(std::isfinite(g));
  }
}

constexpr double kTinySeriesJointNll = 9.562545527073446;

// J on eight years by hand: the normal log densities of u₁ (mean ln φ = 0),
// of each u_{t+1} about ln m_t, of each ln I_t, and the weak prior, at a
// path u_t = ln 0.5 throughout (Schaefer, r = 0.4, K = 1000, q = 0.01,
// σ_p = 0.1, σ_o = 0.15), computed apart from the program.
TEST(StateSpace, JointDensityOfATinySeriesByHand) {
  data::CatchEffortSeries s;
  s.U = {5.2, 4.9, 4.6, 5.1, 4.8, 5.0, 5.3, 4.7};
  s.C = {60, 55, 50, 45, 40, 52, 48, 44};
  s.E = s.C;
  const std::vector<double> u(9, std::log(0.5));
  EXPECT_NEAR(StateSpaceJointNll(s, ProductionModelKind::Schaefer, {}, Point(), u),
              kTinySeriesJointNll, 1e-9);
}

TEST(StateSpace, RefusesWhatItCannotFit) {
  data::CatchEffortSeries s = Simulated(0.1, 0.1, 1, 10);
  s.U[3] = 0.0;
  EXPECT_NE(ErrorOf([&] { FitStateSpace(s, ProductionModelKind::Fox, {}); }).find("1993"),
            std::string::npos);
  StateSpaceOptions o;
  o.Level = 0.8;
  EXPECT_NE(ErrorOf([&] { CheckStateSpaceOptions(o); }).find("90 % или 95 %"), std::string::npos);
  o.Level = 0.95;
  o.SigmaPPrior = true;
  o.SigmaPLogSd = 0.0;
  EXPECT_NE(ErrorOf([&] { CheckStateSpaceOptions(o); }).find("разброс"), std::string::npos);
  EXPECT_NE(ErrorOf([&] {
              FitStateSpace(Simulated(0.1, 0.1, 1, 6), ProductionModelKind::PellaTomlinson, {});
            }).find("слишком короткий"),
            std::string::npos);
}

}  // namespace
}  // namespace tarvik::estimation
