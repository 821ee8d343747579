#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// Reading and writing the program's files. Paths are UTF-8 text; every
// failure raises tarvik::Error naming the path, with the system's reason in
// Russian words.

std::filesystem::path PathFromUtf8(std::string_view utf8);

// The bytes of a regular file of at most `maxBytes` bytes. Anything else at
// the path (a folder, a device such as /dev/zero, a named pipe, a socket) is
// refused before it is opened, so nothing can block or read without end; a
// larger file is refused, also one that grows while it is read. `what` names
// the file in messages ("Файл данных").
std::string ReadRegularFile(const std::string& path, std::uintmax_t maxBytes,
                            std::string_view what = "Файл");

// Writes `bytes` to `path` so that the file there is either replaced whole or
// left untouched:
//   - a symbolic link is followed: the file it points to is replaced and the
//     link stays a link;
//   - a file that is there keeps its permission bits; one that may not be
//     written (read-only) is refused, and so is a folder or a device;
//   - the bytes go to a new temporary file beside the target (created
//     exclusively, so no file or link of that name is followed), reach the
//     disk and then replace the target by a rename; on any failure (a full
//     disk included) the temporary file is removed and the old file is as it
//     was.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Whether two paths name the same existing file: the files themselves are
// compared, so "y.txt", "./y.txt", a symbolic or a hard link to it are all
// the same. False when either does not exist.
bool IsSameFile(const std::string& a, const std::string& b);

// Raises tarvik::Error when `path` is the data file `dataFileName` (as
// IsSameFile compares them), `what` naming what was to be written there
// ("Отчёт об ОДУ"). An empty data file name protects nothing.
void RefuseDataFile(const std::string& path, const std::string& dataFileName,
                    std::string_view what);

// An exported file (a table as CSV, a chart's picture) the user named:
// RefuseDataFile, then WriteFileAtomically. `what` names the file in the
// refusal ("Таблица").
void WriteExportFile(const std::string& path, std::string_view bytes,
                     const std::string& dataFileName, std::string_view what);

// RefuseDataFile for each of the files `names` in `directory` (the files a
// program such as R writes or removes there), each named in the message.
void RefuseDataFileAmong(const std::filesystem::path& directory,
                         const std::vector<std::string>& names, const std::string& dataFileName);

}  // namespace tarvik
