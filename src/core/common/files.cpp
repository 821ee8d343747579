#include "common/files.h"

#include <cerrno>
#include <system_error>

#include "common/error.h"
#include "common/platform.h"

namespace tarvik {
namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinkDepth = 40;

std::string Quoted(const std::string& path) {
  return "«" + path + "»";
}

std::string KindText(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory:
      return "папка";
    case fs::file_type::fifo:
      return "именованный канал";
    case fs::file_type::character:
    case fs::file_type::block:
      return "устройство";
    case fs::file_type::socket:
      return "сокет";
    default:
      return "не обычный файл";
  }
}

[[noreturn]] void ThrowNotRegular(const std::string& path, fs::file_type type) {
  throw Error("Нельзя открыть " + Quoted(path) + ": это " + KindText(type) + ", а не обычный файл");
}

[[noreturn]] void ThrowTooLarge(std::string_view what, const std::string& path,
                                std::uintmax_t maxBytes) {
  throw Error(std::string(what) + " " + Quoted(path) + " слишком велик: допускается не более " +
              std::to_string(maxBytes) + " байт");
}

// The file a path finally names: symbolic links are followed one by one (a
// relative link from the folder it lies in), also when the last one points to
// a file that does not exist yet.
fs::path ResolveLinks(const std::string& path) {
  fs::path target = PathFromUtf8(path);
  for (int depth = 0;; ++depth) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(target, ec))) return target;
    if (depth == kMaxLinkDepth) {
      throw Error("Не удалось записать файл " + Quoted(path) + ": " + SystemErrorText(ELOOP));
    }
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) {
      throw Error("Не удалось записать файл " + Quoted(path) + ": " + SystemErrorText(ec));
    }
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
}

bool MayBeWritten(const fs::path& target, fs::perms perms) {
  constexpr fs::perms kWrite =
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((perms & kWrite) == fs::perms::none) return false;  // read-only, even for the superuser
  return platform::MayWrite(target);
}

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
  return platform::PathFromUtf8(utf8);
}

std::string ReadRegularFile(const std::string& path, std::uintmax_t maxBytes,
                            std::string_view what) {
  const fs::path p = PathFromUtf8(path);
  std::string bytes;
  fs::file_type kind = fs::file_type::unknown;
  if (const int code = platform::KindOf(p, kind)) {
    throw Error("Не удалось открыть файл " + Quoted(path) + ": " + SystemErrorText(code));
  }
  if (kind != fs::file_type::regular) ThrowNotRegular(path, kind);
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(p, ec);
  if (!ec && size > maxBytes) ThrowTooLarge(what, path, maxBytes);
  platform::OpenFile file;
  if (const int code = file.OpenForReading(p)) {
    throw Error("Не удалось открыть файл " + Quoted(path) + ": " + SystemErrorText(code));
  }
  // What was opened is checked again: a pipe or a device that took the
  // file's place meanwhile is refused before a byte is read.
  if (const int code = file.Kind(kind)) {
    throw Error("Ошибка чтения файла " + Quoted(path) + ": " + SystemErrorText(code));
  }
  if (kind != fs::file_type::regular) ThrowNotRegular(path, kind);
  char buffer[65536];
  while (true) {
    std::size_t got = 0;
    if (const int code = file.Read(buffer, sizeof buffer, got)) {
      throw Error("Ошибка чтения файла " + Quoted(path) + ": " + SystemErrorText(code));
    }
    if (got == 0) break;
    if (bytes.size() + got > maxBytes) ThrowTooLarge(what, path, maxBytes);
    bytes.append(buffer, got);
  }
  return bytes;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const fs::path target = ResolveLinks(path);
  const std::string notSaved = "; файл не сохранён";

  std::error_code ec;
  const fs::file_status status = fs::status(target, ec);
  const bool exists = !ec && fs::exists(status);
  if (exists) {
    if (fs::is_directory(status)) {
      throw Error("Не удалось записать файл " + Quoted(path) + ": это папка" + notSaved);
    }
    if (!fs::is_regular_file(status)) {
      throw Error("Не удалось записать файл " + Quoted(path) + ": это " + KindText(status.type()) +
                  ", а не обычный файл" + notSaved);
    }
    if (!MayBeWritten(target, status.permissions())) {
      throw Error("Файл " + Quoted(path) +
                  " защищён от записи (только для чтения); снимите защиту или выберите другое "
                  "имя" +
                  notSaved);
    }
  }

  // A fresh name beside the target, created exclusively: a file or a link
  // that happens to carry the name is never followed or overwritten.
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::path temporary;
  platform::OpenFile file;
  for (int attempt = 0;; ++attempt) {
    temporary = folder / (".tarvik-" + std::to_string(platform::ProcessId()) + "-" +
                          std::to_string(attempt) + ".tmp");
    const int code = file.CreateNew(temporary);
    if (code == 0) break;
    if (code != EEXIST || attempt == 1000) {
      throw Error("Не удалось создать файл рядом с " + Quoted(path) + ": " + SystemErrorText(code) +
                  notSaved);
    }
  }
  const auto fail = [&](const std::string& what, int code) {
    file.Close();
    platform::RemoveFile(temporary);
    throw Error(what + " " + Quoted(path) + ": " + SystemErrorText(code) +
                (exists ? "; прежний файл не изменён" : notSaved));
  };
  if (exists) {
    if (const int code = file.SetPermissions(status.permissions())) {
      fail("Не удалось записать файл", code);
    }
  }
  if (const int code = file.WriteAll(bytes)) fail("Ошибка записи файла", code);
  // Flushed to the disk before it replaces anything: a full disk shows here
  // at the latest, while the old file is still whole.
  if (const int code = file.Sync()) fail("Ошибка записи файла", code);
  if (const int code = file.Close()) {
    platform::RemoveFile(temporary);
    throw Error("Ошибка записи файла " + Quoted(path) + ": " + SystemErrorText(code) +
                (exists ? "; прежний файл не изменён" : notSaved));
  }
  if (const int code = platform::AtomicReplace(temporary, target)) {
    platform::RemoveFile(temporary);
    throw Error("Не удалось записать файл " + Quoted(path) + ": " + SystemErrorText(code) +
                (exists ? "; прежний файл не изменён" : notSaved));
  }
}

bool IsSameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  const bool same = fs::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec);
  return !ec && same;
}

void RefuseDataFile(const std::string& path, const std::string& dataFileName,
                    std::string_view what) {
  if (!IsSameFile(path, dataFileName)) return;
  throw Error(std::string(what) + " нельзя записать в " + Quoted(path) +
              ": это файл входных данных " + Quoted(dataFileName) +
              ", он был бы потерян; выберите другое имя файла");
}

void WriteExportFile(const std::string& path, std::string_view bytes,
                     const std::string& dataFileName, std::string_view what) {
  RefuseDataFile(path, dataFileName, what);
  WriteFileAtomically(path, bytes);
}

void RefuseDataFileAmong(const fs::path& directory, const std::vector<std::string>& names,
                         const std::string& dataFileName) {
  for (const std::string& name : names) {
    const fs::path file = directory / PathFromUtf8(name);
    RefuseDataFile(platform::Utf8FromPath(file), dataFileName,
                   "Рабочий файл R «" + name + "»");
  }
}

}  // namespace tarvik
