#include "assessment/search.h"
#include "estimation/parameter_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "assessment/estimation_view.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/estimation_view.h"
#include "estimation/objective_evaluator.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "support/error_of.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;
using testing_support::ErrorOf;

std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

SearchTexts Texts() {
  SearchTexts t;
  t.InitialK = "15000";
  t.MinK = "2000";
  t.MaxK = "200000";
  return t;
}

// A state after «Открыть» and the suitability check: nine variants, the
// fished-stock series.
AssessmentState Prepared(int years = 22) {
  AssessmentState state;
  BuildModelFits(state, "4");
  state.AnalysisSeries = testing::FishedStock(years);
  return state;
}

SearchOptions Short(int maxFailures, int threads = 1) {
  SearchOptions options;
  options.MaxFailures = maxFailures;
  options.Threads = threads;
  return options;
}

void ExpectSameFits(const std::vector<model::ModelFit>& a, const std::vector<model::ModelFit>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE("variant " + std::to_string(i));
    EXPECT_EQ(Bits(a[i].R), Bits(b[i].R));
    EXPECT_EQ(Bits(a[i].K), Bits(b[i].K));
    EXPECT_EQ(Bits(a[i].Q), Bits(b[i].Q));
    EXPECT_EQ(Bits(a[i].ObjectiveValue), Bits(b[i].ObjectiveValue));
    EXPECT_EQ(Bits(a[i].FittedR), Bits(b[i].FittedR));
    EXPECT_EQ(Bits(a[i].FittedQ), Bits(b[i].FittedQ));
    EXPECT_EQ(Bits(a[i].FittedK), Bits(b[i].FittedK));
    EXPECT_EQ(Bits(a[i].Exponent), Bits(b[i].Exponent));
  }
}

// ---------------------------------------------------------------------------
// Reading the edits.

TEST(ReadSearchSettings, ReadsTheNineEditsAndFixesTheExponent) {
  const SearchSettings s = ReadSearchSettings(Texts(), '.');
  EXPECT_EQ(s.Start.r, 0.5);
  EXPECT_EQ(s.Start.K, 15000.0);
  EXPECT_EQ(s.Start.q, 0.0001);
  EXPECT_EQ(s.Start.p, 2.0);
  EXPECT_EQ(s.Bounds.MinR, 0.0);
  EXPECT_EQ(s.Bounds.MaxR, 1.0);
  EXPECT_EQ(s.Bounds.MinK, 2000.0);
  EXPECT_EQ(s.Bounds.MaxK, 200000.0);
  EXPECT_EQ(s.Bounds.MinQ, 0.0001);
  EXPECT_EQ(s.Bounds.MaxQ, 1.0);
  EXPECT_EQ(s.Bounds.MinP, 1.01);
  EXPECT_EQ(s.Bounds.MaxP, 10.0);
}

TEST(ReadSearchSettings, UsesTheLocaleMarkAndNamesABadEdit) {
  SearchTexts t = Texts();
  t.InitialR = "0,25";
  t.MinQ = "0,0001";
  t.InitialQ = "0,0001";
  t.MaxR = "1";
  t.MaxQ = "1";
  EXPECT_EQ(ReadSearchSettings(t, ',').Start.r, 0.25);
  try {
    ReadSearchSettings(t, '.');
    FAIL();
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Начальная точка, r: «0,25»"), std::string::npos)
        << e.what();
    EXPECT_NE(std::string(e.what()).find("«0,25»"), std::string::npos) << e.what();
  }
  t = Texts();
  t.MaxK = "";
  try {
    ReadSearchSettings(t, '.');
    FAIL();
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Верхняя граница K: «»"), std::string::npos) << e.what();
  }
}

