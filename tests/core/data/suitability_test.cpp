#include "assessment/suitability.h"
#include "assessment/suitability_view.h"
#include "data/suitability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "common/error.h"
#include "common/numbers.h"
#include "support/error_of.h"

namespace tarvik::data {
namespace {

using testing_support::ErrorOf;

// A table of n years from 1991 with E = 10, 20, …, U = cpue(E), C = catchOf(year index).
DataTable Table(int n, const std::function<double(double)>& cpue,
                const std::function<double(int)>& catchOf, char mark = '.') {
  std::vector<std::array<std::string, 4>> rows;
  for (int i = 0; i < n; ++i) {
    const double e = 10.0 * (i + 1);
    rows.push_back({std::to_string(1991 + i), FormatGeneral(cpue(e), mark), FormatGeneral(e, mark),
                    FormatGeneral(catchOf(i), mark)});
  }
  return DataTable::FromRows(rows);
}

double Falling(double e) {
  return 12.0 - 0.05 * e;
}
double Rising(double e) {
  return 1.0 + 0.05 * e;
}
double CatchOfYear(int i) {
  return 100.0 + i;
}

// The state with the nine variants of the results panel: kinds in blocks of three.
AssessmentState StateWithFits() {
  AssessmentState state;
  for (int kind = 0; kind < 3; ++kind) {
    for (int slot = 0; slot < 3; ++slot) {
      model::ModelFit fit;
      fit.Kind = static_cast<model::ProductionModelKind>(kind);
      fit.Exponent = 2.0;
      state.ModelFits.push_back(fit);
    }
  }
  return state;
}

// ------------------------------------------------------------ correctness

TEST(SuitabilityCheck, FallingCpueGivesThreeNegativeCoefficientsAndNoMessage) {
  AssessmentState state = StateWithFits();
  const DataTable table = Table(10, Falling, CatchOfYear);
  const SuitabilityResult r = SuitabilityCheck(table, 0, '.', state);

  EXPECT_EQ(r.years, 10);
  EXPECT_EQ(r.correlationSchaefer, -1.0);  // U is exactly linear in E
  EXPECT_EQ(r.correlationSchaeferText, "-1");
  EXPECT_LT(r.correlationFox, -0.9);
  EXPECT_GT(r.correlationFox, -1.0);
  EXPECT_EQ(r.correlationFoxText, FormatGeneral(r.correlationFox));
  // m = 1 reaches −1, so the exponent is 1 or a smaller m that also rounds to −1.
  EXPECT_EQ(r.correlationPT, -1.0);
  EXPECT_LE(r.ptExponent, 1.0);
  EXPECT_GE(r.ptExponent, 0.1);
  EXPECT_EQ(r.ptExponentHint, FormatGeneral(r.ptExponent));
  EXPECT_FALSE(r.positiveCorrelation);

  // State: the series of all ten years, the exponent, the PT records only.
  EXPECT_EQ(state.AnalysisSeries.size(), 10u);
  EXPECT_EQ(state.AnalysisSeries.U[9], 7.0);
  EXPECT_EQ(state.AnalysisSeries.FirstYear, 0);
  EXPECT_EQ(state.PTExponent, r.ptExponent);
  for (const model::ModelFit& fit : state.ModelFits) {
    if (fit.Kind == model::ProductionModelKind::PellaTomlinson) {
      EXPECT_EQ(fit.Exponent, r.ptExponent);
    } else {
      EXPECT_EQ(fit.Exponent, 2.0);
    }
  }
}

TEST(SuitabilityCheck, ChartPointsOfScatterAndCurves) {
  AssessmentState state;
  const SuitabilityResult r = SuitabilityCheck(Table(10, Falling, CatchOfYear), 0, '.', state);
  ASSERT_EQ(r.scatter.size(), 10u);
  EXPECT_EQ(r.scatter[0], (Point{10.0, 11.5}));
  EXPECT_EQ(r.scatter[9], (Point{100.0, 7.0}));

  // Schaefer: the fitted line U = −0.05·E + 12 at Emax, then at Emin.
  ASSERT_EQ(r.schaeferCurve.size(), 2u);
  EXPECT_EQ(r.schaeferCurve[0].x, 100.0);
  EXPECT_NEAR(r.schaeferCurve[0].y, 7.0, 1e-12);
  EXPECT_EQ(r.schaeferCurve[1].x, 10.0);
  EXPECT_NEAR(r.schaeferCurve[1].y, 11.5, 1e-12);

  // Fox: from Emin = 10 in steps of 0.1 (repeated addition) while x < 100.
  double x = 10.0;
  std::size_t count = 0;
  while (x < 100.0) {
    ++count;
    x = x + 0.1;
  }
  ASSERT_EQ(r.foxCurve.size(), count);
  EXPECT_EQ(r.foxCurve.front().x, 10.0);
  EXPECT_LT(r.foxCurve.back().x, 100.0);
  EXPECT_NEAR(r.foxCurve.front().y, 11.5, 0.3);  // exp of the fitted ln U line near the data
  for (std::size_t k = 1; k < r.foxCurve.size(); ++k) {
    EXPECT_GT(r.foxCurve[k].x, r.foxCurve[k - 1].x);
    EXPECT_LT(r.foxCurve[k].y, r.foxCurve[k - 1].y);
  }

  // Pella-Tomlinson: steps of 0.2, falling like the data.
  ASSERT_GT(r.ptCurve.size(), 400u);
  EXPECT_LE(r.ptCurve.size(), 451u);
  EXPECT_EQ(r.ptCurve.front().x, 10.0);
  EXPECT_NEAR(r.ptCurve.front().y, 11.5, 0.05);
  EXPECT_NEAR(r.ptCurve.back().y, 7.0, 0.05);
}

TEST(SuitabilityCheck, KStartValueAndBoundsFromTheLargestCatchInTheLocaleFormat) {
  AssessmentState state;
  const DataTable table = Table(
      10, Falling, [](int i) { return i == 4 ? 1234.5 : 100.0; }, ',');
  const SuitabilityResult r = SuitabilityCheck(table, 0, ',', state);
  EXPECT_EQ(r.initialKText, "1234,5");
  EXPECT_EQ(r.minKText, "1234,5");
  EXPECT_EQ(r.maxKText, "123450");
  EXPECT_EQ(r.initialK, 1234.5);
  EXPECT_EQ(r.minK, 1234.5);
  EXPECT_EQ(r.maxK, 123450.0);
}

TEST(SuitabilityCheck, KBoundsGoThroughTheFifteenDigitText) {
  AssessmentState state;
  // A catch of 17 significant digits: the edits show 15, and the search
  // takes the number read back from the edit, not the catch itself.
  const double c = 1234.5678901234567;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", c);
  const DataTable precise = DataTable::FromRows(
      {{"2001", "3", "1", "1"}, {"2002", "2", "2", buffer}, {"2003", "1", "3", "1"}});
  const SuitabilityResult r = SuitabilityCheck(precise, 0, '.', state);
  EXPECT_EQ(r.initialKText, "1234.56789012346");
  EXPECT_EQ(r.initialK, 1234.56789012346);
  EXPECT_NE(r.initialK, c);
  EXPECT_EQ(r.maxKText, "123456.789012346");
}

TEST(SuitabilityCheck, RisingCpueGivesPositiveCoefficients) {
  AssessmentState state;
  const SuitabilityResult r = SuitabilityCheck(Table(10, Rising, CatchOfYear), 0, '.', state);
  EXPECT_EQ(r.correlationSchaefer, 1.0);
  EXPECT_GT(r.correlationFox, 0.9);
  EXPECT_GT(r.correlationPT, 0.9);
  EXPECT_TRUE(r.positiveCorrelation);
}

TEST(SuitabilityCheck, HeldOutYearsAreLeftOutOfSeriesAndKBounds) {
  AssessmentState state;
  // 20 years; the largest catch (5000) lies in year 19, which is held out, and
  // year 20 has U = 0, which the check then never reads.
  DataTable table = Table(20, Falling, [](int i) { return i == 18 ? 5000.0 : 100.0 + i; });
  table.SetCell(1, 20, "0");
  const SuitabilityResult r = SuitabilityCheck(table, 3, '.', state);
  EXPECT_EQ(r.years, 17);
  EXPECT_EQ(state.AnalysisSeries.size(), 17u);
  EXPECT_EQ(r.initialKText, "116");  // the largest of 100 … 116
  EXPECT_EQ(r.maxKText, "11600");
  EXPECT_EQ(r.scatter.size(), 17u);
  EXPECT_EQ(r.scatter.back().x, 170.0);

  // Without holding out, the zero U of year 20 is read and refused.
  EXPECT_THROW(SuitabilityCheck(table, 0, '.', state), Error);
  EXPECT_EQ(state.AnalysisSeries.size(), 17u);
}

TEST(SuitabilityCheck, ExponentTiesGoToTheSmallestExponent) {
  AssessmentState state = StateWithFits();
  // U takes two values only, so U^m is an affine image of U for every m and
  // all hundred coefficients are equal: −2 / sqrt(5) = −0.894427… → −0.8944.
  const DataTable table = DataTable::FromRows({{"2001", "2", "1", "2"},
                                               {"2002", "2", "2", "4"},
                                               {"2003", "1", "3", "3"},
                                               {"2004", "1", "4", "4"}});
  const SuitabilityResult r = SuitabilityCheck(table, 0, '.', state);
  EXPECT_EQ(r.correlationSchaefer, RoundDecimals(-2.0 / std::sqrt(5.0), 4));
  EXPECT_EQ(r.correlationPT, r.correlationSchaefer);
  EXPECT_EQ(r.ptExponent, 0.1);
  EXPECT_EQ(state.ModelFits[6].Exponent, 0.1);
}

TEST(SuitabilityCheck, AllCorrelationsZeroLeaveTheExponentAtZeroWithoutACurve) {
  AssessmentState state = StateWithFits();
  // E = 1, 2, 3 and U = 1, 2, 1: Sxy = −(1 − ū) + (1 − ū) = 0 for U, ln U and U^m.
  const DataTable table = DataTable::FromRows(
      {{"2001", "1", "1", "1"}, {"2002", "2", "2", "4"}, {"2003", "1", "3", "3"}});
  const SuitabilityResult r = SuitabilityCheck(table, 0, '.', state);
  EXPECT_EQ(r.correlationSchaefer, 0.0);
  EXPECT_EQ(r.correlationFox, 0.0);
  EXPECT_EQ(r.correlationPT, 0.0);
  EXPECT_EQ(r.correlationPTText, "0");
  EXPECT_EQ(r.ptExponent, 0.0);
  EXPECT_EQ(r.ptExponentHint, "0");
  EXPECT_TRUE(r.ptCurve.empty());
  EXPECT_FALSE(r.foxCurve.empty());
  EXPECT_FALSE(r.positiveCorrelation);
  EXPECT_EQ(state.PTExponent, 0.0);
  EXPECT_EQ(state.ModelFits[8].Exponent, 0.0);
}

TEST(SuitabilityCheck, ThePellaTomlinsonCurveEndsAtTheSmallestCpueWhereItsLineTurnsNegative) {
  AssessmentState state;
  // U = 9, 1, 3, 4 over E = 1 … 4: the strongest coefficient is at m = 9.5, and
  // the fitted line of U^9.5 (dominated by 9^9.5) falls below zero before
  // E = 4, where (a·E + b)^(1/9.5) has no real value.
  const DataTable table = DataTable::FromRows({{"2001", "9", "1", "1"},
                                               {"2002", "1", "2", "1"},
                                               {"2003", "3", "3", "1"},
                                               {"2004", "4", "4", "1"}});
  const SuitabilityResult r = SuitabilityCheck(table, 0, '.', state);
  EXPECT_EQ(r.ptExponent, 9.5);
  ASSERT_GE(r.ptCurve.size(), 2u);
  EXPECT_LT(r.ptCurve.back().x, 3.5);
  EXPECT_EQ(r.ptCurve.back().y, 1.0);  // the smallest U of the scatter
  for (std::size_t k = 0; k + 1 < r.ptCurve.size(); ++k) EXPECT_GT(r.ptCurve[k].y, 0.0);
}

TEST(SuitabilityCheck, WideEffortRangesKeepTheCurvesToABoundedNumberOfPoints) {
  AssessmentState state;
  // Effort in hours: 1e5 … 1e6; one point per 0.1 would be nine million points.
  const DataTable table = DataTable::FromRows({{"2001", "5", "100000", "1"},
                                               {"2002", "4", "400000", "1"},
                                               {"2003", "3", "700000", "1"},
                                               {"2004", "2", "1000000", "1"}});
  const SuitabilityResult r = SuitabilityCheck(table, 0, '.', state);
  EXPECT_LE(r.foxCurve.size(), 20001u);
  EXPECT_GE(r.foxCurve.size(), 19999u);
  EXPECT_LE(r.ptCurve.size(), 20001u);
  EXPECT_LT(r.foxCurve.back().x, 1000000.0);
  EXPECT_GT(r.foxCurve.back().x, 999000.0);
}

// --------------------------------------------------------- error handling

TEST(SuitabilityCheck, RefusesBadInputAndLeavesTheStateUnchanged) {
  AssessmentState state = StateWithFits();
  state.AnalysisSeries.U = {42.0};
  state.PTExponent = 7.0;
  const auto expectUnchanged = [&] {
    EXPECT_EQ(state.AnalysisSeries.U, std::vector<double>{42.0});
    EXPECT_EQ(state.PTExponent, 7.0);
    EXPECT_EQ(state.ModelFits[6].Exponent, 2.0);
  };
  const DataTable good = Table(5, Falling, CatchOfYear);

  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(Table(2, Falling, CatchOfYear), 0, '.', state); }),
            "Для проверки пригодности данных нужно не менее 3 лет; в расчёт входит 2");
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(good, 3, '.', state); }),
            "Для проверки пригодности данных нужно не менее 3 лет; в расчёт входит 2 (лет в "
            "таблице: 5, отсекаемых лет: 3): уменьшите «Количество отсекаемых лет» или снимите "
            "«Выбор модели»");
  // More held-out years than rows: none counts, and both numbers are told.
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(Table(1, Falling, CatchOfYear), 8, '.', state); }),
            "Для проверки пригодности данных нужно не менее 3 лет; в расчёт входит 0 (лет в "
            "таблице: 1, отсекаемых лет: 8): уменьшите «Количество отсекаемых лет» или снимите "
            "«Выбор модели»");
  EXPECT_THROW(SuitabilityCheck(good, 6, '.', state), Error);
  EXPECT_THROW(SuitabilityCheck(good, -1, '.', state), Error);

  DataTable t = good;
  t.SetCell(1, 3, "0");
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(t, 0, '.', state); }),
            "1993 год (строка 3): улов на усилие U = 0 должен быть больше нуля");
  t = good;
  t.SetCell(2, 4, "-10");
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(t, 0, '.', state); }),
            "1994 год (строка 4): усилие E = -10 должно быть больше нуля");
  t = good;
  t.SetCell(3, 2, "-1");
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(t, 0, '.', state); }),
            "1992 год (строка 2): улов C = -1 не может быть отрицательным");
  t = good;
  t.SetCell(2, 5, "50x");
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(t, 0, '.', state); }),
            "Строка 5, столбец \"E (Усилие)\": значение \"50x\" не является числом");
  EXPECT_THROW(SuitabilityCheck(good, 0, ',', state), Error);  // "11.5" in a comma locale
  expectUnchanged();
}

