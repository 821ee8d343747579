#pragma once

#include "support/scratch_path.h"
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarvik::cli::testing {

// What one run of tarvik-cli printed and returned.
struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `tarvik-cli <arguments>` (arguments as the shell takes them) in the
// source directory, with stdout and stderr captured.
inline CliRun RunCli(const std::string& arguments) {
  const std::filesystem::path dir = tarvik::testing_support::ScratchPath("tarvik_cli_run");
  std::filesystem::create_directories(dir);
  const std::filesystem::path out = dir / "tarvik_cli_test_out.txt";
  const std::filesystem::path err = dir / "tarvik_cli_test_err.txt";
  const std::string command = std::string("cd '") + TARVIK_SOURCE_DIR + "' && '" + TARVIK_CLI +
                              "' " + arguments + " > '" + out.string() + "' 2> '" + err.string() +
                              "'";
  const int status = std::system(command.c_str());
  CliRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadAll(out);
  run.err = ReadAll(err);
  std::filesystem::remove_all(dir);
  return run;
}

}  // namespace tarvik::cli::testing
