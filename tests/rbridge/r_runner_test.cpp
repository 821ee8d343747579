#include "rbridge/r_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "rules/optimisation_files.h"
#include "rules/optimisation_grid.h"
#include "test_support.h"

namespace tarvik::rbridge {
namespace {

namespace fs = std::filesystem;
using testing::BmpSize;
using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

bool RInstalled() {
  return LocateR() != kRNotFound;
}

// How many processes have the folder as their working folder (Linux /proc).
int ProcessesWorkingIn(const fs::path& folder) {
  int count = 0;
  std::error_code ec;
  const fs::path wanted = fs::canonical(folder, ec);
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code linkError;
    const fs::path cwd = fs::read_symlink(entry.path() / "cwd", linkError);
    if (!linkError && cwd == wanted) ++count;
  }
  return count;
}

// ---- Locating R -----------------------------------------------------------

TEST(LocateR, FindsTheInstalledRWithATrailingSeparator) {
  if (!RInstalled()) GTEST_SKIP() << "R is not installed";
  const std::string dir = LocateR();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(fs::exists(dir + "R"));
}

TEST(LocateR, FindsRInTheLibraryFolderWhenPathLacksIt) {
  if (!fs::exists("/usr/lib/R/bin/R")) GTEST_SKIP() << "no /usr/lib/R/bin/R";
  EXPECT_EQ(LocateR({"/nonexistent/folder", "/usr/lib/R/bin"}), "/usr/lib/R/bin/");
}

TEST(LocateR, ReportsNotFoundWhenNoFolderHoldsR) {
  ScratchFolder empty("empty");
  EXPECT_EQ(LocateR({empty.str(), "/nonexistent/folder"}), "Not found");
  EXPECT_EQ(LocateR({}), "Not found");
}

TEST(LocateR, IgnoresAFileNamedRThatCannotBeExecuted) {
  ScratchFolder folder("plain");
  WriteFile(folder.path() / "R", "not a program\n");
  fs::permissions(folder.path() / "R", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(LocateR({folder.str()}), kRNotFound);
  fs::permissions(folder.path() / "R", fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_EQ(LocateR({folder.str()}), folder.str() + "/");
}

TEST(LocateR, TakesTheFirstFolderInSearchOrder) {
  ScratchFolder first("first");
  ScratchFolder second("second");
  for (const auto* folder : {&first, &second}) {
    WriteFile(folder->path() / "R", "#!/bin/sh\n");
    fs::permissions(folder->path() / "R", fs::perms::owner_all);
  }
  EXPECT_EQ(LocateR({second.str(), first.str()}), second.str() + "/");
}

TEST(DefaultRSearchPath, EndsWithTheUsualInstallFolders) {
  const auto dirs = DefaultRSearchPath();
  ASSERT_GE(dirs.size(), 2u);
  EXPECT_NE(std::find(dirs.begin(), dirs.end(), "/usr/lib/R/bin"), dirs.end());
  EXPECT_NE(std::find(dirs.begin(), dirs.end(), "/usr/local/lib/R/bin"), dirs.end());
}

// ---- The log tail -----------------------------------------------------------

TEST(LastLines, KeepsTheLastLinesWithoutTrailingBlankLines) {
  ScratchFolder folder("log");
  WriteFile(folder.path() / "a.Rout", "one\r\ntwo\r\nthree\r\nfour\r\n\r\n");
  EXPECT_EQ(LastLines((folder.path() / "a.Rout").string(), 2), "three\nfour");
  EXPECT_EQ(LastLines((folder.path() / "a.Rout").string(), 10), "one\ntwo\nthree\nfour");
  EXPECT_EQ(LastLines((folder.path() / "missing.Rout").string(), 3), "");
}

// ---- Running R ---------------------------------------------------------------

// A full 51 × 51 logistic grid with smooth made-up indicators: the pictures
// only need numbers that vary over the grid.
std::vector<rules::CandidateIndicators> MadeUpCells() {
  const auto alphas = rules::LogisticAlphas();
  const auto betas = rules::LogisticBetas();
  std::vector<rules::CandidateIndicators> cells;
  for (double a : alphas) {
    for (double b : betas) {
      cells.push_back({1000.0 + 10.0 * a - 300.0 * b * b, 50000.0 - 900.0 * a + 2000.0 * b,
                       0.1 + 0.01 * a * b, 0.5 * b / a});
    }
  }
  return cells;
}

TEST(RunRScript, GraphScriptDrawsFourPicturesInAFolderWithABlankAndAQuote) {
  if (!RInstalled()) GTEST_SKIP() << "R is not installed";
  ScratchFolder folder("my \"opt\" folder");
  const std::string script = rules::WriteOptimisationFiles(
      folder.str(), rules::LogisticAlphas(), rules::LogisticBetas(), MadeUpCells(), 0);

  const auto started = std::chrono::steady_clock::now();
  const RScriptResult result =
      RunRScript({LocateR(), script, rules::kOptimisationPictures, kDefaultRTimeLimit});
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);

  ASSERT_TRUE(result.Ok) << result.Message;
  EXPECT_EQ(result.Status, RRunStatus::Done);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_TRUE(result.Message.empty());
  for (const auto& picture : rules::kOptimisationPictures) {
    EXPECT_EQ(BmpSize(folder.path() / picture), std::make_pair(250, 193)) << picture;
  }
  // R's log lies beside the script and R left no workspace file there.
  EXPECT_TRUE(fs::exists(folder.path() / "Graph.Rout"));
  EXPECT_FALSE(fs::exists(folder.path() / ".RData"));
  EXPECT_LT(seconds.count(), 60.0);
}

TEST(RunRScript, WithoutRRunsNothingAndFailsNothing) {
  ScratchFolder empty("no R here");
  const std::string rDirectory = LocateR({empty.str()});
  ASSERT_EQ(rDirectory, kRNotFound);
  const std::string script = rules::WriteOptimisationFiles(
      empty.str(), rules::LogisticAlphas(), rules::LogisticBetas(), MadeUpCells(), 0);

  RScriptResult result;
  ASSERT_NO_THROW(result = RunRScript({rDirectory, script, rules::kOptimisationPictures}));
  EXPECT_EQ(result.Status, RRunStatus::RNotFound);
  EXPECT_FALSE(result.Ok);
  EXPECT_TRUE(fs::exists(empty.path() / "OutMatrix.txt"));
  EXPECT_TRUE(fs::exists(empty.path() / "Graph.R"));
  EXPECT_FALSE(fs::exists(empty.path() / "Graph.Rout"));  // R was not started
  EXPECT_FALSE(fs::exists(empty.path() / "graph.bmp"));
}

TEST(RunRScript, MissingPictureIsReportedWithTheEndOfTheLog) {
  if (!RInstalled()) GTEST_SKIP() << "R is not installed";
  ScratchFolder folder("broken");
  // A picture left by an earlier run must not count as drawn by this one.
  WriteFile(folder.path() / "graph5.bmp", "stale");
  WriteFile(folder.path() / "Graph2.R", "stop(\"no data for the surface\")\r\n");

  const RScriptResult result =
      RunRScript({LocateR(), (folder.path() / "Graph2.R").string(), {"graph5.bmp", "graph6.bmp"}});

  EXPECT_EQ(result.Status, RRunStatus::PicturesMissing);
  EXPECT_FALSE(result.Ok);
  EXPECT_NE(result.ExitCode, 0);
  EXPECT_FALSE(fs::exists(folder.path() / "graph5.bmp"));
  EXPECT_NE(result.Message.find("«graph5.bmp», «graph6.bmp»"), std::string::npos) << result.Message;
  EXPECT_NE(result.Message.find("Graph2.Rout"), std::string::npos) << result.Message;
  EXPECT_NE(result.LogTail.find("no data for the surface"), std::string::npos) << result.LogTail;
  EXPECT_NE(result.Message.find(result.LogTail), std::string::npos);
}

TEST(RunRScript, StopsRAfterTheTimeLimit) {
  if (!RInstalled()) GTEST_SKIP() << "R is not installed";
  ScratchFolder folder("slow");
  WriteFile(
      folder.path() / "slow.R",
      "Sys.sleep(30)\r\nbmp(\"late.bmp\", width = 10, height = 10)\r\nplot(1)\r\ndev.off()\r\n");

  const auto started = std::chrono::steady_clock::now();
  const RScriptResult result = RunRScript(
      {LocateR(), (folder.path() / "slow.R").string(), {"late.bmp"}, std::chrono::seconds(2)});
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);

  EXPECT_EQ(result.Status, RRunStatus::TimedOut);
  EXPECT_NE(result.Message.find("R не закончил работу за 2 с и был остановлен"), std::string::npos)
      << result.Message;
  EXPECT_LT(seconds.count(), 15.0);
  // R itself was stopped, not only the shell that started it: no process
  // works in the folder any more (a killed grandchild may take a moment).
  int left = ProcessesWorkingIn(folder.path());
  for (int wait = 0; wait < 30 && left > 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    left = ProcessesWorkingIn(folder.path());
  }
  EXPECT_EQ(left, 0);
}

TEST(RunRScript, AFailingRIsReportedWithItsExitCode) {
  // A stand-in for R that fails at once, as R does on a script error.
  ScratchFolder bin("fake R bin");
  WriteFile(bin.path() / "R", "#!/bin/sh\necho 'Error: no surface' > Graph2.Rout\nexit 3\n");
  fs::permissions(bin.path() / "R", fs::perms::owner_all);
  ScratchFolder folder("work");
  WriteFile(folder.path() / "Graph2.R", "1\r\n");
  const RScriptResult result = RunRScript(
      {bin.str() + "/", (folder.path() / "Graph2.R").string(), {"graph5.bmp", "graph6.bmp"}});
  EXPECT_EQ(result.Status, RRunStatus::PicturesMissing);
  EXPECT_EQ(result.ExitCode, 3);
  EXPECT_NE(result.Message.find("R завершился с ошибкой (код 3) и не построил рисунки"),
            std::string::npos)
      << result.Message;
  EXPECT_NE(result.Message.find("Error: no surface"), std::string::npos) << result.Message;
}

TEST(RunRScript, ReportsAProgramThatCannotStart) {
  ScratchFolder folder("fake R");
  WriteFile(folder.path() / "x.R", "1\r\n");
  // A folder that claims to hold R but does not.
  const RScriptResult result =
      RunRScript({folder.str() + "/", (folder.path() / "x.R").string(), {"x.bmp"}});
  EXPECT_EQ(result.Status, RRunStatus::StartFailed);
  EXPECT_NE(result.Message.find("Не удалось запустить R"), std::string::npos) << result.Message;
}

}  // namespace
}  // namespace tarvik::rbridge
