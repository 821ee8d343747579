#include "assessment/observation_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "assessment/observation_error_view.h"
#include "assessment/search.h"
#include "assessment/variants.h"
#include "common/numbers.h"
#include "core/estimation/test_series.h"
#include "estimation/parameter_search.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "model/production.h"
#include "projection/tac_report.h"
#include "support/error_of.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using testing_support::ErrorOf;

bool SameValues(const ModelFit& a, const ModelFit& b) {
  return a.R == b.R && a.K == b.K && a.Q == b.Q && a.Exponent == b.Exponent &&
         a.ObjectiveValue == b.ObjectiveValue && a.Origin == b.Origin && a.MSY == b.MSY;
}

struct Searched {
  AssessmentState state;
  SearchSettings settings;
};

Searched ShortSearch() {
  Searched s;
  BuildModelFits(s.state, "4");
  s.state.AnalysisSeries = testing::FishedStock(22);
  s.state.Table = testing::TableOf(s.state.AnalysisSeries);
  s.settings.Start = {0.5, 15000.0, 0.0001, 2.0};
  s.settings.Bounds = {0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  SearchOptions options;
  options.MaxFailures = 2000;
  options.Threads = 1;
  EstimateParameters(s.state, s.settings, 0, options);
  return s;
}

// «Оценить» and «Принять оценки модели ошибки наблюдения»: refused without
// fits, then the PT record takes the PT fit's r, K, q, p with its own
// objective at that point, later stages are cleared, nothing else moves;
// refused a second time and for a fit that did not converge, changing
// nothing; the TAC report gains one last line; a new series drops the fits.
TEST(ObservationErrorState, AdoptsTheFitOfTheRecordsKind) {
  Searched s = ShortSearch();
  AssessmentState& state = s.state;
  state.ModelChoiceText = "ПТ Лог";
  const std::uint32_t seed = state.Random.Seed();
  EXPECT_NE(ErrorOf([&] { AdoptObservationError(state, 7); }).find("не оценена"),
            std::string::npos);

  EstimateObservationError(state, {false, s.settings.Bounds});
  ASSERT_EQ(state.ObservationError.Fits.size(), 3u);
  EXPECT_EQ(state.Random.Seed(), seed);
  const ObservationErrorFit& pt =
      *ObservationErrorFitOf(state, model::ProductionModelKind::PellaTomlinson);
  ASSERT_TRUE(pt.Converged);

  const std::vector<ModelFit> before = state.ModelFits;
  state.Indicators.Evaluated = true;
  state.ModelFits[0].MSY = 1.0;
  AdoptObservationError(state, 7);
  const ModelFit& record = state.ModelFits[7];
  EXPECT_EQ(record.R, pt.R);
  EXPECT_EQ(record.K, pt.K);
  EXPECT_EQ(record.Q, pt.Q);
  EXPECT_EQ(record.Exponent, pt.P);
  EXPECT_EQ(record.ObjectiveValue,
            model::EvaluateObjective(state.AnalysisSeries, record.Objective, record.Kind, pt.R,
                                     pt.K, pt.Q, pt.P, state.MedianKeepCount));
  EXPECT_TRUE(HoldsObservationError(state, 7));
  EXPECT_FALSE(state.Indicators.Evaluated);
  EXPECT_EQ(state.ModelFits[0].MSY, 0.0);
  EXPECT_EQ(state.ModelChoiceText, "ПТ Лог");
  for (std::size_t i = 1; i < 9; ++i) {
    if (i != 7) {
      EXPECT_TRUE(SameValues(state.ModelFits[i], before[i])) << i;
    }
  }

  const ModelFit adopted = record;
  EXPECT_NE(ErrorOf([&] { AdoptObservationError(state, 7); }).find("уже приняты"),
            std::string::npos);
  state.ObservationError.Fits[0].Converged = false;
  EXPECT_NE(ErrorOf([&] { AdoptObservationError(state, 1); }).find("не сошлась"),
            std::string::npos);
  EXPECT_TRUE(SameValues(state.ModelFits[7], adopted));
  EXPECT_TRUE(SameValues(state.ModelFits[1], before[1]));

  projection::TacReportInput report;
  report.Fit = adopted;
  report.ModelChoiceText = "ПТ Лог";
  std::vector<std::string> lines = projection::TacReportFileLines(report);
  report.Fit.Origin = model::FitOrigin::Search;
  const std::vector<std::string> plain = projection::TacReportFileLines(report);
  ASSERT_EQ(lines.size(), plain.size() + 1);
  EXPECT_EQ(lines.back(), projection::kObservationErrorParametersLine);
  lines.pop_back();
  EXPECT_EQ(lines, plain);

  ClearSuitability(state);
  EXPECT_TRUE(state.ObservationError.Fits.empty());
}

// The panel's texts for one fit, with the decimal comma: significant
// digits, the small q in full, marks of the bound and of convergence; the
// procedure beside it from the record's own r, K, q.
TEST(ObservationErrorView, TextsOfOneFit) {
  ObservationErrorFit f;
  f.R = 0.4;
  f.K = 1500.0;
  f.Q = 5.856e-6;
  f.Sigma = 0.15;
  f.RSS = 0.495;
  f.N = 22;
  f.AICc = -74.321;
  f.MSY = 150.0;
  f.BMSY = 750.0;
  f.FMSY = 0.2;
  f.EMSY = 34153.0;
  f.BLastOverBMSY = 0.8;
  f.FLastOverFMSY = 1.25;
  f.AtBounds = {"r", "K"};
  const TextTable table = ObservationErrorTable({f}, 3, ',');
  EXPECT_EQ(table[0][2], "K, тыс. т");  // masses in the data's unit
  EXPECT_EQ(table[0][11], "BMSY, тыс. т");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1],
            (std::vector<std::string>{"Шефера", "0,4000", "1500", "0,000005856", "—", "1,000",
                                      "0,1500", "0,4950", "22", "-74,32", "150,0", "750,0",
                                      "0,2000", "34153", "0,80", "1,25", "r, K", "нет"}));
  EXPECT_EQ(table[0].size(), table[1].size());

  AssessmentState state;
  BuildModelFits(state, "4");
  state.AnalysisSeries = testing::FishedStock(22);
  state.Table = testing::TableOf(state.AnalysisSeries);
  state.ModelFits[0].R = 0.5;
  state.ModelFits[0].K = 2000.0;
  state.ModelFits[0].Q = state.AnalysisSeries.U.back() / 500.0;  // last biomass 500
  state.ModelFits[0].Origin = model::FitOrigin::Search;
  EXPECT_TRUE(ObservationErrorComparison(state, 0, 0, ',').empty());
  f.Q = state.AnalysisSeries.U.back() / 450.0;  // its observed last biomass 450
  state.ObservationError.Fits = {f, f, f};
  ModelFit withPoints = state.ModelFits[0];
  model::ReferenceMsy(withPoints);
  const std::string procedureModel =
      FormatFixed(ProcedureLastYear(state.AnalysisSeries, withPoints).Model, 2, ',');
  EXPECT_EQ(ObservationErrorComparison(state, 0, 0, ','),
            (TextTable{{"Величина", "Шефер СК", "Модель ошибки наблюдения"},
                       {"MSY, т", "250,0", "150,0"},
                       {"BMSY, т", "1000", "750,0"},
                       {"FMSY", "0,2500", "0,2000"},
                       {"B/BMSY посл. (U/q наблюд.)", "0,50", "0,60"},
                       {"B/BMSY посл. (модель)", procedureModel, "0,80"}}));
  f.PredictedCpue.assign(22, 1.0);
  state.ObservationError.Fits[0] = f;
  const CpuePredictionChart chart = ObservationErrorChart(state, 0);
  EXPECT_EQ(chart.Observed.size(), 22u);
  EXPECT_EQ(chart.Procedure.size(), 20u);
  EXPECT_EQ(chart.ObservationError.size(), 22u);
  EXPECT_EQ(chart.Procedure.front().x, chart.Observed[2].x);
}

