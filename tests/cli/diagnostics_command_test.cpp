// The diagnostics of the command line: the convergence check of `estimate`,
// `--refine`, the Kobe points of `assess` and Mohn's rho of `retrospective`,
// on the yellowfin example with one or two variants to keep the runs short.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_run.h"
#include "common/cp1251.h"
#include "support/scratch_path.h"

namespace tarvik::cli {
namespace {

using testing::RunCli;

const char* const kExample = "examples/yellowfin_epo_1934_1955.txt";
const char* const kRefinedLine = "Параметры уточнены локальной оптимизацией";

TEST(CliDiagnostics, EstimateReportsTheRefinedMinimumOfEachVariant) {
  const testing::CliRun run =
      RunCli(std::string("estimate ") + kExample + " --variants 1,3 --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  ASSERT_EQ(j["refined"].size(), 2u);  // the searched variants only
  const nlohmann::json& log = j["refined"][0];
  EXPECT_EQ(log["index"], 1);
  EXPECT_EQ(log["label"], "Шефер Лог");
  EXPECT_TRUE(log["available"].get<bool>());
  EXPECT_NEAR(log["L"].get<double>(), 233.19, 0.005 * 233.19);
  EXPECT_EQ(log["search_L"].get<double>(), j["variants"][1]["L"].get<double>());
  EXPECT_LE(log["L"].get<double>(), log["search_L"].get<double>());
  EXPECT_DOUBLE_EQ(log["gap"].get<double>(),
                   log["search_L"].get<double>() - log["L"].get<double>());
  EXPECT_TRUE(log["not_converged"].get<bool>());
  EXPECT_TRUE(log["p"].is_null());
  for (const char* key : {"r", "K", "q"}) EXPECT_GT(log[key].get<double>(), 0.0) << key;
  const nlohmann::json& fox = j["refined"][1];
  EXPECT_EQ(fox["label"], "Фокс СК");
  EXPECT_LE(fox["L"].get<double>(), fox["search_L"].get<double>());

  const testing::CliRun text = RunCli(std::string("estimate ") + kExample + " --variants 1");
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Проверка сходимости поиска"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Шефер Лог: L = "), std::string::npos);
  EXPECT_NE(text.out.find("поиск не сошёлся"), std::string::npos);
}

// assess: with --refine the chosen variant's refined values go into the
// reference points, the forecast and the report, which says so in its last
// line; the Kobe points cover the observed years and the forecast.
TEST(CliDiagnostics, AssessAdoptsWithRefineAndPrintsTheKobePoints) {
  const std::filesystem::path folder = testing_support::ScratchPath("tarvik_cli_refine");
  std::filesystem::create_directories(folder);
  const std::filesystem::path report = folder / "report.txt";
  const std::string common = std::string("assess ") + kExample +
                             " --variants 1 --variant 'Шефер Лог' --rule linear:0.3 --runs 200 "
                             "--json --report '" +
                             report.string() + "'";

  const testing::CliRun refined = RunCli(common + " --refine");
  ASSERT_EQ(refined.exitCode, 0) << refined.err;
  const nlohmann::json j = nlohmann::json::parse(refined.out);
  EXPECT_TRUE(j["refinement"]["adopted"].get<bool>());
  const double L = j["refinement"]["L"].get<double>();
  EXPECT_NEAR(L, 233.19, 0.005 * 233.19);
  // The record now holds the refined values (the estimation block shows the
  // records as the command ends); the search's value is kept beside them.
  EXPECT_EQ(j["estimation"]["variants"][1]["L"].get<double>(), L);
  EXPECT_EQ(j["estimation"]["variants"][1]["r"].get<double>(), j["refinement"]["r"].get<double>());
  EXPECT_GT(j["refinement"]["search_L"].get<double>(), L);
  EXPECT_EQ(j["report_lines"].back(), kRefinedLine);
  // The report's objective line shows the refined value.
  bool objectiveLine = false;
  for (const nlohmann::json& line : j["report_lines"]) {
    const std::string text = line.get<std::string>();
    const std::string head = "Значение целевой функции  ";
    if (text.rfind(head, 0) != 0) continue;
    objectiveLine = true;
    EXPECT_NEAR(std::stod(text.substr(head.size())), L, 0.0005) << text;
  }
  EXPECT_TRUE(objectiveLine);
  const std::string file = testing::ReadAll(report);
  const std::string lastLine = *Utf8ToCp1251(kRefinedLine) + "\r\n";
  ASSERT_GE(file.size(), lastLine.size());
  EXPECT_EQ(file.substr(file.size() - lastLine.size()), lastLine);
  EXPECT_NE(file.find("\r\n \r\n" + lastLine), std::string::npos);

  const nlohmann::json& kobe = j["kobe"];
  ASSERT_EQ(kobe["points"].size(), 22u + 5u);
  EXPECT_EQ(kobe["points"][0]["year"], 1934);
  EXPECT_EQ(kobe["points"][0]["kind"], "observed");
  EXPECT_EQ(kobe["points"][0]["label"], "1934");
  EXPECT_EQ(kobe["points"][21]["label"], "1955");
  EXPECT_EQ(kobe["points"][22]["kind"], "forecast");
  EXPECT_EQ(kobe["points"][26]["label"], "1960");
  const double bmsy = kobe["bmsy"].get<double>();
  const double fmsy = kobe["fmsy"].get<double>();
  EXPECT_EQ(bmsy, j["reference_points"]["bmsy"].get<double>());
  for (const nlohmann::json& p : kobe["points"]) {
    const double b = p["b"].get<double>(), f = p["f"].get<double>();
    EXPECT_DOUBLE_EQ(p["b_bmsy"].get<double>(), b / bmsy);
    EXPECT_DOUBLE_EQ(p["f_fmsy"].get<double>(), f / fmsy);
    const std::string expected =
        b >= bmsy ? (f <= fmsy ? "green" : "orange") : (f <= fmsy ? "yellow" : "red");
    EXPECT_EQ(p["quadrant"], expected) << p["year"];
  }

  // Without --refine: the search's values, and the report as before.
  const testing::CliRun plain = RunCli(common);
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const nlohmann::json k = nlohmann::json::parse(plain.out);
  EXPECT_FALSE(k.contains("refinement"));
  EXPECT_NE(k["report_lines"].back(), kRefinedLine);
  EXPECT_EQ(testing::ReadAll(report).find(*Utf8ToCp1251(kRefinedLine)), std::string::npos);
  std::filesystem::remove_all(folder);
  // The checklist of the fit the options rest on: the one `diagnose` gives.
  const testing::CliRun diagnose =
      RunCli(std::string("diagnose ") + kExample + " --variants 1 --variant 'Шефер Лог' --json");
  ASSERT_EQ(diagnose.exitCode, 0) << diagnose.err;
  EXPECT_EQ(k["diagnostics"], nlohmann::json::parse(diagnose.out)["diagnostics"]);
}

TEST(CliDiagnostics, DiagnoseGivesTheChecklistOfTheVariant) {
  const std::string arguments = std::string(" ") + kExample + " --variants 0 --variant 'Шефер СК'";
  const testing::CliRun run = RunCli("diagnose" + arguments + " --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  const nlohmann::json& d = j["diagnostics"];
  const std::string verdict = d["verdict"].get<std::string>();
  EXPECT_TRUE(verdict.rfind("Модель пригодна", 0) == 0 ||
              verdict.rfind("Есть предупреждения: ", 0) == 0 ||
              verdict.rfind("Модель непригодна: ", 0) == 0)
      << verdict;
  ASSERT_EQ(d["checks"].size(), 10u);
  for (const nlohmann::json& check : d["checks"]) {
    const std::string status = check["status"].get<std::string>();
    EXPECT_TRUE(status == "ok" || status == "warn" || status == "fail" ||
                status == "not_assessable")
        << status;
    EXPECT_FALSE(check["name"].get<std::string>().empty());
    EXPECT_FALSE(check["value"].get<std::string>().empty());
    EXPECT_FALSE(check["text"].get<std::string>().empty());
    // A failing or warning item is named in the verdict.
    if (status == "fail" || status == "warn") {
      EXPECT_NE(verdict.find(check["name"].get<std::string>()), std::string::npos) << verdict;
    }
  }
  // A residual per year from the third on.
  const std::size_t n = j["estimation"]["n"].get<std::size_t>();
  ASSERT_EQ(d["years"].size(), n - 2);
  EXPECT_EQ(d["residuals"].size(), n - 2);
  EXPECT_EQ(d["years"][0], 1936);
  EXPECT_TRUE(d["runs_test"]["runs"].is_number_integer());
  for (const char* key : {"z", "p"}) EXPECT_TRUE(d["runs_test"][key].is_number()) << key;
  for (const char* key : {"W", "p"}) EXPECT_TRUE(d["shapiro_wilk"][key].is_number()) << key;
  EXPECT_EQ(d["ljung_box"]["lag"], 4);
  for (const char* key : {"Q", "p"}) EXPECT_TRUE(d["ljung_box"][key].is_number()) << key;
  // The estimation's own view of the bounds agrees with the diagnosis.
  EXPECT_EQ(d["at_bounds"], j["estimation"]["variants"][0]["at_bounds"]);
  EXPECT_EQ(d["proposed_bounds"], j["estimation"]["proposed_bounds"]);
  for (const char* key : {"r", "K", "q"}) {
    EXPECT_LT(d["proposed_bounds"][key][0].get<double>(),
              d["proposed_bounds"][key][1].get<double>())
        << key;
  }
  EXPECT_TRUE(d["hindcast"]["mase"].is_number());
  EXPECT_EQ(d["hindcast"]["peels"], 5);
  EXPECT_EQ(d["jitter"]["starts"], 20);
  EXPECT_LE(d["jitter"]["agree"].get<int>(), 20);
  // Neither a retrospective nor intervals were run.
  EXPECT_TRUE(d["mohn_rho"].is_null());
  EXPECT_TRUE(d["msy_interval_ratio"].is_null());

  const testing::CliRun text = RunCli("diagnose" + arguments);
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Диагностика: Вариант «Шефер СК» — " + verdict), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Нормальность (Шапиро — Уилк)"), std::string::npos);
}

