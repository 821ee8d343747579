#pragma once

#include <string>
#include <vector>

namespace tarvik::rbridge {

// Where the files for R ("OutMatrix.txt", the scripts) and the pictures R
// draws go.
struct WorkDirectoryChoice {
  std::string Directory;  // absolute folder, without a trailing separator (UTF-8)
  std::string Message;    // Russian note when a fallback folder was taken; else empty
};

// The per-user folders tried, in order, when the preferred folder cannot be
// written: $XDG_CACHE_HOME/tarvik, ~/.cache/tarvik, then <temp>/tarvik-<user>
// (Windows: %LOCALAPPDATA%\tarvik, then the temp folder).
std::vector<std::string> DefaultFallbackDirectories();

// The folder of the data file last opened, or the current folder when no
// file was opened (dataFileName empty). When that folder cannot be written
// (read-only, missing, no rights), the first writable fallback folder is
// taken (created if needed) and Message says where the files go. When no
// folder at all can be written, Directory is the preferred folder and
// Message says so; writing the files then fails with its own error.
WorkDirectoryChoice ChooseWorkDirectory(
    const std::string& dataFileName,
    const std::vector<std::string>& fallbacks = DefaultFallbackDirectories());

// The same for a folder given directly (created when missing): the folder
// itself when it can be written, else the first writable fallback folder.
WorkDirectoryChoice ChooseWritableDirectory(
    const std::string& preferred,
    const std::vector<std::string>& fallbacks = DefaultFallbackDirectories());

// Whether a file can be created in the folder (tried by creating and removing
// a temporary file).
bool IsWritableDirectory(const std::string& directory);

}  // namespace tarvik::rbridge
