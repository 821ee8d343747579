#include "diagnostics/checklist.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <string>
#include <vector>

#include "../estimation/test_series.h"
#include "assessment/search.h"
#include "assessment/state.h"
#include "assessment/variants.h"
#include "diagnostics/checklist_view.h"
#include "estimation/observation_error.h"
#include "estimation/parameter_search.h"
#include "estimation/state_space.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "model/random.h"

namespace tarvik::diagnostics {
namespace {

// A fit that passes every check: 22 years, residuals without pattern, the
// search at its minimum, MASE 0.8, 19 of 20 jitter runs agreeing, ρ 0.05,
// an MSY interval 3 times as wide at the top as at the bottom.
ChecklistInput SoundFit() {
  ChecklistInput in;
  in.Years = 22;
  model::RandomSource random(7);
  for (int k = 0; k < 20; ++k) {
    in.ResidualYears.push_back(1936 + k);
    in.Residuals.push_back(random.GaussDeviate(1.0));
  }
  in.Minimum = MinimumFacts{100.05, 100.0, false, false, true};
  Hindcast h;
  h.Assessable = true;
  h.Peels.resize(5);
  h.Mase = 0.8;
  in.HindcastSkill = h;
  Jitter j;
  j.Assessable = true;
  j.Runs.resize(20);
  j.Agreeing = 19;
  in.JitterRuns = j;
  in.MohnRho = 0.05;
  in.MsyIntervalRatio = 3.0;
  return in;
}

struct VerdictCase {
  std::string Name;
  std::function<void(ChecklistInput&)> Change;
  std::string Verdict;
};

class ChecklistVerdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(ChecklistVerdict, NamesTheItemsThatFailOrWarn) {
  ChecklistInput in = SoundFit();
  GetParam().Change(in);
  const Checklist c = BuildChecklist(in);
  EXPECT_EQ(c.VerdictText, GetParam().Verdict);
  ASSERT_EQ(c.Items.size(), 10u);
  for (const CheckItem& item : c.Items) {
    EXPECT_FALSE(item.Explanation.empty()) << item.Name;
    EXPECT_EQ(item.Value.find("nan"), std::string::npos) << item.Name;
    EXPECT_EQ(item.Value.find("inf"), std::string::npos) << item.Name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChecklistVerdict,
    ::testing::Values(
        VerdictCase{"Sound", [](ChecklistInput&) {}, "Модель пригодна"},
        VerdictCase{"WideMsyInterval", [](ChecklistInput& in) { in.MsyIntervalRatio = 12.0; },
                    "Модель непригодна: Ширина интервала MSY"},
        VerdictCase{"ShortSeries", [](ChecklistInput& in) { in.Years = 8; },
                    "Есть предупреждения: Длина ряда"},
        // The procedure's p on its bound warns; r, K or q on a bound fails
        // and the verdict names them.
        VerdictCase{"ExponentBoundAndRetrospective",
                    [](ChecklistInput& in) {
                      in.AtBounds.push_back({"p", false, 1.01, 1.01, "p на границе"});
                      in.MohnRho = 0.3;
                    },
                    "Есть предупреждения: Параметры на границах, Ретроспективный анализ"},
        VerdictCase{"RKQOnBounds",
                    [](ChecklistInput& in) {
                      in.AtBounds.push_back({"r", true, 1.0, 1.0, "r на границе"});
                      in.AtBounds.push_back({"K", true, 2e7, 2e7, "K на границе"});
                      in.AtBounds.push_back({"q", false, 0.0001, 0.0001, "q на границе"});
                      in.MohnRho = 0.3;
                    },
                    "Модель непригодна: r, K, q на границах"},
        VerdictCase{"QOnBoundAndWideInterval",
                    [](ChecklistInput& in) {
                      in.AtBounds.push_back({"q", false, 0.0001, 0.0001, "q на границе"});
                      in.MsyIntervalRatio = 12.0;
                    },
                    "Модель непригодна: q на границе, Ширина интервала MSY"},
        VerdictCase{"ExponentBoundBeyondTheProcedure",
                    [](ChecklistInput& in) {
                      in.AtBounds.push_back({"p", false, 0.1, 0.1, "p на границе"});
                      in.ExponentBoundFails = true;
                    },
                    "Модель непригодна: p на границе"},
        VerdictCase{"TruncatedIntervals",
                    [](ChecklistInput& in) {
                      in.IntervalTruncation = "Интервалы усечены: K на верхней границе у 21 % повторов";
                    },
                    "Модель непригодна: Ширина интервала MSY"},
        // A fail hides the warnings from the verdict.
        VerdictCase{"NotConvergedAndNoSkill",
                    [](ChecklistInput& in) {
                      in.Minimum->NotConverged = true;
                      in.HindcastSkill->Mase = 1.2;
                    },
                    "Модель непригодна: Минимум целевой функции"},
        VerdictCase{"JitterBelowTheFit",
                    [](ChecklistInput& in) { in.JitterRuns->BelowTheFit = true; },
                    "Модель непригодна: Устойчивость к начальной точке"},
        // Not assessable items never change the verdict.
        VerdictCase{"NothingOptional",
                    [](ChecklistInput& in) {
                      in.Minimum->Degenerate = true;
                      in.MohnRho.reset();
                      in.MsyIntervalRatio.reset();
                      in.HindcastSkill.reset();
                      in.JitterRuns.reset();
                    },
                    "Модель пригодна"},
        VerdictCase{"NoResiduals",
                    [](ChecklistInput& in) {
                      in.Residuals.clear();
                      in.ResidualsMessage = "q равен 0";
                    },
                    "Модель непригодна: Длина ряда"}),
    [](const ::testing::TestParamInfo<VerdictCase>& info) { return info.param.Name; });

// Five years: 3 residuals for Schaefer's 3 parameters, so the minimum is 0
// (the model passes through every residual, here within the bounds): the
// convergence item is not assessable instead of «не сошёлся», and the
// length item fails.
TEST(DiagnoseVariant, AFiveYearSeriesIsRefusedNotMarkedConverged) {
  AssessmentState state;
  estimation::BuildModelFits(state, "4");
  state.AnalysisSeries = estimation::testing::ExactSchaeferSeries(0.4, 50000.0, 0.0003, 5);
  estimation::SearchSettings settings;
  settings.Start = {0.5, 15000.0, 0.0001, 2.0};
  settings.Bounds = {0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  estimation::SearchOptions options;
  options.MaxFailures = 2000;
  options.Threads = 1;
  estimation::EstimateParameters(state, settings, 0, options);
  const VariantDiagnosis d = DiagnoseVariant(state.AnalysisSeries, state.ModelFits, 0,
                                             settings.Bounds, state.MedianKeepCount);
  ASSERT_EQ(d.Items.Items.size(), 10u);
  EXPECT_EQ(d.Items.Items[0].Status, CheckStatus::NotAssessable) << d.Items.Items[0].Value;
  EXPECT_EQ(d.Items.Items[2].Status, CheckStatus::Fail);
  EXPECT_EQ(d.Items.VerdictText.rfind("Модель непригодна: Длина ряда", 0), 0u)
      << d.Items.VerdictText;
  EXPECT_EQ(d.Residuals.size(), 3u);
  EXPECT_EQ(d.ResidualYears.front(), state.AnalysisSeries.FirstYear + 2);
}

// Effort in small units (days), as the yellowfin example was first
// published: q = 5.5·10⁻⁶ lies far below the default lower bound 10⁻⁴, so
// the search ends with q on that bound and r and K pushed to theirs; such a
// fit is unfit, and the verdict names the parameters the bounds hold.
TEST(DiagnoseVariant, AFitHeldByTheBoundsIsUnfit) {
  AssessmentState state;
  estimation::BuildModelFits(state, "4");
  state.AnalysisSeries = estimation::testing::ExactSchaeferSeries(0.4, 50000.0, 5.5e-6);
  estimation::SearchSettings settings;
  settings.Start = {0.5, 15000.0, 0.001, 2.0};
  settings.Bounds = {0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  estimation::SearchOptions options;
  options.MaxFailures = 2000;
  options.Threads = 1;
  estimation::EstimateParameters(state, settings, 0, options);
  const VariantDiagnosis d = DiagnoseVariant(state.AnalysisSeries, state.ModelFits, 0,
                                             settings.Bounds, state.MedianKeepCount);
  ASSERT_FALSE(d.AtBounds.empty());
  EXPECT_EQ(d.AtBounds.front().Parameter == "q" || d.AtBounds.back().Parameter == "q", true);
  EXPECT_EQ(d.Items.Items[1].Status, CheckStatus::Fail);
  EXPECT_EQ(d.Items.Result, Verdict::Unfit);
  EXPECT_EQ(d.Items.VerdictText.rfind("Модель непригодна: ", 0), 0u) << d.Items.VerdictText;
  EXPECT_NE(d.Items.VerdictText.find("q на границ"), std::string::npos) << d.Items.VerdictText;
}

// Observation-error values are judged on the same items: the hindcast and
// the jitter refit them by their own estimator, and the minimum item reads
// the jitter.
TEST(DiagnoseObservationError, HasAHindcastAndAJitterOfItsOwn) {
  const data::CatchEffortSeries s = estimation::testing::FishedStock();
  estimation::ObservationErrorOptions options;
  options.Bounds = {0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  const estimation::ObservationErrorFit fit =
      estimation::FitObservationError(s, model::ProductionModelKind::Schaefer, options);
  DiagnosisOptions settings;
  settings.JitterSettings.Threads = 2;
  const VariantDiagnosis d = DiagnoseObservationError(s, fit, options, "Шефер", settings);
  ASSERT_TRUE(d.HindcastSkill.Assessable) << d.HindcastSkill.Reason;
  ASSERT_EQ(d.HindcastSkill.Peels.size(), 5u);
  EXPECT_EQ(d.HindcastSkill.Peels.front().Year, s.FirstYear + 21);
  ASSERT_TRUE(d.JitterRuns.Assessable) << d.JitterRuns.Reason;
  EXPECT_EQ(d.JitterRuns.Runs.size(), 20u);
  EXPECT_FALSE(d.JitterRuns.BelowTheFit);
  EXPECT_LE(d.JitterRuns.Lowest, fit.RSS);
  for (std::size_t i : {0u, 6u, 7u}) {
    EXPECT_NE(d.Items.Items[i].Status, CheckStatus::NotAssessable) << d.Items.Items[i].Name;
  }
  // The peel of the last year refitted by hand predicts the same CPUE.
  data::CatchEffortSeries shorter = s;
  shorter.U.pop_back();
  shorter.E.pop_back();
  shorter.C.pop_back();
  const estimation::ObservationErrorFit refit = estimation::RefitObservationError(
      shorter, fit.Kind, options, estimation::PointOf(fit));
  const double b = refit.Biomass.back();
  const double predicted =
      refit.Q * (b + refit.R / refit.K * b * (refit.K - b) - s.C[s.size() - 2]);
  EXPECT_NEAR(d.HindcastSkill.Peels.front().Predicted, predicted, 1e-12 * predicted);
  // The chart beside the checklist shows the log residuals the tests judged,
  // from the first year on, not the procedure's CPUE residuals.
  const estimation::ResidualChart chart = ResidualChartOf(d);
  ASSERT_EQ(chart.Residuals.size(), s.size());
  for (std::size_t k : {std::size_t{0}, s.size() - 1}) {
    EXPECT_EQ(chart.Residuals[k].x, static_cast<double>(s.FirstYear) + static_cast<double>(k));
    EXPECT_EQ(chart.Residuals[k].y, fit.LogResiduals[k]);
  }
  EXPECT_EQ(chart.ZeroLine.back().x, chart.Residuals.back().x);
  EXPECT_EQ(chart.Title, "Остатки по годам: Шефер");
  EXPECT_EQ(chart.YTitle, "Логарифмический остаток улова на усилие");
}

// State-space values: the one-step-ahead residuals, the estimator's own
// refits for the hindcast (the last peel predicts q̂′·B̂′ of the year after
// its data), its starts for the jitter; a Hessian that is not positive
// definite makes the minimum item fail and the fit unfit.
TEST(DiagnoseStateSpace, JudgesItsOwnResidualsRefitsAndHessian) {
  const data::CatchEffortSeries s = estimation::testing::FishedStock();
  const estimation::StateSpaceOptions options;
  const estimation::StateSpaceFit fit =
      estimation::FitStateSpace(s, model::ProductionModelKind::Schaefer, options);
  const VariantDiagnosis d = DiagnoseStateSpace(s, fit, options, "Шефер");
  EXPECT_EQ(d.Residuals, fit.OsaResiduals);
  EXPECT_EQ(d.ResidualYears.front(), s.FirstYear);
  ASSERT_TRUE(d.HindcastSkill.Assessable) << d.HindcastSkill.Reason;
  data::CatchEffortSeries shorter = s;
  shorter.U.pop_back();
  shorter.E.pop_back();
  shorter.C.pop_back();
  const estimation::StateSpaceFit refit =
      estimation::FitStateSpace(shorter, model::ProductionModelKind::Schaefer, options);
  EXPECT_EQ(d.HindcastSkill.Peels.front().Predicted, refit.Q.Value * refit.BNext.Value);
  ASSERT_TRUE(d.JitterRuns.Assessable);
  EXPECT_EQ(d.JitterRuns.Runs.size(), fit.StartObjectives.size());
  EXPECT_NE(d.Items.Items[0].Status, CheckStatus::Fail) << d.Items.Items[0].Explanation;

  estimation::StateSpaceFit flat = fit;
  flat.HessianPositiveDefinite = false;
  const VariantDiagnosis bad = DiagnoseStateSpace(s, flat, options, "Шефер");
  EXPECT_EQ(bad.Items.Items[0].Status, CheckStatus::Fail);
  EXPECT_EQ(bad.Items.Result, Verdict::Unfit);
  EXPECT_EQ(bad.Items.VerdictText.rfind("Модель непригодна: Минимум целевой функции", 0), 0u);
}

// A series the Schaefer model reproduces exactly: every peeled year is
// predicted exactly (MASE 0; a prediction of the wrong year would not be),
// and the jitter gives the same bits on one thread and on two.
TEST(DiagnoseVariant, HindcastAndJitterOnAnExactSeries) {
  const double r = 0.4, K = 50000.0, q = 0.0003;
  const data::CatchEffortSeries s = estimation::testing::ExactSchaeferSeries(r, K, q);
  model::ModelFit fit;
  fit.R = r;
  fit.K = K;
  fit.Q = q;
  fit.ObjectiveValue = model::EvaluateObjective(s, fit.Objective, fit.Kind, r, K, q, 0.0, 23);
  const estimation::ParameterBounds bounds{0.0, 1.0, 5000.0, 500000.0, 0.0001, 1.0, 1.01, 10.0};

  const Hindcast h = RunHindcast(s, fit, bounds, 23);
  ASSERT_TRUE(h.Assessable) << h.Reason;
  ASSERT_EQ(h.Peels.size(), 5u);
  EXPECT_EQ(h.Peels.front().Year, s.FirstYear + 24);
  EXPECT_EQ(h.Peels.back().Year, s.FirstYear + 20);
  EXPECT_LT(h.Mase, 1e-6);

  JitterOptions one, two;
  one.Threads = 1;
  two.Threads = 2;
  const Jitter a = RunJitter(s, fit, bounds, 23, one);
  const Jitter b = RunJitter(s, fit, bounds, 23, two);
  ASSERT_TRUE(a.Assessable);
  ASSERT_EQ(a.Runs.size(), 20u);
  EXPECT_EQ(a.Agreeing, b.Agreeing);
  EXPECT_FALSE(a.BelowTheFit);
  for (std::size_t k = 0; k < a.Runs.size(); ++k) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(a.Runs[k].Objective),
              std::bit_cast<std::uint64_t>(b.Runs[k].Objective));
  }
  EXPECT_GE(a.Agreeing, 16) << "local refits from the spread starts miss the exact minimum";
}

}  // namespace
}  // namespace tarvik::diagnostics
