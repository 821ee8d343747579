#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tarvik::rbridge {

// The literal value of RDirectory when R was not found.
inline constexpr const char* kRNotFound = "Not found";

// The folders where R is looked for, in order: every entry of PATH, then the
// usual install folders (/usr/lib/R/bin, /usr/local/lib/R/bin, /opt/R/*/bin).
// On Windows: WindowsRCandidates of the registry's InstallPath
// (HKLM\SOFTWARE\R-core\R) and the folders under %ProgramFiles%\R.
std::vector<std::string> DefaultRSearchPath();

// R for Windows' "bin" folders (where R.exe and Rscript.exe are), best first:
// `registryInstallPath` + "\bin" (when not empty), then
// `programFiles`\R\<entry>\bin for each entry "R-x.y.z" of that folder,
// the newest version first (4.10.0 before 4.9.3), other "R-…" names after
// them; a folder named twice (in any case) only once.
std::vector<std::string> WindowsRCandidates(const std::string& registryInstallPath,
                                            const std::string& programFiles,
                                            const std::vector<std::string>& rFolderEntries);

// Looks for the R executable ("R", "R.exe" on Windows, the program R CMD
// BATCH needs; Rscript.exe lies beside it) in the given folders.
// Returns its directory with a trailing separator, or kRNotFound.
std::string LocateR(const std::vector<std::string>& searchPath = DefaultRSearchPath());

// How long R may run before it is stopped.
inline constexpr std::chrono::milliseconds kDefaultRTimeLimit{120000};

// One batch run of an R script that draws pictures.
struct RScriptRun {
  std::string RDirectory;  // as LocateR returned it; kRNotFound means R is not run
  std::string ScriptPath;  // the script; R runs with the script's folder as working folder
  std::vector<std::string> Pictures;  // file names R must draw, in the script's folder
  std::chrono::milliseconds TimeLimit = kDefaultRTimeLimit;
};

enum class RRunStatus {
  Done,             // R ended normally and every picture is there
  RNotFound,        // RDirectory is kRNotFound: R was not run
  StartFailed,      // the R program could not be started
  TimedOut,         // R ran past the time limit and was stopped
  PicturesMissing,  // R ended, but at least one picture is not there
  RFailed,          // R ended with an error although every picture is there
  NothingToDraw,    // the run has no pictures (piecewise-linear optimisation): R was not run
};

struct RScriptResult {
  RRunStatus Status = RRunStatus::RNotFound;
  bool Ok = false;      // Status == Done
  std::string Message;  // Russian text for the user; empty when Ok
  std::string LogTail;  // the last lines of R's log (<script name without .R>.Rout)
  int ExitCode = -1;    // R's exit code when it ended by itself
};

// Runs `R CMD BATCH --no-restore --no-save <script name> <log name>` in the
// script's folder and waits for its end (at most run.TimeLimit; then R and
// the processes it started are stopped). The program and its arguments are
// passed as a list, never through a shell, so blanks and quotes in the
// folder's name are harmless. R gets a UTF-8 locale (LANG = LC_ALL =
// C.UTF-8 outside Windows) so that \u escapes in the script's strings give
// Cyrillic titles. Pictures and the log left by an earlier run are removed
// first, so a picture found afterwards was drawn by this run. Never throws
// for R's own failures: the result says what happened.
RScriptResult RunRScript(const RScriptRun& run);

// The last `lines` lines of a text file (empty when it cannot be read).
std::string LastLines(const std::string& path, int lines = 10);

}  // namespace tarvik::rbridge
