#include "data/data_table.h"

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"
#include "support/error_of.h"

namespace tarvik::data {
namespace {

using testing_support::ErrorOf;

DataTable ThreeYears() {
  return DataTable::FromRows({{"1995", "2,5", "10", "25"},
                              {"1996", " 2,0 ", "12,5", "25"},
                              {"1997", "1,5", "15", "22,5"}});
}

// ---------------------------------------------------------------- the table

TEST(DataTable, StartsWithTheHeaderAndOneEmptyRow) {
  const DataTable table;
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.DataRowCount(), 1);
  EXPECT_EQ(table.Cell(0, 0), "Год");
  EXPECT_EQ(table.Cell(1, 0), "U = С/Е");
  EXPECT_EQ(table.Cell(2, 0), "E (Усилие)");
  EXPECT_EQ(table.Cell(3, 0), "C (Улов)");
  for (int column = 0; column < 4; ++column) EXPECT_EQ(table.Cell(column, 1), "");
}

TEST(DataTable, HeaderMixesCyrillicAndLatinLettersAsTheGridShowsThem) {
  // С (U+0421) and Е (U+0415) in UTF-8 are D0 A1 and D0 95.
  EXPECT_EQ(TableHeader()[1], "U = \xD0\xA1/\xD0\x95");
  EXPECT_EQ(TableHeader()[2].substr(0, 2), "E ");  // Latin E
  EXPECT_EQ(TableHeader()[3].substr(0, 2), "C ");  // Latin C
}

TEST(DataTable, RowCountIsLimitedTo255DataRows) {
  DataTable table = ThreeYears();
  table.SetRowCount(256);
  EXPECT_EQ(table.DataRowCount(), 255);
  EXPECT_EQ(table.Cell(0, 255), "");
  EXPECT_EQ(table.Cell(0, 1), "1995");

  DataTable small = ThreeYears();
  EXPECT_THROW(small.SetRowCount(257), Error);
  EXPECT_THROW(small.SetRowCount(0), Error);
  EXPECT_EQ(small, ThreeYears());

  small.SetRowCount(2);  // shrinking drops rows 2 and 3
  EXPECT_EQ(small.DataRowCount(), 1);
  small.SetRowCount(4);
  EXPECT_EQ(small.Cell(0, 3), "");
  EXPECT_EQ(small.Cell(0, 0), "Год");
}

TEST(DataTable, CellsOutsideTheTableRaise) {
  DataTable table;
  EXPECT_THROW(table.Cell(4, 1), Error);
  EXPECT_THROW(table.Cell(0, 2), Error);
  EXPECT_THROW(table.SetCell(-1, 1, "x"), Error);
  EXPECT_THROW(DataTable::FromRows(std::vector<std::array<std::string, 4>>(256)), Error);
}

// A cell is judged as the series and the plots read it: the message is the
// one they raise.
TEST(CellProblem, ReadsCellsAsTheSeriesDoesAndGivesItsMessage) {
  DataTable table = ThreeYears();
  EXPECT_EQ(CellProblem(table, 1, 2, ','), "");  // " 2,0 " reads in a comma locale
  EXPECT_EQ(CellProblem(table, 1, 2, '.'),
            "Строка 2, столбец \"U = С/Е\": значение \" 2,0 \" не является числом");
  EXPECT_EQ(CellProblem(table, 0, 1, ','), "");
  table.SetCell(0, 3, "1997.5");
  EXPECT_EQ(CellProblem(table, 0, 3, '.'),
            "Строка 3, столбец \"Год\": значение \"1997.5\" не является целым числом");
  table.SetCell(3, 3, "");
  EXPECT_EQ(CellProblem(table, 3, 3, ','),
            "Строка 3, столбец \"C (Улов)\": значение \"\" не является числом");
  EXPECT_EQ(CellProblem(table, 2, 0, ','), "");  // the header row
  EXPECT_THROW(CellProblem(table, 4, 1, ','), Error);
}

// ---------------------------------------------------------- loaded series

TEST(RebuildLoadedSeries, ReadsNumbersWithTheLocaleMarkAndTheFirstYear) {
  const CatchEffortSeries s = RebuildLoadedSeries(ThreeYears(), ',');
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s.U, (std::vector<double>{2.5, 2.0, 1.5}));  // " 2,0 " — blanks allowed
  EXPECT_EQ(s.E, (std::vector<double>{10.0, 12.5, 15.0}));
  EXPECT_EQ(s.C, (std::vector<double>{25.0, 25.0, 22.5}));
  EXPECT_EQ(s.FirstYear, 1995);
}

