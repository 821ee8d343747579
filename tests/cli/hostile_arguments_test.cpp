// Bad arguments and hostile paths on the command line: every one ends with a
// Russian message and exit code 2, before any long work, and no output ever
// replaces the data file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli_run.h"
#include "support/posix_only.h"
#include "support/scratch_files.h"

namespace tarvik::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ReadAll;
using testing::RunCli;
using testing::RunCliIn;

const std::string kExample = "examples/yellowfin_epo_1934_1955.txt";

void ExpectRussianFailure(const CliRun& run, const std::string& expected) {
  EXPECT_EQ(run.exitCode, 2) << run.err;
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_NE(run.err.find("Ошибка: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
  for (const char* english : {"Could not convert", "not expected", "is required", "Expected",
                              "Is a directory", "No such file", "bad_alloc"}) {
    EXPECT_EQ(run.err.find(english), std::string::npos) << run.err;
  }
}

class HostilePaths : public tarvik::testing_support::ScratchFiles {
 protected:
  void SetUp() override {
    ScratchFiles::SetUp();
    fs::copy_file(fs::path(TARVIK_SOURCE_DIR) / kExample, folder_ / "y.txt");
    data_ = ReadAll(folder_ / "y.txt");
  }

  CliRun Assess(const std::string& report) {
    return RunCliIn(folder_.string(),
                    "assess y.txt --variants 0 --variant 'Шефер СК' "
                    "--rule linear:0.3 --runs 10 --report '" +
                        report + "'");
  }

  std::string data_;
};

TEST_F(HostilePaths, TheReportNeverReplacesTheDataFile) {
  for (const std::string& spelling :
       {std::string("y.txt"), std::string("./y.txt"), (folder_ / "y.txt").string()}) {
    const CliRun run = Assess(spelling);
    ExpectRussianFailure(
        run, "Отчёт об ОДУ нельзя записать в «" + spelling + "»: это файл входных данных");
    EXPECT_EQ(ReadAll(folder_ / "y.txt"), data_) << spelling;
  }
  // Nor does the chart image that goes beside the report.
  fs::copy_file(folder_ / "y.txt", folder_ / "r.jpg");
  const CliRun run = RunCliIn(folder_.string(),
                              "assess r.jpg --variants 0 --variant 'Шефер СК' --rule linear:0.3 "
                              "--runs 10 --report r.txt");
  ExpectRussianFailure(run, "Рисунок прогноза к отчёту нельзя записать");
  EXPECT_FALSE(fs::exists(folder_ / "r.txt"));
}

TEST_F(HostilePaths, AReportIntoAFolderIsRefusedInRussian) {
  ExpectRussianFailure(Assess(folder_.string()), "это папка, а не файл");
}

TEST_F(HostilePaths, ADeviceOrAPipeIsRefusedAtOnce) {
#ifdef _WIN32
  ExpectRussianFailure(RunCli("estimate NUL"), "«NUL»: это устройство");
#else
  ExpectRussianFailure(RunCli("estimate /dev/zero"), "«/dev/zero»: это устройство");
  ASSERT_EQ(::mkfifo((folder_ / "pipe.txt").c_str(), 0600), 0);
  // The time limit only keeps a faulty build from hanging the test run.
  ExpectRussianFailure(RunCliIn(folder_.string(), "estimate pipe.txt"), "именованный канал");
#endif
}

TEST_F(HostilePaths, AResultThatCannotBeWrittenIsAFailure) {
  TARVIK_POSIX_ONLY("/dev/full");
#ifndef _WIN32
  // stdout on a full disk: the result is lost, so the run did not succeed.
  const fs::path err = folder_ / "err.txt";
  const std::string command = "cd '" + folder_.string() + "' && '" + TARVIK_CLI +
                              "' estimate y.txt --variants 0 > /dev/full 2> '" + err.string() + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(ReadAll(err).find("не удалось вывести результат: на диске нет свободного места"),
            std::string::npos)
      << ReadAll(err);
#endif
}

TEST(CliArguments, ThreadCountIsBounded) {
  ExpectRussianFailure(RunCli("estimate " + kExample + " --threads 100000"),
                       "Параметр --threads: число потоков от 0 (все ядра) до 64, задано 100000");
  ExpectRussianFailure(RunCli("estimate " + kExample + " --threads -1"), "--threads");
}

TEST(CliArguments, ParseErrorsAreRussian) {
  ExpectRussianFailure(RunCli("estimate " + kExample + " --trim abc"),
                       "параметр --trim: значение «abc» не является целым числом");
  ExpectRussianFailure(RunCli("estimate " + kExample + " extra words"),
                       "лишние или неизвестные аргументы: extra words");
  ExpectRussianFailure(RunCli("estimate " + kExample + " --trim"),
                       "параметру --trim нужно значение");
  ExpectRussianFailure(RunCli("estimate"), "не задан обязательный параметр ФАЙЛ");
}

TEST(CliArguments, InvertedBoundsNameTheField) {
  ExpectRussianFailure(RunCli("estimate " + kExample + " --bounds 1,0.1,,,,"),
                       "Нижняя граница r «1» больше верхней «0.1»");
}

TEST(CliArguments, EveryOptionIsCheckedBeforeTheDataFileIsRead) {
  // The variant is named, not the missing file: nothing was read yet.
  ExpectRussianFailure(RunCli("assess no_such_file.txt --variant 'Нет такого' --rule linear:0.3"),
                       "Нет варианта модели «Нет такого»");
  ExpectRussianFailure(RunCli("surface no_such_file.txt --variant 'Шефер СК' --r-time-limit 0"),
                       "Параметр --r-time-limit");
}

TEST(CliArguments, AMegabyteArgumentGivesAShortMessage) {
  TARVIK_POSIX_ONLY("Windows' command lines hold at most 32767 characters");
  const CliRun run =
      RunCli("estimate " + kExample + " --cutoffs " + std::string(100000, '7') + "x");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_LT(run.err.size(), 300u) << run.err.substr(0, 300);
}

}  // namespace
}  // namespace tarvik::cli
