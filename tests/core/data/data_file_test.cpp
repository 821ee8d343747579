#include "data/data_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/platform.h"
#include "data/data_table.h"
#include "support/error_of.h"
#include "support/posix_only.h"
#include "support/scratch_path.h"

namespace tarvik::data {
namespace {

namespace fs = std::filesystem;

using testing_support::ErrorOf;

DataDescription Description() {
  DataDescription d;
  d.species = "Минтай";
  d.stock = "Северо-охотоморский";
  d.season = "Январь — апрель";
  d.area = "Охотское море, 61.05.4";
  d.scientific = true;
  d.source = "Траловые съёмки; «промысловая статистика»";
  d.effortUnit = "Час траления";
  d.catchUnitExponent = 3;
  return d;
}

DataTable Table(int n) {
  std::vector<std::array<std::string, 4>> rows;
  for (int i = 0; i < n; ++i) {
    rows.push_back({std::to_string(1990 + i), std::to_string(10 - i) + ",25",
                    std::to_string(100 + 10 * i), std::to_string(1000 + i) + ",5"});
  }
  return DataTable::FromRows(rows);
}

// The 23 description lines in UTF-8, LF-separated, for hand-made files.
std::string HeaderLines(const std::string& line15 = "промысловые",
                        const std::string& line21 = "0") {
  return "-------------СПРАВКА-------------------\nВИД\nТреска\n\nЗАПАС\nБаренцево море\n\n"
         "СЕЗОН\nГод\n\nРАЙОН\nI\n\nДАННЫЕ\n" +
         line15 +
         "\n\nИСТОЧНИК\nПИНРО\n---------------РАЗМЕРНОСТЬ---------------\n"
         "Судосутки промысла\n" +
         line21 + "\n----------------------------------------\nГОД\tУЛОВ НА УСИЛИЕ\tУСИЛИЕ\tУЛОВ\n";
}

std::string Cp1251(const std::string& utf8) {
  return *Utf8ToCp1251(utf8);
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = tarvik::testing_support::ScratchPath(
        "tarvik_data_file_" +
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Paths as the program takes them: UTF-8 (on Windows not the ANSI code
  // page of path::string()).
  std::string Path(const std::string& name) const {
    return platform::Utf8FromPath(dir / platform::PathFromUtf8(name));
  }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(platform::PathFromUtf8(path), std::ios::binary);
    out << bytes;
  }

  fs::path dir;
};

// ------------------------------------------------------------ file format

TEST(FormatDataFile, TwentyThreePlusNLinesInWindows1251WithCrLf) {
  const int n = 6;
  const std::string bytes = FormatDataFile(Description(), Table(n));
  std::size_t crlf = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(bytes[i - 1], '\r') << "bare LF at byte " << i;
      ++crlf;
    }
  }
  EXPECT_EQ(crlf, 23u + n);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  // "СПРАВКА" in Windows-1251: D1 CF D0 C0 C2 CA C0, after 13 dashes.
  EXPECT_EQ(bytes.substr(0, 22),
            std::string(13, '-') + "\xD1\xCF\xD0\xC0\xC2\xCA\xC0" + std::string(2, '-'));
  // Line 23: "ГОД" C3 CE C4, "УСИЛИЕ" D3 D1 C8 CB C8 C5, "УЛОВ" D3 CB CE C2.
  EXPECT_NE(bytes.find("\r\n\xC3\xCE\xC4\t"), std::string::npos);
  EXPECT_NE(bytes.find("\t\xD3\xD1\xC8\xCB\xC8\xC5\t\xD3\xCB\xCE\xC2\r\n"), std::string::npos);
  // Line 15 "научные", line 21 the exponent, then the first data line as typed.
  EXPECT_NE(bytes.find("\r\n" + Cp1251("ДАННЫЕ") + "\r\n" + Cp1251("научные") + "\r\n"),
            std::string::npos);
  EXPECT_NE(bytes.find("\r\n3\r\n" + std::string(40, '-') + "\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\r\n1990\t10,25\t100\t1000,5\r\n"), std::string::npos);
}

TEST(FormatDataFile, WholeFileOfTwoRows) {
  const std::string expected =
      "-------------СПРАВКА-------------------\r\nВИД\r\nМинтай\r\n\r\nЗАПАС\r\n"
      "Северо-охотоморский\r\n\r\nСЕЗОН\r\nЯнварь — апрель\r\n\r\nРАЙОН\r\n"
      "Охотское море, 61.05.4\r\n\r\nДАННЫЕ\r\nнаучные\r\n\r\nИСТОЧНИК\r\n"
      "Траловые съёмки; «промысловая статистика»\r\n"
      "---------------РАЗМЕРНОСТЬ---------------\r\nЧас траления\r\n3\r\n"
      "----------------------------------------\r\nГОД\tУЛОВ НА УСИЛИЕ\tУСИЛИЕ\tУЛОВ\r\n"
      "1990\t10,25\t100\t1000,5\r\n1991\t9,25\t110\t1001,5\r\n";
  EXPECT_EQ(FormatDataFile(Description(), Table(2)), Cp1251(expected));
}

TEST(FormatDataFile, CommercialDataIsWrittenAsPromyslovye) {
  DataDescription d = Description();
  d.scientific = false;
  const std::string bytes = FormatDataFile(d, Table(1));
  EXPECT_NE(bytes.find("\r\n" + Cp1251("промысловые") + "\r\n"), std::string::npos);
}

TEST(FormatDataFile, RefusesTextsTheFileCannotHold) {
  DataDescription d = Description();
  d.source = "Съёмка Ω-2";  // Ω has no place in Windows-1251
  EXPECT_EQ(ErrorOf([&] { FormatDataFile(d, Table(2)); }),
            "Поле \"Источник\": символ \"Ω\" нельзя записать в кодировке Windows-1251; файл не "
            "сохранён");
  d = Description();
  d.area = "первая строка\nвторая";
  EXPECT_NE(ErrorOf([&] { FormatDataFile(d, Table(2)); }).find("Поле \"Район\""),
            std::string::npos);
  DataTable table = Table(2);
  table.SetCell(2, 2, "1\t2");
  EXPECT_NE(ErrorOf([&] {
              FormatDataFile(Description(), table);
            }).find("Строка 2, столбец \"E (Усилие)\""),
            std::string::npos);
  table = Table(1);
  table.SetRowCount(1);
  EXPECT_THROW(FormatDataFile(Description(), table), Error);
}

TEST(FormatDataFile, WritesOnlyATableThatReadsBackAndNamesTheCellThatWouldNot) {
  const struct {
    int column, row;
    const char* text;
    const char* message;
  } cases[] = {
      {1, 2, "--1", "Строка 2, столбец \"U = С/Е\": значение \"--1\" не является числом; файл не "
                    "сохранён: исправьте ячейку"},
      {3, 1, "", "Строка 1, столбец \"C (Улов)\": значение \"\" не является числом"},
      {3, 2, "99999999999999999999", "значение \"99999999999999999999\" по модулю больше 10¹⁵"},
      {0, 2, "20x1", "Строка 2, столбец \"Год\": значение \"20x1\" не является целым числом"},
      {0, 2, "1999", "Строка 2: год 1999 не следует за годом"},
  };
  for (const auto& c : cases) {
    DataTable table = Table(2);
    table.SetCell(c.column, c.row, c.text);
    const std::string message = ErrorOf([&] { FormatDataFile(Description(), table); });
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text << ": " << message;
  }
  // Either decimal mark is written: reading takes both.
  DataTable table = Table(2);
  table.SetCell(1, 1, "1,5");
  table.SetCell(2, 2, "2.5");
  EXPECT_NO_THROW(FormatDataFile(Description(), table));
}

// ---------------------------------------------------------------- reading

TEST(ParseDataFile, ReadsBackWhatWasWritten) {
  for (int n : {1, 5, 255}) {
    const DataTable table = Table(n);
    const DataFile file = ParseDataFile(FormatDataFile(Description(), table), ',');
    EXPECT_EQ(file.description, Description());
    EXPECT_EQ(file.table, table);
    EXPECT_EQ(file.series.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(file.series.FirstYear, 1990);
    EXPECT_EQ(file.series.U[0], 10.25);
  }
}

TEST(ParseDataFile, TwoTabsBetweenYearAndUCountAsOneSeparator) {
  const DataFile file = ParseDataFile(HeaderLines() + "1995\t\t2.5\t10\t25\n", '.');
  EXPECT_EQ(file.table.Cell(0, 1), "1995");
  EXPECT_EQ(file.table.Cell(1, 1), "2.5");
  EXPECT_EQ(file.table.Cell(2, 1), "10");
  EXPECT_EQ(file.table.Cell(3, 1), "25");
  // Blanks after a TAB and before the first field are also tolerated.
  const DataFile blanks = ParseDataFile(HeaderLines() + " 1995\t  2.5\t \t10\t25\t\n", '.');
  EXPECT_EQ(blanks.series.U[0], 2.5);
  EXPECT_EQ(blanks.series.C[0], 25.0);
  EXPECT_EQ(blanks.series.FirstYear, 1995);
}

TEST(ParseDataFile, DecimalMarksAreNormalisedToTheLocale) {
  const std::string text = HeaderLines() + "1995\t2,5\t10.5\t26,25\n";
  const DataFile point = ParseDataFile(text, '.');
  EXPECT_EQ(point.table.Cell(1, 1), "2.5");
  EXPECT_EQ(point.table.Cell(2, 1), "10.5");
  EXPECT_EQ(point.series.C[0], 26.25);
  const DataFile comma = ParseDataFile(text, ',');
  EXPECT_EQ(comma.table.Cell(1, 1), "2,5");
  EXPECT_EQ(comma.table.Cell(2, 1), "10,5");
  EXPECT_EQ(comma.series.E[0], 10.5);
  EXPECT_EQ(NormaliseDecimalMark("1.234,5 т", ','), "1,234,5 т");
  EXPECT_EQ(NormaliseDecimalMark("", ','), "");
}

TEST(ParseDataFile, OnlyLowerCaseNauchnyeMeansScientific) {
  EXPECT_TRUE(
      ParseDataFile(HeaderLines("научные") + "1995\t1\t2\t3\n", '.').description.scientific);
  EXPECT_FALSE(
      ParseDataFile(HeaderLines("Научные") + "1995\t1\t2\t3\n", '.').description.scientific);
  EXPECT_FALSE(
      ParseDataFile(HeaderLines("промысловые") + "1995\t1\t2\t3\n", '.').description.scientific);
}

TEST(ParseDataFile, CatchUnitExponentFromLine21) {
  const DataFile file = ParseDataFile(HeaderLines("научные", "3") + "1995\t1\t2\t3\n", '.');
  EXPECT_EQ(file.description.catchUnitExponent, 3);
  EXPECT_EQ(ShowCatchUnit(file.description.catchUnitExponent).unitText, "Улов * 10   т");
  EXPECT_EQ(ParseDataFile(HeaderLines("научные", "-2") + "1995\t1\t2\t3\n", '.')
                .description.catchUnitExponent,
            -2);
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(HeaderLines("научные", "3.5") + "1995\t1\t2\t3\n", '.'); }),
            "Файл данных, строка 21: показатель единицы улова \"3.5\" не является целым числом");
  EXPECT_NE(ErrorOf([&] {
              ParseDataFile(HeaderLines("научные", "9") + "1995\t1\t2\t3\n", '.');
            }).find("строка 21"),
            std::string::npos);
}

