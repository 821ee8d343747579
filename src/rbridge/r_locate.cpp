// Where R is looked for: the search path of each system and the choice among
// the candidates (without Qt, so that the command line needs no Qt for it).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "common/platform.h"
#include "rbridge/r_runner.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

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

std::string WithoutTrailingSeparators(std::string dir) {
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The numbers of a version folder "R-4.3.1" ({4, 3, 1}); empty when the name
// is "R-" followed by anything else ("R-devel").
std::vector<long> VersionOf(const std::string& name) {
  std::vector<long> numbers;
  std::size_t i = 2;
  while (i < name.size()) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return {};
    long value = 0;
    for (int digits = 0; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]));
         ++i, ++digits) {
      if (digits == 9) return {};
      value = value * 10 + (name[i] - '0');
    }
    numbers.push_back(value);
    if (i < name.size() && name[i++] != '.') return {};
    if (i == name.size() && name.back() == '.') return {};
  }
  return numbers;
}

#ifdef _WIN32
// HKLM\SOFTWARE\R-core\R → InstallPath (the 64-bit view), UTF-8; empty when
// R's installer did not write it.
std::string RegistryInstallPath() {
  DWORD bytes = 0;
  const wchar_t* key = L"SOFTWARE\\R-core\\R";
  const DWORD flags = RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, L"InstallPath", flags, nullptr, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      bytes < sizeof(wchar_t)) {
    return {};
  }
  std::u16string value(bytes / sizeof(wchar_t), u'\0');
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, L"InstallPath", flags, nullptr, value.data(),
                     &bytes) != ERROR_SUCCESS) {
    return {};
  }
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == u'\0') value.pop_back();
  return platform::Utf8FromUtf16(value);
}

std::string ProgramFilesFolder() {
  const wchar_t* value = ::_wgetenv(L"ProgramFiles");
  if (value == nullptr || *value == L'\0') return "C:\\Program Files";
  const std::wstring_view text(value);
  return platform::Utf8FromUtf16(std::u16string(text.begin(), text.end()));
}
#endif

}  // namespace

std::vector<std::string> WindowsRCandidates(const std::string& registryInstallPath,
                                            const std::string& programFiles,
                                            const std::vector<std::string>& rFolderEntries) {
  std::vector<std::string> folders;
  if (!registryInstallPath.empty()) {
    folders.push_back(WithoutTrailingSeparators(registryInstallPath) + "\\bin");
  }
  // "R-x.y.z" folders, the newest version first (numbers compared as
  // numbers); other "R-…" names after them in their order by name.
  std::vector<std::pair<std::vector<long>, std::string>> versions;
  for (const std::string& entry : rFolderEntries) {
    if (entry.size() > 2 && (entry[0] == 'R' || entry[0] == 'r') && entry[1] == '-') {
      versions.emplace_back(VersionOf(entry), entry);
    }
  }
  std::sort(versions.begin(), versions.end(), [](const auto& a, const auto& b) {
    if (a.first.empty() != b.first.empty()) return b.first.empty();
    if (a.first != b.first) return a.first > b.first;
    return a.second < b.second;
  });
  const std::string base = WithoutTrailingSeparators(programFiles) + "\\R\\";
  for (const auto& version : versions) folders.push_back(base + version.second + "\\bin");
  // Windows' names ignore case: the registry's folder is usually one of them.
  std::vector<std::string> unique;
  for (const std::string& folder : folders) {
    const bool seen = std::any_of(unique.begin(), unique.end(), [&](const std::string& other) {
      return Lower(other) == Lower(folder);
    });
    if (!seen) unique.push_back(folder);
  }
  return unique;
}

std::vector<std::string> DefaultRSearchPath() {
  std::vector<std::string> dirs;
#ifdef _WIN32
  const std::string programFiles = ProgramFilesFolder();
  std::vector<std::string> entries;
  std::error_code ec;
  for (fs::directory_iterator it(platform::PathFromUtf8(programFiles + "\\R"), ec), end;
       !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec)) entries.push_back(platform::Utf8FromPath(it->path().filename()));
  }
  dirs = WindowsRCandidates(RegistryInstallPath(), programFiles, entries);
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
    if (IsExecutableFile(platform::PathFromUtf8(dir) / kExecutable)) {
      return WithTrailingSeparator(dir);
    }
  }
  return kRNotFound;
}

}  // namespace tarvik::rbridge