TEST(ReadSearchSettings, AMinimumAboveItsMaximumIsRefusedNamingTheEdits) {
  SearchTexts t = Texts();
  t.MinR = "1";
  t.MaxR = "0.1";
  EXPECT_EQ(ErrorOf([&] { ReadSearchSettings(t, '.'); }),
            "Нижняя граница r «1» больше верхней «0.1»; исправьте границы");
  t = Texts();
  t.MinK = "300000";
  EXPECT_NE(ErrorOf([&] {
              ReadSearchSettings(t, '.');
            }).find("Нижняя граница K «300000» больше верхней «200000»"),
            std::string::npos);
  t = Texts();
  t.MinQ = "2";
  EXPECT_NE(ErrorOf([&] { ReadSearchSettings(t, '.'); }).find("Нижняя граница q «2»"),
            std::string::npos);
  // Equal bounds fix the parameter and stay allowed.
  t = Texts();
  t.MinR = t.MaxR = "0.3";
  t.MinK = t.MaxK = "15000";
  t.MinQ = t.MaxQ = "0.001";
  EXPECT_EQ(ReadSearchSettings(t, '.').Bounds.MinR, 0.3);
}

// ---------------------------------------------------------------------------
// The search over the variants.

TEST(EstimateParameters, SingleActiveVariantStartsFromTheStartValues) {
  AssessmentState state = Prepared();
  for (std::size_t i = 0; i < 9; ++i) SetVariantEnabled(state, i, i == 4);
  const SearchSettings settings = ReadSearchSettings(Texts(), '.');
  EstimateParameters(state, settings, 0, Short(20000));

  // The same search by hand: Fox, log sum of squares, from the edits' values.
  const data::CatchEffortSeries& s = state.AnalysisSeries;
  const ObjectiveEvaluator evaluator(s.U, s.C, ObjectiveKind::LogSumOfSquares,
                                     ProductionModelKind::Fox, 20);
  model::RandomSource random(0);
  EngineOptions engine;
  engine.MaxFailures = 20000;
  const SearchOutcome expected =
      SearchVariant(evaluator, {0.5, 15000.0, 0.0001, 2.0}, settings.Bounds, random, engine);
  const model::ModelFit& fit = state.ModelFits[4];
  EXPECT_EQ(Bits(fit.R), Bits(expected.Best.r));
  EXPECT_EQ(Bits(fit.K), Bits(expected.Best.K));
  EXPECT_EQ(Bits(fit.Q), Bits(expected.Best.q));
  EXPECT_EQ(Bits(fit.ObjectiveValue), Bits(expected.Objective));
  EXPECT_EQ(fit.FittedR, fit.R);
  EXPECT_EQ(fit.FittedQ, fit.Q);
  EXPECT_EQ(fit.FittedK, fit.K);
  EXPECT_EQ(fit.Exponent, 0.0);  // not a Pella-Tomlinson record
  EXPECT_EQ(state.Random.Seed(), random.Seed());
  EXPECT_EQ(state.ModelFits[3].R, 0.0);  // inactive records are not touched
  EXPECT_EQ(state.ActiveVariants, (std::vector<std::uint8_t>{4}));
}

TEST(EstimateParameters, NineVariantsRunInIndexOrderEachFromThePreviousBest) {
  AssessmentState state = Prepared();
  const SearchSettings settings = ReadSearchSettings(Texts(), '.');
  EstimateParameters(state, settings, 0, Short(5000));

  model::RandomSource random(0);
  EngineOptions engine;
  engine.MaxFailures = 5000;
  ParameterPoint x = settings.Start;
  const data::CatchEffortSeries& s = state.AnalysisSeries;
  std::vector<model::ModelFit> expected = Prepared().ModelFits;
  for (model::ModelFit& fit : expected) {
    const ObjectiveEvaluator evaluator(s.U, s.C, fit.Objective, fit.Kind, 20);
    const SearchOutcome outcome = SearchVariant(evaluator, x, settings.Bounds, random, engine);
    x = outcome.Best;
    fit.R = fit.FittedR = x.r;
    fit.K = fit.FittedK = x.K;
    fit.Q = fit.FittedQ = x.q;
    fit.ObjectiveValue = outcome.Objective;
    if (fit.Kind == ProductionModelKind::PellaTomlinson) fit.Exponent = x.p;
  }
  ExpectSameFits(state.ModelFits, expected);
  EXPECT_EQ(state.Random.Seed(), random.Seed());
  // p moved only in the Pella-Tomlinson variants: the first of them started at 2.
  EXPECT_NE(state.ModelFits[6].Exponent, 2.0);
}