TEST(ParseDataFile, DescriptionLinesAreTakenWhole) {
  const DataFile file = ParseDataFile(Cp1251(HeaderLines()) + "1995\t1\t2\t3\r\n", '.');
  EXPECT_EQ(file.description.species, "Треска");
  EXPECT_EQ(file.description.stock, "Баренцево море");
  EXPECT_EQ(file.description.season, "Год");
  EXPECT_EQ(file.description.area, "I");
  EXPECT_EQ(file.description.source, "ПИНРО");
  EXPECT_EQ(file.description.effortUnit, "Судосутки промысла");
}

TEST(ParseDataFile, Utf8FilesFromModernEditorsAreRecognised) {
  const std::string utf8 = HeaderLines() + "1995\t1\t2\t3\n";
  const DataFile plain = ParseDataFile(utf8, '.');
  EXPECT_EQ(plain.description.species, "Треска");
  const DataFile bom = ParseDataFile("\xEF\xBB\xBF" + utf8, '.');
  EXPECT_EQ(bom.description.species, "Треска");
  EXPECT_EQ(bom.description, plain.description);
  const DataFile legacy = ParseDataFile(Cp1251(utf8), '.');
  EXPECT_EQ(legacy.description, plain.description);
}

TEST(ParseDataFile, EmptyLinesAtTheEndAreIgnoredInTheMiddleRefused) {
  const DataFile file =
      ParseDataFile(HeaderLines() + "1995\t1\t2\t3\n1996\t1\t2\t3\n\n\r\n  \n", '.');
  EXPECT_EQ(file.table.DataRowCount(), 2);
  EXPECT_EQ(
      ErrorOf([&] { ParseDataFile(HeaderLines() + "1995\t1\t2\t3\n\n1997\t1\t2\t3\n", '.'); }),
      "Файл данных, строка 25: пустая строка среди данных");
}

