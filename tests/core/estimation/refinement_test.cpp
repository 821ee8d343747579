#include "assessment/refinement.h"
#include "estimation/refinement.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "assessment/search.h"
#include "assessment/variants.h"
#include "common/numbers.h"
#include "estimation/linear_form.h"
#include "estimation/objective_evaluator.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "projection/tac_report.h"
#include "support/error_of.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ProductionModelKind;
using testing_support::ErrorOf;

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

// Every field of two records, bit for bit.
bool SameRecord(const ModelFit& a, const ModelFit& b) {
  return a.Enabled == b.Enabled && Bits(a.R) == Bits(b.R) && Bits(a.K) == Bits(b.K) &&
         Bits(a.Q) == Bits(b.Q) && Bits(a.ObjectiveValue) == Bits(b.ObjectiveValue) &&
         Bits(a.FittedR) == Bits(b.FittedR) && Bits(a.FittedQ) == Bits(b.FittedQ) &&
         Bits(a.FittedK) == Bits(b.FittedK) && a.Kind == b.Kind &&
         Bits(a.Exponent) == Bits(b.Exponent) && a.Objective == b.Objective &&
         a.CutOff == b.CutOff && Bits(a.MSY) == Bits(b.MSY) && Bits(a.BMSY) == Bits(b.BMSY) &&
         Bits(a.FMSY) == Bits(b.FMSY) && Bits(a.EMSY) == Bits(b.EMSY) &&
         Bits(a.BTarget) == Bits(b.BTarget) && Bits(a.FTarget) == Bits(b.FTarget) &&
         Bits(a.ETarget) == Bits(b.ETarget) && Bits(a.BLimit) == Bits(b.BLimit);
}

double Objective(const data::CatchEffortSeries& s, const ModelFit& fit, const ParameterPoint& x,
                 std::uint8_t keep) {
  return model::EvaluateObjective(s, fit.Objective, fit.Kind, x.r, x.K, x.q, x.p, keep);
}

// The yellowfin example after the full default search (1 000 000 failures,
// trim 0, all nine variants): the records are set to the bits that search
// ends with (FreshStart.FullDefaultSearchOfTheYellowfinExample checks them),
// on the state a fresh start builds (series, bounds, keep count).
struct Yellowfin {
  AssessmentState state;
  FreshStart run;
};

Yellowfin YellowfinAfterTheDefaultSearch() {
  const testing::RecordedFit* searched = testing::kYellowfinDefaultSearch;
  Yellowfin y;
  FreshStartRequest request;
  request.DataFile = std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt";
  SearchOptions options;
  options.MaxFailures = 1;
  options.Threads = 1;
  y.run = RunFreshStartEstimation(y.state, request, options);
  for (std::size_t i = 0; i < 9; ++i) {
    ModelFit& fit = y.state.ModelFits[i];
    fit.R = fit.FittedR = searched[i].r;
    fit.K = fit.FittedK = searched[i].K;
    fit.Q = fit.FittedQ = searched[i].q;
    fit.ObjectiveValue = searched[i].L;
    if (fit.Kind == ProductionModelKind::PellaTomlinson) fit.Exponent = searched[i].p;
  }
  return y;
}