// B/BMSY of the last year both ways, by hand: U = 2, 3, 4, C = 10, 20, 30,
// Schaefer r 0.5, K 1000, q 0.01 (BMSY 500). Observed 4/0.01/500 = 0.8;
// S = 5, S/(2q) = 250, U0 = 2 + 0.5·5·(1 − 250/1000) − 0.02·20 = 3.475,
// model 3.475/0.01/500 = 0.695. Without q or BMSY neither is given.
TEST(ObservationErrorView, LastYearRatiosByHand) {
  data::CatchEffortSeries series;
  series.U = {2.0, 3.0, 4.0};
  series.C = {10.0, 20.0, 30.0};
  ModelFit record;
  record.Kind = model::ProductionModelKind::Schaefer;
  record.R = 0.5;
  record.K = 1000.0;
  record.Q = 0.01;
  record.BMSY = 500.0;
  const LastYearRatios ratios = ProcedureLastYear(series, record);
  EXPECT_NEAR(ratios.Observed, 0.8, 1e-12);
  EXPECT_NEAR(ratios.Model, 0.695, 1e-12);
  record.Q = 0.0;
  EXPECT_TRUE(std::isnan(ProcedureLastYear(series, record).Observed));
}

}  // namespace
}  // namespace tarvik::estimation