TEST(ParseDataFile, ShortLinesBadCellsAndShortFilesAreRefusedNamingTheLine) {
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(HeaderLines() + "1995\t1\t2\t3\n1996\t1\t2\n", '.'); }),
            "Файл данных, строка 25: полей 3, нужно 4 (год, U, E, C) через табуляцию");
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(HeaderLines() + "1995\t1\t2\t3\n1996\t1\t2x\t3\n", '.'); }),
            "Файл данных, строка 25, столбец \"E (Усилие)\": значение \"2x\" не является числом");
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(HeaderLines() + "1995\t1\t2\t\n", '.'); }),
            "Файл данных, строка 24, столбец \"C (Улов)\": значение \"\" не является числом");
  EXPECT_NE(ErrorOf([&] {
              ParseDataFile(HeaderLines() + "г1995\t1\t2\t3\n", '.');
            }).find("строка 24, столбец \"Год\""),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { ParseDataFile(HeaderLines(), '.'); }).find("строк в файле: 23"),
            std::string::npos);
  EXPECT_THROW(ParseDataFile("", '.'), Error);
}

TEST(ParseDataFile, MoreThan255DataLinesAreRefused) {
  std::string text = HeaderLines();
  for (int i = 0; i < 255; ++i) text += std::to_string(1700 + i) + "\t1\t2\t3\n";
  EXPECT_EQ(ParseDataFile(text, '.').table.DataRowCount(), 255);
  text += "1955\t1\t2\t3\n";
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(text, '.'); }),
            "Слишком много строк данных в файле: 256; таблица вмещает не более 255 лет");
}