// The search stops well above the minimum of the log objective and within
// rounding of the others; the refinement finds the minima (about 233.2,
// 240.7 and 231.0 for the log variants), never above the search's values,
// and changes neither the records nor the random stream.
TEST(Refinement, FindsTheMinimaOfTheYellowfinExample) {
  Yellowfin y = YellowfinAfterTheDefaultSearch();
  const std::vector<ModelFit> before = y.state.ModelFits;
  const std::uint32_t seed = y.state.Random.Seed();
  const ParameterBounds& bounds = y.run.Estimation.Settings.Bounds;
  const RefinementReport report = RefineActiveVariants(y.state, bounds);

  ASSERT_EQ(report.Variants.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i) {
    const VariantRefinement& v = report.Variants[i];
    const ModelFit& fit = y.state.ModelFits[i];
    SCOPED_TRACE(v.Label);
    EXPECT_EQ(v.Index, i);
    ASSERT_TRUE(v.Available) << v.Message;
    EXPECT_LE(v.Objective, fit.ObjectiveValue);
    EXPECT_EQ(v.Gap, fit.ObjectiveValue - v.Objective);
    // The refined value is the objective at the refined point, bit for bit,
    // and the point lies within the bounds.
    EXPECT_EQ(Bits(v.Objective),
              Bits(Objective(y.state.AnalysisSeries, fit, v.Point, y.state.MedianKeepCount)));
    EXPECT_GE(v.Point.r, bounds.MinR);
    EXPECT_LE(v.Point.r, bounds.MaxR);
    EXPECT_GE(v.Point.K, bounds.MinK);
    EXPECT_LE(v.Point.K, bounds.MaxK);
    EXPECT_GE(v.Point.q, bounds.MinQ);
    EXPECT_LE(v.Point.q, bounds.MaxQ);
    if (fit.Kind == ProductionModelKind::PellaTomlinson) {
      EXPECT_GE(v.Point.p, 1.01);
      EXPECT_LE(v.Point.p, 10.0);
    } else {
      EXPECT_EQ(Bits(v.Point.p), Bits(fit.Exponent));
    }
    const bool log = fit.Objective == model::ObjectiveKind::LogSumOfSquares;
    EXPECT_EQ(v.NotConverged, log);
    if (fit.Objective == model::ObjectiveKind::SumOfSquares) {
      EXPECT_LT(*v.RelativeGap, 5e-5);
    }
  }
  EXPECT_NEAR(report.Variants[1].Objective, 233.19, 0.005 * 233.19);  // Шефер Лог
  EXPECT_NEAR(report.Variants[4].Objective, 240.7, 0.005 * 240.7);    // Фокс Лог
  EXPECT_NEAR(report.Variants[7].Objective, 231.0, 0.005 * 231.0);    // ПТ Лог
  EXPECT_TRUE(report.AnyNotConverged);

  for (std::size_t i = 0; i < 9; ++i) EXPECT_TRUE(SameRecord(y.state.ModelFits[i], before[i])) << i;
  EXPECT_EQ(y.state.Random.Seed(), seed);
  for (std::size_t i = 0; i < 9; ++i) EXPECT_FALSE(IsRefined(y.state, i)) << i;

  // The texts the page shows.
  const VariantRefinement& schaefer = report.Variants[1];
  EXPECT_EQ(schaefer.Row.LText, FormatFixed(schaefer.Objective, 3));
  EXPECT_EQ(schaefer.MemoLine.rfind("Шефер Лог: L = 250.266, минимум " + schaefer.Row.LText, 0), 0u)
      << schaefer.MemoLine;
  EXPECT_NE(schaefer.MemoLine.find("поиск не сошёлся"), std::string::npos);
  EXPECT_NE(schaefer.Tooltip.find("r = " + schaefer.Row.RText), std::string::npos);
  EXPECT_EQ(report.MemoLines.size(), 10u);
  EXPECT_NE(report.Variants[0].MemoLine.find("поиск сошёлся"), std::string::npos);
}

// The nine variants of a simulated stock after a short search.
struct Short {
  AssessmentState state;
  SearchSettings settings;
  SearchOptions options;
};

