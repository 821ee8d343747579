#pragma once

#include "support/scratch_path.h"
#ifdef _WIN32
#include "common/platform.h"
#else
#include <sys/wait.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

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

// Width and height from a BMP file's header (offsets 18 and 22,
// little-endian; a negative height means top-down rows); {-1, -1} when the
// file is not a BMP.
inline std::pair<std::int32_t, std::int32_t> BmpSize(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char h[26] = {};
  in.read(reinterpret_cast<char*>(h), sizeof h);
  if (!in || h[0] != 'B' || h[1] != 'M') return {-1, -1};
  const auto at = [&](int o) {
    return static_cast<std::int32_t>(h[o] | h[o + 1] << 8 | h[o + 2] << 16 |
                                     static_cast<std::uint32_t>(h[o + 3]) << 24);
  };
  const std::int32_t height = at(22);
  return {at(18), height < 0 ? -height : height};
}

// Runs `tarvik-cli <arguments>` (arguments as the shell takes them) in
// `folder`, with stdout and stderr captured.
inline CliRun RunCliIn(const std::string& folder, const std::string& arguments) {
  const std::filesystem::path dir = tarvik::testing_support::ScratchPath("tarvik_cli_run");
  std::filesystem::create_directories(dir);
  const std::filesystem::path out = dir / "tarvik_cli_test_out.txt";
  const std::filesystem::path err = dir / "tarvik_cli_test_err.txt";
#ifdef _WIN32
  // cmd.exe takes the arguments: the shell's single quotes become double
  // quotes, and the whole command goes as UTF-16 so that Cyrillic survives.
  std::string windowsArguments = arguments;
  for (char& c : windowsArguments) c = c == '\'' ? '"' : c;
  const std::string command = "cd /d \"" + folder + "\" && \"" + TARVIK_CLI + "\" " +
                              windowsArguments + " > \"" + out.string() + "\" 2> \"" +
                              err.string() + "\"";
  const std::u16string wide = tarvik::platform::Utf16FromUtf8(command);
  const int status = ::_wsystem(reinterpret_cast<const wchar_t*>(wide.c_str()));
  CliRun run;
  run.exitCode = status;
#else
  const std::string command = "cd '" + folder + "' && '" + TARVIK_CLI + "' " + arguments + " > '" +
                              out.string() + "' 2> '" + err.string() + "'";
  const int status = std::system(command.c_str());
  CliRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.out = ReadAll(out);
  run.err = ReadAll(err);
  std::filesystem::remove_all(dir);
  return run;
}

// The same in the source directory.
inline CliRun RunCli(const std::string& arguments) {
  return RunCliIn(TARVIK_SOURCE_DIR, arguments);
}

}  // namespace tarvik::cli::testing