TEST(EstimateParameters, ParallelGivesTheSequentialRecordsAndSeed) {
  AssessmentState sequential = Prepared();
  AssessmentState parallel = Prepared();
  const SearchSettings settings = ReadSearchSettings(Texts(), '.');
  const EstimateSummary a = EstimateParameters(sequential, settings, 2, Short(20000, 1));
  const EstimateSummary b = EstimateParameters(parallel, settings, 2, Short(20000, 2));
  ExpectSameFits(sequential.ModelFits, parallel.ModelFits);
  EXPECT_EQ(sequential.Random.Seed(), parallel.Random.Seed());
  EXPECT_EQ(a.Evaluations, b.Evaluations);
  EXPECT_EQ(Bits(a.Final.p), Bits(b.Final.p));
}

TEST(EstimateParameters, ReportsMemoAndMonotoneGauge) {
  AssessmentState state = Prepared();
  std::vector<std::vector<std::string>> memos;
  std::vector<std::pair<int, int>> gauge;
  SearchOptions options = Short(20000);
  options.OnMemo = [&](const std::vector<std::string>& lines) { memos.push_back(lines); };
  options.OnProgress = [&](int position, int maximum) { gauge.push_back({position, maximum}); };
  const EstimateSummary summary =
      EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 0, options);
  ASSERT_EQ(memos.size(), 10u);
  EXPECT_EQ(memos[0], (std::vector<std::string>{"Шефера", " Сумма квадратов"}));
  EXPECT_EQ(memos[5], (std::vector<std::string>{"Фокса", " Медианная"}));
  EXPECT_EQ(memos[7], (std::vector<std::string>{"Пелла-Томлинсона", " Лог. сумма кв."}));
  EXPECT_EQ(memos[9], (std::vector<std::string>{"Расчёт окончен"}));
  // Variant j moves the gauge to j·100 at an improvement and to j·100 + 1
  // and j·100 + 2 after 10000 and 20000 failures; it never moves back.
  ASSERT_FALSE(gauge.empty());
  EXPECT_EQ(gauge.front(), std::make_pair(0, 900));
  std::vector<int> positions;
  for (const auto& [position, maximum] : gauge) {
    EXPECT_EQ(maximum, 900);
    if (!positions.empty()) {
      EXPECT_GT(position, positions.back());
    }
    positions.push_back(position);
  }
  for (int j = 0; j < 9; ++j) {
    for (int step : {1, 2}) {
      EXPECT_NE(std::find(positions.begin(), positions.end(), j * 100 + step), positions.end())
          << j * 100 + step;
    }
  }
  EXPECT_EQ(summary.ProgressDone, 802);
  EXPECT_EQ(summary.Memo, (std::vector<std::string>{"Расчёт окончен"}));
}

TEST(EstimateParameters, TrimZeroKeepsEveryResidual) {
  AssessmentState state = Prepared();
  EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 0, Short(2000));
  EXPECT_EQ(state.MedianKeepCount, 20);
  for (const model::ModelFit& fit : state.ModelFits) {
    EXPECT_EQ(
        Bits(fit.ObjectiveValue),
        Bits(model::EvaluateObjective(state.AnalysisSeries, fit.Objective, fit.Kind, fit.R, fit.K,
                                      fit.Q, fit.Exponent == 0.0 ? 2.0 : fit.Exponent, 20)));
  }
  EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 3, Short(2000));
  EXPECT_EQ(state.MedianKeepCount, 14);  // Round(20 · 0.7)
}

