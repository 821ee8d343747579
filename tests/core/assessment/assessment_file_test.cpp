#include "assessment/assessment_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>

#include "common/error.h"
#include "common/files.h"
#include "support/error_of.h"
#include "support/scratch_path.h"

namespace tarvik::assessment {
namespace {

using testing_support::ErrorOf;

const std::string kCorpus = std::string(TARVIK_SOURCE_DIR) + "/fuzz/corpus/assessment_file/";

AssessmentFile Sample() {
  AssessmentFile file;
  file.ProgramVersion = "4.0.0";
  file.DataFileName = "/data/треска.txt";
  file.DecimalMark = ',';
  file.Description.species = "Треска";
  file.Description.source = "Промысловая статистика";
  file.Description.catchUnitExponent = 3;
  file.Table = data::DataTable::FromRows(
      {{"1995", "1,2", "100", "120"}, {"1996", "1,1", "120,5", "132"}, {"1997", "", "x", "135"}});
  file.RandomSeedAtStart = 4021377333u;
  file.Steps = {{"suitability_check", {{"trim_position", 0}}},
                {"search", {{"start", {{"r", 0.1}, {"K", 1e-300}, {"q", 123456.789}}}}},
                {"choose_model", {{"label", "Шефер СК"}}}};
  file.FrontPage = 5;
  file.Results.Variants = {{"Шефер СК", 0.34, 1903459.1234567891, 0.1 + 0.2, 2003.266}};
  file.Results.ChosenMsy = 161787.5;
  file.Results.TacLow = 61624.2;
  file.Results.TacHigh = 113898.7;
  return file;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(AssessmentFile, ReadsBackWhatItWritesBitForBitAndInTheMarkAskedFor) {
  const AssessmentFile file = Sample();
  const std::string bytes = FormatAssessmentFile(file);
  const AssessmentFile same = ParseAssessmentFile(bytes, ',');
  EXPECT_EQ(same.Table, file.Table);
  EXPECT_EQ(same.Description, file.Description);
  EXPECT_EQ(same.Steps, file.Steps);
  EXPECT_EQ(same.Results, file.Results);  // 0.1 + 0.2 and 1e-300 to the last bit
  EXPECT_EQ(same.RandomSeedAtStart, 4021377333u);
  EXPECT_EQ(same.FrontPage, 5);
  EXPECT_EQ(same.DataFileName, file.DataFileName);

  // Opened where the mark is a point, the numbers' cells follow it; the
  // years and the cells that are no numbers keep their text.
  const AssessmentFile point = ParseAssessmentFile(bytes, '.');
  EXPECT_EQ(point.Table.Cell(1, 1), "1.2");
  EXPECT_EQ(point.Table.Cell(2, 2), "120.5");
  EXPECT_EQ(point.Table.Cell(1, 3), "");
  EXPECT_EQ(point.Table.Cell(2, 3), "x");
  EXPECT_EQ(point.Table.Cell(0, 3), "1997");
}

TEST(AssessmentFile, DamagedOrForeignFilesAreRefusedNamingWhatAndWhere) {
  const std::string good = FormatAssessmentFile(Sample());
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"empty", "", "Файл оценки пуст"},
      {"truncated", good.substr(0, good.size() / 2), "Файл оценки обрезан"},
      {"not JSON", "ГОД\tУЛОВ\n1934\t1\n", "Файл оценки повреждён: ошибка разметки JSON (строка 1"},
      {"a JSON array", "[1, 2]", "не объект JSON"},
      {"another format", R"({"format": "spict"})", "Это не файл оценки Tarvik"},
      {"newer version", replaced("\"format_version\": 1", "\"format_version\": 2"),
       "записан в формате версии 2, а эта программа читает версии до 1"},
      {"unknown transition", replaced("\"choose_model\"", "\"jump\""),
       "шаг 3: неизвестное действие «jump»"},
      {"seed out of range", replaced("4021377333", "4294967296"),
       "поле «random_seed_at_start»: значение 4294967296 вне допустимого диапазона"},
      {"negative seed", replaced("4021377333", "-1"), "random_seed_at_start"},
      {"page out of range", replaced("\"page\": 5", "\"page\": 6"), "поле «window.page»"},
      {"unit out of range", replaced("\"catch_unit_exponent\": 3", "\"catch_unit_exponent\": 9"),
       "catch_unit_exponent: значение 9 вне допустимого диапазона -6 … 5"},
      {"a row of three cells", replaced("\"1995\",", ""), "строка 1: ожидаются 4 ячейки"},
      {"a cell that is a number", replaced("\"1995\"", "1995"), "строка 1, столбец 1: ожидается текст"},
      {"inputs not an object", [&] {
         nlohmann::json j = nlohmann::json::parse(good);
         j["steps"][0]["inputs"] = nlohmann::json::array({1});
         return j.dump();
       }(),
       "шаг 1 («suitability_check»): поле «inputs» должно быть объектом"},
      {"a number out of range", replaced("\"trim_position\": 0", "\"x\": 1e999"),
       "Файл оценки повреждён: в нём есть число вне диапазона"},
      {"no table", replaced("\"table\"", "\"tabel\""), "нет поля «table»"},
      {"deep nesting", std::string(100000, '['), "вложенность глубже 64"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(ErrorOf([&] { ParseAssessmentFile(c.bytes, '.'); }).find(c.message), std::string::npos)
        << ErrorOf([&] { ParseAssessmentFile(c.bytes, '.'); });
  }
}

TEST(AssessmentFile, NeverWritesOverADataFileOrAnyOtherKindOfFile) {
  const AssessmentFile file = Sample();
  const std::filesystem::path scratch = testing_support::ScratchPath("assessment-file");
  std::filesystem::create_directories(scratch);
  const std::string folder = scratch.string();
  const std::string data = folder + "/cod.txt";
  const std::string report = folder + "/report.tarvik";
  const std::string assessment = folder + "/cod.tarvik";
  WriteFileAtomically(data, "ГОД\r\n");
  WriteFileAtomically(report, "ОТЧЁТ ОБ ОДУ\r\n");

  EXPECT_NE(ErrorOf([&] { WriteAssessmentFile(data, file, data); }).find("файл входных данных"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { WriteAssessmentFile(report, file, data); }).find("файл другого рода"),
            std::string::npos);
  EXPECT_EQ(Bytes(data), "ГОД\r\n");
  EXPECT_EQ(Bytes(report), "ОТЧЁТ ОБ ОДУ\r\n");

  WriteAssessmentFile(assessment, file, data);
  AssessmentFile changed = file;
  changed.FrontPage = 1;
  WriteAssessmentFile(assessment, changed, data);  // an assessment file is replaced
  EXPECT_EQ(ReadAssessmentFile(assessment, ',').FrontPage, 1);
  std::filesystem::remove_all(scratch);
}

TEST(AssessmentFile, AValueThatIsNotFiniteIsNeverWritten) {
  AssessmentFile file = Sample();
  file.Steps[1].Inputs["start"]["r"] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_NE(ErrorOf([&] { FormatAssessmentFile(file); }).find("шаг 2 («search»)"), std::string::npos);
  file = Sample();
  file.Results.DecisionMaxCatch = std::numeric_limits<double>::infinity();
  EXPECT_NE(ErrorOf([&] { FormatAssessmentFile(file); }).find("не является конечным"),
            std::string::npos);
}

TEST(Fingerprints, EveryResultThatDiffersIsNamedWithBothValues) {
  const Fingerprint expected = Sample().Results;
  EXPECT_TRUE(CompareFingerprints(expected, expected).empty());

  Fingerprint actual = expected;
  actual.Variants[0].K = std::nextafter(actual.Variants[0].K, 0.0);  // one bit
  actual.TacHigh.reset();
  actual.DecisionMaxCatch = 12.5;
  const std::vector<FingerprintDifference> d = CompareFingerprints(expected, actual);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].What, "вариант 1 «Шефер СК», K");
  EXPECT_EQ(d[0].Expected, "1903459.1234567892");
  EXPECT_EQ(d[0].Actual, "1903459.123456789");
  ASSERT_TRUE(d[0].Relative);
  EXPECT_GT(*d[0].Relative, 0.0);
  EXPECT_LT(*d[0].Relative, 1e-15);
  EXPECT_EQ(d[1].What, "верхняя граница интервала ОДУ");
  EXPECT_EQ(d[1].Actual, "нет");
  EXPECT_EQ(d[2].What, "наибольший улов таблицы решений");
  EXPECT_EQ(d[2].Expected, "нет");

