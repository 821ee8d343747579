#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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

// estimate --state-space: every kind with every key, the search and the
// procedure's random stream as without it; φ estimated with --b1k free;
// the text output has the table.
TEST(CliEstimate, StateSpaceFitsBesideTheSearch) {
  const std::string common = "estimate examples/yellowfin_epo_1934_1955.txt --variants 1";
  const testing::CliRun plain = RunCli(common + " --json");
  const testing::CliRun run = RunCli(common + " --state-space --b1k free --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(run.out);
  const nlohmann::ordered_json k = nlohmann::ordered_json::parse(plain.out);
  EXPECT_FALSE(k.contains("state_space"));
  EXPECT_EQ(j["random_seed_after"], k["random_seed_after"]);
  EXPECT_EQ(j["variants"], k["variants"]);
  const std::vector<std::string> keys = {
      "r",      "K",           "q",           "p",    "b1k",       "sigma_p",
      "sigma_o", "sigma_p_prior", "msy",        "bmsy",        "fmsy", "b_next",    "b_next_bmsy",
      "f_last_fmsy", "nll",    "n",           "level", "converged", "max_gradient",
      "hessian_pd", "osa_residuals", "osa_tests"};
  for (const char* kind : {"schaefer", "fox", "pella_tomlinson"}) {
    const nlohmann::ordered_json& fit = j["state_space"][kind];
    std::vector<std::string> names;
    for (const auto& item : fit.items()) names.push_back(item.key());
    EXPECT_EQ(names, keys) << kind;
    EXPECT_EQ(fit["p"].is_null(), std::string(kind) != "pella_tomlinson") << kind;
    EXPECT_EQ(fit["n"], 22) << kind;
    EXPECT_EQ(fit["osa_residuals"].size(), 22u) << kind;
    const nlohmann::ordered_json& msy = fit["msy"];
    ASSERT_TRUE(msy["interval"].is_array()) << kind;
    EXPECT_LT(msy["interval"][0].get<double>(), msy["estimate"].get<double>());
    EXPECT_GT(msy["interval"][1].get<double>(), msy["estimate"].get<double>());
    EXPECT_TRUE(fit["b1k"]["se_log"].is_number()) << kind;
  }
  const testing::CliRun text = RunCli(common + " --state-space");
  EXPECT_NE(text.out.find("Модель пространства состояний (B₁ = K)"), std::string::npos)
      << text.out;
  EXPECT_EQ(RunCli(common + " --state-space --b1k maybe").exitCode, 2);
}

// --ss-level 95 widens every interval about the same estimate; a stated
// prior on σ_p is used (σ_p moves towards it), named in the JSON and the
// text; bad values are refused naming the option.
TEST(CliEstimate, StateSpaceLevelAndPrior) {
  const std::string common =
      "estimate examples/schaefer_simulated_1990_2019.txt --variants 1 --state-space";
  const nlohmann::ordered_json at90 =
      nlohmann::ordered_json::parse(RunCli(common + " --json").out)["state_space"]["schaefer"];
  const testing::CliRun wide = RunCli(common + " --ss-level 95 --json");
  ASSERT_EQ(wide.exitCode, 0) << wide.err;
  const nlohmann::ordered_json at95 = nlohmann::ordered_json::parse(wide.out)["state_space"]["schaefer"];
  EXPECT_EQ(at95["msy"]["estimate"], at90["msy"]["estimate"]);
  EXPECT_LT(at95["msy"]["interval"][0].get<double>(), at90["msy"]["interval"][0].get<double>());
  EXPECT_GT(at95["msy"]["interval"][1].get<double>(), at90["msy"]["interval"][1].get<double>());
  EXPECT_TRUE(at90["sigma_p_prior"].is_null());

  const testing::CliRun prior = RunCli(common + " --sigma-p-prior 0.1,0.5 --json");
  ASSERT_EQ(prior.exitCode, 0) << prior.err;
  const nlohmann::ordered_json p = nlohmann::ordered_json::parse(prior.out)["state_space"]["schaefer"];
  EXPECT_NEAR(p["sigma_p_prior"]["median"].get<double>(), 0.1, 1e-15);
  EXPECT_EQ(p["sigma_p_prior"]["sd_log"], 0.5);
  const double free = at90["sigma_p"]["estimate"].get<double>();
  const double pulled = p["sigma_p"]["estimate"].get<double>();
  EXPECT_LT(std::fabs(std::log(pulled / 0.1)), std::fabs(std::log(free / 0.1)));
  EXPECT_NE(RunCli(common + " --sigma-p-prior 0.1,0.5").out.find("априорное ln σ_p ~ N(ln 0.1; 0.5²)"),
            std::string::npos);
  for (const char* bad : {" --ss-level 80", " --sigma-p-prior 0.1", " --sigma-p-prior 0,1",
                          " --sigma-p-prior x,1"}) {
    const testing::CliRun run = RunCli(common + bad);
    EXPECT_NE(run.exitCode, 0) << bad;
    EXPECT_NE(run.err.find(std::string(bad).substr(1, std::string(bad).find(' ', 1) - 1)),
              std::string::npos)
        << bad << ": " << run.err;
  }
}

}  // namespace
}  // namespace tarvik::cli
