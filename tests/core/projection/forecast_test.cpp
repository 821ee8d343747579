#include "assessment/forecast.h"
#include "projection/forecast.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "assessment/rules.h"
#include "common/error.h"
#include "fixture.h"
#include "projection/projection.h"
#include "rules/rule_list.h"

namespace tarvik::projection {
namespace {

using testing::LinearRule;
using testing::SmallState;

AssessmentState ForecastState() {
  AssessmentState state = SmallState();
  state.RuleList = {LinearRule(0.3)};
  state.RuleNames = {"FMSY Линейно-кусочное ПРП -0.3"};
  state.DataFileName = "/data/stock.txt";
  return state;
}

ForecastOptions Options(bool noise, int horizon = 5) {
  ForecastOptions options;
  options.Variant = 0;
  options.ModelChoiceText = "Шефер СК";
  options.Rule = 0;
  options.Horizon = horizon;
  options.AddNoise = noise;
  options.YearTexts = {"2001", "2002", "2003", "2004", "2005"};
  options.Species = "Тунец";
  options.Stock = "Восточный";
  options.Results = {"0.50", "1000", "0.001000", "0.012"};
  return options;
}

// --- without noise --------------------------------------------------------------------

// A variant whose values were adopted from the refinement: both reports end
// with the line that says so; otherwise they are as before.
TEST(BuildForecast, ReportSaysWhenTheParametersWereRefined) {
  AssessmentState plain = ForecastState();
  const ForecastResult before = BuildForecast(plain, Options(false));
  EXPECT_NE(before.Report.Fit.Origin, model::FitOrigin::Refinement);
  AssessmentState refined = ForecastState();
  refined.ModelFits[0].Origin = model::FitOrigin::Refinement;
  const ForecastResult after = BuildForecast(refined, Options(false));
  EXPECT_EQ(after.Report.Fit.Origin, model::FitOrigin::Refinement);
  ASSERT_EQ(after.ReportLines.size(), before.ReportLines.size() + 1);
  EXPECT_EQ(after.ReportLines.back(), kRefinedParametersLine);
  const std::vector<std::string> file = TacReportFileLines(after.Report);
  EXPECT_EQ(file.back(), kRefinedParametersLine);
  EXPECT_EQ(file[file.size() - 2], " ");
}

TEST(BuildForecast, WithoutNoiseIsTheDeterministicProjectionAndHasNoInterval) {
  AssessmentState state = ForecastState();
  state.Random.Restore(99);
  const ForecastResult result = BuildForecast(state, Options(false));
  EXPECT_EQ(state.Random.Seed(), 99u);
  EXPECT_TRUE(result.Chart.CatchInterval.empty());
  EXPECT_TRUE(result.Chart.BiomassInterval.empty());
  EXPECT_TRUE(result.Intervals.empty());
  EXPECT_EQ(result.ReportLines.back(), "Количество лет прогноза  5");

  const ProjectionResult single = ProjectStock(state, 5, 0, LinearRule(0.3), false, false);
  ASSERT_EQ(result.Chart.Biomass.size(), 10u);  // 5 observed + 5 forecast
  for (std::size_t i = 0; i < 5; ++i) {
    const Point& b = result.Chart.Biomass[5 + i];
    EXPECT_EQ(b.x, 2006.0 + static_cast<double>(i));
    EXPECT_EQ(b.y, std::nearbyint(single.Biomass[i]));
    EXPECT_EQ(result.Chart.Catch[5 + i].y, std::nearbyint(single.Catch[i]));
    // 10000 equal values: the mean is that value up to summation error and
    // the sd is zero or tiny, shown as computed.
    EXPECT_NEAR(result.BiomassMean[i], single.Biomass[i], 1e-9 * single.Biomass[i]);
    EXPECT_LT(result.BiomassSd[i], 1e-9 * single.Biomass[i]);
  }
}

TEST(BuildForecast, ChartAxesLinesAndObservedPoints) {
  AssessmentState state = ForecastState();
  const ForecastResult result = BuildForecast(state, Options(false, 3));
  const ForecastChart& chart = result.Chart;
  EXPECT_EQ(chart.Title, "Модель: Шефер СК,   ПРП: FMSY Линейно-кусочное ПРП -0.3");
  EXPECT_EQ(chart.XMin, 2001.0);
  EXPECT_EQ(chart.XMax, 2008.0);
  EXPECT_EQ(chart.YMin, 0.0);
  EXPECT_DOUBLE_EQ(chart.YMax, 1100.0);
  // An observed biomass above 1.1·K raises the axis to it.
  state.AnalysisSeries.U[2] = 1.5;
  EXPECT_EQ(BuildForecast(state, Options(false, 3)).Chart.YMax, 1.5 / 0.001);
  EXPECT_EQ(chart.Capacity, (PointList{{2001.0, 1000.0}, {2008.0, 1000.0}}));
  EXPECT_EQ(chart.Bmsy, (PointList{{2001.0, 500.0}, {2008.0, 500.0}}));
  EXPECT_EQ(chart.Msy, (PointList{{2001.0, 125.0}, {2008.0, 125.0}}));
  EXPECT_EQ(chart.Biomass[0], (Point{2001.0, 0.50 / 0.001}));
  EXPECT_EQ(chart.Catch[4], (Point{2005.0, 95.0}));
  ASSERT_EQ(result.TableLines.size(), 2u + 8u);
  EXPECT_EQ(result.TableLines[0], "ГОД\tБИОМАССА ЗАПАСА\tУЛОВЫ");
  EXPECT_EQ(result.TableLines[1], std::string(91, '-'));
  EXPECT_EQ(result.TableLines[2], "2001\t\t500\t\t100");
}

// --- with noise -----------------------------------------------------------------------

TEST(BuildForecast, WithNoiseGivesMeanSampleSdAndTheInterval) {
  AssessmentState state = ForecastState();
  state.Random.Restore(2024);
  const int h = 4;
  const ForecastResult result = BuildForecast(state, Options(true, h));

  // The same runs by hand: resampled residuals, sums in run order, divisor 9999.
  AssessmentState copy = ForecastState();
  model::RandomSource random(2024);
  const StockProjection projection(copy.AnalysisSeries, rules::MakeRuleContext(copy), 0,
                                   LinearRule(0.3), h, ProcessError{true, false});
  std::vector<std::vector<double>> catches(h), biomass(h);
  for (int k = 0; k < kForecastRuns; ++k) {
    const ProjectionResult run = projection.Run(random);
    for (int i = 0; i < h; ++i) {
      catches[i].push_back(run.Catch[i]);
      biomass[i].push_back(run.Biomass[i]);
    }
  }
  EXPECT_EQ(state.Random.Seed(), random.Seed());
  for (int i = 0; i < h; ++i) {
    double sum = 0.0;
    for (double x : catches[i]) sum += x;
    const double mean = sum / 10000.0;
    double squares = 0.0;
    for (double x : catches[i]) squares += (x - mean) * (x - mean);
    EXPECT_EQ(result.CatchMean[i], mean);
    EXPECT_EQ(result.CatchSd[i], std::sqrt(squares / 9999.0));
    EXPECT_GT(result.BiomassSd[i], 0.0);
  }

  const PointList& interval = result.Chart.CatchInterval;
  ASSERT_EQ(interval.size(), 2u * h);
  for (int i = 0; i < h; ++i) {
    const Point& upper = interval[2 * i];
    const Point& lower = interval[2 * i + 1];
    EXPECT_EQ(upper.x, 2006.0 + i);
    EXPECT_EQ(lower.x, upper.x);
    EXPECT_EQ(upper.y, std::nearbyint(result.CatchMean[i] + 1.645 * result.CatchSd[i]));
    EXPECT_EQ(lower.y, std::nearbyint(result.CatchMean[i] + -1.0 * 1.645 * result.CatchSd[i]));
  }
  ASSERT_EQ(result.Chart.BiomassInterval.size(), 2u * h);
  ASSERT_EQ(result.Intervals.size(), static_cast<std::size_t>(h));
  EXPECT_EQ(result.Intervals[0].Year, 2006.0);

  // Report: "Количество лет прогноза", an empty line, the title, h lines.
  const std::vector<std::string>& lines = result.ReportLines;
  ASSERT_GE(lines.size(), static_cast<std::size_t>(h) + 3);
  const std::size_t count = lines.size() - h - 3;
  EXPECT_EQ(lines[count], "Количество лет прогноза  4");
  EXPECT_EQ(lines[count + 1], "");
  EXPECT_EQ(lines[count + 2], "Интервальная оценка прогнозного значения ОДУ:  ");
  EXPECT_EQ(lines[count + 3].substr(0, 5), "2006\t");
}

TEST(BuildForecast, ScreenReportLayout) {
  AssessmentState state = ForecastState();
  state.ModelFits[0].EMSY = 250.456;
  const ForecastResult result = BuildForecast(state, Options(false, 2));
  const std::vector<std::string> expected = {
      "Вид  Тунец",
      "Запас  Восточный",
      "Период наблюдения  2001 - 2005",
      "Файл входных данных  /data/stock.txt",
      " ",
      "ПАРАМЕТРЫ МОДЕЛИ",
      std::string(91, '-'),
      "Продукционная модель Шефера, целевая функция: сумма квадратов",
      "r  0.50",
      "K  1000",
      "q  0.001000",
      "Значение целевой функции  0.012",
      " ",
      "ОРИЕНТИРЫ УПРАВЛЕНИЯ",
      std::string(91, '-'),
      "Управление: FMSY Линейно-кусочное ПРП -0.3",
      "MSY  125",
      "BMSY  500",
      "Btr  500",
      "Blim  0",  // (1 − 1/0.3)·500 < 0
      "EMSY  250.46",
      "Etr  250",
      "FMSY  0.25",
      "Ftr  0.25",
      " ",
      "Количество лет прогноза  2"};
  EXPECT_EQ(result.ReportLines, expected);
}

// --- placement, options ----------------------------------------------------------------

TEST(BuildForecast, WithHeldOutYearsTheForecastFollowsTheAnalysedSeries) {
  AssessmentState state = ForecastState();
  ForecastOptions options = Options(false, 2);
  options.YearTexts = {"2001", "2002", "2003", "2004", "2005", "2006", "2007"};
  const ForecastResult result = BuildForecast(state, options);
  EXPECT_EQ(result.OriginYear, 2005);
  EXPECT_EQ(result.LastYear, 2007);
  EXPECT_EQ(result.Chart.Biomass[5].x, 2006.0);
  EXPECT_EQ(result.Chart.XMax, 2007.0);
  EXPECT_EQ(result.ReportLines[2], "Период наблюдения  2001 - 2007");
}

TEST(BuildForecast, BadOptionsStopBeforeAnyDraw) {
  AssessmentState state = ForecastState();
  ForecastOptions options = Options(true);
  options.YearTexts[4] = "2005г";
  EXPECT_THROW(BuildForecast(state, options), Error);
  EXPECT_THROW(BuildForecast(state, Options(true, 21)), Error);
  EXPECT_THROW(BuildForecast(state, Options(true, 0)), Error);
  options = Options(true);
  options.Rule = 3;
  EXPECT_THROW(BuildForecast(state, options), Error);
  options = Options(true);
  options.Variant = 8;
  EXPECT_THROW(BuildForecast(state, options), Error);
  EXPECT_EQ(state.Random.Seed(), 0u);
}

// --- sensitivity --------------------------------------------------------------------------

TEST(RunSensitivityAnalysis, RestoresTheParameterBitForBit) {
  AssessmentState state = ForecastState();
  state.ModelFits[0].K = 1000.1;  // 0.9·K / 0.9 would not give it back
  const double K0 = state.ModelFits[0].K;
  const SensitivityResult result =
      RunSensitivityAnalysis(state, Options(true, 3), SensitivityParameter::K, 10);
  EXPECT_EQ(std::memcmp(&state.ModelFits[0].K, &K0, sizeof K0), 0);
  EXPECT_FALSE(result.Forecast.AddNoise);
  EXPECT_TRUE(result.Forecast.Chart.CatchInterval.empty());
  EXPECT_EQ(state.Random.Seed(), 0u);

  AssessmentState lowered = ForecastState();
  lowered.ModelFits[0].K = (1.0 - 10 / 100.0) * K0;
  const ProjectionResult expected = ProjectStock(lowered, 3, 0, LinearRule(0.3), false, false);
  ASSERT_EQ(result.BiomassLower.size(), 4u);
  // The start point is the last observed point of the chart.
  EXPECT_EQ(result.BiomassLower[0], (Point{2005.0, 0.41 / 0.001}));
  EXPECT_EQ(result.CatchUpper[0], (Point{2005.0, 95.0}));
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(result.BiomassLower[i + 1], (Point{2006.0 + i, expected.Biomass[i]}));
    EXPECT_EQ(result.CatchLower[i + 1].y, expected.Catch[i]);
  }
  EXPECT_GT(result.BiomassUpper[3].y, result.BiomassLower[3].y);
}

TEST(RunSensitivityAnalysis, RestoresTheParameterWhenAProjectionFails) {
  AssessmentState state = ForecastState();
  state.ModelFits[0].Kind = model::ProductionModelKind::Fox;
  // A catch of 500 two years back: with q (U0 ≈ −0.21) and with q lowered by
  // half (U0 ≈ 0.001) the Fox projection runs; with q raised by half
  // U0 ≈ −0.55 and the first mean biomass is negative, so the second run fails.
  state.AnalysisSeries.C[3] = 500.0;
  const double q0 = state.ModelFits[0].Q;
  ASSERT_NO_THROW(BuildForecast(state, Options(false, 3)));
  try {
    RunSensitivityAnalysis(state, Options(false, 3), SensitivityParameter::Q, 50);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("«Фокса Сумма квадратов»"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(state.ModelFits[0].Q, q0);
  EXPECT_THROW(RunSensitivityAnalysis(state, Options(false), SensitivityParameter::R, 60), Error);
}

}  // namespace
}  // namespace tarvik::projection
