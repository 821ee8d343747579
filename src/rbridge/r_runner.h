#pragma once

#include <string>
#include <vector>

namespace tarvik::rbridge {

// The literal value of RDirectory when R was not found.
inline constexpr const char* kRNotFound = "Not found";

// The folders where R is looked for, in order: every entry of PATH, then the
// usual install folders (/usr/lib/R/bin, /usr/local/lib/R/bin, /opt/R/*/bin).
// On Windows: "C:\Program Files\" searched as a tree for R.exe.
std::vector<std::string> DefaultRSearchPath();

// Looks for the R executable ("R", "R.exe" on Windows) in the given folders.
// Returns its directory with a trailing separator, or kRNotFound.
std::string LocateR(const std::vector<std::string>& searchPath = DefaultRSearchPath());

}  // namespace tarvik::rbridge