TEST(SuitabilityCheck, ACpueTooLargeForAnyStockIsRefusedBeforeTheExponentScan) {
  AssessmentState state;
  // (3e40)^m would overflow a double in the exponent scan from m = 7.7 on;
  // no CPUE, effort or catch beyond 1e15 is taken, so (1e15)^10 is the most
  // the scan meets.
  const DataTable table = DataTable::FromRows(
      {{"2001", "3e40", "1", "1"}, {"2002", "2e40", "2", "1"}, {"2003", "1e40", "3", "1"}});
  const std::string message = ErrorOf([&] { SuitabilityCheck(table, 0, '.', state); });
  EXPECT_EQ(message,
            "Строка 1, столбец \"U = С/Е\": значение \"3e40\" по модулю больше 10¹⁵, такого "
            "значения не бывает");
  EXPECT_TRUE(state.AnalysisSeries.empty());
}

TEST(SuitabilityCheck, EqualEffortEverywhereIsReportedNotDividedBy) {
  AssessmentState state;
  const DataTable sameEffort = DataTable::FromRows(
      {{"2001", "3", "5", "15"}, {"2002", "2", "5", "10"}, {"2003", "1", "5", "5"}});
  EXPECT_EQ(ErrorOf([&] { SuitabilityCheck(sameEffort, 0, '.', state); }),
            "Усилие одинаково во все годы: зависимость улова на усилие от усилия оценить нельзя "
            "(деление на ноль в линейной регрессии)");
  const DataTable sameCpue = DataTable::FromRows(
      {{"2001", "2", "1", "2"}, {"2002", "2", "2", "4"}, {"2003", "2", "3", "6"}});
  EXPECT_NE(ErrorOf([&] { SuitabilityCheck(sameCpue, 0, '.', state); }).find("одинаков"),
            std::string::npos);
  const DataTable noCatch = DataTable::FromRows(
      {{"2001", "3", "1", "0"}, {"2002", "2", "2", "0"}, {"2003", "1", "3", "0"}});
  EXPECT_NE(ErrorOf([&] { SuitabilityCheck(noCatch, 0, '.', state); }).find("уловы"),
            std::string::npos);
  EXPECT_TRUE(state.AnalysisSeries.empty());
}