TEST(EstimateParameters, NoActiveVariantSearchesNothing) {
  AssessmentState state = Prepared();
  SetModelEnabled(state, ProductionModelKind::Schaefer, false);
  SetModelEnabled(state, ProductionModelKind::Fox, false);
  SetModelEnabled(state, ProductionModelKind::PellaTomlinson, false);
  bool called = false;
  SearchOptions options = Short(1000);
  options.OnProgress = [&](int, int) { called = true; };
  EXPECT_THROW(EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 0, options), Error);
  EXPECT_FALSE(called);
  EXPECT_EQ(state.Random.Seed(), 0u);
  EXPECT_EQ(state.ModelFits[0].R, 0.0);
}

TEST(EstimateParameters, AThreadCountOutOfRangeStartsNothing) {
  AssessmentState state = Prepared();
  state.ModelFits[0].Enabled = 0;
  const std::string message = ErrorOf(
      [&] { EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 0, Short(1000, 100000)); });
  EXPECT_EQ(message, "Число потоков должно быть от 0 (все ядра) до 64, задано 100000");
  EXPECT_EQ(state.ActiveVariants.size(), 9u);  // not rebuilt
  EXPECT_EQ(state.Random.Seed(), 0u);
  EXPECT_THROW(EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 0, Short(10, -1)),
               Error);
}

TEST(EstimateParameters, WithoutVariantsRaises) {
  AssessmentState state;
  state.AnalysisSeries = testing::FishedStock(22);
  EXPECT_THROW(EstimateParameters(state, ReadSearchSettings(Texts(), '.'), 0, Short(10)), Error);
}

// ---------------------------------------------------------------------------
// One click: texts, search, display.

TEST(RunEstimation, BadTextRaisesBeforeAnythingChanges) {
  AssessmentState state = Prepared();
  state.ModelFits[0].Enabled = 0;  // ActiveVariants is not rebuilt before the texts are read
  const data::DataTable table = testing::TableOf(state.AnalysisSeries);
  EstimationRequest request;
  request.Texts = Texts();
  request.Texts.MinQ = "abc";
  EXPECT_THROW(RunEstimation(state, table, request, Short(100)), Error);
  EXPECT_EQ(state.ActiveVariants.size(), 9u);
  EXPECT_EQ(state.Random.Seed(), 0u);
  EXPECT_EQ(state.MedianKeepCount, 0);
}

TEST(RunEstimation, HoldOutNeedsTheShortenedSeries) {
  AssessmentState state = Prepared();
  const data::DataTable table = testing::TableOf(state.AnalysisSeries);
  EstimationRequest request;
  request.Texts = Texts();
  request.HoldOutYears = 3;  // but the series holds every year of the table
  EXPECT_THROW(RunEstimation(state, table, request, Short(100)), Error);
  EXPECT_EQ(state.Random.Seed(), 0u);
  request.HoldOutYears = 1;
  EXPECT_THROW(RunEstimation(state, table, request, Short(100)), Error);
}

// A ticked variant with no more residuals than parameters is refused before
// any search, naming the first such variant; nothing changes.
TEST(RunEstimation, TooShortASeriesIsRefusedBeforeTheSearch) {
  struct Case {
    int years;
    bool withPellaTomlinson;
    const char* refused;  // label named in the refusal, or nullptr: it runs
  };
  for (const Case& c :
       {Case{5, true, "«Шефер СК»"}, Case{6, true, "«ПТ СК»"}, Case{6, false, nullptr}}) {
    AssessmentState state = Prepared(c.years);
    if (!c.withPellaTomlinson) SetModelEnabled(state, ProductionModelKind::PellaTomlinson, false);
    const data::DataTable table = testing::TableOf(state.AnalysisSeries);
    EstimationRequest request;
    request.Texts = Texts();
    if (c.refused == nullptr) {
      EXPECT_NO_THROW(RunEstimation(state, table, request, Short(50))) << c.years;
      continue;
    }
    const std::string message = ErrorOf([&] { RunEstimation(state, table, request, Short(50)); });
    EXPECT_NE(message.find(c.refused), std::string::npos) << message;
    EXPECT_NE(message.find("нужно не меньше"), std::string::npos) << message;
    EXPECT_EQ(state.Random.Seed(), 0u) << c.years;
    EXPECT_EQ(state.MedianKeepCount, 0) << c.years;
  }
}

