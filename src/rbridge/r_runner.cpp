#include "rbridge/r_runner.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <algorithm>
#include <climits>

#include "rbridge/qt_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace tarvik::rbridge {

namespace {

#ifdef _WIN32
constexpr const char* kExecutable = "R.exe";
#else
constexpr const char* kExecutable = "R";
#endif

}  // namespace

}  // namespace tarvik::rbridge

namespace tarvik::rbridge {

namespace {

std::string Seconds(std::chrono::milliseconds limit) {
  const long long whole = limit.count() / 1000;
  const long long tenths = (limit.count() % 1000) / 100;
  return tenths == 0 ? std::to_string(whole) : std::to_string(whole) + "." + std::to_string(tenths);
}

std::string WithLog(std::string message, const std::string& logName, const std::string& tail) {
  if (tail.empty()) return message + " Журнал R (" + logName + ") пуст или не создан.";
  return message + " Последние строки журнала R (" + logName + "):\n" + tail;
}

// How R ended, as the start of a message about what it failed to draw.
std::string EndText(int exitCode) {
  if (exitCode == 0) return "R отработал, но ";
  if (exitCode < 0) return "R завершился аварийно и ";
  return "R завершился с ошибкой (код " + std::to_string(exitCode) + ") и ";
}

#ifndef _WIN32
// Stops R and every process it started (R CMD BATCH runs a shell that starts
// R itself): the child was made the leader of its own process group.
void StopProcessGroup(QProcess& process) {
  const qint64 pid = process.processId();
  if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
  process.kill();
}
#endif

}  // namespace

std::string LastLines(const std::string& path, int lines) {
  QFile file(FromUtf8(path));
  if (lines <= 0 || !file.open(QIODevice::ReadOnly)) return {};
  // Only the end of the log is read, however much R wrote.
  constexpr qint64 kTailBytes = 64 * 1024;
  if (!file.isSequential() && file.size() > kTailBytes) file.seek(file.size() - kTailBytes);
  QByteArray all = file.read(kTailBytes);
  all.replace("\r\n", "\n");
  QList<QByteArray> rows = all.split('\n');
  while (!rows.isEmpty() && rows.back().trimmed().isEmpty()) rows.removeLast();
  const qsizetype first = std::max<qsizetype>(0, rows.size() - lines);
  std::string tail;
  for (qsizetype i = first; i < rows.size(); ++i) {
    if (!tail.empty()) tail += '\n';
    tail += rows[i].toStdString();
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

  const QFileInfo script(FromUtf8(run.ScriptPath));
  QDir folder = script.absoluteDir();
  const QString scriptName = script.fileName();
  const QString logName = script.completeBaseName() + ".Rout";
  const std::string logPath = ToUtf8(folder.filePath(logName));

  // Whatever an earlier run left must not pass for this run's output.
  folder.remove(logName);
  for (const auto& picture : run.Pictures) folder.remove(FromUtf8(picture));

  QProcess process;
  process.setProgram(FromUtf8(run.RDirectory + kExecutable));
  // The bare script name: R CMD BATCH hands its file names to a shell script
  // unquoted, so a folder name with blanks must not reach it.
  process.setArguments({"CMD", "BATCH", "--no-restore", "--no-save", scriptName, logName});
  process.setWorkingDirectory(folder.absolutePath());
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#ifdef _WIN32
  process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* arguments) {
    arguments->flags |= CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP;
  });
#else
  environment.insert("LANG", "C.UTF-8");
  environment.insert("LC_ALL", "C.UTF-8");
  process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
  process.setProcessEnvironment(environment);

  process.start();
  if (!process.waitForStarted(30000)) {
    result.Status = RRunStatus::StartFailed;
    // Qt's own text of the failure is English: the reason is told here.
    result.Message = "Не удалось запустить R (" + run.RDirectory + kExecutable + "): " +
                     (process.error() == QProcess::Timedout
                          ? std::string("программа не запустилась за 30 с.")
                          : std::string("программа не найдена или её нельзя запустить."));
    return result;
  }
  const auto limit = run.TimeLimit.count() > INT_MAX ? INT_MAX : int(run.TimeLimit.count());
  if (!process.waitForFinished(limit)) {
#ifdef _WIN32
    process.kill();
#else
    StopProcessGroup(process);
#endif
    process.waitForFinished(10000);
    result.Status = RRunStatus::TimedOut;
    result.LogTail = LastLines(logPath);
    result.Message = WithLog("R не закончил работу за " + Seconds(run.TimeLimit) +
                                 " с и был остановлен; рисунки не построены.",
                             ToUtf8(logName), result.LogTail);
    return result;
  }
  if (process.exitStatus() == QProcess::NormalExit) result.ExitCode = process.exitCode();
  result.LogTail = LastLines(logPath);

  std::vector<std::string> missing;
  for (const auto& picture : run.Pictures) {
    if (!QFileInfo(folder.filePath(FromUtf8(picture))).isFile()) missing.push_back(picture);
  }
  if (!missing.empty()) {
    std::string names;
    for (const auto& name : missing) names += (names.empty() ? "«" : ", «") + name + "»";
    result.Status = RRunStatus::PicturesMissing;
    result.Message =
        WithLog(EndText(result.ExitCode) +
                    (missing.size() == 1 ? "не построил рисунок " : "не построил рисунки ") +
                    names + " в папке «" + ToUtf8(folder.absolutePath()) + "».",
                ToUtf8(logName), result.LogTail);
    return result;
  }
  if (result.ExitCode != 0) {
    result.Status = RRunStatus::RFailed;
    result.Message = WithLog(result.ExitCode < 0 ? std::string("R завершился аварийно.")
                                                 : "R завершился с ошибкой (код " +
                                                       std::to_string(result.ExitCode) + ").",
                             ToUtf8(logName), result.LogTail);
    return result;
  }
  result.Status = RRunStatus::Done;
  result.Ok = true;
  return result;
}

}  // namespace tarvik::rbridge
