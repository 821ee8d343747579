#include "common/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#ifdef _WIN32
#include <windows.h>
#endif
#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "common/error.h"
#include "support/error_of.h"
#include "support/posix_only.h"
#include "support/scratch_files.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using testing_support::ErrorOf;

class Files : public testing_support::ScratchFiles {};

// ------------------------------------------------------------------ reading

TEST_F(Files, ReadingRefusesADeviceBeforeReadingAByte) {
  // /dev/zero has no end: reading it would fill the memory; Windows' null
  // device is a device as much.
#ifdef _WIN32
  const std::string device = "NUL";
#else
  const std::string device = "/dev/zero";
#endif
  const std::string message = ErrorOf([&] { ReadRegularFile(device, 1024, "Файл данных"); });
  EXPECT_NE(message.find("«" + device + "»: это устройство, а не обычный файл"), std::string::npos)
      << message;
}

#ifdef _WIN32
TEST_F(Files, ReadingRefusesANamedPipeOfWindows) {
  const std::string pipe = "\\\\.\\pipe\\tarvik-test-" + std::to_string(::GetCurrentProcessId());
  const std::wstring wide(pipe.begin(), pipe.end());
  const HANDLE server = ::CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1,
                                           1024, 1024, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const std::string message = ErrorOf([&] { ReadRegularFile(pipe, 1024, "Файл данных"); });
  ::CloseHandle(server);
  EXPECT_NE(message.find("это именованный канал, а не обычный файл"), std::string::npos) << message;
}
#endif

TEST_F(Files, ReadingRefusesANamedPipeWithoutWaitingForAWriter) {
  TARVIK_POSIX_ONLY("mkfifo");
#ifndef _WIN32
  const std::string pipe = Path("pipe.txt");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  auto reading = std::async(std::launch::async, [&] {
    return ErrorOf([&] { ReadRegularFile(pipe, 1024, "Файл данных"); });
  });
  // A reader that opens the pipe waits for a writer for ever; the guard lets
  // a blocked reader go (by writing) so that the test fails instead of hanging.
  if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    FAIL() << "reading the pipe blocked";
  }
  const std::string message = reading.get();
  EXPECT_NE(message.find("это именованный канал, а не обычный файл"), std::string::npos) << message;
#endif
}

TEST_F(Files, ReadingRefusesAFolderAndAFileAboveTheLimit) {
  EXPECT_NE(ErrorOf([&] { ReadRegularFile(folder_.string(), 1024); }).find("это папка"),
            std::string::npos);
  const std::string big = Path("big.txt");
  Spit(big, std::string(1025, 'x'));
  EXPECT_EQ(ReadRegularFile(big, 1025), std::string(1025, 'x'));
  const std::string message = ErrorOf([&] { ReadRegularFile(big, 1024, "Файл данных"); });
  EXPECT_NE(message.find("Файл данных «" + big + "» слишком велик"), std::string::npos) << message;
  // The reason of a missing file is given in Russian.
  EXPECT_NE(ErrorOf([&] {
              ReadRegularFile(Path("absent.txt"), 1024);
            }).find("файл или папка не существует"),
            std::string::npos);
}

// ------------------------------------------------------------------ writing

TEST_F(Files, WritingThroughALinkReplacesItsTargetAndKeepsTheLink) {
  TARVIK_POSIX_ONLY("symbolic links");
  fs::create_directories(folder_ / "store");
  const std::string target = Path("store/data.txt");
  Spit(target, "old");
  fs::create_symlink("store/data.txt", folder_ / "link.txt");  // relative to the link's folder

  WriteFileAtomically(Path("link.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.txt"));
  EXPECT_EQ(Slurp(target), "new");
  EXPECT_EQ(Entries(), 2u);  // the folder and the link, no temporary file

  // A link to a file that does not exist yet creates that file.
  fs::create_symlink("store/fresh.txt", folder_ / "dangling.txt");
  WriteFileAtomically(Path("dangling.txt"), "fresh");
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.txt"));
  EXPECT_EQ(Slurp(Path("store/fresh.txt")), "fresh");
}

TEST_F(Files, WritingKeepsTheModeAndRefusesAReadOnlyFile) {
  // Windows has the read-only attribute only: the refusal holds there too.
#ifdef _WIN32
  constexpr bool kModeBits = false;
#else
  constexpr bool kModeBits = true;
#endif
  const std::string path = Path("data.txt");
  Spit(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  WriteFileAtomically(path, "new");
  if (kModeBits) {
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  }

  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
  const std::string message = ErrorOf([&] { WriteFileAtomically(path, "lost"); });
  EXPECT_NE(message.find("защищён от записи"), std::string::npos) << message;
  EXPECT_EQ(Slurp(path), "new");
  if (kModeBits) {
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::group_read);
  }
  EXPECT_EQ(Entries(), 1u);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);  // removable again
}

TEST_F(Files, WritingRefusesAFolderAndReportsAMissingOneInRussian) {
  fs::create_directories(folder_ / "folder.txt");
  EXPECT_NE(ErrorOf([&] { WriteFileAtomically(Path("folder.txt"), "x"); }).find("это папка"),
            std::string::npos);
  const std::string message = ErrorOf([&] { WriteFileAtomically(Path("no/such.txt"), "x"); });
  EXPECT_NE(message.find("файл или папка не существует"), std::string::npos) << message;
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(Files, AFileWithTheTemporaryNameIsNeitherFollowedNorOverwritten) {
  TARVIK_POSIX_ONLY("symbolic links");
  // Whatever lies beside the target under any name stays as it is.
  const std::string victim = Path("victim.txt");
  Spit(victim, "keep");
  for (int attempt = 0; attempt < 3; ++attempt) {
    fs::create_symlink(victim, folder_ / (".tarvik-" + std::to_string(::getpid()) + "-" +
                                          std::to_string(attempt) + ".tmp"));
  }
  WriteFileAtomically(Path("out.txt"), "written");
  EXPECT_EQ(Slurp(victim), "keep");
  EXPECT_EQ(Slurp(Path("out.txt")), "written");
}

// ------------------------------------------------------ the data file itself

TEST_F(Files, SameFileComparesTheFilesNotTheirSpelling) {
  TARVIK_POSIX_ONLY("symbolic links");
  const std::string data = Path("y.txt");
  Spit(data, "data");
  fs::create_symlink(data, folder_ / "link.txt");
  fs::create_hard_link(data, folder_ / "hard.txt");
  EXPECT_TRUE(IsSameFile(data, (folder_ / "." / "y.txt").string()));
  EXPECT_TRUE(IsSameFile(data, Path("link.txt")));
  EXPECT_TRUE(IsSameFile(data, Path("hard.txt")));
  EXPECT_FALSE(IsSameFile(data, Path("other.txt")));  // does not exist
  EXPECT_FALSE(IsSameFile(data, ""));

  const std::string message =
      ErrorOf([&] { RefuseDataFile(Path("link.txt"), data, "Отчёт об ОДУ"); });
  EXPECT_NE(message.find("Отчёт об ОДУ нельзя записать в"), std::string::npos) << message;
  EXPECT_NE(message.find("это файл входных данных"), std::string::npos) << message;
  EXPECT_NO_THROW(RefuseDataFile(Path("other.txt"), data, "Отчёт об ОДУ"));
  EXPECT_NO_THROW(RefuseDataFile(data, "", "Отчёт об ОДУ"));
}

}  // namespace
}  // namespace tarvik
