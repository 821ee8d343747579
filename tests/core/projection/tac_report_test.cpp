#include "projection/tac_report.h"
#include "support/scratch_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/variants.h"
#include "fixture.h"
#include "support/error_of.h"
#include "support/scratch_files.h"

namespace tarvik::projection {
namespace {

using testing_support::ErrorOf;

TacReportInput Input(bool noise) {
  TacReportInput in;
  in.Species = "Тунец";
  in.Stock = "EPO";
  in.FirstYearText = "1934";
  in.LastYearText = "1955";
  in.DataFileName = "/d/tuna.txt";
  in.ModelChoiceText = "Шефер СК";
  in.Results = {"0.50", "1000", "0.000100", "0.123"};
  in.RuleText = "FMSY Линейно-кусочное ПРП --0.5";
  in.Fit = testing::SchaeferFit();
  in.Fit.BTarget = 550.0;
  in.Fit.EMSY = 250.123;
  in.Fit.ETarget = 225.456;
  in.Fit.FTarget = 0.22499;
  in.Rule = testing::LinearRule(-0.5);
  in.Horizon = 2;
  in.AddNoise = noise;
  in.Biomass = {{1955.0, 480.123}, {1956.0, 470.0}, {1957.0, 460.0}};
  in.Catch = {{1955.0, 100.456}, {1956.0, 110.0}, {1957.0, 111.0}};
  if (noise)
    in.CatchInterval = {{1956.0, 130.0}, {1956.0, -12.34}, {1957.0, 140.06}, {1957.0, 80.04}};
  return in;
}

std::vector<std::string> FileLines(bool noise) {
  std::vector<std::string> lines = {"Вид  Тунец",
                                    "Запас  EPO",
                                    "Период наблюдения  1934 - 1955",
                                    "Файл входных данных  /d/tuna.txt",
                                    " ",
                                    "Продукционная модель Шефера, целевая функция: сумма квадратов",
                                    " ",
                                    "ПАРАМЕТРЫ МОДЕЛИ",
                                    std::string(59, '-'),
                                    "r  0.50",
                                    "K  1000",
                                    "q  0.000100",
                                    "Значение целевой функции  0.123",
                                    " ",
                                    "Управление: FMSY Линейно-кусочное ПРП --0.5",
                                    " ",
                                    "ОРИЕНТИРЫ УПРАВЛЕНИЯ",
                                    std::string(59, '-'),
                                    "MSY  125",
                                    " ",
                                    "BMSY  500",
                                    "Btr  550",
                                    "Blim  1650",  // (1 + 2)·550
                                    " ",
                                    "EMSY  250.12",
                                    "Etr  225.46",
                                    " ",
                                    "FMSY  0.25",
                                    "Ftr  0.22",
                                    " ",
                                    "Количество лет прогноза  2"};
  if (noise) {
    lines.push_back("");
    lines.push_back("Интервальная оценка прогнозного значения ОДУ:  ");
    lines.push_back("1956\t0 - 130");  // −12.34 → −12.3 is shown as 0
    lines.push_back("1957\t80 - 140.1");
  }
  for (const char* tail : {" ", "ГОД\tБИОМАССА ЗАПАСА\t\tУЛОВЫ"}) lines.push_back(tail);
  lines.push_back(std::string(59, '-'));
  lines.push_back("1955\t\t480.12\t\t100.46");
  lines.push_back("1956\t\t470\t\t110");
  lines.push_back("1957\t\t460\t\t111");
  lines.push_back(" ");
  return lines;
}

TEST(TacReportFile, LinesWithoutNoiseHaveNoIntervalSection) {
  EXPECT_EQ(TacReportFileLines(Input(false)), FileLines(false));
}

TEST(TacReportFile, LinesWithNoise) {
  EXPECT_EQ(TacReportFileLines(Input(true)), FileLines(true));
}

TEST(TacReportFile, AnUnknownModelChoiceLeavesTheModelLineOut) {
  TacReportInput in = Input(false);
  in.ModelChoiceText = "другое";
  std::vector<std::string> expected = FileLines(false);
  expected.erase(expected.begin() + 5);
  EXPECT_EQ(TacReportFileLines(in), expected);
}

TEST(IntervalLines, LowerEndNotAboveZeroIsShownAsZero) {
  const PointList points = {{2001.0, 50.0}, {2001.0, 0.04}, {2002.0, 10.0}, {2002.0, 0.06}};
  // 0.04 rounds to 0 (not > 0), 0.06 to 0.1.
  EXPECT_EQ(IntervalLines(points, ','),
            (std::vector<std::string>{"2001\t0 - 50", "2002\t0,1 - 10"}));
  EXPECT_TRUE(IntervalLines({}).empty());
}

TEST(TacReportFile, EncodedInWindows1251WithCrLf) {
  const std::string bytes = EncodeReportFile({"Вид  Тунец", "ГОД\tX"});
  const std::string expected = "\xC2\xE8\xE4  \xD2\xF3\xED\xE5\xF6\r\n\xC3\xCE\xC4\tX\r\n";
  EXPECT_EQ(bytes, expected);
  EXPECT_THROW(EncodeReportFile({"Вид  \xE2\x82\xBF"}), Error);  // ₿ has no place in 1251
}

TEST(TacReportFile, SavedThroughATemporaryFile) {
  namespace fs = std::filesystem;
  const fs::path folder = tarvik::testing_support::ScratchPath("tarvik_tac_report_test");
  fs::create_directories(folder);
  const fs::path path = folder / "report.txt";
  {
    std::ofstream old(path);
    old << "old content that is longer than nothing";
  }
  SaveTacReport(path.string(), Input(true));
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, EncodeReportFile(FileLines(true)));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left behind
  EXPECT_THROW(SaveTacReport((folder / "missing" / "r.txt").string(), Input(false)), Error);
  in.close();  // Windows removes no open file
  fs::remove_all(folder);
}

TEST(ImageFileNames, ReportImageReplacesTxtIgnoringCase) {
  EXPECT_EQ(ReportImageFileName("/tmp/r.txt"), "/tmp/r.jpg");
  EXPECT_EQ(ReportImageFileName("C:\\ОДУ\\Отчёт.TXT"), "C:\\ОДУ\\Отчёт.jpg");
  EXPECT_EQ(ReportImageFileName("/tmp/a.txt.d/r.Txt"), "/tmp/a.txt.d/r.jpg");
  EXPECT_EQ(KobeImageFileName("/tmp/r.txt"), "/tmp/r_kobe.png");
  EXPECT_EQ(KobeImageFileName("C:\\ОДУ\\Отчёт.TXT"), "C:\\ОДУ\\Отчёт_kobe.png");
  EXPECT_EQ(KobeImageFileName("/tmp/report"), "/tmp/report_kobe.png");
  // Without the extension the image must not replace the report.
  EXPECT_EQ(ReportImageFileName("/tmp/report"), "/tmp/report.jpg");
}

TEST(ImageFileNames, ForecastImageSitsBesideTheDataFile) {
  EXPECT_EQ(ForecastImageFileName("/data/stock.txt"), "/data/stock.bmp");
  EXPECT_EQ(ForecastImageFileName(""), ".bmp");
  EXPECT_EQ(ForecastImageFileName("/data.d/stock"), "/data.d/stock.bmp");
}

// The report names the model of every label the model-choice list offers,
// the median labels of longer cut-off lists too; which record a label stands
// for is the variants' own map.
TEST(ModelChoice, LabelsMapToVariantsAndModelLines) {
  AssessmentState state;
  estimation::BuildModelFits(state, "4,7,4");  // five variants per model
  EXPECT_EQ(estimation::VariantIndexByLabel(state.ModelFits, "Фокс М7"), 8u);
  EXPECT_EQ(estimation::VariantIndexByLabel(state.ModelFits, "Фокс М4#4"), 9u);
  EXPECT_FALSE(estimation::FindVariantByLabel(state.ModelFits, "Фокс М").has_value());
  EXPECT_EQ(*ModelLine("ПТ М"),
            "Продукционная модель Пелла-Томлинсона, целевая функция: медианная");
  EXPECT_EQ(*ModelLine("Фокс М4#4"), "Продукционная модель Фокса, целевая функция: медианная");
  EXPECT_EQ(*ModelLine("Шефер Лог"),
            "Продукционная модель Шефера, целевая функция: логарифмическая");
  for (const char* text : {"", "Шефер", "Фокс М#", "Фокс Лог4", "ПТ СК "}) {
    EXPECT_FALSE(ModelLine(text).has_value()) << text;
  }
}

// ------------------------------------------------- never over the data file

class ReportBesideData : public testing_support::ScratchFiles {};

TEST_F(ReportBesideData, TheReportNeverReplacesTheDataFileHoweverItIsSpelt) {
  namespace fs = std::filesystem;
  const std::string data = Path("y.txt");
  const std::string bytes = "data that must survive\r\n";
  Spit(data, bytes);
  TacReportInput input = Input(true);
  input.DataFileName = data;
  const std::string relative = fs::relative(data).string();
  std::vector<std::string> spellings = {data, (folder_ / "." / "y.txt").string()};
  if (!relative.empty()) spellings.push_back("./" + relative);  // none across Windows' drives
#ifndef _WIN32  // symbolic links: POSIX only in the tests
  fs::create_symlink(data, folder_ / "link.txt");
  spellings.push_back(Path("link.txt"));
#endif
  for (const std::string& spelling : spellings) {
    const std::string message = ErrorOf([&] { SaveTacReport(spelling, input); });
    EXPECT_NE(
        message.find("Отчёт об ОДУ нельзя записать в «" + spelling + "»: это файл входных данных"),
        std::string::npos)
        << spelling << ": " << message;
    EXPECT_EQ(Slurp(data), bytes) << spelling;
  }
  EXPECT_EQ(Entries(), fs::exists(folder_ / "link.txt") ? 2u : 1u);  // the data file (the link)
}

TEST_F(ReportBesideData, NorDoesTheChartImageBesideIt) {
  // A data file named like the report's image: the report is not written either.
  const std::string data = Path("stock.jpg");
  Spit(data, "data");
  TacReportInput input = Input(false);
  input.DataFileName = data;
  EXPECT_THROW(SaveTacReport(Path("stock.txt"), input), Error);
  EXPECT_EQ(Slurp(data), "data");
  EXPECT_EQ(Entries(), 1u);
  // Nor the Kobe plot beside the report.
  input.DataFileName = Path("stock_kobe.png");
  Spit(input.DataFileName, "data");
  EXPECT_NE(ErrorOf([&] { SaveTacReport(Path("stock.txt"), input); }).find("диаграммы Кобе"),
            std::string::npos);
  EXPECT_EQ(Slurp(input.DataFileName), "data");
  EXPECT_EQ(Entries(), 2u);
  // The image beside a data file that is itself a ".bmp".
  Spit(Path("stock.bmp"), "data");
  EXPECT_THROW(ForecastImageFileName(Path("stock.bmp")), Error);
}

TEST_F(ReportBesideData, AFolderOrAMissingFolderIsRefusedBeforeAnyWork) {
  EXPECT_NE(ErrorOf([&] { CheckReportPath(folder_.string(), ""); }).find("это папка"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { CheckReportPath(Path("no/r.txt"), ""); }).find("папки"),
            std::string::npos);
  EXPECT_NO_THROW(CheckReportPath(Path("r.txt"), Path("y.txt")));
}

}  // namespace
}  // namespace tarvik::projection
