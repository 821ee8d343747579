// The help of the program and of its subcommands speaks Russian, with the
// descriptions in one column, and --version gives the project's version.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli_run.h"
#include "tarvik_version.h"

namespace tarvik::cli {
namespace {

using testing::CliRun;
using testing::RunCli;

// Characters of a UTF-8 text before byte `end`.
std::size_t Column(const std::string& line, std::size_t end) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < end; ++i)
    count += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
  return count;
}

TEST(CommandLineHelp, IsRussianAndAligned) {
  for (const char* arguments : {"--help", "assess --help", "estimate --help", "diagnose --help"}) {
    SCOPED_TRACE(arguments);
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Использование:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Параметры:"), std::string::npos) << run.out;
    for (const char* english :
         {"Usage", "Options", "OPTIONS", "Subcommands", "SUBCOMMAND", "Positionals", "REQUIRED",
          "TEXT", "INT", "Print this", "Display program"}) {
      EXPECT_EQ(run.out.find(english), std::string::npos) << english << " in\n" << run.out;
    }
    // Every description that shares a line with its option starts in the
    // same column, whatever alphabet the option's labels are in.
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
      const std::size_t gap = line.find("  ", 2);
      if (line.rfind("  -", 0) != 0 || gap == std::string::npos) continue;
      const std::size_t text = line.find_first_not_of(' ', gap);
      EXPECT_EQ(Column(line, text), 32u) << line;
    }
  }
  const CliRun version = RunCli("--version");
  EXPECT_EQ(version.out, std::string("tarvik-cli ") + kVersion + "\n");
}

}  // namespace
}  // namespace tarvik::cli
