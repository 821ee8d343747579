#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kExample =
    std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt";

struct CliRun {
  int ExitCode = -1;
  std::string Out, Err;
};

using Arguments = std::vector<std::string>;

// Only the variant the tests choose is estimated, to keep them quick. Each
// argument is passed quoted, blanks and Cyrillic included.
CliRun RunCli(const Arguments& arguments) {
  std::string line = "optimise --variants 0";
  for (const std::string& argument : arguments) line += " '" + argument + "'";
  const tarvik::cli::testing::CliRun run = tarvik::cli::testing::RunCliIn(".", line);
  return CliRun{run.exitCode, run.out, run.err};
}

Arguments Joined(Arguments first, const Arguments& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = tarvik::testing_support::ScratchPath("tarvik_cli_optimise_" + name);
  fs::remove_all(folder);
  return folder;
}

using tarvik::cli::testing::BmpSize;

bool RInstalled() {
#ifdef _WIN32
  return false;  // the Windows build's tests run under Wine, without R
#else
  return std::system("R --version > /dev/null 2>&1") == 0;
#endif
}

TEST(OptimiseCommand, PiecewiseLinearSweepPrintsItsCandidatesAndWritesNoFiles) {
  const fs::path folder = FreshFolder("linear");
  const CliRun run = RunCli({kExample, "--variant", "Шефер СК", "--shape",
                             "linear", "--dir", folder.string(), "--json"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const auto j = nlohmann::json::parse(run.Out);
  const auto& o = j["optimisation"];
  ASSERT_EQ(o["candidates"].size(), 51u);
  EXPECT_EQ(o["alphas"][0].get<double>(), -1.0);
  EXPECT_EQ(o["betas"].size(), 1u);
  EXPECT_FALSE(o.contains("edit_beta"));
  EXPECT_TRUE(j.contains("random_seed_after"));
  EXPECT_FALSE(j.contains("files"));
  EXPECT_FALSE(fs::exists(folder / "OutMatrix.txt"));
  EXPECT_FALSE(fs::exists(folder / "Graph.R"));
  // The best catch point is one of the candidates.
  const double bestAlpha = o["best"]["catch"]["alpha"].get<double>();
  double largest = 0.0;
  for (const auto& c : o["candidates"]) largest = std::max(largest, c["mean_catch"].get<double>());
  EXPECT_EQ(o["best"]["catch"]["value"].get<double>(), largest);
  EXPECT_GE(bestAlpha, -1.0);
}

TEST(OptimiseCommand, LogisticSweepLeavesFourPicturesAndTheSameNumbersWithOneThread) {
  if (!RInstalled()) GTEST_SKIP() << "R is not installed";
  const fs::path folder = FreshFolder("logistic dir");
  const Arguments common = {kExample,
                              "--variant",
                              "Шефер СК",
                              "--shape",
                              "logistic",
                              "--horizon",
                              "3",
                              "--json"};
  const CliRun two = RunCli(
      Joined(common, {"--dir", folder.string(), "--threads", "2"}));
  ASSERT_EQ(two.ExitCode, 0) << two.Err;
  const auto j = nlohmann::json::parse(two.Out);
  EXPECT_EQ(j["optimisation"]["candidates"].size(), 2601u);
  EXPECT_EQ(j["files"]["r_status"], "done") << j["files"]["r_message"];
  for (const char* name : {"graph.bmp", "graph2.bmp", "graph3.bmp", "graph4.bmp"}) {
    EXPECT_EQ(BmpSize(folder / name), std::make_pair(250, 193)) << name;
  }
  EXPECT_TRUE(fs::exists(folder / "OutMatrix.txt"));

  const fs::path other = FreshFolder("logistic one thread");
  const CliRun one = RunCli(
      Joined(common, {"--dir", other.string(), "--threads", "1"}));
  ASSERT_EQ(one.ExitCode, 0) << one.Err;
  const auto k = nlohmann::json::parse(one.Out);
  EXPECT_EQ(j["optimisation"], k["optimisation"]);
  EXPECT_EQ(j["random_seed_after"], k["random_seed_after"]);
  std::ifstream a(folder / "OutMatrix.txt", std::ios::binary),
      b(other / "OutMatrix.txt", std::ios::binary);
  const std::string textA((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
  const std::string textB((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
  EXPECT_EQ(textA, textB);
  EXPECT_EQ(textA.size(), textB.size());
  fs::remove_all(folder);
  fs::remove_all(other);
}

TEST(OptimiseCommand, BadShapeFailsWithARussianMessageAndWritesNothing) {
  const fs::path folder = FreshFolder("bad");
  const CliRun run = RunCli({kExample, "--variant", "Шефер СК", "--shape",
                             "square", "--dir", folder.string()});
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_TRUE(run.Out.empty());
  EXPECT_NE(run.Err.find("--shape"), std::string::npos) << run.Err;
  EXPECT_FALSE(fs::exists(folder));
}

}  // namespace
