// The projection written out step by step and compared bit for bit with the
// program's engine, with both kinds of process error: same trajectories and
// the same random state after every run.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "assessment/forecast.h"
#include "fixture.h"
#include "model/objective.h"
#include "model/production.h"
#include "projection/projection.h"

namespace tarvik::projection {
namespace {

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

ProjectionResult LiteralProjection(AssessmentState& state, int h, std::uint8_t v,
                                   const rules::HarvestRule& rule, bool noise, bool parametric) {
  const auto& U = state.AnalysisSeries.U;
  const auto& C = state.AnalysisSeries.C;
  const model::ModelFit fit = state.ModelFits[v];
  const double r = fit.R, K = fit.K, q = fit.Q, p = fit.Exponent;
  const auto shape = [&](double B) { return model::ProductionShape(fit.Kind, B, K, p); };
  std::vector<double> res;
  double mean = 0.0, sd = 0.0;
  if (noise) {
    res = model::CpueResiduals(U, C, fit.Kind, r, K, q, p);
    if (parametric) {
      double sum = 0.0;
      for (double e : res) sum += e;
      mean = sum / res.size();
      double squares = 0.0;
      for (double e : res) squares += (e - mean) * (e - mean);
      sd = std::sqrt(squares / res.size());
    }
  }
  const auto step = [&](double U2, double U1, double Cprev) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
      const double S = U2 + U1;
      const double Bbar = S / (2 * q);
      double eps = 0.0;
      if (noise) {
        eps = parametric ? state.Random.RandomGauss(mean, sd)
                         : res[state.Random.RandomInt(static_cast<std::uint32_t>(res.size()))];
      }
      const double value = U2 + r * S * shape(Bbar) + eps - 2 * q * Cprev;
      if (value > 0) return value;
      if (!noise) break;
    }
    return 0.0;
  };
  const std::size_t L = U.size() - 1;
  const double S0 = U[L - 1] + U[L - 2];
  const double U0 = U[L - 2] + r * S0 * shape(S0 / (2 * q)) - 2 * q * C[L - 1];
  rules::RuleContext context{state.ModelFits, state.AnalysisSeries.E.back()};
  ProjectionResult out;
  std::vector<double> A;
  for (int i = 0; i < h; ++i) {
    double a = 0.0, B = 0.0;
    if (i == 0) {
      a = step(U[L - 1], U0, C[L]);
      B = (a + U0) / (2 * q);
    } else if (i == 1) {
      a = step(U0, A[0], out.Catch[0]);
      B = (a + A[0]) / (2 * q);
    } else {
      a = step(A[i - 2], A[i - 1], out.Catch[i - 1]);
      B = (a + A[i - 1]) / (2 * q);
    }
    A.push_back(a);
    const double F = rules::RuleFishingMortality(context, rule.Kind, v, rule.TargetKind, B,
                                                 rule.Alpha, rule.Beta);
    out.Biomass.push_back(B);
    out.FishingMortality.push_back(F);
    out.Catch.push_back(B * F);
  }
  return out;
}

TEST(LiteralProjection, TheEngineGivesTheSameBitsAndDraws) {
  for (auto kind : {model::ProductionModelKind::Schaefer, model::ProductionModelKind::Fox,
                    model::ProductionModelKind::PellaTomlinson}) {
    for (bool parametric : {true, false}) {
      for (bool erratic : {false, true}) {
        SCOPED_TRACE("kind " + std::to_string(int(kind)) + (parametric ? " normal" : " resampled") +
                     (erratic ? " erratic" : ""));
        AssessmentState literal = testing::SmallState();
        if (erratic) {  // large residuals: many steps need repeated attempts
          literal.AnalysisSeries.U = {0.50, 0.10, 0.90, 0.05, 0.80, 0.06};
          literal.AnalysisSeries.C = {100.0, 110.0, 105.0, 100.0, 95.0, 300.0};
          literal.AnalysisSeries.E = {200.0, 200.0, 200.0, 200.0, 200.0, 200.0};
        }
        literal.ModelFits[0].Kind = kind;
        literal.ModelFits[0].Exponent = 1.7;
        literal.Random.Restore(12345);
        AssessmentState engine = literal;
        rules::HarvestRule logistic;
        logistic.Kind = rules::RuleKind::Logistic;
        logistic.Alpha = 2.0;
        logistic.Beta = 0.5;
        for (const rules::HarvestRule& rule : {testing::LinearRule(0.3), logistic}) {
          for (int run = 0; run < 200; ++run) {
            const ProjectionResult a = LiteralProjection(literal, 7, 0, rule, true, parametric);
            const ProjectionResult b = ProjectStock(engine, 7, 0, rule, true, parametric);
            ASSERT_EQ(a.Biomass.size(), b.Biomass.size());
            for (std::size_t i = 0; i < a.Biomass.size(); ++i) {
              ASSERT_EQ(Bits(a.Biomass[i]), Bits(b.Biomass[i])) << "run " << run << " year " << i;
              ASSERT_EQ(Bits(a.Catch[i]), Bits(b.Catch[i])) << "run " << run << " year " << i;
              ASSERT_EQ(Bits(a.FishingMortality[i]), Bits(b.FishingMortality[i]));
            }
            ASSERT_EQ(literal.Random.Seed(), engine.Random.Seed()) << "run " << run;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tarvik::projection
