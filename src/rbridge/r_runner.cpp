#include "rbridge/r_runner.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarvik::rbridge {
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const char* kExecutable = "R.exe";
constexpr char kSeparator = '\\';
#else
constexpr const char* kExecutable = "R";
constexpr char kSeparator = '/';
#endif

bool IsExecutableFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
#ifdef _WIN32
  return true;
#else
  const auto perms = fs::status(path, ec).permissions();
  return !ec && (perms & fs::perms::owner_exec) != fs::perms::none;
#endif
}

std::string WithTrailingSeparator(std::string dir) {
  if (dir.empty() || dir.back() != kSeparator) dir.push_back(kSeparator);
  return dir;
}

}  // namespace

std::vector<std::string> DefaultRSearchPath() {
  std::vector<std::string> dirs;
#ifdef _WIN32
  dirs.push_back("C:\\Program Files\\");
#else
  if (const char* path = std::getenv("PATH")) {
    std::string all(path);
    std::size_t start = 0;
    while (start <= all.size()) {
      const std::size_t end = std::min(all.find(':', start), all.size());
      if (end > start) dirs.push_back(all.substr(start, end - start));
      start = end + 1;
    }
  }
  dirs.push_back("/usr/lib/R/bin");
  dirs.push_back("/usr/local/lib/R/bin");
  std::error_code ec;
  if (fs::is_directory("/opt/R", ec)) {
    std::vector<std::string> versions;
    for (const auto& entry : fs::directory_iterator("/opt/R", ec)) {
      versions.push_back((entry.path() / "bin").string());
    }
    std::sort(versions.rbegin(), versions.rend());  // newest version first
    dirs.insert(dirs.end(), versions.begin(), versions.end());
  }
#endif
  return dirs;
}

std::string LocateR(const std::vector<std::string>& searchPath) {
  for (const auto& dir : searchPath) {
#ifdef _WIN32
    // The whole tree under the folder is searched, as the installer puts R
    // under "R\R-x.y.z\bin".
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             dir, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->path().filename() == kExecutable && IsExecutableFile(it->path())) {
        return WithTrailingSeparator(it->path().parent_path().string());
      }
    }
#else
    if (IsExecutableFile(fs::path(dir) / kExecutable)) return WithTrailingSeparator(dir);
#endif
  }
  return kRNotFound;
}

}  // namespace tarvik::rbridge