TEST(ParseDataFile, FieldsBeyondTheFourthAreIgnored) {
  const DataFile file = ParseDataFile(HeaderLines() + "1995\t1\t2\t3\t4\tпримечание\n", '.');
  EXPECT_EQ(file.table.Cell(3, 1), "3");
}

// ------------------------------------------------------------ files on disk

TEST_F(TempDir, WriteThenReadRoundTrip) {
  const std::string path = Path("минтай.txt");
  const DataTable table = Table(12);
  WriteDataFile(path, Description(), table);
  const std::string bytes = Slurp(path);
  EXPECT_EQ(bytes, FormatDataFile(Description(), table));
  const DataFile file = ReadDataFile(path, ',');
  EXPECT_EQ(file.description, Description());
  EXPECT_EQ(file.table, table);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(TempDir, SavingReplacesTheOldFileWhole) {
  const std::string path = Path("data.txt");
  WriteDataFile(path, Description(), Table(40));
  WriteDataFile(path, Description(), Table(2));
  EXPECT_EQ(Slurp(path), FormatDataFile(Description(), Table(2)));
}

TEST_F(TempDir, AFailedSaveLeavesThePreviousFileUntouched) {
  const std::string path = Path("data.txt");
  WriteDataFile(path, Description(), Table(3));
  const std::string before = Slurp(path);

  DataDescription bad = Description();
  bad.species = "Oncorhynchus ☃";
  EXPECT_NE(ErrorOf([&] { WriteDataFile(path, bad, Table(5)); }).find("Поле \"Вид\""),
            std::string::npos);
  EXPECT_EQ(Slurp(path), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // A target that cannot be replaced (a directory in its place).
  const std::string blocked = Path("blocked.txt");
  fs::create_directories(fs::path(blocked) / "inside");
  EXPECT_THROW(WriteDataFile(blocked, Description(), Table(2)), Error);
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_FALSE(fs::exists(blocked + ".tarvik-tmp"));

  EXPECT_THROW(WriteDataFile(Path("no/such/dir/data.txt"), Description(), Table(2)), Error);
}

TEST_F(TempDir, ReadingAMissingFileRaisesNamingThePath) {
  const std::string path = Path("absent.txt");
  EXPECT_NE(ErrorOf([&] { ReadDataFile(path, '.'); }).find(path), std::string::npos);
  EXPECT_THROW(ReadDataFile(dir.string(), '.'), Error);
}

TEST_F(TempDir, SavingKeepsThePermissionsOfTheReplacedFile) {
  TARVIK_POSIX_ONLY("permission bits beyond read-only");
  const std::string path = Path("data.txt");
  WriteDataFile(path, Description(), Table(1));
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  WriteDataFile(path, Description(), Table(2));
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Slurp(path), FormatDataFile(Description(), Table(2)));
}

TEST_F(TempDir, ReadsLfOnlyUtf8Files) {
  const std::string path = Path("utf8.txt");
  Spit(path, "\xEF\xBB\xBF" + HeaderLines() + "2001\t1,5\t4\t6\n2002\t1,25\t4\t5");
  const DataFile file = ReadDataFile(path, '.');
  EXPECT_EQ(file.description.stock, "Баренцево море");
  EXPECT_EQ(file.table.DataRowCount(), 2);
  EXPECT_EQ(file.series.U, (std::vector<double>{1.5, 1.25}));
}

// ------------------------------------------------------------ hostile files

TEST(ParseDataFile, YearsMustFollowOneAnotherNamingTheLineAndBothYears) {
  const std::string good = HeaderLines() + "1934\t1\t2\t3\n1935\t1\t2\t3\n";
  EXPECT_EQ(ParseDataFile(good, '.').table.DataRowCount(), 2);
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(good + "1935\t1\t2\t3\n", '.'); }),
            "Файл данных, строка 26: год 1935 не следует за годом 1935 строки 25 (ожидался 1936): "
            "годы должны идти подряд, без пропусков и повторов");
  EXPECT_EQ(ErrorOf([&] { ParseDataFile(good + "1937\t1\t2\t3\n", '.'); }),
            "Файл данных, строка 26: год 1937 не следует за годом 1935 строки 25 (ожидался 1936): "
            "годы должны идти подряд, без пропусков и повторов");
  EXPECT_NE(ErrorOf([&] {
              ParseDataFile(good + "1933\t1\t2\t3\n", '.');
            }).find("год 1933 не следует за годом 1935"),
            std::string::npos);
  // A later year cell that is no year at all is refused too.
  EXPECT_NE(ErrorOf([&] {
              ParseDataFile(good + "x\t1\t2\t3\n", '.');
            }).find("строка 26, столбец \"Год\": значение \"x\" не является годом"),
            std::string::npos);
}