// ------------------------------------------------------- showing the page

TEST(ShowEstimationPage, HoldOutControlsFromFifteenDataRowsOn) {
  AssessmentState state;
  const EstimationPageShow small =
      ShowEstimationPage(Table(14, Falling, CatchOfYear), {}, '.', state);
  EXPECT_FALSE(small.enableHoldOut);
  const EstimationPageShow fifteen =
      ShowEstimationPage(Table(15, Falling, CatchOfYear), {}, '.', state);
  EXPECT_TRUE(fifteen.enableHoldOut);
  EXPECT_EQ(fifteen.holdOutMaximum, 7);
  EXPECT_EQ(fifteen.holdOutDefault, 3);
  const EstimationPageShow twenty =
      ShowEstimationPage(Table(20, Falling, CatchOfYear), {}, '.', state);
  EXPECT_EQ(twenty.holdOutMaximum, 10);
  EXPECT_TRUE(twenty.error.empty()) << twenty.error;
}

TEST(ShowEstimationPage, FirstShowRunsTheCheckLaterShowsOnlyRepeatTheMessage) {
  AssessmentState state;
  EstimationPageInputs inputs;
  inputs.initialRText = "0,5";
  inputs.trimPosition = 3;
  const DataTable table = Table(10, Rising, CatchOfYear, ',');
  const EstimationPageShow first = ShowEstimationPage(table, inputs, ',', state);
  EXPECT_TRUE(first.error.empty()) << first.error;
  EXPECT_EQ(first.tuningRHint, "0,5");
  EXPECT_EQ(first.trimHint, "30");
  EXPECT_EQ(first.correlationChartHint, kCorrelationChartHint);
  ASSERT_EQ(first.cpueFact.size(), 10u);
  EXPECT_EQ(first.cpueFact[0], (Point{1991, 1.5}));
  EXPECT_TRUE(first.runCheck);
  ASSERT_TRUE(first.check.has_value());
  EXPECT_EQ(first.check->correlationSchaeferText, "1");
  EXPECT_TRUE(first.showPositiveCorrelationMessage);
  EXPECT_EQ(state.AnalysisSeries.size(), 10u);

  // Second showing: the check ran on this data set, so no check; the
  // message again.
  EXPECT_TRUE(state.SuitabilityChecked);
  state.AnalysisSeries = {};
  const EstimationPageShow second = ShowEstimationPage(table, inputs, ',', state);
  EXPECT_FALSE(second.runCheck);
  EXPECT_FALSE(second.check.has_value());
  EXPECT_TRUE(second.showPositiveCorrelationMessage);
  EXPECT_TRUE(state.AnalysisSeries.empty());
}