// Adopted observation-error estimates are judged by their own log
// residuals, one per year, not by the procedure's.
TEST(CliDiagnostics, DiagnoseJudgesAdoptedObservationErrorEstimatesByTheirResiduals) {
  const testing::CliRun run =
      RunCli(std::string("diagnose ") + kExample +
             " --variants 0 --variant 'Шефер СК' --estimator observation-error --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json d = nlohmann::json::parse(run.out)["diagnostics"];
  EXPECT_NE(d["variant"].get<std::string>().find("модель ошибки наблюдения"), std::string::npos);
  ASSERT_EQ(d["residuals"].size(), 22u);  // 1934 … 1955
  EXPECT_EQ(d["years"].front(), 1934);
  EXPECT_EQ(d["years"].back(), 1955);
  EXPECT_FALSE(d["shapiro_wilk"]["W"].is_null());
}

TEST(CliDiagnostics, RetrospectiveReportsMohnsRho) {
  const testing::CliRun run = RunCli(std::string("retrospective ") + kExample +
                                     " --variants 0 --variant 'Шефер СК' --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  const nlohmann::json& m = j["retrospective"]["mohn_rho"];
  ASSERT_TRUE(m["available"].get<bool>());
  ASSERT_EQ(m["peels"].size(), 5u);
  double sum = 0.0;
  for (std::size_t k = 0; k < 5; ++k) {
    const nlohmann::json& peel = m["peels"][k];
    EXPECT_EQ(peel["run"], 6 + static_cast<int>(k));
    EXPECT_EQ(peel["year"], 1954 - static_cast<int>(k));
    // With the run's q and with the variant's q: the same year's C / (q·E).
    const double q = j["retrospective"]["runs"][5 + k]["q"].get<double>();
    const double fullQ = j["estimate"]["variants"][0]["q"].get<double>();
    EXPECT_NEAR(peel["peel_biomass"].get<double>() * q, peel["full_biomass"].get<double>() * fullQ,
                1e-9 * peel["full_biomass"].get<double>() * fullQ);
    sum += peel["relative_difference"].get<double>();
  }
  EXPECT_NEAR(m["value"].get<double>(), sum / 5.0, 1e-15);
  EXPECT_EQ(m["ranges"]["long_lived"][0].get<double>(), -0.15);
  EXPECT_EQ(m["ranges"]["short_lived"][1].get<double>(), 0.30);
  EXPECT_NE(m["text"].get<std::string>().find("Коэффициент Мона"), std::string::npos);
}

// estimate --observation-error: every kind with every key, the search and
// the procedure's random stream as without it; the text output has the table.
TEST(CliDiagnostics, EstimateWithTheObservationErrorFits) {
  const std::string common = std::string("estimate ") + kExample + " --variants 1";
  const testing::CliRun plain = RunCli(common + " --json");
  const testing::CliRun run = RunCli(common + " --observation-error --b1k free --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  const nlohmann::json k = nlohmann::json::parse(plain.out);
  EXPECT_FALSE(k.contains("observation_error"));
  EXPECT_EQ(j["random_seed_after"], k["random_seed_after"]);
  EXPECT_EQ(j["variants"], k["variants"]);
  const std::vector<std::string> keys = {
      "K",    "aicc", "at_bounds", "b1k", "b_last_bmsy", "bmsy", "converged", "emsy", "f_last_fmsy",
      "fmsy", "msy",  "n",         "p",   "q",           "r",    "rss",       "sigma"};
  for (const char* kind : {"schaefer", "fox", "pella_tomlinson"}) {
    const nlohmann::json& fit = j["observation_error"][kind];
    std::vector<std::string> names;
    for (const auto& item : fit.items()) names.push_back(item.key());
    EXPECT_EQ(names, keys) << kind;
    EXPECT_EQ(fit["p"].is_null(), std::string(kind) != "pella_tomlinson") << kind;
    EXPECT_EQ(fit["n"], 22) << kind;
    EXPECT_TRUE(fit["at_bounds"].is_array()) << kind;
  }
  const testing::CliRun text = RunCli(common + " --observation-error");
  EXPECT_NE(text.out.find("Модель ошибки наблюдения (B₁ = K)"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Пелла-Томлинсон"), std::string::npos);
  EXPECT_EQ(RunCli(common + " --observation-error --b1k maybe").exitCode, 2);
  EXPECT_EQ(RunCli(std::string("surface ") + kExample + " --variant 'Шефер Лог' --estimator guess")
                .exitCode,
            2);
}

// assess --estimator observation-error: the chosen variant carries the
// Schaefer fit into the reference points and the report, whose last line
// says so.
TEST(CliDiagnostics, AssessCarriesTheObservationErrorEstimates) {
  const testing::CliRun run = RunCli(std::string("assess ") + kExample +
                                     " --variants 1 --variant 'Шефер Лог' --rule linear:0.3 "
                                     "--runs 200 --json --estimator observation-error");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  const nlohmann::json& adopted = j["observation_error"];
  ASSERT_TRUE(adopted["adopted"].get<bool>()) << adopted;
  EXPECT_EQ(j["estimation"]["variants"][1]["r"], adopted["r"]);
  EXPECT_EQ(j["estimation"]["variants"][1]["K"], adopted["K"]);
  // The reference points are kept rounded as page 3 shows them.
  const double msy = adopted["msy"].get<double>();
  EXPECT_NEAR(j["reference_points"]["msy"].get<double>(), msy, 1e-6 * msy);
  EXPECT_EQ(j["report_lines"].back(), "Параметры оценены по модели ошибки наблюдения");
}

// assess --estimator state-space: the chosen variant carries the Schaefer
// state-space fit into the reference points and the report, whose last line
// says so; --refine with it is refused.
TEST(CliDiagnostics, AssessCarriesTheStateSpaceEstimates) {
  const std::string common = std::string("assess ") + kExample +
                             " --variants 1 --variant 'Шефер Лог' --rule linear:0.3 --runs 200";
  const testing::CliRun run = RunCli(common + " --json --estimator state-space");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  const nlohmann::json& adopted = j["state_space"];
  ASSERT_TRUE(adopted["adopted"].get<bool>()) << adopted;
  EXPECT_EQ(adopted["label"], "Шефер Лог");
  EXPECT_EQ(j["estimation"]["variants"][1]["r"], adopted["r"]["estimate"]);
  EXPECT_EQ(j["estimation"]["variants"][1]["K"], adopted["K"]["estimate"]);
  const double msy = adopted["msy"]["estimate"].get<double>();
  EXPECT_NEAR(j["reference_points"]["msy"].get<double>(), msy, 1e-6 * msy);
  EXPECT_EQ(j["report_lines"].back(), "Параметры оценены по модели пространства состояний");
  EXPECT_EQ(RunCli(common + " --estimator state-space --refine").exitCode, 2);
}

}  // namespace
}  // namespace tarvik::cli
