#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace tarvik::cli {

// tarvik-cli replay FILE.tarvik [--report OUT.txt] [--json]: the steps of a
// saved assessment run again without a window, each result compared with
// the file's fingerprint.
struct ReplayCommandOptions {
  std::string File;
  std::string Report;  // the TAC report as «Сохранить в файл» writes it (empty: none)
  bool Json = false;
};

// The exit code when a result differs from the file's fingerprint.
inline constexpr int kFingerprintDiffers = 3;

struct ReplayCommandResult {
  std::string Output;
  int ExitCode = 0;  // 0, or kFingerprintDiffers
};

CLI::App* AddReplayCommand(CLI::App& app, ReplayCommandOptions& options);
ReplayCommandResult RunReplayCommand(const ReplayCommandOptions& options);

}  // namespace tarvik::cli
