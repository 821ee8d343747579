// The Windows build without Qt (scripts/check-windows.sh): running R and
// choosing the work folder with the system's own calls. The Qt build uses
// r_runner.cpp and work_directory.cpp instead; both keep the interface and
// the Russian messages of those files.
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/platform.h"
#include "rbridge/r_runner.h"
#include "rbridge/work_directory.h"

namespace tarvik::rbridge {
namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = platform::Utf16FromUtf8(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Seconds(std::chrono::milliseconds limit) {
  const long long whole = limit.count() / 1000;
  const long long tenths = (limit.count() % 1000) / 100;
  return tenths == 0 ? std::to_string(whole) : std::to_string(whole) + "." + std::to_string(tenths);
}

std::string WithLog(std::string message, const std::string& logName, const std::string& tail) {
  if (tail.empty()) return message + " Журнал R (" + logName + ") пуст или не создан.";
  return message + " Последние строки журнала R (" + logName + "):\n" + tail;
}

std::string EndText(int exitCode) {
  if (exitCode == 0) return "R отработал, но ";
  if (exitCode < 0) return "R завершился аварийно и ";
  return "R завершился с ошибкой (код " + std::to_string(exitCode) + ") и ";
}

// One argument of a command line as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++slashes;
    } else {
      out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
      slashes = 0;
    }
    out.push_back(c);
  }
  out.append(2 * slashes, L'\\');
  return out + L"\"";
}

bool IsFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

std::string LastLines(const std::string& path, int lines) {
  std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
  if (lines <= 0 || !in) return {};
  constexpr std::streamoff kTailBytes = 64 * 1024;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(size > kTailBytes ? size - kTailBytes : 0);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> rows;
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = std::min(all.find('\n', start), all.size());
    std::string row = all.substr(start, end - start);
    if (!row.empty() && row.back() == '\r') row.pop_back();
    rows.push_back(row);
    start = end + 1;
  }
  const auto blank = [](const std::string& row) {
    return row.find_first_not_of(" \t\r\v\f") == std::string::npos;
  };
  while (!rows.empty() && blank(rows.back())) rows.pop_back();
  const std::size_t first = rows.size() > std::size_t(lines) ? rows.size() - lines : 0;
  std::string tail;
  for (std::size_t i = first; i < rows.size(); ++i) {
    if (!tail.empty()) tail += '\n';
    tail += rows[i];
  }
  return tail;
}

RScriptResult RunRScript(const RScriptRun& run) {
  RScriptResult result;
  if (run.RDirectory == kRNotFound || run.RDirectory.empty()) {
    result.Status = RRunStatus::RNotFound;
    result.Message = "R не найден: рисунки не построены.";
    return result;
  }
  std::error_code ec;
  const fs::path script = fs::absolute(platform::PathFromUtf8(run.ScriptPath), ec);
  const fs::path folder = script.parent_path();
  const std::string scriptName = platform::Utf8FromPath(script.filename());
  const std::string logName = platform::Utf8FromPath(script.stem()) + ".Rout";
  const std::string logPath = platform::Utf8FromPath(folder / platform::PathFromUtf8(logName));
  fs::remove(folder / platform::PathFromUtf8(logName), ec);
  for (const auto& picture : run.Pictures) fs::remove(folder / platform::PathFromUtf8(picture), ec);

  const std::string program = run.RDirectory + "R.exe";
  std::wstring commandLine = Quoted(Wide(program));
  for (const char* argument : {"CMD", "BATCH", "--no-restore", "--no-save"}) {
    commandLine += L" " + Quoted(Wide(argument));
  }
  commandLine += L" " + Quoted(Wide(scriptName)) + L" " + Quoted(Wide(logName));

  // R and whatever it starts belong to one job, stopped together.
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job != nullptr) {
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::wstring directory = folder.wstring();
  if (!::CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr,
                        directory.c_str(), &startup, &process)) {
    if (job != nullptr) ::CloseHandle(job);
    result.Status = RRunStatus::StartFailed;
    result.Message = "Не удалось запустить R (" + program +
                     "): программа не найдена или её нельзя запустить.";
    return result;
  }
  if (job != nullptr) ::AssignProcessToJobObject(job, process.hProcess);
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);

  const auto limit = std::min<long long>(run.TimeLimit.count(), 0x7FFFFFFE);
  if (::WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit)) != WAIT_OBJECT_0) {
    if (job != nullptr) ::TerminateJobObject(job, 1);
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hProcess);
    if (job != nullptr) ::CloseHandle(job);
    result.Status = RRunStatus::TimedOut;
    result.LogTail = LastLines(logPath);
    result.Message = WithLog("R не закончил работу за " + Seconds(run.TimeLimit) +
                                 " с и был остановлен; рисунки не построены.",
                             logName, result.LogTail);
    return result;
  }
  DWORD exitCode = 0;
  if (::GetExitCodeProcess(process.hProcess, &exitCode)) result.ExitCode = int(exitCode);
  ::CloseHandle(process.hProcess);
  if (job != nullptr) ::CloseHandle(job);
  result.LogTail = LastLines(logPath);

  std::vector<std::string> missing;
  for (const auto& picture : run.Pictures) {
    if (!IsFile(folder / platform::PathFromUtf8(picture))) missing.push_back(picture);
  }
  if (!missing.empty()) {
    std::string names;
    for (const auto& name : missing) names += (names.empty() ? "«" : ", «") + name + "»";
    result.Status = RRunStatus::PicturesMissing;
    result.Message =
        WithLog(EndText(result.ExitCode) +
                    (missing.size() == 1 ? "не построил рисунок " : "не построил рисунки ") +
                    names + " в папке «" + platform::Utf8FromPath(folder) + "».",
                logName, result.LogTail);
    return result;
  }
  if (result.ExitCode != 0) {
    result.Status = RRunStatus::RFailed;
    result.Message =
        WithLog("R завершился с ошибкой (код " + std::to_string(result.ExitCode) + ").", logName,
                result.LogTail);
    return result;
  }
  result.Status = RRunStatus::Done;
  result.Ok = true;
  return result;
}

