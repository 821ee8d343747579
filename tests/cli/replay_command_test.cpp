// `tarvik-cli assess --save-assessment` and `tarvik-cli replay` on the
// yellowfin example: the replay writes the report the assessment wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli_run.h"
#include "support/scratch_path.h"

namespace {

namespace fs = std::filesystem;
using tarvik::cli::testing::CliRun;
using tarvik::cli::testing::ReadAll;
using tarvik::cli::testing::RunCliIn;

class ReplayCommand : public ::testing::Test {
 protected:
  // One assessment for the suite: Schaefer, two rules, a decision table.
  static void SetUpTestSuite() {
    folder_ = new fs::path(tarvik::testing_support::ScratchPath("tarvik_replay"));
    fs::remove_all(*folder_);
    fs::create_directories(*folder_);
    assessed_ = new CliRun(RunCliIn(
        ".", std::string("assess '") + TARVIK_SOURCE_DIR +
                 "/examples/yellowfin_epo_1934_1955.txt' --variants 0 --variant 'Шефер СК' "
                 "--rule linear:0.3 --rule logistic:2:0.5 --select-rule 2 --runs 200 "
                 "--decision-table --report '" +
                 (*folder_ / "assess.txt").string() + "' --save-assessment '" +
                 Saved().string() + "'"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete folder_;
    delete assessed_;
  }
  static fs::path Saved() { return *folder_ / "yellowfin.tarvik"; }
  static CliRun Replay(const fs::path& file, const std::string& more = "") {
    return RunCliIn(".", "replay '" + file.string() + "' " + more);
  }

  static fs::path* folder_;
  static CliRun* assessed_;
};
fs::path* ReplayCommand::folder_ = nullptr;
CliRun* ReplayCommand::assessed_ = nullptr;

TEST_F(ReplayCommand, WritesTheReportTheAssessmentWroteByteForByte) {
  ASSERT_EQ(assessed_->exitCode, 0) << assessed_->err;
  EXPECT_NE(assessed_->out.find("Оценка сохранена в файл"), std::string::npos);
  const fs::path report = *folder_ / "replay.txt";
  const CliRun run = Replay(Saved(), "--report '" + report.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("Все результаты совпадают"), std::string::npos) << run.out;
  const std::string original = ReadAll(*folder_ / "assess.txt");
  ASSERT_FALSE(original.empty());
  EXPECT_EQ(ReadAll(report), original);
}

TEST_F(ReplayCommand, AChangedFingerprintExitsWithThreeAndNamesTheResult) {
  ASSERT_EQ(assessed_->exitCode, 0) << assessed_->err;
  std::string text = ReadAll(Saved());
  const std::string key = "\"chosen_msy\": ";
  const std::size_t at = text.find(key);
  ASSERT_NE(at, std::string::npos);
  text.insert(at + key.size(), "1");  // 1 before the digits: another MSY
  const fs::path changed = *folder_ / "changed.tarvik";
  std::ofstream(changed, std::ios::binary) << text;
  const CliRun run = Replay(changed, "--json");
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_NE(run.out.find("\"reproduced\": false"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("MSY"), std::string::npos) << run.out;
}

TEST_F(ReplayCommand, ADataFileIsRefusedWithExitTwo) {
  const CliRun run =
      Replay(fs::path(TARVIK_SOURCE_DIR) / "examples" / "yellowfin_epo_1934_1955.txt");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Ошибка: Файл оценки"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());
}

}  // namespace