TEST(RebuildLoadedSeries, NamesRowColumnAndTextOfACellThatDoesNotConvert) {
  DataTable table = DataTable::FromRows({{"1995", "1", "2", "3"},
                                         {"1996", "1", "2", "3"},
                                         {"1997", "1", "2", "3"},
                                         {"1998", "1", "2", "3"},
                                         {"1999", "1", "12,x", "3"}});
  EXPECT_EQ(ErrorOf([&] { RebuildLoadedSeries(table, ','); }),
            "Строка 5, столбец \"E (Усилие)\": значение \"12,x\" не является числом");
  // A point in a comma locale is not a number either.
  table.SetCell(2, 5, "12.5");
  EXPECT_EQ(ErrorOf([&] { RebuildLoadedSeries(table, ','); }),
            "Строка 5, столбец \"E (Усилие)\": значение \"12.5\" не является числом");
  EXPECT_NO_THROW(RebuildLoadedSeries(table, '.'));
}

TEST(RebuildLoadedSeries, FirstYearMustBeAnIntegerThatFitsSixteenBits) {
  DataTable table = ThreeYears();
  table.SetCell(0, 1, "1995.5");
  EXPECT_EQ(ErrorOf([&] { RebuildLoadedSeries(table, ','); }),
            "Строка 1, столбец \"Год\": значение \"1995.5\" не является целым числом");
  table.SetCell(0, 1, "70000");
  EXPECT_NE(ErrorOf([&] { RebuildLoadedSeries(table, ','); }).find("вне допустимого диапазона"),
            std::string::npos);
}

TEST(RebuildLoadedSeries, ATableWithoutDataRowsGivesAnEmptySeries) {
  DataTable table;
  table.SetRowCount(1);
  const CatchEffortSeries s = RebuildLoadedSeries(table, '.');
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(s.FirstYear, 0);
}

// ------------------------------------------------------------------- paste

class Paste : public ::testing::Test {
 protected:
  DataTable table = ThreeYears();
  CatchEffortSeries series = RebuildLoadedSeries(ThreeYears(), ',');

  void ExpectUnchanged() {
    EXPECT_EQ(table, ThreeYears());
    EXPECT_EQ(series.U, RebuildLoadedSeries(ThreeYears(), ',').U);
    EXPECT_EQ(series.FirstYear, 1995);
  }
};

TEST_F(Paste, TwoLinesEndedByCrLfGiveTwoRowsOfFourCells) {
  PasteClipboardRows(table, "2001\t1,5\t4\t6\r\n2002\t1,25\t4\t5\r\n", ',', series);
  EXPECT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.Cell(0, 1), "2001");
  EXPECT_EQ(table.Cell(1, 2), "1,25");
  EXPECT_EQ(table.Cell(3, 2), "5");
  EXPECT_EQ(table.Cell(0, 0), "Год");  // the header is never written
  EXPECT_EQ(series.U, (std::vector<double>{1.5, 1.25}));
  EXPECT_EQ(series.FirstYear, 2001);
}

TEST_F(Paste, PointFieldsInACommaLocaleAreRefusedAndNothingChanges) {
  EXPECT_EQ(ErrorOf([&] {
              PasteClipboardRows(table, "2001\t1.5\t4\t6\r\n2002\t1.25\t4\t5\r\n", ',', series);
            }),
            "Строка 1, столбец \"U = С/Е\": значение \"1.5\" не является числом");
  ExpectUnchanged();
}

