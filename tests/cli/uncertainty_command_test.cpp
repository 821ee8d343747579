// The confidence intervals on the command line: `uncertainty` and
// `assess --uncertainty`, on the yellowfin example with one variant searched
// and the smallest replicate count, to keep the runs short.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli_run.h"

namespace tarvik::cli::testing {
namespace {

const std::string kExample =
    std::string("'") + TARVIK_SOURCE_DIR + "/examples/yellowfin_epo_1934_1955.txt' --variants 0 ";

nlohmann::json JsonOf(const std::string& arguments) {
  const CliRun run = RunCliIn(".", arguments);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return run.exitCode == 0 ? nlohmann::json::parse(run.out) : nlohmann::json::object();
}

void ExpectUncertaintyKeys(const nlohmann::json& u) {
  for (const char* key : {"method", "estimator", "replicates", "seed", "level", "failed",
                          "at_bounds", "quantities", "probabilities", "correlations"}) {
    EXPECT_TRUE(u.contains(key)) << key;
  }
  for (const char* key :
       {"r", "K", "q", "p", "msy", "bmsy", "fmsy", "emsy", "b_last_bmsy", "f_last_fmsy"}) {
    ASSERT_TRUE(u["quantities"].contains(key)) << key;
  }
  for (const char* key : {"estimate", "median", "lower", "upper"}) {
    EXPECT_TRUE(u["quantities"]["msy"].contains(key)) << key;
  }
  for (const char* key : {"b_last_below_bmsy", "b_last_below_blim", "f_last_above_fmsy"}) {
    EXPECT_TRUE(u["probabilities"].contains(key)) << key;
  }
  for (const char* key : {"r_K", "r_q", "K_q"}) EXPECT_TRUE(u["correlations"].contains(key)) << key;
}

TEST(UncertaintyCommand, JsonHasEveryKeyAndLeavesTheRandomStreamAlone) {
  const nlohmann::json u =
      JsonOf("uncertainty " + kExample +
             "--variant 'Шефер СК' --replicates 100 --seed 3 --level 95 --json");
  ExpectUncertaintyKeys(u["uncertainty"]);
  EXPECT_EQ(u["uncertainty"]["seed"], 3);
  EXPECT_EQ(u["uncertainty"]["level"], 95);
  EXPECT_EQ(u["uncertainty"]["estimator"], "procedure");

  const std::string assess =
      "assess " + kExample + "--variant 'Шефер СК' --rule linear:0.3 " + "--runs 100 --json";
  const nlohmann::json plain = JsonOf(assess);
  const nlohmann::json with = JsonOf(assess + " --uncertainty 100 --seed 3");
  EXPECT_FALSE(plain.contains("uncertainty"));
  ExpectUncertaintyKeys(with["uncertainty"]);
  // The bootstrap draws from its own generator: the procedure's stream and
  // every number made from it stay as they were.
  EXPECT_EQ(with["random_seed_after"], plain["random_seed_after"]);
  EXPECT_EQ(with["forecast"], plain["forecast"]);
  // The same variant and replicates as `uncertainty` with that seed; only
  // the level (the bounds) differs.
  for (const char* figure : {"estimate", "median"}) {
    EXPECT_EQ(with["uncertainty"]["quantities"]["msy"][figure],
              u["uncertainty"]["quantities"]["msy"][figure]);
  }
  const nlohmann::json& kobe = with["kobe"];
  EXPECT_EQ(kobe["points"], plain["kobe"]["points"]);
  EXPECT_FALSE(kobe["cloud"].empty());
  double total = 0.0;
  for (const char* key : {"green", "yellow", "orange", "red"}) {
    total += kobe["quadrant_probabilities"][key].get<double>();
  }
  EXPECT_NEAR(total, 1.0, 1e-12);
  // The report: every line as before, then the section of the intervals.
  const auto& before = plain["report_lines"];
  const auto& after = with["report_lines"];
  ASSERT_GT(after.size(), before.size() + 1);
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << i;
  EXPECT_EQ(after[before.size() + 1].get<std::string>().rfind("Доверительные интервалы (", 0), 0u);
}

TEST(UncertaintyCommand, SettingsOutsideTheirRangesNameTheirOption) {
  struct Case {
    const char* arguments;
    const char* option;
  };
  const Case cases[] = {
      {"uncertainty VARIANT --replicates 99", "--replicates"},
      {"uncertainty VARIANT --level 80", "--level"},
      {"assess VARIANT --rule linear:0.3 --uncertainty 20000", "--uncertainty"},
  };
  for (const Case& c : cases) {
    std::string arguments = c.arguments;
    const std::size_t at = arguments.find("VARIANT");
    arguments.replace(at, 7, kExample + "--variant 'Шефер СК'");
    const CliRun run = RunCliIn(".", arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments;
    EXPECT_NE(run.err.find(c.option), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

}  // namespace
}  // namespace tarvik::cli::testing
