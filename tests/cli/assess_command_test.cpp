// `tarvik-cli assess` end to end on the yellowfin example. Only the
// Schaefer sum-of-squares variant is estimated (--variants 0) to keep the
// runs short; the management stages are the same for every variant.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_run.h"
#include "common/cp1251.h"
#include "support/scratch_path.h"

namespace {

namespace fs = std::filesystem;

struct CommandRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AssessCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = tarvik::testing_support::ScratchPath(
        "tarvik_assess_" +
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  CommandRun Assess(const std::string& arguments) {
    const tarvik::cli::testing::CliRun run = tarvik::cli::testing::RunCliIn(
        ".", std::string("assess '") + TARVIK_SOURCE_DIR +
                 "/examples/yellowfin_epo_1934_1955.txt' --variants 0 " + arguments);
    return CommandRun{run.exitCode, run.out, run.err};
  }

  fs::path folder_;
};

TEST_F(AssessCommand, WritesTheReportAndPrintsTheTable) {
  const fs::path report = folder_ / "r.txt";
  const CommandRun run = Assess("--variant 'Шефер СК' --rule linear:0.3 --rule logistic:2:0.5 --runs 300 "
                         "--report '" + report.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Коэффициенты эффективности"), std::string::npos);
  EXPECT_NE(run.out.find("FMSY Линейно-Кусочное 0.3"), std::string::npos);
  EXPECT_NE(run.out.find("FMSY Логистическое 2 0.5"), std::string::npos);
  EXPECT_NE(run.out.find("Управление: FMSY Линейно-кусочное ПРП -0.3"), std::string::npos);
  const std::string bytes = ReadAll(report);
  ASSERT_FALSE(bytes.empty());
  EXPECT_FALSE(tarvik::IsValidUtf8(bytes.substr(0, 3)));  // "Вид" in Windows-1251
  const std::string text = tarvik::Cp1251ToUtf8(bytes);
  EXPECT_EQ(text.rfind("Вид  Желтоперый тунец\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nИнтервальная оценка прогнозного значения ОДУ:  \r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\nГОД\tБИОМАССА ЗАПАСА\t\tУЛОВЫ\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 3), " \r\n");
  // Every line ends with CR LF: no bare LF.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "byte " << i;
    }
  }
}

TEST_F(AssessCommand, JsonIsReproducible) {
  const std::string arguments =
      "--variant 'Шефер СК' --rule linear:0.3 --rule nonzonal:Fsq75 --runs 200 --btr B0.1 "
      "--etr E0,1 --blim 0.5 --select-rule 2 --forecast-horizon 3 --json";
  const CommandRun first = Assess(arguments);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const CommandRun second = Assess(arguments);
  EXPECT_EQ(first.out, second.out);
  const nlohmann::json j = nlohmann::json::parse(first.out);
  for (const char* key : {"reference_points", "indicators", "forecast", "report_lines",
                          "random_seed_after"}) {
    EXPECT_TRUE(j.contains(key)) << key;
  }
  const auto& points = j["reference_points"];
  // --etr E0,1 chose B0.1 = 0.55·K as the stored target, --blim 0.5 halves BMSY.
  EXPECT_DOUBLE_EQ(points["btr"].get<double>(),
                   0.55 * j["estimation"]["variants"][0]["K"].get<double>());
  EXPECT_EQ(points["blim"].get<double>(), 0.5 * points["bmsy"].get<double>());
  ASSERT_EQ(j["indicators"].size(), 2u);
  EXPECT_EQ(j["indicators"][1]["rule"], "Fsq75 Незональное");
  EXPECT_EQ(j["forecast"]["years"].size(), 3u);
  EXPECT_EQ(j["forecast"]["tac_interval"].size(), 3u);
  EXPECT_EQ(j["forecast"]["catch_sd"].size(), 3u);
  // Doubles are written with 17 significant digits ("%.17g").
  char ftr[64];
  std::snprintf(ftr, sizeof ftr, "\"ftr\": %.17g", points["ftr"].get<double>());
  EXPECT_NE(first.out.find(ftr), std::string::npos) << ftr;
}

// --decision-table adds its object and its report section and changes
// nothing else: the procedure's stream, the indicators, the forecast and the
// report's lines before it are those of the run without it.
TEST_F(AssessCommand, TheDecisionTableAddsToTheJsonAndTheReportOnly) {
  const std::string common =
      "--variant 'Шефер СК' --rule linear:0.3 --runs 200 --forecast-horizon 3 --json ";
  const fs::path plainReport = folder_ / "plain.txt";
  const fs::path tableReport = folder_ / "table.txt";
  const CommandRun plain = Assess(common + "--report '" + plainReport.string() + "'");
  const CommandRun table = Assess(common + "--report '" + tableReport.string() +
                                  "' --decision-table --catch-options '0; 0.5*MSY; MSY; "
                                  "текущий; ОДУ; 100000000' --risk 10");
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  ASSERT_EQ(table.exitCode, 0) << table.err;
  nlohmann::json p = nlohmann::json::parse(plain.out);
  nlohmann::json t = nlohmann::json::parse(table.out);
  EXPECT_EQ(t["random_seed_after"], p["random_seed_after"]);
  for (const char* key : {"indicators", "forecast", "kobe", "reference_points"}) {
    EXPECT_EQ(t[key], p[key]) << key;
  }
  for (const auto& row : t["indicators"]) {
    const double share = row.at("prob_below_reference_blim").get<double>();
    EXPECT_TRUE(share >= 0.0 && share <= 1.0);
  }
  ASSERT_FALSE(p.contains("decision_table"));
  const nlohmann::json& d = t.at("decision_table");
  ASSERT_EQ(d.at("options").size(), 6u);
  double previous = -1.0;
  for (const auto& option : d["options"]) {
    EXPECT_GE(option.at("catch").get<double>(), previous);  // ascending
    previous = option["catch"].get<double>();
    EXPECT_FALSE(option.at("label").get<std::string>().empty());
    ASSERT_EQ(option.at("years").size(), 3u);
    for (const auto& year : option["years"]) {
      for (const char* key : {"year", "p_b_below_blim", "p_b_below_bmsy", "p_f_above_fmsy",
                              "p_green", "median_b_bmsy"}) {
        EXPECT_TRUE(year.contains(key)) << key;
      }
    }
  }
  // 10⁸ t, far above K, collapses the stock.
  EXPECT_EQ(d["options"][5]["years"][2]["p_b_below_blim"], 1.0);
  EXPECT_EQ(d["options"][0]["years"][0]["year"].get<double>(),
            t["forecast"]["years"][0].get<double>());
  // Many of the yellowfin replicates end with K on its upper bound: no
  // largest catch is named from them, and the JSON says why.
  const nlohmann::json& m = d.at("max_catch_at_risk");
  EXPECT_EQ(m.at("risk"), 0.1);
  EXPECT_EQ(m.at("criterion"), "blim");
  EXPECT_EQ(m.at("outcome"), "refused_at_bounds");
  EXPECT_TRUE(m.at("catch").is_null());
  EXPECT_NE(m.at("refused_reason").get<std::string>().find("K на верхней границе"),
            std::string::npos);
  EXPECT_TRUE(m.contains("p_b_below_bmsy_end"));
  EXPECT_EQ(d.at("process_error").at("sigma"), 0.1);
  EXPECT_EQ(d["process_error"].at("source"), "default");

  // The report: every line of the plain one, then the section.
  const std::string before = ReadAll(plainReport);
  const std::string after = ReadAll(tableReport);
  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.substr(0, before.size()), before);
  const std::string section = tarvik::Cp1251ToUtf8(after.substr(before.size()));
  EXPECT_EQ(section.rfind(" \r\nТаблица решений: вероятность B < Blim", 0), 0u) << section;
  EXPECT_NE(section.find("Наибольший улов не назван"), std::string::npos);
}

// The MSY interval ratio in the JSON is the value the checklist judged, the
// upper over the lower end of the interval in the same object.
TEST_F(AssessCommand, TheJsonMsyIntervalRatioIsTheChecklists) {
  const CommandRun run = Assess(
      "--variant 'Шефер СК' --rule linear:0.3 --runs 100 --forecast-horizon 3 --json "
      "--uncertainty 100");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  const nlohmann::json& ratio = j.at("diagnostics").at("msy_interval_ratio");
  ASSERT_TRUE(ratio.is_number());
  const nlohmann::json& msy = j.at("uncertainty").at("quantities").at("msy");
  EXPECT_EQ(ratio.get<double>(), msy.at("upper").get<double>() / msy.at("lower").get<double>());
  char shown[64];
  std::snprintf(shown, sizeof shown, "верхняя / нижняя = %.1f", ratio.get<double>());
  bool found = false;
  for (const auto& check : j["diagnostics"].at("checks")) {
    if (check.at("name") != "Ширина интервала MSY") continue;
    found = true;
    EXPECT_EQ(check.at("value"), shown);
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(j["uncertainty"].at("at_bounds").at("shares").contains("K"));
}

TEST_F(AssessCommand, WithoutNoiseTheReportHasNoInterval) {
  const fs::path report = folder_ / "quiet.TXT";
  const CommandRun run = Assess("--variant 'Шефер СК' --rule precautionary --runs 100 --no-noise "
                         "--report '" + report.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string text = tarvik::Cp1251ToUtf8(ReadAll(report));
  EXPECT_EQ(text.find("Интервальная оценка"), std::string::npos);
  EXPECT_NE(text.find("Количество лет прогноза  5\r\n \r\nГОД"), std::string::npos);
}

TEST_F(AssessCommand, ErrorsExitWithTwoAndWriteNothing) {
  const fs::path report = folder_ / "r.txt";
  const std::string tail = " --report '" + report.string() + "'";
  for (const std::string bad :
       {"--variant 'Шефер СК' --rule linear", "--variant 'Шефер СК' --rule linear:x",
        "--variant 'Шефер СК' --rule linear:0.3 --runs 70000",
        "--variant 'Шефер СК' --rule linear:0.3 --horizon 0",
        "--variant 'Шефер СК' --rule linear:0.3 --blim 0.4",
        "--variant 'Шефер СК' --rule linear:0.3 --select-rule 2",
        "--variant 'Шефер СК' --rule linear:0.3 --sensitivity K --step 60",
        "--variant 'Нет такого' --rule linear:0.3",
        "--variant 'Шефер СК' --rule linear:0.3 --forecast-horizon 21",
        "--variant 'Шефер СК' --rule linear:0.3 --decision-table --catch-options '0; много'",
        "--variant 'Шефер СК' --rule linear:0.3 --decision-table --risk 0",
        "--variant 'Шефер СК' --rule linear:0.3 --decision-table --process-error -0.1",
        "--variant 'Шефер СК' --rule linear:0.3 --decision-table --criterion red",
        "--variant 'Шефер СК' --rule linear:0.3 --process-error 0.2",
        "--variant 'Шефер СК' --rule linear:0.3 --risk 5"}) {
    const CommandRun run = Assess(bad + tail);
    EXPECT_EQ(run.exitCode, 2) << bad;
    EXPECT_TRUE(run.out.empty()) << bad;
    EXPECT_NE(run.err.find("Ошибка: "), std::string::npos) << bad;
    EXPECT_FALSE(fs::exists(report)) << bad;
  }
}

}  // namespace
