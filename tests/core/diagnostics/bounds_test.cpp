#include "diagnostics/bounds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assessment/search.h"
#include "assessment/state.h"
#include "assessment/variants.h"
#include "estimation/parameter_search.h"
#include "estimation/variants.h"

namespace tarvik::diagnostics {
namespace {

using estimation::ParameterBounds;
using estimation::ParameterPoint;

std::string Names(const std::vector<BoundHit>& hits) {
  std::string names;
  for (const BoundHit& h : hits) names += h.Parameter + (h.Upper ? "+" : "-") + " ";
  return names;
}

// Within 0.1 % of the bound's own value, or beyond it; a bound of 0 is
// reached by 0 only (r = 0.0009 above MinR = 0 is not on it).
TEST(ParametersAtBounds, NameTheParameterAndTheBound) {
  const ParameterBounds b{0.0, 1.0, 1000.0, 100000.0, 0.0001, 1.0, 1.01, 10.0};
  struct Case {
    ParameterPoint x;
    bool pt;
    std::string hits;
  };
  const std::vector<Case> cases = {
      {{0.5, 5000.0, 0.01, 2.0}, true, ""},
      {{1.0, 5000.0, 0.0001, 2.0}, false, "r+ q- "},
      {{0.0009, 99950.0, 0.01, 1.01}, true, "K+ p- "},  // 0.05 % below MaxK
      {{0.0, 5000.0, 0.0105, 2.0}, false, "r- "},  // q far from MaxQ = 1 in its own terms
      {{0.0011, 99800.0, 0.01, 1.01}, false, ""},          // 0.2 % below MaxK; p not estimated
      {{0.5, 900.0, 0.02, 2.0}, false, "K- "},             // outside: a start never improved
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Names(ParametersAtBounds(c.x, b, c.pt)), c.hits);
  }
  const std::vector<BoundHit> q = ParametersAtBounds({0.5, 5000.0, 0.0001, 2.0}, b, false, ',');
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(q[0].Text,
            "q = 0,0001000 на нижней границе 0,0001: оценка определяется границей, а не данными");
}

TEST(TooFewYears, RefusesWhenTheResidualsDoNotOutnumberTheParameters) {
  using model::ProductionModelKind;
  EXPECT_EQ(TooFewYears(5, ProductionModelKind::PellaTomlinson, "ПТ М").value_or(""),
            "Вариант «ПТ М»: 5 лет данных дают 3 остатка, а модель оценивает 4 параметра "
            "(r, K, q, p); нужно не меньше 7 лет");
  EXPECT_EQ(TooFewYears(3, ProductionModelKind::Fox, "Фокс СК").value_or(""),
            "Вариант «Фокс СК»: 3 года данных дают 1 остаток, а модель оценивает 3 параметра "
            "(r, K, q); нужно не меньше 6 лет");
  EXPECT_FALSE(TooFewYears(6, ProductionModelKind::Schaefer, "Шефер СК").has_value());
  EXPECT_TRUE(TooFewYears(6, ProductionModelKind::PellaTomlinson, "ПТ СК").has_value());
}

// The yellowfin example with effort in days, as first published (U a
// thousand times smaller, q about 6·10⁻⁶): with the page's default bounds
// every variant ends with q on its lower bound 0.0001; with the bounds
// proposed from the data no variant has r, K or q on a bound.
TEST(ProposeBounds, ASeriesInLargeUnitsGetsInteriorEstimates) {
  AssessmentState state;
  estimation::FreshStartRequest request;
  request.DataFile = std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt";
  estimation::SearchOptions options;
  options.MaxFailures = 1;
  options.Threads = 1;
  const estimation::FreshStart run = estimation::RunFreshStartEstimation(state, request, options);
  for (std::size_t i = 0; i < state.AnalysisSeries.size(); ++i) {
    state.AnalysisSeries.E[i] *= 1000.0;
    state.AnalysisSeries.U[i] /= 1000.0;
  }
  const ProposedBounds proposal = ProposeBounds(state.AnalysisSeries);
  EXPECT_LT(proposal.Bounds.MinQ, 6e-6);
  EXPECT_EQ(SearchTextsOf(proposal, ',').MaxR, "1,5");

  options.MaxFailures = 20000;
  for (const bool proposed : {false, true}) {
    SCOPED_TRACE(proposed ? "proposed bounds" : "default bounds");
    estimation::SearchSettings settings = run.Estimation.Settings;
    if (proposed) {
      settings.Start = proposal.Start;
      settings.Bounds = proposal.Bounds;
    }
    estimation::EstimateParameters(state, settings, 0, options);
    for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
      const model::ModelFit& fit = state.ModelFits[i];
      std::vector<BoundHit> hits =
          ParametersAtBounds({fit.R, fit.K, fit.Q, fit.Exponent}, settings.Bounds, false);
      const std::string label = estimation::VariantLabel(state.ModelFits, i);
      if (proposed) {
        EXPECT_EQ(Names(hits), "") << label;
      } else {
        EXPECT_NE(Names(hits).find("q-"), std::string::npos) << label;
      }
    }
  }
}

}  // namespace
}  // namespace tarvik::diagnostics
