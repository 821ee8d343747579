#include "common/files.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "common/error.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

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
#ifndef _WIN32
  return ::access(target.c_str(), W_OK) == 0 || errno != EACCES;
#else
  (void)target;
  return true;
#endif
}

#ifndef _WIN32
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now; the errno of a failing close is returned (0 when it closed).
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

fs::file_type TypeOf(mode_t mode) {
  if (S_ISDIR(mode)) return fs::file_type::directory;
  if (S_ISFIFO(mode)) return fs::file_type::fifo;
  if (S_ISCHR(mode)) return fs::file_type::character;
  if (S_ISBLK(mode)) return fs::file_type::block;
  if (S_ISSOCK(mode)) return fs::file_type::socket;
  return fs::file_type::unknown;
}

// Writes all bytes; the errno of a failure, or 0.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}
#endif

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string ReadRegularFile(const std::string& path, std::uintmax_t maxBytes,
                            std::string_view what) {
  const fs::path p = PathFromUtf8(path);
  std::string bytes;
#ifndef _WIN32
  struct stat info {};
  if (::stat(p.c_str(), &info) != 0) {
    throw Error("Не удалось открыть файл " + Quoted(path) + ": " + SystemErrorText(errno));
  }
  if (!S_ISREG(info.st_mode)) ThrowNotRegular(path, TypeOf(info.st_mode));
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) ThrowTooLarge(what, path, maxBytes);
  // Not blocking: should a pipe have taken the file's place meanwhile, the
  // check below refuses it instead of waiting for a writer.
  FileDescriptor fd(::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    throw Error("Не удалось открыть файл " + Quoted(path) + ": " + SystemErrorText(errno));
  }
  if (::fstat(fd.get(), &info) != 0) {
    throw Error("Ошибка чтения файла " + Quoted(path) + ": " + SystemErrorText(errno));
  }
  if (!S_ISREG(info.st_mode)) ThrowNotRegular(path, TypeOf(info.st_mode));
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Error("Ошибка чтения файла " + Quoted(path) + ": " + SystemErrorText(errno));
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
      ThrowTooLarge(what, path, maxBytes);
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
#else
  std::error_code ec;
  const fs::file_status status = fs::status(p, ec);
  if (ec) throw Error("Не удалось открыть файл " + Quoted(path) + ": " + SystemErrorText(ec));
  if (!fs::is_regular_file(status)) ThrowNotRegular(path, status.type());
  std::ifstream in(p, std::ios::binary);
  if (!in) throw Error("Не удалось открыть файл " + Quoted(path));
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    if (bytes.size() + static_cast<std::size_t>(in.gcount()) > maxBytes) {
      ThrowTooLarge(what, path, maxBytes);
    }
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw Error("Ошибка чтения файла " + Quoted(path));
#endif
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

#ifndef _WIN32
  // A fresh name beside the target, created exclusively: a file or a link
  // that happens to carry the name is never followed or overwritten.
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::path temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temporary =
        folder / (".tarvik-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp");
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 1000)) {
      throw Error("Не удалось создать файл рядом с " + Quoted(path) + ": " +
                  SystemErrorText(errno) + notSaved);
    }
  }
  FileDescriptor file(fd);
  const auto fail = [&](const std::string& what, int code) {
    file.Close();
    ::unlink(temporary.c_str());
    throw Error(what + " " + Quoted(path) + ": " + SystemErrorText(code) +
                (exists ? "; прежний файл не изменён" : notSaved));
  };
  if (exists) {
    const auto mode = static_cast<mode_t>(status.permissions() & fs::perms::mask);
    if (::fchmod(file.get(), mode) != 0) fail("Не удалось записать файл", errno);
  }
  if (const int code = WriteAll(file.get(), bytes)) fail("Ошибка записи файла", code);
  // Flushed to the disk before it replaces anything: a full disk shows here
  // at the latest, while the old file is still whole.
  if (::fsync(file.get()) != 0) fail("Ошибка записи файла", errno);
  if (const int code = file.Close()) {
    ::unlink(temporary.c_str());
    throw Error("Ошибка записи файла " + Quoted(path) + ": " + SystemErrorText(code) +
                (exists ? "; прежний файл не изменён" : notSaved));
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int code = errno;
    ::unlink(temporary.c_str());
    throw Error("Не удалось записать файл " + Quoted(path) + ": " + SystemErrorText(code) +
                (exists ? "; прежний файл не изменён" : notSaved));
  }
#else
  fs::path temporary = target;
  temporary += ".tarvik-tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw Error("Не удалось создать файл рядом с " + Quoted(path) + notSaved);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      throw Error("Ошибка записи файла " + Quoted(path) + notSaved);
    }
  }
  if (exists) fs::permissions(temporary, status.permissions(), ec);
  fs::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw Error("Не удалось записать файл " + Quoted(path) + ": " + SystemErrorText(ec) +
                (exists ? "; прежний файл не изменён" : notSaved));
  }
#endif
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
    const std::u8string text = file.u8string();
    RefuseDataFile(std::string(text.begin(), text.end()), dataFileName,
                   "Рабочий файл R «" + name + "»");
  }
}

}  // namespace tarvik
