#include "assessment/state_space.h"

#include <gtest/gtest.h>

#include "assessment/observation_error_view.h"

#include "common/numbers.h"
#include "model/production.h"

#include <string>
#include <vector>

#include "estimation/parameter_search.h"
#include "assessment/state_space_view.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "projection/tac_report.h"
#include "support/error_of.h"
#include "core/estimation/test_series.h"
#include "assessment/search.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using testing_support::ErrorOf;

bool SameValues(const ModelFit& a, const ModelFit& b) {
  return a.R == b.R && a.K == b.K && a.Q == b.Q && a.Exponent == b.Exponent &&
         a.ObjectiveValue == b.ObjectiveValue && a.Origin == b.Origin && a.MSY == b.MSY;
}

AssessmentState Searched() {
  AssessmentState state;
  BuildModelFits(state, "4");
  state.AnalysisSeries = testing::FishedStock(22);
  state.Table = testing::TableOf(state.AnalysisSeries);
  SearchSettings settings;
  settings.Start = {0.5, 15000.0, 0.0001, 2.0};
  settings.Bounds = {0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  SearchOptions options;
  options.MaxFailures = 2000;
  options.Threads = 1;
  EstimateParameters(state, settings, 0, options);
  return state;
}

std::string Reason(AssessmentState& state, std::size_t index) {
  return ErrorOf([&] { AdoptStateSpace(state, index); });
}

// «Оценить» and «Принять оценки модели пространства состояний»: refused
// without fits; the Schaefer record takes the Schaefer fit's r, K, q with its
// own objective there, later stages go, nothing else moves; refused a second
// time, for a fit not converged and for a Hessian not positive definite,
// changing nothing; intervals of the adopted values are the model's draws; the
// TAC report gains one last line; a new «Оценить» drops the chosen variant's
// intervals, a new series drops the fits.
TEST(StateSpaceState, AdoptsTheFitOfTheRecordsKind) {
  AssessmentState state = Searched();
  state.ModelChoiceText = "Шефер СК";
  const std::uint32_t seed = state.Random.Seed();
  EXPECT_NE(Reason(state, 0).find("не оценена"), std::string::npos);

  StateSpaceOptions options;
  options.EstimateB1 = true;
  int calls = 0;
  EstimateStateSpace(state, options, [&](int done, int total) {
    EXPECT_EQ(done, ++calls);
    EXPECT_EQ(total, 3);
  });
  ASSERT_EQ(state.StateSpace.Fits.size(), 3u);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(state.StateSpace.Options.EstimateB1);
  EXPECT_EQ(state.Random.Seed(), seed);
  const StateSpaceFit& schaefer = *StateSpaceFitOf(state, model::ProductionModelKind::Schaefer);
  EXPECT_EQ(schaefer.Kind, model::ProductionModelKind::Schaefer);
  EXPECT_EQ(StateSpaceFitOf(state, model::ProductionModelKind::Fox)->Kind,
            model::ProductionModelKind::Fox);
  ASSERT_TRUE(schaefer.Converged);
  ASSERT_TRUE(schaefer.HessianPositiveDefinite);
  EXPECT_FALSE(StateSpaceAdoptionRefusal(state, 0));

  const std::vector<ModelFit> before = state.ModelFits;
  state.Indicators.Evaluated = true;
  state.ModelFits[5].MSY = 1.0;
  AdoptStateSpace(state, 0);
  const ModelFit& record = state.ModelFits[0];
  EXPECT_EQ(record.R, schaefer.R.Value);
  EXPECT_EQ(record.K, schaefer.K.Value);
  EXPECT_EQ(record.Q, schaefer.Q.Value);
  EXPECT_EQ(record.ObjectiveValue,
            model::EvaluateObjective(state.AnalysisSeries, record.Objective, record.Kind,
                                     record.R, record.K, record.Q, record.Exponent,
                                     state.MedianKeepCount));
  EXPECT_TRUE(HoldsStateSpace(state, 0));
  EXPECT_FALSE(state.Indicators.Evaluated);
  EXPECT_EQ(state.ModelFits[5].MSY, 0.0);
  EXPECT_EQ(state.ModelChoiceText, "Шефер СК");
  for (std::size_t i = 1; i < 9; ++i) EXPECT_TRUE(SameValues(state.ModelFits[i], before[i])) << i;

  const ModelFit adopted = record;
  EXPECT_NE(Reason(state, 0).find("уже приняты"), std::string::npos);
  state.StateSpace.Fits[1].Converged = false;
  EXPECT_NE(Reason(state, 3).find("не сошлась"), std::string::npos);
  state.StateSpace.Fits[2].Converged = true;
  state.StateSpace.Fits[2].HessianPositiveDefinite = false;
  EXPECT_NE(Reason(state, 7).find("не положительно определена"), std::string::npos);
  state.StateSpace.Fits[2].Kind = model::ProductionModelKind::Fox;
  EXPECT_NE(Reason(state, 7).find("другой модели"), std::string::npos);
  EXPECT_NE(Reason(state, 9).find("Нет варианта"), std::string::npos);
  EXPECT_TRUE(SameValues(state.ModelFits[0], adopted));
  EXPECT_TRUE(SameValues(state.ModelFits[3], before[3]));
  EXPECT_TRUE(SameValues(state.ModelFits[7], before[7]));
  const estimation::ParameterBounds bounds{0.0, 1.0, 2000.0, 200000.0, 0.0001, 1.0, 1.01, 10.0};
  uncertainty::BootstrapOptions drawOptions;
  drawOptions.Replicates = 100;
  const uncertainty::BootstrapResult draws =
      uncertainty::BootstrapRecord(state, 0, bounds, drawOptions);
  EXPECT_EQ(draws.Method, uncertainty::Estimator::StateSpace);  // the model's own, not a refit
  EXPECT_TRUE(uncertainty::MadeForRecord(draws, adopted));
  StateSpaceFit& kept = state.StateSpace.Fits[0];
  kept.R.Value *= 1.01;  // as a new «Оценить» would leave it
  EXPECT_NE(ErrorOf([&] { uncertainty::BootstrapRecord(state, 0, bounds, drawOptions); })
                .find("оценена заново"),
            std::string::npos);
  kept.R.Value /= 1.01;

  projection::TacReportInput report;
  report.Fit = adopted;
  report.ModelChoiceText = "Шефер СК";
  std::vector<std::string> lines = projection::TacReportFileLines(report);
  report.Fit.Origin = model::FitOrigin::Search;
  const std::vector<std::string> plain = projection::TacReportFileLines(report);
  ASSERT_EQ(lines.size(), plain.size() + 1);
  EXPECT_EQ(lines.back(), projection::kStateSpaceParametersLine);
  lines.pop_back();
  EXPECT_EQ(lines, plain);

  state.Decision.emplace();
  EstimateStateSpace(state, {});
  EXPECT_FALSE(state.Decision);
  EXPECT_FALSE(state.StateSpace.Options.EstimateB1);
  EXPECT_TRUE(SameValues(state.ModelFits[0], adopted));
  ClearSuitability(state);
  EXPECT_TRUE(state.StateSpace.Fits.empty());
}

// «Оценить» before the suitability check changes nothing.
TEST(StateSpaceState, RefusesWithoutASeries) {
  AssessmentState state;
  EXPECT_NE(ErrorOf([&] { EstimateStateSpace(state, {}); }).find("Нет ряда"), std::string::npos);
  EXPECT_TRUE(state.StateSpace.Fits.empty());
}

StateSpaceEstimate Estimate(double value, double lower = 0.0, double upper = 0.0) {
  return {value, lower > 0.0, 0.1, lower, upper};
}

// The tab's texts for one fit with the decimal comma; the chosen variant
// beside it; the chart: CPUE over q̂, the biomass of n + 1 years (the last
// one the year after the table's last), the band only where SEs exist.
TEST(StateSpaceView, TextsOfOneFit) {
  StateSpaceFit f;
  f.Level = 0.95;
  f.R = Estimate(0.4);
  f.K = Estimate(1500.0);
  f.Q = Estimate(5.856e-6);
  f.SigmaP = Estimate(0.05);
  f.SigmaO = Estimate(0.15);
  f.MSY = Estimate(150.0, 120.0, 187.5);
  f.BMSY = Estimate(750.0);
  f.FMSY = Estimate(0.2);
  f.BNextOverBMSY = Estimate(0.8);
  f.FLastOverFMSY = Estimate(NAN);
  f.Objective = -12.3456;
  f.N = 22;
  f.Converged = true;
  const TextTable table = StateSpaceTable({f}, 0, ',');
  EXPECT_EQ(table[0][8], "MSY, т");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0][9], "MSY 95 %");
  EXPECT_EQ(table[1], (std::vector<std::string>{"Шефера", "0,4000", "1500", "0,000005856", "—",
                                                "1,000", "0,0500", "0,1500", "150,0",
                                                "120,0 – 187,5", "750,0", "0,2000", "0,80", "—",
                                                "-12,346", "22", "да", "нет"}));
  EXPECT_EQ(table[0].size(), table[1].size());

  AssessmentState state;
  BuildModelFits(state, "4");
  state.AnalysisSeries = testing::FishedStock(22);
  state.Table = testing::TableOf(state.AnalysisSeries);
  state.ModelFits[0].R = 0.5;
  state.ModelFits[0].K = 2000.0;
  state.ModelFits[0].Q = state.AnalysisSeries.U.back() / 500.0;  // last biomass 500
  state.ModelFits[0].Origin = model::FitOrigin::Search;
  EXPECT_TRUE(StateSpaceComparison(state, 0, 3, ',').empty());
  f.Q = Estimate(state.AnalysisSeries.U.back() / 450.0);  // observed last biomass 450
  f.Biomass.assign(23, Estimate(600.0, 400.0, 900.0));
  f.Biomass[21] = Estimate(450.0);
  state.StateSpace.Fits = {f, f, f};
  ModelFit withPoints = state.ModelFits[0];
  model::ReferenceMsy(withPoints);
  const std::string procedureModel =
      FormatFixed(ProcedureLastYear(state.AnalysisSeries, withPoints).Model, 2, ',');
  EXPECT_EQ(StateSpaceComparison(state, 0, 3, ','),
            (TextTable{{"Величина", "Шефер СК", "Пространство состояний"},
                       {"MSY, тыс. т", "250,0", "150,0"},
                       {"BMSY, тыс. т", "1000", "750,0"},
                       {"FMSY", "0,2500", "0,2000"},
                       {"B/BMSY посл. (U/q наблюд.)", "0,50", "0,60"},
                       {"B/BMSY посл. (модель)", procedureModel, "0,60"},
                       {"σ_p", "—", "0,0500"},
                       {"σ_o", "—", "0,1500"}}));
  const StateSpaceBiomassChart chart = StateSpaceChart(state, 0, 3);
  EXPECT_EQ(chart.YTitle, "Биомасса, тыс. т");  // in the data's catch unit
  ASSERT_EQ(chart.Observed.size(), 22u);
  EXPECT_EQ(chart.Observed[3].y, state.AnalysisSeries.U[3] / f.Q.Value);
  ASSERT_EQ(chart.Biomass.size(), 23u);
  EXPECT_EQ(chart.Biomass[22].x, chart.Observed[21].x + 1.0);
  EXPECT_EQ(chart.Lower.size(), 22u);  // year 22 has no SE
  EXPECT_EQ(chart.Upper.back().x, chart.Biomass[22].x);
  EXPECT_EQ(chart.Upper.back().y, 900.0);
  EXPECT_EQ(chart.BandName, "Интервал 95 %");
}

}  // namespace
}  // namespace tarvik::estimation