  actual = expected;
  actual.Variants.push_back({"Фокс СК", 1, 2, 3, 4});
  ASSERT_EQ(CompareFingerprints(expected, actual).size(), 1u);
  EXPECT_EQ(CompareFingerprints(expected, actual)[0].Actual, "Фокс СК");
}

// Each system's rule, as a pure function of the environment: the variables a
// case sets, the rule, the path.
TEST(RecoveryFile, LivesInTheUsersDataFolder) {
  struct Case {
    std::map<std::string, std::string> vars;
    DataFolderRule rule;
    const char* path;
  };
  const Case cases[] = {
      {{{"XDG_DATA_HOME", "/x/data"}, {"HOME", "/home/u"}}, DataFolderRule::Xdg,
       "/x/data/tarvik/recovery.tarvik"},
      {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/u"}}, DataFolderRule::Xdg,
       "/home/u/.local/share/tarvik/recovery.tarvik"},
      {{{"HOME", "/home/u"}, {"LOCALAPPDATA", "C:\\L"}}, DataFolderRule::Xdg,
       "/home/u/.local/share/tarvik/recovery.tarvik"},
      {{{"LOCALAPPDATA", "C:\\L"}}, DataFolderRule::Xdg, ""},
      {{}, DataFolderRule::Xdg, ""},
      {{{"LOCALAPPDATA", "C:\\Users\\Анна\\AppData\\Local"},
        {"APPDATA", "C:\\A"},
        {"USERPROFILE", "C:\\U"},
        {"HOME", "/home/u"}},
       DataFolderRule::Windows,
       "C:\\Users\\Анна\\AppData\\Local\\Tarvik\\recovery.tarvik"},
      {{{"LOCALAPPDATA", "d:/local/"}}, DataFolderRule::Windows, "d:/local/Tarvik\\recovery.tarvik"},
      {{{"LOCALAPPDATA", "\\\\server\\share"}}, DataFolderRule::Windows,
       "\\\\server\\share\\Tarvik\\recovery.tarvik"},
      {{{"LOCALAPPDATA", "relative"}, {"APPDATA", "C:\\A"}, {"USERPROFILE", "C:\\U"}},
       DataFolderRule::Windows, "C:\\A\\Tarvik\\recovery.tarvik"},
      {{{"LOCALAPPDATA", "C:"}, {"APPDATA", "\\A"}, {"USERPROFILE", "C:\\U"}},
       DataFolderRule::Windows, "C:\\U\\AppData\\Local\\Tarvik\\recovery.tarvik"},
      {{{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/x"}, {"USERPROFILE", "\\\\\\x"}},
       DataFolderRule::Windows, ""},
  };
  static const Case* current = nullptr;
  const auto lookUp = [](const char* name) {
    const auto found = current->vars.find(name);
    return found == current->vars.end() ? std::string() : found->second;
  };
  for (const Case& c : cases) {
    current = &c;
    EXPECT_EQ(RecoveryFilePath(lookUp, c.rule), c.path)
        << (c.rule == DataFolderRule::Xdg ? "XDG " : "Windows ") << c.vars.size();
  }
  // Without a rule: this system's.
  current = &cases[5];
#ifdef _WIN32
  EXPECT_EQ(RecoveryFilePath(lookUp), cases[5].path);
#else
  EXPECT_EQ(RecoveryFilePath(lookUp), "/home/u/.local/share/tarvik/recovery.tarvik");
#endif
}

TEST(AssessmentFile, TheCorpusSampleReads) {
  const AssessmentFile file = ReadAssessmentFile(kCorpus + "whole_road.tarvik", '.');
  EXPECT_EQ(file.Table.Cell(1, 1), "10361.1158360265");
  EXPECT_EQ(file.Steps.size(), 4u);
  EXPECT_EQ(file.Steps[1].Inputs["upper"]["K"], 22481000);
  EXPECT_FALSE(file.Results.DecisionMaxCatch);
}

}  // namespace
}  // namespace tarvik::assessment