TEST(RunEstimation, StartOutsideItsBoundIsKeptAndShownRed) {
  AssessmentState state = Prepared();
  for (std::size_t i = 1; i < 9; ++i) SetVariantEnabled(state, i, false);
  const data::DataTable table = testing::TableOf(state.AnalysisSeries);
  EstimationRequest request;
  request.Texts = Texts();
  // The start is the stock's own r, K, q; every trial's r is pinned to 0.05.
  request.Texts.InitialR = "0.45";
  request.Texts.InitialK = "12000";
  request.Texts.InitialQ = "0.0002";
  request.Texts.MaxR = "0.05";
  const EstimationOutcome outcome = RunEstimation(state, table, request, Short(3000));
  EXPECT_EQ(state.ModelFits[0].R, 0.45);
  EXPECT_EQ(outcome.Display.Rows[0].RText, "0.45");
  EXPECT_TRUE(outcome.Display.Rows[0].ROutOfBounds);
  EXPECT_FALSE(outcome.Display.Rows[0].QOutOfBounds);
  EXPECT_EQ(outcome.Display.ChoiceLabels, (std::vector<std::string>{"Шефер СК"}));
}

// ---------------------------------------------------------------------------
// What the page shows.

TEST(EstimationDisplay, ResultTextsBoundsAndTrackBars) {
  AssessmentState state = Prepared();
  SetVariantEnabled(state, 5, false);
  model::ModelFit& fit = state.ModelFits[6];
  fit.R = 0.3456;
  fit.K = 12345.5;  // halves go to the even neighbour
  fit.Q = 0.00012345;
  fit.ObjectiveValue = 1.23456;
  fit.Exponent = 2.26;
  const SearchSettings settings = ReadSearchSettings(Texts(), '.');
  const data::DataTable table = testing::TableOf(state.AnalysisSeries);
  const EstimationDisplay d =
      MakeEstimationDisplay(state, settings, {0.456, 101000.0, 0.25, 2.0}, table, '.');
  const VariantRow& row = d.Rows[6];
  EXPECT_EQ(row.RText, "0.35");
  EXPECT_EQ(row.KText, "12346");
  EXPECT_EQ(row.QText, "0.000123");
  EXPECT_EQ(row.LText, "1.235");
  EXPECT_EQ(row.ExponentHint, "2.3");
  EXPECT_FALSE(row.ROutOfBounds);
  EXPECT_FALSE(row.KOutOfBounds);
  EXPECT_FALSE(row.QOutOfBounds);
  // A record never searched holds zeros: every value lies on or outside its bounds.
  EXPECT_EQ(d.Rows[0].RText, "0.00");
  EXPECT_TRUE(d.Rows[0].ROutOfBounds);
  EXPECT_TRUE(d.Rows[0].KOutOfBounds);
  // Track bars: 100·0.456 → 46; 100·101000 / 198000 = 51.01 → 51; 100·0.25 / 0.9999 → 25.
  EXPECT_EQ(d.TuningR, (TuningSetting{46, "0.456"}));
  EXPECT_EQ(d.TuningK, (TuningSetting{51, "101000"}));
  EXPECT_EQ(d.TuningQ, (TuningSetting{25, "0.25"}));
  EXPECT_EQ(d.ChoiceLabels, (std::vector<std::string>{"Шефер СК", "Шефер Лог", "Шефер М", "Фокс СК",
                                                      "Фокс Лог", "ПТ СК", "ПТ Лог", "ПТ М"}));
  EXPECT_EQ(d.ChoiceIndices, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 6, 7, 8}));
  // The locale's mark.
  EXPECT_EQ(
      MakeEstimationDisplay(state, settings, {0.456, 1.0, 0.25, 2.0}, table, ',').Rows[6].RText,
      "0,35");
}