TEST(ShowEstimationPage, FallingCpueRaisesNoMessage) {
  AssessmentState state;
  const EstimationPageShow d = ShowEstimationPage(Table(10, Falling, CatchOfYear), {}, '.', state);
  ASSERT_TRUE(d.check.has_value());
  EXPECT_FALSE(d.showPositiveCorrelationMessage);
}

TEST(ShowEstimationPage, TheCheckHoldsOutTheSpinValueWhenTheBoxIsTicked) {
  AssessmentState state;
  EstimationPageInputs inputs;
  inputs.holdOutChecked = true;
  inputs.holdOutYears = 5;  // reset to 3 on a table of 15 rows or more
  const EstimationPageShow d =
      ShowEstimationPage(Table(20, Falling, CatchOfYear), inputs, '.', state);
  EXPECT_EQ(d.heldOutYears, 3);
  EXPECT_EQ(state.AnalysisSeries.size(), 17u);

  inputs.holdOutYears = 2;  // a smaller table keeps the spin's value
  ClearSuitability(state);  // another data set
  const EstimationPageShow small =
      ShowEstimationPage(Table(10, Falling, CatchOfYear), inputs, '.', state);
  EXPECT_EQ(small.heldOutYears, 2);
  EXPECT_EQ(state.AnalysisSeries.size(), 8u);
}