TEST_F(Paste, BareLfAndBareCrAlsoEndALine) {
  PasteClipboardRows(table, "2001\t1\t2\t3\n2002\t1\t2\t3\n", ',', series);
  EXPECT_EQ(table.DataRowCount(), 2);
  PasteClipboardRows(table, "2001\t1\t2\t3\r2002\t1\t2\t3\r2003\t1\t2\t3", ',', series);
  EXPECT_EQ(table.DataRowCount(), 3);
  // Mixed line ends, as text assembled from several sources may have.
  PasteClipboardRows(table, "2001\t1\t2\t3\r\n2002\t1\t2\t3\n2003\t1\t2\t3\r2004\t4\t2\t3", ',',
                     series);
  EXPECT_EQ(table.DataRowCount(), 4);
  EXPECT_EQ(table.Cell(3, 3), "3");
  EXPECT_EQ(series.U.back(), 4.0);
}

TEST_F(Paste, ALastLineWithoutLineEndIsKept) {
  PasteClipboardRows(table, "2001\t1\t2\t3\r\n2002\t7\t8\t9", ',', series);
  EXPECT_EQ(table.DataRowCount(), 2);
  EXPECT_EQ(table.Cell(3, 2), "9");
  EXPECT_EQ(series.C, (std::vector<double>{3.0, 9.0}));
}

TEST_F(Paste, ALineOfTwoFieldsIsRefusedNamingTheLine) {
  EXPECT_EQ(
      ErrorOf([&] { PasteClipboardRows(table, "2001\t1\t2\t3\r\n2002\t7\r\n", ',', series); }),
      "Строка 2: полей 2, нужно 4 (год, U, E, C) через табуляцию; таблица не изменена");
  ExpectUnchanged();
}

TEST_F(Paste, FieldsAfterTheFourthAreIgnored) {
  PasteClipboardRows(table, "2001\t1\t2\t3\t4\t5\r\n", ',', series);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(3, 1), "3");
}

TEST_F(Paste, KLinesGiveKPlusOneRowsAndFieldsAreTakenAsTheyAre) {
  std::string text;
  for (int k = 0; k < 7; ++k) text += std::to_string(2000 + k) + "\t 1,5\t2\t3 \r\n";
  PasteClipboardRows(table, text, ',', series);
  EXPECT_EQ(table.RowCount(), 8);
  EXPECT_EQ(table.Cell(1, 7), " 1,5");  // not trimmed
  EXPECT_EQ(table.Cell(3, 7), "3 ");
  EXPECT_EQ(series.size(), 7u);
}

TEST_F(Paste, EmptyLinesAtTheEndAreIgnoredAnEmptyLineInTheMiddleIsRefused) {
  PasteClipboardRows(table, "2001\t1\t2\t3\r\n\r\n\r\n", ',', series);
  EXPECT_EQ(table.DataRowCount(), 1);

  table = ThreeYears();
  series = RebuildLoadedSeries(table, ',');
  EXPECT_EQ(ErrorOf([&] {
              PasteClipboardRows(table, "2001\t1\t2\t3\r\n\r\n2003\t1\t2\t3", ',', series);
            }),
            "Строка 2: полей 1, нужно 4 (год, U, E, C) через табуляцию; таблица не изменена");
  ExpectUnchanged();
}

TEST_F(Paste, AnEmptyClipboardLeavesTheTableAlone) {
  EXPECT_THROW(PasteClipboardRows(table, "", ',', series), Error);
  EXPECT_THROW(PasteClipboardRows(table, "\r\n", ',', series), Error);
  ExpectUnchanged();
}

TEST_F(Paste, MoreThan255LinesAreRefused) {
  std::string text;
  for (int k = 0; k < 255; ++k) text += std::to_string(1700 + k) + "\t1\t2\t3\r\n";
  PasteClipboardRows(table, text, ',', series);
  EXPECT_EQ(table.DataRowCount(), 255);

  table = ThreeYears();
  series = RebuildLoadedSeries(table, ',');
  text += "1955\t1\t2\t3";
  EXPECT_EQ(ErrorOf([&] { PasteClipboardRows(table, text, ',', series); }),
            "Слишком много строк данных: 256; таблица вмещает не более 255 лет; таблица не "
            "изменена");
  ExpectUnchanged();
}

TEST_F(Paste, AHeaderLineCopiedAlongIsRefused) {
  EXPECT_THROW(PasteClipboardRows(table, "Год\tU\tE\tC\r\n2001\t1\t2\t3\r\n", ',', series), Error);
  ExpectUnchanged();
}

