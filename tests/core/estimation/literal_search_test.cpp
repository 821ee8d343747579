// The parameter search written out step by step, as a scientist would read
// it, and compared bit for bit with the program's search (sequential and
// parallel): same records, same random state afterwards.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "assessment/search.h"
#include "assessment/state.h"
#include "assessment/suitability.h"
#include "assessment/variants.h"
#include "data/data_file.h"
#include "data/suitability.h"
#include "estimation/parameter_search.h"
#include "estimation/variants.h"
#include "model/objective.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

// The literal search over every enabled variant in index order, one shared
// best point, draws r, K, q (and p for Pella-Tomlinson), clamping p first
// and then r, K, q, strict improvement, `maxFailures` consecutive failures.
void LiteralSearch(AssessmentState& state, double r, double K, double q, const ParameterBounds& b,
                   int trimPosition, int maxFailures) {
  double p = 2.0;
  const auto& s = state.AnalysisSeries;
  for (std::size_t v = 0; v < state.ModelFits.size(); ++v) {
    model::ModelFit& fit = state.ModelFits[v];
    if (fit.Enabled != 1) continue;
    const std::uint8_t m = model::KeepCountFor(s.size(), trimPosition);
    double best = model::EvaluateObjective(s, fit.Objective, fit.Kind, r, K, q, p, m);
    int failures = 0;
    while (failures < maxFailures) {
      failures += 1;
      double r1 = std::exp(state.Random.RandomGauss(std::log(r), 0.5));
      double K1 = std::exp(state.Random.RandomGauss(std::log(K), 0.5));
      double q1 = std::exp(state.Random.RandomGauss(std::log(q), 0.5));
      double p1 = p;
      if (fit.Kind == ProductionModelKind::PellaTomlinson) {
        p1 = std::exp(state.Random.RandomGauss(std::log(p), 0.5));
        if (p1 < 1.01) p1 = 1.01;
        if (p1 > 10) p1 = 10;
      }
      if (r1 < b.MinR) r1 = b.MinR;
      if (r1 > b.MaxR) r1 = b.MaxR;
      if (K1 < b.MinK) K1 = b.MinK;
      if (K1 > b.MaxK) K1 = b.MaxK;
      if (q1 < b.MinQ) q1 = b.MinQ;
      if (q1 > b.MaxQ) q1 = b.MaxQ;
      const double f = model::EvaluateObjective(s, fit.Objective, fit.Kind, r1, K1, q1, p1, m);
      if (f < best) {
        best = f;
        r = r1;
        K = K1;
        q = q1;
        if (fit.Kind == ProductionModelKind::PellaTomlinson) p = p1;
        failures = 0;
      }
    }
    fit.R = r;
    fit.K = K;
    fit.Q = q;
    fit.ObjectiveValue = best;
    fit.FittedR = r;
    fit.FittedQ = q;
    fit.FittedK = K;
    if (fit.Kind == ProductionModelKind::PellaTomlinson) fit.Exponent = p;
  }
}

// The yellowfin example after «Открыть» and the suitability check.
AssessmentState YellowfinState(SearchSettings& settings) {
  AssessmentState state;
  BuildModelFits(state, "4");
  const data::DataFile file = data::ReadDataFile(
      std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt", '.');
  const data::SuitabilityResult check = data::SuitabilityCheck(file.table, 0, '.', state);
  SearchTexts texts;
  texts.InitialK = check.initialKText;
  texts.MinK = check.minKText;
  texts.MaxK = check.maxKText;
  settings = ReadSearchSettings(texts, '.');
  return state;
}

TEST(LiteralSearch, TheProgramsSearchGivesTheSameBitsSequentiallyAndInParallel) {
  for (int trim : {0, 3}) {
    SCOPED_TRACE("trim " + std::to_string(trim));
    SearchSettings settings;
    AssessmentState literal = YellowfinState(settings);
    LiteralSearch(literal, settings.Start.r, settings.Start.K, settings.Start.q, settings.Bounds,
                  trim, 20000);
    for (int threads : {1, 2}) {
      SCOPED_TRACE("threads " + std::to_string(threads));
      AssessmentState state = YellowfinState(settings);
      SearchOptions options;
      options.MaxFailures = 20000;
      options.Threads = threads;
      EstimateParameters(state, settings, trim, options);
      ASSERT_EQ(state.ModelFits.size(), literal.ModelFits.size());
      for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
        const model::ModelFit& a = state.ModelFits[i];
        const model::ModelFit& b = literal.ModelFits[i];
        SCOPED_TRACE("variant " + std::to_string(i));
        EXPECT_EQ(Bits(a.R), Bits(b.R));
        EXPECT_EQ(Bits(a.K), Bits(b.K));
        EXPECT_EQ(Bits(a.Q), Bits(b.Q));
        EXPECT_EQ(Bits(a.Exponent), Bits(b.Exponent));
        EXPECT_EQ(Bits(a.ObjectiveValue), Bits(b.ObjectiveValue));
      }
      EXPECT_EQ(state.Random.Seed(), literal.Random.Seed());
    }
  }
}

}  // namespace
}  // namespace tarvik::estimation