TEST(ShowEstimationPage, FailuresGoToTheErrorTextAndTheLabelsStayUntouched) {
  AssessmentState state;
  DataTable table = Table(16, Falling, CatchOfYear);
  table.SetCell(1, 4, "-2");
  const EstimationPageShow d = ShowEstimationPage(table, {}, '.', state);
  EXPECT_EQ(d.error, "1994 год (строка 4): улов на усилие U = -2 должен быть больше нуля");
  EXPECT_TRUE(d.enableHoldOut);  // settled before the check
  EXPECT_TRUE(d.cpueFact.empty());
  EXPECT_FALSE(d.check.has_value());
  EXPECT_FALSE(d.showPositiveCorrelationMessage);
  EXPECT_EQ(d.correlationChartHint, kCorrelationChartHint);

  // A table without data rows: no check and no message (the labels say "X").
  DataTable empty;
  empty.SetRowCount(1);
  const EstimationPageShow none = ShowEstimationPage(empty, {}, '.', state);
  EXPECT_TRUE(none.error.empty());
  EXPECT_FALSE(none.runCheck);
  EXPECT_FALSE(none.showPositiveCorrelationMessage);
}

TEST(SuitabilityCheck, YearsTypedOutOfSequenceAreRefusedAndChangeNothing) {
  // Typing into the grid does not rebuild the series; the check that builds
  // the analysis series is where such a table is met.
  for (const auto& [row, year, expected] :
       {std::tuple{4, "1993", "Строка 4: год 1993 не следует за годом 1993 строки 3"},
        std::tuple{4, "1995", "Строка 4: год 1995 не следует за годом 1993 строки 3"},
        // A held-out year counts as well: the hold-out check reads its row.
        std::tuple{10, "2001", "Строка 10: год 2001 не следует за годом 1999 строки 9"}}) {
    AssessmentState state = StateWithFits();
    DataTable table = Table(10, Falling, CatchOfYear);
    table.SetCell(DataTable::kYear, row, year);
    const std::string message = ErrorOf([&] { SuitabilityCheck(table, 2, '.', state); });
    EXPECT_EQ(message.substr(0, std::string(expected).size()), expected) << message;
    EXPECT_TRUE(state.AnalysisSeries.empty());
    EXPECT_EQ(state.PTExponent, 0.0);
  }
}

}  // namespace
}  // namespace tarvik::data