TEST(ParseDataFile, AUtf16FileIsNamedAsSuch) {
  // The same file saved as UTF-16 by an editor: every other byte is NUL.
  const std::string text = HeaderLines() + "1934\t1\t2\t3\n";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char ch : text) {
    le += ch, le += '\0';
    be += '\0', be += ch;
  }
  for (const std::string& bytes : {le, be}) {
    const std::string message = ErrorOf([&] { ParseDataFile(bytes, '.'); });
    EXPECT_EQ(message,
              "Файл данных записан в кодировке UTF-16; сохраните его в кодировке Windows-1251 (или "
              "UTF-8) и откройте снова");
  }
  // Without a byte-order mark the NUL bytes are named with their line.
  const std::string message = ErrorOf([&] {
    ParseDataFile(HeaderLines() + std::string("19\0"
                                              "34\t1\t2\t3\n",
                                              11),
                  '.');
  });
  EXPECT_NE(message.find("Файл данных, строка 24: нулевой байт"), std::string::npos) << message;
  EXPECT_NE(message.find("UTF-16"), std::string::npos) << message;
}

TEST(ParseDataFile, AMegabyteCellGivesAShortMessage) {
  const std::string cell(1 << 20, '7');
  for (const std::string& line : {"1934\t1\t" + cell + "x\t3\n", cell + "\t1\t2\t3\n"}) {
    const std::string message = ErrorOf([&] { ParseDataFile(HeaderLines() + line, '.'); });
    EXPECT_FALSE(message.empty());
    EXPECT_LT(message.size(), 300u) << message.substr(0, 300);
    EXPECT_NE(message.find(std::string(40, '7') + "…"), std::string::npos) << message;
  }
}

TEST_F(TempDir, OpeningADeviceOrAPipeIsRefusedAtOnce) {
  TARVIK_POSIX_ONLY("/dev/zero and mkfifo (common/files_test.cpp checks Windows' own)");
#ifndef _WIN32
  EXPECT_NE(ErrorOf([] { ReadDataFile("/dev/zero", '.'); }).find("это устройство"),
            std::string::npos);
  const std::string pipe = Path("pipe.txt");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // Were the pipe opened for reading, this would wait for a writer for ever.
  EXPECT_NE(ErrorOf([&] { ReadDataFile(pipe, '.'); }).find("это именованный канал"),
            std::string::npos);
#endif
}

TEST_F(TempDir, SavingThroughALinkKeepsTheLinkAndARefusedSaveKeepsTheFile) {
  TARVIK_POSIX_ONLY("symbolic links");
  const std::string target = Path("stock.txt");
  WriteDataFile(target, Description(), Table(3));
  fs::create_symlink(target, dir / "current.txt");
  WriteDataFile(Path("current.txt"), Description(), Table(4));
  EXPECT_TRUE(fs::is_symlink(dir / "current.txt"));
  EXPECT_EQ(Slurp(target), FormatDataFile(Description(), Table(4)));

  fs::permissions(target, fs::perms::owner_read);
  EXPECT_NE(
      ErrorOf([&] { WriteDataFile(target, Description(), Table(5)); }).find("защищён от записи"),
      std::string::npos);
  EXPECT_EQ(Slurp(target), FormatDataFile(Description(), Table(4)));
}

}  // namespace
}  // namespace tarvik::data
