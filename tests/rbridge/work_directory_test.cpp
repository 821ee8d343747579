#include "rbridge/work_directory.h"

#include <gtest/gtest.h>

#include <QDir>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace tarvik::rbridge {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;
using testing::WriteFile;

TEST(ChooseWorkDirectory, TakesTheFolderOfTheDataFile) {
  ScratchFolder data("data folder");
  WriteFile(data.path() / "series.txt", "x");
  const auto choice = ChooseWorkDirectory((data.path() / "series.txt").string(), {});
  EXPECT_EQ(choice.Directory, data.str());
  EXPECT_TRUE(choice.Message.empty());
}

TEST(ChooseWorkDirectory, TakesTheCurrentFolderWhenNoFileWasOpened) {
  ScratchFolder current("current");
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(current.str())));
  const auto choice = ChooseWorkDirectory("", {});
  QDir::setCurrent(before);
  EXPECT_EQ(choice.Directory, fs::canonical(current.path()).string());
  EXPECT_TRUE(choice.Message.empty());
}

TEST(ChooseWorkDirectory, FallsBackToAWritableFolderAndSaysWhere) {
  ScratchFolder fallbackRoot("cache");
  const std::string fallback = (fallbackRoot.path() / "tarvik").string();
  // /proc takes no new files, not even from root.
  const auto choice = ChooseWorkDirectory("/proc/series.txt", {"/proc/tarvik", fallback});
  EXPECT_EQ(choice.Directory, fallback);
  EXPECT_TRUE(fs::is_directory(fallback));  // created on demand
  EXPECT_NE(choice.Message.find("«/proc»"), std::string::npos) << choice.Message;
  EXPECT_NE(choice.Message.find("«" + fallback + "»"), std::string::npos) << choice.Message;
}

TEST(ChooseWorkDirectory, FallsBackWhenTheDataFolderIsGone) {
  ScratchFolder fallback("fallback");
  const auto choice = ChooseWorkDirectory("/nonexistent/folder/series.txt", {fallback.str()});
  EXPECT_EQ(choice.Directory, fallback.str());
  EXPECT_FALSE(choice.Message.empty());
}

TEST(ChooseWorkDirectory, KeepsThePreferredFolderWhenNothingIsWritable) {
  const auto choice = ChooseWorkDirectory("/proc/series.txt", {"/proc/a", "/proc/b"});
  EXPECT_EQ(choice.Directory, "/proc");
  EXPECT_NE(choice.Message.find("недоступна для записи"), std::string::npos);
}

TEST(IsWritableDirectory, LeavesNoProbeFileBehind) {
  ScratchFolder folder("probe");
  EXPECT_TRUE(IsWritableDirectory(folder.str()));
  EXPECT_TRUE(fs::is_empty(folder.path()));
  EXPECT_FALSE(IsWritableDirectory((folder.path() / "missing").string()));
}

TEST(DefaultFallbackDirectories, PrefersTheUserCacheFolder) {
  const auto dirs = DefaultFallbackDirectories();
  ASSERT_FALSE(dirs.empty());
  if (const char* home = std::getenv("HOME"); home && !std::getenv("XDG_CACHE_HOME")) {
    EXPECT_EQ(dirs.front(), std::string(home) + "/.cache/tarvik");
  }
  EXPECT_NE(dirs.back().find("tarvik"), std::string::npos);
}

}  // namespace
}  // namespace tarvik::rbridge

namespace tarvik::rbridge {
namespace {

using testing::ScratchFolder;

TEST(ChooseWritableDirectory, CreatesAMissingFolder) {
  ScratchFolder root("root");
  const std::string wanted = (root.path() / "a" / "b c").string();
  const auto choice = ChooseWritableDirectory(wanted, {});
  EXPECT_EQ(choice.Directory, wanted);
  EXPECT_TRUE(std::filesystem::is_directory(wanted));
  EXPECT_TRUE(choice.Message.empty());
}

TEST(ChooseWritableDirectory, FallsBackFromAFolderThatCannotBeWritten) {
  ScratchFolder fallback("fallback");
  const auto choice = ChooseWritableDirectory("/proc/sys", {fallback.str()});
  EXPECT_EQ(choice.Directory, fallback.str());
  EXPECT_NE(choice.Message.find("«/proc/sys»"), std::string::npos) << choice.Message;
}

}  // namespace
}  // namespace tarvik::rbridge
