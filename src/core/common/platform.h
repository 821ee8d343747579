#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// What differs between POSIX systems and Windows, in one place: file handles,
// the atomic replacement of a file, the kinds of files that are refused, paths
// and the command line as UTF-8, the console. Errors are errno values (0 for
// success) on both systems, so that SystemErrorText words them alike.
namespace tarvik::platform {

// UTF-8 ↔ UTF-16. A byte sequence that is not UTF-8 (or an unpaired
// surrogate) becomes U+FFFD; nothing else is changed.
std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);

// A path from UTF-8 text (on Windows: the wide-character path) and back.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// The program's arguments as UTF-8: argv itself on POSIX; on Windows the
// command line read as UTF-16 (argv there is in the ANSI code page, which
// cannot hold every name).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error carry UTF-8 bytes unchanged: on Windows the
// console's output code page becomes UTF-8 and "\n" is not turned into
// "\r\n", so the output is byte for byte that of POSIX. Nothing on POSIX.
void UseUtf8Console();

// The kind of what a path names, links followed (std::filesystem's terms:
// regular, directory, fifo, character, block, socket, unknown); errno on
// failure.
int KindOf(const std::filesystem::path& path, std::filesystem::file_type& kind);

// Whether the process may write the existing file (access(W_OK) on POSIX;
// on Windows the read-only attribute, as std::filesystem reports it, decides
// alone).
bool MayWrite(const std::filesystem::path& path);

// The process's number, for names of temporary files.
long ProcessId();

// Moves `from` onto `to`, replacing a file that is there in one step (rename
// on POSIX; MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH on Windows). errno on failure.
int AtomicReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes a file; failures are ignored (used to clean up).
void RemoveFile(const std::filesystem::path& path);

// An open file (a descriptor on POSIX, a handle on Windows), closed by the
// destructor.
class OpenFile {
 public:
  OpenFile() = default;
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  // Opens an existing file for reading; a pipe does not make it wait for a
  // writer.
  int OpenForReading(const std::filesystem::path& path);
  // Creates a new file for writing; EEXIST when anything (a link included,
  // which is never followed) has the name.
  int CreateNew(const std::filesystem::path& path);

  // The kind of the open file, as KindOf.
  int Kind(std::filesystem::file_type& kind) const;
  // Reads at most `size` bytes; `got` is 0 at the end.
  int Read(char* buffer, std::size_t size, std::size_t& got);
  int WriteAll(std::string_view bytes);
  // The permission bits (POSIX; nothing on Windows).
  int SetPermissions(std::filesystem::perms perms);
  // Flushes the bytes to the disk.
  int Sync();
  // Closes now; the errno of a failing close, or 0.
  int Close();

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(-1);  // INVALID_HANDLE_VALUE
#else
  int fd_ = -1;
#endif
};

}  // namespace tarvik::platform
