#include "common/platform.h"

#include <cerrno>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace tarvik::platform {
namespace fs = std::filesystem;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The code point that starts at `i`; `i` moves past it. A malformed sequence
// (a stray continuation byte, a truncated or overlong sequence, a surrogate,
// beyond U+10FFFF) gives U+FFFD and moves past its first byte only.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  std::size_t length = 0;
  char32_t c = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + length > s.size()) {
    ++i;
    return kReplacement;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += length;
  return c;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, i);
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 2);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string Utf8FromPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#ifdef _WIN32

namespace {

// The errno value of a Windows error, for the Russian words of
// SystemErrorText.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_CANT_RESOLVE_FILENAME:
      return ELOOP;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

int LastErrno() {
  return ErrnoOf(::GetLastError());
}

std::wstring Wide(std::string_view utf8) {
  const std::u16string text = Utf16FromUtf8(utf8);
  return std::wstring(text.begin(), text.end());
}

int KindOfHandle(HANDLE handle, fs::file_type& kind) {
  ::SetLastError(ERROR_SUCCESS);
  const DWORD type = ::GetFileType(handle);
  if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != ERROR_SUCCESS) return LastErrno();
  switch (type) {
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION info{};
      if (!::GetFileInformationByHandle(handle, &info)) return LastErrno();
      kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? fs::file_type::directory
                                                                    : fs::file_type::regular;
      return 0;
    }
    case FILE_TYPE_CHAR:
      kind = fs::file_type::character;
      return 0;
    case FILE_TYPE_PIPE:
      kind = fs::file_type::fifo;
      return 0;
    default:
      kind = fs::file_type::unknown;
      return 0;
  }
}

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(Wide(utf8));
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    const std::wstring_view text(wide[i]);
    arguments.push_back(Utf8FromUtf16(std::u16string(text.begin(), text.end())));
  }
  ::LocalFree(wide);
  return arguments;
}

void UseUtf8Console() {
  ::SetConsoleOutputCP(CP_UTF8);
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

int KindOf(const fs::path& path, fs::file_type& kind) {
  // Opened without access to the contents (backup semantics admit folders),
  // so that a device's or pipe's handle tells what it is.
  const HANDLE handle =
      ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrno();
  const int code = KindOfHandle(handle, kind);
  ::CloseHandle(handle);
  return code;
}

bool MayWrite(const fs::path&) {
  return true;
}

long ProcessId() {
  return static_cast<long>(::GetCurrentProcessId());
}

int AtomicReplace(const fs::path& from, const fs::path& to) {
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  return LastErrno();
}

void RemoveFile(const fs::path& path) {
  ::DeleteFileW(path.c_str());
}

OpenFile::~OpenFile() {
  if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
}

int OpenFile::OpenForReading(const fs::path& path) {
  handle_ = ::CreateFileW(path.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ == INVALID_HANDLE_VALUE ? LastErrno() : 0;
}

int OpenFile::CreateNew(const fs::path& path) {
  // CREATE_NEW fails on any name that is there, a link included.
  handle_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ == INVALID_HANDLE_VALUE ? LastErrno() : 0;
}

int OpenFile::Kind(fs::file_type& kind) const {
  return KindOfHandle(handle_, kind);
}

int OpenFile::Read(char* buffer, std::size_t size, std::size_t& got) {
  DWORD read = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!::ReadFile(handle_, buffer, want, &read, nullptr)) {
    if (::GetLastError() == ERROR_BROKEN_PIPE) {
      got = 0;
      return 0;
    }
    return LastErrno();
  }
  got = read;
  return 0;
}

int OpenFile::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want =
        bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(handle_, bytes.data(), want, &written, nullptr)) return LastErrno();
    bytes.remove_prefix(written);
  }
  return 0;
}

int OpenFile::SetPermissions(fs::perms) {
  return 0;
}

int OpenFile::Sync() {
  return ::FlushFileBuffers(handle_) ? 0 : LastErrno();
}

int OpenFile::Close() {
  const HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return ::CloseHandle(handle) ? 0 : LastErrno();
}

#else

namespace {

fs::file_type TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return fs::file_type::regular;
  if (S_ISDIR(mode)) return fs::file_type::directory;
  if (S_ISFIFO(mode)) return fs::file_type::fifo;
  if (S_ISCHR(mode)) return fs::file_type::character;
  if (S_ISBLK(mode)) return fs::file_type::block;
  if (S_ISSOCK(mode)) return fs::file_type::socket;
  return fs::file_type::unknown;
}

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8Console() {}

int KindOf(const fs::path& path, fs::file_type& kind) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno;
  kind = TypeOf(info.st_mode);
  return 0;
}

bool MayWrite(const fs::path& path) {
  return ::access(path.c_str(), W_OK) == 0 || errno != EACCES;
}

long ProcessId() {
  return static_cast<long>(::getpid());
}

int AtomicReplace(const fs::path& from, const fs::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void RemoveFile(const fs::path& path) {
  ::unlink(path.c_str());
}

OpenFile::~OpenFile() {
  if (fd_ >= 0) ::close(fd_);
}

int OpenFile::OpenForReading(const fs::path& path) {
  // Not blocking: should a pipe have taken the file's place, Kind tells so
  // before anything waits for a writer.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  return fd_ < 0 ? errno : 0;
}

int OpenFile::CreateNew(const fs::path& path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  return fd_ < 0 ? errno : 0;
}

int OpenFile::Kind(fs::file_type& kind) const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return errno;
  kind = TypeOf(info.st_mode);
  return 0;
}

int OpenFile::Read(char* buffer, std::size_t size, std::size_t& got) {
  while (true) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    got = static_cast<std::size_t>(n);
    return 0;
  }
}

int OpenFile::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

int OpenFile::SetPermissions(fs::perms perms) {
  return ::fchmod(fd_, static_cast<mode_t>(perms & fs::perms::mask)) == 0 ? 0 : errno;
}

int OpenFile::Sync() {
  return ::fsync(fd_) == 0 ? 0 : errno;
}

int OpenFile::Close() {
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0 ? 0 : errno;
}

#endif

}  // namespace tarvik::platform