// ----------------------------------------------------------- catch unit

TEST(ShowCatchUnit, LabelsForEachKindOfExponent) {
  const CatchUnitLabels tonnes = ShowCatchUnit(0);
  EXPECT_EQ(tonnes.unitText, "Улов: т");
  EXPECT_EQ(tonnes.exponentText, "0");
  EXPECT_FALSE(tonnes.exponentVisible);

  const CatchUnitLabels tens = ShowCatchUnit(1);
  EXPECT_EQ(tens.unitText, "Улов * 10 т");
  EXPECT_FALSE(tens.exponentVisible);

  const CatchUnitLabels thousands = ShowCatchUnit(3);
  EXPECT_EQ(thousands.unitText, "Улов * 10   т");  // three blanks leave room for the exponent
  EXPECT_EQ(thousands.exponentText, "3");
  EXPECT_TRUE(thousands.exponentVisible);

  const CatchUnitLabels grams = ShowCatchUnit(-3);
  EXPECT_EQ(grams.unitText, "Улов * 10   т");
  EXPECT_EQ(grams.exponentText, "-3");
  EXPECT_TRUE(grams.exponentVisible);

  EXPECT_THROW(ShowCatchUnit(6), Error);
  EXPECT_THROW(ShowCatchUnit(-7), Error);
}

TEST(SplitLines, EveryKindOfLineEnd) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(SplitLines(""), V{});
  EXPECT_EQ(SplitLines("a"), V{"a"});
  EXPECT_EQ(SplitLines("a\r\n"), V{"a"});
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\r\r\n"), (V{"a", "", "b", ""}));
}

// --------------------------------------------------------- hostile pastes

TEST_F(Paste, ADuplicateOrASkippedYearIsRefusedNamingTheRowAndBothYears) {
  EXPECT_EQ(ErrorOf([&] {
              PasteClipboardRows(table, "2001\t1\t2\t3\r\n2002\t1\t2\t3\r\n2002\t1\t2\t3\r\n", ',',
                                 series);
            }),
            "Строка 3: год 2002 не следует за годом 2002 строки 2 (ожидался 2003): годы должны "
            "идти подряд, без пропусков и повторов");
  ExpectUnchanged();
  EXPECT_EQ(ErrorOf([&] {
              PasteClipboardRows(table, "2001\t1\t2\t3\r\n2003\t1\t2\t3\r\n", ',', series);
            }),
            "Строка 2: год 2003 не следует за годом 2001 строки 1 (ожидался 2002): годы должны "
            "идти подряд, без пропусков и повторов");
  ExpectUnchanged();
}

TEST_F(Paste, AMegabyteCellOrANulByteGivesAWholeShortMessage) {
  const std::string cell(1 << 20, '5');
  const std::string message =
      ErrorOf([&] { PasteClipboardRows(table, "2001\t" + cell + "x\t2\t3\r\n", ',', series); });
  EXPECT_LT(message.size(), 300u) << message.substr(0, 300);
  EXPECT_NE(message.find(std::string(40, '5') + "…\" не является числом"), std::string::npos)
      << message;
  ExpectUnchanged();

  const std::string nul = ErrorOf([&] {
    PasteClipboardRows(table,
                       std::string("2001\t1\0"
                                   "5\t2\t3\r\n",
                                   13),
                       ',', series);
  });
  EXPECT_NE(nul.find("значение \"1\\x005\" не является числом"), std::string::npos) << nul;
  ExpectUnchanged();
}

TEST(CheckYearSequence, ConsecutiveYearsPassOthersNameTheRow) {
  EXPECT_NO_THROW(CheckYearSequence(ThreeYears()));
  EXPECT_THROW(CheckYearSequence(DataTable()), Error);  // the empty row of a new grid is no year
  DataTable table = ThreeYears();
  table.SetCell(0, 3, "1995");
  EXPECT_EQ(ErrorOf([&] { CheckYearSequence(table); }),
            "Строка 3: год 1995 не следует за годом 1996 строки 2 (ожидался 1997): годы должны "
            "идти подряд, без пропусков и повторов");
  EXPECT_THROW(RebuildLoadedSeries(table, ','), Error);
}

}  // namespace
}  // namespace tarvik::data
