#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_run.h"

namespace tarvik::cli {
namespace {

using testing::RunCli;

void ExpectFailure(const testing::CliRun& run) {
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_NE(run.err.find("Ошибка"), std::string::npos) << run.err;
}

TEST(CliEstimate, HelpListsTheSubcommands) {
  const testing::CliRun run = RunCli("--help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("estimate"), std::string::npos);
  EXPECT_NE(run.out.find("retrospective"), std::string::npos);
  EXPECT_NE(run.out.find("surface"), std::string::npos);

  // In Russian words, what an option needs under its description, and no
  // subcommand is no success.
  const testing::CliRun assess = RunCli("assess --help");
  EXPECT_NE(assess.out.find("[ПАРАМЕТРЫ] ФАЙЛ\n"), std::string::npos);
  EXPECT_NE(assess.out.find("  --runs ЦЕЛОЕ=10000 "), std::string::npos);
  EXPECT_NE(assess.out.find("\n                                Требует: --decision-table\n"),
            std::string::npos);
  const testing::CliRun none = RunCli("");
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_TRUE(none.out.empty());
  EXPECT_NE(none.err.find("Подкоманды:\n  estimate "), std::string::npos);
}

TEST(CliEstimate, BadArgumentsAndFilesFailWithCodeTwoAndNoOutput) {
  ExpectFailure(RunCli("estimate examples/no_such_file.txt"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --trim 10"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --variants 0,x"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --variants 9"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --start 0.5,1"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --cutoffs 2-x"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --holdout 12"));
  ExpectFailure(RunCli("estimate examples/yellowfin_epo_1934_1955.txt --no-such-option"));
  ExpectFailure(RunCli("estimate"));
  ExpectFailure(RunCli("retrospective examples/yellowfin_epo_1934_1955.txt --variant 'Шефер'"));
  ExpectFailure(
      RunCli("surface examples/yellowfin_epo_1934_1955.txt --variant 'Шефер СК' "
             "--dir /no/such/dir"));
}

TEST(CliEstimate, BadStartTextNamesTheField) {
  const testing::CliRun run =
      RunCli("estimate examples/yellowfin_epo_1934_1955.txt --start 0.5,abc,");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Начальная точка, K: «abc»"), std::string::npos) << run.err;
}

// One full default estimation of the yellowfin example (a few seconds).
TEST(CliEstimate, JsonOfTheYellowfinExample) {
  const testing::CliRun run = RunCli("estimate examples/yellowfin_epo_1934_1955.txt --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["n"], 22);
  EXPECT_EQ(j["keep_count"], 20);
  EXPECT_EQ(j["pt_exponent"].get<double>(), 0.2);
  EXPECT_EQ(j["correlations"]["schaefer"].get<double>(), -0.7753);
  EXPECT_EQ(j["k_start"].get<double>(), 224810.0);
  EXPECT_EQ(j["k_max"].get<double>(), 22481000.0);
  ASSERT_EQ(j["variants"].size(), 9u);
  const nlohmann::json& fox = j["variants"][4];
  EXPECT_EQ(fox["index"], 4);
  EXPECT_EQ(fox["label"], "Фокс Лог");
  EXPECT_EQ(fox["kind"], "Fox");
  EXPECT_EQ(fox["objective"], "LogSumOfSquares");
  EXPECT_EQ(fox["enabled"], true);
  EXPECT_TRUE(fox["p"].is_null());
  // 17 significant digits read back to the bits of the search.
  EXPECT_EQ(fox["r"].get<double>(), 0.11191720485109136);
  EXPECT_EQ(fox["L"].get<double>(), 286.3169205134921);
  EXPECT_EQ(j["variants"][8]["p"].get<double>(), 1.01);
  EXPECT_TRUE(j["holdout"].is_null());
  EXPECT_EQ(j["random_seed_after"], 4092177794u);
}

}  // namespace
}  // namespace tarvik::cli