namespace {

std::string Environment(const wchar_t* name) {
  const wchar_t* value = ::_wgetenv(name);
  if (value == nullptr) return {};
  const std::wstring_view text(value);
  return platform::Utf8FromUtf16(std::u16string(text.begin(), text.end()));
}

std::string Clean(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec).lexically_normal();
  std::string text = platform::Utf8FromPath(absolute.make_preferred());
  while (text.size() > 3 && text.back() == '\\') text.pop_back();  // "C:\" stays
  return text;
}

WorkDirectoryChoice Choose(const std::string& preferredText,
                           const std::vector<std::string>& fallbacks) {
  if (IsWritableDirectory(preferredText)) return {preferredText, {}};
  for (const auto& fallback : fallbacks) {
    const std::string text = Clean(platform::PathFromUtf8(fallback));
    std::error_code ec;
    fs::create_directories(platform::PathFromUtf8(text), ec);
    if (IsWritableDirectory(text)) {
      return {text, "Папка «" + preferredText +
                        "» недоступна для записи; файлы для R и рисунки "
                        "записаны в папку «" +
                        text + "»."};
    }
  }
  return {preferredText, "Папка «" + preferredText +
                             "» недоступна для записи, и другой папки для файлов R не найдено."};
}

}  // namespace

std::vector<std::string> DefaultFallbackDirectories() {
  std::vector<std::string> dirs;
  if (const std::string local = Environment(L"LOCALAPPDATA"); !local.empty()) {
    dirs.push_back(local + "\\tarvik");
  }
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (!ec) dirs.push_back(Clean(temp / "tarvik"));
  return dirs;
}

bool IsWritableDirectory(const std::string& directory) {
  const fs::path folder = platform::PathFromUtf8(directory);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path probe = folder / ("tarvik-probe-" + std::to_string(platform::ProcessId()) +
                                     "-" + std::to_string(attempt));
    platform::OpenFile file;
    const int code = file.CreateNew(probe);
    if (code == 0) {
      file.Close();
      platform::RemoveFile(probe);
      return true;
    }
    if (code != EEXIST) return false;
  }
  return false;
}

WorkDirectoryChoice ChooseWorkDirectory(const std::string& dataFileName,
                                        const std::vector<std::string>& fallbacks) {
  std::error_code ec;
  const fs::path preferred = dataFileName.empty()
                                 ? fs::current_path(ec)
                                 : fs::absolute(platform::PathFromUtf8(dataFileName), ec).parent_path();
  return Choose(Clean(preferred), fallbacks);
}

WorkDirectoryChoice ChooseWritableDirectory(const std::string& preferred,
                                            const std::vector<std::string>& fallbacks) {
  const std::string folder = Clean(platform::PathFromUtf8(preferred));
  std::error_code ec;
  fs::create_directories(platform::PathFromUtf8(folder), ec);
  return Choose(folder, fallbacks);
}

}  // namespace tarvik::rbridge

#endif