TEST(EstimationDisplay, TrackBarWithEmptyRangeStaysAtZero) {
  AssessmentState state = Prepared();
  SearchSettings settings = ReadSearchSettings(Texts(), '.');
  settings.Bounds.MinK = settings.Bounds.MaxK = 5000.0;
  const EstimationDisplay d = MakeEstimationDisplay(state, settings, {2.0, 5000.0, 0.5, 2.0},
                                                    testing::TableOf(state.AnalysisSeries), '.');
  EXPECT_EQ(d.TuningK.Position, 0);
  EXPECT_EQ(d.TuningR.Position, 100);  // 200 is beyond the bar's end
  EXPECT_EQ(d.TuningQ.Position, 50);
}

TEST(TrimPositionHint, IsThePercentageCutOff) {
  EXPECT_EQ(TrimPositionHint(3), "30");
  EXPECT_EQ(TrimPositionHint(0), "0");
}

data::CatchEffortSeries FourYears() {
  data::CatchEffortSeries s;
  s.FirstYear = 2000;
  s.U = {1.0, 2.0, 3.0, 4.0};
  s.E = {1.0, 1.0, 1.0, 1.0};
  s.C = {10.0, 20.0, 30.0, 40.0};
  return s;
}

TEST(TheoreticalCpue, SchaeferStepAtTheYearsOfItsRows) {
  const data::CatchEffortSeries s = FourYears();
  // t = 2: S = 3, B̄ = 3/0.02 = 150, g = 1 − 1.5 = −0.5, Û = 1 + (0.5·−0.5)·3 − 0.02·20 = −0.15
  // t = 3: S = 5, B̄ = 250, g = −1.5, Û = 2 + (0.5·−1.5)·5 − 0.02·30 = −2.35
  const PointList points = TheoreticalCpue(s, testing::TableOf(s), {0.5, 100.0, 0.01, 7.0});
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].x, 2002.0);
  EXPECT_DOUBLE_EQ(points[0].y, -0.15);
  EXPECT_EQ(points[1].x, 2003.0);
  EXPECT_DOUBLE_EQ(points[1].y, -2.35);
}

// The residuals of the chosen record against the years of their rows:
// residual t − 2 at the year of row t + 1, with a zero line over them.
TEST(ResidualsByYear, TheRecordsResidualsAtTheYearsOfTheirRows) {
  const data::CatchEffortSeries s = FourYears();
  AssessmentState state;
  BuildModelFits(state, "4");
  model::ModelFit& fit = state.ModelFits[0];
  fit.R = 0.5;
  fit.K = 100.0;
  fit.Q = 0.01;
  // As TheoreticalCpue above: Û = −0.15 and −2.35, so the residuals are
  // 3 + 0.15 and 4 + 2.35.
  const ResidualChart chart = ResidualsByYear(s, testing::TableOf(s), state.ModelFits, 0);
  EXPECT_EQ(chart.Title, "Остатки по годам: Шефер СК");
  ASSERT_EQ(chart.Residuals.size(), 2u);
  EXPECT_EQ(chart.Residuals[0].x, 2002.0);
  EXPECT_DOUBLE_EQ(chart.Residuals[0].y, 3.15);
  EXPECT_EQ(chart.Residuals[1].x, 2003.0);
  EXPECT_DOUBLE_EQ(chart.Residuals[1].y, 6.35);
  const std::vector<double> expected =
      model::CpueResiduals(s.U, s.C, fit.Kind, fit.R, fit.K, fit.Q, fit.Exponent);
  EXPECT_EQ(chart.Residuals[1].y, expected[1]);
  EXPECT_EQ(chart.ZeroLine, (PointList{{2002.0, 0.0}, {2003.0, 0.0}}));

  fit.Q = 0.0;  // no search yet
  EXPECT_THROW(ResidualsByYear(s, testing::TableOf(s), state.ModelFits, 0), Error);
  EXPECT_THROW(ResidualsByYear(s, testing::TableOf(s), state.ModelFits, 9), Error);
}

}  // namespace
}  // namespace tarvik::estimation