Short ShortSearch(int trimPosition, int maxFailures) {
  Short s;
  BuildModelFits(s.state, "4");
  s.state.AnalysisSeries = testing::FishedStock(22);
  s.settings.Start = {0.5, 15000.0, 0.0001, 2.0};
  s.settings.Bounds = {0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  s.options.MaxFailures = maxFailures;
  s.options.Threads = 1;
  EstimateParameters(s.state, s.settings, trimPosition, s.options);
  return s;
}

// A short search on a simulated stock: the refinement gives the same bits
// on one thread and on two, and again on a second call.
TEST(Refinement, ResultsDoNotDependOnTheThreads) {
  Short s = ShortSearch(2, 3000);  // trimmed: keep 16 of 20
  AssessmentState& state = s.state;
  const SearchSettings& settings = s.settings;
  state.ActiveVariants = {1, 5, 6};  // one of each model
  const RefinementReport one = RefineActiveVariants(state, settings.Bounds, '.', 1);
  const RefinementReport two = RefineActiveVariants(state, settings.Bounds, '.', 2);
  ASSERT_EQ(one.Variants.size(), two.Variants.size());
  for (std::size_t i = 0; i < one.Variants.size(); ++i) {
    const VariantRefinement& a = one.Variants[i];
    const VariantRefinement& b = two.Variants[i];
    EXPECT_EQ(Bits(a.Objective), Bits(b.Objective)) << i;
    EXPECT_EQ(Bits(a.Point.r), Bits(b.Point.r)) << i;
    EXPECT_EQ(Bits(a.Point.K), Bits(b.Point.K)) << i;
    EXPECT_EQ(Bits(a.Point.q), Bits(b.Point.q)) << i;
    EXPECT_EQ(Bits(a.Point.p), Bits(b.Point.p)) << i;
    EXPECT_EQ(a.MemoLine, b.MemoLine);
    EXPECT_LE(a.Objective, state.ModelFits[a.Index].ObjectiveValue) << i;
  }
}

// A series that the Schaefer model reproduces exactly (the CPUE made by the
// model's own two-year step): the refined sum of squares is 0 to rounding,
// at the parameters the series was made with.
TEST(Refinement, FindsTheParametersOfAnExactSeries) {
  const double r = 0.4, K = 50000.0, q = 0.0003;
  const data::CatchEffortSeries s = testing::ExactSchaeferSeries(r, K, q);
  std::vector<ModelFit> fits(1);
  fits[0].Kind = ProductionModelKind::Schaefer;
  fits[0].Objective = model::ObjectiveKind::SumOfSquares;
  fits[0].R = 0.2;
  fits[0].K = 80000.0;
  fits[0].Q = 0.0002;
  fits[0].ObjectiveValue =
      model::EvaluateObjective(s, fits[0].Objective, fits[0].Kind, 0.2, 80000.0, 0.0002, 0.0, 23);
  const ParameterBounds bounds{0.0, 1.0, 5000.0, 500000.0, 0.0001, 1.0, 1.01, 10.0};
  const VariantRefinement v = RefineVariant(s, fits, 0, bounds, 23);
  ASSERT_TRUE(v.Available);
  EXPECT_LT(v.Objective, 1e-9 * s.U[0]);
  EXPECT_NEAR(v.Point.r, r, 1e-6 * r);
  EXPECT_NEAR(v.Point.K, K, 1e-6 * K);
  EXPECT_NEAR(v.Point.q, q, 1e-6 * q);
  EXPECT_TRUE(v.NotConverged);  // the start point is far off
  // But the minimum is 0: the gap says nothing, the mark is "not assessable".
  EXPECT_TRUE(v.Degenerate);
  EXPECT_NE(v.MemoLine.find(kDegenerateMinimumText), std::string::npos) << v.MemoLine;
  EXPECT_EQ(v.MemoLine.find("не сошёлся"), std::string::npos) << v.MemoLine;
  AssessmentState state;
  state.ModelFits = fits;
  EXPECT_EQ(MarkOf(state, 0, &v).Mark, RefinementMark::NotAssessable);
}

TEST(Refinement, BoundsThatFixAValueAndUnusableObjectives) {
  AssessmentState state;
  BuildModelFits(state, "4");
  state.AnalysisSeries = testing::FishedStock(22);
  ModelFit& fit = state.ModelFits[1];
  fit.R = 0.3;
  fit.K = 15000.0;
  fit.Q = 0.0002;
  fit.ObjectiveValue = model::EvaluateObjective(state.AnalysisSeries, fit.Objective, fit.Kind, 0.3,
                                                15000.0, 0.0002, fit.Exponent, 20);

  // r fixed: a minimum whose bound is not below its maximum fixes the value
  // at the maximum, as the search's clamping does.
  const ParameterBounds fixedR{0.3, 0.3, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  const VariantRefinement fixed =
      RefineVariant(state.AnalysisSeries, state.ModelFits, 1, fixedR, 20);
  ASSERT_TRUE(fixed.Available);
  EXPECT_EQ(fixed.Point.r, 0.3);
  EXPECT_LE(fixed.Objective, fit.ObjectiveValue);

  // A keep count above the number of residuals: no point can be evaluated;
  // the refinement says why and reports the search's figures, no NaN.
  const ParameterBounds bounds{0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  const VariantRefinement none =
      RefineVariant(state.AnalysisSeries, state.ModelFits, 1, bounds, 25);
  EXPECT_FALSE(none.Available);
  EXPECT_NE(none.Message.find("больше числа остатков"), std::string::npos) << none.Message;
  EXPECT_EQ(none.Objective, fit.ObjectiveValue);
  EXPECT_FALSE(none.NotConverged);
  EXPECT_NE(none.MemoLine.find("уточнение невозможно"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { AdoptRefinement(state, none); }), "");

  EXPECT_NE(ErrorOf([&] { RefineVariant(state.AnalysisSeries, state.ModelFits, 9, bounds, 20); }),
            "");
}

// «Принять уточнённые значения»: only the chosen record changes, and only
// in r, K, q, p, L and their fitted copies; it is marked refined, the TAC
// report says so in one line at its end; a second adoption, or one after a
// new search, is refused; the search clears the mark.
TEST(Refinement, AdoptingChangesOnlyTheChosenVariant) {
  Short s = ShortSearch(0, 2000);
  AssessmentState& state = s.state;
  const SearchSettings& settings = s.settings;
  const SearchOptions& options = s.options;
  const std::vector<ModelFit> before = state.ModelFits;
  const std::uint32_t seed = state.Random.Seed();

  const VariantRefinement v = RefineVariant(state.AnalysisSeries, state.ModelFits, 7,
                                            settings.Bounds, state.MedianKeepCount);
  ASSERT_TRUE(v.Available);
  ASSERT_LT(v.Objective, v.SearchObjective);
  AdoptRefinement(state, v);

  for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
    if (i != 7) {
      EXPECT_TRUE(SameRecord(state.ModelFits[i], before[i])) << i;
    }
    EXPECT_EQ(IsRefined(state, i), i == 7) << i;
  }
  ModelFit expected = before[7];
  expected.R = expected.FittedR = v.Point.r;
  expected.K = expected.FittedK = v.Point.K;
  expected.Q = expected.FittedQ = v.Point.q;
  expected.Exponent = v.Point.p;
  expected.ObjectiveValue = v.Objective;
  EXPECT_TRUE(SameRecord(state.ModelFits[7], expected));
  EXPECT_EQ(ResultTextsOf(state, 7, '.').L, v.Row.LText);
  EXPECT_EQ(state.Random.Seed(), seed);

  EXPECT_NE(ErrorOf([&] { AdoptRefinement(state, v); }).find("уже приняты"), std::string::npos);

  // The report: one line more, at the very end, and nothing else changed.
  projection::TacReportInput report;
  report.Fit = state.ModelFits[7];
  EXPECT_EQ(report.Fit.Origin, model::FitOrigin::Refinement);
  report.Fit.Origin = model::FitOrigin::Search;
  report.ModelChoiceText = "ПТ Лог";
  const std::vector<std::string> plain = projection::TacReportFileLines(report);
  const std::vector<std::string> plainScreen = projection::ScreenReportLines(report);
  report.Fit.Origin = model::FitOrigin::Refinement;
  std::vector<std::string> refined = projection::TacReportFileLines(report);
  std::vector<std::string> refinedScreen = projection::ScreenReportLines(report);
  ASSERT_EQ(refined.size(), plain.size() + 1);
  EXPECT_EQ(refined.back(), projection::kRefinedParametersLine);
  refined.pop_back();
  EXPECT_EQ(refined, plain);
  EXPECT_EQ(refinedScreen.back(), projection::kRefinedParametersLine);
  refinedScreen.pop_back();
  EXPECT_EQ(refinedScreen, plainScreen);

  // A new search rewrites the record and clears the mark; the old
  // refinement no longer fits it.
  EstimateParameters(state, settings, 0, options);
  EXPECT_FALSE(IsRefined(state, 7));
  EXPECT_NE(ErrorOf([&] { AdoptRefinement(state, v); }).find("прежней оценке"), std::string::npos);
  // Rebuilding the variants clears every mark.
  const VariantRefinement again = RefineVariant(state.AnalysisSeries, state.ModelFits, 7,
                                                settings.Bounds, state.MedianKeepCount);
  AdoptRefinement(state, again);
  BuildModelFits(state, "4");
  EXPECT_FALSE(IsRefined(state, 7));
}

// The linear form gives the objective of a bootstrap replicate to rounding,
// for every model, objective and trimming; given a limit it gives up only on
// values not below it, and only when every residual counts.
TEST(FormObjective, AgreesWithTheShiftedEvaluatorAndGivesUpOnlyAboveTheLimit) {
  const data::CatchEffortSeries s = testing::FishedStock(22);
  std::vector<double> shift(s.size() - 2);
  for (std::size_t i = 0; i < shift.size(); ++i) shift[i] = 0.3 * std::sin(2.0 + i);
  const ParameterPoint points[] = {
      {0.43, 12500.0, 0.00021, 2.4}, {0.9, 3000.0, 0.0011, 1.01}, {0.05, 90000.0, 0.0001, 7.0}};
  for (ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                   ProductionModelKind::PellaTomlinson}) {
    for (model::ObjectiveKind objective :
         {model::ObjectiveKind::SumOfSquares, model::ObjectiveKind::LogSumOfSquares,
          model::ObjectiveKind::Median}) {
      for (int trim : {0, 4}) {
        SCOPED_TRACE("kind " + std::to_string(int(kind)) + ", objective " +
                     std::to_string(int(objective)) + ", trim " + std::to_string(trim));
        const std::uint8_t keep = model::KeepCountFor(s.size(), trim);
        const ObjectiveEvaluator evaluator(s.U, s.C, objective, kind, keep, shift);
        linear::FormObjective form(s, kind, objective, keep, shift);
        ASSERT_TRUE(form.Usable());
        for (const ParameterPoint& x : points) {
          const double expected = evaluator.Evaluate(x.r, x.K, x.q, x.p);
          EXPECT_NEAR(form.Value(x), expected, 1e-12 * expected);
          EXPECT_NEAR(form.Value(x, 1.001 * expected), expected, 1e-12 * expected);
          const double below = form.Value(x, 0.999 * expected);
          if (trim == 0) {
            EXPECT_EQ(below, std::numeric_limits<double>::infinity());
          } else {
            EXPECT_NEAR(below, expected, 1e-12 * expected);
          }
        }
      }
    }
  }
  data::CatchEffortSeries zero = s;
  zero.U[3] = zero.U[4] = 0.0;  // S = 0: no logarithm for Fox; Pella-Tomlinson's power is 0
  EXPECT_FALSE(linear::FormObjective(zero, ProductionModelKind::Fox,
                                     model::ObjectiveKind::SumOfSquares, 20, {})
                   .Usable());
  EXPECT_TRUE(linear::FormObjective(zero, ProductionModelKind::PellaTomlinson,
                                    model::ObjectiveKind::SumOfSquares, 20, {})
                  .Usable());
}

// A series Pella-Tomlinson reproduces exactly at p = 2.5: the refit for
// intervals, started at p = 1.5, finds p by its search over p, for every
// objective; with the bounds of p short of 2.5 it ends on the nearer bound.
TEST(RefitLocally, ForIntervalsSearchesTheExponentWithinItsBounds) {
  const double r = 0.4, K = 50000.0, q = 0.0003, p = 2.5;
  const data::CatchEffortSeries s =
      testing::ExactSeries(ProductionModelKind::PellaTomlinson, r, K, q, p);
  struct Case {
    double minP, maxP, expected;
  };
  for (const Case& c : {Case{1.01, 10.0, p}, Case{1.01, 2.0, 2.0}, Case{3.0, 10.0, 3.0}}) {
    for (model::ObjectiveKind objective :
         {model::ObjectiveKind::SumOfSquares, model::ObjectiveKind::LogSumOfSquares,
          model::ObjectiveKind::Median}) {
      SCOPED_TRACE("p within " + std::to_string(c.minP) + " … " + std::to_string(c.maxP) +
                   ", objective " + std::to_string(int(objective)));
      ModelFit fit;
      fit.Kind = ProductionModelKind::PellaTomlinson;
      fit.Objective = objective;
      const ParameterBounds bounds{0.0, 1.0, 5000.0, 500000.0, 0.0001, 1.0, c.minP, c.maxP};
      const std::size_t rows = objective == model::ObjectiveKind::SumOfSquares ? 0 : 12;
      const LocalRefit refit =
          RefitLocally(s, fit, {0.3, 60000.0, 0.00025, 1.5}, bounds, 23,
                       {.ResponseShift = {}, .StartRows = rows, .ForIntervals = true});
      ASSERT_TRUE(refit.Available);
      EXPECT_NEAR(refit.Point.p, c.expected, 2e-3);
      EXPECT_NEAR(refit.Objective, Objective(s, fit, refit.Point, 23),
                  1e-9 * refit.Objective + 1e-12);
      if (c.expected == p) {
        EXPECT_NEAR(refit.Point.r, r, 1e-2 * r);
        EXPECT_NEAR(refit.Point.K, K, 1e-2 * K);
        EXPECT_LT(refit.Objective, 1e-3 * s.U[0]);
      }
    }
  }
}

}  // namespace
}  // namespace tarvik::estimation
