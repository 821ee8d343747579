#include "rbridge/work_directory.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryFile>

#include <cstdlib>

#include "rbridge/qt_text.h"

namespace tarvik::rbridge {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::vector<std::string> DefaultFallbackDirectories() {
  std::vector<std::string> dirs;
#ifdef _WIN32
  if (const std::string local = Environment("LOCALAPPDATA"); !local.empty()) {
    dirs.push_back(local + "\\tarvik");
  }
  dirs.push_back(ToUtf8(QDir::toNativeSeparators(QDir::temp().filePath("tarvik"))));
#else
  if (const std::string cache = Environment("XDG_CACHE_HOME"); !cache.empty() && cache[0] == '/') {
    dirs.push_back(cache + "/tarvik");
  }
  if (const std::string home = Environment("HOME"); !home.empty()) {
    dirs.push_back(home + "/.cache/tarvik");
  }
  std::string user = Environment("USER");
  if (user.empty()) user = "user";
  dirs.push_back(ToUtf8(QDir::temp().filePath(FromUtf8("tarvik-" + user))));
#endif
  return dirs;
}

bool IsWritableDirectory(const std::string& directory) {
  const QString folder = FromUtf8(directory);
  if (!QFileInfo(folder).isDir()) return false;
  QTemporaryFile probe(QDir(folder).filePath("tarvik-probe-XXXXXX"));
  return probe.open();  // removed again when probe goes out of scope
}

namespace {

WorkDirectoryChoice Choose(const QString& preferred, const std::vector<std::string>& fallbacks) {
  const std::string preferredText = ToUtf8(QDir::toNativeSeparators(QDir::cleanPath(preferred)));
  if (IsWritableDirectory(preferredText)) return {preferredText, {}};

  for (const auto& fallback : fallbacks) {
    const QString folder = QDir::cleanPath(QDir(FromUtf8(fallback)).absolutePath());
    QDir().mkpath(folder);
    const std::string text = ToUtf8(QDir::toNativeSeparators(folder));
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

WorkDirectoryChoice ChooseWorkDirectory(const std::string& dataFileName,
                                        const std::vector<std::string>& fallbacks) {
  const QString preferred =
      dataFileName.empty() ? QDir::currentPath() : QFileInfo(FromUtf8(dataFileName)).absolutePath();
  return Choose(preferred, fallbacks);
}

WorkDirectoryChoice ChooseWritableDirectory(const std::string& preferred,
                                            const std::vector<std::string>& fallbacks) {
  const QString folder = QDir(FromUtf8(preferred)).absolutePath();
  QDir().mkpath(folder);
  return Choose(folder, fallbacks);
}

}  // namespace tarvik::rbridge
